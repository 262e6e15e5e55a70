#include "ui/CCommandLine.h"

#include <QGuiApplication>
#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unistd.h>

#include "kurvix_version.h"
#include "project/CCodePage.h"
#include "project/CFileMessage.h"
#include "project/CProject.h"
#include "project/CProjectLimits.h"
#include "project/ELoadFuncError.h"
#include "project/ELoadSaveError.h"
#include "render/CMovieExport.h"
#include "render/CPictureExport.h"
#include "render/CValueTable.h"
#include "view/CProgress.h"
#include "view/CWorkBudget.h"
#include "view/EWorkBudget.h"

namespace {
void PrintError(const std::string& szMessage)
{
    std::fprintf(stderr, "%s\n", szMessage.c_str());
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

// "Zeichne... 45 %" on stderr while a long walk runs, only where a person watches; the line is
// wiped when the work is done.
class CTerminalProgress {
public:
    CTerminalProgress(uint64_t nTotal, const char* pszWhat)
        : m_Progress(nTotal, isatty(STDERR_FILENO)
                                 ? CProgress::ReportFunction([pszWhat](uint64_t nDone, uint64_t nAll) {
                                       const unsigned nPercent =
                                           nAll ? static_cast<unsigned>(std::min<uint64_t>(99, nDone * 100 / nAll)) : 0;
                                       std::fprintf(stderr, "\r%s %u %%", pszWhat, nPercent);
                                       std::fflush(stderr);
                                   })
                                 : CProgress::ReportFunction())
    {
    }
    ~CTerminalProgress()
    {
        if (m_Progress.Reported() && isatty(STDERR_FILENO))
            std::fputs("\r\x1B[K", stderr);
    }

private:
    CProgress m_Progress;
};

// WIDTHxHEIGHT; otherwise the German words for what is wrong with it.
std::string ParseSize(const char* pszText, int32_t& nWidth, int32_t& nHeight)
{
    const unsigned long MAX_SIDE = 16384;
    const std::string szSize = std::string("Falsche Bildgr\xC3\xB6\xC3\x9F") + "e " + pszText + ": ";
    const char* pszX = std::strchr(pszText, 'x');
    const auto IsNumber = [](const char* pszFrom, const char* pszTo) {
        return pszFrom < pszTo && std::strspn(pszFrom, "0123456789") == static_cast<size_t>(pszTo - pszFrom);
    };
    if (!pszX || !IsNumber(pszText, pszX) || !IsNumber(pszX + 1, pszX + std::strlen(pszX)))
        return szSize + "erwartet wird BREITExH\xC3\x96HE in Pixeln, etwa 800x600";
    unsigned long nSides[2];
    const char* pszEnd;
    for (int i = 0; i < 2; ++i)
        if (!ParseCount(i == 0 ? pszText : pszX + 1, MAX_SIDE, nSides[i], &pszEnd))
            return szSize + (i == 0 ? "die Breite" : "die H\xC3\xB6he") + " liegt nicht zwischen 1 und " +
                   std::to_string(MAX_SIDE);
    nWidth = static_cast<int32_t>(nSides[0]);
    nHeight = static_cast<int32_t>(nSides[1]);
    return std::string();
}

// What --version and --table print: a full disk or a closed pipe is no success.
bool WriteOut(const std::string& szText)
{
    errno = 0;
    if (std::fwrite(szText.data(), 1, szText.size(), stdout) == szText.size() && std::fflush(stdout) == 0 &&
        !std::ferror(stdout))
        return true;
    PrintError(CFileMessage::Cause("Standardausgabe", CFileMessage::FromErrno(errno, true)));
    return false;
}
} // namespace

std::string CCommandLine::ToUtf8(const std::string& szAnsi)
{
    return CCodePage::AnsiToUtf8(szAnsi);
}

int CCommandLine::Usage()
{
    std::fputs(
        "Aufruf:\n"
        "  kurvix [DATEI]                              \xC3\xB6"
        "ffnet das Fenster, mit DATEI als Projekt\n"
        "  kurvix --version                            zeigt die Programmversion\n"
        "  kurvix --save AUS DATEI                     l\xC3\xA4"
        "dt DATEI (.kvx oder .kvo) und speichert sie als AUS (.kvx)\n"
        "  kurvix --export AUS DATEI [--size BxH]      zeichnet DATEI als Bild AUS (.png, .svg, .pdf)\n"
        "  kurvix --export FILM DATEI [--size BxH] [--fps N]\n"
        "                                              spielt die Animation als Film FILM ab (.gif, .webm, .mp4),\n"
        "                                              N Bilder je Sekunde (1 bis 50, sonst 25)\n"
        "  kurvix --table DATEI [--step N] [--csv]     gibt die Wertetafel des Schritts N aus,\n"
        "                                              mit --csv als CSV f\xC3\xBCr Tabellenkalkulationen\n"
        "  kurvix --frames ORDNER DATEI [--size BxH]   ein Bild je Animationsschritt in ORDNER\n",
        stderr);
    return 2;
}

bool CCommandLine::LoadProject(CProject& project, const char* pszFileName)
{
    const std::string szPrefix = std::string("Fehler beim Laden von ") + pszFileName;
    try {
        project.Load(pszFileName);
        return true;
    } catch (const ELoadSaveError& error) {
        PrintError(CFileMessage::Load(pszFileName, error));
    } catch (const ELoadFuncError& error) {
        PrintError(szPrefix + ": " + ToUtf8(error.m_pszMessage) + " " + ToUtf8(error.Location()));
    } catch (const EFuncError& error) {
        PrintError(szPrefix + ": " + ToUtf8(error.m_pszMessage));
    } catch (const std::bad_alloc&) {
        PrintError(CFileMessage::Load(pszFileName, ELoadSaveError{0, EFileCause::OutOfMemory}));
    }
    return false;
}

int CCommandLine::Save(const char* pszOut, const char* pszFile)
{
    CProject project;
    if (!LoadProject(project, pszFile))
        return 1;
    try {
        project.Save(pszOut);
    } catch (const ELoadSaveError& error) {
        PrintError(CFileMessage::Save(pszOut, error));
        return 1;
    }
    return 0;
}

int CCommandLine::Run(int argc, char** argv)
{
    if (argc < 2 || std::strncmp(argv[1], "--", 2) != 0)
        return -1;
    // Whatever runs out of memory leaves its unfinished files behind as they were, as their
    // destructors remove the temporary ones on the way out.
    try {
        return RunMode(argc, argv);
    } catch (const std::bad_alloc&) {
        PrintError("Nicht genug Speicher");
        return 1;
    }
}

int CCommandLine::RunMode(int argc, char** argv)
{
    const std::string szMode = argv[1];
    if (szMode == "--version" && argc == 2)
        return WriteOut(std::string("KURVIX V") + KURVIX_VERSION_TEXT + "\n") ? 0 : 1;
    if (szMode == "--save" && argc == 4)
        return Save(argv[2], argv[3]);
    if (szMode == "--table")
        return Table(argc, argv);
    if (szMode == "--export")
        return Picture(argc, argv, false);
    if (szMode == "--frames")
        return Picture(argc, argv, true);
    return Usage();
}

int CCommandLine::Table(int argc, char** argv)
{
    unsigned long nStep = 1;
    bool bStep = false, bCsv = false;
    const char* pszEnd;
    if (argc < 3)
        return CCommandLine::Usage();
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--csv") == 0 && !bCsv) {
            bCsv = true;
        } else if (std::strcmp(argv[i], "--step") == 0 && !bStep && i + 1 < argc) {
            bStep = true;
            ++i;
            if (!ParseCount(argv[i], 0xFFFFFFFFul, nStep, &pszEnd) || *pszEnd) {
                PrintError(std::string("Falsche Schrittnummer ") + argv[i] + ": erwartet wird eine Zahl ab 1");
                return CCommandLine::Usage();
            }
        } else {
            return CCommandLine::Usage();
        }
    }
    CProject project;
    if (!LoadProject(project, argv[2]))
        return 1;
    CAnimationStep* pStep = project.m_pFirstStep;
    for (unsigned long i = 1; pStep && i < nStep; ++i)
        pStep = pStep->m_pNext;
    if (!pStep) {
        std::fprintf(stderr, "%s hat keinen Animationsschritt %lu\n", argv[2], nStep);
        return 2;
    }
    CValueTable table;
    try {
        CTerminalProgress progress(
            std::min<uint64_t>(CProjectLimits::StepSamples(pStep->m_nCount), CValueTable::MAX_ROWS),
            "Berechne Wertetafel...");
        CWorkBudget budget(project);
        // The TAB text stays as scripts know it; CSV is what the window saves.
        table.Build(project, pStep, bCsv ? CValueTable::EForm::Shown : CValueTable::EForm::Classic);
    } catch (const EWorkBudget& error) {
        PrintError(error.Message());
        return 1;
    }
    return WriteOut(bCsv ? table.GetCsv() : ToUtf8(table.GetText())) ? 0 : 1;
}

int CCommandLine::Picture(int argc, char** argv, bool bFrames)
{
    int32_t nWidth = 584, nHeight = 387; // the page's size in the window's default layout
    unsigned long nFps = 0;              // not given
    bool bSize = false;
    if (argc < 4 || argc % 2 != 0)
        return CCommandLine::Usage();
    for (int i = 4; i < argc; i += 2) {
        const char* pszEnd;
        if (std::strcmp(argv[i], "--size") == 0 && !bSize) {
            bSize = true;
            const std::string szError = ParseSize(argv[i + 1], nWidth, nHeight);
            if (!szError.empty()) {
                PrintError(szError);
                return CCommandLine::Usage();
            }
        } else if (std::strcmp(argv[i], "--fps") == 0 && !bFrames && nFps == 0) {
            if (!ParseCount(argv[i + 1], CMovieExport::MAX_FPS, nFps, &pszEnd) || *pszEnd) {
                PrintError(std::string("Falsche Bildrate ") + argv[i + 1] + ": erwartet wird eine Zahl von 1 bis " +
                           std::to_string(CMovieExport::MAX_FPS));
                return CCommandLine::Usage();
            }
        } else {
            return CCommandLine::Usage();
        }
    }
    const char* pszOut = argv[2];
    const bool bMovie = !bFrames && CMovieExport::FormatOf(pszOut) != CMovieExport::EFormat::Unknown;
    if (!bFrames && !bMovie && CPictureExport::FormatOf(pszOut) == CPictureExport::EFormat::Unknown) {
        PrintError(std::string("Unbekanntes Bildformat: ") + pszOut + " (.png, .svg, .pdf, .gif, .webm oder .mp4)");
        return CCommandLine::Usage();
    }
    if (nFps && !bMovie) {
        PrintError("--fps gilt nur f\xC3\xBCr Filme (.gif, .webm, .mp4)");
        return CCommandLine::Usage();
    }
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
    if (!LoadProject(project, argv[3]))
        return 1;
    bool bNothingToDraw = false;
    EFileCause eCause = EFileCause::WriteError;
    std::string szWhy;
    bool bOk;
    try {
        // The range determination walks every sample, and the drawing walks them again.
        const bool bRange =
            (project.m_nFlags & ((1u << FLAG_XAUTO) | (1u << FLAG_YAUTO))) || project.m_dOptions[OPT_TRMODE] > 0.0;
        CTerminalProgress progress(CProjectLimits::TotalSamples(project) * (bRange ? 2 : 1), "Zeichne...");
        CWorkBudget budget(project); // the target is left as it was
        if (bMovie)
            return Movie(project, pszOut, nWidth, nHeight,
                         nFps ? static_cast<uint32_t>(nFps) : CMovieExport::DEFAULT_FPS);
        bOk = bFrames ? CPictureExport::ExportFrames(project, pszOut, nWidth, nHeight, bNothingToDraw, &eCause, &szWhy)
                      : CPictureExport::Export(project, pszOut, nWidth, nHeight, bNothingToDraw, &eCause, &szWhy);
    } catch (const EWorkBudget& error) {
        PrintError(error.Message());
        return 1;
    }
    if (!bOk) {
        PrintError(
            CFileMessage::Save(pszOut, ELoadSaveError{0, eCause}, std::string("Fehler beim Speichern von ") + pszOut));
        return 1;
    }
    // Said as the "Grafik" page says it, with the cause.
    if (bNothingToDraw)
        std::fprintf(stderr, "%s\n", szWhy.empty() ? "Nichts zu zeichnen!" : ToUtf8(szWhy).c_str());
    return 0;
}

int CCommandLine::Movie(CProject& project, const char* pszOut, int32_t nWidth, int32_t nHeight, uint32_t nFps)
{
    CMovieExport::SResult result;
    if (!CMovieExport::Export(project, pszOut, nWidth, nHeight, nFps, result)) {
        if (!result.szMissingEncoder.empty())
            PrintError(std::string("Fehler beim Speichern von ") + pszOut + ": FFmpeg fehlt der Kodierer " +
                       result.szMissingEncoder);
        else
            PrintError(CFileMessage::Save(pszOut, ELoadSaveError{0, result.eCause},
                                          std::string("Fehler beim Speichern von ") + pszOut));
        return 1;
    }
    if (result.bApproximated)
        std::fprintf(stderr, "%s: mehr als 256 Farben in einem Bild, die Farben sind gen\xC3\xA4hert\n", pszOut);
    if (result.bNothingToDraw)
        std::fprintf(stderr, "%s\n", result.szWhy.empty() ? "Nichts zu zeichnen!" : ToUtf8(result.szWhy).c_str());
    return 0;
}
