#pragma once
// Reads the rich text that the Windows editor control stored as notes into a text document:
// text, paragraphs and their alignment, bold, italic, underline, strike-out, font size and colour.
// Everything else (font and style tables, pictures, fields' instructions, unknown destinations)
// is skipped. Any byte string is accepted: broken, truncated or hostile text yields whatever
// text could be read, in time linear in its length.
#include <string>

class QTextDocument;

class CRtfReader {
public:
    // The notes begin with the rich-text signature.
    static bool IsRtf(const std::string& szText);
    // Replaces the document's content.
    static void Read(const std::string& szRtf, QTextDocument& document);
};
