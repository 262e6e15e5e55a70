#pragma once
// The value cache of one term: results by the values of the slots the term depends on (its key
// slots), in CACHE_BUCKETS chains chosen by a CRC of the key, with a look-up table beside them
// (see SIndexSlot). The term decides when to look up, run and store; the cache only keeps.
#include <bitset>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

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

    // The common cases in few instructions, from dKey, the value of the first key slot: a key of a
    // sweep above every key since the last emptying, and one key slot whose value is plain.
    // Returns NEW for a key that is surely a miss and above every record (to be written down
    // through Record or Queue while AboveRecords still holds), TOP for such a key that is above
    // every key since the last emptying too (IsNew), HIT for a hit (counted; pValues set), UNKNOWN
    // where it cannot tell (then Find). The term's flags must be valid.
    enum EProbe { UNKNOWN, HIT, NEW, TOP };
    KX_INLINE EProbe Probe(double dKey, const double*& pValues, uint64_t& nKey);
    // The general look-up: the entry at the slots' key, counted as a hit, or null for a miss, with
    // bIndexed and nKey set for Store.
    const SCacheEntry* Find(const double* pSlots, bool& bIndexed, uint64_t& nKey);
    unsigned Hash(const double* pSlots) const { return HashMask(pSlots, m_nKeyMask); }
    // The chain of the slots' values in the slots of nMask (bit i: slot i).
    static unsigned HashMask(const double* pSlots, unsigned nMask);
    // Counts an entry about to be stored; true when the cache is full and must be emptied first
    // (the entry is then stored without being counted).
    bool CountEntry() { return ++m_nItems >= CACHE_LIMIT; }
    // Stores the outcome of a miss at the chain of the key that was looked up. nMask: the key
    // slots of that look-up (the chain's; a run may have brought in more since, which the entry's
    // key then holds); nKey, if bIndexed: the key as the table knew it then. pValues: the nValues
    // results, or null for undefined. Returns the stored values.
    KX_INLINE const double* Store(unsigned nMask, const double* pSlots, const double* pValues, unsigned nValues,
                                  bool bIndexed, uint64_t nKey);
    // Stores the outcome at a key AboveRecords (with the key slots of the look-up, nValues > 0):
    // only written down, see IsNew.
    KX_INLINE const double* Queue(const double* pSlots, const double* pValues, unsigned nValues);
    // As Queue, for a run that cannot reach this cache: counts the miss and writes the key down,
    // and returns where the nValues results go; where the run fails, the first is to be NaN. The
    // key is above every record (AboveRecords).
    KX_INLINE double* Record(const double* pSlots, unsigned nValues);
    // CountEntry and Record in one where neither empties the cache nor needs a new block of
    // records; otherwise null, with nothing counted or written (then CountEntry and Record). The
    // common miss of a sweep so takes no call.
    KX_INLINE double* TryRecord(const double* pSlots, unsigned nValues, bool bTop = false);
    // The key slots after the first hold finite values (a new key's first one is finite).
    bool OtherKeysFinite(const double* pSlots) const;

    // Rising keys: a key whose first slot value lies above that of every record written since the
    // last settling is surely not among them, and where it is not among the entries either, it is
    // surely a miss: such an outcome is only written down, as a record of its key values and
    // result values, instead of being made an entry and put into its chain and the table. A walk
    // larger than the cache thus never pays for entries and chains that are emptied unread; a walk
    // that turns back (the next u or v, the next pass over x) settles the few records before it
    // and goes on writing records. The records are settled into entries, in store order and so
    // into exactly the chains and table they would have made, as soon as anything looks at them:
    // a look-up of a key that may be among them, a store of such a key, a change of the key
    // slots, a reader of the chains. A settled entry's values stay in its record, where the miss
    // returned them. Records are made only while the table is on for the current key slots and
    // there is at least one.
    // IsNew: the key is above every entry and record since the last emptying, surely a miss
    // without a look. AboveRecords: it is not among the records (it may be among the entries).
    bool IsNew(double dKey) const { return dKey > m_dBound && dKey < INFINITY; }
    bool AboveRecords(double dKey) const { return dKey > m_dTop && dKey < INFINITY; }
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

    // Records may be made (the table on for the current key slots, of which there is one at
    // least): no record yet, and with bEmpty no entry either; otherwise none may be made.
    void Rise(bool bEmpty)
    {
        const bool bOn = m_bIndexOn && m_nIndexMask == m_nKeyMask && m_nKeyCount != 0;
        m_dTop = bOn ? -INFINITY : INFINITY;
        if (bEmpty || !bOn)
            m_dBound = m_dTop;
    }
    double* QueueBlock();
    KX_INLINE double* RecordAt(double* p, unsigned nStride, const double* pSlots, bool bTop = false);
    const double* StoreInChain(unsigned nMask, const double* pSlots, const double* pValues, unsigned nValues,
                               bool bIndexed, uint64_t nKey);
    void Settle() const;
    void SettleQueue();

    bool IndexKey(const double* pSlots, uint64_t& nKey) const;
    SCacheEntry* IndexFind(uint64_t nKey, const double* pSlots) const;
    void IndexInsert(uint64_t nKey, SCacheEntry* pEntry);
    void IndexGrow();

    // The fields of the look-up path first, together.
    std::unique_ptr<SIndexSlot[]> m_pIndex;
    unsigned m_nIndexSize = 0;   // slots, a power of two, or 0
    unsigned m_nIndexShift = 64; // 64 - log2(m_nIndexSize)
    unsigned m_nIndexCount = 0;  // slots in use
    unsigned m_nIndexMask = 0;   // the key slots of the entries in the table
    bool m_bIndexOn = true;      // every cached entry has the key slots m_nIndexMask
    bool m_bCacheEmpty = true;   // no entry since the last emptying
    bool m_bQueued = false;      // records wait to be settled
    // While records may be made: the first key value of the newest record, or -inf while there is
    // none, and the largest first key value of the entries and records since the last emptying,
    // or -inf; +inf both where no record may be made.
    double m_dTop = INFINITY;
    double m_dBound = INFINITY;
    double* m_pQueueNext = nullptr;        // where the next record goes
    double* m_pQueueLimit = nullptr;       // the end of its block
    uint8_t m_nKeySlots[FUNC_NSLOTS] = {}; // the key slots, ascending
    unsigned m_nKeyCount = 0;
    unsigned m_nKeyMask = 0; // the key slots as bits
    uint32_t m_nHits = 0;
    uint32_t m_nMisses = 0;
    uint32_t m_nItems = 0;
    unsigned m_nUsedCount = 0;
    // The records, in blocks reused after every emptying: key values, then result values (the
    // first NaN where undefined, which no result ever is).
    static constexpr unsigned QUEUE_BLOCK = 8192; // doubles
    unsigned m_nQueueStride = 0;                  // doubles per record: key slots and results
    size_t m_nQueueBlock = 0;                     // the block being written
    size_t m_nSettleBlock = 0;                    // the first record not yet settled: its block
    size_t m_nSettleOffset = 0;                   // and where in it
    std::vector<std::unique_ptr<double[]>> m_QueueBlocks;
    std::vector<double*> m_QueueEnds; // the end of the records of each block written up to the last
    CCacheArena m_Arena;
    SCacheEntry* m_pBuckets[CACHE_BUCKETS] = {};
    uint16_t m_nUsedChains[CACHE_BUCKETS] = {}; // chains made non-empty since the last emptying
};

// The look-up path is defined here so that the evaluator inlines it.

inline void CValueCache::Settle() const
{
    // Only the representation changes, not what the cache holds; no cache is ever a const object.
    if (m_bQueued)
        const_cast<CValueCache*>(this)->SettleQueue();
}

inline bool CValueCache::OtherKeysFinite(const double* pSlots) const
{
    bool bFinite = true;
    for (unsigned k = 1; k < m_nKeyCount; ++k)
        bFinite = bFinite && std::isfinite(pSlots[m_nKeySlots[k]]);
    return bFinite;
}

inline bool CValueCache::KeyIsFinite(const double* pSlots) const
{
    if (m_nKeyCount == 1)
        return std::isfinite(pSlots[m_nKeySlots[0]]);
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

KX_INLINE CValueCache::EProbe CValueCache::Probe(double dKey, const double*& pValues, uint64_t& nKey)
{
    if (IsNew(dKey))
        return TOP;
    if (!(m_bIndexOn && m_nKeyCount == 1))
        return UNKNOWN;
    const uint64_t n = FuncOps::Bits(dKey);
    // A key that may be among the records: Find settles them first.
    if (!Plain(n) || !AboveRecords(dKey))
        return UNKNOWN;
    nKey = n;
    // Not among the records, and the table holds every other entry of a plain key: where it has
    // none, the key is a miss that may be written down.
    if (m_nIndexCount == 0)
        return NEW;
    const unsigned nWrap = m_nIndexSize - 1;
    for (unsigned i = static_cast<unsigned>(Spread(n) >> m_nIndexShift);; i = (i + 1) & nWrap) {
        const SIndexSlot& slot = m_pIndex[i];
        if (!slot.m_pEntry)
            return NEW;
        if (slot.m_nKey == n) {
            ++m_nHits;
            pValues = slot.m_pEntry->m_pValues;
            return HIT;
        }
    }
}

inline const CValueCache::SCacheEntry* CValueCache::Find(const double* pSlots, bool& bIndexed, uint64_t& nKey)
{
    // (Records exist only with at least one key slot.)
    if (m_bQueued && !AboveRecords(pSlots[m_nKeySlots[0]]))
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

inline unsigned CValueCache::HashMask(const double* pSlots, unsigned nMask)
{
    uint32_t nCrc = 0;
    for (unsigned i = 0; nMask >> i; ++i)
        if ((nMask >> i) & 1)
            nCrc = g_CacheCrc8.UpdateWord(nCrc, FuncOps::Bits(pSlots[i]));
    return nCrc & (CACHE_BUCKETS - 1);
}

KX_INLINE const double* CValueCache::Store(unsigned nMask, const double* pSlots, const double* pValues,
                                           unsigned nValues, bool bIndexed, uint64_t nKey)
{
    // The key slots are those of the look-up (and so of the records), and the first is still above
    // every record: the common outcome of a sweep is written down only. (Where a run stored the
    // same key meanwhile, the record settles after that entry, as the chain would have it.)
    if (nMask == m_nKeyMask && nValues != 0 && AboveRecords(pSlots[m_nKeySlots[0]]))
        return Queue(pSlots, pValues, nValues);
    return StoreInChain(nMask, pSlots, pValues, nValues, bIndexed, nKey);
}

KX_INLINE const double* CValueCache::Queue(const double* pSlots, const double* pValues, unsigned nValues)
{
    double* pResult = Record(pSlots, nValues);
    if (!pValues) {
        pResult[0] = std::numeric_limits<double>::quiet_NaN();
        return nullptr;
    }
    pResult[0] = pValues[0];
    for (unsigned i = 1; i < nValues; ++i)
        pResult[i] = pValues[i];
    return pResult;
}

KX_INLINE double* CValueCache::Record(const double* pSlots, unsigned nValues)
{
    const unsigned nStride = m_nKeyCount + nValues;
    double* p = m_pQueueNext;
    if (nStride > static_cast<size_t>(m_pQueueLimit - p))
        p = QueueBlock();
    return RecordAt(p, nStride, pSlots);
}

// bTop: the key is known to be above every key since the last emptying (Probe's TOP).
KX_INLINE double* CValueCache::TryRecord(const double* pSlots, unsigned nValues, bool bTop)
{
    const unsigned nStride = m_nKeyCount + nValues;
    double* p = m_pQueueNext;
    if (m_nItems + 1 >= CACHE_LIMIT || nStride > static_cast<size_t>(m_pQueueLimit - p))
        return nullptr;
    ++m_nItems;
    return RecordAt(p, nStride, pSlots, bTop);
}

KX_INLINE double* CValueCache::RecordAt(double* p, unsigned nStride, const double* pSlots, bool bTop)
{
    m_pQueueNext = p + nStride;
    m_nQueueStride = nStride;
    m_bQueued = true;
    m_bCacheEmpty = false;
    ++m_nMisses;
    const double dTop = pSlots[m_nKeySlots[0]];
    m_dTop = dTop;
    m_dBound = bTop || dTop > m_dBound ? dTop : m_dBound;
    p[0] = dTop;
    for (unsigned k = 1; k < m_nKeyCount; ++k)
        p[k] = pSlots[m_nKeySlots[k]];
    return p + m_nKeyCount;
}
