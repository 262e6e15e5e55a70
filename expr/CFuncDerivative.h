#pragma once
// Derivatives of a term by automatic differentiation: the term's code is run on truncated Taylor
// series in one variable t instead of on numbers, each value v(t) = c0 + c1 t + c2 t^2 + ...,
// where t moves the slots that the derivative is taken along. Every operation computes the
// coefficients of its result from those of its operands (the rules of differentiation, in the
// recurrence form that needs no higher derivatives of the library functions), so f'(x) = c1 and
// f''(x) = 2 c2 come out to the precision of the arithmetic, with no step width to choose.
//
// A coefficient that does not exist is NaN: where an operation is not differentiable (abs, sqrt
// at 0, int and frac at a jump, a comparison whose sides meet) its coefficients from the first
// derivative that fails on are NaN, and so is everything computed from them. A conditional whose
// condition changes at the point compares its branches: where they agree in value and in the
// derivatives asked for, the derivative exists. The value c0 is computed by the very functions
// of the evaluator (CFuncOps.h), so it is undefined exactly where the term is.
#include <cstddef>
#include <cstdint>
#include <vector>

class CFuncResolver;
class CFuncTerm;
struct CFuncNode;

class CFuncDerivative {
public:
    // Coefficients beyond the value: more than f'' needs, for derivatives of derivatives.
    static constexpr unsigned MAX_ORDER = 8;
    // Coefficients a derivative is computed with: one more than f'' needs, so that where a value
    // touches 0 or a bound at the point (x^2, int(x^2), x^3 < 0), the side it lies on is seen.
    static constexpr unsigned RUN_ORDER = 3;

    struct SJet {
        double m_c[MAX_ORDER + 1]; // the value, f', f''/2, ... f^(k)/k!; NaN where it does not exist
        bool m_bVaries;            // it depends on t at all (a constant's coefficients are 0)
        bool m_bStep;              // a truth value that changes at the point, as m_nLeft, m_nRight say
        int8_t m_nLeft, m_nRight;  // a step's truth just left and right of the point; -1 unknown
    };

    // The program of a code list of nValues top-level expressions.
    CFuncDerivative(const CFuncNode* pCode, unsigned nValues);

    // Runs on the series of the seven slots to nOrder coefficients and leaves the series of the
    // first nOut values in pOut. False where the value itself is undefined. The term is the one
    // whose program this is: its references and derivatives are resolved through pProject.
    bool Run(const SJet* pSlots, unsigned nOrder, CFuncResolver* pProject, SJet* pOut, unsigned nOut) const;

    size_t Size() const { return m_Steps.size(); }
    // The term's formula is a derivative alone (f1', f1''(2*x)): it yields every value of it.
    bool IsWhole() const { return m_bWhole; }

private:
    struct SStep {
        double m_dConst;
        uint32_t m_nOp;
        uint32_t m_nArg;
        uint32_t m_nElse; // OP_COND: the first step of the else-branch
        uint32_t m_nEnd;  // OP_COND: the step after the else-branch
    };
    void Emit(const CFuncNode* pNode);

    class CRun; // one run: the series stack and the slots

    std::vector<SStep> m_Steps;
    bool m_bWhole = false;
};
