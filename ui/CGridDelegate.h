#pragma once
// Draws the cells of the window's grids the way the form always drew them (raised label cells,
// style samples, button-face outlines) and hands every keystroke of an edited cell to the page.
#include <QStyledItemDelegate>
#include <functional>

class CCanvas;
class CPageFrame;

class CGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    enum EGrid { FunctionsGrid, VariablesBox, StepsBox };
    using EditTextHandler = std::function<void(int nRow, int nColumn, const QString& szText)>;
    using EditDoneHandler = std::function<void(int nRow, int nColumn)>;
    // The error of a cell's text, empty when it has none; such a cell is drawn red, the error is
    // its tooltip.
    using CellErrorHandler = std::function<QString(int nRow, int nColumn)>;

    CGridDelegate(CPageFrame& frame, EGrid grid, QObject* pParent);

    void SetEditTextHandler(EditTextHandler handler) { m_OnEditText = std::move(handler); }
    void SetEditDoneHandler(EditDoneHandler handler) { m_OnEditDone = std::move(handler); }
    void SetCellErrorHandler(CellErrorHandler handler) { m_CellError = std::move(handler); }
    // A hint on a cell's text that is no error: the cell carries a mark in its corner, the hint is
    // its tooltip.
    void SetCellHintHandler(CellErrorHandler handler) { m_CellHint = std::move(handler); }
    // Shown grey in the first row's value cell while every value cell of the grid is empty.
    void SetExampleText(const QString& szText) { m_szExample = szText; }
    // The label cells of the functions grid open the style menu when clicked; their tooltip says so.
    static constexpr const char* LABEL_TOOLTIP = "Klick \u00F6ffnet das Stilmen\u00FC: Farbe, Linienbreite, "
                                                 "anzeigen oder ausblenden";

    void paint(QPainter* pPainter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* pParent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setModelData(QWidget* pEditor, QAbstractItemModel* pModel, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* pEvent, QAbstractItemView* pView, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // A fixed cell as a raised button face: a dark outline one pixel outside the cell, white left
    // and top edges, grey right and bottom edges. Right and bottom are exclusive.
    static void DrawRaisedCell(CCanvas& canvas, int nLeft, int nTop, int nRight, int nBottom, uint32_t nButtonText,
                               uint32_t nButtonFace);

private:
    void DrawLabelCell(QPainter& painter, const QRect& rect, int nRow, const QString& szText) const;
    void DrawValueCell(QPainter& painter, const QStyleOptionViewItem& option, const QString& szText, bool bError,
                       bool bHint, bool bExample = false) const;
    bool ShowsExample(const QModelIndex& index) const;
    QString CellError(const QModelIndex& index) const;
    QString CellHint(const QModelIndex& index) const;

    CPageFrame& m_Frame;
    EGrid m_Grid;
    EditTextHandler m_OnEditText;
    EditDoneHandler m_OnEditDone;
    CellErrorHandler m_CellError;
    CellErrorHandler m_CellHint;
    QString m_szExample;
};
