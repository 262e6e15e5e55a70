#pragma once
// The graph on paper: scaled to the page with a 2 cm margin, in the screen picture's proportions,
// the curves twice as wide as on the screen, and no more of an animation than the screen has drawn.
#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

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

// What a page carries beside the graph: a title above it, formulas below it.
struct SPrintCaptions {
    struct SLine {
        QString m_szText;
        uint32_t m_nColor = 0; // 0x00BBGGRR, the colour the function is drawn in
    };
    QString m_szTitle; // empty: no title
    std::vector<SLine> m_Formulas;
};

class CGraphPrint {
public:
    static constexpr double MARGIN_CM = 2.0;
    static constexpr int32_t PEN_MULTIPLIER = 2;

    // The margin is on the left in portrait orientation, at the top in landscape. boxSize is the
    // screen picture's size; the page sizes are those of the paintable area in device pixels.
    // nAbove and nBelow are kept free above and below the picture (for the captions).
    static SPrintLayout Layout(double dDpiX, double dDpiY, int32_t nPageWidth, int32_t nPageHeight, bool bLandscape,
                               QSize boxSize, int32_t nAbove = 0, int32_t nBelow = 0);
    // The formulas of the functions that some step shows, "f1: ..." in slot order, each in the
    // colour of the first step that shows it.
    static std::vector<SPrintCaptions::SLine> VisibleFormulas(const CProject& project);
    // The members of a family the screen shows (see CParamSliders::SelectMembers).
    using ChooseFunction = std::function<void(CPictureJob& job)>;
    // Grid, then the curves as far as pScreenJob (the screen's drawing, or null) has come; no
    // background. bAborted is asked after every sample. A finished screen drawing shows the
    // members choose picks.
    static void Draw(CProject& project, QPainter& painter, const SPrintLayout& layout, const CFuncVars* pScreenJob,
                     bool bVector, const std::function<bool()>& bAborted, const ChooseFunction& choose = nullptr);
    // One page on the painter's device: the title, the graph in the room the captions leave
    // (Draw), the formulas beneath it; formulas that would take more than half of that room are
    // counted in a last line instead. The graph's place is returned.
    static SPrintLayout DrawPage(CProject& project, QPainter& painter, bool bLandscape, QSize boxSize,
                                 const SPrintCaptions& captions, const CFuncVars* pScreenJob, bool bVector,
                                 const std::function<bool()>& bAborted, const ChooseFunction& choose = nullptr);
    // One page on the printer (or the preview's); false when the printer could not be started.
    static bool Print(QPrinter& printer, CProject& project, const CFuncVars* pScreenJob, QSize boxSize,
                      SPrintLayout* pLayout = nullptr, const ChooseFunction& choose = nullptr,
                      const SPrintCaptions& captions = {});
};
