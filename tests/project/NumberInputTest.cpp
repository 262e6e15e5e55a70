// CNumberInput: what the window's number fields accept, with a decimal point or comma.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "project/CNumberInput.h"

TEST(NumberInput, ReadsPointAndCommaAndRefusesAnythingElse)
{
    struct SRow {
        const char* m_pszText;
        bool m_bOk;
        double m_dValue;
    };
    const SRow rows[] = {
        {"2,5", true, 2.5},
        {"0,05", true, 0.05},
        {"2.5", true, 2.5},
        {" -0,5 ", true, -0.5},
        {"1e3", true, 1000.0},
        {"2,5E-2", true, 0.025},
        {"+7", true, 7.0},
        {",5", true, 0.5},
        {"5,", true, 5.0},
        {"1e-400", true, 0.0},
        {"2,5x", false, 0},
        {"12abc", false, 0},
        {"", false, 0},
        {"  ", false, 0},
        {"-", false, 0},
        {",", false, 0},
        {"1,000.5", false, 0},
        {"1.2.3", false, 0},
        {"2,,5", false, 0},
        {"1e", false, 0},
        {"1e+", false, 0},
        {"--1", false, 0},
        {"inf", false, 0},
        {"nan", false, 0},
        {"0x10", false, 0},
        {"1e400", false, 0},
        {"2 5", false, 0},
        {"\xA0"
         "2",
         false, 0},
    };
    for (const SRow& row : rows) {
        double d = 42.0;
        EXPECT_EQ(CNumberInput::Read(row.m_pszText, d), row.m_bOk) << '"' << row.m_pszText << '"';
        EXPECT_EQ(d, row.m_bOk ? row.m_dValue : 42.0) << '"' << row.m_pszText << '"';
    }
}

TEST(NumberInput, WholeNumbersWithinTheirRange)
{
    struct SRow {
        const char* m_pszText;
        bool m_bOk;
        int64_t m_nValue;
    };
    const SRow rows[] = {
        {"50", true, 50}, {"1e3", true, 1000},       {"4294967295", true, 4294967295}, {"-0", true, 0},
        {"-5", false, 0}, {"2,5", false, 0},         {"4294967296", false, 0},         {"", false, 0},
        {"3,0", true, 3}, {"99999999999", false, 0},
    };
    for (const SRow& row : rows) {
        int64_t n = 42;
        EXPECT_EQ(CNumberInput::ReadWhole(row.m_pszText, 0, 4294967295, n), row.m_bOk) << row.m_pszText;
        EXPECT_EQ(n, row.m_bOk ? row.m_nValue : 42) << row.m_pszText;
    }
}
