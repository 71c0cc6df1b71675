#include "datafiles.h"
#include "recordset.h"
#include "textcodec.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    const auto *s = reinterpret_cast<const unsigned char *>(data);
    qsizetype i = 0;
    while (i < size) {
        // Plain ASCII eight bytes at a time.
        while (i + 8 <= size) {
            quint64 w;
            std::memcpy(&w, s + i, 8);
            if (w & 0x8080808080808080ull)
                break;
            i += 8;
        }
        if (i >= size)
            break;
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int n = 0;
        quint32 cp = 0;
        if (c >= 0xC2 && c <= 0xDF) { n = 1; cp = c & 0x1F; }
        else if (c >= 0xE0 && c <= 0xEF) { n = 2; cp = c & 0x0F; }
        else if (c >= 0xF0 && c <= 0xF4) { n = 3; cp = c & 0x07; }
        else return false;
        for (int k = 1; k <= n; ++k) {
            if (i + k >= size || (s[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if ((n == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += n + 1;
    }
    return true;
}

long importBytes(RecordSet &rs, const QByteArray &raw, const QString &fileName, QStringList *problemsOut)
{
    QByteArray converted;
    const char *data = raw.constData();
    qsizetype n = raw.size();
    if (!isValidUtf8(data, n)) {
        converted = rt::decodeWindows1252(raw).toUtf8();
        data = converted.constData();
        n = converted.size();
    }
    qsizetype p = 0;
    if (n >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0)
        p = 3;

    const Definition &def = rs.definition();
    const int ncols = rs.columnCount();
    RowStore &store = rs.mutableStore();
    std::vector<RowStore::Field> fields(ncols);
    std::vector<QByteArray> unquoted(ncols); // storage of quoted values after unescaping
    std::vector<quint32> ids;
    Problems problems;
    problems.fileName = fileName;
    int line = 1;

    while (p < n) {
        const int rowLine = line;
        int count = 0;   // fields seen on this line
        bool endOfLine = false;
        // An empty line holds no row.
        if (data[p] == '\n' || (data[p] == '\r' && p + 1 < n && data[p + 1] == '\n')) {
            p += data[p] == '\r' ? 2 : 1;
            ++line;
            continue;
        }
        while (!endOfLine) {
            const char *fstart = nullptr;
            qsizetype flen = 0;
            bool haveQuoted = false;
            QByteArray value;
            if (p < n && data[p] == '"') {
                // Quoted: up to the quote that is not doubled; it must end the field.
                qsizetype q = p + 1;
                int newlines = 0;
                bool closed = false;
                while (q < n) {
                    const char *hit = static_cast<const char *>(std::memchr(data + q, '"', n - q));
                    const qsizetype stop = hit ? hit - data : n;
                    for (qsizetype k = q; k < stop; ++k)
                        newlines += data[k] == '\n';
                    value.append(data + q, stop - q);
                    if (!hit)
                        break;
                    if (stop + 1 < n && data[stop + 1] == '"') {
                        value.append('"');
                        q = stop + 2;
                        continue;
                    }
                    q = stop + 1;
                    closed = true;
                    break;
                }
                if (closed && (q >= n || data[q] == '\t' || data[q] == '\n' ||
                               (data[q] == '\r' && (q + 1 >= n || data[q + 1] == '\n')))) {
                    haveQuoted = true;
                    line += newlines;
                    p = q;
                }
            }
            if (!haveQuoted) {
                // Plain: up to the next tab or line end.
                qsizetype q = p;
                while (q < n && data[q] != '\t' && data[q] != '\n')
                    ++q;
                qsizetype end = q;
                if (q < n && data[q] == '\n' && end > p && data[end - 1] == '\r')
                    --end;
                else if (q >= n && end > p && data[end - 1] == '\r')
                    --end;
                fstart = data + p;
                flen = end - p;
                p = q;
            }
            if (count < ncols) {
                if (haveQuoted) {
                    unquoted[count] = std::move(value);
                    fields[count] = RowStore::Field{unquoted[count].constData(), unquoted[count].size(), false};
                } else {
                    fields[count] = RowStore::Field{fstart, flen, flen == 0};
                }
            }
            ++count;
            // Step over the separator.
            if (p < n && data[p] == '\t') {
                ++p;
                if (p >= n) { // a tab at the very end: one more empty field
                    if (count < ncols)
                        fields[count] = RowStore::Field{};
                    ++count;
                    endOfLine = true;
                }
            } else {
                if (p < n && data[p] == '\r')
                    ++p;
                if (p < n && data[p] == '\n')
                    ++p;
                ++line;
                endOfLine = true;
            }
        }
        for (int c = count; c < ncols; ++c)
            fields[c] = RowStore::Field{};
        if (count < ncols)
            problems.add(rowLine, QStringLiteral("%1 fields instead of %2; the missing ones are left empty")
                                      .arg(count).arg(ncols));
        else if (count > ncols)
            problems.add(rowLine, QStringLiteral("%1 fields instead of %2; the extra ones are ignored")
                                      .arg(count).arg(ncols));
        for (int c = 0; c < ncols && c < count; ++c) {
            const ColType t = def.columns[c].type;
            if (t == ColType::Char || fields[c].null)
                continue;
            const QByteArrayView v(fields[c].data, fields[c].size);
            const bool ok = t == ColType::Date ? isDate(v) : isNumber(v, t);
            if (!ok) {
                problems.add(rowLine, QStringLiteral("%1 in %2 is not %3; the field is left empty")
                                          .arg(quoteForMessage(v), def.columns[c].name, describeType(t)));
                fields[c] = RowStore::Field{};
            }
        }
        ids.push_back(store.add(fields.data(), ncols));
    }
    rs.appendStoredRows(ids);
    if (problems.count && problemsOut)
        problemsOut->append(problems.summary());
    return long(ids.size());
}

long importFile(RecordSet &rs, const QString &path, ImportReport *report)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    if (f.size() == 0)
        return 0;
    // Read through a mapping of the file where possible: no copy of the text.
    QByteArray bytes;
    if (uchar *map = f.map(0, f.size()))
        bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(map), f.size());
    else
        bytes = f.readAll();
    if (bytes.isEmpty())
        return 0;
    QStringList problems;
    const long rows = importBytes(rs, bytes, QFileInfo(path).fileName(), &problems);
    if (!problems.isEmpty()) {
        // Keep the file as it was before anything can replace it.
        const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
        QString backup = path + QStringLiteral(".bak-") + stamp;
        for (int k = 1; QFileInfo::exists(backup); ++k)
            backup = path + QStringLiteral(".bak-") + stamp + QStringLiteral("-%1").arg(k);
        const bool copied = QFile::copy(path, backup);
        if (copied)
            problems.last() += QStringLiteral(". The file as it was is kept as %1").arg(backup);
        else
            problems.last() += QStringLiteral(". A copy of the file could not be kept as %1").arg(backup);
        if (report) {
            report->problems += problems;
            if (copied)
                report->backupPath = backup;
        }
    }
    return rows;
}

// ---- writing --------------------------------------------------------------------------

namespace {

bool needsQuotes(QByteArrayView v)
{
    if (!v.isEmpty() && v[0] == '"')
        return true;
    for (char c : v)
        if (c == '\t' || c == '\n' || c == '\r')
            return true;
    return false;
}

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

mode_t defaultMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// A written temporary file waiting to replace its target.
struct Pending {
    QString target;
    QByteArray tempPath;
};

bool writeTemp(const QByteArray &content, const QString &path, bool ownerOnly, Pending &out, QString *error)
{
    const QFileInfo info(path);
    const QByteArray dir = QFile::encodeName(info.absolutePath());
    QByteArray templ = dir + "/." + QFile::encodeName(info.fileName()) + ".XXXXXX";
    const int fd = ::mkstemp(templ.data());
    if (fd < 0) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    auto fail = [&](int err) {
        ::close(fd);
        ::unlink(templ.constData());
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(err)));
        return false;
    };
    mode_t mode = 0600;
    if (!ownerOnly) {
        struct stat st;
        mode = ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : defaultMode();
    }
    if (::fchmod(fd, mode) != 0)
        return fail(errno);
    const char *p = content.constData();
    qsizetype left = content.size();
    while (left > 0) {
        const ssize_t w = ::write(fd, p, size_t(left));
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        p += w;
        left -= w;
    }
    if (::fsync(fd) != 0)
        return fail(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(templ.constData());
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(err)));
        return false;
    }
    out.target = path;
    out.tempPath = templ;
    return true;
}

bool commit(const Pending &p, QString *error)
{
    if (::rename(p.tempPath.constData(), QFile::encodeName(p.target).constData()) != 0) {
        const int err = errno;
        ::unlink(p.tempPath.constData());
        if (error)
            *error = QStringLiteral("%1: %2").arg(p.target, QString::fromLocal8Bit(std::strerror(err)));
        return false;
    }
    return true;
}

} // namespace

QByteArray serialize(const RecordSet &rs)
{
    QByteArray out;
    const long rows = rs.RowCount();
    const int ncols = rs.columnCount();
    const qsizetype estimate = rs.store().bytes() + qsizetype(rows) * (ncols + 2);
    out.reserve(estimate);
    for (long r = 1; r <= rows; ++r) {
        for (int c = 1; c <= ncols; ++c) {
            if (c > 1)
                out.append('\t');
            appendValue(out, rs.rawValue(r, c));
        }
        out.append("\r\n", 2);
    }
    return out;
}

int saveAs(const RecordSet &rs, const QString &path, QString *error)
{
    return saveAll({{&rs, path}}, error);
}

int saveAll(const std::vector<std::pair<const RecordSet *, QString>> &files, QString *error)
{
    std::vector<Pending> pending;
    for (const auto &[rs, path] : files) {
        Pending p;
        if (!rs || path.isEmpty() || !writeTemp(serialize(*rs), path, holdsPassword(*rs), p, error)) {
            if (error && (!rs || path.isEmpty()))
                *error = QStringLiteral("No file name given");
            for (const Pending &done : pending)
                ::unlink(done.tempPath.constData());
            return -1;
        }
        pending.push_back(p);
    }
    // The files as they were stay reachable under a second name until every
    // replacement has succeeded, so that a failure part-way puts them back.
    std::vector<QByteArray> previous(pending.size());
    for (size_t i = 0; i < pending.size(); ++i) {
        const QByteArray target = QFile::encodeName(pending[i].target);
        const QByteArray keep = target + ".previous";
        ::unlink(keep.constData());
        if (::link(target.constData(), keep.constData()) == 0)
            previous[i] = keep;
    }
    bool ok = true;
    size_t done = 0;
    for (const Pending &p : pending) {
        if (!ok) {
            ::unlink(p.tempPath.constData());
            continue;
        }
        ok = commit(p, error);
        if (ok)
            ++done;
    }
    for (size_t i = 0; i < pending.size(); ++i) {
        if (previous[i].isEmpty())
            continue;
        if (!ok && i < done)
            ::rename(previous[i].constData(), QFile::encodeName(pending[i].target).constData());
        else
            ::unlink(previous[i].constData());
    }
    return ok ? 1 : -1;
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
