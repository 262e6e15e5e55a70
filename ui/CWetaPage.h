#pragma once
// The "Wertetafel" page: the values of the visible functions of the current step at each of its
// samples, a snapshot taken when the page is entered. Row 0 of the grid holds the headings; the
// grid shows it as its fixed header, which stays in view while the rows scroll and through which
// the user resizes and reorders the columns.
//
// The table is built in slices, a first one when the page is entered and the rest from a timer,
// so that functions that take long keep the window at the user's hand; Escape stops it.
#include <QString>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;
class CAnimationStep;
class CPageFrame;
class CTickClock;
class CValueTable;

class CWetaPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int TIMER_INTERVAL = 50; // ms between slices
    static constexpr uint32_t SLICE = 100;    // ms of computing per slice at the most

    explicit CWetaPage(CPageFrame& frame);
    ~CWetaPage() override;

    void SetClock(std::unique_ptr<CTickClock> pClock);

    void WetaSheetEnter();
    void WetaSheetExit();
    // The next slice of a table under way.
    void BuildTimerEvent();
    // Escape: the table keeps the rows computed so far.
    void Cancel();
    bool Building() const { return m_pTable != nullptr; }

    // Every row, headings first, cells by TAB in the order shown, each row ended by CR LF.
    QString GridText() const;
    // The rows shown, in the order shown, as a CSV file (CValueTable::CsvOf).
    std::string GridCsv() const;
    // "Als CSV speichern...": the table shown into a file the user names, whole or not at all.
    void SaveCsvClick();
    // Writes the table shown to szFileName; false, after saying why, when it could not.
    bool SaveCsv(const QString& szFileName);

    QTableWidget* WetaGrid;
    // Which step the table shows, with how many of its samples, and whether it was cut.
    QLabel* WetaInfo;
    QPushButton* SaveCsvButton;
    QTimer* BuildTimer;

private:
    void SetSize(int nColumns, int nRows);
    bool BuildSlice(); // true while cells remain
    void ShowRows();   // the rows computed since the last slice
    void EndBuilding();
    QString InfoText(const CAnimationStep& step, int nRows) const;

    CPageFrame& m_Frame;
    std::unique_ptr<CTickClock> m_pClock;
    std::unique_ptr<CValueTable> m_pTable; // the table under way
    CAnimationStep* m_pTableStep = nullptr;
    uint64_t m_nLostSince = 0;  // CFuncTerm::GetLostNanoseconds when the table began
    std::vector<int> m_nWidths; // of the columns, for the cells shown so far
    bool m_bBusyCursor = false;
    QString m_szCsvName; // the last file saved to
};
