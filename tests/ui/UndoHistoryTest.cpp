// The undo history's memory: a step holds what it changed, and all steps together stay within a
// limit, the oldest going first.
#include <gtest/gtest.h>

#include <QUndoStack>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "project/CProject.h"
#include "ui/CDocumentHost.h"
#include "ui/CUndoHistory.h"

namespace {
class CHost final : public CDocumentHost {
public:
    CProject& Document() const override { return *m_pDocument; }
    QString FileName() const override { return QString(); }
    void RestoreDocument(std::unique_ptr<CProject> pProject) override { m_pDocument = std::move(pProject); }
    void ShowStatus(const QString&) override {}

    std::unique_ptr<CProject> m_pDocument = std::make_unique<CProject>();
};

// A formula of about nSize characters, told apart by nEdit (-99 or more).
std::string LongFormula(int nEdit, size_t nSize)
{
    std::string szText = "x+" + std::to_string(nEdit + 100);
    while (szText.size() < nSize)
        szText += "+x";
    return szText;
}

// A step holds the lines it changed, not the document twice, and the steps together stay within
// the limit; those kept are undone and redone exactly, and the opened state that went with the
// oldest ones no longer counts as the file's.
TEST(UndoHistory, KeepsWhatChangedWithinItsLimit)
{
    constexpr size_t LINE = 16 << 10;
    constexpr size_t LIMIT = 256 << 10;
    constexpr int EDITS = 200;
    CHost host;
    QObject owner;
    CUndoHistory history(host, &owner);
    history.SetLimit(LIMIT);
    const auto State = [&host] { return CUndoHistory::Snapshot(host.Document()); };
    for (int n = 1; n <= 20; ++n)
        host.Document().SetFunction(static_cast<unsigned>(n), LongFormula(-n, LINE).c_str());
    host.Document().m_bModified = false;
    history.Reset();
    EXPECT_EQ(history.Bytes(), 0U);
    std::vector<std::string> states{State()};
    for (int i = 0; i < EDITS; ++i) {
        host.Document().SetFunction(static_cast<unsigned>(1 + i % 20), LongFormula(i, LINE).c_str());
        history.NewGesture();
        history.NoteChanges();
        states.push_back(State());
        if (i == 0) {
            EXPECT_LT(history.Bytes(), 2 * LINE) << "one line changed";
        }
        ASSERT_LE(history.Bytes(), LIMIT) << i;
    }
    ASSERT_EQ(history.Stack()->count(), history.Stack()->index());
    int nUndone = 0;
    while (history.Stack()->canUndo()) {
        history.Undo();
        ++nUndone;
        ASSERT_EQ(State(), states[static_cast<size_t>(EDITS - nUndone)]) << nUndone;
    }
    EXPECT_GE(nUndone, static_cast<int>(LIMIT / LINE) - 2);
    EXPECT_LT(nUndone, EDITS);
    EXPECT_TRUE(host.Document().m_bModified);
    while (history.Stack()->canRedo()) {
        history.Redo();
        --nUndone;
        ASSERT_EQ(State(), states[static_cast<size_t>(EDITS - nUndone)]) << nUndone;
    }
    EXPECT_EQ(nUndone, 0);
}
} // namespace

namespace {
// A measurement, not a check of the build: 200 edits of a large project (scripts/big-project.sh
// sum), each replacing the end of one formula. Run with KURVIX_BIG_PROJECT=file and
// --gtest_also_run_disabled_tests; prints the bytes the history holds.
TEST(UndoHistory, DISABLED_TwoHundredEditsOfABigProject)
{
    const char* pszFile = std::getenv("KURVIX_BIG_PROJECT");
    if (!pszFile)
        GTEST_SKIP() << "KURVIX_BIG_PROJECT is not set";
    CHost host;
    QObject owner;
    CUndoHistory history(host, &owner);
    host.Document().Load(pszFile);
    history.Reset();
    size_t nPresent = 0;
    std::vector<std::string> texts;
    for (unsigned n = 1; n <= MAX_FUNCTIONS; ++n) {
        texts.push_back(host.Document().GetFunction(n) ? host.Document().GetFunction(n)->GetText() : "x");
        nPresent += texts.back().size();
    }
    for (int i = 0; i < 200; ++i) {
        std::string szText = texts[static_cast<size_t>(i) % MAX_FUNCTIONS];
        szText.replace(szText.size() - 4, 4, "+" + std::to_string(100 + i));
        host.Document().SetFunction(static_cast<unsigned>(1 + i % MAX_FUNCTIONS), szText.c_str());
        history.NewGesture();
        history.NoteChanges();
    }
    std::printf("formulas %zu bytes, history %zu bytes in %d steps\n", nPresent, history.Bytes(),
                history.Stack()->count());
    EXPECT_LE(history.Bytes(), CUndoHistory::HISTORY_LIMIT);
    history.Undo();
    const std::string& szLast = host.Document().GetFunction(MAX_FUNCTIONS)->GetText();
    EXPECT_EQ(szLast.substr(szLast.size() - 4), "+249"); // the edit before the last of f50
}
} // namespace
