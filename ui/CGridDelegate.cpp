#include "ui/CGridDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPainter>
#include <QToolTip>

#include "project/CProject.h"
#include "render/CQtCanvas.h"
#include "ui/CPageFrame.h"

CGridDelegate::CGridDelegate(CPageFrame& frame, EGrid grid, QObject* pParent)
    : QStyledItemDelegate(pParent), m_Frame(frame), m_Grid(grid)
{
}

void CGridDelegate::DrawRaisedCell(CCanvas& canvas, int nLeft, int nTop, int nRight, int nBottom, uint32_t nButtonText,
                                   uint32_t nButtonFace)
{
    canvas.SetPenWidth(1);
    canvas.SetPenSolid();
    canvas.SetPenColor(nButtonText);
    canvas.SetBrushColor(nButtonFace);
    canvas.SetBrushStyle(EBrushStyle::Solid);
    canvas.Rectangle(nLeft - 1, nTop - 1, nRight + 1, nBottom + 1);
    canvas.SetPenColor(0xFFFFFF);
    canvas.MoveTo(nLeft, nBottom - 1);
    canvas.LineTo(nLeft, nTop);
    canvas.LineTo(nRight - 1, nTop);
    canvas.SetPenColor(0x808080);
    canvas.LineTo(nRight - 1, nBottom - 1);
    canvas.LineTo(nLeft, nBottom - 1);
    canvas.SetPenColor(nButtonText);
}

void CGridDelegate::paint(QPainter* pPainter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QString szText = index.data(Qt::DisplayRole).toString();
    const bool bFixed = m_Grid == FunctionsGrid  ? index.column() == 0
                        : m_Grid == VariablesBox ? index.column() == 0 || index.row() == 0
                                                 : false;
    pPainter->save();
    if (bFixed)
        DrawLabelCell(*pPainter, option.rect, index.row(), szText);
    else if (szText.isEmpty() && ShowsExample(index))
        DrawValueCell(*pPainter, option, m_szExample, false, false, true);
    else
        DrawValueCell(*pPainter, option, szText, !CellError(index).isEmpty(), !CellHint(index).isEmpty());
    pPainter->restore();
}

bool CGridDelegate::ShowsExample(const QModelIndex& index) const
{
    if (m_szExample.isEmpty() || index.row() != 0 || index.column() != 1)
        return false;
    const QAbstractItemModel* pModel = index.model();
    for (int r = 0; r < pModel->rowCount(); ++r)
        if (!pModel->index(r, index.column()).data(Qt::DisplayRole).toString().isEmpty())
            return false;
    return true;
}

QString CGridDelegate::CellError(const QModelIndex& index) const
{
    return m_CellError ? m_CellError(index.row(), index.column()) : QString();
}

QString CGridDelegate::CellHint(const QModelIndex& index) const
{
    return m_CellHint ? m_CellHint(index.row(), index.column()) : QString();
}

bool CGridDelegate::helpEvent(QHelpEvent* pEvent, QAbstractItemView* pView, const QStyleOptionViewItem& option,
                              const QModelIndex& index)
{
    if (pEvent->type() == QEvent::ToolTip) {
        if (m_Grid == FunctionsGrid && index.column() == 0) {
            QToolTip::showText(pEvent->globalPos(), LABEL_TOOLTIP, pView->viewport(), option.rect);
            return true;
        }
        QString szError = CellError(index);
        if (szError.isEmpty())
            szError = CellHint(index);
        if (!szError.isEmpty()) {
            QToolTip::showText(pEvent->globalPos(), szError, pView->viewport(), option.rect);
            return true;
        }
    }
    return QStyledItemDelegate::helpEvent(pEvent, pView, option, index);
}

void CGridDelegate::DrawValueCell(QPainter& painter, const QStyleOptionViewItem& option, const QString& szText,
                                  bool bError, bool bHint, bool bExample) const
{
    const QRect& r = option.rect;
    const QPalette& palette = option.palette;
    const bool bSelected = m_Grid == StepsBox && (option.state & QStyle::State_Selected);
    {
        CQtCanvas canvas(painter);
        canvas.SetPenColor(CQtCanvas::FromQColor(palette.color(QPalette::Button)));
        canvas.SetPenWidth(1);
        canvas.SetBrushColor(CQtCanvas::FromQColor(palette.color(bSelected ? QPalette::Highlight : QPalette::Base)));
        canvas.SetBrushStyle(EBrushStyle::Solid);
        canvas.Rectangle(r.left(), r.top() - 1, r.left() + r.width() + 1, r.top() + r.height() + 1);
    }
    painter.setPen(bError     ? QColor(192, 0, 0)
                   : bExample ? palette.color(QPalette::PlaceholderText)
                              : palette.color(bSelected ? QPalette::HighlightedText : QPalette::Text));
    painter.setFont(option.font);
    painter.drawText(QRect(r.left() + 2, r.top() + 2, r.width() - 2, r.height() - 2),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, szText);
    if (bHint && !bError) {
        // A small blue corner, as spreadsheets mark a cell with a note.
        const int n = std::min(7, r.height() / 2);
        const QPoint corner(r.left() + r.width() - 1, r.top());
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 96, 192));
        painter.drawPolygon(QPolygon({corner, corner - QPoint(n, 0), corner + QPoint(0, n)}));
    }
    if (option.state & QStyle::State_HasFocus) {
        painter.setPen(QPen(palette.color(QPalette::Text), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(r.adjusted(0, 0, -1, -1));
    }
}

void CGridDelegate::DrawLabelCell(QPainter& painter, const QRect& rect, int nRow, const QString& szText) const
{
    const QPalette palette = QApplication::palette();
    const int nLeft = rect.left();
    const int nTop = rect.top();
    const int nRight = rect.left() + rect.width();
    const int nBottom = rect.top() + rect.height();
    int nTextLeft = nLeft + 2;
    {
        CQtCanvas canvas(painter);
        DrawRaisedCell(canvas, nLeft, nTop, nRight, nBottom, CQtCanvas::FromQColor(palette.color(QPalette::ButtonText)),
                       CQtCanvas::FromQColor(palette.color(QPalette::Button)));
        if (m_Grid == FunctionsGrid) {
            const int nSampleLeft = nLeft + 2;
            const int nSampleRight = nSampleLeft + (nBottom - nTop) - 8;
            const int c = ((nTop + 4) + (nBottom - 4)) / 2;
            const CAnimationStep* pStep = m_Frame.CurrentStep();
            if (pStep && nRow >= 0 && nRow < static_cast<int>(MAX_FUNCTIONS) && pStep->m_bVisible[nRow]) {
                const int w = static_cast<int>(std::min<uint32_t>(pStep->m_nWidth[nRow], 64));
                const uint32_t k = pStep->m_nColor[nRow];
                const CProject& project = m_Frame.Document();
                canvas.SetPenColor(0x000000);
                canvas.SetBrushColor(k < static_cast<uint32_t>(project.m_nPaletteSize) ? project.m_pPalette[k] : 0);
                canvas.Rectangle(nSampleLeft, c - (w + 2) / 2, nSampleRight, c + (w + 3) / 2);
            }
            nTextLeft = nSampleRight + 4;
        }
    }
    painter.setPen(palette.color(QPalette::ButtonText));
    painter.drawText(QRect(nTextLeft, nTop + 2, nRight - nTextLeft, rect.height() - 2),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, szText);
}

QWidget* CGridDelegate::createEditor(QWidget* pParent, const QStyleOptionViewItem&, const QModelIndex& index) const
{
    auto* pEditor = new QLineEdit(pParent);
    pEditor->setFrame(false);
    const int nRow = index.row();
    const int nColumn = index.column();
    if (ShowsExample(index))
        pEditor->setPlaceholderText(m_szExample);
    connect(pEditor, &QLineEdit::textEdited, this, [this, nRow, nColumn](const QString& szText) {
        if (m_OnEditText)
            m_OnEditText(nRow, nColumn, szText);
    });
    return pEditor;
}

void CGridDelegate::setModelData(QWidget* pEditor, QAbstractItemModel* pModel, const QModelIndex& index) const
{
    QStyledItemDelegate::setModelData(pEditor, pModel, index);
    if (m_OnEditDone)
        m_OnEditDone(index.row(), index.column());
}
