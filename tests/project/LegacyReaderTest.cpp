// Importing the legacy fixed-layout format.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "project/CProject.h"
#include "project/ELoadSaveError.h"

namespace {
std::vector<std::string> SampleLines()
{
    return {
        "sin(x)",
        "  cos(x)",
        "x^2",
        "",
        "",
        "",
        "",
        "",
        "",
        "", // 1-10 functions
        "\x1A",
        "Gr\x81\xE1"
        "e \x84\x94\x81",
        "zweite Zeile",
        "",
        "",
        "",
        "",
        "",
        "",
        "", // 11-20 notes
        "-5 0 0.25 40",
        "1 0 0.5 2",
        "0 0 1 0",     // 21-23 ranges
        "0x1-------.", // 24 styles
        "",
        "", // 25, 26
        "n -6 6 2.7",
        "fx*2",
        "m -3 3 -1",
        "", // 27-30 axes and terms
        "j",
        "",
        "17",
        "",
        "n", // 31-35
    };
}

std::string Join(const std::vector<std::string>& lines, size_t nCount)
{
    std::string szText;
    for (size_t i = 0; i < nCount && i < lines.size(); ++i)
        szText += lines[i] + "\r\n";
    return szText;
}

class LegacyReader : public ::testing::Test {
protected:
    void TearDown() override { std::remove(m_szPath.c_str()); }

    const char* Write(const std::string& szContent)
    {
        std::ofstream(m_szPath, std::ios::binary) << szContent;
        return m_szPath.c_str();
    }

    long FailingLine(const std::string& szContent)
    {
        CProject project;
        try {
            project.Load(Write(szContent));
        } catch (const ELoadSaveError& error) {
            return error.m_nLine;
        }
        return -1;
    }

    std::string m_szPath = "/tmp/kurvix-legacy-" + std::to_string(getpid()) + ".kvo";
};
} // namespace

TEST_F(LegacyReader, ImportsACompleteFile)
{
    CProject project;
    project.Load(Write(Join(SampleLines(), 35) + "lines after the 35th are not read\r\n"));
    EXPECT_FALSE(project.m_bModified);
    EXPECT_EQ(project.GetFunction(1)->GetText(), "sin(x)");
    EXPECT_EQ(project.GetFunction(2)->GetText(), "cos(x)");
    EXPECT_EQ(project.GetFunction(3)->GetText(), "x^2");
    EXPECT_EQ(project.GetFunction(4), nullptr);

    // OEM 850 to Windows-1252; the control line before the first text is skipped.
    ASSERT_TRUE(project.m_pszNotes.has_value());
    EXPECT_EQ(*project.m_pszNotes, "Gr\xFC\xDF"
                                   "e \xE4\xF6\xFC\nzweite Zeile\n\n\n\n\n\n\n\n");

    const CAnimationStep* pStep = project.m_pFirstStep;
    EXPECT_EQ(pStep->m_dMin[0], -5);
    EXPECT_EQ(pStep->m_dStep[0], 0.25);
    EXPECT_EQ(pStep->m_nCount[0], 40u);
    EXPECT_EQ(pStep->m_dMin[1], 1);
    EXPECT_EQ(pStep->m_dStep[1], 0.5);
    EXPECT_EQ(pStep->m_nCount[1], 2u);
    EXPECT_EQ(pStep->m_nCount[2], 0u);

    // Styles "0x1-------": f1 and f2 black, f3 navy, all three visible, the rest hidden.
    EXPECT_TRUE(pStep->m_bVisible[0] && pStep->m_bVisible[1] && pStep->m_bVisible[2]);
    EXPECT_EQ(pStep->m_nColor[0], 0u);
    EXPECT_EQ(pStep->m_nColor[1], 0u);
    EXPECT_EQ(pStep->m_nColor[2], 1u);
    for (int n = 3; n < 10; ++n)
        EXPECT_FALSE(pStep->m_bVisible[n]) << n;

    // x axis "n -6 6 2.7": fixed range, grid 2 and visible; y axis "m -3 3 -1": automatic,
    // true to scale, grid 1 but hidden.
    EXPECT_EQ(project.m_dOptions[OPT_XMIN], -6);
    EXPECT_EQ(project.m_dOptions[OPT_XMAX], 6);
    EXPECT_EQ(project.m_dOptions[OPT_XGRID], 2);
    EXPECT_EQ(project.m_dOptions[OPT_YMIN], -3);
    EXPECT_EQ(project.m_dOptions[OPT_YGRID], 1);
    EXPECT_EQ(project.m_nFlags, 0x02u | 0x04u | 0x20u); // y auto, x grid, true to scale; labels off

    // The x term "fx*2" and an empty y term ("f") make the transformation; its mode stays off.
    ASSERT_NE(project.m_pTransform, nullptr);
    EXPECT_EQ(project.m_pTransform->GetText(), "fx*2,f");
    EXPECT_EQ(project.m_dOptions[OPT_TRMODE], 0);

    EXPECT_TRUE(pStep->m_bConnect);
    EXPECT_EQ(pStep->m_nSpeed, 17u);
}

TEST_F(LegacyReader, FileCutShortFailsAtTheMissingLine)
{
    const std::vector<std::string> lines = SampleLines();
    for (size_t nKept = 0; nKept < 35; ++nKept) {
        SCOPED_TRACE(nKept);
        EXPECT_EQ(FailingLine(Join(lines, nKept)), static_cast<long>(nKept + 1));
    }
    EXPECT_EQ(FailingLine(Join(lines, 35)), -1);
}

TEST_F(LegacyReader, UnreadableLinesFailWithTheirNumber)
{
    struct SCase {
        size_t m_nLine;
        const char* m_pszText;
    } cases[] = {
        {21, "1 2 3"}, {22, "a b c d"}, {23, "1 2 3 -4"}, {24, "0x1------"},         {27, "n 1 2"},
        {29, "x"},     {33, "schnell"}, {33, "-3"},       {21, "1 2 3 99999999999"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.m_pszText);
        std::vector<std::string> lines = SampleLines();
        lines[c.m_nLine - 1] = c.m_pszText;
        EXPECT_EQ(FailingLine(Join(lines, 35)), static_cast<long>(c.m_nLine));
    }
    // The range line that takes the samples over the bound, not the last range line.
    std::vector<std::string> lines = SampleLines();
    lines[20] = lines[21] = "0 0 1 99999";
    EXPECT_EQ(FailingLine(Join(lines, 35)), 22);
    // A NUL byte in a term or in the notes: cut there, they would load shorter without a word.
    for (const size_t nLine : {2, 12}) {
        SCOPED_TRACE(nLine);
        lines = SampleLines();
        lines[nLine - 1] += std::string(1, '\0') + "x";
        EXPECT_EQ(FailingLine(Join(lines, 35)), static_cast<long>(nLine));
    }
}

TEST_F(LegacyReader, TermsAndNotesBeyondTheOldBuffersAreTakenWhole)
{
    std::vector<std::string> lines = SampleLines();
    lines[12] = std::string(10000, 'n');
    std::string szTerm = "fx";
    while (szTerm.size() < 400)
        szTerm += "+fx";
    lines[27] = szTerm;
    CProject project;
    project.Load(Write(Join(lines, 35)));
    EXPECT_NE(project.m_pszNotes->find(std::string(10000, 'n') + "\n"), std::string::npos);
    EXPECT_EQ(project.m_pTransform->GetText(), szTerm + ",f");
}

TEST_F(LegacyReader, DefaultTermsSetNoTransformation)
{
    for (const char* pszTerms : {"x|f", "|", "  x|  f"}) {
        SCOPED_TRACE(pszTerms);
        std::vector<std::string> lines = SampleLines();
        const std::string szTerms = pszTerms;
        lines[27] = szTerms.substr(0, szTerms.find('|'));
        lines[29] = szTerms.substr(szTerms.find('|') + 1);
        CProject project;
        project.Load(Write(Join(lines, 35)));
        EXPECT_EQ(project.m_pTransform, nullptr);
    }
}
