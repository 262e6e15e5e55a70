#include "ui/CRtfReader.h"

#include <QColor>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <cstdint>
#include <cstring>
#include <vector>

#include "project/CScanText.h"
#include "ui/CAnsi.h"

namespace {
// Deeper groups only occur in made-up text; their content is dropped instead of growing the stack.
constexpr size_t MAX_DEPTH = 256;
constexpr size_t MAX_COLORS = 1024;
constexpr int32_t MAX_HALF_POINTS = 1000; // 500 pt
constexpr int32_t MAX_SKIP = 16;          // fallback characters after \u, per \uc

enum class EDestination { Text, Skip, ColorTable };

struct SState {
    EDestination m_Destination = EDestination::Text;
    bool m_bBold = false;
    bool m_bItalic = false;
    bool m_bUnderline = false;
    bool m_bStrike = false;
    int32_t m_nHalfPoints = 0; // 0: the editor's own size
    int32_t m_nColor = 0;      // index into the colour table; 0 is the automatic colour
    int32_t m_nSkip = 1;       // \uc
    Qt::Alignment m_Alignment = Qt::AlignLeft;

    bool SameCharacters(const SState& other) const
    {
        return m_bBold == other.m_bBold && m_bItalic == other.m_bItalic && m_bUnderline == other.m_bUnderline &&
               m_bStrike == other.m_bStrike && m_nHalfPoints == other.m_nHalfPoints && m_nColor == other.m_nColor;
    }
};

// Destinations whose text is not part of the visible content.
const char* const g_SkippedDestinations[] = {"fonttbl",
                                             "stylesheet",
                                             "info",
                                             "pict",
                                             "object",
                                             "objdata",
                                             "header",
                                             "headerl",
                                             "headerr",
                                             "headerf",
                                             "footer",
                                             "footerl",
                                             "footerr",
                                             "footerf",
                                             "footnote",
                                             "annotation",
                                             "fldinst",
                                             "themedata",
                                             "colorschememapping",
                                             "datastore",
                                             "latentstyles",
                                             "listtable",
                                             "listoverridetable",
                                             "revtbl",
                                             "rsidtbl",
                                             "generator",
                                             "xmlnstbl",
                                             "filetbl",
                                             "pgdsctbl",
                                             "nonshppict",
                                             "xe",
                                             "tc",
                                             "txe",
                                             "pn",
                                             "atnid",
                                             "atnauthor",
                                             "bkmkstart",
                                             "bkmkend",
                                             "userprops",
                                             "docvar"};

bool IsSkippedDestination(const char* pszWord)
{
    for (const char* pszName : g_SkippedDestinations)
        if (std::strcmp(pszWord, pszName) == 0)
            return true;
    return false;
}

bool IsLetter(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The value of a hex digit of an escape, -1 for anything else.
int HexValue(unsigned char c)
{
    const int nValue = CScanText::DigitValue(static_cast<char>(c));
    return nValue < 16 ? nValue : -1;
}

class CParser {
public:
    CParser(const std::string& szRtf, QTextDocument& document)
        : m_pText(reinterpret_cast<const unsigned char*>(szRtf.data())), m_nLength(szRtf.size()), m_Cursor(&document)
    {
        m_States.emplace_back();
        for (int c = 128; c < 256; ++c)
            m_High[c - 128] = Ansi::ToQString(std::string(1, static_cast<char>(c)));
    }

    void Run()
    {
        while (m_nPos < m_nLength) {
            const unsigned char c = m_pText[m_nPos++];
            if (m_nDeepGroups > 0) {
                SkipDeep(c);
                continue;
            }
            switch (c) {
            case '{': OpenGroup(); break;
            case '}': CloseGroup(); break;
            case '\\': ControlSequence(); break;
            case '\r':
            case '\n': break;
            default: Character(c); break;
            }
        }
        Flush();
        ApplyAlignment();
    }

private:
    SState& State() { return m_States.back(); }

    void SkipDeep(unsigned char c)
    {
        if (c == '{')
            ++m_nDeepGroups;
        else if (c == '}')
            --m_nDeepGroups;
        else if (c == '\\' && m_nPos < m_nLength)
            ++m_nPos; // an escaped brace does not count
    }

    void OpenGroup()
    {
        m_nFallback = 0;
        if (m_States.size() >= MAX_DEPTH) {
            m_nDeepGroups = 1;
            return;
        }
        m_States.push_back(m_States.back());
    }

    void CloseGroup()
    {
        m_nFallback = 0;
        // A closing brace without its opening one is ignored; the outermost state stays.
        if (m_States.size() > 1)
            m_States.pop_back();
    }

    // Text bytes are Windows-1252, as \'hh is.
    void Character(unsigned char c)
    {
        if (m_nFallback > 0) {
            --m_nFallback;
            return;
        }
        SState& state = State();
        if (state.m_Destination == EDestination::ColorTable) {
            if (c == ';')
                EndColor();
            return;
        }
        if (state.m_Destination != EDestination::Text)
            return;
        if (c == '\t')
            Append(QChar('\t'));
        else if (c >= 128)
            Append(m_High[c - 128]);
        else if (c >= 32)
            Append(QChar(c));
    }

    void ControlSequence()
    {
        if (m_nPos >= m_nLength)
            return;
        const unsigned char c = m_pText[m_nPos];
        if (!IsLetter(c)) {
            ++m_nPos;
            ControlSymbol(c);
            return;
        }
        char szWord[33];
        size_t nWord = 0;
        while (m_nPos < m_nLength && IsLetter(m_pText[m_nPos])) {
            if (nWord < sizeof szWord - 1)
                szWord[nWord++] = static_cast<char>(m_pText[m_nPos]);
            ++m_nPos;
        }
        szWord[nWord] = '\0';
        bool bHasParameter = false;
        bool bNegative = false;
        int64_t nValue = 0;
        if (m_nPos < m_nLength && m_pText[m_nPos] == '-') {
            bNegative = true;
            ++m_nPos;
        }
        while (m_nPos < m_nLength && m_pText[m_nPos] >= '0' && m_pText[m_nPos] <= '9') {
            bHasParameter = true;
            if (nValue < INT32_MAX)
                nValue = nValue * 10 + (m_pText[m_nPos] - '0');
            ++m_nPos;
        }
        if (nValue > INT32_MAX)
            nValue = INT32_MAX;
        const int32_t nParameter = static_cast<int32_t>(bNegative ? -nValue : nValue);
        if (m_nPos < m_nLength && m_pText[m_nPos] == ' ')
            ++m_nPos;
        ControlWord(szWord, bHasParameter, nParameter);
    }

    void ControlSymbol(unsigned char c)
    {
        if (c == '\'') {
            // An escape cut short by a non-digit or the end is dropped with its one digit.
            const int nHigh = m_nPos < m_nLength ? HexValue(m_pText[m_nPos]) : -1;
            if (nHigh < 0)
                return;
            ++m_nPos;
            const int nLow = m_nPos < m_nLength ? HexValue(m_pText[m_nPos]) : -1;
            if (nLow < 0)
                return;
            ++m_nPos;
            Character(static_cast<unsigned char>(nHigh * 16 + nLow));
            return;
        }
        if (c == '*') {
            State().m_Destination = EDestination::Skip;
            return;
        }
        if (m_nFallback > 0) {
            --m_nFallback;
            return;
        }
        switch (c) {
        case '\\':
        case '{':
        case '}': Character(c); break;
        case '~': Special(0x00A0); break;
        case '_': Special(0x2011); break;
        case '\r':
        case '\n': Paragraph(); break;
        default: break; // \- optional hyphen, \| \: index entries
        }
    }

    void ControlWord(const char* pszWord, bool bHasParameter, int32_t nParameter)
    {
        SState& state = State();
        const auto Is = [pszWord](const char* pszName) { return std::strcmp(pszWord, pszName) == 0; };
        const bool bOn = !bHasParameter || nParameter != 0;

        if (Is("bin")) {
            // Binary data: its bytes are no control text, whatever they look like.
            const size_t nBytes = bHasParameter && nParameter > 0 ? static_cast<size_t>(nParameter) : 0;
            m_nPos += std::min(nBytes, m_nLength - m_nPos);
            return;
        }
        if (Is("colortbl")) {
            state.m_Destination = EDestination::ColorTable;
            m_Colors.clear();
            m_bColorSet = false;
            return;
        }
        if (IsSkippedDestination(pszWord)) {
            state.m_Destination = EDestination::Skip;
            return;
        }
        if (state.m_Destination == EDestination::ColorTable) {
            const int nComponent = std::max(0, std::min(255, nParameter));
            if (Is("red"))
                m_nRed = nComponent, m_bColorSet = true;
            else if (Is("green"))
                m_nGreen = nComponent, m_bColorSet = true;
            else if (Is("blue"))
                m_nBlue = nComponent, m_bColorSet = true;
            return;
        }
        if (Is("uc")) {
            state.m_nSkip = std::max(0, std::min(MAX_SKIP, nParameter));
            return;
        }
        if (Is("u")) {
            if (m_nFallback > 0) {
                --m_nFallback;
                return;
            }
            int32_t nCode = nParameter;
            if (nCode < 0)
                nCode += 65536;
            if (nCode >= 32 && nCode <= 0xFFFF)
                Special(static_cast<char16_t>(nCode));
            m_nFallback = state.m_nSkip;
            return;
        }
        if (m_nFallback > 0) {
            --m_nFallback;
            return;
        }
        if (Is("par"))
            Paragraph();
        else if (Is("line"))
            Special(QChar::LineSeparator);
        else if (Is("tab"))
            Special('\t');
        else if (Is("emdash"))
            Special(0x2014);
        else if (Is("endash"))
            Special(0x2013);
        else if (Is("bullet"))
            Special(0x2022);
        else if (Is("lquote"))
            Special(0x2018);
        else if (Is("rquote"))
            Special(0x2019);
        else if (Is("ldblquote"))
            Special(0x201C);
        else if (Is("rdblquote"))
            Special(0x201D);
        else if (Is("emspace") || Is("enspace") || Is("qmspace"))
            Special(' ');
        else if (Is("b"))
            state.m_bBold = bOn;
        else if (Is("i"))
            state.m_bItalic = bOn;
        else if (Is("strike"))
            state.m_bStrike = bOn;
        else if (Is("ul") || Is("uld") || Is("uldb") || Is("ulw") || Is("ulth") || Is("uldash") || Is("ulwave"))
            state.m_bUnderline = bOn;
        else if (Is("ulnone"))
            state.m_bUnderline = false;
        else if (Is("fs"))
            state.m_nHalfPoints = bHasParameter && nParameter > 0 ? std::min(nParameter, MAX_HALF_POINTS) : 0;
        else if (Is("cf"))
            state.m_nColor = std::max(0, nParameter);
        else if (Is("plain")) {
            state.m_bBold = state.m_bItalic = state.m_bUnderline = state.m_bStrike = false;
            state.m_nHalfPoints = 0;
            state.m_nColor = 0;
        } else if (Is("pard"))
            state.m_Alignment = Qt::AlignLeft;
        else if (Is("ql"))
            state.m_Alignment = Qt::AlignLeft;
        else if (Is("qc"))
            state.m_Alignment = Qt::AlignHCenter;
        else if (Is("qr"))
            state.m_Alignment = Qt::AlignRight;
        else if (Is("qj"))
            state.m_Alignment = Qt::AlignJustify;
    }

    void EndColor()
    {
        if (m_Colors.size() < MAX_COLORS)
            m_Colors.push_back(m_bColorSet ? QColor(m_nRed, m_nGreen, m_nBlue) : QColor());
        m_nRed = m_nGreen = m_nBlue = 0;
        m_bColorSet = false;
    }

    // A character named by a control word counts as text of the current destination.
    void Special(char16_t c)
    {
        if (State().m_Destination == EDestination::Text)
            Append(QChar(c));
    }

    void Append(const QString& szText)
    {
        if (!m_szPending.isEmpty() && !m_PendingState.SameCharacters(State()))
            Flush();
        if (m_szPending.isEmpty())
            m_PendingState = State();
        m_szPending += szText;
    }

    void Paragraph()
    {
        if (State().m_Destination != EDestination::Text)
            return;
        Flush();
        ApplyAlignment();
        m_Cursor.insertBlock();
    }

    void ApplyAlignment()
    {
        QTextBlockFormat format = m_Cursor.blockFormat();
        format.setAlignment(State().m_Alignment);
        m_Cursor.setBlockFormat(format);
    }

    void Flush()
    {
        if (m_szPending.isEmpty())
            return;
        const SState& state = m_PendingState;
        QTextCharFormat format;
        format.setFontWeight(state.m_bBold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(state.m_bItalic);
        format.setFontUnderline(state.m_bUnderline);
        format.setFontStrikeOut(state.m_bStrike);
        if (state.m_nHalfPoints > 0)
            format.setFontPointSize(state.m_nHalfPoints / 2.0);
        if (state.m_nColor > 0 && static_cast<size_t>(state.m_nColor) < m_Colors.size() &&
            m_Colors[static_cast<size_t>(state.m_nColor)].isValid())
            format.setForeground(m_Colors[static_cast<size_t>(state.m_nColor)]);
        // Halves of a character pair that \u delivered apart and never completed are no text.
        QString szText;
        szText.reserve(m_szPending.size());
        for (qsizetype i = 0; i < m_szPending.size(); ++i) {
            const QChar c = m_szPending[i];
            if (c.isHighSurrogate() && i + 1 < m_szPending.size() && m_szPending[i + 1].isLowSurrogate()) {
                szText += c;
                szText += m_szPending[++i];
            } else if (!c.isSurrogate()) {
                szText += c;
            }
        }
        m_Cursor.insertText(szText, format);
        m_szPending.clear();
    }

    const unsigned char* m_pText;
    size_t m_nLength;
    size_t m_nPos = 0;
    QTextCursor m_Cursor;
    std::vector<SState> m_States;
    size_t m_nDeepGroups = 0;
    int32_t m_nFallback = 0; // characters still to drop after \u
    std::vector<QColor> m_Colors;
    int m_nRed = 0, m_nGreen = 0, m_nBlue = 0;
    bool m_bColorSet = false;
    QString m_szPending;
    SState m_PendingState;
    QString m_High[128];
};
} // namespace

bool CRtfReader::IsRtf(const std::string& szText)
{
    return szText.compare(0, 5, "{\\rtf") == 0;
}

void CRtfReader::Read(const std::string& szRtf, QTextDocument& document)
{
    document.clear();
    CParser parser(szRtf, document);
    parser.Run();
}
