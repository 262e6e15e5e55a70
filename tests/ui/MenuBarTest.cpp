// The menu bar: its entries are the toolbar's commands, enabled with their buttons, and no key
// press belongs to two of them.
#include <gtest/gtest.h>

#include <QAction>
#include <QActionGroup>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QShortcut>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>

#include "CWindowTest.h"
#include "kurvix_version.h"
#include "ui/CFunctionsPage.h"
#include "ui/COptionsPage.h"
#include "ui/CUndoHistory.h"
#include "ui/TMainForm.h"

namespace {
class MenuBar : public CWindowTest {
protected:
    // The entry of the menu bar named szName, wherever it is; null when there is none.
    QAction* Entry(const QString& szName) const
    {
        for (QMenu* pMenu : m_pForm->menuBar()->findChildren<QMenu*>())
            for (QAction* pAction : pMenu->actions())
                if (pAction->objectName() == szName)
                    return pAction;
        return nullptr;
    }
};

TEST_F(MenuBar, EntriesAreEnabledWithTheirButtons)
{
    struct SRow {
        CPageFrame::ECommand m_eCommand;
        const char* m_pszEntry;
        QToolButton* TMainForm::*m_pButton;
    } const rows[] = {
        {CPageFrame::COMMAND_COPY, "CopyAction", &TMainForm::CopyButton},
        {CPageFrame::COMMAND_PASTE, "PasteAction", &TMainForm::PasteButton},
        {CPageFrame::COMMAND_PRINT, "PrintAction", &TMainForm::PrintButton},
        {CPageFrame::COMMAND_FONT, "FontAction", &TMainForm::FontButton},
        {CPageFrame::COMMAND_PAUSE, "PauseAction", &TMainForm::PauseButton},
        {CPageFrame::COMMAND_SKIP, "SkipAction", &TMainForm::SkipButton},
        {CPageFrame::COMMAND_ZOOMIN, "ZoominAction", &TMainForm::ZoominButton},
        {CPageFrame::COMMAND_ZOOMOUT, "ZoomoutAction", &TMainForm::ZoomoutButton},
        {CPageFrame::COMMAND_TRACE, "TraceAction", &TMainForm::TraceButton},
    };
    static_assert(sizeof rows / sizeof rows[0] == CPageFrame::COMMAND_COUNT, "a row per command");
    for (const SRow& row : rows) {
        QAction* pEntry = Entry(row.m_pszEntry);
        ASSERT_NE(pEntry, nullptr) << row.m_pszEntry;
        QToolButton* pButton = (*m_pForm).*row.m_pButton;
        for (const bool bEnabled : {true, false, true}) {
            m_pForm->EnableCommand(row.m_eCommand, bEnabled);
            EXPECT_EQ(pButton->isEnabled(), bEnabled) << row.m_pszEntry;
            EXPECT_EQ(pEntry->isEnabled(), bEnabled) << row.m_pszEntry;
        }
        m_pForm->EnableCommand(row.m_eCommand, false);
    }
    // The preview goes with the printout.
    m_pForm->EnableCommand(CPageFrame::COMMAND_PRINT, true);
    EXPECT_TRUE(Entry("PrintPreviewAction")->isEnabled());
    m_pForm->EnableCommand(CPageFrame::COMMAND_PRINT, false);
    EXPECT_FALSE(Entry("PrintPreviewAction")->isEnabled());

    // The pages switch the entries as they switch the buttons.
    m_pForm->PageControl->setCurrentWidget(m_pForm->NotesSheet);
    for (const char* pszEntry : {"CopyAction", "PasteAction", "FontAction", "PrintAction", "PrintPreviewAction"})
        EXPECT_TRUE(Entry(pszEntry)->isEnabled()) << pszEntry;
    EXPECT_TRUE(Entry("NotesSheetAction")->isChecked());
    m_pForm->PageControl->setCurrentWidget(m_pForm->OptionsSheet);
    for (const char* pszEntry : {"CopyAction", "PasteAction", "FontAction", "PrintAction", "PrintPreviewAction"})
        EXPECT_FALSE(Entry(pszEntry)->isEnabled()) << pszEntry;

    // Undo and redo follow the history.
    EXPECT_FALSE(Entry("UndoAction")->isEnabled());
    m_pForm->PageControl->setCurrentWidget(m_pForm->FunctionsSheet);
    m_pForm->m_pDocument->SetFunction(1, "x^2");
    m_pForm->History().NoteChanges();
    EXPECT_TRUE(Entry("UndoAction")->isEnabled());
    EXPECT_TRUE(m_pForm->UndoButton->isEnabled());
    Entry("UndoAction")->trigger();
    EXPECT_EQ(m_pForm->m_pDocument->GetFunction(1), nullptr);
    EXPECT_FALSE(Entry("UndoAction")->isEnabled());
    EXPECT_TRUE(Entry("RedoAction")->isEnabled());
    EXPECT_TRUE(m_pForm->RedoButton->isEnabled());
}

TEST_F(MenuBar, EntriesRunTheCommandsOfTheWindow)
{
    // Ansicht shows a page and marks the one shown, however it was chosen.
    Entry("GraphicsSheetAction")->trigger();
    EXPECT_EQ(m_pForm->PageControl->currentWidget(), m_pForm->GraphicsSheet);
    m_pForm->PageControl->setCurrentWidget(m_pForm->WetaSheet);
    EXPECT_TRUE(Entry("WetaSheetAction")->isChecked());
    EXPECT_FALSE(Entry("GraphicsSheetAction")->isChecked());

    // The graph beside the formulas: entry and button are one toggle, remembered.
    const bool bBeside = m_pForm->GraphBesideButton->isChecked();
    Entry("GraphBesideAction")->trigger();
    EXPECT_NE(m_pForm->GraphBesideButton->isChecked(), bBeside);
    EXPECT_EQ(QSettings().value(TMainForm::GRAPH_BESIDE_KEY).toBool(), !bBeside);
    m_pForm->GraphBesideButton->click();
    EXPECT_EQ(Entry("GraphBesideAction")->isChecked(), bBeside);

    // Speichern unter asks for a name even for a document that has one.
    m_pDialogs->m_szSaveName.clear();
    Entry("FileSaveAsAction")->trigger();
    EXPECT_EQ(m_pDialogs->m_Proposed.size(), 1);

    // Über KURVIX: the version of the build, the licence and the libraries as they run.
    Entry("AboutAction")->trigger();
    ASSERT_EQ(m_pDialogs->m_Abouts.size(), 1);
    const QString szAbout = m_pDialogs->m_Abouts[0];
    EXPECT_TRUE(szAbout.startsWith(QString::fromUtf8("\xC3\x9C"
                                                     "ber KURVIX|")));
    for (const QString& szPart :
         {QString("KURVIX ") + KURVIX_VERSION_TEXT, QString("GPL-3.0-or-later"), "Qt " + QString(qVersion()),
          QString("zlib "), QString("giflib 5."), QString("FFmpeg libavcodec ")})
        EXPECT_TRUE(szAbout.contains(szPart)) << szPart.toStdString();
}

TEST_F(MenuBar, EveryKeyAndMnemonicIsUnique)
{
    // A key press that two actions of the window share does nothing at all (Qt finds it
    // ambiguous); an action may have several keys.
    QMap<QString, QString> owners;
    for (QAction* pAction : m_pForm->findChildren<QAction*>())
        for (const QKeySequence& key : pAction->shortcuts()) {
            const QString szKey = key.toString(QKeySequence::PortableText);
            EXPECT_FALSE(owners.contains(szKey)) << szKey.toStdString() << ": " << owners.value(szKey).toStdString()
                                                 << " and " << pAction->objectName().toStdString();
            owners.insert(szKey, pAction->objectName());
        }
    for (QShortcut* pShortcut : m_pForm->findChildren<QShortcut*>()) {
        const QString szKey = pShortcut->key().toString(QKeySequence::PortableText);
        EXPECT_FALSE(owners.contains(szKey)) << szKey.toStdString();
    }
    // The keys a desktop user expects of these commands.
    const std::pair<const char*, const char*> keys[] = {
        {"Ctrl+N", "FileNewAction"},  {"Ctrl+O", "FileOpenAction"},
        {"Ctrl+S", "FileSaveAction"}, {"Ctrl+P", "PrintAction"},
        {"Ctrl+Q", "QuitAction"},     {"Ctrl+Z", "UndoAction"},
        {"Ctrl+Y", "RedoAction"},     {"Ctrl+Shift+S", "FileSaveAsAction"},
        {"Ctrl+C", "CopyAction"},     {"F1", "ManualAction"},
        {"Ctrl++", "ZoominAction"},   {"Ctrl+-", "ZoomoutAction"},
    };
    for (const auto& [pszKey, pszAction] : keys)
        EXPECT_EQ(owners.value(pszKey), pszAction) << pszKey;

    // Within a menu (and along the bar) every entry has its own letter: with two alike, Alt and the
    // letter only moves between them.
    const auto CheckMnemonics = [](const QList<QAction*>& actions, const QString& szWhere) {
        QMap<QChar, QString> letters;
        for (const QAction* pAction : actions) {
            if (pAction->isSeparator())
                continue;
            const QString szText = pAction->text();
            const qsizetype nAmp = szText.indexOf('&');
            ASSERT_GE(nAmp, 0) << szWhere.toStdString() << ": " << szText.toStdString();
            const QChar c = szText.at(nAmp + 1).toLower();
            EXPECT_FALSE(letters.contains(c))
                << szWhere.toStdString() << ": " << letters.value(c).toStdString() << " and " << szText.toStdString();
            letters.insert(c, szText);
        }
    };
    CheckMnemonics(m_pForm->menuBar()->actions(), "Menüleiste");
    for (QMenu* pMenu : m_pForm->menuBar()->findChildren<QMenu*>())
        if (pMenu != m_pForm->RecentMenu) // numbered by its own rule
            CheckMnemonics(pMenu->actions(), pMenu->title());
}
} // namespace
