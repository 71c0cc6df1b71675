// Generated data folders of realistic size for the benchmarks.
#include "generate.h"

#include <QDir>

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

} // namespace

void generate(const QString &dir, long events, long lines)
{
    QDir().mkpath(dir);
    Gen g;
    std::ofstream adm((dir + "/VantelAdmin.txt").toStdString(), std::ios::binary);
    adm << "organiser\tsecret\t" << dir.toStdString() << "/\tDE\tBavaria\tMunich\t\r\n";
    std::ofstream ev((dir + "/VantelEvents.txt").toStdString(), std::ios::binary);
    std::vector<std::string> keys;
    keys.reserve(events);
    for (long i = 0; i < events; ++i) {
        keys.push_back(g.key("EV", i));
        const bool multi = i % 5 == 0;
        const auto [start, end] = g.dates();
        const std::string f[] = {keys.back(), "organiser", "secret", "DE", g.text(5, 15), g.text(5, 15),
                                 g.text(15, 45), g.text(60, 250, multi), multi ? g.text(200, 590, true) : "",
                                 start, end, "1930", "0000", "0000", "0000", "0000", "0000",
                                 std::to_string(g.range(1, 14) * 10), multi ? "Adults 10\r\nChildren free" : "Free",
                                 "www.example.org/" + g.text(5, 20), g.text(0, 60), g.text(10, 35),
                                 g.text(20, 90, multi), g.text(8, 30), "+49 89 1234567", "info@example.org", ""};
        for (size_t k = 0; k < std::size(f); ++k)
            ev << (k ? "\t" : "") << field(f[k]);
        ev << "\r\n";
    }
    std::ofstream dt((dir + "/VantelEventDates.txt").toStdString(), std::ios::binary);
    for (long i = 0; i < lines; ++i) {
        const auto [start, end] = g.dates();
        const std::string f[] = {keys[size_t(i % events)], g.key("TI", i + 7), g.text(4, 18), g.text(4, 18),
                                 start, end, "1000", "1400", "1930", "0000", "0000", "0000", ""};
        for (size_t k = 0; k < std::size(f); ++k)
            dt << (k ? "\t" : "") << field(f[k]);
        dt << "\r\n";
    }
}
