#pragma once
// The value table of one animation step: a column per range variable that moves and per visible
// function (per value of a function of several), a row per sample. The "Wertetafel" page shows it
// and copies its text; CSV files take it to spreadsheets.
#include <cstdint>
#include <string>
#include <vector>

#include "view/CFuncVars.h"

class CProject;
class CAnimationStep;
class CSliceClock;

class CValueTable {
public:
    static constexpr uint32_t MAX_ROWS = 1000;
    static constexpr const char* UNDEFINED = "?"; // the cell of an undefined value

    enum class EForm {
        // Every value of a function in a column of its own ("f3 (1)", "f3 (2)", ...), numbers
        // with the document's decimal sign: the window and CSV.
        Shown,
        // A column a function, its second value where it has several, numbers with a point: the
        // TAB text of kurvix --table, which scripts read as it always was.
        Classic
    };

    // Row 0 holds the headers. Without a step the table is one empty cell.
    void Build(CProject& project, CAnimationStep* pStep, EForm eForm = EForm::Shown);
    // The same in pieces, for a window between its events: Begin lays out the headers and the
    // rows, their cells empty; Fill computes cells in order, with a clock until its slice is over
    // (asked after every value: one may cost up to the work limit). False once all are done.
    void Begin(CProject& project, CAnimationStep* pStep, EForm eForm = EForm::Shown);
    bool Fill(CSliceClock* pClock);
    // The data rows whose every cell is computed.
    uint32_t RowsDone() const { return m_nRow - 1; }
    // Cells joined by TAB, every row, the last one too, ended by CR LF.
    std::string GetText() const;
    // The table as a CSV file (CCsvText) in UTF-8: ';' between the fields where the numbers
    // carry a decimal comma, ',' otherwise; an undefined value is an empty field.
    std::string GetCsv() const;
    // The same for cells of this form in UTF-8, such as the rows a window shows.
    static std::string CsvOf(std::vector<std::vector<std::string>> rows, bool bDecimalComma);
    bool DecimalComma() const { return m_bComma; }

    std::vector<std::vector<std::string>> m_Cells;

private:
    CProject* m_pProject = nullptr;
    CAnimationStep* m_pStep = nullptr;
    CFuncVars m_Vars;
    std::vector<unsigned> m_Variables; // the range variables with a column
    std::vector<unsigned> m_Slots;     // the visible functions, 1 ... 50
    std::vector<size_t> m_Columns;     // the first column of each of them
    std::vector<uint32_t> m_Values;    // and its number of columns
    uint32_t m_nRow = 1;               // the row being computed
    size_t m_nSlot = 0;                // its next function, an index into m_Slots
    EForm m_eForm = EForm::Shown;
    bool m_bComma = false;
};
