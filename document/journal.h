// The unsaved changes of the event data, kept in a file of the data folder
// so that a session that ends without saving (a crash, a killed process, a
// power cut) loses nothing: the next start can make them again on the files
// as last saved. The file is rewritten whole (never half) a moment after
// each change, away from the user's thread, and holds only the changes, so
// its cost follows what was changed and not the size of the data.
#pragma once

#include "changehistory.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QThreadPool;

using RowCounts = std::array<long, 3>; // admin, events, dates

class Journal : public QObject {
    Q_OBJECT
public:
    struct FileStamp; // identifies a file moved into place
    static QString fileName(); // the journal's name in the data folder

    explicit Journal(QObject *parent = nullptr);
    ~Journal() override; // waits for a write under way

    // The changes start from the files of `folder` as they are now, read
    // into `counts` rows. Nothing is kept yet; the file of the folder before
    // goes.
    void startFrom(const QString &folder, const RowCounts &counts);
    // Nothing kept: the data is as the files hold it; the file goes.
    void restart();
    void record(const RowChange &change);
    // The text being typed into a field, not yet a change of the data, is
    // kept too: `source` tells what it would set (nothing while no field is
    // being typed in), and typed() that it changed (or ended). It is written
    // with the changes, after the same pause.
    using TypingSource = std::function<std::optional<RowChange>()>;
    void setTypingSource(TypingSource source) { typingSource_ = std::move(source); }
    void typed();
    QString path() const; // empty before startFrom
    bool isEmpty() const { return log_.isEmpty(); }
    // Writes what is kept now and waits until it is on disk.
    void flush();
    // A save of the folder is about to move `newFiles` in: the changes are
    // settled as starting from the files still in place, and the journal
    // names the new files, so that a start after a kill in the last moment
    // of the save sees that its changes are saved. saveFailed() takes the
    // names back.
    void beforeSave(const QList<QByteArray> &newFiles);
    void saveFailed();
    // How long after a change the file is written (ms).
    void setDelay(int ms) { timer_.setInterval(ms); }
    // The files the changes start from are read for their hashes away from
    // the user's thread, if that has not begun yet (the first change does
    // it otherwise).
    void sumBaselineSoon();

signals:
    void writeFailed(const QString &error);

private:
    struct Baseline;
    void write();
    void startWrite();
    void waitForWrites();

    std::unique_ptr<QThreadPool> pool_;
    QTimer timer_;
    QString folder_;
    std::shared_ptr<Baseline> baseline_;
    QByteArray log_; // the changes, as written to the file
    // A write under way holds the next one back (the timer tries again),
    // so a slow disk never piles writes up.
    std::atomic<bool> writing_{false};
    qint64 recorded_ = 0, written_ = 0; // changes kept, and in the file
    std::vector<FileStamp> saving_;      // the new files of a save under way
    TypingSource typingSource_;
    bool typingChanged_ = false; // since the last write
};

// What a journal left in a data folder holds.
struct UnsavedWork {
    enum class State { None, Damaged, Found };
    State state = State::None;
    QString path;
    QString problem;      // why a damaged journal cannot be used
    QDateTime written;    // when it was last written
    std::vector<RowChange> changes;
    // The text that was being typed into a field, as the value it sets.
    std::optional<RowChange> typing;
};

// Reads the journal of `folder` and checks that it starts from the data
// files there, read into `counts` rows.
UnsavedWork readJournal(const QString &folder, const RowCounts &counts);
// Moves a journal out of the way under a name of its own; answers that
// name (empty when it could not be moved).
QString putJournalAside(const QString &path);
