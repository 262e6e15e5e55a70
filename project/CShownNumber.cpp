#include "project/CShownNumber.h"

#include <clocale>
#include <cstdio>

#include "project/CProject.h"

std::string CShownNumber::Format(double dValue, bool bComma)
{
    char szBuffer[64];
    std::snprintf(szBuffer, sizeof szBuffer, "%20.8lg", dValue);
    const char* pszPoint = std::localeconv()->decimal_point;
    const char cPoint = pszPoint && *pszPoint ? *pszPoint : '.';
    std::string szText;
    for (const char* p = szBuffer; *p; ++p) {
        if (*p == ' ' && szText.empty())
            continue;
        szText += *p == cPoint ? (bComma ? ',' : '.') : *p;
    }
    return szText;
}

std::string CShownNumber::Format(const CProject& project, double dValue)
{
    return Format(dValue, Comma(project));
}

bool CShownNumber::Comma(const CProject& project)
{
    return (project.m_nFlags & (1u << FLAG_DECIMALCOMMA)) != 0;
}
