// The line reader and TrimLine that the step-block reader and the project file reader share.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CTextFile.h"
#include "project/CLineReader.h"
#include "project/ELoadSaveError.h"

namespace {
std::vector<std::string> Lines(const std::string& szText)
{
    STextFile file(szText);
    CLineReader reader(file.m_pFile);
    std::vector<std::string> lines;
    std::string szLine = "stale";
    while (reader.ReadLine(szLine))
        lines.push_back(szLine);
    EXPECT_EQ(szLine, "") << "a failed read leaves an empty line";
    return lines;
}

std::string Trimmed(std::string szLine)
{
    CLineReader::TrimLine(szLine);
    return szLine;
}

using Strings = std::vector<std::string>;
} // namespace

TEST(LineReader, LinesKeepTheirLineFeed)
{
    EXPECT_EQ(Lines("eins\nzwei\n"), (Strings{"eins\n", "zwei\n"}));
}

TEST(LineReader, LastLineWithoutLineFeed)
{
    EXPECT_EQ(Lines("eins\nzwei"), (Strings{"eins\n", "zwei"}));
}

TEST(LineReader, EmptyFileHasNoLines)
{
    EXPECT_EQ(Lines(""), Strings{});
}

TEST(LineReader, EmptyLinesAreLines)
{
    EXPECT_EQ(Lines("\n\na\n\n"), (Strings{"\n", "\n", "a\n", "\n"}));
}

TEST(LineReader, CrLfIsDeliveredAsLf)
{
    EXPECT_EQ(Lines("eins\r\nzwei\r\n\r\ndrei"), (Strings{"eins\n", "zwei\n", "\n", "drei"}));
}

TEST(LineReader, LoneCrEndsALine)
{
    // Old Mac files end their lines with CR alone.
    EXPECT_EQ(Lines("a\rb\nc\r"), (Strings{"a\n", "b\n", "c\n"}));
    EXPECT_EQ(Lines("a\r\r\n"), (Strings{"a\n", "\n"}));
    EXPECT_EQ(Lines("eins\rzwei\r\rdrei"), (Strings{"eins\n", "zwei\n", "\n", "drei"}));
    // A CR LF pair across the reader's pieces of 64 KiB is one line end.
    const std::string szLong(65535, 'q');
    EXPECT_EQ(Lines(szLong + "\r\nx"), (Strings{szLong + "\n", "x"}));
}

TEST(LineReader, ReadErrorIsNoEndOfFile)
{
    // Reading a directory fails (EISDIR) where a file would deliver its bytes.
    std::FILE* pFile = std::fopen("/", "rb");
    ASSERT_NE(pFile, nullptr);
    CLineReader reader(pFile);
    std::string szLine;
    try {
        reader.ReadLine(szLine);
        ADD_FAILURE() << "no error";
    } catch (const ELoadSaveError& error) {
        EXPECT_EQ(error.m_eCause, EFileCause::ReadError);
        EXPECT_EQ(error.m_nLine, 1u);
    }
    std::fclose(pFile);
}

TEST(LineReader, EndlessInputIsCutOffAtTheLimit)
{
    std::FILE* pFile = std::fopen("/dev/zero", "rb");
    ASSERT_NE(pFile, nullptr);
    CLineReader reader(pFile, 1 << 20);
    std::string szLine;
    try {
        reader.ReadLine(szLine);
        ADD_FAILURE() << "no error";
    } catch (const ELoadSaveError& error) {
        EXPECT_EQ(error.m_eCause, EFileCause::TooLarge);
    }
    std::fclose(pFile);
    // The rest of a file too, against the limit of the notes.
    STextFile file("notes\n" + std::string(1000, 'n'));
    CLineReader notes(file.m_pFile);
    ASSERT_TRUE(notes.ReadLine(szLine));
    EXPECT_THROW(notes.ReadRest(999), ELoadSaveError);
}

TEST(LineReader, NulFailsItsLine)
{
    // Cut at the NUL, a formula or the notes would load, and save again, shorter without a word.
    const struct {
        const char* m_pszName;
        std::string m_szText;
        uint32_t m_nLine;
    } rows[] = {
        {"in the middle", std::string("ab\0cd\nef", 8), 1},
        {"alone", std::string("a\n\0\n", 4), 2},
        {"on the last line", std::string("a\r\nb\rxy\0", 8), 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        STextFile file(row.m_szText);
        CLineReader reader(file.m_pFile);
        std::string szLine;
        try {
            while (reader.ReadLine(szLine)) {
            }
            ADD_FAILURE() << "read to the end";
        } catch (const ELoadSaveError& error) {
            EXPECT_EQ(error.m_nLine, row.m_nLine);
            EXPECT_EQ(error.m_eCause, EFileCause::Line);
        }
    }
}

TEST(LineReader, LongLinesAreReadWhole)
{
    const std::string szLong(100000, 'q');
    EXPECT_EQ(Lines(szLong + "\nkurz\n"), (Strings{szLong + "\n", "kurz\n"}));
}

TEST(LineReader, HighBytesPassUnchanged)
{
    EXPECT_EQ(Lines("M\xE4rz \xFF\n"), (Strings{"M\xE4rz \xFF\n"}));
}

TEST(LineReader, ReadRestTakesEverythingThatIsLeft)
{
    STextFile file("kopf\nnotes\nerste\r\nzweite\r\n\r\nletzte");
    CLineReader reader(file.m_pFile);
    std::string szLine;
    ASSERT_TRUE(reader.ReadLine(szLine));
    ASSERT_TRUE(reader.ReadLine(szLine));
    EXPECT_EQ(szLine, "notes\n");
    EXPECT_EQ(reader.ReadRest(), "erste\nzweite\n\nletzte");
    EXPECT_EQ(reader.ReadRest(), "");
    EXPECT_FALSE(reader.ReadLine(szLine));
}

TEST(LineReader, ReadRestKeepsLoneCrAndFailsAtNulWithItsLine)
{
    STextFile plain("a\rb\r\ncd");
    EXPECT_EQ(CLineReader(plain.m_pFile).ReadRest(), "a\rb\ncd");
    // After the line "notes": x, an empty line, then abc NUL def on line 4 as ReadLine counts.
    STextFile file(std::string("notes\r\nx\r\r\nabc\0def", 18));
    CLineReader reader(file.m_pFile);
    std::string szLine;
    ASSERT_TRUE(reader.ReadLine(szLine));
    try {
        reader.ReadRest();
        ADD_FAILURE() << "read";
    } catch (const ELoadSaveError& error) {
        EXPECT_EQ(error.m_nLine, 4u);
        EXPECT_EQ(error.m_eCause, EFileCause::Line);
    }
}

TEST(LineReader, ReadRestOfALargeFile)
{
    std::string szText;
    for (int i = 0; i < 20000; ++i)
        szText += "Zeile " + std::to_string(i) + "\r\n";
    STextFile file(szText);
    CLineReader reader(file.m_pFile);
    const std::string szRest = reader.ReadRest();
    EXPECT_EQ(szRest.size(), szText.size() - 20000);
    EXPECT_EQ(szRest.find('\r'), std::string::npos);
    EXPECT_EQ(szRest.substr(0, 8), "Zeile 0\n");
}

// ---------------------------------------------------------------------------------------------
// TrimLine

struct STrimRow {
    const char* m_pszName;
    const char* m_pszLine;
    const char* m_pszTrimmed;
};

const STrimRow g_LineReaderTrimRows[] = {
    STrimRow{"LeadingBlanks", "   abc", "abc"},
    STrimRow{"TrailingBlanksStay", "abc   ", "abc   "},
    STrimRow{"LineFeed", "abc\n", "abc"},
    STrimRow{"CrLf", "abc\r\n", "abc"},
    STrimRow{"TabIsNoBlank", "\t abc", "\t abc"},
    STrimRow{"BlanksThenTab", "  \tabc", "\tabc"},
    STrimRow{"OnlyBlanks", "     ", ""},
    STrimRow{"OnlyBlanksAndLineFeed", "   \n", ""},
    STrimRow{"Empty", "", ""},
    STrimRow{"CrFirstThenLf", "a\nb\rc", "a"},
    STrimRow{"CutAtFirstCr", "ab\rcd\ref", "ab"},
    STrimRow{"CutAtFirstLf", "ab\ncd\n", "ab"},
    STrimRow{"BlanksInsideStay", "  a  b  \n", "a  b  "},
    STrimRow{"LeadingCr", "\rabc", ""},
};

TEST(LineReaderTrim, Gives)
{
    for (const STrimRow& row : g_LineReaderTrimRows) {
        SCOPED_TRACE(row.m_pszName);
        EXPECT_EQ(Trimmed(row.m_pszLine), row.m_pszTrimmed);
    }
}
