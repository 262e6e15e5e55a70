#pragma once
// Table-driven CRC generator; the value caches hash their keys with the one CRC-16/ARC instance.
#include <array>
#include <cstddef>
#include <cstdint>

class CCrcGenerator {
public:
    constexpr CCrcGenerator(uint32_t nPolynomial, uint32_t nWidth, bool bReflected)
        : m_pTable{},
          m_nMask(nWidth >= 32 ? 0xFFFFFFFFu : (1u << nWidth) - 1),
          m_nShift(nWidth - 8),
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
