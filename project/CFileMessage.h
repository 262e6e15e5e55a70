#pragma once
// The German texts of failed loads and saves, for the command line and the window alike. The
// file name goes in as the bytes the user gave (it need not be valid text of any code page);
// everything else comes out as UTF-8.
#include <string>

#include "project/ELoadSaveError.h"

class CFileMessage {
public:
    // "Fehler beim Laden von NAME in Zeile N", "... : Datei nicht gefunden", "Zugriff
    // verweigert: NAME" and the other causes.
    static std::string Load(const std::string& szName, const ELoadSaveError& error);
    // szHead ("Fehler beim Speichern"), then on a line of its own the cause with the name.
    static std::string Save(const std::string& szName, const ELoadSaveError& error,
                            const std::string& szHead = "Fehler beim Speichern");
    // The cause alone, "Zugriff verweigert: NAME".
    static std::string Cause(const std::string& szName, EFileCause eCause);

    // The cause behind a failed system call; bWrite for creating, writing and renaming.
    static EFileCause FromErrno(int nErrno, bool bWrite);
};
