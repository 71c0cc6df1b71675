// GetErrorMessage: the system's text for an error number.
#include "helvex1.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" HELVEX1_API char *GetErrorMessage(uint32_t code)
{
    const int err = code == 0 ? errno : static_cast<int>(code);
    const char *text = strerrordesc_np(err);
    if (text)
        return strdup(text);
    static const char fallback[] = "Could not format the error message , but the error code was %d";
    const int n = std::snprintf(nullptr, 0, fallback, err);
    char *out = static_cast<char *>(std::malloc(static_cast<size_t>(n) + 1));
    if (out)
        std::snprintf(out, static_cast<size_t>(n) + 1, fallback, err);
    return out;
}
