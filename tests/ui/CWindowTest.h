#pragma once
// The fixture of the window tests: a shown main window whose questions a script answers, and a
// scratch directory of the test's own.
#include <gtest/gtest.h>

#include <QTest>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

#include "CFakeClock.h"
#include "CScriptedDialogs.h"
#include "project/CProject.h"
#include "ui/TMainForm.h"

class CWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_pForm = std::make_unique<TMainForm>();
        auto pDialogs = std::make_unique<CScriptedDialogs>();
        m_pDialogs = pDialogs.get();
        m_pForm->m_pDialogs = std::move(pDialogs);
        // The value table is whole when its page is shown, however busy the machine.
        m_pForm->WetaSheet->SetClock(std::make_unique<CFakeClock>(CFakeClock::ENDLESS));
        m_pForm->FormCreate();
        m_pForm->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pForm.get()));
    }

    void TearDown() override
    {
        m_pForm.reset();
        if (!m_szDir.empty())
            std::system(("rm -rf '" + m_szDir + "'").c_str());
    }

    // A fresh directory for this test's files, removed after it.
    const std::string& ScratchDirectory()
    {
        if (m_szDir.empty()) {
            m_szDir = "/tmp/kurvix-ui-" + std::to_string(getpid()) + "-" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name();
            EXPECT_EQ(std::system(("rm -rf '" + m_szDir + "' && mkdir -p '" + m_szDir + "'").c_str()), 0);
        }
        return m_szDir;
    }

    // A world of x -10 ... 10 and y -5 ... 5, without automatic ranges.
    static void SetFixedView(CProject& project)
    {
        project.SetFlag(FLAG_XAUTO, false);
        project.SetFlag(FLAG_YAUTO, false);
        project.SetOption(OPT_XMIN, -10);
        project.SetOption(OPT_XMAX, 10);
        project.SetOption(OPT_YMIN, -5);
        project.SetOption(OPT_YMAX, 5);
    }

    std::unique_ptr<TMainForm> m_pForm;
    CScriptedDialogs* m_pDialogs = nullptr;

private:
    std::string m_szDir;
};
