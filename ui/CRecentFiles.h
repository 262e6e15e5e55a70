#pragma once
// The projects opened or saved last, newest first, kept in the user's settings so that the next
// start offers them too.
#include <QStringList>

class QMenu;

class CRecentFiles {
public:
    static constexpr int MAX_FILES = 8;

    // Reads the list from the settings.
    CRecentFiles();

    // Puts a file first (once), drops the oldest beyond MAX_FILES and stores the list.
    void Add(const QString& szFileName);
    void Remove(const QString& szFileName);
    const QStringList& Files() const { return m_Files; }

    // Fills a menu with one entry per file; its data is the file name.
    void FillMenu(QMenu& menu) const;

private:
    void Store() const;
    QStringList m_Files;
};
