#include "ui/CFileLock.h"

#include <QFile>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

CFileLock::~CFileLock()
{
    Unlock();
}

bool CFileLock::TryLock(const QString& szFile)
{
    Unlock();
    const int nFile = open(QFile::encodeName(szFile).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (nFile < 0)
        return false;
    if (flock(nFile, LOCK_EX | LOCK_NB) != 0) {
        close(nFile);
        return false;
    }
    m_nFile = nFile;
    return true;
}

void CFileLock::Unlock()
{
    if (m_nFile >= 0)
        close(m_nFile);
    m_nFile = -1;
}
