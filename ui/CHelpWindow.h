#pragma once
// The handbook's window: contents, index and full-text search beside the page. One window serves
// the whole program; F1 brings it up at the topic of the page in front.
#include <QString>
#include <QWidget>

class CHelpBrowser;
class QHelpEngine;
class QLabel;
class QLineEdit;
class QTabWidget;

class CHelpWindow : public QWidget {
    Q_OBJECT
public:
    // The namespace and folder of the handbook's pages: qthelp://de.kurvix.handbuch/doc/PAGE
    static const char* const NAMESPACE;

    explicit CHelpWindow(QWidget* pParent = nullptr);
    ~CHelpWindow() override;

    // Shows the window with the page (a file of the handbook, e.g. "formeln.html", with an
    // anchor if wanted) and brings it to the front.
    void ShowTopic(const QString& szPage);

    // The handbook file (kurvix.qch): beside the program in its build tree, else where it is
    // installed (PREFIX/share/kurvix/handbuch), else empty.
    static QString HandbookFile();
    // The help engine's collection, in the user's cache: the engine writes its register and the
    // search index there, which an installed file could not hold.
    static QString CollectionFile();

    bool HasHandbook() const { return m_bHasHandbook; }
    QString CurrentPage() const;
    QHelpEngine& Engine() const { return *m_pEngine; }
    CHelpBrowser& Browser() const { return *m_pBrowser; }
    QTabWidget& Tabs() const { return *m_pTabs; }

private:
    void SetUpEngine();
    void Search();

    QHelpEngine* m_pEngine;
    CHelpBrowser* m_pBrowser;
    QTabWidget* m_pTabs;
    QLineEdit* m_pIndexFilter;
    QLabel* m_pMissing;
    bool m_bHasHandbook = false;
};
