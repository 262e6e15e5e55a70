#pragma once
// The opcodes of the compiled code list: one table is the single source of their meaning.
#include <cstdint>

enum EOpcode : uint32_t {
    OP_CONST = 0, OP_VAR = 1, OP_REF = 2, OP_COND = 3, OP_UNDEF = 4,
    OP_ADD = 5, OP_SUB = 6, OP_MUL = 7, OP_DIV = 8, OP_POW = 9,
    OP_SIN = 10, OP_COS = 11, OP_TAN = 12, OP_ASIN = 13, OP_ACOS = 14, OP_ATAN = 15,
    OP_LN = 16, OP_LOG10 = 17, OP_EXP = 18,
    OP_INT = 19, OP_FRAC = 20,
    OP_RANDOM = 21, OP_RAND = 22,
    OP_ABS = 23,
    OP_GT = 24, OP_LT = 25, OP_EQ = 26, OP_NE = 27, OP_GE = 28, OP_LE = 29,
    // 30 is not used
    OP_AND = 31, OP_OR = 32,
    OP_COUNT = 33
};

// Listing item of each opcode (the blank that ends it belongs to it); OP_CONST, OP_VAR, OP_REF
// and OP_COND format their own items. Ln, log10, exp and abs are listed as "??? " on purpose:
// the listing has always shown them so.
struct SOpcodeInfo {
    const char* m_pszItem;
    int8_t m_nPops;   // values taken from the stack (OP_REF: its argument count)
    int8_t m_nPushes; // values left on it
};

inline constexpr SOpcodeInfo g_OpcodeInfo[OP_COUNT] = {
    {nullptr, 0, 1},      // OP_CONST
    {nullptr, 0, 1},      // OP_VAR
    {nullptr, 0, 1},      // OP_REF
    {nullptr, 1, 1},      // OP_COND
    {"undef ", 0, 1},     // OP_UNDEF (fails; counts as the value it stands for)
    {"+ ", 2, 1}, {"- ", 2, 1}, {"* ", 2, 1}, {"/ ", 2, 1}, {"^ ", 2, 1},
    {"sin ", 1, 1}, {"cos ", 1, 1}, {"tan ", 1, 1}, {"asin ", 1, 1}, {"acos ", 1, 1}, {"atan ", 1, 1},
    {"??? ", 1, 1}, {"??? ", 1, 1}, {"??? ", 1, 1},  // OP_LN, OP_LOG10, OP_EXP
    {"int ", 1, 1}, {"frac ", 1, 1},
    {"random ", 0, 1}, {"rand ", 0, 1},
    {"??? ", 1, 1},  // OP_ABS
    {"> ", 2, 1}, {"< ", 2, 1}, {"= ", 2, 1}, {"!= ", 2, 1}, {">= ", 2, 1}, {"<= ", 2, 1},
    {nullptr, 0, 0},  // 30: not used
    {"and ", 2, 1}, {"or ", 2, 1},
};
static_assert(sizeof(g_OpcodeInfo) / sizeof(g_OpcodeInfo[0]) == OP_COUNT, "one row per opcode");
