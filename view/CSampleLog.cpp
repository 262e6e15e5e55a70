#include "view/CSampleLog.h"

#include <new>

#include "view/CFuncVars.h"
#include "view/CPicturePlan.h"

std::unique_ptr<CSampleLog> CSampleLog::For(const CPicturePlan& plan, CSampleSink* pForward)
{
    if (!plan.Logged())
        return nullptr;
    try {
        return std::unique_ptr<CSampleLog>(new CSampleLog(plan, pForward));
    } catch (const std::bad_alloc&) { // the drawing evaluates, as it can without a log
        return nullptr;
    }
}

CSampleLog::CSampleLog(const CPicturePlan& plan, CSampleSink* pForward)
    : m_pForward(pForward), m_nSamples(plan.Samples()), m_nStride(plan.LogStride())
{
    unsigned nFlags = plan.Curves();
    for (unsigned i = 0; i < MAX_FUNCTIONS; ++i)
        m_nCurveOf[i] = -1;
    for (unsigned c = 0; c < plan.Curves(); ++c) {
        const unsigned i = plan.Slot(c);
        m_nCurveOf[i] = static_cast<int>(c);
        m_nOffset[i] = plan.LogOffset(c);
        m_nValues[i] = plan.LogValues(c);
        m_nPoints[i] = plan.LogPoints(c);
        m_nFlagOffset[i] = nFlags;
        nFlags += m_nPoints[i];
        m_bTransforms = m_bTransforms || m_nPoints[i] > 0;
    }
    m_nFlagStride = nFlags;
    m_Values.resize(size_t{m_nSamples} * m_nStride);
    m_Entries.assign(size_t{m_nSamples} * m_nFlagStride, EEntry::Missing);
}

void CSampleLog::Visited(const CFuncVars& vars)
{
    if (m_pForward)
        m_pForward->Visited(vars);
}

void CSampleLog::Sample(const CFuncVars& vars, unsigned nFunction, const double* pValues)
{
    if (m_pForward)
        m_pForward->Sample(vars, nFunction, pValues);
    const uint32_t n = vars.m_nSamples;
    if (n >= m_nSamples || nFunction >= MAX_FUNCTIONS || m_nCurveOf[nFunction] < 0)
        return;
    const size_t nEntry = size_t{n} * m_nFlagStride + static_cast<unsigned>(m_nCurveOf[nFunction]);
    if (!pValues) {
        m_Entries[nEntry] = EEntry::Undefined;
        return;
    }
    double* pTo = m_Values.data() + size_t{n} * m_nStride + m_nOffset[nFunction];
    for (unsigned k = 0; k < m_nValues[nFunction]; ++k)
        pTo[k] = pValues[k];
    m_Entries[nEntry] = EEntry::Defined;
}

void CSampleLog::Transformed(const CFuncVars& vars, unsigned nFunction, unsigned nPoint, double x, double y,
                             bool bDefined)
{
    if (m_pForward)
        m_pForward->Transformed(vars, nFunction, nPoint, x, y, bDefined);
    const uint32_t n = vars.m_nSamples;
    if (n >= m_nSamples || nFunction >= MAX_FUNCTIONS || m_nCurveOf[nFunction] < 0 || nPoint >= m_nPoints[nFunction])
        return;
    double* pTo = m_Values.data() + size_t{n} * m_nStride + m_nOffset[nFunction] + m_nValues[nFunction] + 2 * nPoint;
    pTo[0] = x;
    pTo[1] = y;
    m_Entries[size_t{n} * m_nFlagStride + m_nFlagOffset[nFunction] + nPoint] =
        bDefined ? EEntry::Defined : EEntry::Undefined;
}

CSampleLog::EEntry CSampleLog::Values(const CFuncVars& vars, unsigned nFunction, const double*& pValues) const
{
    pValues = nullptr;
    const uint32_t nSample = vars.m_nSamples;
    if (nSample >= m_nSamples || nFunction >= MAX_FUNCTIONS || m_nCurveOf[nFunction] < 0)
        return EEntry::Missing;
    const EEntry entry = m_Entries[size_t{nSample} * m_nFlagStride + static_cast<unsigned>(m_nCurveOf[nFunction])];
    if (entry == EEntry::Defined)
        pValues = m_Values.data() + size_t{nSample} * m_nStride + m_nOffset[nFunction];
    return entry;
}

CSampleLog::EEntry CSampleLog::Point(const CFuncVars& vars, unsigned nFunction, unsigned nPoint, double& x,
                                     double& y) const
{
    const uint32_t nSample = vars.m_nSamples;
    if (nSample >= m_nSamples || nFunction >= MAX_FUNCTIONS || m_nCurveOf[nFunction] < 0 ||
        nPoint >= m_nPoints[nFunction])
        return EEntry::Missing;
    const EEntry entry = m_Entries[size_t{nSample} * m_nFlagStride + m_nFlagOffset[nFunction] + nPoint];
    const double* p = m_Values.data() + size_t{nSample} * m_nStride + m_nOffset[nFunction] + m_nValues[nFunction];
    x = p[2 * nPoint];
    y = p[2 * nPoint + 1];
    return entry;
}
