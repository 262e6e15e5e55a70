#include "project/CProjectReader.h"

#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "expr/SkipBlanks.h"
#include "project/CCodePage.h"
#include "project/CFileMessage.h"
#include "project/CLineReader.h"
#include "project/CProject.h"
#include "project/CProjectLimits.h"
#include "project/CScanText.h"
#include "project/ELoadFuncError.h"
#include "project/ELoadSaveError.h"

namespace {
struct SFileCloser {
    void operator()(std::FILE* pFile) const { std::fclose(pFile); }
};
using FilePtr = std::unique_ptr<std::FILE, SFileCloser>;

std::string LowerExtension(const char* pszFileName)
{
    std::string szName(pszFileName);
    const size_t nSlash = szName.rfind('/');
    if (nSlash != std::string::npos)
        szName.erase(0, nSlash + 1);
    const size_t nDot = szName.rfind('.');
    if (nDot == std::string::npos)
        return std::string();
    std::string szExtension = szName.substr(nDot);
    for (char& c : szExtension)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return szExtension;
}

// The text as the compiler received it, which the error's position counts in.
std::string WithoutLeadingBlanks(const std::string& szText)
{
    return szText.substr(LeadingBlanks(szText));
}

bool SameNoCase(const std::string& szText, const char* pszWord)
{
    CScanText scan(szText);
    return scan.LiteralNoCase(pszWord) && scan.AtEnd();
}
} // namespace

void CProjectReader::Load(CProject& project, const char* pszFileName)
{
    // Any other name would load as an empty project, and saving that over the file would
    // destroy it.
    const std::string szExtension = LowerExtension(pszFileName);
    if (szExtension != ".kvx" && szExtension != ".kvo")
        throw ELoadSaveError{0, EFileCause::UnknownExtension};
    // Without O_NONBLOCK a pipe would wait here for a writer that never comes.
    const int nFile = open(pszFileName, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (nFile < 0)
        throw ELoadSaveError{0, CFileMessage::FromErrno(errno, false)};
    FilePtr pFile(fdopen(nFile, "rb"));
    if (!pFile) {
        close(nFile);
        throw ELoadSaveError{0, EFileCause::ReadError};
    }
    struct stat info;
    if (fstat(nFile, &info) != 0)
        throw ELoadSaveError{0, EFileCause::ReadError};
    if (!S_ISREG(info.st_mode))
        throw ELoadSaveError{0, EFileCause::NotRegular};
    if (static_cast<uint64_t>(info.st_size) > PROJECT_MAX_FILE)
        throw ELoadSaveError{0, EFileCause::TooLarge};
    fcntl(nFile, F_SETFL, fcntl(nFile, F_GETFL) & ~O_NONBLOCK);
    CLineReader reader(pFile.get());
    if (szExtension == ".kvx")
        ReadCurrent(project, reader);
    else
        ReadLegacy(project, reader);
    project.m_bModified = false;
}

void CProjectReader::SetFunction(CProject& project, unsigned nIndex, const std::string& szText, uint32_t nLine)
{
    try {
        project.SetFunction(nIndex, szText.c_str());
    } catch (const EFuncError& error) {
        throw ELoadFuncError(error, WithoutLeadingBlanks(szText), nLine, nIndex);
    }
}

void CProjectReader::SetTransform(CProject& project, const std::string& szText, uint32_t nLine)
{
    try {
        project.SetTransform(szText.c_str());
    } catch (const EFuncError& error) {
        throw ELoadFuncError(error, WithoutLeadingBlanks(szText), nLine);
    }
}

void CProjectReader::ReadCurrent(CProject& project, CLineReader& reader)
{
    uint32_t nLine = 0;
    uint32_t nSteps = 1;                                       // the document's first step is there from the start
    uint64_t nSamples = CProjectLimits::TotalSamples(project); // of the steps so far
    std::string szLine;
    while (reader.ReadLine(szLine)) {
        ++nLine;
        CLineReader::TrimLine(szLine);

        uint32_t nNumber;
        if (CScanText scan(szLine); scan.Literal("f") && scan.Unsigned(nNumber) && nNumber >= 1 &&
                                    nNumber <= MAX_FUNCTIONS && szLine.find('=') != std::string::npos) {
            SetFunction(project, nNumber, szLine.substr(szLine.find('=') + 1), nLine);
            continue;
        }
        if (CScanText(szLine).LiteralNoCase("transform=")) {
            SetTransform(project, szLine.substr(10), nLine);
            continue;
        }
        if (CScanText scan(szLine); scan.Literal("flags=") && scan.Hex(nNumber)) {
            project.m_nFlags = nNumber;
            continue;
        }
        if (CScanText scan(szLine); scan.Literal("step") && scan.Unsigned(nNumber)) {
            if (nNumber > 1) {
                if (++nSteps > PROJECT_MAX_STEPS)
                    throw ELoadSaveError{nLine, EFileCause::TooManySteps};
                project.InsertStep(std::make_unique<CAnimationStep>(), nullptr);
                nSamples += CProjectLimits::StepSamples(project.m_pLastStep->m_nCount);
            }
            // Every drawing walks each step's samples; beyond the bound that takes hours. The
            // error names the line that goes over it: this one, or a range line of the block.
            nSamples -= CProjectLimits::StepSamples(project.m_pLastStep->m_nCount);
            project.m_pLastStep->ReadBlock(reader, nLine, PROJECT_MAX_SAMPLES - nSamples);
            nSamples += CProjectLimits::StepSamples(project.m_pLastStep->m_nCount);
            if (nSamples > PROJECT_MAX_SAMPLES)
                throw ELoadSaveError{nLine, EFileCause::TooManySamples};
            continue;
        }
        if (SameNoCase(szLine, "notes")) {
            project.m_pszNotes = reader.ReadRest();
            return;
        }
        bool bOption = false;
        for (unsigned i = 0; i < OPT_COUNT && !bOption; ++i) {
            double dValue;
            CScanText scan(szLine);
            if (scan.Literal(g_OptionKeys[i]) && scan.Literal("=") && scan.Real(dValue)) {
                project.SetOption(i, dValue);
                bOption = true;
            }
        }
        if (bOption || szLine.empty())
            continue;
        throw ELoadSaveError{nLine};
    }
}

void CProjectReader::ReadLegacy(CProject& project, CLineReader& reader)
{
    uint32_t nLine = 0;
    std::string szLine;
    auto next = [&]() {
        if (!reader.ReadLine(szLine))
            throw ELoadSaveError{nLine + 1};
        ++nLine;
    };
    auto fail = [&]() { throw ELoadSaveError{nLine}; };
    CAnimationStep* pStep = project.m_pFirstStep;

    for (unsigned n = 1; n <= 10; ++n) {
        next();
        CLineReader::TrimLine(szLine);
        SetFunction(project, n, szLine, nLine);
    }

    std::string szNotes;
    for (int i = 0; i < 10; ++i) {
        next();
        if (szNotes.empty() && !szLine.empty() && static_cast<unsigned char>(szLine[0]) < 32)
            continue;
        szNotes += CCodePage::OemToAnsi(szLine);
    }
    project.m_pszNotes = szNotes;

    for (unsigned nVariable = 0; nVariable < FUNC_NVARS; ++nVariable) {
        next();
        CScanText scan(szLine);
        double dStart = 0, dUnused = 0, dStep = 0;
        int32_t nCount = 0;
        if (!(scan.Real(dStart) && (scan.SkipSpace(), scan.Real(dUnused)) && (scan.SkipSpace(), scan.Real(dStep)) &&
              (scan.SkipSpace(), scan.Integer(nCount))) ||
            nCount < 0)
            fail();
        pStep->SetCount(nVariable, static_cast<uint32_t>(nCount));
        pStep->SetMin(nVariable, dStart);
        pStep->SetStep(nVariable, dStep);
        if (CProjectLimits::StepSamples(pStep->m_nCount) > PROJECT_MAX_SAMPLES)
            throw ELoadSaveError{nLine, EFileCause::TooManySamples};
    }

    next();
    const std::string szStyles = szLine.substr(0, szLine.find_first_of("\r\n"));
    if (szStyles.size() < 10)
        fail();
    for (unsigned n = 0; n < 10; ++n) {
        const char c = szStyles[n];
        uint32_t nColor = 0;
        bool bVisible = true;
        if (c >= '0' && c <= '9')
            nColor = static_cast<uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            nColor = static_cast<uint32_t>(c - 'a' + 10);
        else if (c != 'x')
            bVisible = false;
        pStep->m_nColor[n] = nColor;
        pStep->m_bVisible[n] = bVisible;
    }

    next(); // 25
    next(); // 26
    std::string szTerms[2];
    for (unsigned nAxis = 0; nAxis < 2; ++nAxis) {
        next();
        CScanText scan(szLine);
        char cMode;
        double dMin = 0, dMax = 0, dGrid = 0;
        if (!(scan.Char(cMode) && (scan.SkipSpace(), scan.Real(dMin)) && (scan.SkipSpace(), scan.Real(dMax)) &&
              (scan.SkipSpace(), scan.Real(dGrid))))
            fail();
        project.SetOption(nAxis == 0 ? OPT_XMIN : OPT_YMIN, dMin);
        project.SetOption(nAxis == 0 ? OPT_XMAX : OPT_YMAX, dMax);
        project.SetOption(nAxis == 0 ? OPT_XGRID : OPT_YGRID, std::fabs(std::trunc(dGrid)));
        project.SetFlag(nAxis == 0 ? FLAG_XAUTO : FLAG_YAUTO, cMode != 'n');
        if (cMode == 'm')
            project.SetFlag(FLAG_PROPORTIONAL, true);
        project.SetFlag(nAxis == 0 ? FLAG_XGRID : FLAG_YGRID, dGrid > 0);

        next();
        CLineReader::TrimLine(szLine);
        szTerms[nAxis] = szLine.empty() ? (nAxis == 0 ? "x" : "f") : szLine;
    }
    const std::string szTransform = szTerms[0] + "," + szTerms[1];
    if (szTransform != "x,f")
        SetTransform(project, szTransform, nLine);

    next(); // 31
    pStep->m_bConnect = !szLine.empty() && szLine[0] == 'j';
    next(); // 32
    next(); // 33
    {
        CScanText scan(szLine);
        int32_t nSpeed;
        if (!scan.Integer(nSpeed) || nSpeed < 0)
            fail();
        pStep->m_nSpeed = static_cast<uint32_t>(nSpeed);
    }
    next(); // 34
    next(); // 35
    project.SetFlag(FLAG_SHOWAXIS, !szLine.empty() && szLine[0] == 'j');
}
