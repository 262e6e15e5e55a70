#pragma once
// Derivatives of a function of one parameter where no exact one is to be had: central differences
// extrapolated to step zero (Ridders), which give about 12 digits of the first derivative and 8
// or 9 of the second on smooth functions.
#include "view/CCurveAnalysis.h"

class CDerivative {
public:
    // The nOrder-th derivative (1 or 2) of f at t, starting from the step dStep (about the scale
    // on which f changes: a few pixels of the view) and extrapolating the differences of ever
    // smaller steps; the estimated error in *pError. False where f is undefined near t, or where
    // the differences do not settle (a kink, a jump: not differentiable there).
    static bool Numerical(const CCurveAnalysis::Function& f, double t, unsigned nOrder, double dStep, double& dValue,
                          double* pError = nullptr);
};
