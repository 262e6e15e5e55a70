#include "project/CLineReader.h"

#include <cstdlib>
#include <cstring>
#include <sys/types.h>

namespace {
void CrLfToLf(std::string& szText)
{
    size_t nOut = 0;
    for (size_t i = 0; i < szText.size(); ++i) {
        if (szText[i] == '\r' && i + 1 < szText.size() && szText[i + 1] == '\n')
            continue;
        szText[nOut++] = szText[i];
    }
    szText.resize(nOut);
}
}  // namespace

CLineReader::~CLineReader()
{
    std::free(m_pBuffer);
}

bool CLineReader::ReadLine(std::string& szLine)
{
    szLine.clear();
    const ssize_t nRead = getline(&m_pBuffer, &m_nCapacity, m_pFile);
    if (nRead > 0)
        szLine.assign(m_pBuffer, static_cast<size_t>(nRead));
    if (nRead <= 0)
        return false;
    const bool bLineFeed = szLine.back() == '\n';
    const size_t nNul = szLine.find('\0');
    if (nNul != std::string::npos) {
        szLine.resize(nNul);
        if (bLineFeed)
            szLine += '\n';
    }
    if (szLine.size() >= 2 && szLine[szLine.size() - 2] == '\r' && szLine.back() == '\n')
        szLine.erase(szLine.size() - 2, 1);
    return true;
}

std::string CLineReader::ReadRest()
{
    std::string szText;
    char szChunk[65536];
    size_t nRead;
    while ((nRead = std::fread(szChunk, 1, sizeof szChunk, m_pFile)) > 0)
        szText.append(szChunk, nRead);
    CrLfToLf(szText);
    const size_t nNul = szText.find('\0');
    if (nNul != std::string::npos)
        szText.resize(nNul);
    return szText;
}

void CLineReader::TrimLine(std::string& szLine)
{
    const size_t nFirst = szLine.find_first_not_of(' ');
    szLine.erase(0, nFirst == std::string::npos ? szLine.size() : nFirst);
    const size_t nCr = szLine.find('\r');
    if (nCr != std::string::npos)
        szLine.resize(nCr);
    const size_t nLf = szLine.find('\n');
    if (nLf != std::string::npos)
        szLine.resize(nLf);
}
