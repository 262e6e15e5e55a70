// The storyboard as a film: the GIF's frames and their lengths follow the steps' speeds and
// waits, the picture at the end is the finished one pixel for pixel, videos read back with
// their frames and size, and a stopped export leaves the target as it was.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <gif_lib.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "project/CProject.h"
#include "render/CGifWriter.h"
#include "render/CMovieExport.h"
#include "render/CPictureExport.h"

namespace {
struct SStep {
    uint32_t nSpeed;
    uint32_t nWait;
    uint32_t nIntervals; // samples less one
};

// f1 = x across the view, one step after another, each in another colour.
void MakeProject(CProject& project, const std::vector<SStep>& steps)
{
    project.SetOption(OPT_XMIN, 0);
    project.SetOption(OPT_XMAX, 10);
    project.SetOption(OPT_YMIN, 0);
    project.SetOption(OPT_YMAX, 10);
    project.SetFlag(FLAG_XAUTO, false);
    project.SetFlag(FLAG_YAUTO, false);
    project.SetFunction(1, "x");
    CAnimationStep* pStep = project.m_pFirstStep;
    for (size_t i = 0; i < steps.size(); ++i) {
        if (i > 0)
            pStep = project.InsertStep(std::make_unique<CAnimationStep>(), nullptr);
        pStep->m_bVisible[0] = true;
        pStep->m_nColor[0] = static_cast<uint32_t>(9 + i);
        pStep->m_dMin[0] = 0.0;
        pStep->m_dStep[0] = 10.0 / steps[i].nIntervals;
        pStep->m_nCount[0] = steps[i].nIntervals;
        pStep->m_nSpeed = steps[i].nSpeed;
        pStep->m_nWait = steps[i].nWait;
    }
}

std::string TempPath(const char* pszName)
{
    return ::testing::TempDir() + pszName;
}

struct SGif {
    std::vector<int> delays;
    bool bLoops = false;
    QImage last; // every frame laid over the ones before
};

SGif ReadGif(const std::string& szPath)
{
    SGif gif;
    int nError = 0;
    GifFileType* pGif = DGifOpenFileName(szPath.c_str(), &nError);
    if (!pGif || DGifSlurp(pGif) != GIF_OK) {
        ADD_FAILURE() << "kein GIF: " << szPath;
        return gif;
    }
    gif.last = QImage(pGif->SWidth, pGif->SHeight, QImage::Format_RGB32);
    gif.last.fill(0);
    for (int i = 0; i < pGif->ImageCount; ++i) {
        const SavedImage& image = pGif->SavedImages[i];
        GraphicsControlBlock control;
        DGifSavedExtensionToGCB(pGif, i, &control);
        gif.delays.push_back(control.DelayTime);
        EXPECT_EQ(control.DisposalMode, DISPOSE_DO_NOT);
        for (int e = 0; e < image.ExtensionBlockCount; ++e) {
            const ExtensionBlock& block = image.ExtensionBlocks[e];
            if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
                std::string(reinterpret_cast<const char*>(block.Bytes), 11) == "NETSCAPE2.0")
                gif.bLoops = e + 1 < image.ExtensionBlockCount && image.ExtensionBlocks[e + 1].ByteCount == 3 &&
                             image.ExtensionBlocks[e + 1].Bytes[1] == 0 && image.ExtensionBlocks[e + 1].Bytes[2] == 0;
        }
        const ColorMapObject* pMap = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : pGif->SColorMap;
        if (!pMap) {
            ADD_FAILURE() << "Bild " << i << " ohne Farben";
            continue;
        }
        const GifImageDesc& desc = image.ImageDesc;
        for (int y = 0; y < desc.Height; ++y)
            for (int x = 0; x < desc.Width; ++x) {
                const int n = image.RasterBits[y * desc.Width + x];
                if (n == control.TransparentColor)
                    continue;
                const GifColorType c = pMap->Colors[n];
                gif.last.setPixel(desc.Left + x, desc.Top + y, qRgb(c.Red, c.Green, c.Blue));
            }
    }
    DGifCloseFile(pGif, &nError);
    return gif;
}

// Frames and size of a video, as FFmpeg's libraries read it back.
struct SVideo {
    int nFrames = 0;
    int nWidth = 0;
    int nHeight = 0;
    std::string szCodec;
};

SVideo ReadVideo(const std::string& szPath)
{
    SVideo video;
    AVFormatContext* pFormat = nullptr;
    if (avformat_open_input(&pFormat, szPath.c_str(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(pFormat, nullptr) < 0 || pFormat->nb_streams != 1) {
        ADD_FAILURE() << "kein Film: " << szPath;
        avformat_close_input(&pFormat);
        return video;
    }
    const AVCodecParameters* pParameters = pFormat->streams[0]->codecpar;
    const AVCodec* pCodec = avcodec_find_decoder(pParameters->codec_id);
    AVCodecContext* pContext = avcodec_alloc_context3(pCodec);
    avcodec_parameters_to_context(pContext, pParameters);
    video.szCodec = pCodec->name;
    if (avcodec_open2(pContext, pCodec, nullptr) == 0) {
        AVPacket* pPacket = av_packet_alloc();
        AVFrame* pFrame = av_frame_alloc();
        const auto Receive = [&] {
            while (avcodec_receive_frame(pContext, pFrame) == 0) {
                ++video.nFrames;
                video.nWidth = pFrame->width;
                video.nHeight = pFrame->height;
            }
        };
        while (av_read_frame(pFormat, pPacket) >= 0) {
            avcodec_send_packet(pContext, pPacket);
            av_packet_unref(pPacket);
            Receive();
        }
        avcodec_send_packet(pContext, nullptr);
        Receive();
        av_frame_free(&pFrame);
        av_packet_free(&pPacket);
    }
    avcodec_free_context(&pContext);
    avformat_close_input(&pFormat);
    return video;
}

std::string ReadFile(const std::string& szPath)
{
    std::ifstream file(szPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The names in the test's folder that begin with szPrefix.
std::vector<std::string> FilesLike(const std::string& szPrefix)
{
    std::vector<std::string> names;
    const std::string szDir = ::testing::TempDir();
    DIR* pDir = opendir(szDir.c_str());
    while (const dirent* pEntry = pDir ? readdir(pDir) : nullptr)
        if (std::string(pEntry->d_name).rfind(szPrefix, 0) == 0)
            names.emplace_back(pEntry->d_name);
    if (pDir)
        closedir(pDir);
    return names;
}
} // namespace

// A frame lasts as long as the picture stays the same: the samples at the steps' speeds, the
// waits after them, at frame rates that divide a second into whole centiseconds and into
// others; a wait longer than one frame's field holds is split. The film ends on the finished
// picture, the same pixels as the picture file, and loops.
TEST(MovieExport, GifFramesFollowTheStoryboard)
{
    struct SRow {
        const char* pszName;
        uint32_t nFps;
        std::vector<SStep> steps;
        std::vector<int> delays;
    } rows[] = {
        {"two steps at once, then their waits", 25, {{0, 1, 10}, {0, 2, 10}}, {100, 200}},
        {"a sample a frame", 25, {{40, 0, 4}}, {4, 4, 4, 4, 4}},
        {"samples slower than the frames", 10, {{250, 1, 2}}, {30, 20, 100}},
        {"thirty frames a second", 30, {{0, 1, 10}, {0, 1, 10}}, {100, 100}},
        {"a paced step after one at once", 25, {{0, 0, 10}, {120, 1, 2}}, {12, 12, 100}},
        {"a wait beyond a frame's field", 1, {{0, 700, 10}}, {65535, 4465}},
    };
    const std::string szPath = TempPath("film.gif");
    for (const SRow& row : rows) {
        CProject project;
        MakeProject(project, row.steps);
        CMovieExport::SResult result;
        ASSERT_TRUE(CMovieExport::Export(project, szPath, 40, 30, row.nFps, result)) << row.pszName;
        EXPECT_FALSE(result.bApproximated) << row.pszName;
        const SGif gif = ReadGif(szPath);
        EXPECT_EQ(gif.delays, row.delays) << row.pszName;
        EXPECT_TRUE(gif.bLoops) << row.pszName;
        bool bNothing = false;
        ASSERT_TRUE(CPictureExport::Export(project, TempPath("film.png"), 40, 30, bNothing));
        EXPECT_EQ(gif.last, QImage(QString::fromStdString(TempPath("film.png"))).convertToFormat(QImage::Format_RGB32))
            << row.pszName;
    }
}

// WebM and MP4 hold one frame per frame's time, at the picture's size (H.264 one column and row
// more where the sides are odd).
TEST(MovieExport, VideosReadBackWithTheirFramesAndSize)
{
    CProject project;
    MakeProject(project, {{0, 1, 10}, {100, 0, 4}});
    struct SRow {
        const char* pszFile;
        const char* pszCodec;
        int nWidth;
        int nHeight;
    } rows[] = {{"film.webm", "vp9", 41, 31}, {"film.mp4", "h264", 42, 32}};
    for (const SRow& row : rows) {
        CMovieExport::SResult result;
        ASSERT_TRUE(CMovieExport::Export(project, TempPath(row.pszFile), 41, 31, 10, result)) << row.pszFile;
        EXPECT_EQ(result.nFrames, 15u) << row.pszFile; // 1 s of wait, 0.4 s of samples, the last frame
        const SVideo video = ReadVideo(TempPath(row.pszFile));
        EXPECT_EQ(video.nFrames, 15) << row.pszFile;
        EXPECT_EQ(video.szCodec.substr(0, 3), std::string(row.pszCodec).substr(0, 3)) << row.pszFile;
        EXPECT_EQ(video.nWidth, row.nWidth) << row.pszFile;
        EXPECT_EQ(video.nHeight, row.nHeight) << row.pszFile;
    }
}

// Stopped after some frames, or unable to write, an export leaves the old file as it was and no
// temporary file beside it.
TEST(MovieExport, StoppedOrFailedLeavesTheTargetAsItWas)
{
    CProject project;
    MakeProject(project, {{40, 1, 100}});
    for (const char* pszFile : {"kept.gif", "kept.webm", "kept.mp4"}) {
        const std::string szPath = TempPath(pszFile);
        std::ofstream(szPath) << "alt";
        CMovieExport::SResult result;
        int nFrames = 0;
        EXPECT_FALSE(CMovieExport::Export(project, szPath, 40, 30, 25, result, [&](double dAt, double dLength) {
            EXPECT_DOUBLE_EQ(dLength, 5000.0); // 100 samples after the first, 40 ms each, and 1 s
            EXPECT_DOUBLE_EQ(dAt, nFrames * 40.0);
            return ++nFrames < 10;
        }));
        EXPECT_TRUE(result.bCancelled);
        EXPECT_EQ(ReadFile(szPath), "alt") << pszFile;
        EXPECT_EQ(FilesLike(pszFile).size(), 1u) << pszFile;
    }
    CMovieExport::SResult result;
    EXPECT_FALSE(CMovieExport::Export(project, TempPath("kein/film.gif"), 40, 30, 25, result));
    EXPECT_EQ(result.eCause, EFileCause::FolderNotFound);
}

// A frame of more than 256 colours is stored in the fixed palette, each channel within half a
// level of the truth, and said to be; a frame of few colours after it is exact again.
TEST(MovieExport, GifOfManyColoursIsApproximatedHonestly)
{
    QImage noise(32, 16, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, qRgb(x * 8, y * 16, (x * 37 + y * 11) & 0xFF));
    QImage few = noise.copy();
    few.fill(qRgb(1, 2, 3));
    few.setPixel(5, 5, qRgb(250, 0, 7));
    const std::string szPath = TempPath("colours.gif");
    const auto Write = [&](const std::vector<const QImage*>& frames) {
        std::ofstream file(szPath, std::ios::binary);
        CGifWriter gif(
            [&](const void* pData, size_t nCount) {
                return bool(file.write(static_cast<const char*>(pData), static_cast<std::streamsize>(nCount)));
            },
            noise.width(), noise.height());
        for (const QImage* pFrame : frames)
            EXPECT_TRUE(gif.AddFrame(reinterpret_cast<const uint32_t*>(pFrame->constBits()),
                                     static_cast<size_t>(pFrame->bytesPerLine() / 4), 10));
        EXPECT_TRUE(gif.Finish());
        return gif.Approximated();
    };
    EXPECT_TRUE(Write({&noise, &noise}));
    SGif gif = ReadGif(szPath);
    EXPECT_EQ(gif.delays, std::vector<int>{20});
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x) {
            const QRgb a = noise.pixel(x, y), b = gif.last.pixel(x, y);
            EXPECT_LE(std::abs(qRed(a) - qRed(b)), 26) << x << "," << y;
            EXPECT_LE(std::abs(qGreen(a) - qGreen(b)), 22) << x << "," << y;
            EXPECT_LE(std::abs(qBlue(a) - qBlue(b)), 26) << x << "," << y;
        }
    Write({&noise, &few});
    gif = ReadGif(szPath);
    EXPECT_EQ(gif.delays, (std::vector<int>{10, 10}));
    EXPECT_EQ(gif.last, few);
}
