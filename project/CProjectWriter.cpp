#include "project/CProjectWriter.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "project/CAtomicFile.h"
#include "project/CNumberText.h"
#include "project/CProject.h"
#include "project/CProjectLimits.h"
#include "project/ELoadSaveError.h"

namespace {
// Hands the project's text to put(pData, nCount) in pieces, every line ended by LF. The formulas
// and notes, tens of megabytes at most, are handed as they lie in the document, not copied.
template <class TPut> void PutPieces(const CProject& project, TPut&& put)
{
    std::string szPiece;
    const auto putSmall = [&put, &szPiece] { put(szPiece.data(), szPiece.size()); };
    for (unsigned n = 1; n <= MAX_FUNCTIONS; ++n) {
        if (const CFuncTerm* pTerm = project.GetFunction(n)) {
            szPiece = 'f' + std::to_string(n) + '=';
            putSmall();
            put(pTerm->GetText().data(), pTerm->GetText().size());
            put("\n", 1);
        }
    }
    if (project.m_pTransform) {
        put("transform=", 10);
        put(project.m_pTransform->GetText().data(), project.m_pTransform->GetText().size());
        put("\n", 1);
    }
    szPiece.clear();
    for (unsigned i = 0; i < OPT_COUNT; ++i) {
        szPiece += g_OptionKeys[i];
        szPiece += '=' + CNumberText::Format(project.m_dOptions[i], 10) + '\n';
    }
    char szLine[128];
    std::snprintf(szLine, sizeof szLine, "flags=%08x\n", project.m_nFlags);
    szPiece += szLine;
    int nStep = 1;
    for (const CAnimationStep* pStep = project.m_pFirstStep; pStep; pStep = pStep->m_pNext) {
        szPiece += "step" + std::to_string(nStep++) + '\n';
        pStep->WriteBlock(szPiece);
    }
    putSmall();
    if (project.m_pszNotes) {
        put("notes\n", 6);
        put(project.m_pszNotes->data(), project.m_pszNotes->size());
    }
}

// The bytes of the file: the text with a CR before every LF.
uint64_t FileBytes(const CProject& project)
{
    uint64_t nBytes = 0;
    PutPieces(project, [&nBytes](const char* pData, size_t nCount) {
        nBytes += nCount + static_cast<uint64_t>(std::count(pData, pData + nCount, '\n'));
    });
    return nBytes;
}
} // namespace

std::string CProjectWriter::Format(const CProject& project)
{
    // Made once, in a string that has room for all of it, and its line feeds become CR LF in place.
    std::string szText;
    szText.reserve(FileBytes(project));
    PutPieces(project, [&szText](const char* pData, size_t nCount) { szText.append(pData, nCount); });
    size_t nFrom = szText.size();
    szText.resize(nFrom + static_cast<size_t>(std::count(szText.begin(), szText.end(), '\n')));
    for (size_t nTo = szText.size(); nFrom < nTo;) {
        const char c = szText[--nFrom];
        szText[--nTo] = c;
        if (c == '\n')
            szText[--nTo] = '\r';
    }
    return szText;
}

void CProjectWriter::CheckLimits(const CProject& project, uint64_t nFileBytes)
{
    // The reader counts the notes as they lie in the file, every line feed a CR LF.
    if (project.m_pszNotes) {
        const std::string& szNotes = *project.m_pszNotes;
        if (szNotes.size() + static_cast<size_t>(std::count(szNotes.begin(), szNotes.end(), '\n')) > PROJECT_MAX_NOTES)
            throw ELoadSaveError{0, EFileCause::NotesTooLarge};
        if (szNotes.find('\0') != std::string::npos) // fails the load at its line
            throw ELoadSaveError{0, EFileCause::NulInNotes};
    }
    if (nFileBytes > PROJECT_MAX_FILE)
        throw ELoadSaveError{0, EFileCause::TooLarge};
    uint32_t nSteps = 0;
    for (const CAnimationStep* pStep = project.m_pFirstStep; pStep; pStep = pStep->m_pNext)
        if (++nSteps > PROJECT_MAX_STEPS)
            throw ELoadSaveError{0, EFileCause::TooManySteps};
    if (CProjectLimits::TotalSamples(project) > PROJECT_MAX_SAMPLES)
        throw ELoadSaveError{0, EFileCause::TooManySamples};
}

namespace {
bool IsKvxName(const std::string& szName)
{
    const std::string szBase = szName.substr(szName.rfind('/') + 1); // npos + 1 is the whole name
    if (szBase.size() < 4)
        return false;
    std::string szEnd = szBase.substr(szBase.size() - 4);
    for (char& c : szEnd)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return szEnd == ".kvx";
}

// bCheck: refuse first what the reader would refuse; the dump, only to be looked at, shows it all.
void WriteProject(const CProject& project, const char* pszFileName, CAtomicFile::ELink eLink, bool bCheck,
                  CProjectWriter::WriteFunction pWrite)
{
    if (bCheck)
        CProjectWriter::CheckLimits(project, FileBytes(project));
    CAtomicFile file(pszFileName, eLink, pWrite);
    // Through a buffer of its own rather than as one string: a project of long formulas would
    // need its size again while it is saved.
    constexpr size_t BUFFER_SIZE = 65536;
    std::unique_ptr<char[]> pBuffer(new char[BUFFER_SIZE]);
    size_t nUsed = 0;
    const auto flush = [&] {
        file.Write(pBuffer.get(), nUsed);
        nUsed = 0;
    };
    PutPieces(project, [&](const char* pData, size_t nCount) {
        for (const char* pEnd = pData + nCount; pData < pEnd;) {
            if (BUFFER_SIZE - nUsed < 3) // room for a character or a line end
                flush();
            const size_t nRoom = std::min<size_t>(BUFFER_SIZE - 2 - nUsed, static_cast<size_t>(pEnd - pData));
            const char* pLf = static_cast<const char*>(std::memchr(pData, '\n', nRoom));
            const size_t nPlain = pLf ? static_cast<size_t>(pLf - pData) : nRoom;
            std::memcpy(pBuffer.get() + nUsed, pData, nPlain);
            nUsed += nPlain;
            pData += nPlain;
            if (pLf) {
                pBuffer[nUsed++] = '\r';
                pBuffer[nUsed++] = '\n';
                ++pData;
            }
        }
    });
    flush();
    file.Commit();
}
} // namespace

void CProjectWriter::Save(const CProject& project, const char* pszFileName, WriteFunction pWrite)
{
    if (!IsKvxName(pszFileName))
        throw ELoadSaveError{0, EFileCause::NotKvx};
    WriteProject(project, pszFileName, CAtomicFile::ELink::Follow, true, pWrite);
}

void CProjectWriter::SaveDump(const CProject& project, const char* pszFileName)
{
    WriteProject(project, pszFileName, CAtomicFile::ELink::Replace, false, nullptr);
}
