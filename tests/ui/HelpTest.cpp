// The handbook: F1 at the topic of the page in front, the formula overview with every built-in
// function of the compiler's table, the index and the search, and links that lead somewhere.
#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpIndexModel>
#include <QHelpSearchEngine>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include "CWindowTest.h"
#include "expr/COpcode.h"
#include "ui/CFunctionsPage.h"
#include "ui/CHelpBrowser.h"
#include "ui/CHelpWindow.h"
#include "ui/COptionsPage.h"

namespace {
class Help : public CWindowTest {
protected:
    CHelpWindow& Window() const { return *m_pForm->HelpWindow(); }
    QString Shown() const { return Window().Browser().toPlainText(); }
};

TEST_F(Help, F1OpensTheTopicOfThePageInFront)
{
    EXPECT_EQ(m_pForm->ManualAction->shortcut(), QKeySequence(Qt::Key_F1));
    const struct {
        QWidget* pPage;
        const char* pszFile;
        const char* pszHeading;
    } rows[] = {
        {m_pForm->FunctionsSheet, "funktionen.html", "Die Seite Funktionen"},
        {m_pForm->OptionsSheet, "einstellungen.html", "Einstellungen"},
        {m_pForm->NotesSheet, "notizen.html", "Notizen"},
        {m_pForm->WetaSheet, "wertetafel.html", "Wertetafel"},
        {m_pForm->GraphicsSheet, "grafik.html", "Die Seite Grafik"},
        {m_pForm->DebugSheet, "debug.html", "Debug"},
    };
    for (const auto& row : rows) {
        m_pForm->PageControl->setCurrentWidget(row.pPage);
        m_pForm->ManualAction->trigger();
        ASSERT_NE(m_pForm->HelpWindow(), nullptr);
        ASSERT_TRUE(Window().HasHandbook()) << "kurvix.qch not found";
        EXPECT_TRUE(Window().isVisible());
        EXPECT_EQ(Window().CurrentPage(), row.pszFile);
        EXPECT_TRUE(Shown().startsWith(row.pszHeading)) << row.pszFile << ": " << Shown().left(80).toStdString();
    }
    // The contents show where the page is.
    QHelpContentWidget* pContents = Window().Engine().contentWidget();
    EXPECT_TRUE(QTest::qWaitFor([pContents] { return pContents->currentIndex().data().toString() == "Debug"; }, 10000));
    // One window for all topics.
    m_pForm->FormulaOverviewAction->trigger();
    EXPECT_EQ(m_pForm->findChildren<CHelpWindow*>().size(), 1);
}

// The overview lists exactly the functions the compiler knows: every row of its table, and no
// word that does not compile as a function.
TEST_F(Help, FormulaOverviewListsEveryBuiltInFunction)
{
    m_pForm->FormulaOverviewAction->trigger();
    ASSERT_TRUE(Window().HasHandbook());
    EXPECT_EQ(Window().CurrentPage(), "formeln.html");
    const QString szPage = QString::fromUtf8(Window().Engine().fileData(Window().Browser().source()));
    QSet<QString> listed;
    const QRegularExpression row("<tr><td><a name=\"([a-z0-9]+)\"></a><code>\\1</code></td><td>([^<]+)</td>"
                                 "<td><code>([^<]+)</code></td><td>([^<]+)</td></tr>");
    for (auto match = row.globalMatch(szPage); match.hasNext();)
        listed.insert(match.next().captured(1));
    const char* const table[] = {
#define KX_HELP_WORD(NAME, VALUE, WORD, FN, ITEM) WORD,
        KX_FUNCTION_LIST(KX_HELP_WORD)
#undef KX_HELP_WORD
    };
    for (const char* pszWord : table)
        EXPECT_TRUE(listed.contains(pszWord)) << pszWord << " is missing from the overview";
    for (const char* pszWord : {"sqr", "sqrt", "log", "random", "rand", "undef"})
        EXPECT_TRUE(listed.contains(pszWord)) << pszWord;
    EXPECT_EQ(listed.size(), static_cast<int>(std::size(table)) + 6);
    // The examples' values are computed, not copied.
    EXPECT_TRUE(szPage.contains("<code>sqrt(2)</code></td><td>1.4142136</td>"));
    EXPECT_TRUE(szPage.contains("<code>undef</code></td><td>undefiniert</td>"));
}

TEST_F(Help, IndexAndSearchFindTheFormulaPage)
{
    m_pForm->ShowHelp("index.html");
    ASSERT_TRUE(Window().HasHandbook());
    QHelpIndexModel* pIndex = Window().Engine().indexModel();
    ASSERT_TRUE(QTest::qWaitFor(
        [pIndex] { return !pIndex->isCreatingIndex() && pIndex->stringList().contains("sqrt"); }, 20000));
    EXPECT_TRUE(pIndex->stringList().contains("Arbeitsgrenze"));
    // The search index is built in the background; a search before it is done finds nothing.
    QHelpSearchEngine* pSearch = Window().Engine().searchEngine();
    QSignalSpy searched(pSearch, &QHelpSearchEngine::searchingFinished);
    int nFound = 0;
    for (int nTry = 0; nTry < 100 && nFound == 0; ++nTry) {
        pSearch->search("Arbeitsgrenze");
        ASSERT_TRUE(searched.wait(5000));
        nFound = searched.takeLast().at(0).toInt();
        if (nFound == 0)
            QTest::qWait(300);
    }
    ASSERT_GT(nFound, 0);
    bool bFormulaPage = false;
    for (const QHelpSearchResult& result : pSearch->searchResults(0, nFound))
        bFormulaPage = bFormulaPage || result.url().fileName() == "formeln.html";
    EXPECT_TRUE(bFormulaPage);
}

// Every link between the pages leads to a page of the handbook, and to an anchor on it.
TEST(HelpPages, LinksLeadToPagesAndAnchors)
{
    const QDir dir(KURVIX_HANDBOOK_DIR);
    const QStringList pages = dir.entryList({"*.html"});
    ASSERT_GE(pages.size(), 13);
    QMap<QString, QString> texts;
    for (const QString& szPage : pages) {
        QFile file(dir.filePath(szPage));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        texts[szPage] = QString::fromUtf8(file.readAll());
    }
    const QRegularExpression link("href=\"([^\":#]*)(#([^\"]*))?\"");
    for (auto it = texts.cbegin(); it != texts.cend(); ++it)
        for (auto match = link.globalMatch(it.value()); match.hasNext();) {
            const auto found = match.next();
            const QString szTarget = found.captured(1).isEmpty() ? it.key() : found.captured(1);
            if (szTarget.endsWith(".css"))
                continue;
            ASSERT_TRUE(texts.contains(szTarget)) << it.key().toStdString() << " links to " << szTarget.toStdString();
            const QString szAnchor = found.captured(3);
            if (!szAnchor.isEmpty()) {
                EXPECT_TRUE(texts[szTarget].contains("name=\"" + szAnchor + "\""))
                    << it.key().toStdString() << " links to " << szTarget.toStdString() << "#"
                    << szAnchor.toStdString();
            }
        }
}
} // namespace
