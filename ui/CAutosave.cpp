#include "ui/CAutosave.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>
#include <QUuid>
#include <algorithm>

#include "project/CFileMessage.h"
#include "project/CProject.h"
#include "project/CProjectWriter.h"
#include "project/ELoadSaveError.h"
#include "ui/CDocumentHost.h"
#include "ui/CFileName.h"

namespace {
// recovery-ID.kvx holds the document, recovery-ID.name the file name it belongs to, and
// recovery-ID.lock is locked by the window that writes them.
QString SideFile(const QString& szRecovery, const char* pszExtension)
{
    QString szName = szRecovery;
    szName.chop(4);
    return szName + pszExtension;
}
} // namespace

CAutosave::CAutosave(CDocumentHost& host, QObject* pParent) : QObject(pParent), m_Host(host), m_pTimer(new QTimer(this))
{
    m_pTimer->setObjectName("AutosaveTimer");
    m_pTimer->setInterval(INTERVAL);
    connect(m_pTimer, &QTimer::timeout, this, &CAutosave::AutosaveNow);
}

CAutosave::~CAutosave()
{
    Discard();
    if (m_Lock.IsLocked())
        QFile::remove(SideFile(m_szFile, ".lock"));
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
    if (!m_szFile.isEmpty())
        return;
    QDir().mkpath(Directory());
    const QString szBase = Directory() + "/recovery-" + QUuid::createUuid().toString(QUuid::Id128);
    m_szFile = szBase + ".kvx";
    m_Lock.TryLock(szBase + ".lock"); // a name of its own: only a folder that cannot be written refuses it
    m_pTimer->start();
}

void CAutosave::AutosaveNow()
{
    if (m_szFile.isEmpty())
        return;
    if (!m_Host.Document().m_bModified) {
        Discard();
        return;
    }
    try {
        // Without its lock the file would look like a crashed window's to the next start.
        if (!m_Lock.IsLocked() && (!QDir().mkpath(Directory()) || !m_Lock.TryLock(SideFile(m_szFile, ".lock"))))
            throw ELoadSaveError{0, QFileInfo(Directory()).isDir() ? EFileCause::AccessDenied
                                                                   : EFileCause::FolderNotFound};
        CProjectWriter::Save(m_Host.Document(), QFile::encodeName(m_szFile).constData());
    } catch (const ELoadSaveError& error) {
        // Every minute again would hide every other message: once, until it works again.
        if (!m_bFailureTold)
            m_Host.ShowStatus("Keine automatische Sicherung m\u00F6glich: " +
                              QString::fromStdString(CFileMessage::Cause(m_szFile.toStdString(), error.m_eCause)));
        m_bFailureTold = true;
        return;
    }
    m_bFailureTold = false;
    QSaveFile name(SideFile(m_szFile, ".name"));
    if (name.open(QIODevice::WriteOnly)) {
        name.write(CFileName::Encode(m_Host.FileName()));
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

void CAutosave::Leave()
{
    if (m_szFile.isEmpty())
        return;
    AutosaveNow();
    m_pTimer->stop();
    m_Lock.Unlock();
    QFile::remove(SideFile(m_szFile, ".lock"));
    m_szFile.clear();
}

QList<CAutosave::SRecovery> CAutosave::Orphans()
{
    QList<SRecovery> orphans;
    const QDir dir(Directory());
    for (const QFileInfo& info : dir.entryInfoList({"recovery-*.kvx"}, QDir::Files)) {
        const QString szFile = info.absoluteFilePath();
        auto pClaim = std::make_shared<CFileLock>();
        // Held by a running window: its own file, or one that another window is offering.
        if (!pClaim->TryLock(SideFile(szFile, ".lock")))
            continue;
        // Gone meanwhile: restored or let go by the window that held it.
        if (!QFileInfo::exists(szFile)) {
            QFile::remove(SideFile(szFile, ".lock"));
            continue;
        }
        SRecovery recovery{szFile, QString(), info.lastModified(), pClaim};
        QFile name(SideFile(szFile, ".name"));
        if (name.open(QIODevice::ReadOnly))
            recovery.m_szOriginal = CFileName::Decode(name.readAll());
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

QString CAutosave::Keep(const SRecovery& recovery)
{
    const QFileInfo info(recovery.m_szFile);
    QString szKept = info.absolutePath() + "/unlesbar-" + info.fileName().mid(int(sizeof "recovery-") - 1);
    for (int n = 2; QFileInfo::exists(szKept); ++n)
        szKept = info.absolutePath() + "/unlesbar-" + QString::number(n) + "-" +
                 info.fileName().mid(int(sizeof "recovery-") - 1);
    if (!QFile::rename(recovery.m_szFile, szKept))
        return recovery.m_szFile; // stays, and is offered again
    QFile::remove(SideFile(recovery.m_szFile, ".name"));
    QFile::remove(SideFile(recovery.m_szFile, ".lock"));
    return szKept;
}
