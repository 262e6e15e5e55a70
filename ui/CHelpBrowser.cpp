#include "ui/CHelpBrowser.h"

#include <QDesktopServices>
#include <QHelpEngineCore>

CHelpBrowser::CHelpBrowser(QHelpEngineCore& engine, QWidget* pParent) : QTextBrowser(pParent), m_Engine(engine)
{
    setOpenLinks(true);
    setOpenExternalLinks(false);
}

QVariant CHelpBrowser::loadResource(int nType, const QUrl& url)
{
    if (url.scheme() == "qthelp")
        return m_Engine.fileData(url);
    return QTextBrowser::loadResource(nType, url);
}

void CHelpBrowser::doSetSource(const QUrl& url, QTextDocument::ResourceType eType)
{
    // A link from the handbook to the world opens where the desktop opens such links.
    if (url.scheme() != "qthelp" && !url.isRelative()) {
        QDesktopServices::openUrl(url);
        return;
    }
    QTextBrowser::doSetSource(url, eType);
}
