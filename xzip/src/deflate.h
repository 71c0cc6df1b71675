// Deflating files in pieces on every available core, read back in order as
// one deflate stream per file while the pieces after are still compressed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace xzip {

struct DeflateOptions {
    int level = 8;                   // libdeflate's level, 1..12
    // When set: a file of a megabyte or more is deflated at this faster
    // level unless `level` makes a probe of it (a small piece from its
    // middle, deflated at both) at least `probeGain` smaller.
    int cheaperLevel = 0;
    double probeGain = 0.01;
    size_t pieceBytes = 4u << 20;    // a file is cut in pieces of about this size
    unsigned threads = 0;            // 0: the cores this process may run on
    // When set: told, on the thread that reads, the share of the files'
    // bytes read back (0 to 1) after each piece and every few hundredths
    // of a second while a read waits; answering false stops the work.
    std::function<bool(double done)> progress;
};

// Compresses the pieces of `paths` on threads of its own from the moment it
// is made, a few pieces ahead of the reader, and hands out each file's
// stream: every piece is a deflate stream of its own, inflated again and
// compared with what was read before it is handed out, and the pieces of a
// file join into one stream. The files are read in the order given, each
// to its end.
class DeflateStream {
public:
    DeflateStream(const std::vector<std::string> &paths, const DeflateOptions &options);
    ~DeflateStream(); // stops the work and waits for its threads
    DeflateStream(const DeflateStream &) = delete;
    DeflateStream &operator=(const DeflateStream &) = delete;

    // False when a file could not be opened as a regular file, or the
    // options are out of range (nothing runs then).
    bool ok() const;
    uint64_t size(size_t file) const;
    // The next bytes of the stream of `file`, valid until the next call;
    // `length` 0 at its end. False when a file could not be read or ended
    // early, a piece did not come back as it went in, the progress function
    // asked to stop (stopped() then true), or it is not yet `file`'s turn.
    bool read(size_t file, const unsigned char *&data, size_t &length);
    // Whether the stream of `file` has been read to its end, and the
    // CRC-32 of the file's bytes once it has.
    bool finished(size_t file) const;
    uint32_t crc(size_t file) const;
    bool stopped() const;

private:
    struct State;
    std::unique_ptr<State> s_;
};

} // namespace xzip
