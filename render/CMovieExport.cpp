#include "render/CMovieExport.h"

#include <QImage>
#include <QPainter>
#include <memory>
#include <new>

#include "project/CAtomicFile.h"
#include "project/CProject.h"
#include "project/CProjectLimits.h"
#include "render/CGifWriter.h"
#include "render/CMovieTimeline.h"
#include "render/CPictureExport.h"
#include "render/CPictureJob.h"
#include "render/CQtCanvas.h"
#include "render/CVideoWriter.h"
#include "view/CNothingToDraw.h"

namespace {
// The centisecond at which frame nFrame begins, rounded, so that the frames' lengths add up to
// the timeline's.
uint64_t Centiseconds(uint64_t nFrame, uint32_t nFps)
{
    return (nFrame * 100 + nFps / 2) / nFps;
}
} // namespace

CMovieExport::EFormat CMovieExport::FormatOf(const std::string& szPath)
{
    if (CPictureExport::HasExtension(szPath, ".gif"))
        return EFormat::Gif;
    if (CPictureExport::HasExtension(szPath, ".webm"))
        return EFormat::WebM;
    if (CPictureExport::HasExtension(szPath, ".mp4"))
        return EFormat::Mp4;
    return EFormat::Unknown;
}

double CMovieExport::Duration(const CProject& project)
{
    double dLength = 0.0;
    for (const CAnimationStep* pStep = project.m_pFirstStep; pStep; pStep = pStep->m_pNext) {
        const uint64_t nSamples = CProjectLimits::StepSamples(pStep->m_nCount);
        dLength += double(nSamples > 0 ? nSamples - 1 : 0) * pStep->m_nSpeed + double(pStep->m_nWait) * 1000.0;
    }
    return dLength;
}

bool CMovieExport::Export(CProject& project, const std::string& szPath, int32_t nWidth, int32_t nHeight, uint32_t nFps,
                          SResult& result, const std::function<bool(double, double)>& onFrame)
{
    const EFormat eFormat = FormatOf(szPath);
    if (eFormat == EFormat::Unknown || nFps < 1 || nFps > MAX_FPS)
        return false;
    const CVideoWriter::ECodec eCodec =
        eFormat == EFormat::WebM ? CVideoWriter::ECodec::Vp9 : CVideoWriter::ECodec::H264;
    if (eFormat != EFormat::Gif && CVideoWriter::EncoderName(eCodec).empty()) {
        result.szMissingEncoder = eCodec == CVideoWriter::ECodec::Vp9 ? "libvpx-vp9" : "libx264";
        return false;
    }
    try {
        // Into a temporary file beside the target, renamed over it only when complete: a failed,
        // stopped or interrupted export leaves the old file whole.
        CAtomicFile file(szPath);
        const auto Write = [&file](const void* pData, size_t nCount) { return file.Write(pData, nCount); };
        std::unique_ptr<CGifWriter> pGif;
        std::unique_ptr<CVideoWriter> pVideo;
        if (eFormat == EFormat::Gif) {
            pGif = std::make_unique<CGifWriter>(Write, nWidth, nHeight);
        } else {
            pVideo = std::make_unique<CVideoWriter>(
                Write, [&file](int64_t nPosition) { return file.Seek(nPosition); }, eCodec, nWidth, nHeight, nFps);
            if (!pVideo->Ready()) {
                file.Finish(); // the cause of a failed write, where there was one
                throw ELoadSaveError{0, EFileCause::WriteError};
            }
        }

        CPictureJob job(project, true, true);
        job.WalkAll();
        const CViewBox box = job.Range();
        result.bNothingToDraw = box.NothingToDraw();
        if (result.bNothingToDraw)
            CNothingToDraw::Cause(project, box, result.szWhy);
        QImage image(nWidth, nHeight, QImage::Format_RGB32);
        if (image.isNull())
            throw ELoadSaveError{0, EFileCause::OutOfMemory};
        QPainter painter(&image);
        CQtCanvas canvas(painter, false);
        const auto nW = static_cast<uint32_t>(nWidth);
        const auto nH = static_cast<uint32_t>(nHeight);
        CPictureJob::DrawLayers(project, box, canvas, nW, nH, 0, 0, true);
        job.Setup(box, nW, nH, 0, 0, 1);
        CMovieTimeline timeline(job);
        const double dLength = Duration(project);
        // Frame n shows the picture at its moment n / fps, for one frame's time; the film ends
        // with the frame during which the last step's wait runs out.
        bool bOk = true;
        for (uint64_t nFrame = 0; bOk; ++nFrame) {
            const double dAt = double(nFrame) * 1000.0 / nFps;
            timeline.DrawUntil(canvas, dAt);
            canvas.Flush();
            const auto* pPixels = reinterpret_cast<const uint32_t*>(image.constBits());
            const size_t nStride = static_cast<size_t>(image.bytesPerLine() / 4);
            bOk =
                pGif
                    ? pGif->AddFrame(pPixels, nStride,
                                     static_cast<uint32_t>(Centiseconds(nFrame + 1, nFps) - Centiseconds(nFrame, nFps)))
                    : pVideo->AddFrame(pPixels, nStride);
            result.nFrames = nFrame + 1;
            if (timeline.Done() && double(nFrame + 1) * 1000.0 / nFps >= timeline.Next() - 1e-6)
                break;
            if (onFrame && !onFrame(dAt, dLength)) {
                result.bCancelled = true;
                return false;
            }
        }
        bOk = bOk && (pGif ? pGif->Finish() : pVideo->Finish());
        result.bApproximated = pGif && pGif->Approximated();
        if (!bOk) {
            file.Finish();
            throw ELoadSaveError{0, EFileCause::WriteError};
        }
        painter.end();
        file.Commit();
    } catch (const ELoadSaveError& error) {
        result.eCause = error.m_eCause;
        return false;
    } catch (const std::bad_alloc&) {
        // The two pictures of a GIF, or the encoder's, at a size the memory does not hold.
        result.eCause = EFileCause::OutOfMemory;
        return false;
    }
    return true;
}
