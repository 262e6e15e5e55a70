#pragma once
// The "Wertetafel" page: the values of the visible functions of the current step at each of its
// samples, a snapshot taken when the page is entered. Row 0 of the grid holds the headings; the
// grid shows it as its fixed header, which stays in view while the rows scroll and through which
// the user resizes and reorders the columns.
#include <QString>
#include <QWidget>

class QLabel;
class QTableWidget;
class CAnimationStep;
class CPageFrame;

class CWetaPage : public QWidget {
    Q_OBJECT
public:
    explicit CWetaPage(CPageFrame& frame);

    void WetaSheetEnter();
    void WetaSheetExit();

    // Every row, headings first, cells by TAB in the order shown, each row ended by CR LF.
    QString GridText() const;

    QTableWidget* WetaGrid;
    // Which step the table shows, with how many of its samples, and whether it was cut.
    QLabel* WetaInfo;

private:
    void SetSize(int nColumns, int nRows);
    void FitColumns();
    QString InfoText(const CAnimationStep& step, int nRows) const;

    CPageFrame& m_Frame;
};
