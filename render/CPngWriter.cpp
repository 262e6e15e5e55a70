#include "render/CPngWriter.h"

#include <vector>
#include <zlib.h>

namespace {
// Compressed data per IDAT chunk: any size up to 2^31 - 1 will do; readers like them small.
constexpr size_t IDAT_SIZE = 1u << 16;
// Level 3 of zlib's 9 takes half the time of the default on a graph, for a file a third larger.
constexpr int LEVEL = 3;

void Put32(std::string& szOut, uint32_t n)
{
    szOut += static_cast<char>(n >> 24);
    szOut += static_cast<char>(n >> 16);
    szOut += static_cast<char>(n >> 8);
    szOut += static_cast<char>(n);
}

void Chunk(std::string& szOut, const char* pszType, const unsigned char* pData, size_t nSize)
{
    Put32(szOut, static_cast<uint32_t>(nSize));
    const size_t nStart = szOut.size();
    szOut.append(pszType, 4);
    if (nSize)
        szOut.append(reinterpret_cast<const char*>(pData), nSize);
    const uLong nCrc = crc32(0, reinterpret_cast<const Bytef*>(szOut.data() + nStart), static_cast<uInt>(nSize + 4));
    Put32(szOut, static_cast<uint32_t>(nCrc));
}

unsigned char* Be32(unsigned char* p, uint32_t n)
{
    p[0] = static_cast<unsigned char>(n >> 24);
    p[1] = static_cast<unsigned char>(n >> 16);
    p[2] = static_cast<unsigned char>(n >> 8);
    p[3] = static_cast<unsigned char>(n);
    return p + 4;
}
} // namespace

bool CPngWriter::Encode(const uint32_t* pPixels, uint32_t nWidth, uint32_t nHeight, size_t nStride, uint32_t nDotsX,
                        uint32_t nDotsY, std::string& szPng)
{
    szPng.assign("\x89PNG\r\n\x1a\n", 8);
    unsigned char header[13];
    unsigned char* p = Be32(Be32(header, nWidth), nHeight);
    p[0] = 8; // bits per channel
    p[1] = 2; // RGB
    p[2] = p[3] = p[4] = 0;
    Chunk(szPng, "IHDR", header, sizeof header);
    if (nDotsX && nDotsY) {
        unsigned char dots[9];
        Be32(Be32(dots, nDotsX), nDotsY)[0] = 1; // per metre
        Chunk(szPng, "pHYs", dots, sizeof dots);
    }

    z_stream stream{};
    if (deflateInit(&stream, LEVEL) != Z_OK)
        return false;
    std::vector<unsigned char> row(1 + size_t{nWidth} * 3);
    std::vector<unsigned char> out(IDAT_SIZE);
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    bool bOk = true;
    // Feeds what is in row to the compressor (all of it, or the rest at the end), writing a chunk
    // whenever the output is full.
    const auto Compress = [&](int nFlush) {
        stream.next_in = row.data();
        stream.avail_in = nFlush == Z_FINISH ? 0 : static_cast<uInt>(row.size());
        for (;;) {
            const int nResult = deflate(&stream, nFlush);
            if (nResult == Z_STREAM_ERROR) {
                bOk = false;
                return;
            }
            if (stream.avail_out == 0 || (nFlush == Z_FINISH && nResult == Z_STREAM_END)) {
                Chunk(szPng, "IDAT", out.data(), out.size() - stream.avail_out);
                stream.next_out = out.data();
                stream.avail_out = static_cast<uInt>(out.size());
            }
            if (nFlush == Z_FINISH ? nResult == Z_STREAM_END : stream.avail_in == 0 && stream.avail_out != 0)
                return;
        }
    };
    for (uint32_t y = 0; y < nHeight && bOk; ++y) {
        const uint32_t* pRow = pPixels + y * nStride;
        row[0] = 1; // filter "Sub"
        uint32_t nLeft = 0;
        unsigned char* q = row.data() + 1;
        for (uint32_t x = 0; x < nWidth; ++x) {
            const uint32_t n = pRow[x];
            *q++ = static_cast<unsigned char>((n >> 16) - (nLeft >> 16));
            *q++ = static_cast<unsigned char>((n >> 8) - (nLeft >> 8));
            *q++ = static_cast<unsigned char>(n - nLeft);
            nLeft = n;
        }
        Compress(Z_NO_FLUSH);
    }
    if (bOk)
        Compress(Z_FINISH);
    deflateEnd(&stream);
    if (!bOk)
        return false;
    Chunk(szPng, "IEND", nullptr, 0);
    return true;
}
