#pragma once
// Receives what a walk over the samples computes, one function value at a time, so that a later
// pass can do with what an earlier one has already evaluated.
class CFuncVars;

class CSampleSink {
public:
    virtual ~CSampleSink() = default;
    // The values of function nFunction (0-based) at the walk's current sample, or null where it is
    // undefined there. They are valid during the call only.
    virtual void Sample(const CFuncVars& vars, unsigned nFunction, const double* pValues) = 0;
    // The walk stands at a new sample; its functions follow.
    virtual void Visited(const CFuncVars& /*vars*/) {}
    // Where points are transformed: point nPoint of function nFunction after the values, as the
    // transformation maps it (bDefined false where it is undefined there).
    virtual void Transformed(const CFuncVars& /*vars*/, unsigned /*nFunction*/, unsigned /*nPoint*/, double /*x*/,
                             double /*y*/, bool /*bDefined*/)
    {
    }
};
