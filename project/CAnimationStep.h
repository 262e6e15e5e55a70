#pragma once
// One animation step: the ranges of x, u and v, the style of every function, pacing and a name.
#include <cstdint>
#include <cstring>
#include <string>

#include "expr/FuncLimits.h"

class CProject;
class CLineReader;

class CAnimationStep {
public:
    static constexpr unsigned NAME_SIZE = 40; // at most 39 characters

    CAnimationStep();
    // The copy that "Animationsschritt einfügen" inserts: styles, ranges and pacing of the source,
    // no name, the same-range flag set, in no list.
    CAnimationStep(const CAnimationStep& source);
    CAnimationStep& operator=(const CAnimationStep&) = delete;

    void SetMin(unsigned nVariable, double dValue);
    void SetMax(unsigned nVariable, double dValue);
    void SetStep(unsigned nVariable, double dValue);
    void SetCount(unsigned nVariable, uint32_t nCount);
    double GetMax(unsigned nVariable) const;
    void SetSameRange(bool bSameRange);
    void PropagateRange();

    // The step's block of the project file, lines ended by "\n".
    void WriteBlock(std::string& szOut) const;
    // Reads a block into this step up to its "-end" line or the end of the file; throws
    // ELoadSaveError with the number of a line it does not understand, or TooManySamples with
    // the range line that took the step's samples over nMaxSamples.
    void ReadBlock(CLineReader& reader, uint32_t& nLine, uint64_t nMaxSamples = UINT64_MAX);

    // Stores a name, cut to the 39 characters the field holds.
    void SetName(const std::string& szName);

    // The first function index from i on that is visible, or MAX_FUNCTIONS. The sampling loops ask
    // this once per sample and slot, and most slots are hidden: eight flags are tested at a time.
    unsigned NextVisible(unsigned i) const
    {
        for (; i + 8 <= MAX_FUNCTIONS; i += 8) {
            uint64_t nEight;
            std::memcpy(&nEight, m_bVisible + i, sizeof nEight);
            if (nEight)
                break;
        }
        while (i < MAX_FUNCTIONS && !m_bVisible[i])
            ++i;
        return i;
    }

    char m_szName[NAME_SIZE] = {};
    uint32_t m_nColor[MAX_FUNCTIONS] = {};
    uint32_t m_nWidth[MAX_FUNCTIONS];
    uint32_t m_nExtra[MAX_FUNCTIONS] = {};
    bool m_bVisible[MAX_FUNCTIONS] = {};
    bool m_bConnect = true;
    uint32_t m_nSpeed = 0;
    uint32_t m_nWait = 0;
    CAnimationStep* m_pNext = nullptr;
    CAnimationStep* m_pPrev = nullptr;
    CProject* m_pProject = nullptr;
    double m_dMin[FUNC_NVARS] = {-10.0, 0.0, 0.0};
    double m_dStep[FUNC_NVARS] = {0.2, 1.0, 1.0};
    uint32_t m_nCount[FUNC_NVARS] = {100, 0, 0};
    bool m_bSameRange = false;

private:
    void Mark();
    void CopyRanges(const CAnimationStep& from);
};
