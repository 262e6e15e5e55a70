#include "render/CPictureExport.h"

#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <vector>

#include "project/CAtomicFile.h"
#include "project/CFileMessage.h"
#include "project/CProject.h"
#include "render/CAtomicDevice.h"
#include "render/CMarkPainter.h"
#include "render/CPictureJob.h"
#include "render/CPngWriter.h"
#include "render/CQtCanvas.h"
#include "render/CRenderer.h"
#include "view/CFuncVars.h"
#include "view/CNothingToDraw.h"
#include "view/CViewRange.h"

namespace {
bool SavePng(const QImage& image, QIODevice& device)
{
    std::string szPng;
    if (image.format() != QImage::Format_RGB32 ||
        !CPngWriter::Encode(reinterpret_cast<const uint32_t*>(image.constBits()), image.width(), image.height(),
                            image.bytesPerLine() / 4, image.dotsPerMeterX(), image.dotsPerMeterY(), szPng))
        return false;
    return device.write(szPng.data(), static_cast<qint64>(szPng.size())) == static_cast<qint64>(szPng.size());
}
} // namespace

CPictureExport::EFormat CPictureExport::FormatOf(const std::string& szPath)
{
    if (CPictureExport::HasExtension(szPath, ".png"))
        return EFormat::Png;
    if (CPictureExport::HasExtension(szPath, ".svg"))
        return EFormat::Svg;
    if (CPictureExport::HasExtension(szPath, ".pdf"))
        return EFormat::Pdf;
    return EFormat::Unknown;
}

void CPictureExport::Paint(CPictureJob& job, QPainter& painter, int32_t nWidth, int32_t nHeight, bool bVector,
                           const std::function<bool()>& onStepDone, const CAnalysisMarks* pMarks)
{
    CQtCanvas canvas(painter, bVector);
    // Over the finished curves, mapped as they are.
    const auto DrawMarks = [&] {
        if (pMarks)
            CMarkPainter::Paint(canvas, job.Vars(), *pMarks);
    };
    const CViewBox box = job.Range();
    const auto nW = static_cast<uint32_t>(nWidth);
    const auto nH = static_cast<uint32_t>(nHeight);
    CPictureJob::DrawLayers(job.Project(), box, canvas, nW, nH, 0, 0, true);
    job.Setup(box, nW, nH, 0, 0, 1);
    if (box.NothingToDraw()) {
        // The page draws no curves then; the steps still pass, each leaving the same picture.
        for (CAnimationStep* pStep = job.Project().m_pFirstStep; pStep; pStep = pStep->m_pNext) {
            canvas.Flush();
            if (onStepDone && !onStepDone())
                return;
        }
        DrawMarks();
        return;
    }
    const CPictureJob::StopFunction stepDone = [](const CFuncVars& vars, const CAnimationStep* pFrom) {
        return vars.m_pStep != pFrom;
    };
    for (;;) {
        const bool bStep = job.Vars().m_pStep != nullptr;
        const bool bMore = job.Draw(canvas, UINT64_MAX, onStepDone ? stepDone : nullptr);
        if (onStepDone && bStep) {
            canvas.Flush();
            if (!onStepDone())
                return;
        }
        if (!bMore)
            break;
    }
    DrawMarks();
}

void CPictureExport::Paint(CProject& project, QPainter& painter, int32_t nWidth, int32_t nHeight, bool bVector,
                           const std::function<bool()>& onStepDone)
{
    CPictureJob job(project, !bVector, false);
    job.WalkAll();
    Paint(job, painter, nWidth, nHeight, bVector, onStepDone);
}

bool CPictureExport::Export(CProject& project, const std::string& szPath, int32_t nWidth, int32_t nHeight,
                            bool& bNothingToDraw, EFileCause* pCause, std::string* pszWhy, const CAnalysisMarks* pMarks)
{
    // Written like a project: into a temporary file beside the target, renamed over it only
    // when complete, so that a failed, interrupted or concurrent export leaves the old file whole.
    try {
        CAtomicFile file(szPath); // before the work, so that a bad name fails at once
        CAtomicDevice device(file);
        if (!device.open(QIODevice::WriteOnly) ||
            !WritePicture(project, device, FormatOf(szPath), nWidth, nHeight, bNothingToDraw, pszWhy, pMarks)) {
            file.Finish(); // the cause of a failed write, where there was one
            throw ELoadSaveError{0, EFileCause::WriteError};
        }
        device.close();
        file.Commit();
    } catch (const ELoadSaveError& error) {
        if (pCause)
            *pCause = error.m_eCause;
        return false;
    }
    return true;
}

bool CPictureExport::NothingToDraw(CPictureJob& job, std::string* pszWhy)
{
    const CViewBox box = job.Range();
    if (!box.NothingToDraw())
        return false;
    if (pszWhy)
        CNothingToDraw::Cause(job.Project(), box, *pszWhy);
    return true;
}

bool CPictureExport::WritePicture(CProject& project, QIODevice& device, EFormat eFormat, int32_t nWidth,
                                  int32_t nHeight, bool& bNothingToDraw, std::string* pszWhy,
                                  const CAnalysisMarks* pMarks)
{
    if (eFormat == EFormat::Unknown)
        return false;
    CPictureJob job(project, eFormat == EFormat::Png, true);
    job.WalkAll();
    bNothingToDraw = NothingToDraw(job, pszWhy);
    switch (eFormat) {
    case EFormat::Png: {
        QImage image(nWidth, nHeight, QImage::Format_RGB32);
        if (image.isNull())
            throw ELoadSaveError{0, EFileCause::OutOfMemory};
        {
            QPainter painter(&image);
            Paint(job, painter, nWidth, nHeight, false, nullptr, pMarks);
        }
        return SavePng(image, device);
    }
    case EFormat::Svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&device);
        svg.setSize(QSize(nWidth, nHeight));
        svg.setViewBox(QRect(0, 0, nWidth, nHeight));
        svg.setTitle("KURVIX");
        QPainter painter;
        if (!painter.begin(&svg))
            return false;
        Paint(job, painter, nWidth, nHeight, true, nullptr, pMarks);
        return painter.end();
    }
    case EFormat::Pdf: {
        // One point per picture pixel, the page exactly the picture.
        QPdfWriter pdf(&device);
        pdf.setResolution(72);
        pdf.setPageSize(QPageSize(QSizeF(nWidth, nHeight), QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setCreator("KURVIX");
        QPainter painter;
        if (!painter.begin(&pdf))
            return false;
        Paint(job, painter, nWidth, nHeight, true, nullptr, pMarks);
        return painter.end();
    }
    case EFormat::Unknown: break;
    }
    return false;
}

namespace {
// mkdir -p on the bytes of the name, which need not be valid text.
void MakePath(const std::string& szDir)
{
    for (size_t n = szDir.find('/', 1);; n = szDir.find('/', n + 1)) {
        const std::string szPart = szDir.substr(0, n);
        if (mkdir(szPart.c_str(), 0777) != 0 && errno != EEXIST)
            throw ELoadSaveError{0, CFileMessage::FromErrno(errno, true)};
        if (n == std::string::npos)
            break;
    }
    struct stat info;
    if (stat(szDir.c_str(), &info) != 0)
        throw ELoadSaveError{0, CFileMessage::FromErrno(errno, true)};
    if (!S_ISDIR(info.st_mode)) // a name that is taken by something else than a folder
        throw ELoadSaveError{0, EFileCause::NotAFolder};
}

bool IsFrameName(const char* pszName)
{
    if (std::strncmp(pszName, "frame-", 6) != 0)
        return false;
    const char* p = pszName + 6;
    while (*p >= '0' && *p <= '9')
        ++p;
    return p > pszName + 6 && std::strcmp(p, ".png") == 0;
}

// The frames of an earlier run that the new ones did not replace: with them, the folder would
// show a film of two runs.
void RemoveOldFrames(const std::string& szDir, const std::vector<std::unique_ptr<CAtomicFile>>& frames)
{
    std::set<std::string> newNames;
    for (const auto& pFrame : frames)
        newNames.insert(pFrame->Target().substr(pFrame->Target().rfind('/') + 1));
    DIR* pDir = opendir(szDir.c_str());
    if (!pDir)
        return;
    std::vector<std::string> old;
    while (const dirent* pEntry = readdir(pDir))
        if (IsFrameName(pEntry->d_name) && !newNames.count(pEntry->d_name))
            old.emplace_back(pEntry->d_name);
    closedir(pDir);
    for (const std::string& szName : old)
        unlink((szDir + "/" + szName).c_str());
}
} // namespace

std::string CPictureExport::FrameName(size_t nFrame, size_t nFrames)
{
    int nWidth = 4;
    for (size_t n = nFrames; n >= 10000; n /= 10)
        ++nWidth;
    char szName[48];
    std::snprintf(szName, sizeof szName, "frame-%0*zu.png", nWidth, nFrame);
    return szName;
}

bool CPictureExport::ExportFrames(CProject& project, const std::string& szDir, int32_t nWidth, int32_t nHeight,
                                  bool& bNothingToDraw, EFileCause* pCause, std::string* pszWhy)
{
    try {
        MakePath(szDir);
        size_t nFrames = 0;
        for (const CAnimationStep* pStep = project.m_pFirstStep; pStep; pStep = pStep->m_pNext)
            ++nFrames;
        CPictureJob job(project, true, true);
        job.WalkAll();
        bNothingToDraw = NothingToDraw(job, pszWhy);
        QImage image(nWidth, nHeight, QImage::Format_RGB32);
        if (image.isNull())
            throw ELoadSaveError{0, EFileCause::OutOfMemory};
        // Every frame waits as a closed temporary file until the last one is written: an
        // interrupted or failed run leaves the folder's old frames as they were.
        std::vector<std::unique_ptr<CAtomicFile>> frames;
        std::optional<ELoadSaveError> failure;
        QPainter painter(&image);
        Paint(job, painter, nWidth, nHeight, false, [&] {
            try {
                frames.push_back(std::make_unique<CAtomicFile>(szDir + "/" + FrameName(frames.size() + 1, nFrames)));
                CAtomicDevice device(*frames.back());
                // The painter keeps drawing on the same image; saving reads what it has painted so far.
                if (!device.open(QIODevice::WriteOnly) || !SavePng(image, device)) {
                    frames.back()->Finish();
                    throw ELoadSaveError{0, EFileCause::WriteError};
                }
                device.close();
                frames.back()->Finish(false); // all are flushed at once below
            } catch (const ELoadSaveError& error) {
                failure = error;
                return false;
            }
            return true;
        });
        if (failure)
            throw *failure;
        if (!frames.empty())
            frames.back()->SyncAll();
        // A signal waits until the folder holds the new frames only: never a film of two runs.
        CAtomicFile::CHoldSignals hold;
        for (const auto& pFrame : frames)
            pFrame->Commit(false);
        RemoveOldFrames(szDir, frames);
        if (!frames.empty())
            frames.back()->SyncFolder();
    } catch (const ELoadSaveError& error) {
        if (pCause)
            *pCause = error.m_eCause;
        return false;
    }
    return true;
}

bool CPictureExport::HasExtension(const std::string& szText, const char* pszEnd)
{
    const std::string szEnd = pszEnd;
    if (szText.size() < szEnd.size())
        return false;
    for (size_t i = 0; i < szEnd.size(); ++i) {
        const char c = szText[szText.size() - szEnd.size() + i];
        if ((c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c) != szEnd[i])
            return false;
    }
    return true;
}
