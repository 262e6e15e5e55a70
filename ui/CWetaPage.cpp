#include "ui/CWetaPage.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "render/CValueTable.h"
#include "ui/CAnsi.h"
#include "ui/TMainForm.h"

CWetaPage::CWetaPage(TMainForm& form) : m_Form(form)
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
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
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
    CAnimationStep* pStep = m_Form.m_pCurrentStep;
    if (pStep) {
        CValueTable table;
        table.Build(*m_Form.m_pDocument, pStep);
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
        WetaGrid->setUpdatesEnabled(true);
    }
    m_Form.CopyButton->setEnabled(true);
}

void CWetaPage::WetaSheetExit()
{
    SetSize(1, 2);
    m_Form.CopyButton->setEnabled(false);
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
