// DeleteDirectory: removes a folder and everything in it, depth first.
#include "helvex1.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace {

constexpr int kMaxDepth = 256;

// Gives the owner write permission when it lacks it, as a read-only entry
// must become writable before it goes.
void makeWritable(int dirFd, const char *name, const struct stat &st)
{
    if (!(st.st_mode & S_IWUSR) && fchmodat(dirFd, name, (st.st_mode & 07777) | S_IWUSR, 0) != 0) {
        // Left as it is: removing the entry then tells whether that mattered.
    }
}

// Empties the folder open at `fd` (which it closes) and answers whether
// every entry went.  Links are removed as links, never followed.
bool emptyFolder(int fd, int depth)
{
    DIR *dir = fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    bool ok = true;
    while (ok) {
        errno = 0;
        const dirent *e = readdir(dir);
        if (!e) {
            ok = errno == 0; // the end of the listing, or a failure to read it
            break;
        }
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        struct stat st {};
        if (fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            ok = false;
            break;
        }
        if (S_ISDIR(st.st_mode)) {
            if (depth >= kMaxDepth) {
                ok = false;
                break;
            }
            makeWritable(fd, e->d_name, st);
            const int sub = openat(fd, e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            ok = sub >= 0 && emptyFolder(sub, depth + 1) && unlinkat(fd, e->d_name, AT_REMOVEDIR) == 0;
        } else {
            if (!S_ISLNK(st.st_mode))
                makeWritable(fd, e->d_name, st);
            ok = unlinkat(fd, e->d_name, 0) == 0;
        }
    }
    closedir(dir);
    return ok;
}

} // namespace

extern "C" HELVEX1_API int32_t DeleteDirectory(const char *path)
{
    if (!path || !*path)
        return 0;
    // A trailing "/" would make the system resolve a link given as the
    // folder and empty its target: the name is taken without it.
    std::string folder(path);
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    struct stat st {};
    if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return 0;
    if (!(st.st_mode & S_IWUSR))
        chmod(folder.c_str(), (st.st_mode & 07777) | S_IWUSR);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 || !emptyFolder(fd, 0))
        return 0;
    return rmdir(folder.c_str()) == 0 ? 1 : 0;
}
