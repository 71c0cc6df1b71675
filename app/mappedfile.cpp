// Data files mapped into memory, held under a read lease.
//
// A mapped file shows what the file holds now, not what it held when it was
// mapped: another program writing it in place would change the rows under
// the program's feet, and one cutting it short would turn every later look
// at the pages that are gone into a fatal SIGBUS. So a file is mapped only
// under a read lease (fcntl F_SETLEASE). The kernel breaks the lease before
// anyone opens the file for writing or truncates it: it signals the holder
// and holds the writer back until the lease is given up. On that signal the
// mapped bytes are copied to memory of the program's own, which takes the
// mapping's place at the same address (mremap), and the lease is given up;
// the writer goes on, and the program keeps the bytes it read. Replacing
// the file by rename, as saving does, needs no lease break: the mapped file
// stays as it was. Where no lease can be had (a file of another owner, one
// that is open for writing, a file system without leases, the signal taken
// by someone else) the file is not mapped, and its caller reads it.
//
// The pages of a mapped file come into the program's memory as they are
// first looked at, and a look at every row would leave the whole file there.
// Whoever has passed over many of them lets them go (letGo, PagesBehind):
// they leave the program's memory and stay in the system's cache of the
// file, where the next look finds them with the same bytes, the lease
// keeping the file as it was. Only pages that still map the file are let
// go: a copy made at a lease break is the program's own, and is kept.
#include "mappedfile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>

#include <vector>

namespace rt {

namespace {

// What a slot of the table of mapped files is doing. A mapping is filled
// in, armed once it is complete, and copied by the signal handler (or
// closed by its last holder), each step taken by one compare-and-swap.
enum SlotState : int { Free, Filling, Armed, Copying, Copied, Closing, LettingGo };

struct Slot {
    std::atomic<int> state{Free};
    std::atomic<int> fd{-1};
    char *address = nullptr; // the mapping: the file's pages, then zeros
    size_t length = 0;
    size_t fileBytes = 0;
};

constexpr int kSlots = 64;
Slot mapped[kSlots];
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs lock-free atomics");

int leaseSignal()
{
    return SIGRTMIN + 4;
}

// Puts a copy of the slot's bytes in the mapping's place and gives up the
// lease. Runs in the signal handler: only calls that are safe there.
void copyOut(Slot &s)
{
    void *copy = ::mmap(nullptr, s.length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (copy != MAP_FAILED) {
        std::memcpy(copy, s.address, s.fileBytes);
        ::mprotect(copy, s.length, PROT_READ);
        if (::mremap(copy, s.length, s.length, MREMAP_MAYMOVE | MREMAP_FIXED, s.address) == MAP_FAILED)
            ::munmap(copy, s.length);
    }
    // Without memory for the copy the lease goes all the same: holding it
    // would only keep the writer waiting until the kernel takes it.
    ::fcntl(s.fd.load(), F_SETLEASE, F_UNLCK);
}

// Copies the slot when it is armed; false when someone else has it.
bool copyIfArmed(Slot &s)
{
    int armed = Armed;
    if (!s.state.compare_exchange_strong(armed, Copying))
        return false;
    copyOut(s);
    s.state.store(Copied);
    return true;
}

void onLeaseBreak(int, siginfo_t *info, void *)
{
    const int saved = errno;
    for (Slot &s : mapped)
        if (s.state.load() == Armed && s.fd.load() == info->si_fd)
            copyIfArmed(s);
    errno = saved;
}

// Installs the handler of the lease signal once; false when the signal is
// someone else's.
bool handlerReady()
{
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] {
        struct sigaction old;
        if (::sigaction(leaseSignal(), nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO)
            || old.sa_handler != SIG_DFL)
            return;
        struct sigaction sa;
        std::memset(&sa, 0, sizeof sa);
        sa.sa_sigaction = onLeaseBreak;
        sa.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&sa.sa_mask);
        ready = ::sigaction(leaseSignal(), &sa, nullptr) == 0;
    });
    return ready;
}

// Unmaps the slot's file and gives up its lease; waits for a copy under way.
void release(Slot &s)
{
    int armed = Armed;
    if (!s.state.compare_exchange_strong(armed, Closing))
        while (s.state.load() == Copying || s.state.load() == LettingGo)
            sched_yield();
    const int fd = s.fd.exchange(-1);
    ::fcntl(fd, F_SETLEASE, F_UNLCK);
    ::close(fd);
    ::munmap(s.address, s.length);
    s.state.store(Free);
}

size_t pageSize()
{
    static const size_t size = size_t(::sysconf(_SC_PAGESIZE));
    return size;
}

// The slot's file pages that lie wholly within [from, to), or with
// `touching` those that hold any byte of it.
bool pagesWithin(const Slot &s, const char *from, const char *to, char *&first, size_t &length, bool touching = false)
{
    const uintptr_t page = pageSize(), up = touching ? 0 : page - 1, down = touching ? page - 1 : 0;
    const uintptr_t base = uintptr_t(s.address), end = base + (s.fileBytes + page - 1) / page * page;
    const uintptr_t a = std::max(base, (uintptr_t(from) + up) & ~(page - 1));
    const uintptr_t b = std::min(end, (uintptr_t(to) + down) & ~(page - 1));
    if (a >= b)
        return false;
    first = reinterpret_cast<char *>(a);
    length = b - a;
    return true;
}

// Drops pages of a slot that still maps its file. Only then: dropped, the
// pages of a copy would read as zeros. The lease signal finds the slot busy
// meanwhile and leaves it; the lease, looked at afterwards, tells of a
// break that came then.
void letGoOfPages(Slot &s, const char *from, const char *to)
{
    char *first;
    size_t length;
    if (!pagesWithin(s, from, to, first, length))
        return;
    int armed = Armed;
    if (!s.state.compare_exchange_strong(armed, LettingGo))
        return;
    ::madvise(first, length, MADV_DONTNEED);
    s.state.store(Armed);
    if (::fcntl(s.fd.load(), F_GETLEASE) != F_RDLCK)
        copyIfArmed(s);
}

constexpr qsizetype kPassStep = qsizetype(4) << 20;

} // namespace

void HeldBytes::letGo(const char *from, const char *to) const
{
    if (mapped_ && slot_ >= 0)
        letGoOfPages(mapped[slot_], from, to);
}

void HeldBytes::fetch(const char *from, const char *to) const
{
    char *first;
    size_t length;
    // Whether the file is still mapped or copied, the pages are readable:
    // at worst they are mapped as they would be at the first look.
    if (mapped_ && slot_ >= 0 && pagesWithin(mapped[slot_], from, to, first, length, true))
        ::madvise(first, length, MADV_POPULATE_READ);
}

PagesBehind::PagesBehind(const HeldBytes &bytes) : bytes_(bytes), done_(bytes.data()), next_(bytes.data())
{
    step(bytes.data());
}

void PagesBehind::step(const char *p)
{
    bytes_.letGo(done_, p);
    done_ = p;
    next_ = std::min(p + kPassStep, bytes_.data() + bytes_.size() + 1);
    bytes_.fetch(p, next_);
}

HeldBytes::HeldBytes(const QByteArray &bytes)
{
    // data_ptr() does not detach: it only tells whether the bytes are owned
    // (fromRawData leaves them to the caller, and they need not end in zero).
    const bool owned = const_cast<QByteArray &>(bytes).data_ptr().isMutable();
    auto kept = std::make_shared<const QByteArray>(owned ? bytes : QByteArray(bytes.constData(), bytes.size()));
    data_ = kept->constData();
    size_ = kept->size();
    owner_ = std::move(kept);
}

bool MapUnderLease(int fd, qint64 size, HeldBytes &out)
{
    if (size <= 0 || !handlerReady())
        return false;
    Slot *slot = nullptr;
    for (Slot &s : mapped) {
        int free = Free;
        if (s.state.compare_exchange_strong(free, Filling)) {
            slot = &s;
            break;
        }
    }
    if (!slot)
        return false;
    Slot &s = *slot;
    // A descriptor of its own, so that the lease lives as long as the
    // mapping whatever the caller does with `fd`.
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    // The break is signalled to the process, whichever of its threads is
    // there then: the kernel's default is the thread that took the lease,
    // and a reading thread that has ended would leave the writer waiting
    // for the lease-break time, after which the file changes under the
    // mapping.
    const f_owner_ex process{F_OWNER_PID, ::getpid()};
    if (own < 0 || ::fcntl(own, F_SETSIG, leaseSignal()) != 0 || ::fcntl(own, F_SETLEASE, F_RDLCK) != 0
        || ::fcntl(own, F_SETOWN_EX, &process) != 0) {
        if (own >= 0) {
            ::fcntl(own, F_SETLEASE, F_UNLCK);
            ::close(own);
        }
        s.state.store(Free);
        return false;
    }
    // The file's pages, then at least one page of zeros for the zero byte
    // after the bytes.
    const size_t page = pageSize();
    const size_t filePages = (size_t(size) + page - 1) / page * page;
    const size_t length = (size_t(size) + 1 + page - 1) / page * page;
    void *base = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED
        || ::mmap(base, filePages, PROT_READ, MAP_PRIVATE | MAP_FIXED, own, 0) == MAP_FAILED) {
        if (base != MAP_FAILED)
            ::munmap(base, length);
        ::fcntl(own, F_SETLEASE, F_UNLCK);
        ::close(own);
        s.state.store(Free);
        return false;
    }
    s.address = static_cast<char *>(base);
    s.length = length;
    s.fileBytes = size_t(size);
    s.fd.store(own);
    s.state.store(Armed);
    // A break signalled before the slot was armed found nothing to copy;
    // the lease then says that it is being broken.
    if (::fcntl(own, F_GETLEASE) != F_RDLCK)
        copyIfArmed(s);

    out.owner_ = std::shared_ptr<const void>(base, [slot](const void *) { release(*slot); });
    out.data_ = static_cast<const char *>(base);
    out.size_ = qsizetype(size);
    out.mapped_ = true;
    out.slot_ = int(slot - mapped);
    // The file is read on: the system may fetch it from the disk ahead.
    ::madvise(base, filePages, MADV_WILLNEED);
    return true;
}

namespace mappedfile_testing {
int mappedNow()
{
    int n = 0;
    for (const Slot &s : mapped)
        n += s.state.load() == Armed || s.state.load() == Copied;
    return n;
}
int copiedNow()
{
    int n = 0;
    for (const Slot &s : mapped)
        n += s.state.load() == Copied;
    return n;
}
qint64 residentBytes()
{
    // The Rss of each mapping of /proc/self/smaps within a mapped file's pages.
    std::vector<std::pair<uintptr_t, uintptr_t>> files;
    for (const Slot &s : mapped)
        if (s.state.load() == Armed || s.state.load() == Copied)
            files.emplace_back(uintptr_t(s.address), uintptr_t(s.address) + s.fileBytes);
    FILE *f = std::fopen("/proc/self/smaps", "re");
    if (!f)
        return -1;
    qint64 total = 0;
    bool inside = false;
    char line[512];
    while (std::fgets(line, sizeof line, f)) {
        unsigned long a, b;
        long kb;
        if (std::sscanf(line, "%lx-%lx ", &a, &b) == 2) // a mapping's first line
            inside = std::any_of(files.begin(), files.end(), [&](auto r) { return a < r.second && b > r.first; });
        else if (inside && std::sscanf(line, "Rss: %ld kB", &kb) == 1)
            total += qint64(kb) * 1024;
    }
    std::fclose(f);
    return total;
}
} // namespace mappedfile_testing

} // namespace rt
