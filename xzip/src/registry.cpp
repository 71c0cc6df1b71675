// DllRegisterServer, DllUnregisterServer: the component's entry in the
// per-user component registry.
#include "registry.h"

#include "xzip_component.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

namespace xzip {

namespace {

std::string homeFolder()
{
    if (const char *home = getenv("HOME"); home && *home)
        return home;
    if (const passwd *pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return {};
}

std::string registryFolder()
{
    // Only an absolute XDG_DATA_HOME counts; anything else means the default.
    if (const char *data = getenv("XDG_DATA_HOME"); data && data[0] == '/')
        return std::string(data) + "/vantel";
    const std::string home = homeFolder();
    return home.empty() ? std::string() : home + "/.local/share/vantel";
}

// Creates `folder` and any missing parents (new ones private to the user).
bool makeFolders(const std::string &folder)
{
    for (size_t pos = 1; pos <= folder.size(); ++pos) {
        if (pos != folder.size() && folder[pos] != '/')
            continue;
        const std::string part = folder.substr(0, pos);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st;
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The id of an entry line, trimmed; empty for lines that are no entries.
std::string entryId(const std::string &line)
{
    const size_t eq = line.find('=');
    if (eq == std::string::npos)
        return {};
    size_t b = 0, e = eq;
    while (b < e && (line[b] == ' ' || line[b] == '\t'))
        ++b;
    while (e > b && (line[e - 1] == ' ' || line[e - 1] == '\t'))
        --e;
    return line.substr(b, e - b);
}

// Reads the lines of `path`; a missing file has none.
bool readLines(const std::string &path, std::vector<std::string> &lines)
{
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f)
        return errno == ENOENT;
    std::string line;
    int c;
    while ((c = std::fgetc(f)) != EOF) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line.push_back(static_cast<char>(c));
        }
    }
    const bool ok = !std::ferror(f);
    std::fclose(f);
    if (!line.empty())
        lines.push_back(line);
    return ok;
}

bool writeAll(int fd, const std::string &data)
{
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Writes `lines` to a temporary file beside `path` and renames it over it.
bool replaceFile(const std::string &folder, const std::string &path, const std::vector<std::string> &lines)
{
    std::string data;
    for (const std::string &l : lines)
        data += l + '\n';

    std::string tmp = folder + "/.components.ini.XXXXXX";
    const int fd = mkstemp(tmp.data());
    if (fd < 0)
        return false;
    struct stat st;
    const mode_t mode = stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    bool ok = writeAll(fd, data) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok && rename(tmp.c_str(), path.c_str()) == 0) {
        if (const int dfd = open(folder.c_str(), O_RDONLY | O_DIRECTORY); dfd >= 0) {
            fsync(dfd);
            close(dfd);
        }
        return true;
    }
    unlink(tmp.c_str());
    return false;
}

// The absolute path of this library, as loaded.
std::string thisLibrary()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void *>(&DllRegisterServer), &info) || !info.dli_fname)
        return {};
    char resolved[PATH_MAX];
    if (!realpath(info.dli_fname, resolved))
        return {};
    return resolved;
}

} // namespace

bool updateRegistry(const std::string &progid, const std::string &library)
{
    const std::string folder = registryFolder();
    if (folder.empty())
        return false;
    const std::string path = folder + "/components.ini";
    std::vector<std::string> lines;
    if (!readLines(path, lines))
        return false;

    std::vector<std::string> out;
    bool found = false;
    bool changed = false;
    const std::string entry = progid + "=" + library;
    for (const std::string &line : lines) {
        if (strcasecmp(entryId(line).c_str(), progid.c_str()) != 0) {
            out.push_back(line);
            continue;
        }
        // The first entry of the id is kept (updated); repeats are dropped.
        if (!library.empty() && !found) {
            out.push_back(entry);
            changed = changed || line != entry;
        } else {
            changed = true;
        }
        found = true;
    }
    if (!library.empty() && !found) {
        out.push_back(entry);
        changed = true;
    }
    if (!changed)
        return true;
    return makeFolders(folder) && replaceFile(folder, path, out);
}

} // namespace xzip

extern "C" XZIP_API int32_t DllRegisterServer(void)
{
    const std::string library = xzip::thisLibrary();
    if (library.empty())
        return 1;
    return xzip::updateRegistry(XZIP_PROGID, library) ? 0 : 2;
}

extern "C" XZIP_API int32_t DllUnregisterServer(void)
{
    return xzip::updateRegistry(XZIP_PROGID, std::string()) ? 0 : 2;
}
