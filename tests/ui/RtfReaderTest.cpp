// The reader of the notes that the Windows editor control stored as RTF.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <random>

#include "ui/CRtfReader.h"

namespace {
// As WordPad and the editor control write it: tables, generator, language, sizes, colours,
// escaped Windows-1252 characters and a Unicode character with its fallback.
const std::string g_szWordPad =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\\nouicompat\\deflang1031{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}"
    "{\\f1\\froman\\fprq2\\fcharset0 Times New Roman;}}\r\n"
    "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\r\n"
    "{\\*\\generator Riched20 10.0.19041}\\viewkind4\\uc1 \r\n"
    "\\pard\\sa200\\sl276\\slmult1\\f0\\fs20\\lang7 Gr\\'fc\\'dfe: \\b fett\\b0 , \\i kursiv\\i0 , "
    "\\ul unterstrichen\\ulnone .\\par\r\n"
    "\\qc\\cf1\\fs32 Rot gro\\'DF\\cf0\\fs20\\par\r\n"
    "\\pard 5 \\u8364?, {\\cf2 blau}\\tab Ende\\line neue Zeile\\par\r\n"
    "}\r\n";

// The blocks' raw text joined by line feeds; line separators and no-break spaces stay.
QString Read(const std::string& szRtf, QTextDocument& document)
{
    CRtfReader::Read(szRtf, document);
    QStringList blocks;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        blocks << block.text();
    return blocks.join('\n');
}

QString Read(const std::string& szRtf)
{
    QTextDocument document;
    return Read(szRtf, document);
}

// The format of the last character of the first occurrence of szWord.
QTextCharFormat FormatOf(const QTextDocument& document, const QString& szWord)
{
    const QTextCursor cursor = document.find(szWord);
    EXPECT_FALSE(cursor.isNull()) << szWord.toStdString();
    return cursor.charFormat();
}
} // namespace

TEST(RtfReader, RecognisesItsSignatureOnly)
{
    EXPECT_TRUE(CRtfReader::IsRtf("{\\rtf1\\ansi x}"));
    EXPECT_TRUE(CRtfReader::IsRtf("{\\rtf"));
    EXPECT_FALSE(CRtfReader::IsRtf(" {\\rtf1"));
    EXPECT_FALSE(CRtfReader::IsRtf("{\\rt"));
    EXPECT_FALSE(CRtfReader::IsRtf("<html>{\\rtf1"));
}

TEST(RtfReader, ReadsTextParagraphsAndCharacterFormats)
{
    QTextDocument document;
    const QString szText = Read(g_szWordPad, document);
    EXPECT_EQ(szText, QString::fromUtf8("Gr\u00FC\u00DFe: fett, kursiv, unterstrichen.\nRot gro\u00DF\n"
                                        "5 \u20AC, blau\tEnde\u2028neue Zeile\n"));
    EXPECT_EQ(document.blockCount(), 4);

    EXPECT_EQ(FormatOf(document, "fett").fontWeight(), QFont::Bold);
    EXPECT_NE(FormatOf(document, "kursiv").fontWeight(), QFont::Bold);
    EXPECT_TRUE(FormatOf(document, "kursiv").fontItalic());
    EXPECT_FALSE(FormatOf(document, "unterstrichen").fontItalic());
    EXPECT_TRUE(FormatOf(document, "unterstrichen").fontUnderline());
    EXPECT_FALSE(FormatOf(document, "Gr").fontUnderline());
    EXPECT_DOUBLE_EQ(FormatOf(document, "Gr").fontPointSize(), 10.0);

    const QTextCharFormat red = FormatOf(document, "Rot");
    EXPECT_EQ(red.foreground().color(), QColor(255, 0, 0));
    EXPECT_DOUBLE_EQ(red.fontPointSize(), 16.0);
    EXPECT_EQ(document.find("Rot").block().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    // \pard ends the centring; a group's colour ends with the group.
    EXPECT_EQ(document.find("Ende").block().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    EXPECT_EQ(FormatOf(document, "blau").foreground().color(), QColor(0, 0, 255));
    EXPECT_FALSE(FormatOf(document, "Ende").hasProperty(QTextFormat::ForegroundBrush));
}

TEST(RtfReader, SkipsTablesAndDestinationsButReadsEscapes)
{
    EXPECT_EQ(Read("{\\rtf1{\\info{\\title Titel}{\\author Wer}}{\\stylesheet{\\s1 Heading;}}"
                   "{\\*\\unbekannt versteckt {\\b auch}}{\\pict\\wmetafile8 0a0b0c}Sichtbar}"),
              "Sichtbar");
    EXPECT_EQ(Read("{\\rtf1 a\\\\b\\{c\\}d\\~e\\-f\\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote}"),
              QString::fromUtf8("a\\b{c}d\u00A0ef\u2014\u2013\u2022\u2018\u2019\u201C\u201D"));
    // Raw 8-bit text is Windows-1252 too; 0x80 is the euro sign there.
    EXPECT_EQ(Read("{\\rtf1 \x80 \\'80 \\'e4\\'C4}"), QString::fromUtf8("\u20AC \u20AC \u00E4\u00C4"));
    // \u: negative numbers count from 65536, \uc sets how many fallback characters follow, a
    // pair of halves is one character, a half alone is dropped.
    EXPECT_EQ(Read("{\\rtf1\\u-28?\\uc2\\u228\\'61\\'62c\\uc0\\u246 d}"), QString::fromUtf8("\uFFE4\u00E4c\u00F6d"));
    EXPECT_EQ(Read("{\\rtf1\\u-10179?\\u-8704?!\\u-10179?x}"), QString::fromUtf8("\U0001F600!x"));
    // Binary data is skipped by its length, whatever it holds.
    EXPECT_EQ(Read("{\\rtf1 a{\\*\\blipuid x}\\bin4 {}\\}b}"), "ab");
    // "\" at a line end is a paragraph.
    EXPECT_EQ(Read("{\\rtf1 eins\\\ntwo}"), "eins\ntwo");
}

TEST(RtfReader, PlainResetsAndToggleParameters)
{
    QTextDocument document;
    Read("{\\rtf1\\b\\i\\ul\\fs40 a\\b0 b\\plain c\\b1 d\\i\\i0 e}", document);
    EXPECT_EQ(FormatOf(document, "a").fontWeight(), QFont::Bold);
    EXPECT_NE(FormatOf(document, "b").fontWeight(), QFont::Bold);
    EXPECT_TRUE(FormatOf(document, "b").fontItalic());
    EXPECT_DOUBLE_EQ(FormatOf(document, "b").fontPointSize(), 20.0);
    EXPECT_FALSE(FormatOf(document, "c").fontItalic());
    EXPECT_FALSE(FormatOf(document, "c").fontUnderline());
    EXPECT_FALSE(FormatOf(document, "c").hasProperty(QTextFormat::FontPointSize));
    EXPECT_EQ(FormatOf(document, "d").fontWeight(), QFont::Bold);
    EXPECT_FALSE(FormatOf(document, "e").fontItalic());
}

TEST(RtfReader, EveryTruncationReadsWithoutHarm)
{
    for (size_t n = 0; n <= g_szWordPad.size(); ++n) {
        const QString szText = Read(g_szWordPad.substr(0, n));
        // The text grows with the input; nothing of a table or a destination leaks into it.
        ASSERT_FALSE(szText.contains("Arial")) << n;
        ASSERT_FALSE(szText.contains("Riched")) << n;
    }
    EXPECT_EQ(Read(g_szWordPad.substr(0, g_szWordPad.find("fett") + 4)), QString::fromUtf8("Gr\u00FC\u00DFe: fett"));
    EXPECT_EQ(Read("{\\rtf1 a\\"), "a");
    EXPECT_EQ(Read("{\\rtf1 a\\'"), "a");
    EXPECT_EQ(Read("{\\rtf1 a\\'4"), "a");
    EXPECT_EQ(Read("{\\rtf1 a\\u"), "a");
    EXPECT_EQ(Read("{\\rtf1 a\\bin99"), "a");
}

TEST(RtfReader, HostileTextEndsQuicklyAndKeepsWhatItCan)
{
    QElapsedTimer timer;
    timer.start();
    // Groups nested far beyond any real document: their content goes, the text after them stays.
    EXPECT_EQ(Read("{\\rtf1 vor" + std::string(100000, '{') + "tief" + std::string(100000, '}') + "nach}"), "vornach");
    EXPECT_EQ(Read("{\\rtf1 a}}}}}}b{{{"), "ab");
    // Numbers far outside any range.
    QTextDocument document;
    // After a character \\u cannot give, its fallback is dropped all the same.
    EXPECT_EQ(Read("{\\rtf1\\fs99999999999999999999 gross\\fs-4 neg\\cf99999999999 farbe\\cf-3 x"
                   "\\uc99999999\\u65 AAAA}\\u99999999 y\\u-99999999 z\\bin-5 w}",
                   document),
              "grossnegfarbexAw");
    EXPECT_DOUBLE_EQ(FormatOf(document, "gross").fontPointSize(), 500.0);
    EXPECT_FALSE(FormatOf(document, "neg").hasProperty(QTextFormat::FontPointSize));
    EXPECT_FALSE(FormatOf(document, "farbe").hasProperty(QTextFormat::ForegroundBrush));
    // A colour table of endless entries and a control word of endless letters.
    EXPECT_EQ(
        Read("{\\rtf1{\\colortbl" + std::string(50000, ';') + "}\\cf40000 " + std::string(10000, 'q') + "}").size(),
        10000);
    EXPECT_EQ(Read("{\\rtf1\\" + std::string(100000, 'b') + " ok}"), "ok");
    EXPECT_EQ(Read(std::string("{\\rtf1 a\0b\x01"
                               "c}",
                               13)),
              "abc");

    // Random bytes over the alphabet that matters.
    const char alphabet[] = "{}\\'*;abufinplarc0123456789- \r\nx\x80\xff";
    std::mt19937 random(7);
    std::uniform_int_distribution<size_t> pick(0, sizeof alphabet - 2);
    for (int nRun = 0; nRun < 2000; ++nRun) {
        std::string szRtf = "{\\rtf1";
        for (int i = 0; i < 200; ++i)
            szRtf += alphabet[pick(random)];
        Read(szRtf);
    }
    EXPECT_LT(timer.elapsed(), 20000);
}
