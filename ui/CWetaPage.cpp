#include "ui/CWetaPage.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "project/CProject.h"
#include "render/CValueTable.h"
#include "ui/CAnsi.h"
#include "ui/CPageFrame.h"

CWetaPage::CWetaPage(CPageFrame& frame) : m_Frame(frame)
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
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    pLayout->addWidget(WetaInfo);
    pLayout->addWidget(WetaGrid);
    SetSize(4, 2);
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
    CAnimationStep* pStep = m_Frame.CurrentStep();
    if (pStep) {
        CValueTable table;
        table.Build(m_Frame.Document(), pStep);
        const int nRows = static_cast<int>(table.m_Cells.size());
        const int nColumns = static_cast<int>(table.m_Cells[0].size());
        WetaGrid->setUpdatesEnabled(false);
        SetSize(nColumns, nRows);
        QStringList headers;
        for (int r = 0; r < nRows; ++r) {
            for (int c = 0; c < nColumns; ++c) {
                const QString szCell = Ansi::ToQString(table.m_Cells[static_cast<size_t>(r)][static_cast<size_t>(c)]);
                auto* pItem = new QTableWidgetItem(szCell);
                pItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
                WetaGrid->setItem(r, c, pItem);
                if (r == 0)
                    headers << szCell;
            }
        }
        WetaGrid->setHorizontalHeaderLabels(headers);
        FitColumns();
        WetaGrid->setUpdatesEnabled(true);
        WetaInfo->setText(InfoText(*pStep, nRows - 1));
    }
    m_Frame.EnableCommand(CPageFrame::COMMAND_COPY, true);
}

void CWetaPage::FitColumns()
{
    // Every cell whole: numbers cut to "0...." say nothing.
    const QFontMetrics cells(WetaGrid->font());
    const QFontMetrics headers(WetaGrid->horizontalHeader()->font());
    constexpr int MARGIN = 16; // the cell's padding and its grid line, with some air
    for (int c = 0; c < WetaGrid->columnCount(); ++c) {
        int nWidth = 40;
        for (int r = 0; r < WetaGrid->rowCount(); ++r) {
            if (const QTableWidgetItem* pItem = WetaGrid->item(r, c))
                nWidth = std::max(nWidth, (r == 0 ? headers : cells).horizontalAdvance(pItem->text()) + MARGIN);
        }
        WetaGrid->setColumnWidth(c, nWidth);
    }
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
    const QString szSamples = dSamples < 1e15 ? QString::number(dSamples, 'f', 0) : QString::number(dSamples, 'g', 3);
    if (dSamples > nRows)
        return szText + QString(": %1 von %2 Zeilen gezeigt; die Tafel endet nach %3 Zeilen.")
                            .arg(nRows)
                            .arg(szSamples)
                            .arg(CValueTable::MAX_ROWS);
    return szText + QString(": %1 Zeilen").arg(nRows);
}

void CWetaPage::WetaSheetExit()
{
    SetSize(1, 2);
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
