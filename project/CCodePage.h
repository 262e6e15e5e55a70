#pragma once
// Conversions between the 8-bit code pages of project files and UTF-8, through the C library's
// iconv: Windows-1252 is the document's text, code page 850 that of legacy notes.
#include <string>

class CCodePage {
public:
    // A character the target cannot hold becomes cReplacement (one byte) in its place.
    static std::string Convert(const char* pszFrom, const char* pszTo, const std::string& szText, char cReplacement);

    static std::string AnsiToUtf8(const std::string& szAnsi) { return Convert("WINDOWS-1252", "UTF-8", szAnsi, '?'); }
    static std::string Utf8ToAnsi(const std::string& szUtf8, char cReplacement = '?')
    {
        return Convert("UTF-8", "WINDOWS-1252", szUtf8, cReplacement);
    }
    static std::string OemToAnsi(const std::string& szOem)
    {
        return Convert("CP850", "WINDOWS-1252//TRANSLIT", szOem, '?');
    }
};
