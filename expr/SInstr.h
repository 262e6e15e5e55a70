#pragma once
// One instruction of the flat program that a term runs (CProgramBuilder writes it, the evaluator
// in CFuncTermRun.inc reads it). The top of the stack is kept in a register; fused instructions
// take a constant or a value slot as an operand.
#include <cstdint>

struct SInstr {
    uint8_t m_nOp;    // EExec
    uint8_t m_nSlot;  // value slot; X_REF: argument count
    uint8_t m_nSlot2; // second value slot; X_REF: function number
    uint8_t m_nUnused;
    int32_t m_nJump; // jumps: index of the target instruction
    double m_dConst;
};
