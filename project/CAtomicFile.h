#pragma once
// A file that replaces its target whole or not at all: the bytes go to a temporary file beside
// the target, every write and the close are checked, and only then is it renamed over the
// target. A link as target is followed, so the file it points to is replaced. Temporary files
// still open are removed on SIGINT and SIGTERM once InstallSignalCleanup has run.
#include <string>
#include <sys/types.h>

#include "project/ELoadSaveError.h"

class CAtomicFile {
public:
    using WriteFunction = ssize_t (*)(int nFile, const void* pData, size_t nCount);

    // Creates the temporary file; throws ELoadSaveError{0, cause} when it cannot. pWrite replaces
    // write(2) in tests.
    explicit CAtomicFile(const std::string& szTarget, WriteFunction pWrite = nullptr);
    // Removes the temporary file unless it was committed.
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // False once any write failed; the cause is kept for Finish and Commit.
    bool Write(const void* pData, size_t nCount);
    // Flushes and closes the temporary file (no more writes); throws ELoadSaveError on any
    // failure so far. Frees the descriptor, for exports of many files at once.
    void Finish();
    // Finish, then the rename over the target; throws ELoadSaveError and leaves the target as it
    // was when anything failed.
    void Commit();

    const std::string& Target() const { return m_szTarget; }

    // SIGINT and SIGTERM remove the temporary files, then end the program as the signal would.
    static void InstallSignalCleanup();

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
