// The compiler's messages and positions, precedence, the odd corners of the grammar, the
// code it emits (read through the listing) and the bounds on stack and nesting.
#include <gtest/gtest.h>

#include <string>

#include "expr/CFuncTerm.h"
#include "expr/COpcode.h"
#include "expr/EFuncError.h"

namespace {
// The error of compiling a text; fails the test if the text compiles.
EFuncError CompileError(const std::string& szText)
{
    try {
        CFuncTerm term(nullptr, szText.c_str());
    } catch (const EFuncError& error) {
        return error;
    }
    ADD_FAILURE() << "\"" << szText.substr(0, 80) << "\" compiles";
    return {"", -1};
}

std::string Listing(const std::string& szText)
{
    CFuncTerm term(nullptr, szText.c_str());
    return term.GetListing(1 << 20);
}

std::string Repeat(const std::string& szPart, int nCount)
{
    std::string szText;
    for (int i = 0; i < nCount; ++i)
        szText += szPart;
    return szText;
}

const char* const INVALID_CHAR = "Ung\xFCltiges Zeichen";
const char* const OPERATOR_OR_END = "Operator oder Ende des Ausdrucks erwartet";
const char* const UNEXPECTED_END = "Unerwartetes Ende des Ausdrucks";
const char* const UNEXPECTED_SYMBOL = "Unerwartetes Symbol";
const char* const UNKNOWN_NAME = "Unbekannte Funktion oder Variable";
const char* const LPAREN = "( erwartet";
const char* const RPAREN = ") erwartet";
const char* const RBRACE = "} erwartet";
const char* const RBRACKET = "] erwartet";
const char* const TOO_LARGE = "Zahl zu gro\xDF";
const char* const TOO_COMPLEX = "Ausdruck zu komplex";
const char* const DERIVATIVE_OF_NAME = "Ableiten lassen sich nur die Funktionen f1 bis f50";
const char* const TOO_MANY_PRIMES = "Nur erste und zweite Ableitung: f1' oder f1''";
} // namespace

TEST(CompilerMessages, TextsAreExact)
{
    // Users know these bytes (Windows-1252; "Unerwartes" is spelt so on purpose).
    EXPECT_STREQ(FuncMessage::InvalidChar, INVALID_CHAR);
    EXPECT_STREQ(FuncMessage::OperatorOrEnd, OPERATOR_OR_END);
    EXPECT_STREQ(FuncMessage::UnexpectedEnd, UNEXPECTED_END);
    EXPECT_STREQ(FuncMessage::UnexpectedSymbol, UNEXPECTED_SYMBOL);
    EXPECT_STREQ(FuncMessage::UnknownName, UNKNOWN_NAME);
    EXPECT_STREQ(FuncMessage::LParenExpected, LPAREN);
    EXPECT_STREQ(FuncMessage::RParenExpected, RPAREN);
    EXPECT_STREQ(FuncMessage::RBraceExpected, RBRACE);
    EXPECT_STREQ(FuncMessage::RBracketExpected, RBRACKET);
    EXPECT_STREQ(FuncMessage::NumberTooLarge, TOO_LARGE);
    EXPECT_STREQ(FuncMessage::TooComplex, TOO_COMPLEX);
    EXPECT_STREQ(FuncMessage::DerivativeOfName, DERIVATIVE_OF_NAME);
    EXPECT_STREQ(FuncMessage::TooManyPrimes, TOO_MANY_PRIMES);
}

// ---------------------------------------------------------------------------------------------
// Every error: text, message, position

struct SErrorRow {
    const char* m_pszName;
    const char* m_pszText;
    const char* m_pszMessage;
    int32_t m_nPosition;
};

const SErrorRow g_CompilerErrorRows[] = {
    SErrorRow{"InvalidCharacter", "x+#", INVALID_CHAR, 2},
    SErrorRow{"InvalidCharacterAfterValidPrefix", "sin(x)@", INVALID_CHAR, 6},
    SErrorRow{"SecondPoint", "1.5.2", INVALID_CHAR, 3},
    SErrorRow{"LeadingPoint", "x*.5", INVALID_CHAR, 2},
    // The top-level expressions are complete but the text goes on.
    SErrorRow{"TwoOperands", "x 2", OPERATOR_OR_END, 2},
    SErrorRow{"TwoNumbers", "2 3", OPERATOR_OR_END, 2},
    SErrorRow{"StrayCloser", "x)", OPERATOR_OR_END, 1},
    SErrorRow{"ChainedComparison", "a<b<c", OPERATOR_OR_END, 3},
    SErrorRow{"ConditionalInElseBranch", "a?b:c?d:e", OPERATOR_OR_END, 5},
    SErrorRow{"ConditionalInElseBranchSpaced", "x<0 ? -1 : x>0 ? 1 : 0", OPERATOR_OR_END, 15},
    SErrorRow{"ConditionalInThenBranch", "a ? b ? c : d", OPERATOR_OR_END, 6},
    SErrorRow{"BracketAfterName", "x[1]", OPERATOR_OR_END, 1},
    SErrorRow{"BraceAfterNumber", "2{x}", OPERATOR_OR_END, 1},
    SErrorRow{"BraceAfterReference", "f2{x}", OPERATOR_OR_END, 2},
    SErrorRow{"BracketAfterReference", "f2[x]", OPERATOR_OR_END, 2},
    SErrorRow{"RightOperandIsNumber", "(x+1) 2", OPERATOR_OR_END, 6},
    // An operand is needed but the text has ended.
    SErrorRow{"PlusAtEnd", "x+", UNEXPECTED_END, 2},
    SErrorRow{"OpenFunctionAtEnd", "sin(", UNEXPECTED_END, 4},
    SErrorRow{"BlanksOnly", "   ", UNEXPECTED_END, 3},
    SErrorRow{"CommentOnly", "// a comment", UNEXPECTED_END, 0},
    SErrorRow{"CommentAfterBlanks", "  // a comment", UNEXPECTED_END, 2},
    SErrorRow{"CommentAfterOperator", "x * // y", UNEXPECTED_END, 4},
    SErrorRow{"ConditionAtEnd", "x?", UNEXPECTED_END, 2},
    SErrorRow{"ElseAtEnd", "x?1:", UNEXPECTED_END, 4},
    SErrorRow{"CommaAtEnd", "x,", UNEXPECTED_END, 2},
    SErrorRow{"PowerAtEnd", "2^", UNEXPECTED_END, 2},
    SErrorRow{"ComparisonAtEnd", "x<=", UNEXPECTED_END, 3},
    SErrorRow{"OpenArgumentsAtEnd", "f1(", UNEXPECTED_END, 3},
    SErrorRow{"OpenArgumentAtEnd", "f1(x,", UNEXPECTED_END, 5},
    SErrorRow{"UnclosedArgumentsAtEnd", "f1(x", UNEXPECTED_END, 4},
    // An operator, closer or comma stands where an operand is needed.
    SErrorRow{"LeadingStar", "*x", UNEXPECTED_SYMBOL, 0},
    SErrorRow{"TwoOperators", "x+*y", UNEXPECTED_SYMBOL, 2},
    SErrorRow{"SignAfterOperator", "2*-x", UNEXPECTED_SYMBOL, 2},
    SErrorRow{"SignedExponent", "2^-1", UNEXPECTED_SYMBOL, 2},
    SErrorRow{"DoubleSign", "--x", UNEXPECTED_SYMBOL, 1},
    SErrorRow{"LeadingComma", "f2(,x)", UNEXPECTED_SYMBOL, 3},
    SErrorRow{"EmptyGroup", "()", UNEXPECTED_SYMBOL, 1},
    SErrorRow{"EmptyTopLevelExpression", "x,,y", UNEXPECTED_SYMBOL, 2},
    SErrorRow{"LeadingCloser", ")", UNEXPECTED_SYMBOL, 0},
    SErrorRow{"EmptyThenBranch", "x?:1", UNEXPECTED_SYMBOL, 2},
    SErrorRow{"LeadingQuestion", "?x", UNEXPECTED_SYMBOL, 0},
    SErrorRow{"NoNegation", "x & |y", UNEXPECTED_SYMBOL, 4},
    // Names.
    SErrorRow{"CapitalReference", "F1", UNKNOWN_NAME, 0},
    SErrorRow{"ReferenceZero", "f0", UNKNOWN_NAME, 0},
    SErrorRow{"Reference51", "f51", UNKNOWN_NAME, 0},
    SErrorRow{"HugeReference", "x+f4294967297", UNKNOWN_NAME, 2},
    SErrorRow{"UnknownWord", "2*foo", UNKNOWN_NAME, 2},
    SErrorRow{"FunctionNameRunsIntoName", "sinx", UNKNOWN_NAME, 0},
    SErrorRow{"TwoVariablesWithoutBlank", "xy", UNKNOWN_NAME, 0},
    SErrorRow{"FxWithDigit", "fx1", UNKNOWN_NAME, 0},
    SErrorRow{"Power", "pow(2,3)", UNKNOWN_NAME, 0},
    // Function brackets.
    SErrorRow{"FunctionWithoutBracket", "sin x", LPAREN, 4},
    SErrorRow{"FunctionAtEnd", "sin", LPAREN, 3},
    SErrorRow{"SqrtWithoutBracket", "sqrt 2", LPAREN, 5},
    SErrorRow{"AbsWithSign", "abs-1", LPAREN, 3},
    SErrorRow{"FunctionWithCloser", "exp)", LPAREN, 3},
    // Closers.
    SErrorRow{"MissingParen", "(x", RPAREN, 2},
    SErrorRow{"WrongCloserForParen", "(x]", RPAREN, 2},
    SErrorRow{"TwoArguments", "sin(x, y)", RPAREN, 5},
    SErrorRow{"FifthArgument", "f2(1,2,3,4,5)", RPAREN, 11},
    SErrorRow{"FifthArgumentSpaced", "f2(1, 2, 3, 4 5)", RPAREN, 14},
    SErrorRow{"ReferenceWrongCloser", "f2(x]", UNEXPECTED_SYMBOL, 4}, // tried as an argument
    SErrorRow{"MissingBrace", "{x", RBRACE, 2},
    SErrorRow{"WrongCloserForBrace", "{x)", RBRACE, 2},
    SErrorRow{"MissingBracket", "sqrt[x", RBRACKET, 6},
    SErrorRow{"WrongCloserForBracket", "[x}", RBRACKET, 2},
    SErrorRow{"InnerGroupReported", "((x)", RPAREN, 4},
    // Literals.
    SErrorRow{"NumberTooLarge", "1e400", TOO_LARGE, 0},
    SErrorRow{"NumberTooLargeInside", "x*(2+1e309)", TOO_LARGE, 5},
    // Derivatives: an apostrophe belongs to the name right before it, and only f1 ... f50 have one.
    SErrorRow{"DerivativeOfVariable", "2*x'", DERIVATIVE_OF_NAME, 2},
    SErrorRow{"DerivativeOfBuiltIn", "sin'(x)", DERIVATIVE_OF_NAME, 0},
    SErrorRow{"DerivativeOfUnknownWord", "g'(x)", DERIVATIVE_OF_NAME, 0},
    SErrorRow{"DerivativeOfF51", "f51'", DERIVATIVE_OF_NAME, 0},
    SErrorRow{"DerivativeOfCapitalReference", "F1'", DERIVATIVE_OF_NAME, 0},
    SErrorRow{"ThirdDerivative", "x+f1'''", TOO_MANY_PRIMES, 2},
    SErrorRow{"ApostropheAfterBlank", "f1 '", INVALID_CHAR, 3},
    SErrorRow{"ApostropheAlone", "'", INVALID_CHAR, 0},
    SErrorRow{"ApostropheAfterBracket", "(f1)'", INVALID_CHAR, 4},
    SErrorRow{"ApostropheAfterNumber", "2'", INVALID_CHAR, 1},
    SErrorRow{"DerivativeFifthArgument", "f2'(1,2,3,4,5)", RPAREN, 12},
};

TEST(CompilerError, HasMessageAndPosition)
{
    for (const SErrorRow& row : g_CompilerErrorRows) {
        SCOPED_TRACE(row.m_pszName);
        const EFuncError error = CompileError(row.m_pszText);
        EXPECT_STREQ(error.m_pszMessage, row.m_pszMessage) << row.m_pszText;
        EXPECT_EQ(error.m_nPosition, row.m_nPosition) << row.m_pszText;
    }
}

TEST(CompilerError, FirstErrorWins)
{
    const EFuncError error = CompileError("x+ # )");
    EXPECT_STREQ(error.m_pszMessage, INVALID_CHAR);
    EXPECT_EQ(error.m_nPosition, 3);
}

TEST(CompilerError, FailedCompilationLeavesNothingBehind)
{
    // Run under the sanitizer build this also checks that partly built code lists are released,
    // conditionals with their branches included.
    for (const char* pszText : {"x>0 ? (1+2*3) : (4", "f1(x, x ? 1 : 2, #", "1, 2, 3, sin(x", "x ? u ? 1"}) {
        EXPECT_THROW(CFuncTerm(nullptr, pszText), EFuncError) << pszText;
    }
}

// ---------------------------------------------------------------------------------------------
// Code emitted: the listing as oracle

struct SCodeRow {
    const char* m_pszName;
    const char* m_pszText;
    const char* m_pszListing;
};

const SCodeRow g_CompilerCodeRows[] = {
    // Precedence, lowest first: conditional, |, &, comparison, + -, * / implicit, ^.
    SCodeRow{"SumOfProducts", "1+2*3", "1 2 3 * + "},
    // Derivatives are references with their order; an apostrophe in a comment is never read.
    SCodeRow{"Derivative", "f1'", "f1'[0] "},
    SCodeRow{"SecondDerivativeWithArguments", "f12''(2*x, u)", "2 x * u f12''[2] "},
    SCodeRow{"DerivativeMultipliesImplicitly", "2f1'(x)f2''", "2 x f1'[1] * f2''[0] * "},
    SCodeRow{"DerivativeOfF7x", "f7x'", "f7'[0] "},
    SCodeRow{"ApostropheInComment", "x // f1' isn't read", "x "},
    SCodeRow{"LeftAssociativeSum", "1-2-3", "1 2 - 3 - "},
    SCodeRow{"LeftAssociativeQuotient", "8/4/2", "8 4 / 2 / "},
    SCodeRow{"LeftAssociativePower", "2^3^2", "2 3 ^ 2 ^ "},
    SCodeRow{"PowerBeforeProduct", "2*x^2", "2 x 2 ^ * "},
    SCodeRow{"ComparisonAfterSum", "x+1<u*2", "x 1 + u 2 * < "},
    SCodeRow{"AndBeforeOr", "a|b&c", "a b c and or "},
    SCodeRow{"ComparisonBeforeAnd", "x<1&u>2", "x 1 < u 2 > and "},
    SCodeRow{"OrChain", "a|b|c", "a b or c or "},
    SCodeRow{"EveryComparison", "(a<b)+(a>b)+(a<=b)+(a>=b)+(a=b)+(a==b)+(a!=b)+(a<>b)",
             "a b < a b > + a b <= + a b >= + a b = + a b = + a b != + a b != + "},
    // The leading sign applies to the whole term.
    SCodeRow{"LeadingMinusOfPower", "-x^2", "0 x 2 ^ - "},
    SCodeRow{"LeadingPlus", "+x", "0 x + "},
    SCodeRow{"LeadingMinusOfProduct", "-2*x+1", "0 2 x * - 1 + "},
    SCodeRow{"SignInsideBrackets", "2*(-x)", "2 0 x - * "},
    SCodeRow{"SignAfterComparison", "x<-1", "x 0 1 - < "},
    SCodeRow{"SignAfterComparisonInBrackets", "x<(-1)", "x 0 1 - < "},
    SCodeRow{"SignOfBranch", "x ? -1 : -x", "x ?[0 1 -] :[0 x -] "},
    SCodeRow{"SignOfArgument", "f2(-x)", "0 x - f2[1] "},
    // Implicit multiplication: a name or "(" after a power, same rank as *.
    SCodeRow{"NumberName", "2x", "2 x * "},
    SCodeRow{"NumberBracket", "2(x+1)", "2 x 1 + * "},
    SCodeRow{"BracketBracket", "(x+1)(x-1)", "x 1 + x 1 - * "},
    SCodeRow{"QuotientThenName", "a/b c", "a b / c * "},
    SCodeRow{"ImplicitAfterPower", "2x^2", "2 x 2 ^ * "},
    SCodeRow{"NameName", "x u", "x u * "},
    SCodeRow{"NumberFunction", "2 sin(x)", "2 x sin * "},
    SCodeRow{"FunctionFunction", "sin(x)cos(x)", "x sin x cos * "},
    SCodeRow{"NameBracket", "x(1)", "x 1 * "},
    SCodeRow{"NumberConstant", "2pi", "2 3.14159 * "},
    SCodeRow{"NumberEuler", "2 e", "2 2.71828 * "},
    SCodeRow{"ImplicitIsLeftToRight", "x/u v/c", "x u / v * c / "},
    // Conditionals: "?" and ":" both open one.
    SCodeRow{"ThenOnly", "x>0 ? 1", "x 0 > ?[1] :[undef] "},
    SCodeRow{"ThenElse", "x>0 ? 1 : 0", "x 0 > ?[1] :[0] "},
    SCodeRow{"ColonOpens", "x>0 : 1 : 0", "x 0 > ?[1] :[0] "},
    SCodeRow{"ColonOpensWithoutElse", "x : 1", "x ?[1] :[undef] "},
    SCodeRow{"NestedInBrackets", "x<0 ? -1 : (x>0 ? 1 : 0)", "x 0 < ?[0 1 -] :[x 0 > ?[1] :[0]] "},
    SCodeRow{"ConditionIsOrExpression", "a|b ? c : d", "a b or ?[c] :[d] "},
    SCodeRow{"BranchIsOrExpression", "a ? b|c : d&c", "a ?[b c or] :[d c and] "},
    SCodeRow{"ConditionalPerValue", "x ? 1 : 2, u ? 3", "x ?[1] :[2] u ?[3] :[undef] "},
    SCodeRow{"ConditionalAsArgument", "f1(x ? 1 : 2, u)", "x ?[1] :[2] u f1[2] "},
    // Brackets of the three kinds, also for function arguments.
    SCodeRow{"Braces", "{x+1}*2", "x 1 + 2 * "},
    SCodeRow{"Brackets", "[x+1]*2", "x 1 + 2 * "},
    SCodeRow{"SqrWithBraces", "sqr{x}", "x 2 ^ "},
    SCodeRow{"SqrtWithBrackets", "sqrt[x]", "x 0.5 ^ "},
    SCodeRow{"Sqrt", "sqrt(x)", "x 0.5 ^ "},
    SCodeRow{"NestedMixedBrackets", "sin{[(x)]}", "x sin "},
    // Names, case-insensitively.
    SCodeRow{"Pi", "PI", "3.14159 "},
    SCodeRow{"MixedCaseFunction", "Sin(X)", "x sin "},
    SCodeRow{"UpperFx", "FX", "a "},
    SCodeRow{"UpperF", "F", "b "},
    SCodeRow{"TIsX", "t", "x "},
    SCodeRow{"Slots", "x,u,v,a,b,c,d", "x u v a b c d "},
    SCodeRow{"AliasesOfA", "n,fx,N", "a a a "},
    SCodeRow{"AliasesOfB", "f,fy,FY", "b b b "},
    SCodeRow{"EveryFunction",
             "sin(x),cos(x),tan(x),asin(x),acos(x),atan(x),ln(x),log(x),log10(x),exp(x),int(x),frac(x),abs(x)",
             "x sin x cos x tan x asin x acos x atan x ??? x ??? x ??? x ??? x int x frac x ??? "},
    SCodeRow{"NoArgumentWords", "random, rand, undef, RANDOM, Rand, UNDEF", "random rand undef random rand undef "},
    // References f1 ... f50 and their argument lists.
    SCodeRow{"ReferenceWithoutArguments", "f2", "f2[0] "},
    SCodeRow{"ReferenceEmptyArguments", "f2()", "f2[0] "},
    SCodeRow{"ReferenceOneArgument", "f2(x)", "x f2[1] "},
    SCodeRow{"ReferenceTwoArguments", "f2(x, 3)", "x 3 f2[2] "},
    SCodeRow{"ReferenceFourArguments", "f50(1,2,3,4)", "1 2 3 4 f50[4] "},
    SCodeRow{"ReferenceTrailingComma", "f2(x,)", "x f2[1] "},
    SCodeRow{"ReferenceMissingComma", "f2(x 2)", "x 2 f2[2] "},
    SCodeRow{"ReferenceFourWithTrailingComma", "f2(1,2,3,4,)", "1 2 3 4 f2[4] "},
    SCodeRow{"ReferenceNestedArguments", "f1(f2(x), f3)", "x f2[1] f3[0] f1[2] "},
    SCodeRow{"ReferenceDigitsThenLetters", "f7x", "f7[0] "},
    SCodeRow{"ReferenceLeadingZero", "f03", "f3[0] "},
    SCodeRow{"ReferenceF1", "f1", "f1[0] "},
    SCodeRow{"ReferenceImplicitProduct", "2f1(x)", "2 x f1[1] * "},
    SCodeRow{"ReferenceThenBracket", "f1 (x)", "x f1[1] "},
    // Several top-level expressions are one code list.
    SCodeRow{"TwoValues", "x+1, 2", "x 1 + 2 "},
    SCodeRow{"CommentEnds", "x+1 // +2", "x 1 + "},
};

TEST(CompilerCode, IsListedAs)
{
    for (const SCodeRow& row : g_CompilerCodeRows) {
        SCOPED_TRACE(row.m_pszName);
        EXPECT_EQ(Listing(row.m_pszText), row.m_pszListing) << row.m_pszText;
    }
}

TEST(CompilerCode, ValueCountIsTheNumberOfTopLevelExpressions)
{
    EXPECT_EQ(CFuncTerm(nullptr, "x").GetValueCount(), 1u);
    EXPECT_EQ(CFuncTerm(nullptr, "x+1, 2").GetValueCount(), 2u);
    EXPECT_EQ(CFuncTerm(nullptr, "f1(1,2,3), x ? 1 : 2").GetValueCount(), 2u) << "argument commas do not count";
}

TEST(CompilerCode, CommaInsideBracketsIsAnError)
{
    const EFuncError error = CompileError("(u, v)");
    EXPECT_STREQ(error.m_pszMessage, RPAREN);
    EXPECT_EQ(error.m_nPosition, 2);
}

TEST(CompilerCode, NodesCarryOpcodeConstantAndOperand)
{
    CFuncTerm term(nullptr, "2.5*fy + f12(x,u,v)");
    const CFuncNode* p = term.GetCode();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->m_nOp, OP_CONST);
    EXPECT_EQ(p->m_dConst, 2.5);
    p = p->m_pNext;
    EXPECT_EQ(p->m_nOp, OP_VAR);
    EXPECT_EQ(p->m_nArg, 4u);
    EXPECT_EQ(p->m_dConst, 0.0);
    p = p->m_pNext;
    EXPECT_EQ(p->m_nOp, OP_MUL);
    EXPECT_EQ(p->m_nArg, 0u);
    for (int i = 0; i < 3; ++i)
        p = p->m_pNext;
    EXPECT_EQ(p->m_nOp, OP_VAR);
    EXPECT_EQ(p->m_nArg, 2u);
    p = p->m_pNext;
    EXPECT_EQ(p->m_nOp, OP_REF);
    EXPECT_EQ(p->m_nArg, 123u);
    p = p->m_pNext;
    EXPECT_EQ(p->m_nOp, OP_ADD);
    EXPECT_EQ(p->m_pNext, nullptr);
}

TEST(CompilerCode, ConditionalNodeOwnsItsBranches)
{
    CFuncTerm term(nullptr, "x ? 1");
    const CFuncNode* pCond = term.GetCode()->m_pNext;
    ASSERT_NE(pCond, nullptr);
    EXPECT_EQ(pCond->m_nOp, OP_COND);
    EXPECT_EQ(pCond->m_pNext, nullptr);
    ASSERT_NE(pCond->m_pThen, nullptr);
    EXPECT_EQ(pCond->m_pThen->m_nOp, OP_CONST);
    EXPECT_EQ(pCond->m_pThen->m_dConst, 1.0);
    EXPECT_EQ(pCond->m_pThen->m_pNext, nullptr);
    ASSERT_NE(pCond->m_pElse, nullptr);
    EXPECT_EQ(pCond->m_pElse->m_nOp, OP_UNDEF);
    EXPECT_EQ(pCond->m_pElse->m_pNext, nullptr);
}

TEST(CompilerCode, ConstantsAreRoundedToDouble)
{
    CFuncTerm pi(nullptr, "pi");
    EXPECT_EQ(pi.GetCode()->m_dConst, 3.141592653589793);
    CFuncTerm e(nullptr, "E");
    EXPECT_EQ(e.GetCode()->m_dConst, 2.718281828459045);
}

TEST(CompilerCode, TextIsCopiedAsGiven)
{
    std::string szText = "x+1 // note";
    CFuncTerm term(nullptr, szText.c_str());
    szText = "changed";
    EXPECT_EQ(term.GetText(), "x+1 // note");
}

TEST(CompilerCode, EmptyTextHasNoCode)
{
    CFuncTerm term(nullptr, "");
    EXPECT_EQ(term.GetCode(), nullptr);
    EXPECT_EQ(term.GetValueCount(), 0u);
    EXPECT_EQ(term.GetListing(), "");
}

TEST(CompilerCode, FreshTermState)
{
    CFuncTerm term(nullptr, "x+u");
    EXPECT_FALSE(term.AreDepsValid());
    EXPECT_EQ(term.GetCache().GetItems(), 0u);
    EXPECT_EQ(term.GetCache().GetHits(), 0u);
    EXPECT_EQ(term.GetCache().GetMisses(), 0u);
    for (const auto* pHead : term.GetCache().GetChains())
        EXPECT_EQ(pHead, nullptr);
    EXPECT_EQ(term.GetProject(), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Bounds: at most 50 stack places and 200 levels of nesting

TEST(CompilerBounds, FiftyTopLevelExpressionsCompile)
{
    const std::string szText = "x" + Repeat(",x", 49);
    CFuncTerm term(nullptr, szText.c_str());
    EXPECT_EQ(term.GetValueCount(), 50u);
}

TEST(CompilerBounds, FiftyFirstTopLevelExpressionIsTooComplex)
{
    const EFuncError error = CompileError("x" + Repeat(",x", 50));
    EXPECT_STREQ(error.m_pszMessage, TOO_COMPLEX);
    EXPECT_EQ(error.m_nPosition, 100); // the 51st x
}

TEST(CompilerBounds, FiftyFirstValueOfAnyKindIsTooComplex)
{
    // Numbers, constants, random, undef and references each take a place of their own.
    for (const char* pszLast : {"7", "pi", "random", "rand", "undef", "f1", "f1(1,2)", "-1", "x"}) {
        const EFuncError error = CompileError(Repeat("1,", 50) + pszLast);
        EXPECT_STREQ(error.m_pszMessage, TOO_COMPLEX) << pszLast;
        EXPECT_EQ(error.m_nPosition, 100) << pszLast;
    }
}

TEST(CompilerBounds, PendingOperandsCount)
{
    // "1+(1+(1+(...": every level leaves its 1 pending; the 51st 1 finds no place.
    const std::string szFifty = Repeat("1+(", 49) + "1" + Repeat(")", 49);
    EXPECT_NO_THROW(CFuncTerm(nullptr, szFifty.c_str()));
    const EFuncError error = CompileError(Repeat("1+(", 60) + "1" + Repeat(")", 60));
    EXPECT_STREQ(error.m_pszMessage, TOO_COMPLEX);
    EXPECT_EQ(error.m_nPosition, 150);
}

TEST(CompilerBounds, ConditionalReusesTheConditionsPlace)
{
    // 49 values and a conditional: the condition's place is the branch's place.
    EXPECT_NO_THROW(CFuncTerm(nullptr, (Repeat("1,", 49) + "x ? u : v").c_str()));
    // But a comparison as the condition needs two places.
    const EFuncError error = CompileError(Repeat("1,", 49) + "x>0 ? u : v");
    EXPECT_STREQ(error.m_pszMessage, TOO_COMPLEX);
    EXPECT_EQ(error.m_nPosition, 100);
    // A branch that needs a second place is too complex as well, in either branch.
    EXPECT_EQ(CompileError(Repeat("1,", 49) + "x ? 1+u : v").m_nPosition, 104);
    EXPECT_EQ(CompileError(Repeat("1,", 49) + "x ? u : 1+v").m_nPosition, 108);
}

TEST(CompilerBounds, ReferenceArgumentsTakePlaces)
{
    EXPECT_NO_THROW(CFuncTerm(nullptr, (Repeat("1,", 46) + "f1(1,2,3,4)").c_str()));
    const EFuncError error = CompileError(Repeat("1,", 47) + "f1(1,2,3,4)");
    EXPECT_STREQ(error.m_pszMessage, TOO_COMPLEX);
    EXPECT_EQ(error.m_nPosition, 94 + 9); // the 4
}

TEST(CompilerBounds, TwoHundredBracketLevelsCompile)
{
    for (const char* pszOpen : {"(", "{", "["}) {
        const char* pszClose = *pszOpen == '(' ? ")" : *pszOpen == '{' ? "}" : "]";
        const std::string szText = Repeat(pszOpen, 200) + "x" + Repeat(pszClose, 200);
        EXPECT_EQ(Listing(szText), "x ") << pszOpen;
    }
}

TEST(CompilerBounds, TwoHundredFirstBracketLevelIsTooComplex)
{
    const EFuncError error = CompileError(Repeat("(", 201) + "x" + Repeat(")", 201));
    EXPECT_STREQ(error.m_pszMessage, TOO_COMPLEX);
    EXPECT_EQ(error.m_nPosition, 200);
}

TEST(CompilerBounds, HundredThousandOpeningBracketsDoNotCrash)
{
    const EFuncError error = CompileError(std::string(100000, '('));
    EXPECT_STREQ(error.m_pszMessage, TOO_COMPLEX);
    EXPECT_EQ(error.m_nPosition, 200);
    const EFuncError mixed = CompileError(Repeat("{[(", 40000));
    EXPECT_STREQ(mixed.m_pszMessage, TOO_COMPLEX);
    EXPECT_EQ(mixed.m_nPosition, 200);
}

TEST(CompilerBounds, FunctionNestingIsBounded)
{
    EXPECT_NO_THROW(CFuncTerm(nullptr, (Repeat("sin(", 200) + "x" + Repeat(")", 200)).c_str()));
    const EFuncError error = CompileError(Repeat("sin(", 100000));
    EXPECT_STREQ(error.m_pszMessage, TOO_COMPLEX);
    EXPECT_EQ(error.m_nPosition, 4 * 200 + 3);
}

TEST(CompilerBounds, ReferenceNestingIsBounded)
{
    EXPECT_NO_THROW(CFuncTerm(nullptr, (Repeat("f1(", 200) + "x" + Repeat(")", 200)).c_str()));
    const EFuncError error = CompileError(Repeat("f1(", 100000));
    EXPECT_STREQ(error.m_pszMessage, TOO_COMPLEX);
    EXPECT_EQ(error.m_nPosition, 3 * 200 + 2);
}

TEST(CompilerBounds, NestingCountsBracketsAndArgumentListsTogether)
{
    EXPECT_EQ(CompileError(Repeat("f1((", 100) + "(x").m_nPosition, 4 * 100);
    EXPECT_NO_THROW(CFuncTerm(nullptr, (Repeat("f1((", 100) + "x" + Repeat("))", 100)).c_str()));
}

TEST(CompilerBounds, ClosedBracketsDoNotCount)
{
    // Depth is what is open at once, not how many groups there are.
    const std::string szText = Repeat("(x)+", 5000) + "1";
    CFuncTerm term(nullptr, szText.c_str());
    EXPECT_EQ(term.GetValueCount(), 1u);
}

TEST(CompilerBounds, TextLengthIsBounded)
{
    // The longest text compiles; one character more is refused before any work on it.
    std::string szText = "x" + Repeat("+x", (FUNC_MAX_TEXT - 1) / 2);
    szText.resize(FUNC_MAX_TEXT, ' ');
    EXPECT_NO_THROW(CFuncTerm(nullptr, szText.c_str()));
    const EFuncError error = CompileError(szText + "(");
    EXPECT_STREQ(error.m_pszMessage, "Formel zu lang");
    EXPECT_EQ(error.m_nPosition, static_cast<int32_t>(FUNC_MAX_TEXT));
}

TEST(CompilerBounds, LongFlatFormulaCompilesAndIsReleased)
{
    const std::string szText = "x" + Repeat("+x", 100000);
    CFuncTerm term(nullptr, szText.c_str());
    EXPECT_EQ(term.GetValueCount(), 1u);
}

// A project may hold 50 formulas of the longest length: a term keeps its text and a program of
// a few bytes per character, not its code list (tens of bytes a node), and a constant written
// again and again is kept once. The list comes back on demand, as it was.
TEST(CompilerBounds, LongFormulasKeepFewBytesPerCharacter)
{
    const struct {
        const char* m_pszName;
        const char* m_pszPart;
    } shapes[] = {{"sum", "+x"},
                  {"constants", "+1"},
                  {"mixed", "+sin(x*1.25)-u^2/3"},
                  {"conditional", "+(x<1?x:u)"},
                  {"mirrored conditional", "+(1>=x?x:u)"},
                  {"and", "&x"},
                  {"or", "|u"}};
    for (const auto& shape : shapes) {
        const std::string szPart = shape.m_pszPart;
        const std::string szText = "x" + Repeat(szPart, static_cast<int>(FUNC_MAX_TEXT / 4 / szPart.size()));
        CFuncTerm term(nullptr, szText.c_str());
        // Fifty such formulas, the document's text and what a save needs fit in ten times the file.
        EXPECT_LT(term.Bytes(), 6 * szText.size()) << shape.m_pszName;
        const size_t nNodes = [&term] {
            size_t n = 0;
            for (const CFuncNode* p = term.GetCode(); p; p = p->m_pNext)
                ++n;
            return n;
        }();
        EXPECT_GT(nNodes, szText.size() / szPart.size()) << shape.m_pszName;
    }
    CFuncTerm small(nullptr, "x<1 ? 2.5 : u");
    EXPECT_EQ(Listing("x<1 ? 2.5 : u"), small.GetListing(1 << 20));
    EXPECT_EQ(small.GetCode()->m_pNext->m_pNext->m_pNext->m_pThen->m_dConst, 2.5);
}
