// Data safety of the data files: files that cannot be read are reported and
// never replaced, a save replaces the whole set or nothing (whatever stops
// it: a failure or a kill at any step), links are saved through, and a
// file that mixes UTF-8 with Windows-1252 keeps the meaning of both.
#include "datafiles.h"
#include "definition.h"
#include "faults.h"
#include "fileset.h"
#include "folderlock.h"
#include "mappedfile.h"
#include "readfile.h"
#include "recordset.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <thread>

#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using testing_support::runAsNobody;
using testing_support::WorkingFolder;

namespace {

const QStringList kNames = {"VantelAdmin.txt", "VantelEvents.txt", "VantelEventDates.txt"};

// Fails the test instead of hanging it when a read blocks.
struct HangGuard {
    HangGuard() { ::alarm(20); }
    ~HangGuard() { ::alarm(0); }
};

// The three record sets of a save, each with `rows` rows marked by `tag`.
struct DataSet {
    RecordSet admin{definition("d_admin")};
    RecordSet events{definition("d_events")};
    RecordSet dates{definition("d_event_dates")};
    explicit DataSet(const QString &tag, int rows = 3)
    {
        admin.InsertRow(0);
        admin.SetItem(1, "user_id", tag);
        for (int i = 0; i < rows; ++i) {
            events.SetItem(events.InsertRow(0), "name", QString("%1 event %2").arg(tag).arg(i));
            dates.SetItem(dates.InsertRow(0), "city", QString("%1 city %2").arg(tag).arg(i));
        }
    }
    // 1 saved, -1 nothing replaced, -2 an old file still to be put back.
    int save(const QString &folder, QString *error = nullptr) const
    {
        const datafiles::SaveOutcome saved = datafiles::saveAll({{&admin, folder + "VantelAdmin.txt"},
                                                                 {&events, folder + "VantelEvents.txt"},
                                                                 {&dates, folder + "VantelEventDates.txt"}});
        if (error)
            *error = saved.error;
        return saved.ok() ? 1 : saved.kind == datafiles::SaveOutcome::PutBackPending ? -2 : -1;
    }
    QList<QByteArray> bytes() const
    {
        return {datafiles::serialize(admin), datafiles::serialize(events), datafiles::serialize(dates)};
    }
};

// The three files as the next start reads them (reading first undoes an
// interrupted save); a missing file reads as an empty one.
QList<QByteArray> readSet(const QString &folder)
{
    QList<QByteArray> out;
    const char *defs[] = {"d_admin", "d_list", "d_event_dates"};
    for (int i = 0; i < 3; ++i) {
        RecordSet rs(definition(defs[i]));
        ImportReport report;
        rs.ImportFile(folder + kNames[i], &report);
        EXPECT_TRUE(report.problems.isEmpty()) << report.problems.join("; ").toStdString();
        out += datafiles::serialize(rs);
    }
    return out;
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// ---- files that cannot be read -------------------------------------------------------

TEST(UnreadableDataFile, AnotherUsersOwnerOnlyFileIsNamedWithItsReasonAndNeverReplaced)
{
    WorkingFolder wf;
    const QByteArray original = "E1\tT1\tBern\r\n";
    wf.write("VantelEventDates.txt", original);
    const QString path = wf.file("VantelEventDates.txt");
    const QByteArray name = QFile::encodeName(path);
    // Root reads every file; the check runs as an unprivileged user, in a
    // folder that user may write, on a file of root's that only root reads.
    ASSERT_EQ(::chmod(name.constData(), 0600), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(wf.path()).constData(), 01777), 0);
    auto check = [&]() -> QByteArray {
        QByteArray r;
        RecordSet dates(definition("d_event_dates"));
        ImportReport report;
        r += "import=" + QByteArray::number(dates.ImportFile(path, &report)) + "\n";
        r += "error=" + report.readError.toUtf8() + "\n";
        QString error;
        DataSet set("new");
        r += "save=" + QByteArray::number(datafiles::saveAs(set.dates, path, &error)) + "\n";
        r += "saveError=" + error.toUtf8() + "\n";
        return r;
    };
    QByteArray out;
    if (::geteuid() == 0) {
        QString skip;
        out = runAsNobody(check, &skip);
        if (!skip.isEmpty()) {
            GTEST_SKIP() << skip.toStdString();
        }
    } else {
        ASSERT_EQ(::chmod(name.constData(), 0), 0);
        out = check();
    }
    ASSERT_FALSE(out.contains("setuid failed")) << out.toStdString();
    EXPECT_TRUE(out.contains("import=-1\n")) << out.toStdString();
    EXPECT_TRUE(out.contains("error=" + name + " cannot be read: Permission denied\n")) << out.toStdString();
    EXPECT_TRUE(out.contains("save=-1\n")) << out.toStdString();
    EXPECT_TRUE(out.contains("Permission denied")) << out.toStdString();
    ::chmod(name.constData(), 0600);
    EXPECT_EQ(wf.read("VantelEventDates.txt"), original);
    EXPECT_EQ(entries(wf.path()), QStringList{"VantelEventDates.txt"});
}

TEST(UnreadableDataFile, FoldersPipesAndDevicesAreRefusedAtOnceAndLeftAlone)
{
    HangGuard guard;
    WorkingFolder wf;
    QDir(wf.path()).mkpath("VantelAdmin.txt/inside");
    ASSERT_EQ(::mkfifo(QFile::encodeName(wf.file("VantelEvents.txt")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link("/dev/zero", wf.file("VantelEventDates.txt")));
    const QStringList before = entries(wf.path());
    const QString reasons[] = {"it is a folder, not a file", "it is not a regular file (a pipe, device or socket)",
                               "it is not a regular file (a pipe, device or socket)"};
    DataSet set("new");
    const RecordSet *sets[] = {&set.admin, &set.events, &set.dates};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(kNames[i].toStdString());
        RecordSet rs(sets[i]->definition());
        ImportReport report;
        EXPECT_EQ(rs.ImportFile(wf.file(kNames[i]), &report), -1);
        EXPECT_EQ(report.readError, wf.file(kNames[i]) + " cannot be read: " + reasons[i]);
        QString error;
        EXPECT_EQ(datafiles::saveAs(*sets[i], wf.file(kNames[i]), &error), -1);
        EXPECT_TRUE(error.contains(reasons[i])) << error.toStdString();
    }
    EXPECT_EQ(entries(wf.path()), before);
    EXPECT_TRUE(QFileInfo(wf.file("VantelAdmin.txt")).isDir());
    EXPECT_EQ(QFileInfo(wf.file("VantelEventDates.txt")).symLinkTarget(), "/dev/zero");
}

TEST(UnreadableDataFile, AFileCutShortWhileBeingReadIsReportedNotHalfLoaded)
{
    WorkingFolder wf;
    QByteArray content;
    for (int i = 0; i < 20000; ++i)
        content += "E" + QByteArray::number(i) + "\tT1\tBern\r\n";
    wf.write("VantelEventDates.txt", content);
    // Another program truncates the file after it was measured: a mapped
    // file would now fault on the pages that are gone.
    rt::readfile_testing::afterOpen = [](int fd) {
        ASSERT_EQ(::truncate(("/proc/self/fd/" + std::to_string(fd)).c_str(), 4096), 0);
    };
    RecordSet dates(definition("d_event_dates"));
    ImportReport report;
    const long rows = dates.ImportFile(wf.file("VantelEventDates.txt"), &report);
    rt::readfile_testing::afterOpen = nullptr;
    EXPECT_EQ(rows, -1);
    EXPECT_EQ(dates.RowCount(), 0);
    EXPECT_TRUE(report.readError.contains("changed while it was being read")) << report.readError.toStdString();
}

// A file that another program rewrites in place once it has been read,
// whether it was mapped (also by a thread that has ended since, as the
// date lines are) or (open for writing elsewhere while it was read) read:
// the rows stay as they were read, the writer is not kept waiting, and a
// save writes them back.
TEST(UnreadableDataFile, AFileRewrittenInPlaceAfterReadingLeavesTheRowsAsRead)
{
    HangGuard guard;
    WorkingFolder wf;
    QByteArray content;
    for (int i = 0; i < 20000; ++i)
        content += "E" + QByteArray::number(i) + "\tT" + QByteArray::number(i)
                   + "\tBern\t\t2026-05-01\t2026-05-02\t1000\t\t\t\t\t\t\r\n";
    const QString path = wf.file("VantelEventDates.txt");
    for (const int way : {0, 1, 2}) {
        const bool heldOpen = way == 2;
        SCOPED_TRACE(way == 0 ? "mapped" : way == 1 ? "mapped on a thread" : "open for writing while read");
        wf.write("VantelEventDates.txt", content);
        QFile writer(path);
        if (heldOpen) {
            ASSERT_TRUE(writer.open(QIODevice::ReadWrite));
        }
        const int mapped = rt::mappedfile_testing::mappedNow(), copied = rt::mappedfile_testing::copiedNow();
        RecordSet dates(definition("d_event_dates"));
        long rows = 0;
        if (way == 1)
            std::thread([&] { rows = dates.ImportFile(path); }).join();
        else
            rows = dates.ImportFile(path);
        ASSERT_EQ(rows, 20000);
        writer.close();
        if (heldOpen) {
            EXPECT_EQ(rt::mappedfile_testing::mappedNow(), mapped);
        } else if (rt::mappedfile_testing::mappedNow() == mapped) {
            GTEST_SKIP() << "no file leases here: the file was read, not mapped";
        } else {
            // What was read has left the program's memory, and a look at
            // every row, which brings it back as it was, lets it go again.
            EXPECT_LT(rt::mappedfile_testing::residentBytes(), 64 * 1024);
            EXPECT_TRUE(datafiles::serialize(dates) == content);
            EXPECT_LT(rt::mappedfile_testing::residentBytes(), 64 * 1024);
        }

        // Written anew, shorter, as an editor saves in place; then cut short.
        wf.write("VantelEventDates.txt", "E1\tT1\tZ\xC3\xBCrich\r\n");
        ASSERT_EQ(::truncate(QFile::encodeName(path).constData(), 4), 0);
        if (!heldOpen) {
            EXPECT_EQ(rt::mappedfile_testing::copiedNow(), copied + 1);
        }
        EXPECT_EQ(dates.GetItemString(20000, "city"), "Bern");
        EXPECT_TRUE(datafiles::serialize(dates) == content);
        ASSERT_EQ(datafiles::saveAs(dates, path), 1);
        EXPECT_TRUE(wf.read("VantelEventDates.txt") == content);
    }
}

// ---- saving the set --------------------------------------------------------------------

// Makes the `failAt`-th step of a save fail, or kills the process there.
int gStep = 0;
int gFailAt = -1;
bool gKill = false;
int countStep(const char *)
{
    if (gStep++ != gFailAt)
        return 0;
    if (gKill)
        ::raise(SIGKILL);
    return EIO;
}

struct StepSeam {
    StepSeam(int at, bool kill)
    {
        gStep = 0;
        gFailAt = at;
        gKill = kill;
        fileset::testing::step = countStep;
    }
    ~StepSeam() { fileset::testing::step = nullptr; }
};

// Saves `next` over `previous` (nothing saved when null) with a failure or a
// kill at every step in turn; each time the next read must find exactly one
// whole set and nothing left behind.
void stopAtEveryStep(bool kill, bool firstSave, const QString &linkTo = QString())
{
    const DataSet old("old"), next("new", 50);
    const QList<QByteArray> empty = {"", "", ""};
    int stops = 0;
    for (int at = 0;; ++at) {
        SCOPED_TRACE("stopped at step " + std::to_string(at));
        WorkingFolder wf;
        const QString folder = wf.folder();
        QString real = folder; // where the files themselves lie
        if (!linkTo.isEmpty()) {
            QDir(wf.path()).mkpath(linkTo);
            real = wf.folder() + linkTo + "/";
            for (const QString &n : kNames)
                QFile::link(linkTo + "/" + n, folder + n); // relative to the data folder
        }
        if (!firstSave) {
            ASSERT_EQ(old.save(folder), 1);
        }
        const QList<QByteArray> before = firstSave ? empty : old.bytes();
        const QStringList listing = entries(real);

        int rc = 0;
        bool stopped = false;
        if (kill) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                StepSeam seam(at, true);
                ::_exit(next.save(folder) == 1 ? 0 : 1);
            }
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            stopped = WIFSIGNALED(status);
            rc = stopped ? 0 : (WEXITSTATUS(status) == 0 ? 1 : -1);
        } else {
            StepSeam seam(at, false);
            rc = next.save(folder);
            stopped = gStep > at;
        }
        const QList<QByteArray> after = readSet(folder);
        if (rc == -1)
            EXPECT_EQ(after, before) << "a failed save changed the files";
        else if (rc == 1)
            EXPECT_EQ(after, next.bytes());
        else
            EXPECT_TRUE(after == before || after == next.bytes()) << "a mixed set after the kill";
        // What an interrupted save left behind is gone once the set was read.
        const QStringList now = entries(real);
        EXPECT_TRUE(now == listing || now == (firstSave ? QStringList{kNames[0], kNames[2], kNames[1]} : listing))
            << now.join(" ").toStdString();
        for (const QString &n : kNames) {
            EXPECT_EQ(QFileInfo(folder + n).isSymLink(), !linkTo.isEmpty()) << n.toStdString();
        }
        if (!stopped)
            break;
        ++stops;
    }
    EXPECT_GE(stops, 10) << "the seam saw too few steps";
}

TEST(SaveSet, AFailureAtAnyStepOfAFirstSaveLeavesNoFile)
{
    stopAtEveryStep(false, true);
}

TEST(SaveSet, AFailureAtAnyStepLeavesTheSetAsLastSaved)
{
    stopAtEveryStep(false, false);
}

TEST(SaveSet, AKillAtAnyStepLeavesTheWholeOldOrTheWholeNewSet)
{
    stopAtEveryStep(true, false);
}

TEST(SaveSet, AKillAtAnyStepOfAFirstSaveLeavesNoFileOrTheWholeSet)
{
    stopAtEveryStep(true, true);
}

TEST(SaveSet, LinkedFilesAreSavedThroughTheirLinksAtEveryStep)
{
    stopAtEveryStep(true, false, "elsewhere/real");
}

TEST(SaveSet, WhenTheOldFilesCannotBePutBackTheSaveSaysSoAndTheNextReadPutsThemBack)
{
    WorkingFolder wf;
    const DataSet old("old"), next("new");
    ASSERT_EQ(old.save(wf.folder()), 1);
    // The second file cannot be moved in, and nothing can be moved back.
    fileset::testing::step = [](const char *what) {
        static int replaces = 0;
        if (std::string(what) == "replace")
            return ++replaces == 2 ? EIO : 0;
        return std::string(what) == "rollback" ? EACCES : 0;
    };
    QString error;
    const int rc = next.save(wf.folder(), &error);
    fileset::testing::step = nullptr;
    EXPECT_EQ(rc, -2);
    EXPECT_TRUE(error.contains("could not be put back")) << error.toStdString();
    EXPECT_EQ(readSet(wf.folder()), old.bytes());
    EXPECT_EQ(entries(wf.path()), (QStringList{kNames[0], kNames[2], kNames[1]}));
}

TEST(SaveSet, LeftoversOfInterruptedSavesGoAndOtherFilesStay)
{
    WorkingFolder wf;
    const DataSet old("old");
    ASSERT_EQ(old.save(wf.folder()), 1);
    const QStringList leftovers = {".VantelEvents.txt.new-Ab12Cd", ".VantelEvents.txt.old-Zz9y8X",
                                   ".VantelEvents.txt.q1W2e3", "VantelEvents.txt.previous",
                                   ".VantelAdmin.txt.new-000000", ".vantel-save.k2J3l4"};
    const QStringList others = {"VantelEvents.txt.bak-20240101-120000", ".VantelEvents.txt.keep", "notes.txt",
                                ".VantelEvents.txt.new-toolong1"};
    for (const QString &n : leftovers + others)
        wf.write(n, QByteArray(1000, 'x'));
    readSet(wf.folder());
    QStringList expected = kNames + others;
    expected.sort();
    QStringList now = entries(wf.path());
    now.sort();
    EXPECT_EQ(now, expected);
}

TEST(SaveSet, LinkedFileKeepsItsLinkAndModeAndTheTargetGetsTheData)
{
    WorkingFolder wf;
    QDir(wf.path()).mkpath("data");
    QDir(wf.path()).mkpath("real");
    wf.write("real/dates.txt", "old\r\n");
    ::chmod(QFile::encodeName(wf.file("real/dates.txt")).constData(), 0640);
    ASSERT_TRUE(QFile::link("../real/dates.txt", wf.file("data/VantelEventDates.txt")));
    ASSERT_TRUE(QFile::link("../real/missing.txt", wf.file("data/VantelEvents.txt"))); // not yet there
    const DataSet next("new");
    ASSERT_EQ(datafiles::saveAll({{&next.dates, wf.file("data/VantelEventDates.txt")},
                                  {&next.events, wf.file("data/VantelEvents.txt")}})
                  .kind,
              datafiles::SaveOutcome::Saved);
    EXPECT_EQ(QFileInfo(wf.file("data/VantelEventDates.txt")).symLinkTarget(), wf.file("real/dates.txt"));
    EXPECT_EQ(wf.read("real/dates.txt"), datafiles::serialize(next.dates));
    EXPECT_EQ(wf.read("real/missing.txt"), datafiles::serialize(next.events));
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(wf.file("real/dates.txt")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(entries(wf.file("real")), (QStringList{"dates.txt", "missing.txt"}));
    EXPECT_EQ(entries(wf.file("data")), (QStringList{"VantelEventDates.txt", "VantelEvents.txt"}));
}

TEST(SaveSet, AReplacedFileKeepsItsModeOwnerAndGroupAndOnlyNewFilesAreOwnerOnly)
{
    WorkingFolder wf;
    const DataSet old("old"), next("new");
    ASSERT_EQ(old.save(wf.folder()), 1);
    auto name = [&](int i) { return QFile::encodeName(wf.file(kNames[i])); };
    struct stat st;
    ASSERT_EQ(::chmod(name(0).constData(), 0664), 0);
    ASSERT_EQ(::chmod(name(1).constData(), 0640), 0);
    const passwd *nobody = ::getpwnam("nobody");
    const bool giveAway = ::geteuid() == 0 && nobody; // a save by root must not take the file from its owner
    if (giveAway) {
        ASSERT_EQ(::chown(name(1).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    }
    ASSERT_EQ(::unlink(name(2).constData()), 0);
    ASSERT_EQ(next.save(wf.folder()), 1);
    ASSERT_EQ(::stat(name(0).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
    ASSERT_EQ(::stat(name(1).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (giveAway) {
        EXPECT_EQ(st.st_uid, nobody->pw_uid);
        EXPECT_EQ(st.st_gid, nobody->pw_gid);
    }
    ASSERT_EQ(::unlink(name(0).constData()), 0); // holds the password: a new one is for its owner only
    ASSERT_EQ(next.save(wf.folder()), 1);
    ASSERT_EQ(::stat(name(0).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    const mode_t mask = ::umask(022);
    ::umask(mask);
    ASSERT_EQ(::stat(name(2).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);
}

TEST(SaveSet, AFolderThatCannotBeWrittenIsOpenedWithoutALockAndTheSaveSaysSo)
{
    WorkingFolder wf;
    const DataSet old("old"), next("new");
    ASSERT_EQ(old.save(wf.folder()), 1);
    auto check = [&]() -> QByteArray {
        folderlock::Lock lock;
        const auto locked = lock.acquire(wf.path());
        QByteArray r = "lock=" + QByteArray::number(int(locked)) + " " + lock.reason().toUtf8() + "\n";
        QString error;
        const int saved = next.save(wf.folder(), &error);
        r += "save=" + QByteArray::number(saved) + " " + error.toUtf8() + "\n";
        return r;
    };
    QByteArray out;
    if (::geteuid() == 0) { // root writes everywhere: the check runs as a user who may only read
        for (const QString &n : kNames)
            ::chmod(QFile::encodeName(wf.file(n)).constData(), 0644);
        ::chmod(QFile::encodeName(wf.path()).constData(), 0755);
        QString skip;
        out = runAsNobody(check, &skip);
        if (!skip.isEmpty())
            GTEST_SKIP() << skip.toStdString();
    } else {
        ASSERT_EQ(::chmod(QFile::encodeName(wf.path()).constData(), 0555), 0);
        out = check();
        ::chmod(QFile::encodeName(wf.path()).constData(), 0755);
    }
    EXPECT_TRUE(out.contains("lock=" + QByteArray::number(int(folderlock::Lock::Result::Unlockable))
                             + " Permission denied\n"))
        << out.toStdString();
    EXPECT_TRUE(out.contains("save=-1 The folder " + QFile::encodeName(wf.path())
                             + " cannot be written (Permission denied): nothing can be saved there\n"))
        << out.toStdString();
    EXPECT_EQ(readSet(wf.folder()), old.bytes());
}

// ---- interrupted saves ----------------------------------------------------------------------

// Saves `next` into `folder` so that the second file cannot be moved in and
// no old file can be put back: the record stays, the old files lie aside.
int gReplaces = 0;
int interruptSave(const QString &folder, const DataSet &next)
{
    gReplaces = 0;
    fileset::testing::step = [](const char *what) {
        if (std::string(what) == "replace")
            return ++gReplaces == 2 ? EIO : 0;
        return std::string(what) == "rollback" ? EACCES : 0;
    };
    const int rc = next.save(folder);
    fileset::testing::step = nullptr;
    return rc;
}

void copyFolder(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    for (const QString &n : entries(from))
        ASSERT_TRUE(QFile::copy(from + n, to + n)) << n.toStdString();
}

QStringList sortedNames()
{
    QStringList names = kNames;
    names.sort();
    return names;
}

TEST(InterruptedSave, TheRecordServesItsFolderWhereverTheFolderWasMovedOrCopied)
{
    WorkingFolder wf;
    const DataSet old("old"), next("new");
    const QString a = wf.folder() + "a/", copy = wf.folder() + "copy/", moved = wf.folder() + "moved/";
    QDir().mkpath(a);
    ASSERT_EQ(old.save(a), 1);
    ASSERT_EQ(interruptSave(a, next), -2);
    const QStringList interrupted = entries(a);
    ASSERT_TRUE(interrupted.contains(".vantel-save"));

    // The copy puts its own files back and leaves the original alone.
    copyFolder(a, copy);
    EXPECT_EQ(readSet(copy), old.bytes());
    EXPECT_EQ(entries(copy), sortedNames());
    EXPECT_EQ(entries(a), interrupted);

    ASSERT_TRUE(QDir().rename(a, moved));
    EXPECT_EQ(readSet(moved), old.bytes());
    EXPECT_EQ(entries(moved), sortedNames());
}

TEST(InterruptedSave, AnOldRecordWithFullPathsIsUsedOnlyInTheFolderItNames)
{
    WorkingFolder wf;
    const DataSet old("old"), next("new");
    const QString a = wf.folder() + "a/", b = wf.folder() + "b/";
    QDir().mkpath(a);
    ASSERT_EQ(old.save(a), 1);
    // As an earlier version left it: the events moved aside, the new ones
    // in, and a record that names both by their full paths.
    ASSERT_TRUE(QFile::rename(a + kNames[1], a + ".VantelEvents.txt.old-Ab12Cd"));
    wf.write("a/" + kNames[1], datafiles::serialize(next.events));
    wf.write("a/.vantel-save", "vantel-save 1\n" + QFile::encodeName(a + kNames[1]).toPercentEncoding() + '\t'
                                   + QFile::encodeName(a + ".VantelEvents.txt.new-Ab12Cd").toPercentEncoding() + '\t'
                                   + QFile::encodeName(a + ".VantelEvents.txt.old-Ab12Cd").toPercentEncoding() + "\n");
    copyFolder(a, b);
    const QStringList kept = entries(b);

    // In the copy it names another folder's files: nothing is touched, and
    // no save replaces what it guards.
    const QString problem = fileset::recover(b + kNames[1]);
    EXPECT_TRUE(problem.contains(QDir::cleanPath(a))) << problem.toStdString();
    EXPECT_EQ(entries(b), kept);
    QString error;
    EXPECT_EQ(next.save(b, &error), -1);
    EXPECT_TRUE(error.contains("An earlier save in " + QDir::cleanPath(b) + " was interrupted")) << error.toStdString();
    EXPECT_TRUE(error.contains("delete .vantel-save")) << error.toStdString();
    EXPECT_EQ(entries(b), kept);

    // In its own folder it puts the events as last saved back.
    EXPECT_EQ(readSet(a), old.bytes());
    EXPECT_EQ(entries(a), sortedNames());
}

TEST(InterruptedSave, ADamagedRecordKeepsEveryFileAndNoSaveReplacesThem)
{
    WorkingFolder wf;
    const DataSet old("old"), next("new");
    ASSERT_EQ(old.save(wf.folder()), 1);
    wf.write(".VantelEvents.txt.old-Zz9y8X", datafiles::serialize(old.events)); // what the record guarded
    for (const QByteArray &damaged : {QByteArray("vantel-save 2\nVantelEvents.txt\t"), QByteArray("\x01\x02")}) {
        wf.write(".vantel-save", damaged);
        const QStringList kept = entries(wf.path());
        EXPECT_EQ(fileset::recover(wf.file(kNames[1])), "it is damaged or incomplete");
        readSet(wf.folder());
        QString error;
        EXPECT_EQ(next.save(wf.folder(), &error), -1);
        EXPECT_TRUE(error.contains("is kept as it is")) << error.toStdString();
        EXPECT_EQ(entries(wf.path()), kept);
        EXPECT_EQ(wf.read(kNames[1]), datafiles::serialize(old.events));
    }
}

TEST(InterruptedSave, OnceTheRecordIsGoneTheSaveStandsEvenWhenTheFolderCannotBeSynced)
{
    WorkingFolder wf;
    const DataSet old("old"), next("new");
    ASSERT_EQ(old.save(wf.folder()), 1);
    QString error;
    int rc = 0;
    {
        // The disk fails right after the record went: nothing could be put
        // back any more, and no record would guide the next start.
        const QByteArray rules = "fsync:" + wf.path().toUtf8() + ":EIO:unlink:.vantel-save;rename:.old-:EIO";
        const testing_support::Faults faults(rules);
        rc = next.save(wf.folder(), &error);
    }
    EXPECT_EQ(rc, 1);
    EXPECT_TRUE(error.contains("could not be synced")) << error.toStdString();
    EXPECT_EQ(readSet(wf.folder()), next.bytes());
    EXPECT_EQ(entries(wf.path()), sortedNames());
}

// ---- text that mixes UTF-8 and Windows-1252 -----------------------------------------------

TEST(MixedText, AStrayWindows1252ByteChangesOnlyItselfAndIsReportedOnceWithABackup)
{
    WorkingFolder wf;
    const QByteArray rest(9, '\t'); // the other columns, empty
    const QByteArray original = "E1\tT1\tCaf\xc3\xa9 M\xc3\xbcller\t" + rest + "\r\n"
                                "E2\tT2\tK\xf6ln\tNRW" + rest + "\r\n"
                                "E3\tT3\tZ\xfcrich\t\xc3\x84rgau" + rest + "\r\n";
    wf.write("VantelEventDates.txt", original);
    RecordSet dates(definition("d_event_dates"));
    ImportReport report;
    ASSERT_EQ(dates.ImportFile(wf.file("VantelEventDates.txt"), &report), 3);
    EXPECT_EQ(dates.GetItemString(1, "city"), QString::fromUtf8("Café Müller"));
    EXPECT_EQ(dates.GetItemString(2, "city"), QString::fromUtf8("Köln"));
    EXPECT_EQ(dates.GetItemString(3, "city"), QString::fromUtf8("Zürich"));
    EXPECT_EQ(dates.GetItemString(3, "state"), QString::fromUtf8("Ärgau"));
    ASSERT_EQ(report.problems.size(), 1);
    EXPECT_TRUE(report.problems[0].startsWith(
        "VantelEventDates.txt: line 2: 2 bytes that are not UTF-8 were read as Windows-1252"))
        << report.problems[0].toStdString();
    ASSERT_FALSE(report.backupPath.isEmpty());
    EXPECT_TRUE(report.problems[0].contains(report.backupPath));
    QFile backup(report.backupPath);
    ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
    EXPECT_EQ(backup.readAll(), original);
}

} // namespace
