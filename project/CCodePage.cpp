#include "project/CCodePage.h"

#include <cerrno>
#include <iconv.h>

std::string CCodePage::Convert(const char* pszFrom, const char* pszTo, const std::string& szText, char cReplacement)
{
    iconv_t cd = iconv_open(pszTo, pszFrom);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return szText;
    std::string szResult;
    szResult.reserve(szText.size() + szText.size() / 4);
    char* pIn = const_cast<char*>(szText.data());
    size_t nIn = szText.size();
    char szOut[1024];
    while (nIn > 0) {
        char* pOut = szOut;
        size_t nOut = sizeof szOut;
        const size_t nResult = iconv(cd, &pIn, &nIn, &pOut, &nOut);
        szResult.append(szOut, static_cast<size_t>(pOut - szOut));
        if (nResult != static_cast<size_t>(-1) || errno == E2BIG)
            continue;
        // An unconvertible or malformed sequence: one replacement, then on after its first byte
        // (after the whole character for UTF-8 input, so one character gives one replacement).
        szResult += cReplacement;
        size_t nSkip = 1;
        if (errno == EILSEQ && std::string(pszFrom) == "UTF-8") {
            while (nSkip < nIn && (static_cast<unsigned char>(pIn[nSkip]) & 0xC0) == 0x80)
                ++nSkip;
        }
        pIn += nSkip;
        nIn -= nSkip;
    }
    iconv_close(cd);
    return szResult;
}
