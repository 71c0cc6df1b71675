// pack: adds files to a zip archive through libzip.
#include "pack.h"

#include "xzip_component.h"

#include <zip.h>

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace xzip {

namespace {

struct Source {
    std::string path;  // to read from
    std::string entry; // name inside the archive
};

bool isPattern(const std::string &name)
{
    return name.find_first_of("*?[") != std::string::npos;
}

// The entry name of `path` when folder names are kept: the path without
// leading "/", with "." and ".." parts resolved (a ".." above the top is
// dropped), so that it can never point outside the folder it is unpacked
// into.
std::string entryWithFolders(const std::string &path)
{
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t next = path.find('/', pos);
        if (next == std::string::npos)
            next = path.size();
        const std::string part = path.substr(pos, next - pos);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = next + 1;
    }
    std::string out;
    for (const std::string &p : parts)
        out += (out.empty() ? "" : "/") + p;
    return out;
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The files that `source` names, sorted by path; the archive itself is left
// out so that it is never packed into itself.
std::vector<Source> collect(const std::string &source, const std::string &archive, bool keepFolders)
{
    struct stat archiveStat;
    const bool archiveExists = stat(archive.c_str(), &archiveStat) == 0;

    const size_t slash = source.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : source.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? source : source.substr(slash + 1);

    std::vector<std::string> paths;
    if (isPattern(name)) {
        if (DIR *dir = opendir(folder.empty() ? "." : folder.c_str())) {
            while (const dirent *d = readdir(dir)) {
                if (fnmatch(name.c_str(), d->d_name, FNM_PERIOD) == 0)
                    paths.push_back(folder + d->d_name);
            }
            closedir(dir);
        }
    } else if (!name.empty()) {
        paths.push_back(source);
    }
    std::sort(paths.begin(), paths.end());

    std::vector<Source> out;
    for (const std::string &p : paths) {
        struct stat st;
        if (stat(p.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (archiveExists && sameFile(st, archiveStat))
            continue;
        const std::string base = p.substr(p.rfind('/') == std::string::npos ? 0 : p.rfind('/') + 1);
        out.push_back({p, keepFolders ? entryWithFolders(p) : base});
    }
    return out;
}

// Flushes the finished archive and its folder entry to disk.
void syncToDisk(const std::string &archive)
{
    if (const int fd = open(archive.c_str(), O_RDONLY); fd >= 0) {
        fsync(fd);
        close(fd);
    }
    const size_t slash = archive.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : archive.substr(0, slash));
    if (const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY); fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

} // namespace

int pack(const std::string &source, const std::string &archive, bool keepFolders, int level)
{
    const std::vector<Source> files = collect(source, archive, keepFolders);
    if (files.empty())
        return XZIP_PACK_NO_SOURCE;

    // libzip keeps every change in memory and writes the whole archive to a
    // temporary file beside it on zip_close, renaming it over the old one
    // only when it is complete.
    // An existing file of no bytes holds no entries: it is taken as a new
    // archive (a caller may reserve the archive's name that way).
    struct stat st;
    const bool empty = stat(archive.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
    int error = 0;
    zip_t *za = zip_open(archive.c_str(), ZIP_CREATE | (empty ? ZIP_TRUNCATE : 0), &error);
    if (!za)
        return error == ZIP_ER_OPEN || error == ZIP_ER_MEMORY ? XZIP_PACK_WRITE_FAILED : XZIP_PACK_BAD_ARCHIVE;

    for (const Source &f : files) {
        zip_source_t *src = zip_source_file(za, f.path.c_str(), 0, -1);
        if (!src) {
            zip_discard(za);
            return XZIP_PACK_WRITE_FAILED;
        }
        const zip_int64_t index = zip_file_add(za, f.entry.c_str(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(src);
            zip_discard(za);
            return XZIP_PACK_WRITE_FAILED;
        }
        const zip_int32_t method = level == 0 ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
        if (zip_set_file_compression(za, static_cast<zip_uint64_t>(index), method,
                                     static_cast<zip_uint32_t>(level)) != 0) {
            zip_discard(za);
            return XZIP_PACK_WRITE_FAILED;
        }
    }

    if (zip_close(za) != 0) {
        // The temporary file is gone and the old archive untouched.
        zip_discard(za);
        return XZIP_PACK_WRITE_FAILED;
    }
    syncToDisk(archive);
    return XZIP_PACK_OK;
}

} // namespace xzip
