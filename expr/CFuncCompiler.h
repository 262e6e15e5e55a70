#pragma once
// Recursive-descent compiler of the expression language: appends postfix code nodes to a term.
//
// Precedence, lowest first: conditional (? or :), |, &, one comparison, + -, * / and implicit
// multiplication, ^ (left-associative), primary. The only unary operator is the leading sign of a
// sum, which applies to the whole term that follows it: -x^2 is 0 - x^2, and 2^-1 is an error.
#include <cstdint>

#include "expr/CFuncParser.h"

class CFuncTerm;
struct CFuncNode;

class CFuncCompiler {
public:
    CFuncCompiler(CFuncTerm& term, const char* pszText);
    ~CFuncCompiler(); // releases the code if Compile did not finish
    CFuncCompiler(const CFuncCompiler&) = delete;
    CFuncCompiler& operator=(const CFuncCompiler&) = delete;

    // Compiles the whole text into the term, or throws EFuncError.
    void Compile();

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
    void Reference(unsigned nFunction);

    CFuncNode* Emit(uint32_t nOp, double dConst = 0.0, uint32_t nArg = 0);
    void NeedPlace(); // one more stack place at the current token, or "Ausdruck zu komplex"
    void Enter();     // one more bracket level at the current token
    void Leave() { --m_nNesting; }

    CFuncTerm& m_Term;
    CFuncParser m_Parser;
    CFuncNode* m_pCode = nullptr;    // owned until Compile hands it to the term
    CFuncNode** m_ppTail = &m_pCode; // where the next node goes
    int m_nDepth = 0;                // stack places in use at this point of the code
    unsigned m_nNesting = 0;
};
