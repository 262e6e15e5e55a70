#pragma once
// The opcodes of the compiled code list: one table is the single source of their meaning.
#include <cstdint>

// The built-in functions of one argument, one row each: opcode name, opcode value, the name in
// formulas, the operation in CFuncOps.h that computes it (in a run and when folding constants),
// and the listing item. The opcode, the compiler's word, the folding, the instructions of the flat
// program (X_<name> on the top, X_<name>V on a value slot) with their handlers and the listing
// are all derived from this list. Ln, log10, exp and abs are listed as "??? " on purpose: the
// listing has always shown them so.
// clang-format off
#define KX_FUNCTION_LIST(X)                      \
    X(SIN,   10, "sin",   Sin,   "sin ")         \
    X(COS,   11, "cos",   Cos,   "cos ")         \
    X(TAN,   12, "tan",   Tan,   "tan ")         \
    X(ASIN,  13, "asin",  Asin,  "asin ")        \
    X(ACOS,  14, "acos",  Acos,  "acos ")        \
    X(ATAN,  15, "atan",  Atan,  "atan ")        \
    X(LN,    16, "ln",    Ln,    "??? ")         \
    X(LOG10, 17, "log10", Log10, "??? ")         \
    X(EXP,   18, "exp",   Exp,   "??? ")         \
    X(INT,   19, "int",   Int,   "int ")         \
    X(FRAC,  20, "frac",  Frac,  "frac ")        \
    X(ABS,   23, "abs",   Abs,   "??? ")
// clang-format on

enum EOpcode : uint32_t {
    OP_CONST = 0,
    OP_VAR = 1,
    OP_REF = 2,
    OP_COND = 3,
    OP_UNDEF = 4,
    OP_ADD = 5,
    OP_SUB = 6,
    OP_MUL = 7,
    OP_DIV = 8,
    OP_POW = 9,
#define KX_OPCODE_ENUM(NAME, VALUE, WORD, FN, ITEM) OP_##NAME = VALUE,
    KX_FUNCTION_LIST(KX_OPCODE_ENUM)
#undef KX_OPCODE_ENUM
        OP_RANDOM = 21,
    OP_RAND = 22,
    OP_GT = 24,
    OP_LT = 25,
    OP_EQ = 26,
    OP_NE = 27,
    OP_GE = 28,
    OP_LE = 29,
    // 30 is not used
    OP_AND = 31,
    OP_OR = 32,
    OP_DERIV = 33, // a derivative of another function: f1', f1''(x)
    OP_COUNT = 34
};

// Listing item of each opcode (the blank that ends it belongs to it); OP_CONST, OP_VAR, OP_REF,
// OP_COND and OP_DERIV format their own items.
struct SOpcodeInfo {
    const char* m_pszItem;
    int8_t m_nPops;   // values taken from the stack (OP_REF, OP_DERIV: the argument count)
    int8_t m_nPushes; // values left on it; 0 for an unused value
    bool m_bFunction; // a row of KX_FUNCTION_LIST
};

struct SOpcodeTable {
    SOpcodeInfo m_Info[OP_COUNT];
    bool m_bClash; // two rows for one value
};

constexpr SOpcodeTable MakeOpcodeTable()
{
    SOpcodeTable t{};
    const auto Set = [&t](uint32_t nOp, SOpcodeInfo info) {
        t.m_bClash = t.m_bClash || t.m_Info[nOp].m_nPushes != 0;
        t.m_Info[nOp] = info;
    };
    Set(OP_CONST, {nullptr, 0, 1, false});
    Set(OP_VAR, {nullptr, 0, 1, false});
    Set(OP_REF, {nullptr, 0, 1, false});
    Set(OP_COND, {nullptr, 1, 1, false});
    Set(OP_UNDEF, {"undef ", 0, 1, false}); // fails; counts as the value it stands for
    Set(OP_ADD, {"+ ", 2, 1, false});
    Set(OP_SUB, {"- ", 2, 1, false});
    Set(OP_MUL, {"* ", 2, 1, false});
    Set(OP_DIV, {"/ ", 2, 1, false});
    Set(OP_POW, {"^ ", 2, 1, false});
#define KX_OPCODE_INFO(NAME, VALUE, WORD, FN, ITEM) Set(OP_##NAME, {ITEM, 1, 1, true});
    KX_FUNCTION_LIST(KX_OPCODE_INFO)
#undef KX_OPCODE_INFO
    Set(OP_RANDOM, {"random ", 0, 1, false});
    Set(OP_RAND, {"rand ", 0, 1, false});
    Set(OP_GT, {"> ", 2, 1, false});
    Set(OP_LT, {"< ", 2, 1, false});
    Set(OP_EQ, {"= ", 2, 1, false});
    Set(OP_NE, {"!= ", 2, 1, false});
    Set(OP_GE, {">= ", 2, 1, false});
    Set(OP_LE, {"<= ", 2, 1, false});
    Set(OP_AND, {"and ", 2, 1, false});
    Set(OP_OR, {"or ", 2, 1, false});
    Set(OP_DERIV, {nullptr, 0, 1, false});
    return t;
}

inline constexpr SOpcodeTable g_OpcodeTable = MakeOpcodeTable();
inline constexpr const SOpcodeInfo (&g_OpcodeInfo)[OP_COUNT] = g_OpcodeTable.m_Info;

constexpr unsigned CountUsedOpcodes()
{
    unsigned n = 0;
    for (const SOpcodeInfo& info : g_OpcodeInfo)
        n += info.m_nPushes != 0;
    return n;
}
static_assert(!g_OpcodeTable.m_bClash, "a function's opcode value is taken");
static_assert(CountUsedOpcodes() == OP_COUNT - 1, "every opcode but 30 has a row");

// A built-in function of one argument.
constexpr bool IsFunctionOpcode(uint32_t nOp)
{
    return nOp < OP_COUNT && g_OpcodeInfo[nOp].m_bFunction;
}

// The operand of OP_REF: the function number n and the argument count, packed as 10 * n + count.
constexpr uint32_t PackReference(unsigned nFunction, unsigned nArgs)
{
    return 10 * nFunction + nArgs;
}
constexpr unsigned ReferencedFunction(uint32_t nArg)
{
    return nArg / 10;
}
constexpr unsigned ReferenceArgCount(uint32_t nArg)
{
    return nArg % 10;
}

// The operand of OP_DERIV: the reference's operand and the order of the derivative (1 or 2).
constexpr uint32_t DERIV_ORDER_UNIT = 1000; // above every PackReference
constexpr uint32_t PackDerivative(unsigned nFunction, unsigned nArgs, unsigned nOrder)
{
    return nOrder * DERIV_ORDER_UNIT + PackReference(nFunction, nArgs);
}
constexpr unsigned DerivativeOrder(uint32_t nArg)
{
    return nArg / DERIV_ORDER_UNIT;
}
// The operand of the plain reference to the same function with the same arguments.
constexpr uint32_t DerivativeReference(uint32_t nArg)
{
    return nArg % DERIV_ORDER_UNIT;
}
static_assert(PackReference(99, 9) < DERIV_ORDER_UNIT, "the order lies above every reference");
