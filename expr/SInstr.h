#pragma once
// One instruction of the flat program that a term runs (CProgramBuilder writes it, the evaluator
// in CFuncTermRun.inc reads it). The top of the stack is kept in a register; fused instructions
// take a constant or a value slot as an operand.
//
// A program is its instructions, then its constants, each distinct value once in a word of its
// own: an instruction is 8 bytes, so that a formula of a megabyte stays a few megabytes. An
// instruction that jumps and has a constant (JF_..C, JF_..VC) is followed by a word that gives
// the constant's place.
#include <cstdint>
#include <cstring>

struct alignas(8) SInstr {
    uint8_t m_nOp;    // EExec
    uint8_t m_nSlot;  // value slot; X_REF: argument count
    uint8_t m_nSlot2; // second value slot; X_REF: function number
    uint8_t m_nUnused;
    int32_t m_nArg; // jumps: index of the target instruction; otherwise the index of the constant's word

    // The constant in the word at nIndex of the program pCode.
    static double ConstantAt(const SInstr* pCode, int32_t nIndex)
    {
        double dValue;
        std::memcpy(&dValue, pCode + nIndex, sizeof dValue);
        return dValue;
    }
};
static_assert(sizeof(SInstr) == sizeof(double), "a constant fills one word");
