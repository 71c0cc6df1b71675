#include "bench_folders.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cstring>
#include <vector>
#include <zlib.h>

const QStringList kDataFiles = {QStringLiteral("VantelAdmin.txt"), QStringLiteral("VantelEvents.txt"),
                                QStringLiteral("VantelEventDates.txt")};

namespace {

constexpr int kNameColumn = 6, kFocusedColumn = 26; // of an events line

struct Span {
    qsizetype begin, end;
};

// The fields of the record that starts at `p` (quoted values may hold tabs
// and line breaks); `*next` becomes the start of the next record.
std::vector<Span> fieldsAt(const char *d, qsizetype n, qsizetype p, qsizetype *next)
{
    std::vector<Span> fields;
    for (;;) {
        const qsizetype s = p;
        if (p < n && d[p] == '"') {
            for (++p; p < n; ++p)
                if (d[p] == '"') {
                    if (p + 1 < n && d[p + 1] == '"')
                        ++p;
                    else
                        break;
                }
            if (p < n)
                ++p;
        }
        while (p < n && d[p] != '\t' && d[p] != '\n')
            ++p;
        qsizetype e = p;
        if (e > s && d[e - 1] == '\r')
            --e;
        fields.push_back({s, e});
        if (p < n && d[p] == '\t') {
            ++p;
            continue;
        }
        *next = p < n ? p + 1 : n;
        return fields;
    }
}

// The start of record `row` (from 1), or -1.
qsizetype recordStart(const char *d, qsizetype n, long row)
{
    qsizetype p = 0;
    for (long r = 1; r < row && p < n; ++r)
        fieldsAt(d, n, p, &p);
    return p < n ? p : -1;
}

struct Mapped {
    QFile file;
    const char *data = nullptr;
    qsizetype size = 0;
    explicit Mapped(const QString &path) : file(path)
    {
        if (!file.open(QIODevice::ReadOnly))
            return;
        size = file.size();
        data = size ? reinterpret_cast<const char *>(file.map(0, size)) : "";
    }
    bool ok() const { return data != nullptr; }
};

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool sameBytes(const QString &a, const QString &b)
{
    Mapped x(a), y(b);
    return x.ok() && y.ok() && x.size == y.size && std::memcmp(x.data, y.data, size_t(x.size)) == 0;
}

bool fail(QString *why, const QString &text)
{
    if (why)
        *why = text;
    return false;
}

} // namespace

qint64 folderBytes(const QString &dir)
{
    qint64 n = 0;
    for (const QString &f : kDataFiles)
        n += QFileInfo(dir + f).size();
    return n;
}

Fingerprint fingerprint(const QString &dir)
{
    Fingerprint fp;
    for (const QString &name : kDataFiles) {
        const QFileInfo info(dir + name);
        QCryptographicHash hash(QCryptographicHash::Sha1);
        QFile f(dir + name);
        if (f.open(QIODevice::ReadOnly))
            hash.addData(&f);
        fp[name] = QByteArray::number(info.size()) + ' ' + QByteArray::number(int(info.permissions()), 16) + ' '
                   + QByteArray::number(info.lastModified().toMSecsSinceEpoch()) + ' ' + hash.result().toHex();
    }
    return fp;
}

QByteArray adminNaming(const QByteArray &admin, const QString &folder)
{
    QList<QByteArray> fields = admin.split('\t');
    if (fields.size() > 2)
        fields[2] = QFile::encodeName(folder);
    return fields.join('\t');
}

QString prepareWorkFolder(const QString &master, const QString &work, QString *why)
{
    if (!QFileInfo(work).isAbsolute() || QDir::cleanPath(work) == QStringLiteral("/")) {
        fail(why, QStringLiteral("refusing the work folder %1").arg(work));
        return QString();
    }
    QDir(work).removeRecursively();
    const QString files = work + QStringLiteral("Files/");
    if (!QDir().mkpath(files)) {
        fail(why, QStringLiteral("cannot make %1").arg(files));
        return QString();
    }
    bool ok = QFile::copy(master + kDataFiles[1], files + kDataFiles[1])
              && QFile::copy(master + kDataFiles[2], files + kDataFiles[2]);
    QFile admin(files + kDataFiles[0]), ini(work + QStringLiteral("vantel.ini"));
    ok = ok && admin.open(QIODevice::WriteOnly)
         && admin.write(adminNaming(readAll(master + kDataFiles[0]), files)) > 0 && admin.flush();
    ok = ok && ini.open(QIODevice::WriteOnly)
         && ini.write("[General]\r\nApp=" + QFile::encodeName(work) + "\r\nFiles=" + QFile::encodeName(files)
                      + "\r\n")
                > 0
         && ini.flush();
    if (!ok) {
        fail(why, QStringLiteral("cannot fill %1").arg(work));
        return QString();
    }
    return files;
}

bool resolvesInside(const QString &path, const QString &root)
{
    const QString p = QFileInfo(path).canonicalFilePath(), r = QFileInfo(root).canonicalFilePath();
    return !p.isEmpty() && !r.isEmpty() && (p == r || p.startsWith(r + QLatin1Char('/')));
}

bool settingsStayInside(const QString &work, QString *why)
{
    int found = 0;
    for (const QByteArray &line : readAll(work + QStringLiteral("vantel.ini")).split('\n')) {
        const QByteArray l = line.trimmed();
        for (const char *key : {"App=", "Files="})
            if (l.startsWith(key)) {
                ++found;
                const QString value = QFile::decodeName(l.mid(qsizetype(std::strlen(key))));
                if (!resolvesInside(value, work))
                    return fail(why, QStringLiteral("vantel.ini names %1, outside %2").arg(value, work));
            }
    }
    return found == 2 || fail(why, QStringLiteral("vantel.ini of %1 lost a folder").arg(work));
}

bool savedAsEdited(const QString &reference, const QString &saved, long row, const QByteArray &name, QString *why)
{
    if (readAll(saved + kDataFiles[0]) != adminNaming(readAll(reference + kDataFiles[0]), saved))
        return fail(why, QStringLiteral("the saved admin record differs"));
    if (!sameBytes(reference + kDataFiles[2], saved + kDataFiles[2]))
        return fail(why, QStringLiteral("the saved date lines differ"));
    Mapped ref(reference + kDataFiles[1]), out(saved + kDataFiles[1]);
    if (!ref.ok() || !out.ok())
        return fail(why, QStringLiteral("the events files cannot be read"));
    const qsizetype start = recordStart(ref.data, ref.size, row);
    if (start < 0 || out.size < start || std::memcmp(ref.data, out.data, size_t(start)) != 0)
        return fail(why, QStringLiteral("the saved events before event %1 differ").arg(row));
    qsizetype refNext = 0, outNext = 0;
    const std::vector<Span> a = fieldsAt(ref.data, ref.size, start, &refNext);
    const std::vector<Span> b = fieldsAt(out.data, out.size, start, &outNext);
    if (ref.size - refNext != out.size - outNext
        || std::memcmp(ref.data + refNext, out.data + outNext, size_t(ref.size - refNext)) != 0)
        return fail(why, QStringLiteral("the saved events after event %1 differ").arg(row));
    if (a.size() != b.size() || a.size() <= size_t(kFocusedColumn))
        return fail(why, QStringLiteral("event %1 was saved with %2 fields").arg(row).arg(b.size()));
    for (size_t k = 0; k < a.size(); ++k) {
        const QByteArrayView x(ref.data + a[k].begin, a[k].end - a[k].begin);
        const QByteArrayView y(out.data + b[k].begin, b[k].end - b[k].begin);
        if (int(k) == kNameColumn ? y != QByteArrayView(name) : int(k) != kFocusedColumn && x != y)
            return fail(why, QStringLiteral("field %1 of event %2 was saved as \"%3\"")
                                 .arg(k + 1)
                                 .arg(row)
                                 .arg(QString::fromUtf8(y.first(std::min<qsizetype>(y.size(), 60)))));
    }
    return true;
}

bool archiveHolds(const QString &archive, const QString &dir, QString *why)
{
    QProcess test, list;
    test.start(QStringLiteral("unzip"), {QStringLiteral("-tqq"), archive});
    list.start(QStringLiteral("unzip"), {QStringLiteral("-v"), archive});
    if (!test.waitForFinished(-1) || test.exitCode() != 0)
        return fail(why, QStringLiteral("unzip -t fails on %1").arg(archive));
    if (!list.waitForFinished(-1) || list.exitCode() != 0)
        return fail(why, QStringLiteral("unzip -v fails on %1").arg(archive));
    // Length Method Size Cmpr Date Time CRC-32 Name
    QStringList names;
    for (const QByteArray &line : list.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> t = line.simplified().split(' ');
        bool isLength = false;
        if (t.size() < 8 || t[6].size() != 8)
            continue;
        const qint64 length = t[0].toLongLong(&isLength);
        if (!isLength)
            continue;
        const QString name = QString::fromUtf8(t[7]);
        names << name;
        Mapped f(dir + name);
        if (!f.ok() || f.size != length)
            return fail(why, QStringLiteral("%1 in %2 is not as long as the file").arg(name, archive));
        uLong crc = crc32(0, nullptr, 0);
        for (qsizetype p = 0; p < f.size; p += 1 << 30)
            crc = crc32(crc, reinterpret_cast<const Bytef *>(f.data + p),
                        uInt(std::min<qsizetype>(f.size - p, 1 << 30)));
        if (QByteArray::number(qulonglong(crc), 16).rightJustified(8, '0') != t[6].toLower())
            return fail(why, QStringLiteral("%1 in %2 does not hold the file").arg(name, archive));
    }
    return names == kDataFiles
           || fail(why, QStringLiteral("%1 holds %2").arg(archive, names.join(QLatin1Char(' '))));
}

QByteArray eventIdOfRow(const QString &dir, long row)
{
    Mapped f(dir + kDataFiles[1]);
    const qsizetype start = f.ok() ? recordStart(f.data, f.size, row) : -1;
    if (start < 0)
        return QByteArray();
    qsizetype next = 0;
    const Span id = fieldsAt(f.data, f.size, start, &next).front();
    return QByteArray(f.data + id.begin, id.end - id.begin);
}
