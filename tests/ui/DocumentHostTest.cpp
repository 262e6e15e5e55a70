// The window's helpers work on any host of a document: undo, autosave and the style menu without
// the window.
#include <gtest/gtest.h>

#include <QFile>
#include <QUndoStack>
#include <memory>

#include "project/CProject.h"
#include "ui/CAutosave.h"
#include "ui/CDocumentHost.h"
#include "ui/CStylePopupMenu.h"
#include "ui/CUndoHistory.h"

namespace {
class CStubHost final : public CDocumentHost {
public:
    CProject& Document() const override { return *m_pDocument; }
    QString FileName() const override { return m_szFileName; }
    void RestoreDocument(std::unique_ptr<CProject> pProject) override
    {
        m_pDocument = std::move(pProject);
        ++m_nRestored;
    }
    void ShowStatus(const QString& szText) override { m_szStatus = szText; }

    std::unique_ptr<CProject> m_pDocument = std::make_unique<CProject>();
    QString m_szFileName;
    QString m_szStatus;
    int m_nRestored = 0;
};

TEST(DocumentHost, HelpersNeedNothingButTheHost)
{
    CStubHost host;
    QObject owner;
    CUndoHistory history(host, &owner);
    history.Reset();
    host.Document().SetFunction(1, "x^2");
    host.Document().m_bModified = true;
    history.NoteChanges();
    ASSERT_TRUE(history.Stack()->canUndo());
    history.Undo();
    EXPECT_EQ(host.m_nRestored, 1);
    EXPECT_EQ(host.Document().GetFunction(1), nullptr);
    EXPECT_FALSE(host.Document().m_bModified); // back at the saved state
    history.Redo();
    ASSERT_NE(host.Document().GetFunction(1), nullptr);
    EXPECT_TRUE(host.Document().m_bModified);

    // The recovery file holds the host's document and names the host's file.
    host.m_szFileName = "/tmp/eine Datei.kvx";
    CAutosave autosave(host, &owner);
    autosave.Start();
    autosave.AutosaveNow();
    const QString szRecovery = autosave.RecoveryFileName();
    ASSERT_TRUE(QFile::exists(szRecovery));
    CProject copy;
    copy.Load(QFile::encodeName(szRecovery).constData());
    ASSERT_NE(copy.GetFunction(1), nullptr);
    QString szName = szRecovery;
    szName.chop(4);
    QFile name(szName + ".name");
    ASSERT_TRUE(name.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(name.readAll()), host.m_szFileName);
    autosave.Discard();
    EXPECT_FALSE(QFile::exists(szRecovery));

    // The style menu draws the host's palette, whichever document the host holds now.
    CStylePopupMenu menu(host, host.Document().m_nPaletteSize, nullptr);
    host.RestoreDocument(std::make_unique<CProject>());
    EXPECT_FALSE(menu.grab().isNull());
}
} // namespace
