#include "ui/CEditGrid.h"

#include <QApplication>
#include <QKeyEvent>

CEditGrid::CEditGrid(int nRows, int nColumns, QWidget* pParent) : QTableWidget(nRows, nColumns, pParent)
{
    m_DelayedEdit.setSingleShot(true);
    connect(&m_DelayedEdit, &QTimer::timeout, this, &CEditGrid::OpenPendingEditor);
}

bool CEditGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* pEvent)
{
    if (trigger == SelectedClicked && state() != EditingState) {
        if (!(editTriggers() & SelectedClicked) || !index.isValid() || !(index.flags() & Qt::ItemIsEditable))
            return false;
        // A second click within the time is a double click, which opens the editor itself.
        m_PendingIndex = index;
        m_DelayedEdit.start(QApplication::doubleClickInterval());
        return true;
    }
    if (trigger == DoubleClicked)
        m_DelayedEdit.stop();
    return QTableWidget::edit(index, trigger, pEvent);
}

void CEditGrid::OpenPendingEditor()
{
    if (m_PendingIndex.isValid() && state() != EditingState)
        QTableWidget::edit(m_PendingIndex, EditKeyPressed, nullptr);
}

void CEditGrid::keyPressEvent(QKeyEvent* pEvent)
{
    if (m_DelayedEdit.isActive()) {
        m_DelayedEdit.stop();
        if (m_PendingIndex.isValid() && !pEvent->text().isEmpty() && pEvent->text().at(0).isPrint() &&
            QTableWidget::edit(m_PendingIndex, AnyKeyPressed, pEvent)) {
            pEvent->accept();
            return;
        }
    }
    QTableWidget::keyPressEvent(pEvent);
}

void CEditGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    if (current != m_PendingIndex)
        m_DelayedEdit.stop();
    QTableWidget::currentChanged(current, previous);
}
