// CreateAppInst: a named instance lock held for the life of the process.
#include "helvex1.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace {

std::string lockFolder()
{
    if (const char *rt = std::getenv("XDG_RUNTIME_DIR"); rt && *rt && access(rt, W_OK) == 0)
        return std::string(rt) + "/helvex1";
    return "/tmp/helvex1-" + std::to_string(getuid());
}

// Any byte outside a safe set is written as %XX, so that names such as
// "Global\App" or "a/b" map to one flat file each.
std::string fileNameFor(const char *name)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p; ++p) {
        const unsigned char c = *p;
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_'
            || c == '.') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out + ".lock";
}

} // namespace

extern "C" HELVEX1_API int32_t CreateAppInst(const char *name)
{
    if (!name || !*name)
        return 0; // an unnamed lock can never exist already
    const std::string folder = lockFolder();
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return 2;
    const std::string path = folder + "/" + fileNameFor(name);
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return 2;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0)
        return 0; // the descriptor stays open: the lock lives as long as the process
    const int err = errno;
    close(fd);
    return err == EWOULDBLOCK ? 1 : 2;
}
