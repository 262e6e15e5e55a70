#include "project/CFileMessage.h"

#include <cerrno>

#include "project/CCodePage.h"
#include "project/CProjectLimits.h"

namespace {
std::string Utf8(const char* pszAnsi)
{
    return CCodePage::AnsiToUtf8(pszAnsi);
}
} // namespace

std::string CFileMessage::Cause(const std::string& szName, EFileCause eCause)
{
    const char* pszCause = "Fehler";
    switch (eCause) {
    case EFileCause::Line:
    case EFileCause::NotFound: pszCause = "Datei nicht gefunden"; break;
    case EFileCause::NotRegular: pszCause = "Keine regul\xE4re Datei"; break;
    case EFileCause::AccessDenied: pszCause = "Zugriff verweigert"; break;
    case EFileCause::ReadError: pszCause = "Lesefehler"; break;
    case EFileCause::FolderNotFound: pszCause = "Ordner nicht gefunden"; break;
    case EFileCause::TooLarge: pszCause = "Datei zu gro\xDF"; break;
    case EFileCause::NotesTooLarge: pszCause = "Notizen zu gro\xDF"; break;
    case EFileCause::UnknownExtension: pszCause = "Keine KURVIX-Datei (.kvx oder .kvo)"; break;
    case EFileCause::TooManySteps: pszCause = "Zu viele Animationsschritte"; break;
    case EFileCause::TooManySamples: pszCause = "Zu viele Werte"; break;
    case EFileCause::NoSpace: pszCause = "Kein Platz auf dem Datentr\xE4ger"; break;
    case EFileCause::WriteError: pszCause = "Schreibfehler"; break;
    case EFileCause::NameTooLong: pszCause = "Name zu lang"; break;
    case EFileCause::NotAFolder: pszCause = "Kein Ordner"; break;
    case EFileCause::NotKvx: pszCause = "Keine .kvx-Datei, Projekte bitte als .kvx speichern"; break;
    case EFileCause::OutOfMemory: pszCause = "Nicht genug Speicher"; break;
    case EFileCause::NulInNotes: pszCause = "Notizen mit einem NUL-Zeichen"; break;
    }
    return Utf8(pszCause) + ": " + szName;
}

std::string CFileMessage::Load(const std::string& szName, const ELoadSaveError& error)
{
    const std::string szPrefix = "Fehler beim Laden von " + szName;
    switch (error.m_eCause) {
    case EFileCause::Line:
        if (error.m_nLine == 0)
            return szPrefix + ": Datei nicht gefunden";
        return szPrefix + " in Zeile " + std::to_string(error.m_nLine);
    case EFileCause::NotFound: return szPrefix + ": Datei nicht gefunden";
    case EFileCause::OutOfMemory: return szPrefix + ": Nicht genug Speicher";
    case EFileCause::TooManySteps:
        return szPrefix + " in Zeile " + std::to_string(error.m_nLine) + Utf8(": mehr als ") +
               std::to_string(PROJECT_MAX_STEPS) + " Animationsschritte";
    case EFileCause::TooManySamples:
        return szPrefix + " in Zeile " + std::to_string(error.m_nLine) + Utf8(": mehr als ") +
               std::to_string(PROJECT_MAX_SAMPLES) + Utf8(" Werte in allen Animationsschritten zusammen");
    default: return Cause(szName, error.m_eCause);
    }
}

std::string CFileMessage::Save(const std::string& szName, const ELoadSaveError& error, const std::string& szHead)
{
    std::string szText =
        szHead + "\n" + Cause(szName, error.m_eCause == EFileCause::Line ? EFileCause::WriteError : error.m_eCause);
    // Refused before writing: what the reader would refuse (the file stays as it was).
    if (error.m_eCause == EFileCause::NotesTooLarge)
        szText += Utf8("\nDie Notizen d\xFCrfen in der Datei h\xF6"
                       "chstens ") +
                  std::to_string(PROJECT_MAX_NOTES >> 20) + " MB belegen; es wurde nichts geschrieben.";
    else if (error.m_eCause == EFileCause::TooLarge)
        szText += Utf8("\nEine Projektdatei darf h\xF6"
                       "chstens ") +
                  std::to_string(PROJECT_MAX_FILE >> 20) + Utf8(" MB gro\xDF sein; es wurde nichts geschrieben.");
    return szText;
}

EFileCause CFileMessage::FromErrno(int nErrno, bool bWrite)
{
    switch (nErrno) {
    case ENOENT:
    case ENOTDIR:
    case ELOOP: return bWrite ? EFileCause::FolderNotFound : EFileCause::NotFound;
    case ENAMETOOLONG: return EFileCause::NameTooLong;
    case ENOMEM: return EFileCause::OutOfMemory;
    case EACCES:
    case EPERM:
    case EROFS: return EFileCause::AccessDenied;
    case EISDIR: return EFileCause::NotRegular;
    case ENOSPC:
    case EDQUOT: return EFileCause::NoSpace;
    case EFBIG: return bWrite ? EFileCause::NoSpace : EFileCause::TooLarge;
    default: return bWrite ? EFileCause::WriteError : EFileCause::ReadError;
    }
}
