#include "render/CVideoWriter.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace {
constexpr int IO_BUFFER_SIZE = 1 << 16;

// The video libraries bring the libraries of dozens of codecs with them, which cost a process some
// 25 MB of memory just by being loaded: they are opened when a film is made or asked about, the
// versions this program was built with (a library of another major version is another interface).
#define KX_VIDEO_FUNCTIONS(F)                                                                                          \
    F(pAvutil, av_dict_free)                                                                                           \
    F(pAvutil, av_dict_set)                                                                                            \
    F(pAvutil, av_frame_alloc)                                                                                         \
    F(pAvutil, av_frame_free)                                                                                          \
    F(pAvutil, av_frame_get_buffer)                                                                                    \
    F(pAvutil, av_frame_make_writable)                                                                                 \
    F(pAvutil, av_free)                                                                                                \
    F(pAvutil, av_freep)                                                                                               \
    F(pAvformat, av_interleaved_write_frame)                                                                           \
    F(pAvutil, av_log_set_level)                                                                                       \
    F(pAvutil, av_malloc)                                                                                              \
    F(pAvcodec, av_packet_alloc)                                                                                       \
    F(pAvcodec, av_packet_free)                                                                                        \
    F(pAvcodec, av_packet_rescale_ts)                                                                                  \
    F(pAvcodec, av_packet_unref)                                                                                       \
    F(pAvformat, av_write_trailer)                                                                                     \
    F(pAvcodec, avcodec_alloc_context3)                                                                                \
    F(pAvcodec, avcodec_find_encoder_by_name)                                                                          \
    F(pAvcodec, avcodec_free_context)                                                                                  \
    F(pAvcodec, avcodec_open2)                                                                                         \
    F(pAvcodec, avcodec_parameters_from_context)                                                                       \
    F(pAvcodec, avcodec_receive_packet)                                                                                \
    F(pAvcodec, avcodec_send_frame)                                                                                    \
    F(pAvcodec, avcodec_version)                                                                                       \
    F(pAvformat, avformat_alloc_output_context2)                                                                       \
    F(pAvformat, avformat_free_context)                                                                                \
    F(pAvformat, avformat_new_stream)                                                                                  \
    F(pAvformat, avformat_version)                                                                                     \
    F(pAvformat, avformat_write_header)                                                                                \
    F(pAvformat, avio_alloc_context)                                                                                   \
    F(pAvformat, avio_context_free)                                                                                    \
    F(pAvformat, avio_flush)                                                                                           \
    F(pAvutil, avutil_version)                                                                                         \
    F(pSwscale, sws_getContext)                                                                                        \
    F(pSwscale, sws_getCoefficients)                                                                                   \
    F(pSwscale, sws_setColorspaceDetails)                                                                              \
    F(pSwscale, sws_freeContext)                                                                                       \
    F(pSwscale, sws_scale)                                                                                             \
    F(pSwscale, swscale_version)

#define KX_TEXT(x) #x
#define KX_SONAME(name, major) "lib" name ".so." KX_TEXT(major)

struct SVideoLibraries {
#define KX_POINTER(lib, name) decltype(&::name) name = nullptr;
    KX_VIDEO_FUNCTIONS(KX_POINTER)
#undef KX_POINTER
    bool m_bLoaded = false;

    SVideoLibraries()
    {
        // The order of their dependencies: each finds the ones before it loaded.
        void* const pAvutil = dlopen(KX_SONAME("avutil", LIBAVUTIL_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL);
        void* const pSwscale =
            pAvutil ? dlopen(KX_SONAME("swscale", LIBSWSCALE_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL) : nullptr;
        void* const pAvcodec =
            pAvutil ? dlopen(KX_SONAME("avcodec", LIBAVCODEC_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL) : nullptr;
        void* const pAvformat =
            pAvcodec ? dlopen(KX_SONAME("avformat", LIBAVFORMAT_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL) : nullptr;
        if (!pAvutil || !pSwscale || !pAvcodec || !pAvformat)
            return;
        m_bLoaded = true;
#define KX_LOAD(lib, name)                                                                                             \
    name = reinterpret_cast<decltype(name)>(dlsym(lib, #name));                                                        \
    m_bLoaded = m_bLoaded && name;
        KX_VIDEO_FUNCTIONS(KX_LOAD)
#undef KX_LOAD
    }
};

// The libraries, or nullptr where they cannot be opened. They stay open until the program ends.
const SVideoLibraries* Video()
{
    static const SVideoLibraries libraries;
    return libraries.m_bLoaded ? &libraries : nullptr;
}

const char* EncoderOf(CVideoWriter::ECodec eCodec)
{
    return eCodec == CVideoWriter::ECodec::Vp9 ? "libvpx-vp9" : "libx264";
}
} // namespace

std::string CVideoWriter::EncoderName(ECodec eCodec)
{
    const SVideoLibraries* pV = Video();
    return pV && pV->avcodec_find_encoder_by_name(EncoderOf(eCodec)) ? EncoderOf(eCodec) : "";
}

std::string CVideoWriter::LibraryVersions()
{
    const SVideoLibraries* pV = Video();
    if (!pV)
        return "nicht gefunden";
    const auto Version = [](const char* pszName, unsigned nVersion) {
        return std::string(pszName) + " " + std::to_string(AV_VERSION_MAJOR(nVersion)) + "." +
               std::to_string(AV_VERSION_MINOR(nVersion)) + "." + std::to_string(AV_VERSION_MICRO(nVersion));
    };
    return Version("libavcodec", pV->avcodec_version()) + ", " + Version("libavformat", pV->avformat_version()) + ", " +
           Version("libswscale", pV->swscale_version()) + ", " + Version("libavutil", pV->avutil_version());
}

CVideoWriter::CVideoWriter(WriteFunction write, SeekFunction seek, ECodec eCodec, int32_t nWidth, int32_t nHeight,
                           uint32_t nFps)
    : m_Write(std::move(write)), m_SeekTo(std::move(seek)), m_nWidth(nWidth), m_nHeight(nHeight), m_nVideoWidth(nWidth),
      m_nVideoHeight(nHeight)
{
    const SVideoLibraries* pV = Video();
    if (!pV)
        return;
    // The libraries' notes and statistics are no news on the program's stderr.
    pV->av_log_set_level(AV_LOG_QUIET);
    if (eCodec == ECodec::H264) {
        m_nVideoWidth += nWidth & 1;
        m_nVideoHeight += nHeight & 1;
    }
    const AVCodec* pCodec = pV->avcodec_find_encoder_by_name(EncoderOf(eCodec));
    if (!pCodec ||
        pV->avformat_alloc_output_context2(&m_pFormat, nullptr, eCodec == ECodec::Vp9 ? "webm" : "mp4", nullptr) < 0)
        return;
    m_pCodec = pV->avcodec_alloc_context3(pCodec);
    m_pStream = pV->avformat_new_stream(m_pFormat, nullptr);
    m_pFrame = pV->av_frame_alloc();
    m_pPacket = pV->av_packet_alloc();
    if (!m_pCodec || !m_pStream || !m_pFrame || !m_pPacket)
        return;
    const int nRate = static_cast<int>(nFps);
    m_pCodec->width = m_nVideoWidth;
    m_pCodec->height = m_nVideoHeight;
    m_pCodec->time_base = AVRational{1, nRate};
    m_pCodec->framerate = AVRational{nRate, 1};
    m_pCodec->pix_fmt = AV_PIX_FMT_YUV420P;
    m_pCodec->gop_size = 10 * nRate; // a key frame every ten seconds, for seeking
    m_pCodec->thread_count = 0;      // as many as there are processors
    // The pictures' sRGB colours, converted and marked as BT.709 (what players assume for them).
    m_pCodec->color_range = AVCOL_RANGE_MPEG;
    m_pCodec->colorspace = AVCOL_SPC_BT709;
    m_pCodec->color_primaries = AVCOL_PRI_BT709;
    m_pCodec->color_trc = AVCOL_TRC_BT709;
    if (m_pFormat->oformat->flags & AVFMT_GLOBALHEADER)
        m_pCodec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* pOptions = nullptr;
    if (eCodec == ECodec::Vp9) {
        // Constant quality. The encoder's real-time mode takes a tenth of the time of its "good"
        // one on these flat pictures (animation.kvx: 2.6 s instead of 24 s) for a file a third
        // larger, and nothing lost to see.
        pV->av_dict_set(&pOptions, "crf", "32", 0);
        pV->av_dict_set(&pOptions, "b", "0", 0);
        pV->av_dict_set(&pOptions, "deadline", "realtime", 0);
        pV->av_dict_set(&pOptions, "cpu-used", "5", 0);
        pV->av_dict_set(&pOptions, "row-mt", "1", 0);
    } else {
        pV->av_dict_set(&pOptions, "crf", "23", 0);
        pV->av_dict_set(&pOptions, "preset", "medium", 0);
        pV->av_dict_set(&pOptions, "tune", "animation", 0);
    }
    const int nOpened = pV->avcodec_open2(m_pCodec, pCodec, &pOptions);
    pV->av_dict_free(&pOptions);
    if (nOpened < 0 || pV->avcodec_parameters_from_context(m_pStream->codecpar, m_pCodec) < 0)
        return;
    m_pStream->time_base = m_pCodec->time_base;
    m_pStream->avg_frame_rate = m_pCodec->framerate;
    m_pFrame->format = AV_PIX_FMT_YUV420P;
    m_pFrame->width = m_nVideoWidth;
    m_pFrame->height = m_nVideoHeight;
    if (pV->av_frame_get_buffer(m_pFrame, 0) < 0)
        return;
    m_pFrame->color_range = AVCOL_RANGE_MPEG;
    m_pFrame->colorspace = AVCOL_SPC_BT709;
    m_pScale = pV->sws_getContext(m_nVideoWidth, m_nVideoHeight, AV_PIX_FMT_RGB32, m_nVideoWidth, m_nVideoHeight,
                                  AV_PIX_FMT_YUV420P, SWS_BILINEAR | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    if (!m_pScale)
        return;
    const int* pCoefficients = pV->sws_getCoefficients(SWS_CS_ITU709);
    pV->sws_setColorspaceDetails(m_pScale, pCoefficients, 1, pCoefficients, 0, 0, 1 << 16, 1 << 16);
    if (m_nVideoWidth != nWidth || m_nVideoHeight != nHeight)
        m_Padded.resize(size_t(m_nVideoWidth) * size_t(m_nVideoHeight));
    auto* pBuffer = static_cast<unsigned char*>(pV->av_malloc(IO_BUFFER_SIZE));
    if (!pBuffer)
        return;
    m_pIo = pV->avio_alloc_context(pBuffer, IO_BUFFER_SIZE, 1, this, nullptr, WritePacket, Seek);
    if (!m_pIo) {
        pV->av_free(pBuffer);
        return;
    }
    m_pFormat->pb = m_pIo;
    m_bOk = true; // the writes of the header report their failure through it
    m_bOk = pV->avformat_write_header(m_pFormat, nullptr) >= 0 && m_bOk;
}

CVideoWriter::~CVideoWriter()
{
    m_bOk = false; // an unfinished file is given up: nothing more is written
    const SVideoLibraries* pV = Video();
    if (!pV)
        return; // nothing was made
    pV->avcodec_free_context(&m_pCodec);
    pV->av_frame_free(&m_pFrame);
    pV->av_packet_free(&m_pPacket);
    pV->sws_freeContext(m_pScale);
    pV->avformat_free_context(m_pFormat);
    if (m_pIo) {
        pV->av_freep(&m_pIo->buffer);
        pV->avio_context_free(&m_pIo);
    }
}

int CVideoWriter::WritePacket(void* pOpaque, uint8_t* pData, int nCount)
{
    auto* pThis = static_cast<CVideoWriter*>(pOpaque);
    if (!pThis->m_bOk || !pThis->m_Write(pData, static_cast<size_t>(nCount))) {
        pThis->m_bOk = false;
        return AVERROR(EIO);
    }
    pThis->m_nPosition += nCount;
    pThis->m_nSize = std::max(pThis->m_nSize, pThis->m_nPosition);
    return nCount;
}

int64_t CVideoWriter::Seek(void* pOpaque, int64_t nOffset, int nWhence)
{
    auto* pThis = static_cast<CVideoWriter*>(pOpaque);
    int64_t nTarget;
    switch (nWhence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE: return pThis->m_nSize;
    case SEEK_SET: nTarget = nOffset; break;
    case SEEK_CUR: nTarget = pThis->m_nPosition + nOffset; break;
    case SEEK_END: nTarget = pThis->m_nSize + nOffset; break;
    default: return AVERROR(EINVAL);
    }
    if (!pThis->m_bOk || nTarget < 0 || !pThis->m_SeekTo(nTarget)) {
        pThis->m_bOk = false;
        return AVERROR(EIO);
    }
    pThis->m_nPosition = nTarget;
    return nTarget;
}

bool CVideoWriter::AddFrame(const uint32_t* pPixels, size_t nStride)
{
    const SVideoLibraries* pV = Video(); // there, where m_bOk
    if (!m_bOk || pV->av_frame_make_writable(m_pFrame) < 0)
        return m_bOk = false;
    if (!m_Padded.empty()) {
        const size_t nWidth = static_cast<size_t>(m_nWidth);
        const size_t nVideoWidth = static_cast<size_t>(m_nVideoWidth);
        for (int32_t y = 0; y < m_nVideoHeight; ++y) {
            const uint32_t* pFrom = pPixels + size_t(std::min(y, m_nHeight - 1)) * nStride;
            uint32_t* pTo = &m_Padded[size_t(y) * nVideoWidth];
            std::memcpy(pTo, pFrom, nWidth * 4);
            if (nVideoWidth > nWidth)
                pTo[nWidth] = pFrom[nWidth - 1];
        }
        pPixels = m_Padded.data();
        nStride = nVideoWidth;
    }
    const uint8_t* pSlices[1] = {reinterpret_cast<const uint8_t*>(pPixels)};
    const int nStrides[1] = {static_cast<int>(nStride * 4)};
    pV->sws_scale(m_pScale, pSlices, nStrides, 0, m_nVideoHeight, m_pFrame->data, m_pFrame->linesize);
    m_pFrame->pts = m_nNextPts++;
    return Encode(m_pFrame);
}

bool CVideoWriter::Encode(AVFrame* pFrame)
{
    const SVideoLibraries* pV = Video(); // there, where m_bOk
    if (pV->avcodec_send_frame(m_pCodec, pFrame) < 0)
        return m_bOk = false;
    for (;;) {
        const int nResult = pV->avcodec_receive_packet(m_pCodec, m_pPacket);
        if (nResult == AVERROR(EAGAIN) || nResult == AVERROR_EOF)
            return m_bOk;
        if (nResult < 0)
            return m_bOk = false;
        // Every frame lasts one frame's time, the last one too.
        if (m_pPacket->duration == 0)
            m_pPacket->duration = 1;
        pV->av_packet_rescale_ts(m_pPacket, m_pCodec->time_base, m_pStream->time_base);
        m_pPacket->stream_index = m_pStream->index;
        if (pV->av_interleaved_write_frame(m_pFormat, m_pPacket) < 0)
            m_bOk = false;
        pV->av_packet_unref(m_pPacket);
        if (!m_bOk)
            return false;
    }
}

bool CVideoWriter::Finish()
{
    const SVideoLibraries* pV = Video(); // there, where m_bOk
    if (!m_bOk || !Encode(nullptr))
        return m_bOk = false;
    if (pV->av_write_trailer(m_pFormat) < 0)
        m_bOk = false;
    pV->avio_flush(m_pIo);
    return m_bOk && m_pIo->error >= 0;
}
