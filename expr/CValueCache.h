#pragma once
// The value cache of one term: results by the values of the slots the term depends on (its key
// slots), in CACHE_BUCKETS chains chosen by a CRC of the key, with a look-up table beside them
// (see SIndexSlot). The term decides when to look up, run and store; the cache only keeps.
#include <bitset>
#include <cmath>
#include <cstdint>
#include <memory>

#include "expr/CCacheArena.h"
#include "expr/CCrcGenerator.h"
#include "expr/CFuncOps.h"
#include "expr/FuncLimits.h"

class CValueCache {
public:
    static constexpr unsigned CACHE_BUCKETS = 1024;
    static constexpr unsigned CACHE_LIMIT = 10000;

    struct SCacheEntry {
        SCacheEntry* m_pNext;
        double* m_pValues; // null: undefined at this key
        double m_dKey[FUNC_NSLOTS];
    };

    CValueCache() = default;
    CValueCache(const CValueCache&) = delete;
    CValueCache& operator=(const CValueCache&) = delete;

    // Takes the key slots of freshly computed dependency flags.
    void SetKeySlots(const std::bitset<FUNC_NSLOTS>& bKey);
    unsigned FirstKeySlot() const { return m_nKeySlots[0]; }
    unsigned KeyMask() const { return m_nKeyMask; }
    // The key slots all hold finite values (an infinite or NaN key is never run).
    bool KeyIsFinite(const double* pSlots) const;

    // The common case in few instructions: one key slot, whose value dKey is plain. Returns 1 for
    // a hit (counted; pValues set), 0 where the table says there is no entry (nKey set: a miss),
    // -1 where the table cannot answer (then Find). The term's flags must be valid.
    KX_INLINE int Probe(double dKey, const double*& pValues, uint64_t& nKey);
    // The general look-up: the entry at the slots' key, counted as a hit, or null for a miss, with
    // bIndexed and nKey set for Store.
    const SCacheEntry* Find(const double* pSlots, bool& bIndexed, uint64_t& nKey);
    unsigned Hash(const double* pSlots) const;
    // Counts an entry about to be stored; true when the cache is full and must be emptied first
    // (the entry is then stored without being counted).
    bool CountEntry() { return ++m_nItems >= CACHE_LIMIT; }
    // nMask: the key slots that nChain (and nKey, if bIndexed) were computed with; nChain may be
    // ANY_CHAIN where the key slots cannot have changed since the look-up (the chain is then
    // computed here, if at all). pValues: the nValues results, or null for undefined. Returns the
    // stored values.
    static constexpr unsigned ANY_CHAIN = ~0u;
    const double* Store(unsigned nChain, unsigned nMask, const double* pSlots, const double* pValues, unsigned nValues,
                        bool bIndexed, uint64_t nKey);
    void Clear();

    uint32_t GetItems() const { return m_nItems; }
    uint32_t GetMisses() const { return m_nMisses; }
    uint32_t GetHits() const { return m_nHits; }
    const SCacheEntry* GetChain(unsigned nChain) const
    {
        Settle();
        return m_pBuckets[nChain];
    }
    const SCacheEntry* const (&GetChains() const)[CACHE_BUCKETS]
    {
        Settle();
        return m_pBuckets;
    }

private:
    // Look-up accelerator of the cache: an open-addressing table from the bit pattern of the key
    // slots to the newest entry with exactly that pattern. For key values that are neither 0 nor
    // NaN, equal as numbers means equal in bits, and equal bits mean equal CRCs, hence the same
    // chain: the table finds exactly the entry that the chain walk would find, and its absence
    // means the chain walk would find nothing. It is consulted only while every cached entry was
    // made with the current key slots; otherwise the chains are walked.
    struct SIndexSlot {
        uint64_t m_nKey;       // the bits of the one key slot, or a mix of the bits of all of them
        SCacheEntry* m_pEntry; // null: free
    };

    static constexpr uint64_t GOLDEN = 0x9E3779B97F4A7C15ull;
    static constexpr uint64_t ABS_BITS = 0x7FFFFFFFFFFFFFFFull;
    static constexpr uint64_t INF_BITS = 0x7FF0000000000000ull;
    // The table position of a key is the top bits of this. The shift first breaks up arithmetic
    // progressions (a sweep's bit patterns are nearly one), which a multiplication alone would map
    // to evenly spaced positions that collide in clusters for some steps.
    static uint64_t Spread(uint64_t n) { return (n ^ (n >> 29)) * GOLDEN; }
    // Neither 0 (of either sign) nor NaN: then equal as numbers is equal in bits.
    static bool Plain(uint64_t n) { return (n & ABS_BITS) - 1 < INF_BITS; }

    // Rising keys: while every entry since the last emptying has one key slot and a larger key
    // than the entry before it (a sweep), a key above the newest is surely a miss, and such
    // entries are only queued (in order, through m_pNext) instead of being put into their chains
    // and the table. A walk larger than the cache thus never pays for chains that are emptied
    // unread. The queue is settled, in store order and so into exactly the chains and table it
    // would have made, as soon as anything looks at entries: a look-up that may hit, a store of
    // any other key, a change of the key slots, a reader of the chains.
    bool IsNew(double dKey) const { return m_bRising && (m_bCacheEmpty || dKey > m_dTop); }
    void Settle() const;
    void SettleQueue();

    bool IndexKey(const double* pSlots, uint64_t& nKey) const;
    SCacheEntry* IndexFind(uint64_t nKey, const double* pSlots) const;
    void IndexInsert(uint64_t nKey, SCacheEntry* pEntry);
    void IndexGrow();

    // The fields of the look-up path first, together.
    std::unique_ptr<SIndexSlot[]> m_pIndex;
    unsigned m_nIndexSize = 0;       // slots, a power of two, or 0
    unsigned m_nIndexShift = 64;     // 64 - log2(m_nIndexSize)
    unsigned m_nIndexCount = 0;      // slots in use
    unsigned m_nIndexMask = 0;       // the key slots of the entries in the table
    bool m_bIndexOn = true;          // every cached entry has the key slots m_nIndexMask
    bool m_bCacheEmpty = true;       // no entry since the last emptying
    bool m_bRising = true;           // see IsNew
    double m_dTop = 0.0;             // the key of the newest entry, while rising
    SCacheEntry* m_pQueue = nullptr; // the queued entries, oldest first
    SCacheEntry* m_pQueueTail = nullptr;
    uint8_t m_nKeySlots[FUNC_NSLOTS] = {}; // the key slots, ascending
    unsigned m_nKeyCount = 0;
    unsigned m_nKeyMask = 0; // the key slots as bits
    uint32_t m_nHits = 0;
    uint32_t m_nMisses = 0;
    uint32_t m_nItems = 0;
    unsigned m_nUsedCount = 0;
    CCacheArena m_Arena;
    SCacheEntry* m_pBuckets[CACHE_BUCKETS] = {};
    uint16_t m_nUsedChains[CACHE_BUCKETS] = {}; // chains made non-empty since the last emptying
};

// The look-up path is defined here so that the evaluator inlines it.

inline void CValueCache::Settle() const
{
    // Only the representation changes, not what the cache holds; no cache is ever a const object.
    if (m_pQueue)
        const_cast<CValueCache*>(this)->SettleQueue();
}

inline bool CValueCache::KeyIsFinite(const double* pSlots) const
{
    bool bFinite = true;
    for (unsigned k = 0; k < m_nKeyCount; ++k)
        bFinite = bFinite && std::isfinite(pSlots[m_nKeySlots[k]]);
    return bFinite;
}

inline bool CValueCache::IndexKey(const double* pSlots, uint64_t& nKey) const
{
    if (m_nKeyCount == 0)
        return false;
    uint64_t n = FuncOps::Bits(pSlots[m_nKeySlots[0]]);
    bool bPlain = Plain(n);
    for (unsigned k = 1; k < m_nKeyCount; ++k) {
        const uint64_t b = FuncOps::Bits(pSlots[m_nKeySlots[k]]);
        bPlain = bPlain && Plain(b);
        n = ((n * GOLDEN) >> 29 | (n * GOLDEN) << 35) ^ b;
    }
    nKey = n;
    return bPlain;
}

inline CValueCache::SCacheEntry* CValueCache::IndexFind(uint64_t nKey, const double* pSlots) const
{
    if (m_nIndexCount == 0)
        return nullptr;
    const unsigned nWrap = m_nIndexSize - 1;
    for (unsigned i = static_cast<unsigned>(Spread(nKey) >> m_nIndexShift);; i = (i + 1) & nWrap) {
        const SIndexSlot& slot = m_pIndex[i];
        if (!slot.m_pEntry)
            return nullptr;
        if (slot.m_nKey != nKey)
            continue;
        if (m_nKeyCount == 1)
            return slot.m_pEntry;
        bool bSame = true;
        for (unsigned k = 0; k < m_nKeyCount; ++k) {
            const unsigned s = m_nKeySlots[k];
            bSame = bSame && FuncOps::Bits(slot.m_pEntry->m_dKey[s]) == FuncOps::Bits(pSlots[s]);
        }
        if (bSame)
            return slot.m_pEntry;
    }
}

KX_INLINE int CValueCache::Probe(double dKey, const double*& pValues, uint64_t& nKey)
{
    if (!(m_bIndexOn && m_nKeyCount == 1))
        return -1;
    const uint64_t n = FuncOps::Bits(dKey);
    if (!Plain(n))
        return -1;
    nKey = n;
    if (IsNew(dKey))
        return 0;
    if (m_pQueue)
        return -1; // Find settles the queue
    if (m_nIndexCount == 0)
        return 0;
    const unsigned nWrap = m_nIndexSize - 1;
    for (unsigned i = static_cast<unsigned>(Spread(n) >> m_nIndexShift);; i = (i + 1) & nWrap) {
        const SIndexSlot& slot = m_pIndex[i];
        if (!slot.m_pEntry)
            return 0;
        if (slot.m_nKey == n) {
            ++m_nHits;
            pValues = slot.m_pEntry->m_pValues;
            return 1;
        }
    }
}

inline const CValueCache::SCacheEntry* CValueCache::Find(const double* pSlots, bool& bIndexed, uint64_t& nKey)
{
    // (While rising the queue only exists with one key slot.)
    if (m_pQueue && !IsNew(pSlots[m_nKeySlots[0]]))
        SettleQueue();
    if (m_bIndexOn && IndexKey(pSlots, nKey)) {
        bIndexed = true;
        const SCacheEntry* pEntry = IndexFind(nKey, pSlots);
        if (pEntry)
            ++m_nHits;
        return pEntry;
    }
    bIndexed = false;
    nKey = 0;
    for (const SCacheEntry* pEntry = m_pBuckets[Hash(pSlots)]; pEntry; pEntry = pEntry->m_pNext) {
        bool bMatch = true;
        for (unsigned k = 0; k < m_nKeyCount; ++k) {
            const unsigned i = m_nKeySlots[k];
            if (pEntry->m_dKey[i] != pSlots[i]) {
                bMatch = false;
                break;
            }
        }
        if (bMatch) {
            ++m_nHits;
            return pEntry;
        }
    }
    return nullptr;
}

inline unsigned CValueCache::Hash(const double* pSlots) const
{
    uint32_t nCrc = 0;
    for (unsigned k = 0; k < m_nKeyCount; ++k)
        nCrc = g_CacheCrc8.UpdateWord(nCrc, FuncOps::Bits(pSlots[m_nKeySlots[k]]));
    return nCrc & (CACHE_BUCKETS - 1);
}
