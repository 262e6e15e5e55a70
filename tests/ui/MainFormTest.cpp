// The main window driven as a user drives it, through its named controls.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <fstream>
#include <functional>
#include <iterator>

#include "CWindowTest.h"
#include "kurvix_version.h"
#include "project/CProject.h"
#include "ui/CColorBox.h"
#include "ui/CFunctionsPage.h"
#include "ui/CGridDelegate.h"
#include "ui/CNumberField.h"
#include "ui/COptionsPage.h"
#include "ui/CStepEditors.h"
#include "ui/CStylePopupMenu.h"
#include "ui/CUpDown.h"
#include "ui/TMainForm.h"

namespace {
class MainForm : public CWindowTest {
protected:
    template <class T> T* Find(const char* pszName) const
    {
        T* pWidget = m_pForm->findChild<T*>(pszName);
        EXPECT_NE(pWidget, nullptr) << pszName;
        return pWidget;
    }

    QTableWidget* Grid(const char* pszName) const { return Find<QTableWidget>(pszName); }
    CProject& Document() const { return *m_pForm->m_pDocument; }
    QString Status() const { return m_pForm->StatusText(); }

    // Opens the cell's editor with its current text selected, so that typing replaces it.
    QLineEdit* Edit(QTableWidget* pGrid, int nRow, int nColumn) const
    {
        pGrid->setFocus();
        pGrid->setCurrentCell(nRow, nColumn);
        pGrid->editItem(pGrid->item(nRow, nColumn));
        auto* pEditor = pGrid->findChild<QLineEdit*>();
        EXPECT_NE(pEditor, nullptr);
        if (pEditor)
            pEditor->selectAll();
        return pEditor;
    }

    void CloseEditor(QTableWidget* pGrid) const
    {
        if (auto* pEditor = pGrid->findChild<QLineEdit*>())
            QTest::keyClick(pEditor, Qt::Key_Return);
        // The view commits and closes the editor from the event loop.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QString Cell(QTableWidget* pGrid, int nRow, int nColumn) const { return pGrid->item(nRow, nColumn)->text(); }
};
} // namespace

TEST_F(MainForm, StartsOnTheFunctionsPageWithTheToolbarAsListed)
{
    EXPECT_EQ(m_pForm->windowTitle(), QString("KURVIX V") + KURVIX_VERSION_TEXT);
    auto* pPages = Find<QTabWidget>("PageControl");
    const char* names[] = {"FunctionsSheet", "OptionsSheet", "NotesSheet", "WetaSheet", "GraphicsSheet", "DebugSheet"};
    const char* captions[] = {"Funktionen", "Einstellungen", "Notizen", "Wertetafel", "Grafik", "Debug"};
    ASSERT_EQ(pPages->count(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(pPages->widget(i)->objectName(), names[i]);
        EXPECT_EQ(pPages->tabText(i), captions[i]);
    }
    EXPECT_EQ(pPages->currentWidget()->objectName(), "FunctionsSheet");
    EXPECT_EQ(Status(), CFunctionsPage::FIRST_STEP_HINT);
    EXPECT_TRUE(Grid("FunctionsGrid")->hasFocus());

    // The hint is the design's; the tooltip adds the key that presses the button.
    struct SButton {
        const char* m_pszName;
        const char* m_pszHint;
        bool m_bEnabled;
        const char* m_pszKey;
    } buttons[] = {
        {"FileNewButton", "Neu", true, "Strg+N"},
        {"FileOpenButton",
         "\xC3\x96"
         "ffnen",
         true, "Strg+O"},
        {"FileSaveButton", "Speichern", true, "Strg+S"},
        {"PrintButton", "Drucken", false, "Strg+P"},
        {"CopyButton", "Kopie in Zwischenablage", true, "Strg+C"}, // the functions page is entered
        {"PasteButton", "Einf\xC3\xBCgen aus Zwischenablage", false, nullptr},
        {"FontButton", "Textformatierung", false, nullptr},
        {"GraphicsButton", "Grafik neu zeichnen", true, nullptr},
        {"PauseButton", "Animation unterbrechen", false, nullptr}, // these four belong to the Grafik page
        {"SkipButton",
         "Animationsschritt \xC3\xBC"
         "berspringen",
         false, nullptr},
        // Zoom acts on the graph beside the formulas.
        {"ZoominButton",
         "Vergr\xC3\xB6\xC3\x9F"
         "ern",
         true, "Strg++"},
        {"ZoomoutButton", "Verkleinern", true, "Strg+-"},
        {"UndoButton",
         "R\xC3\xBC"
         "ckg\xC3\xA4"
         "ngig",
         false, "Strg+Z"},
        {"RedoButton", "Wiederholen", false, "Strg+Umschalt+Z"},
        {"ExportButton", "Bild exportieren\xE2\x80\xA6", true, nullptr},
        {"GraphBesideButton", "Grafik neben den Funktionen", true, nullptr},
    };
    const auto* pToolBar = Find<QToolBar>("ToolBar1");
    int nPosition = -1;
    for (const SButton& button : buttons) {
        auto* pButton = Find<QToolButton>(button.m_pszName);
        ASSERT_NE(pButton, nullptr);
        const QString szHint = QString::fromUtf8(button.m_pszHint);
        EXPECT_EQ(pButton->accessibleName(), szHint) << button.m_pszName;
        EXPECT_EQ(pButton->toolTip(), button.m_pszKey ? szHint + " (" + button.m_pszKey + ")" : szHint)
            << button.m_pszName;
        EXPECT_EQ(pButton->isEnabled(), button.m_bEnabled) << button.m_pszName;
        // In the form's order; the new buttons after the form's own.
        const int nAt = pToolBar->layout()->indexOf(pButton);
        EXPECT_GT(nAt, nPosition) << button.m_pszName;
        nPosition = nAt;
    }
    for (const char* pszName :
         {"InsertStepButton", "DeleteStepButton", "MoveStepUpButton", "MoveStepDownButton", "RunButton", "SameRangeBox",
          "ConnectPointsBox", "SpeedEdit", "SpeedUpDown", "WaitEdit", "WaitUpDown", "VariablesBox", "StepsBox",
          "XminEdit", "TransformEdit", "BackgroundColorBox", "StylePopupMenu", "StatusBar1"})
        EXPECT_NE(m_pForm->findChild<QObject*>(pszName), nullptr) << pszName;
}

TEST_F(MainForm, FormulaIsCompiledAtEveryKeystroke)
{
    QTableWidget* pGrid = Grid("FunctionsGrid");
    QLineEdit* pEditor = Edit(pGrid, 0, 1);
    ASSERT_NE(pEditor, nullptr);
    struct SKey {
        char m_cKey;
        const char* m_pszStatus;
    } keys[] = {
        {'s', "Unbekannte Funktion oder Variable in f1 bei: s"},
        {'i', "Unbekannte Funktion oder Variable in f1 bei: si"},
        {'n', "( erwartet in f1 bei: "},
        {'(', "Unerwartetes Ende des Ausdrucks in f1 bei: "},
        {'x', ") erwartet in f1 bei: "},
        {')', ""},
    };
    for (const SKey& key : keys) {
        QTest::keyClick(pEditor, key.m_cKey);
        EXPECT_EQ(Status(), QString::fromUtf8(key.m_pszStatus)) << "after " << key.m_cKey;
        if (key.m_cKey != ')') {
            EXPECT_EQ(Document().GetFunction(1), nullptr);
        }
    }
    ASSERT_NE(Document().GetFunction(1), nullptr);
    EXPECT_EQ(Document().GetFunction(1)->GetText(), "sin(x)");
    EXPECT_TRUE(Document().m_bModified);
    CloseEditor(pGrid);
    EXPECT_EQ(Cell(pGrid, 0, 1), "sin(x)");
}

TEST_F(MainForm, TypingGoesIntoTheCurrentFormulaAtStartAndAfterF2)
{
    QTableWidget* pGrid = Grid("FunctionsGrid");
    m_pForm->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_pForm.get()));
    // Each key goes where the keyboard focus is, as a user's keys do.
    const auto Type = [this](const QString& szKeys, Qt::Key eEnd = Qt::Key_Return) {
        for (const QChar c : szKeys)
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : m_pForm.get(), c.toLatin1());
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : m_pForm.get(), eEnd);
        QCoreApplication::processEvents();
    };
    // At start the formula cell of f1 is current and has the keyboard.
    EXPECT_EQ(pGrid->currentRow(), 0);
    EXPECT_EQ(pGrid->currentColumn(), 1);
    Type("x^2");
    ASSERT_NE(Document().GetFunction(1), nullptr);
    EXPECT_EQ(Document().GetFunction(1)->GetText(), "x^2");

    // After another page, F2 comes back to the row edited last.
    const QRect cell = pGrid->visualRect(pGrid->model()->index(3, 1));
    QTest::mouseClick(pGrid->viewport(), Qt::LeftButton, {}, cell.center());
    Type("2*x");
    ASSERT_NE(Document().GetFunction(4), nullptr);
    Grid("VariablesBox")->setFocus();
    Type("", Qt::Key_F4);
    EXPECT_EQ(m_pForm->PageControl->currentWidget(), m_pForm->GraphicsSheet);
    Type("", Qt::Key_F2);
    EXPECT_EQ(m_pForm->PageControl->currentWidget(), m_pForm->FunctionsSheet);
    EXPECT_EQ(QApplication::focusWidget(), pGrid);
    EXPECT_EQ(pGrid->currentRow(), 3);
    EXPECT_EQ(pGrid->currentColumn(), 1);
    Type("x/2");
    EXPECT_EQ(Document().GetFunction(4)->GetText(), "x/2");
}

TEST_F(MainForm, NewFormulaIsShownAtOnce)
{
    QTableWidget* pGrid = Grid("FunctionsGrid");
    const CAnimationStep* pStep = m_pForm->m_pCurrentStep;
    ASSERT_NE(pStep, nullptr);
    // The empty grid's example in f1, and only there.
    QLineEdit* pEditor = Edit(pGrid, 1, 1);
    ASSERT_NE(pEditor, nullptr);
    EXPECT_EQ(pEditor->placeholderText(), "");
    CloseEditor(pGrid);
    pEditor = Edit(pGrid, 0, 1);
    ASSERT_NE(pEditor, nullptr);
    EXPECT_EQ(pEditor->placeholderText(), CFunctionsPage::EXAMPLE_TEXT);
    QTest::keyClicks(pEditor, "sin(x)");
    EXPECT_TRUE(pStep->m_bVisible[0]);
    EXPECT_EQ(pStep->m_nColor[0], 9u); // blue, the first of the order
    EXPECT_EQ(pStep->m_nWidth[0], 1u);
    CloseEditor(pGrid);

    // The next one skips the colour in use; one broken on the way keeps the colour it was given.
    pEditor = Edit(pGrid, 1, 1);
    QTest::keyClicks(pEditor, "x^2");
    EXPECT_EQ(pStep->m_nColor[1], 12u);
    m_pForm->m_pCurrentStep->m_nColor[1] = 5;
    QTest::keyClick(pEditor, Qt::Key_Backspace);
    EXPECT_EQ(Document().GetFunction(2), nullptr);
    QTest::keyClick(pEditor, '3');
    EXPECT_EQ(pStep->m_nColor[1], 5u);
    CloseEditor(pGrid);

    // The label cell says what a click on it does.
    const QRect cell = pGrid->visualRect(pGrid->model()->index(0, 0));
    QHelpEvent help(QEvent::ToolTip, cell.center(), pGrid->viewport()->mapToGlobal(cell.center()));
    QCoreApplication::sendEvent(pGrid->viewport(), &help);
    EXPECT_EQ(QToolTip::text(), CGridDelegate::LABEL_TOOLTIP);
}

TEST_F(MainForm, KeysTypedRightAfterAClickReachTheClickedCell)
{
    // As in the curve family: f2 holds "x", where a search for the letter x would land.
    Document().SetFunction(1, "sin(x)*u");
    Document().SetFunction(2, "x");
    m_pForm->FunctionsSheet->FillFunctionsGrid();
    QTableWidget* pGrid = Grid("FunctionsGrid");
    m_pForm->activateWindow();
    pGrid->setFocus();
    // Each key goes where the keyboard focus is, as a user's keys do.
    const auto Type = [pGrid](const QString& szKeys) {
        for (const QChar c : szKeys) {
            QWidget* pFocus = QApplication::focusWidget();
            QTest::keyClick(pFocus ? pFocus : pGrid, c.toLatin1());
        }
        QWidget* pFocus = QApplication::focusWidget();
        QTest::keyClick(pFocus ? pFocus : pGrid, Qt::Key_Return);
        QCoreApplication::processEvents();
    };
    const struct {
        int m_nRow;
        const char* m_pszKeys;
    } rows[] = {{5, "x+1"}, {6, "cos(x)*x"}, {7, "2*x"}};
    for (const auto& row : rows) {
        const QRect cell = pGrid->visualRect(pGrid->model()->index(row.m_nRow, 1));
        QTest::mouseClick(pGrid->viewport(), Qt::LeftButton, {}, cell.center());
        Type(row.m_pszKeys);
        const CFuncTerm* pTerm = Document().GetFunction(static_cast<unsigned>(row.m_nRow + 1));
        ASSERT_NE(pTerm, nullptr) << row.m_pszKeys;
        EXPECT_EQ(pTerm->GetText(), row.m_pszKeys);
        EXPECT_EQ(Cell(pGrid, row.m_nRow, 1), row.m_pszKeys);
    }
    EXPECT_EQ(Document().GetFunction(2)->GetText(), "x");
    EXPECT_EQ(Cell(pGrid, 1, 1), "x");

    // A click on the selected cell without typing still opens its editor after the wait.
    const QRect cell = pGrid->visualRect(pGrid->model()->index(1, 1));
    QTest::mouseClick(pGrid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseClick(pGrid->viewport(), Qt::LeftButton, {}, cell.center(), QApplication::doubleClickInterval() + 50);
    QTRY_VERIFY(pGrid->findChild<QLineEdit*>() != nullptr && pGrid->findChild<QLineEdit*>()->isVisible());
    EXPECT_EQ(pGrid->currentRow(), 1);
}

TEST_F(MainForm, ErrorExcerptIgnoresLeadingBlanksAndForeignCharacters)
{
    QTableWidget* pGrid = Grid("FunctionsGrid");
    QLineEdit* pEditor = Edit(pGrid, 2, 1);
    QTest::keyClicks(pEditor, "   x+*2");
    EXPECT_EQ(Status(), "Unerwartetes Symbol in f3 bei: *2");
    // A character Windows-1252 lacks reaches the compiler as an invalid character, not as nothing.
    pEditor->selectAll();
    QTest::keyClicks(pEditor, "x+");
    QTest::sendKeyEvent(QTest::Click, pEditor, Qt::Key_unknown, QString::fromUtf8("\xE2\x88\x9A"), Qt::NoModifier);
    QTest::keyClick(pEditor, '2');
    EXPECT_EQ(Status(), QString::fromUtf8("Ung\xC3\xBCltiges Zeichen in f3 bei: \xE2\x88\x9A"
                                          "2"));
    EXPECT_EQ(Document().GetFunction(3), nullptr);
    // The status line keeps the error until an edit succeeds.
    CloseEditor(pGrid);
    EXPECT_FALSE(Status().isEmpty());
}

TEST_F(MainForm, FailingFormulaStaysVisibleAndIsNamedBeforeSaving)
{
    QTableWidget* pGrid = Grid("FunctionsGrid");
    QLineEdit* pEditor = Edit(pGrid, 3, 1);
    QTest::keyClicks(pEditor, "sin(x*");
    CloseEditor(pGrid);
    pEditor = Edit(pGrid, 0, 1);
    QTest::keyClicks(pEditor, "x");
    CloseEditor(pGrid);
    // The status line has moved on; the grid still shows the text, red, the message its tooltip.
    EXPECT_EQ(Status(), "");
    EXPECT_EQ(Document().GetFunction(4), nullptr);
    EXPECT_EQ(Cell(pGrid, 3, 1), "sin(x*");
    EXPECT_EQ(m_pForm->FunctionsSheet->FormulaError(3),
              "Unerwartetes Ende des Ausdrucks in f4 bei: (Ende von \u201Esin(x*\")");
    EXPECT_EQ(m_pForm->FunctionsSheet->FormulaError(0), "");
    const auto RedPixels = [pGrid](int nRow) {
        const QImage image = pGrid->viewport()->grab(pGrid->visualRect(pGrid->model()->index(nRow, 1))).toImage();
        int nRed = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                nRed += c.red() > 150 && c.green() < 80 && c.blue() < 80;
            }
        return nRed;
    };
    EXPECT_GT(RedPixels(3), 0);
    EXPECT_EQ(RedPixels(0), 0);

    // Saving says which formula stays behind; Abbrechen writes nothing.
    const std::string szPath = ScratchDirectory() + "/f.kvx";
    m_pDialogs->m_szSaveName = QString::fromStdString(szPath);
    EXPECT_FALSE(m_pForm->FileSaveButtonClick());
    ASSERT_EQ(m_pDialogs->m_Confirmations.size(), 1);
    EXPECT_EQ(
        m_pDialogs->m_Confirmations[0],
        QString::fromUtf8("KURVIX|f4 enth\xC3\xA4lt einen Fehler und wird nicht gespeichert. Trotzdem speichern?"));
    EXPECT_TRUE(m_pDialogs->m_Proposed.isEmpty());
    EXPECT_FALSE(std::ifstream(szPath).good());
    // Abbrechen there also stops a command that wanted the save first.
    m_pDialogs->m_bAnswerYes = true;
    CProject* pDocument = &Document();
    m_pForm->FileNewButtonClick();
    EXPECT_EQ(&Document(), pDocument);
    // Two of them, and Ja: the others are saved.
    pEditor = Edit(pGrid, 6, 1);
    QTest::keyClicks(pEditor, "(");
    CloseEditor(pGrid);
    m_pDialogs->m_bConfirm = true;
    EXPECT_TRUE(m_pForm->FileSaveButtonClick());
    EXPECT_EQ(m_pDialogs->m_Confirmations.last(),
              "KURVIX|f4, f7 enthalten einen Fehler und werden nicht gespeichert. Trotzdem speichern?");
    std::ifstream file(szPath);
    const std::string szFile((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(szFile.find("f1=x\r\nxmin="), 0u);
    // Mended, the mark goes; Escape in the editor gives the document the text shown again.
    pEditor = Edit(pGrid, 3, 1);
    QTest::keyClicks(pEditor, "sin(x)");
    CloseEditor(pGrid);
    EXPECT_EQ(m_pForm->FunctionsSheet->FormulaError(3), "");
    EXPECT_EQ(m_pForm->FunctionsSheet->FailingFunctions(), QStringList{"f7"});
    pEditor = Edit(pGrid, 3, 1);
    QTest::keyClicks(pEditor, "sin(");
    EXPECT_EQ(Document().GetFunction(4), nullptr);
    QTest::keyClick(pEditor, Qt::Key_Escape);
    QCoreApplication::processEvents();
    ASSERT_NE(Document().GetFunction(4), nullptr);
    EXPECT_EQ(Document().GetFunction(4)->GetText(), "sin(x)");
    EXPECT_EQ(m_pForm->FunctionsSheet->FormulaError(3), "");
    // A new document has no failing formulas.
    m_pDialogs->m_bAnswerYes = false;
    m_pForm->FileNewButtonClick();
    EXPECT_TRUE(m_pForm->FunctionsSheet->FailingFunctions().isEmpty());
}

TEST_F(MainForm, HintsOnFormulasThatMayNotSayWhatTheySeemTo)
{
    QTableWidget* pGrid = Grid("FunctionsGrid");
    const auto Type = [&](int nRow, const char* pszText) {
        QLineEdit* pEditor = Edit(pGrid, nRow, 1);
        pEditor->insert(pszText);
        CloseEditor(pGrid);
    };
    // Stored and drawn as typed, the hint in the status line and as the cell's tooltip.
    Type(0, "0,5*x^2");
    ASSERT_NE(Document().GetFunction(1), nullptr);
    EXPECT_EQ(Document().GetFunction(1)->GetValueCount(), 2u);
    const QString szComma = QString::fromUtf8("Das Komma in \u201E0,5\u201C trennt zwei Werte; Dezimalzahlen schreibt "
                                              "man mit Punkt: 0.5");
    EXPECT_EQ(Status(), "Hinweis zu f1: " + szComma);
    EXPECT_EQ(m_pForm->FunctionsSheet->FormulaHint(0), szComma);
    EXPECT_EQ(m_pForm->FunctionsSheet->FormulaError(0), "");

    Type(0, "x^2");
    EXPECT_EQ(Status(), "");
    EXPECT_EQ(m_pForm->FunctionsSheet->FormulaHint(0), "");
    Type(1, "f1(x-2)");
    EXPECT_EQ(Status(), "Hinweis zu f2: f1 verwendet kein Argument: schreiben Sie f1 mit a statt x");
    // Mending f1 mends f2's hint; f1 now reads a, which stands for x where it is drawn.
    Type(0, "a^2");
    EXPECT_EQ(m_pForm->FunctionsSheet->FormulaHint(1), "");
    EXPECT_EQ(Status(), QString::fromUtf8("Hinweis zu f1: a steht hier f\u00FCr x; erst ein Aufruf wie f1(2) setzt a"));
    // Only a formula's own text counts: a reference to a function that reads a is none.
    EXPECT_EQ(m_pForm->FunctionsSheet->FormulaHint(1), "");
}

TEST_F(MainForm, ModifiedFlagFollowsRealChangesOnly)
{
    QTableWidget* pGrid = Grid("FunctionsGrid");
    QLineEdit* pEditor = Edit(pGrid, 4, 1);
    QTest::keyClicks(pEditor, "x^2");
    CloseEditor(pGrid);
    ASSERT_NE(Document().GetFunction(5), nullptr);
    Document().m_bModified = false;

    // The stored text again changes nothing.
    m_pForm->FunctionsSheet->FunctionsGridSetEditText(1, 4, "x^2");
    EXPECT_FALSE(Document().m_bModified);
    pEditor = Edit(pGrid, 4, 1);

    // Deleting the whole text empties the slot, clears the status line and marks the document.
    pEditor->selectAll();
    QTest::keyClick(pEditor, Qt::Key_Delete);
    EXPECT_EQ(Document().GetFunction(5), nullptr);
    EXPECT_EQ(Status(), "");
    EXPECT_TRUE(Document().m_bModified);
}

TEST_F(MainForm, StyleMenuFromTheLabelCellChangesTheCurrentStep)
{
    QTableWidget* pGrid = Grid("FunctionsGrid");
    auto* pMenu = m_pForm->StylePopupMenu;
    const QRect cell = pGrid->visualRect(pGrid->model()->index(2, 0));
    Document().m_bModified = false;
    QTest::mouseClick(pGrid->viewport(), Qt::RightButton, {}, cell.center());
    EXPECT_TRUE(pMenu->isVisible());
    EXPECT_EQ(pMenu->PopupComponent(), pGrid);
    EXPECT_EQ(pGrid->currentRow(), 2);
    // The release of the opening press, outside the menu, leaves it open.
    QTest::mouseRelease(pMenu, Qt::RightButton, {}, QPoint(-20, -20));
    EXPECT_TRUE(pMenu->isVisible());

    auto itemOf = [pMenu](uint8_t nKind, int nValue) {
        for (size_t i = 0; i < pMenu->Items().size(); ++i)
            if (pMenu->Items()[i].m_nKind == nKind && pMenu->Items()[i].m_nValue == nValue)
                return i;
        return size_t(0);
    };
    const CAnimationStep* pStep = m_pForm->m_pCurrentStep;
    ASSERT_NE(pStep, nullptr);
    // A colour makes a hidden function visible in it: clicked in the menu itself.
    QTest::mouseClick(pMenu, Qt::LeftButton, {}, pMenu->ItemRect(itemOf(CStyleItem::KIND_COLOR, 12)).center());
    EXPECT_FALSE(pMenu->isVisible());
    EXPECT_TRUE(pStep->m_bVisible[2]);
    EXPECT_EQ(pStep->m_nColor[2], 12u);
    EXPECT_TRUE(Document().m_bModified);

    pMenu->Popup(pGrid, QPoint(0, 0));
    pMenu->ClickItem(itemOf(CStyleItem::KIND_WIDTH, 8));
    EXPECT_EQ(pStep->m_nWidth[2], 8u);
    pMenu->Popup(pGrid, QPoint(0, 0));
    pMenu->ClickItem(itemOf(CStyleItem::KIND_TOGGLE, 0));
    EXPECT_FALSE(pStep->m_bVisible[2]);
    pMenu->Popup(pGrid, QPoint(0, 0));
    pMenu->ClickItem(itemOf(CStyleItem::KIND_TOGGLE, 0));
    EXPECT_TRUE(pStep->m_bVisible[2]);
    EXPECT_EQ(pStep->m_nColor[2], 12u);
    EXPECT_EQ(pStep->m_nWidth[2], 8u);

    // A click on a formula cell never opens the menu.
    const QRect formula = pGrid->visualRect(pGrid->model()->index(3, 1));
    QTest::mouseClick(pGrid->viewport(), Qt::LeftButton, {}, formula.center());
    EXPECT_FALSE(pMenu->isVisible());

    // The background box offers the colours alone: hide and the widths do nothing there.
    const QSize whole = pMenu->size();
    m_pForm->PageControl->setCurrentWidget(m_pForm->OptionsSheet);
    auto* pBox = Find<CColorBox>("BackgroundColorBox");
    QTest::mouseClick(pBox, Qt::LeftButton);
    EXPECT_TRUE(pMenu->isVisible());
    EXPECT_EQ(pMenu->PopupComponent(), pBox);
    for (size_t i = 0; i < pMenu->Items().size(); ++i)
        EXPECT_EQ(pMenu->Shows(i), pMenu->Items()[i].m_nKind == CStyleItem::KIND_COLOR) << i;
    EXPECT_LT(pMenu->width(), whole.width());
    EXPECT_LT(pMenu->height(), whole.height());
    EXPECT_EQ(pMenu->ItemRect(itemOf(CStyleItem::KIND_COLOR, 0)).topLeft(), QPoint(4, 4));
    QTest::mouseClick(pMenu, Qt::LeftButton, {}, pMenu->ItemRect(itemOf(CStyleItem::KIND_COLOR, 1)).center());
    EXPECT_EQ(Document().m_dOptions[OPT_BGCOLOR], 1);
    pMenu->Popup(pBox, QPoint(0, 0), true);
    pMenu->ClickItem(itemOf(CStyleItem::KIND_WIDTH, 3));
    EXPECT_EQ(Document().m_dOptions[OPT_BGCOLOR], 1);
    pMenu->Popup(pBox, QPoint(0, 0), true);
    pMenu->ClickItem(itemOf(CStyleItem::KIND_COLOR, 0));
    EXPECT_EQ(Document().m_dOptions[OPT_BGCOLOR], 0);
    EXPECT_EQ(pBox->BrushColor(), QColor(0, 0, 0));
}

TEST_F(MainForm, StepButtonsInsertDeleteAndMove)
{
    QTableWidget* pSteps = Grid("StepsBox");
    auto* pSameRange = Find<QCheckBox>("SameRangeBox");
    EXPECT_EQ(pSteps->rowCount(), 1);
    EXPECT_EQ(Cell(pSteps, 0, 0), "(1)");
    EXPECT_FALSE(pSameRange->isEnabled());
    EXPECT_FALSE(pSameRange->isChecked());
    EXPECT_TRUE(Find<QCheckBox>("ConnectPointsBox")->isChecked());

    QTest::mouseClick(Find<QToolButton>("InsertStepButton"), Qt::LeftButton);
    QTest::mouseClick(Find<QToolButton>("InsertStepButton"), Qt::LeftButton);
    ASSERT_EQ(pSteps->rowCount(), 3);
    EXPECT_EQ(pSteps->currentRow(), 2);
    EXPECT_TRUE(pSameRange->isEnabled());
    EXPECT_TRUE(pSameRange->isChecked());
    EXPECT_FALSE(Grid("VariablesBox")->isEnabled());

    // Naming the second step; typing its label "(2)" names nothing.
    pSteps->setCurrentCell(1, 0);
    EXPECT_EQ(m_pForm->m_pCurrentStep, Document().m_pFirstStep->m_pNext);
    Document().m_bModified = false;
    m_pForm->FunctionsSheet->StepEditors()->StepsBoxSetEditText(1, "(2)");
    EXPECT_FALSE(Document().m_bModified);
    QLineEdit* pEditor = Edit(pSteps, 1, 0);
    QTest::keyClicks(pEditor, QString(45, 'b'));
    EXPECT_TRUE(Document().m_bModified);
    CloseEditor(pSteps);
    EXPECT_EQ(Cell(pSteps, 1, 0), QString(39, 'b')); // the stored name, once editing ends

    // Moving the named step up makes it the first: it loses "Definitionsbereich wie vor".
    pSteps->setCurrentCell(1, 0);
    QTest::mouseClick(Find<QToolButton>("MoveStepUpButton"), Qt::LeftButton);
    EXPECT_EQ(pSteps->currentRow(), 0);
    EXPECT_EQ(Cell(pSteps, 0, 0), QString(39, 'b'));
    EXPECT_EQ(Cell(pSteps, 1, 0), "(2)");
    EXPECT_FALSE(Document().m_pFirstStep->m_bSameRange);
    EXPECT_FALSE(pSameRange->isEnabled());

    QTest::mouseClick(Find<QToolButton>("MoveStepDownButton"), Qt::LeftButton);
    EXPECT_EQ(pSteps->currentRow(), 1);
    EXPECT_EQ(Cell(pSteps, 1, 0), QString(39, 'b'));

    // Deleting the last of three makes the second current; deleting all leaves one fresh step.
    pSteps->setCurrentCell(2, 0);
    QTest::mouseClick(Find<QToolButton>("DeleteStepButton"), Qt::LeftButton);
    EXPECT_EQ(pSteps->rowCount(), 2);
    EXPECT_EQ(pSteps->currentRow(), 1);
    QTest::mouseClick(Find<QToolButton>("DeleteStepButton"), Qt::LeftButton);
    QTest::mouseClick(Find<QToolButton>("DeleteStepButton"), Qt::LeftButton);
    EXPECT_EQ(pSteps->rowCount(), 1);
    EXPECT_EQ(Cell(pSteps, 0, 0), "(1)");
    ASSERT_NE(m_pForm->m_pCurrentStep, nullptr);
    EXPECT_EQ(m_pForm->m_pCurrentStep->m_nCount[0], 100u);
}

TEST_F(MainForm, SameRangeBoxCopiesAndLocksTheRanges)
{
    QTableWidget* pVariables = Grid("VariablesBox");
    QTest::keyClicks(Edit(pVariables, 1, 1), "-4"); // step 1 x from -4
    CloseEditor(pVariables);
    QTest::mouseClick(Find<QToolButton>("InsertStepButton"), Qt::LeftButton);
    auto* pSameRange = Find<QCheckBox>("SameRangeBox");
    QTest::mouseClick(pSameRange, Qt::LeftButton); // off
    EXPECT_FALSE(m_pForm->m_pCurrentStep->m_bSameRange);
    EXPECT_TRUE(pVariables->isEnabled());
    QTest::keyClicks(Edit(pVariables, 1, 1), "7");
    CloseEditor(pVariables);
    EXPECT_EQ(m_pForm->m_pCurrentStep->m_dMin[0], 7);
    QTest::mouseClick(pSameRange, Qt::LeftButton); // on again: step 1's ranges come back
    EXPECT_TRUE(m_pForm->m_pCurrentStep->m_bSameRange);
    EXPECT_FALSE(pVariables->isEnabled());
    EXPECT_EQ(Cell(pVariables, 1, 1), "-4");
}

TEST_F(MainForm, VariablesBoxEditsKeepTheEndOrTheCount)
{
    QTableWidget* pVariables = Grid("VariablesBox");
    EXPECT_EQ(Cell(pVariables, 0, 1), "Min");
    EXPECT_EQ(Cell(pVariables, 0, 3), "Schrittw.");
    EXPECT_EQ(Cell(pVariables, 1, 0), "x,t");
    EXPECT_EQ(Cell(pVariables, 1, 1), "-10");
    EXPECT_EQ(Cell(pVariables, 1, 2), "10");
    EXPECT_EQ(Cell(pVariables, 1, 3), "0,2");
    EXPECT_EQ(Cell(pVariables, 1, 4), "100");

    QLineEdit* pEditor = Edit(pVariables, 1, 4);
    QTest::keyClick(pEditor, '5');
    EXPECT_EQ(Cell(pVariables, 1, 3), "4");
    QTest::keyClick(pEditor, '0');
    EXPECT_EQ(Cell(pVariables, 1, 3), "0,4");
    EXPECT_EQ(Cell(pVariables, 1, 2), "10");
    // Text that does not scan, a negative count or one beyond 32 bits is ignored.
    for (const char* pszText : {"abc", "-3", "99999999999", "-0.5"}) {
        m_pForm->FunctionsSheet->StepEditors()->VariablesBoxSetEditText(4, 1, pszText);
        EXPECT_EQ(m_pForm->m_pCurrentStep->m_nCount[0], 50u) << pszText;
    }
    // A count that would make the project too large to load again is refused with a word.
    m_pForm->FunctionsSheet->StepEditors()->VariablesBoxSetEditText(4, 1, "4294967295");
    EXPECT_EQ(m_pForm->m_pCurrentStep->m_nCount[0], 50u);
    EXPECT_TRUE(m_pForm->StatusText().startsWith("Zu viele Werte"));
    CloseEditor(pVariables);

    // Max of a variable with count 0 first sets the count to 100.
    pEditor = Edit(pVariables, 2, 2);
    QTest::keyClicks(pEditor, "5");
    EXPECT_EQ(Cell(pVariables, 2, 4), "100");
    EXPECT_EQ(Cell(pVariables, 2, 3), "0,05");
    CloseEditor(pVariables);

    // Speed and wait outside their spinners' ranges are refused; the spinner steps by 10.
    auto* pSpeed = Find<QLineEdit>("SpeedEdit");
    pSpeed->setText("5000");
    EXPECT_EQ(m_pForm->m_pCurrentStep->m_nSpeed, 0u);
    EXPECT_EQ(Status(), QString::fromUtf8("Geschwindigkeit: eine ganze Zahl von 0 bis 1000, nicht \u201E5000\u201C"));
    pSpeed->setText("20");
    m_pForm->FunctionsSheet->StepEditors()->SpeedUpDown->StepBy(1);
    EXPECT_EQ(pSpeed->text(), "30");
    EXPECT_EQ(m_pForm->m_pCurrentStep->m_nSpeed, 30u);
    Find<QLineEdit>("WaitEdit")->setText("-4");
    EXPECT_EQ(m_pForm->m_pCurrentStep->m_nWait, 0u);
}

TEST_F(MainForm, NumberFieldsTakeTheDecimalCommaAndRefuseWhatIsNoNumber)
{
    CStepEditors& steps = *m_pForm->FunctionsSheet->StepEditors();
    COptionsPage& options = *m_pForm->OptionsSheet;
    QTableWidget* pVariables = Grid("VariablesBox");
    CAnimationStep& step = *m_pForm->m_pCurrentStep;
    QTest::mouseClick(options.XAutoBox, Qt::LeftButton); // the x range by hand
    ASSERT_TRUE(options.XminEdit->isEnabled());

    // A field: how a text is typed into it, the value in effect, and its error (the tooltip).
    struct SField {
        std::function<void(const QString&)> m_Type;
        std::function<double()> m_Value;
        std::function<QString()> m_Error;
    };
    const auto LineEdit = [&](QLineEdit* pEdit, std::function<double()> value) {
        return SField{[pEdit](const QString& szText) { pEdit->setText(szText); }, std::move(value),
                      [pEdit] { return CNumberField::IsMarked(*pEdit) ? pEdit->toolTip() : QString(); }};
    };
    const auto Cell = [&](int nColumn, std::function<double()> value) {
        return SField{[this, pVariables, nColumn](const QString& szText) {
                          // At once, as pasted: typed key by key, "2" of "2,5" would count.
                          QLineEdit* pEditor = Edit(pVariables, 1, nColumn);
                          if (szText.isEmpty())
                              QTest::keyClick(pEditor, Qt::Key_Delete);
                          else
                              pEditor->insert(szText);
                          CloseEditor(pVariables);
                      },
                      std::move(value), [&steps, nColumn] { return steps.CellError(1, nColumn); }};
    };
    const double* pOptions = Document().m_dOptions;
    const SField xmin = LineEdit(options.XminEdit, [=] { return pOptions[OPT_XMIN]; });
    const SField gridx = LineEdit(options.GridXEdit, [=] { return pOptions[OPT_XGRID]; });
    const SField speed = LineEdit(steps.SpeedEdit, [&] { return double(step.m_nSpeed); });
    const SField wait = LineEdit(steps.WaitEdit, [&] { return double(step.m_nWait); });
    const SField min = Cell(1, [&] { return step.m_dMin[0]; });
    const SField increment = Cell(3, [&] { return step.m_dStep[0]; });
    const SField count = Cell(4, [&] { return double(step.m_nCount[0]); });

    const double REFUSED = -12345.0;
    struct SRow {
        const char* m_pszName;
        const SField& m_Field;
        const char* m_pszText;
        double m_dValue; // REFUSED: the value stays
    };
    const SRow rows[] = {
        {"Xmin", xmin, "2,5", 2.5},
        {"Xmin", xmin, "0,05", 0.05},
        {"Xmin", xmin, "1e3", 1000},
        {"Xmin", xmin, "2,5x", REFUSED},
        {"Xmin", xmin, "", REFUSED},
        {"Xmin", xmin, "-0.5", -0.5},
        {"Gitterweite", gridx, "0,5", 0.5},
        {"Gitterweite", gridx, "1,5.", REFUSED},
        {"Min", min, "2,5", 2.5},
        {"Min", min, "2,5x", REFUSED},
        {"Schrittw.", increment, "0,05", 0.05},
        {"Anzahl", count, "1e3", 1000},
        {"Anzahl", count, "-5", REFUSED},
        {"Anzahl", count, "2,5", REFUSED},
        {"Anzahl", count, "", REFUSED},
        {"Anzahl", count, "40", 40},
        {"Geschwindigkeit", speed, "2,5", REFUSED},
        {"Geschwindigkeit", speed, "250", 250},
        {"Wartezeit", wait, "", REFUSED},
        {"Wartezeit", wait, "3", 3},
    };
    for (const SRow& row : rows) {
        const double dBefore = row.m_Field.m_Value();
        row.m_Field.m_Type(row.m_pszText);
        const QString szWhere = QString(row.m_pszName) + " \"" + row.m_pszText + "\"";
        if (row.m_dValue == REFUSED) {
            EXPECT_EQ(row.m_Field.m_Value(), dBefore) << szWhere.toStdString();
            EXPECT_FALSE(row.m_Field.m_Error().isEmpty()) << szWhere.toStdString();
            EXPECT_EQ(Status(), row.m_Field.m_Error()) << szWhere.toStdString();
        } else {
            EXPECT_DOUBLE_EQ(row.m_Field.m_Value(), row.m_dValue) << szWhere.toStdString();
            EXPECT_EQ(row.m_Field.m_Error(), "") << szWhere.toStdString();
            EXPECT_EQ(Status(), "") << szWhere.toStdString();
        }
    }
    // A refused text stays in its cell, red; the cells show the values in effect once the step is
    // shown anew.
    count.m_Type("-5");
    EXPECT_EQ(this->Cell(pVariables, 1, 4), "-5");
    EXPECT_NE(steps.CellError(1, 4), "");
    steps.FillStepEditors();
    EXPECT_EQ(this->Cell(pVariables, 1, 4), "40");
    EXPECT_EQ(steps.CellError(1, 4), "");
}

TEST_F(MainForm, OptionsPageChecksWhatIsTyped)
{
    m_pForm->PageControl->setCurrentWidget(m_pForm->OptionsSheet);
    COptionsPage& page = *m_pForm->OptionsSheet;
    EXPECT_FALSE(page.XminEdit->isEnabled());
    QTest::mouseClick(page.XAutoBox, Qt::LeftButton);
    EXPECT_TRUE(page.XminEdit->isEnabled());
    EXPECT_EQ(Document().m_nFlags & 1u, 0u);
    EXPECT_TRUE(Document().m_bModified);

    page.XminEdit->clear();
    QTest::keyClick(page.XminEdit, '-');
    EXPECT_EQ(Status(), QString::fromUtf8("Ung\xC3\xBCltiger Wertebereich! \u201E-\u201C ist keine Zahl"));
    QTest::keyClick(page.XminEdit, '3');
    EXPECT_EQ(Status(), "");
    EXPECT_EQ(Document().m_dOptions[OPT_XMIN], -3);
    page.XmaxEdit->setText("12");
    page.XmaxEdit->setText("12abc"); // no longer read as 12 and the rest ignored
    EXPECT_EQ(Document().m_dOptions[OPT_XMAX], 12);
    EXPECT_NE(Status(), "");
    page.XmaxEdit->setText("12");
    // Fields shown with eight digits keep the finer values behind them when another is edited.
    Document().SetOption(OPT_XMIN, 0.2000000001);
    Document().SetOption(OPT_XMAX, 0.2000000002);
    page.FillOptionsPage();
    EXPECT_EQ(page.XminEdit->text(), page.XmaxEdit->text());
    page.YmaxEdit->setText("7");
    EXPECT_EQ(Document().m_dOptions[OPT_XMIN], 0.2000000001);
    EXPECT_EQ(Document().m_dOptions[OPT_XMAX], 0.2000000002);
    EXPECT_EQ(Document().m_dOptions[OPT_YMAX], 7);
    page.XmaxEdit->setText("0.3");
    EXPECT_EQ(Document().m_dOptions[OPT_XMIN], 0.2000000001);
    EXPECT_EQ(Document().m_dOptions[OPT_XMAX], 0.3);

    page.GridXEdit->setText("x");
    EXPECT_EQ(Status(), QString::fromUtf8("Ung\xC3\xBCltige Gitter-Angaben! \u201Ex\u201C ist keine Zahl"));
    page.GridXEdit->setText("-2");
    EXPECT_EQ(Status(), "");
    EXPECT_EQ(Document().m_dOptions[OPT_XGRID], -2);

    EXPECT_FALSE(page.TransformEdit->isEnabled());
    page.TransformBox->setCurrentIndex(1);
    EXPECT_TRUE(page.TransformEdit->isEnabled());
    EXPECT_EQ(Document().m_dOptions[OPT_TRMODE], 1);
    page.TransformEdit->setText("fx+");
    EXPECT_EQ(Status(), "Unerwartetes Ende des Ausdrucks in Transformationsterm bei: ");
    page.TransformEdit->setText("fx+1, fy");
    EXPECT_EQ(Status(), "");
    ASSERT_NE(Document().m_pTransform, nullptr);
    page.TransformEdit->setText("fx+*1");
    EXPECT_EQ(Document().m_pTransform->GetText(), "fx+1, fy"); // the previous term stays
    page.TransformBox->setCurrentIndex(2);
    EXPECT_FALSE(page.TransformEdit->isEnabled());
    EXPECT_EQ(page.TransformEdit->text(), "fx+*1");
    page.TransformEdit->clear();
    EXPECT_EQ(Document().m_pTransform, nullptr);
}

TEST_F(MainForm, FunctionKeysSwitchPagesWhateverIsHeld)
{
    QTabWidget* pPages = m_pForm->PageControl;
    QLineEdit* pEditor = Edit(Grid("FunctionsGrid"), 0, 1);
    QTest::keyClick(pEditor, Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(pPages->currentWidget(), m_pForm->WetaSheet);
    QTest::keyClick(m_pForm.get(), Qt::Key_F4, Qt::ControlModifier);
    EXPECT_EQ(pPages->currentWidget(), m_pForm->GraphicsSheet);
    QTest::keyClick(m_pForm.get(), Qt::Key_F2);
    EXPECT_EQ(pPages->currentWidget(), m_pForm->FunctionsSheet);
    EXPECT_TRUE(m_pForm->CopyButton->isEnabled());
}

TEST_F(MainForm, OpensAProjectOrKeepsTheDocument)
{
    const std::string szPath = "/tmp/kurvix-ui-open-" + std::to_string(getpid()) + ".kvx";
    std::ofstream(szPath) << "f2=x*x\nstep1\n-f2=12,3,0\n-end\nnotes\nHallo\n";
    EXPECT_TRUE(m_pForm->OpenProject(QString::fromStdString(szPath)));
    EXPECT_EQ(m_pForm->windowTitle(), QString("KURVIX - ") + QString::fromStdString(szPath));
    EXPECT_EQ(Cell(Grid("FunctionsGrid"), 1, 1), "x*x");
    EXPECT_EQ(m_pForm->PageControl->currentWidget(), m_pForm->NotesSheet);
    EXPECT_TRUE(m_pForm->m_pCurrentStep->m_bVisible[1]);

    std::ofstream(szPath) << "f2=x\nunbekannt\n";
    CProject* pBefore = m_pForm->m_pDocument.get();
    EXPECT_FALSE(m_pForm->OpenProject(QString::fromStdString(szPath)));
    EXPECT_EQ(m_pForm->m_pDocument.get(), pBefore);
    ASSERT_EQ(m_pDialogs->m_Warnings.size(), 1);
    EXPECT_EQ(m_pDialogs->m_Warnings[0], "Fehler beim Laden von " + QString::fromStdString(szPath) + " in Zeile 2");
    EXPECT_FALSE(m_pForm->OpenProject("/nonexistent/x.kvx"));
    EXPECT_EQ(m_pDialogs->m_Warnings[1], "Fehler beim Laden von /nonexistent/x.kvx: Datei nicht gefunden");
    std::remove(szPath.c_str());
}

TEST_F(MainForm, ScreenshotIsNotBlank)
{
    const QImage image = m_pForm->grab().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_GE(image.width(), 592);
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 8);
}
