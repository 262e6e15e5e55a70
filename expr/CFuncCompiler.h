#pragma once
// Recursive-descent compiler of the expression language: writes the postfix code list of a text.
//
// Precedence, lowest first: conditional (? or :), |, &, one comparison, + -, * / and implicit
// multiplication, ^ (left-associative), primary. The only unary operator is the leading sign of a
// sum, which applies to the whole term that follows it: -x^2 is 0 - x^2, and 2^-1 is an error.
#include <bitset>
#include <cstdint>
#include <vector>

#include "expr/CFuncCode.h"
#include "expr/CFuncParser.h"
#include "expr/FuncLimits.h"

class CFuncCompiler {
public:
    // The code goes into code, whose list it replaces.
    CFuncCompiler(CFuncCode& code, const char* pszText);
    CFuncCompiler(const CFuncCompiler&) = delete;
    CFuncCompiler& operator=(const CFuncCompiler&) = delete;

    // Compiles the whole text, or throws EFuncError.
    void Compile();

    uint32_t m_nValues = 0;                // top-level expressions
    std::bitset<FUNC_NSLOTS> m_bDirectVar; // slots the code reads
    // The operands of its references (a derivative's as a plain reference's), each once, first
    // use first.
    std::vector<uint32_t> m_References;

private:
    void Expression();
    void OrExpression();
    void AndExpression();
    void Comparison();
    void Sum();
    void Term();
    void Power();
    void Primary();
    void BracketGroup();
    void Name();
    void Reference(unsigned nFunction, unsigned nOrder = 0);

    CFuncNode* Emit(uint32_t nOp, double dConst = 0.0, uint32_t nArg = 0);
    void NeedPlace(); // one more stack place at the current token, or "Ausdruck zu komplex"
    void Enter();     // one more bracket level at the current token
    void Leave() { --m_nNesting; }

    CFuncCode& m_Code;
    CFuncParser m_Parser;
    CFuncNode** m_ppTail;             // where the next node goes
    CFuncNode* m_pLastNode = nullptr; // the node before it in its list
    int m_nDepth = 0;                 // stack places in use at this point of the code
    unsigned m_nNesting = 0;
};
