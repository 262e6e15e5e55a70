#pragma once
// What a compiled term needs of the document that holds it: the terms that its references
// f1 ... f50 name. The document implements it; the expression language knows nothing else of it.
class CFuncTerm;

class CFuncResolver {
public:
    // The term of slot nIndex (1 ... MAX_FUNCTIONS), or null for an empty slot.
    virtual CFuncTerm* GetFunction(unsigned nIndex) const = 0;

protected:
    CFuncResolver() = default;
    CFuncResolver(const CFuncResolver&) = default;
    CFuncResolver& operator=(const CFuncResolver&) = default;
    virtual ~CFuncResolver() = default;
};
