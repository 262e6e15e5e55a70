// Program entry: the command-line modes; the window comes with the user interface.
#include <cstdio>
#include <cstring>
#include <ctime>

#include "expr/CFuncRandom.h"
#include "kurvix_version.h"

namespace {
int Usage()
{
    std::fputs("Aufruf: kurvix --version\n"
               "  --version   zeigt die Programmversion\n",
               stderr);
    return 2;
}
}  // namespace

int main(int argc, char** argv)
{
    CFuncRandom::Seed(static_cast<uint32_t>(std::time(nullptr)));
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("KURVIX V%s\n", KURVIX_VERSION_TEXT);
        return 0;
    }
    return Usage();
}
