#include "ui/CHelpWindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHelpContentModel>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpIndexWidget>
#include <QHelpLink>
#include <QHelpSearchEngine>
#include <QHelpSearchQueryWidget>
#include <QHelpSearchResultWidget>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QStandardPaths>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include "ui/CHelpBrowser.h"

const char* const CHelpWindow::NAMESPACE = "de.kurvix.handbuch";

namespace {
// What the collection remembers of the handbook it registered: its place and time, so that a
// new build or installation is registered and indexed again.
const char* const STAMP_KEY = "kurvix/handbook";

QString Stamp(const QString& szFile)
{
    return szFile + "|" + QFileInfo(szFile).lastModified().toString(Qt::ISODateWithMs);
}
} // namespace

QString CHelpWindow::HandbookFile()
{
    const QString szDir = QCoreApplication::applicationDirPath();
    // The program in its build tree, a test program one folder below it, the installed program.
    for (const char* pszPlace :
         {"/handbuch/kurvix.qch", "/../handbuch/kurvix.qch", "/../share/kurvix/handbuch/kurvix.qch"}) {
        const QFileInfo file(szDir + pszPlace);
        if (file.isFile())
            return file.canonicalFilePath();
    }
    return QString();
}

QString CHelpWindow::CollectionFile()
{
    const QString szDir = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    QDir().mkpath(szDir);
    return szDir + "/handbuch.qhc";
}

CHelpWindow::CHelpWindow(QWidget* pParent) : QWidget(pParent, Qt::Window)
{
    setWindowTitle("KURVIX \u2013 Handbuch");
    resize(960, 680);
    m_pEngine = new QHelpEngine(CollectionFile(), this);
    m_pEngine->setReadOnly(false);
    // Before the data is set up, so that the search engine hears of it and indexes what is new.
    QHelpSearchEngine* pSearch = m_pEngine->searchEngine();

    m_pBrowser = new CHelpBrowser(*m_pEngine);
    m_pBrowser->setObjectName("HelpBrowser");
    auto* pToolBar = new QToolBar;
    QAction* pBack = pToolBar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), "Zur\u00FCck", m_pBrowser,
                                         &QTextBrowser::backward);
    QAction* pForward = pToolBar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), "Vorw\u00E4rts", m_pBrowser,
                                            &QTextBrowser::forward);
    pToolBar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), "Startseite", this,
                        [this] { ShowTopic("index.html"); });
    pBack->setShortcut(QKeySequence::Back);
    pForward->setShortcut(QKeySequence::Forward);
    pBack->setEnabled(false);
    pForward->setEnabled(false);
    connect(m_pBrowser, &QTextBrowser::backwardAvailable, pBack, &QAction::setEnabled);
    connect(m_pBrowser, &QTextBrowser::forwardAvailable, pForward, &QAction::setEnabled);

    m_pTabs = new QTabWidget;
    QHelpContentWidget* pContents = m_pEngine->contentWidget();
    m_pTabs->addTab(pContents, "Inhalt");
    connect(pContents, &QHelpContentWidget::linkActivated, m_pBrowser,
            [this](const QUrl& url) { m_pBrowser->setSource(url); });

    auto* pIndexPage = new QWidget;
    auto* pIndexLayout = new QVBoxLayout(pIndexPage);
    m_pIndexFilter = new QLineEdit;
    m_pIndexFilter->setPlaceholderText("Stichwort suchen");
    m_pIndexFilter->setClearButtonEnabled(true);
    QHelpIndexWidget* pIndex = m_pEngine->indexWidget();
    pIndexLayout->addWidget(m_pIndexFilter);
    pIndexLayout->addWidget(pIndex);
    m_pTabs->addTab(pIndexPage, "Index");
    connect(m_pIndexFilter, &QLineEdit::textChanged, pIndex,
            [pIndex](const QString& szText) { pIndex->filterIndices(szText); });
    connect(m_pIndexFilter, &QLineEdit::returnPressed, pIndex, &QHelpIndexWidget::activateCurrentItem);
    connect(pIndex, &QHelpIndexWidget::documentActivated, this,
            [this](const QHelpLink& link, const QString&) { m_pBrowser->setSource(link.url); });
    // A keyword on several pages: the first, as the contents list them.
    connect(pIndex, &QHelpIndexWidget::documentsActivated, this, [this](const QList<QHelpLink>& links, const QString&) {
        if (!links.isEmpty())
            m_pBrowser->setSource(links.first().url);
    });

    auto* pSearchPage = new QWidget;
    auto* pSearchLayout = new QVBoxLayout(pSearchPage);
    pSearchLayout->addWidget(pSearch->queryWidget());
    pSearchLayout->addWidget(pSearch->resultWidget(), 1);
    m_pTabs->addTab(pSearchPage, "Suche");
    connect(pSearch->queryWidget(), &QHelpSearchQueryWidget::search, this, &CHelpWindow::Search);
    connect(pSearch->resultWidget(), &QHelpSearchResultWidget::requestShowLink, m_pBrowser,
            [this](const QUrl& url) { m_pBrowser->setSource(url); });

    // The contents follow the page shown, wherever it came from; they are made in the background,
    // so the first page may be shown before them.
    const auto Follow = [this, pContents] {
        const QModelIndex index = pContents->indexOf(m_pBrowser->source());
        if (index.isValid()) {
            pContents->setCurrentIndex(index);
            pContents->scrollTo(index);
        }
    };
    connect(m_pBrowser, &QTextBrowser::sourceChanged, pContents, Follow);
    connect(m_pEngine->contentModel(), &QHelpContentModel::contentsCreated, pContents, Follow);

    auto* pRight = new QWidget;
    auto* pRightLayout = new QVBoxLayout(pRight);
    pRightLayout->setContentsMargins(0, 0, 0, 0);
    pRightLayout->addWidget(pToolBar);
    m_pMissing =
        new QLabel("Das Handbuch ist nicht installiert: die Datei kurvix.qch fehlt neben dem Programm und unter "
                   "share/kurvix/handbuch.");
    m_pMissing->setWordWrap(true);
    pRightLayout->addWidget(m_pMissing);
    pRightLayout->addWidget(m_pBrowser, 1);
    auto* pSplitter = new QSplitter;
    pSplitter->addWidget(m_pTabs);
    pSplitter->addWidget(pRight);
    pSplitter->setStretchFactor(1, 1);
    pSplitter->setSizes({260, 700});
    auto* pLayout = new QHBoxLayout(this);
    pLayout->addWidget(pSplitter);

    SetUpEngine();
    m_pMissing->setVisible(!m_bHasHandbook);
}

CHelpWindow::~CHelpWindow() = default;

void CHelpWindow::SetUpEngine()
{
    m_pEngine->setupData();
    const QString szHandbook = HandbookFile();
    if (szHandbook.isEmpty())
        return;
    const QString szRegistered = m_pEngine->documentationFileName(NAMESPACE);
    if (szRegistered.isEmpty() || m_pEngine->customValue(STAMP_KEY).toString() != Stamp(szHandbook)) {
        if (!szRegistered.isEmpty())
            m_pEngine->unregisterDocumentation(NAMESPACE);
        if (!m_pEngine->registerDocumentation(szHandbook))
            return;
        m_pEngine->setCustomValue(STAMP_KEY, Stamp(szHandbook));
        m_pEngine->searchEngine()->reindexDocumentation();
    }
    m_bHasHandbook = true;
}

void CHelpWindow::Search()
{
    m_pEngine->searchEngine()->search(m_pEngine->searchEngine()->queryWidget()->searchInput());
}

QString CHelpWindow::CurrentPage() const
{
    return m_pBrowser->source().fileName();
}

void CHelpWindow::ShowTopic(const QString& szPage)
{
    if (m_bHasHandbook)
        m_pBrowser->setSource(QUrl(QString("qthelp://%1/doc/%2").arg(NAMESPACE, szPage)));
    show();
    raise();
    activateWindow();
}
