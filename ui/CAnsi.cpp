#include "ui/CAnsi.h"

#include <QList>

#include "project/CCodePage.h"

QString Ansi::ToQString(const std::string& szAnsi)
{
    return QString::fromStdString(CCodePage::AnsiToUtf8(szAnsi));
}

std::string Ansi::FromQString(const QString& szText, char cReplacement)
{
    return CCodePage::Utf8ToAnsi(szText.toStdString(), cReplacement);
}

QString Ansi::Excerpt(const QString& szTyped, int nPosition)
{
    const QList<uint> codePoints = szTyped.toUcs4();
    qsizetype nStart = 0;
    while (nStart < codePoints.size() && codePoints[nStart] == ' ')
        ++nStart;
    nStart += std::max(0, nPosition);
    if (nStart >= codePoints.size())
        return QString();
    const QList<uint> excerpt = codePoints.mid(nStart, 999);
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(excerpt.constData()), excerpt.size());
}
