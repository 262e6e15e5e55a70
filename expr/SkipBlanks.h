#pragma once
// The leading blanks that a formula loses before it is compiled: the character 32 only, so a
// tab stays (and is skipped by the tokenizer as white space instead).
#include <cstddef>
#include <string>

inline const char* SkipBlanks(const char* pszText)
{
    while (*pszText == ' ')
        ++pszText;
    return pszText;
}

// The number of leading blanks of the text (its length when it has nothing else).
inline size_t LeadingBlanks(const std::string& szText)
{
    return static_cast<size_t>(SkipBlanks(szText.c_str()) - szText.c_str());
}
