#include "rowreader.h"

#include "recordset.h"
#include "textcodec.h"

#include <QDate>

#include <algorithm>
#include <cstring>
#include <optional>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace datafiles {

bool needsQuotes(QByteArrayView v)
{
    if (!v.isEmpty() && v[0] == '"')
        return true;
    // A byte order mark opening the file would be taken for the file's
    // own and dropped; in quotes it stays part of the value.
    if (v.startsWith("\xEF\xBB\xBF"))
        return true;
    for (char c : v)
        if (c == '\t' || c == '\n' || c == '\r')
            return true;
    return false;
}

namespace {

bool isDate(QByteArrayView v)
{
    if (v.size() != 10 || v[4] != '-' || v[7] != '-')
        return false;
    const auto *s = reinterpret_cast<const unsigned char *>(v.data());
    // A byte below '0' wraps round to a large number.
    const unsigned y1 = s[0] - 48u, y2 = s[1] - 48u, y3 = s[2] - 48u, y4 = s[3] - 48u;
    const unsigned m1 = s[5] - 48u, m2 = s[6] - 48u, d1 = s[8] - 48u, d2 = s[9] - 48u;
    if ((y1 > 9) | (y2 > 9) | (y3 > 9) | (y4 > 9) | (m1 > 9) | (m2 > 9) | (d1 > 9) | (d2 > 9))
        return false;
    // A day of the Gregorian calendar, which has no year 0, as QDate takes it.
    const unsigned y = y1 * 1000 + y2 * 100 + y3 * 10 + y4, m = m1 * 10 + m2, day = d1 * 10 + d2;
    static constexpr unsigned char kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y == 0 || m < 1 || m > 12 || day < 1)
        return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return day <= kDays[m - 1] + (m == 2 && leap ? 1u : 0u);
}

// The line feeds in [from, to): sixteen bytes at a time.
qsizetype countLineFeeds(const char *from, const char *to)
{
    qsizetype n = 0;
#ifdef __SSE2__
    const __m128i lf = _mm_set1_epi8('\n');
    for (; from + 16 <= to; from += 16) // line feeds are few: counted one by one
        for (unsigned m = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(from)), lf)));
             m; m &= m - 1)
            ++n;
#endif
    for (; from < to; ++from)
        n += *from == '\n';
    return n;
}

bool isNumber(QByteArrayView v, ColType type)
{
    bool ok = false;
    const QByteArray b = v.toByteArray().trimmed();
    if (type == ColType::Long)
        b.toInt(&ok);
    else
        b.toDouble(&ok);
    return ok;
}

QString describeType(ColType t)
{
    switch (t) {
    case ColType::Date: return QStringLiteral("a date (yyyy-mm-dd)");
    case ColType::Long: return QStringLiteral("a whole number");
    case ColType::Number: return QStringLiteral("a number");
    case ColType::Char: break;
    }
    return QStringLiteral("text");
}

QString quoteForMessage(QByteArrayView v)
{
    QString s = QString::fromUtf8(v);
    if (s.size() > 40)
        s = s.left(40) + QStringLiteral("...");
    return QLatin1Char('"') + s + QLatin1Char('"');
}

// The end of a plain value starting at `p`: the first tab or line feed (n
// when none). `cr`: the first carriage return before it (n when none).
// Values are short: sixteen bytes are looked at in one step, with no call.
inline qsizetype plainEnd(const char *data, qsizetype p, qsizetype n, qsizetype &cr)
{
    cr = n;
#ifdef __SSE2__
    const __m128i tab = _mm_set1_epi8('\t'), lf = _mm_set1_epi8('\n'), ret = _mm_set1_epi8('\r');
    for (; p + 16 <= n; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + p));
        const unsigned stops = unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, tab), _mm_cmpeq_epi8(v, lf))));
        unsigned crs = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, ret)));
        if (stops)
            crs &= (1u << __builtin_ctz(stops)) - 1;
        if (crs && cr == n)
            cr = p + __builtin_ctz(crs);
        if (stops)
            return p + __builtin_ctz(stops);
    }
#endif
    for (; p < n; ++p) {
        const char c = data[p];
        if (c == '\t' || c == '\n')
            return p;
        if (c == '\r' && cr == n)
            cr = p;
    }
    return n;
}

// Where a plain line's values end, where the line after it starts, and
// which of its bytes are 0x80 or more.
struct PlainLine {
    qsizetype stop = 0;       // the end of the last value (before CR LF)
    qsizetype next = 0;       // the start of the next line
    qsizetype firstHigh = -1; // the first byte of 0x80 or more, or -1
    qsizetype endHigh = -1;   // one past the last one
};

// Whether the line at `p` is plain, and where it stands in `out`; a line
// that is not is left to the general reading below. A plain line ends in a
// line feed and holds `ncols` values, none of them starting with a quote or
// a byte order mark (none starting with the byte 0xEF at all), no carriage
// return but the one before the line feed, and every value of `typed`
// empty or of its type: the general reading makes exactly such a line a row
// that stays where it is (addLine). Sixteen bytes are looked at in one step.
bool plainLine(const char *data, qsizetype p, qsizetype n, int ncols,
               const std::vector<std::pair<int, ColType>> &typed, PlainLine &out)
{
    constexpr int kMaxColumns = 64;
    const char *lf = static_cast<const char *>(std::memchr(data + p, '\n', size_t(n - p)));
    if (!lf || ncols > kMaxColumns)
        return false;
    qsizetype e = lf - data;
    if (e > p && data[e - 1] == '\r')
        --e;
    // Only the tabs up to the end of the last typed value are looked up;
    // the others are counted.
    const int wanted = typed.empty() ? 0 : std::min(typed.back().first + 1, ncols - 1);
    quint32 tabAt[kMaxColumns];
    int tabs = 0;
    bool valueStart = true; // the next byte starts a value
    out.firstHigh = out.endHigh = -1;
    qsizetype i = p;
#ifdef __SSE2__
    const __m128i tab = _mm_set1_epi8('\t'), quote = _mm_set1_epi8('"'), ret = _mm_set1_epi8('\r'),
                  bom = _mm_set1_epi8('\xEF');
    for (; i + 16 <= e; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        unsigned t = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, tab)));
        const unsigned odd = unsigned(_mm_movemask_epi8(
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, bom)), _mm_cmpeq_epi8(v, ret))));
        if (odd) { // a carriage return, or a quote or 0xEF that may start a value
            const unsigned cr = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, ret)));
            if (cr || (odd & ((t << 1) | (valueStart ? 1u : 0u))))
                return false;
        }
        valueStart = t & 0x8000u;
        if (const unsigned high = unsigned(_mm_movemask_epi8(v))) {
            if (out.firstHigh < 0)
                out.firstHigh = i + __builtin_ctz(high);
            out.endHigh = i + 32 - __builtin_clz(high);
        }
        for (; t; t &= t - 1, ++tabs)
            if (tabs < wanted)
                tabAt[tabs] = quint32(i - p) + quint32(__builtin_ctz(t));
        if (tabs > ncols - 1)
            return false;
    }
#endif
    for (; i < e; ++i) {
        const char c = data[i];
        if (c == '\r' || (valueStart && (c == '"' || c == '\xEF')))
            return false;
        valueStart = c == '\t';
        if (c == '\t') {
            if (tabs == ncols - 1)
                return false;
            if (tabs < wanted)
                tabAt[tabs] = quint32(i - p);
            ++tabs;
        }
        if (c & 0x80) {
            if (out.firstHigh < 0)
                out.firstHigh = i;
            out.endHigh = i + 1;
        }
    }
    if (tabs != ncols - 1)
        return false;
    for (const auto &[c, type] : typed) {
        const qsizetype start = c == 0 ? p : p + tabAt[c - 1] + 1;
        const qsizetype end = c == ncols - 1 ? e : p + tabAt[c];
        if (end == start)
            continue; // empty: null
        const QByteArrayView v(data + start, end - start);
        if (!(type == ColType::Date ? isDate(v) : isNumber(v, type)))
            return false;
    }
    out.stop = e;
    out.next = lf - data + 1;
    return true;
}

} // namespace

bool readRows(RecordSet &rs, const char *data, qsizetype n, bool checkUtf8, std::vector<quint32> &ids,
              Problems &problems, const rt::HeldBytes *held)
{
    std::optional<rt::PagesBehind> behind;
    if (held && held->data() == data)
        behind.emplace(*held);
    qsizetype p = 0;
    if (n >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0)
        p = 3;

    const Definition &def = rs.definition();
    const int ncols = rs.columnCount();
    const qsizetype firstId = qsizetype(ids.size());
    RowStore &store = rs.mutableStore();
    std::vector<RowStore::Field> fields(ncols);
    std::vector<quint16> ends(ncols);     // the row's values within its line, as addInPlace takes them
    std::vector<QByteArray> unquoted(ncols); // values with doubled quotes, undone
    std::vector<int> typed;               // columns whose text must read as their type
    std::vector<std::pair<int, ColType>> typedPlain;
    for (int c = 0; c < ncols; ++c) {
        if (def.columns[c].type != ColType::Char) {
            typed.push_back(c);
            typedPlain.emplace_back(c, def.columns[c].type);
        }
    }
    auto notUtf8 = [&] { // no row is added
        for (qsizetype i = firstId; i < qsizetype(ids.size()); ++i)
            store.remove(ids[size_t(i)]);
        ids.resize(size_t(firstId));
        return false;
    };
    int line = 1;
    // Once some rows are read, room for about as many as the rest of the
    // text holds: lists grown by doubling would hold up to twice that at
    // the moment they grow.
    constexpr qsizetype kSampleRows = 4096;
    const qsizetype sampleStart = p;
    bool reserved = false;

    while (p < n) {
        if (behind)
            behind->passed(data + p);
        if (!reserved && qsizetype(ids.size()) - firstId == kSampleRows) {
            reserved = true;
            const double perRow = double(p - sampleStart) / double(kSampleRows);
            const qsizetype more = qsizetype(double(n - p) / perRow * 1.05) + 16;
            ids.reserve(ids.size() + size_t(more));
            store.reserve(more);
        }
        const int rowLine = line;
        const qsizetype rowStart = p;
        int count = 0;   // fields seen on this line
        bool endOfLine = false;
        bool inPlace = true;  // every value lies in the line as it stands
        bool verbatim = true; // and the line is what writing the row gives
        bool plain = true;    // and no value stands in quotes
        bool lineFeed = false; // the line ends with a line feed
        qsizetype rowStop = p; // end of the last value (and its closing quote)
        // An empty line holds no row.
        if (data[p] == '\n' || (data[p] == '\r' && p + 1 < n && data[p + 1] == '\n')) {
            p += data[p] == '\r' ? 2 : 1;
            ++line;
            continue;
        }
        if (PlainLine plainOne; plainLine(data, p, n, ncols, typedPlain, plainOne)) {
            // Every sequence of UTF-8 lies between the first byte of 0x80
            // or more and the last.
            if (checkUtf8 && plainOne.firstHigh >= 0
                && !rt::isValidUtf8(data + plainOne.firstHigh, plainOne.endHigh - plainOne.firstHigh))
                return notUtf8();
            ids.push_back(store.addLine(data + rowStart, plainOne.stop - rowStart));
            p = plainOne.next;
            ++line;
            continue;
        }
        while (!endOfLine) {
            RowStore::Field field;
            quint16 end = 0;
            bool haveQuoted = false;
            if (p < n && data[p] == '"') {
                // Quoted: up to the quote that is not doubled; it must end the field.
                qsizetype q = p + 1, close = 0;
                bool closed = false, doubled = false;
                while (q < n) {
                    const char *hit = static_cast<const char *>(std::memchr(data + q, '"', n - q));
                    if (!hit)
                        break;
                    const qsizetype stop = hit - data;
                    if (stop + 1 < n && data[stop + 1] == '"') {
                        doubled = true;
                        q = stop + 2;
                        continue;
                    }
                    close = stop;
                    q = stop + 1;
                    closed = true;
                    break;
                }
                if (closed && (q >= n || data[q] == '\t' || data[q] == '\n' ||
                               (data[q] == '\r' && (q + 1 >= n || data[q + 1] == '\n')))) {
                    haveQuoted = true;
                    plain = false;
                    line += int(countLineFeeds(data + p + 1, data + close));
                    const QByteArrayView inner(data + p + 1, close - p - 1);
                    if (doubled && count < ncols) {
                        QByteArray &v = unquoted[count];
                        v.clear();
                        v.reserve(inner.size());
                        for (qsizetype k = 0; k < inner.size(); ++k) {
                            v.append(inner[k]);
                            if (inner[k] == '"')
                                ++k; // the second of a doubled quote
                        }
                        inPlace = false;
                        // "" is the empty value, as an empty field is: null.
                        field = RowStore::Field{v.constData(), v.size(), v.isEmpty()};
                    } else {
                        field = RowStore::Field{inner.data(), inner.size(), inner.isEmpty()};
                        verbatim = verbatim && needsQuotes(inner);
                    }
                    end = quint16(close - rowStart) | RowStore::kLineQuoted;
                    rowStop = q;
                    p = q;
                }
            }
            if (!haveQuoted) {
                // Plain: up to the next tab or line end.
                qsizetype cr;
                const qsizetype q = plainEnd(data, p, n, cr);
                qsizetype stop = q;
                if (stop > p && data[stop - 1] == '\r' && (q >= n || data[q] == '\n'))
                    --stop;
                field = RowStore::Field{data + p, stop - p, stop == p};
                // A plain value holds no tab or line feed; a carriage return,
                // an opening quote or byte order mark makes the writer quote it.
                if (verbatim && stop > p
                    && (data[p] == '"' || cr < stop
                        || (data[p] == '\xEF' && QByteArrayView(data + p, stop - p).startsWith("\xEF\xBB\xBF"))))
                    verbatim = false;
                end = quint16(stop - rowStart);
                rowStop = stop;
                p = q;
            }
            if (count < ncols) {
                fields[count] = field;
                ends[count] = field.null ? end | RowStore::kLineNull : end;
            }
            ++count;
            // Step over the separator.
            if (p < n && data[p] == '\t') {
                ++p;
                if (p >= n) { // a tab at the very end: one more empty field
                    if (count < ncols) {
                        fields[count] = RowStore::Field{};
                        ends[count] = quint16(p - rowStart) | RowStore::kLineNull;
                    }
                    rowStop = p;
                    ++count;
                    endOfLine = true;
                }
            } else {
                if (p < n && data[p] == '\r')
                    ++p;
                if (p < n && data[p] == '\n') {
                    ++p;
                    lineFeed = true;
                }
                ++line;
                endOfLine = true;
            }
        }
        for (int c = count; c < ncols; ++c) {
            fields[c] = RowStore::Field{};
            ends[c] = (ends[c - 1] & RowStore::kLineOffset) | RowStore::kLineNull;
        }
        if (count != ncols)
            verbatim = false;
        if (count < ncols)
            problems.add(rowLine, QStringLiteral("%1 fields instead of %2; the missing ones are left empty")
                                      .arg(count).arg(ncols));
        else if (count > ncols)
            problems.add(rowLine, QStringLiteral("%1 fields instead of %2; the extra ones are ignored")
                                      .arg(count).arg(ncols));
        for (int c : typed) {
            if (c >= count || fields[c].null)
                continue;
            const ColType t = def.columns[c].type;
            const QByteArrayView v(fields[c].data, fields[c].size);
            const bool ok = t == ColType::Date ? isDate(v) : isNumber(v, t);
            if (!ok) {
                problems.add(rowLine, QStringLiteral("%1 in %2 is not %3; the field is left empty")
                                          .arg(quoteForMessage(v), def.columns[c].name, describeType(t)));
                fields[c] = RowStore::Field{};
                ends[c] |= RowStore::kLineNull;
                verbatim = false;
            }
        }
        if (checkUtf8 && !rt::isValidUtf8(data + rowStart, p - rowStart))
            return notUtf8();
        if (plain && verbatim && lineFeed)
            ids.push_back(store.addLine(data + rowStart, rowStop - rowStart));
        // Offsets within a longer line do not fit: such a row gets a block of its own.
        else if (inPlace && p - rowStart <= qsizetype(RowStore::kLineOffset))
            ids.push_back(store.addInPlace(data + rowStart, ends.data(),
                                           verbatim ? quint16(rowStop - rowStart) : RowStore::kNotVerbatim));
        else
            ids.push_back(store.add(fields.data(), ncols));
    }
    return true;
}

} // namespace datafiles
