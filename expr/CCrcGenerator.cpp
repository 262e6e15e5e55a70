#include "expr/CCrcGenerator.h"

#include <cstring>

uint32_t CCrcGenerator::Update(uint32_t nCrc, const void* pData, size_t nCount) const
{
    const auto* pBytes = static_cast<const uint8_t*>(pData);
    for (size_t i = 0; i < nCount; ++i)
        nCrc = Update(nCrc, pBytes[i]);
    return nCrc;
}

uint32_t CCrcGenerator::UpdateDouble(uint32_t nCrc, double dValue) const
{
    uint64_t nBits;
    std::memcpy(&nBits, &dValue, sizeof nBits);
    if (m_bReflected) {
        for (int i = 0; i < 8; ++i, nBits >>= 8)
            nCrc = (nCrc >> 8) ^ m_pTable[(nCrc ^ nBits) & 0xFF];
        return nCrc;
    }
    for (int i = 0; i < 8; ++i, nBits >>= 8)
        nCrc = Update(nCrc, static_cast<uint8_t>(nBits));
    return nCrc;
}
