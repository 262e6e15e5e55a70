#include "render/CAtomicDevice.h"

#include "project/CAtomicFile.h"

CAtomicDevice::CAtomicDevice(CAtomicFile& file) : m_File(file) {}

qint64 CAtomicDevice::writeData(const char* pData, qint64 nCount)
{
    if (nCount < 0 || !m_File.Write(pData, static_cast<size_t>(nCount)))
        return -1;
    return nCount;
}
