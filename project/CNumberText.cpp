#include "project/CNumberText.h"

#include <cmath>
#include <cstdio>

#include "project/CScanText.h"

std::string CNumberText::Format(double dValue, int nWidth)
{
    char szText[64];
    // Eight digits first: fewer would be shorter only where eight read back already, and there
    // "%g" drops the trailing zeros, so the text is the shortest one too. The check reads the
    // way the file's reader does.
    for (int nDigits = 8; nDigits <= 17; ++nDigits) {
        std::snprintf(szText, sizeof szText, "%*.*g", nWidth, nDigits, dValue);
        const std::string szWritten(szText);
        double dRead = 0.0;
        if (!std::isfinite(dValue) || (CScanText(szWritten).Real(dRead) && dRead == dValue))
            break;
    }
    return szText;
}
