// The project document: defaults, function slots with their invalidation of dependants,
// the modified-flag rules, options, flags, the step list and the fatal assertions.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "expr/EFuncError.h"
#include "project/CProject.h"

namespace {
const double* Eval(CProject& project, unsigned nIndex, double x, double u = 0.0)
{
    const double slots[FUNC_NSLOTS] = {x, u, 0.0, x, u, 0.0, 0.0};
    return project.GetFunction(nIndex)->Evaluate(slots, &project);
}

// Regular expression of an exact text.
std::string Exactly(const std::string& szText)
{
    std::string szRegex;
    for (const char c : szText) {
        if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos)
            szRegex += '\\';
        szRegex += c;
    }
    return szRegex;
}

std::string AssertionMessage(const char* pszCondition)
{
    return Exactly(std::string("Assertion failed: ") + pszCondition + ", file Project, line ") + "[0-9]+";
}

// The list, walked forwards, with every link checked against the walk backwards.
std::vector<CAnimationStep*> Steps(const CProject& project)
{
    std::vector<CAnimationStep*> steps;
    CAnimationStep* pPrev = nullptr;
    for (CAnimationStep* p = project.m_pFirstStep; p; p = p->m_pNext) {
        EXPECT_EQ(p->m_pPrev, pPrev);
        EXPECT_EQ(p->m_pProject, &project);
        steps.push_back(p);
        pPrev = p;
    }
    EXPECT_EQ(project.m_pLastStep, pPrev);
    return steps;
}
} // namespace

// ---------------------------------------------------------------------------------------------
// Construction

TEST(Project, FreshDocumentHasDefaults)
{
    CProject project;
    EXPECT_EQ(project.m_nFlags, 0x1Fu);
    EXPECT_FALSE(project.m_bModified);
    const double options[OPT_COUNT] = {0, 0, 0, 0, 1, 1, 15, 0};
    for (unsigned i = 0; i < OPT_COUNT; ++i)
        EXPECT_EQ(project.m_dOptions[i], options[i]) << g_OptionKeys[i];
    for (unsigned n = 1; n <= MAX_FUNCTIONS; ++n)
        EXPECT_EQ(project.GetFunction(n), nullptr) << n;
    EXPECT_EQ(project.m_pTransform, nullptr);
    EXPECT_FALSE(project.m_pszNotes.has_value());
    const auto steps = Steps(project);
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_FALSE(steps[0]->m_bSameRange);
    EXPECT_EQ(steps[0]->m_nCount[0], 100u);
}

TEST(Project, Palette)
{
    CProject project;
    const uint32_t palette[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0x808080,
                                  0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    ASSERT_EQ(project.m_nPaletteSize, 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(project.m_pPalette[i], palette[i]) << i;
}

TEST(Project, OptionKeys)
{
    const char* const keys[] = {"xmin", "xmax", "ymin", "ymax", "xgrid", "ygrid", "bgcolor", "trmode"};
    for (unsigned i = 0; i < OPT_COUNT; ++i)
        EXPECT_STREQ(g_OptionKeys[i], keys[i]);
}

// ---------------------------------------------------------------------------------------------
// SetFunction and the modified flag

TEST(ProjectFunction, SetCompilesAndMarks)
{
    CProject project;
    project.SetFunction(3, "x^2");
    ASSERT_NE(project.GetFunction(3), nullptr);
    EXPECT_EQ(project.GetFunction(3)->GetText(), "x^2");
    EXPECT_EQ(project.GetFunction(3)->GetProject(), static_cast<CFuncResolver*>(&project));
    EXPECT_TRUE(project.m_bModified);
    EXPECT_EQ(Eval(project, 3, 4)[0], 16);
}

TEST(ProjectFunction, SameTextChangesNothing)
{
    CProject project;
    project.SetFunction(1, "x+1");
    CFuncTerm* pTerm = project.GetFunction(1);
    Eval(project, 1, 2);
    project.m_bModified = false;
    project.SetFunction(1, "x+1");
    EXPECT_FALSE(project.m_bModified);
    EXPECT_EQ(project.GetFunction(1), pTerm);
    EXPECT_EQ(pTerm->GetCache().GetMisses(), 1u); // not even recompiled
}

TEST(ProjectFunction, LeadingBlankRecompiles)
{
    CProject project;
    project.SetFunction(1, "x+1");
    Eval(project, 1, 2);
    project.m_bModified = false;
    project.SetFunction(1, " x+1");
    EXPECT_TRUE(project.m_bModified);
    ASSERT_NE(project.GetFunction(1), nullptr);
    EXPECT_EQ(project.GetFunction(1)->GetText(), "x+1");           // stored without the blank
    EXPECT_EQ(project.GetFunction(1)->GetCache().GetMisses(), 0u); // a new term
    // The stored text has no blank, so the blank text keeps counting as a change.
    project.m_bModified = false;
    project.SetFunction(1, " x+1");
    EXPECT_TRUE(project.m_bModified);
}

TEST(ProjectFunction, OnlyBlanksAreStripped)
{
    CProject project;
    project.SetFunction(1, "\tx");
    ASSERT_NE(project.GetFunction(1), nullptr);
    EXPECT_EQ(project.GetFunction(1)->GetText(), "\tx");
    project.SetFunction(2, "   \t  u");
    EXPECT_EQ(project.GetFunction(2)->GetText(), "\t  u");
}

TEST(ProjectFunction, EmptyTextEmptiesTheSlotAndMarks)
{
    CProject project;
    project.SetFunction(1, "x");
    project.m_bModified = false;
    project.SetFunction(1, "");
    EXPECT_EQ(project.GetFunction(1), nullptr);
    EXPECT_TRUE(project.m_bModified);

    // Also when the slot was empty already, and for blanks only.
    project.m_bModified = false;
    project.SetFunction(1, "");
    EXPECT_TRUE(project.m_bModified);
    project.m_bModified = false;
    project.SetFunction(2, "    ");
    EXPECT_EQ(project.GetFunction(2), nullptr);
    EXPECT_TRUE(project.m_bModified);
}

TEST(ProjectFunction, EmptyingInvalidatesDependants)
{
    CProject project;
    project.SetFunction(1, "x");
    project.SetFunction(2, "f1 + 1");
    EXPECT_EQ(Eval(project, 2, 3)[0], 4);
    project.SetFunction(1, "  ");
    EXPECT_EQ(project.GetFunction(2)->GetCache().GetItems(), 0u);
    EXPECT_EQ(Eval(project, 2, 3), nullptr);
}

TEST(ProjectFunction, FailedCompileLeavesTheSlotEmptyInvalidatesAndMarks)
{
    CProject project;
    project.SetFunction(1, "x");
    project.SetFunction(2, "f1(x) * 2");
    EXPECT_EQ(Eval(project, 2, 3)[0], 6);
    project.m_bModified = false;
    try {
        project.SetFunction(1, "  x+");
        FAIL() << "no error";
    } catch (const EFuncError& error) {
        EXPECT_STREQ(error.m_pszMessage, "Unerwartetes Ende des Ausdrucks");
        EXPECT_EQ(error.m_nPosition, 2); // in the text without its leading blanks
    }
    EXPECT_EQ(project.GetFunction(1), nullptr);
    EXPECT_TRUE(project.m_bModified);
    EXPECT_EQ(project.GetFunction(2)->GetCache().GetItems(), 0u);
    EXPECT_EQ(Eval(project, 2, 3), nullptr) << "no stale value of a function that is gone";
}

TEST(ProjectFunction, FailedCompileIntoAnEmptySlotMarks)
{
    CProject project;
    EXPECT_THROW(project.SetFunction(5, "sin x"), EFuncError);
    EXPECT_EQ(project.GetFunction(5), nullptr);
    EXPECT_TRUE(project.m_bModified);
}

TEST(ProjectFunction, ChangeInvalidatesTransitiveDependantsOnly)
{
    CProject project;
    project.SetFunction(1, "x");
    project.SetFunction(2, "f1(x) + 1");
    project.SetFunction(3, "f2(x) * 10");
    project.SetFunction(4, "u + 1");
    project.SetFunction(5, "f4");
    for (unsigned n = 1; n <= 5; ++n)
        ASSERT_NE(Eval(project, n, 2, 7), nullptr) << n;
    EXPECT_EQ(Eval(project, 3, 2, 7)[0], 30);

    project.SetFunction(1, "x*2");
    EXPECT_EQ(project.GetFunction(2)->GetCache().GetItems(), 0u);
    EXPECT_EQ(project.GetFunction(3)->GetCache().GetItems(), 0u); // refers only to f2
    EXPECT_FALSE(project.GetFunction(3)->AreDepsValid());
    EXPECT_EQ(project.GetFunction(4)->GetCache().GetItems(), 1u);
    EXPECT_EQ(project.GetFunction(5)->GetCache().GetItems(), 1u);
    EXPECT_TRUE(project.GetFunction(5)->AreDepsValid());
    EXPECT_EQ(Eval(project, 3, 2, 7)[0], 50);
    // Counters live on with the term.
    EXPECT_EQ(project.GetFunction(3)->GetCache().GetMisses(), 2u);
}

TEST(ProjectFunction, SelfReferenceIsInvalidatedByItsOwnChange)
{
    CProject project;
    project.SetFunction(1, "a<=1 ? 1 : a*f1(a-1)");
    EXPECT_EQ(Eval(project, 1, 4)[0], 24);
    project.SetFunction(2, "f1(4)");
    EXPECT_EQ(Eval(project, 2, 0)[0], 24);
    project.SetFunction(1, "a<=1 ? 1 : a+f1(a-1)");
    EXPECT_EQ(project.GetFunction(2)->GetCache().GetItems(), 0u);
    EXPECT_EQ(Eval(project, 2, 0)[0], 10); // 4 + 3 + 2 + 1
    EXPECT_EQ(Eval(project, 1, 5)[0], 15);
}

TEST(ProjectFunction, MutualReferencesAreBothInvalidated)
{
    CProject project;
    project.SetFunction(1, "a > 0 ? f2(a-1) + 1 : 0");
    project.SetFunction(2, "a > 0 ? f1(a-1) + 10 : 0");
    // f1's flags were computed while f2 was empty; filling f2 renews them, and so does setting f1
    // anew.
    EXPECT_TRUE(project.GetFunction(1)->GetDepFunc()[2]);
    project.SetFunction(1, "a > 0 ? f2(a-1)+1 : 0");
    EXPECT_TRUE(project.GetFunction(1)->GetDepFunc()[2]);
    EXPECT_EQ(Eval(project, 1, 3)[0], 12);
    project.SetFunction(3, "x"); // unrelated: keeps the caches
    EXPECT_GT(project.GetFunction(1)->GetCache().GetItems(), 0u);
    EXPECT_GT(project.GetFunction(2)->GetCache().GetItems(), 0u);
    project.SetFunction(2, "a > 0 ? f1(a-1) + 100 : 0");
    EXPECT_EQ(project.GetFunction(1)->GetCache().GetItems(), 0u);
    EXPECT_EQ(project.GetFunction(2)->GetCache().GetItems(), 0u);
    EXPECT_EQ(Eval(project, 1, 3)[0], 102);
}

// Flags computed while a referenced slot was empty carry no flag for it; filling the slot
// invalidates what refers to it all the same.
TEST(ProjectFunction, FillingAnEmptyReferencedSlotInvalidatesWhatRefersToIt)
{
    CProject project;
    project.SetFunction(2, "f1(x) + 1");
    project.SetFunction(4, "f2(x) * 2"); // through f2
    EXPECT_EQ(Eval(project, 2, 3), nullptr);
    EXPECT_EQ(Eval(project, 4, 3), nullptr);
    project.SetFunction(1, "a*10");
    EXPECT_EQ(Eval(project, 2, 3)[0], 31) << "no undefined value stays cached";
    EXPECT_EQ(Eval(project, 4, 3)[0], 62);
    EXPECT_TRUE(project.GetFunction(2)->GetDepFunc()[1]);
    // The key takes the variables of the function filled in: here v, which f5 does not read itself.
    project.SetFunction(5, "f6(x)*u");
    ASSERT_EQ(Eval(project, 5, 1), nullptr);
    project.SetFunction(6, "a+v");
    for (const double v : {0.0, 5.0}) {
        const double slots[FUNC_NSLOTS] = {1.0, 2.0, v, 1.0, 2.0, v, 0.0};
        const double* pValue = project.GetFunction(5)->Evaluate(slots, &project);
        ASSERT_NE(pValue, nullptr);
        EXPECT_EQ(pValue[0], (1.0 + v) * 2.0);
    }
}

// A formula that is a derivative alone yields every value of the function it derives, however
// often that changes, through a chain of such formulas too.
TEST(ProjectFunction, DerivativeAloneFollowsTheValueCount)
{
    CProject project;
    project.SetFunction(3, "f2'");
    project.SetFunction(2, "f1''");
    project.SetFunction(1, "t^3, t^2");
    EXPECT_EQ(project.GetFunction(2)->GetValueCount(), 2u);
    EXPECT_EQ(project.GetFunction(3)->GetValueCount(), 2u);
    ASSERT_NE(Eval(project, 3, 2), nullptr);
    EXPECT_EQ(Eval(project, 3, 2)[0], 6.0);
    EXPECT_EQ(Eval(project, 3, 2)[1], 0.0);
    project.SetFunction(1, "t^3");
    EXPECT_EQ(project.GetFunction(3)->GetValueCount(), 1u);
    EXPECT_EQ(Eval(project, 3, 2)[0], 6.0);
    project.SetFunction(1, "");
    EXPECT_EQ(project.GetFunction(2)->GetValueCount(), 1u);
    EXPECT_EQ(Eval(project, 3, 2), nullptr);
    project.SetFunction(4, "f4'"); // a circle: one value, undefined
    EXPECT_EQ(project.GetFunction(4)->GetValueCount(), 1u);
    EXPECT_EQ(Eval(project, 4, 2), nullptr);
}

TEST(ProjectFunction, GetFunctionIsTheSlot)
{
    CProject project;
    project.SetFunction(1, "1");
    project.SetFunction(50, "50");
    EXPECT_EQ(project.GetFunction(1), project.m_pFunctions[0].get());
    EXPECT_EQ(project.GetFunction(50), project.m_pFunctions[49].get());
    EXPECT_EQ(Eval(project, 50, 0)[0], 50);
}

// ---------------------------------------------------------------------------------------------
// Transformation, options, flags

TEST(ProjectTransform, SetAndKeep)
{
    CProject project;
    project.SetTransform("fy*cos(fx), fy*sin(fx)");
    ASSERT_NE(project.m_pTransform, nullptr);
    EXPECT_EQ(project.m_pTransform->GetValueCount(), 2u);
    EXPECT_TRUE(project.m_bModified);
    CFuncTerm* pTerm = project.m_pTransform.get();

    project.m_bModified = false;
    project.SetTransform("fy*cos(fx), fy*sin(fx)");
    EXPECT_FALSE(project.m_bModified);
    EXPECT_EQ(project.m_pTransform.get(), pTerm);

    project.SetTransform("  fx, fy");
    EXPECT_TRUE(project.m_bModified);
    EXPECT_EQ(project.m_pTransform->GetText(), "fx, fy");
}

TEST(ProjectTransform, FailedCompileKeepsThePreviousTerm)
{
    CProject project;
    project.SetTransform("fx, fy");
    CFuncTerm* pTerm = project.m_pTransform.get();
    project.m_bModified = false;
    EXPECT_THROW(project.SetTransform("fx, fy +"), EFuncError);
    EXPECT_EQ(project.m_pTransform.get(), pTerm);
    EXPECT_FALSE(project.m_bModified);
}

TEST(ProjectTransform, EmptyTextRemovesTheTerm)
{
    CProject project;
    project.SetTransform("fx, fy");
    project.m_bModified = false;
    project.SetTransform("   ");
    EXPECT_EQ(project.m_pTransform, nullptr);
    EXPECT_TRUE(project.m_bModified);
}

// A transformation that refers to a function must not keep values of its old text.
TEST(ProjectTransform, TransformReferringToAChangedFunctionIsRecomputed)
{
    CProject project;
    project.SetFunction(1, "a");
    project.SetTransform("f1(fx), fy");
    const double slots[FUNC_NSLOTS] = {0, 0, 0, 2, 3, 0, 0};
    const double* pValues = project.m_pTransform->Evaluate(slots, &project);
    ASSERT_NE(pValues, nullptr);
    EXPECT_EQ(pValues[0], 2);
    project.SetFunction(1, "a*10");
    EXPECT_EQ(project.m_pTransform->GetCache().GetItems(), 0u); // no stale transformed point
    pValues = project.m_pTransform->Evaluate(slots, &project);
    ASSERT_NE(pValues, nullptr);
    EXPECT_EQ(pValues[0], 20);
    // A transformation that refers to no function keeps its cache.
    project.SetTransform("fx, fy");
    project.m_pTransform->Evaluate(slots, &project);
    project.SetFunction(1, "a");
    EXPECT_EQ(project.m_pTransform->GetCache().GetItems(), 1u);
}

TEST(ProjectOptions, SetOptionMarksOnlyAChange)
{
    CProject project;
    project.SetOption(OPT_XGRID, 1.0);
    EXPECT_FALSE(project.m_bModified);
    project.SetOption(OPT_XMIN, -5.5);
    EXPECT_TRUE(project.m_bModified);
    EXPECT_EQ(project.m_dOptions[OPT_XMIN], -5.5);
    project.m_bModified = false;
    project.SetOption(OPT_XMIN, -5.5);
    EXPECT_FALSE(project.m_bModified);
    project.SetOption(OPT_TRMODE, 2);
    EXPECT_EQ(project.m_dOptions[7], 2);
    EXPECT_TRUE(project.m_bModified);
}

TEST(ProjectOptions, SetFlagMarksOnlyAChange)
{
    CProject project;
    project.SetFlag(FLAG_XAUTO, true);
    EXPECT_FALSE(project.m_bModified);
    project.SetFlag(FLAG_PROPORTIONAL, false);
    EXPECT_FALSE(project.m_bModified);
    project.SetFlag(FLAG_PROPORTIONAL, true);
    EXPECT_EQ(project.m_nFlags, 0x3Fu);
    EXPECT_TRUE(project.m_bModified);
    project.m_bModified = false;
    project.SetFlag(FLAG_XAUTO, false);
    EXPECT_EQ(project.m_nFlags, 0x3Eu);
    EXPECT_TRUE(project.m_bModified);
    project.SetFlag(31, true);
    EXPECT_EQ(project.m_nFlags, 0x8000003Eu);
    project.SetFlag(FLAG_TRANSFORMGRID, true);
    EXPECT_EQ(project.m_nFlags & 0x40u, 0x40u);
}

// ---------------------------------------------------------------------------------------------
// The step list

TEST(ProjectFunction, NewFunctionGetsTheNextFreeColour)
{
    // Strong colours first: blue 9, red 12, green 2, fuchsia 13, black 0, ...
    struct SCase {
        const char* pszName;
        std::vector<std::pair<unsigned, uint32_t>> shown;  // slot, colour: visible with a formula
        std::vector<std::pair<unsigned, uint32_t>> hidden; // visible without a formula, or hidden
        double dBackground;
        uint32_t nExpected;
    };
    const SCase cases[] = {
        {"nothing shown", {}, {}, 15, 9},
        {"used colours skipped", {{1, 9}, {2, 12}}, {}, 15, 2},
        {"a slot without formula uses none", {{1, 9}}, {{3, 12}}, 15, 12},
        {"the function's own colour is free", {{1, 9}, {5, 12}}, {}, 15, 12},
        {"the background's skipped", {}, {}, 9, 12},
        {"black background", {{1, 9}, {2, 12}, {3, 2}, {4, 13}}, {}, 0, 4},
        {"all used: the least used",
         {{1, 9},
          {2, 12},
          {3, 2},
          {4, 13},
          {6, 0},
          {7, 4},
          {8, 3},
          {9, 5},
          {10, 6},
          {11, 1},
          {12, 7},
          {13, 11},
          {14, 10},
          {15, 14},
          {16, 8},
          {17, 9},
          {18, 15}},
         {},
         15,
         12},
    };
    for (const SCase& c : cases) {
        CProject project;
        project.SetOption(OPT_BGCOLOR, c.dBackground);
        CAnimationStep& step = *project.m_pFirstStep;
        for (const auto& [nSlot, nColor] : c.shown) {
            project.SetFunction(nSlot, "x");
            step.m_bVisible[nSlot - 1] = true;
            step.m_nColor[nSlot - 1] = nColor;
        }
        for (const auto& [nSlot, nColor] : c.hidden) {
            step.m_bVisible[nSlot - 1] = true;
            step.m_nColor[nSlot - 1] = nColor;
        }
        project.SetFunction(5, "sin(x)");
        step.m_nWidth[4] = 7;
        project.m_bModified = false;
        project.ShowNewFunction(step, 5);
        EXPECT_TRUE(step.m_bVisible[4]) << c.pszName;
        EXPECT_EQ(step.m_nColor[4], c.nExpected) << c.pszName;
        EXPECT_EQ(step.m_nWidth[4], 1u) << c.pszName;
        EXPECT_TRUE(project.m_bModified) << c.pszName;
    }
}

TEST(ProjectSteps, AppendAndInsertBefore)
{
    CProject project;
    CAnimationStep* pFirst = project.m_pFirstStep;
    project.m_bModified = false;
    CAnimationStep* pSecond = project.InsertStep(std::make_unique<CAnimationStep>(), nullptr);
    EXPECT_TRUE(project.m_bModified);
    CAnimationStep* pMiddle = project.InsertStep(std::make_unique<CAnimationStep>(), pSecond);
    EXPECT_EQ(Steps(project), (std::vector<CAnimationStep*>{pFirst, pMiddle, pSecond}));
}

TEST(ProjectSteps, InsertedBeforeTheFirstBecomesFirstWithoutSameRange)
{
    CProject project;
    CAnimationStep* pOld = project.m_pFirstStep;
    pOld->m_dMin[0] = -3;
    auto pNew = std::make_unique<CAnimationStep>(*pOld);
    pNew->m_dMin[0] = 7;
    ASSERT_TRUE(pNew->m_bSameRange);
    CAnimationStep* pCopy = project.InsertStep(std::move(pNew), pOld);
    EXPECT_EQ(project.m_pFirstStep, pCopy);
    EXPECT_FALSE(pCopy->m_bSameRange);
    EXPECT_EQ(pOld->m_dMin[0], -3); // the former first step keeps its ranges
    EXPECT_EQ(Steps(project), (std::vector<CAnimationStep*>{pCopy, pOld}));
}

TEST(ProjectSteps, CopyInsertedBehindKeepsSameRange)
{
    CProject project;
    CAnimationStep* pFirst = project.m_pFirstStep;
    CAnimationStep* pCopy = project.InsertStep(std::make_unique<CAnimationStep>(*pFirst), nullptr);
    EXPECT_TRUE(pCopy->m_bSameRange);
    pFirst->SetMin(0, -1);
    EXPECT_EQ(pCopy->m_dMin[0], -1);
}

TEST(ProjectSteps, RemoveTheOnlyStepLeavesAnEmptyList)
{
    CProject project;
    CAnimationStep* pStep = project.m_pFirstStep;
    project.m_bModified = false;
    const std::unique_ptr<CAnimationStep> pRemoved = project.RemoveStep(pStep); // the caller owns it now
    EXPECT_EQ(pRemoved.get(), pStep);
    EXPECT_TRUE(project.m_bModified);
    EXPECT_EQ(project.m_pFirstStep, nullptr);
    EXPECT_EQ(project.m_pLastStep, nullptr);
    EXPECT_EQ(pStep->m_pProject, nullptr);
    EXPECT_EQ(pStep->m_pNext, nullptr);
    EXPECT_EQ(pStep->m_pPrev, nullptr);
    project.InsertStep(std::make_unique<CAnimationStep>(), nullptr);
    EXPECT_EQ(Steps(project).size(), 1u);
}

TEST(ProjectSteps, RemovingTheFirstClearsTheNewFirstsSameRange)
{
    CProject project;
    CAnimationStep* pFirst = project.m_pFirstStep;
    CAnimationStep* pSecond = project.InsertStep(std::make_unique<CAnimationStep>(*pFirst), nullptr);
    ASSERT_TRUE(pSecond->m_bSameRange);
    const std::unique_ptr<CAnimationStep> pRemoved = project.RemoveStep(pFirst);
    EXPECT_EQ(project.m_pFirstStep, pSecond);
    EXPECT_FALSE(pSecond->m_bSameRange);
    EXPECT_EQ(Steps(project), (std::vector<CAnimationStep*>{pSecond}));
}

TEST(ProjectSteps, RemoveFromTheMiddleAndTheEnd)
{
    CProject project;
    CAnimationStep* p1 = project.m_pFirstStep;
    CAnimationStep* p2 = project.InsertStep(std::make_unique<CAnimationStep>(), nullptr);
    CAnimationStep* p3 = project.InsertStep(std::make_unique<CAnimationStep>(), nullptr);
    CAnimationStep* p4 = project.InsertStep(std::make_unique<CAnimationStep>(), nullptr);
    const std::unique_ptr<CAnimationStep> pRemoved3 = project.RemoveStep(p3);
    EXPECT_EQ(Steps(project), (std::vector<CAnimationStep*>{p1, p2, p4}));
    project.m_bModified = false;
    project.DeleteStep(p4);
    EXPECT_TRUE(project.m_bModified);
    EXPECT_EQ(Steps(project), (std::vector<CAnimationStep*>{p1, p2}));
}

TEST(ProjectSteps, MoveUpAndDownAreRemoveAndInsert)
{
    CProject project;
    CAnimationStep* p1 = project.m_pFirstStep;
    CAnimationStep* p2 = project.InsertStep(std::make_unique<CAnimationStep>(), nullptr);
    CAnimationStep* p3 = project.InsertStep(std::make_unique<CAnimationStep>(), nullptr);
    // Move p3 up: before its old predecessor.
    project.m_bModified = false;
    project.MoveStep(p3, p3->m_pPrev);
    EXPECT_TRUE(project.m_bModified);
    EXPECT_EQ(Steps(project), (std::vector<CAnimationStep*>{p1, p3, p2}));
    // Move p1 down: before the successor of its old successor (or to the end).
    project.MoveStep(p1, p1->m_pNext->m_pNext);
    EXPECT_EQ(Steps(project), (std::vector<CAnimationStep*>{p3, p1, p2}));
    project.MoveStep(p1, nullptr);
    EXPECT_EQ(Steps(project), (std::vector<CAnimationStep*>{p3, p2, p1}));
    // Moved to the front, a step with the same-range flag loses it.
    p1->SetSameRange(true);
    project.MoveStep(p1, p3);
    EXPECT_EQ(Steps(project), (std::vector<CAnimationStep*>{p1, p3, p2}));
    EXPECT_FALSE(p1->m_bSameRange);
}

TEST(ProjectSteps, StepMarksItsDocument)
{
    CProject project;
    project.m_bModified = false;
    project.m_pFirstStep->SetMin(0, -20);
    EXPECT_TRUE(project.m_bModified);
    CAnimationStep loose;
    loose.SetMin(0, 5); // in no document: nothing to mark
    EXPECT_EQ(loose.m_dMin[0], 5);
}

// ---------------------------------------------------------------------------------------------
// Fatal assertions

TEST(ProjectDeathTest, GetFunctionOutsideTheSlots)
{
    CProject project;
    EXPECT_DEATH(project.GetFunction(0), AssertionMessage("nIndex>=1 && nIndex<=MAX_FUNCTIONS"));
    EXPECT_DEATH(project.GetFunction(51), AssertionMessage("nIndex>=1 && nIndex<=MAX_FUNCTIONS"));
}

TEST(ProjectDeathTest, SetFunctionOutsideTheSlots)
{
    CProject project;
    EXPECT_DEATH(project.SetFunction(0, "x"), AssertionMessage("nIndex>=1 && nIndex<=MAX_FUNCTIONS"));
    EXPECT_DEATH(project.SetFunction(51, "x"), AssertionMessage("nIndex>=1 && nIndex<=MAX_FUNCTIONS"));
}

TEST(ProjectDeathTest, InsertingALinkedStep)
{
    CProject project;
    // (A unique_ptr to a linked step is a broken precondition by itself; the assertion stops the
    // program before anything is released twice.)
    const auto Linked = [&] { return std::unique_ptr<CAnimationStep>(project.m_pFirstStep); };
    EXPECT_DEATH(project.InsertStep(Linked(), nullptr), AssertionMessage("pNewStep->m_pProject==0"));
    CProject other;
    EXPECT_DEATH(other.InsertStep(Linked(), nullptr), AssertionMessage("pNewStep->m_pProject==0"));
}

TEST(ProjectDeathTest, RemovingAForeignStep)
{
    CProject project;
    CProject other;
    EXPECT_DEATH((void)other.RemoveStep(project.m_pFirstStep), AssertionMessage("pStep->m_pProject==this"));
    EXPECT_DEATH(other.DeleteStep(project.m_pFirstStep), AssertionMessage("pStep->m_pProject==this"));
    CAnimationStep loose;
    EXPECT_DEATH((void)project.RemoveStep(&loose), AssertionMessage("pStep->m_pProject==this"));
    EXPECT_DEATH(project.MoveStep(&loose, nullptr), AssertionMessage("pStep->m_pProject==this"));
}

TEST(ProjectDeathTest, MessageStartsTheLine)
{
    CProject project;
    EXPECT_DEATH(project.GetFunction(77),
                 "^Assertion failed: nIndex>=1 && nIndex<=MAX_FUNCTIONS, file Project, line [0-9]+\n$");
}
