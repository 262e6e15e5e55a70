// Saving and loading the current format: round trips, the exact text, the reader's rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "project/CAtomicFile.h"
#include "project/CFileMessage.h"
#include "project/CProject.h"
#include "project/CProjectLimits.h"
#include "project/CProjectWriter.h"
#include "project/ELoadFuncError.h"
#include "project/ELoadSaveError.h"

namespace {
class ProjectFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        char szTemplate[] = "/tmp/kurvix-test-XXXXXX";
        ASSERT_NE(mkdtemp(szTemplate), nullptr);
        m_szDir = szTemplate;
    }
    void TearDown() override
    {
        std::string szCommand = "chmod -R u+w '" + m_szDir + "' && rm -rf '" + m_szDir + "'";
        EXPECT_EQ(std::system(szCommand.c_str()), 0);
    }

    std::string Path(const std::string& szName) const { return m_szDir + "/" + szName; }

    std::string Write(const std::string& szName, const std::string& szContent) const
    {
        std::ofstream(Path(szName), std::ios::binary) << szContent;
        return Path(szName);
    }

    static std::string Read(const std::string& szPath)
    {
        std::ifstream file(szPath, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    // Why a load fails, or nothing when it succeeds.
    static std::optional<EFileCause> Cause(const std::string& szPath)
    {
        CProject project;
        try {
            project.Load(szPath.c_str());
        } catch (const ELoadSaveError& error) {
            return error.m_eCause;
        }
        return std::nullopt;
    }

    // The line number a load fails with, or -1 when it succeeds.
    static long FailingLine(const std::string& szPath)
    {
        CProject project;
        try {
            project.Load(szPath.c_str());
        } catch (const ELoadSaveError& error) {
            return error.m_nLine;
        }
        return -1;
    }

    std::string m_szDir;
};

const char* const DEFAULT_DOCUMENT = "xmin=         0\r\n"
                                     "xmax=         0\r\n"
                                     "ymin=         0\r\n"
                                     "ymax=         0\r\n"
                                     "xgrid=         1\r\n"
                                     "ygrid=         1\r\n"
                                     "bgcolor=        15\r\n"
                                     "trmode=         0\r\n"
                                     "flags=0000001f\r\n"
                                     "step1\r\n"
                                     "-name=\r\n"
                                     "-range0=       -10,0.2,100\r\n"
                                     "-range1=         0,1,0\r\n"
                                     "-range2=         0,1,0\r\n"
                                     "-connect\r\n"
                                     "-end\r\n";
} // namespace

TEST_F(ProjectFile, DefaultDocumentIsSavedByteForByte)
{
    CProject project;
    project.m_bModified = true;
    project.Save(Path("default.kvx").c_str());
    EXPECT_EQ(Read(Path("default.kvx")), DEFAULT_DOCUMENT);
    EXPECT_FALSE(project.m_bModified);
}

TEST_F(ProjectFile, EveryFieldSurvivesARoundTrip)
{
    CProject project;
    project.SetFunction(1, "sin(x)*u // Kommentar");
    project.SetFunction(17, "f1(x, 2) = 0 ? 1 : 2"); // a further "=" belongs to the text
    project.SetFunction(50, "x, x^2");
    project.SetFunction(3, "f50'(x) + f1''");
    project.SetFunction(4, "f50'"); // read before f50: takes its two values once f50 is there
    project.SetTransform("fx+1, fy*2");
    project.SetOption(OPT_XMIN, 0.123456789);
    project.SetOption(OPT_XMAX, -1e-7);
    project.SetOption(OPT_YMAX, 123456789012.0);
    project.SetOption(OPT_TRMODE, 1);
    project.m_nFlags = 0x7A;
    CAnimationStep* pFirst = project.m_pFirstStep;
    pFirst->SetMin(0, -3.25);
    pFirst->SetStep(0, 1.0 / 3.0);
    pFirst->SetCount(1, 7);
    pFirst->m_bConnect = false;
    pFirst->m_nSpeed = 250;
    pFirst->m_nWait = 3;
    pFirst->SetName(std::string(50, 'N'));
    pFirst->m_bVisible[0] = true;
    pFirst->m_nColor[0] = 12;
    pFirst->m_nWidth[0] = 8;
    pFirst->m_nExtra[0] = 77;
    pFirst->m_bVisible[49] = true;
    CAnimationStep* pSecond = project.InsertStep(std::make_unique<CAnimationStep>(*pFirst), nullptr); // same range
    pSecond->SetName("Zweiter");
    CAnimationStep* pThird = project.InsertStep(std::make_unique<CAnimationStep>(), nullptr);
    pThird->SetMin(2, 5);
    project.m_pszNotes = std::string("Zeile 1\nf1=sieht aus wie ein Schl\xFCssel\nstep2\n\nnotes\nEnde");
    project.Save(Path("all.kvx").c_str());

    CProject loaded;
    loaded.Load(Path("all.kvx").c_str());
    EXPECT_FALSE(loaded.m_bModified);
    ASSERT_NE(loaded.GetFunction(1), nullptr);
    EXPECT_EQ(loaded.GetFunction(1)->GetText(), "sin(x)*u // Kommentar");
    EXPECT_EQ(loaded.GetFunction(17)->GetText(), "f1(x, 2) = 0 ? 1 : 2");
    EXPECT_EQ(loaded.GetFunction(50)->GetText(), "x, x^2");
    ASSERT_NE(loaded.GetFunction(3), nullptr);
    EXPECT_EQ(loaded.GetFunction(3)->GetText(), "f50'(x) + f1''");
    ASSERT_NE(loaded.GetFunction(4), nullptr);
    EXPECT_EQ(loaded.GetFunction(4)->GetValueCount(), 2u);
    EXPECT_EQ(loaded.GetFunction(2), nullptr);
    ASSERT_NE(loaded.m_pTransform, nullptr);
    EXPECT_EQ(loaded.m_pTransform->GetText(), "fx+1, fy*2");
    EXPECT_EQ(loaded.m_dOptions[OPT_XMIN], 0.123456789); // every digit that is needed is written
    EXPECT_EQ(loaded.m_dOptions[OPT_XMAX], -1e-7);
    EXPECT_EQ(loaded.m_dOptions[OPT_YMAX], 123456789012.0);
    EXPECT_EQ(loaded.m_dOptions[OPT_TRMODE], 1);
    EXPECT_EQ(loaded.m_nFlags, 0x7Au);

    const CAnimationStep* p1 = loaded.m_pFirstStep;
    ASSERT_NE(p1, nullptr);
    EXPECT_EQ(std::string(p1->m_szName), std::string(39, 'N'));
    EXPECT_EQ(p1->m_dMin[0], -3.25);
    EXPECT_EQ(p1->m_dStep[0], 1.0 / 3.0);
    EXPECT_EQ(p1->m_nCount[1], 7u);
    EXPECT_FALSE(p1->m_bConnect);
    EXPECT_EQ(p1->m_nSpeed, 250u);
    EXPECT_EQ(p1->m_nWait, 3u);
    EXPECT_TRUE(p1->m_bVisible[0]);
    EXPECT_EQ(p1->m_nColor[0], 12u);
    EXPECT_EQ(p1->m_nWidth[0], 8u);
    EXPECT_EQ(p1->m_nExtra[0], 77u);
    EXPECT_TRUE(p1->m_bVisible[49]);
    EXPECT_FALSE(p1->m_bVisible[1]);

    const CAnimationStep* p2 = p1->m_pNext;
    ASSERT_NE(p2, nullptr);
    EXPECT_TRUE(p2->m_bSameRange);
    EXPECT_STREQ(p2->m_szName, "Zweiter");
    EXPECT_EQ(p2->m_dMin[0], p1->m_dMin[0]);
    EXPECT_EQ(p2->m_nCount[1], 7u);
    EXPECT_EQ(p2->m_nColor[0], 12u);

    const CAnimationStep* p3 = p2->m_pNext;
    ASSERT_NE(p3, nullptr);
    EXPECT_FALSE(p3->m_bSameRange);
    EXPECT_TRUE(p3->m_bConnect);
    EXPECT_EQ(p3->m_dMin[2], 5);
    EXPECT_EQ(p3->m_pNext, nullptr);
    EXPECT_EQ(loaded.m_pLastStep, p3);

    ASSERT_TRUE(loaded.m_pszNotes.has_value());
    EXPECT_EQ(*loaded.m_pszNotes, *project.m_pszNotes);

    // What was loaded saves to the same bytes again.
    loaded.Save(Path("again.kvx").c_str());
    EXPECT_EQ(Read(Path("again.kvx")), Read(Path("all.kvx")));
}

TEST_F(ProjectFile, EveryNumberReadsBackAsWritten)
{
    // Values that eight digits carry keep the bytes files have always had; the others get the
    // digits they need, and no more.
    const struct {
        const char* m_pszName;
        double m_dValue;
        const char* m_pszText;
    } rows[] = {
        {"half", 0.5, "       0.5"},
        {"default x start", -10, "       -10"},
        {"eight digits", 0.12345678, "0.12345678"},
        {"nine digits", 0.123456789, "0.123456789"},
        {"close to 0.2", 0.2000000001, "0.2000000001"},
        {"its neighbour", 0.2000000002, "0.2000000002"},
        {"a third", 1.0 / 3.0, "0.3333333333333333"},
        {"tiny", 1e-300, "    1e-300"},
        {"largest", 1.7976931348623157e308, "1.7976931348623157e+308"},
        {"above 2^53", 9007199254740993.0, "9007199254740992"},
    };
    for (const auto& row : rows) {
        CProject project;
        project.SetOption(OPT_XMIN, row.m_dValue);
        project.m_pFirstStep->SetStep(0, row.m_dValue);
        project.Save(Path("n.kvx").c_str());
        const std::string szFile = Read(Path("n.kvx"));
        EXPECT_NE(szFile.find(std::string("xmin=") + row.m_pszText + "\r\n"), std::string::npos) << row.m_pszName;
        CProject loaded;
        loaded.Load(Path("n.kvx").c_str());
        EXPECT_EQ(loaded.m_dOptions[OPT_XMIN], row.m_dValue) << row.m_pszName;
        EXPECT_EQ(loaded.m_pFirstStep->m_dStep[0], row.m_dValue) << row.m_pszName;
    }
}

TEST_F(ProjectFile, LongFormulaLinesLoadWhole)
{
    std::string szFormula = "x";
    while (szFormula.size() < 5000)
        szFormula += "+x";
    CProject project;
    project.SetFunction(3, szFormula.c_str());
    // A save goes through a buffer: a formula several times as long, and notes whose line ends
    // (each a CR LF in the file) fall on every place of it, are written as Format makes them.
    std::string szLonger = "u";
    while (szLonger.size() < 200001)
        szLonger += "-x";
    project.SetFunction(4, szLonger.c_str());
    std::string szNotes;
    for (int i = 0; szNotes.size() < 300000; ++i)
        szNotes += std::string(static_cast<size_t>(i % 97), 'n') + '\n';
    project.m_pszNotes = szNotes;
    project.Save(Path("long.kvx").c_str());
    EXPECT_TRUE(Read(Path("long.kvx")) == CProjectWriter::Format(project));
    CProject loaded;
    loaded.Load(Path("long.kvx").c_str());
    ASSERT_NE(loaded.GetFunction(3), nullptr);
    EXPECT_EQ(loaded.GetFunction(3)->GetText(), szFormula);
    ASSERT_NE(loaded.GetFunction(4), nullptr);
    EXPECT_TRUE(loaded.GetFunction(4)->GetText() == szLonger);
    EXPECT_TRUE(loaded.m_pszNotes == szNotes);
}

TEST_F(ProjectFile, NewerDrawingOptionsAreFlagBitsOffForLoadedFiles)
{
    // The loader's defaults and a file that does not name the newer bits leave them off, so the
    // file draws as it always did; a document begun in the window has them, unmodified.
    CProject fresh;
    EXPECT_EQ(fresh.m_nFlags, 0x1Fu);
    fresh.UseNewDocumentFlags();
    EXPECT_FALSE(fresh.m_bModified);
    EXPECT_EQ(fresh.m_nFlags, 0x1Fu | 1u << FLAG_LEGEND | 1u << FLAG_AUTOGRID | 1u << FLAG_RANGEMARGIN |
                                  1u << FLAG_FOLLOWVIEW | 1u << FLAG_DECIMALCOMMA);
    CProject old;
    old.Load(Write("old.kvx", "xmin=-3\nflags=0000001f\nstep1\n").c_str());
    EXPECT_EQ(old.m_nFlags, 0x1Fu);

    // Each bit on its own and all of them together survive a save and a load, beside the old ones.
    for (const uint32_t nFlags :
         {1u << FLAG_LEGEND, 1u << FLAG_AUTOGRID, 1u << FLAG_PILABELS, 1u << FLAG_RANGEMARGIN, 1u << FLAG_FOLLOWVIEW,
          1u << FLAG_DECIMALCOMMA, 1u << FLAG_DECIMALCOMMA | 1u << FLAG_XAUTO,
          0x1Fu | NEW_DOCUMENT_FLAGS | 1u << FLAG_PILABELS | 1u << FLAG_BREAKPOLES}) {
        CProject project;
        project.m_nFlags = nFlags;
        project.Save(Path("bits.kvx").c_str());
        CProject loaded;
        loaded.Load(Path("bits.kvx").c_str());
        EXPECT_EQ(loaded.m_nFlags, nFlags);
    }
}

TEST_F(ProjectFile, ReaderAcceptsWhatTheFormatAllows)
{
    // Leading blanks, LF or CR LF, key words of any case, empty lines, a block without "-end".
    const std::string szPath = Write("lenient.kvx", "  f2=  x+1\n"
                                                    "\r\n"
                                                    "TRANSFORM=fx,fy\r\n"
                                                    "   xmin=-3\n"
                                                    "ygrid= 0.5\n"
                                                    "flags=0000002c\n"
                                                    "step2\n"
                                                    "-NAME=Gro\xDF\n"
                                                    "-range1=1,2,3\n"
                                                    "-SameRange\n");
    CProject project;
    project.Load(szPath.c_str());
    EXPECT_FALSE(project.m_bModified);
    ASSERT_NE(project.GetFunction(2), nullptr);
    EXPECT_EQ(project.GetFunction(2)->GetText(), "x+1");
    ASSERT_NE(project.m_pTransform, nullptr);
    EXPECT_EQ(project.m_dOptions[OPT_XMIN], -3);
    EXPECT_EQ(project.m_dOptions[OPT_YGRID], 0.5);
    EXPECT_EQ(project.m_nFlags, 0x2Cu);
    // "step2" first keeps the default first step and reads the block into an appended one.
    ASSERT_NE(project.m_pFirstStep->m_pNext, nullptr);
    const CAnimationStep* pSecond = project.m_pFirstStep->m_pNext;
    EXPECT_STREQ(pSecond->m_szName, "Gro\xDF");
    EXPECT_TRUE(pSecond->m_bSameRange);
    EXPECT_EQ(pSecond->m_nCount[1], 0u); // taken from the step before
    EXPECT_FALSE(pSecond->m_bConnect);
    EXPECT_TRUE(project.m_pFirstStep->m_bConnect);
}

TEST_F(ProjectFile, ReaderRejectsWithTheLineNumber)
{
    struct SCase {
        const char* m_pszName;
        const char* m_pszContent;
        long m_nLine;
    } cases[] = {
        {"blank before =", "f1=x\nxmin =1\n", 2},
        {"capital Flags", "Flags=0000001f\n", 1},
        {"f51", "f51=x\n", 1},
        {"f0", "\n\nf0=x\n", 3},
        {"unknown key", "xmin=1\nfarbe=3\n", 2},
        {"option without number", "xmax=abc\n", 1},
        {"option too large", "xmin=1e400\n", 1},
        {"flags beyond 32 bits", "flags=ffffffffff\n", 1},
        {"step number beyond 32 bits", "step4294967296\n", 1},
        {"unknown line in a block", "step1\n-name=a\n-farbe=3\n-end\n", 3},
        {"range of variable 3", "step1\n-range3=1,1,1\n", 2},
        {"range with three values", "step1\n-range0=1,1\n", 2},
        {"range start too large", "step1\n-range0=1e400,1,1\n", 2},
        {"count beyond 32 bits", "step1\n-range0=1,1,4294967296\n", 2},
        {"negative count", "step1\n-range0=1,1,-1\n", 2},
        {"function 51 in a block", "step1\n-f51=1,1,0\n", 2},
        {"function line with three values", "step1\n-f1=1,1\n", 2},
        {"trailing blank after -end", "step1\n-end \n", 2},
        {"line numbers go on after a block", "step1\n-end\nstep2\n-end\n?\n", 5},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.m_pszName);
        EXPECT_EQ(FailingLine(Write("case.kvx", c.m_pszContent)), c.m_nLine);
    }
    using namespace std::string_literals;
    // A NUL byte, which no text of a project holds: cut there, the line would load (and save
    // again) shorter without a word.
    const struct {
        const char* m_pszName;
        std::string m_szContent;
        long m_nLine;
    } nuls[] = {
        {"in a formula", "f1=x\0garbage\nxmin=2\n"s, 1}, {"after a formula", "f2=u\r\nf1=x+1\0=2\n"s, 2},
        {"in an option", "xmin=1\n\nxmax=2\0x\n"s, 3},   {"in a block", "step1\n-name=a\0b\n-end\n"s, 2},
        {"in the notes", "f1=x\nnotes\nabc\0def"s, 3},   {"in later notes", "notes\r\nabc\r\ndef\r\n\0"s, 4},
    };
    for (const auto& c : nuls) {
        SCOPED_TRACE(c.m_pszName);
        EXPECT_EQ(FailingLine(Write("nul.kvx", c.m_szContent)), c.m_nLine);
    }
    EXPECT_EQ(FailingLine(Path("missing.kvx")), 0);
    EXPECT_EQ(FailingLine(m_szDir + "/.kvx"), 0);
    mkdir(Path("folder.kvx").c_str(), 0755);
    EXPECT_EQ(FailingLine(Path("folder.kvx")), 0);
}

TEST_F(ProjectFile, HostileInputLoadsOrFailsWithALine)
{
    // CR alone ends a line; nothing crashes.
    EXPECT_EQ(FailingLine(Write("cr.kvx", "f1=x\rxmin=2\rgarbage\r")), 3);
    CProject mac;
    mac.Load(Write("mac.kvx", "f1=x\rf2=x*x\rxmin=2\rstep1\r-range0=0,1,5\r-end\rnotes\rzwei\rZeilen").c_str());
    EXPECT_EQ(mac.GetFunction(2)->GetText(), "x*x");
    EXPECT_EQ(mac.m_dOptions[OPT_XMIN], 2);
    EXPECT_EQ(mac.m_pFirstStep->m_nCount[0], 5u);
    EXPECT_EQ(*mac.m_pszNotes, "zwei\rZeilen");
    // A first step that claims the ranges of a step before it has none to take: it keeps its own.
    CProject first;
    first.Load(Write("first.kvx", "step1\n-range0=1,2,3\n-samerange\n-end\n").c_str());
    EXPECT_FALSE(first.m_pFirstStep->m_bSameRange);
    EXPECT_EQ(first.m_pFirstStep->m_dMin[0], 1);
    EXPECT_EQ(first.m_pFirstStep->m_nCount[0], 3u);
}

TEST_F(ProjectFile, CompileErrorLeavesLoadAsTheCompilersError)
{
    CProject project;
    try {
        project.Load(Write("bad.kvx", "xmin=1\nf4=   sin(x\n").c_str());
        FAIL() << "no error";
    } catch (const ELoadFuncError& error) {
        EXPECT_STREQ(error.m_pszMessage, ") erwartet");
        EXPECT_EQ(error.m_nPosition, 5);
        EXPECT_EQ(error.Excerpt(), "");
        EXPECT_EQ(error.Location(), "in f4 bei: (Ende von \x84sin(x\")");
        EXPECT_EQ(error.m_nLine, 2u);
    }
    try {
        CProject other;
        other.Load(Write("bad2.kvx", "transform=fx+*fy\n").c_str());
        FAIL() << "no error";
    } catch (const EFuncError& error) { // callers that know only the compiler's type catch it too
        EXPECT_STREQ(error.m_pszMessage, "Unerwartetes Symbol");
        EXPECT_EQ(static_cast<const ELoadFuncError&>(error).Excerpt(), "*fy");
        EXPECT_EQ(static_cast<const ELoadFuncError&>(error).Location(), "in Transformationsterm bei: *fy");
    }
    // A long text shows its last forty characters.
    try {
        CProject other;
        other.Load(Write("long.kvx", "f50=" + std::string(60, '1') + "+sin(\n").c_str());
        FAIL() << "no error";
    } catch (const ELoadFuncError& error) {
        EXPECT_EQ(error.Location(), "in f50 bei: (Ende von \x84..." + std::string(35, '1') + "+sin(\")");
    }
}

TEST_F(ProjectFile, OtherNamesAreRefused)
{
    // Loading them as an empty project, and saving that back, would wipe the file.
    for (const char* pszName : {"projekt.txt", "projekt", "ordner.kvx.bak", "proj.kvx~"}) {
        SCOPED_TRACE(pszName);
        CProject project;
        EXPECT_EQ(Cause(Write(pszName, "f1=x\n")), EFileCause::UnknownExtension);
    }
    EXPECT_EQ(Cause("/dev/null"), EFileCause::UnknownExtension);
    CProject upper;
    upper.Load(Write("GROSS.KVX", "f1=x\n").c_str());
    EXPECT_NE(upper.GetFunction(1), nullptr);
}

TEST_F(ProjectFile, FilesThatCannotBeReadSayWhy)
{
    EXPECT_EQ(Cause(Path("fehlt.kvx")), EFileCause::NotFound);
    ASSERT_EQ(mkdir(Path("ordner.kvx").c_str(), 0755), 0);
    EXPECT_EQ(Cause(Path("ordner.kvx")), EFileCause::NotRegular);
    // A link to an endless device, and a pipe that nobody writes to: refused, not read forever.
    ASSERT_EQ(symlink("/dev/zero", Path("null.kvx").c_str()), 0);
    EXPECT_EQ(Cause(Path("null.kvx")), EFileCause::NotRegular);
    ASSERT_EQ(mkfifo(Path("pipe.kvo").c_str(), 0600), 0);
    EXPECT_EQ(Cause(Path("pipe.kvo")), EFileCause::NotRegular);

    // 16 GiB of zeros after the notes line, as a sparse file: refused by its size, unread.
    const std::string szHuge = Write("huge.kvx", "f1=x\nnotes\n");
    ASSERT_EQ(truncate(szHuge.c_str(), int64_t{16} << 30), 0);
    EXPECT_EQ(Cause(szHuge), EFileCause::TooLarge);
    const std::string szLimit = Write("limit.kvx", "");
    ASSERT_EQ(truncate(szLimit.c_str(), PROJECT_MAX_FILE + 1), 0);
    EXPECT_EQ(Cause(szLimit), EFileCause::TooLarge);
    // Notes beyond their bound in a file within its bound.
    const std::string szNotes = Write("notes.kvx", "f1=x\nnotes\n" + std::string(PROJECT_MAX_NOTES + 1, 'n'));
    EXPECT_EQ(Cause(szNotes), EFileCause::NotesTooLarge);
    ASSERT_EQ(truncate(szNotes.c_str(), 5 + 6 + PROJECT_MAX_NOTES), 0);
    EXPECT_EQ(Cause(szNotes), std::nullopt);

    // A file the user may not read; root may read anything, so a child without its rights tries.
    const std::string szSecret = Write("geheim.kvx", "f1=x\n");
    ASSERT_EQ(chmod(szSecret.c_str(), 0), 0);
    const pid_t nChild = fork();
    ASSERT_GE(nChild, 0);
    if (nChild == 0) {
        if (geteuid() == 0 && setuid(65534) != 0)
            _exit(2);
        _exit(Cause(szSecret) == EFileCause::AccessDenied ? 0 : 1);
    }
    int nStatus = 0;
    ASSERT_EQ(waitpid(nChild, &nStatus, 0), nChild);
    EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0) << nStatus;
}

TEST_F(ProjectFile, CountsBeyondTheBoundsAreRefusedWithTheirLine)
{
    // One count of 4294967295 alone is 4e9 samples; three near 2^32 would be 2^96.
    const std::string szBlock = "-range0=0,1,4294967295\n-end\n";
    try {
        CProject project;
        project.Load(Write("count.kvx", "f1=x\nstep1\n" + szBlock).c_str());
        ADD_FAILURE() << "loaded";
    } catch (const ELoadSaveError& error) {
        EXPECT_EQ(error.m_eCause, EFileCause::TooManySamples);
        EXPECT_EQ(error.m_nLine, 3u); // the range line, not the block's end
    }
    // The line that goes over the bound: within a block, the step header of one step too many
    // after full ones, and not a line that took the samples over and back.
    const struct {
        const char* m_pszName;
        std::string m_szContent;
        uint32_t m_nLine;
    } overs[] = {
        {"second range", "step1\n-range0=0,1,99999\n-range1=0,1,99999\n-name=a\n-end\n", 3},
        {"same range", "step1\n-range0=0,1,599999999\n-end\nstep2\n-range0=0,1,1\n-samerange\n-end\n", 6},
        {"over and back", "step1\n-range0=0,1,4294967295\n-range0=0,1,9\n-range1=0,1,999999999\n-end\n", 4},
        {"header", "step1\n-range0=0,1,999999999\n-end\nstep2\n-end\n", 4},
    };
    for (const auto& c : overs) {
        SCOPED_TRACE(c.m_pszName);
        CProject project;
        try {
            project.Load(Write("over.kvx", c.m_szContent).c_str());
            ADD_FAILURE() << "loaded";
        } catch (const ELoadSaveError& error) {
            EXPECT_EQ(error.m_eCause, EFileCause::TooManySamples);
            EXPECT_EQ(error.m_nLine, c.m_nLine);
        }
    }
    EXPECT_EQ(Cause(Write("back.kvx", "step1\n-range0=0,1,999999950\n-end\nstep2\n-range0=0,1,0\n-end\n")),
              std::nullopt);
    // Within the bound per step, beyond it all together.
    std::string szSteps;
    for (int i = 1; i <= 11; ++i)
        szSteps += "step" + std::to_string(i) + "\n-range0=0,1,99999999\n-end\n";
    EXPECT_EQ(Cause(Write("steps.kvx", szSteps)), EFileCause::TooManySamples);
    szSteps.clear();
    for (uint32_t i = 1; i <= PROJECT_MAX_STEPS; ++i)
        szSteps += "step" + std::to_string(i) + "\n-end\n";
    EXPECT_EQ(Cause(Write("many.kvx", szSteps)), std::nullopt);
    EXPECT_EQ(Cause(Write("toomany.kvx", szSteps + "step2\n-end\n")), EFileCause::TooManySteps);
    // Re-reading the same step counts it once.
    std::string szSame;
    for (int i = 0; i < 20; ++i)
        szSame += "step1\n-range0=0,1,99999999\n-end\n";
    EXPECT_EQ(Cause(Write("same.kvx", szSame)), std::nullopt);
}

TEST_F(ProjectFile, MessagesNameTheCause)
{
    const std::string szName = "/d/p\xFF.kvx"; // the bytes of the name pass unchanged
    const struct {
        ELoadSaveError m_Error;
        const char* m_pszLoad;
    } rows[] = {
        {{0}, "Fehler beim Laden von /d/p\xFF.kvx: Datei nicht gefunden"},
        {{12}, "Fehler beim Laden von /d/p\xFF.kvx in Zeile 12"},
        {{0, EFileCause::NotFound}, "Fehler beim Laden von /d/p\xFF.kvx: Datei nicht gefunden"},
        {{0, EFileCause::AccessDenied}, "Zugriff verweigert: /d/p\xFF.kvx"},
        {{0, EFileCause::NotRegular}, "Keine regul\xC3\xA4re Datei: /d/p\xFF.kvx"},
        {{3, EFileCause::ReadError}, "Lesefehler: /d/p\xFF.kvx"},
        {{0, EFileCause::TooLarge}, "Datei zu gro\xC3\x9F: /d/p\xFF.kvx"},
        {{9, EFileCause::NotesTooLarge}, "Notizen zu gro\xC3\x9F: /d/p\xFF.kvx"},
        {{0, EFileCause::UnknownExtension}, "Keine KURVIX-Datei (.kvx oder .kvo): /d/p\xFF.kvx"},
        {{7, EFileCause::TooManySteps},
         "Fehler beim Laden von /d/p\xFF.kvx in Zeile 7: mehr als 10000 Animationsschritte"},
        {{5, EFileCause::TooManySamples},
         "Fehler beim Laden von /d/p\xFF.kvx in Zeile 5: mehr als 1000000000 Werte in allen Animationsschritten "
         "zusammen"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CFileMessage::Load(szName, row.m_Error), row.m_pszLoad);
    EXPECT_EQ(CFileMessage::Save(szName, {0, EFileCause::NoSpace}),
              "Fehler beim Speichern\nKein Platz auf dem Datentr\xC3\xA4ger: /d/p\xFF.kvx");
    EXPECT_EQ(CFileMessage::Save(szName, {0}), "Fehler beim Speichern\nSchreibfehler: /d/p\xFF.kvx");
    EXPECT_EQ(CFileMessage::Save("a.png", {0, EFileCause::FolderNotFound}, "Fehler beim Speichern von a.png"),
              "Fehler beim Speichern von a.png\nOrdner nicht gefunden: a.png");
}

TEST_F(ProjectFile, NotesAreEverythingAfterTheirLine)
{
    CProject project;
    project.Load(Write("notes.kvx", "f1=x\r\nNotes\r\nf2=y\r\nstep1\r\n\r\nlast line without end").c_str());
    EXPECT_EQ(project.GetFunction(2), nullptr);
    ASSERT_TRUE(project.m_pszNotes.has_value());
    EXPECT_EQ(*project.m_pszNotes, "f2=y\nstep1\n\nlast line without end");
    CProject empty;
    empty.Load(Write("empty-notes.kvx", "notes\n").c_str());
    ASSERT_TRUE(empty.m_pszNotes.has_value());
    EXPECT_EQ(*empty.m_pszNotes, "");
}

TEST_F(ProjectFile, WriterRefusesWhatTheReaderWouldRefuseBeforeWriting)
{
    // Notes count as they lie in the file, every line feed a CR LF: at the bound they save and
    // load again; one byte more is refused, and the file in place stays as it was.
    std::string szNotes;
    const std::string szLine = std::string(62, 'n') + '\n';
    while (szNotes.size() + szNotes.size() / szLine.size() + szLine.size() + 1 <= PROJECT_MAX_NOTES)
        szNotes += szLine;
    szNotes += std::string(PROJECT_MAX_NOTES - szNotes.size() - szNotes.size() / szLine.size(), 'e');
    CProject project;
    project.m_pszNotes = szNotes;
    const std::string szTarget = Path("notes.kvx");
    project.Save(szTarget.c_str());
    CProject loaded;
    loaded.Load(szTarget.c_str());
    EXPECT_EQ(loaded.m_pszNotes, szNotes);

    const std::string szOld = Write("old.kvx", "f1=alt\r\n");
    struct SCase {
        const char* m_pszName;
        std::function<void(CProject&)> m_Change;
        EFileCause m_eCause;
    } cases[] = {
        {"notes", [&](CProject& p) { p.m_pszNotes = szNotes + "e"; }, EFileCause::NotesTooLarge},
        {"notes line feed", [&](CProject& p) { p.m_pszNotes = szNotes.substr(1) + "\n"; }, EFileCause::NotesTooLarge},
        {"notes with NUL", [](CProject& p) { p.m_pszNotes = std::string("abc\0def", 7); }, EFileCause::NulInNotes},
        {"samples", [](CProject& p) { p.m_pFirstStep->m_nCount[1] = 99999999; }, EFileCause::TooManySamples},
        {"steps",
         [](CProject& p) {
             for (uint32_t i = 0; i < PROJECT_MAX_STEPS; ++i)
                 p.InsertStep(std::make_unique<CAnimationStep>(), nullptr);
         },
         EFileCause::TooManySteps},
    };
    for (const SCase& c : cases) {
        CProject refused;
        c.m_Change(refused);
        try {
            refused.Save(szOld.c_str());
            ADD_FAILURE() << c.m_pszName << " saved";
        } catch (const ELoadSaveError& error) {
            EXPECT_EQ(error.m_eCause, c.m_eCause) << c.m_pszName;
        }
        EXPECT_EQ(Read(szOld), "f1=alt\r\n") << c.m_pszName;
        EXPECT_THROW(refused.Save(Path("new.kvx").c_str()), ELoadSaveError);
        EXPECT_FALSE(std::ifstream(Path("new.kvx")).good()) << c.m_pszName;
    }
    EXPECT_EQ(CFileMessage::Save("n.kvx", {0, EFileCause::NotesTooLarge}),
              "Fehler beim Speichern\nNotizen zu gro\xC3\x9F: n.kvx\nDie Notizen d\xC3\xBCrfen in der Datei "
              "h\xC3\xB6"
              "chstens 16 MB belegen; es wurde nichts geschrieben.");
}

TEST_F(ProjectFile, FailedSaveKeepsTheOldFileAndTheFlag)
{
    const std::string szTarget = Write("keep.kvx", "f1=alt\r\n");
    CProject project;
    project.SetFunction(1, "x+1");
    ASSERT_TRUE(project.m_bModified);

    // A write that fails half way, as on a full disk.
    static int s_nCalls;
    s_nCalls = 0;
    auto failing = [](int nFile, const void* pData, size_t nCount) -> ssize_t {
        if (s_nCalls++ == 0)
            return ::write(nFile, pData, nCount / 2);
        errno = ENOSPC;
        return -1;
    };
    try {
        CProjectWriter::Save(project, szTarget.c_str(), failing);
        ADD_FAILURE() << "saved on a full disk";
    } catch (const ELoadSaveError& error) {
        EXPECT_EQ(error.m_eCause, EFileCause::NoSpace);
    }
    EXPECT_EQ(Read(szTarget), "f1=alt\r\n");

    // No temporary file is left behind either.
    EXPECT_EQ(std::system(("test $(ls '" + m_szDir + "' | wc -l) -eq 1").c_str()), 0);

    // A directory that cannot be written to.
    if (geteuid() != 0) { // root writes anyway
        chmod(m_szDir.c_str(), 0555);
        try {
            project.Save(szTarget.c_str());
            ADD_FAILURE() << "saved into a read-only directory";
        } catch (const ELoadSaveError& error) {
            EXPECT_EQ(error.m_nLine, 0u);
        }
        chmod(m_szDir.c_str(), 0755);
        EXPECT_EQ(Read(szTarget), "f1=alt\r\n");
    }
    // Not even root may create files in /proc.
    EXPECT_THROW(project.Save("/proc/kurvix-test.kvx"), ELoadSaveError);
    try {
        project.Save((m_szDir + "/no/such/dir/x.kvx").c_str());
        ADD_FAILURE() << "saved into a missing directory";
    } catch (const ELoadSaveError& error) {
        EXPECT_EQ(error.m_nLine, 0u);
        EXPECT_EQ(error.m_eCause, EFileCause::FolderNotFound);
    }
    EXPECT_TRUE(project.m_bModified);

    project.Save(szTarget.c_str());
    EXPECT_FALSE(project.m_bModified);
    EXPECT_EQ(Read(szTarget).substr(0, 7), "f1=x+1\r");
}

TEST_F(ProjectFile, SaveKeepsPermissionsAndFollowsLinks)
{
    const std::string szTarget = Write("perm.kvx", "");
    chmod(szTarget.c_str(), 0640);
    const bool bRoot = geteuid() == 0;
    if (bRoot) { // only root may give a file away; the new file must not take it back
        ASSERT_EQ(chown(szTarget.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(symlink("perm.kvx", Path("link.kvx").c_str()), 0);
    ASSERT_EQ(symlink("link.kvx", Path("link2.kvx").c_str()), 0);
    CProject project;
    project.Save(Path("link2.kvx").c_str());
    struct stat info;
    ASSERT_EQ(lstat(Path("link.kvx").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(stat(szTarget.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    if (bRoot) {
        EXPECT_TRUE(info.st_uid == 65534 && info.st_gid == 65534) << info.st_uid << ":" << info.st_gid;
    }
    EXPECT_EQ(Read(szTarget), DEFAULT_DOCUMENT);

    // A link that someone else put into a folder all may write to is not followed: it could
    // point to any file of the user's. The user's own link there is.
    const std::string szShared = Path("shared");
    ASSERT_EQ(mkdir(szShared.c_str(), 0777), 0);
    ASSERT_EQ(chmod(szShared.c_str(), 01777), 0);
    const std::string szThesis = Write("thesis.kvx", "f1=x\r\n");
    ASSERT_EQ(symlink(szThesis.c_str(), (szShared + "/own.kvx").c_str()), 0);
    project.SetFunction(1, "x*2");
    project.Save((szShared + "/own.kvx").c_str());
    EXPECT_EQ(Read(szThesis).substr(0, 8), "f1=x*2\r\n");
    if (bRoot) {
        ASSERT_EQ(symlink(szThesis.c_str(), (szShared + "/planted.kvx").c_str()), 0);
        ASSERT_EQ(lchown((szShared + "/planted.kvx").c_str(), 65534, 65534), 0);
        project.SetFunction(1, "x*3");
        try {
            project.Save((szShared + "/planted.kvx").c_str());
            ADD_FAILURE() << "followed";
        } catch (const ELoadSaveError& error) {
            EXPECT_EQ(error.m_eCause, EFileCause::AccessDenied);
        }
        EXPECT_EQ(Read(szThesis).substr(0, 8), "f1=x*2\r\n");
    }
}

TEST_F(ProjectFile, HeldSignalWaitsForTheRenamesAlsoOnAnotherThread)
{
    const std::string szTarget = Write("held.kvx", "alt");
    const pid_t nChild = fork();
    ASSERT_GE(nChild, 0);
    if (nChild == 0) {
        CAtomicFile::InstallSignalCleanup();
        std::atomic<bool> bStop{false};
        std::thread other([&bStop] { // holds no signal, so the system gives it the one sent
            while (!bStop)
                usleep(1000);
        });
        {
            CAtomicFile::CHoldSignals hold;
            CAtomicFile file(szTarget);
            file.Write("neu", 3);
            kill(getpid(), SIGTERM);
            usleep(300000); // time for the other thread to act on it
            file.Commit();
        } // the signal ends the program here
        bStop = true;
        other.join();
        _exit(0);
    }
    int nStatus = 0;
    ASSERT_EQ(waitpid(nChild, &nStatus, 0), nChild);
    EXPECT_TRUE(WIFSIGNALED(nStatus) && WTERMSIG(nStatus) == SIGTERM) << nStatus;
    EXPECT_EQ(Read(szTarget), "neu");
    EXPECT_EQ(std::system(("test $(ls -A '" + m_szDir + "' | wc -l) -eq 1").c_str()), 0);
}

TEST_F(ProjectFile, SaveRefusesWhatIsNoRegularFileAndLeavesIt)
{
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    const struct {
        const char* m_pszName;
        std::function<int(const std::string&)> m_Make;
    } rows[] = {
        {"pipe", [](const std::string& szName) { return mkfifo(szName.c_str(), 0644); }},
        {"link to a pipe",
         [&](const std::string& szName) { return symlink(Path("pipe.kvx").c_str(), szName.c_str()); }},
        {"folder", [](const std::string& szName) { return mkdir(szName.c_str(), 0755); }},
        {"dangling link", [](const std::string& szName) { return symlink("nowhere.kvx", szName.c_str()); }},
        {"link loop", [](const std::string& szName) { return symlink(szName.c_str(), szName.c_str()); }},
        // as /dev/stdout is, when it goes into a pipe
        {"link to an open pipe",
         [&](const std::string& szName) {
             return symlink(("/proc/self/fd/" + std::to_string(pipe[1])).c_str(), szName.c_str());
         }},
        // a device of its own where root may make one: root would replace /dev/null itself
        {"device",
         [](const std::string& szName) {
             return geteuid() == 0 ? mknod(szName.c_str(), S_IFCHR | 0666, makedev(1, 3))
                                   : symlink("/dev/null", szName.c_str());
         }},
    };
    CProject project;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        std::string szName = Path(std::string(row.m_pszName) + ".kvx");
        std::replace(szName.begin(), szName.end(), ' ', '-');
        ASSERT_EQ(row.m_Make(szName), 0);
        struct stat before, after;
        ASSERT_EQ(lstat(szName.c_str(), &before), 0);
        try {
            project.Save(szName.c_str());
            ADD_FAILURE() << "saved";
        } catch (const ELoadSaveError& error) {
            EXPECT_EQ(error.m_eCause, EFileCause::NotRegular);
        }
        ASSERT_EQ(lstat(szName.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mode, before.st_mode);
    }
    close(pipe[0]);
    close(pipe[1]);
    // Nothing else was made meanwhile.
    EXPECT_EQ(std::system(("test $(ls -A '" + m_szDir + "' | wc -l) -eq 7").c_str()), 0);
}

TEST_F(ProjectFile, SaveWritesTheCurrentFormatUnderKvxNamesOnly)
{
    // Under any other name the file would not load again, and a .kvo file would be gone.
    CProject project;
    for (const char* pszName : {"alt.kvo", "ALT.KVO", "out.txt", "projekt", "p.kvx.bak", "kvx", "ordner.kvx/p"}) {
        SCOPED_TRACE(pszName);
        if (std::string(pszName) == "ordner.kvx/p") {
            ASSERT_EQ(mkdir(Path("ordner.kvx").c_str(), 0755), 0);
        }
        const std::string szName = Write(pszName, "alt");
        try {
            project.Save(szName.c_str());
            ADD_FAILURE() << "saved";
        } catch (const ELoadSaveError& error) {
            EXPECT_EQ(error.m_eCause, EFileCause::NotKvx);
        }
        EXPECT_EQ(Read(szName), "alt");
    }
    project.Save(Path("GROSS.KVX").c_str());
    EXPECT_EQ(Read(Path("GROSS.KVX")), DEFAULT_DOCUMENT);
    EXPECT_EQ(CFileMessage::Save("a.kvo", {0, EFileCause::NotKvx}),
              "Fehler beim Speichern\nKeine .kvx-Datei, Projekte bitte als .kvx speichern: a.kvo");

    // The Debug page's dump has a name of its own, and replaces a link there instead of following it.
    const std::string szVictim = Write("victim.txt", "Kapitel 1");
    ASSERT_EQ(symlink(szVictim.c_str(), Path("dump.kvd").c_str()), 0);
    CProjectWriter::SaveDump(project, Path("dump.kvd").c_str());
    EXPECT_EQ(Read(szVictim), "Kapitel 1");
    EXPECT_EQ(Read(Path("dump.kvd")), DEFAULT_DOCUMENT);
}

TEST_F(ProjectFile, LongNamesSaveUpToTheFoldersLimit)
{
    // NAME_MAX is 255: the temporary file beside the target must fit as well.
    CProject project;
    for (size_t nLength = 248; nLength <= 255; ++nLength) {
        SCOPED_TRACE(nLength);
        const std::string szName = Path(std::string(nLength - 4, 'l') + ".kvx");
        project.Save(szName.c_str());
        EXPECT_EQ(Read(szName), DEFAULT_DOCUMENT);
        std::remove(szName.c_str());
    }
    EXPECT_EQ(std::system(("test $(ls -A '" + m_szDir + "' | wc -l) -eq 0").c_str()), 0);
    try {
        project.Save(Path(std::string(252, 'l') + ".kvx").c_str());
        ADD_FAILURE() << "saved";
    } catch (const ELoadSaveError& error) {
        EXPECT_EQ(error.m_eCause, EFileCause::NameTooLong);
    }
    EXPECT_EQ(CFileMessage::Save("l.kvx", {0, EFileCause::NameTooLong}), "Fehler beim Speichern\nName zu lang: l.kvx");
}
