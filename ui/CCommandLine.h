#pragma once
// The program's command-line modes, which need no display.
#include <cstdint>
#include <string>

class CProject;

class CCommandLine {
public:
    // Runs the mode named by argv[1]; returns the exit code, or -1 when argv names no mode. Running
    // out of memory is exit code 1 with "Nicht genug Speicher", and no file half written.
    static int Run(int argc, char** argv);

    // Loads a project file into a fresh document; on failure prints the German message on
    // stderr and returns false.
    static bool LoadProject(CProject& project, const char* pszFileName);

    // Windows-1252 text of the core for a UTF-8 terminal.
    static std::string ToUtf8(const std::string& szAnsi);

    static int Usage();

private:
    static int RunMode(int argc, char** argv);
    static int Save(const char* pszOut, const char* pszFile);
    static int Table(int argc, char** argv);
    // --export (one picture) and --frames (one picture per step); Qt's offscreen platform.
    static int Picture(int argc, char** argv, bool bFrames);
    // --export to .gif, .webm or .mp4: the storyboard played as a film.
    static int Movie(CProject& project, const char* pszOut, int32_t nWidth, int32_t nHeight, uint32_t nFps);
};
