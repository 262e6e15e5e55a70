#pragma once
// The value table of one animation step: a column per range variable that moves and per visible
// function, a row per sample. The "Wertetafel" page shows it and copies its text.
#include <cstdint>
#include <string>
#include <vector>

class CProject;
class CAnimationStep;

class CValueTable {
public:
    static constexpr uint32_t MAX_ROWS = 1000;

    // Row 0 holds the headers. Without a step the table is one empty cell.
    void Build(CProject& project, CAnimationStep* pStep);
    // Cells joined by TAB, every row, the last one too, ended by CR LF.
    std::string GetText() const;

    std::vector<std::vector<std::string>> m_Cells;
};
