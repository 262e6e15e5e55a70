// Animation steps: defaults, copy, range arithmetic, same-range chaining, and the text
// block with its writer and reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "CTextFile.h"
#include "project/CAnimationStep.h"
#include "project/CLineReader.h"
#include "project/CProject.h"
#include "project/ELoadSaveError.h"

namespace {
// Reads one block from the text into the step; returns the line counter afterwards.
uint32_t Read(CAnimationStep& step, const std::string& szText, uint32_t nLine = 0)
{
    STextFile file(szText);
    CLineReader reader(file.m_pFile);
    step.ReadBlock(reader, nLine);
    return nLine;
}

// The line number a block fails with, or 0 if it does not fail.
uint32_t FailingLine(const std::string& szText, uint32_t nStart = 0)
{
    CAnimationStep step;
    try {
        Read(step, szText, nStart);
    } catch (const ELoadSaveError& error) {
        return error.m_nLine;
    }
    return 0;
}

std::string Block(const CAnimationStep& step)
{
    std::string szOut;
    step.WriteBlock(szOut);
    return szOut;
}

// A document with n steps, all default; returns them in order.
std::vector<CAnimationStep*> MakeSteps(CProject& project, unsigned nCount)
{
    std::vector<CAnimationStep*> steps{project.m_pFirstStep};
    for (unsigned i = 1; i < nCount; ++i) {
        steps.push_back(project.InsertStep(std::make_unique<CAnimationStep>(), nullptr));
    }
    project.m_bModified = false;
    return steps;
}

void ExpectRanges(const CAnimationStep& step, double dMin0, double dStep0, uint32_t nCount0, const char* pszWhat)
{
    EXPECT_EQ(step.m_dMin[0], dMin0) << pszWhat;
    EXPECT_EQ(step.m_dStep[0], dStep0) << pszWhat;
    EXPECT_EQ(step.m_nCount[0], nCount0) << pszWhat;
}

std::string AssertionMessage(const char* pszCondition)
{
    return std::string("Assertion failed: ") + pszCondition + ", file Project, line [0-9]+";
}
} // namespace

// ---------------------------------------------------------------------------------------------
// Construction

TEST(AnimationStep, Defaults)
{
    CAnimationStep step;
    EXPECT_STREQ(step.m_szName, "");
    for (unsigned i = 0; i < MAX_FUNCTIONS; ++i) {
        EXPECT_EQ(step.m_nColor[i], 0u);
        EXPECT_EQ(step.m_nWidth[i], 1u);
        EXPECT_EQ(step.m_nExtra[i], 0u);
        EXPECT_FALSE(step.m_bVisible[i]);
    }
    EXPECT_TRUE(step.m_bConnect);
    EXPECT_EQ(step.m_nSpeed, 0u);
    EXPECT_EQ(step.m_nWait, 0u);
    EXPECT_EQ(step.m_pNext, nullptr);
    EXPECT_EQ(step.m_pPrev, nullptr);
    EXPECT_EQ(step.m_pProject, nullptr);
    EXPECT_FALSE(step.m_bSameRange);
    const double mins[3] = {-10, 0, 0}, steps[3] = {0.2, 1, 1};
    const uint32_t counts[3] = {100, 0, 0};
    for (unsigned i = 0; i < FUNC_NVARS; ++i) {
        EXPECT_EQ(step.m_dMin[i], mins[i]);
        EXPECT_EQ(step.m_dStep[i], steps[i]);
        EXPECT_EQ(step.m_nCount[i], counts[i]);
    }
    EXPECT_DOUBLE_EQ(step.GetMax(0), 10.0);
    EXPECT_EQ(step.GetMax(1), 0.0);
    EXPECT_EQ(step.GetMax(2), 0.0);
}

TEST(AnimationStep, CopyTakesStylesRangesAndPacingButNoName)
{
    CAnimationStep source;
    source.SetName("Quelle");
    source.m_nColor[4] = 12;
    source.m_nWidth[4] = 3;
    source.m_nExtra[4] = 77;
    source.m_bVisible[4] = true;
    source.m_bVisible[49] = true;
    source.m_bConnect = false;
    source.m_nSpeed = 500;
    source.m_nWait = 7;
    source.m_dMin[1] = -2;
    source.m_dStep[2] = 0.5;
    source.m_nCount[2] = 8;

    const CAnimationStep copy(source);
    EXPECT_STREQ(copy.m_szName, "");
    EXPECT_TRUE(copy.m_bSameRange);
    EXPECT_EQ(copy.m_pNext, nullptr);
    EXPECT_EQ(copy.m_pPrev, nullptr);
    EXPECT_EQ(copy.m_pProject, nullptr);
    EXPECT_EQ(copy.m_nColor[4], 12u);
    EXPECT_EQ(copy.m_nWidth[4], 3u);
    EXPECT_EQ(copy.m_nExtra[4], 77u);
    EXPECT_TRUE(copy.m_bVisible[4]);
    EXPECT_TRUE(copy.m_bVisible[49]);
    EXPECT_FALSE(copy.m_bVisible[0]);
    EXPECT_FALSE(copy.m_bConnect);
    EXPECT_EQ(copy.m_nSpeed, 500u);
    EXPECT_EQ(copy.m_nWait, 7u);
    EXPECT_EQ(copy.m_dMin[1], -2);
    EXPECT_EQ(copy.m_dStep[2], 0.5);
    EXPECT_EQ(copy.m_nCount[2], 8u);
    EXPECT_EQ(copy.m_dMin[0], -10);
}

TEST(AnimationStep, CopyOfALinkedStepIsInNoList)
{
    CProject project;
    const CAnimationStep copy(*project.m_pFirstStep);
    EXPECT_EQ(copy.m_pProject, nullptr);
    EXPECT_EQ(copy.m_pPrev, nullptr);
}

TEST(AnimationStep, NameIsCutTo39Characters)
{
    CAnimationStep step;
    step.SetName(std::string(50, 'n'));
    EXPECT_EQ(std::string(step.m_szName), std::string(39, 'n'));
    step.SetName("kurz");
    EXPECT_STREQ(step.m_szName, "kurz");
}

// The sampling loops visit exactly the visible slots, also those past the last block of eight.
TEST(AnimationStep, NextVisibleFindsEveryVisibleSlot)
{
    const std::vector<std::vector<unsigned>> cases = {{},   {0},  {7},  {8},     {15, 16},
                                                      {47}, {48}, {49}, {0, 49}, {6, 7, 8, 9, 40, 48, 49}};
    for (const std::vector<unsigned>& visible : cases) {
        CAnimationStep step;
        for (const unsigned i : visible)
            step.m_bVisible[i] = true;
        std::vector<unsigned> visited;
        for (unsigned i = step.NextVisible(0); i < MAX_FUNCTIONS; i = step.NextVisible(i + 1))
            visited.push_back(i);
        EXPECT_EQ(visited, visible);
        EXPECT_EQ(step.NextVisible(MAX_FUNCTIONS), MAX_FUNCTIONS);
    }
}

// ---------------------------------------------------------------------------------------------
// Range arithmetic

TEST(AnimationStepRange, SetMinMovesTheEnd)
{
    CAnimationStep step;
    step.SetMin(0, -5);
    EXPECT_EQ(step.m_dMin[0], -5);
    EXPECT_EQ(step.m_dStep[0], 0.2);
    EXPECT_EQ(step.m_nCount[0], 100u);
    EXPECT_DOUBLE_EQ(step.GetMax(0), 15);
}

TEST(AnimationStepRange, SetStepMovesTheEnd)
{
    CAnimationStep step;
    step.SetStep(0, 0.1);
    EXPECT_DOUBLE_EQ(step.GetMax(0), 0);
    EXPECT_EQ(step.m_nCount[0], 100u);
}

TEST(AnimationStepRange, SetMaxChangesTheIncrement)
{
    CAnimationStep step;
    step.SetMax(0, 30);
    EXPECT_EQ(step.m_dStep[0], 0.4);
    EXPECT_EQ(step.m_nCount[0], 100u);
    EXPECT_EQ(step.m_dMin[0], -10);
}

TEST(AnimationStepRange, SetMaxWithCountZeroFirstSetsHundred)
{
    CProject project;
    CAnimationStep& step = *project.m_pFirstStep;
    project.m_bModified = false;
    // u runs from 0 in steps of 1 with count 0; a maximum of 100 gives the same increment 1.
    step.SetMax(1, 100);
    EXPECT_EQ(step.m_nCount[1], 100u);
    EXPECT_EQ(step.m_dStep[1], 1.0);
    EXPECT_FALSE(project.m_bModified) << "setting the count to 100 marks nothing by itself";
    // v: a different increment is stored and marks.
    step.SetMax(2, 50);
    EXPECT_EQ(step.m_nCount[2], 100u);
    EXPECT_EQ(step.m_dStep[2], 0.5);
    EXPECT_TRUE(project.m_bModified);
}

TEST(AnimationStepRange, SetCountKeepsTheEnd)
{
    CAnimationStep step;
    step.SetCount(0, 50);
    EXPECT_EQ(step.m_nCount[0], 50u);
    EXPECT_DOUBLE_EQ(step.m_dStep[0], 0.4);
    EXPECT_DOUBLE_EQ(step.GetMax(0), 10);
    EXPECT_EQ(step.m_dMin[0], -10);
}

TEST(AnimationStepRange, SetCountZeroShrinksTheRangeToItsStart)
{
    CAnimationStep step;
    step.SetCount(0, 0);
    EXPECT_EQ(step.m_nCount[0], 0u);
    EXPECT_EQ(step.m_dStep[0], 0.2); // the increment is kept
    EXPECT_EQ(step.GetMax(0), -10);
    // From count 0 the end is the start, so a new count gives the increment 0.
    step.SetCount(0, 10);
    EXPECT_EQ(step.m_dStep[0], 0.0);
    EXPECT_EQ(step.GetMax(0), -10);
}

TEST(AnimationStepRange, CountIsUnsignedInTheEnd)
{
    CAnimationStep step;
    step.m_nCount[0] = 4000000000u;
    step.m_dStep[0] = 1;
    step.m_dMin[0] = 0;
    EXPECT_EQ(step.GetMax(0), 4000000000.0);
}

TEST(AnimationStepRange, EqualValuesChangeNothingAndMarkNothing)
{
    CProject project;
    CAnimationStep& step = *project.m_pFirstStep;
    project.m_bModified = false;
    step.SetMin(0, -10);
    step.SetStep(0, 0.2);
    step.SetCount(0, 100);
    step.SetMax(0, step.GetMax(0));
    EXPECT_FALSE(project.m_bModified);
}

TEST(AnimationStepRange, EveryChangeMarks)
{
    CProject project;
    CAnimationStep& step = *project.m_pFirstStep;
    using Setter = void (*)(CAnimationStep&);
    const Setter setters[] = {
        [](CAnimationStep& s) { s.SetMin(1, 3); },
        [](CAnimationStep& s) { s.SetStep(2, 0.5); },
        [](CAnimationStep& s) { s.SetCount(0, 7); },
        [](CAnimationStep& s) { s.SetMax(0, 99); },
    };
    for (const Setter setter : setters) {
        project.m_bModified = false;
        setter(step);
        EXPECT_TRUE(project.m_bModified);
    }
}

TEST(AnimationStepRangeDeathTest, VariableThreeIsFatal)
{
    CAnimationStep step;
    const std::string szMessage = AssertionMessage("nVariable<FUNC_NVARS");
    EXPECT_DEATH(step.SetMin(3, 1), szMessage);
    EXPECT_DEATH(step.SetMax(3, 1), szMessage);
    EXPECT_DEATH(step.SetStep(3, 1), szMessage);
    EXPECT_DEATH(step.SetCount(3, 1), szMessage);
    EXPECT_DEATH(step.GetMax(3), szMessage);
    EXPECT_DEATH(step.GetMax(1000), szMessage);
}

// ---------------------------------------------------------------------------------------------
// Same-range chaining

TEST(AnimationStepSameRange, ChangeReachesTheChainedStepsOnly)
{
    CProject project;
    const auto steps = MakeSteps(project, 4);
    steps[1]->SetSameRange(true);
    steps[2]->SetSameRange(true);
    steps[3]->m_dMin[0] = 42;
    steps[0]->SetMin(0, -7);
    ExpectRanges(*steps[1], -7, 0.2, 100, "step 2");
    ExpectRanges(*steps[2], -7, 0.2, 100, "step 3");
    ExpectRanges(*steps[3], 42, 0.2, 100, "step 4");

    steps[0]->SetStep(0, 0.5);
    steps[0]->SetCount(0, 20);
    ExpectRanges(*steps[2], -7, steps[0]->m_dStep[0], 20, "step 3 after step and count");
    steps[0]->SetMax(1, 9);
    EXPECT_EQ(steps[2]->m_nCount[1], 100u);
    EXPECT_EQ(steps[2]->m_dStep[1], steps[0]->m_dStep[1]);
    EXPECT_EQ(steps[3]->m_nCount[1], 0u);
}

TEST(AnimationStepSameRange, ChangeInTheMiddleReachesOnlyWhatFollows)
{
    CProject project;
    const auto steps = MakeSteps(project, 3);
    steps[1]->SetSameRange(true);
    steps[2]->SetSameRange(true);
    steps[1]->SetMin(2, 5);
    EXPECT_EQ(steps[0]->m_dMin[2], 0);
    EXPECT_EQ(steps[2]->m_dMin[2], 5);
}

TEST(AnimationStepSameRange, SetSameRangeCopiesFromThePredecessorOnward)
{
    CProject project;
    const auto steps = MakeSteps(project, 3);
    steps[0]->SetMin(0, -1);
    steps[2]->SetSameRange(true); // copies from step 2, which still has the default ranges
    ExpectRanges(*steps[2], -10, 0.2, 100, "step 3");
    project.m_bModified = false;
    steps[1]->SetSameRange(true);
    EXPECT_TRUE(project.m_bModified);
    ExpectRanges(*steps[1], -1, 0.2, 100, "step 2");
    ExpectRanges(*steps[2], -1, 0.2, 100, "step 3 through step 2");
}

TEST(AnimationStepSameRange, ClearingKeepsTheRanges)
{
    CProject project;
    const auto steps = MakeSteps(project, 2);
    steps[0]->SetMin(0, 3);
    steps[1]->SetSameRange(true);
    steps[1]->SetSameRange(false);
    EXPECT_FALSE(steps[1]->m_bSameRange);
    EXPECT_EQ(steps[1]->m_dMin[0], 3);
    steps[0]->SetMin(0, 4);
    EXPECT_EQ(steps[1]->m_dMin[0], 3);
}

TEST(AnimationStepSameRange, FirstStepRefusesIt)
{
    CProject project;
    CAnimationStep& first = *project.m_pFirstStep;
    project.m_bModified = false;
    first.SetSameRange(true);
    EXPECT_FALSE(first.m_bSameRange);
    EXPECT_FALSE(project.m_bModified);
    CAnimationStep loose;
    loose.SetSameRange(true);
    EXPECT_FALSE(loose.m_bSameRange);
}

TEST(AnimationStepSameRange, SameValueMarksNothing)
{
    CProject project;
    const auto steps = MakeSteps(project, 2);
    steps[1]->SetSameRange(true);
    project.m_bModified = false;
    steps[1]->SetSameRange(true);
    EXPECT_FALSE(project.m_bModified);
}

TEST(AnimationStepSameRange, PropagateRangeStopsAtTheFirstStepWithoutTheFlag)
{
    CProject project;
    const auto steps = MakeSteps(project, 4);
    steps[1]->m_bSameRange = true;
    steps[3]->m_bSameRange = true;
    steps[0]->m_dMin[0] = 11;
    steps[0]->m_nCount[2] = 6;
    project.m_bModified = false;
    steps[0]->PropagateRange();
    EXPECT_EQ(steps[1]->m_dMin[0], 11);
    EXPECT_EQ(steps[1]->m_nCount[2], 6u);
    EXPECT_EQ(steps[2]->m_dMin[0], -10);
    EXPECT_EQ(steps[3]->m_dMin[0], -10);
    EXPECT_FALSE(project.m_bModified) << "PropagateRange does not mark";
}

// ---------------------------------------------------------------------------------------------
// The block writer

TEST(AnimationStepBlock, DefaultStep)
{
    CAnimationStep step;
    EXPECT_EQ(Block(step), "-name=\n"
                           "-range0=       -10,0.2,100\n"
                           "-range1=         0,1,0\n"
                           "-range2=         0,1,0\n"
                           "-connect\n"
                           "-end\n");
}

TEST(AnimationStepBlock, EveryLine)
{
    CAnimationStep step;
    step.SetName("Schritt eins");
    step.m_dMin[0] = 123456789;
    step.m_dStep[0] = 1.0 / 3;
    step.m_nCount[0] = 4294967295u;
    step.m_dMin[1] = -0.00001;
    step.m_dStep[1] = 1e22;
    step.m_bConnect = false;
    step.m_nSpeed = 250;
    step.m_nWait = 30;
    step.m_bVisible[49] = true;
    step.m_nColor[49] = 15;
    step.m_nWidth[49] = 8;
    step.m_nExtra[49] = 4294967295u;
    step.m_bVisible[0] = true;
    step.m_nColor[0] = 3;
    step.m_nWidth[0] = 2;
    EXPECT_EQ(Block(step), "-name=Schritt eins\n"
                           "-range0= 123456789,0.3333333333333333,4294967295\n"
                           "-range1=    -1e-05,1e+22,0\n"
                           "-range2=         0,1,0\n"
                           "-speed=250\n"
                           "-wait=30\n"
                           "-f1=3,2,0\n"
                           "-f50=15,8,4294967295\n"
                           "-end\n");
}

TEST(AnimationStepBlock, SameRangeStepHasNoRangeLines)
{
    CAnimationStep step;
    CAnimationStep copy(step);
    copy.m_nWait = 1;
    EXPECT_EQ(Block(copy), "-name=\n-samerange\n-connect\n-wait=1\n-end\n");
}

TEST(AnimationStepBlock, AppendsToWhatIsThere)
{
    CAnimationStep step;
    std::string szOut = "step1\n";
    step.WriteBlock(szOut);
    EXPECT_EQ(szOut.rfind("step1\n-name=\n", 0), 0u);
    EXPECT_EQ(szOut.substr(szOut.size() - 5), "-end\n");
}

// ---------------------------------------------------------------------------------------------
// The block reader

TEST(AnimationStepRead, RoundTrip)
{
    CAnimationStep step;
    step.SetName("Runde");
    step.m_dMin[0] = -2.5;
    step.m_dStep[0] = 0.125;
    step.m_nCount[0] = 40;
    step.m_dMin[2] = 1e-7;
    step.m_dStep[2] = 2.5e10;
    step.m_nCount[2] = 3;
    step.m_nSpeed = 1000;
    step.m_nWait = 2;
    for (unsigned n : {1u, 7u, 50u}) {
        step.m_bVisible[n - 1] = true;
        step.m_nColor[n - 1] = n % 16;
        step.m_nWidth[n - 1] = n % 8 + 1;
        step.m_nExtra[n - 1] = n * 1000;
    }
    step.m_nColor[20] = 9; // invisible: not written, not read
    const std::string szBlock = Block(step);

    CAnimationStep read;
    EXPECT_EQ(Read(read, szBlock, 5), 5u + 11u);
    EXPECT_EQ(Block(read), szBlock);
    EXPECT_STREQ(read.m_szName, "Runde");
    for (unsigned i = 0; i < FUNC_NVARS; ++i) {
        EXPECT_EQ(read.m_dMin[i], step.m_dMin[i]) << i;
        EXPECT_EQ(read.m_dStep[i], step.m_dStep[i]) << i;
        EXPECT_EQ(read.m_nCount[i], step.m_nCount[i]) << i;
    }
    for (unsigned i = 0; i < MAX_FUNCTIONS; ++i) {
        EXPECT_EQ(read.m_bVisible[i], step.m_bVisible[i]) << i;
        if (step.m_bVisible[i]) {
            EXPECT_EQ(read.m_nColor[i], step.m_nColor[i]) << i;
            EXPECT_EQ(read.m_nWidth[i], step.m_nWidth[i]) << i;
            EXPECT_EQ(read.m_nExtra[i], step.m_nExtra[i]) << i;
        }
    }
    EXPECT_EQ(read.m_nColor[20], 0u);
    EXPECT_TRUE(read.m_bConnect);
    EXPECT_EQ(read.m_nSpeed, 1000u);
    EXPECT_EQ(read.m_nWait, 2u);
}

TEST(AnimationStepRead, RangesReadBackExactly)
{
    // Once rounded to eight digits; now every digit that is needed is written.
    CAnimationStep step;
    step.m_dMin[0] = 1.23456789;
    step.m_dStep[0] = 0.1 + 0.2;
    CAnimationStep read;
    Read(read, Block(step));
    EXPECT_EQ(read.m_dMin[0], 1.23456789);
    EXPECT_EQ(read.m_dStep[0], 0.1 + 0.2);
    EXPECT_NE(Block(step).find("-range0=1.23456789,0.30000000000000004,100\n"), std::string::npos);
}

TEST(AnimationStepRead, ConnectIsOnlySetWhenTheBlockSaysSo)
{
    CAnimationStep step;
    step.m_bConnect = false;
    const std::string szBlock = Block(step);
    EXPECT_EQ(szBlock.find("-connect"), std::string::npos);
    CAnimationStep read;
    ASSERT_TRUE(read.m_bConnect);
    Read(read, szBlock);
    EXPECT_FALSE(read.m_bConnect);
}

TEST(AnimationStepRead, SameRangeCopiesThePredecessor)
{
    CProject project;
    const auto steps = MakeSteps(project, 2);
    steps[0]->m_dMin[0] = -4;
    steps[0]->m_dStep[1] = 0.75;
    steps[0]->m_nCount[2] = 9;
    CAnimationStep copy(*steps[0]);
    const std::string szBlock = Block(copy);
    ASSERT_NE(szBlock.find("-samerange\n"), std::string::npos);
    EXPECT_EQ(szBlock.find("-range"), std::string::npos);

    Read(*steps[1], szBlock);
    EXPECT_TRUE(steps[1]->m_bSameRange);
    EXPECT_EQ(steps[1]->m_dMin[0], -4);
    EXPECT_EQ(steps[1]->m_dStep[1], 0.75);
    EXPECT_EQ(steps[1]->m_nCount[2], 9u);
}

TEST(AnimationStepRead, SameRangeInTheFirstStepIsIgnored)
{
    CProject project;
    CAnimationStep& first = *project.m_pFirstStep;
    first.m_dMin[0] = 2;
    Read(first, "-name=a\n-samerange\n-end\n");
    EXPECT_FALSE(first.m_bSameRange);
    EXPECT_EQ(first.m_dMin[0], 2);
}

TEST(AnimationStepRead, RangeLineClearsSameRangeAndStoresDirectly)
{
    CProject project;
    const auto steps = MakeSteps(project, 3);
    steps[2]->m_bSameRange = true;
    Read(*steps[1], "-samerange\n-range0=1,2,3\n-end\n");
    EXPECT_FALSE(steps[1]->m_bSameRange);
    ExpectRanges(*steps[1], 1, 2, 3, "step 2");
    ExpectRanges(*steps[2], -10, 0.2, 100, "step 3: no propagation");
    EXPECT_FALSE(project.m_bModified) << "no setters: nothing marked";
}

TEST(AnimationStepRead, BlockEndsAtEndLine)
{
    STextFile file("-name=eins\n-end\n-name=zwei\n-END\nrest\n");
    CLineReader reader(file.m_pFile);
    uint32_t nLine = 0;
    CAnimationStep first, second;
    first.ReadBlock(reader, nLine);
    EXPECT_EQ(nLine, 2u);
    second.ReadBlock(reader, nLine);
    EXPECT_EQ(nLine, 4u);
    EXPECT_STREQ(first.m_szName, "eins");
    EXPECT_STREQ(second.m_szName, "zwei");
    std::string szLine;
    ASSERT_TRUE(reader.ReadLine(szLine));
    EXPECT_EQ(szLine, "rest\n");
}

TEST(AnimationStepRead, EndOfFileWithoutEndIsAccepted)
{
    CAnimationStep step;
    EXPECT_EQ(Read(step, "-name=offen\n-speed=3"), 2u);
    EXPECT_STREQ(step.m_szName, "offen");
    EXPECT_EQ(step.m_nSpeed, 3u);
    CAnimationStep empty;
    EXPECT_EQ(Read(empty, ""), 0u);
    EXPECT_FALSE(empty.m_bConnect);
}

TEST(AnimationStepRead, KeywordsIgnoreCase)
{
    CProject project;
    const auto steps = MakeSteps(project, 2);
    steps[0]->m_dMin[0] = 8;
    Read(*steps[1], "-NAME=Gross\n-SameRange\n-CONNECT\n-End\n");
    EXPECT_STREQ(steps[1]->m_szName, "Gross");
    EXPECT_TRUE(steps[1]->m_bSameRange);
    EXPECT_EQ(steps[1]->m_dMin[0], 8);
    EXPECT_TRUE(steps[1]->m_bConnect);
}

TEST(AnimationStepRead, PatternsMatchCaseExactly)
{
    EXPECT_EQ(FailingLine("-Range0=1,2,3\n"), 1u);
    EXPECT_EQ(FailingLine("-F1=1,1,0\n"), 1u);
    EXPECT_EQ(FailingLine("-SPEED=5\n"), 1u);
    EXPECT_EQ(FailingLine("-Wait=5\n"), 1u);
}

TEST(AnimationStepRead, NameIsTheRestOfTheLineCutTo39)
{
    CAnimationStep step;
    Read(step, "-name=" + std::string(50, 'z') + "\n");
    EXPECT_EQ(std::string(step.m_szName), std::string(39, 'z'));
    Read(step, "   -name=  zwei Worte  \r\n");
    EXPECT_STREQ(step.m_szName, "  zwei Worte  ");
    Read(step, "-name=\n");
    EXPECT_STREQ(step.m_szName, "");
}

TEST(AnimationStepRead, BlanksEmptyLinesAndLineEnds)
{
    CAnimationStep step;
    EXPECT_EQ(Read(step, "\n   \n  -connect\r\n\r\n-speed=4\r\n   -end"), 6u);
    EXPECT_TRUE(step.m_bConnect);
    EXPECT_EQ(step.m_nSpeed, 4u);
}

TEST(AnimationStepRead, ScanningPatternsIgnoreWhatFollows)
{
    // As with sscanf, characters after the last conversion do not matter.
    CAnimationStep step;
    Read(step, "-speed=12 Schritte\n-wait=3s\n-f2=1,2,3x\n-range1=0.5,0.25,4 und mehr\n-end\n");
    EXPECT_EQ(step.m_nSpeed, 12u);
    EXPECT_EQ(step.m_nWait, 3u);
    EXPECT_TRUE(step.m_bVisible[1]);
    EXPECT_EQ(step.m_nExtra[1], 3u);
    ExpectRanges(step, -10, 0.2, 100, "range0 untouched");
    EXPECT_EQ(step.m_dMin[1], 0.5);
    EXPECT_EQ(step.m_nCount[1], 4u);
}

TEST(AnimationStepRead, ConversionsSkipLeadingWhiteSpace)
{
    CAnimationStep step;
    Read(step, "-range2= 3, 0.5, 7\n-f4= 1, 2, 3\n-speed= 9\n");
    EXPECT_EQ(step.m_dMin[2], 3);
    EXPECT_EQ(step.m_dStep[2], 0.5);
    EXPECT_EQ(step.m_nCount[2], 7u);
    EXPECT_TRUE(step.m_bVisible[3]);
    EXPECT_EQ(step.m_nWidth[3], 2u);
    EXPECT_EQ(step.m_nSpeed, 9u);
}

struct SBadLineRow {
    const char* m_pszName;
    const char* m_pszBlock;
    uint32_t m_nLine;
};

const SBadLineRow g_AnimationStepBadLineRows[] = {
    SBadLineRow{"UnknownLine", "-name=x\nhallo\n-end\n", 2},
    SBadLineRow{"RangeOfVariableThree", "-range3=1,2,3\n", 1},
    SBadLineRow{"RangeWithThreeValues", "-name=\n\n-range0=1,2\n", 3},
    SBadLineRow{"RangeWithoutNumbers", "-range0=a,b,c\n", 1},
    SBadLineRow{"RangeBlankBeforeComma", "-range0=1 ,2,3\n", 1},
    SBadLineRow{"RangeHugeStart", "-range0=1e400,2,3\n", 1},
    SBadLineRow{"FunctionZero", "-f0=1,1,0\n", 1},
    SBadLineRow{"Function51", "-connect\n-f51=1,1,0\n", 2},
    SBadLineRow{"FunctionWithThreeValues", "-f1=1,2\n", 1},
    SBadLineRow{"SpeedWithoutNumber", "-speed=\n", 1},
    SBadLineRow{"WaitWithoutNumber", "-wait=x\n", 1},
    SBadLineRow{"EndWithTrailingBlank", "-end \n", 1},
    SBadLineRow{"ConnectWithMore", "-connected\n", 1},
    SBadLineRow{"SameRangeWithMore", "-samerange yes\n", 1},
    SBadLineRow{"TabIsNotTrimmed", "\t-end\n", 1},
    SBadLineRow{"NextStepHeader", "-name=a\nstep2\n", 2},
};

TEST(AnimationStepBadLine, FailsWithItsLineNumber)
{
    for (const SBadLineRow& row : g_AnimationStepBadLineRows) {
        SCOPED_TRACE(row.m_pszName);
        EXPECT_EQ(FailingLine(row.m_pszBlock), row.m_nLine) << row.m_pszBlock;
        EXPECT_EQ(FailingLine(row.m_pszBlock, 20), 20 + row.m_nLine) << "counts on from the reader's line";
    }
}

TEST(AnimationStepRead, WholeListRoundTrip)
{
    // Written the way the file writer does, read back the way the file reader does.
    CProject project;
    const auto steps = MakeSteps(project, 3);
    steps[0]->SetName("A");
    steps[0]->SetMin(0, -1);
    steps[0]->m_bVisible[2] = true;
    steps[0]->m_nColor[2] = 4;
    steps[1]->SetSameRange(true);
    steps[1]->m_bConnect = false;
    steps[2]->SetCount(1, 5);
    steps[2]->m_nSpeed = 10;
    std::string szFile;
    for (const CAnimationStep* p = project.m_pFirstStep; p; p = p->m_pNext)
        p->WriteBlock(szFile);

    CProject loaded;
    STextFile file(szFile);
    CLineReader reader(file.m_pFile);
    uint32_t nLine = 0;
    for (int i = 0; i < 3; ++i) {
        if (i > 0)
            loaded.InsertStep(std::make_unique<CAnimationStep>(), nullptr);
        loaded.m_pLastStep->ReadBlock(reader, nLine);
    }
    std::string szAgain;
    for (const CAnimationStep* p = loaded.m_pFirstStep; p; p = p->m_pNext)
        p->WriteBlock(szAgain);
    EXPECT_EQ(szAgain, szFile);
    EXPECT_EQ(loaded.m_pFirstStep->m_pNext->m_dMin[0], -1);
}
