// Faults of the file system on demand, for the tests: a shared library that
// stands in front of the C library's write, fsync, fdatasync, unlink, rename
// and flock and makes chosen calls fail as a full disk, a failing disk or a
// file system without locks would make them fail, or ends the process right
// after a chosen call succeeded (as a kill or a power cut at that moment).
//
// Linked into a test program, the rules are set with vantel_set_faults();
// preloaded into the real program (LD_PRELOAD), they come from the
// environment variable VANTEL_FAULTS. Rules are separated by ';':
//
//   CALL:TEXT:ACTION[:AFTERCALL:AFTERTEXT]
//
// CALL is one of the calls above; the rule applies to a call whose path
// (for write, fsync, fdatasync and flock the path of the open file, for
// rename its source) holds TEXT. ACTION is an error name (ENOSPC, EIO, EDQUOT,
// EROFS, EACCES, ENOLCK): the call fails with it and does nothing; or "kill":
// the call is made, then the process is killed (SIGKILL). With AFTERCALL and
// AFTERTEXT, the rule holds only once such a call has succeeded.
#define _GNU_SOURCE
#include "faults.h"

#include <dlfcn.h>
#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum { kMaxRules = 8, kText = 256 };

struct rule {
    char call[16];
    char text[kText];
    int err;  // 0: kill after the call
    char afterCall[16];
    char afterText[kText];
    int armed;
};

static struct rule rules[kMaxRules];
static int ruleCount;
static atomic_int active; // whether any rule is set
static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;

static int errorNamed(const char *name)
{
    static const struct {
        const char *name;
        int err;
    } known[] = {{"ENOSPC", ENOSPC}, {"EIO", EIO},       {"EDQUOT", EDQUOT}, {"EROFS", EROFS},
                 {"EACCES", EACCES}, {"ENOLCK", ENOLCK}, {"EPERM", EPERM}};
    for (size_t i = 0; i < sizeof known / sizeof known[0]; ++i)
        if (strcmp(name, known[i].name) == 0)
            return known[i].err;
    return -1;
}

// Copies the next ':'-separated field of `*s` into `out`.
static void field(const char **s, char *out, size_t size)
{
    size_t n = strcspn(*s, ":");
    if (n >= size)
        n = size - 1;
    memcpy(out, *s, n);
    out[n] = '\0';
    *s += strcspn(*s, ":");
    if (**s == ':')
        ++*s;
}

void vantel_set_faults(const char *text)
{
    pthread_mutex_lock(&lock);
    ruleCount = 0;
    while (text && *text && ruleCount < kMaxRules) {
        char one[3 * kText];
        size_t n = strcspn(text, ";");
        if (n >= sizeof one)
            n = sizeof one - 1;
        memcpy(one, text, n);
        one[n] = '\0';
        text += strcspn(text, ";");
        if (*text == ';')
            ++text;
        struct rule *r = &rules[ruleCount];
        memset(r, 0, sizeof *r);
        const char *s = one;
        char action[16];
        field(&s, r->call, sizeof r->call);
        field(&s, r->text, sizeof r->text);
        field(&s, action, sizeof action);
        field(&s, r->afterCall, sizeof r->afterCall);
        field(&s, r->afterText, sizeof r->afterText);
        r->err = strcmp(action, "kill") == 0 ? 0 : errorNamed(action);
        r->armed = r->afterCall[0] == '\0';
        if (r->call[0] == '\0' || r->err < 0) {
            fprintf(stderr, "faults: rule not understood: %s\n", one);
            continue;
        }
        ++ruleCount;
    }
    atomic_store(&active, ruleCount > 0);
    pthread_mutex_unlock(&lock);
}

__attribute__((constructor)) static void fromEnvironment(void)
{
    const char *text = getenv("VANTEL_FAULTS");
    if (text)
        vantel_set_faults(text);
}

static void pathOfFd(int fd, char *out, size_t size)
{
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, out, size - 1);
    out[n > 0 ? n : 0] = '\0';
}

// Before a call: the error it is to fail with, 0 to make it, or -1 to
// make it and then end the process.
static int before(const char *call, const char *path)
{
    int result = 0;
    pthread_mutex_lock(&lock);
    for (int i = 0; i < ruleCount && result == 0; ++i) {
        const struct rule *r = &rules[i];
        if (r->armed && strcmp(r->call, call) == 0 && strstr(path, r->text))
            result = r->err ? r->err : -1;
    }
    pthread_mutex_unlock(&lock);
    return result;
}

// After a call that succeeded: arms the rules that wait for it.
static void after(const char *call, const char *path)
{
    pthread_mutex_lock(&lock);
    for (int i = 0; i < ruleCount; ++i) {
        struct rule *r = &rules[i];
        if (!r->armed && strcmp(r->afterCall, call) == 0 && strstr(path, r->afterText))
            r->armed = 1;
    }
    pthread_mutex_unlock(&lock);
}

// `real`: the C library's function of the name of this one.
#define REAL(fn) \
    static __typeof__(&fn) real; \
    if (!real) \
        real = (__typeof__(&fn))dlsym(RTLD_NEXT, #fn)

// Runs `call` under the rules for `path`.
#define GUARDED(name, path, call) \
    do { \
        if (!atomic_load(&active)) \
            return call; \
        const int fault = before(name, path); \
        if (fault > 0) { \
            errno = fault; \
            return -1; \
        } \
        const __typeof__(call) r = call; \
        if (r >= 0) \
            after(name, path); \
        if (fault < 0) \
            raise(SIGKILL); \
        return r; \
    } while (0)

#define FD_GUARDED(name, fd, call) \
    do { \
        if (!atomic_load(&active)) \
            return call; \
        char path[4096]; \
        pathOfFd(fd, path, sizeof path); \
        GUARDED(name, path, call); \
    } while (0)

ssize_t write(int fd, const void *buf, size_t n)
{
    REAL(write);
    FD_GUARDED("write", fd, real(fd, buf, n));
}

int fsync(int fd)
{
    REAL(fsync);
    FD_GUARDED("fsync", fd, real(fd));
}

int fdatasync(int fd)
{
    REAL(fdatasync);
    FD_GUARDED("fdatasync", fd, real(fd));
}

int flock(int fd, int op)
{
    REAL(flock);
    FD_GUARDED("flock", fd, real(fd, op));
}

int unlink(const char *path)
{
    REAL(unlink);
    GUARDED("unlink", path, real(path));
}

int rename(const char *from, const char *to)
{
    REAL(rename);
    GUARDED("rename", from, real(from, to));
}
