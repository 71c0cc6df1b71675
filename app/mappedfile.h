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
    // A mapped file's pages that lie wholly within [from, to) leave the
    // program's memory; they stay in the system's cache of the file, and
    // the next look at them maps them again, with the same bytes. Bytes of
    // the program's own (read, or copied when the file was about to
    // change) stay as they are.
    void letGo(const char *from, const char *to) const;
    void letGoOfAll() const { letGo(data_, data_ + size_ + 1); }
    // Maps the pages of [from, to) ahead of a look at them, in one go.
    void fetch(const char *from, const char *to) const;

private:
    friend bool MapUnderLease(int fd, qint64 size, HeldBytes &out);
    std::shared_ptr<const void> owner_;
    const char *data_ = "";
    qsizetype size_ = 0;
    bool mapped_ = false;
    int slot_ = -1; // of a mapped file
};

// A pass from the start of some bytes to their end that keeps no more of a
// mapped file in memory than the few megabytes it is at: passed(p) says
// that everything before p has been read.
class PagesBehind {
public:
    explicit PagesBehind(const HeldBytes &bytes);
    ~PagesBehind() { bytes_.letGoOfAll(); }
    PagesBehind(const PagesBehind &) = delete;
    PagesBehind &operator=(const PagesBehind &) = delete;
    void passed(const char *p)
    {
        if (p >= next_)
            step(p);
    }

private:
    void step(const char *p);
    const HeldBytes &bytes_;
    const char *done_;  // let go up to here
    const char *next_;  // the next step is due from here
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
// How many bytes of the mapped files the program has in memory now (their
// resident pages, as the system counts them); -1 when it cannot tell.
qint64 residentBytes();
} // namespace mappedfile_testing

} // namespace rt
