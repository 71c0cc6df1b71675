#include "journal.h"

#include "fileset.h"
#include "globals.h"
#include "replacefile.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThreadPool>

#include <openssl/evp.h>

#include <cerrno>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// What identifies a file that a rename moved into place: its device, its
// inode, its size and its time of change.
struct Journal::FileStamp {
    qint64 dev = 0, ino = 0, size = 0, mtime = 0;
    bool operator==(const FileStamp &) const = default;
};
using Stamp = Journal::FileStamp;

// File layout (QDataStream, Qt 6.0 format): the magic text, a version, the
// SHA-256 of each of the three data files the changes start from (empty for
// a missing file), their row counts, the stamps of the new files of a save
// under way (version 2 on), the changes, the text being typed into a field
// (when there is any: a value set, marked as typing), and a SHA-256 of all
// that before it, by which a torn or damaged file is known.
//
// A save names its new files in the journal before it moves them in: a
// start that finds exactly those files in place (and no interrupted save)
// knows that the journal's changes are saved, even when the journal itself
// was not removed any more.

namespace {

constexpr char kMagic[] = "VantelUnsaved";
constexpr qint32 kVersion = 2;
constexpr int kHashSize = 32;
constexpr quint8 kTyping = 4; // after RowChange's kinds: the field being typed in

bool stampOf(const QByteArray &path, Stamp &stamp)
{
    struct stat st;
    if (::stat(path.constData(), &st) != 0)
        return false;
    stamp = Stamp{qint64(st.st_dev), qint64(st.st_ino), qint64(st.st_size),
                  qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
    return true;
}

QStringList dataFiles(const QString &folder)
{
    return {folder + gs_admin_filename, folder + gs_event_filename, folder + gs_event_dates_filename};
}

// The SHA-256 of a data file: read in large blocks and summed with the
// processor's own instructions where it has them, so that a save that has
// to know the files it replaces is not held up by them.
QByteArray hashOfFile(const QString &path, const std::atomic<bool> *stop = nullptr)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    bool ok = ctx && EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) == 1;
    std::vector<unsigned char> block(size_t(1) << 20);
    for (ssize_t n; ok && (n = ::read(fd, block.data(), block.size())) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0 && !(stop && stop->load(std::memory_order_relaxed))
             && EVP_DigestUpdate(ctx.get(), block.data(), size_t(n)) == 1;
    }
    ::close(fd);
    unsigned char sum[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    if (!ok || EVP_DigestFinal_ex(ctx.get(), sum, &length) != 1 || length != kHashSize)
        return {};
    return QByteArray(reinterpret_cast<const char *>(sum), kHashSize);
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

// Whether the save a journal names completed: its new files are the data
// files now, and no interrupted save is still to be undone.
bool savedSince(const QStringList &files, const std::vector<Stamp> &saving)
{
    if (saving.size() != size_t(files.size()) || fileset::interrupted(files.front()))
        return false;
    for (qsizetype i = 0; i < files.size(); ++i) {
        Stamp now;
        if (!stampOf(QFile::encodeName(files[i]), now) || now != saving[size_t(i)])
            return false;
    }
    return true;
}

} // namespace

// The files the changes start from: known by their row counts at once and
// by their contents' hashes once they have been read, which starts with the
// first change, away from the user's thread.
struct Journal::Baseline {
    QStringList files;
    RowCounts counts{};
    QList<QByteArray> hashes; // empty until computed
    bool summing = false;     // its hash() is queued (looked at on the user's thread only)
    std::atomic<bool> stop{false}; // the journal goes: a hash under way is not finished

    void hash()
    {
        if (!hashes.isEmpty())
            return;
        QList<QByteArray> sums;
        for (const QString &file : files)
            sums << hashOfFile(file, &stop);
        if (!stop.load())
            hashes = std::move(sums);
    }
};

namespace {

// The whole journal file: what it starts from, the stamps of a save under
// way, the changes and the sum.
QByteArray journalBytes(const QList<QByteArray> &hashes, const RowCounts &counts, const std::vector<Stamp> &saving,
                        const QByteArray &changes)
{
    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_0);
        out.writeRawData(kMagic, int(sizeof kMagic - 1));
        out << kVersion;
        for (const QByteArray &h : hashes)
            out << h;
        for (long n : counts)
            out << qint64(n);
        out << quint8(saving.size());
        for (const Stamp &st : saving)
            out << st.dev << st.ino << st.size << st.mtime;
    }
    bytes += changes;
    bytes += QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    return bytes;
}

} // namespace

QString Journal::fileName() { return QStringLiteral("VantelUnsaved.journal"); }

Journal::Journal(QObject *parent) : QObject(parent), pool_(std::make_unique<QThreadPool>())
{
    pool_->setMaxThreadCount(1); // writes land in the order they were made
    timer_.setSingleShot(true);
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &Journal::write);
}

Journal::~Journal()
{
    // Without a write waiting for them nobody needs the hashes any more; a
    // write still to come keeps the changes with them, as ever.
    if (baseline_ && !writing_)
        baseline_->stop = true;
    waitForWrites();
}

QString Journal::path() const { return folder_.isEmpty() ? QString() : folder_ + fileName(); }

void Journal::waitForWrites() { pool_->waitForDone(); }

void Journal::startFrom(const QString &folder, const RowCounts &counts)
{
    restart();
    if (folder != folder_)
        rt::RemoveReplaceLeftovers(folder + fileName()); // of a write that was cut short
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
    saving_.clear();
    recorded_ = written_ = 0;
    if (!folder_.isEmpty())
        QFile::remove(path());
}

void Journal::beforeSave(const QList<QByteArray> &newFiles)
{
    waitForWrites();
    if (!baseline_)
        return;
    // The files as last saved are still in place: the changes start from
    // them, whatever becomes of the save.
    baseline_->hash();
    saving_.clear();
    for (const QByteArray &file : newFiles) {
        Stamp st;
        if (stampOf(file, st))
            saving_.push_back(st);
    }
    if (log_.isEmpty())
        return;
    timer_.stop();
    written_ = recorded_;
    QString error;
    rt::ReplaceFile(path(), journalBytes(baseline_->hashes, baseline_->counts, saving_, log_),
                    rt::NewFileMode::AlwaysOwnerOnly, &error);
    if (!error.isEmpty())
        emit writeFailed(error);
}

void Journal::saveFailed()
{
    if (saving_.empty())
        return;
    saving_.clear();
    waitForWrites();
    startWrite();
}

// The hashes of the files the changes start from are queued once the window
// waits for the user after a start, or at the first change after a save, so
// that they are ready, or nearly, when the journal is first written or the
// files are saved: a save then need not read the old files after writing
// the new ones.
void Journal::sumBaselineSoon()
{
    if (!baseline_ || baseline_->summing)
        return;
    baseline_->summing = true;
    pool_->start([base = baseline_] { base->hash(); });
}

void Journal::record(const RowChange &change)
{
    if (folder_.isEmpty())
        return;
    sumBaselineSoon();
    log_ += encode(change);
    ++recorded_;
    if (!timer_.isActive())
        timer_.start();
}

void Journal::typed()
{
    if (folder_.isEmpty())
        return;
    sumBaselineSoon();
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
    pool_->start([this, target, changes, base, saving = saving_] {
        base->hash();
        QString error;
        rt::ReplaceFile(target, journalBytes(base->hashes, base->counts, saving, changes),
                        rt::NewFileMode::AlwaysOwnerOnly, &error);
        if (!error.isEmpty())
            QMetaObject::invokeMethod(
                this, [this, error] { emit writeFailed(error); }, Qt::QueuedConnection);
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
    if (magic != kMagic || version < 1 || version > kVersion) {
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
    std::vector<Stamp> saving;
    if (version >= 2) {
        quint8 n = 0;
        in >> n;
        saving.resize(n);
        for (Stamp &st : saving)
            in >> st.dev >> st.ino >> st.size >> st.mtime;
    }
    if (in.status() != QDataStream::Ok) {
        work.problem = QStringLiteral("the file is incomplete or damaged");
        return work;
    }
    if (!same && savedSince(files, saving)) {
        work.state = UnsavedWork::State::None; // nothing left to restore
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
