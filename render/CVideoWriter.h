#pragma once
// A video, written frame by frame as the frames come, through FFmpeg's libraries: VP9 in WebM or
// H.264 in MP4, 4:2:0 as players expect, at a constant frame rate. H.264 in 4:2:0 needs even
// sides: an odd width or height gets one more column or row, a copy of the last.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVIOContext;
struct AVPacket;
struct AVStream;
struct SwsContext;

class CVideoWriter {
public:
    enum class ECodec { Vp9, H264 };
    // Where the bytes go, and where the container goes back to (a position from the start);
    // false stops the writing.
    using WriteFunction = std::function<bool(const void* pData, size_t nCount)>;
    using SeekFunction = std::function<bool(int64_t nPosition)>;

    // Ready() tells whether the encoder could be set up.
    CVideoWriter(WriteFunction write, SeekFunction seek, ECodec eCodec, int32_t nWidth, int32_t nHeight, uint32_t nFps);
    ~CVideoWriter();
    CVideoWriter(const CVideoWriter&) = delete;
    CVideoWriter& operator=(const CVideoWriter&) = delete;

    bool Ready() const { return m_bOk; }
    // A picture of 0x..RRGGBB pixels, nStride pixels a row, shown for one frame. False once
    // anything failed.
    bool AddFrame(const uint32_t* pPixels, size_t nStride);
    // Drains the encoder and writes the end of the file; false where anything failed.
    bool Finish();
    // The width and height the video has (even where H.264 needs it).
    int32_t VideoWidth() const { return m_nVideoWidth; }
    int32_t VideoHeight() const { return m_nVideoHeight; }
    // The encoder's name, or "", when there is none for the codec.
    static std::string EncoderName(ECodec eCodec);
    // The versions of the FFmpeg libraries the program runs with: "libavcodec 59.37.100, ...".
    static std::string LibraryVersions();

private:
    static int WritePacket(void* pOpaque, uint8_t* pData, int nCount);
    static int64_t Seek(void* pOpaque, int64_t nOffset, int nWhence);
    bool Encode(AVFrame* pFrame); // null drains

    WriteFunction m_Write;
    SeekFunction m_SeekTo;
    int32_t m_nWidth;
    int32_t m_nHeight;
    int32_t m_nVideoWidth;
    int32_t m_nVideoHeight;
    AVFormatContext* m_pFormat = nullptr;
    AVCodecContext* m_pCodec = nullptr;
    AVStream* m_pStream = nullptr;
    AVIOContext* m_pIo = nullptr;
    AVFrame* m_pFrame = nullptr;
    AVPacket* m_pPacket = nullptr;
    SwsContext* m_pScale = nullptr;
    std::vector<uint32_t> m_Padded; // a picture of odd sides, with its last column or row again
    int64_t m_nNextPts = 0;
    int64_t m_nPosition = 0; // of the next write
    int64_t m_nSize = 0;     // of the file so far
    bool m_bOk = false;
};
