#include "ui/CFunctionsPage.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QSettings>
#include <QSplitter>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "expr/CFuncHints.h"
#include "expr/EFuncError.h"
#include "project/CProject.h"
#include "ui/CAnsi.h"
#include "ui/CEditGrid.h"
#include "ui/CFunctionsGraph.h"
#include "ui/CGraphView.h"
#include "ui/CGridDelegate.h"
#include "ui/CPageFrame.h"
#include "ui/CStepEditors.h"
#include "ui/CUndoHistory.h"
#include "ui/CUpdateGuard.h"

CFunctionsPage::CFunctionsPage(CPageFrame& frame) : m_Frame(frame)
{
    setObjectName("FunctionsSheet");
    m_pFunctionsGrid = new CEditGrid(static_cast<int>(MAX_FUNCTIONS), 2, this);
    QTableWidget& grid = *m_pFunctionsGrid;
    grid.setObjectName("FunctionsGrid");
    grid.horizontalHeader()->hide();
    grid.verticalHeader()->hide();
    grid.setShowGrid(false);
    grid.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid.setSelectionMode(QAbstractItemView::SingleSelection);
    grid.setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                         QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    grid.setTabKeyNavigation(false);
    const QFontMetrics metrics(grid.font());
    const int nRowHeight = std::max(20, metrics.height() + 6);
    grid.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid.verticalHeader()->setDefaultSectionSize(nRowHeight);
    grid.verticalHeader()->setMinimumSectionSize(nRowHeight);
    // The label column holds the sample box (row height - 8), gaps and "f50".
    const int nLabelWidth = std::max(40, 2 + (nRowHeight - 8) + 4 + metrics.horizontalAdvance("f50") + 4);
    grid.horizontalHeader()->setMinimumSectionSize(1);
    grid.setColumnWidth(0, nLabelWidth);
    grid.horizontalHeader()->setStretchLastSection(true);
    m_pDelegate = new CGridDelegate(frame, CGridDelegate::FunctionsGrid, &grid);
    m_pDelegate->SetEditTextHandler(
        [this](int nRow, int nColumn, const QString& szText) { FunctionsGridSetEditText(nColumn, nRow, szText); });
    m_pDelegate->SetCellErrorHandler(
        [this](int nRow, int nColumn) { return nColumn == 1 ? FormulaError(nRow) : QString(); });
    m_pDelegate->SetCellHintHandler(
        [this](int nRow, int nColumn) { return nColumn == 1 ? FormulaHint(nRow) : QString(); });
    // Escape takes back what was typed; the document gets the text the cell shows again.
    connect(m_pDelegate, &QAbstractItemDelegate::closeEditor, this,
            [this](QWidget*, QAbstractItemDelegate::EndEditHint hint) {
                const int nRow = m_pFunctionsGrid->currentRow();
                if (hint == QAbstractItemDelegate::RevertModelCache && nRow >= 0)
                    if (const QTableWidgetItem* pItem = m_pFunctionsGrid->item(nRow, 1))
                        FunctionsGridSetEditText(1, nRow, pItem->text());
                m_pGraph->Redraw(); // a formula left broken is no longer held
            });
    grid.setItemDelegate(m_pDelegate);
    m_Errors.resize(MAX_FUNCTIONS);
    m_TextHints.resize(MAX_FUNCTIONS);
    m_Hints.resize(MAX_FUNCTIONS);
    m_bNew.resize(MAX_FUNCTIONS, true);
    m_pDelegate->SetExampleText(EXAMPLE_TEXT);
    grid.viewport()->installEventFilter(this);

    m_pStepEditors = new CStepEditors(frame, this);

    // Without the graph the splitter holds the editors alone, placed as they always were.
    m_pSplitter = new QSplitter(Qt::Horizontal, this);
    m_pSplitter->setObjectName("FunctionsSplitter");
    m_pSplitter->setChildrenCollapsible(false);
    auto* pEditors = new QWidget(m_pSplitter);
    auto* pEditorsLayout = new QVBoxLayout(pEditors);
    pEditorsLayout->setContentsMargins(0, 0, 0, 0);
    pEditorsLayout->setSpacing(2);
    pEditorsLayout->addWidget(m_pFunctionsGrid, 1);
    pEditorsLayout->addWidget(m_pStepEditors, 0);
    m_pGraph = new CFunctionsGraph(frame, m_pSplitter);
    m_pSplitter->addWidget(pEditors);
    m_pSplitter->addWidget(m_pGraph);
    m_pSplitter->setStretchFactor(0, 0);
    m_pSplitter->setStretchFactor(1, 1);
    m_pGraph->setMinimumWidth(MIN_GRAPH_WIDTH);
    m_bDivided = m_pSplitter->restoreState(QSettings().value(SPLITTER_KEY).toByteArray());
    connect(m_pSplitter, &QSplitter::splitterMoved, this, [this] {
        FormResize();
        QSettings().setValue(SPLITTER_KEY, m_pSplitter->saveState());
    });
    m_pGraph->m_Hold = [this] { return TypingBrokenFormula(); };
    connect(m_pStepEditors, &CStepEditors::StepShown, this, [this] {
        m_pFunctionsGrid->viewport()->update();
        m_pGraph->Redraw();
    });
    connect(&frame.History(), &CUndoHistory::Changed, m_pGraph, &CFunctionsGraph::Redraw);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(8, 8, 8, 4);
    pLayout->addWidget(m_pSplitter);
}

void CFunctionsPage::ShowGraph(bool bShow)
{
    m_pGraph->setVisible(bShow);
    if (!bShow)
        m_pGraph->Exit();
    // The zoom and trace commands act on the graph shown.
    if (m_Frame.IsPageShown(this)) {
        for (const CPageFrame::ECommand eCommand :
             {CPageFrame::COMMAND_ZOOMIN, CPageFrame::COMMAND_ZOOMOUT, CPageFrame::COMMAND_TRACE})
            m_Frame.EnableCommand(eCommand, bShow);
    }
    FormResize();
}

void CFunctionsPage::showEvent(QShowEvent* pEvent)
{
    QWidget::showEvent(pEvent);
    // The first time the page is shown without a division the user chose, the graph gets a good
    // part of it; the editors keep what they need.
    if (m_bDivided || !GraphShown())
        return;
    m_bDivided = true;
    const int nWidth = m_pSplitter->width() - m_pSplitter->handleWidth();
    const int nEditors = std::max(m_pSplitter->widget(0)->minimumSizeHint().width(), nWidth * 11 / 20);
    m_pSplitter->setSizes({nEditors, std::max(MIN_GRAPH_WIDTH, nWidth - nEditors)});
    FormResize();
}

bool CFunctionsPage::GraphShown() const
{
    return !m_pGraph->isHidden();
}

void CFunctionsPage::FunctionsSheetEnter()
{
    m_pStepEditors->FollowDecimalSign();
    if (GraphShown()) {
        for (const CPageFrame::ECommand eCommand :
             {CPageFrame::COMMAND_ZOOMIN, CPageFrame::COMMAND_ZOOMOUT, CPageFrame::COMMAND_TRACE})
            m_Frame.EnableCommand(eCommand, true);
        m_pGraph->Enter();
    }
    FocusFormula();
}

void CFunctionsPage::FunctionsSheetExit()
{
    m_pGraph->Exit();
    for (const CPageFrame::ECommand eCommand :
         {CPageFrame::COMMAND_ZOOMIN, CPageFrame::COMMAND_ZOOMOUT, CPageFrame::COMMAND_TRACE})
        m_Frame.EnableCommand(eCommand, false);
}

bool CFunctionsPage::TypingBrokenFormula() const
{
    const auto* pGrid = static_cast<const CEditGrid*>(m_pFunctionsGrid);
    return pGrid->Editing() && !FormulaError(pGrid->currentRow()).isEmpty();
}

QTableWidget* CFunctionsPage::VariablesBox() const
{
    return m_pStepEditors->VariablesBox();
}

void CFunctionsPage::FillFunctionsGrid(bool bKeepFailing)
{
    const CUpdateGuard guard(m_Frame);
    QTableWidget& grid = *m_pFunctionsGrid;
    grid.setRowCount(static_cast<int>(MAX_FUNCTIONS));
    bool bEmpty = true;
    for (unsigned r = 0; r < MAX_FUNCTIONS; ++r) {
        const CFuncTerm* pTerm = m_Frame.Document().GetFunction(r + 1);
        if (bKeepFailing && !pTerm && !m_Errors[r].isEmpty() && grid.item(static_cast<int>(r), 1)) {
            bEmpty = false;
            continue;
        }
        m_Errors[r].clear();
        auto* pLabel = new QTableWidgetItem(QString("f%1").arg(r + 1));
        pLabel->setFlags(Qt::ItemIsEnabled);
        grid.setItem(static_cast<int>(r), 0, pLabel);
        grid.setItem(static_cast<int>(r), 1,
                     new QTableWidgetItem(pTerm ? Ansi::ToQString(pTerm->GetText()) : QString()));
        m_bNew[r] = !pTerm;
        bEmpty = bEmpty && !pTerm;
    }
    UpdateHints(-1);
    if (bEmpty)
        m_Frame.ShowStatus(FIRST_STEP_HINT);
    grid.viewport()->update();
}

QString CFunctionsPage::FormulaHint(int nRow) const
{
    return nRow >= 0 && static_cast<size_t>(nRow) < m_Hints.size() ? m_Hints[static_cast<size_t>(nRow)] : QString();
}

void CFunctionsPage::UpdateHints(int nEditedRow)
{
    const CProject& project = m_Frame.Document();
    const auto ToQStrings = [](const std::vector<std::string>& hints) {
        QStringList list;
        for (const std::string& szHint : hints)
            list << Ansi::ToQString(szHint);
        return list;
    };
    for (unsigned r = 0; r < MAX_FUNCTIONS; ++r) {
        CFuncTerm* pTerm = project.m_pFunctions[r].get();
        if (nEditedRow < 0 || static_cast<unsigned>(nEditedRow) == r)
            m_TextHints[r] = pTerm ? ToQStrings(CFuncHints::OfText(r + 1, pTerm->GetText())) : QStringList();
        QStringList hints = m_TextHints[r];
        if (pTerm)
            hints << ToQStrings(CFuncHints::OfReferences(*pTerm));
        m_Hints[r] = hints.join(". ");
    }
    m_pFunctionsGrid->viewport()->update();
}

QString CFunctionsPage::FormulaError(int nRow) const
{
    return nRow >= 0 && static_cast<size_t>(nRow) < m_Errors.size() ? m_Errors[static_cast<size_t>(nRow)] : QString();
}

QStringList CFunctionsPage::FailingFunctions() const
{
    QStringList names;
    for (size_t r = 0; r < m_Errors.size(); ++r)
        if (!m_Errors[r].isEmpty())
            names << QString("f%1").arg(r + 1);
    return names;
}

void CFunctionsPage::FillStepsBox()
{
    m_pStepEditors->FillStepsBox();
}

void CFunctionsPage::SelectStep(int nPosition)
{
    m_pStepEditors->SelectStep(nPosition);
}

void CFunctionsPage::WriteVariablesHeadings()
{
    m_pStepEditors->WriteVariablesHeadings();
}

void CFunctionsPage::FormResize()
{
    QTableWidget& grid = *m_pFunctionsGrid;
    grid.setColumnWidth(1, std::max(1, grid.viewport()->width() - grid.columnWidth(0)));
    m_pStepEditors->FormResize();
}

void CFunctionsPage::FocusFormula()
{
    QTableWidget& grid = *m_pFunctionsGrid;
    if (grid.currentRow() < 0 || grid.currentColumn() != 1)
        grid.setCurrentCell(std::clamp(m_nLastRow, 0, grid.rowCount() - 1), 1);
    grid.setFocus();
}

void CFunctionsPage::FunctionsGridSetEditText(int, int nRow, const QString& szText)
{
    if (m_Frame.IsUpdating())
        return;
    m_nLastRow = nRow;
    const std::string szAnsi = Ansi::FromQString(szText, Ansi::FORMULA_REPLACEMENT);
    try {
        CProject& project = m_Frame.Document();
        const unsigned nIndex = static_cast<unsigned>(nRow + 1);
        project.SetFunction(nIndex, szAnsi.c_str());
        // A formula typed into an empty cell is shown at once, in a colour of its own; within
        // the same undo step, as the change is noticed after this keystroke.
        const size_t r = static_cast<size_t>(nRow);
        if (r < m_bNew.size()) {
            if (!project.GetFunction(nIndex)) {
                m_bNew[r] = m_bNew[r] || szText.trimmed().isEmpty();
            } else if (m_bNew[r]) {
                m_bNew[r] = false;
                if (CAnimationStep* pStep = m_Frame.CurrentStep()) {
                    project.ShowNewFunction(*pStep, nIndex);
                    m_pFunctionsGrid->viewport()->update();
                }
            }
        }
        SetError(nRow, QString());
        UpdateHints(nRow);
        m_pGraph->Redraw();
        const QString szHint = FormulaHint(nRow);
        m_Frame.ShowStatus(szHint.isEmpty() ? QString() : "Hinweis zu f" + QString::number(nRow + 1) + ": " + szHint);
    } catch (const EFuncError& error) {
        const QString szExcerpt = Ansi::Excerpt(szText, error.m_nPosition);
        const QString szMessage =
            Ansi::ToQString(error.m_pszMessage) + " in f" + QString::number(nRow + 1) + " bei: " + szExcerpt;
        m_Frame.ShowStatus(szMessage);
        UpdateHints(nRow);
        // The tooltip is read later, away from the typing: an error at the end shows that end.
        int nStart = 0;
        while (nStart < szText.size() && szText[nStart] == ' ')
            ++nStart;
        SetError(nRow, szExcerpt.isEmpty() ? szMessage + "(Ende von \u201E" + szText.mid(nStart) + "\")" : szMessage);
    }
}

void CFunctionsPage::SetError(int nRow, const QString& szMessage)
{
    if (nRow < 0 || static_cast<size_t>(nRow) >= m_Errors.size() || m_Errors[static_cast<size_t>(nRow)] == szMessage)
        return;
    m_Errors[static_cast<size_t>(nRow)] = szMessage;
    m_pFunctionsGrid->viewport()->update();
}

bool CFunctionsPage::FunctionsGridMouseDown(const QPoint& pos)
{
    QTableWidget& grid = *m_pFunctionsGrid;
    const int nRow = grid.rowAt(pos.y());
    if (nRow < 0)
        return pos.x() < grid.columnWidth(0); // below the last row: nothing
    grid.setCurrentCell(nRow, 1);
    if (pos.x() >= grid.columnWidth(0))
        return false;
    const int nMenuBar = QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
    m_Frame.PopupStyleMenu(&grid, grid.viewport()->mapToGlobal(QPoint(pos.x() + 4, pos.y() + nMenuBar)));
    return true;
}

bool CFunctionsPage::eventFilter(QObject* pObject, QEvent* pEvent)
{
    if (pObject == m_pFunctionsGrid->viewport() && pEvent->type() == QEvent::MouseButtonPress) {
        if (FunctionsGridMouseDown(static_cast<QMouseEvent*>(pEvent)->position().toPoint()))
            return true;
    }
    return QWidget::eventFilter(pObject, pEvent);
}
