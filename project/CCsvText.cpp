#include "project/CCsvText.h"

std::string CCsvText::Field(const std::string& szText, char cSeparator)
{
    if (szText.find_first_of(std::string{cSeparator, '"', '\r', '\n'}) == std::string::npos)
        return szText;
    std::string szField = "\"";
    for (const char c : szText) {
        if (c == '"')
            szField += '"';
        szField += c;
    }
    return szField + '"';
}

std::string CCsvText::Table(const std::vector<std::vector<std::string>>& rows, char cSeparator)
{
    std::string szText;
    for (const std::vector<std::string>& row : rows) {
        // A row of one empty field would be a blank line, which readers may skip.
        if (row.size() == 1 && row[0].empty())
            szText += "\"\"";
        for (size_t c = 0; c < row.size(); ++c) {
            if (c > 0)
                szText += cSeparator;
            szText += Field(row[c], cSeparator);
        }
        szText += "\r\n";
    }
    return szText;
}
