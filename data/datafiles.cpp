#include "datafiles.h"
#include "fileset.h"
#include "readfile.h"
#include "recordset.h"
#include "replacefile.h"
#include "textcodec.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace datafiles {

namespace {

bool isDate(QByteArrayView v)
{
    if (v.size() != 10 || v[4] != '-' || v[7] != '-')
        return false;
    int n[8];
    int k = 0;
    for (int i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (v[i] < '0' || v[i] > '9')
            return false;
        n[k++] = v[i] - '0';
    }
    return QDate::isValid(n[0] * 1000 + n[1] * 100 + n[2] * 10 + n[3], n[4] * 10 + n[5], n[6] * 10 + n[7]);
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

// Collects the problems of one file and sums them up in one line.
struct Problems {
    QString fileName;
    QString first;
    int firstLine = 0;
    int count = 0;
    void add(int line, const QString &what)
    {
        if (count++ == 0) {
            firstLine = line;
            first = what;
        }
    }
    QString summary() const
    {
        QString s = QStringLiteral("%1: line %2: %3").arg(fileName).arg(firstLine).arg(first);
        if (count > 1)
            s += QStringLiteral(" (%1 problems in all)").arg(count);
        return s;
    }
};

} // namespace

bool isValidUtf8(const char *data, qsizetype size)
{
    return rt::isValidUtf8(data, size);
}

namespace {

// A value that the writer puts in quotes.
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

// Reads the rows of `data` into the record set's store, appending their ids.
// Rows stay where they lie in `data` (which the store must keep) unless a
// value had doubled quotes to undo. With `checkUtf8`, stops at the first row
// that is not valid UTF-8 and answers false with no row added.
bool readRows(RecordSet &rs, const char *data, qsizetype n, bool checkUtf8, std::vector<quint32> &ids,
              Problems &problems)
{
    qsizetype p = 0;
    if (n >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0)
        p = 3;

    const Definition &def = rs.definition();
    const int ncols = rs.columnCount();
    RowStore &store = rs.mutableStore();
    std::vector<RowStore::Field> fields(ncols);
    std::vector<quint16> ends(ncols);     // the row's values within its line, as addInPlace takes them
    std::vector<QByteArray> unquoted(ncols); // values with doubled quotes, undone
    std::vector<int> typed;               // columns whose text must read as their type
    for (int c = 0; c < ncols; ++c)
        if (def.columns[c].type != ColType::Char)
            typed.push_back(c);
    const qsizetype firstId = qsizetype(ids.size());
    int line = 1;

    while (p < n) {
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
                    line += int(std::count(data + p + 1, data + close, '\n'));
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
        if (checkUtf8 && !rt::isValidUtf8(data + rowStart, p - rowStart)) {
            for (qsizetype i = firstId; i < qsizetype(ids.size()); ++i)
                store.remove(ids[size_t(i)]);
            ids.resize(size_t(firstId));
            return false;
        }
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

} // namespace

namespace {

// Parses `raw` into the record set's store; the rows are not yet the record
// set's own (see FileRead).
void parseBytes(RecordSet &rs, const rt::HeldBytes &raw, const QString &fileName, FileRead &out)
{
    // Valid UTF-8 is used as it stands; otherwise every byte that is not
    // part of a UTF-8 sequence is read as Windows-1252. The rows keep
    // pointing into the text read, which the record set keeps.
    out.text = raw;
    rt::MixedText found;
    Problems problems;
    problems.fileName = fileName;
    if (!readRows(rs, out.text.data(), out.text.size(), true, out.ids, problems)) {
        problems = Problems{};
        problems.fileName = fileName;
        out.text = rt::HeldBytes(rt::toUtf8(raw.data(), raw.size(), &found));
        readRows(rs, out.text.data(), out.text.size(), false, out.ids, problems);
    }
    if (found.mixed())
        out.problems.append(QStringLiteral("%1: line %2: %3 bytes that are not UTF-8 were read as Windows-1252")
                                .arg(fileName)
                                .arg(1 + std::count(raw.data(), raw.data() + found.firstWindows1252, '\n'))
                                .arg(found.windows1252Bytes));
    if (problems.count)
        out.problems.append(problems.summary());
}

// The parsed rows become the record set's rows.
long adoptRows(RecordSet &rs, FileRead &read)
{
    if (!read.ids.empty())
        rs.mutableStore().retain(read.text);
    read.text = rt::HeldBytes();
    const long rows = long(read.ids.size());
    rs.appendStoredRows(std::move(read.ids));
    return rows;
}

} // namespace

long importBytes(RecordSet &rs, const QByteArray &raw, const QString &fileName, QStringList *problemsOut)
{
    FileRead read;
    parseBytes(rs, rt::HeldBytes(raw), fileName, read);
    if (problemsOut)
        problemsOut->append(read.problems);
    return adoptRows(rs, read);
}

FileRead readFile(RecordSet &rs, const QString &path)
{
    FileRead read;
    switch (rt::MapWholeFile(path, read.bytes, &read.readError)) {
    case rt::ReadStatus::Missing: read.status = FileRead::Missing; return read;
    case rt::ReadStatus::Failed:
        read.status = FileRead::Failed;
        read.readError = QStringLiteral("%1 cannot be read: %2").arg(path, read.readError);
        return read;
    case rt::ReadStatus::Read: break;
    }
    read.status = FileRead::Read;
    read.readError.clear();
    if (!read.bytes.isEmpty())
        parseBytes(rs, read.bytes, QFileInfo(path).fileName(), read);
    return read;
}

long finishRead(RecordSet &rs, FileRead &read, const QString &path, ImportReport *report)
{
    switch (read.status) {
    case FileRead::Missing: return -1;
    case FileRead::Failed:
        if (report)
            report->readError = read.readError;
        return -1;
    case FileRead::Read: break;
    }
    if (read.bytes.isEmpty())
        return 0;
    const long rows = adoptRows(rs, read);
    if (!read.problems.isEmpty()) {
        // Keep the file as it was before anything can replace it.
        const QString backup = rt::KeepBackup(path, read.bytes.view());
        if (!backup.isEmpty())
            read.problems.last() += QStringLiteral(". The file as it was is kept as %1").arg(backup);
        else
            read.problems.last() += QStringLiteral(". A copy of the file as it was could not be kept");
        if (report) {
            report->problems += read.problems;
            report->backupPath = backup;
        }
    }
    read.bytes = rt::HeldBytes();
    return rows;
}

void dropRead(RecordSet &rs, FileRead &read)
{
    RowStore &store = rs.mutableStore();
    for (quint32 id : read.ids)
        store.remove(id);
    read = FileRead{};
}

long importFile(RecordSet &rs, const QString &path, ImportReport *report)
{
    // A save that was interrupted is undone first, so that the files read
    // are the set as last saved.
    fileset::recover(path);
    FileRead read = readFile(rs, path);
    return finishRead(rs, read, path, report);
}

// ---- writing --------------------------------------------------------------------------

namespace {

void appendValue(QByteArray &out, QByteArrayView v)
{
    if (!needsQuotes(v)) {
        out.append(v);
        return;
    }
    out.append('"');
    for (char c : v) {
        if (c == '"')
            out.append('"');
        out.append(c);
    }
    out.append('"');
}

bool holdsPassword(const RecordSet &rs)
{
    return rs.columnIndex(QStringLiteral("user_password")) > 0;
}

} // namespace

namespace {

// Hands the text of the passing rows, as written to a file, to `put` in
// order. Rows unchanged since reading are their lines as they stand; lines
// that follow each other in the text read, each with its CR LF, go out as
// one piece of that text.
template <typename Put>
void produce(const RecordSet &rs, Put &&put)
{
    const long rows = rs.RowCount();
    const int ncols = rs.columnCount();
    const RowStore &store = rs.store();
    const char *runStart = nullptr, *runEnd = nullptr;
    auto endRun = [&] {
        if (runStart)
            put(QByteArrayView(runStart, runEnd - runStart));
        runStart = nullptr;
    };
    QByteArray row;
    for (long r = 1; r <= rows; ++r) {
        if (const QByteArrayView line = store.verbatim(rs.rowId(r)); line.data()) {
            // The text read goes on after the line: at least its
            // terminating zero, and a byte more after a carriage return.
            const char *end = line.data() + line.size();
            if (end[0] == '\r' && end[1] == '\n') {
                if (!runStart || line.data() != runEnd) {
                    endRun();
                    runStart = line.data();
                }
                runEnd = end + 2;
                continue;
            }
            endRun();
            put(line);
            put(QByteArrayView("\r\n", 2));
            continue;
        }
        endRun();
        row.clear();
        for (int c = 1; c <= ncols; ++c) {
            if (c > 1)
                row.append('\t');
            appendValue(row, rs.rawValue(r, c));
        }
        row.append("\r\n", 2);
        put(QByteArrayView(row));
    }
    endRun();
}

// Writes the text of the passing rows to `fd` through a buffer; pieces of
// the text read that are large enough go out as they stand.
bool writeRows(const RecordSet &rs, int fd)
{
    constexpr qsizetype kBuffer = qsizetype(1) << 20;
    QByteArray buffer;
    buffer.reserve(kBuffer);
    bool ok = true;
    int err = 0;
    auto flush = [&] {
        if (ok && !buffer.isEmpty() && !(ok = rt::WriteAll(fd, buffer)))
            err = errno;
        buffer.clear();
    };
    produce(rs, [&](QByteArrayView piece) {
        if (!ok)
            return;
        if (piece.size() >= kBuffer / 4) {
            flush();
            if (ok && !(ok = rt::WriteAll(fd, piece)))
                err = errno;
            return;
        }
        buffer.append(piece);
        if (buffer.size() >= kBuffer)
            flush();
    });
    flush();
    errno = err;
    return ok;
}

} // namespace

QByteArray serialize(const RecordSet &rs)
{
    QByteArray out;
    out.reserve(rs.store().bytes() + qsizetype(rs.RowCount()) * (rs.columnCount() + 2));
    produce(rs, [&out](QByteArrayView piece) { out.append(piece); });
    return out;
}

int saveAs(const RecordSet &rs, const QString &path, QString *error)
{
    return saveAll({{&rs, path}}, error);
}

int saveAll(const std::vector<std::pair<const RecordSet *, QString>> &files, QString *error,
            const std::function<void(const QList<QByteArray> &newFiles)> &beforeReplace)
{
    fileset::Save save(error);
    for (const auto &[rs, path] : files) {
        if (!rs) {
            if (error)
                *error = QStringLiteral("No file name given");
            return -1;
        }
        if (!save.add(path, [rs = rs](int fd) { return writeRows(*rs, fd); }, holdsPassword(*rs)))
            return -1;
    }
    return save.commit(beforeReplace);
}

} // namespace datafiles

int convertCountryList(const QString &inFile, const QString &outFile)
{
    QFile in(inFile);
    if (!in.open(QIODevice::ReadOnly))
        return -1;
    const QString text = rt::decodeText(in.readAll());
    in.close();
    QByteArray out;
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        const QString code = tab < 0 ? line : line.left(tab);
        const QString name = tab < 0 ? QString() : line.mid(tab + 1);
        out += '"' + code.toUtf8() + "\",\"" + name.toUtf8() + "\",";
    }
    QFile f(outFile);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        return -1;
    if (f.write(out) != out.size())
        return -1;
    return f.flush() ? 1 : -1;
}
