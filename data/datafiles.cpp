#include "datafiles.h"
#include "fileset.h"
#include "readfile.h"
#include "recordset.h"
#include "replacefile.h"
#include "rowreader.h"
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

namespace datafiles {

bool isValidUtf8(const char *data, qsizetype size)
{
    return rt::isValidUtf8(data, size);
}

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
    if (!readRows(rs, out.text.data(), out.text.size(), true, out.ids, problems, &out.text)) {
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
// With the index that the reader made, when they are all the rows.
long adoptRows(RecordSet &rs, FileRead &read)
{
    if (!read.ids.empty())
        rs.mutableStore().retain(read.text);
    read.text = rt::HeldBytes();
    const long rows = long(read.ids.size());
    rs.appendStoredRows(std::move(read.ids), read.indexCol, std::move(read.index));
    read.index = {};
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

FileRead readFile(RecordSet &rs, const QString &path, int indexCol)
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
    if (indexCol > 0 && !read.ids.empty()) {
        read.indexCol = indexCol;
        read.index = rs.makeIndex(indexCol, read.ids, &read.text);
    }
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

// Hands the text of the rows (those passing the filter, or every row), as
// written to a file, to `put` in order. Rows unchanged since reading are their lines as they stand; lines
// that follow each other in the text read, each with its CR LF, go out as
// one piece of that text.
template <typename Put>
void produce(const RecordSet &rs, Rows which, Put &&put)
{
    constexpr qsizetype kRunLimit = qsizetype(2) << 20;
    const bool every = which == Rows::Every;
    const long rows = every ? rs.allRowCount() : rs.RowCount();
    const int ncols = rs.columnCount();
    const RowStore &store = rs.store();
    const char *runStart = nullptr, *runEnd = nullptr;
    auto endRun = [&] {
        if (runStart)
            put(QByteArrayView(runStart, runEnd - runStart));
        runStart = nullptr;
    };
    QByteArray row;
    RowStore::Pass pass(store);
    for (long r = 0; r < rows; ++r, pass.row()) {
        const quint32 id = every ? rs.idAt(r) : rs.rowId(r + 1);
        if (const QByteArrayView line = store.verbatim(id); line.data()) {
            // The text read goes on after the line: at least its
            // terminating zero, and a byte more after a carriage return.
            const char *end = line.data() + line.size();
            if (end[0] == '\r' && end[1] == '\n') {
                if (!runStart || line.data() != runEnd) {
                    endRun();
                    runStart = line.data();
                }
                runEnd = end + 2;
                // In pieces of a few megabytes, so that the text written
                // need not be in memory all at once (see RowStore::Pass).
                if (runEnd - runStart >= kRunLimit)
                    endRun();
                continue;
            }
            endRun();
            put(line);
            put(QByteArrayView("\r\n", 2));
            continue;
        }
        endRun();
        row.resize(0); // keeps its room for the next row
        for (int c = 1; c <= ncols; ++c) {
            if (c > 1)
                row.append('\t');
            appendValue(row, store.value(id, c - 1));
        }
        row.append("\r\n", 2);
        put(QByteArrayView(row));
    }
    endRun();
}

// Writes the text of the passing rows to `fd` through a buffer; pieces of
// the text read that are large enough go out as they stand.
bool writeRows(const RecordSet &rs, Rows which, int fd)
{
    constexpr qsizetype kBuffer = qsizetype(1) << 20;
    QByteArray buffer;
    buffer.reserve(kBuffer);
    bool ok = true;
    int err = 0;
    auto flush = [&] {
        if (ok && !buffer.isEmpty() && !(ok = rt::WriteAll(fd, buffer)))
            err = errno;
        buffer.resize(0); // clear() would give the memory back and every piece fault it in anew
    };
    produce(rs, which, [&](QByteArrayView piece) {
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
    produce(rs, Rows::Passing, [&out](QByteArrayView piece) { out.append(piece); });
    return out;
}

int saveAs(const RecordSet &rs, const QString &path, QString *error)
{
    const SaveOutcome saved = saveAll({{&rs, path}});
    if (error)
        *error = saved.error;
    return saved.ok() ? 1 : saved.kind == SaveOutcome::PutBackPending ? -2 : -1;
}

SaveOutcome saveAll(const std::vector<std::pair<const RecordSet *, QString>> &files,
                    const std::function<void(const QList<QByteArray> &newFiles)> &beforeReplace, Rows which)
{
    SaveOutcome out;
    fileset::Save save(&out.error);
    for (const auto &[rs, path] : files) {
        if (!rs)
            out.error = QStringLiteral("No file name given");
        if (!rs || !save.add(path, [rs = rs, which](int fd) { return writeRows(*rs, which, fd); }, holdsPassword(*rs))) {
            out.kind = SaveOutcome::NotSaved;
            return out;
        }
    }
    const int code = save.commit(beforeReplace);
    out.kind = code == 1 ? SaveOutcome::Saved : code == -2 ? SaveOutcome::PutBackPending : SaveOutcome::NotSaved;
    return out;
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
