#include "project/CProjectWriter.h"

#include <algorithm>
#include <cstdio>

#include "project/CAtomicFile.h"
#include "project/CNumberText.h"
#include "project/CProject.h"
#include "project/CProjectLimits.h"
#include "project/ELoadSaveError.h"

std::string CProjectWriter::Format(const CProject& project)
{
    // Formulas and notes may be tens of megabytes: the text is made once, in a string that has
    // room for all of it, and its line feeds become CR LF in place.
    size_t nRoom = 65536;
    for (unsigned n = 1; n <= MAX_FUNCTIONS; ++n)
        if (const CFuncTerm* pTerm = project.GetFunction(n))
            nRoom += pTerm->GetText().size() + 8;
    if (project.m_pTransform)
        nRoom += project.m_pTransform->GetText().size() + 16;
    for (const CAnimationStep* pStep = project.m_pFirstStep; pStep; pStep = pStep->m_pNext)
        nRoom += 2048;
    if (project.m_pszNotes)
        nRoom += 2 * project.m_pszNotes->size() + 16;
    std::string szText;
    szText.reserve(nRoom);
    char szLine[128];
    for (unsigned n = 1; n <= MAX_FUNCTIONS; ++n) {
        if (const CFuncTerm* pTerm = project.GetFunction(n)) {
            szText += 'f' + std::to_string(n) + '=';
            szText += pTerm->GetText();
            szText += '\n';
        }
    }
    if (project.m_pTransform) {
        szText += "transform=";
        szText += project.m_pTransform->GetText();
        szText += '\n';
    }
    for (unsigned i = 0; i < OPT_COUNT; ++i) {
        szText += g_OptionKeys[i];
        szText += '=' + CNumberText::Format(project.m_dOptions[i], 10) + '\n';
    }
    std::snprintf(szLine, sizeof szLine, "flags=%08x\n", project.m_nFlags);
    szText += szLine;
    int nStep = 1;
    for (const CAnimationStep* pStep = project.m_pFirstStep; pStep; pStep = pStep->m_pNext) {
        szText += "step" + std::to_string(nStep++) + '\n';
        pStep->WriteBlock(szText);
    }
    if (project.m_pszNotes) {
        szText += "notes\n";
        szText += *project.m_pszNotes;
    }

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

void CProjectWriter::CheckLimits(const CProject& project, const std::string& szFile)
{
    // The reader counts the notes as they lie in the file, every line feed a CR LF.
    if (project.m_pszNotes) {
        const std::string& szNotes = *project.m_pszNotes;
        if (szNotes.size() + static_cast<size_t>(std::count(szNotes.begin(), szNotes.end(), '\n')) > PROJECT_MAX_NOTES)
            throw ELoadSaveError{0, EFileCause::NotesTooLarge};
        if (szNotes.find('\0') != std::string::npos) // fails the load at its line
            throw ELoadSaveError{0, EFileCause::NulInNotes};
    }
    if (szFile.size() > PROJECT_MAX_FILE)
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
    const std::string szData = CProjectWriter::Format(project);
    if (bCheck)
        CProjectWriter::CheckLimits(project, szData);
    CAtomicFile file(pszFileName, eLink, pWrite);
    file.Write(szData.data(), szData.size());
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
