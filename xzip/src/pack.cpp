// pack: adds files to a zip archive through libzip.
#include "pack.h"

#include "deflate.h"
#include "xzip_component.h"

#include <zip.h>

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace xzip {

namespace {

struct Source {
    std::string path;  // to read from
    std::string entry; // name inside the archive
    struct stat st;    // modification time and permissions
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
        out.push_back({p, keepFolders ? entryWithFolders(p) : base, st});
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

// The deflate stream of the files of one call, shared by their entries.
struct SharedStream {
    std::unique_ptr<DeflateStream> stream;
};

// What libzip reads for an entry whose data is deflated already: the method
// and size from the first stat answer, then the bytes as they are, which
// the stream hands out while it compresses the pieces after; the CRC from
// the stat answer libzip asks for once it has read them all.
struct Streamed {
    std::shared_ptr<SharedStream> shared;
    size_t file = 0; // in the stream
    struct stat st;
    uint16_t levelFlags; // general purpose bits 1-2: the deflate option used
    bool opened = false, ended = false;
    const unsigned char *data = nullptr;
    size_t left = 0;
    zip_error_t error{};
};

zip_int64_t streamedRead(Streamed *d, unsigned char *out, zip_uint64_t len)
{
    DeflateStream &stream = *d->shared->stream;
    zip_uint64_t n = 0;
    while (n < len && !d->ended) {
        if (d->left == 0) {
            if (!stream.read(d->file, d->data, d->left)) {
                zip_error_set(&d->error, stream.stopped() ? ZIP_ER_CANCELLED : ZIP_ER_READ, 0);
                return -1;
            }
            d->ended = d->left == 0;
            continue;
        }
        const size_t take = size_t(std::min<zip_uint64_t>(len - n, d->left));
        std::memcpy(out + n, d->data, take);
        d->data += take;
        d->left -= take;
        n += take;
    }
    return zip_int64_t(n);
}

zip_int64_t streamedSource(void *userdata, void *data, zip_uint64_t len, zip_source_cmd_t cmd)
{
    Streamed *d = static_cast<Streamed *>(userdata);
    switch (cmd) {
    case ZIP_SOURCE_OPEN:
        if (d->opened) { // the stream cannot be read twice
            zip_error_set(&d->error, ZIP_ER_INTERNAL, 0);
            return -1;
        }
        d->opened = true;
        return 0;
    case ZIP_SOURCE_READ:
        return streamedRead(d, static_cast<unsigned char *>(data), len);
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_STAT: {
        zip_stat_t *st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, len, &d->error);
        if (!st)
            return -1;
        const DeflateStream &stream = *d->shared->stream;
        zip_stat_init(st);
        st->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_MTIME;
        st->size = stream.size(d->file);
        st->comp_method = ZIP_CM_DEFLATE;
        st->mtime = d->st.st_mtime;
        if (stream.finished(d->file)) {
            st->valid |= ZIP_STAT_CRC;
            st->crc = stream.crc(d->file);
        }
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_GET_FILE_ATTRIBUTES: {
        zip_file_attributes_t *a = ZIP_SOURCE_GET_ARGS(zip_file_attributes_t, data, len, &d->error);
        if (!a)
            return -1;
        a->valid |= ZIP_FILE_ATTRIBUTES_HOST_SYSTEM | ZIP_FILE_ATTRIBUTES_EXTERNAL_FILE_ATTRIBUTES
                    | ZIP_FILE_ATTRIBUTES_GENERAL_PURPOSE_BIT_FLAGS;
        a->host_system = ZIP_OPSYS_UNIX;
        a->external_file_attributes = zip_uint32_t(d->st.st_mode & 0xffff) << 16;
        a->general_purpose_bit_flags = d->levelFlags;
        a->general_purpose_bit_mask = 0x0006;
        return sizeof(zip_file_attributes_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&d->error, data, len);
    case ZIP_SOURCE_FREE:
        zip_error_fini(&d->error);
        delete d;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                              ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SUPPORTS,
                                              ZIP_SOURCE_GET_FILE_ATTRIBUTES, -1);
    default:
        return -1;
    }
}

// The deflate option bits of the general purpose flags for `level`.
uint16_t levelFlags(int level)
{
    return level >= 9 ? 0x0002 : level <= 2 ? 0x0004 : 0x0000; // maximum, fast, normal
}

// libdeflate's levels for a zip level. Its levels compress better than
// zlib's and zip's of the same number. Level 9, the smallest output of the
// zip tools, is its 8 (near-optimal parsing) where that pays: on text of
// short, alike lines, such as the program's date lines, it is 2 to 3%
// smaller than its 7 for twice the time; on prose it gains a few tenths of
// a percent for three times the time, and there its 7 (lazy matching),
// already about as small as zip -9, is taken. A probe of each larger file
// tells which kind it is.
//
// Pieces of 2 MiB cost under a tenth of a percent against pieces of 4 MiB,
// and hold half as much memory while they are compressed.
DeflateOptions deflateOptions(int level)
{
    DeflateOptions options;
    options.level = level == 9 ? 8 : level;
    options.cheaperLevel = level == 9 ? 7 : 0;
    options.probeGain = 0.01;
    options.pieceBytes = 2u << 20;
    return options;
}

// Where a call stands, told to its progress function as the share of the
// whole call that is done.
class Watch {
public:
    explicit Watch(const Progress &progress) : progress_(progress) {}

    // Tells the progress function that `done` of the call is done; false
    // once it asked to stop.
    bool tell(double done)
    {
        if (stopped_)
            return false;
        if (progress_ && !progress_(std::clamp(done, 0.0, 1.0)))
            stopped_ = true;
        return !stopped_;
    }
    bool stopped() const { return stopped_; }
    bool watched() const { return bool(progress_); }

    // libzip's callbacks while it writes the archive. libzip asks whether to
    // cancel right after each report but the last: that one comes once the
    // archive is in place, too late to stop, so it is not passed on.
    static void onProgress(zip_t *, double done, void *watch)
    {
        if (done < 1.0)
            static_cast<Watch *>(watch)->tell(done);
    }
    static int onCancel(zip_t *, void *watch) { return static_cast<Watch *>(watch)->stopped_ ? 1 : 0; }

private:
    const Progress &progress_;
    bool stopped_ = false;
};

// Adds an entry for each of `files` whose data a stream deflates while
// libzip writes the archive: libzip writes the entries in the order of their
// index, so the stream compresses the files in that order. False, with
// every source freed, when an entry cannot be added or a file not opened.
bool addDeflated(zip_t *za, const std::vector<Source> &files, int level, Watch &watch)
{
    auto shared = std::make_shared<SharedStream>();
    std::map<zip_uint64_t, std::pair<size_t, Streamed *>> byIndex; // a name added twice keeps its last file
    for (size_t i = 0; i < files.size(); ++i) {
        Streamed *d = new Streamed{shared, 0, files[i].st, levelFlags(level)};
        zip_source_t *src = zip_source_function(za, streamedSource, d);
        if (!src) {
            delete d;
            return false;
        }
        const zip_int64_t index = zip_file_add(za, files[i].entry.c_str(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(src);
            return false;
        }
        byIndex[zip_uint64_t(index)] = {i, d};
    }
    std::vector<std::string> paths;
    for (auto &[index, entry] : byIndex) {
        entry.second->file = paths.size();
        paths.push_back(files[entry.first].path);
    }
    DeflateOptions options = deflateOptions(level);
    if (watch.watched())
        options.progress = [&watch](double done) { return watch.tell(done); };
    shared->stream = std::make_unique<DeflateStream>(paths, options);
    return shared->stream->ok();
}

} // namespace

int pack(const std::string &source, const std::string &archive, bool keepFolders, int level,
         const Progress &progress)
{
    Watch watch(progress);
    if (!watch.tell(0.0))
        return XZIP_PACK_CANCELLED;
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

    auto fail = [&] {
        zip_discard(za);
        return watch.stopped() ? XZIP_PACK_CANCELLED : XZIP_PACK_WRITE_FAILED;
    };
    if (level == 0) {
        for (const Source &f : files) {
            zip_source_t *src = zip_source_file(za, f.path.c_str(), 0, -1);
            if (!src)
                return fail();
            const zip_int64_t index = zip_file_add(za, f.entry.c_str(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
            if (index < 0) {
                zip_source_free(src);
                return fail();
            }
            if (zip_set_file_compression(za, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0) != 0)
                return fail();
        }
    } else if (!addDeflated(za, files, level, watch)) {
        return fail();
    }

    // Writing: stored files are followed by libzip's reports; deflated ones
    // by the stream, which compresses them meanwhile. libzip asks whether
    // to cancel as it goes.
    if (!watch.tell(0.0))
        return fail();
    if (watch.watched()) {
        if (level == 0)
            zip_register_progress_callback_with_state(za, 0.02, &Watch::onProgress, nullptr, &watch);
        zip_register_cancel_callback_with_state(za, &Watch::onCancel, nullptr, &watch);
    }
    if (zip_close(za) != 0) {
        // The temporary file is gone and the old archive untouched.
        zip_discard(za);
        return watch.stopped() ? XZIP_PACK_CANCELLED : XZIP_PACK_WRITE_FAILED;
    }
    syncToDisk(archive);
    return XZIP_PACK_OK;
}

} // namespace xzip
