// The value cache (chains, keys, counters, emptying at 10000 items, statistics) and the
// one CRC-16/ARC generator.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "expr/CCrcGenerator.h"
#include "expr/CFuncListing.h"
#include "expr/CFuncTerm.h"
#include "tests/expr/CFunctionTable.h"

namespace {
// A bitwise CRC-16/ARC, independent of the table-driven generator: reflected 0xA001, start 0.
uint32_t BitwiseArc(uint32_t nCrc, const unsigned char* pBytes, size_t nCount)
{
    for (size_t i = 0; i < nCount; ++i) {
        nCrc ^= pBytes[i];
        for (int k = 0; k < 8; ++k)
            nCrc = (nCrc & 1) ? (nCrc >> 1) ^ 0xA001 : nCrc >> 1;
    }
    return nCrc;
}

// The chain of a key: the CRC over the 8 bytes (memory order) of each used slot, low 10 bits.
unsigned ExpectedChain(std::initializer_list<double> usedSlots)
{
    uint32_t nCrc = 0;
    for (const double d : usedSlots) {
        unsigned char bytes[8];
        std::memcpy(bytes, &d, 8);
        nCrc = BitwiseArc(nCrc, bytes, 8);
    }
    return nCrc & 0x3FF;
}

struct SSlots {
    double m_d[FUNC_NSLOTS];
    SSlots(double x = 0.0, double u = 0.0, double v = 0.0) : m_d{x, u, v, x, u, v, 0.0} {}
};

const double* Eval(CFuncTerm& term, const SSlots& slots, CFunctionTable* pProject = nullptr)
{
    return term.Evaluate(slots.m_d, pProject);
}

unsigned Entries(const CFuncTerm& term, unsigned* pnPeak = nullptr)
{
    unsigned nTotal = 0, nPeak = 0;
    for (const CFuncTerm::SCacheEntry* pHead : term.GetCache().GetChains()) {
        unsigned n = 0;
        for (const CFuncTerm::SCacheEntry* p = pHead; p; p = p->m_pNext)
            ++n;
        nTotal += n;
        nPeak = std::max(nPeak, n);
    }
    if (pnPeak)
        *pnPeak = nPeak;
    return nTotal;
}

std::string Statistics(unsigned nHits, unsigned nMisses, unsigned nItems, unsigned nPeak, const char* pszAverage)
{
    return std::to_string(nHits) + " hits\n" + std::to_string(nMisses) + " misses\n" + std::to_string(nItems) +
           " items\n" + std::to_string(nPeak) + " peak hash usage\n" + pszAverage + " avg hash usage\n";
}
} // namespace

// ---------------------------------------------------------------------------------------------
// CRC generator

TEST(CacheCrc, CheckValueOfCrc16Arc)
{
    const char* pszCheck = "123456789";
    EXPECT_EQ(g_CacheCrc.Update(0, pszCheck, 9), 0xBB3Du);
    uint32_t nCrc = 0;
    for (int i = 0; i < 9; ++i)
        nCrc = g_CacheCrc.Update(nCrc, static_cast<uint8_t>(pszCheck[i]));
    EXPECT_EQ(nCrc, 0xBB3Du);
}

TEST(CacheCrc, GeneratorIsTheArcOne)
{
    EXPECT_TRUE(g_CacheCrc.m_bReflected);
    EXPECT_EQ(g_CacheCrc.m_nMask, 0xFFFFu);
    EXPECT_EQ(g_CacheCrc.m_nShift, 8u);
    EXPECT_EQ(g_CacheCrc.m_pTable[0], 0x0000u);
    EXPECT_EQ(g_CacheCrc.m_pTable[1], 0xC0C1u);
    EXPECT_EQ(g_CacheCrc.m_pTable[0x80], 0xA001u);
    EXPECT_EQ(g_CacheCrc.m_pTable[0xFF], 0x4040u);
    for (uint32_t j = 0; j < 256; ++j) {
        const unsigned char byte = static_cast<unsigned char>(j);
        EXPECT_EQ(g_CacheCrc.m_pTable[j], BitwiseArc(0, &byte, 1)) << j;
    }
}

TEST(CacheCrc, EmptyBlockKeepsTheCrc)
{
    EXPECT_EQ(g_CacheCrc.Update(0x1234, "", 0), 0x1234u);
}

TEST(CacheCrc, DoubleIsFedLeastSignificantByteFirst)
{
    for (const double d : {0.0, -0.0, 1.0, -2.5, 3.141592653589793, 1e-310, 1.7976931348623157e308}) {
        unsigned char bytes[8];
        std::memcpy(bytes, &d, 8);
        EXPECT_EQ(g_CacheCrc.UpdateDouble(0x55AA, d), g_CacheCrc.Update(0x55AA, bytes, 8)) << d;
        EXPECT_EQ(g_CacheCrc.UpdateDouble(0, d), BitwiseArc(0, bytes, 8)) << d;
    }
}

TEST(CacheCrc, OtherPublishedCrcs)
{
    // The generator takes any polynomial, width and bit order (the system uses only ARC).
    const char* pszCheck = "123456789";
    const CCrcGenerator buypass(0x8005, 16, false); // CRC-16/UMTS
    EXPECT_EQ(buypass.Update(0, pszCheck, 9), 0xFEE8u);
    const CCrcGenerator xmodem(0x1021, 16, false); // CRC-16/XMODEM
    EXPECT_EQ(xmodem.Update(0, pszCheck, 9), 0x31C3u);
    const CCrcGenerator crc8(0x07, 8, false); // CRC-8/SMBUS
    EXPECT_EQ(crc8.Update(0, pszCheck, 9), 0xF4u);
    const CCrcGenerator crc32(0xEDB88320u, 32, true); // CRC-32 with its start and final XOR
    EXPECT_EQ(crc32.Update(0xFFFFFFFFu, pszCheck, 9) ^ 0xFFFFFFFFu, 0xCBF43926u);
    const CCrcGenerator mpeg2(0x04C11DB7u, 32, false); // CRC-32/MPEG-2
    EXPECT_EQ(mpeg2.Update(0xFFFFFFFFu, pszCheck, 9), 0x0376E6E7u);
    const CCrcGenerator kermit(0x8408, 16, true); // CRC-16/KERMIT
    EXPECT_EQ(kermit.Update(0, pszCheck, 9), 0x2189u);
}

// ---------------------------------------------------------------------------------------------
// Chains and keys

TEST(CacheChains, TermWithoutVariablesUsesChainZero)
{
    CFuncTerm term(nullptr, "2+3");
    EXPECT_EQ(Eval(term, SSlots(1))[0], 5);
    ASSERT_NE(term.GetCache().GetChains()[0], nullptr);
    EXPECT_EQ(term.GetCache().GetChains()[0]->m_pNext, nullptr);
    EXPECT_EQ(Entries(term), 1u);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Eval(term, SSlots(i, i, i))[0], 5);
    EXPECT_EQ(term.GetCache().GetHits(), 5u);
    EXPECT_EQ(term.GetCache().GetMisses(), 1u);
    EXPECT_EQ(term.GetCache().GetItems(), 1u);
}

TEST(CacheChains, ChainIsTheCrcOfTheUsedSlots)
{
    CFuncTerm x(nullptr, "x");
    Eval(x, SSlots(1.5, 7));
    EXPECT_NE(x.GetCache().GetChains()[ExpectedChain({1.5})], nullptr);
    EXPECT_EQ(Entries(x), 1u);

    // Slots in slot order, whatever the order in the formula.
    CFuncTerm ux(nullptr, "u+x");
    Eval(ux, SSlots(2.25, -3));
    EXPECT_NE(ux.GetCache().GetChains()[ExpectedChain({2.25, -3})], nullptr);

    CFuncTerm av(nullptr, "a*v");
    Eval(av, SSlots(4, 0, 8)); // v is slot 2, a slot 3
    EXPECT_NE(av.GetCache().GetChains()[ExpectedChain({8, 4})], nullptr);
    EXPECT_EQ(Entries(av), 1u);
}

TEST(CacheChains, ManyKeysLandInTheirChains)
{
    CFuncTerm term(nullptr, "x*u");
    for (int i = 0; i < 300; ++i) {
        const double x = i * 0.37 - 20, u = i % 7;
        Eval(term, SSlots(x, u));
        const CFuncTerm::SCacheEntry* pHead = term.GetCache().GetChains()[ExpectedChain({x, u})];
        ASSERT_NE(pHead, nullptr);
        EXPECT_EQ(pHead->m_dKey[0], x); // new entries go to the head of their chain
        EXPECT_EQ(pHead->m_dKey[1], u);
    }
}

TEST(CacheChains, KeyHoldsUsedSlotsAndZeroForTheOthers)
{
    CFuncTerm term(nullptr, "u + c");
    const double slots[FUNC_NSLOTS] = {1, 2, 3, 4, 5, 6, 7};
    term.Evaluate(slots, nullptr);
    const CFuncTerm::SCacheEntry* pEntry = term.GetCache().GetChains()[ExpectedChain({2, 6})];
    ASSERT_NE(pEntry, nullptr);
    const double expected[FUNC_NSLOTS] = {0, 2, 0, 0, 0, 6, 0};
    for (unsigned i = 0; i < FUNC_NSLOTS; ++i)
        EXPECT_EQ(pEntry->m_dKey[i], expected[i]) << i;
    ASSERT_NE(pEntry->m_pValues, nullptr);
    EXPECT_EQ(pEntry->m_pValues[0], 8);
}

TEST(CacheChains, UnusedSlotsServeEveryValue)
{
    CFuncTerm term(nullptr, "x^2");
    for (int u = 0; u < 10; ++u)
        for (int v = 0; v < 10; ++v)
            EXPECT_EQ(Eval(term, SSlots(3, u, v))[0], 9);
    EXPECT_EQ(term.GetCache().GetMisses(), 1u);
    EXPECT_EQ(term.GetCache().GetHits(), 99u);
}

TEST(CacheChains, HitReturnsTheStoredValues)
{
    CFuncTerm term(nullptr, "x, x*2, x*3");
    const double* pFirst = Eval(term, SSlots(2));
    ASSERT_NE(pFirst, nullptr);
    EXPECT_EQ(pFirst[0], 2);
    EXPECT_EQ(pFirst[1], 4);
    EXPECT_EQ(pFirst[2], 6);
    EXPECT_EQ(Eval(term, SSlots(2)), pFirst);
}

TEST(CacheChains, HitEqualsTheMissBeforeIt)
{
    const char* const texts[] = {"x^3-2*x^2+x-1",  "sin(x)*cos(2*x)+sin(3*x)/3", "sqrt(abs(x))*ln(abs(x)+1)",
                                 "x<0 ? -x : x^2", "exp(-x*x/2)/sqrt(2*pi)",     "1/x, x*u, v",
                                 "ln(x)"};
    for (const char* pszText : texts) {
        CFuncTerm term(nullptr, pszText);
        std::vector<std::vector<double>> first;
        for (int i = 0; i < 200; ++i) {
            const double* p = Eval(term, SSlots(i * 0.1 - 10, i % 3, 2));
            first.push_back(p ? std::vector<double>(p, p + term.GetValueCount()) : std::vector<double>());
        }
        const uint32_t nMisses = term.GetCache().GetMisses();
        for (int i = 0; i < 200; ++i) {
            const double* p = Eval(term, SSlots(i * 0.1 - 10, i % 3, 2));
            EXPECT_EQ(p ? std::vector<double>(p, p + term.GetValueCount()) : std::vector<double>(), first[i])
                << pszText << " at " << i;
        }
        EXPECT_EQ(term.GetCache().GetMisses(), nMisses) << pszText;
        EXPECT_EQ(term.GetCache().GetHits(), 200u) << pszText;
    }
}

// ---------------------------------------------------------------------------------------------
// Counters and emptying

TEST(CacheCounters, HitsMissesItems)
{
    CFuncTerm term(nullptr, "sin(x)");
    Eval(term, SSlots(1));
    Eval(term, SSlots(2));
    Eval(term, SSlots(1));
    EXPECT_EQ(term.GetCache().GetHits(), 1u);
    EXPECT_EQ(term.GetCache().GetMisses(), 2u);
    EXPECT_EQ(term.GetCache().GetItems(), 2u);
}

TEST(CacheCounters, UndefinedResultsCountLikeValues)
{
    CFuncTerm term(nullptr, "1/x");
    EXPECT_EQ(Eval(term, SSlots(0)), nullptr);
    EXPECT_EQ(Eval(term, SSlots(0)), nullptr);
    EXPECT_EQ(term.GetCache().GetMisses(), 1u);
    EXPECT_EQ(term.GetCache().GetHits(), 1u);
    EXPECT_EQ(term.GetCache().GetItems(), 1u);
}

TEST(CacheCounters, TenThousandthMissEmptiesTheCache)
{
    CFuncTerm term(nullptr, "x");
    Eval(term, SSlots(0.5));
    Eval(term, SSlots(0.5)); // one hit
    for (int i = 1; i < 9999; ++i)
        Eval(term, SSlots(i));
    EXPECT_EQ(term.GetCache().GetItems(), 9999u);
    EXPECT_EQ(term.GetCache().GetMisses(), 9999u);
    EXPECT_EQ(Entries(term), 9999u);
    EXPECT_TRUE(term.AreDepsValid());

    EXPECT_EQ(Eval(term, SSlots(123456.5))[0], 123456.5); // the 10000th item
    EXPECT_EQ(term.GetCache().GetItems(), 0u);
    EXPECT_EQ(term.GetCache().GetMisses(), 10000u);
    EXPECT_EQ(term.GetCache().GetHits(), 1u);
    EXPECT_EQ(Entries(term), 1u); // the entry just stored, not counted
    EXPECT_FALSE(term.AreDepsValid());
    EXPECT_EQ(term.GetStatistics(), Statistics(1, 10000, 0, 1, "0.0"));

    // The stored entry is found again; the old ones are gone.
    EXPECT_EQ(Eval(term, SSlots(123456.5))[0], 123456.5);
    EXPECT_EQ(term.GetCache().GetHits(), 2u);
    EXPECT_TRUE(term.AreDepsValid());
    EXPECT_EQ(Eval(term, SSlots(0.5))[0], 0.5);
    EXPECT_EQ(term.GetCache().GetMisses(), 10001u);
    EXPECT_EQ(term.GetCache().GetItems(), 1u);
}

TEST(CacheCounters, EmptyingRepeatsEveryTenThousandItems)
{
    CFuncTerm term(nullptr, "x, x*2");
    unsigned nEmptyings = 0;
    for (int i = 0; i < 30000; ++i) {
        const uint32_t nBefore = term.GetCache().GetItems();
        const double* p = Eval(term, SSlots(i + 0.25));
        ASSERT_NE(p, nullptr);
        ASSERT_EQ(p[0], i + 0.25); // values survive the arena's reuse
        ASSERT_EQ(p[1], 2 * (i + 0.25));
        if (term.GetCache().GetItems() < nBefore)
            ++nEmptyings;
    }
    // Emptied at the 10000th miss, then after 9999 + 1 more, and again.
    EXPECT_EQ(nEmptyings, 3u);
    EXPECT_EQ(term.GetCache().GetMisses(), 30000u);
    EXPECT_EQ(term.GetCache().GetItems(), 0u);
    EXPECT_EQ(Entries(term), 1u);
}

TEST(CacheCounters, InvalidateEmptiesButKeepsHitsAndMisses)
{
    CFuncTerm term(nullptr, "x+u");
    for (int i = 0; i < 50; ++i)
        Eval(term, SSlots(i, 1));
    Eval(term, SSlots(3, 1));
    ASSERT_TRUE(term.AreDepsValid());
    term.Invalidate();
    EXPECT_EQ(term.GetCache().GetItems(), 0u);
    EXPECT_EQ(term.GetCache().GetMisses(), 50u);
    EXPECT_EQ(term.GetCache().GetHits(), 1u);
    EXPECT_EQ(Entries(term), 0u);
    EXPECT_FALSE(term.AreDepsValid());
    EXPECT_EQ(Eval(term, SSlots(3, 1))[0], 4); // recomputed, flags first
    EXPECT_TRUE(term.AreDepsValid());
    EXPECT_EQ(term.GetCache().GetMisses(), 51u);
}

TEST(CacheCounters, KeyIncludesTheReferencedVariables)
{
    CFunctionTable project;
    project.SetFunction(1, "u*10");
    project.SetFunction(2, "f1 + x");
    CFuncTerm* pTerm = project.GetFunction(2);
    EXPECT_EQ(Eval(*pTerm, SSlots(1, 2), &project)[0], 21);
    EXPECT_EQ(Eval(*pTerm, SSlots(1, 3), &project)[0], 31);
    EXPECT_EQ(pTerm->GetCache().GetMisses(), 2u);
}

// Sweeps larger than the cache mixed with looks back, falls, zeros of both signs, passes that
// begin again where the last one began, rows of a second key slot and a change of the key slots:
// hits, misses, items, the values and the chains, newest first, stay those of a plain model of
// the cache that puts every entry into its chain at once. Also for a term whose new keys run its
// reference inline (a flat run), which counts and writes down its own miss apart from the run.
TEST(CacheCounters, SweepsKeepTheChainsOfAPlainCache)
{
    struct SRow {
        const char* m_pszText;
        bool m_bRows;           // u is a key slot too, and changes between the runs of x
        const char* m_pszOther; // f2, which the term refers to, or null
    };
    for (const SRow& row : {SRow{"x*3", false, nullptr}, SRow{"x*3+u", true, nullptr}, SRow{"f2*3", false, "x"},
                            SRow{"f2*3+u", true, "x"}, SRow{"f2(x)+u", true, "a*3"}}) {
        SCOPED_TRACE(row.m_pszText);
        CFunctionTable project;
        if (row.m_pszOther)
            project.SetFunction(2, row.m_pszOther);
        project.SetFunction(1, row.m_pszText);
        CFuncTerm& term = *project.GetFunction(1);
        struct SKey {
            double x, u;
            bool operator==(const SKey& o) const { return x == o.x && u == o.u; }
        };
        std::vector<std::vector<SKey>> model(1024); // keys per chain, oldest first
        unsigned nHits = 0, nMisses = 0, nItems = 0;
        const bool bKeyA = row.m_pszOther && std::strchr(row.m_pszOther, 'a'); // a (= x here) is a key slot too
        const auto chainOf = [&](const SKey& k) {
            return bKeyA         ? ExpectedChain({k.x, k.u, k.x})
                   : row.m_bRows ? ExpectedChain({k.x, k.u})
                                 : ExpectedChain({k.x});
        };
        auto visit = [&](double x, double u) {
            const SKey key{x, row.m_bRows ? u : 0.0};
            std::vector<SKey>& chain = model[chainOf(key)];
            bool bHit = false;
            for (const SKey& k : chain)
                bHit = bHit || k == key;
            if (bHit) {
                ++nHits;
            } else {
                if (++nItems >= 10000) {
                    for (std::vector<SKey>& c : model)
                        c.clear();
                    nItems = 0;
                }
                model[chainOf(key)].push_back(key);
                ++nMisses;
            }
            const double* p = Eval(term, SSlots(x, u), &project);
            ASSERT_NE(p, nullptr);
            ASSERT_EQ(p[0], x * 3 + key.u);
            ASSERT_EQ(term.GetCache().GetHits(), nHits) << x << " " << u;
            ASSERT_EQ(term.GetCache().GetMisses(), nMisses) << x << " " << u;
            ASSERT_EQ(term.GetCache().GetItems(), nItems) << x << " " << u;
        };
        auto sameChains = [&] {
            for (unsigned c = 0; c < 1024; ++c) {
                std::vector<SKey> keys;
                for (const CFuncTerm::SCacheEntry* e = term.GetCache().GetChain(c); e; e = e->m_pNext)
                    keys.insert(keys.begin(), SKey{e->m_dKey[SLOT_X], e->m_dKey[SLOT_U]});
                ASSERT_EQ(keys.size(), model[c].size()) << c;
                ASSERT_TRUE(keys == model[c]) << c;
            }
        };
        uint32_t nRandom = 12345;
        auto next = [&](uint32_t n) { return ((nRandom = nRandom * 1103515245u + 12345u) >> 8) % n; };
        double x = -50.0;
        for (int nRun = 0; nRun < 40; ++nRun) {
            const double u = nRun % 4;
            const unsigned nLength = nRun % 7 == 0 ? 12000 + next(9000) : 1 + next(300);
            const double dStart = x;
            for (unsigned k = 0; k < nLength; ++k, x += 0.125)
                visit(x, u);
            visit(x - 0.125 * (1 + next(200)), u); // looks back, hit or miss
            if (nRun % 5 == 1)
                visit(nRun % 2 ? 0.0 : -0.0, u);
            if (nRun % 3 == 0)
                x -= 0.125 * next(400); // falls back
            if (nRun % 4 == 2)
                x = dStart; // the same pass again, in part hits
            if (nRun % 9 == 4)
                sameChains(); // a reader in the middle of a sweep
        }
        // Passes of 15000 from the same start: each begins below the newest keys of the one before.
        for (int nPass = 0; nPass < 3; ++nPass)
            for (int k = 0; k < 15000; ++k)
                visit(-7.0 + k * 0.25, nPass % 2);
        sameChains();
        EXPECT_EQ(Entries(term), [&] {
            unsigned n = 0;
            for (const std::vector<SKey>& c : model)
                n += static_cast<unsigned>(c.size());
            return n;
        }());
    }
}

// The entry stored after the 10000th miss keeps the key slots it was made with when the next
// look-up brings in a slot of a function that was empty when the flags were computed.
TEST(CacheCounters, SweepEntryKeepsItsChainWhenTheKeySlotsGrow)
{
    CFunctionTable project;
    project.SetFunction(1, "x + f2");
    CFuncTerm& term = *project.GetFunction(1);
    EXPECT_EQ(Eval(term, SSlots(0.5, 2), &project), nullptr);
    project.SetFunction(2, "u"); // read at run time, but not yet a key slot
    for (int i = 1; i < 10000; ++i)
        EXPECT_EQ(Eval(term, SSlots(i, 2), &project)[0], i + 2);
    EXPECT_EQ(Entries(term), 1u); // after emptying
    EXPECT_EQ(Eval(term, SSlots(9999, 5), &project)[0], 10004);
    EXPECT_EQ(term.GetCache().GetMisses(), 10001u);
    EXPECT_EQ(term.GetCache().GetItems(), 1u);
    ASSERT_NE(term.GetCache().GetChain(ExpectedChain({9999})), nullptr);
    EXPECT_EQ(term.GetCache().GetChain(ExpectedChain({9999}))->m_pValues[0], 10001);
    ASSERT_NE(term.GetCache().GetChain(ExpectedChain({9999, 5})), nullptr);
    EXPECT_EQ(term.GetCache().GetChain(ExpectedChain({9999, 5}))->m_pValues[0], 10004);
    EXPECT_EQ(Entries(term), 2u);
}

// ---------------------------------------------------------------------------------------------
// Statistics text

TEST(CacheStatistics, FreshTerm)
{
    CFuncTerm term(nullptr, "x");
    EXPECT_EQ(term.GetStatistics(), "0 hits\n0 misses\n0 items\n0 peak hash usage\n0.0 avg hash usage\n");
}

TEST(CacheStatistics, PeakAndAverage)
{
    CFuncTerm term(nullptr, "x");
    for (int i = 0; i < 1536; ++i)
        Eval(term, SSlots(i));
    Eval(term, SSlots(5));
    unsigned nPeak = 0;
    EXPECT_EQ(Entries(term, &nPeak), 1536u);
    EXPECT_GE(nPeak, 2u);
    EXPECT_EQ(term.GetStatistics(), Statistics(1, 1536, 1536, nPeak, "1.5"));
}

TEST(CacheStatistics, CountersArePrintedUnsigned)
{
    EXPECT_EQ(CFuncListing::Statistics(3000000000u, 4294967295u, 0, 0, 0),
              "3000000000 hits\n4294967295 misses\n0 items\n0 peak hash usage\n0.0 avg hash usage\n");
}

TEST(CacheStatistics, IntoABuffer)
{
    CFuncTerm term(nullptr, "x");
    Eval(term, SSlots(1));
    char szBuffer[8192];
    term.GetStatistics(szBuffer, sizeof szBuffer);
    EXPECT_EQ(std::string(szBuffer), term.GetStatistics());
    char szSmall[8];
    std::memset(szSmall, 'z', sizeof szSmall);
    term.GetStatistics(szSmall, sizeof szSmall);
    EXPECT_STREQ(szSmall, "0 hits\n");
}
