#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "project/CProject.h"
#include "view/CFuncVars.h"

// The evaluation context: what it starts with, what a copy takes, and the document through which
// a term evaluated with it resolves its references.

TEST(EvaluatorReference, ReferencesResolveThroughTheContextsDocument)
{
    CProject project;
    project.SetFunction(1, "a*3");
    project.SetFunction(2, "f1(x)+1");
    CFuncVars vars;
    vars.m_pProject = &project;
    vars.m_dValue[0] = 2;
    const double* pValues = project.GetFunction(2)->Evaluate(vars);
    ASSERT_NE(pValues, nullptr);
    EXPECT_EQ(pValues[0], 7);
    // Without a document in the context the reference finds no function.
    CFuncVars none;
    none.m_dValue[0] = 5;
    EXPECT_EQ(project.GetFunction(2)->Evaluate(none), nullptr);
}

TEST(EvaluatorVars, FreshContext)
{
    CFuncVars vars;
    for (const double d : vars.m_dValue)
        EXPECT_EQ(d, 0.0); // d (slot 6) included
    for (unsigned i = 0; i < MAX_FUNCTIONS; ++i)
        EXPECT_EQ(vars.m_nLastX[i], INT_MAX);
    EXPECT_EQ(vars.m_pProject, nullptr);
    EXPECT_EQ(vars.m_pStep, nullptr);
}

TEST(EvaluatorVars, CopyTakesEverythingButTheLastPixels)
{
    CProject project;
    CFuncVars vars;
    vars.m_pProject = &project;
    vars.m_pStep = project.m_pFirstStep;
    for (unsigned i = 0; i < FUNC_NSLOTS; ++i)
        vars.m_dValue[i] = i + 0.5;
    for (unsigned i = 0; i < FUNC_NVARS; ++i)
        vars.m_nIndex[i] = 10 + i;
    vars.m_nSamples = 77;
    vars.m_bFirstSample = false;
    vars.m_nViewWidth = 640;
    vars.m_nViewHeight = 480;
    vars.m_nViewLeft = 3;
    vars.m_nViewTop = 4;
    vars.m_dOriginX = 1.5;
    vars.m_dOriginY = 2.5;
    vars.m_dScaleX = 3.5;
    vars.m_dScaleY = 4.5;
    vars.m_nLastX[7] = 12;
    vars.m_nLastY[7] = 34;

    const CFuncVars copy(vars);
    EXPECT_EQ(copy.m_pProject, &project);
    EXPECT_EQ(copy.m_pStep, project.m_pFirstStep);
    for (unsigned i = 0; i < FUNC_NSLOTS; ++i)
        EXPECT_EQ(copy.m_dValue[i], i + 0.5);
    for (unsigned i = 0; i < FUNC_NVARS; ++i)
        EXPECT_EQ(copy.m_nIndex[i], 10 + i);
    EXPECT_EQ(copy.m_nSamples, 77u);
    EXPECT_FALSE(copy.m_bFirstSample);
    EXPECT_EQ(copy.m_nViewWidth, 640u);
    EXPECT_EQ(copy.m_nViewHeight, 480u);
    EXPECT_EQ(copy.m_nViewLeft, 3u);
    EXPECT_EQ(copy.m_nViewTop, 4u);
    EXPECT_EQ(copy.m_dOriginX, 1.5);
    EXPECT_EQ(copy.m_dOriginY, 2.5);
    EXPECT_EQ(copy.m_dScaleX, 3.5);
    EXPECT_EQ(copy.m_dScaleY, 4.5);
    EXPECT_EQ(copy.m_nLastX[7], INT_MAX);
}

TEST(EvaluatorVars, StepStartIsTheWalksCountAtTheStepsFirstSample)
{
    // Steps of one sample, of a sweep of x, and of x, u and v together: the count the walk has at
    // each step's first sample, and once it has passed the last one for the end.
    CProject project;
    project.m_pFirstStep->SetCount(0, 0);
    CAnimationStep& second = *project.InsertStep(std::make_unique<CAnimationStep>(*project.m_pLastStep), nullptr);
    second.SetCount(0, 9);
    CAnimationStep& third = *project.InsertStep(std::make_unique<CAnimationStep>(*project.m_pLastStep), nullptr);
    third.SetCount(0, 4);
    third.SetCount(1, 2);
    third.SetCount(2, 1);
    CFuncVars vars;
    vars.Reset(project.m_pFirstStep);
    const CAnimationStep* pLast = nullptr;
    unsigned nSteps = 0;
    do {
        if (vars.m_pStep != pLast) {
            EXPECT_EQ(vars.m_nSamples, CFuncVars::StepStart(project.m_pFirstStep, vars.m_pStep)) << nSteps;
            pLast = vars.m_pStep;
            ++nSteps;
        }
    } while (vars.Step());
    EXPECT_EQ(nSteps, 3u);
    EXPECT_EQ(vars.m_nSamples, CFuncVars::StepStart(project.m_pFirstStep, nullptr));
    EXPECT_EQ(CFuncVars::StepStart(project.m_pFirstStep, project.m_pFirstStep), 0u);
}
