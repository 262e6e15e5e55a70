#pragma once
// The instructions of the flat program that CFuncTerm runs (see CFuncTermRun.inc). Naming:
//   C   the operand is the instruction's constant      V   the operand is a value slot
//   VC  push (slot op constant)                        VV  push (slot op second slot)
//   R   reversed operands (RSUBC: constant - top)      JF  jump if the comparison is false
// Plain binary instructions take the value below the top as their left operand.
#include <cstdint>

// clang-format off
#define KX_EXEC_LIST(X)                                                                          \
    X(END1) X(ENDN) X(CONST) X(VAR) X(UNDEF) X(RANDOM) X(RAND) X(REF) X(JZ) X(JMP)               \
    X(ADD) X(SUB) X(MUL) X(DIV) X(POW)                                                           \
    X(GT) X(LT) X(EQ) X(NE) X(GE) X(LE) X(AND) X(OR)                                             \
    X(ADDC) X(ADDV) X(ADDVC) X(ADDVV) X(SUBC) X(SUBV) X(SUBVC) X(SUBVV)                          \
    X(MULC) X(MULV) X(MULVC) X(MULVV) X(DIVC) X(DIVV) X(DIVVC) X(DIVVV)                          \
    X(RSUBC) X(RSUBV) X(RSUBVC) X(RDIVC) X(RDIVV) X(RDIVVC)                                      \
    X(POWC) X(POWCV) X(POW2) X(POW2V) X(POW3) X(POW3V) X(SQRT) X(SQRTV)                          \
    X(SIN) X(SINV) X(COS) X(COSV) X(TAN) X(TANV) X(ASIN) X(ASINV) X(ACOS) X(ACOSV)               \
    X(ATAN) X(ATANV) X(LN) X(LNV) X(LOG10) X(LOG10V) X(EXP) X(EXPV) X(INT) X(INTV)               \
    X(FRAC) X(FRACV) X(ABS) X(ABSV)                                                              \
    X(JF_GT) X(JF_GTC) X(JF_GTVC) X(JF_LT) X(JF_LTC) X(JF_LTVC) X(JF_EQ) X(JF_EQC) X(JF_EQVC)    \
    X(JF_NE) X(JF_NEC) X(JF_NEVC) X(JF_GE) X(JF_GEC) X(JF_GEVC) X(JF_LE) X(JF_LEC) X(JF_LEVC)

enum EExec : uint8_t {
#define KX_EXEC_ENUM(name) X_##name,
    KX_EXEC_LIST(KX_EXEC_ENUM)
#undef KX_EXEC_ENUM
    X_COUNT
};
// clang-format on
