// GetSystemInfoMachine: total size and free space of a file system.
#include "helvex1.h"

#include <sys/statvfs.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

extern "C" HELVEX1_API int32_t GetSystemInfoMachine(int32_t selector, const char *path,
                                                    char *buffer, int32_t /*unused*/)
{
    if (!buffer)
        return HX_FAILURE;
    char text[100] = {};
    if (selector == 1 || selector == 2) {
        struct statvfs fs {};
        if (!path || statvfs(path, &fs) != 0)
            return HX_FAILURE;
        const uint64_t fragment = fs.f_frsize ? fs.f_frsize : fs.f_bsize;
        const uint64_t blocks = selector == 1 ? fs.f_blocks : fs.f_bfree;
        std::snprintf(text, sizeof text, "%" PRIu64, blocks * fragment);
    }
    std::memcpy(buffer, text, std::strlen(text) + 1);
    return HX_SUCCESS;
}
