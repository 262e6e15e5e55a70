#pragma once
// The storyboard as the "Grafik" page plays it, on a clock of milliseconds: every sample of a
// step follows the one before it after the step's speed (a step of speed 0 appears whole at
// once), and after a step's last sample its wait passes before the next step begins. The
// timeline draws a job's samples up to a moment, so that pictures taken at moments one after
// another make the film of the drawing.
#include <cstdint>

class CCanvas;
class CPictureJob;

class CMovieTimeline {
public:
    // The job has walked and is set up; its first sample is due at moment 0.
    explicit CMovieTimeline(CPictureJob& job);

    // Draws every sample due at or before dMilliseconds.
    void DrawUntil(CCanvas& canvas, double dMilliseconds);
    // All samples are drawn.
    bool Done() const;
    // The moment the next sample is due; once all are drawn, the end of the last step's wait,
    // where the storyboard ends.
    double Next() const { return m_dNext; }

private:
    CPictureJob& m_Job;
    double m_dNext = 0.0;
};
