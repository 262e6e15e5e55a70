#include "ui/CWetaPage.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <new>
#include <optional>

#include "project/CAtomicFile.h"
#include "project/CFileMessage.h"
#include "project/CProject.h"
#include "project/CShownNumber.h"
#include "render/CValueTable.h"
#include "ui/CAnsi.h"
#include "ui/CFileName.h"
#include "ui/CPageFrame.h"
#include "ui/CTickClock.h"
#include "ui/CUserDialogs.h"
#include "view/CWorkBudget.h"
#include "view/EWorkBudget.h"

CWetaPage::CWetaPage(CPageFrame& frame) : m_Frame(frame), m_pClock(std::make_unique<CTickClock>())
{
    setObjectName("WetaSheet");
    WetaGrid = new QTableWidget(this);
    WetaGrid->setObjectName("WetaGrid");
    WetaGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    WetaGrid->setSelectionMode(QAbstractItemView::ContiguousSelection);
    WetaGrid->setSelectionBehavior(QAbstractItemView::SelectItems);
    WetaGrid->verticalHeader()->hide();
    WetaGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    WetaGrid->verticalHeader()->setDefaultSectionSize(std::max(20, WetaGrid->fontMetrics().height() + 4));
    QHeaderView* pHeader = WetaGrid->horizontalHeader();
    pHeader->setDefaultSectionSize(80);
    pHeader->setSectionsMovable(true);
    pHeader->setSectionResizeMode(QHeaderView::Interactive);
    pHeader->setHighlightSections(false);
    WetaInfo = new QLabel(this);
    WetaInfo->setObjectName("WetaInfo");
    WetaInfo->setTextFormat(Qt::PlainText);
    WetaInfo->setContentsMargins(4, 2, 4, 2);
    SaveCsvButton = new QPushButton("Als CSV speichern\u2026", this);
    SaveCsvButton->setObjectName("SaveCsvButton");
    SaveCsvButton->setToolTip("Die Wertetafel als Datei f\u00FCr Tabellenkalkulationen (CSV, UTF-8)");
    SaveCsvButton->setEnabled(false);
    connect(SaveCsvButton, &QPushButton::clicked, this, &CWetaPage::SaveCsvClick);
    auto* pTop = new QHBoxLayout;
    pTop->setContentsMargins(0, 0, 4, 0);
    pTop->addWidget(WetaInfo, 1);
    pTop->addWidget(SaveCsvButton);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    pLayout->addLayout(pTop);
    pLayout->addWidget(WetaGrid);
    SetSize(4, 2);

    BuildTimer = new QTimer(this);
    BuildTimer->setObjectName("WetaBuildTimer");
    BuildTimer->setInterval(TIMER_INTERVAL);
    connect(BuildTimer, &QTimer::timeout, this, &CWetaPage::BuildTimerEvent);
}

CWetaPage::~CWetaPage()
{
    EndBuilding();
}

void CWetaPage::SetClock(std::unique_ptr<CTickClock> pClock)
{
    m_pClock = std::move(pClock);
}

void CWetaPage::SetSize(int nColumns, int nRows)
{
    // Rebuilding also puts moved columns back in their places.
    WetaGrid->clear();
    WetaGrid->setColumnCount(0);
    WetaGrid->setRowCount(0);
    WetaGrid->setColumnCount(nColumns);
    WetaGrid->setRowCount(nRows);
    WetaGrid->setRowHidden(0, true);
    QStringList headers;
    for (int c = 0; c < nColumns; ++c)
        headers << QString();
    WetaGrid->setHorizontalHeaderLabels(headers);
}

void CWetaPage::WetaSheetEnter()
{
    EndBuilding();
    if (CAnimationStep* pStep = m_Frame.CurrentStep()) {
        m_pTable = std::make_unique<CValueTable>();
        m_pTable->Begin(m_Frame.Document(), pStep);
        m_pTableStep = pStep;
        m_nLostSince = CFuncTerm::GetLostNanoseconds();
        const std::vector<std::string>& headings = m_pTable->m_Cells[0];
        const int nColumns = static_cast<int>(headings.size());
        SetSize(nColumns, 1);
        QStringList headers;
        for (const std::string& szHeading : headings) {
            const QString szCell = Ansi::ToQString(szHeading);
            auto* pItem = new QTableWidgetItem(szCell);
            pItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            WetaGrid->setItem(0, static_cast<int>(headers.size()), pItem);
            headers << szCell;
        }
        WetaGrid->setHorizontalHeaderLabels(headers);
        // Every cell whole: numbers cut to "0...." say nothing.
        const QFontMetrics metrics(WetaGrid->horizontalHeader()->font());
        m_nWidths.clear();
        for (const QString& szHeader : headers)
            m_nWidths.push_back(std::max(40, metrics.horizontalAdvance(szHeader) + 16));
        // A usual table is done within this first slice, as in one piece; a long one goes on from
        // the timer, a slice a tick.
        if (BuildSlice()) {
            QApplication::setOverrideCursor(Qt::BusyCursor);
            m_bBusyCursor = true;
            BuildTimer->start();
        }
    }
    m_Frame.EnableCommand(CPageFrame::COMMAND_COPY, true);
}

void CWetaPage::BuildTimerEvent()
{
    if (m_pTable)
        BuildSlice();
}

bool CWetaPage::BuildSlice()
{
    m_pClock->StartSlice(SLICE);
    bool bMore;
    try {
        CWorkBudget budget(m_Frame.Document(), m_nLostSince);
        bMore = m_pTable->Fill(m_pClock.get());
    } catch (const EWorkBudget& error) {
        const int nDone = static_cast<int>(m_pTable->RowsDone());
        ShowRows();
        WetaInfo->setText(InfoText(*m_pTableStep, static_cast<int>(m_pTable->m_Cells.size()) - 1) +
                          QString(" \u2013 abgebrochen, %1 davon berechnet.").arg(nDone));
        EndBuilding();
        m_Frame.ShowStatus(QString::fromLatin1(error.Message().c_str()));
        return false;
    }
    ShowRows();
    const int nRows = static_cast<int>(m_pTable->m_Cells.size()) - 1;
    if (bMore) {
        m_Frame.ShowStatus(
            QString("Berechne Wertetafel... %1 von %2 Zeilen (Esc bricht ab)").arg(m_pTable->RowsDone()).arg(nRows));
        return true;
    }
    const bool bShowedProgress = m_bBusyCursor;
    WetaInfo->setText(InfoText(*m_pTableStep, nRows));
    EndBuilding();
    if (bShowedProgress)
        m_Frame.ShowStatus(QString());
    return false;
}

void CWetaPage::ShowRows()
{
    constexpr int MARGIN = 16; // the cell's padding and its grid line, with some air
    const QFontMetrics metrics(WetaGrid->font());
    const int nFirst = WetaGrid->rowCount();
    const int nRows = static_cast<int>(m_pTable->RowsDone()) + 1;
    if (nRows <= nFirst)
        return;
    WetaGrid->setUpdatesEnabled(false);
    WetaGrid->setRowCount(nRows);
    for (int r = nFirst; r < nRows; ++r) {
        const std::vector<std::string>& row = m_pTable->m_Cells[static_cast<size_t>(r)];
        for (size_t c = 0; c < row.size(); ++c) {
            const QString szCell = Ansi::ToQString(row[c]);
            auto* pItem = new QTableWidgetItem(szCell);
            pItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            WetaGrid->setItem(r, static_cast<int>(c), pItem);
            m_nWidths[c] = std::max(m_nWidths[c], metrics.horizontalAdvance(szCell) + MARGIN);
        }
    }
    for (size_t c = 0; c < m_nWidths.size(); ++c)
        WetaGrid->setColumnWidth(static_cast<int>(c), m_nWidths[c]);
    WetaGrid->setUpdatesEnabled(true);
}

void CWetaPage::EndBuilding()
{
    BuildTimer->stop();
    // The rows of a table begun are shown, all of them or those done when it was cut off.
    SaveCsvButton->setEnabled(m_pTable != nullptr);
    m_pTable.reset();
    if (m_bBusyCursor)
        QApplication::restoreOverrideCursor();
    m_bBusyCursor = false;
}

void CWetaPage::Cancel()
{
    if (!m_pTable)
        return;
    const int nDone = static_cast<int>(m_pTable->RowsDone());
    const int nRows = static_cast<int>(m_pTable->m_Cells.size()) - 1;
    EndBuilding();
    WetaInfo->setText(InfoText(*m_pTableStep, nRows) + QString(" \u2013 abgebrochen, %1 davon berechnet.").arg(nDone));
    m_Frame.ShowStatus("Berechnung der Wertetafel abgebrochen");
}

QString CWetaPage::InfoText(const CAnimationStep& step, int nRows) const
{
    int nPosition = 1, nSteps = 0;
    for (const CAnimationStep* p = m_Frame.Document().m_pFirstStep; p; p = p->m_pNext) {
        ++nSteps;
        if (p == &step)
            nPosition = nSteps;
    }
    QString szText = QString("Schritt %1 von %2").arg(nPosition).arg(nSteps);
    const QString szName = Ansi::ToQString(step.m_szName);
    if (!szName.isEmpty())
        szText += " \u201E" + szName + "\u201C";
    // All samples of the step, which may be far more than a 64-bit count holds.
    double dSamples = 1.0;
    for (unsigned i = 0; i < FUNC_NVARS; ++i)
        dSamples *= double(step.m_nCount[i]) + 1.0;
    QString szSamples = dSamples < 1e15 ? QString::number(dSamples, 'f', 0) : QString::number(dSamples, 'g', 3);
    if (CShownNumber::Comma(m_Frame.Document()))
        szSamples.replace('.', ',');
    if (dSamples > nRows)
        return szText + QString(": %1 von %2 Zeilen gezeigt; die Tafel endet nach %3 Zeilen.")
                            .arg(nRows)
                            .arg(szSamples)
                            .arg(CValueTable::MAX_ROWS);
    return szText + QString(": %1 Zeilen").arg(nRows);
}

void CWetaPage::WetaSheetExit()
{
    if (m_bBusyCursor)
        m_Frame.ShowStatus(QString());
    EndBuilding();
    SetSize(1, 2);
    SaveCsvButton->setEnabled(false);
    WetaInfo->clear();
    m_Frame.EnableCommand(CPageFrame::COMMAND_COPY, false);
}

QString CWetaPage::GridText() const
{
    const QHeaderView* pHeader = WetaGrid->horizontalHeader();
    QString szText;
    for (int r = 0; r < WetaGrid->rowCount(); ++r) {
        for (int v = 0; v < WetaGrid->columnCount(); ++v) {
            if (v > 0)
                szText += '\t';
            if (const QTableWidgetItem* pItem = WetaGrid->item(r, pHeader->logicalIndex(v)))
                szText += pItem->text();
        }
        szText += "\r\n";
    }
    return szText;
}

std::string CWetaPage::GridCsv() const
{
    const QHeaderView* pHeader = WetaGrid->horizontalHeader();
    std::vector<std::vector<std::string>> rows;
    for (int r = 0; r < WetaGrid->rowCount(); ++r) {
        std::vector<std::string>& row = rows.emplace_back();
        for (int v = 0; v < WetaGrid->columnCount(); ++v) {
            const QTableWidgetItem* pItem = WetaGrid->item(r, pHeader->logicalIndex(v));
            row.push_back(pItem ? pItem->text().toStdString() : std::string());
        }
    }
    return CValueTable::CsvOf(std::move(rows), CShownNumber::Comma(m_Frame.Document()));
}

void CWetaPage::SaveCsvClick()
{
    const QString szName = m_Frame.Dialogs().SaveFileName(
        this, m_szCsvName.isEmpty() ? QString("Wertetafel.csv") : m_szCsvName, "CSV-Dateien (*.csv);;Alle Dateien (*)");
    if (szName.isEmpty())
        return;
    m_szCsvName = szName;
    SaveCsv(szName);
}

bool CWetaPage::SaveCsv(const QString& szFileName)
{
    std::optional<ELoadSaveError> failure;
    try {
        const std::string szText = GridCsv();
        CAtomicFile file(CFileName::Encode(szFileName).toStdString());
        file.Write(szText.data(), szText.size());
        file.Commit();
    } catch (const ELoadSaveError& error) {
        failure = error;
    } catch (const std::bad_alloc&) {
        failure = ELoadSaveError{0, EFileCause::OutOfMemory};
    }
    if (failure) {
        m_Frame.Dialogs().Warning(
            this, QString::fromStdString(CFileMessage::Save(
                      szFileName.toStdString(), *failure, ("Fehler beim Speichern von " + szFileName).toStdString())));
        return false;
    }
    m_Frame.ShowStatus("Wertetafel gespeichert: " + szFileName);
    return true;
}
