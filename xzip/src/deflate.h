// Deflating whole files on every available core into one stream per file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace xzip {

// One file as a raw deflate stream (zip method 8).
struct DeflatedFile {
    std::vector<unsigned char> data; // the deflate stream
    uint64_t size = 0;               // bytes of the file
    uint32_t crc = 0;                // CRC-32 of the file
};

struct DeflateOptions {
    int level = 9;                   // 1..9
    size_t pieceBytes = 4u << 20;    // a file is cut in pieces of about this size
    unsigned threads = 0;            // 0: the cores this process may run on
    // When set: told the share of the bytes compressed (0 to 1) on the
    // calling thread, at the start and then from time to time (every few
    // hundredths of a second) while the pieces are compressed; answering
    // false stops the work after the pieces being compressed at that moment.
    std::function<bool(double done)> progress;
};

// Deflates each of `paths` into `out` (same order). Pieces of all files are
// compressed at the same time, each on its own, and the pieces of a file are
// joined into one stream; every piece is inflated again and compared with
// what was read before it is taken. False when a file cannot be read, ends
// early, or a piece does not come back as it went in, and when the progress
// function asked to stop (`*stopped` then true).
bool deflateFiles(const std::vector<std::string> &paths, const DeflateOptions &options,
                  std::vector<DeflatedFile> &out, bool *stopped = nullptr);

} // namespace xzip
