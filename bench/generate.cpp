// Generated data folders of realistic size for the benchmarks.
#include "generate.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

struct Gen {
    std::mt19937_64 rng{20260101};
    static constexpr const char *words[] = {"market", "open", "air", "concert", "with", "the", "town", "band",
                                            "children", "welcome", "evening", "festival", "local", "food",
                                            "music", "and", "dance", "theatre", "old", "square", "ticket"};
    int range(int lo, int hi) { return lo + int(rng() % unsigned(hi - lo + 1)); }
    std::string text(int lo, int hi, bool multiLine = false)
    {
        const int len = range(lo, hi);
        std::string s;
        while (int(s.size()) < len) {
            if (!s.empty())
                s += (multiLine && rng() % 12 == 0) ? "\r\n" : " ";
            s += words[rng() % std::size(words)];
        }
        if (rng() % 50 == 0)
            s += " \"quoted\"";
        return s;
    }
    std::string key(const char *prefix, long n)
    {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%s%02d%02d2026%02d%02d%02d%04ld", prefix, int(n % 28) + 1, int(n % 12) + 1,
                      int(n / 3600 % 24), int(n / 60 % 60), int(n % 60), n % 10000);
        return buf;
    }
    // A start and an end date on or after it, in the same month.
    std::pair<std::string, std::string> dates()
    {
        const int month = range(1, 12), start = range(1, 28), end = range(start, 28);
        char a[16], b[16];
        std::snprintf(a, sizeof a, "2026-%02d-%02d", month, start);
        std::snprintf(b, sizeof b, "2026-%02d-%02d", month, end);
        return {a, b};
    }
};

// Writes a value as the data files do (quoted only when it must be).
std::string field(const std::string &v)
{
    if (v.find_first_of("\t\r\n") == std::string::npos && (v.empty() || v[0] != '"'))
        return v;
    std::string q = "\"";
    for (char c : v) {
        if (c == '"')
            q += '"';
        q += c;
    }
    return q + '"';
}

std::string join(const std::string *fields, size_t n)
{
    std::string line;
    for (size_t k = 0; k < n; ++k)
        line += (k ? "\t" : "") + field(fields[k]);
    return line;
}

// The Windows-1252 bytes of UTF-8 text; every character the generator
// writes has one.
std::string windows1252(const std::string &utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += char(c);
        } else if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) { // U+0080..U+07FF: Latin-1 here
            out += char(((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F));
            i += 1;
        } else if (utf8.compare(i, 3, "\xE2\x82\xAC") == 0) { // the euro sign
            out += '\x80';
            i += 2;
        } else {
            out += '?';
        }
    }
    return out;
}

// A line in the encoding asked for.
struct Writer {
    std::ofstream out;
    bool cp1252;
    Writer(const QString &path, bool cp1252) : out(path.toStdString(), std::ios::binary), cp1252(cp1252) {}
    void line(const std::string &text) { out << (cp1252 ? windows1252(text) : text) << "\r\n"; }
};

const char *const towns[] = {"M\xC3\xBCnchen", "K\xC3\xB6ln", "D\xC3\xBCsseldorf", "N\xC3\xBCrnberg",
                             "W\xC3\xBCrzburg", "L\xC3\xBC" "beck", "G\xC3\xB6ttingen"};

} // namespace

void generate(const QString &dir, long events, long lines, GenerateOptions options)
{
    QDir().mkpath(dir);
    Gen g;
    const bool accents = options.accents || options.windows1252;
    // The admin record names the folder it lies in, as a full path ending in "/".
    const std::string folder = QDir::cleanPath(QFileInfo(dir).absoluteFilePath()).toStdString() + "/";
    Writer(dir + "/VantelAdmin.txt", options.windows1252)
        .line("organiser\tsecret\t" + folder + "\tDE\tBavaria\t" + (accents ? towns[0] : "Munich") + "\t");
    Writer ev(dir + "/VantelEvents.txt", options.windows1252);
    std::vector<std::string> keys;
    keys.reserve(events);
    for (long i = 0; i < events; ++i) {
        keys.push_back(g.key("EV", i));
        const bool multi = i % 5 == 0;
        const auto [start, end] = g.dates();
        const char *cost = accents ? "Adults 10 \xE2\x82\xAC\r\nChildren free" : "Adults 10\r\nChildren free";
        std::string city = g.text(5, 15);
        if (accents) // not drawn from the generator, so the other values stay as without
            city = towns[size_t(i) % std::size(towns)];
        const std::string f[] = {keys.back(), "organiser", "secret", "DE", city, g.text(5, 15),
                                 g.text(15, 45), g.text(60, 250, multi), multi ? g.text(200, 590, true) : "",
                                 start, end, "1930", "0000", "0000", "0000", "0000", "0000",
                                 std::to_string(g.range(1, 14) * 10), multi ? cost : "Free",
                                 "www.example.org/" + g.text(5, 20), g.text(0, 60), g.text(10, 35),
                                 g.text(20, 90, multi), g.text(8, 30), "+49 89 1234567", "info@example.org", ""};
        ev.line(join(f, std::size(f)));
    }
    Writer dt(dir + "/VantelEventDates.txt", options.windows1252);
    for (long i = 0; i < lines; ++i) {
        const auto [start, end] = g.dates();
        std::string city = g.text(4, 18);
        if (accents)
            city = towns[size_t(i / 3) % std::size(towns)];
        const std::string f[] = {keys[size_t(i % events)], g.key("TI", i + 7), city, g.text(4, 18),
                                 start, end, "1000", "1400", "1930", "0000", "0000", "0000", ""};
        dt.line(join(f, std::size(f)));
    }
}
