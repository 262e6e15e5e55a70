#pragma once
// File names as the system holds them: bytes, usually UTF-8, yet any byte but '/' and NUL may stand
// in a name (a file from an old archive or a Windows disk says "\xE4" for "ä"). Qt decodes a name
// as UTF-8 and puts U+FFFD for a byte that is none, so the file could not be found again from its
// QString. Decode puts such a byte as a lone surrogate U+DC80 ... U+DCFF instead, which Encode
// turns back into the byte; names that are UTF-8 come out as Qt's own.
#include <QByteArray>
#include <QString>

class CFileName {
public:
    static QString Decode(const QByteArray& bytes);
    // The bytes of a name. A name that has been through Qt's decoding (the file dialog, Qt's own
    // lists) and is not found under its UTF-8 bytes is looked up in its folder: the one entry Qt
    // decodes to it is the file meant.
    static QByteArray Encode(const QString& szName);
    static bool Exists(const QString& szName);
};
