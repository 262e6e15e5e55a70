#pragma once
// The texts of the Debug page about a term: its code list in postfix notation and the statistics
// of its value cache.
#include <cstddef>
#include <cstdint>
#include <string>

#include "expr/CFuncNode.h"
#include "expr/CValueCache.h"

class CFuncListing {
public:
    // The code list, item by item, while more than 80 characters of nRoom would remain.
    static std::string Listing(const CFuncNode* pCode, size_t nRoom);
    // Hits, misses, items, the longest chain and the mean chain length.
    static std::string Statistics(const CValueCache& cache);
    // The same text from the counters and the chain lengths (nTotal: all entries of all chains).
    static std::string Statistics(uint32_t nHits, uint32_t nMisses, uint32_t nItems, unsigned nPeak, unsigned nTotal);

private:
    static void ListNodes(const CFuncNode* pNode, std::string& text, long nRoom);
    static void ListItem(const CFuncNode* pNode, std::string& text, long nRoom);
};
