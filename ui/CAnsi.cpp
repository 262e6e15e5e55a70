#include "ui/CAnsi.h"

#include "project/CCodePage.h"

QString Ansi::ToQString(const std::string& szAnsi)
{
    return QString::fromStdString(CCodePage::AnsiToUtf8(szAnsi));
}

std::string Ansi::FromQString(const QString& szText, char cReplacement)
{
    return CCodePage::Utf8ToAnsi(szText.toStdString(), cReplacement);
}
