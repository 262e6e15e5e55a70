// libFuzzer entry for the reader of rich-text notes: any bytes are read without faults, in time
// linear in their length, into a document that can be written back as text.
#include <QGuiApplication>
#include <QTextDocument>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ui/CRtfReader.h"

extern "C" int LLVMFuzzerInitialize(int* pArgc, char*** pArgv)
{
    // Fonts and text layout need an application; the offscreen platform needs no display.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication* pApplication = new QGuiApplication(*pArgc, *pArgv);
    (void)pApplication;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string szText(reinterpret_cast<const char*>(pData), nSize);
    QTextDocument document;
    CRtfReader::Read(szText, document);
    document.toPlainText();
    return 0;
}
