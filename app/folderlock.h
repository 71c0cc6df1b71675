// The lock that keeps a data folder to one running Vantel: a file
// ".vantel-lock" in the folder itself, locked (flock) for as long as the
// folder is open and naming who opened it: user, computer, process and
// since when. Because it lies beside the data files, it holds whoever runs
// the program: other users, other session settings, other computers on a
// network share (where the share passes locks on).
//
// A lock whose process has ended is free again at once (the system drops
// the flock). Where the file system keeps no locks, the content decides:
// the process it names on this computer is asked after, by its number and
// its start. A lock left by another computer is never taken without asking
// the user, for this computer cannot see whether Vantel still runs there.
#pragma once

#include <QByteArray>
#include <QString>

namespace folderlock {

// Who holds (or last held) a lock, as its file names them.
struct Holder {
    QString user;
    QString host;
    QString since;     // when the folder was opened, local time "yyyy-MM-dd hh:mm"
    qint64 pid = 0;
    QByteArray boot;   // the boot of the computer the process ran in
    qint64 started = 0; // the process's start, in clock ticks since that boot
    bool known() const { return !host.isEmpty(); }
    bool onThisHost() const;
    // "user ann, process 12 on this computer, since ..." or "user ann on the
    // computer pc7, since ..."
    QString describe() const;
};

// The name of the lock file in `folder`.
QString filePath(const QString &folder);

class Lock {
public:
    enum class Result {
        Held,       // this run holds the folder
        Taken,      // a running Vantel holds it; holder() says who
        Foreign,    // another computer's lock that no running process holds here; ask before taking it
        Unlockable, // no lock can be made (a read-only folder, ...); reason() says why
    };

    Lock() = default;
    ~Lock(); // releases the lock and removes its file
    Lock(const Lock &) = delete;
    Lock &operator=(const Lock &) = delete;

    // Tries to lock `folder` (which must exist). `takeForeign`: a lock of
    // another computer is taken over as well.
    Result acquire(const QString &folder, bool takeForeign = false);
    const Holder &holder() const { return holder_; }
    const QString &reason() const { return reason_; }

private:
    void release();

    int fd_ = -1;
    QByteArray path_;
    bool ours_ = false; // the file names this run (it is removed at release)
    Holder holder_;
    QString reason_;
};

} // namespace folderlock
