// Program entry: a command-line mode, or the window with an optional project file.
#include <QApplication>
#include <clocale>
#include <ctime>

#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "expr/CFuncRandom.h"
#include "project/CProject.h"
#include "render/CPictureExport.h"
#include "render/CValueTable.h"
#include "ui/CCommandLine.h"
#include "ui/TMainForm.h"

namespace {
// The modes that paint or tabulate a project without a display.
int DisplaylessUsage()
{
    std::fputs("Aufruf:\n"
               "  kurvix --export AUS DATEI [--size BxH]     zeichnet DATEI als Bild AUS (.png, .svg, .pdf)\n"
               "  kurvix --table DATEI [--step N]           gibt die Wertetafel des Schritts N aus\n"
               "  kurvix --frames ORDNER DATEI [--size BxH]  ein Bild je Animationsschritt in ORDNER\n",
               stderr);
    return 2;
}

// A positive decimal number and nothing else.
bool ParseCount(const char* pszText, unsigned long nLimit, unsigned long& nValue, const char** ppszEnd)
{
    if (*pszText < '0' || *pszText > '9')
        return false;
    char* pszEnd = nullptr;
    nValue = std::strtoul(pszText, &pszEnd, 10);
    *ppszEnd = pszEnd;
    return nValue >= 1 && nValue <= nLimit;
}

bool ParseSize(const char* pszText, int32_t& nWidth, int32_t& nHeight)
{
    const unsigned long MAX_SIDE = 16384;
    unsigned long nW, nH;
    const char* pszEnd;
    if (!ParseCount(pszText, MAX_SIDE, nW, &pszEnd) || *pszEnd != 'x')
        return false;
    if (!ParseCount(pszEnd + 1, MAX_SIDE, nH, &pszEnd) || *pszEnd)
        return false;
    nWidth = static_cast<int32_t>(nW);
    nHeight = static_cast<int32_t>(nH);
    return true;
}

int RunTable(int argc, char** argv)
{
    unsigned long nStep = 1;
    const char* pszEnd;
    if (argc == 5 && std::strcmp(argv[3], "--step") == 0) {
        if (!ParseCount(argv[4], 0xFFFFFFFFul, nStep, &pszEnd) || *pszEnd)
            return DisplaylessUsage();
    } else if (argc != 3) {
        return DisplaylessUsage();
    }
    CProject project;
    if (!CCommandLine::LoadProject(project, argv[2]))
        return 1;
    CAnimationStep* pStep = project.m_pFirstStep;
    for (unsigned long i = 1; pStep && i < nStep; ++i)
        pStep = pStep->m_pNext;
    if (!pStep) {
        std::fprintf(stderr, "%s hat keinen Animationsschritt %lu\n", argv[2], nStep);
        return 2;
    }
    CValueTable table;
    table.Build(project, pStep);
    const std::string szText = CCommandLine::ToUtf8(table.GetText());
    std::fwrite(szText.data(), 1, szText.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int RunPicture(int argc, char** argv, bool bFrames)
{
    int32_t nWidth = 584, nHeight = 387;  // the page's size in the window's default layout
    if (argc == 6 && std::strcmp(argv[4], "--size") == 0) {
        if (!ParseSize(argv[5], nWidth, nHeight))
            return DisplaylessUsage();
    } else if (argc != 4) {
        return DisplaylessUsage();
    }
    const char* pszOut = argv[2];
    if (!bFrames && CPictureExport::FormatOf(pszOut) == CPictureExport::EFormat::Unknown)
        return DisplaylessUsage();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's notes about the missing session (no runtime directory, no display) are no news here;
    // stderr carries only the program's own messages.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& szText) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", szText.toLocal8Bit().constData());
    });
    int nArgc = 1;
    QGuiApplication application(nArgc, argv);
    std::setlocale(LC_NUMERIC, "C");
    CProject project;
    if (!CCommandLine::LoadProject(project, argv[3]))
        return 1;
    bool bNothingToDraw = false;
    const bool bOk = bFrames ? CPictureExport::ExportFrames(project, pszOut, nWidth, nHeight, bNothingToDraw)
                             : CPictureExport::Export(project, pszOut, nWidth, nHeight, bNothingToDraw);
    if (!bOk) {
        std::fprintf(stderr, "Fehler beim Speichern von %s\n", pszOut);
        return 1;
    }
    if (bNothingToDraw)
        std::fputs("Nichts zu zeichnen!\n", stderr);
    return 0;
}

// The exit code of a mode named by argv[1], or -1 when it names none of them.
int RunDisplaylessMode(int argc, char** argv)
{
    if (argc < 2)
        return -1;
    if (std::strcmp(argv[1], "--table") == 0)
        return RunTable(argc, argv);
    if (std::strcmp(argv[1], "--export") == 0)
        return RunPicture(argc, argv, false);
    if (std::strcmp(argv[1], "--frames") == 0)
        return RunPicture(argc, argv, true);
    return -1;
}
}  // namespace

int main(int argc, char** argv)
{
    CFuncRandom::Seed(static_cast<uint32_t>(std::time(nullptr)));
    const int nDisplayless = RunDisplaylessMode(argc, argv);
    if (nDisplayless >= 0)
        return nDisplayless;
    const int nExit = CCommandLine::Run(argc, argv);
    if (nExit >= 0)
        return nExit;
    if (argc > 2)
        return CCommandLine::Usage();

    QApplication application(argc, argv);
    // Numbers are written and read with a decimal point whatever the user's locale says.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName("KURVIX");
    application.setProperty("helpFile", "kurvix.hlp");
    TMainForm form;
    form.FormCreate(argc == 2 ? QString::fromLocal8Bit(argv[1]) : QString());
    form.show();
    application.exec();
    return 0;
}
