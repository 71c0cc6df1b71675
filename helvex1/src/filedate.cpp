// GetFileDate: one time stamp of a file as a local date text.
#include "datetext.h"
#include "helvex1.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace {

// The caller's buffer holds 18 bytes: "dd/mm/yyyy  hh:mm" and its zero.
constexpr size_t kDateRoom = 17;

struct Answer {
    int32_t code;
    std::string text;
};

Answer fileDate(const char *path, int32_t stamp)
{
    if (stamp < 1 || stamp > 3)
        return {HX_SUCCESS, ""};
    const int fd = path ? ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK) : -1;
    if (fd < 0)
        return {HX_FAILURE, "-1"};
    struct statx sx {};
    const unsigned int want = stamp == 1 ? STATX_BTIME : stamp == 2 ? STATX_ATIME : STATX_MTIME;
    const int r = statx(fd, "", AT_EMPTY_PATH, want, &sx);
    ::close(fd);
    if (r != 0 || !(sx.stx_mask & want))
        return {HX_FAILURE, "-2"}; // e.g. a file system that keeps no creation time
    const statx_timestamp &ts = stamp == 1 ? sx.stx_btime : stamp == 2 ? sx.stx_atime : sx.stx_mtime;
    std::string text = helvex1::dateText(ts.tv_sec, true);
    // A stamp outside the years 0-9999 (some file systems keep one) does
    // not fit the caller's buffer: it counts as a stamp that cannot be read.
    if (text.empty() || text.size() > kDateRoom)
        return {HX_FAILURE, "-2"};
    return {HX_SUCCESS, text};
}

} // namespace

extern "C" HELVEX1_API int32_t GetFileDate(const char *path, int32_t stamp, char *buffer,
                                           int32_t /*unused*/)
{
    if (!buffer)
        return HX_FAILURE;
    const Answer a = fileDate(path, stamp);
    std::memcpy(buffer, a.text.c_str(), a.text.size() + 1);
    return a.code;
}
