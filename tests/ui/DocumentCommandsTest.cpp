// New, open, save and close with the unsaved-changes prompt, and the notes kept in the project.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "CWindowTest.h"
#include "project/CProject.h"
#include "ui/CAutosave.h"
#include "ui/CFileName.h"
#include "ui/CFunctionsPage.h"
#include "ui/CNotesPage.h"
#include "ui/COptionsPage.h"
#include "ui/CRtfReader.h"
#include "ui/TMainForm.h"

namespace {
const QString g_szQuestion = QString::fromUtf8("\u00C4nderungen speichern?");

class DocumentCommands : public CWindowTest {
protected:
    void SetUp() override
    {
        CWindowTest::SetUp();
        m_szDir = ScratchDirectory();
    }

    QString Path(const char* pszName) const { return QString::fromStdString(m_szDir + "/" + pszName); }
    void Write(const char* pszName, const std::string& szText) const
    {
        std::ofstream(Path(pszName).toStdString(), std::ios::binary) << szText;
    }
    std::string ReadFile(const QString& szPath) const
    {
        std::ifstream file(szPath.toStdString(), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    }
    bool Exists(const QString& szPath) const { return std::ifstream(szPath.toStdString()).good(); }
    CProject& Document() const { return *m_pForm->m_pDocument; }
    QTextEdit* NotesEdit() const { return m_pForm->NotesSheet->NotesEdit; }
    void Modify() const
    {
        Document().SetFunction(1, "x*x");
        ASSERT_TRUE(Document().m_bModified);
    }

    std::string m_szDir;
};
} // namespace

TEST_F(DocumentCommands, NewAsksOnlyForUnsavedChanges)
{
    const QString szStartCaption = m_pForm->windowTitle();
    CProject* pOld = &Document();
    m_pForm->FileNewButtonClick();
    EXPECT_TRUE(m_pDialogs->m_Questions.isEmpty());
    EXPECT_NE(&Document(), pOld);
    EXPECT_EQ(m_pForm->m_pCurrentStep, Document().m_pFirstStep);

    // No: nothing is written, the document is replaced all the same; the caption names no file.
    Write("a.kvx", "f1=x\n");
    ASSERT_TRUE(m_pForm->OpenProject(Path("a.kvx")));
    Modify();
    m_pForm->FileNewButtonClick();
    ASSERT_EQ(m_pDialogs->m_Questions.size(), 1);
    EXPECT_EQ(m_pDialogs->m_Questions[0], Path("a.kvx") + "|" + g_szQuestion);
    EXPECT_TRUE(m_pDialogs->m_Proposed.isEmpty());
    EXPECT_EQ(Document().GetFunction(1), nullptr);
    EXPECT_FALSE(Document().m_bModified);
    EXPECT_EQ(m_pForm->windowTitle(), szStartCaption);
    EXPECT_EQ(ReadFile(Path("a.kvx")), "f1=x\n");

    // The name is gone: the next prompt has no caption and the save dialog proposes nothing.
    Modify();
    m_pDialogs->m_bAnswerYes = true;
    m_pDialogs->m_szSaveName = Path("b.kvx");
    m_pForm->FileNewButtonClick();
    EXPECT_EQ(m_pDialogs->m_Questions[1], "|" + g_szQuestion);
    ASSERT_EQ(m_pDialogs->m_Proposed.size(), 1);
    EXPECT_EQ(m_pDialogs->m_Proposed[0], "");
    EXPECT_NE(ReadFile(Path("b.kvx")).find("f1=x*x"), std::string::npos);
    EXPECT_EQ(m_pForm->windowTitle(), szStartCaption);
    EXPECT_EQ(Document().GetFunction(1), nullptr);
    EXPECT_EQ(m_pForm->m_szFileName, "");
}

TEST_F(DocumentCommands, YesThenCancelKeepsTheChanges)
{
    // Ja, then the save dialog cancelled: Öffnen, Neu and closing stop, nothing is lost.
    Write("c.kvx", "f2=x\n");
    m_pDialogs->m_bAnswerYes = true;
    m_pDialogs->m_szOpenName = Path("c.kvx");
    Modify();
    CProject* pChanged = &Document();
    m_pForm->FileOpenButtonClick();
    EXPECT_EQ(m_pDialogs->m_Questions.size(), 1);
    EXPECT_EQ(m_pDialogs->m_Proposed.size(), 1);
    EXPECT_EQ(&Document(), pChanged);
    ASSERT_NE(Document().GetFunction(1), nullptr);
    EXPECT_TRUE(Document().m_bModified);
    EXPECT_EQ(m_pForm->m_szFileName, "");

    m_pForm->FileNewButtonClick();
    EXPECT_EQ(m_pDialogs->m_Questions.size(), 2);
    EXPECT_EQ(&Document(), pChanged);

    QCloseEvent event;
    QCoreApplication::sendEvent(m_pForm.get(), &event);
    EXPECT_FALSE(event.isAccepted());
    EXPECT_EQ(m_pDialogs->m_Questions.size(), 3);

    // A save that fails stops the command as well.
    m_pDialogs->m_szSaveName = Path("missing-dir/y.kvx");
    m_pForm->FileNewButtonClick();
    EXPECT_EQ(m_pDialogs->m_Warnings.size(), 1);
    EXPECT_EQ(&Document(), pChanged);

    // Abbrechen (also Escape) stops before any dialog; Nein lets go of the changes.
    m_pDialogs->m_bCancel = true;
    m_pForm->FileOpenButtonClick();
    m_pForm->FileNewButtonClick();
    QCloseEvent refused;
    QCoreApplication::sendEvent(m_pForm.get(), &refused);
    EXPECT_FALSE(refused.isAccepted());
    EXPECT_EQ(m_pDialogs->m_Questions.size(), 7);
    EXPECT_EQ(m_pDialogs->m_Proposed.size(), 4);
    EXPECT_EQ(&Document(), pChanged);
    m_pDialogs->m_bCancel = false;
    m_pDialogs->m_bAnswerYes = false;
    QCloseEvent accepted;
    QCoreApplication::sendEvent(m_pForm.get(), &accepted);
    EXPECT_TRUE(accepted.isAccepted());
    m_pForm->FileOpenButtonClick();
    ASSERT_NE(Document().GetFunction(2), nullptr);
    EXPECT_EQ(ReadFile(Path("c.kvx")), "f2=x\n");
}

TEST_F(DocumentCommands, EscapeInThePromptIsAbbrechen)
{
    // The platform's own box: Escape, and the texts of its three buttons.
    QStringList buttons;
    QTimer::singleShot(0, [&buttons] {
        QWidget* pBox = QApplication::activeModalWidget();
        ASSERT_NE(pBox, nullptr);
        for (const QPushButton* pButton : pBox->findChildren<QPushButton*>())
            buttons << pButton->text();
        QTest::keyClick(pBox, Qt::Key_Escape);
    });
    CUserDialogs dialogs;
    EXPECT_EQ(dialogs.QuestionOrCancel(m_pForm.get(), "", g_szQuestion), CUserDialogs::Cancel);
    buttons.sort();
    EXPECT_EQ(buttons.join(","), "Abbrechen,Ja,Nein");
}

TEST_F(DocumentCommands, OpenSavesFirstWhenAskedTo)
{
    Write("d.kvx", "f3=x\n");
    Modify();
    m_pDialogs->m_bAnswerYes = true;
    m_pDialogs->m_szSaveName = Path("saved.kvx");
    m_pDialogs->m_szOpenName = Path("d.kvx");
    m_pForm->FileOpenButtonClick();
    EXPECT_NE(ReadFile(Path("saved.kvx")).find("f1=x*x"), std::string::npos);
    ASSERT_NE(Document().GetFunction(3), nullptr);
    EXPECT_EQ(m_pForm->windowTitle(), "KURVIX - " + Path("d.kvx"));
    EXPECT_EQ(m_pForm->m_szOpenFileName, Path("d.kvx"));

    // The open dialog cancelled: the document stays, though its changes were let go by "No".
    m_pDialogs->m_bAnswerYes = false;
    m_pDialogs->m_szOpenName.clear();
    CProject* pBefore = &Document();
    Modify();
    m_pForm->FileOpenButtonClick();
    EXPECT_EQ(&Document(), pBefore);
    EXPECT_EQ(m_pDialogs->m_Questions.size(), 2);
}

TEST_F(DocumentCommands, SaveAsksForANameOnlyWhereTheDocumentHasNoneAndReportsFailure)
{
    m_pForm->FileSaveButtonClick(); // cancelled
    EXPECT_EQ(m_pDialogs->m_Proposed.size(), 1);
    EXPECT_TRUE(m_pDialogs->m_Warnings.isEmpty());

    Modify();
    const QString szCaption = m_pForm->windowTitle();
    m_pDialogs->m_szSaveName = Path("missing-dir/x.kvx");
    m_pForm->FileSaveButtonClick();
    ASSERT_EQ(m_pDialogs->m_Warnings.size(), 1);
    EXPECT_EQ(m_pDialogs->m_Warnings[0], "Fehler beim Speichern\nOrdner nicht gefunden: " + Path("missing-dir/x.kvx"));
    EXPECT_TRUE(Document().m_bModified);
    EXPECT_EQ(m_pForm->windowTitle(), szCaption);
    // The failed name is still what the next save dialog proposes.
    m_pDialogs->m_szSaveName = Path("x.kvx");
    m_pForm->FileSaveButtonClick();
    EXPECT_EQ(m_pDialogs->m_Proposed.last(), Path("missing-dir/x.kvx"));
    EXPECT_FALSE(Document().m_bModified);
    EXPECT_EQ(m_pForm->windowTitle(), "KURVIX - " + Path("x.kvx"));

    // Strg+S on a document with a file writes it at once, with neither dialog nor question.
    const int nProposed = m_pDialogs->m_Proposed.size();
    const int nQuestions = m_pDialogs->m_Questions.size();
    Document().SetFunction(2, "x^3");
    QTest::keyClick(m_pForm.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(m_pDialogs->m_Proposed.size(), nProposed);
    EXPECT_EQ(m_pDialogs->m_Questions.size(), nQuestions);
    EXPECT_FALSE(Document().m_bModified);
    EXPECT_NE(ReadFile(Path("x.kvx")).find("f2=x^3"), std::string::npos);
    // So does the button, and the prompt's Ja; Speichern unter asks, proposing the file.
    Document().SetFunction(2, "x^4");
    m_pForm->FileSaveButton->click();
    EXPECT_NE(ReadFile(Path("x.kvx")).find("f2=x^4"), std::string::npos);
    Document().SetFunction(2, "x^5");
    m_pDialogs->m_bAnswerYes = true;
    m_pForm->FileNewButtonClick();
    EXPECT_NE(ReadFile(Path("x.kvx")).find("f2=x^5"), std::string::npos);
    EXPECT_EQ(m_pDialogs->m_Proposed.size(), nProposed);
    ASSERT_TRUE(m_pForm->OpenProject(Path("x.kvx")));
    m_pDialogs->m_szSaveName = Path("y.kvx");
    m_pForm->FileSaveAsClick();
    EXPECT_EQ(m_pDialogs->m_Proposed.last(), Path("x.kvx"));
    EXPECT_EQ(m_pForm->m_szFileName, Path("y.kvx"));
    EXPECT_TRUE(Exists(Path("y.kvx")));
}

TEST_F(DocumentCommands, LegacyFileIsSavedUnderTheCurrentExtension)
{
    // The old fixed layout: ten functions, ten lines of notes, ranges, styles and axes.
    std::string szLegacy = "x*2\n" + std::string(9, '\n') + "Alte Notiz\n" + std::string(9, '\n') +
                           "-10 10 0.2 100\n0 0 1 0\n0 0 1 0\nx---------.\n\n\n"
                           "n -10 10 1\nx\nn -5 5 1\nf\nj\n\n0\n\nj\n";
    Write("old.KVO", szLegacy);
    ASSERT_TRUE(m_pForm->OpenProject(Path("old.KVO")));
    EXPECT_EQ(m_pForm->m_szFileName, Path("old.KVO"));
    EXPECT_EQ(m_pForm->PageControl->currentWidget(), m_pForm->NotesSheet);
    EXPECT_TRUE(NotesEdit()->toPlainText().startsWith("Alte Notiz"));

    m_pDialogs->m_szSaveName = Path("chosen.kvo");
    m_pForm->FileSaveButtonClick();
    EXPECT_EQ(m_pDialogs->m_Proposed.last(), Path("old.kvx"));
    EXPECT_TRUE(Exists(Path("chosen.kvx")));
    EXPECT_FALSE(Exists(Path("chosen.kvo")));
    EXPECT_EQ(m_pForm->m_szFileName, Path("chosen.kvx"));

    // The .kvx written instead of a chosen .kvo is not replaced without asking.
    Write("other.kvx", "f1=alt\n");
    m_pDialogs->m_szSaveName = Path("other.kvo");
    m_pDialogs->m_bAnswerYes = false;
    const int nQuestions = m_pDialogs->m_Questions.size();
    m_pForm->FileSaveAsClick();
    ASSERT_EQ(m_pDialogs->m_Questions.size(), nQuestions + 1);
    EXPECT_TRUE(m_pDialogs->m_Questions.last().contains(Path("other.kvx")));
    EXPECT_EQ(ReadFile(Path("other.kvx")), "f1=alt\n");
    m_pDialogs->m_bAnswerYes = true;
    m_pForm->FileSaveAsClick();
    EXPECT_NE(ReadFile(Path("other.kvx")), "f1=alt\n");
}

TEST_F(DocumentCommands, LoadErrorsKeepDocumentCaptionAndName)
{
    Write("good.kvx", "f1=x\n");
    ASSERT_TRUE(m_pForm->OpenProject(Path("good.kvx")));
    CProject* pGood = &Document();
    const QString szCaption = m_pForm->windowTitle();

    std::string szBad;
    for (int i = 1; i < 12; ++i)
        szBad += "xmin=" + std::to_string(i) + "\n";
    szBad += "kaputt\n";
    Write("bad.kvx", szBad);
    m_pDialogs->m_szOpenName = Path("bad.kvx");
    m_pForm->FileOpenButtonClick();
    Write("func.kvx", "f1=x+\n");
    m_pDialogs->m_szOpenName = Path("func.kvx");
    m_pForm->FileOpenButtonClick();
    m_pDialogs->m_szOpenName = Path("none.kvx");
    m_pForm->FileOpenButtonClick();
    Write("transform.kvx", "transform=fx+*fy\n");
    m_pDialogs->m_szOpenName = Path("transform.kvx");
    m_pForm->FileOpenButtonClick();
    Write("huge.kvx", "notes\n");
    ASSERT_EQ(truncate(Path("huge.kvx").toLocal8Bit().constData(), int64_t{16} << 30), 0);
    m_pDialogs->m_szOpenName = Path("huge.kvx");
    m_pForm->FileOpenButtonClick();

    ASSERT_EQ(m_pDialogs->m_Warnings.size(), 5);
    EXPECT_EQ(m_pDialogs->m_Warnings[4], "Datei zu gro\u00DF: " + Path("huge.kvx"));
    EXPECT_EQ(m_pDialogs->m_Warnings[0], "Fehler beim Laden von " + Path("bad.kvx") + " in Zeile 12");
    // An error at the end of a formula names it and shows that end.
    EXPECT_EQ(m_pDialogs->m_Warnings[1], "Fehler beim Laden von " + Path("func.kvx") +
                                             ": Unerwartetes Ende des Ausdrucks in f1 bei: (Ende von \u201Ex+\")");
    EXPECT_EQ(m_pDialogs->m_Warnings[3], "Fehler beim Laden von " + Path("transform.kvx") +
                                             ": Unerwartetes Symbol in Transformationsterm bei: *fy");
    EXPECT_EQ(m_pDialogs->m_Warnings[2], "Fehler beim Laden von " + Path("none.kvx") + ": Datei nicht gefunden");
    EXPECT_EQ(&Document(), pGood);
    EXPECT_EQ(m_pForm->windowTitle(), szCaption);
    EXPECT_EQ(m_pForm->m_szFileName, Path("good.kvx"));
}

TEST_F(DocumentCommands, ProjectWithNotesOpensOnTheNotesPage)
{
    Write("plain.kvx", "f1=x\n");
    Write("notes.kvx", "f1=x\nnotes\nZeile 1\nZeile 2 <&>\n");
    m_pForm->PageControl->setCurrentWidget(m_pForm->OptionsSheet);
    ASSERT_TRUE(m_pForm->OpenProject(Path("plain.kvx")));
    EXPECT_EQ(m_pForm->PageControl->currentWidget(), m_pForm->FunctionsSheet);
    EXPECT_TRUE(m_pForm->CopyButton->isEnabled());
    ASSERT_TRUE(m_pForm->OpenProject(Path("notes.kvx")));
    EXPECT_EQ(m_pForm->PageControl->currentWidget(), m_pForm->NotesSheet);
    // Not rich text: shown as it stands, and left as it is until the user edits it.
    EXPECT_EQ(NotesEdit()->toPlainText(), "Zeile 1\nZeile 2 <&>\n");
    EXPECT_EQ(*Document().m_pszNotes, "Zeile 1\nZeile 2 <&>\n");
    for (QToolButton* pButton : {m_pForm->FontButton, m_pForm->CopyButton, m_pForm->PasteButton, m_pForm->PrintButton})
        EXPECT_TRUE(pButton->isEnabled()) << pButton->objectName().toStdString();
    m_pForm->PageControl->setCurrentWidget(m_pForm->OptionsSheet);
    for (QToolButton* pButton : {m_pForm->FontButton, m_pForm->CopyButton, m_pForm->PasteButton, m_pForm->PrintButton})
        EXPECT_FALSE(pButton->isEnabled()) << pButton->objectName().toStdString();

    // Opening the same project again while on the notes page fills the editor anew.
    m_pForm->PageControl->setCurrentWidget(m_pForm->NotesSheet);
    NotesEdit()->setPlainText("weg");
    ASSERT_TRUE(m_pForm->OpenProject(Path("notes.kvx")));
    EXPECT_EQ(NotesEdit()->toPlainText(), "Zeile 1\nZeile 2 <&>\n");
    EXPECT_TRUE(m_pForm->FontButton->isEnabled());
}

TEST_F(DocumentCommands, NotesAreKeptInTheEightBitFileWithTheirFormat)
{
    m_pForm->PageControl->setCurrentWidget(m_pForm->NotesSheet);
    NotesEdit()->setFocus();
    QTest::keyClicks(NotesEdit(), "Gr");
    QTextCursor cursor = NotesEdit()->textCursor();
    cursor.insertText(QString::fromUtf8("\u00FC\u00DFe \u20AC \u2713 "));
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    cursor.insertText("fett", bold);
    ASSERT_TRUE(Document().m_pszNotes);
    // Windows-1252 where it has the character, a reference where not.
    const std::string& szNotes = *Document().m_pszNotes;
    EXPECT_NE(szNotes.find("Gr\xFC\xDF"
                           "e \x80 &#10003; "),
              std::string::npos)
        << szNotes;

    // Through the project file and back: the same text with the same format.
    m_pDialogs->m_szSaveName = Path("n.kvx");
    m_pForm->FileSaveButtonClick();
    NotesEdit()->clear();
    ASSERT_TRUE(m_pForm->OpenProject(Path("n.kvx")));
    EXPECT_FALSE(Document().m_bModified);
    EXPECT_EQ(NotesEdit()->toPlainText(), QString::fromUtf8("Gr\u00FC\u00DFe \u20AC \u2713 fett"));
    QTextCursor found = NotesEdit()->document()->find("fett");
    EXPECT_EQ(found.charFormat().fontWeight(), QFont::Bold);

    // A document without notes empties the editor and keeps having none.
    m_pForm->FileNewButtonClick();
    EXPECT_TRUE(NotesEdit()->document()->isEmpty());
    EXPECT_FALSE(Document().m_pszNotes);
}

TEST_F(DocumentCommands, NotesFormatBarAndKeysActOnTheSelection)
{
    QApplication::setActiveWindow(m_pForm.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_pForm.get()));
    m_pForm->PageControl->setCurrentWidget(m_pForm->NotesSheet);
    CNotesPage& page = *m_pForm->NotesSheet;
    NotesEdit()->setFocus();
    QTest::keyClicks(NotesEdit(), "eins zwei drei");
    const auto Select = [this](const QString& szWord) {
        NotesEdit()->setTextCursor(NotesEdit()->document()->find(szWord));
    };
    const auto FormatOf = [this](const QString& szWord) {
        QTextCursor cursor = NotesEdit()->document()->find(szWord);
        cursor.setPosition(cursor.selectionEnd() - 1);
        cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        return cursor.charFormat();
    };
    struct SRow {
        const char* m_pszName;
        QAction* m_pAction;
        Qt::Key eKey;
        bool (*m_Has)(const QTextCharFormat&);
    } const rows[] = {
        {"Fett", page.BoldAction, Qt::Key_B, [](const QTextCharFormat& f) { return f.fontWeight() == QFont::Bold; }},
        {"Kursiv", page.ItalicAction, Qt::Key_I, [](const QTextCharFormat& f) { return f.fontItalic(); }},
        {"Unterstrichen", page.UnderlineAction, Qt::Key_U, [](const QTextCharFormat& f) { return f.fontUnderline(); }},
    };
    for (const SRow& row : rows) {
        // The key formats the selection, and only it; the button shows the format there.
        Select("zwei");
        QTest::keyClick(NotesEdit(), row.eKey, Qt::ControlModifier);
        EXPECT_TRUE(row.m_Has(FormatOf("zwei"))) << row.m_pszName;
        EXPECT_FALSE(row.m_Has(FormatOf("eins"))) << row.m_pszName;
        EXPECT_FALSE(row.m_Has(FormatOf("drei"))) << row.m_pszName;
        EXPECT_TRUE(row.m_pAction->isChecked()) << row.m_pszName;
        Select("drei");
        EXPECT_FALSE(row.m_pAction->isChecked()) << row.m_pszName;
        // The editor's own undo takes it back (Strg+Z belongs to it here, not to the window).
        QTest::keyClick(NotesEdit(), Qt::Key_Z, Qt::ControlModifier);
        EXPECT_FALSE(row.m_Has(FormatOf("zwei"))) << row.m_pszName;
        // The button does what the key does; again, and it is off.
        Select("drei");
        row.m_pAction->trigger();
        EXPECT_TRUE(row.m_Has(FormatOf("drei"))) << row.m_pszName;
        row.m_pAction->trigger();
        EXPECT_FALSE(row.m_Has(FormatOf("drei"))) << row.m_pszName;
    }
    // A format is an edit of the notes, kept as such.
    Select("zwei");
    QTest::keyClick(NotesEdit(), Qt::Key_B, Qt::ControlModifier);
    ASSERT_TRUE(Document().m_pszNotes);
    EXPECT_NE(Document().m_pszNotes->find("font-weight"), std::string::npos) << *Document().m_pszNotes;

    // The colour: the dialog starts from the colour there; cancelled, nothing changes.
    Select("eins");
    page.ColorAction->trigger();
    ASSERT_EQ(m_pDialogs->m_Colors.size(), 1);
    EXPECT_EQ(FormatOf("eins").foreground().color(), m_pDialogs->m_Colors[0]);
    m_pDialogs->m_ChosenColor = QColor(200, 0, 0);
    page.ColorAction->trigger();
    EXPECT_EQ(FormatOf("eins").foreground().color(), QColor(200, 0, 0));
    EXPECT_NE(FormatOf("drei").foreground().color(), QColor(200, 0, 0));

    // The list takes the paragraphs of the selection and gives them back.
    QTextCursor end = NotesEdit()->textCursor();
    end.movePosition(QTextCursor::End);
    end.insertText("\nvier");
    Select("vier");
    page.ListAction->trigger();
    EXPECT_NE(NotesEdit()->document()->find("vier").block().textList(), nullptr);
    EXPECT_EQ(NotesEdit()->document()->find("eins").block().textList(), nullptr);
    EXPECT_TRUE(page.ListAction->isChecked());
    page.ListAction->trigger();
    EXPECT_EQ(NotesEdit()->document()->find("vier").block().textList(), nullptr);
    EXPECT_EQ(NotesEdit()->document()->find("vier").block().blockFormat().indent(), 0);
}

TEST_F(DocumentCommands, NotesEditsAreAChangeUntilTheyAreTheSavedOnesAgain)
{
    m_pForm->PageControl->setCurrentWidget(m_pForm->NotesSheet);
    NotesEdit()->setFocus();
    QTest::keyClicks(NotesEdit(), "a");
    EXPECT_TRUE(Document().m_bModified);
    QTest::keyClick(NotesEdit(), Qt::Key_Backspace);
    EXPECT_FALSE(Document().m_bModified);

    // Notes alone are work that "Neu" asks about, and that the recovery file holds.
    QTest::keyClicks(NotesEdit(), "Stundenplan");
    ASSERT_TRUE(Document().m_bModified);
    m_pForm->Autosave().AutosaveNow();
    EXPECT_NE(ReadFile(m_pForm->Autosave().RecoveryFileName()).find("Stundenplan"), std::string::npos);
    m_pDialogs->m_bCancel = true;
    m_pForm->FileNewButtonClick();
    ASSERT_EQ(m_pDialogs->m_Questions.size(), 1);
    EXPECT_TRUE(m_pDialogs->m_Questions[0].endsWith(g_szQuestion));
    EXPECT_EQ(NotesEdit()->toPlainText(), "Stundenplan");

    // Saved, then changed and taken back in the editor: the saved notes again.
    m_pDialogs->m_szSaveName = Path("plan.kvx");
    ASSERT_TRUE(m_pForm->FileSaveButtonClick());
    EXPECT_EQ(ReadFile(Path("plan.kvx")).substr(ReadFile(Path("plan.kvx")).find("notes")), "notes\r\nStundenplan");
    QTest::keyClick(NotesEdit(), Qt::Key_Home);
    QTest::keyClicks(NotesEdit(), "!");
    EXPECT_TRUE(Document().m_bModified);
    QTest::keyClick(NotesEdit(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(NotesEdit()->toPlainText(), "Stundenplan");
    EXPECT_FALSE(Document().m_bModified);
    // Another change keeps the document modified while the notes go back.
    Document().SetFunction(1, "x");
    QTest::keyClicks(NotesEdit(), "!");
    QTest::keyClick(NotesEdit(), Qt::Key_Backspace);
    EXPECT_TRUE(Document().m_bModified);
}

TEST_F(DocumentCommands, NotesNearTheBoundAreSavedCompactlyAndLoadAgain)
{
    // Lines of plain text near the bound stay as they are. With a word in bold they are HTML
    // of a few bytes more per paragraph, where the editor's full HTML is three times the text.
    const auto Lines = [](int nSize) {
        QString szText;
        for (int i = 0; szText.size() < nSize; ++i)
            szText +=
                "Zeile " + QString::number(i) + QString::fromUtf8(": Gerade durch den Ursprung, Steigung \u00BD.\n");
        return szText;
    };
    for (const bool bBold : {false, true}) {
        const QString szText = Lines(bBold ? 6000000 : 15000000);
        QTextDocument document;
        document.setPlainText(szText);
        if (bBold) {
            QTextCursor cursor(&document);
            cursor.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
            QTextCharFormat bold;
            bold.setFontWeight(QFont::Bold);
            cursor.mergeCharFormat(bold);
        }
        const std::string szNotes = CNotesPage::NotesText(document);
        if (bBold)
            EXPECT_LT(szNotes.size(), static_cast<size_t>(szText.size()) * 115 / 100);
        else
            EXPECT_TRUE(QString::fromLatin1(szNotes.c_str()) == szText);
        Document().m_pszNotes = szNotes;
        ASSERT_NO_THROW(Document().Save(Path("big.kvx").toLocal8Bit().constData())) << bBold;
        CProject loaded;
        ASSERT_NO_THROW(loaded.Load(Path("big.kvx").toLocal8Bit().constData())) << bBold;
        ASSERT_TRUE(loaded.m_pszNotes);
        QTextDocument read;
        CNotesPage::ReadNotes(*loaded.m_pszNotes, read);
        EXPECT_TRUE(read.toPlainText() == document.toPlainText()) << bBold;
        EXPECT_EQ(read.begin().begin().fragment().charFormat().fontWeight(), bBold ? QFont::Bold : QFont::Normal);
    }
}

TEST_F(DocumentCommands, RtfNotesAreShownAndReplacedByTheFirstEdit)
{
    Write("rtf.kvx", "notes\n{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 Sch\\'f6n \\b fett\\b0\\par}\n");
    ASSERT_TRUE(m_pForm->OpenProject(Path("rtf.kvx")));
    EXPECT_EQ(NotesEdit()->toPlainText(), QString::fromUtf8("Sch\u00F6n fett\n"));
    EXPECT_EQ(NotesEdit()->document()->find("fett").charFormat().fontWeight(), QFont::Bold);
    EXPECT_TRUE(CRtfReader::IsRtf(*Document().m_pszNotes));
    // Reading is no edit: undo has nothing to take back.
    EXPECT_FALSE(NotesEdit()->document()->isUndoAvailable());
    QTest::keyClick(NotesEdit(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(NotesEdit(), "!");
    EXPECT_EQ(Document().m_pszNotes->compare(0, 9, "<!DOCTYPE"), 0);
    EXPECT_TRUE(Document().m_bModified);
    // Taken back, the notes are those of the file, though no longer in its form.
    QTest::keyClick(NotesEdit(), Qt::Key_Backspace);
    EXPECT_FALSE(Document().m_bModified);
}

TEST_F(DocumentCommands, FontButtonFormatsTheSelection)
{
    m_pForm->PageControl->setCurrentWidget(m_pForm->NotesSheet);
    NotesEdit()->setPlainText("eins zwei");
    QTextCursor cursor = NotesEdit()->textCursor();
    cursor.setPosition(5);
    cursor.setPosition(9, QTextCursor::KeepAnchor);
    NotesEdit()->setTextCursor(cursor);

    m_pForm->FontButton->click(); // cancelled
    ASSERT_EQ(m_pDialogs->m_Fonts.size(), 1);
    const std::string szBefore = *Document().m_pszNotes;

    QFont chosen("DejaVu Serif", 17);
    chosen.setItalic(true);
    m_pDialogs->m_ChosenFont = chosen;
    m_pForm->FontButton->click();
    const QTextCharFormat zwei = NotesEdit()->document()->find("zwei").charFormat();
    EXPECT_TRUE(zwei.fontItalic());
    EXPECT_DOUBLE_EQ(zwei.fontPointSize(), 17.0);
    EXPECT_EQ(zwei.fontFamilies().toStringList().value(0), "DejaVu Serif");
    EXPECT_FALSE(NotesEdit()->document()->find("eins").charFormat().fontItalic());
    EXPECT_NE(*Document().m_pszNotes, szBefore);
    // The dialog starts from the selection's font.
    m_pForm->FontButton->click();
    EXPECT_TRUE(m_pDialogs->m_Fonts.last().italic());
    EXPECT_EQ(m_pDialogs->m_Fonts.last().pointSize(), 17);
}

// A name that is no UTF-8 ("\xE4" is "ä" in Latin-1) opens and saves by its bytes, named on the
// command line or taken from the open dialog, which decodes it with a replacement character.
TEST_F(DocumentCommands, FileWhoseNameIsNoUtf8OpensAndSavesByItsBytes)
{
    const std::string szBytes = m_szDir + "/K\xE4se.kvx";
    std::ofstream(szBytes, std::ios::binary) << "f1=x^2\n";
    const QString szName = CFileName::Decode(QByteArray::fromStdString(szBytes));
    EXPECT_EQ(CFileName::Encode(szName).toStdString(), szBytes);
    EXPECT_TRUE(szName.endsWith(QString("/K") + QChar(0xDCE4) + "se.kvx"));
    ASSERT_TRUE(m_pForm->OpenProject(szName));
    EXPECT_TRUE(m_pDialogs->m_Warnings.isEmpty());
    ASSERT_NE(Document().GetFunction(1), nullptr);
    Document().SetFunction(2, "x^3");
    ASSERT_TRUE(m_pForm->FileSaveButtonClick());
    std::ifstream saved(szBytes, std::ios::binary);
    EXPECT_NE(std::string(std::istreambuf_iterator<char>(saved), {}).find("f2=x^3"), std::string::npos);

    m_pDialogs->m_szOpenName = QFile::decodeName(QByteArray::fromStdString(szBytes));
    ASSERT_TRUE(m_pDialogs->m_szOpenName.contains(QChar::ReplacementCharacter));
    m_pForm->FileOpenButtonClick();
    EXPECT_TRUE(m_pDialogs->m_Warnings.isEmpty());
    ASSERT_NE(Document().GetFunction(2), nullptr);
    // The folder holds that one file still: nothing was written under another name.
    const std::filesystem::directory_iterator files(m_szDir);
    EXPECT_EQ(std::distance(begin(files), end(files)), 1);

    // Names that are UTF-8 are Qt's own; every byte comes back, whatever it is.
    for (const char* pszName :
         {"/tmp/\xC3\xA4-\xE2\x82\xAC.kvx", "/tmp/\xF0\x9F\x98\x80", "/tmp/\xED\xA0\x80\xC0\xAF\xFF"}) {
        const QByteArray bytes(pszName);
        EXPECT_EQ(CFileName::Encode(CFileName::Decode(bytes)), bytes) << pszName;
        if (QString::fromUtf8(bytes).toUtf8() == bytes) {
            EXPECT_EQ(CFileName::Decode(bytes), QString::fromUtf8(bytes)) << pszName;
        }
    }
}
