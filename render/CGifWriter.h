#pragma once
// An animated GIF, written frame by frame as the frames come: lossless where a frame has at most
// 256 colours (the aliased pictures have a handful), looping without end. A frame that equals
// the one before lengthens it; any other is stored as the rectangle of the pixels that changed,
// the unchanged ones in it transparent, so that a curve drawn on costs only its new pixels.
// Two pictures are kept (the one shown and the one waiting for its length), nothing more.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct GifFileType;

class CGifWriter {
public:
    // Where the bytes go; false stops the writing.
    using WriteFunction = std::function<bool(const void* pData, size_t nCount)>;

    CGifWriter(WriteFunction write, int32_t nWidth, int32_t nHeight);
    ~CGifWriter();
    CGifWriter(const CGifWriter&) = delete;
    CGifWriter& operator=(const CGifWriter&) = delete;

    // A picture of 0x..RRGGBB pixels, nStride pixels a row, shown for nCentiseconds after the
    // ones before. False once anything failed.
    bool AddFrame(const uint32_t* pPixels, size_t nStride, uint32_t nCentiseconds);
    // Writes the last frame and the end of the file; false where anything failed.
    bool Finish();
    // A frame had more than 256 colours: it was stored in a fixed palette of 252, the nearest
    // colour for each pixel, without dithering.
    bool Approximated() const { return m_bApproximated; }
    // giflib's version, as built against (the library tells no other).
    static std::string LibraryVersion();

private:
    static int Output(GifFileType* pGif, const unsigned char* pData, int nCount);
    bool Flush();
    // The waiting picture, as the difference from the one shown, for nCentiseconds.
    bool WritePending();
    bool WriteImage(int32_t nLeft, int32_t nTop, int32_t nWidth, int32_t nHeight, uint32_t nCentiseconds);
    bool WriteEmpty(uint32_t nCentiseconds); // a transparent pixel that only adds time
    bool WriteControl(uint32_t nCentiseconds, int nTransparent);

    WriteFunction m_Write;
    GifFileType* m_pGif = nullptr;
    int32_t m_nWidth;
    int32_t m_nHeight;
    std::vector<uint32_t> m_Shown;   // what the file shows after the frames written
    std::vector<uint32_t> m_Pending; // the last frame, not yet written: its length grows
    uint32_t m_nPendingTime = 0;
    bool m_bHasPending = false;
    bool m_bHasShown = false;
    bool m_bOk = true;
    bool m_bApproximated = false;
    std::string m_szBuffer;
    std::vector<unsigned char> m_Line;
};
