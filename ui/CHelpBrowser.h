#pragma once
// The page view of the handbook: shows qthelp:// pages from the help engine, opens links that
// leave the handbook (web, mail) outside the program.
#include <QTextBrowser>

class QHelpEngineCore;

class CHelpBrowser : public QTextBrowser {
    Q_OBJECT
public:
    CHelpBrowser(QHelpEngineCore& engine, QWidget* pParent = nullptr);

    QVariant loadResource(int nType, const QUrl& url) override;

protected:
    void doSetSource(const QUrl& url, QTextDocument::ResourceType eType) override;

private:
    QHelpEngineCore& m_Engine;
};
