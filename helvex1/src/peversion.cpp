// The PE version-resource reader: file layout, resource directory and the
// VS_VERSIONINFO block tree.  Every offset read from the file is checked
// against the file or the enclosing structure before it is followed.
#include "peversion.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace helvex1::pe {
namespace {

constexpr uint32_t kVersionType = 16;                // RT_VERSION
constexpr uint32_t kMaxResourceSize = 16 * 1024 * 1024;
constexpr uint32_t kMaxDirectoryEntries = 4096;
constexpr int kMaxBlockDepth = 6;

uint16_t le16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t le32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

class File {
public:
    // Non-blocking, so that a named pipe or a device never holds the call
    // up; anything but a regular file then reads as no resource.
    explicit File(const char *path) : fd_(::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK))
    {
        struct stat st {};
        if (fd_ >= 0 && fstat(fd_, &st) == 0 && S_ISREG(st.st_mode))
            size_ = static_cast<uint64_t>(st.st_size);
    }
    ~File()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    File(const File &) = delete;
    File &operator=(const File &) = delete;

    bool read(uint64_t offset, void *out, size_t n) const
    {
        if (fd_ < 0 || offset > size_ || n > size_ - offset)
            return false;
        auto *dst = static_cast<uint8_t *>(out);
        while (n > 0) {
            const ssize_t got = ::pread(fd_, dst, n, static_cast<off_t>(offset));
            if (got <= 0)
                return false;
            dst += got;
            offset += static_cast<uint64_t>(got);
            n -= static_cast<size_t>(got);
        }
        return true;
    }

private:
    int fd_;
    uint64_t size_ = 0;
};

struct Section {
    uint32_t virtualAddress, virtualSize, rawSize, rawOffset;
};

std::optional<uint64_t> fileOffset(const std::vector<Section> &sections, uint32_t rva, uint32_t size)
{
    for (const Section &s : sections) {
        const uint64_t extent = std::max(s.virtualSize, s.rawSize);
        if (rva < s.virtualAddress || rva - s.virtualAddress >= extent)
            continue;
        const uint64_t within = rva - s.virtualAddress;
        if (within + size > s.rawSize)
            return std::nullopt; // not backed by the file
        return s.rawOffset + within;
    }
    return std::nullopt;
}

// The first entry of a resource directory, or the entry with `id` when one
// is asked for.  Answers the entry's OffsetToData word.
std::optional<uint32_t> directoryEntry(const File &f, uint64_t base, uint32_t dirOffset,
                                       uint32_t limit, std::optional<uint32_t> id)
{
    uint8_t header[16];
    if (dirOffset > limit || limit - dirOffset < sizeof header || !f.read(base + dirOffset, header, sizeof header))
        return std::nullopt;
    const uint32_t named = le16(header + 12), ids = le16(header + 14);
    const uint32_t count = named + ids;
    if (count == 0 || count > kMaxDirectoryEntries || (limit - dirOffset - 16) / 8 < count)
        return std::nullopt;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t e[8];
        if (!f.read(base + dirOffset + 16 + 8ull * i, e, sizeof e))
            return std::nullopt;
        const uint32_t name = le32(e), data = le32(e + 4);
        if (!id || (!(name & 0x80000000u) && name == *id))
            return data;
    }
    return std::nullopt;
}

} // namespace

ResourceBytes readVersionResource(const char *path)
{
    ResourceBytes out;
    if (!path)
        return out;
    File f(path);
    uint8_t dos[64];
    if (!f.read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z')
        return out;
    const uint32_t peOffset = le32(dos + 0x3C);
    uint8_t coff[24];
    if (!f.read(peOffset, coff, sizeof coff) || std::memcmp(coff, "PE\0\0", 4) != 0)
        return out;
    const uint32_t sectionCount = le16(coff + 6);
    const uint32_t optionalSize = le16(coff + 20);
    const uint64_t optionalOffset = uint64_t(peOffset) + 24;
    uint8_t magic[2];
    if (!f.read(optionalOffset, magic, 2))
        return out;
    uint32_t countField = 0, directories = 0;
    switch (le16(magic)) {
    case 0x10B: // PE32
        countField = 92;
        directories = 96;
        break;
    case 0x20B: // PE32+
        countField = 108;
        directories = 112;
        break;
    default:
        return out;
    }
    uint8_t word[4];
    if (optionalSize < directories + 3 * 8 || !f.read(optionalOffset + countField, word, 4) || le32(word) < 3)
        return out;
    uint8_t resourceDir[8];
    if (!f.read(optionalOffset + directories + 2 * 8, resourceDir, sizeof resourceDir))
        return out;
    const uint32_t rsrcRva = le32(resourceDir), rsrcSize = le32(resourceDir + 4);
    if (rsrcRva == 0 || rsrcSize == 0)
        return out;

    std::vector<Section> sections;
    const uint64_t sectionTable = optionalOffset + optionalSize;
    for (uint32_t i = 0; i < sectionCount && i < 96; ++i) {
        uint8_t s[40];
        if (!f.read(sectionTable + 40ull * i, s, sizeof s))
            return out;
        sections.push_back({le32(s + 12), le32(s + 8), le32(s + 16), le32(s + 20)});
    }
    const auto rsrcBase = fileOffset(sections, rsrcRva, std::min<uint32_t>(rsrcSize, 16));
    if (!rsrcBase)
        return out;
    // The directory tree may not reach beyond the section's data in the file.
    uint32_t limit = rsrcSize;
    for (const Section &s : sections)
        if (rsrcRva >= s.virtualAddress && rsrcRva - s.virtualAddress < s.rawSize)
            limit = std::min(limit, s.rawSize - (rsrcRva - s.virtualAddress));

    // type (RT_VERSION) -> name (the first) -> language (the first) -> data entry
    auto type = directoryEntry(f, *rsrcBase, 0, limit, kVersionType);
    if (!type || !(*type & 0x80000000u))
        return out;
    auto name = directoryEntry(f, *rsrcBase, *type & 0x7FFFFFFFu, limit, std::nullopt);
    if (!name || !(*name & 0x80000000u))
        return out;
    auto lang = directoryEntry(f, *rsrcBase, *name & 0x7FFFFFFFu, limit, std::nullopt);
    out.status = ReadStatus::Damaged; // a version resource exists from here on
    if (!lang || (*lang & 0x80000000u) || *lang > limit || limit - *lang < 16)
        return out;
    uint8_t entry[16];
    if (!f.read(*rsrcBase + *lang, entry, sizeof entry))
        return out;
    const uint32_t dataRva = le32(entry), dataSize = le32(entry + 4);
    if (dataSize == 0 || dataSize > kMaxResourceSize)
        return out;
    const auto dataOffset = fileOffset(sections, dataRva, dataSize);
    if (!dataOffset)
        return out;
    out.data.resize(dataSize);
    if (!f.read(*dataOffset, out.data.data(), dataSize)) {
        out.data.clear();
        return out;
    }
    out.status = ReadStatus::Ok;
    return out;
}

namespace {

size_t align4(size_t n)
{
    return (n + 3) & ~size_t(3);
}

// One block at `offset`, which must end by `end`; the block's fields are
// 32-bit aligned relative to the start of the resource.
bool parseBlock(const std::vector<uint8_t> &d, size_t offset, size_t end, int depth, Block &out)
{
    if (depth > kMaxBlockDepth || offset > end || end - offset < 6)
        return false;
    const size_t length = le16(&d[offset]);
    const size_t valueLength = le16(&d[offset + 2]);
    out.isText = le16(&d[offset + 4]) == 1;
    if (length < 6 || length > end - offset)
        return false;
    const size_t blockEnd = offset + length;
    size_t p = offset + 6;
    for (;;) {
        if (blockEnd - p < 2)
            return false;
        const char16_t c = le16(&d[p]);
        p += 2;
        if (c == 0)
            break;
        out.key.push_back(c);
    }
    p = std::min(align4(p), blockEnd);
    const size_t valueBytes = std::min(out.isText ? valueLength * 2 : valueLength, blockEnd - p);
    out.value.assign(d.begin() + static_cast<ptrdiff_t>(p), d.begin() + static_cast<ptrdiff_t>(p + valueBytes));
    p = std::min(align4(p + valueBytes), blockEnd);
    while (blockEnd - p >= 6) {
        if (le16(&d[p]) == 0)
            break; // padding
        Block child;
        if (!parseBlock(d, p, blockEnd, depth + 1, child))
            return false;
        const size_t childLength = le16(&d[p]);
        out.children.push_back(std::move(child));
        p = std::min(align4(p + childLength), blockEnd);
    }
    return true;
}

char16_t lower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

} // namespace

const Block *Block::child(const std::u16string &name, bool ignoreCase) const
{
    for (const Block &c : children) {
        if (c.key.size() != name.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < name.size() && same; ++i)
            same = ignoreCase ? lower(c.key[i]) == lower(name[i]) : c.key[i] == name[i];
        if (same)
            return &c;
    }
    return nullptr;
}

std::optional<Block> parseVersionInfo(const std::vector<uint8_t> &data)
{
    Block root;
    if (data.size() < 6 || !parseBlock(data, 0, data.size(), 0, root))
        return std::nullopt;
    return root;
}

std::optional<FixedInfo> fixedInfo(const std::vector<uint8_t> &v)
{
    if (v.size() < 52 || le32(v.data()) != 0xFEEF04BDu)
        return std::nullopt;
    FixedInfo info;
    info.fileVersionMS = le32(&v[8]);
    info.fileVersionLS = le32(&v[12]);
    info.productVersionMS = le32(&v[16]);
    info.productVersionLS = le32(&v[20]);
    info.fileDateMS = le32(&v[44]);
    info.fileDateLS = le32(&v[48]);
    return info;
}

std::string textValue(const Block &b)
{
    std::string out;
    const std::vector<uint8_t> &v = b.value;
    for (size_t i = 0; i + 1 < v.size(); i += 2) {
        uint32_t c = le16(&v[i]);
        if (c == 0)
            break;
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < v.size()) {
            const uint32_t low = le16(&v[i + 2]);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD; // a lone surrogate
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string toUtf16(const std::string &ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

} // namespace helvex1::pe
