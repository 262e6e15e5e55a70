#pragma once
// An editable grid in which every key typed after a click reaches the clicked cell. The view's
// own delayed edit (a click on the selected cell opens its editor after the double-click time)
// refuses keys meanwhile and takes them as a search that jumps to another row; here a key in
// that time opens the clicked cell's editor at once and goes into it.
#include <QPersistentModelIndex>
#include <QTableWidget>
#include <QTimer>

class CEditGrid : public QTableWidget {
    Q_OBJECT
public:
    CEditGrid(int nRows, int nColumns, QWidget* pParent);

    // A click's editor is still to come.
    bool EditPending() const { return m_DelayedEdit.isActive(); }
    // A cell's editor is open.
    bool Editing() const { return state() == EditingState; }

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void OpenPendingEditor();

    QTimer m_DelayedEdit;
    QPersistentModelIndex m_PendingIndex;
};
