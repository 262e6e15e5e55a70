#pragma once
// Never losing work: a modified document is written every minute to a recovery file of this
// window in the user's state directory, and the file goes once the work is saved or the window
// is closed. A recovery file that outlives its window tells of a crash; the next start finds it.
// Each window names its file afresh (never by the process id alone, which a new window may share
// with the crashed one) and holds a lock beside it that the system drops when the window ends.
#include <QDateTime>
#include <QList>
#include <QObject>
#include <memory>

#include "ui/CFileLock.h"

class QTimer;
class CDocumentHost;

class CAutosave : public QObject {
    Q_OBJECT
public:
    static constexpr int INTERVAL = 60 * 1000; // ms

    CAutosave(CDocumentHost& host, QObject* pParent);
    ~CAutosave() override;

    // Claims this window's recovery file and starts the timer.
    void Start();
    // Writes the document when it is modified; removes the file when it is not. A file that
    // cannot be written is told once in the status line (again after it could be written).
    void AutosaveNow();
    // Removes this window's recovery file: the work is saved, or the user let it go.
    void Discard();
    // The window ends without the user (a signal): a modified document is written up to date and
    // its file left for the next start to offer, the lock let go; nothing more is written or removed.
    void Leave();
    QString RecoveryFileName() const { return m_szFile; }
    QTimer* Timer() const { return m_pTimer; }

    // The directory of the recovery files: kurvix in the user's state directory.
    static QString Directory();

    struct SRecovery {
        QString m_szFile;     // the saved document
        QString m_szOriginal; // the file it was opened from or saved to, empty if none
        QDateTime m_Time;
        std::shared_ptr<CFileLock> m_pClaim; // no other window offers it while this one is held
    };
    // Recovery files whose windows have ended without removing them, newest first, each claimed
    // for the caller as long as it keeps the list.
    static QList<SRecovery> Orphans();
    // Removes a recovery file: restored or let go.
    static void Forget(const SRecovery& recovery);
    // Moves a recovery file that does not load out of the way of later starts, and returns where
    // it is kept.
    static QString Keep(const SRecovery& recovery);

private:
    CDocumentHost& m_Host;
    QTimer* m_pTimer;
    QString m_szFile;
    CFileLock m_Lock;            // held while the window lives: its file is no orphan
    bool m_bFailureTold = false; // the status line said that the file cannot be written
};
