// The "Grafik" page with its clock and timer driven by hand.
#include <gtest/gtest.h>

#include <memory>

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "CFakeClock.h"
#include "CWindowTest.h"
#include "project/CProject.h"
#include "render/CPictureExport.h"
#include "render/CPictureJob.h"
#include "ui/CCurveTrace.h"
#include "ui/CFunctionsGraph.h"
#include "ui/CFunctionsPage.h"
#include "ui/CGraphPrint.h"
#include "ui/CGraphView.h"
#include "ui/CGraphicsPage.h"
#include "ui/COptionsPage.h"
#include "ui/CPaintBox.h"
#include "ui/CParamSliders.h"
#include "ui/CStepEditors.h"
#include "ui/CUndoHistory.h"
#include "ui/TMainForm.h"
#include "view/CFuncVars.h"
#include <QUndoStack>

namespace {
class GraphicsPage : public CWindowTest {
protected:
    void SetUp() override
    {
        CWindowTest::SetUp();
        m_pPage = m_pForm->GraphicsSheet;
        auto pClock = std::make_unique<CFakeClock>();
        pClock->m_CheapLooks = [this] { return m_pPage->Walking(); };
        m_pClock = pClock.get();
        m_pPage->SetClock(std::move(pClock));
        Document().SetFunction(1, "x");
        Step(1).m_bVisible[0] = true;
        Document().SetFlag(FLAG_RANGEMARGIN, false); // the ranges below are the points' own
        Document().SetFlag(FLAG_FOLLOWVIEW, false);  // and the samples the steps' own
    }

    CProject& Document() const { return *m_pForm->m_pDocument; }
    CAnimationStep& Step(int nNumber) const
    {
        CAnimationStep* pStep = Document().m_pFirstStep;
        for (int i = 1; i < nNumber; ++i)
            pStep = pStep->m_pNext;
        return *pStep;
    }
    CAnimationStep& AddStep() const
    {
        return *Document().InsertStep(std::make_unique<CAnimationStep>(*Document().m_pLastStep), nullptr);
    }
    void Enter() const { m_pForm->PageControl->setCurrentWidget(m_pPage); }
    uint32_t Samples() const { return m_pPage->DrawVars() ? m_pPage->DrawVars()->m_nSamples : UINT32_MAX; }
    uint32_t Tick() const
    {
        const uint32_t nBefore = Samples();
        m_pPage->PaintTimerEvent();
        return Samples() - nBefore;
    }

    CGraphicsPage* m_pPage = nullptr;
    CFakeClock* m_pClock = nullptr;
};
} // namespace

TEST_F(GraphicsPage, SpeedIsADelayPerSample)
{
    Step(1).SetCount(0, 1000);
    Step(1).m_nSpeed = 10;
    Enter();
    EXPECT_EQ(m_pForm->StatusText(), "Zeichne...");
    ASSERT_NE(m_pPage->DrawVars(), nullptr);
    EXPECT_TRUE(m_pPage->PaintTimer->isActive());
    EXPECT_EQ(m_pPage->PaintTimer->interval(), 50);
    EXPECT_EQ(Samples(), 1u); // the repaint's catching up drew the first sample
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Tick(), 5u) << "tick " << i;

    // Speed 0 draws for the whole 100 ms slice.
    Step(1).m_nSpeed = 0;
    const uint32_t nDrawn = Tick();
    EXPECT_GE(nDrawn, 90u);
    EXPECT_LE(nDrawn, 100u);
    while (m_pPage->DrawVars())
        Tick();
    EXPECT_EQ(m_pForm->StatusText(), "");
    EXPECT_FALSE(m_pForm->PauseButton->isEnabled());
    EXPECT_FALSE(m_pForm->SkipButton->isEnabled());
}

TEST_F(GraphicsPage, WaitsAfterAStep)
{
    Step(1).SetCount(0, 9); // 10 samples
    Step(1).m_nSpeed = 50;  // one sample per tick
    Step(1).m_nWait = 2;
    CAnimationStep& second = AddStep();
    second.m_nWait = 0;
    Enter();
    for (int i = 0; i < 9; ++i)
        Tick();
    ASSERT_EQ(m_pPage->DrawVars()->m_pStep, &second); // the first step is done, its wait begins
    int nIdle = 0;
    while (Tick() == 0)
        ++nIdle;
    EXPECT_EQ(nIdle, 2000 / 50 - 1);
    EXPECT_EQ(Tick(), 1u); // paced again in the second step
}

TEST_F(GraphicsPage, SkipDrawsTheRestOfAStepAndDropsItsWait)
{
    Step(1).SetCount(0, 49);
    Step(1).m_nSpeed = 50;
    Step(1).m_nWait = 2;
    CAnimationStep& second = AddStep();
    Enter();
    Tick();
    Tick();
    m_pPage->SkipButtonClick();
    Tick();
    ASSERT_NE(m_pPage->DrawVars(), nullptr);
    EXPECT_EQ(m_pPage->DrawVars()->m_pStep, &second);
    EXPECT_EQ(m_pPage->DrawVars()->m_nIndex[0], 1u); // one sample of the second step, paced
    EXPECT_FALSE(m_pPage->m_bSkipStep);
    EXPECT_EQ(Tick(), 1u);
}

TEST_F(GraphicsPage, SkipDuringAWaitSkipsTheNextStep)
{
    Step(1).SetCount(0, 4);
    Step(1).m_nSpeed = 50;
    Step(1).m_nWait = 1;
    CAnimationStep& second = AddStep();
    second.m_nWait = 0;
    Enter();
    for (int i = 0; i < 4; ++i)
        Tick();
    ASSERT_EQ(m_pPage->DrawVars()->m_pStep, &second);
    m_pPage->SkipButtonClick();
    int nIdle = 0;
    while (Tick() == 0 && m_pPage->DrawVars())
        ++nIdle;
    EXPECT_EQ(nIdle, 1000 / 50 - 1);         // the wait still runs out
    EXPECT_EQ(m_pPage->DrawVars(), nullptr); // and the second step came at once
}

TEST_F(GraphicsPage, PauseAndResume)
{
    Step(1).m_nSpeed = 50;
    Enter();
    Tick();
    const uint32_t nSamples = Samples();
    m_pPage->PauseButtonClick();
    EXPECT_FALSE(m_pPage->PaintTimer->isActive());
    m_pPage->PauseButtonClick();
    EXPECT_TRUE(m_pPage->PaintTimer->isActive());
    EXPECT_EQ(Samples(), nSamples);
    EXPECT_EQ(Tick(), 1u); // on where it stopped, with the budget it had
    m_pPage->PauseButtonClick();
    m_pPage->SkipButtonClick(); // ends the pause too
    EXPECT_TRUE(m_pPage->PaintTimer->isActive());
    EXPECT_TRUE(m_pPage->m_bSkipStep);
}

TEST_F(GraphicsPage, RestartCatchesUpWithTheEarlierProgress)
{
    Step(1).m_nSpeed = 50;
    Enter();
    for (int i = 0; i < 20; ++i)
        Tick();
    const uint32_t nReached = Samples();
    EXPECT_EQ(nReached, 21u);
    m_pPage->PaintBoxPaint(); // as after a resize, zoom or drag
    EXPECT_EQ(Samples(), nReached);
    EXPECT_FALSE(m_pPage->m_bCatchUp);
    // Catching up leaves the budget at -1, which buys one more sample before the pace resumes.
    EXPECT_EQ(Tick(), 2u);
    EXPECT_EQ(Tick(), 1u);
}

TEST_F(GraphicsPage, StartStepDrawsTheStepsBeforeItWithoutPacing)
{
    for (int i = 0; i < 2; ++i)
        AddStep();
    for (int n = 1; n <= 3; ++n) {
        Step(n).SetCount(0, 9);
        Step(n).m_nSpeed = 50;
        Step(n).m_nWait = 1;
    }
    m_pForm->FunctionsSheet->SelectStep(2);
    m_pForm->FunctionsSheet->StepEditors()->RunButton->click();
    EXPECT_EQ(m_pForm->PageControl->currentWidget(), static_cast<QWidget*>(m_pPage));
    ASSERT_NE(m_pPage->DrawVars(), nullptr);
    EXPECT_EQ(m_pPage->m_pStartStep, &Step(3));
    Tick();
    EXPECT_EQ(m_pPage->DrawVars()->m_pStep, &Step(3));
    EXPECT_EQ(m_pPage->DrawVars()->m_nIndex[0], 1u);
    EXPECT_EQ(Tick(), 1u);
}

TEST_F(GraphicsPage, LeavingThePageStopsTheDrawing)
{
    Step(1).m_nSpeed = 50;
    Enter();
    Tick();
    m_pForm->PageControl->setCurrentWidget(m_pForm->OptionsSheet);
    EXPECT_EQ(m_pPage->DrawVars(), nullptr);
    EXPECT_FALSE(m_pPage->PaintTimer->isActive());
    EXPECT_EQ(m_pForm->StatusText(), "");
    for (QToolButton* pButton : {m_pForm->PauseButton, m_pForm->SkipButton, m_pForm->CopyButton, m_pForm->PrintButton,
                                 m_pForm->ZoominButton, m_pForm->ZoomoutButton})
        EXPECT_FALSE(pButton->isEnabled()) << pButton->objectName().toStdString();
    m_pPage->PauseButtonClick(); // no job: nothing happens
    m_pPage->SkipButtonClick();
    EXPECT_FALSE(m_pPage->PaintTimer->isActive());
}

TEST_F(GraphicsPage, NothingToDrawWhereTheFunctionIsUndefinedEverywhere)
{
    Document().SetFunction(1, "sqrt(-1-x*x)");
    Enter();
    EXPECT_EQ(m_pForm->StatusText(), "Nichts zu zeichnen: jeder Wert von f1 ist undefiniert (x von -10 bis 10)");
    EXPECT_EQ(m_pPage->DrawVars(), nullptr);
    EXPECT_FALSE(m_pPage->Picture().isNull()); // background and grid all the same
}

TEST_F(GraphicsPage, DragAndZoomMoveTheView)
{
    m_pPage->PaintBox->setFixedSize(400, 200);
    CProject& project = Document();
    SetFixedView(project);
    Enter();
    ASSERT_EQ(m_pPage->PaintBoxSize(), QSize(400, 200));

    m_pPage->PaintBoxMouseMove(200, 100);
    EXPECT_EQ(m_pForm->StatusText(), "0; 0");
    m_pPage->PaintBoxMouseMove(300, 50);
    EXPECT_EQ(m_pForm->StatusText(), "5; 2,5"); // a new document has the decimal comma

    project.m_bModified = false;
    m_pPage->PaintBoxMouseDown(200, 100);
    m_pPage->PaintBoxMouseMove(210, 100); // 10 pixels right at 20 pixels per unit
    EXPECT_DOUBLE_EQ(project.m_dOptions[OPT_XMIN], -10.5);
    EXPECT_DOUBLE_EQ(project.m_dOptions[OPT_XMAX], 9.5);
    m_pPage->PaintBoxMouseMove(210, 110); // 10 pixels down
    EXPECT_DOUBLE_EQ(project.m_dOptions[OPT_YMIN], -4.5);
    EXPECT_DOUBLE_EQ(project.m_dOptions[OPT_YMAX], 5.5);
    m_pPage->PaintBoxMouseUp();
    EXPECT_TRUE(project.m_bModified);
    EXPECT_FALSE(m_pPage->View->Dragging());
    EXPECT_EQ(m_pForm->OptionsSheet->XminEdit->text(), "-10,5"); // the drag shows there at once
    EXPECT_EQ(m_pForm->OptionsSheet->YmaxEdit->text(), "5,5");

    m_pPage->ZoominButtonClick();
    EXPECT_DOUBLE_EQ(project.m_dOptions[OPT_XMIN], -5.5);
    EXPECT_DOUBLE_EQ(project.m_dOptions[OPT_XMAX], 4.5);
    EXPECT_DOUBLE_EQ(project.m_dOptions[OPT_YMIN], -2);
    EXPECT_DOUBLE_EQ(project.m_dOptions[OPT_YMAX], 3);
    m_pPage->ZoomoutButtonClick();
    EXPECT_DOUBLE_EQ(project.m_dOptions[OPT_XMIN], -10.5);
    EXPECT_DOUBLE_EQ(project.m_dOptions[OPT_YMAX], 5.5);
    // Einstellungen shows the ranges the document has now.
    EXPECT_EQ(m_pForm->OptionsSheet->XminEdit->text(), "-10,5");
    EXPECT_EQ(m_pForm->OptionsSheet->YmaxEdit->text(), "5,5");

    // Zooming in stops while the view still has its resolution, and zooming out brings it back.
    project.SetOption(OPT_XMIN, 0.5);
    project.SetOption(OPT_XMAX, 1.5);
    int nZooms = 0;
    for (; nZooms < 200 && project.m_dOptions[OPT_XMIN] < project.m_dOptions[OPT_XMAX]; ++nZooms) {
        const double dWidth = project.m_dOptions[OPT_XMAX] - project.m_dOptions[OPT_XMIN];
        m_pPage->ZoominButtonClick();
        if (project.m_dOptions[OPT_XMAX] - project.m_dOptions[OPT_XMIN] == dWidth)
            break;
    }
    EXPECT_LT(nZooms, 52);
    EXPECT_TRUE(m_pForm->StatusText().startsWith("Weiter vergr")) << m_pForm->StatusText().toStdString();
    EXPECT_LT(project.m_dOptions[OPT_XMIN], project.m_dOptions[OPT_XMAX]);
    EXPECT_LT(project.m_dOptions[OPT_YMIN], project.m_dOptions[OPT_YMAX]);
    for (int i = 0; i < nZooms; ++i)
        m_pPage->ZoomoutButtonClick();
    EXPECT_NEAR(project.m_dOptions[OPT_XMIN], 0.5, 1e-9);
    EXPECT_NEAR(project.m_dOptions[OPT_XMAX], 1.5, 1e-9);
}

TEST_F(GraphicsPage, AutomaticRangeIsNoChangeOfTheUser)
{
    // Only looking at the graph: the range is determined, the document counts as unchanged.
    Document().m_bModified = false;
    Enter();
    EXPECT_NEAR(Document().m_dOptions[OPT_YMAX], 10.0, 1e-9);
    m_pForm->PageControl->setCurrentWidget(m_pForm->FunctionsSheet);
    EXPECT_FALSE(Document().m_bModified);
    m_pForm->FileNewButtonClick();
    EXPECT_TRUE(m_pDialogs->m_Questions.isEmpty());
    // A real change still counts.
    Document().SetFunction(1, "x");
    Step(1).m_bVisible[0] = true;
    Enter();
    EXPECT_TRUE(Document().m_bModified);
}

TEST_F(GraphicsPage, LargeRangeIsDeterminedInSlicesAndCanBeCancelled)
{
    // A million samples: the first slice ends within the handler, the rest follow tick by tick.
    Step(1).m_dMin[0] = 0;
    Step(1).m_dStep[0] = 1e-6;
    Step(1).m_nCount[0] = 1000000;
    Document().m_bModified = false;
    const auto Progress = [this] {
        const QString szStatus = m_pForm->StatusText();
        EXPECT_TRUE(szStatus.startsWith("Ermittle Wertebereich... ")) << szStatus.toStdString();
        return szStatus.section(' ', 2, 2).toInt();
    };
    Enter();
    ASSERT_TRUE(m_pPage->DeterminingRange());
    EXPECT_EQ(m_pPage->DrawVars(), nullptr);
    EXPECT_TRUE(m_pPage->PaintTimer->isActive());
    EXPECT_EQ(Document().m_dOptions[OPT_XMAX], 0); // nothing written yet
    const int nFirst = Progress();
    m_pPage->PaintTimerEvent();
    EXPECT_GT(Progress(), nFirst);

    // Escape drops it: the range stays as it was, nothing is drawn.
    QTest::keyClick(m_pForm.get(), Qt::Key_Escape);
    EXPECT_FALSE(m_pPage->DeterminingRange());
    EXPECT_EQ(m_pForm->StatusText(), "Ermittlung des Wertebereichs abgebrochen");
    EXPECT_FALSE(m_pPage->PaintTimer->isActive());
    EXPECT_EQ(Document().m_dOptions[OPT_XMAX], 0);
    EXPECT_FALSE(Document().m_bModified);

    // So does leaving the page.
    m_pForm->PageControl->setCurrentWidget(m_pForm->FunctionsSheet);
    Enter();
    ASSERT_TRUE(m_pPage->DeterminingRange());
    m_pForm->PageControl->setCurrentWidget(m_pForm->FunctionsSheet);
    EXPECT_FALSE(m_pPage->DeterminingRange());
    EXPECT_EQ(m_pForm->StatusText(), "");
    EXPECT_EQ(Document().m_dOptions[OPT_XMAX], 0);

    // Run to its end: the range, Einstellungen and then the drawing, as from one piece.
    Enter();
    int nTicks = 0;
    while (m_pPage->DeterminingRange() && nTicks < 1000) {
        m_pPage->PaintTimerEvent();
        ++nTicks;
    }
    EXPECT_GT(nTicks, 10);
    EXPECT_FALSE(m_pPage->DeterminingRange());
    EXPECT_DOUBLE_EQ(Document().m_dOptions[OPT_XMIN], 0);
    EXPECT_NEAR(Document().m_dOptions[OPT_XMAX], 1, 1e-6);
    EXPECT_NEAR(Document().m_dOptions[OPT_YMAX], 1, 1e-6);
    EXPECT_EQ(m_pForm->OptionsSheet->XmaxEdit->text(), "1");
    EXPECT_FALSE(Document().m_bModified);
    ASSERT_NE(m_pPage->DrawVars(), nullptr);
    EXPECT_EQ(m_pForm->StatusText(), "Zeichne...");
    EXPECT_TRUE(m_pPage->PaintTimer->isActive());
    // The grid and axes waited for the range and are drawn now.
    const QImage picture = m_pPage->Picture();
    int nDrawn = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            nDrawn += picture.pixelColor(x, y) != QColor(Qt::white);
    EXPECT_GT(nDrawn, 100);

    // Pause and skip act on a drawing: a range determination started while one ran, and
    // cancelled, leaves them off.
    EXPECT_TRUE(m_pForm->PauseButton->isEnabled());
    m_pForm->GraphicsButton->click();
    ASSERT_TRUE(m_pPage->DeterminingRange());
    EXPECT_FALSE(m_pForm->PauseButton->isEnabled());
    EXPECT_FALSE(m_pForm->SkipButton->isEnabled());
    QTest::keyClick(m_pForm.get(), Qt::Key_Escape);
    EXPECT_EQ(m_pForm->StatusText(), "Ermittlung des Wertebereichs abgebrochen");
    EXPECT_FALSE(m_pForm->PauseButton->isEnabled());
    EXPECT_FALSE(m_pForm->SkipButton->isEnabled());
}

TEST_F(GraphicsPage, EscapeStopsWhatRunsWithinOneValue)
{
    // f50 asks for f1 at 2^49 keys: each of its values runs into the work limit, which takes
    // most of a second. A slice ends at its first look at the clock, as it does after one.
    Document().SetFunction(1, "a");
    for (unsigned n = 2; n <= MAX_FUNCTIONS; ++n) {
        const std::string szPrev = "f" + std::to_string(n - 1);
        Document().SetFunction(n, (szPrev + "(a*2)+" + szPrev + "(a*2+1)").c_str());
    }
    Step(1).m_bVisible[0] = false;
    Step(1).m_bVisible[MAX_FUNCTIONS - 1] = true;
    Step(1).m_nCount[0] = 20;
    const CValueCache& cache = Document().GetFunction(MAX_FUNCTIONS)->GetCache();
    m_pClock->m_eSlices = CFakeClock::FIRST_LOOK;

    // The range: the handler returns after one value, and Escape drops the walk.
    Enter();
    ASSERT_TRUE(m_pPage->DeterminingRange());
    EXPECT_EQ(cache.GetMisses(), 1u);
    QTest::keyClick(m_pForm.get(), Qt::Key_Escape);
    EXPECT_FALSE(m_pPage->DeterminingRange());
    EXPECT_FALSE(m_pPage->PaintTimer->isActive());
    EXPECT_EQ(cache.GetMisses(), 1u);

    // A drawing of fixed axes stops where it stands.
    SetFixedView(Document());
    m_pForm->GraphicsButton->click();
    ASSERT_NE(m_pPage->DrawVars(), nullptr);
    const uint64_t nMisses = cache.GetMisses();
    EXPECT_LE(nMisses, 3u); // a value a slice
    EXPECT_TRUE(m_pForm->PauseButton->isEnabled());
    QTest::keyClick(m_pForm.get(), Qt::Key_Escape);
    EXPECT_EQ(m_pPage->DrawVars(), nullptr);
    EXPECT_FALSE(m_pPage->PaintTimer->isActive());
    EXPECT_EQ(m_pForm->StatusText(), "Zeichnen abgebrochen");
    EXPECT_FALSE(m_pForm->PauseButton->isEnabled());
    EXPECT_FALSE(m_pForm->SkipButton->isEnabled());
    m_pPage->PaintTimerEvent();
    EXPECT_EQ(cache.GetMisses(), nMisses);

    // The value table, a value a slice; Escape keeps the rows computed.
    m_pForm->WetaSheet->SetClock(std::make_unique<CFakeClock>(CFakeClock::FIRST_LOOK));
    Step(1).m_bVisible[0] = true;
    m_pForm->PageControl->setCurrentWidget(m_pForm->WetaSheet);
    ASSERT_TRUE(m_pForm->WetaSheet->Building());
    EXPECT_TRUE(m_pForm->StatusText().startsWith("Berechne Wertetafel... ")) << m_pForm->StatusText().toStdString();
    m_pForm->WetaSheet->BuildTimerEvent(); // f50 at the first x, then the second row's f1
    m_pForm->WetaSheet->BuildTimerEvent();
    const uint64_t nTableMisses = cache.GetMisses();
    QTest::keyClick(m_pForm.get(), Qt::Key_Escape);
    EXPECT_FALSE(m_pForm->WetaSheet->Building());
    EXPECT_FALSE(m_pForm->WetaSheet->BuildTimer->isActive());
    EXPECT_EQ(m_pForm->StatusText(), "Berechnung der Wertetafel abgebrochen");
    EXPECT_EQ(m_pForm->WetaSheet->WetaGrid->rowCount(), 2); // headings and one whole row
    EXPECT_TRUE(m_pForm->WetaSheet->WetaInfo->text().endsWith("21 Zeilen \u2013 abgebrochen, 1 davon berechnet."))
        << m_pForm->WetaSheet->WetaInfo->text().toStdString();
    m_pForm->WetaSheet->BuildTimerEvent();
    EXPECT_EQ(cache.GetMisses(), nTableMisses);
}

// The page draws through the same job as the files: its finished picture, after entering and
// after a zoom, is the one drawn sample by sample, also where the curves are summed up.
TEST_F(GraphicsPage, FinishedPictureEqualsTheExportedOne)
{
    for (const uint32_t nCount : {100u, 200000u}) {
        SCOPED_TRACE(nCount);
        m_pPage->PaintBox->setFixedSize(584, 387);
        Step(1).SetStep(0, 20.0 / nCount);
        Step(1).SetCount(0, nCount);
        Document().SetFunction(2, "sin(x)*x^2");
        Step(1).m_bVisible[1] = true;
        Step(1).m_nColor[1] = 12;
        Step(1).m_nWidth[1] = 3;
        Document().SetFunction(3, "cos(t)*5, sin(t)*9");
        Step(1).m_bVisible[2] = true;
        for (int nZoom = 0; nZoom < 2; ++nZoom) {
            if (nZoom)
                m_pPage->ZoominButtonClick();
            else
                Enter();
            while (m_pPage->DeterminingRange() || m_pPage->DrawVars())
                Tick();
            const QImage shown = m_pPage->Picture().convertToFormat(QImage::Format_RGB32);
            QImage exported(584, 387, QImage::Format_RGB32);
            {
                QPainter painter(&exported);
                CPictureJob job(Document(), false, false); // sample by sample
                job.WalkAll();
                CPictureExport::Paint(job, painter, 584, 387, false, [] { return true; });
            }
            ASSERT_EQ(shown.size(), exported.size());
            int nDifferent = 0;
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x)
                    nDifferent += shown.pixel(x, y) != exported.pixel(x, y);
            EXPECT_EQ(nDifferent, 0) << "zoomed " << nZoom;
        }
        m_pForm->PageControl->setCurrentWidget(m_pForm->FunctionsSheet);
    }
}

// A drag does not start a drawing under way over at every move: it is finished for the view it
// began with and shown moved by the drag since, exposed area and all, while the next one draws.
TEST_F(GraphicsPage, DragFinishesTheDrawingUnderWayAndShowsItMoved)
{
    m_pPage->PaintBox->setFixedSize(400, 200);
    SetFixedView(Document());
    Document().SetFunction(1, "sin(x)*3");
    Step(1).SetCount(0, 2000); // more than a slice draws
    Enter();
    while (m_pPage->DrawVars())
        Tick();
    m_pPage->PaintBoxMouseDown(200, 100);
    m_pPage->PaintBoxMouseMove(220, 100); // one unit right: a drawing of that view begins
    ASSERT_NE(m_pPage->DrawVars(), nullptr);
    const CViewBox begun = CViewBox::Of(Document());
    uint32_t nSamples = Samples();
    for (int i = 1; i <= 3; ++i) {
        m_pPage->PaintBoxMouseMove(220 + 20 * i, 100 - 10 * i);
        EXPECT_GE(Samples(), nSamples) << "move " << i << " started the drawing over";
        nSamples = Samples();
        Tick();
    }
    while (m_pPage->DrawVars() && Samples() >= nSamples)
        nSamples = Samples(), Tick();
    // The next drawing is under way; shown meanwhile: the finished one, 60 pixels right and 30 up.
    ASSERT_NE(m_pPage->DrawVars(), nullptr);
    const QImage shown = m_pPage->Picture().convertToFormat(QImage::Format_RGB32);
    QImage begunPicture(400, 200, QImage::Format_RGB32);
    {
        CProject& project = Document();
        const CViewBox now = CViewBox::Of(project);
        const auto Hold = [&project](const CViewBox& box) {
            for (unsigned i = 0; i < 4; ++i)
                project.SetOption(OPT_XMIN + i, box.m_dView[i]);
        };
        Hold(begun);
        QPainter painter(&begunPicture);
        CPictureJob job(project, false, false);
        job.WalkAll();
        CPictureExport::Paint(job, painter, 400, 200, false, [] { return true; });
        Hold(now);
    }
    int nDifferent = 0;
    for (int y = 0; y < 170; ++y)
        for (int x = 60; x < 400; ++x)
            nDifferent += shown.pixel(x, y) != begunPicture.pixel(x - 60, y + 30);
    EXPECT_EQ(nDifferent, 0);
    m_pPage->PaintBoxMouseUp();
    while (m_pPage->DrawVars())
        Tick();
    EXPECT_EQ(m_pPage->Picture().cacheKey(), m_pPage->View->Image().cacheKey()) << "no longer held";
}

TEST_F(GraphicsPage, TracingFollowsThePickedCurveUntilEscape)
{
    m_pPage->PaintBox->setFixedSize(400, 200);
    SetFixedView(Document());
    Enter();
    ASSERT_TRUE(m_pForm->TraceButton->isEnabled());
    // Far from the curve a right click picks nothing; on it, f1 is traced at the pointer's x.
    QTest::mouseClick(m_pPage->PaintBox, Qt::RightButton, {}, QPoint(250, 150));
    EXPECT_FALSE(m_pForm->TraceButton->isChecked());
    QTest::mouseClick(m_pPage->PaintBox, Qt::RightButton, {}, QPoint(250, 52));
    EXPECT_TRUE(m_pForm->TraceButton->isChecked());
    EXPECT_EQ(m_pForm->StatusText(), "f1: x = 2,5; y = 2,5");
    m_pPage->PaintBoxMouseMove(180, 190);
    EXPECT_EQ(m_pForm->StatusText(), "f1: x = -1; y = -1");
    // A right click far from every curve while one is traced picks nothing: the cross does not
    // jump to f1's point at the pointer's x, which lies half the picture away.
    QTest::mouseClick(m_pPage->PaintBox, Qt::RightButton, {}, QPoint(300, 190));
    EXPECT_FALSE(m_pForm->TraceButton->isChecked());
    EXPECT_FALSE(m_pPage->Trace->HasCurve());
    EXPECT_EQ(m_pForm->StatusText(), "Keine Kurve in der N\u00E4he");
    m_pPage->PaintBoxMouseMove(300, 190);
    EXPECT_EQ(m_pForm->StatusText(), "5; -4,5");
    // Without a curve the lists say how to pick one.
    m_pPage->Trace->ShowRoots();
    auto* pDialog = m_pForm->findChild<QDialog*>("TraceDialog");
    ASSERT_NE(pDialog, nullptr);
    EXPECT_EQ(pDialog->windowTitle(), "Nullstellen");
    ASSERT_EQ(pDialog->findChild<QListWidget*>()->count(), 1);
    EXPECT_EQ(pDialog->findChild<QListWidget*>()->item(0)->text(),
              "Keine Kurve gew\u00E4hlt: zuerst eine Kurve mit der rechten Maustaste anklicken.");
    pDialog->close();
    QTest::mouseClick(m_pPage->PaintBox, Qt::RightButton, {}, QPoint(180, 112));
    EXPECT_EQ(m_pForm->StatusText(), "f1: x = -1; y = -1");
    QTest::keyClick(m_pForm.get(), Qt::Key_Escape);
    EXPECT_FALSE(m_pForm->TraceButton->isChecked());
    m_pPage->PaintBoxMouseMove(200, 100);
    EXPECT_EQ(m_pForm->StatusText(), "0; 0");

    // The toggle waits for a click on a curve; leaving the page ends the mode.
    m_pForm->TraceButton->click();
    QTest::mouseClick(m_pPage->PaintBox, Qt::LeftButton, {}, QPoint(200, 100));
    EXPECT_EQ(m_pForm->StatusText(), "f1: x = 0; y = 0");
    m_pForm->PageControl->setCurrentWidget(m_pForm->FunctionsSheet);
    EXPECT_FALSE(m_pForm->TraceButton->isChecked());
}

TEST_F(GraphicsPage, AnalysisListsMarksAndMovesTheCross)
{
    m_pPage->PaintBox->setFixedSize(400, 200);
    SetFixedView(Document()); // 20 pixels a unit
    Document().SetFunction(1, "x^2-1");
    Document().SetFunction(2, "2*x-2"); // touches f1 at (1, 0)
    Document().SetFunction(3, "x");
    Step(1).m_bVisible[1] = Step(1).m_bVisible[2] = true;
    Enter();
    CCurveTrace* pTrace = m_pPage->Trace;
    const auto Path = [this](const char* pszName) { return ScratchDirectory() + "/" + pszName; };
    QTest::mouseClick(m_pPage->PaintBox, Qt::RightButton, {}, QPoint(200, 120)); // (0, -1) on f1
    ASSERT_TRUE(pTrace->HasCurve());
    ASSERT_EQ(pTrace->Curve().m_nSlot, 1u);
    pTrace->ShowRoots();
    EXPECT_EQ(pTrace->ListText(), "x = -1\nx = 1\n");
    ASSERT_EQ(pTrace->Marks().m_Points.size(), 2u);

    // More than one other curve: the user chooses; cancelled, nothing changes.
    pTrace->ShowIntersections();
    EXPECT_EQ(m_pDialogs->m_Choices, QStringList{"Schnittpunkte von f1 mit:|f2,f3"});
    EXPECT_EQ(pTrace->ListText(), "x = -1\nx = 1\n");
    m_pDialogs->m_nChoice = 0;
    pTrace->ShowIntersections(); // the touching one
    auto* pDialog = m_pForm->findChild<QDialog*>("TraceDialog");
    ASSERT_NE(pDialog, nullptr);
    EXPECT_EQ(pDialog->windowTitle(), "Schnittpunkte von f1 und f2");
    EXPECT_TRUE(pTrace->ListText().startsWith("x = 1; y = ")) << pTrace->ListText().toStdString();
    m_pDialogs->m_nChoice = 1;
    pTrace->ShowIntersections();
    EXPECT_EQ(pTrace->ListText(), "x = -0,61803399; y = -0,61803399\nx = 1,618034; y = 1,618034\n");
    EXPECT_EQ(pTrace->Marks().m_Points.size(), 4u); // the roots stay marked
    pTrace->CopyList();
    EXPECT_EQ(QApplication::clipboard()->text(), pTrace->ListText());
    // A click on a row moves the cross there, even after tracing ended.
    QTest::keyClick(m_pForm.get(), Qt::Key_Escape);
    auto* pList = pDialog->findChild<QListWidget*>("TraceList");
    QTest::mouseClick(pList->viewport(), Qt::LeftButton, {}, pList->visualItemRect(pList->item(1)).center());
    EXPECT_EQ(m_pForm->StatusText(), "f1: x = 1,618034; y = 1,618034");
    EXPECT_TRUE(m_pForm->TraceButton->isChecked());
    // Every mark tells its coordinates near the pointer.
    EXPECT_EQ(pTrace->MarkAt(221, 101), "x = 1; y = 0");
    EXPECT_EQ(pTrace->MarkAt(230, 100), "");

    // Tangent and normal at the cross, their equations in the status line.
    auto* pTangent = m_pForm->findChild<QAction*>("TangentAction");
    ASSERT_NE(pTangent, nullptr);
    pTangent->trigger();
    EXPECT_TRUE(pTrace->TangentShown());
    EXPECT_EQ(pTrace->Marks().m_Lines.size(), 2u);
    m_pPage->PaintBoxMouseMove(220, 0);
    EXPECT_EQ(m_pForm->StatusText(), "f1: x = 1; y = 0; Tangente: y = 2\u00B7x - 2; Normale: y = -0,5\u00B7x + 0,5");
    m_pPage->PaintBoxMouseMove(200, 0);
    EXPECT_EQ(m_pForm->StatusText(), "f1: x = 0; y = -1; Tangente: y = -1; Normale: x = 0");
    pTangent->trigger();
    EXPECT_TRUE(pTrace->Marks().m_Lines.empty());

    pTrace->ShowInflections();
    EXPECT_EQ(pTrace->ListText(), "Keine Wendepunkte im sichtbaren Bereich\n");
    pTrace->ShowYIntercepts();
    EXPECT_EQ(pTrace->ListText(), "x = 0; y = -1\n");

    // The area: proposed between the first two roots, against the x axis or another curve.
    pTrace->ShowArea();
    EXPECT_EQ(m_pDialogs->m_AreaQuestions, QStringList{"-1,1|der x-Achse,f2,f3|-1|1"});
    EXPECT_TRUE(pTrace->Marks().m_Area.empty());
    m_pDialogs->m_szAreaFrom = "-1";
    m_pDialogs->m_szAreaTo = "1";
    pTrace->ShowArea();
    EXPECT_TRUE(pTrace->ListText().startsWith("Fl\u00E4che von -1 bis 1: -1,3333333 (Fehlersch\u00E4tzung "))
        << pTrace->ListText().toStdString();
    m_pDialogs->m_szAreaFrom = "0,5"; // the document's decimal comma
    m_pDialogs->m_nAreaAgainst = 1;
    pTrace->ShowArea();
    EXPECT_TRUE(pTrace->ListText().startsWith("Fl\u00E4che zwischen f1 und f2 von 0,5 bis 1: 0,041666667 ("))
        << pTrace->ListText().toStdString();
    EXPECT_FALSE(pTrace->Marks().m_Area.empty());

    // The marks go to a picture only when asked for.
    QStringList pictures;
    for (const bool bMarks : {false, true}) {
        m_pDialogs->m_szPictureName = QString::fromStdString(Path(bMarks ? "marked.png" : "plain.png"));
        m_pDialogs->m_bExportMarks = bMarks;
        m_pForm->ExportButtonClick();
        pictures << m_pDialogs->m_szPictureName;
    }
    const QImage plain(pictures[0]), marked(pictures[1]);
    ASSERT_FALSE(plain.isNull());
    EXPECT_NE(plain, marked);
    bool bNothing = false;
    const std::string szExpected = Path("expected.png");
    ASSERT_TRUE(CPictureExport::Export(Document(), szExpected, plain.width(), plain.height(), bNothing));
    EXPECT_EQ(plain, QImage(QString::fromStdString(szExpected)));
    // The menu is in Ansicht too, enabled with tracing; leaving the page takes the marks off.
    EXPECT_TRUE(m_pForm->TraceMenu->menuAction()->isEnabled());
    m_pForm->PageControl->setCurrentWidget(m_pForm->NotesSheet);
    EXPECT_TRUE(pTrace->Marks().Empty());
    EXPECT_FALSE(m_pForm->TraceMenu->menuAction()->isEnabled());
}

namespace {
// The rows of a picture's column in which the colour is found, each run of rows counted once.
int Lines(const QImage& picture, int nColumn, QRgb color)
{
    int nLines = 0;
    bool bIn = false;
    for (int y = 0; y < picture.height(); ++y) {
        const bool bHit = picture.pixel(nColumn, y) == color;
        nLines += bHit && !bIn;
        bIn = bHit;
    }
    return nLines;
}
} // namespace

TEST_F(GraphicsPage, SliderShowsOneMemberOfTheFamilyWithoutChangingTheDocument)
{
    // y = u for u = 0 ... 4: five red lines; the slider's member 2 draws y = 2 alone.
    SetFixedView(Document());
    Document().SetFunction(1, "x*0+u");
    Step(1).m_nColor[0] = 12; // red
    Step(1).m_nCount[1] = 4;
    Step(1).m_nSpeed = 10;
    Document().m_bModified = false;
    Enter();
    QSlider* pU = m_pPage->findChild<QSlider*>("USlider");
    QSlider* pV = m_pPage->findChild<QSlider*>("VSlider");
    ASSERT_NE(pU, nullptr);
    ASSERT_NE(pV, nullptr);
    EXPECT_TRUE(pU->isVisibleTo(m_pPage));
    EXPECT_FALSE(pV->isVisibleTo(m_pPage)); // v is not swept
    EXPECT_EQ(pU->maximum(), 5);            // "alle" and the five members
    QLabel* pLabel = m_pPage->findChild<QLabel*>("ULabel");
    EXPECT_EQ(pLabel->text(), "u: alle");
    while (m_pPage->DrawVars())
        Tick();
    const int nColumn = m_pPage->Picture().width() / 2;
    const QRgb red = qRgb(255, 0, 0);
    EXPECT_EQ(Lines(m_pPage->Picture(), nColumn, red), 5);
    const int nHistory = m_pForm->History().Stack()->count();

    // Without pacing (20 ticks at speed 10), and as it is drawn, nothing else.
    const auto Finish = [this] {
        int nTicks = 0;
        for (; m_pPage->DrawVars() && nTicks < 100; ++nTicks)
            Tick();
        return nTicks;
    };
    pU->setValue(3); // member 2
    EXPECT_EQ(pLabel->text(), "u = 2");
    EXPECT_LE(Finish(), 1);
    const QImage member = m_pPage->Picture();
    EXPECT_EQ(Lines(member, nColumn, red), 1);
    int32_t nX, nY;
    CFuncVars view;
    view.SetupView(&Document(), nullptr, m_pPage->PaintBoxSize().width(), m_pPage->PaintBoxSize().height(), 0, 0);
    view.MapPoint(0.0, 2.0, nX, nY, false);
    const qreal dRatio = member.devicePixelRatio();
    EXPECT_EQ(member.pixel(nColumn, static_cast<int>(nY * dRatio)), red);
    // On paper too, once the screen has finished.
    QImage paper(400, 200, QImage::Format_RGB32);
    paper.fill(Qt::white);
    {
        QPainter painter(&paper);
        CGraphPrint::Draw(Document(), painter, {0, 0, 400, 200}, m_pPage->DrawVars(), false, nullptr,
                          [this](CPictureJob& job) { m_pPage->Sliders->SelectMembers(job); });
    }
    EXPECT_EQ(Lines(paper, 200, red), 1);
    pU->setValue(0);
    EXPECT_LE(Finish(), 5);
    EXPECT_EQ(Lines(m_pPage->Picture(), nColumn, red), 5);

    // Playing runs through the members at the step's pace and round again; Escape stops it.
    CParamSliders* pSliders = m_pPage->Sliders;
    QTest::mouseClick(pSliders->UPlayButton, Qt::LeftButton);
    EXPECT_TRUE(pSliders->PlayTimer->isActive());
    EXPECT_EQ(pSliders->PlayTimer->interval(), 1010); // 101 samples of x at 10 ms
    EXPECT_EQ(pU->value(), 1);
    for (int i = 0; i < 5; ++i)
        pSliders->PlayTick();
    EXPECT_EQ(pU->value(), 1); // after member 4, member 0 again
    Finish();
    EXPECT_EQ(Lines(m_pPage->Picture(), nColumn, red), 1);
    QTest::keyClick(m_pForm.get(), Qt::Key_Escape);
    EXPECT_FALSE(pSliders->PlayTimer->isActive());
    EXPECT_EQ(pU->value(), 1);

    // A way of looking only: nothing to save, nothing to undo.
    m_pForm->History().NoteChanges();
    EXPECT_FALSE(Document().m_bModified);
    EXPECT_EQ(m_pForm->History().Stack()->count(), nHistory);
    // Another step without u: no sliders.
    Step(1).m_nCount[1] = 0;
    m_pPage->GraphicsButtonClick();
    EXPECT_FALSE(pSliders->isVisibleTo(m_pPage));
}

TEST_F(GraphicsPage, CurvesThatFollowTheViewKeepTheStepsPace)
{
    // 101 samples at 10 ms: about one second, 20 ticks, however many samples the view needs.
    SetFixedView(Document());
    Step(1).m_nSpeed = 10;
    Document().SetFlag(FLAG_FOLLOWVIEW, true);
    Enter();
    ASSERT_NE(m_pPage->DrawVars(), nullptr);
    EXPECT_GE(m_pPage->DrawVars()->m_Sweep.m_nCount[0], 2u * static_cast<uint32_t>(m_pPage->PaintBoxSize().width()));
    int nTicks = 0;
    while (m_pPage->DrawVars() && nTicks < 1000) {
        Tick();
        ++nTicks;
    }
    EXPECT_GE(nTicks, 19);
    EXPECT_LE(nTicks, 22);
}

TEST_F(GraphicsPage, SlidersBesideTheFormulasToo)
{
    SetFixedView(Document());
    Document().SetFunction(1, "x*0+u");
    Step(1).m_nColor[0] = 12; // red
    Step(1).m_nCount[1] = 4;
    Document().SetFlag(FLAG_LEGEND, false); // its red sample would cross the column
    m_pForm->PageControl->setCurrentWidget(m_pForm->FunctionsSheet);
    CFunctionsGraph* pGraph = m_pForm->FunctionsSheet->Graph();
    const auto Settled = [pGraph] {
        pGraph->Redraw();
        for (int i = 0; i < 500 && (pGraph->Busy() || i == 0); ++i)
            QTest::qWait(10);
        return pGraph->Picture();
    };
    QImage picture = Settled();
    QSlider* pU = pGraph->findChild<QSlider*>("USlider");
    ASSERT_NE(pU, nullptr);
    EXPECT_TRUE(pU->isVisibleTo(pGraph));
    const QRgb red = qRgb(255, 0, 0);
    EXPECT_EQ(Lines(picture, picture.width() / 2, red), 5);
    pU->setValue(3);
    picture = Settled();
    EXPECT_EQ(Lines(picture, picture.width() / 2, red), 1);
}
