#pragma once
// A hint for the large arrays of a long formula (its program, its code list's nodes): where the
// system allows, the whole 2 MiB pages inside them are backed by huge pages when first written.
// A megabyte formula's arrays are hundreds of small pages otherwise, each a fault of its own, and
// the faults cost more than the work that fills the arrays. Nothing is changed for smaller ranges,
// and a range that was written already keeps its pages.
#include <cstddef>

void AdviseHugePages(void* pData, size_t nBytes);
