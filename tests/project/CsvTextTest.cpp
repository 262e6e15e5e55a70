// CCsvText: tables as spreadsheets read them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "project/CCsvText.h"
#include "project/CShownNumber.h"

TEST(CsvText, FieldsQuotedWhereTheyMustBe)
{
    struct SRow {
        const char* pszText;
        char cSeparator;
        const char* pszField;
    };
    const SRow rows[] = {
        {"-9,8", ';', "-9,8"},
        {"-9,8", ',', "\"-9,8\""},
        {"-9.8", ',', "-9.8"},
        {"x,t", ',', "\"x,t\""},
        {"x,t", ';', "x,t"},
        {"a;b", ';', "\"a;b\""},
        {"a;b", ',', "a;b"},
        {"say \"hi\"", ',', "\"say \"\"hi\"\"\""},
        {"\"", ';', "\"\"\"\""},
        {"two\r\nlines", ',', "\"two\r\nlines\""},
        {"cr\r", ';', "\"cr\r\""},
        {"lf\n", ';', "\"lf\n\""},
        {"", ',', ""},
        {" blank ", ',', " blank "},
        {"f\xC3\xBC"
         "r",
         ';', "f\xC3\xBCr"},
    };
    for (const SRow& row : rows)
        EXPECT_EQ(CCsvText::Field(row.pszText, row.cSeparator), row.pszField) << row.pszText << row.cSeparator;
}

TEST(CsvText, RowsEndWithCrLfAndTheSeparatorGoesWithTheDecimalSign)
{
    EXPECT_EQ(CShownNumber::ListSeparator(true), ';');
    EXPECT_EQ(CShownNumber::ListSeparator(false), ',');
    const std::vector<std::vector<std::string>> rows = {{"x,t", "f1"}, {"1,5", ""}, {""}, {"", ""}};
    EXPECT_EQ(CCsvText::Table(rows, ';'), "x,t;f1\r\n1,5;\r\n\"\"\r\n;\r\n");
    EXPECT_EQ(CCsvText::Table(rows, ','), "\"x,t\",f1\r\n\"1,5\",\r\n\"\"\r\n,\r\n");
    EXPECT_EQ(CCsvText::Table({}, ','), "");
}
