#pragma once
// A compiled function or transformation term: its code list, dependency flags and value cache.
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <memory>
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
    class CProgramBuilder;

    // Flat form of the code list that the evaluator runs, built once after compiling (the list
    // m_pCode stays the source of truth: listing and dependencies read it). The top of the stack
    // is kept in a register; fused instructions take a constant or a value slot as an operand.
    struct SInstr {
        uint8_t m_nOp;
        uint8_t m_nSlot;   // value slot; OP_REF: argument count
        uint8_t m_nSlot2;  // second value slot; OP_REF: function number
        uint8_t m_nUnused;
        int32_t m_nJump;   // jumps: index of the target instruction
        double m_dConst;
    };

    // Look-up accelerator of the cache: an open-addressing table from the bit pattern of the key
    // slots to the newest entry with exactly that pattern. For key values that are neither 0 nor
    // NaN, equal as numbers means equal in bits, and equal bits mean equal CRCs, hence the same
    // chain: the table finds exactly the entry that the chain walk would find, and its absence
    // means the chain walk would find nothing. It is consulted only while every cached entry was
    // made with the current key slots; otherwise the chains are walked.
    struct SIndexSlot {
        uint64_t m_nKey;  // the bits of the one key slot, or a mix of the bits of all of them
        SCacheEntry* m_pEntry;  // null: free
    };

    void BuildProgram();
    const double* EvaluateInline(const double* pSlots, CProject* pProject);
    int Probe(double dKey, const double*& pValues, uint64_t& nKey);
    const double* EvaluateSlow(const double* pSlots, CProject* pProject);
    const double* EvaluateMiss(const double* pSlots, CProject* pProject, bool bIndexed, uint64_t nKey);
    unsigned Hash(const double* pSlots) const;
    const double* Store(unsigned nChain, unsigned nMask, const double* pSlots, const double* pValues, bool bIndexed,
                        uint64_t nKey);
    bool IndexKey(const double* pSlots, uint64_t& nKey) const;
    SCacheEntry* IndexFind(uint64_t nKey, const double* pSlots) const;
    void IndexInsert(uint64_t nKey, SCacheEntry* pEntry);
    void IndexGrow();
    static bool RunPlain(const SInstr* pCode, unsigned nValues, const double* s, CProject* pProject, double* pStack);
    static bool RunFma(const SInstr* pCode, unsigned nValues, const double* s, CProject* pProject, double* pStack);
    static bool RunProgram(const SInstr* pCode, unsigned nValues, const double* s, CProject* pProject, double* pStack);

    std::vector<SInstr> m_Program;
    std::bitset<FUNC_NSLOTS> m_bDirectVar;            // slots the code itself reads
    std::vector<unsigned> m_DirectRefs;               // functions the code itself refers to
    uint8_t m_nKeySlots[FUNC_NSLOTS] = {};            // slots of m_bDepVar, ascending
    unsigned m_nKeyCount = 0;
    unsigned m_nKeyMask = 0;                          // m_bDepVar as bits
    CCacheArena m_Arena;
    bool m_bCacheEmpty = true;                        // no entry since the last emptying
    uint16_t m_nUsedChains[CACHE_BUCKETS] = {};       // chains made non-empty since the last emptying
    unsigned m_nUsedCount = 0;
    std::unique_ptr<SIndexSlot[]> m_pIndex;
    unsigned m_nIndexSize = 0;                        // slots, a power of two, or 0
    unsigned m_nIndexShift = 64;                      // 64 - log2(m_nIndexSize)
    unsigned m_nIndexCount = 0;                       // slots in use
    unsigned m_nIndexMask = 0;                        // the key slots of the entries in the table
    bool m_bIndexOn = true;                           // every cached entry has the key slots m_nIndexMask
};
