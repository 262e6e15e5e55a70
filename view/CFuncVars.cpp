#include "view/CFuncVars.h"

#include <cfloat>
#include <cmath>

#include "project/CProject.h"
#include "view/CProgress.h"
#include "view/CSweepPlan.h"
#include "view/CViewBox.h"
#include "view/CWorkBudget.h"

CFuncVars::CFuncVars()
{
    for (unsigned i = 0; i < MAX_FUNCTIONS; ++i) {
        m_nLastX[i] = INT_MAX;
        m_nLastY[i] = 0;
        m_dLastParam[i] = 0.0;
        m_dLastValue[i][0] = m_dLastValue[i][1] = 0.0;
    }
}

CFuncVars::CFuncVars(const CFuncVars& other) : CFuncVars()
{
    m_pProject = other.m_pProject;
    for (unsigned i = 0; i < FUNC_NVARS; ++i)
        m_nIndex[i] = other.m_nIndex[i];
    for (unsigned i = 0; i < FUNC_NSLOTS; ++i)
        m_dValue[i] = other.m_dValue[i];
    m_pStep = other.m_pStep;
    m_pSweeps = other.m_pSweeps;
    m_Sweep = other.m_Sweep;
    m_nSamples = other.m_nSamples;
    m_bFirstSample = other.m_bFirstSample;
    m_nViewWidth = other.m_nViewWidth;
    m_nViewHeight = other.m_nViewHeight;
    m_nViewLeft = other.m_nViewLeft;
    m_nViewTop = other.m_nViewTop;
    m_dOriginX = other.m_dOriginX;
    m_dOriginY = other.m_dOriginY;
    m_dScaleX = other.m_dScaleX;
    m_dScaleY = other.m_dScaleY;
    for (unsigned i = 0; i < 4; ++i)
        m_dRawBounds[i] = other.m_dRawBounds[i];
}

namespace {
// trmode truncated toward zero; TRMODE_UNKNOWN for every other value (NaN included).
ETransformMode TransformMode(double dMode)
{
    if (dMode > -1.0 && dMode < 1.0)
        return TRMODE_NONE;
    if (dMode >= 1.0 && dMode < 2.0)
        return TRMODE_USER;
    if (dMode >= 2.0 && dMode < 3.0)
        return TRMODE_POLAR;
    return TRMODE_UNKNOWN;
}
} // namespace

void CFuncVars::EnterStep(CAnimationStep* pStep)
{
    const CStepSweep* pSweep = pStep && m_pSweeps ? m_pSweeps->For(pStep) : nullptr;
    m_Sweep = pSweep ? *pSweep : pStep ? CStepSweep::Of(*pStep) : CStepSweep();
    for (unsigned i = 0; i < FUNC_NVARS; ++i) {
        m_nIndex[i] = 0;
        m_dValue[i] = m_Sweep.m_dMin[i];
        m_dValue[SLOT_A + i] = m_dValue[i];
    }
    m_pStep = pStep;
}

void CFuncVars::Reset(CAnimationStep* pStep)
{
    EnterStep(pStep);
    m_nSamples = 0;
    m_bFirstSample = true;
}

void CFuncVars::SeekX(CAnimationStep* pStep, uint32_t nIndex, double dX)
{
    Reset(pStep);
    if (nIndex == 0)
        return;
    m_nIndex[0] = nIndex;
    m_dValue[0] = m_dValue[SLOT_A] = dX;
    m_nSamples = nIndex;
    m_bFirstSample = false;
}

void CFuncVars::Seek(CAnimationStep* pStep, const uint32_t (&nIndex)[FUNC_NVARS], const double (&dValue)[FUNC_NVARS],
                     uint32_t nSamples)
{
    Reset(pStep);
    for (unsigned i = 0; i < FUNC_NVARS; ++i) {
        m_nIndex[i] = nIndex[i];
        m_dValue[i] = m_dValue[SLOT_A + i] = dValue[i];
    }
    m_nSamples = nSamples;
    m_bFirstSample = nIndex[0] == 0 && nIndex[1] == 0 && nIndex[2] == 0;
}

uint64_t CFuncVars::StepStart(const CAnimationStep* pFirst, const CAnimationStep* pStep)
{
    uint64_t nStart = 0;
    for (const CAnimationStep* p = pFirst; p && p != pStep; p = p->m_pNext) {
        uint64_t nSamples = 1;
        for (unsigned i = 0; i < FUNC_NVARS; ++i)
            nSamples *= uint64_t{p->m_nCount[i]} + 1;
        nStart += nSamples;
    }
    return nStart;
}

bool CFuncVars::Advance()
{
    if (!m_pStep)
        return false;
    CProgress::Tick();
    CWorkBudget::Check();
    return Step();
}

bool CFuncVars::Step()
{
    if (!m_pStep)
        return false;
    for (unsigned i = 0; i < FUNC_NVARS; ++i) {
        // Compared before the increment: at a count of 4294967295 the index would wrap to 0.
        if (m_nIndex[i] < m_Sweep.m_nCount[i]) {
            ++m_nIndex[i];
            // Repeated addition, not start + k * increment: the picture depends on the rounding.
            m_dValue[i] += m_Sweep.m_dStep[i];
            m_dValue[SLOT_A + i] = m_dValue[i];
            ++m_nSamples;
            m_bFirstSample = false;
            return true;
        }
        m_dValue[i] = m_Sweep.m_dMin[i];
        m_dValue[SLOT_A + i] = m_dValue[i];
        m_nIndex[i] = 0;
    }
    m_bFirstSample = true;
    // The last sample of a step is behind the walk too: the count numbers every sample of all
    // steps, so that a sample's count says where it stands in the picture.
    ++m_nSamples;
    if (m_pStep->m_pNext)
        EnterStep(m_pStep->m_pNext);
    else
        m_pStep = nullptr;
    return m_pStep != nullptr;
}

bool CFuncVars::TransformsNothing() const
{
    return TransformMode(m_pProject->m_dOptions[OPT_TRMODE]) == TRMODE_NONE;
}

bool CFuncVars::TransformsByTerm() const
{
    return TransformMode(m_pProject->m_dOptions[OPT_TRMODE]) == TRMODE_USER;
}

bool CFuncVars::TransformsByRule() const
{
    return TransformMode(m_pProject->m_dOptions[OPT_TRMODE]) == TRMODE_POLAR;
}

bool CFuncVars::TransformPoint(double& x, double& y) const
{
    switch (TransformMode(m_pProject->m_dOptions[OPT_TRMODE])) {
    case TRMODE_NONE: return true;
    case TRMODE_USER: return TransformPoint(x, y, m_pProject->m_pTransform.get(), m_pProject);
    case TRMODE_POLAR: {
        const double dX = y * std::cos(x);
        const double dY = y * std::sin(x);
        x = dX;
        y = dY;
        return true;
    }
    default: return false;
    }
}

bool CFuncVars::TransformPoint(double& x, double& y, CFuncTerm* pRule, CFuncResolver* pResolver) const
{
    if (!pRule)
        return false;
    // Evaluation reads only the slots and the resolver, so a copy of the slots serves as the
    // copied context.
    double dSlots[FUNC_NSLOTS];
    for (unsigned i = 0; i < FUNC_NSLOTS; ++i)
        dSlots[i] = m_dValue[i];
    dSlots[SLOT_A] = x; // fx
    dSlots[SLOT_B] = y; // fy
    const double* pValues = pRule->Evaluate(dSlots, pResolver);
    if (!pValues) {
        x = 0.0;
        y = 0.0;
        return false;
    }
    if (pRule->GetValueCount() >= 2) {
        x = pValues[0];
        y = pValues[1];
    } else {
        y = pValues[0];
    }
    return true;
}

void CFuncVars::SetupView(CProject* pProject, CAnimationStep* pStep, uint32_t nWidth, uint32_t nHeight, uint32_t nLeft,
                          uint32_t nTop)
{
    SetupView(pProject, CViewBox::Of(*pProject), pStep, nWidth, nHeight, nLeft, nTop);
}

void CFuncVars::SetupView(CProject* pProject, const CViewBox& box, CAnimationStep* pStep, uint32_t nWidth,
                          uint32_t nHeight, uint32_t nLeft, uint32_t nTop)
{
    m_pProject = pProject;
    for (unsigned i = 0; i < 4; ++i)
        m_dRawBounds[i] = box.m_dRaw[i];
    Reset(pStep);
    m_nViewWidth = nWidth;
    m_nViewHeight = nHeight;
    m_nViewLeft = nLeft;
    m_nViewTop = nTop;
    m_dOriginX = m_dOriginY = m_dScaleX = m_dScaleY = 0.0;
    if (nWidth == 0 || nHeight == 0)
        return;
    const double(&dView)[4] = box.m_dView; // xmin xmax ymin ymax
    double dLeft = dView[0];
    double dTop = dView[3];
    double dScaleX = AxisScale(nWidth, dLeft, dView[1]);
    double dScaleY = AxisScale(nHeight, dTop, dView[2]);
    // Equal bounds on one axis make the view unmappable even where true-to-scale display would
    // lend that axis the other one's scale.
    if (dScaleX == 0.0 || dScaleY == 0.0)
        return;
    if (pProject->m_nFlags & (1u << FLAG_PROPORTIONAL)) {
        // The axis that would get more pixels per unit takes the other's scale and shows more
        // than its range, as much on either side, so that the range asked for stays centred.
        const auto Widen = [](double& dFrom, double nPixels, double dScale, double dNarrower) {
            const double dWidened = dFrom + (nPixels * 0.5 / dScale - nPixels * 0.5 / dNarrower);
            if (std::isfinite(dWidened))
                dFrom = dWidened;
        };
        if (std::fabs(dScaleY) > std::fabs(dScaleX)) {
            const double dNarrower = (dScaleY >= 0.0 ? 1.0 : -1.0) * std::fabs(dScaleX);
            Widen(dTop, nHeight, dScaleY, dNarrower);
            dScaleY = dNarrower;
        } else {
            const double dNarrower = (dScaleX >= 0.0 ? 1.0 : -1.0) * std::fabs(dScaleY);
            Widen(dLeft, nWidth, dScaleX, dNarrower);
            dScaleX = dNarrower;
        }
    }
    const double dOriginX = dLeft - nLeft / dScaleX;
    const double dOriginY = dTop - nTop / dScaleY;
    if (!std::isfinite(dOriginX) || !std::isfinite(dOriginY))
        return;
    m_dScaleX = dScaleX;
    m_dScaleY = dScaleY;
    m_dOriginX = dOriginX;
    m_dOriginY = dOriginY;
}

double CFuncVars::AxisScale(double nPixels, double& dFrom, double dTo)
{
    const double dSpan = dTo - dFrom;
    if (dSpan == 0.0 || dSpan != dSpan)
        return 0.0;
    if (std::isinf(dSpan)) {
        const double dScale = nPixels * 0.5 / (dTo * 0.5 - dFrom * 0.5);
        return dScale != 0.0 && std::isfinite(dScale) ? dScale : 0.0; // an infinite bound maps nothing
    }
    const double dScale = nPixels / dSpan;
    if (std::isfinite(dScale))
        return dScale;
    // Narrower than a pixel's worth of the smallest numbers (a span of 1e-310): the narrowest
    // span about the same centre whose pixels are still doubles, with room for the pixels of
    // points outside it.
    const double dWide = std::copysign(DBL_MAX / 1024.0, dSpan);
    const double dCentre = dFrom + dSpan * 0.5;
    dFrom = dCentre - nPixels * 0.5 / dWide;
    return dWide;
}

int32_t CFuncVars::ToPixel(double d)
{
    if (d >= PIXEL_LIMIT)
        return static_cast<int32_t>(PIXEL_LIMIT);
    if (d <= -PIXEL_LIMIT)
        return -static_cast<int32_t>(PIXEL_LIMIT);
    if (d != d) // infinity times a zero scale
        return 0;
    return static_cast<int32_t>(d);
}

bool CFuncVars::MapPoint(double x, double y, int32_t& nX, int32_t& nY, bool bTransform) const
{
    bool bOk = true;
    if (bTransform && m_pProject->m_dOptions[OPT_TRMODE] > TRMODE_NONE)
        bOk = TransformPoint(x, y);
    nX = ToPixel(PixelX(x));
    nY = ToPixel(PixelY(y));
    return bOk;
}

bool CFuncVars::MapGridPoint(double x, double y, int32_t& nX, int32_t& nY, bool bTransform)
{
    m_dValue[0] = x;
    m_dValue[1] = y;
    return MapPoint(x, y, nX, nY, bTransform);
}

namespace {
// The world coordinate at a pixel; in halves where it lies beyond the doubles' reach of the
// origin, as across a view from -1e308 to 1e308.
double Unpixel(int32_t n, double dOrigin, double dScale)
{
    const double d = n / dScale + dOrigin;
    if (d - d == 0.0)
        return d;
    return (n * 0.5 / dScale + dOrigin * 0.5) * 2.0;
}
} // namespace

void CFuncVars::UnmapPoint(int32_t nX, int32_t nY, double& x, double& y) const
{
    if (m_dScaleX == 0.0 || m_dScaleY == 0.0) {
        x = 0.0;
        y = 0.0;
        return;
    }
    x = Unpixel(nX, m_dOriginX, m_dScaleX);
    y = Unpixel(nY, m_dOriginY, m_dScaleY);
}
