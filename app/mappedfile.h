// Bytes that stay where they are for as long as anyone holds them: a data
// file mapped into memory instead of read, or bytes of a QByteArray.
#pragma once

#include <QByteArray>

#include <memory>
#include <sys/types.h>

namespace rt {

// Copies share the bytes; the last one to go frees them. A zero byte
// always follows them.
class HeldBytes {
public:
    HeldBytes() = default;
    // Holds the bytes of `bytes` (a copy when it does not own them).
    explicit HeldBytes(const QByteArray &bytes);

    const char *data() const { return data_; }
    qsizetype size() const { return size_; }
    bool isEmpty() const { return size_ == 0; }
    bool isMapped() const { return mapped_; }
    // The bytes as a QByteArray that does not own them: valid while a
    // HeldBytes holds them.
    QByteArray view() const { return QByteArray::fromRawData(data_, size_); }

private:
    friend bool MapUnderLease(int fd, qint64 size, HeldBytes &out);
    std::shared_ptr<const void> owner_;
    const char *data_ = "";
    qsizetype size_ = 0;
    bool mapped_ = false;
};

// Maps the `size` bytes of the regular file open at `fd` (for reading)
// under a read lease, so that they stay as they are whatever other
// programs do to the file (see mappedfile.cpp). False, with `out` left
// alone, when the file cannot be held so (another owner, the file open for
// writing elsewhere, a file system without leases, no memory): the caller
// then reads it. `fd` itself stays the caller's.
bool MapUnderLease(int fd, qint64 size, HeldBytes &out);

namespace mappedfile_testing {
// How many files are mapped now, and how many of those were copied to
// memory of their own because someone was about to change them.
int mappedNow();
int copiedNow();
} // namespace mappedfile_testing

} // namespace rt
