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
//
// The pieces are compressed in the order they are read back, never more
// than a few ahead of the reader, so that a file's stream is written while
// its later pieces are compressed and only those few are held at a time.
#include "deflate.h"

#include <libdeflate.h>
#include <sched.h>
#include <zlib.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

// A probe is this much of a file, from its middle; files of kProbedFile
// bytes or more are probed.
constexpr size_t kProbeBytes = 128u << 10;
constexpr uint64_t kProbedFile = 1u << 20;
constexpr auto kReportEvery = std::chrono::milliseconds(40);

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

// A buffer that grows and is not cleared.
class Buffer {
public:
    unsigned char *at(size_t size)
    {
        if (size > capacity_ || !bytes_) {
            bytes_.reset(new unsigned char[std::max<size_t>(size, 1)]);
            capacity_ = std::max<size_t>(size, 1);
        }
        return bytes_.get();
    }

private:
    std::unique_ptr<unsigned char[]> bytes_;
    size_t capacity_ = 0;
};

// Where the last block of a deflate stream starts, and how many bits of the
// stream's last byte are padding.
struct StreamEnd {
    size_t headerByte = 0;
    int headerBit = 0;
    int paddingBits = 0;
};

struct Piece {
    size_t file = 0;
    uint64_t offset = 0;
    size_t length = 0;
    bool last = false; // the last piece of its file
    bool done = false;
    std::vector<unsigned char> out;
    uint32_t crc = 0;
};

// Per thread: the compressors of the levels it was asked for, and the
// inflater that checks their output.
class Worker {
public:
    Worker() { inflaterOk_ = inflateInit2(&z_, -MAX_WBITS) == Z_OK; }
    ~Worker()
    {
        for (const auto &c : compressors_)
            libdeflate_free_compressor(c.second);
        if (inflaterOk_)
            inflateEnd(&z_);
    }
    Worker(const Worker &) = delete;
    Worker &operator=(const Worker &) = delete;

    // Reads piece `p` of `fd`, deflates it at `level` into `out` and checks
    // it; `crc` is the CRC-32 of what was read.
    bool deflatePiece(int fd, const Piece &p, int level, std::vector<unsigned char> &out, uint32_t &crc)
    {
        libdeflate_compressor *compressor = compressorAt(level);
        if (!compressor || !inflaterOk_)
            return false;
        in_ = inBuffer_.at(p.length);
        inLength_ = p.length;
        if (!readFully(fd, in_, p.length, p.offset))
            return false;
        crc = uint32_t(libdeflate_crc32(0, in_, p.length));
        const size_t bound = libdeflate_deflate_compress_bound(compressor, p.length);
        unsigned char *stream = outBuffer_.at(bound);
        const size_t n = libdeflate_deflate_compress(compressor, in_, p.length, stream, bound);
        StreamEnd end;
        if (n == 0 || !inflateAndCompare(stream, n, end))
            return false;
        out.reserve(n + 6); // room for the empty stored block of leaveOpen
        out.assign(stream, stream + n);
        if (!p.last)
            leaveOpen(out, end);
        return true;
    }

private:
    libdeflate_compressor *compressorAt(int level)
    {
        for (const auto &c : compressors_)
            if (c.first == level)
                return c.second;
        libdeflate_compressor *c = libdeflate_alloc_compressor(level);
        if (c)
            compressors_.emplace_back(level, c);
        return c;
    }

    // Inflates `stream`, compares the result with what was read, and finds
    // where its last block starts.
    bool inflateAndCompare(unsigned char *stream, size_t size, StreamEnd &end)
    {
        if (inflateReset(&z_) != Z_OK)
            return false;
        z_.next_in = stream;
        z_.avail_in = uInt(size);
        size_t produced = 0;
        for (;;) {
            z_.next_out = check_.data();
            z_.avail_out = uInt(check_.size());
            const int rc = inflate(&z_, Z_BLOCK);
            const size_t got = check_.size() - z_.avail_out;
            if (got > inLength_ - produced || (got != 0 && std::memcmp(check_.data(), in_ + produced, got) != 0))
                return false;
            produced += got;
            if (rc != Z_OK)
                return false; // Z_BLOCK stops after the final block, before Z_STREAM_END
            if (z_.data_type & 128) { // at a block boundary
                const int bits = z_.data_type & 7;
                const size_t consumed = size - z_.avail_in;
                if (z_.data_type & 64) { // that was the final block
                    end.paddingBits = bits;
                    return z_.avail_in == 0 && produced == inLength_;
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

    std::vector<std::pair<int, libdeflate_compressor *>> compressors_;
    z_stream z_{};
    bool inflaterOk_ = false;
    Buffer inBuffer_, outBuffer_;
    unsigned char *in_ = nullptr;
    size_t inLength_ = 0;
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

struct DeflateStream::State {
    struct File {
        int fd = -1;
        uint64_t size = 0;
        size_t endPiece = 0;           // one past its last piece
        int level = 0;                 // 0 until its probe has decided
        int probesDone = 0;
        std::vector<unsigned char> probeOut[2]; // the probe at the level asked for, at the cheaper one
        uint32_t crc = 0;
        bool finished = false;
    };
    struct Task {
        size_t piece;
        int level;     // 0: the file's level
        int probeSlot; // 0 or 1 for the two deflations of a probe, else -1
    };

    DeflateOptions options;
    bool ok = false;
    std::vector<File> files;
    std::vector<Piece> pieces; // in the order they are read
    std::vector<Task> tasks;   // every probe first, then the pieces in order
    uint64_t totalBytes = 0;
    size_t window = 0;         // pieces that may be compressed ahead of the reader

    std::mutex mutex;
    std::condition_variable changed; // a piece done or read, a failure, a stop
    size_t nextTask = 0;
    size_t cursor = 0;               // the piece the reader is at
    bool holding = false;            // pieces[cursor] is handed out
    uint64_t readBytes = 0;
    bool failed = false, stop = false, stoppedByProgress = false;
    std::vector<std::thread> threads;
    std::unique_ptr<Worker> reader;  // when no thread could be started

    bool startable(const Task &t) const
    {
        return t.probeSlot >= 0 || (files[pieces[t.piece].file].level != 0 && t.piece < cursor + window);
    }

    // Runs tasks[nextTask] with the lock released.
    void runTask(Worker &w, std::unique_lock<std::mutex> &lock)
    {
        const Task t = tasks[nextTask++];
        Piece &p = pieces[t.piece];
        File &f = files[p.file];
        const int level = t.level ? t.level : f.level;
        lock.unlock();
        std::vector<unsigned char> out;
        uint32_t crc = 0;
        bool done = false;
        try {
            done = w.deflatePiece(f.fd, p, level, out, crc);
        } catch (const std::bad_alloc &) {
        }
        lock.lock();
        if (!done) {
            failed = true;
        } else if (t.probeSlot < 0) {
            p.out = std::move(out);
            p.crc = crc;
            p.done = true;
        } else {
            f.probeOut[t.probeSlot] = std::move(out);
            p.crc = crc;
            if (++f.probesDone == 2)
                decide(f, p);
        }
        changed.notify_all();
    }

    // Both deflations of a probe are done: the file's level is the one
    // asked for only when it pays, and the probe keeps the smaller stream.
    void decide(File &f, Piece &probe)
    {
        std::vector<unsigned char> &asked = f.probeOut[0], &cheaper = f.probeOut[1];
        const double saved = double(cheaper.size()) - double(asked.size());
        f.level = saved >= options.probeGain * double(cheaper.size()) ? options.level : options.cheaperLevel;
        probe.out = std::move(asked.size() <= cheaper.size() ? asked : cheaper);
        std::vector<unsigned char>().swap(asked);
        std::vector<unsigned char>().swap(cheaper);
        probe.done = true;
    }

    void work()
    {
        try {
            Worker w;
            std::unique_lock<std::mutex> lock(mutex);
            for (;;) {
                changed.wait(lock, [&] {
                    return stop || failed || nextTask == tasks.size() || startable(tasks[nextTask]);
                });
                if (stop || failed || nextTask == tasks.size())
                    return;
                runTask(w, lock);
            }
        } catch (const std::bad_alloc &) {
            const std::lock_guard<std::mutex> lock(mutex);
            failed = true;
            changed.notify_all();
        }
    }

    // The reader is done with pieces[cursor].
    void release()
    {
        Piece &p = pieces[cursor];
        File &f = files[p.file];
        f.crc = p.offset == 0 ? p.crc : uint32_t(crc32_combine(f.crc, p.crc, z_off_t(p.length)));
        readBytes += p.length;
        std::vector<unsigned char>().swap(p.out);
        holding = false;
        if (++cursor == f.endPiece)
            f.finished = true;
        changed.notify_all();
    }

    // Tells the progress function how far the reader is, with `more` bytes
    // handed out beyond those read; false once it asked to stop.
    bool report(std::unique_lock<std::mutex> &lock, uint64_t more = 0)
    {
        if (!options.progress)
            return true;
        const double share = totalBytes ? double(readBytes + more) / double(totalBytes) : 1.0;
        lock.unlock();
        const bool go = options.progress(share);
        lock.lock();
        if (!go) {
            stop = stoppedByProgress = true;
            changed.notify_all();
        }
        return go;
    }
};

DeflateStream::DeflateStream(const std::vector<std::string> &paths, const DeflateOptions &options)
    : s_(std::make_unique<State>())
{
    State &s = *s_;
    s.options = options;
    const bool levels = options.level >= 1 && options.level <= 12
                        && (options.cheaperLevel == 0 || (options.cheaperLevel >= 1 && options.cheaperLevel <= 12));
    if (!levels || options.pieceBytes == 0)
        return;
    const unsigned cores = options.threads ? options.threads : availableCores();
    s.files.resize(paths.size());
    std::vector<size_t> probes;
    for (size_t i = 0; i < paths.size(); ++i) {
        State::File &f = s.files[i];
        f.fd = open(paths[i].c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st;
        if (f.fd < 0 || fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode))
            return;
        f.size = uint64_t(st.st_size);
        s.totalBytes += f.size;
        const size_t first = s.pieces.size();
        const size_t n = pieceCount(f.size, options.pieceBytes, cores);
        for (size_t k = 0; k < n; ++k) {
            Piece p;
            p.file = i;
            p.offset = f.size * k / n;
            p.length = size_t(f.size * (k + 1) / n - p.offset);
            p.last = k + 1 == n;
            s.pieces.push_back(std::move(p));
        }
        const bool probed = options.cheaperLevel != 0 && f.size >= kProbedFile;
        if (probed) {
            // The probe: the start of the middle piece, cut off from it
            // when that piece is larger.
            const size_t middle = first + n / 2;
            if (s.pieces[middle].length > kProbeBytes) {
                Piece rest = s.pieces[middle];
                rest.offset += kProbeBytes;
                rest.length -= kProbeBytes;
                s.pieces[middle].length = kProbeBytes;
                s.pieces[middle].last = false;
                s.pieces.insert(s.pieces.begin() + std::ptrdiff_t(middle) + 1, std::move(rest));
            }
            probes.push_back(middle);
        }
        f.level = probed ? 0 : options.level;
        f.endPiece = s.pieces.size();
    }
    for (size_t p : probes) {
        s.tasks.push_back({p, options.level, 0});
        s.tasks.push_back({p, options.cheaperLevel, 1});
    }
    for (size_t p = 0, next = 0; p < s.pieces.size(); ++p) {
        if (next < probes.size() && probes[next] == p) {
            ++next;
            continue;
        }
        s.tasks.push_back({p, 0, -1});
    }
    s.window = 2 * size_t(cores) + 2;
    s.ok = true;
    try {
        for (size_t t = 0; t < std::min<size_t>(cores, s.tasks.size()); ++t)
            s.threads.emplace_back([&s] { s.work(); });
    } catch (const std::system_error &) {
        // Fewer threads than asked for: the ones running share the work.
    }
}

DeflateStream::~DeflateStream()
{
    {
        const std::lock_guard<std::mutex> lock(s_->mutex);
        s_->stop = true;
        s_->changed.notify_all();
    }
    for (std::thread &t : s_->threads)
        t.join();
    for (const State::File &f : s_->files)
        if (f.fd >= 0)
            close(f.fd);
}

bool DeflateStream::ok() const
{
    return s_->ok;
}

uint64_t DeflateStream::size(size_t file) const
{
    return file < s_->files.size() ? s_->files[file].size : 0;
}

bool DeflateStream::read(size_t file, const unsigned char *&data, size_t &length)
{
    State &s = *s_;
    std::unique_lock<std::mutex> lock(s.mutex);
    data = nullptr;
    length = 0;
    if (!s.ok || s.failed || s.stop || file >= s.files.size())
        return false;
    if (s.holding)
        s.release();
    if (s.files[file].finished)
        return true;
    if (s.cursor >= s.pieces.size() || s.pieces[s.cursor].file != file)
        return false; // another file's turn
    auto told = std::chrono::steady_clock::now();
    while (!s.pieces[s.cursor].done) {
        if (s.failed || s.stop)
            return false;
        if (s.threads.empty()) { // the reader compresses
            if (s.nextTask == s.tasks.size() || !s.startable(s.tasks[s.nextTask]))
                return false;
            if (!s.reader)
                s.reader = std::make_unique<Worker>();
            s.runTask(*s.reader, lock);
            continue;
        }
        s.changed.wait_for(lock, kReportEvery);
        if (std::chrono::steady_clock::now() - told >= kReportEvery) {
            if (!s.report(lock))
                return false;
            told = std::chrono::steady_clock::now();
        }
    }
    if (s.failed)
        return false;
    s.holding = true;
    data = s.pieces[s.cursor].out.data();
    length = s.pieces[s.cursor].out.size();
    return s.report(lock, s.pieces[s.cursor].length);
}

bool DeflateStream::finished(size_t file) const
{
    const std::lock_guard<std::mutex> lock(s_->mutex);
    return file < s_->files.size() && s_->files[file].finished;
}

uint32_t DeflateStream::crc(size_t file) const
{
    const std::lock_guard<std::mutex> lock(s_->mutex);
    return file < s_->files.size() ? s_->files[file].crc : 0;
}

bool DeflateStream::stopped() const
{
    const std::lock_guard<std::mutex> lock(s_->mutex);
    return s_->stoppedByProgress;
}

} // namespace xzip
