// libFuzzer entry for the project file readers: the first byte picks the format, the rest is the file.
#include <cstdint>
#include <cstdio>

#include "expr/EFuncError.h"
#include "project/CLineReader.h"
#include "project/CProject.h"
#include "project/CProjectReader.h"
#include "project/CProjectWriter.h"
#include "project/ELoadSaveError.h"
#include "view/CFuncVars.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    if (nSize == 0)
        return 0;
    const bool bLegacy = pData[0] & 1;
    std::FILE* pFile = fmemopen(const_cast<uint8_t*>(pData + 1), nSize - 1, "rb");
    if (!pFile)
        return 0;
    CProject project;
    bool bLoaded = false;
    try {
        CLineReader reader(pFile);
        if (bLegacy)
            CProjectReader::ReadLegacy(project, reader);
        else
            CProjectReader::ReadCurrent(project, reader);
        bLoaded = true;
    } catch (const ELoadSaveError&) {
    } catch (const EFuncError&) {
    }
    std::fclose(pFile);
    if (!bLoaded)
        return 0;
    // What loaded must evaluate safely and write out again.
    CFuncVars vars;
    vars.m_pProject = &project;
    for (unsigned n = 1; n <= MAX_FUNCTIONS; ++n)
        if (CFuncTerm* pTerm = project.GetFunction(n))
            pTerm->Evaluate(vars);
    const std::string szText = CProjectWriter::Format(project);
    return szText.empty() ? 1 : 0;
}
