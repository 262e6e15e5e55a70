#include "ui/CFileName.h"

#include <QFile>
#include <dirent.h>
#include <sys/stat.h>

namespace {
constexpr char16_t ESCAPE = 0xDC00; // + the byte, for a byte of 0x80 or more that is no UTF-8

bool PathExists(const QByteArray& bytes)
{
    struct stat info;
    return lstat(bytes.constData(), &info) == 0;
}

// The length of the UTF-8 sequence at nAt, 0 where none begins there.
int SequenceLength(const QByteArray& bytes, int nAt)
{
    const auto Byte = [&](int n) { return static_cast<unsigned char>(bytes[n]); };
    const unsigned char c = Byte(nAt);
    if (c < 0x80)
        return 1;
    int nLength;
    unsigned char nLow = 0x80, nHigh = 0xBF; // the second byte's bounds: no overlong form, no surrogate
    if (c >= 0xC2 && c <= 0xDF)
        nLength = 2;
    else if (c >= 0xE0 && c <= 0xEF) {
        nLength = 3;
        if (c == 0xE0)
            nLow = 0xA0;
        if (c == 0xED)
            nHigh = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        nLength = 4;
        if (c == 0xF0)
            nLow = 0x90;
        if (c == 0xF4)
            nHigh = 0x8F;
    } else {
        return 0;
    }
    if (nAt + nLength > bytes.size() || Byte(nAt + 1) < nLow || Byte(nAt + 1) > nHigh)
        return 0;
    for (int n = 2; n < nLength; ++n)
        if (Byte(nAt + n) < 0x80 || Byte(nAt + n) > 0xBF)
            return 0;
    return nLength;
}

// The entry of the folder (its bytes) that Qt decodes to szName, if exactly one does.
QByteArray EntryNamed(const QByteArray& folder, const QString& szName)
{
    DIR* pDir = opendir(folder.isEmpty() ? "." : folder.constData());
    if (!pDir)
        return QByteArray();
    QByteArray found;
    int nFound = 0;
    while (const dirent* pEntry = readdir(pDir)) {
        const QByteArray entry(pEntry->d_name);
        if (QFile::decodeName(entry) == szName) {
            found = entry;
            ++nFound;
        }
    }
    closedir(pDir);
    return nFound == 1 ? found : QByteArray();
}
// The bytes of a name, each escaped byte back as it was, the rest as UTF-8.
QByteArray Bytes(const QString& szName)
{
    QByteArray bytes;
    int nPlain = 0;
    for (int n = 0; n < szName.size(); ++n) {
        const char16_t c = szName[n].unicode();
        // Lone: a high surrogate before it would make it half of a character beyond the BMP.
        if (c >= ESCAPE + 0x80 && c <= ESCAPE + 0xFF && (n == 0 || !szName[n - 1].isHighSurrogate())) {
            bytes += szName.mid(nPlain, n - nPlain).toUtf8();
            bytes += static_cast<char>(c - ESCAPE);
            nPlain = n + 1;
        }
    }
    return bytes + szName.mid(nPlain).toUtf8();
}
} // namespace

QString CFileName::Decode(const QByteArray& bytes)
{
    QString szName;
    int nPlain = 0; // where the run of UTF-8 not yet added begins
    for (int n = 0; n < bytes.size();) {
        const int nLength = SequenceLength(bytes, n);
        if (nLength > 0) {
            n += nLength;
            continue;
        }
        szName += QString::fromUtf8(bytes.constData() + nPlain, n - nPlain);
        szName += QChar(char16_t(ESCAPE + static_cast<unsigned char>(bytes[n])));
        nPlain = ++n;
    }
    return szName + QString::fromUtf8(bytes.constData() + nPlain, bytes.size() - nPlain);
}

QByteArray CFileName::Encode(const QString& szName)
{
    const QByteArray bytes = Bytes(szName);
    if (!szName.contains(QChar::ReplacementCharacter) || PathExists(bytes))
        return bytes;
    // Folder by folder, a part that Qt decoded with a replacement is looked for by its bytes.
    QByteArray resolved;
    const QStringList parts = szName.split('/');
    for (int n = 0; n < parts.size(); ++n) {
        QByteArray part = Bytes(parts[n]);
        if (parts[n].contains(QChar::ReplacementCharacter) && !PathExists(resolved + part)) {
            const QByteArray entry = EntryNamed(resolved, parts[n]);
            if (entry.isEmpty() && n + 1 < parts.size())
                return bytes;
            if (!entry.isEmpty())
                part = entry; // else a new file, in a folder found
        }
        resolved += part;
        if (n + 1 < parts.size())
            resolved += '/';
    }
    return resolved;
}

bool CFileName::Exists(const QString& szName)
{
    struct stat info;
    return stat(Encode(szName).constData(), &info) == 0;
}
