#pragma once
// The number fields of the window: what they accept (CNumberInput: point or comma, the whole
// text one number) and how a refused text is shown, red with its message as tooltip, like a
// formula that does not compile.
#include <QString>
#include <cstdint>

class QLineEdit;

class CNumberField {
public:
    static bool Read(const QString& szText, double& dValue);
    static bool ReadWhole(const QString& szText, int64_t nMin, int64_t nMax, int64_t& nValue);
    // "„2,5x“ ist keine Zahl", or that nothing was typed.
    static QString NotANumber(const QString& szText);
    // "Geschwindigkeit: eine ganze Zahl von 0 bis 1000, nicht „2,5“".
    static QString NotWhole(const QString& szField, int64_t nMin, int64_t nMax, const QString& szText);
    // Marks the field red with the message as its tooltip; an empty message takes the mark away.
    static void Mark(QLineEdit& edit, const QString& szMessage);
    static bool IsMarked(const QLineEdit& edit);
};
