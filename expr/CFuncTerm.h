#pragma once
// A compiled function or transformation term: its code list, dependency flags and value cache.
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "expr/CCacheArena.h"
#include "expr/CFuncNode.h"
#include "expr/FuncLimits.h"

class CProject;
class CFuncVars;

class CFuncTerm {
public:
    static constexpr unsigned CACHE_BUCKETS = 1024;
    static constexpr unsigned CACHE_LIMIT = 10000;

    struct SCacheEntry {
        SCacheEntry* m_pNext;
        double* m_pValues;  // null: undefined at this key
        double m_dKey[FUNC_NSLOTS];
    };

    // Compiles the text or throws EFuncError; nothing of a failed compilation survives.
    CFuncTerm(CProject* pProject, const char* pszText);
    ~CFuncTerm();
    CFuncTerm(const CFuncTerm&) = delete;
    CFuncTerm& operator=(const CFuncTerm&) = delete;

    // The term's m_nValues values at the context's slots, or null where it is undefined. The
    // values live in the cache: any later evaluation may empty it, so copy what you keep.
    const double* Evaluate(const CFuncVars& vars);
    const double* Evaluate(const double* pSlots, CProject* pProject);

    // One run of the code without the cache (references still go through theirs). Leaves the
    // values in pStack[0 ... m_nValues-1]; false where the value is undefined.
    bool Run(const double* pSlots, CProject* pProject, double* pStack) const;

    void UpdateDependencies();
    void Invalidate();

    std::string GetStatistics() const;
    void GetStatistics(char* pszBuffer, size_t nSize) const;
    std::string GetListing(size_t nRoom = 8192) const;
    void GetListing(char* pszBuffer, size_t nSize) const;

    CFuncNode* m_pCode = nullptr;
    uint32_t m_nValues = 0;
    std::bitset<FUNC_NSLOTS> m_bDepVar;
    std::bitset<MAX_FUNCTIONS + 1> m_bDepFunc;  // flag k for fk; flag 0 unused
    bool m_bDepsValid = false;
    SCacheEntry* m_pBuckets[CACHE_BUCKETS] = {};
    uint32_t m_nItems = 0;
    uint32_t m_nMisses = 0;
    uint32_t m_nHits = 0;
    std::string m_pszText;
    CProject* m_pProject;

    // Process-wide evaluation state, shared by all terms on the one thread.
    static unsigned s_nDepth;     // term evaluations in progress
    static double s_dRandKey;     // slot 3 at the last draw of "rand"
    static double s_dRandValue;   // what "rand" yields while slot 3 equals the key

private:
    friend class CFuncCompiler;

    // Flat form of the code list that the evaluator runs; built once after compiling.
    struct SInstr {
        uint8_t m_nOp;
        uint8_t m_nSlot;
        uint16_t m_nArgs;
        int32_t m_nJump;
        double m_dConst;
    };

    void BuildProgram();
    void EmitList(const CFuncNode* pNode);
    unsigned Hash(const double* pSlots) const;
    const double* Store(unsigned nChain, const double* pSlots, const double* pValues);

    std::vector<SInstr> m_Program;
    std::bitset<FUNC_NSLOTS> m_bDirectVar;            // slots the code itself reads
    std::vector<unsigned> m_DirectRefs;               // functions the code itself refers to
    uint8_t m_nKeySlots[FUNC_NSLOTS] = {};            // slots of m_bDepVar, ascending
    unsigned m_nKeyCount = 0;
    CCacheArena m_Arena;
};
