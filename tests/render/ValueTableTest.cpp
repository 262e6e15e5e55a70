#include <gtest/gtest.h>

#include "project/CProject.h"
#include "render/CValueTable.h"
#include "view/CSliceClock.h"
#include "view/CViewRange.h"
#include "view/CWorkBudget.h"
#include "view/EWorkBudget.h"

namespace {
// A slice that ends at the first look, as after a value that took long.
class CBriefSlices : public CSliceClock {
public:
    void StartSlice(uint32_t) override {}
    bool SliceOver() override { return true; }
};

size_t Lines(const std::string& szText)
{
    size_t n = 0;
    for (size_t i = szText.find("\r\n"); i != std::string::npos; i = szText.find("\r\n", i + 2))
        ++n;
    return n;
}
} // namespace

TEST(ValueTable, DefaultStepAndItsText)
{
    CProject project;
    CAnimationStep* pStep = project.m_pFirstStep;
    project.SetFunction(1, "x*x");
    pStep->m_bVisible[0] = true;
    CValueTable table;
    table.Build(project, pStep);
    ASSERT_EQ(table.m_Cells.size(), 102u);
    EXPECT_EQ(table.m_Cells[0], (std::vector<std::string>{"x,t", "f1"}));
    EXPECT_EQ(table.m_Cells[1], (std::vector<std::string>{"-10", "100"}));
    EXPECT_EQ(table.m_Cells[2], (std::vector<std::string>{"-9.8", "96.04"}));
    EXPECT_EQ(table.m_Cells[101][0], "10");
    const std::string szText = table.GetText();
    EXPECT_EQ(szText.substr(0, 22), "x,t\tf1\r\n-10\t100\r\n-9.8\t");
    EXPECT_EQ(Lines(szText), 102u);
    EXPECT_EQ(szText.substr(szText.size() - 2), "\r\n");

    CValueTable none;
    none.Build(project, nullptr);
    EXPECT_EQ(none.GetText(), "\r\n");
}

TEST(ValueTable, ColumnsRowsAndCells)
{
    CProject project;
    CAnimationStep* pStep = project.m_pFirstStep;
    pStep->m_nCount[1] = 10; // 101 x 11 samples: cut at 1000 rows
    project.SetFunction(2, "x>0 ? u");
    project.SetFunction(3, "cos(x), sin(x)");
    pStep->m_bVisible[1] = true;
    pStep->m_bVisible[2] = true;
    pStep->m_bVisible[6] = true; // visible, no formula
    CValueTable table;
    // The text of kurvix --table: a column a function, the second of several values.
    table.Build(project, pStep, CValueTable::EForm::Classic);
    ASSERT_EQ(table.m_Cells.size(), 1001u);
    EXPECT_EQ(table.m_Cells[0], (std::vector<std::string>{"x,t", "u", "f2", "f3", "f7"}));
    EXPECT_EQ(table.m_Cells[1], (std::vector<std::string>{"-10", "0", "?", "0.54402111", "?"}));
    // The window and CSV: every value in a column of its own.
    table.Build(project, pStep);
    ASSERT_EQ(table.m_Cells.size(), 1001u);
    EXPECT_EQ(table.m_Cells[0], (std::vector<std::string>{"x,t", "u", "f2", "f3 (1)", "f3 (2)", "f7"}));
    EXPECT_EQ(table.m_Cells[1], (std::vector<std::string>{"-10", "0", "?", "-0.83907153", "0.54402111", "?"}));
    // x runs through its 101 values for each u in turn.
    EXPECT_EQ(table.m_Cells[102][0], "-10");
    EXPECT_EQ(table.m_Cells[102][1], "1");
    EXPECT_EQ(table.m_Cells[1000][1], "9");
    EXPECT_EQ(table.m_Cells[1000][2], "9"); // x is positive there

    // All counts 0: no variable column, one row; no visible function: one spare empty column.
    pStep->m_nCount[0] = 0;
    pStep->m_nCount[1] = 0;
    table.Build(project, pStep);
    EXPECT_EQ(table.m_Cells.size(), 2u);
    EXPECT_EQ(table.m_Cells[0], (std::vector<std::string>{"f2", "f3 (1)", "f3 (2)", "f7"}));
    for (bool& bVisible : pStep->m_bVisible)
        bVisible = false;
    pStep->m_nCount[2] = 2;
    table.Build(project, pStep);
    EXPECT_EQ(table.GetText(), "v\t\r\n0\t\r\n1\t\r\n2\t\r\n");
}

TEST(ValueTable, EveryValueOfAPointOrSeveralAndTheDecimalSign)
{
    CProject project;
    CAnimationStep* pStep = project.m_pFirstStep;
    pStep->m_nCount[0] = 2; // x = -10, 0, 10
    pStep->m_dStep[0] = 10.0;
    project.SetFunction(1, "x/4");
    project.SetFunction(2, "x, x/4, sqrt(x)"); // three values, undefined below zero
    project.SetFunction(3, "ln(x), 2, 3, 4");  // two points, undefined up to zero
    pStep->m_bVisible[0] = pStep->m_bVisible[1] = pStep->m_bVisible[2] = true;
    struct SRow {
        const char* pszName;
        CValueTable::EForm eForm;
        bool bComma;
        std::vector<std::vector<std::string>> cells;
    };
    const SRow rows[] = {
        {"shown, point",
         CValueTable::EForm::Shown,
         false,
         {{"x,t", "f1", "f2 (1)", "f2 (2)", "f2 (3)", "f3 (1)", "f3 (2)", "f3 (3)", "f3 (4)"},
          {"-10", "-2.5", "?", "?", "?", "?", "?", "?", "?"},
          {"0", "0", "0", "0", "0", "?", "?", "?", "?"},
          {"10", "2.5", "10", "2.5", "3.1622777", "2.3025851", "2", "3", "4"}}},
        {"shown, comma",
         CValueTable::EForm::Shown,
         true,
         {{"x,t", "f1", "f2 (1)", "f2 (2)", "f2 (3)", "f3 (1)", "f3 (2)", "f3 (3)", "f3 (4)"},
          {"-10", "-2,5", "?", "?", "?", "?", "?", "?", "?"},
          {"0", "0", "0", "0", "0", "?", "?", "?", "?"},
          {"10", "2,5", "10", "2,5", "3,1622777", "2,3025851", "2", "3", "4"}}},
        {"classic keeps the point", // and the second value
         CValueTable::EForm::Classic,
         true,
         {{"x,t", "f1", "f2", "f3"}, {"-10", "-2.5", "?", "?"}, {"0", "0", "0", "?"}, {"10", "2.5", "2.5", "2"}}},
    };
    for (const SRow& row : rows) {
        project.SetFlag(FLAG_DECIMALCOMMA, row.bComma);
        CValueTable table;
        table.Build(project, pStep, row.eForm);
        EXPECT_EQ(table.m_Cells, row.cells) << row.pszName;
    }

    // CSV: ';' beside the comma, ',' beside the point, where "x,t" needs its quotes; undefined
    // values are empty fields.
    project.SetFlag(FLAG_DECIMALCOMMA, true);
    CValueTable table;
    table.Build(project, pStep);
    EXPECT_EQ(table.GetCsv(), "x,t;f1;f2 (1);f2 (2);f2 (3);f3 (1);f3 (2);f3 (3);f3 (4)\r\n"
                              "-10;-2,5;;;;;;;\r\n"
                              "0;0;0;0;0;;;;\r\n"
                              "10;2,5;10;2,5;3,1622777;2,3025851;2;3;4\r\n");
    project.SetFlag(FLAG_DECIMALCOMMA, false);
    pStep->m_bVisible[1] = pStep->m_bVisible[2] = false;
    table.Build(project, pStep);
    EXPECT_EQ(table.GetCsv(), "\"x,t\",f1\r\n-10,-2.5\r\n0,0\r\n10,2.5\r\n");
    // The text of --table is as it was.
    EXPECT_EQ(table.GetText(), "x,t\tf1\r\n-10\t-2.5\r\n0\t0\r\n10\t2.5\r\n");
}

TEST(ValueTable, BuiltInSlicesOfOneValueEqualsTheWhole)
{
    CProject project;
    CAnimationStep* pStep = project.m_pFirstStep;
    pStep->m_nCount[0] = 4;
    project.SetFunction(1, "x*x");
    project.SetFunction(3, "cos(x), sin(x)");
    pStep->m_bVisible[0] = pStep->m_bVisible[2] = pStep->m_bVisible[5] = true;
    CValueTable whole;
    whole.Build(project, pStep);

    CValueTable table;
    table.Begin(project, pStep);
    ASSERT_EQ(table.m_Cells.size(), 6u);
    EXPECT_EQ(table.m_Cells[0], whole.m_Cells[0]);
    EXPECT_EQ(table.RowsDone(), 0u);
    CBriefSlices brief;
    int nSlices = 0;
    while (table.Fill(&brief)) {
        ++nSlices;
        EXPECT_EQ(table.RowsDone(), static_cast<uint32_t>(nSlices / 3)) << nSlices; // three values a row
    }
    EXPECT_EQ(nSlices, 5 * 3 - 1);
    EXPECT_EQ(table.RowsDone(), 5u);
    EXPECT_EQ(table.GetText(), whole.GetText());
    EXPECT_FALSE(table.Fill(&brief));
}

// The work limit ends one value; the budget ends a table or range walk that spends too long on
// such values, naming the function. Without an active budget the same table completes.
TEST(ValueTable, WorkBudgetStopsTablesAndRangeWalks)
{
    CProject project;
    CAnimationStep* pStep = project.m_pFirstStep;
    project.SetFunction(1, "a");
    project.SetFunction(3, "x");                         // cheap, before the costly one
    for (unsigned n = 2; n <= 30; n += n == 2 ? 2 : 1) { // each asks its predecessor at two new keys
        const std::string szPrev = "f" + std::to_string(n == 4 ? 2 : n - 1);
        project.SetFunction(n, (szPrev + "(a*2)+" + szPrev + "(a*2+1)").c_str());
    }
    pStep->m_nCount[0] = 1;
    pStep->m_bVisible[2] = true;
    pStep->m_bVisible[29] = true;

    CValueTable table;
    table.Build(project, pStep); // no budget: every row, f30 undefined
    ASSERT_EQ(table.m_Cells.size(), 3u);
    EXPECT_EQ(table.m_Cells[2], (std::vector<std::string>{"-9.8", "-9.8", "?"}));

    const auto Forget = [&] { // the values cut off by the limit are cached as undefined
        for (auto& pTerm : project.m_pFunctions)
            if (pTerm)
                pTerm->Invalidate();
    };
    CWorkBudget::SetBudget(0);
    {
        Forget();
        CWorkBudget budget(project);
        try {
            table.Build(project, pStep);
            ADD_FAILURE() << "the table was finished";
        } catch (const EWorkBudget& error) {
            EXPECT_EQ(error.m_nFunction, 30u);
            EXPECT_EQ(error.Message(), "Abgebrochen: f30 ist an zu vielen Stellen zu aufwendig zu berechnen");
        }
    }
    {
        project.SetFlag(FLAG_YAUTO, true);
        const double dYMax = project.m_dOptions[OPT_YMAX];
        Forget();
        CWorkBudget budget(project);
        EXPECT_THROW(CViewRange::DetermineRange(project), EWorkBudget);
        EXPECT_EQ(project.m_dOptions[OPT_YMAX], dYMax); // the document is not touched
    }
    CWorkBudget::SetBudget(CWorkBudget::DEFAULT_NANOSECONDS);
    EXPECT_NO_THROW(CWorkBudget::Check()); // the budget ended with its scope
}
