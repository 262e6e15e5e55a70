#pragma once
// A temporary file holding a text, positioned at its start: input for the line and block readers.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

struct STextFile {
    std::FILE* m_pFile;
    explicit STextFile(const std::string& szText) : m_pFile(std::tmpfile())
    {
        EXPECT_NE(m_pFile, nullptr);
        std::fwrite(szText.data(), 1, szText.size(), m_pFile);
        std::rewind(m_pFile);
    }
    ~STextFile() { std::fclose(m_pFile); }
    STextFile(const STextFile&) = delete;
    STextFile& operator=(const STextFile&) = delete;
};
