// What a desktop program is expected to do beyond the form: undo, the recovery file, the wheel,
// keys, recent files, picture export and the screen's resolution.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QSettings>
#include <QSysInfo>
#include <QTableWidget>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QUndoStack>
#include <QWheelEvent>
#include <csignal>
#include <fstream>
#include <functional>
#include <utility>

#include "CWindowTest.h"
#include "project/CProject.h"
#include "project/CProjectWriter.h"
#include "render/CMovieExport.h"
#include "render/CPictureExport.h"
#include "ui/CAutosave.h"
#include "ui/CColorBox.h"
#include "ui/CFunctionsPage.h"
#include "ui/COptionsPage.h"
#include "ui/CPaintBox.h"
#include "ui/CRecentFiles.h"
#include "ui/CStepEditors.h"
#include "ui/CStylePopupMenu.h"
#include "ui/CUndoHistory.h"
#include "ui/CUserDialogs.h"
#include "ui/TMainForm.h"
#include "view/CFuncVars.h"

namespace {
class Desktop : public CWindowTest {
protected:
    CProject& Document() const { return *m_pForm->m_pDocument; }
    std::string State() const { return CUndoHistory::Snapshot(Document()); }

    // Lets the window notice what the last input changed, as the event loop does after it.
    static void Settle() { QCoreApplication::processEvents(); }

    void TypeInto(QTableWidget* pGrid, int nRow, int nColumn, const QString& szText) const
    {
        pGrid->setFocus();
        pGrid->setCurrentCell(nRow, nColumn);
        pGrid->editItem(pGrid->item(nRow, nColumn));
        auto* pEditor = pGrid->findChild<QLineEdit*>();
        ASSERT_NE(pEditor, nullptr);
        pEditor->selectAll();
        QTest::keyClicks(pEditor, szText);
        QTest::keyClick(pEditor, Qt::Key_Return);
        Settle();
        // The closed editor goes now, so that the next edit finds its own.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void Click(QWidget* pWidget) const
    {
        QTest::mouseClick(pWidget, Qt::LeftButton);
        Settle();
    }

    size_t ItemOf(uint8_t nKind, int nValue) const
    {
        const auto& items = m_pForm->StylePopupMenu->Items();
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].m_nKind == nKind && items[i].m_nValue == nValue)
                return i;
        return 0;
    }

    // A click in the style menu opened from pComponent.
    void ChooseStyle(QWidget* pComponent, uint8_t nKind, int nValue) const
    {
        CStylePopupMenu* pMenu = m_pForm->StylePopupMenu;
        pMenu->Popup(pComponent, QPoint(0, 0));
        QTest::mouseClick(pMenu, Qt::LeftButton, {}, pMenu->ItemRect(ItemOf(nKind, nValue)).center());
        Settle();
    }

    void Wheel(int nX, int nY, int nDelta) const
    {
        CPaintBox* pBox = m_pForm->GraphicsSheet->PaintBox;
        const QPointF pos(nX, nY);
        QWheelEvent event(pos, pBox->mapToGlobal(pos), QPoint(), QPoint(0, nDelta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(pBox, &event);
        Settle();
    }

    void ShowGraphicsWithFixedView() const
    {
        SetFixedView(Document());
        Document().SetFlag(FLAG_PROPORTIONAL, false);
        m_pForm->PageControl->setCurrentWidget(m_pForm->GraphicsSheet);
        Settle();
    }

    std::string Path(const char* pszName) { return ScratchDirectory() + "/" + pszName; }
};

TEST_F(Desktop, EveryKindOfChangeIsOneStepUndoneAndRedone)
{
    CStepEditors& steps = *m_pForm->FunctionsSheet->StepEditors();
    QTableWidget* pFunctions = m_pForm->FunctionsSheet->FunctionsGrid();
    COptionsPage& options = *m_pForm->OptionsSheet;
    struct SChange {
        const char* m_pszName;
        std::function<void()> m_Do;
    } changes[] = {
        {"formula typed, and shown", [&] { TypeInto(pFunctions, 1, 1, "sin(x)+2"); }},
        {"variables typed", [&] { TypeInto(steps.VariablesBox(), 1, 2, "7"); }},
        {"style colour", [&] { ChooseStyle(pFunctions, CStyleItem::KIND_COLOR, 12); }},
        {"style width", [&] { ChooseStyle(pFunctions, CStyleItem::KIND_WIDTH, 5); }},
        {"step inserted", [&] { Click(steps.InsertStepButton); }},
        {"connect points", [&] { Click(steps.ConnectPointsBox); }},
        {"speed typed",
         [&] {
             steps.SpeedEdit->setFocus();
             steps.SpeedEdit->selectAll();
             QTest::keyClicks(steps.SpeedEdit, "250");
             Settle();
         }},
        {"option box",
         [&] {
             m_pForm->PageControl->setCurrentWidget(&options);
             Click(options.XAutoBox);
         }},
        {"curves follow the view",
         [&] {
             m_pForm->PageControl->setCurrentWidget(&options);
             EXPECT_TRUE(options.FollowViewBox->isChecked()); // a new document's
             // On its box: the row is wider than the text, whose end the middle lies beyond.
             QTest::mouseClick(options.FollowViewBox, Qt::LeftButton, {},
                               QPoint(8, options.FollowViewBox->height() / 2));
             Settle();
             EXPECT_FALSE(m_pForm->m_pDocument->m_nFlags & 1u << FLAG_FOLLOWVIEW);
         }},
        {"background colour",
         [&] {
             m_pForm->PageControl->setCurrentWidget(&options);
             ChooseStyle(options.BackgroundColorBox(), CStyleItem::KIND_COLOR, 3);
         }},
    };
    for (const SChange& change : changes) {
        m_pForm->PageControl->setCurrentWidget(m_pForm->FunctionsSheet);
        const std::string szBefore = State();
        const int nSteps = m_pForm->History().Stack()->count();
        change.m_Do();
        const std::string szAfter = State();
        ASSERT_NE(szAfter, szBefore) << change.m_pszName;
        EXPECT_EQ(m_pForm->History().Stack()->count(), nSteps + 1) << change.m_pszName;
        EXPECT_TRUE(m_pForm->UndoButton->isEnabled()) << change.m_pszName;
        Click(m_pForm->UndoButton);
        EXPECT_EQ(State(), szBefore) << change.m_pszName;
        EXPECT_TRUE(m_pForm->RedoButton->isEnabled()) << change.m_pszName;
        Click(m_pForm->RedoButton);
        EXPECT_EQ(State(), szAfter) << change.m_pszName;
        EXPECT_FALSE(m_pForm->RedoButton->isEnabled()) << change.m_pszName;
    }
    // Everything back, one step at a time, ends at the start: the unmodified new document.
    while (m_pForm->UndoButton->isEnabled())
        Click(m_pForm->UndoButton);
    CProject fresh;
    fresh.UseNewDocumentFlags();
    EXPECT_EQ(State(), CUndoHistory::Snapshot(fresh));
    EXPECT_FALSE(Document().m_bModified);
}

TEST_F(Desktop, UndoNeverTakesTheTextOfAFailingFormula)
{
    CFunctionsPage& page = *m_pForm->FunctionsSheet;
    QTableWidget* pFunctions = page.FunctionsGrid();
    TypeInto(pFunctions, 0, 1, "x^2");
    TypeInto(pFunctions, 1, 1, "sin(");
    TypeInto(pFunctions, 2, 1, "x");
    TypeInto(pFunctions, 2, 1, "x+");
    ASSERT_FALSE(page.FormulaError(1).isEmpty());
    ASSERT_FALSE(page.FormulaError(2).isEmpty());
    Click(page.StepEditors()->InsertStepButton); // two steps, so that deleting one changes the list
    for (QToolButton* pButton : {page.StepEditors()->InsertStepButton, page.StepEditors()->DeleteStepButton}) {
        Click(pButton);
        Click(m_pForm->UndoButton);
        Click(m_pForm->RedoButton);
        Click(m_pForm->UndoButton);
        EXPECT_EQ(pFunctions->item(1, 1)->text(), "sin(") << pButton->objectName().toStdString();
        EXPECT_FALSE(page.FormulaError(1).isEmpty());
        EXPECT_EQ(pFunctions->item(0, 1)->text(), "x^2");
    }
    // Taking back the typing that broke a formula brings the formula back.
    Click(m_pForm->UndoButton);
    Click(m_pForm->UndoButton);
    EXPECT_EQ(pFunctions->item(2, 1)->text(), "x");
    EXPECT_TRUE(page.FormulaError(2).isEmpty());
    EXPECT_EQ(pFunctions->item(1, 1)->text(), "sin(");
}

TEST_F(Desktop, ZoomDragAndWheelAreStepsThatKeepTheirView)
{
    ShowGraphicsWithFixedView();
    const std::string szBefore = State();
    Click(m_pForm->ZoominButton);
    EXPECT_EQ(Document().m_dOptions[OPT_XMAX], 5);
    Click(m_pForm->UndoButton);
    EXPECT_EQ(State(), szBefore);
    // The view taken back to is drawn as it is, not replaced by a new automatic range.
    Document().SetFlag(FLAG_XAUTO, true);
    m_pForm->History().NoteChanges();
    const std::string szAuto = State();
    Wheel(100, 100, 120);
    ASSERT_NE(State(), szAuto);
    Click(m_pForm->UndoButton);
    EXPECT_EQ(State(), szAuto);
    EXPECT_EQ(m_pForm->GraphicsSheet, m_pForm->PageControl->currentWidget());
}

TEST_F(Desktop, ModifiedFlagFollowsTheSavedStepOnlyWhileTheFileHoldsTheDocument)
{
    QTableWidget* pFunctions = m_pForm->FunctionsSheet->FunctionsGrid();
    TypeInto(pFunctions, 0, 1, "x^3");
    m_pDialogs->m_szSaveName = QString::fromStdString(Path("saved.kvx"));
    m_pForm->FileSaveButtonClick();
    EXPECT_FALSE(Document().m_bModified);
    TypeInto(pFunctions, 1, 1, "2*x");
    EXPECT_TRUE(Document().m_bModified);
    Click(m_pForm->UndoButton); // back at what was saved
    EXPECT_FALSE(Document().m_bModified);
    Click(m_pForm->UndoButton); // before the save
    EXPECT_TRUE(Document().m_bModified);
    Click(m_pForm->RedoButton);
    EXPECT_FALSE(Document().m_bModified);

    // Notes written meanwhile are no step, but the saved step with them is not the file.
    TypeInto(pFunctions, 1, 1, "3*x");
    m_pForm->NotesSheet->NotesEdit->setPlainText("neue Notiz");
    Click(m_pForm->UndoButton);
    EXPECT_TRUE(Document().m_bModified);
    EXPECT_NE(Document().m_pszNotes->find("neue Notiz"), std::string::npos);

    // Opening and "Neu" leave nothing to undo.
    m_pForm->FileNewButtonClick();
    EXPECT_FALSE(m_pForm->UndoButton->isEnabled());
    EXPECT_FALSE(m_pForm->RedoButton->isEnabled());
}

TEST_F(Desktop, KeysPressTheButtons)
{
    QApplication::setActiveWindow(m_pForm.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_pForm.get()));
    QTableWidget* pFunctions = m_pForm->FunctionsSheet->FunctionsGrid();
    TypeInto(pFunctions, 0, 1, "x+1");
    pFunctions->setFocus();

    // Ctrl+C copies the formulas on the functions page.
    QApplication::clipboard()->clear();
    QTest::keyClick(pFunctions, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "f1: x+1\r\n");

    QTest::keyClick(pFunctions, Qt::Key_Z, Qt::ControlModifier);
    Settle();
    EXPECT_EQ(Document().GetFunction(1), nullptr);
    QTest::keyClick(pFunctions, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    Settle();
    EXPECT_NE(Document().GetFunction(1), nullptr);

    // Ctrl+S asks for the name (as the button does); Ctrl+Shift+S always asks.
    m_pDialogs->m_szSaveName = QString::fromStdString(Path("keys.kvx"));
    QTest::keyClick(pFunctions, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(m_pDialogs->m_Proposed.size(), 1);
    QTest::keyClick(pFunctions, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(m_pDialogs->m_Proposed.size(), 2);
    EXPECT_EQ(m_pDialogs->m_Proposed.last(), m_pDialogs->m_szSaveName);

    // Zoom keys act on a graph shown: on the Funktionen page only with the graph beside the
    // formulas.
    m_pForm->GraphBesideButton->click();
    QTest::keyClick(pFunctions, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(Document().m_dOptions[OPT_XMAX], CProject().m_dOptions[OPT_XMAX]);
    m_pForm->GraphBesideButton->click();
    QTest::keyClick(pFunctions, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_NE(Document().m_dOptions[OPT_XMAX], CProject().m_dOptions[OPT_XMAX]);
    ShowGraphicsWithFixedView();
    QTest::keyClick(m_pForm->GraphicsSheet->PaintBox, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(Document().m_dOptions[OPT_XMAX], 5);
    QTest::keyClick(m_pForm->GraphicsSheet->PaintBox, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(Document().m_dOptions[OPT_XMAX], 10);
    // F4 and its neighbours stay.
    QTest::keyClick(m_pForm->GraphicsSheet->PaintBox, Qt::Key_F2);
    EXPECT_EQ(m_pForm->PageControl->currentWidget(), m_pForm->FunctionsSheet);

    // Ctrl+N asks about the unsaved zoom first; Ctrl+Q closes the window.
    m_pDialogs->m_bAnswerYes = false;
    QTest::keyClick(pFunctions, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(m_pDialogs->m_Questions.size(), 1);
    EXPECT_EQ(Document().GetFunction(1), nullptr);
    QTest::keyClick(pFunctions, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(m_pForm->isVisible());
}

TEST_F(Desktop, WheelZoomsAboutThePointUnderThePointer)
{
    ShowGraphicsWithFixedView();
    CGraphicsPage& page = *m_pForm->GraphicsSheet;
    const QSize size = page.PaintBoxSize();
    auto WorldAt = [&](int nX, int nY) {
        CFuncVars vars;
        vars.SetupView(&Document(), nullptr, size.width(), size.height(), 0, 0);
        double x, y;
        vars.UnmapPoint(nX, nY, x, y);
        return std::make_pair(x, y);
    };
    const auto point = WorldAt(100, 60);
    const double dWidth = Document().m_dOptions[OPT_XMAX] - Document().m_dOptions[OPT_XMIN];
    Wheel(100, 60, 120); // one notch forward: in by the buttons' factor
    EXPECT_NEAR(Document().m_dOptions[OPT_XMAX] - Document().m_dOptions[OPT_XMIN], dWidth / 2, 1e-9);
    EXPECT_NEAR(WorldAt(100, 60).first, point.first, 1e-9);
    EXPECT_NEAR(WorldAt(100, 60).second, point.second, 1e-9);
    EXPECT_TRUE(Document().m_bModified);
    // A fine wheel adds up to a notch; backwards zooms out.
    Wheel(100, 60, -60);
    EXPECT_NEAR(Document().m_dOptions[OPT_XMAX] - Document().m_dOptions[OPT_XMIN], dWidth / 2, 1e-9);
    Wheel(100, 60, -60);
    EXPECT_NEAR(Document().m_dOptions[OPT_XMAX] - Document().m_dOptions[OPT_XMIN], dWidth, 1e-9);
    EXPECT_NEAR(WorldAt(100, 60).first, point.first, 1e-9);
    EXPECT_NEAR(WorldAt(100, 60).second, point.second, 1e-9);
}

TEST_F(Desktop, RecoveryFileLivesWhileTheWorkIsUnsaved)
{
    CAutosave& autosave = m_pForm->Autosave();
    EXPECT_EQ(autosave.Timer()->interval(), 60 * 1000);
    EXPECT_TRUE(autosave.Timer()->isActive());
    const QString szRecovery = autosave.RecoveryFileName();
    EXPECT_TRUE(szRecovery.startsWith(CAutosave::Directory()));
    EXPECT_TRUE(CAutosave::Directory().startsWith(qEnvironmentVariable("XDG_STATE_HOME")));

    autosave.AutosaveNow(); // nothing modified: nothing written
    EXPECT_FALSE(QFile::exists(szRecovery));
    TypeInto(m_pForm->FunctionsSheet->FunctionsGrid(), 0, 1, "x^2-1");
    QMetaObject::invokeMethod(autosave.Timer(), "timeout");
    ASSERT_TRUE(QFile::exists(szRecovery));
    // A running window's file is its own, no orphan.
    EXPECT_TRUE(CAutosave::Orphans().isEmpty());

    m_pDialogs->m_szSaveName = QString::fromStdString(Path("work.kvx"));
    m_pForm->FileSaveButtonClick();
    EXPECT_FALSE(QFile::exists(szRecovery));

    // The window ends without closing (a crash): the next start offers the work back.
    TypeInto(m_pForm->FunctionsSheet->FunctionsGrid(), 1, 1, "cos(x)");
    autosave.AutosaveNow();
    const std::string szWork = CProjectWriter::Format(Document());
    const QString szOrphan = CAutosave::Directory() + "/recovery-999999-1.kvx";

    for (bool bRestore : {false, true}) {
        ASSERT_TRUE(QFile::copy(szRecovery, szOrphan));
        QFile::copy(szRecovery.chopped(4) + ".name", szOrphan.chopped(4) + ".name");
        auto pDialogs = std::make_unique<CScriptedDialogs>();
        CScriptedDialogs& dialogs = *pDialogs;
        dialogs.m_bAnswerYes = bRestore;
        TMainForm form;
        form.m_pDialogs = std::move(pDialogs);
        form.FormCreate();
        ASSERT_EQ(dialogs.m_Questions.size(), 1) << bRestore;
        EXPECT_TRUE(dialogs.m_Questions[0].endsWith("Wiederherstellen?"));
        EXPECT_FALSE(QFile::exists(szOrphan)); // asked once, whatever the answer
        if (bRestore) {
            EXPECT_EQ(CProjectWriter::Format(*form.m_pDocument), szWork);
            EXPECT_TRUE(form.m_pDocument->m_bModified);
            EXPECT_EQ(form.m_szFileName, QString::fromStdString(Path("work.kvx")));
            EXPECT_TRUE(QFile::exists(form.Autosave().RecoveryFileName()));
            // Taking back what came back never claims the file's state.
            TypeInto(form.FunctionsSheet->FunctionsGrid(), 2, 1, "x");
            form.History().Undo();
            EXPECT_TRUE(form.m_pDocument->m_bModified);
            dialogs.m_bAnswerYes = false;
            form.close(); // a normal end, having said no to saving
            EXPECT_FALSE(QFile::exists(form.Autosave().RecoveryFileName()));
        } else {
            EXPECT_EQ(form.m_pDocument->GetFunction(1), nullptr);
        }
    }
}

TEST_F(Desktop, RecoveryFilesAreEachWindowsOwnAndOfferedOnce)
{
    // Dialogs that start another window while the first one asks.
    class CAskingDialogs : public CScriptedDialogs {
    public:
        bool Question(QWidget* pParent, const QString& szCaption, const QString& szText) override
        {
            if (std::function<void()> onQuestion = std::exchange(m_OnQuestion, nullptr))
                onQuestion();
            return CScriptedDialogs::Question(pParent, szCaption, szText);
        }
        std::function<void()> m_OnQuestion;
    };
    const auto Window = [](std::unique_ptr<CScriptedDialogs> pDialogs) {
        auto pForm = std::make_unique<TMainForm>();
        pForm->m_pDialogs = std::move(pDialogs);
        pForm->FormCreate();
        return pForm;
    };
    const auto Orphan = [](const QString& szName, const QByteArray& data) {
        const QString szFile = CAutosave::Directory() + "/" + szName;
        QFile file(szFile);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        return szFile;
    };

    // A window that crashed under this very process id, its lock file naming that id (the
    // program as process 1 of a container, run again).
    const QString szPid = QString::number(QCoreApplication::applicationPid());
    const QString szOrphan = Orphan("recovery-" + szPid + "-1.kvx", "f1=x^3\r\n");
    Orphan("recovery-" + szPid + "-1.lock", szPid.toUtf8() + "\nKURVIX\n" + QSysInfo::machineHostName().toUtf8());
    EXPECT_NE(m_pForm->Autosave().RecoveryFileName(), szOrphan);

    // Two windows start together: the one that asks holds the orphan, the other passes it over.
    auto pDialogs = std::make_unique<CAskingDialogs>();
    CAskingDialogs& dialogs = *pDialogs;
    dialogs.m_bAnswerYes = true;
    auto pOtherDialogs = std::make_unique<CScriptedDialogs>();
    CScriptedDialogs& otherDialogs = *pOtherDialogs;
    std::unique_ptr<TMainForm> pOther;
    dialogs.m_OnQuestion = [&] { pOther = Window(std::move(pOtherDialogs)); };
    std::unique_ptr<TMainForm> pForm = Window(std::move(pDialogs));
    ASSERT_EQ(dialogs.m_Questions.size(), 1);
    ASSERT_TRUE(pOther);
    EXPECT_TRUE(otherDialogs.m_Questions.isEmpty());
    ASSERT_NE(pForm->m_pDocument->GetFunction(1), nullptr);
    EXPECT_EQ(pForm->m_pDocument->GetFunction(1)->GetText(), "x^3");
    // Its work is safe in a file of its own; the orphan is gone.
    EXPECT_FALSE(QFile::exists(szOrphan));
    EXPECT_TRUE(QFile::exists(pForm->Autosave().RecoveryFileName()));
    EXPECT_NE(pForm->Autosave().RecoveryFileName(), pOther->Autosave().RecoveryFileName());
    EXPECT_TRUE(CAutosave::Orphans().isEmpty());
    pForm.reset();
    pOther.reset();

    // A recovery file that does not load is kept, and the message says why and where.
    const QString szBroken = Orphan("recovery-kaputt.kvx", "f1=x\r\nunsinn\r\n");
    auto pAnswers = std::make_unique<CScriptedDialogs>();
    CScriptedDialogs& answers = *pAnswers;
    answers.m_bAnswerYes = true;
    pForm = Window(std::move(pAnswers));
    const QString szKept = CAutosave::Directory() + "/unlesbar-kaputt.kvx";
    ASSERT_EQ(answers.m_Warnings.size(), 1);
    EXPECT_TRUE(answers.m_Warnings[0].contains(szBroken + " in Zeile 2")) << answers.m_Warnings[0].toStdString();
    EXPECT_TRUE(answers.m_Warnings[0].endsWith(szKept)) << answers.m_Warnings[0].toStdString();
    EXPECT_TRUE(QFile::exists(szKept));
    EXPECT_EQ(pForm->m_pDocument->GetFunction(1), nullptr);
    EXPECT_TRUE(CAutosave::Orphans().isEmpty()); // not offered again
    QFile::remove(szKept);

    // A state folder that cannot be written is said once in the status line.
    const QString szMoved = CAutosave::Directory() + ".away";
    ASSERT_TRUE(QDir().rename(CAutosave::Directory(), szMoved));
    {
        QFile file(CAutosave::Directory()); // no folder, and none can be made there
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    TypeInto(pForm->FunctionsSheet->FunctionsGrid(), 0, 1, "x+1");
    pForm->Autosave().AutosaveNow();
    EXPECT_TRUE(pForm->StatusText().startsWith(QString::fromUtf8("Keine automatische Sicherung m\u00F6glich: ")))
        << pForm->StatusText().toStdString();
    pForm->ShowStatus("anderes");
    pForm->Autosave().AutosaveNow();
    EXPECT_EQ(pForm->StatusText(), "anderes");
    QFile::remove(CAutosave::Directory());
    ASSERT_TRUE(QDir().rename(szMoved, CAutosave::Directory()));
    pForm->Autosave().AutosaveNow();
    EXPECT_TRUE(QFile::exists(pForm->Autosave().RecoveryFileName()));
}

// SIGTERM (a logout, a kill) ends the window as a close would, but asks nothing: the unsaved work
// is written up to date into the recovery file for the next start, the lock is let go and the
// window's place is kept. SIGHUP does the same.
TEST_F(Desktop, TerminationSignalEndsTheWindowKeepingTheWork)
{
    for (const int nSignal : {SIGTERM, SIGHUP}) {
        auto pDialogs = std::make_unique<CScriptedDialogs>();
        CScriptedDialogs& dialogs = *pDialogs;
        TMainForm form;
        form.m_pDialogs = std::move(pDialogs);
        form.CloseOnSignals();
        form.FormCreate();
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        form.resize(640 + nSignal, 480);
        QSettings().remove("Window/Geometry");
        const QString szRecovery = form.Autosave().RecoveryFileName();
        QString szLock = szRecovery;
        szLock.replace(".kvx", ".lock");
        form.Autosave().AutosaveNow();
        TypeInto(form.FunctionsSheet->FunctionsGrid(), 0, 1, "x^2-1"); // newer than any autosave
        ASSERT_FALSE(QFile::exists(szRecovery));

        ASSERT_EQ(raise(nSignal), 0); // the handler only writes to its pipe
        QTRY_VERIFY(!form.isVisible());
        EXPECT_TRUE(form.EndedBySignal());
        EXPECT_TRUE(dialogs.m_Questions.isEmpty()); // nobody asked to save
        CProject recovered;
        recovered.Load(QFile::encodeName(szRecovery).constData());
        ASSERT_NE(recovered.GetFunction(1), nullptr);
        EXPECT_EQ(recovered.GetFunction(1)->GetText(), "x^2-1");
        EXPECT_FALSE(QFile::exists(szLock));
        // An orphan now, offered to the next window.
        const QList<CAutosave::SRecovery> orphans = CAutosave::Orphans();
        ASSERT_EQ(orphans.size(), 1);
        EXPECT_EQ(orphans[0].m_szFile, szRecovery);
        CAutosave::Forget(orphans[0]);
        QWidget placed;
        placed.restoreGeometry(QSettings().value("Window/Geometry").toByteArray());
        EXPECT_EQ(placed.width(), 640 + nSignal);
        // Nothing the window does on its way out takes the file back.
        form.Autosave().AutosaveNow();
        form.Autosave().Discard();
    }
}

TEST_F(Desktop, RecentFilesAreTheLastEightOpenedOrSaved)
{
    for (int i = 0; i < 10; ++i) {
        m_pDialogs->m_szSaveName = QString::fromStdString(Path(("p" + std::to_string(i) + ".kvx").c_str()));
        m_pForm->FileSaveAsClick();
    }
    ASSERT_TRUE(m_pForm->OpenProject(QString::fromStdString(Path("p5.kvx"))));
    QStringList files = m_pForm->RecentFiles().Files();
    ASSERT_EQ(files.size(), CRecentFiles::MAX_FILES);
    EXPECT_TRUE(files[0].endsWith("/p5.kvx"));
    EXPECT_TRUE(files[1].endsWith("/p9.kvx"));
    EXPECT_TRUE(files[7].endsWith("/p2.kvx"));
    EXPECT_EQ(CRecentFiles().Files(), files); // kept for the next start

    // The open button's drop-down lists them; a file gone is dropped when chosen.
    QMenu* pMenu = m_pForm->FileOpenButton->menu();
    ASSERT_NE(pMenu, nullptr);
    emit pMenu->aboutToShow();
    ASSERT_EQ(pMenu->actions().size(), CRecentFiles::MAX_FILES);
    EXPECT_EQ(pMenu->actions()[1]->data().toString(), files[1]);
    QFile::remove(files[1]);
    emit pMenu->triggered(pMenu->actions()[1]);
    EXPECT_EQ(m_pDialogs->m_Warnings.size(), 1);
    EXPECT_FALSE(m_pForm->RecentFiles().Files().contains(files[1]));
    emit pMenu->triggered(pMenu->actions()[2]);
    EXPECT_EQ(m_pForm->m_szFileName, files[2]);
}

TEST_F(Desktop, WindowComesBackWhereItWasStartingOnTheFunctionsOrOnTheNotes)
{
    m_pForm->resize(700, 500);
    m_pForm->PageControl->setCurrentWidget(m_pForm->WetaSheet);
    m_pForm->close();
    {
        TMainForm form;
        form.m_pDialogs = std::make_unique<CScriptedDialogs>();
        form.FormCreate();
        EXPECT_EQ(form.size(), QSize(700, 500));
        EXPECT_EQ(form.PageControl->currentWidget(), form.FunctionsSheet);
        // Closed on the notes page: an empty one is no place to begin, notes to read are.
        form.PageControl->setCurrentWidget(form.NotesSheet);
        form.close();
    }
    // A window saved larger than the screen (at another scale) comes back within it.
    {
        TMainForm form;
        form.m_pDialogs = std::make_unique<CScriptedDialogs>();
        form.FormCreate();
        form.resize(form.screen()->availableGeometry().size() * 2);
        form.close();
    }
    {
        TMainForm form;
        form.m_pDialogs = std::make_unique<CScriptedDialogs>();
        form.FormCreate();
        const QRect available = form.screen()->availableGeometry();
        EXPECT_LE(form.width(), available.width());
        EXPECT_LE(form.height(), available.height());
        EXPECT_TRUE(available.contains(form.geometry())) << form.geometry().x() << "," << form.geometry().y();
    }
    const std::string szNotes = Path("notes.kvx");
    std::ofstream(szNotes) << "f1=x\nnotes\nZum Lesen\n";
    for (const bool bNotes : {false, true}) {
        TMainForm form;
        form.m_pDialogs = std::make_unique<CScriptedDialogs>();
        form.FormCreate(bNotes ? QString::fromStdString(szNotes) : QString());
        EXPECT_EQ(form.PageControl->currentWidget(),
                  bNotes ? static_cast<QWidget*>(form.NotesSheet) : form.FunctionsSheet)
            << bNotes;
        form.PageControl->setCurrentWidget(form.NotesSheet);
        form.close();
    }
}

TEST_F(Desktop, PictureExportIsTheCommandLinePictureAtTheChosenSize)
{
    QTableWidget* pFunctions = m_pForm->FunctionsSheet->FunctionsGrid();
    TypeInto(pFunctions, 0, 1, "sin(x)");
    m_pDialogs->m_szSaveName = QString::fromStdString(Path("curve.kvx"));
    m_pForm->FileSaveButtonClick();

    // Cancelled: nothing. The name proposed is the project's, the size the page's.
    m_pForm->ExportButtonClick();
    ASSERT_EQ(m_pDialogs->m_ProposedPictures.size(), 1);
    EXPECT_EQ(m_pDialogs->m_ProposedPictures[0], QString::fromStdString(Path("curve.png")) + "|584x387");

    const std::string szExpected = Path("expected.png");
    CProject copy;
    copy.Load(Path("curve.kvx").c_str());
    bool bNothing = true;
    ASSERT_TRUE(CPictureExport::Export(copy, szExpected, 300, 200, bNothing));
    for (const char* pszName : {"window.png", "window.svg", "window.pdf", "plain"}) {
        m_pDialogs->m_szPictureName = QString::fromStdString(Path(pszName));
        m_pDialogs->m_PictureSize = QSize(300, 200);
        m_pForm->ExportButtonClick();
        EXPECT_TRUE(m_pDialogs->m_Warnings.isEmpty()) << pszName;
    }
    EXPECT_EQ(QImage(QString::fromStdString(Path("window.png"))), QImage(QString::fromStdString(szExpected)));
    EXPECT_EQ(QImage(QString::fromStdString(Path("plain.png"))), QImage(QString::fromStdString(szExpected)));
    for (const char* pszName : {"window.svg", "window.pdf"})
        EXPECT_GT(QFile(QString::fromStdString(Path(pszName))).size(), 100) << pszName;
    // The range determined for the picture is not the window's: nothing changed.
    EXPECT_FALSE(Document().m_bModified);

    m_pDialogs->m_szPictureName = "/nonexistent-dir/x.png";
    m_pForm->ExportButtonClick();
    ASSERT_EQ(m_pDialogs->m_Warnings.size(), 1);
    EXPECT_EQ(m_pDialogs->m_Warnings[0], "Fehler beim Exportieren von /nonexistent-dir/x.png\n"
                                         "Ordner nicht gefunden: /nonexistent-dir/x.png");

    // Nothing to draw: the picture is written, and the status line gives the cause in the
    // Grafik page's words.
    for (CAnimationStep* pStep = Document().m_pFirstStep; pStep; pStep = pStep->m_pNext)
        pStep->m_bVisible[0] = false;
    m_pForm->PageControl->setCurrentWidget(m_pForm->GraphicsSheet);
    Settle();
    const QString szCause = m_pForm->StatusText();
    EXPECT_TRUE(szCause.startsWith("Nichts zu zeichnen: in diesem Animationsschritt ist keine Funktion sichtbar."))
        << szCause.toStdString();
    m_pForm->PageControl->setCurrentWidget(m_pForm->FunctionsSheet);
    m_pDialogs->m_szPictureName = QString::fromStdString(Path("empty.png"));
    m_pForm->ExportButtonClick();
    EXPECT_EQ(m_pForm->StatusText(),
              "Bild ohne Kurven gespeichert: " + m_pDialogs->m_szPictureName + " \u2013 " + szCause);
    EXPECT_TRUE(QFile::exists(m_pDialogs->m_szPictureName));
}

// Datei → Animation exportieren writes the film kurvix --export writes, at the size and rate
// chosen, under the name the project suggests; a film that cannot be written is a warning.
TEST_F(Desktop, AnimationExportIsTheCommandLineFilm)
{
    QTableWidget* pFunctions = m_pForm->FunctionsSheet->FunctionsGrid();
    TypeInto(pFunctions, 0, 1, "sin(x)");
    m_pDialogs->m_szSaveName = QString::fromStdString(Path("curve.kvx"));
    m_pForm->FileSaveButtonClick();
    ASSERT_TRUE(m_pForm->AnimationExportAction->isEnabled());

    m_pForm->AnimationExportAction->trigger(); // cancelled: nothing
    ASSERT_EQ(m_pDialogs->m_ProposedMovies.size(), 1);
    EXPECT_EQ(m_pDialogs->m_ProposedMovies[0], QString::fromStdString(Path("curve.gif")) + "|584x387|25");

    CProject copy;
    copy.Load(Path("curve.kvx").c_str());
    CMovieExport::SResult result;
    ASSERT_TRUE(CMovieExport::Export(copy, Path("expected.gif"), 60, 40, 10, result));
    m_pDialogs->m_MovieSize = QSize(60, 40);
    m_pDialogs->m_nMovieFps = 10;
    for (const char* pszName : {"window.gif", "plain", "window.webm"}) {
        m_pDialogs->m_szMovieName = QString::fromStdString(Path(pszName));
        m_pForm->AnimationExportAction->trigger();
        EXPECT_TRUE(m_pDialogs->m_Warnings.isEmpty()) << pszName;
    }
    EXPECT_EQ(m_pForm->StatusText(), "Animation gespeichert: " + m_pDialogs->m_szMovieName);
    for (const char* pszName : {"window.gif", "plain.gif"}) {
        QFile film(QString::fromStdString(Path(pszName))), expected(QString::fromStdString(Path("expected.gif")));
        ASSERT_TRUE(film.open(QIODevice::ReadOnly) && expected.open(QIODevice::ReadOnly)) << pszName;
        EXPECT_EQ(film.readAll(), expected.readAll()) << pszName;
    }
    EXPECT_GT(QFile(QString::fromStdString(Path("window.webm"))).size(), 100);
    // The next film is proposed as the last one was chosen.
    m_pDialogs->m_szMovieName.clear();
    m_pForm->AnimationExportAction->trigger();
    EXPECT_EQ(m_pDialogs->m_ProposedMovies.back(), QString::fromStdString(Path("window.webm")) + "|584x387|10");
    EXPECT_FALSE(Document().m_bModified);

    m_pDialogs->m_szMovieName = "/nonexistent-dir/x.mp4";
    m_pForm->AnimationExportAction->trigger();
    ASSERT_EQ(m_pDialogs->m_Warnings.size(), 1);
    EXPECT_EQ(m_pDialogs->m_Warnings[0], "Fehler beim Exportieren von /nonexistent-dir/x.mp4\n"
                                         "Ordner nicht gefunden: /nonexistent-dir/x.mp4");
}

// The dialogs as the user meets them: Enter in the export dialog's file field exports (rather than
// browsing), and Strg+S on a document with a file shows no dialog at all.
TEST_F(Desktop, EnterExportsAndTheSaveKeyAsksNothing)
{
    auto pDialogs = std::make_unique<CUserDialogs>();
    CUserDialogs& dialogs = *pDialogs;
    QString szName = "alt.png";
    QSize size(300, 200);
    bool bTyped = false;
    QTimer::singleShot(0, [&] {
        QWidget* pDialog = QApplication::activeModalWidget();
        ASSERT_NE(pDialog, nullptr);
        EXPECT_EQ(pDialog->objectName(), "ExportDialog");
        auto* pEdit = pDialog->findChild<QLineEdit*>();
        ASSERT_NE(pEdit, nullptr);
        pEdit->setFocus();
        pEdit->selectAll();
        QTest::keyClicks(pEdit, "neu.png");
        QTest::keyClick(pEdit, Qt::Key_Return);
        bTyped = true;
    });
    EXPECT_TRUE(dialogs.PictureFile(m_pForm.get(), szName, size));
    EXPECT_TRUE(bTyped);
    EXPECT_EQ(szName, "neu.png");
    EXPECT_EQ(size, QSize(300, 200));

    const std::string szFile = Path("gespeichert.kvx");
    std::ofstream(szFile) << "f1=x\n";
    ASSERT_TRUE(m_pForm->OpenProject(QString::fromStdString(szFile)));
    m_pForm->m_pDialogs = std::move(pDialogs); // a dialog would wait for an answer: the run fails
    TypeInto(m_pForm->FunctionsSheet->FunctionsGrid(), 1, 1, "x^3");
    ASSERT_TRUE(Document().m_bModified);
    QApplication::setActiveWindow(m_pForm.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_pForm.get()));
    QTest::keyClick(m_pForm->FunctionsSheet->FunctionsGrid(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(Document().m_bModified);
    std::ifstream saved(szFile);
    EXPECT_NE(std::string(std::istreambuf_iterator<char>(saved), {}).find("f2=x^3"), std::string::npos);
}

// Run also with QT_SCALE_FACTOR=2: the picture has the screen's pixels, its lines their widths.
TEST_F(Desktop, GraphIsDrawnAtTheScreensResolution)
{
    ShowGraphicsWithFixedView();
    Document().SetFlag(FLAG_SHOWAXIS, false); // the axes without their labels
    Document().SetFlag(FLAG_YGRID, false);
    m_pForm->GraphicsSheet->PaintBoxPaint();
    const qreal dRatio = m_pForm->GraphicsSheet->PaintBox->devicePixelRatioF();
    const QImage picture = m_pForm->GraphicsSheet->Picture().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(picture.size(), m_pForm->GraphicsSheet->PaintBoxSize() * dRatio);
    // The y axis: as many device pixels wide as the ratio.
    const int nRow = picture.height() * 3 / 8;
    int nBlack = 0;
    for (int x = picture.width() / 4; x < picture.width() * 3 / 4; ++x)
        nBlack += picture.pixel(x, nRow) == qRgb(0, 0, 0);
    EXPECT_EQ(nBlack, qRound(dRatio));
}
} // namespace
