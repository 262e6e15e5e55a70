#pragma once
// Qt's picture writers (PNG, SVG, PDF) writing into a CAtomicFile: every write is checked, and
// the first failure makes the device refuse the rest.
#include <QIODevice>

class CAtomicFile;

class CAtomicDevice : public QIODevice {
public:
    explicit CAtomicDevice(CAtomicFile& file);
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* pData, qint64 nCount) override;

private:
    CAtomicFile& m_File;
};
