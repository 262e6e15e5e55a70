#include "project/CAnimationStep.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "project/CLineReader.h"
#include "project/CNumberText.h"
#include "project/CProject.h"
#include "project/CProjectLimits.h"
#include "project/CScanText.h"
#include "project/ELoadSaveError.h"
#include "project/Fatal.h"

CAnimationStep::CAnimationStep()
{
    std::fill(std::begin(m_nWidth), std::end(m_nWidth), 1u);
}

CAnimationStep::CAnimationStep(const CAnimationStep& source)
    : m_bConnect(source.m_bConnect), m_nSpeed(source.m_nSpeed), m_nWait(source.m_nWait), m_bSameRange(true)
{
    std::copy(std::begin(source.m_nColor), std::end(source.m_nColor), m_nColor);
    std::copy(std::begin(source.m_nWidth), std::end(source.m_nWidth), m_nWidth);
    std::copy(std::begin(source.m_nExtra), std::end(source.m_nExtra), m_nExtra);
    std::copy(std::begin(source.m_bVisible), std::end(source.m_bVisible), m_bVisible);
    CopyRanges(source);
}

void CAnimationStep::Mark()
{
    if (m_pProject)
        m_pProject->m_bModified = true;
}

void CAnimationStep::CopyRanges(const CAnimationStep& from)
{
    std::copy(std::begin(from.m_dMin), std::end(from.m_dMin), m_dMin);
    std::copy(std::begin(from.m_dStep), std::end(from.m_dStep), m_dStep);
    std::copy(std::begin(from.m_nCount), std::end(from.m_nCount), m_nCount);
}

void CAnimationStep::SetName(const std::string& szName)
{
    const size_t nLength = std::min<size_t>(szName.size(), NAME_SIZE - 1);
    std::memcpy(m_szName, szName.data(), nLength);
    m_szName[nLength] = '\0';
}

void CAnimationStep::SetMin(unsigned nVariable, double dValue)
{
    // clang-format off
    PROJECT_ASSERT(nVariable<FUNC_NVARS);
    // clang-format on
    if (m_dMin[nVariable] == dValue)
        return;
    m_dMin[nVariable] = dValue;
    Mark();
    PropagateRange();
}

void CAnimationStep::SetMax(unsigned nVariable, double dValue)
{
    // clang-format off
    PROJECT_ASSERT(nVariable<FUNC_NVARS);
    // clang-format on
    if (m_nCount[nVariable] == 0)
        m_nCount[nVariable] = 100;
    const double dStep = (dValue - m_dMin[nVariable]) / m_nCount[nVariable];
    if (dStep == m_dStep[nVariable])
        return;
    m_dStep[nVariable] = dStep;
    Mark();
    PropagateRange();
}

void CAnimationStep::SetStep(unsigned nVariable, double dValue)
{
    // clang-format off
    PROJECT_ASSERT(nVariable<FUNC_NVARS);
    // clang-format on
    if (m_dStep[nVariable] == dValue)
        return;
    m_dStep[nVariable] = dValue;
    Mark();
    PropagateRange();
}

void CAnimationStep::SetCount(unsigned nVariable, uint32_t nCount)
{
    // clang-format off
    PROJECT_ASSERT(nVariable<FUNC_NVARS);
    // clang-format on
    if (m_nCount[nVariable] == nCount)
        return;
    if (nCount >= 1) // the end stays where it was
        m_dStep[nVariable] = (GetMax(nVariable) - m_dMin[nVariable]) / nCount;
    m_nCount[nVariable] = nCount;
    Mark();
    PropagateRange();
}

double CAnimationStep::GetMax(unsigned nVariable) const
{
    // clang-format off
    PROJECT_ASSERT(nVariable<FUNC_NVARS);
    // clang-format on
    return m_nCount[nVariable] * m_dStep[nVariable] + m_dMin[nVariable];
}

void CAnimationStep::SetSameRange(bool bSameRange)
{
    if (!m_pPrev)
        bSameRange = false;
    if (bSameRange == m_bSameRange)
        return;
    m_bSameRange = bSameRange;
    Mark();
    if (bSameRange)
        m_pPrev->PropagateRange();
}

void CAnimationStep::PropagateRange()
{
    for (CAnimationStep* pStep = this; pStep->m_pNext && pStep->m_pNext->m_bSameRange; pStep = pStep->m_pNext)
        pStep->m_pNext->CopyRanges(*pStep);
}

void CAnimationStep::WriteBlock(std::string& szOut) const
{
    char szLine[128];
    szOut += "-name=";
    szOut += m_szName;
    szOut += '\n';
    if (m_bSameRange) {
        szOut += "-samerange\n";
    } else {
        for (unsigned i = 0; i < FUNC_NVARS; ++i) {
            szOut += "-range" + std::to_string(i) + '=' + CNumberText::Format(m_dMin[i], 10) + ',' +
                     CNumberText::Format(m_dStep[i], 1) + ',' + std::to_string(m_nCount[i]) + '\n';
        }
    }
    if (m_bConnect)
        szOut += "-connect\n";
    if (m_nSpeed) {
        std::snprintf(szLine, sizeof szLine, "-speed=%u\n", m_nSpeed);
        szOut += szLine;
    }
    if (m_nWait) {
        std::snprintf(szLine, sizeof szLine, "-wait=%u\n", m_nWait);
        szOut += szLine;
    }
    for (unsigned n = 1; n <= MAX_FUNCTIONS; ++n) {
        if (!m_bVisible[n - 1])
            continue;
        std::snprintf(szLine, sizeof szLine, "-f%u=%u,%u,%u\n", n, m_nColor[n - 1], m_nWidth[n - 1], m_nExtra[n - 1]);
        szOut += szLine;
    }
    szOut += "-end\n";
}

void CAnimationStep::ReadBlock(CLineReader& reader, uint32_t& nLine, uint64_t nMaxSamples)
{
    m_bConnect = false;     // only true when the block says so
    uint32_t nOverLine = 0; // the line that took the samples over the bound, while they stay over it
    const auto CheckSamples = [&] {
        if (CProjectLimits::StepSamples(m_nCount) <= nMaxSamples)
            nOverLine = 0;
        else if (nOverLine == 0)
            nOverLine = nLine;
    };
    const auto End = [&] {
        if (nOverLine != 0)
            throw ELoadSaveError{nOverLine, EFileCause::TooManySamples};
    };
    CheckSamples(); // over already: the line before the block, the step's header
    std::string szLine;
    while (reader.ReadLine(szLine)) {
        ++nLine;
        CLineReader::TrimLine(szLine);
        CScanText scan(szLine);
        uint32_t nVariable, nCount, nFunction, nColor, nWidth, nExtra, nValue;
        double dMin, dStep;
        auto isWord = [&szLine](const char* pszWord) {
            CScanText word(szLine);
            return word.LiteralNoCase(pszWord) && word.AtEnd();
        };
        if (isWord("-end"))
            return End();
        if (CScanText(szLine).LiteralNoCase("-name=")) {
            SetName(szLine.substr(6));
        } else if (isWord("-samerange")) {
            // The first step has nobody to take its ranges from; it keeps its own.
            if (m_pPrev) {
                m_bSameRange = true;
                CopyRanges(*m_pPrev);
                CheckSamples();
            }
        } else if (scan.Literal("-range") && scan.Unsigned(nVariable) && scan.Literal("=") && scan.Real(dMin) &&
                   scan.Literal(",") && scan.Real(dStep) && scan.Literal(",") && scan.Unsigned(nCount) &&
                   nVariable < FUNC_NVARS) {
            m_bSameRange = false;
            m_dMin[nVariable] = dMin;
            m_dStep[nVariable] = dStep;
            m_nCount[nVariable] = nCount;
            CheckSamples();
        } else if (CScanText f(szLine); f.Literal("-f") && f.Unsigned(nFunction) && f.Literal("=") &&
                                        f.Unsigned(nColor) && f.Literal(",") && f.Unsigned(nWidth) && f.Literal(",") &&
                                        f.Unsigned(nExtra) && nFunction >= 1 && nFunction <= MAX_FUNCTIONS) {
            m_bVisible[nFunction - 1] = true;
            m_nColor[nFunction - 1] = nColor;
            m_nWidth[nFunction - 1] = nWidth;
            m_nExtra[nFunction - 1] = nExtra;
        } else if (isWord("-connect")) {
            m_bConnect = true;
        } else if (CScanText s(szLine); s.Literal("-speed=") && s.Unsigned(nValue)) {
            m_nSpeed = nValue;
        } else if (CScanText w(szLine); w.Literal("-wait=") && w.Unsigned(nValue)) {
            m_nWait = nValue;
        } else if (!szLine.empty()) {
            throw ELoadSaveError{nLine};
        }
    }
    End();
}
