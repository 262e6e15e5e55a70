// Running out of memory anywhere in a command-line mode: each allocation in turn fails once, in a
// child process of its own. Every run either succeeds or says "Nicht genug Speicher" with exit
// code 1; the file it writes is the old one or the complete new one, and no temporary file stays.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "ui/CCommandLine.h"

namespace {
long g_nFailAt = -1; // the allocation that fails, counted from 0; -1: none
long g_nCount = 0;

void* Allocate(size_t nSize)
{
    if (g_nFailAt >= 0 && g_nCount++ == g_nFailAt)
        throw std::bad_alloc();
    if (void* p = std::malloc(nSize ? nSize : 1))
        return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new(size_t nSize)
{
    return Allocate(nSize);
}
void* operator new[](size_t nSize)
{
    return Allocate(nSize);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept
{
    std::free(p);
}

namespace {
std::string Read(const std::string& szPath)
{
    std::ifstream file(szPath, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class CommandLineMemory : public ::testing::Test {
protected:
    void SetUp() override
    {
        char szTemplate[] = "/tmp/kurvix-memory-XXXXXX";
        ASSERT_NE(mkdtemp(szTemplate), nullptr);
        m_szDir = szTemplate;
        std::ofstream(m_szDir + "/in.kvx", std::ios::binary)
            << "f1=sin(x)*f2(x)\r\nf2=a^2+u\r\nxmin=-1\r\nflags=0000001f\r\nstep1\r\n-range0=0,0.5,6\r\n"
               "-f1=0,1,0\r\n-end\r\nstep2\r\n-samerange\r\n-end\r\nnotes\r\nZeile\r\nund noch eine";
    }
    void TearDown() override { EXPECT_EQ(std::system(("rm -rf '" + m_szDir + "'").c_str()), 0); }

    // Runs the mode with allocation nFailAt failing; false once no allocation was left to fail.
    bool RunFailing(long nFailAt, std::vector<std::string> args, const std::string& szOut)
    {
        const pid_t nChild = fork();
        if (nChild == 0) {
            if (!freopen((m_szDir + "/stderr").c_str(), "w", stderr) ||
                !freopen((m_szDir + "/stdout").c_str(), "w", stdout))
                _exit(99);
            std::vector<char*> argv;
            for (std::string& szArg : args)
                argv.push_back(szArg.data());
            argv.push_back(nullptr);
            g_nCount = 0;
            g_nFailAt = nFailAt;
            const int nExit = CCommandLine::Run(static_cast<int>(args.size()), argv.data());
            std::fflush(stdout);
            std::fflush(stderr);
            // 10 + exit code: the failing allocation was reached; the exit code alone: it was not.
            _exit(nFailAt >= 0 && g_nCount > nFailAt ? 10 + nExit : nExit);
        }
        int nStatus = 0;
        EXPECT_EQ(waitpid(nChild, &nStatus, 0), nChild);
        EXPECT_TRUE(WIFEXITED(nStatus)) << "allocation " << nFailAt << " ends the program: " << nStatus;
        if (!WIFEXITED(nStatus))
            return false;
        const int nExit = WEXITSTATUS(nStatus);
        EXPECT_TRUE(nExit == 10 || nExit == 11 || nExit == 0) << "allocation " << nFailAt << ": " << nExit;
        if (nExit == 11) {
            EXPECT_NE(Read(m_szDir + "/stderr").find("Nicht genug Speicher"), std::string::npos)
                << "allocation " << nFailAt << ": " << Read(m_szDir + "/stderr") << Read(m_szDir + "/stdout");
        }
        if (!szOut.empty()) {
            const std::string szText = Read(szOut);
            EXPECT_TRUE(szText == m_szOld || szText == m_szNew) << "allocation " << nFailAt << ": " << szText;
        }
        EXPECT_EQ(std::system(("test $(ls -A '" + m_szDir + "' | wc -l) -eq 4").c_str()), 0)
            << "allocation " << nFailAt;
        return nExit >= 10;
    }

    std::string m_szDir;
    std::string m_szOld = "alt";
    std::string m_szNew;
};
} // namespace

TEST_F(CommandLineMemory, SaveFailsWholeWithItsMessage)
{
    const std::string szOut = m_szDir + "/out.kvx";
    ASSERT_FALSE(RunFailing(-1, {"kurvix", "--save", szOut, m_szDir + "/in.kvx"}, ""));
    m_szNew = Read(szOut);
    ASSERT_FALSE(m_szNew.empty());
    std::ofstream(szOut) << m_szOld;
    long nFailAt = 0;
    while (RunFailing(nFailAt, {"kurvix", "--save", szOut, m_szDir + "/in.kvx"}, szOut) && !HasFailure())
        ++nFailAt;
    EXPECT_GT(nFailAt, 20);
}

TEST_F(CommandLineMemory, TableFailsWithItsMessage)
{
    std::ofstream(m_szDir + "/out") << m_szOld;
    long nFailAt = 0;
    while (RunFailing(nFailAt, {"kurvix", "--table", m_szDir + "/in.kvx", "--step", "2"}, "") && !HasFailure())
        ++nFailAt;
    EXPECT_GT(nFailAt, 20);
}
