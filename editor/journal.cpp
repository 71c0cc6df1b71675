#include "journal.h"

#include "globals.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThreadPool>

// File layout (QDataStream, Qt 6.0 format): the magic text, a version, the
// SHA-256 of each of the three data files the changes start from (empty for
// a missing file), their row counts, the changes, the text being typed into
// a field (when there is any: a value set, marked as typing), and a SHA-256
// of all that before it, by which a torn or damaged file is known.

namespace {

constexpr char kMagic[] = "VantelUnsaved";
constexpr qint32 kVersion = 1;
constexpr int kHashSize = 32;
constexpr quint8 kTyping = 4; // after RowChange's kinds: the field being typed in

QStringList dataFiles(const QString &folder)
{
    return {folder + gs_admin_filename, folder + gs_event_filename, folder + gs_event_dates_filename};
}

QByteArray hashOfFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&f);
    return h.result();
}

void putValue(QDataStream &out, const StoredValue &v)
{
    out << quint8(v.null ? 1 : 0) << v.bytes;
}

bool getValue(QDataStream &in, StoredValue &v)
{
    quint8 null = 0;
    in >> null >> v.bytes;
    v.null = null != 0;
    if (v.null)
        v.bytes.clear();
    return in.status() == QDataStream::Ok && null <= 1;
}

QByteArray encode(const RowChange &c, bool typing = false)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << (typing ? kTyping : quint8(c.kind)) << c.part << c.place;
    if (c.kind == RowChange::Set) {
        out << c.col;
        putValue(out, c.before);
        putValue(out, c.after);
    } else {
        out << quint16(c.row.size());
        for (const StoredValue &v : c.row)
            putValue(out, v);
    }
    return bytes;
}

bool decode(QDataStream &in, RowChange &c, bool *typing)
{
    quint8 kind = 0;
    in >> kind >> c.part >> c.place;
    *typing = kind == kTyping;
    if (*typing)
        kind = RowChange::Set;
    if (in.status() != QDataStream::Ok || kind < RowChange::Insert || kind > RowChange::Set)
        return false;
    c.kind = RowChange::Kind(kind);
    if (c.kind == RowChange::Set) {
        in >> c.col;
        return getValue(in, c.before) && getValue(in, c.after);
    }
    quint16 n = 0;
    in >> n;
    c.row.resize(n);
    for (StoredValue &v : c.row)
        if (!getValue(in, v))
            return false;
    return in.status() == QDataStream::Ok;
}

} // namespace

// The files the changes start from: known by their row counts at once and
// by their contents' hashes once the first write has read them.
struct Journal::Baseline {
    QStringList files;
    RowCounts counts{};
    QList<QByteArray> hashes; // empty until computed
};

QString Journal::fileName() { return QStringLiteral("VantelUnsaved.journal"); }

Journal::Journal(QObject *parent) : QObject(parent), pool_(std::make_unique<QThreadPool>())
{
    pool_->setMaxThreadCount(1); // writes land in the order they were made
    timer_.setSingleShot(true);
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &Journal::write);
}

Journal::~Journal() { waitForWrites(); }

QString Journal::path() const { return folder_.isEmpty() ? QString() : folder_ + fileName(); }

void Journal::waitForWrites() { pool_->waitForDone(); }

void Journal::startFrom(const QString &folder, const RowCounts &counts)
{
    restart();
    folder_ = folder;
    baseline_ = std::make_shared<Baseline>();
    baseline_->files = dataFiles(folder);
    baseline_->counts = counts;
}

void Journal::restart()
{
    timer_.stop();
    waitForWrites();
    log_.clear();
    recorded_ = written_ = 0;
    if (!folder_.isEmpty())
        QFile::remove(path());
}

void Journal::record(const RowChange &change)
{
    if (folder_.isEmpty())
        return;
    log_ += encode(change);
    ++recorded_;
    if (!timer_.isActive())
        timer_.start();
}

void Journal::typed()
{
    if (folder_.isEmpty())
        return;
    typingChanged_ = true;
    if (!timer_.isActive())
        timer_.start();
}

void Journal::flush()
{
    timer_.stop();
    waitForWrites();
    if (written_ != recorded_ || typingChanged_)
        startWrite();
    waitForWrites();
}

void Journal::write()
{
    if (writing_) {
        timer_.start();
        return;
    }
    if (written_ != recorded_ || typingChanged_)
        startWrite();
}

void Journal::startWrite()
{
    typingChanged_ = false;
    QByteArray changes = log_;
    if (typingSource_)
        if (const std::optional<RowChange> typing = typingSource_())
            changes += encode(*typing, true);
    if (folder_.isEmpty())
        return;
    if (changes.isEmpty()) {
        // The typing ended with nothing else unsaved: nothing to keep.
        QFile::remove(path());
        return;
    }
    const QString target = path();
    const std::shared_ptr<Baseline> base = baseline_;
    written_ = recorded_;
    writing_ = true;
    pool_->start([this, target, changes, base] {
        if (base->hashes.isEmpty())
            for (const QString &file : base->files)
                base->hashes << hashOfFile(file);
        QByteArray head;
        {
            QDataStream out(&head, QIODevice::WriteOnly);
            out.setVersion(QDataStream::Qt_6_0);
            out.writeRawData(kMagic, int(sizeof kMagic - 1));
            out << kVersion;
            for (const QByteArray &h : base->hashes)
                out << h;
            for (long n : base->counts)
                out << qint64(n);
        }
        QCryptographicHash sum(QCryptographicHash::Sha256);
        sum.addData(head);
        sum.addData(changes);
        QSaveFile file(target);
        QString error;
        if (!file.open(QIODevice::WriteOnly)) {
            error = file.errorString();
        } else {
            file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            file.write(head);
            file.write(changes);
            file.write(sum.result());
            if (!file.commit())
                error = file.errorString();
        }
        if (!error.isEmpty())
            QMetaObject::invokeMethod(
                this, [this, target, error] { emit writeFailed(target + QStringLiteral(": ") + error); },
                Qt::QueuedConnection);
        writing_ = false;
    });
}

UnsavedWork readJournal(const QString &folder, const RowCounts &counts)
{
    UnsavedWork work;
    work.path = folder + Journal::fileName();
    QFile file(work.path);
    if (!file.exists())
        return work;
    work.state = UnsavedWork::State::Damaged;
    work.written = QFileInfo(work.path).lastModified();
    if (!file.open(QIODevice::ReadOnly)) {
        work.problem = file.errorString();
        return work;
    }
    const QByteArray all = file.readAll();
    const qsizetype magicSize = qsizetype(sizeof kMagic - 1);
    if (all.size() < magicSize + kHashSize
        || QCryptographicHash::hash(all.first(all.size() - kHashSize), QCryptographicHash::Sha256)
               != all.last(kHashSize)) {
        work.problem = QStringLiteral("the file is incomplete or damaged");
        return work;
    }
    QByteArray body = all.first(all.size() - kHashSize);
    QDataStream in(body);
    in.setVersion(QDataStream::Qt_6_0);
    QByteArray magic(magicSize, '\0');
    qint32 version = 0;
    in.readRawData(magic.data(), int(magicSize));
    in >> version;
    if (magic != kMagic || version != kVersion) {
        work.problem = QStringLiteral("the file is not a journal of this version of Vantel");
        return work;
    }
    const QStringList files = dataFiles(folder);
    bool same = true;
    for (const QString &f : files) {
        QByteArray h;
        in >> h;
        same = same && h == hashOfFile(f);
    }
    for (long n : counts) {
        qint64 written = -1;
        in >> written;
        same = same && written == n;
    }
    if (in.status() != QDataStream::Ok) {
        work.problem = QStringLiteral("the file is incomplete or damaged");
        return work;
    }
    if (!same) {
        work.problem = QStringLiteral("the data files have changed since it was written");
        return work;
    }
    while (!in.atEnd()) {
        RowChange c;
        bool typing = false;
        if (work.typing || !decode(in, c, &typing)) { // the typing comes last
            work.problem = QStringLiteral("the file is incomplete or damaged");
            work.changes.clear();
            work.typing.reset();
            return work;
        }
        if (typing)
            work.typing = std::move(c);
        else
            work.changes.push_back(std::move(c));
    }
    work.state = work.changes.empty() && !work.typing ? UnsavedWork::State::None : UnsavedWork::State::Found;
    return work;
}

QString putJournalAside(const QString &path)
{
    const QString aside = path + QStringLiteral(".damaged-")
                          + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    return QFile::rename(path, aside) ? aside : QString();
}
