// Deflating files in pieces on several cores, joined into one stream per file.
//
// Each piece is a complete deflate stream of its own (libdeflate has no
// preset dictionary, so a piece starts with an empty window; with pieces of
// some megabytes that costs well under a percent). To join the pieces, the
// final-block bit of every piece but the last is cleared and the piece is
// brought to a byte boundary with an empty stored block, as a sync flush
// does. Where a piece's last block starts is not told by the compressor:
// zlib's inflate, stopping at every block boundary, finds it, and the same
// pass proves that the piece inflates to exactly the bytes read.
#include "deflate.h"

#include <libdeflate.h>
#include <sched.h>
#include <zlib.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace xzip {

namespace {

struct Piece {
    size_t file = 0;
    uint64_t offset = 0;
    size_t length = 0;
    bool last = false; // the last piece of its file
    std::vector<unsigned char> out;
    uint32_t crc = 0;
};

unsigned availableCores()
{
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return unsigned(CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

bool readFully(int fd, unsigned char *buf, size_t length, uint64_t offset)
{
    while (length > 0) {
        const ssize_t n = pread(fd, buf, length, off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false; // an error, or the file ended early
        buf += n;
        length -= size_t(n);
        offset += uint64_t(n);
    }
    return true;
}

// Where the last block of a deflate stream starts, and how many bits of the
// stream's last byte are padding.
struct StreamEnd {
    size_t headerByte = 0;
    int headerBit = 0;
    int paddingBits = 0;
};

// Per worker: the compressor and the inflater that checks its output.
class Worker {
public:
    explicit Worker(int level) : compressor_(libdeflate_alloc_compressor(level))
    {
        inflaterOk_ = inflateInit2(&z_, -MAX_WBITS) == Z_OK;
    }
    ~Worker()
    {
        if (compressor_)
            libdeflate_free_compressor(compressor_);
        if (inflaterOk_)
            inflateEnd(&z_);
    }
    Worker(const Worker &) = delete;
    Worker &operator=(const Worker &) = delete;

    bool deflatePiece(int fd, Piece &p)
    {
        if (!compressor_ || !inflaterOk_)
            return false;
        in_.resize(p.length);
        if (!readFully(fd, in_.data(), p.length, p.offset))
            return false;
        p.crc = uint32_t(libdeflate_crc32(0, in_.data(), p.length));
        // Room for the bound and the empty stored block appended below.
        p.out.resize(libdeflate_deflate_compress_bound(compressor_, p.length) + 8);
        const size_t n = libdeflate_deflate_compress(compressor_, in_.data(), p.length, p.out.data(), p.out.size() - 8);
        if (n == 0)
            return false;
        p.out.resize(n);
        StreamEnd end;
        if (!inflateAndCompare(p.out, end))
            return false;
        if (!p.last)
            leaveOpen(p.out, end);
        p.out.shrink_to_fit();
        return true;
    }

private:
    // Inflates `stream`, compares the result with in_, and finds where its
    // last block starts.
    bool inflateAndCompare(std::vector<unsigned char> &stream, StreamEnd &end)
    {
        if (inflateReset(&z_) != Z_OK)
            return false;
        z_.next_in = stream.data();
        z_.avail_in = uInt(stream.size());
        size_t produced = 0;
        for (;;) {
            z_.next_out = check_.data();
            z_.avail_out = uInt(check_.size());
            const int rc = inflate(&z_, Z_BLOCK);
            const size_t got = check_.size() - z_.avail_out;
            if (got > in_.size() - produced || (got != 0 && std::memcmp(check_.data(), in_.data() + produced, got) != 0))
                return false;
            produced += got;
            if (rc != Z_OK)
                return false; // Z_BLOCK stops after the final block, before Z_STREAM_END
            if (z_.data_type & 128) { // at a block boundary
                const int bits = z_.data_type & 7;
                const size_t consumed = stream.size() - z_.avail_in;
                if (z_.data_type & 64) { // that was the final block
                    end.paddingBits = bits;
                    return z_.avail_in == 0 && produced == in_.size();
                }
                end.headerByte = bits ? consumed - 1 : consumed;
                end.headerBit = bits ? 8 - bits : 0;
            }
        }
    }

    // Turns a complete stream into one that another stream may follow: the
    // last block is no longer final, and an empty stored block (all of its
    // header bits zero) takes it to a byte boundary.
    static void leaveOpen(std::vector<unsigned char> &stream, const StreamEnd &end)
    {
        stream[end.headerByte] &= static_cast<unsigned char>(~(1u << end.headerBit));
        if (end.paddingBits == 0)
            return;
        stream.back() &= static_cast<unsigned char>((1u << (8 - end.paddingBits)) - 1);
        if (end.paddingBits < 3)
            stream.push_back(0); // the rest of the stored block's header
        for (unsigned char b : {0x00, 0x00, 0xff, 0xff}) // LEN 0, NLEN
            stream.push_back(b);
    }

    libdeflate_compressor *compressor_;
    z_stream z_{};
    bool inflaterOk_ = false;
    std::vector<unsigned char> in_;
    std::vector<unsigned char> check_ = std::vector<unsigned char>(1 << 18);
};

// How many pieces a file of `size` bytes is cut into: about `pieceBytes`
// each, a multiple of the thread count so that the cores finish together,
// but no piece under a quarter of `pieceBytes`.
size_t pieceCount(uint64_t size, size_t pieceBytes, unsigned threads)
{
    uint64_t n = (size + pieceBytes - 1) / pieceBytes;
    if (threads > 1 && n > 0) {
        n = (n + threads - 1) / threads * threads;
        n = std::min<uint64_t>(n, std::max<uint64_t>(1, size / std::max<size_t>(1, pieceBytes / 4)));
    }
    return size_t(std::max<uint64_t>(1, n));
}

} // namespace

bool deflateFiles(const std::vector<std::string> &paths, const DeflateOptions &options,
                  std::vector<DeflatedFile> &out, bool *stopped)
{
    if (stopped)
        *stopped = false;
    if (options.level < 1 || options.level > 9 || options.pieceBytes == 0)
        return false;
    const unsigned cores = options.threads ? options.threads : availableCores();

    struct Fd {
        int fd = -1;
        ~Fd()
        {
            if (fd >= 0)
                close(fd);
        }
    };
    std::vector<Fd> fds(paths.size());
    std::vector<Piece> pieces;
    uint64_t totalBytes = 0;
    out.assign(paths.size(), DeflatedFile{});
    for (size_t f = 0; f < paths.size(); ++f) {
        fds[f].fd = open(paths[f].c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st;
        if (fds[f].fd < 0 || fstat(fds[f].fd, &st) != 0 || !S_ISREG(st.st_mode))
            return false;
        const uint64_t size = uint64_t(st.st_size);
        out[f].size = size;
        totalBytes += size;
        const size_t n = pieceCount(size, options.pieceBytes, cores);
        for (size_t i = 0; i < n; ++i) {
            Piece p;
            p.file = f;
            p.offset = size * i / n;
            p.length = size_t(size * (i + 1) / n - p.offset);
            p.last = i + 1 == n;
            pieces.push_back(std::move(p));
        }
    }

    const bool watched = bool(options.progress);
    std::atomic<size_t> next{0};
    std::atomic<uint64_t> doneBytes{0};
    std::atomic<bool> failed{false};
    std::atomic<bool> stop{false};
    auto share = [&] { return totalBytes ? double(doneBytes.load()) / double(totalBytes) : 1.0; };
    if (watched && !options.progress(0.0))
        stop = true;

    std::mutex mutex;
    std::condition_variable finishedOne;
    unsigned finished = 0;
    // `reports`: this is the calling thread, which tells the progress
    // function after each of its pieces.
    auto work = [&](bool reports) {
        try {
            Worker w(options.level);
            for (size_t i; !failed && !stop && (i = next++) < pieces.size();) {
                if (!w.deflatePiece(fds[pieces[i].file].fd, pieces[i]))
                    failed = true;
                doneBytes += pieces[i].length;
                if (reports && watched && !options.progress(share()))
                    stop = true;
            }
        } catch (const std::bad_alloc &) {
            failed = true;
        }
    };
    auto helper = [&] {
        work(false);
        const std::lock_guard<std::mutex> lock(mutex);
        ++finished;
        finishedOne.notify_all();
    };
    // Watched, the calling thread only watches while the helpers compress;
    // otherwise it compresses too.
    const size_t wanted = std::min<size_t>(cores, pieces.size());
    const unsigned helpers = unsigned(watched ? wanted : (wanted > 0 ? wanted - 1 : 0));
    std::vector<std::thread> threads;
    try {
        for (unsigned t = 0; t < helpers; ++t)
            threads.emplace_back(helper);
    } catch (const std::system_error &) {
        // Fewer threads than asked for: the ones running share the work.
    }
    if (watched && !threads.empty()) {
        std::unique_lock<std::mutex> lock(mutex);
        while (finished < threads.size()) {
            finishedOne.wait_for(lock, std::chrono::milliseconds(40));
            if (stop || failed || finished == threads.size())
                continue;
            lock.unlock();
            if (!options.progress(share()))
                stop = true;
            lock.lock();
        }
    } else {
        work(true);
    }
    for (std::thread &t : threads)
        t.join();
    if (stop && !failed) {
        if (stopped)
            *stopped = true;
        return false;
    }
    if (failed)
        return false;

    for (Piece &p : pieces) {
        DeflatedFile &f = out[p.file];
        f.crc = p.offset == 0 ? p.crc : uint32_t(crc32_combine(f.crc, p.crc, z_off_t(p.length)));
        f.data.insert(f.data.end(), p.out.begin(), p.out.end());
        std::vector<unsigned char>().swap(p.out);
    }
    return true;
}

} // namespace xzip
