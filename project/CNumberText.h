#pragma once
// Numbers as the project file writes them: each reads back as the very same double.
#include <string>

class CNumberText {
public:
    // The general conversion with eight significant digits, right-aligned in nWidth columns, as
    // files have always been written; with more digits, up to seventeen, only when eight would
    // not read back to dValue. So every value that ever round-tripped keeps its bytes.
    static std::string Format(double dValue, int nWidth);
};
