// Program entry: a command-line mode, or (with the user interface) the window.
#include <ctime>

#include "expr/CFuncRandom.h"
#include "ui/CCommandLine.h"

int main(int argc, char** argv)
{
    CFuncRandom::Seed(static_cast<uint32_t>(std::time(nullptr)));
    const int nExit = CCommandLine::Run(argc, argv);
    if (nExit >= 0)
        return nExit;
    return CCommandLine::Usage();
}
