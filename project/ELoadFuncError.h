#pragma once
// A formula in a project file that does not compile. It is the compiler's EFuncError, so callers
// that only know that type still catch it; it adds the text, the formula and the line.
#include <cstdint>
#include <string>

#include "expr/EFuncError.h"

struct ELoadFuncError : EFuncError {
    ELoadFuncError(const EFuncError& error, std::string szText, uint32_t nLine, unsigned nFunction = 0)
        : EFuncError(error), m_szText(std::move(szText)), m_nLine(nLine), m_nFunction(nFunction)
    {
    }

    // The text from the error on, as the window shows it after " bei: ".
    std::string Excerpt() const { return EFuncError::Excerpt(m_szText); }

    // Which formula and where, in Windows-1252: "in f4 bei: " and the excerpt; an error at the
    // end of the text has no excerpt and shows that end instead: "(Ende von „sin(x*")".
    std::string Location() const
    {
        std::string szWhere = m_nFunction ? "in f" + std::to_string(m_nFunction) : "in Transformationsterm";
        szWhere += " bei: ";
        const std::string szExcerpt = Excerpt();
        if (!szExcerpt.empty())
            return szWhere + szExcerpt;
        constexpr size_t END_SHOWN = 40; // characters of a long text's end
        const std::string szEnd =
            m_szText.size() > END_SHOWN ? "..." + m_szText.substr(m_szText.size() - END_SHOWN) : m_szText;
        return szWhere + "(Ende von \x84" + szEnd + "\")";
    }

    std::string m_szText; // the text the compiler received
    uint32_t m_nLine;
    unsigned m_nFunction; // 1 ... 50, or 0 for the transformation term
};
