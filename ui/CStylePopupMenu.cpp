#include "ui/CStylePopupMenu.h"

#include <QMouseEvent>
#include <QPainter>

#include "project/CProject.h"
#include "render/CQtCanvas.h"
#include "ui/CDocumentHost.h"

CStylePopupMenu::CStylePopupMenu(CDocumentHost& host, int nPaletteSize, QWidget* pParent)
    : QWidget(pParent, Qt::Popup), m_Host(host)
{
    setObjectName("StylePopupMenu");
    setMouseTracking(true);
    // The show/hide item alone in the first column; then per column two colours and a width.
    m_Items.emplace_back(CStyleItem::KIND_TOGGLE, 0);
    m_Cells.emplace_back(0, 0);
    for (int c = 0; c < 8; ++c) {
        int nRow = 0;
        for (int k = c; k < nPaletteSize; k += 8) {
            m_Items.emplace_back(CStyleItem::KIND_COLOR, k);
            m_Cells.emplace_back(c + 1, nRow++);
        }
        m_Items.emplace_back(CStyleItem::KIND_WIDTH, c + 1);
        m_Cells.emplace_back(c + 1, nRow++);
        m_nRows = std::max(m_nRows, nRow);
    }
    m_nColumns = 9;
    resize(sizeHint());
}

QSize CStylePopupMenu::sizeHint() const
{
    // The colours alone lose the first column and the widths below them.
    if (m_bColorsOnly)
        return QSize((m_nColumns - 1) * ITEM_WIDTH + 4, (m_nRows - 1) * ITEM_HEIGHT + 4);
    return QSize(m_nColumns * ITEM_WIDTH + 4, m_nRows * ITEM_HEIGHT + 4);
}

bool CStylePopupMenu::Shows(size_t nItem) const
{
    return nItem < m_Items.size() && (!m_bColorsOnly || m_Items[nItem].m_nKind == CStyleItem::KIND_COLOR);
}

QRect CStylePopupMenu::ItemRect(size_t nItem) const
{
    const QPoint cell = m_Cells.at(nItem) - QPoint(m_bColorsOnly ? 1 : 0, 0);
    return QRect(2 + cell.x() * ITEM_WIDTH + 2, 2 + cell.y() * ITEM_HEIGHT + 2, ITEM_WIDTH - 4, ITEM_HEIGHT - 4);
}

int CStylePopupMenu::ItemAt(const QPoint& pos) const
{
    for (size_t i = 0; i < m_Items.size(); ++i)
        if (Shows(i) && ItemRect(i).adjusted(-2, -2, 2, 2).contains(pos))
            return static_cast<int>(i);
    return -1;
}

void CStylePopupMenu::Popup(QWidget* pPopupComponent, const QPoint& globalPos, bool bColorsOnly)
{
    m_pPopupComponent = pPopupComponent;
    m_nSelected = -1;
    m_bColorsOnly = bColorsOnly;
    resize(sizeHint());
    move(globalPos);
    show();
    raise();
}

void CStylePopupMenu::ClickItem(size_t nItem)
{
    hide();
    if (m_OnClick && nItem < m_Items.size())
        m_OnClick(m_Items[nItem], m_pPopupComponent);
}

void CStylePopupMenu::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor back = palette().color(QPalette::Window);
    painter.fillRect(rect(), back);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    CQtCanvas canvas(painter);
    const uint32_t nMenuText = CQtCanvas::FromQColor(palette().color(QPalette::WindowText));
    const uint32_t nMenuBack = CQtCanvas::FromQColor(back);
    for (size_t i = 0; i < m_Items.size(); ++i) {
        if (!Shows(i))
            continue;
        const QRect r = ItemRect(i);
        m_Items[i].DrawItem(canvas, m_Host.Document(), r.left(), r.top(), r.left() + r.width(), r.top() + r.height(),
                            static_cast<int>(i) == m_nSelected, nMenuText, nMenuBack);
    }
}

void CStylePopupMenu::mouseMoveEvent(QMouseEvent* pEvent)
{
    const int nItem = ItemAt(pEvent->position().toPoint());
    if (nItem != m_nSelected) {
        m_nSelected = nItem;
        update();
    }
}

void CStylePopupMenu::mouseReleaseEvent(QMouseEvent* pEvent)
{
    // The release of the press that opened the menu arrives here too, usually outside it: only
    // a release over an item chooses (a press outside closes the popup, as popups do).
    const int nItem = ItemAt(pEvent->position().toPoint());
    if (nItem >= 0)
        ClickItem(static_cast<size_t>(nItem));
}

void CStylePopupMenu::leaveEvent(QEvent*)
{
    if (m_nSelected != -1) {
        m_nSelected = -1;
        update();
    }
}
