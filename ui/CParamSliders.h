#pragma once
// Sliders for u and v under a graph: a way of looking at one member of a family without changing
// the document. Each appears while the step it follows sweeps its variable; its leftmost position
// "alle" shows the whole family, every other one the member at the step's own value there. A play
// button runs through the members at the step's pace and loops. The host redraws on Changed and
// draws only the members chosen (see CPictureJob::SelectMember).
#include <QWidget>
#include <cstdint>

class QLabel;
class QSlider;
class QTimer;
class QToolButton;
class CAnimationStep;
class CPictureJob;

class CParamSliders : public QWidget {
    Q_OBJECT
public:
    static constexpr int MIN_INTERVAL = 100; // ms a member is shown while playing, at the least
    static constexpr int ALL = -1;

    explicit CParamSliders(QWidget* pParent = nullptr);

    // Follows the step (null: none): a slider for each of u and v that it sweeps. The positions are
    // kept while the step and its counts stay; otherwise they go back to "alle".
    void SetStep(const CAnimationStep* pStep, bool bDecimalComma = false);
    const CAnimationStep* Step() const { return m_pStep; }
    // The member shown of variable nVariable (1 u, 2 v), ALL for the whole family.
    int64_t Member(unsigned nVariable) const;
    // The job draws only the members chosen (before its walk, or at least before its Setup).
    void SelectMembers(CPictureJob& job) const;
    // Playing stops (Escape); the position stays.
    void Stop();
    bool Playing() const;
    // The next member while playing (the timer's tick).
    void PlayTick();
    // The time a member is shown while playing: as long as the step's pace draws one member of
    // the family, MIN_INTERVAL at the least.
    static int Interval(uint32_t nSpeed, uint32_t nCountX);

    QSlider* USlider;
    QSlider* VSlider;
    QToolButton* UPlayButton;
    QToolButton* VPlayButton;
    QLabel* ULabel;
    QLabel* VLabel;
    QTimer* PlayTimer;

signals:
    // A member was chosen (by hand or by playing).
    void Changed();

private:
    void Refresh(); // rows, ranges and texts from the step
    void SliderChange(unsigned nVariable);
    void PlayClick(unsigned nVariable);
    QSlider* Slider(unsigned nVariable) const { return nVariable == 1 ? USlider : VSlider; }

    // The step is only compared with: what is shown of it is copied, so that a step deleted
    // meanwhile is never read.
    const CAnimationStep* m_pStep = nullptr;
    uint32_t m_nCount[3] = {}; // x, u and v
    double m_dMin[3] = {};
    double m_dStep[3] = {};
    uint32_t m_nSpeed = 0;
    bool m_bComma = false;   // the document's decimal sign, for the values beside the sliders
    unsigned m_nPlaying = 0; // the variable being played, 0 for none
};
