#pragma once
// The graph on paper: scaled to the page with a 2 cm margin, in the screen picture's proportions,
// the curves twice as wide as on the screen, and no more of an animation than the screen has drawn.
#include <QSize>
#include <cstdint>
#include <functional>

class QPainter;
class QPrinter;
class CFuncVars;
class CPictureJob;
class CProject;

struct SPrintLayout {
    int32_t m_nLeft = 0;
    int32_t m_nTop = 0;
    int32_t m_nWidth = 0;
    int32_t m_nHeight = 0;
};

class CGraphPrint {
public:
    static constexpr double MARGIN_CM = 2.0;
    static constexpr int32_t PEN_MULTIPLIER = 2;

    // The margin is on the left in portrait orientation, at the top in landscape. boxSize is the
    // screen picture's size; the page sizes are those of the paintable area in device pixels.
    static SPrintLayout Layout(double dDpiX, double dDpiY, int32_t nPageWidth, int32_t nPageHeight, bool bLandscape,
                               QSize boxSize);
    // The members of a family the screen shows (see CParamSliders::SelectMembers).
    using ChooseFunction = std::function<void(CPictureJob& job)>;
    // Grid, then the curves as far as pScreenJob (the screen's drawing, or null) has come; no
    // background. bAborted is asked after every sample. A finished screen drawing shows the
    // members choose picks.
    static void Draw(CProject& project, QPainter& painter, const SPrintLayout& layout, const CFuncVars* pScreenJob,
                     bool bVector, const std::function<bool()>& bAborted, const ChooseFunction& choose = nullptr);
    // One page on the printer; false when the printer could not be started.
    static bool Print(QPrinter& printer, CProject& project, const CFuncVars* pScreenJob, QSize boxSize,
                      SPrintLayout* pLayout = nullptr, const ChooseFunction& choose = nullptr);
};
