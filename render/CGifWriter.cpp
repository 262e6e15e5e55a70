#include "render/CGifWriter.h"

#include <algorithm>
#include <cstring>
#include <gif_lib.h>
#include <unordered_map>

namespace {
constexpr uint32_t RGB_MASK = 0xFFFFFF;
constexpr uint32_t MAX_DELAY = 65535; // centiseconds a frame's field holds
constexpr size_t BUFFER_SIZE = 1 << 16;

// The fixed palette of the pictures with more colours: 6 reds, 7 greens, 6 blues.
uint8_t FixedIndex(uint32_t nColor)
{
    const auto Level = [](uint32_t c, uint32_t nLevels) { return (c * (nLevels - 1) + 127) / 255; };
    return static_cast<uint8_t>((Level((nColor >> 16) & 0xFF, 6) * 7 + Level((nColor >> 8) & 0xFF, 7)) * 6 +
                                Level(nColor & 0xFF, 6));
}

uint32_t FixedColor(unsigned nIndex)
{
    const auto Value = [](unsigned n, unsigned nLevels) { return (n * 255 + (nLevels - 1) / 2) / (nLevels - 1); };
    return Value(nIndex / 42, 6) << 16 | Value(nIndex / 6 % 7, 7) << 8 | Value(nIndex % 6, 6);
}

// A colour map of the colours, padded to the power of two the format needs (two at least).
ColorMapObject* MakeMap(const std::vector<uint32_t>& colors)
{
    int nSize = 2;
    while (nSize < static_cast<int>(colors.size()))
        nSize *= 2;
    std::vector<GifColorType> entries(static_cast<size_t>(nSize), GifColorType{0, 0, 0});
    for (size_t i = 0; i < colors.size(); ++i)
        entries[i] = GifColorType{static_cast<GifByteType>(colors[i] >> 16), static_cast<GifByteType>(colors[i] >> 8),
                                  static_cast<GifByteType>(colors[i])};
    return GifMakeMapObject(nSize, entries.data());
}
} // namespace

std::string CGifWriter::LibraryVersion()
{
    return std::to_string(GIFLIB_MAJOR) + "." + std::to_string(GIFLIB_MINOR) + "." + std::to_string(GIFLIB_RELEASE);
}

CGifWriter::CGifWriter(WriteFunction write, int32_t nWidth, int32_t nHeight)
    : m_Write(std::move(write)), m_nWidth(nWidth), m_nHeight(nHeight)
{
    const size_t nPixels = static_cast<size_t>(nWidth) * static_cast<size_t>(nHeight);
    m_Shown.resize(nPixels);
    m_Pending.resize(nPixels);
    m_Line.resize(static_cast<size_t>(nWidth));
    m_szBuffer.reserve(BUFFER_SIZE);
    int nError = 0;
    m_pGif = EGifOpen(this, Output, &nError);
    if (!m_pGif) {
        m_bOk = false;
        return;
    }
    EGifSetGifVersion(m_pGif, true);
    // Looping without end: the application block browsers and viewers read for it.
    static const GifByteType LOOP[3] = {1, 0, 0};
    m_bOk = EGifPutScreenDesc(m_pGif, nWidth, nHeight, 8, 0, nullptr) == GIF_OK &&
            EGifPutExtensionLeader(m_pGif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
            EGifPutExtensionBlock(m_pGif, 11, "NETSCAPE2.0") == GIF_OK &&
            EGifPutExtensionBlock(m_pGif, 3, LOOP) == GIF_OK && EGifPutExtensionTrailer(m_pGif) == GIF_OK;
}

CGifWriter::~CGifWriter()
{
    m_bOk = false; // an unfinished file is given up: nothing more is written
    if (m_pGif)
        EGifCloseFile(m_pGif, nullptr);
}

int CGifWriter::Output(GifFileType* pGif, const unsigned char* pData, int nCount)
{
    auto* pThis = static_cast<CGifWriter*>(pGif->UserData);
    if (!pThis->m_bOk)
        return 0;
    pThis->m_szBuffer.append(reinterpret_cast<const char*>(pData), static_cast<size_t>(nCount));
    if (pThis->m_szBuffer.size() >= BUFFER_SIZE && !pThis->Flush())
        return 0;
    return nCount;
}

bool CGifWriter::Flush()
{
    if (!m_szBuffer.empty() && !m_Write(m_szBuffer.data(), m_szBuffer.size()))
        m_bOk = false;
    m_szBuffer.clear();
    return m_bOk;
}

bool CGifWriter::AddFrame(const uint32_t* pPixels, size_t nStride, uint32_t nCentiseconds)
{
    if (!m_bOk)
        return false;
    const size_t nWidth = static_cast<size_t>(m_nWidth);
    bool bSame = m_bHasPending;
    for (int32_t y = 0; y < m_nHeight && bSame; ++y)
        bSame = std::memcmp(pPixels + size_t(y) * nStride, &m_Pending[size_t(y) * nWidth], nWidth * 4) == 0;
    if (!bSame) {
        if (m_bHasPending && !WritePending())
            return false;
        for (int32_t y = 0; y < m_nHeight; ++y)
            std::memcpy(&m_Pending[size_t(y) * nWidth], pPixels + size_t(y) * nStride, nWidth * 4);
        m_bHasPending = true;
        m_nPendingTime = 0;
    }
    m_nPendingTime = m_nPendingTime + nCentiseconds < m_nPendingTime ? UINT32_MAX : m_nPendingTime + nCentiseconds;
    return true;
}

bool CGifWriter::WritePending()
{
    // The rectangle of the pixels that differ from what is shown.
    const size_t nWidth = static_cast<size_t>(m_nWidth);
    int32_t nLeft = m_nWidth, nRight = -1, nTop = m_nHeight, nBottom = -1;
    for (int32_t y = 0; y < m_nHeight; ++y) {
        const uint32_t* pNew = &m_Pending[size_t(y) * nWidth];
        const uint32_t* pOld = &m_Shown[size_t(y) * nWidth];
        if (m_bHasShown && std::memcmp(pNew, pOld, nWidth * 4) == 0)
            continue;
        int32_t x0 = 0, x1 = m_nWidth - 1;
        if (m_bHasShown) {
            while (pNew[x0] == pOld[x0])
                ++x0;
            while (pNew[x1] == pOld[x1])
                --x1;
        }
        nLeft = std::min(nLeft, x0);
        nRight = std::max(nRight, x1);
        nTop = std::min(nTop, y);
        nBottom = y;
    }
    uint32_t nTime = m_nPendingTime;
    const uint32_t nFirst = std::min(nTime, MAX_DELAY);
    if (nRight < 0 ? !WriteEmpty(nFirst) : !WriteImage(nLeft, nTop, nRight - nLeft + 1, nBottom - nTop + 1, nFirst))
        return false;
    // Longer than one frame can say: the rest as frames that change nothing.
    for (nTime -= nFirst; nTime > 0; nTime -= std::min(nTime, MAX_DELAY))
        if (!WriteEmpty(std::min(nTime, MAX_DELAY)))
            return false;
    m_Shown.swap(m_Pending);
    m_bHasShown = true;
    m_bHasPending = false;
    return Flush();
}

bool CGifWriter::WriteControl(uint32_t nCentiseconds, int nTransparent)
{
    GraphicsControlBlock control;
    control.DisposalMode = DISPOSE_DO_NOT;
    control.UserInputFlag = false;
    control.DelayTime = static_cast<int>(nCentiseconds);
    control.TransparentColor = nTransparent;
    GifByteType extension[4];
    const size_t nLength = EGifGCBToExtension(&control, extension);
    return EGifPutExtension(m_pGif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(nLength), extension) == GIF_OK;
}

bool CGifWriter::WriteEmpty(uint32_t nCentiseconds)
{
    ColorMapObject* pMap = MakeMap({0});
    unsigned char nPixel = 0;
    m_bOk = pMap && WriteControl(nCentiseconds, 0) && EGifPutImageDesc(m_pGif, 0, 0, 1, 1, false, pMap) == GIF_OK &&
            EGifPutLine(m_pGif, &nPixel, 1) == GIF_OK;
    GifFreeMapObject(pMap);
    return m_bOk;
}

bool CGifWriter::WriteImage(int32_t nLeft, int32_t nTop, int32_t nWidth, int32_t nHeight, uint32_t nCentiseconds)
{
    const size_t nStride = static_cast<size_t>(m_nWidth);
    const auto Pixel = [&](const std::vector<uint32_t>& picture, int32_t x, int32_t y) {
        return picture[size_t(nTop + y) * nStride + size_t(nLeft + x)] & RGB_MASK;
    };
    const auto Changed = [&](int32_t x, int32_t y) {
        return !m_bHasShown || Pixel(m_Pending, x, y) != Pixel(m_Shown, x, y);
    };
    // The colours of the changed pixels, with one index left for the unchanged ones; or, where
    // that is too many, of all pixels in the rectangle; or the fixed palette.
    std::unordered_map<uint32_t, unsigned> index;
    std::vector<uint32_t> colors;
    const auto Collect = [&](bool bChangedOnly, size_t nLimit) {
        index.clear();
        colors.clear();
        for (int32_t y = 0; y < nHeight; ++y)
            for (int32_t x = 0; x < nWidth; ++x) {
                if (bChangedOnly && !Changed(x, y))
                    continue;
                const uint32_t nColor = Pixel(m_Pending, x, y);
                if (index.emplace(nColor, static_cast<unsigned>(colors.size())).second) {
                    colors.push_back(nColor);
                    if (colors.size() > nLimit)
                        return false;
                }
            }
        return true;
    };
    int nTransparent = NO_TRANSPARENT_COLOR;
    bool bFixed = false;
    if (m_bHasShown && Collect(true, 255)) {
        nTransparent = static_cast<int>(colors.size());
        colors.push_back(0);
    } else if (!Collect(false, 256)) {
        bFixed = true;
        m_bApproximated = true;
        colors.clear();
        for (unsigned i = 0; i < 6 * 7 * 6; ++i)
            colors.push_back(FixedColor(i));
    }
    ColorMapObject* pMap = MakeMap(colors);
    m_bOk = pMap && WriteControl(nCentiseconds, nTransparent) &&
            EGifPutImageDesc(m_pGif, nLeft, nTop, nWidth, nHeight, false, pMap) == GIF_OK;
    GifFreeMapObject(pMap);
    uint32_t nLastColor = UINT32_MAX;
    unsigned nLastIndex = 0;
    for (int32_t y = 0; y < nHeight && m_bOk; ++y) {
        for (int32_t x = 0; x < nWidth; ++x) {
            uint32_t& nPixel = m_Pending[size_t(nTop + y) * nStride + size_t(nLeft + x)];
            if (bFixed) {
                // What the file shows from now on, so that the next frame differs from that.
                m_Line[size_t(x)] = FixedIndex(nPixel & RGB_MASK);
                nPixel = FixedColor(m_Line[size_t(x)]) | (nPixel & ~RGB_MASK);
            } else if (nTransparent != NO_TRANSPARENT_COLOR && !Changed(x, y)) {
                m_Line[size_t(x)] = static_cast<unsigned char>(nTransparent);
            } else {
                if ((nPixel & RGB_MASK) != nLastColor) {
                    nLastColor = nPixel & RGB_MASK;
                    nLastIndex = index[nLastColor];
                }
                m_Line[size_t(x)] = static_cast<unsigned char>(nLastIndex);
            }
        }
        m_bOk = EGifPutLine(m_pGif, m_Line.data(), nWidth) == GIF_OK;
    }
    return m_bOk;
}

bool CGifWriter::Finish()
{
    if (m_bOk && m_bHasPending)
        WritePending();
    int nError = 0;
    if (m_pGif && EGifCloseFile(m_pGif, &nError) != GIF_OK)
        m_bOk = false;
    m_pGif = nullptr;
    return Flush() && m_bOk;
}
