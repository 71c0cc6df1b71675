// TestForVersion, TestForVersion2: compare version texts "a.b.c.d".
#include "helvex1.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace {

using Version = std::array<int64_t, 4>;

// Reads up to four dot-separated parts.  A part is the run of digits at its
// start (anything after it up to the next dot is ignored); missing parts are
// 0; a run beyond the 32-bit range counts as the largest 32-bit number, so
// that overlong parts still compare sensibly.
Version parse(const char *text)
{
    Version v{};
    const char *p = text;
    for (std::size_t part = 0; part < v.size() && *p; ++part) {
        int64_t n = 0;
        for (; *p >= '0' && *p <= '9'; ++p) {
            n = n * 10 + (*p - '0');
            if (n > std::numeric_limits<uint32_t>::max())
                n = std::numeric_limits<uint32_t>::max();
        }
        v[part] = n;
        while (*p && *p != '.')
            ++p;
        if (*p == '.')
            ++p;
    }
    return v;
}

int32_t atLeast(const Version &have, const Version &want)
{
    for (std::size_t i = 0; i < have.size(); ++i) {
        if (have[i] < want[i])
            return HX_FAILURE;
        if (have[i] > want[i])
            return HX_SUCCESS;
    }
    return HX_SUCCESS;
}

} // namespace

extern "C" HELVEX1_API int32_t TestForVersion(const char *version, int32_t major, int32_t minor,
                                              int32_t build, int32_t revision)
{
    if (!version)
        return HX_FAILURE;
    return atLeast(parse(version), Version{major, minor, build, revision});
}

extern "C" HELVEX1_API int32_t TestForVersion2(const char *version, const char *other)
{
    if (!version || !other)
        return HX_FAILURE;
    return atLeast(parse(version), parse(other));
}
