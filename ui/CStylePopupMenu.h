#pragma once
// The style menu: nine columns of style items (show/hide, colours, widths) that pops up for the
// functions grid or the background box and remembers which of the two opened it.
#include <QWidget>
#include <functional>
#include <vector>

#include "render/CStyleItem.h"

class CDocumentHost;

class CStylePopupMenu : public QWidget {
    Q_OBJECT
public:
    using ClickHandler = std::function<void(const CStyleItem& item, QWidget* pPopupComponent)>;

    // Builds the items for a palette of nPaletteSize colours, once.
    CStylePopupMenu(CDocumentHost& host, int nPaletteSize, QWidget* pParent);

    void SetClickHandler(ClickHandler handler) { m_OnClick = std::move(handler); }
    // bColorsOnly (the background box): the colours alone, without the items that do nothing
    // there.
    void Popup(QWidget* pPopupComponent, const QPoint& globalPos, bool bColorsOnly = false);

    QWidget* PopupComponent() const { return m_pPopupComponent; }
    const std::vector<CStyleItem>& Items() const { return m_Items; }
    QRect ItemRect(size_t nItem) const; // in the menu's coordinates
    bool Shows(size_t nItem) const;     // in the menu as it is open
    void ClickItem(size_t nItem);       // as a click on it does

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void leaveEvent(QEvent* pEvent) override;

private:
    int ItemAt(const QPoint& pos) const;

    static constexpr int ITEM_WIDTH = 26;
    static constexpr int ITEM_HEIGHT = 20;

    CDocumentHost& m_Host; // the window's current document, for the palette
    std::vector<CStyleItem> m_Items;
    std::vector<QPoint> m_Cells; // column and row of each item
    int m_nColumns = 0;
    int m_nRows = 0;
    int m_nSelected = -1;
    bool m_bColorsOnly = false;
    QWidget* m_pPopupComponent = nullptr;
    ClickHandler m_OnClick;
};
