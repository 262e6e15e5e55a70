#include "expr/CFuncHints.h"

#include <algorithm>

#include "expr/CFuncParser.h"
#include "expr/CFuncTerm.h"
#include "expr/COpcode.h"
#include "expr/EFuncError.h"

namespace {
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool SameWord(const std::string& szName, const char* pszWord)
{
    size_t i = 0;
    for (; i < szName.size() && pszWord[i]; ++i) {
        char c = szName[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != pszWord[i])
            return false;
    }
    return i == szName.size() && !pszWord[i];
}

// Which of the argument slots a, b, c (0, 1, 2) a name reads, or -1: the names of the language.
int ArgumentOf(const std::string& szName)
{
    for (const char* pszWord : {"a", "n", "fx"})
        if (SameWord(szName, pszWord))
            return 0;
    for (const char* pszWord : {"b", "f", "fy"})
        if (SameWord(szName, pszWord))
            return 1;
    return SameWord(szName, "c") ? 2 : -1;
}

const char* const RANGE_NAMES[3] = {"x", "u", "v"};
const char* const ARGUMENT_NAMES[4] = {"a", "b", "c", "d"};

// "a", "a und b", "a, b und c"
std::string Listed(const std::vector<std::string>& items)
{
    std::string szText;
    for (size_t i = 0; i < items.size(); ++i)
        szText += (i == 0 ? "" : i + 1 == items.size() ? FuncHint::And : ", ") + items[i];
    return szText;
}

std::string FunctionName(unsigned n)
{
    return "f" + std::to_string(n);
}

// The tokens of a text that compiles, with where each begins and ends.
struct SToken {
    ETokenKind m_nKind;
    int32_t m_nBegin;
    int32_t m_nEnd;
    std::string m_szName;
    unsigned m_nPrimes; // apostrophes after the name: a derivative
};
std::vector<SToken> Tokens(const std::string& szText)
{
    std::vector<SToken> tokens;
    try {
        CFuncParser parser(szText.c_str());
        while (parser.m_nToken != TK_END) {
            tokens.push_back({parser.m_nToken, parser.m_nMark, parser.m_nPos,
                              parser.m_nToken == TK_NAME ? std::string(parser.m_szName) : std::string(),
                              parser.m_nPrimes});
            parser.NextToken();
        }
    } catch (const EFuncError&) {
        // Only compiled texts come here; a text that does not tokenize has no hints.
    }
    return tokens;
}

// Every reference of a code list and its branches: function and argument count.
std::string ParameterHint(unsigned nFunction, const std::vector<SToken>& tokens)
{
    // The names as written, first use first, one per slot.
    std::string szNames[3];
    for (const SToken& token : tokens) {
        const int nArgument = token.m_nKind == TK_NAME ? ArgumentOf(token.m_szName) : -1;
        if (nArgument >= 0 && szNames[nArgument].empty())
            szNames[nArgument] = token.m_szName;
    }
    std::vector<std::string> meanings, names;
    std::string szCall;
    for (int i = 0; i < 3; ++i) {
        if (szNames[i].empty())
            continue;
        meanings.push_back(szNames[i] + (meanings.empty() ? FuncHint::StandsFor : FuncHint::For) + RANGE_NAMES[i]);
        names.push_back(szNames[i]);
    }
    if (meanings.empty())
        return std::string();
    int nLast = 2;
    while (szNames[nLast].empty())
        --nLast;
    for (int i = 0; i <= nLast; ++i)
        szCall += (i ? ", " : "") + std::to_string(i + 2);
    return Listed(meanings) + FuncHint::ArgumentsSet + FunctionName(nFunction) + "(" + szCall + ")" + FuncHint::Sets +
           Listed(names);
}

std::string ArgumentHint(uint32_t nReference, CFuncTerm& term)
{
    const unsigned n = ReferencedFunction(nReference);
    const unsigned nArgs = ReferenceArgCount(nReference);
    CFuncTerm* pCalled = term.GetProject() ? term.GetProject()->GetFunction(n) : nullptr;
    if (!pCalled)
        return std::string();
    pCalled->EnsureDependencies();
    const auto& bReads = pCalled->GetDepVar();
    std::vector<std::string> unused, instead;
    for (unsigned i = 0; i < nArgs && i < 4; ++i) {
        if (bReads[SLOT_A + i])
            continue;
        unused.push_back(std::to_string(i + 1) + ".");
        if (i < 3 && bReads[i])
            instead.push_back(std::string(ARGUMENT_NAMES[i]) + FuncHint::Instead + RANGE_NAMES[i]);
    }
    if (unused.empty())
        return std::string();
    const std::string szName = FunctionName(n);
    std::string szHint = unused.size() == nArgs
                             ? szName + FuncHint::NoArgument
                             : szName + FuncHint::UsesThe + Listed(unused) + FuncHint::ArgumentUnused;
    if (!instead.empty())
        szHint += FuncHint::WriteWith + szName + FuncHint::With + Listed(instead);
    return szHint;
}

// The function number of a reference's name (f7x is f7), or 0.
unsigned ReferenceOf(const std::string& szName)
{
    if (szName.size() < 2 || szName[0] != 'f' || !IsDigit(szName[1]))
        return 0;
    unsigned n = 0;
    for (size_t i = 1; i < szName.size() && IsDigit(szName[i]) && n <= MAX_FUNCTIONS; ++i)
        n = n * 10 + static_cast<unsigned>(szName[i] - '0');
    return n <= MAX_FUNCTIONS ? n : 0;
}

// A derivative of an empty slot is undefined everywhere; a plain reference to one is left alone,
// as it always was.
std::vector<std::string> EmptyDerivativeHints(CFuncTerm& term)
{
    std::vector<std::string> hints;
    std::vector<unsigned> named;
    CFuncResolver* pProject = term.GetProject();
    if (!pProject)
        return hints;
    for (const SToken& token : Tokens(term.GetText())) {
        const unsigned n = token.m_nKind == TK_NAME && token.m_nPrimes ? ReferenceOf(token.m_szName) : 0;
        if (!n || pProject->GetFunction(n) || std::find(named.begin(), named.end(), n) != named.end())
            continue;
        named.push_back(n);
        hints.push_back(FunctionName(n) + FuncHint::IsEmpty + FunctionName(n) + std::string(token.m_nPrimes, '\'') +
                        FuncHint::NowhereDefined);
    }
    return hints;
}

std::string CommaHint(const std::string& szText, const std::vector<SToken>& tokens)
{
    std::vector<std::string> written, meant;
    for (size_t i = 1; i + 1 < tokens.size(); ++i) {
        const SToken& before = tokens[i - 1];
        const SToken& comma = tokens[i];
        const SToken& after = tokens[i + 1];
        // "0,5": a whole number, the comma right after it and digits right after the comma.
        if (comma.m_nKind != TK_COMMA || before.m_nKind != TK_NUMBER || after.m_nKind != TK_NUMBER ||
            before.m_nEnd != comma.m_nBegin || after.m_nBegin != comma.m_nEnd)
            continue;
        const std::string szWhole =
            szText.substr(static_cast<size_t>(before.m_nBegin), static_cast<size_t>(before.m_nEnd - before.m_nBegin));
        if (!std::all_of(szWhole.begin(), szWhole.end(), IsDigit))
            continue;
        const std::string szFraction =
            szText.substr(static_cast<size_t>(after.m_nBegin), static_cast<size_t>(after.m_nEnd - after.m_nBegin));
        written.push_back("\x84" + szWhole + "," + szFraction + "\x93");
        meant.push_back(szWhole + "." + szFraction);
    }
    if (written.empty())
        return std::string();
    return FuncHint::CommaSeparates + Listed(written) + FuncHint::CommaRest + Listed(meant);
}
} // namespace

std::vector<std::string> CFuncHints::DecimalCommas(const std::string& szText)
{
    const std::string szHint = CommaHint(szText, Tokens(szText));
    return szHint.empty() ? std::vector<std::string>() : std::vector<std::string>{szHint};
}

std::vector<std::string> CFuncHints::OfText(unsigned nFunction, const std::string& szText)
{
    const std::vector<SToken> tokens = Tokens(szText);
    std::vector<std::string> hints;
    for (std::string szHint : {CommaHint(szText, tokens), ParameterHint(nFunction, tokens)})
        if (!szHint.empty())
            hints.push_back(std::move(szHint));
    return hints;
}

std::vector<std::string> CFuncHints::OfReferences(CFuncTerm& term)
{
    std::vector<std::string> hints;
    for (const uint32_t nReference : term.GetReferences()) {
        if (ReferenceArgCount(nReference) == 0)
            continue;
        std::string szHint = ArgumentHint(nReference, term);
        if (!szHint.empty() && std::find(hints.begin(), hints.end(), szHint) == hints.end())
            hints.push_back(std::move(szHint));
    }
    for (std::string& szHint : EmptyDerivativeHints(term))
        hints.push_back(std::move(szHint));
    return hints;
}
