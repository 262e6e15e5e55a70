#pragma once
// A formula in a project file that does not compile. It is the compiler's EFuncError, so callers
// that only know that type still catch it; it adds the text and the line for the message.
#include <cstdint>
#include <string>

#include "expr/EFuncError.h"

struct ELoadFuncError : EFuncError {
    ELoadFuncError(const EFuncError& error, std::string szText, uint32_t nLine)
        : EFuncError(error), m_szText(std::move(szText)), m_nLine(nLine)
    {
    }

    // The text from the error on, as the window shows it after " bei: ".
    std::string Excerpt() const { return EFuncError::Excerpt(m_szText); }

    std::string m_szText;  // the text the compiler received
    uint32_t m_nLine;
};
