#pragma once
// PNG files of a raster picture in one pass: 8-bit RGB rows, each filtered by the difference to
// the pixel on its left, which leaves the even stretches of a graph as zeros for the compressor.
// (A general-purpose writer tries every filter on every row and asks its plugins first: several
// times the cost of a whole small export.)
#include <cstddef>
#include <cstdint>
#include <string>

class CPngWriter {
public:
    // Pixels as 0xAARRGGBB, alpha ignored, rows nStride pixels apart. nDotsX, nDotsY: pixels per
    // metre, written where both are given. False where the compressor fails (out of memory).
    static bool Encode(const uint32_t* pPixels, uint32_t nWidth, uint32_t nHeight, size_t nStride, uint32_t nDotsX,
                       uint32_t nDotsY, std::string& szPng);
};
