#pragma once
// Table-driven CRC generator; the value caches hash their keys with the one CRC-16/ARC instance.
#include <array>
#include <cstddef>
#include <cstdint>

class CCrcGenerator {
public:
    constexpr CCrcGenerator(uint32_t nPolynomial, uint32_t nWidth, bool bReflected)
        : m_pTable{}, m_nMask(nWidth >= 32 ? 0xFFFFFFFFu : (1u << nWidth) - 1), m_nShift(nWidth - 8),
          m_bReflected(bReflected)
    {
        for (uint32_t j = 0; j < 256; ++j) {
            uint32_t c = bReflected ? j : j << m_nShift;
            const uint32_t nTop = 1u << (nWidth - 1);
            for (int k = 0; k < 8; ++k) {
                if (bReflected)
                    c = (c & 1) ? (c >> 1) ^ nPolynomial : c >> 1;
                else
                    c = (c & nTop) ? (c << 1) ^ nPolynomial : c << 1;
            }
            m_pTable[j] = c & m_nMask;
        }
    }

    constexpr uint32_t Update(uint32_t nCrc, uint8_t nByte) const
    {
        if (m_bReflected)
            return (nCrc >> 8) ^ m_pTable[(nCrc ^ nByte) & 0xFF];
        return ((nCrc << 8) ^ m_pTable[((nCrc >> m_nShift) ^ nByte) & 0xFF]) & m_nMask;
    }

    uint32_t Update(uint32_t nCrc, const void* pData, size_t nCount) const;

    // The eight bytes of a double in memory order, least significant first (reflected order).
    uint32_t UpdateDouble(uint32_t nCrc, double dValue) const;

    std::array<uint32_t, 256> m_pTable;
    uint32_t m_nMask;
    uint32_t m_nShift;
    bool m_bReflected;
};

// The generator of the value caches: polynomial 0xA001, 16 bits, reflected, start 0, no final XOR.
inline constexpr CCrcGenerator g_CacheCrc(0xA001, 16, true);

// Slicing-by-8 over a reflected generator of at most 16 bits: the CRC after the eight bytes of a
// 64-bit word (least significant byte first) in one step of eight independent table look-ups,
// the same value and chain as eight single Updates. The tables are derived from the generator's
// byte table: slice 0 is that table, slice k is one more zero byte fed through it.
class CCrcSlicer8 {
public:
    constexpr explicit CCrcSlicer8(const CCrcGenerator& generator) : m_pSlices{}
    {
        for (uint32_t j = 0; j < 256; ++j)
            m_pSlices[0][j] = static_cast<uint16_t>(generator.m_pTable[j]);
        for (int k = 1; k < 8; ++k)
            for (uint32_t j = 0; j < 256; ++j) {
                const uint32_t c = m_pSlices[k - 1][j];
                m_pSlices[k][j] = static_cast<uint16_t>((c >> 8) ^ generator.m_pTable[c & 0xFF]);
            }
    }

    uint32_t UpdateWord(uint32_t nCrc, uint64_t nBits) const
    {
        const uint64_t x = nBits ^ nCrc;
        return m_pSlices[7][x & 0xFF] ^ m_pSlices[6][(x >> 8) & 0xFF] ^ m_pSlices[5][(x >> 16) & 0xFF] ^
               m_pSlices[4][(x >> 24) & 0xFF] ^ m_pSlices[3][(x >> 32) & 0xFF] ^ m_pSlices[2][(x >> 40) & 0xFF] ^
               m_pSlices[1][(x >> 48) & 0xFF] ^ m_pSlices[0][x >> 56];
    }

    std::array<std::array<uint16_t, 256>, 8> m_pSlices;
};

// The value caches' generator in eight-byte steps (it is reflected and 16 bits wide).
inline constexpr CCrcSlicer8 g_CacheCrc8(g_CacheCrc);
