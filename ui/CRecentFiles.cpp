#include "ui/CRecentFiles.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

namespace {
const char* const KEY = "RecentFiles";
}

CRecentFiles::CRecentFiles()
{
    m_Files = QSettings().value(KEY).toStringList();
    while (m_Files.size() > MAX_FILES)
        m_Files.removeLast();
}

void CRecentFiles::Add(const QString& szFileName)
{
    // The same file under another spelling of its path is the same entry.
    const QString szPath = QFileInfo(szFileName).absoluteFilePath();
    m_Files.removeAll(szPath);
    m_Files.prepend(szPath);
    while (m_Files.size() > MAX_FILES)
        m_Files.removeLast();
    Store();
}

void CRecentFiles::Remove(const QString& szFileName)
{
    m_Files.removeAll(QFileInfo(szFileName).absoluteFilePath());
    Store();
}

void CRecentFiles::Store() const
{
    QSettings().setValue(KEY, m_Files);
}

void CRecentFiles::FillMenu(QMenu& menu) const
{
    menu.clear();
    int nNumber = 1;
    for (const QString& szFile : m_Files) {
        // "&1 name   (folder)": the digit is the key, the folder tells equal names apart.
        const QFileInfo info(szFile);
        QAction* pAction = menu.addAction(
            QString("&%1  %2   (%3)").arg(nNumber++).arg(info.fileName(), QDir::toNativeSeparators(info.path())));
        pAction->setData(szFile);
    }
    if (m_Files.isEmpty())
        menu.addAction("Keine zuletzt ge\u00F6ffneten Dateien")->setEnabled(false);
}
