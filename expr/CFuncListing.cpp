#include "expr/CFuncListing.h"

#include <cstdio>

#include "expr/COpcode.h"
#include "expr/FuncLimits.h"

std::string CFuncListing::Listing(const CFuncNode* pCode, size_t nRoom)
{
    std::string text;
    if (pCode)
        ListNodes(pCode, text, static_cast<long>(nRoom));
    return text;
}

// Lists a code list at the end of text, with nRoom characters of room from where it starts. The
// next item follows only while more than 80 characters of room would remain after the text so far.
void CFuncListing::ListNodes(const CFuncNode* pNode, std::string& text, long nRoom)
{
    const size_t nStart = text.size();
    for (; pNode; pNode = pNode->m_pNext) {
        const long nUsed = static_cast<long>(text.size() - nStart);
        ListItem(pNode, text, nRoom - nUsed);
        const long nLength = static_cast<long>(text.size() - nStart);
        if (!(pNode->m_pNext && nRoom > nLength + 80))
            break;
    }
}

void CFuncListing::ListItem(const CFuncNode* pNode, std::string& text, long nRoom)
{
    char szItem[64];
    switch (pNode->m_nOp) {
    case OP_CONST: std::snprintf(szItem, sizeof szItem, "%g ", pNode->m_dConst); break;
    case OP_VAR: std::snprintf(szItem, sizeof szItem, "%c ", "xuvabcd"[pNode->m_nArg % FUNC_NSLOTS]); break;
    case OP_REF:
        std::snprintf(szItem, sizeof szItem, "f%u[%u] ", ReferencedFunction(pNode->m_nArg),
                      ReferenceArgCount(pNode->m_nArg));
        break;
    case OP_DERIV:
        std::snprintf(szItem, sizeof szItem, "f%u%s[%u] ", ReferencedFunction(DerivativeReference(pNode->m_nArg)),
                      DerivativeOrder(pNode->m_nArg) == 1 ? "'" : "''", ReferenceArgCount(pNode->m_nArg));
        break;
    case OP_COND: {
        const size_t nStart = text.size();
        text += "?[";
        ListNodes(pNode->m_pThen, text, nRoom - static_cast<long>(text.size() - nStart));
        text.back() = ']';
        text += " :[";
        ListNodes(pNode->m_pElse, text, nRoom - static_cast<long>(text.size() - nStart));
        text.back() = ']';
        text += ' ';
        return;
    }
    default:
        std::snprintf(szItem, sizeof szItem, "%s",
                      pNode->m_nOp < OP_COUNT && g_OpcodeInfo[pNode->m_nOp].m_pszItem
                          ? g_OpcodeInfo[pNode->m_nOp].m_pszItem
                          : "??? ");
        break;
    }
    text += szItem;
}

std::string CFuncListing::Statistics(const CValueCache& cache)
{
    unsigned nPeak = 0;
    unsigned nTotal = 0;
    for (unsigned nChain = 0; nChain < CValueCache::CACHE_BUCKETS; ++nChain) {
        unsigned nLength = 0;
        for (const CValueCache::SCacheEntry* p = cache.GetChain(nChain); p; p = p->m_pNext)
            ++nLength;
        nPeak = nLength > nPeak ? nLength : nPeak;
        nTotal += nLength;
    }
    return Statistics(cache.GetHits(), cache.GetMisses(), cache.GetItems(), nPeak, nTotal);
}

std::string CFuncListing::Statistics(uint32_t nHits, uint32_t nMisses, uint32_t nItems, unsigned nPeak, unsigned nTotal)
{
    char szText[256];
    std::snprintf(szText, sizeof szText, "%u hits\n%u misses\n%u items\n%u peak hash usage\n%3.1f avg hash usage\n",
                  nHits, nMisses, nItems, nPeak, nTotal / double(CValueCache::CACHE_BUCKETS));
    return szText;
}
