#pragma once
// The value table of one animation step: a column per range variable that moves and per visible
// function, a row per sample. The "Wertetafel" page shows it and copies its text.
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

    // Row 0 holds the headers. Without a step the table is one empty cell.
    void Build(CProject& project, CAnimationStep* pStep);
    // The same in pieces, for a window between its events: Begin lays out the headers and the
    // rows, their cells empty; Fill computes cells in order, with a clock until its slice is over
    // (asked after every value: one may cost up to the work limit). False once all are done.
    void Begin(CProject& project, CAnimationStep* pStep);
    bool Fill(CSliceClock* pClock);
    // The data rows whose every cell is computed.
    uint32_t RowsDone() const { return m_nRow - 1; }
    // Cells joined by TAB, every row, the last one too, ended by CR LF.
    std::string GetText() const;

    std::vector<std::vector<std::string>> m_Cells;

private:
    CProject* m_pProject = nullptr;
    CAnimationStep* m_pStep = nullptr;
    CFuncVars m_Vars;
    std::vector<unsigned> m_Variables; // the range variables with a column
    std::vector<unsigned> m_Slots;     // the visible functions, 1 ... 50
    uint32_t m_nRow = 1;               // the row being computed
    size_t m_nSlot = 0;                // its next function, an index into m_Slots
};
