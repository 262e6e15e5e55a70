#pragma once
// A file that replaces its target whole or not at all: the bytes go to a temporary file beside
// the target, every write and the close are checked, and only then is it renamed over the
// target. The target is a regular file, a link to one, or new: a folder, a device, a pipe or a
// dangling link is refused and left as it is. The new file takes the old one's owner, group and
// mode as far as the system lets the user give them (someone else's file keeps its group and
// mode, not its owner); other hard links of the old file keep the old content. Temporary files
// still open are removed when a signal ends the program, once InstallSignalCleanup has run.
#include <csignal>
#include <cstdint>
#include <string>
#include <sys/types.h>

#include "project/ELoadSaveError.h"

class CAtomicFile {
public:
    using WriteFunction = ssize_t (*)(int nFile, const void* pData, size_t nCount);

    enum class ELink {
        Follow, // a link at the target name: the file it points to is replaced
        Replace // the link itself is replaced, whatever it points to
    };

    // Creates the temporary file; throws ELoadSaveError{0, cause} when it cannot. A link that
    // someone else put into a folder all may write to is not followed (AccessDenied). pWrite
    // replaces write(2) in tests.
    explicit CAtomicFile(const std::string& szTarget, ELink eLink = ELink::Follow, WriteFunction pWrite = nullptr);
    // Removes the temporary file unless it was committed.
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // False once any write failed; the cause is kept for Finish and Commit.
    bool Write(const void* pData, size_t nCount);
    // Moves the place of the next write to nPosition bytes from the start (a video's container
    // goes back to fill in sizes); false, and the file fails, where it cannot.
    bool Seek(int64_t nPosition);
    // Flushes and closes the temporary file (no more writes); throws ELoadSaveError on any
    // failure so far. Frees the descriptor, for exports of many files at once. bSync false: the
    // caller flushes many files at once (SyncAll) before it commits them.
    void Finish(bool bSync = true);
    // Finish, then the rename over the target; throws ELoadSaveError and leaves the target as it
    // was when anything failed. bSyncFolder false: the caller makes the folder durable once,
    // after many renames (SyncFolder).
    void Commit(bool bSyncFolder = true);
    void SyncFolder() const;
    // Flushes every file of the target's file system to the disk; throws ELoadSaveError when
    // that fails.
    void SyncAll() const;

    const std::string& Target() const { return m_szTarget; }

    // Every signal that ends the program by default removes the temporary files first, then ends
    // the program as it would have. Signals ignored by whoever started the program stay ignored.
    static void InstallSignalCleanup();

    // While it lives, those signals wait, also where another thread takes one: several renames
    // that belong together all happen.
    class CHoldSignals {
    public:
        CHoldSignals();
        ~CHoldSignals();
        CHoldSignals(const CHoldSignals&) = delete;
        CHoldSignals& operator=(const CHoldSignals&) = delete;

    private:
        sigset_t m_Old;
    };

private:
    void Fail(EFileCause eCause);

    std::string m_szTarget;
    std::string m_szTemp;
    WriteFunction m_pWrite;
    int m_nFile = -1;
    bool m_bCommitted = false;
    bool m_bFailed = false;
    EFileCause m_eCause = EFileCause::WriteError;
};
