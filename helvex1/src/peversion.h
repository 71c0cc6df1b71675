// A small, bounds-checked reader of the Windows version resource of PE32 and
// PE32+ files: the resource is located through the resource directory and
// parsed into its tree of VS_VERSIONINFO blocks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace helvex1::pe {

enum class ReadStatus {
    Ok,
    NoResource, // not a PE file, no resources, no version resource, unreadable file
    Damaged,    // a version resource that points outside the file or is too large
};

struct ResourceBytes {
    ReadStatus status = ReadStatus::NoResource;
    std::vector<uint8_t> data;
};

// The raw bytes of the file's first version resource.
ResourceBytes readVersionResource(const char *path);

// One block of the version resource: a key, a value and child blocks.
struct Block {
    std::u16string key;
    bool isText = false;             // wType 1: the value is UTF-16 text
    std::vector<uint8_t> value;      // the value's bytes as stored
    std::vector<Block> children;

    const Block *child(const std::u16string &name, bool ignoreCase = false) const;
};

// Parses the root block; nullopt when the structure is broken.
std::optional<Block> parseVersionInfo(const std::vector<uint8_t> &data);

// VS_FIXEDFILEINFO as far as the number items need it.
struct FixedInfo {
    uint32_t fileVersionMS = 0, fileVersionLS = 0;
    uint32_t productVersionMS = 0, productVersionLS = 0;
    uint32_t fileDateMS = 0, fileDateLS = 0;
};

// The fixed information in a root block's value; nullopt when it is not one.
std::optional<FixedInfo> fixedInfo(const std::vector<uint8_t> &value);

// UTF-16 text of a value, up to its first zero, as UTF-8.
std::string textValue(const Block &b);

std::u16string toUtf16(const std::string &ascii);

} // namespace helvex1::pe
