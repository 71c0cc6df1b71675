// GetFileInfo: one item of a file's Windows version resource.
#include "datetext.h"
#include "helvex1.h"
#include "peversion.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr size_t kMaxText = 511; // the caller's buffer holds 512 bytes

const char *const kStringItems[] = {
    "OLESelfRegister", "CompanyName",     "FileDescription", "FileVersion",  "InternalName",
    "LegalCopyright",  "OriginalFilename", "ProductName",    "ProductVersion", "Comments",
    "LegalTrademarks", "PrivateBuild",    "SpecialBuild",
};

struct Translation {
    uint16_t language;
    uint16_t codePage;
};

struct LocaleLanguage {
    const char *locale; // language_TERRITORY as the locale names it
    uint16_t language;  // Windows language identifier
    uint16_t codePage;  // the Windows single-byte code page of that language
};

constexpr LocaleLanguage kLanguages[] = {
    {"en_US", 0x0409, 1252}, {"en_GB", 0x0809, 1252}, {"en_AU", 0x0C09, 1252},
    {"en_CA", 0x1009, 1252}, {"de_DE", 0x0407, 1252}, {"de_CH", 0x0807, 1252},
    {"de_AT", 0x0C07, 1252}, {"fr_FR", 0x040C, 1252}, {"fr_BE", 0x080C, 1252},
    {"fr_CA", 0x0C0C, 1252}, {"fr_CH", 0x100C, 1252}, {"es_ES", 0x0C0A, 1252},
    {"es_MX", 0x080A, 1252}, {"it_IT", 0x0410, 1252}, {"nl_NL", 0x0413, 1252},
    {"nl_BE", 0x0813, 1252}, {"pt_BR", 0x0416, 1252}, {"pt_PT", 0x0816, 1252},
    {"sv_SE", 0x041D, 1252}, {"da_DK", 0x0406, 1252}, {"nb_NO", 0x0414, 1252},
    {"fi_FI", 0x040B, 1252}, {"pl_PL", 0x0415, 1250}, {"cs_CZ", 0x0405, 1250},
    {"hu_HU", 0x040E, 1250}, {"ru_RU", 0x0419, 1251}, {"el_GR", 0x0408, 1253},
    {"tr_TR", 0x041F, 1254}, {"ja_JP", 0x0411, 932},  {"zh_CN", 0x0804, 936},
    {"ko_KR", 0x0412, 949},  {"zh_TW", 0x0404, 950},
};

// The user's language as a Windows language and code page: from the locale
// that names the language of messages; an unknown territory takes the first
// entry of its language; "C", "POSIX" and unknown languages count as US
// English.
Translation userTranslation()
{
    const char *name = nullptr;
    for (const char *var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        name = std::getenv(var);
        if (name && *name)
            break;
    }
    const std::string locale = name ? std::string(name).substr(0, 5) : std::string();
    for (const LocaleLanguage &l : kLanguages)
        if (locale == l.locale)
            return {l.language, l.codePage};
    for (const LocaleLanguage &l : kLanguages)
        if (locale.size() >= 2 && locale.compare(0, 2, l.locale, 2) == 0)
            return {l.language, l.codePage};
    return {0x0409, 1252};
}

std::string halves(uint32_t word)
{
    return std::to_string(word >> 16) + '.' + std::to_string(word & 0xFFFF);
}

// Number items 1-8 of the fixed information; other items give the empty text.
std::string numberItem(const helvex1::pe::FixedInfo &info, int32_t item)
{
    const uint64_t fileTime = uint64_t(info.fileDateMS) << 32 | info.fileDateLS;
    const int64_t seconds = static_cast<int64_t>(fileTime / 10000000) - 11644473600LL;
    switch (item) {
    case 1:
        return halves(info.fileVersionMS) + '.' + halves(info.fileVersionLS);
    case 2:
        return halves(info.fileVersionMS);
    case 3:
        return halves(info.fileVersionLS);
    case 4:
        return halves(info.productVersionMS) + '.' + halves(info.productVersionLS);
    case 5:
        return halves(info.productVersionMS);
    case 6:
        return halves(info.productVersionLS);
    case 7:
        return helvex1::dateText(seconds, true);
    case 8:
        return helvex1::dateText(seconds, false);
    default:
        return {};
    }
}

// Cuts a UTF-8 text to at most `room` bytes without splitting a character.
std::string cut(std::string text, size_t room)
{
    if (text.size() <= room)
        return text;
    size_t n = room;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    text.resize(n);
    return text;
}

struct Answer {
    int32_t code;
    std::string text;
};

Answer fileInfo(const char *path, int32_t kind, int32_t item)
{
    using namespace helvex1::pe;
    const ResourceBytes bytes = readVersionResource(path);
    if (bytes.status == ReadStatus::NoResource)
        return {HX_FAILURE, "-1"};
    const auto root = bytes.status == ReadStatus::Ok ? parseVersionInfo(bytes.data) : std::nullopt;
    if (!root)
        return {HX_FAILURE, "-2"};

    if ((kind & 0xFF) != 0) {
        if (root->value.empty())
            return {HX_FAILURE, "-4"};
        const auto info = fixedInfo(root->value);
        if (!info)
            return {HX_FAILURE, "-3"};
        return {HX_SUCCESS, numberItem(*info, item)};
    }

    const Block *varInfo = root->child(u"VarFileInfo");
    const Block *table = varInfo ? varInfo->child(u"Translation") : nullptr;
    if (!table)
        return {HX_FAILURE, "-3"};
    if (table->value.size() < 4)
        return {HX_FAILURE, "-4"};
    const Translation want = userTranslation();
    Translation chosen{static_cast<uint16_t>(table->value[0] | table->value[1] << 8),
                       static_cast<uint16_t>(table->value[2] | table->value[3] << 8)};
    for (size_t i = 0; i + 4 <= table->value.size(); i += 4) {
        const Translation t{static_cast<uint16_t>(table->value[i] | table->value[i + 1] << 8),
                            static_cast<uint16_t>(table->value[i + 2] | table->value[i + 3] << 8)};
        if (t.language == want.language && t.codePage == want.codePage) {
            chosen = t;
            break;
        }
    }
    if (item < 1 || item > 13)
        return {HX_FAILURE, "-5"};
    char key[9];
    std::snprintf(key, sizeof key, "%04hX%04hX", chosen.language, chosen.codePage);
    const Block *strings = root->child(u"StringFileInfo");
    const Block *language = strings ? strings->child(toUtf16(key), true) : nullptr;
    const Block *value = language ? language->child(toUtf16(kStringItems[item - 1])) : nullptr;
    if (!value)
        return {HX_FAILURE, "-5"};
    return {HX_SUCCESS, cut(textValue(*value), kMaxText)};
}

} // namespace

extern "C" HELVEX1_API int32_t GetFileInfo(const char *path, int32_t kind, int32_t item,
                                           char *buffer, int32_t /*unused*/)
{
    if (!buffer)
        return HX_FAILURE;
    const Answer a = fileInfo(path, kind, item);
    std::memcpy(buffer, a.text.c_str(), a.text.size() + 1);
    return a.code;
}
