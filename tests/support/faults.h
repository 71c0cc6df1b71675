// Faults of the file system on demand (see faults.c for the rules).
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// Replaces the rules in force; null or "" clears them.
void vantel_set_faults(const char *rules);

#ifdef __cplusplus
}

namespace testing_support {
// The rules hold while the object lives.
struct Faults {
    explicit Faults(const char *rules) { vantel_set_faults(rules); }
    ~Faults() { vantel_set_faults(nullptr); }
    Faults(const Faults &) = delete;
    Faults &operator=(const Faults &) = delete;
};
} // namespace testing_support
#endif
