#include "expr/CValueCache.h"

#include <cstring>

void CValueCache::SetKeySlots(const std::bitset<FUNC_NSLOTS>& bKey)
{
    const unsigned nMask = static_cast<unsigned>(bKey.to_ulong());
    if (nMask != m_nKeyMask)
        SettleQueue(); // with the key slots the queued entries were made with
    m_nKeyCount = 0;
    for (unsigned i = 0; i < FUNC_NSLOTS; ++i)
        if (bKey[i])
            m_nKeySlots[m_nKeyCount++] = static_cast<uint8_t>(i);
    m_nKeyMask = nMask;
    if (m_nKeyMask != m_nIndexMask) {
        if (m_bCacheEmpty)
            m_nIndexMask = m_nKeyMask; // the table is empty too
        else
            m_bIndexOn = m_bRising = false; // entries of the old key slots stay: walk the chains until emptied
    }
}

const double* CValueCache::Store(unsigned nChain, unsigned nMask, const double* pSlots, const double* pValues,
                                 unsigned nValues, bool bIndexed, uint64_t nKey)
{
    const bool bQueue =
        m_bIndexOn && m_nKeyCount == 1 && nMask == m_nKeyMask && nMask == m_nIndexMask && IsNew(pSlots[m_nKeySlots[0]]);
    if (!bQueue) {
        SettleQueue();
        m_bRising = false;
        if (nChain == ANY_CHAIN)
            nChain = Hash(pSlots);
    }
    const bool bDefined = pValues && nValues != 0;
    const size_t nBytes = sizeof(SCacheEntry) + (bDefined ? nValues * sizeof(double) : 0);
    auto* pEntry = static_cast<SCacheEntry*>(m_Arena.Allocate(nBytes));
    const unsigned nDep = m_nKeyMask;
    for (unsigned i = 0; i < FUNC_NSLOTS; ++i)
        pEntry->m_dKey[i] = (nDep >> i) & 1 ? pSlots[i] : 0.0;
    pEntry->m_pValues = nullptr;
    if (bDefined) {
        pEntry->m_pValues = reinterpret_cast<double*>(pEntry + 1);
        if (nValues == 1)
            pEntry->m_pValues[0] = pValues[0];
        else
            std::memcpy(pEntry->m_pValues, pValues, nValues * sizeof(double));
    }
    ++m_nMisses;
    m_bCacheEmpty = false;
    if (bQueue) {
        m_dTop = pSlots[m_nKeySlots[0]];
        pEntry->m_pNext = nullptr;
        if (m_pQueueTail)
            m_pQueueTail->m_pNext = pEntry;
        else
            m_pQueue = pEntry;
        m_pQueueTail = pEntry;
        return pEntry->m_pValues;
    }
    if (!m_pBuckets[nChain] && m_nUsedCount < CACHE_BUCKETS)
        m_nUsedChains[m_nUsedCount++] = static_cast<uint16_t>(nChain);
    pEntry->m_pNext = m_pBuckets[nChain];
    m_pBuckets[nChain] = pEntry;
    if (m_bIndexOn) {
        if (nMask != m_nKeyMask || nMask != m_nIndexMask)
            m_bIndexOn = false;                      // the key slots changed during the run: chains only, until emptied
        else if (bIndexed || IndexKey(pSlots, nKey)) // (the table may have come on during the run)
            IndexInsert(nKey, pEntry);
    }
    return pEntry->m_pValues;
}

// A queued entry was made with the current key slots, one of them, while the table was on for
// them: what Store would have done with it then.
void CValueCache::SettleQueue()
{
    SCacheEntry* pEntry = m_pQueue;
    m_pQueue = m_pQueueTail = nullptr;
    while (pEntry) {
        SCacheEntry* pNext = pEntry->m_pNext;
        const unsigned nChain = Hash(pEntry->m_dKey);
        if (!m_pBuckets[nChain] && m_nUsedCount < CACHE_BUCKETS)
            m_nUsedChains[m_nUsedCount++] = static_cast<uint16_t>(nChain);
        pEntry->m_pNext = m_pBuckets[nChain];
        m_pBuckets[nChain] = pEntry;
        uint64_t nKey;
        if (IndexKey(pEntry->m_dKey, nKey))
            IndexInsert(nKey, pEntry);
        pEntry = pNext;
    }
}

void CValueCache::IndexInsert(uint64_t nKey, SCacheEntry* pEntry)
{
    if ((m_nIndexCount + 1) * 8 > m_nIndexSize * 5) // at most 5/8 full
        IndexGrow();
    const unsigned nWrap = m_nIndexSize - 1;
    for (unsigned i = static_cast<unsigned>(Spread(nKey) >> m_nIndexShift);; i = (i + 1) & nWrap) {
        SIndexSlot& slot = m_pIndex[i];
        if (!slot.m_pEntry) {
            slot = {nKey, pEntry};
            ++m_nIndexCount;
            return;
        }
        if (slot.m_nKey != nKey)
            continue;
        bool bSame = true;
        for (unsigned k = 0; k < m_nKeyCount; ++k) {
            const unsigned s = m_nKeySlots[k];
            bSame = bSame && FuncOps::Bits(slot.m_pEntry->m_dKey[s]) == FuncOps::Bits(pEntry->m_dKey[s]);
        }
        if (bSame) {
            slot.m_pEntry = pEntry; // the newer entry is the one at the head of the chain
            return;
        }
    }
}

void CValueCache::IndexGrow()
{
    const unsigned nSize = m_nIndexSize ? 2 * m_nIndexSize : 64;
    unsigned nShift = 64;
    for (unsigned n = nSize; n > 1; n >>= 1)
        --nShift;
    std::unique_ptr<SIndexSlot[]> pOld = std::move(m_pIndex);
    const unsigned nOldSize = m_nIndexSize;
    m_pIndex.reset(new SIndexSlot[nSize]());
    m_nIndexSize = nSize;
    m_nIndexShift = nShift;
    for (unsigned j = 0; j < nOldSize; ++j) {
        if (!pOld[j].m_pEntry)
            continue;
        for (unsigned i = static_cast<unsigned>(Spread(pOld[j].m_nKey) >> nShift);; i = (i + 1) & (nSize - 1)) {
            if (!m_pIndex[i].m_pEntry) {
                m_pIndex[i] = pOld[j];
                break;
            }
        }
    }
}

void CValueCache::Clear()
{
    if (m_nUsedCount < CACHE_BUCKETS / 8) {
        for (unsigned i = 0; i < m_nUsedCount; ++i)
            m_pBuckets[m_nUsedChains[i]] = nullptr;
    } else {
        std::memset(m_pBuckets, 0, sizeof m_pBuckets);
    }
    m_nUsedCount = 0;
    m_Arena.Reset();
    if (m_nIndexCount) {
        std::memset(static_cast<void*>(m_pIndex.get()), 0, m_nIndexSize * sizeof(SIndexSlot));
        m_nIndexCount = 0;
    }
    m_bIndexOn = true;
    m_bCacheEmpty = true;
    m_bRising = true;
    m_pQueue = m_pQueueTail = nullptr;
    m_nItems = 0;
}
