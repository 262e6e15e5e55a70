#pragma once
// The differential checks of ExprCheck.cpp; each returns the number of disagreements.
long CheckProgramAgainstCodeList(long nFormulas); // the flat program against the code list
long CheckCacheAgainstChains(long nSteps);        // the cache against its chains
