#pragma once
// The "Grafik" page: the graph drawn progressively on a timer, a few samples per tick, paced by
// each step's speed and wait so that the steps play as an animation; zoom and drag move the view.
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

#include "view/CViewBox.h"

class QTimer;
class CAnimationStep;
class CFuncVars;
class CCurveTrace;
class CGraphView;
class CPaintBox;
class CParamSliders;
class CPictureJob;
class CQtCanvas;
class CTickClock;
class CPageFrame;

class CGraphicsPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int TIMER_INTERVAL = 50; // ms between ticks
    static constexpr uint32_t SLICE = 100;    // ms of drawing per tick at the most

    explicit CGraphicsPage(CPageFrame& frame);
    ~CGraphicsPage() override;

    void SetClock(std::unique_ptr<CTickClock> pClock);

    // Restarts the curves from the first step; with a start step the value range is determined
    // first and the steps before it are drawn without pacing.
    void StartDrawing(CAnimationStep* pStartStep);
    // Makes the picture anew: background, grid, and a restarted job that catches up without
    // pacing to where the previous one had come.
    void PaintBoxPaint();
    void PaintTimerEvent();
    // Escape: drops a range determination under way (the document keeps its range), or stops the
    // drawing where it stands.
    void Cancel();
    bool DeterminingRange() const { return m_pJob && m_bRangePending; }
    // A walk over the samples is under way: the range determination, or the walk of a drawing
    // that sums its curves up first.
    bool Walking() const;

    // Without bDetermineRange the view the document holds is drawn as it is.
    void GraphicsSheetEnter(bool bDetermineRange = true);
    void GraphicsSheetExit();
    void GraphicsButtonClick();
    void RunButtonClick();
    void PauseButtonClick();
    void SkipButtonClick();
    void ZoominButtonClick();
    void ZoomoutButtonClick();
    // Mouse and wheel on the surface (see CGraphView).
    void PaintBoxMouseDown(int nX, int nY);
    void PaintBoxMouseMove(int nX, int nY);
    void PaintBoxMouseUp();
    void PaintBoxWheel(int nX, int nY, int nAngleDelta);

    // What the surface shows at this moment, a drawing in progress as far as it has come.
    QImage Picture() const;
    // The drawing of the curves under way, null where there is none.
    const CFuncVars* DrawVars() const;
    QSize PaintBoxSize() const;

    CGraphView* View;
    CPaintBox* PaintBox;    // the view's
    CCurveTrace* Trace;     // the view's
    CParamSliders* Sliders; // u and v of the selected step, in the view's row under the graph
    QTimer* PaintTimer;

    CAnimationStep* m_pStartStep = nullptr;
    uint32_t m_nMaxSamples = 0;
    int32_t m_nTimeBudget = 0;
    double m_dPaceCarry = 0.0; // milliseconds of pacing less than one, carried to the next sample
    uint64_t m_nLostSince = 0; // CFuncTerm::GetLostNanoseconds when the drawing began
    bool m_bSkipStep = false;
    bool m_bCatchUp = false;

private:
    void StopJob();
    void StartJob();      // the drawing of the curves, for the range the document has now
    void SlidersChange(); // only the members chosen, drawn at once
    void DropBusyCursor();
    bool WalkRangeSlice(); // true while samples remain
    void RangeDone();
    // The walk of a job that sums its curves up, as far as the slice begun allows; true once the
    // job can draw.
    bool WalkJob();
    // Runs work under the drawing's budget for values cut off by the work limit; where it is
    // spent, the drawing ends with the message in the status line and the result is false.
    bool Budgeted(const std::function<void()>& work);
    bool AllStepsFast() const; // every step is drawn as fast as possible
    void PaintBackground(bool bGrid);
    // Samples of the job, as many as the pacing lets go at once, and the pacing that follows.
    void DrawNext(CQtCanvas& canvas);
    void CatchUp(); // the catching up of a restarted job, at once
    // After a drawing finished for a view that a drag has moved on from: shows it moved to where
    // the view is now, and begins the drawing of that view.
    void DrawMoved();
    void EndHolding();
    void AddToBudget(int64_t nMilliseconds);
    uint32_t Width() const;
    uint32_t Height() const;

    CPageFrame& m_Frame;
    std::unique_ptr<CTickClock> m_pClock;
    std::unique_ptr<CPictureJob> m_pJob;
    bool m_bRangePending = false;            // the job determines the range
    CAnimationStep* m_pRangeStart = nullptr; // the start step it was begun for
    bool m_bFresh = false;                   // the job has drawn nothing yet, on this view:
    CViewBox m_JobBox;
    bool m_bMovedWhileDrawing = false; // a drag has moved the view on from the job's
    uint32_t m_nJobWidth = 0;
    uint32_t m_nJobHeight = 0;
    bool m_bRepaintAfterRange = false; // the surface waits for the range
    bool m_bRangeAnyPoint = true;      // what the last range determination met, to say why
    bool m_bRangeAnyView = true;       // nothing is drawn
    bool m_bBusyCursor = false;
};
