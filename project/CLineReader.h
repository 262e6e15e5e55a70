#pragma once
// Reads a project file line by line, whole lines however long. CR LF and a CR alone end a line
// as LF does, and are delivered as LF. At most a given number of bytes is read in all: a file
// that grows while it is read, or that never ends, is refused instead of filling the memory.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "project/CProjectLimits.h"

class CLineReader {
public:
    explicit CLineReader(std::FILE* pFile, uint64_t nLimit = PROJECT_MAX_FILE);
    CLineReader(const CLineReader&) = delete;
    CLineReader& operator=(const CLineReader&) = delete;

    // The next line with its line feed (none on the last line of a file without one); false at
    // the end of the file. Throws ELoadSaveError (ReadError, TooLarge, and Line for a line that
    // holds a NUL byte, which no text of a project has) with the number of the line being read.
    bool ReadLine(std::string& szLine);

    // Everything from the current position to the end of the file, CR LF as LF. Throws
    // ELoadSaveError (NotesTooLarge) with the number of the next line when that is more than nMax
    // bytes, without reading it where the file's size tells; Line with the line of a NUL byte.
    std::string ReadRest(uint64_t nMax = PROJECT_MAX_NOTES);

    // Leading blanks (the character 32 only) removed; cut at the first CR, then at the first LF.
    static void TrimLine(std::string& szLine);

private:
    static constexpr size_t BUFFER_SIZE = 65536;

    // Refills the empty buffer; false at the end of the file.
    bool Fill();

    std::FILE* m_pFile;
    uint64_t m_nLimit;
    uint64_t m_nRead = 0;  // bytes taken from the file so far
    uint32_t m_nLines = 0; // lines delivered so far
    std::unique_ptr<char[]> m_pBuffer;
    size_t m_nPos = 0;
    size_t m_nEnd = 0;
};
