#pragma once
// The graph beside the formulas: the selected step drawn whole, without pacing, in the document's
// view, anew after every change of the document or of the selected step. The drawing runs in
// slices between the events and starts over at the next change, so typing never waits for it;
// the surface keeps the last finished picture until the next one is done. An automatic range is
// determined for the picture alone: the document keeps its own until the Grafik page writes one.
#include <QElapsedTimer>
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "view/CViewBox.h"

class QTimer;
class CAnimationStep;
class CGraphView;
class CPageFrame;
class CParamSliders;
class CPictureJob;
class CTickClock;

class CFunctionsGraph : public QWidget {
    Q_OBJECT
public:
    static constexpr uint32_t SLICE = 15;        // ms of work between two looks at the events
    static constexpr int64_t SHOW_PARTIAL = 250; // ms after which a picture is shown as it comes

    CFunctionsGraph(CPageFrame& frame, QWidget* pParent);
    ~CFunctionsGraph() override;

    CGraphView* View() const { return m_pView; }
    void SetClock(std::unique_ptr<CTickClock> pClock);
    QSize sizeHint() const override;

    // Something the picture shows may have changed: the next slice compares and, where it has,
    // starts the picture anew. Nothing is done while the graph is hidden.
    void Redraw();
    // The page is shown: a view the user moved on it before is given up for the document's.
    void Enter();
    // The page is left (or its document is about to go): no drawing runs on.
    void Exit();
    // A drawing is under way.
    bool Busy() const;
    // The range of the picture shown.
    const CViewBox& Box() const { return m_Box; }
    QImage Picture() const;

    // u and v of the selected step, in the row under the graph: one member of a family at a time.
    CParamSliders* Sliders;

    // True while the picture is to stay as it is although the document changed (a formula being
    // typed that does not compile yet).
    std::function<bool()> m_Hold;

protected:
    void showEvent(QShowEvent* pEvent) override;
    void hideEvent(QHideEvent* pEvent) override;

private:
    enum class EState {
        Idle,    // the picture shown is finished, or none is wanted
        Walking, // the job walks the samples (range, summary)
        Drawing  // the job draws the curves of the step into the picture under way
    };
    // What the picture depends on: the document as its file would hold it, the step, the size
    // and whether the user's view is shown.
    std::string Key() const;
    CAnimationStep* SelectedStep() const;
    void Slice();
    void Begin(const std::string& szKey);
    void Drop();
    bool WalkSlice(); // true once the job has walked
    void BeginDrawing();
    bool DrawSlice(); // true once the step is drawn
    void Show(bool bFinished);
    void AdoptView();

    CPageFrame& m_Frame;
    CGraphView* m_pView;
    QTimer* m_pTimer;
    std::unique_ptr<CTickClock> m_pClock;
    std::unique_ptr<CPictureJob> m_pJob;
    EState m_eState = EState::Idle;
    std::string m_szShownKey;          // of the picture shown
    std::string m_szJobKey;            // of the picture under way
    std::string m_szFailedKey;         // a picture given up (its values cost too much): not again
    CAnimationStep* m_pStep = nullptr; // drawn by the job
    CViewBox m_Box;                    // of the picture under way, then of the one shown
    CViewBox m_JobBox;
    QImage m_Picture; // under way
    QElapsedTimer m_Started;
    uint64_t m_nLostSince = 0;
    bool m_bOwnView = false; // the user moved the view here: the document's range is shown as it is
};
