#pragma once
// Numbers written for people: the window's fields, the status line, the value table and its
// copies, the lists of the Grafik page, axis labels and CSV files. With the document's
// "Dezimalkomma" they carry a decimal comma; the project file and the TAB text of --table keep
// the point (CNumberText), and formula text is never touched: there a comma separates arguments.
#include <string>

class CProject;

class CShownNumber {
public:
    // "%20.8lg" without its leading blanks, the decimal sign ',' with bComma and '.' otherwise,
    // whatever the C locale says.
    static std::string Format(double dValue, bool bComma);
    // The same with the document's choice.
    static std::string Format(const CProject& project, double dValue);
    static bool Comma(const CProject& project);
    // The field separator of a CSV file that goes with the decimal sign: ';' beside a comma, as
    // spreadsheets set to German expect, ',' beside a point.
    static char ListSeparator(bool bComma) { return bComma ? ';' : ','; }
    // Between the numbers of a pair or list in running text ("1,5; 2" beside "1.5, 2").
    static const char* PairSeparator(bool bComma) { return bComma ? "; " : ", "; }
};
