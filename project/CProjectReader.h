#pragma once
// Reads project files into a freshly constructed document: the current format (.kvx) and the
// legacy fixed-layout format (.kvo), chosen by the file name's extension.
#include <cstdint>
#include <cstdio>
#include <string>

class CProject;
class CLineReader;

class CProjectReader {
public:
    // Throws ELoadSaveError with the failing line (0: the file could not be opened), or
    // ELoadFuncError for a formula that does not compile. Any other extension reads nothing.
    static void Load(CProject& project, const char* pszFileName);

    static void ReadCurrent(CProject& project, CLineReader& reader);
    static void ReadLegacy(CProject& project, CLineReader& reader);

private:
    static void SetFunction(CProject& project, unsigned nIndex, const std::string& szText, uint32_t nLine);
    static void SetTransform(CProject& project, const std::string& szText, uint32_t nLine);
};
