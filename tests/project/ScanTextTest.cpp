// CScanText: the scanning conversions of the file formats (%u, %x, %d, %lg, %c and literals),
// read as sscanf reads them, except that a number that does not fit its field does not match.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

#include "project/CScanText.h"

namespace {
struct SUnsigned {
    bool m_bOk;
    uint32_t m_nValue;
    size_t m_nPos;
};

SUnsigned ScanUnsigned(const std::string& szText)
{
    CScanText scan(szText);
    uint32_t n = 12345;
    const bool bOk = scan.Unsigned(n);
    return {bOk, n, scan.Position()};
}

bool ScanReal(const std::string& szText, double& d, size_t* pnPos = nullptr)
{
    CScanText scan(szText);
    const bool bOk = scan.Real(d);
    if (pnPos)
        *pnPos = scan.Position();
    return bOk;
}
} // namespace

TEST(ScanText, LiteralMatchesExactly)
{
    const std::string szText = "-range0=1";
    CScanText scan(szText);
    EXPECT_FALSE(scan.Literal("-Range"));
    EXPECT_EQ(scan.Position(), 0u);
    EXPECT_TRUE(scan.Literal("-range"));
    EXPECT_EQ(scan.Position(), 6u);
    EXPECT_FALSE(scan.Literal("0=12")); // runs past the end
    EXPECT_EQ(scan.Position(), 6u);
    EXPECT_TRUE(scan.Literal("0="));
    EXPECT_TRUE(scan.Literal(""));
    EXPECT_FALSE(scan.AtEnd());
}

TEST(ScanText, LiteralDoesNotSkipWhiteSpace)
{
    const std::string szText = " =";
    CScanText scan(szText);
    EXPECT_FALSE(scan.Literal("="));
}

TEST(ScanText, LiteralNoCase)
{
    const std::string szText = "-SameRange";
    CScanText scan(szText);
    EXPECT_TRUE(scan.LiteralNoCase("-samerange"));
    EXPECT_TRUE(scan.AtEnd());
    const std::string szShort = "-SAME";
    CScanText shorter(szShort);
    EXPECT_FALSE(shorter.LiteralNoCase("-samerange"));
    EXPECT_EQ(shorter.Position(), 0u);
    const std::string szDigits = "A1-b";
    CScanText digits(szDigits);
    EXPECT_TRUE(digits.LiteralNoCase("a1-B"));
}

TEST(ScanText, UnsignedReadsDecimalDigits)
{
    EXPECT_TRUE(ScanUnsigned("0").m_bOk);
    const SUnsigned r = ScanUnsigned("  4711abc");
    EXPECT_TRUE(r.m_bOk);
    EXPECT_EQ(r.m_nValue, 4711u);
    EXPECT_EQ(r.m_nPos, 6u);
    EXPECT_EQ(ScanUnsigned("\t\n 7").m_nValue, 7u);
    EXPECT_EQ(ScanUnsigned("+8").m_nValue, 8u);
    EXPECT_EQ(ScanUnsigned("007").m_nValue, 7u);
    EXPECT_EQ(ScanUnsigned("4294967295").m_nValue, 4294967295u);
    EXPECT_TRUE(ScanUnsigned("-0").m_bOk);
}

TEST(ScanText, UnsignedRejects)
{
    for (const char* pszText : {"", "   ", "x1", "-1", "+", "-", "4294967296", "99999999999999999999999", "+-1"}) {
        const SUnsigned r = ScanUnsigned(pszText);
        EXPECT_FALSE(r.m_bOk) << pszText;
        EXPECT_EQ(r.m_nValue, 12345u) << "untouched for " << pszText;
    }
}

TEST(ScanText, Hex)
{
    const std::string szValues = "ff 0x1F 0XaB FFFFFFFF";
    CScanText scan(szValues);
    uint32_t n = 0;
    ASSERT_TRUE(scan.Hex(n));
    EXPECT_EQ(n, 0xFFu);
    ASSERT_TRUE(scan.Hex(n));
    EXPECT_EQ(n, 0x1Fu);
    ASSERT_TRUE(scan.Hex(n));
    EXPECT_EQ(n, 0xABu);
    ASSERT_TRUE(scan.Hex(n));
    EXPECT_EQ(n, 0xFFFFFFFFu);
    EXPECT_TRUE(scan.AtEnd());

    for (const char* pszText : {"100000000", "g", "", "-5"}) {
        const std::string szText = pszText;
        CScanText bad(szText);
        EXPECT_FALSE(bad.Hex(n)) << pszText;
    }
    // "0x" without a digit after it is the number 0 followed by "x".
    const std::string szZero = "0xg";
    CScanText zero(szZero);
    ASSERT_TRUE(zero.Hex(n));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(zero.Position(), 1u);
}

TEST(ScanText, Integer)
{
    for (const auto& [szText, nExpected] : std::initializer_list<std::pair<std::string, int32_t>>{
             {"0", 0}, {"-17", -17}, {" +5", 5}, {"2147483647", 2147483647}, {"-2147483648", INT32_MIN}}) {
        CScanText scan(szText);
        int32_t n = 99;
        EXPECT_TRUE(scan.Integer(n)) << szText;
        EXPECT_EQ(n, nExpected) << szText;
    }
    for (const char* pszText : {"2147483648", "-2147483649", "", "-", "--1"}) {
        const std::string szText = pszText;
        CScanText scan(szText);
        int32_t n = 99;
        EXPECT_FALSE(scan.Integer(n)) << pszText;
        EXPECT_EQ(n, 99) << pszText;
    }
}

TEST(ScanText, RealReadsWhatPercentLgReads)
{
    struct SRow {
        const char* m_pszText;
        double m_dValue;
        size_t m_nPos;
    };
    for (const SRow& row :
         {SRow{"1.5", 1.5, 3}, SRow{"  -2e3,", -2000, 6}, SRow{"+0.25x", 0.25, 5}, SRow{".5", 0.5, 2}, SRow{"5.", 5, 2},
          SRow{"1e", 1, 1}, SRow{"7E-2", 0.07, 4}, SRow{"0.1", 0.1, 3}, SRow{"-0", -0.0, 2}, SRow{"1e-400", 0, 6},
          SRow{"1.7976931348623157e308", 1.7976931348623157e308, 22}, SRow{"\t3", 3, 2}, SRow{"12,5", 12, 2}}) {
        double d = 99;
        size_t nPos = 0;
        EXPECT_TRUE(ScanReal(row.m_pszText, d, &nPos)) << row.m_pszText;
        EXPECT_EQ(d, row.m_dValue) << row.m_pszText;
        EXPECT_EQ(nPos, row.m_nPos) << row.m_pszText;
    }
}

TEST(ScanText, RealRejectsWhatDoesNotFit)
{
    for (const char* pszText :
         {"", "  ", "x", ".", "-", "+", "e5", "1e400", "-1e400", "inf", "-inf", "nan", "infinity"}) {
        double d = 99;
        size_t nPos = 77;
        EXPECT_FALSE(ScanReal(pszText, d, &nPos)) << pszText;
        EXPECT_EQ(d, 99) << pszText;
    }
}

// Found by these tests: one sign is all that %lg takes, "--5" and "+-5" are no numbers.
TEST(ScanText, RealTakesOneSignOnly)
{
    for (const char* pszText : {"--5", "+-5", "-+5", "++5"}) {
        double d = 99;
        EXPECT_FALSE(ScanReal(pszText, d)) << pszText << " read as " << d;
        EXPECT_EQ(d, 99) << pszText;
    }
}

TEST(ScanText, CharTakesAnyCharacter)
{
    const std::string szText = " x";
    CScanText scan(szText);
    char c = 0;
    ASSERT_TRUE(scan.Char(c));
    EXPECT_EQ(c, ' '); // %c does not skip white space
    ASSERT_TRUE(scan.Char(c));
    EXPECT_EQ(c, 'x');
    EXPECT_TRUE(scan.AtEnd());
    EXPECT_FALSE(scan.Char(c));
}

TEST(ScanText, SkipSpaceAndStartPosition)
{
    const std::string szText = "ab \t\n c";
    CScanText scan(szText, 2);
    scan.SkipSpace();
    EXPECT_EQ(scan.Position(), 6u);
    EXPECT_TRUE(scan.Literal("c"));
    EXPECT_TRUE(scan.AtEnd());
}

TEST(ScanText, AWholePattern)
{
    // "-range%u=%lg,%lg,%u"
    const std::string szLine = "-range2=-1.5e1,0.125,300";
    CScanText scan(szLine);
    uint32_t nVariable = 0, nCount = 0;
    double dMin = 0, dStep = 0;
    ASSERT_TRUE(scan.Literal("-range") && scan.Unsigned(nVariable) && scan.Literal("=") && scan.Real(dMin) &&
                scan.Literal(",") && scan.Real(dStep) && scan.Literal(",") && scan.Unsigned(nCount));
    EXPECT_EQ(nVariable, 2u);
    EXPECT_EQ(dMin, -15);
    EXPECT_EQ(dStep, 0.125);
    EXPECT_EQ(nCount, 300u);
}
