#include "expr/CFuncCompiler.h"

#include <algorithm>

#include "expr/COpcode.h"

namespace {
const double PI = 3.141592653589793;
const double EULER = 2.718281828459045;

bool SameWord(const char* pszName, const char* pszWord)
{
    for (; *pszName && *pszWord; ++pszName, ++pszWord) {
        char c = *pszName;
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != *pszWord)
            return false;
    }
    return *pszName == *pszWord;
}

// A reference is "f" and a decimal number n, 1 <= n <= MAX_FUNCTIONS; what follows the digits is
// ignored (f7x is f7). Returns 0 for anything else.
unsigned ReferenceNumber(const char* pszName)
{
    if (pszName[0] != 'f' || !(pszName[1] >= '0' && pszName[1] <= '9'))
        return 0;
    unsigned n = 0;
    for (const char* p = pszName + 1; *p >= '0' && *p <= '9'; ++p)
        n = std::min(n * 10 + static_cast<unsigned>(*p - '0'), MAX_FUNCTIONS + 1);
    return n >= 1 && n <= MAX_FUNCTIONS ? n : 0;
}

struct SWord {
    const char* m_pszWord;
    uint32_t m_nOp;
    uint32_t m_nSlot; // OP_VAR
};

const SWord g_Variables[] = {
    {"x", OP_VAR, SLOT_X},  {"t", OP_VAR, SLOT_X},  {"u", OP_VAR, SLOT_U}, {"v", OP_VAR, SLOT_V},
    {"a", OP_VAR, SLOT_A},  {"n", OP_VAR, SLOT_A},  {"b", OP_VAR, SLOT_B}, {"f", OP_VAR, SLOT_B},
    {"fy", OP_VAR, SLOT_B}, {"fx", OP_VAR, SLOT_A}, {"c", OP_VAR, SLOT_C}, {"d", OP_VAR, SLOT_D},
};

const SWord g_Functions[] = {
#define KX_FUNCTION_WORD(NAME, VALUE, WORD, FN, ITEM) {WORD, OP_##NAME, 0},
    KX_FUNCTION_LIST(KX_FUNCTION_WORD)
#undef KX_FUNCTION_WORD
        {"log", OP_LN, 0}, // a second name of ln
};
} // namespace

CFuncCompiler::CFuncCompiler(CFuncCode& code, const char* pszText)
    : m_Code(code), m_Parser(pszText), m_ppTail(&code.m_pFirst)
{
    code.m_pFirst = nullptr;
    code.m_pLast = nullptr;
}

void CFuncCompiler::Compile()
{
    // formula := expression { "," expression } end
    Expression();
    m_nValues = 1;
    while (m_Parser.m_nToken == TK_COMMA) {
        m_Parser.NextToken();
        Expression();
        ++m_nValues;
    }
    if (m_Parser.m_nToken != TK_END)
        m_Parser.Error(FuncMessage::OperatorOrEnd);
    m_Code.m_pLast = m_pLastNode;
}

CFuncNode* CFuncCompiler::Emit(uint32_t nOp, double dConst, uint32_t nArg)
{
    const SOpcodeInfo& info = g_OpcodeInfo[nOp];
    const int nPops = nOp == OP_REF || nOp == OP_DERIV ? static_cast<int>(ReferenceArgCount(nArg)) : info.m_nPops;
    if (m_nDepth - nPops + info.m_nPushes > static_cast<int>(FUNC_STACK))
        m_Parser.Error(FuncMessage::TooComplex);
    m_nDepth += info.m_nPushes - nPops;
    CFuncNode* pNode = m_Code.NewNode(nOp, dConst, nArg);
    *m_ppTail = pNode;
    m_ppTail = &pNode->m_pNext;
    m_pLastNode = pNode;
    return pNode;
}

void CFuncCompiler::NeedPlace()
{
    if (m_nDepth + 1 > static_cast<int>(FUNC_STACK))
        m_Parser.Error(FuncMessage::TooComplex);
}

void CFuncCompiler::Enter()
{
    if (++m_nNesting > FUNC_MAX_NESTING)
        m_Parser.Error(FuncMessage::TooComplex);
}

// expression := or-expression [ ("?" | ":") or-expression [ ":" or-expression ] ]
void CFuncCompiler::Expression()
{
    OrExpression();
    if (m_Parser.m_nToken != TK_QUESTION && m_Parser.m_nToken != TK_COLON)
        return;
    CFuncNode* pCond = Emit(OP_COND); // the condition's place becomes the branch value
    CFuncNode** ppSaved = m_ppTail;
    const int nDepth = m_nDepth - 1;

    m_Parser.NextToken();
    m_ppTail = &pCond->m_pThen;
    m_nDepth = nDepth;
    OrExpression();

    m_ppTail = &pCond->m_pElse;
    m_nDepth = nDepth;
    if (m_Parser.m_nToken == TK_COLON) {
        m_Parser.NextToken();
        OrExpression();
    } else {
        Emit(OP_UNDEF);
    }
    m_ppTail = ppSaved;
    m_pLastNode = pCond;
}

// or-expression := and-expression { "|" and-expression }
void CFuncCompiler::OrExpression()
{
    AndExpression();
    while (m_Parser.m_nToken == TK_OR) {
        m_Parser.NextToken();
        AndExpression();
        Emit(OP_OR);
    }
}

// and-expression := comparison { "&" comparison }
void CFuncCompiler::AndExpression()
{
    Comparison();
    while (m_Parser.m_nToken == TK_AND) {
        m_Parser.NextToken();
        Comparison();
        Emit(OP_AND);
    }
}

// comparison := sum [ ("<" | ">" | "<=" | ">=" | "<>" | "!=" | "=" | "==") sum ]
void CFuncCompiler::Comparison()
{
    Sum();
    uint32_t nOp;
    switch (m_Parser.m_nToken) {
    case TK_LT: nOp = OP_LT; break;
    case TK_GT: nOp = OP_GT; break;
    case TK_LE: nOp = OP_LE; break;
    case TK_GE: nOp = OP_GE; break;
    case TK_NE: nOp = OP_NE; break;
    case TK_EQ: nOp = OP_EQ; break;
    default: return;
    }
    m_Parser.NextToken();
    Sum();
    Emit(nOp);
}

// sum := ( term | <0 for a leading sign> ) { ("+" | "-") term }
void CFuncCompiler::Sum()
{
    if (m_Parser.m_nToken == TK_PLUS || m_Parser.m_nToken == TK_MINUS)
        Emit(OP_CONST, 0.0); // the sign stays and is taken as the operator after this 0
    else
        Term();
    while (m_Parser.m_nToken == TK_PLUS || m_Parser.m_nToken == TK_MINUS) {
        const uint32_t nOp = m_Parser.m_nToken == TK_PLUS ? OP_ADD : OP_SUB;
        m_Parser.NextToken();
        Term();
        Emit(nOp);
    }
}

// term := power { ("*" | "/" | <a name or "(" multiplies>) power }
void CFuncCompiler::Term()
{
    Power();
    for (;;) {
        const ETokenKind nToken = m_Parser.m_nToken;
        if (nToken != TK_MUL && nToken != TK_DIV && nToken != TK_NAME && nToken != TK_LPAREN)
            return;
        if (nToken == TK_MUL || nToken == TK_DIV)
            m_Parser.NextToken();
        Power();
        Emit(nToken == TK_DIV ? OP_DIV : OP_MUL);
    }
}

// power := primary { "^" primary }
void CFuncCompiler::Power()
{
    Primary();
    while (m_Parser.m_nToken == TK_POW) {
        m_Parser.NextToken();
        Primary();
        Emit(OP_POW);
    }
}

// primary := number | bracket-group | name
void CFuncCompiler::Primary()
{
    switch (m_Parser.m_nToken) {
    case TK_NUMBER:
        Emit(OP_CONST, m_Parser.m_dNumber);
        m_Parser.NextToken();
        return;
    case TK_LPAREN:
    case TK_LBRACE:
    case TK_LBRACKET: BracketGroup(); return;
    case TK_NAME: Name(); return;
    case TK_END: m_Parser.Error(FuncMessage::UnexpectedEnd);
    default: m_Parser.Error(FuncMessage::UnexpectedSymbol);
    }
}

// bracket-group := "(" expression ")" | "{" expression "}" | "[" expression "]"
void CFuncCompiler::BracketGroup()
{
    ETokenKind nCloser;
    const char* pszMissing;
    switch (m_Parser.m_nToken) {
    case TK_LPAREN:
        nCloser = TK_RPAREN;
        pszMissing = FuncMessage::RParenExpected;
        break;
    case TK_LBRACE:
        nCloser = TK_RBRACE;
        pszMissing = FuncMessage::RBraceExpected;
        break;
    case TK_LBRACKET:
        nCloser = TK_RBRACKET;
        pszMissing = FuncMessage::RBracketExpected;
        break;
    default: m_Parser.Error(FuncMessage::LParenExpected);
    }
    Enter();
    m_Parser.NextToken();
    Expression();
    if (m_Parser.m_nToken != nCloser)
        m_Parser.Error(pszMissing);
    m_Parser.NextToken();
    Leave();
}

// name := variable | constant | function bracket-group | "random" | "rand" | "undef" | reference
void CFuncCompiler::Name()
{
    const char* pszName = m_Parser.m_szName;
    // f1' and f1'': only a reference can be derived, at most twice.
    if (m_Parser.m_nPrimes > 0) {
        const unsigned nFunction = ReferenceNumber(pszName);
        if (!nFunction)
            m_Parser.Error(FuncMessage::DerivativeOfName);
        if (m_Parser.m_nPrimes > 2)
            m_Parser.Error(FuncMessage::TooManyPrimes);
        Reference(nFunction, m_Parser.m_nPrimes);
        return;
    }
    for (const SWord& word : g_Variables) {
        if (SameWord(pszName, word.m_pszWord)) {
            NeedPlace();
            m_Parser.NextToken();
            Emit(OP_VAR, 0.0, word.m_nSlot);
            m_bDirectVar.set(word.m_nSlot);
            return;
        }
    }
    if (SameWord(pszName, "pi") || SameWord(pszName, "e")) {
        const double dValue = SameWord(pszName, "pi") ? PI : EULER;
        NeedPlace();
        m_Parser.NextToken();
        Emit(OP_CONST, dValue);
        return;
    }
    for (const SWord& word : g_Functions) {
        if (SameWord(pszName, word.m_pszWord)) {
            m_Parser.NextToken();
            BracketGroup();
            Emit(word.m_nOp);
            return;
        }
    }
    if (SameWord(pszName, "sqr") || SameWord(pszName, "sqrt")) {
        const double dExponent = SameWord(pszName, "sqr") ? 2.0 : 0.5;
        m_Parser.NextToken();
        BracketGroup();
        Emit(OP_CONST, dExponent);
        Emit(OP_POW);
        return;
    }
    if (SameWord(pszName, "random") || SameWord(pszName, "rand") || SameWord(pszName, "undef")) {
        const uint32_t nOp = SameWord(pszName, "random") ? OP_RANDOM : SameWord(pszName, "rand") ? OP_RAND : OP_UNDEF;
        NeedPlace();
        m_Parser.NextToken();
        Emit(nOp);
        if (nOp != OP_UNDEF) // every a, b, c, d has a random number of its own in the cache
            m_bDirectVar |= std::bitset<FUNC_NSLOTS>(1u << SLOT_A | 1u << SLOT_B | 1u << SLOT_C | 1u << SLOT_D);
        return;
    }
    if (const unsigned nFunction = ReferenceNumber(pszName)) {
        Reference(nFunction);
        return;
    }
    m_Parser.Error(FuncMessage::UnknownName);
}

// reference := fN { "'" } [ "(" [ expression [","] ... up to 4 ] ")" ]
// A trailing comma is accepted, and so is a missing one where the argument cannot go on. With
// nOrder apostrophes it is the derivative of that order, with the same arguments.
void CFuncCompiler::Reference(unsigned nFunction, unsigned nOrder)
{
    NeedPlace();
    m_Parser.NextToken();
    uint32_t nArgs = 0;
    if (m_Parser.m_nToken == TK_LPAREN) {
        Enter();
        m_Parser.NextToken();
        while (m_Parser.m_nToken != TK_RPAREN && nArgs < 4) {
            Expression();
            ++nArgs;
            if (m_Parser.m_nToken == TK_COMMA)
                m_Parser.NextToken();
        }
        if (m_Parser.m_nToken != TK_RPAREN)
            m_Parser.Error(FuncMessage::RParenExpected);
        m_Parser.NextToken();
        Leave();
    }
    const uint32_t nReference = PackReference(nFunction, nArgs);
    if (nOrder)
        Emit(OP_DERIV, 0.0, PackDerivative(nFunction, nArgs, nOrder));
    else
        Emit(OP_REF, 0.0, nReference);
    // At most 50 functions with 5 argument counts each: the list stays short.
    if (std::find(m_References.begin(), m_References.end(), nReference) == m_References.end())
        m_References.push_back(nReference);
}
