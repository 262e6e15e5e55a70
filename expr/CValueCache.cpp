#include "expr/CValueCache.h"

#include <cmath>
#include <cstring>

void CValueCache::SetKeySlots(const std::bitset<FUNC_NSLOTS>& bKey)
{
    const unsigned nMask = static_cast<unsigned>(bKey.to_ulong());
    if (nMask != m_nKeyMask)
        SettleQueue(); // with the key slots the records were made with
    m_nKeyCount = 0;
    for (unsigned i = 0; i < FUNC_NSLOTS; ++i)
        if (bKey[i])
            m_nKeySlots[m_nKeyCount++] = static_cast<uint8_t>(i);
    m_nKeyMask = nMask;
    if (m_bCacheEmpty) {
        m_nIndexMask = m_nKeyMask; // the table is empty too
        m_bIndexOn = true;
        Rise(true);
    } else if (m_nKeyMask != m_nIndexMask) {
        m_bIndexOn = false; // entries of the old key slots stay: walk the chains until emptied
        Rise(false);
    }
}

const double* CValueCache::StoreInChain(unsigned nMask, const double* pSlots, const double* pValues, unsigned nValues,
                                        bool bIndexed, uint64_t nKey)
{
    SettleQueue();
    const unsigned nChain = HashMask(pSlots, nMask);
    const bool bDefined = pValues && nValues != 0;
    const size_t nBytes = sizeof(SCacheEntry) + (bDefined ? nValues * sizeof(double) : 0);
    auto* pEntry = static_cast<SCacheEntry*>(m_Arena.Allocate(nBytes));
    const unsigned nDep = m_nKeyMask;
    for (unsigned i = 0; i < FUNC_NSLOTS; ++i)
        pEntry->m_dKey[i] = (nDep >> i) & 1 ? pSlots[i] : 0.0;
    pEntry->m_pValues = nullptr;
    if (bDefined) {
        pEntry->m_pValues = reinterpret_cast<double*>(pEntry + 1);
        std::memcpy(pEntry->m_pValues, pValues, nValues * sizeof(double));
    }
    ++m_nMisses;
    m_bCacheEmpty = false;
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
    Rise(false);
    if (m_nKeyCount != 0 && pEntry->m_dKey[m_nKeySlots[0]] > m_dBound)
        m_dBound = pEntry->m_dKey[m_nKeySlots[0]];
    return pEntry->m_pValues;
}

// The next block, for a record that does not fit into the current one.
double* CValueCache::QueueBlock()
{
    static_assert(QUEUE_BLOCK >= FUNC_NSLOTS + FUNC_STACK, "a record of every term fits into a block");
    if (m_QueueBlocks.empty()) {
        m_nQueueBlock = 0;
    } else {
        m_QueueEnds[m_nQueueBlock] = m_pQueueNext;
        ++m_nQueueBlock;
    }
    if (m_nQueueBlock == m_QueueBlocks.size()) {
        m_QueueBlocks.emplace_back(new double[QUEUE_BLOCK]);
        m_QueueEnds.push_back(nullptr);
    }
    double* p = m_QueueBlocks[m_nQueueBlock].get();
    m_pQueueLimit = p + QUEUE_BLOCK;
    return p;
}

// The records since the last settling become entries: what StoreInChain would have made of them
// (they were all made with the current key slots, while the table was on for them, after every
// entry there is).
void CValueCache::SettleQueue()
{
    if (!m_bQueued)
        return;
    m_bQueued = false;
    m_dTop = -INFINITY; // no record left (records are made only where they may be)
    const unsigned nStride = m_nQueueStride;
    for (;;) {
        double* pBlock = m_QueueBlocks[m_nSettleBlock].get();
        const bool bLast = m_nSettleBlock == m_nQueueBlock;
        double* pEnd = bLast ? m_pQueueNext : m_QueueEnds[m_nSettleBlock];
        for (double* p = pBlock + m_nSettleOffset; p < pEnd; p += nStride) {
            auto* pEntry = static_cast<SCacheEntry*>(m_Arena.Allocate(sizeof(SCacheEntry)));
            for (double& d : pEntry->m_dKey)
                d = 0.0;
            for (unsigned k = 0; k < m_nKeyCount; ++k)
                pEntry->m_dKey[m_nKeySlots[k]] = p[k];
            double* pResult = p + m_nKeyCount;
            pEntry->m_pValues = std::isnan(pResult[0]) ? nullptr : pResult;
            const unsigned nChain = Hash(pEntry->m_dKey);
            if (!m_pBuckets[nChain] && m_nUsedCount < CACHE_BUCKETS)
                m_nUsedChains[m_nUsedCount++] = static_cast<uint16_t>(nChain);
            pEntry->m_pNext = m_pBuckets[nChain];
            m_pBuckets[nChain] = pEntry;
            uint64_t nKey;
            if (IndexKey(pEntry->m_dKey, nKey))
                IndexInsert(nKey, pEntry);
        }
        if (bLast) {
            m_nSettleOffset = static_cast<size_t>(pEnd - pBlock);
            return;
        }
        ++m_nSettleBlock;
        m_nSettleOffset = 0;
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
    m_nIndexMask = m_nKeyMask; // the table is empty
    m_bIndexOn = true;
    m_bCacheEmpty = true;
    Rise(true);
    m_bQueued = false;
    m_nQueueBlock = m_nSettleBlock = m_nSettleOffset = 0;
    m_pQueueNext = m_QueueBlocks.empty() ? nullptr : m_QueueBlocks[0].get();
    m_pQueueLimit = m_pQueueNext ? m_pQueueNext + QUEUE_BLOCK : nullptr;
    m_nItems = 0;
}
