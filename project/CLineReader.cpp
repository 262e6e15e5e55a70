#include "project/CLineReader.h"

#include <cstring>
#include <sys/stat.h>

#include "project/ELoadSaveError.h"

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
} // namespace

CLineReader::CLineReader(std::FILE* pFile, uint64_t nLimit)
    : m_pFile(pFile), m_nLimit(nLimit), m_pBuffer(new char[BUFFER_SIZE])
{
}

bool CLineReader::Fill()
{
    m_nPos = m_nEnd = 0;
    const size_t nRead = std::fread(m_pBuffer.get(), 1, BUFFER_SIZE, m_pFile);
    if (nRead == 0) {
        // A failed read is no end of the file: what follows would be lost without a word.
        if (std::ferror(m_pFile))
            throw ELoadSaveError{m_nLines + 1, EFileCause::ReadError};
        return false;
    }
    m_nRead += nRead;
    if (m_nRead > m_nLimit)
        throw ELoadSaveError{m_nLines + 1, EFileCause::TooLarge};
    m_nEnd = nRead;
    return true;
}

bool CLineReader::ReadLine(std::string& szLine)
{
    szLine.clear();
    bool bAny = false;
    bool bEnd = false; // a line end was read
    while (!bEnd) {
        if (m_nPos == m_nEnd && !Fill())
            break;
        bAny = true;
        const char* pStart = m_pBuffer.get() + m_nPos;
        const size_t nLeft = m_nEnd - m_nPos;
        const char* pLf = static_cast<const char*>(std::memchr(pStart, '\n', nLeft));
        const char* pCr =
            static_cast<const char*>(std::memchr(pStart, '\r', pLf ? static_cast<size_t>(pLf - pStart) : nLeft));
        const char* pStop = pCr ? pCr : pLf;
        if (!pStop) {
            szLine.append(pStart, nLeft);
            m_nPos = m_nEnd;
            continue;
        }
        szLine.append(pStart, static_cast<size_t>(pStop - pStart));
        m_nPos += static_cast<size_t>(pStop - pStart) + 1;
        bEnd = true;
        // The LF of a CR LF pair may lie in the next piece of the file.
        if (pCr && (m_nPos < m_nEnd || Fill()) && m_pBuffer[m_nPos] == '\n')
            ++m_nPos;
    }
    if (!bAny)
        return false;
    ++m_nLines;
    // Cutting the line there would load and save less than the file holds without a word.
    if (szLine.find('\0') != std::string::npos)
        throw ELoadSaveError{m_nLines};
    if (bEnd)
        szLine += '\n';
    return true;
}

std::string CLineReader::ReadRest(uint64_t nMax)
{
    const ELoadSaveError tooLarge{m_nLines + 1, EFileCause::NotesTooLarge};
    struct stat info;
    const int nFile = fileno(m_pFile);
    if (nFile >= 0 && fstat(nFile, &info) == 0 && S_ISREG(info.st_mode)) {
        const long long nPosition = ftello(m_pFile);
        if (nPosition >= 0 && info.st_size > nPosition &&
            static_cast<uint64_t>(info.st_size - nPosition) + (m_nEnd - m_nPos) > nMax)
            throw tooLarge;
    }
    std::string szText(m_pBuffer.get() + m_nPos, m_nEnd - m_nPos);
    m_nPos = m_nEnd;
    while (Fill()) {
        if (szText.size() + m_nEnd > nMax)
            throw tooLarge;
        szText.append(m_pBuffer.get(), m_nEnd);
        m_nPos = m_nEnd;
    }
    if (szText.size() > nMax)
        throw tooLarge;
    const size_t nNul = szText.find('\0');
    if (nNul != std::string::npos) {
        // The NUL's line, its line ends counted as ReadLine counts them.
        uint32_t nLine = m_nLines + 1;
        for (size_t i = 0; i < nNul; ++i)
            if (szText[i] == '\n' || (szText[i] == '\r' && szText[i + 1] != '\n'))
                ++nLine;
        throw ELoadSaveError{nLine};
    }
    CrLfToLf(szText);
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
