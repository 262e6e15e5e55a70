#include "ui/CAboutDialog.h"

#include <QCoreApplication>
#include <QtGlobal>
#include <zlib.h>

#include "kurvix_version.h"
#include "render/CGifWriter.h"
#include "render/CVideoWriter.h"

std::vector<CAboutDialog::SLibrary> CAboutDialog::Libraries()
{
    // A library added to the build adds its row here.
    return {
        {"Qt", qVersion()},
        {"zlib", zlibVersion()},
        {"giflib", QString::fromStdString(CGifWriter::LibraryVersion())},
        {"FFmpeg", QString::fromStdString(CVideoWriter::LibraryVersions())},
    };
}

QString CAboutDialog::Text()
{
    QString szLibraries;
    for (const SLibrary& library : Libraries())
        szLibraries += "<li>" + library.m_szName.toHtmlEscaped() + " " + library.m_szVersion.toHtmlEscaped() + "</li>";
    return "<h3>KURVIX " KURVIX_VERSION_TEXT "</h3>"
           "<p>Funktionsplotter mit Animationen</p>"
           "<p>Lizenz: GNU General Public License, Version&nbsp;3 oder (nach Ihrer Wahl) jede sp\u00E4tere Version (" +
           QString(LICENSE) +
           "). KURVIX ist freie Software und wird ohne jede Gew\u00E4hrleistung bereitgestellt.</p>"
           "<p>Verwendete Bibliotheken:</p><ul>" +
           szLibraries + "</ul>";
}
