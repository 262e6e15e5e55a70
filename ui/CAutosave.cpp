#include "ui/CAutosave.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>

#include "project/CProject.h"
#include "project/CProjectWriter.h"
#include "project/ELoadSaveError.h"
#include "ui/TMainForm.h"

namespace {
// recovery-ID.kvx holds the document, recovery-ID.name the file name it belongs to, and
// recovery-ID.lock is held by the window that writes them.
QString SideFile(const QString& szRecovery, const char* pszExtension)
{
    QString szName = szRecovery;
    szName.chop(4);
    return szName + pszExtension;
}
} // namespace

CAutosave::CAutosave(TMainForm& form) : QObject(&form), m_Form(form), m_pTimer(new QTimer(this))
{
    m_pTimer->setObjectName("AutosaveTimer");
    m_pTimer->setInterval(INTERVAL);
    connect(m_pTimer, &QTimer::timeout, this, &CAutosave::AutosaveNow);
}

CAutosave::~CAutosave()
{
    Discard();
}

QString CAutosave::Directory()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 7, 0)
    return QStandardPaths::writableLocation(QStandardPaths::GenericStateLocation) + "/kurvix";
#else
    // Older Qt knows no state location: found as the XDG base directory rules say.
    QString szState = qEnvironmentVariable("XDG_STATE_HOME");
    if (szState.isEmpty() || QDir::isRelativePath(szState))
        szState = QDir::homePath() + "/.local/state";
    return szState + "/kurvix";
#endif
}

void CAutosave::Start()
{
    if (m_pLock)
        return;
    QDir().mkpath(Directory());
    // One file per window: the process and the window's number in it.
    static int s_nWindows = 0;
    const QString szBase = Directory() + "/recovery-" + QString::number(QCoreApplication::applicationPid()) + "-" +
                           QString::number(++s_nWindows);
    m_szFile = szBase + ".kvx";
    m_pLock = std::make_unique<QLockFile>(szBase + ".lock");
    m_pLock->setStaleLockTime(0);
    m_pLock->tryLock(0);
    m_pTimer->start();
}

void CAutosave::AutosaveNow()
{
    if (m_szFile.isEmpty())
        return;
    if (!m_Form.m_pDocument->m_bModified) {
        Discard();
        return;
    }
    try {
        CProjectWriter::Save(*m_Form.m_pDocument, QFile::encodeName(m_szFile).constData());
    } catch (const ELoadSaveError&) {
        return; // a full disk: the next minute tries again
    }
    QSaveFile name(SideFile(m_szFile, ".name"));
    if (name.open(QIODevice::WriteOnly)) {
        name.write(m_Form.m_szFileName.toUtf8());
        name.commit();
    }
}

void CAutosave::Discard()
{
    if (m_szFile.isEmpty())
        return;
    QFile::remove(m_szFile);
    QFile::remove(SideFile(m_szFile, ".name"));
}

QList<CAutosave::SRecovery> CAutosave::Orphans()
{
    QList<SRecovery> orphans;
    const QDir dir(Directory());
    for (const QFileInfo& info : dir.entryInfoList({"recovery-*.kvx"}, QDir::Files)) {
        const QString szFile = info.absoluteFilePath();
        QLockFile lock(SideFile(szFile, ".lock"));
        lock.setStaleLockTime(0);
        // Held by a running window: its own file. A lock of a window that died is taken over.
        if (!lock.tryLock(0))
            continue;
        lock.unlock();
        SRecovery recovery{szFile, QString(), info.lastModified()};
        QFile name(SideFile(szFile, ".name"));
        if (name.open(QIODevice::ReadOnly))
            recovery.m_szOriginal = QString::fromUtf8(name.readAll());
        orphans << recovery;
    }
    std::sort(orphans.begin(), orphans.end(),
              [](const SRecovery& a, const SRecovery& b) { return a.m_Time > b.m_Time; });
    return orphans;
}

void CAutosave::Forget(const SRecovery& recovery)
{
    QFile::remove(recovery.m_szFile);
    QFile::remove(SideFile(recovery.m_szFile, ".name"));
    QFile::remove(SideFile(recovery.m_szFile, ".lock"));
}
