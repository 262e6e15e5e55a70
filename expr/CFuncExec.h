#pragma once
// The instructions of the flat program that CFuncTerm runs (see CFuncTermRun.inc). Naming:
//   C   the operand is the instruction's constant      V   the operand is a value slot
//   VC  push (slot op constant)                        VV  push (slot op second slot)
//   R   reversed operands (RSUBC: constant - top)      JF  jump if the comparison is false
// Plain binary instructions take the value below the top as their left operand. DREF, a
// derivative of another function, carries the order in m_nUnused, with DREF_WHOLE where the
// formula is that derivative alone and it yields every value of it.
#include <cstdint>

#include "expr/COpcode.h"

// clang-format off
#define KX_EXEC_HEAD(X)                                                                          \
    X(END1) X(ENDN) X(CONST) X(VAR) X(UNDEF) X(RANDOM) X(RAND) X(REF) X(JZ) X(JMP)               \
    X(ADD) X(SUB) X(MUL) X(DIV) X(POW)                                                           \
    X(GT) X(LT) X(EQ) X(NE) X(GE) X(LE) X(AND) X(OR) X(ANDV) X(ORV)                               \
    X(ADDC) X(ADDV) X(ADDVC) X(ADDVV) X(SUBC) X(SUBV) X(SUBVC) X(SUBVV)                          \
    X(MULC) X(MULV) X(MULVC) X(MULVV) X(DIVC) X(DIVV) X(DIVVC) X(DIVVV)                          \
    X(RSUBC) X(RSUBV) X(RSUBVC) X(RDIVC) X(RDIVV) X(RDIVVC)                                      \
    X(POWC) X(POWCV) X(POW2) X(POW2V) X(POW3) X(POW3V) X(SQRT) X(SQRTV)
// Between these: two instructions per built-in function (KX_FUNCTION_LIST), on the top and on a slot.
#define KX_EXEC_TAIL(X)                                                                          \
    X(JF_GT) X(JF_GTC) X(JF_GTVC) X(JF_LT) X(JF_LTC) X(JF_LTVC) X(JF_EQ) X(JF_EQC) X(JF_EQVC)    \
    X(JF_NE) X(JF_NEC) X(JF_NEVC) X(JF_GE) X(JF_GEC) X(JF_GEVC) X(JF_LE) X(JF_LEC) X(JF_LEVC)    \
    X(DREF)

constexpr uint8_t DREF_WHOLE = 0x80;

enum EExec : uint8_t {
#define KX_EXEC_ENUM(name) X_##name,
#define KX_EXEC_FUNCTION_ENUM(NAME, VALUE, WORD, FN, ITEM) X_##NAME, X_##NAME##V,
    KX_EXEC_HEAD(KX_EXEC_ENUM)
    KX_FUNCTION_LIST(KX_EXEC_FUNCTION_ENUM)
    KX_EXEC_TAIL(KX_EXEC_ENUM)
#undef KX_EXEC_FUNCTION_ENUM
#undef KX_EXEC_ENUM
    X_COUNT
};
// clang-format on
