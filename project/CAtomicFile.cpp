#include "project/CAtomicFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "project/CFileMessage.h"

namespace {
// The names of the temporary files in existence. The signal handler reads the list; whoever
// changes it holds the signals on its own thread and the flag against a handler on another.
std::vector<const char*> g_TempNames;
std::atomic_flag g_bListBusy = ATOMIC_FLAG_INIT;
// CHoldSignals alive on any thread, and a signal that another thread took meanwhile: it is
// delivered again once the last hold ends.
std::atomic<int> g_nHolds{0};
std::atomic<int> g_nPending{0};

// Sent by someone (kill, the terminal, a limit), rather than raised by a fault of the code.
bool IsFromOutside(int nSignal)
{
    return nSignal != SIGILL && nSignal != SIGTRAP && nSignal != SIGABRT && nSignal != SIGBUS && nSignal != SIGFPE &&
           nSignal != SIGSEGV && nSignal != SIGSYS;
}

// The signals whose default action ends the program (SIGKILL and SIGSTOP cannot be caught).
sigset_t FatalSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int nSignal : {SIGHUP, SIGINT, SIGQUIT, SIGILL, SIGTRAP, SIGABRT, SIGBUS, SIGFPE, SIGUSR1, SIGSEGV,
                              SIGUSR2, SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGSYS})
        sigaddset(&set, nSignal);
#ifdef SIGSTKFLT
    sigaddset(&set, SIGSTKFLT);
#endif
#ifdef SIGPOLL
    sigaddset(&set, SIGPOLL);
#endif
#ifdef SIGPWR
    sigaddset(&set, SIGPWR);
#endif
    for (int nSignal = SIGRTMIN; nSignal <= SIGRTMAX; ++nSignal)
        sigaddset(&set, nSignal);
    return set;
}

class CListLock {
public:
    CListLock()
    {
        while (g_bListBusy.test_and_set(std::memory_order_acquire)) {
        }
    }
    ~CListLock() { g_bListBusy.clear(std::memory_order_release); }
    CListLock(const CListLock&) = delete;
    CListLock& operator=(const CListLock&) = delete;

private:
    CAtomicFile::CHoldSignals m_Hold; // taken before the flag, given back after it
};

extern "C" void RemoveTempFiles(int nSignal)
{
    // Taken by a thread that does not hold the signals while another does: that one raises it
    // again when it is done.
    if (IsFromOutside(nSignal)) {
        g_nPending.store(nSignal);
        if (g_nHolds.load() > 0)
            return;
    }
    // A thread that is changing the list is done within a few instructions.
    while (g_bListBusy.test_and_set(std::memory_order_acquire)) {
    }
    for (const char* pszName : g_TempNames)
        unlink(pszName);
    signal(nSignal, SIG_DFL);
    raise(nSignal);
}

std::string DirectoryOf(const std::string& szPath)
{
    const size_t nSlash = szPath.rfind('/');
    if (nSlash == std::string::npos)
        return ".";
    return nSlash == 0 ? "/" : szPath.substr(0, nSlash);
}

// The name the bytes go to: a link is followed hop by hop as the system would follow it, and
// refused where it leads nowhere or was planted by someone else. bExists, with info, when there
// is a file to replace.
std::string ResolveTarget(const std::string& szName, CAtomicFile::ELink eLink, struct stat& info, bool& bExists)
{
    const int MAX_LINKS = 40; // as the system counts them
    std::string szPath = szName;
    bExists = false;
    for (int nLinks = 0;; ++nLinks) {
        if (lstat(szPath.c_str(), &info) != 0) {
            if (errno == ENOENT && nLinks == 0)
                return szPath; // a new file; a missing folder shows when the file is created
            if (errno == ENOENT)
                throw ELoadSaveError{0, EFileCause::NotRegular}; // a dangling link
            throw ELoadSaveError{0, CFileMessage::FromErrno(errno, true)};
        }
        if (!S_ISLNK(info.st_mode))
            break;
        if (eLink == CAtomicFile::ELink::Replace)
            return szPath; // the rename replaces the link, which is no file to take anything from
        if (nLinks == MAX_LINKS)
            throw ELoadSaveError{0, EFileCause::NotRegular};
        // In /tmp anybody may put a link to the user's thesis under a name the user will write
        // to; the system itself does not follow such a link of another owner there either.
        struct stat folder;
        if (stat(DirectoryOf(szPath).c_str(), &folder) == 0 && (folder.st_mode & S_IWOTH) && info.st_uid != geteuid() &&
            info.st_uid != folder.st_uid)
            throw ELoadSaveError{0, EFileCause::AccessDenied};
        char szLink[PATH_MAX];
        const ssize_t nLength = readlink(szPath.c_str(), szLink, sizeof szLink);
        if (nLength < 0)
            throw ELoadSaveError{0, CFileMessage::FromErrno(errno, true)};
        if (static_cast<size_t>(nLength) >= sizeof szLink)
            throw ELoadSaveError{0, EFileCause::NameTooLong};
        const std::string szTo(szLink, static_cast<size_t>(nLength));
        szPath = szTo[0] == '/' ? szTo : DirectoryOf(szPath) + "/" + szTo;
    }
    bExists = true;
    if (!S_ISREG(info.st_mode))
        throw ELoadSaveError{0, EFileCause::NotRegular};
    return szPath;
}

// "NAME.XXXXXX" beside the target, the name shortened where the folder's limit on the length of
// a name would not take the suffix.
std::string TempName(const std::string& szTarget)
{
    const size_t nSlash = szTarget.rfind('/');
    const size_t nBase = nSlash == std::string::npos ? 0 : nSlash + 1;
    const long nLimit = pathconf(DirectoryOf(szTarget).c_str(), _PC_NAME_MAX);
    const size_t nMax = nLimit > 0 ? static_cast<size_t>(nLimit) : NAME_MAX;
    const char* const SUFFIX = ".XXXXXX";
    const size_t nSuffix = 7;
    if (szTarget.size() - nBase > nMax)
        throw ELoadSaveError{0, EFileCause::NameTooLong};
    return szTarget.substr(0, std::min(szTarget.size(), nBase + nMax - nSuffix)) + SUFFIX;
}
} // namespace

CAtomicFile::CHoldSignals::CHoldSignals()
{
    const sigset_t set = FatalSignals();
    pthread_sigmask(SIG_BLOCK, &set, &m_Old);
    g_nHolds.fetch_add(1);
}

CAtomicFile::CHoldSignals::~CHoldSignals()
{
    const bool bLast = g_nHolds.fetch_sub(1) == 1;
    pthread_sigmask(SIG_SETMASK, &m_Old, nullptr);
    if (bLast)
        if (const int nSignal = g_nPending.exchange(0))
            raise(nSignal);
}

void CAtomicFile::InstallSignalCleanup()
{
    struct sigaction action = {};
    action.sa_handler = RemoveTempFiles;
    action.sa_mask = FatalSignals();
    action.sa_flags = SA_RESTART; // a signal put off must not break the other thread's calls
    for (int nSignal = 1; nSignal < NSIG; ++nSignal) {
        struct sigaction old;
        if (sigismember(&action.sa_mask, nSignal) == 1 && sigaction(nSignal, nullptr, &old) == 0 &&
            old.sa_handler == SIG_DFL)
            sigaction(nSignal, &action, nullptr);
    }
}

CAtomicFile::CAtomicFile(const std::string& szTarget, ELink eLink, WriteFunction pWrite)
    : m_pWrite(pWrite ? pWrite : ::write)
{
    struct stat info;
    bool bExists;
    m_szTarget = ResolveTarget(szTarget, eLink, info, bExists);
    m_szTemp = TempName(m_szTarget);
    {
        CListLock lock;
        g_TempNames.reserve(g_TempNames.size() + 1); // nothing fails once the file is there
        m_nFile = mkostemp(m_szTemp.data(), O_CLOEXEC);
        if (m_nFile < 0)
            throw ELoadSaveError{0, CFileMessage::FromErrno(errno, true)};
        g_TempNames.push_back(m_szTemp.c_str());
    }
    // The new file gets the old one's owner, group and permissions, or those of a newly created
    // file. Only root may give a file away; a user may give it one of the user's own groups.
    mode_t nMode;
    if (bExists) {
        if (fchown(m_nFile, info.st_uid, info.st_gid) != 0 &&
            fchown(m_nFile, static_cast<uid_t>(-1), info.st_gid) != 0) {
            // Not a group of the user's: the file keeps the user's, as any file the user creates.
        }
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
    if (m_bCommitted)
        return;
    CListLock lock;
    unlink(m_szTemp.c_str());
    g_TempNames.erase(std::remove(g_TempNames.begin(), g_TempNames.end(), m_szTemp.c_str()), g_TempNames.end());
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

bool CAtomicFile::Seek(int64_t nPosition)
{
    if (!m_bFailed && (m_nFile < 0 || nPosition < 0 || lseek(m_nFile, static_cast<off_t>(nPosition), SEEK_SET) < 0))
        Fail(m_nFile < 0 || nPosition < 0 ? EFileCause::WriteError : CFileMessage::FromErrno(errno, true));
    return !m_bFailed;
}

void CAtomicFile::Finish(bool bSync)
{
    if (m_nFile >= 0) {
        // A full disk may show only here, at the flush or the close.
        if (!m_bFailed && bSync && fsync(m_nFile) != 0)
            Fail(CFileMessage::FromErrno(errno, true));
        if (close(m_nFile) != 0)
            Fail(CFileMessage::FromErrno(errno, true));
        m_nFile = -1;
    }
    if (m_bFailed)
        throw ELoadSaveError{0, m_eCause};
}

void CAtomicFile::Commit(bool bSyncFolder)
{
    Finish();
    {
        CListLock lock;
        if (rename(m_szTemp.c_str(), m_szTarget.c_str()) != 0)
            throw ELoadSaveError{0, CFileMessage::FromErrno(errno, true)};
        m_bCommitted = true;
        g_TempNames.erase(std::remove(g_TempNames.begin(), g_TempNames.end(), m_szTemp.c_str()), g_TempNames.end());
    }
    if (bSyncFolder)
        SyncFolder();
}

void CAtomicFile::SyncAll() const
{
    const int nDir = open(DirectoryOf(m_szTarget).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (nDir < 0)
        throw ELoadSaveError{0, CFileMessage::FromErrno(errno, true)};
    const bool bOk = syncfs(nDir) == 0;
    const int nErrno = errno;
    close(nDir);
    if (!bOk)
        throw ELoadSaveError{0, CFileMessage::FromErrno(nErrno, true)};
}

void CAtomicFile::SyncFolder() const
{
    // Makes the rename itself durable.
    const int nDir = open(DirectoryOf(m_szTarget).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (nDir >= 0) {
        fsync(nDir);
        close(nDir);
    }
}
