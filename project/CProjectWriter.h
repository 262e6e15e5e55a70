#pragma once
// Writes a project in the current format, and saves it without ever destroying the file it replaces.
#include <cstdint>
#include <string>
#include <sys/types.h>

class CProject;

class CProjectWriter {
public:
    using WriteFunction = ssize_t (*)(int nFile, const void* pData, size_t nCount);

    // The file's bytes: every line ended by CR LF, the notes' line feeds included.
    static std::string Format(const CProject& project);

    // Throws ELoadSaveError{0, cause} for a project whose file the reader would refuse (too large,
    // notes too large, too many steps or samples); nFileBytes is the size of Format(project).
    static void CheckLimits(const CProject& project, uint64_t nFileBytes);

    // Writes a temporary file beside the target and renames it over the target only once every
    // byte is written and the file is closed; throws ELoadSaveError{0, cause} otherwise, leaving
    // the old file as it was. A project the reader would refuse is refused before anything is
    // written (CheckLimits), and so is a name that does not end in .kvx (NotKvx): under any other
    // the file would not load again, and a .kvo file would be lost. pWrite replaces write(2) in tests.
    static void Save(const CProject& project, const char* pszFileName, WriteFunction pWrite = nullptr);
    // The Debug page's dump, under its own name in a folder of the user's own: written as Save
    // writes, except that a link at that name is replaced rather than followed.
    static void SaveDump(const CProject& project, const char* pszFileName);
};
