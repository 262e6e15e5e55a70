#include "project/CProjectWriter.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "project/CNumberText.h"
#include "project/CProject.h"
#include "project/ELoadSaveError.h"

std::string CProjectWriter::Format(const CProject& project)
{
    std::string szText;
    char szLine[128];
    for (unsigned n = 1; n <= MAX_FUNCTIONS; ++n) {
        if (const CFuncTerm* pTerm = project.GetFunction(n)) {
            szText += 'f' + std::to_string(n) + '=';
            szText += pTerm->GetText();
            szText += '\n';
        }
    }
    if (project.m_pTransform)
        szText += "transform=" + project.m_pTransform->GetText() + '\n';
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
    if (project.m_pszNotes)
        szText += "notes\n" + *project.m_pszNotes;

    std::string szFile;
    szFile.reserve(szText.size() + szText.size() / 16);
    for (const char c : szText) {
        if (c == '\n')
            szFile += '\r';
        szFile += c;
    }
    return szFile;
}

namespace {
// Where the bytes go: the file a link points to is replaced, not the link.
std::string ResolveTarget(const char* pszFileName)
{
    struct stat info;
    if (lstat(pszFileName, &info) == 0 && S_ISLNK(info.st_mode)) {
        if (char* pszReal = realpath(pszFileName, nullptr)) {
            std::string szReal(pszReal);
            std::free(pszReal);
            return szReal;
        }
    }
    return pszFileName;
}

std::string DirectoryOf(const std::string& szPath)
{
    const size_t nSlash = szPath.rfind('/');
    if (nSlash == std::string::npos)
        return ".";
    return nSlash == 0 ? "/" : szPath.substr(0, nSlash);
}
}  // namespace

void CProjectWriter::Save(const CProject& project, const char* pszFileName, WriteFunction pWrite)
{
    if (!pWrite)
        pWrite = ::write;
    const std::string szData = Format(project);
    const std::string szTarget = ResolveTarget(pszFileName);
    std::string szTemp = szTarget + ".XXXXXX";
    const int nFile = mkstemp(szTemp.data());
    if (nFile < 0)
        throw ELoadSaveError{0};

    // The new file gets the old one's permissions, or those of a newly created file.
    struct stat info;
    mode_t nMode;
    if (stat(szTarget.c_str(), &info) == 0) {
        nMode = info.st_mode & 07777;
    } else {
        const mode_t nMask = umask(0);
        umask(nMask);
        nMode = 0666 & ~nMask;
    }
    bool bOk = fchmod(nFile, nMode) == 0;

    const char* p = szData.data();
    size_t nLeft = szData.size();
    while (bOk && nLeft > 0) {
        const ssize_t nWritten = pWrite(nFile, p, nLeft);
        if (nWritten < 0 && errno == EINTR)
            continue;
        if (nWritten <= 0) {
            bOk = false;
            break;
        }
        p += nWritten;
        nLeft -= static_cast<size_t>(nWritten);
    }
    bOk = bOk && fsync(nFile) == 0;
    bOk = (close(nFile) == 0) && bOk;
    bOk = bOk && rename(szTemp.c_str(), szTarget.c_str()) == 0;
    if (!bOk) {
        unlink(szTemp.c_str());
        throw ELoadSaveError{0};
    }
    // Make the rename itself durable.
    const int nDir = open(DirectoryOf(szTarget).c_str(), O_RDONLY | O_DIRECTORY);
    if (nDir >= 0) {
        fsync(nDir);
        close(nDir);
    }
}
