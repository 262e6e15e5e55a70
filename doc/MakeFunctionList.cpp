// Writes the list of built-in functions into the handbook's formula page and the index of its
// help project, from the compiler's function table and the descriptions in funktionen.txt, so
// that the handbook cannot name a function the program lacks or leave one out. Each example is
// compiled and evaluated here: the values the handbook shows are the program's own.
//
// MakeFunctionList DESCRIPTIONS PAGE_IN PAGE_OUT PROJECT_IN PROJECT_OUT
#include <cstdio>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "expr/CFuncNode.h"
#include "expr/CFuncTerm.h"
#include "expr/COpcode.h"
#include "expr/EFuncError.h"

namespace {
struct SFunction {
    std::string m_szName;
    std::string m_szMeaning;
    std::string m_szExample;
};

const char* const g_TableWords[] = {
#define KX_TABLE_WORD(NAME, VALUE, WORD, FN, ITEM) WORD,
    KX_FUNCTION_LIST(KX_TABLE_WORD)
#undef KX_TABLE_WORD
};

bool ReadFile(const std::string& szName, std::string& szText)
{
    std::ifstream file(szName, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    szText = text.str();
    return static_cast<bool>(file);
}

bool WriteFile(const std::string& szName, const std::string& szText)
{
    std::ofstream file(szName, std::ios::binary);
    file << szText;
    return static_cast<bool>(file.flush());
}

std::string Escape(const std::string& szText)
{
    std::string szOut;
    for (char c : szText)
        szOut += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : std::string(1, c);
    return szOut;
}

// The example's value where every variable is 0, written as the window writes numbers.
bool ExampleValue(const SFunction& function, std::string& szValue)
{
    try {
        CFuncTerm term(nullptr, function.m_szExample.c_str());
        term.EnsureDependencies();
        // Random numbers are cached per a, b, c and d, so they count as reading them.
        if ((term.GetDepVar().to_ulong() & 7) != 0) {
            std::cerr << "funktionen.txt: the example of " << function.m_szName << " reads x, u or v\n";
            return false;
        }
        const double dSlots[FUNC_NSLOTS] = {};
        const double* pValues = term.Evaluate(dSlots, nullptr);
        if (!pValues) {
            szValue = "undefiniert";
            return true;
        }
        char szNumber[40];
        std::snprintf(szNumber, sizeof szNumber, "%.8g", pValues[0]);
        szValue = szNumber;
        return true;
    } catch (const EFuncError& error) {
        std::cerr << "funktionen.txt: the example of " << function.m_szName
                  << " does not compile: " << error.m_pszMessage << "\n";
        return false;
    }
}

// A function of one argument: the name alone wants its bracket, with one it compiles. A word
// without argument: the name alone compiles to one operation that is no variable, constant or
// reference.
bool IsWord(const std::string& szName)
{
    try {
        CFuncTerm word(nullptr, szName.c_str());
        const CFuncNode* pCode = word.GetCode();
        return pCode && !pCode->m_pNext && pCode->m_nOp != OP_VAR && pCode->m_nOp != OP_CONST && pCode->m_nOp != OP_REF;
    } catch (const EFuncError&) {
    }
    try {
        CFuncTerm word(nullptr, (szName + "(x)").c_str());
        return true;
    } catch (const EFuncError&) {
        return false;
    }
}

bool Replace(std::string& szText, const std::string& szMark, const std::string& szBy)
{
    const size_t nAt = szText.find(szMark);
    if (nAt == std::string::npos)
        return false;
    szText.replace(nAt, szMark.size(), szBy);
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::cerr << "usage: MakeFunctionList DESCRIPTIONS PAGE_IN PAGE_OUT PROJECT_IN PROJECT_OUT\n";
        return 2;
    }
    std::string szDescriptions, szPage, szProject;
    if (!ReadFile(argv[1], szDescriptions) || !ReadFile(argv[2], szPage) || !ReadFile(argv[4], szProject)) {
        std::cerr << "MakeFunctionList: cannot read its input\n";
        return 1;
    }
    std::vector<SFunction> functions;
    std::set<std::string> names;
    std::istringstream lines(szDescriptions);
    for (std::string szLine; std::getline(lines, szLine);) {
        if (szLine.empty() || szLine[0] == '#')
            continue;
        const size_t nBar1 = szLine.find('|'), nBar2 = szLine.find('|', nBar1 + 1);
        if (nBar1 == std::string::npos || nBar2 == std::string::npos) {
            std::cerr << "funktionen.txt: not NAME|MEANING|EXAMPLE: " << szLine << "\n";
            return 1;
        }
        functions.push_back(
            {szLine.substr(0, nBar1), szLine.substr(nBar1 + 1, nBar2 - nBar1 - 1), szLine.substr(nBar2 + 1)});
        names.insert(functions.back().m_szName);
    }
    bool bOk = true;
    for (const char* pszWord : g_TableWords)
        if (!names.count(pszWord)) {
            std::cerr << "funktionen.txt: the built-in function " << pszWord << " is not described\n";
            bOk = false;
        }
    std::string szRows, szKeywords;
    for (const SFunction& function : functions) {
        if (!IsWord(function.m_szName)) {
            std::cerr << "funktionen.txt: " << function.m_szName << " is no function of the formula language\n";
            bOk = false;
        }
        std::string szValue;
        if (!ExampleValue(function, szValue))
            bOk = false;
        szRows += "<tr><td><a name=\"" + function.m_szName + "\"></a><code>" + function.m_szName + "</code></td><td>" +
                  Escape(function.m_szMeaning) + "</td><td><code>" + Escape(function.m_szExample) + "</code></td><td>" +
                  szValue + "</td></tr>\n";
        szKeywords += "        <keyword name=\"" + function.m_szName + "\" id=\"funktion." + function.m_szName +
                      "\" ref=\"formeln.html#" + function.m_szName + "\"/>\n";
    }
    if (!bOk)
        return 1;
    if (!Replace(szPage, "<!-- FUNKTIONSLISTE -->", szRows) ||
        !Replace(szProject, "<!-- FUNKTIONSSTICHWORTE -->", szKeywords)) {
        std::cerr << "MakeFunctionList: a template lacks its mark\n";
        return 1;
    }
    if (!WriteFile(argv[3], szPage) || !WriteFile(argv[5], szProject)) {
        std::cerr << "MakeFunctionList: cannot write its output\n";
        return 1;
    }
    return 0;
}
