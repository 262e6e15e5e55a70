#pragma once
// Tables as spreadsheets read them (RFC 4180): fields by a separator, rows ended by CR LF, a field
// quoted where it holds the separator, a quote, CR or LF, its quotes doubled.
#include <string>
#include <vector>

class CCsvText {
public:
    static std::string Field(const std::string& szText, char cSeparator);
    // Every row, the last one too, ended by CR LF.
    static std::string Table(const std::vector<std::vector<std::string>>& rows, char cSeparator);
};
