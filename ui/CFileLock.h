#pragma once
// An exclusive lock on a file, held while the object holds it. The system drops the lock when the
// process ends, however it ends, so a lock that nobody holds tells of a window that is gone, whatever
// the process ids say (in a container every run may be process 1). Two locks on the same file are
// exclusive also within one process.
#include <QString>

class CFileLock {
public:
    CFileLock() = default;
    ~CFileLock();
    CFileLock(const CFileLock&) = delete;
    CFileLock& operator=(const CFileLock&) = delete;

    // Takes the lock of szFile, creating the file if need be; false when another holds it or the
    // file cannot be made.
    bool TryLock(const QString& szFile);
    void Unlock();
    bool IsLocked() const { return m_nFile >= 0; }

private:
    int m_nFile = -1;
};
