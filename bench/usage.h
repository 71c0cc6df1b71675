// --help and -h of the benchmark programs: the options are printed and
// nothing is measured.
#pragma once

#include <cstdio>
#include <cstring>

// True when the command line asks for help; `usage` has then been printed.
inline bool answerHelp(int argc, char **argv, const char *usage)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(usage, stdout);
            return true;
        }
    return false;
}
