#include "ui/CDebugPage.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

#include "project/CProject.h"
#include "project/CProjectWriter.h"
#include "project/ELoadSaveError.h"
#include "ui/CAnsi.h"
#include "ui/CPageFrame.h"

namespace {
QLabel* Caption(const QString& szText, QWidget* pParent)
{
    auto* pLabel = new QLabel(szText, pParent);
    pLabel->setTextFormat(Qt::PlainText);
    return pLabel;
}

// The core's texts end their lines with LF or CR LF; the views want LF.
QString ViewText(const std::string& szAnsi)
{
    std::string szText;
    szText.reserve(szAnsi.size());
    for (size_t i = 0; i < szAnsi.size(); ++i)
        if (!(szAnsi[i] == '\r' && i + 1 < szAnsi.size() && szAnsi[i + 1] == '\n'))
            szText += szAnsi[i];
    return Ansi::ToQString(szText);
}
} // namespace

CDebugPage::CDebugPage(CPageFrame& frame) : m_Frame(frame)
{
    setObjectName("DebugSheet");
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);

    DebugFunctionSelect = new QListWidget(this);
    DebugFunctionSelect->setObjectName("DebugFunctionSelect");
    DebugFunctionSelect->setSelectionMode(QAbstractItemView::SingleSelection);
    DebugFunctionSelect->setMaximumWidth(110);
    connect(DebugFunctionSelect, &QListWidget::itemSelectionChanged, this, &CDebugPage::DebugFunctionSelectChange);

    DebugCacheStat = new QLabel(this);
    DebugCacheStat->setObjectName("DebugCacheStat");
    DebugCacheStat->setTextFormat(Qt::PlainText);
    DebugCacheStat->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    DebugCacheStat->setTextInteractionFlags(Qt::TextSelectableByMouse);

    DebugDependencies = new QLabel(this);
    DebugDependencies->setObjectName("DebugDependencies");
    DebugDependencies->setTextFormat(Qt::PlainText);
    DebugDependencies->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    DebugDependencies->setWordWrap(true);
    DebugDependencies->setTextInteractionFlags(Qt::TextSelectableByMouse);

    DebugCodeView = new QPlainTextEdit(this);
    DebugCodeView->setObjectName("DebugCodeView");
    DebugCodeView->setReadOnly(true);
    DebugCodeView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    DebugCodeView->setFont(fixed);

    DebugProjectDump = new QPlainTextEdit(this);
    DebugProjectDump->setObjectName("DebugProjectDump");
    DebugProjectDump->setReadOnly(true);
    DebugProjectDump->setLineWrapMode(QPlainTextEdit::NoWrap);
    DebugProjectDump->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    DebugProjectDump->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    DebugProjectDump->setFont(fixed);

    auto* pLayout = new QGridLayout(this);
    pLayout->setContentsMargins(8, 8, 8, 8);
    pLayout->addWidget(DebugFunctionSelect, 0, 0, 4, 1);
    pLayout->addWidget(Caption("Cache-Statistik:", this), 0, 1);
    pLayout->addWidget(DebugCacheStat, 1, 1);
    pLayout->addWidget(Caption("Abh\u00E4ngigkeiten:", this), 2, 1);
    pLayout->addWidget(DebugDependencies, 3, 1);
    pLayout->addWidget(Caption("Kompilierter Code:", this), 0, 2);
    pLayout->addWidget(DebugCodeView, 1, 2, 3, 1);
    pLayout->addWidget(Caption("Projekt, wie es gespeichert wird:", this), 4, 0, 1, 3);
    pLayout->addWidget(DebugProjectDump, 5, 0, 1, 3);
    pLayout->setColumnStretch(1, 1);
    pLayout->setColumnStretch(2, 2);
    pLayout->setRowStretch(3, 1);
    pLayout->setRowStretch(5, 1);
}

namespace {
class CDumpFolder {
public:
    ~CDumpFolder() { Remove(); }

    // The folder in szBase, made anew when it is gone or szBase changed.
    const std::string& In(const std::string& szBase)
    {
        struct stat info;
        if (szBase != m_szBase || m_szDir.empty() || lstat(m_szDir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
            info.st_uid != geteuid()) {
            Remove();
            m_szBase = szBase;
            std::string szTemplate = szBase + "/kurvix-XXXXXX";
            if (mkdtemp(szTemplate.data()))
                m_szDir = szTemplate;
        }
        return m_szDir;
    }

private:
    void Remove()
    {
        if (m_szDir.empty())
            return;
        unlink((m_szDir + "/dump.kvd").c_str());
        rmdir(m_szDir.c_str());
        m_szDir.clear();
    }

    std::string m_szBase;
    std::string m_szDir;
};
} // namespace

std::string CDebugPage::DumpPath()
{
    const char* pszDirectory = std::getenv("TEMP");
    if (!pszDirectory || !*pszDirectory)
        pszDirectory = std::getenv("TMPDIR");
    if (!pszDirectory || !*pszDirectory)
        pszDirectory = "/tmp";
    static CDumpFolder s_Folder;
    const std::string& szFolder = s_Folder.In(pszDirectory);
    return szFolder.empty() ? std::string() : szFolder + "/dump.kvd";
}

QString CDebugPage::DependencyText(CFuncTerm& term)
{
    term.EnsureDependencies();
    static const char g_Letters[FUNC_NSLOTS + 1] = "tuvabcd";
    QString szText;
    for (unsigned i = 0; i < FUNC_NSLOTS; ++i)
        if (term.GetDepVar()[i])
            szText += QString::asprintf("%c ", g_Letters[i]);
    for (unsigned n = 1; n <= MAX_FUNCTIONS; ++n)
        if (term.GetDepFunc()[n])
            szText += QString::asprintf("f%u ", n);
    return szText;
}

QString CDebugPage::StatisticsText(const std::string& szCore)
{
    // The cache counts its figures in the words of its programmers; the page shows them in German.
    static const char* const g_Labels[][2] = {
        {"hits", "Treffer"},
        {"misses", "Fehlzugriffe"},
        {"items", "Eintr\u00E4ge"},
        {"peak hash usage", "l\u00E4ngste Kette"},
        {"avg hash usage", "mittlere Kettenl\u00E4nge"},
    };
    QString szText;
    for (const QString& szLine : ViewText(szCore).split('\n', Qt::SkipEmptyParts)) {
        const int nBlank = szLine.indexOf(' ');
        QString szLabel = nBlank < 0 ? QString() : szLine.mid(nBlank + 1);
        for (const auto& label : g_Labels)
            if (szLabel == label[0])
                szLabel = QString::fromUtf8(label[1]);
        szText += (nBlank < 0 ? szLine : szLine.left(nBlank) + ' ' + szLabel) + '\n';
    }
    return szText;
}

void CDebugPage::DebugSheetEnter()
{
    // Also a fresh document (Neu, Öffnen) comes through here: nothing of the old one stays.
    CProject& project = m_Frame.Document();
    const QList<QListWidgetItem*> selected = DebugFunctionSelect->selectedItems();
    const QString szSelected = selected.isEmpty() ? QString() : selected.first()->text();
    DebugFunctionSelect->blockSignals(true);
    DebugFunctionSelect->clear();
    DebugFunctionSelect->addItem(TRANSFORM_ENTRY);
    for (unsigned n = 1; n <= MAX_FUNCTIONS; ++n)
        if (project.GetFunction(n))
            DebugFunctionSelect->addItem(QString::asprintf("f%u", n));
    DebugFunctionSelect->blockSignals(false);
    DebugCacheStat->clear();
    DebugCodeView->clear();
    DebugDependencies->clear();
    WriteDump();
    // What was looked at is shown again, as it is now.
    const QList<QListWidgetItem*> again = DebugFunctionSelect->findItems(szSelected, Qt::MatchExactly);
    if (!szSelected.isEmpty() && !again.isEmpty())
        DebugFunctionSelect->setCurrentItem(again.first());
}

void CDebugPage::WriteDump()
{
    const CProject& project = m_Frame.Document();
    const std::string szPath = DumpPath();
    // The dump is not the user's file: written by the writer alone, it leaves what is unsaved
    // unsaved.
    try {
        if (szPath.empty())
            throw ELoadSaveError{0, EFileCause::FolderNotFound};
        CProjectWriter::SaveDump(project, szPath.c_str());
    } catch (const ELoadSaveError&) {
        DebugProjectDump->clear();
        m_Frame.ShowStatus("Fehler beim Speichern");
        return;
    }
    std::ifstream file(szPath, std::ios::binary);
    const std::string szDump((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    DebugProjectDump->setPlainText(ViewText(szDump));
}

void CDebugPage::DebugFunctionSelectChange()
{
    const QList<QListWidgetItem*> selected = DebugFunctionSelect->selectedItems();
    if (selected.isEmpty())
        return;
    CProject& project = m_Frame.Document();
    const std::string szEntry = selected.first()->text().toStdString();
    unsigned nFunction = 0;
    CFuncTerm* pTerm;
    if (std::sscanf(szEntry.c_str(), "f%u", &nFunction) == 1)
        pTerm = nFunction >= 1 && nFunction <= MAX_FUNCTIONS ? project.GetFunction(nFunction) : nullptr;
    else
        pTerm = project.m_pTransform.get();
    if (!pTerm) {
        DebugCacheStat->clear();
        DebugCodeView->clear();
        return;
    }
    char szBuffer[8192];
    pTerm->GetStatistics(szBuffer, sizeof szBuffer);
    DebugCacheStat->setText(StatisticsText(szBuffer));
    pTerm->GetListing(szBuffer, sizeof szBuffer);
    DebugCodeView->setPlainText(ViewText(szBuffer));
    DebugDependencies->setText(DependencyText(*pTerm));
}
