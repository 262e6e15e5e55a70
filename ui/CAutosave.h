#pragma once
// Never losing work: a modified document is written every minute to a recovery file of this
// window in the user's state directory, and the file goes once the work is saved or the window
// is closed. A recovery file that outlives its window tells of a crash; the next start finds it.
#include <QDateTime>
#include <QList>
#include <QLockFile>
#include <QObject>
#include <memory>

class QTimer;
class TMainForm;

class CAutosave : public QObject {
    Q_OBJECT
public:
    static constexpr int INTERVAL = 60 * 1000; // ms

    explicit CAutosave(TMainForm& form);
    ~CAutosave() override;

    // Claims this window's recovery file and starts the timer.
    void Start();
    // Writes the document when it is modified; removes the file when it is not.
    void AutosaveNow();
    // Removes this window's recovery file: the work is saved, or the user let it go.
    void Discard();
    QString RecoveryFileName() const { return m_szFile; }
    QTimer* Timer() const { return m_pTimer; }

    // The directory of the recovery files: kurvix in the user's state directory.
    static QString Directory();

    struct SRecovery {
        QString m_szFile;     // the saved document
        QString m_szOriginal; // the file it was opened from or saved to, empty if none
        QDateTime m_Time;
    };
    // Recovery files whose windows have ended without removing them, newest first.
    static QList<SRecovery> Orphans();
    static void Forget(const SRecovery& recovery);

private:
    TMainForm& m_Form;
    QTimer* m_pTimer;
    QString m_szFile;
    std::unique_ptr<QLockFile> m_pLock; // held while the window lives: its file is no orphan
};
