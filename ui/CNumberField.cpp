#include "ui/CNumberField.h"

#include <QLineEdit>

#include "project/CNumberInput.h"
#include "ui/CAnsi.h"

namespace {
const char* const ERROR_PROPERTY = "kurvixNumberError";

QString Quoted(const QString& szText)
{
    return "\u201E" + szText.trimmed() + "\u201C";
}
} // namespace

bool CNumberField::Read(const QString& szText, double& dValue)
{
    return CNumberInput::Read(Ansi::FromQString(szText), dValue);
}

bool CNumberField::ReadWhole(const QString& szText, int64_t nMin, int64_t nMax, int64_t& nValue)
{
    return CNumberInput::ReadWhole(Ansi::FromQString(szText), nMin, nMax, nValue);
}

QString CNumberField::NotANumber(const QString& szText)
{
    if (szText.trimmed().isEmpty())
        return "keine Zahl eingegeben";
    return Quoted(szText) + " ist keine Zahl";
}

QString CNumberField::NotWhole(const QString& szField, int64_t nMin, int64_t nMax, const QString& szText)
{
    return szField + ": eine ganze Zahl von " + QString::number(nMin) + " bis " + QString::number(nMax) +
           (szText.trimmed().isEmpty() ? QString(", keine Eingabe") : ", nicht " + Quoted(szText));
}

void CNumberField::Mark(QLineEdit& edit, const QString& szMessage)
{
    if (edit.property(ERROR_PROPERTY).toString() == szMessage)
        return;
    edit.setProperty(ERROR_PROPERTY, szMessage);
    edit.setToolTip(szMessage);
    if (szMessage.isEmpty()) {
        edit.setPalette(QPalette()); // the inherited colours again
        return;
    }
    QPalette palette = edit.palette();
    palette.setColor(QPalette::Text, QColor(192, 0, 0));
    edit.setPalette(palette);
}

bool CNumberField::IsMarked(const QLineEdit& edit)
{
    return !edit.property(ERROR_PROPERTY).toString().isEmpty();
}
