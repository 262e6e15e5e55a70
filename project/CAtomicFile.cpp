#include "project/CAtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "project/CFileMessage.h"

namespace {
// The names of the temporary files in existence. The signal handler reads it; every change
// happens with the two signals blocked, so it never sees the list half changed.
std::vector<const char*> g_TempNames;

std::vector<const char*>& TempNames()
{
    return g_TempNames;
}

class CSignalBlock {
public:
    CSignalBlock()
    {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        sigprocmask(SIG_BLOCK, &set, &m_Old);
    }
    ~CSignalBlock() { sigprocmask(SIG_SETMASK, &m_Old, nullptr); }

private:
    sigset_t m_Old;
};

extern "C" void RemoveTempFiles(int nSignal)
{
    for (const char* pszName : TempNames())
        unlink(pszName);
    signal(nSignal, SIG_DFL);
    raise(nSignal);
}

// Where the bytes go: the file a link points to is replaced, not the link.
std::string ResolveTarget(const std::string& szName)
{
    struct stat info;
    if (lstat(szName.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (char* pszReal = realpath(szName.c_str(), nullptr)) {
            std::string szReal(pszReal);
            std::free(pszReal);
            return szReal;
        }
    }
    return szName;
}

std::string DirectoryOf(const std::string& szPath)
{
    const size_t nSlash = szPath.rfind('/');
    if (nSlash == std::string::npos)
        return ".";
    return nSlash == 0 ? "/" : szPath.substr(0, nSlash);
}
} // namespace

void CAtomicFile::InstallSignalCleanup()
{
    struct sigaction action = {};
    action.sa_handler = RemoveTempFiles;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    // A signal ignored by whoever started the program (nohup, a background job) stays ignored.
    for (const int nSignal : {SIGINT, SIGTERM}) {
        struct sigaction old;
        if (sigaction(nSignal, nullptr, &old) == 0 && old.sa_handler != SIG_IGN)
            sigaction(nSignal, &action, nullptr);
    }
}

CAtomicFile::CAtomicFile(const std::string& szTarget, WriteFunction pWrite)
    : m_szTarget(ResolveTarget(szTarget)), m_pWrite(pWrite ? pWrite : ::write)
{
    struct stat info;
    if (stat(m_szTarget.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        throw ELoadSaveError{0, EFileCause::NotRegular};
    m_szTemp = m_szTarget + ".XXXXXX";
    {
        CSignalBlock block;
        m_nFile = mkstemp(m_szTemp.data());
        if (m_nFile < 0)
            throw ELoadSaveError{0, CFileMessage::FromErrno(errno, true)};
        TempNames().push_back(m_szTemp.c_str());
    }
    // The new file gets the old one's permissions, or those of a newly created file.
    mode_t nMode;
    if (stat(m_szTarget.c_str(), &info) == 0) {
        nMode = info.st_mode & 07777;
    } else {
        const mode_t nMask = umask(0);
        umask(nMask);
        nMode = 0666 & ~nMask;
    }
    if (fchmod(m_nFile, nMode) != 0)
        Fail(CFileMessage::FromErrno(errno, true));
}

CAtomicFile::~CAtomicFile()
{
    if (m_nFile >= 0)
        close(m_nFile);
    CSignalBlock block;
    if (!m_bCommitted)
        unlink(m_szTemp.c_str());
    std::vector<const char*>& names = TempNames();
    names.erase(std::remove(names.begin(), names.end(), m_szTemp.c_str()), names.end());
}

void CAtomicFile::Fail(EFileCause eCause)
{
    if (!m_bFailed)
        m_eCause = eCause;
    m_bFailed = true;
}

bool CAtomicFile::Write(const void* pData, size_t nCount)
{
    const char* p = static_cast<const char*>(pData);
    while (!m_bFailed && nCount > 0) {
        if (m_nFile < 0) {
            Fail(EFileCause::WriteError);
            break;
        }
        const ssize_t nWritten = m_pWrite(m_nFile, p, nCount);
        if (nWritten < 0 && errno == EINTR)
            continue;
        if (nWritten <= 0) {
            Fail(nWritten < 0 ? CFileMessage::FromErrno(errno, true) : EFileCause::WriteError);
            break;
        }
        p += nWritten;
        nCount -= static_cast<size_t>(nWritten);
    }
    return !m_bFailed;
}

void CAtomicFile::Finish()
{
    if (m_nFile >= 0) {
        // A full disk may show only here, at the flush or the close.
        if (!m_bFailed && fsync(m_nFile) != 0)
            Fail(CFileMessage::FromErrno(errno, true));
        if (close(m_nFile) != 0)
            Fail(CFileMessage::FromErrno(errno, true));
        m_nFile = -1;
    }
    if (m_bFailed)
        throw ELoadSaveError{0, m_eCause};
}

void CAtomicFile::Commit()
{
    Finish();
    if (rename(m_szTemp.c_str(), m_szTarget.c_str()) != 0)
        throw ELoadSaveError{0, CFileMessage::FromErrno(errno, true)};
    m_bCommitted = true;
    // Make the rename itself durable.
    const int nDir = open(DirectoryOf(m_szTarget).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (nDir >= 0) {
        fsync(nDir);
        close(nDir);
    }
}
