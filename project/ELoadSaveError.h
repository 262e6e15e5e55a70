#pragma once
// A failed load or save: the number of the line being read, 0 when the file could not be opened
// or created (or, for a save, not be written completely).
#include <cstdint>

struct ELoadSaveError {
    uint32_t m_nLine;
};
