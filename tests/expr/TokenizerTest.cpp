// The tokenizer's token kinds, positions, names, number literals and its one error.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "expr/CFuncParser.h"

namespace {
struct SToken {
    ETokenKind m_nKind;
    int32_t m_nMark;
    std::string m_szName;
    double m_dNumber;
};

// Every token of a text up to and including the first TK_END.
std::vector<SToken> Tokens(const char* pszText)
{
    CFuncParser parser(pszText);
    std::vector<SToken> tokens;
    for (int i = 0; i < 10000; ++i) {
        tokens.push_back({parser.m_nToken, parser.m_nMark, parser.m_szName, parser.m_dNumber});
        if (parser.m_nToken == TK_END)
            break;
        parser.NextToken();
    }
    return tokens;
}

std::vector<ETokenKind> Kinds(const char* pszText)
{
    std::vector<ETokenKind> kinds;
    for (const SToken& token : Tokens(pszText))
        kinds.push_back(token.m_nKind);
    return kinds;
}

// The error that tokenizing the whole text raises; fails the test if there is none.
EFuncError TokenError(const char* pszText)
{
    try {
        Tokens(pszText);
    } catch (const EFuncError& error) {
        return error;
    }
    ADD_FAILURE() << "no error for \"" << pszText << "\"";
    return {"", -1};
}

double Literal(const char* pszText)
{
    CFuncParser parser(pszText);
    EXPECT_EQ(parser.m_nToken, TK_NUMBER) << pszText;
    return parser.m_dNumber;
}
} // namespace

// The numeric values of the kinds are fixed (2 is not used).
static_assert(TK_END == 0 && TK_NUMBER == 1 && TK_NAME == 3 && TK_COMMA == 4 && TK_LPAREN == 5);
static_assert(TK_RPAREN == 6 && TK_PLUS == 7 && TK_MINUS == 8 && TK_MUL == 9 && TK_DIV == 10);
static_assert(TK_POW == 11 && TK_LT == 12 && TK_GT == 13 && TK_LE == 14 && TK_GE == 15 && TK_NE == 16);
static_assert(TK_EQ == 17 && TK_AND == 18 && TK_OR == 19 && TK_QUESTION == 20 && TK_COLON == 21);
static_assert(TK_LBRACE == 22 && TK_RBRACE == 23 && TK_LBRACKET == 24 && TK_RBRACKET == 25);

TEST(Tokenizer, EmptyTextEndsAtOnce)
{
    CFuncParser empty("");
    EXPECT_EQ(empty.m_nToken, TK_END);
    EXPECT_EQ(empty.m_nMark, 0);
    CFuncParser blanks("   ");
    EXPECT_EQ(blanks.m_nToken, TK_END);
    EXPECT_EQ(blanks.m_nMark, 3);
}

TEST(Tokenizer, EndRepeatsAtTheSamePlace)
{
    CFuncParser parser("x");
    EXPECT_EQ(parser.NextToken(), TK_END);
    EXPECT_EQ(parser.m_nMark, 1);
    EXPECT_EQ(parser.NextToken(), TK_END);
    EXPECT_EQ(parser.m_nMark, 1);
}

TEST(Tokenizer, CommentAtTheStartEndsAtZero)
{
    CFuncParser parser("// nothing but a comment");
    EXPECT_EQ(parser.m_nToken, TK_END);
    EXPECT_EQ(parser.m_nMark, 0);
    EXPECT_EQ(parser.m_nPos, 0);
}

TEST(Tokenizer, CommentEndsTheTextForGood)
{
    const auto tokens = Tokens("x//y");
    ASSERT_EQ(tokens.size(), 2u);
    EXPECT_EQ(tokens[0].m_nKind, TK_NAME);
    EXPECT_EQ(tokens[0].m_szName, "x");
    EXPECT_EQ(tokens[1].m_nKind, TK_END);
    EXPECT_EQ(tokens[1].m_nMark, 1);

    CFuncParser parser("1 // \xE4 # anything"); // nothing after // is looked at
    EXPECT_EQ(parser.NextToken(), TK_END);
    EXPECT_EQ(parser.NextToken(), TK_END);
    EXPECT_EQ(parser.m_nMark, 2);
}

TEST(Tokenizer, SingleSlashIsDivision)
{
    EXPECT_EQ(Kinds("a/ /b"), (std::vector<ETokenKind>{TK_NAME, TK_DIV, TK_DIV, TK_NAME, TK_END}));
}

TEST(Tokenizer, EveryOperatorAndBracket)
{
    EXPECT_EQ(Kinds(", ( ) + - * / ^ < > = & | ? : { } [ ]"),
              (std::vector<ETokenKind>{TK_COMMA, TK_LPAREN, TK_RPAREN, TK_PLUS,     TK_MINUS,    TK_MUL, TK_DIV,
                                       TK_POW,   TK_LT,     TK_GT,     TK_EQ,       TK_AND,      TK_OR,  TK_QUESTION,
                                       TK_COLON, TK_LBRACE, TK_RBRACE, TK_LBRACKET, TK_RBRACKET, TK_END}));
    EXPECT_EQ(Kinds("<= <> >= == !="), (std::vector<ETokenKind>{TK_LE, TK_NE, TK_GE, TK_EQ, TK_NE, TK_END}));
}

TEST(Tokenizer, TwoSpellingsOfNotEqualAndEqual)
{
    EXPECT_EQ(Kinds("a<>b"), Kinds("a!=b"));
    EXPECT_EQ(Kinds("a<>b"), (std::vector<ETokenKind>{TK_NAME, TK_NE, TK_NAME, TK_END}));
    EXPECT_EQ(Kinds("a=b"), Kinds("a==b"));
    EXPECT_EQ(Kinds("a=b"), (std::vector<ETokenKind>{TK_NAME, TK_EQ, TK_NAME, TK_END}));
}

TEST(Tokenizer, SeparatedTwoCharacterOperatorIsTwoTokens)
{
    EXPECT_EQ(Kinds("a< =b"), (std::vector<ETokenKind>{TK_NAME, TK_LT, TK_EQ, TK_NAME, TK_END}));
    EXPECT_EQ(Kinds("a=<b"), (std::vector<ETokenKind>{TK_NAME, TK_EQ, TK_LT, TK_NAME, TK_END}));
    EXPECT_EQ(Kinds("a===b"), (std::vector<ETokenKind>{TK_NAME, TK_EQ, TK_EQ, TK_NAME, TK_END}));
}

TEST(Tokenizer, MarksAndPositions)
{
    const auto tokens = Tokens("  ab <= 12.5\t)");
    ASSERT_EQ(tokens.size(), 5u);
    EXPECT_EQ(tokens[0].m_nMark, 2);
    EXPECT_EQ(tokens[1].m_nMark, 5);
    EXPECT_EQ(tokens[2].m_nMark, 8);
    EXPECT_EQ(tokens[3].m_nMark, 13);
    EXPECT_EQ(tokens[4].m_nMark, 14);
}

TEST(Tokenizer, AllSixWhiteSpaceCharacters)
{
    const auto tokens = Tokens(" \t\n\v\f\rx");
    ASSERT_EQ(tokens.size(), 2u);
    EXPECT_EQ(tokens[0].m_nKind, TK_NAME);
    EXPECT_EQ(tokens[0].m_nMark, 6);
}

TEST(Tokenizer, NumberFollowedByNameIsTwoTokens)
{
    const auto tokens = Tokens("2x");
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[0].m_nKind, TK_NUMBER);
    EXPECT_EQ(tokens[0].m_dNumber, 2.0);
    EXPECT_EQ(tokens[1].m_nKind, TK_NAME);
    EXPECT_EQ(tokens[1].m_szName, "x");
    EXPECT_EQ(tokens[1].m_nMark, 1);

    const auto name = Tokens("x2");
    ASSERT_EQ(name.size(), 2u);
    EXPECT_EQ(name[0].m_szName, "x2");
}

TEST(Tokenizer, NamesKeepTheirCase)
{
    const auto tokens = Tokens("SiN Fx9y");
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[0].m_szName, "SiN");
    EXPECT_EQ(tokens[1].m_szName, "Fx9y");
}

TEST(Tokenizer, OtherTokensHaveNoNameAndNoNumber)
{
    CFuncParser parser("abc 5 +");
    EXPECT_STREQ(parser.m_szName, "abc");
    parser.NextToken();
    EXPECT_STREQ(parser.m_szName, "");
    EXPECT_EQ(parser.m_dNumber, 5.0);
    parser.NextToken();
    EXPECT_STREQ(parser.m_szName, "");
    EXPECT_EQ(parser.m_dNumber, 0.0);
}

TEST(Tokenizer, LongNameKeepsItsFirst1023Letters)
{
    const std::string szText = std::string(2000, 'q') + "+";
    const auto tokens = Tokens(szText.c_str());
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[0].m_nKind, TK_NAME);
    EXPECT_EQ(tokens[0].m_szName, std::string(1023, 'q'));
    EXPECT_EQ(tokens[1].m_nKind, TK_PLUS);
    EXPECT_EQ(tokens[1].m_nMark, 2000);
}

TEST(Tokenizer, TextIsCopied)
{
    std::string szText = "abc";
    CFuncParser parser(szText.c_str());
    szText = "xyz";
    EXPECT_EQ(parser.m_pszText, "abc");
    EXPECT_STREQ(parser.m_szName, "abc");
}

// ---------------------------------------------------------------------------------------------
// Number literals

struct SLiteralRow {
    const char* m_pszName;
    const char* m_pszText;
    double m_dValue;
};

const SLiteralRow g_TokenizerLiteralRows[] = {
    SLiteralRow{"Integer", "42", 42.0},
    SLiteralRow{"Zero", "0", 0.0},
    SLiteralRow{"Fraction", "12.5", 12.5},
    SLiteralRow{"TrailingPoint", "5.", 5.0},
    SLiteralRow{"Exponent", "2e3", 2000.0},
    SLiteralRow{"UpperNegativeExponent", "2E-3", 0.002},
    SLiteralRow{"PlusExponent", "1.5e+3", 1500.0},
    SLiteralRow{"PointThenExponent", "5.e2", 500.0},
    SLiteralRow{"ExponentWithoutDigits", "2e", 2.0},
    SLiteralRow{"SignWithoutDigits", "2e-", 2.0},
    // Correct rounding, not a v*10+d loop:
    SLiteralRow{"PointOne", "0.1", 0.1},
    SLiteralRow{"PointThree", "0.3", 0.3},
    SLiteralRow{"ManyDigits", "3.14159265358979323846264338327950288", 3.141592653589793},
    SLiteralRow{"LongInteger", "123456789012345678901234567890", 1.2345678901234568e29},
    SLiteralRow{"LeadingZeros", "000123.2500", 123.25},
    SLiteralRow{"Largest", "1.7976931348623157e308", 1.7976931348623157e308},
    SLiteralRow{"Subnormal", "5e-324", 4.9406564584124654e-324},
    SLiteralRow{"TinyIsZero", "1e-400", 0.0},
    SLiteralRow{"HugeNegativeExponentIsZero", "7e-99999999999", 0.0},
    SLiteralRow{"ZeroWithHugeExponent", "0e99999", 0.0},
    SLiteralRow{"ZerosWithHugeExponent", "0.000e400", 0.0},
};

TEST(TokenizerLiteral, HasItsValue)
{
    for (const SLiteralRow& row : g_TokenizerLiteralRows) {
        SCOPED_TRACE(row.m_pszName);
        EXPECT_EQ(Literal(row.m_pszText), row.m_dValue) << row.m_pszText;
    }
}

TEST(Tokenizer, LiteralEndsAtTheFirstCharacterThatDoesNotFit)
{
    const auto tokens = Tokens("2ex");
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[0].m_dNumber, 2.0);
    EXPECT_EQ(tokens[1].m_szName, "x");
    EXPECT_EQ(tokens[1].m_nMark, 2);

    const auto sign = Tokens("2e-x"); // "2e-" is the number 2
    ASSERT_EQ(sign.size(), 3u);
    EXPECT_EQ(sign[0].m_dNumber, 2.0);
    EXPECT_EQ(sign[1].m_nKind, TK_NAME);
    EXPECT_EQ(sign[1].m_nMark, 3);

    const auto exponent = Tokens("1e2e3");
    ASSERT_EQ(exponent.size(), 3u);
    EXPECT_EQ(exponent[0].m_dNumber, 100.0);
    EXPECT_EQ(exponent[1].m_szName, "e3");
}

TEST(Tokenizer, SecondPointIsAnInvalidCharacter)
{
    CFuncParser parser("1.5.2");
    EXPECT_EQ(parser.m_nToken, TK_NUMBER);
    EXPECT_EQ(parser.m_dNumber, 1.5);
    try {
        parser.NextToken();
        FAIL() << "no error";
    } catch (const EFuncError& error) {
        EXPECT_STREQ(error.m_pszMessage, "Ung\xFCltiges Zeichen");
        EXPECT_EQ(error.m_nPosition, 3);
    }
}

TEST(Tokenizer, LiteralTooLargeForADoubleIsRejectedAtTheLiteral)
{
    for (const char* pszText : {"1e400", "1e309", "2e99999999999", "1.8e308",
                                "100000000000000000000000000000000000000000000000000000000000000000000000000000"
                                "000000000000000000000000000000000000000000000000000000000000000000000000000000"
                                "000000000000000000000000000000000000000000000000000000000000000000000000000000"
                                "000000000000000000000000000000000000000000000000000000000000000000000000000000"
                                "0000000000000000000000"}) {
        const EFuncError error = TokenError(pszText);
        EXPECT_STREQ(error.m_pszMessage, "Zahl zu gro\xDF") << pszText;
        EXPECT_EQ(error.m_nPosition, 0) << pszText;
    }
    const EFuncError error = TokenError("x + 1e400");
    EXPECT_STREQ(error.m_pszMessage, "Zahl zu gro\xDF");
    EXPECT_EQ(error.m_nPosition, 4);
}

// ---------------------------------------------------------------------------------------------
// "Ungültiges Zeichen"

struct SInvalidRow {
    const char* m_pszName;
    const char* m_pszText;
    int32_t m_nPosition;
};

const SInvalidRow g_TokenizerInvalidRows[] = {
    SInvalidRow{"Exclamation", "!", 0},
    SInvalidRow{"ExclamationBeforeName", "a!b", 1},
    SInvalidRow{"LeadingPoint", ".5", 0},
    SInvalidRow{"Hash", "x+#", 2},
    SInvalidRow{"Dollar", "$x", 0},
    SInvalidRow{"Quote", "x \"", 2},
    SInvalidRow{"Apostrophe", "'", 0},
    SInvalidRow{"Semicolon", "x;y", 1},
    SInvalidRow{"Underscore", "a_b", 1},
    SInvalidRow{"Umlaut", "\xE4", 0},
    SInvalidRow{"HighByteAfterName", "x\xFF", 1},
    SInvalidRow{"ControlCharacter", "\x01", 0},
    SInvalidRow{"LeadingBlanksCount", "   %", 3},
    SInvalidRow{"Backslash", "\\", 0},
};

TEST(TokenizerInvalid, IsRejectedAtTheCharacter)
{
    for (const SInvalidRow& row : g_TokenizerInvalidRows) {
        SCOPED_TRACE(row.m_pszName);
        const EFuncError error = TokenError(row.m_pszText);
        EXPECT_STREQ(error.m_pszMessage, "Ung\xFCltiges Zeichen");
        EXPECT_EQ(error.m_nPosition, row.m_nPosition);
    }
}

TEST(Tokenizer, InvalidFirstTokenThrowsFromTheConstructor)
{
    EXPECT_THROW(CFuncParser("#"), EFuncError);
}

TEST(Tokenizer, ErrorCarriesTheCurrentMark)
{
    CFuncParser parser("  abc");
    try {
        parser.Error("msg");
        FAIL();
    } catch (const EFuncError& error) {
        EXPECT_STREQ(error.m_pszMessage, "msg");
        EXPECT_EQ(error.m_nPosition, 2);
    }
}
