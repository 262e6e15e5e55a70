#include "view/CSampleLog.h"

#include <new>
#include <sys/mman.h>

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
    static_assert(static_cast<int>(EEntry::Missing) == 0, "fresh pages hold Missing entries");
    m_pValuePages = std::make_unique<SPages>(size_t{m_nSamples} * m_nStride * sizeof(double));
    m_pEntryPages = std::make_unique<SPages>(size_t{m_nSamples} * m_nFlagStride * sizeof(EEntry));
    m_pValues = static_cast<double*>(m_pValuePages->m_pData);
    m_pEntries = static_cast<EEntry*>(m_pEntryPages->m_pData);
}

CSampleLog::SPages::SPages(size_t nBytes) : m_pData(nullptr), m_nBytes(nBytes > 0 ? nBytes : 1)
{
    void* pData = mmap(nullptr, m_nBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pData == MAP_FAILED)
        throw std::bad_alloc();
    m_pData = pData;
#ifdef MADV_HUGEPAGE
    madvise(m_pData, m_nBytes, MADV_HUGEPAGE); // a hint: fewer faults where the system allows
#endif
}

CSampleLog::SPages::~SPages()
{
    munmap(m_pData, m_nBytes);
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
        m_pEntries[nEntry] = EEntry::Undefined;
        return;
    }
    double* pTo = m_pValues + size_t{n} * m_nStride + m_nOffset[nFunction];
    for (unsigned k = 0; k < m_nValues[nFunction]; ++k)
        pTo[k] = pValues[k];
    m_pEntries[nEntry] = EEntry::Defined;
}

void CSampleLog::Transformed(const CFuncVars& vars, unsigned nFunction, unsigned nPoint, double x, double y,
                             bool bDefined)
{
    if (m_pForward)
        m_pForward->Transformed(vars, nFunction, nPoint, x, y, bDefined);
    const uint32_t n = vars.m_nSamples;
    if (n >= m_nSamples || nFunction >= MAX_FUNCTIONS || m_nCurveOf[nFunction] < 0 || nPoint >= m_nPoints[nFunction])
        return;
    double* pTo = m_pValues + size_t{n} * m_nStride + m_nOffset[nFunction] + m_nValues[nFunction] + 2 * nPoint;
    pTo[0] = x;
    pTo[1] = y;
    m_pEntries[size_t{n} * m_nFlagStride + m_nFlagOffset[nFunction] + nPoint] =
        bDefined ? EEntry::Defined : EEntry::Undefined;
}

CSampleLog::EEntry CSampleLog::Values(const CFuncVars& vars, unsigned nFunction, const double*& pValues) const
{
    pValues = nullptr;
    const uint32_t nSample = vars.m_nSamples;
    if (nSample >= m_nSamples || nFunction >= MAX_FUNCTIONS || m_nCurveOf[nFunction] < 0)
        return EEntry::Missing;
    const EEntry entry = m_pEntries[size_t{nSample} * m_nFlagStride + static_cast<unsigned>(m_nCurveOf[nFunction])];
    if (entry == EEntry::Defined)
        pValues = m_pValues + size_t{nSample} * m_nStride + m_nOffset[nFunction];
    return entry;
}

CSampleLog::EEntry CSampleLog::Point(const CFuncVars& vars, unsigned nFunction, unsigned nPoint, double& x,
                                     double& y) const
{
    const uint32_t nSample = vars.m_nSamples;
    if (nSample >= m_nSamples || nFunction >= MAX_FUNCTIONS || m_nCurveOf[nFunction] < 0 ||
        nPoint >= m_nPoints[nFunction])
        return EEntry::Missing;
    const EEntry entry = m_pEntries[size_t{nSample} * m_nFlagStride + m_nFlagOffset[nFunction] + nPoint];
    const double* p = m_pValues + size_t{nSample} * m_nStride + m_nOffset[nFunction] + m_nValues[nFunction];
    x = p[2 * nPoint];
    y = p[2 * nPoint + 1];
    return entry;
}
