// The peak resident memory of this process so far, from /proc.
#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

// VmHWM in kB; -1 when it cannot be read.
inline long vmHwmKb()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}
