#pragma once
// Reads a project file line by line, whole lines however long, with CR LF delivered as LF.
#include <cstdint>
#include <cstdio>
#include <string>

class CLineReader {
public:
    explicit CLineReader(std::FILE* pFile) : m_pFile(pFile) {}
    ~CLineReader();
    CLineReader(const CLineReader&) = delete;
    CLineReader& operator=(const CLineReader&) = delete;

    // The next line with its line feed (none on the last line of a file without one); false at
    // the end of the file. A NUL byte ends the line's text, as it ends any zero-terminated text.
    bool ReadLine(std::string& szLine);

    // Everything from the current position to the end of the file, CR LF as LF, up to a NUL
    // byte if there is one. Its length is bounded by the file's size.
    std::string ReadRest();

    // Leading blanks (the character 32 only) removed; cut at the first CR, then at the first LF.
    static void TrimLine(std::string& szLine);

private:
    std::FILE* m_pFile;
    char* m_pBuffer = nullptr;  // getline's, reused from line to line
    size_t m_nCapacity = 0;
};
