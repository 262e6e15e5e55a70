// The code listing, its items and its 80-character room rule.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "expr/CFuncTerm.h"

namespace {
std::string Listing(const char* pszText, size_t nRoom = 8192)
{
    CFuncTerm term(nullptr, pszText);
    return term.GetListing(nRoom);
}

std::string BufferListing(const char* pszText, size_t nSize)
{
    CFuncTerm term(nullptr, pszText);
    std::string szBuffer(nSize + 16, '#');
    term.GetListing(&szBuffer[0], nSize);
    EXPECT_EQ(szBuffer.substr(nSize), std::string(16, '#')) << "written past the buffer";
    return std::string(szBuffer.c_str());
}

std::string Repeat(const std::string& szPart, int nCount)
{
    std::string szText;
    for (int i = 0; i < nCount; ++i)
        szText += szPart;
    return szText;
}
} // namespace

struct SListingRow {
    const char* m_pszName;
    const char* m_pszText;
    const char* m_pszListing;
};

const SListingRow g_ListingGoldenRows[] = {
    SListingRow{"PowerPlusOne", "x^2+1", "x 2 ^ 1 + "},
    SListingRow{"Negation", "-x", "0 x - "},
    SListingRow{"ImplicitProduct", "2x", "2 x * "},
    SListingRow{"SineOverU", "sin(x)/u", "x sin u / "},
    SListingRow{"Sqrt", "sqrt(x)", "x 0.5 ^ "},
    SListingRow{"LnPlusAbs", "ln(x)+abs(u)", "x ??? u ??? + "},
    SListingRow{"ReferenceWithArguments", "f2(x, 3)", "x 3 f2[2] "},
    SListingRow{"Pi", "pi", "3.14159 "},
    SListingRow{"TwoValues", "x, 1e10", "x 1e+10 "},
    SListingRow{"Conditional", "x<0 ? -x : x", "x 0 < ?[0 x -] :[x] "},
    SListingRow{"Slots", "x,t,u,v,a,n,fx,b,f,fy,c,d", "x x u v a a a b b b c d "},
    SListingRow{"Arithmetic", "((1+2-3)*4/5)^6", "1 2 + 3 - 4 * 5 / 6 ^ "},
    SListingRow{"Trigonometry", "sin(x)+cos(x)+tan(x)+asin(x)+acos(x)+atan(x)",
                "x sin x cos + x tan + x asin + x acos + x atan + "},
    SListingRow{"UnlistedFunctions", "ln(x),log(x),log10(x),exp(x),abs(x)", "x ??? x ??? x ??? x ??? x ??? "},
    SListingRow{"IntFrac", "int(x)+frac(x)", "x int x frac + "},
    SListingRow{"RandomRandUndef", "random, rand, undef", "random rand undef "},
    SListingRow{"Comparisons", "(x>1)+(x<1)+(x=1)+(x!=1)+(x>=1)+(x<=1)",
                "x 1 > x 1 < + x 1 = + x 1 != + x 1 >= + x 1 <= + "},
    SListingRow{"Logic", "x&u|v", "x u and v or "},
    SListingRow{"Sqr", "sqr(x)", "x 2 ^ "},
    SListingRow{"ConstantsInG", "0.1, 123456789, 1e-5, 0.0001, 2.5e300, 1234567",
                "0.1 1.23457e+08 1e-05 0.0001 2.5e+300 1.23457e+06 "},
    SListingRow{"Euler", "e", "2.71828 "},
    SListingRow{"References", "f1, f50(1,2,3,4), f7x(u)", "f1[0] 1 2 3 4 f50[4] u f7[1] "},
    SListingRow{"Derivatives", "f1', f50''(1,2,3,4) + f2(u)", "f1'[0] 1 2 3 4 f50''[4] u f2[1] + "},
    SListingRow{"WithoutElse", "x ? 1", "x ?[1] :[undef] "},
    SListingRow{"BranchesOfSeveralItems", "x ? u+1 : v*2", "x ?[u 1 +] :[v 2 *] "},
    SListingRow{"NestedConditional", "x ? (u ? 1 : 2) : 3", "x ?[u ?[1] :[2]] :[3] "},
    SListingRow{"NestedInElse", "x ? 1 : (u ? 2)", "x ?[1] :[u ?[2] :[undef]] "},
    SListingRow{"ConditionalThenMore", "(x ? 1 : 2) + 3, 4", "x ?[1] :[2] 3 + 4 "},
};

TEST(ListingGolden, Is)
{
    for (const SListingRow& row : g_ListingGoldenRows) {
        SCOPED_TRACE(row.m_pszName);
        EXPECT_EQ(Listing(row.m_pszText), row.m_pszListing) << row.m_pszText;
        EXPECT_EQ(BufferListing(row.m_pszText, 8192), row.m_pszListing) << row.m_pszText;
    }
}

// The known listings, row by row, then the other items.

TEST(Listing, EveryItemEndsInOneBlank)
{
    const std::string szListing = Listing("x^2+1");
    ASSERT_FALSE(szListing.empty());
    EXPECT_EQ(szListing.back(), ' ');
    EXPECT_EQ(szListing.find("  "), std::string::npos);
}

// Room rule: the next item follows only while the room is greater than the text so far plus 80.
TEST(ListingRoom, ItemsFollowWhileMoreThanEightyRemain)
{
    // 99 items of 2 characters: "1 1 + 1 + ...".
    const std::string szText = "1" + Repeat("+1", 49);
    const std::string szFull = Listing(szText.c_str(), 1 << 20);
    ASSERT_EQ(szFull.size(), 2u * 99u);
    auto items = [&szFull](size_t nItems) { return szFull.substr(0, 2 * nItems); };
    // Room 100: after k items (2k characters) go on while 100 > 2k + 80, so 10 items.
    EXPECT_EQ(Listing(szText.c_str(), 100), items(10));
    EXPECT_EQ(Listing(szText.c_str(), 101), items(11));
    EXPECT_EQ(Listing(szText.c_str(), 102), items(11));
    EXPECT_EQ(Listing(szText.c_str(), 103), items(12));
    // The first item is always written.
    EXPECT_EQ(Listing(szText.c_str(), 10), "1 ");
    EXPECT_EQ(Listing(szText.c_str(), 1), "1 ");
    // With room enough, all of it: after 98 items 277 > 196 + 80.
    EXPECT_EQ(Listing(szText.c_str(), 277), szFull);
    EXPECT_EQ(Listing(szText.c_str(), 276), items(98));
    EXPECT_EQ(BufferListing(szText.c_str(), 100), items(10));
}

TEST(ListingRoom, LongFormulaInTheDebugPagesBuffer)
{
    const std::string szText = "x" + Repeat("+x", 5000);
    const std::string szFull = Listing(szText.c_str(), 1 << 20);
    ASSERT_EQ(szFull.size(), 2u * 10001u);
    const std::string szCut = BufferListing(szText.c_str(), 8192);
    EXPECT_EQ(szFull.compare(0, szCut.size(), szCut), 0) << "the cut listing is a prefix";
    // The last item written is the last one after which more than 80 characters remained:
    // after 8110 characters 8192 > 8190, after 8112 no longer.
    EXPECT_EQ(szCut.size(), 8112u);
    EXPECT_EQ(szCut.back(), ' ');
}

TEST(ListingRoom, BranchesAreListedWithTheRoomThatIsLeft)
{
    // The then-list is listed with the room reduced by "?[" and what stands before it.
    const std::string szText = "x ? (" + Repeat("1+", 60) + "1) : 2";
    const std::string szFull = Listing(szText.c_str(), 1 << 20);
    EXPECT_EQ(szFull, "x ?[1 " + Repeat("1 + ", 59) + "1 +] :[2] ");
    // Room 100: "x " leaves 98 for the conditional's item, "?[" leaves 96 for the then-list,
    // which goes on while 96 > (its text so far) + 80: 8 items of 2 characters.
    EXPECT_EQ(Listing(szText.c_str(), 100), "x ?[1 1 + 1 + 1 + 1] :[2] ");
    EXPECT_EQ(Listing(szText.c_str(), 102), "x ?[1 1 + 1 + 1 + 1 +] :[2] ");
}

TEST(ListingRoom, EmptyTermListsNothing)
{
    CFuncTerm term(nullptr, "");
    char szBuffer[16] = "garbage";
    term.GetListing(szBuffer, sizeof szBuffer);
    EXPECT_STREQ(szBuffer, "");
}

TEST(ListingRoom, DeepConditionalsStayInsideTheBuffer)
{
    // Nested conditionals list their closing marks even when the room is gone; the buffer
    // version must still not write past its end.
    std::string szText = "1";
    for (int i = 0; i < 150; ++i)
        szText = "x ? (" + szText + ") : u";
    const std::string szListing = BufferListing(szText.c_str(), 200);
    EXPECT_LT(szListing.size(), 200u);
}
