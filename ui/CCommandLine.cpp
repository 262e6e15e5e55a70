#include "ui/CCommandLine.h"

#include <cstdio>
#include <cstring>

#include "kurvix_version.h"
#include "project/CCodePage.h"
#include "project/CProject.h"
#include "project/ELoadFuncError.h"
#include "project/ELoadSaveError.h"

namespace {
void PrintError(const std::string& szMessage)
{
    std::fprintf(stderr, "%s\n", szMessage.c_str());
}
}  // namespace

std::string CCommandLine::ToUtf8(const std::string& szAnsi)
{
    return CCodePage::AnsiToUtf8(szAnsi);
}

int CCommandLine::Usage()
{
    std::fputs("Aufruf:\n"
               "  kurvix [DATEI]              \xC3\xB6" "ffnet das Fenster, mit DATEI als Projekt\n"
               "  kurvix --version            zeigt die Programmversion\n"
               "  kurvix --save AUS DATEI     l\xC3\xA4" "dt DATEI (.kvx oder .kvo) und speichert sie als AUS (.kvx)\n",
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
        if (error.m_nLine == 0)
            PrintError(szPrefix + ": Datei nicht gefunden");
        else
            PrintError(szPrefix + " in Zeile " + std::to_string(error.m_nLine));
    } catch (const ELoadFuncError& error) {
        PrintError(szPrefix + ": " + ToUtf8(error.m_pszMessage) + " bei: " + ToUtf8(error.Excerpt()));
    } catch (const EFuncError& error) {
        PrintError(szPrefix + ": " + ToUtf8(error.m_pszMessage));
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
    } catch (const ELoadSaveError&) {
        PrintError("Fehler beim Speichern");
        return 1;
    }
    return 0;
}

int CCommandLine::Run(int argc, char** argv)
{
    if (argc < 2 || std::strncmp(argv[1], "--", 2) != 0)
        return -1;
    const std::string szMode = argv[1];
    if (szMode == "--version" && argc == 2) {
        std::printf("KURVIX V%s\n", KURVIX_VERSION_TEXT);
        return 0;
    }
    if (szMode == "--save" && argc == 4)
        return Save(argv[2], argv[3]);
    return Usage();
}
