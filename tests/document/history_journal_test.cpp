// The event document's history of changes (undo and redo whatever made the
// change), its journal of unsaved changes that a later start restores, and
// finding events. No display.
#include "datalines.h"
#include "eventdocument.h"
#include "externals.h"
#include "faults.h"
#include "fileset.h"
#include "globals.h"
#include "recordset.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace testing_support;

namespace {

class EventDocumentHistoryTest : public ::testing::Test {
protected:
    QString dataDir() const { return wf.folder() + "Files/"; }
    QString journalPath() const { return dataDir() + Journal::fileName(); }
    // Three events with two date lines each, read as the program reads them.
    void writeFiles()
    {
        QDir(wf.path()).mkpath("Files");
        // A line left behind by an event deleted long ago.
        QByteArray events, dates = dateLine("EV0", "TI0", "Nowhere");
        for (int i = 1; i <= 3; ++i) {
            events += eventLine(QString("EV%1").arg(i), QString("Event %1").arg(i));
            for (int l = 1; l <= 2; ++l)
                dates += dateLine(QString("EV%1").arg(i), QString("TI%1_%2").arg(i).arg(l), QString("City %1").arg(i));
        }
        wf.write("Files/VantelAdmin.txt", adminLine("ann", dataDir()));
        wf.write("Files/VantelEvents.txt", events);
        wf.write("Files/VantelEventDates.txt", dates);
    }
    std::unique_ptr<EventDocument> openDocument()
    {
        auto d = std::make_unique<EventDocument>();
        d->journal().setDelay(20);
        d->load(dataDir());
        return d;
    }
    QByteArray files() const
    {
        return readFile(dataDir() + "VantelAdmin.txt") + readFile(dataDir() + "VantelEvents.txt")
               + readFile(dataDir() + "VantelEventDates.txt");
    }
    // What the user sees of the data: every value of every row, all lines.
    static QStringList contents(EventDocument &d)
    {
        QStringList out;
        for (const RecordSet *rs : {&d.admin(), &d.events(), &d.dates()})
            for (long place = 0; place < rs->allRowCount(); ++place) {
                QStringList row;
                for (int c = 1; c <= rs->columnCount(); ++c)
                    if (rs->definition().columns[size_t(c - 1)].name != "current_column")
                        row << QString::fromUtf8(rs->valueAt(place, c));
                out << row.join('|');
            }
        return out;
    }
    void SetUp() override { ext::table().Sleep = [](qint32) {}; } // keys without their pause
    static bool setName(EventDocument &d, long row, const QString &name)
    {
        return d.setField(EventDocument::Part::Events, row, "name", name);
    }

    WorkingFolder wf;
    ExternalsGuard guard;
};

// ---- Undo and redo ----------------------------------------------------------

using EventDocumentHistory = EventDocumentHistoryTest;

TEST_F(EventDocumentHistory, EachCommandIsOneStepAndUndoingAllOfThemGivesTheSavedBytesBack)
{
    writeFiles();
    const QByteArray saved = files();
    auto doc = openDocument();
    EXPECT_FALSE(doc->canUndo());

    ASSERT_TRUE(setName(*doc, 2, "Gala"));
    ASSERT_TRUE(doc->setField(EventDocument::Part::Events, 2, "venue", QString("Hall")));
    ASSERT_TRUE(doc->deleteEvent(1));
    ASSERT_EQ(doc->newEvent().row, 3);
    EXPECT_TRUE(doc->isModified());

    std::vector<ChangeSite> shown;
    QObject::connect(doc.get(), &EventDocument::stepShown, [&](const ChangeSite &s) { shown.push_back(s); });
    ASSERT_TRUE(doc->undo()); // the new event and its line
    EXPECT_EQ(doc->events().RowCount(), 2);
    EXPECT_EQ(doc->dates().allRowCount(), 5);
    ASSERT_TRUE(doc->undo()); // the delete: the event and both its lines
    EXPECT_EQ(doc->events().GetItemString(1, "event_id"), "EV1");
    EXPECT_EQ(doc->dates().allRowCount(), 7);
    ASSERT_TRUE(doc->undo()); // the venue
    EXPECT_TRUE(doc->isModified());
    ASSERT_TRUE(doc->undo()); // the name
    EXPECT_FALSE(doc->undo());
    EXPECT_FALSE(doc->isModified());
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].part, EventDocument::Part::Events);
    EXPECT_TRUE(shown[0].rows);
    EXPECT_EQ(shown[1].part, EventDocument::Part::Events);
    EXPECT_TRUE(shown[1].rows);
    EXPECT_EQ(shown[1].eventKey, "EV1");
    EXPECT_EQ(shown[3].part, EventDocument::Part::Events);
    EXPECT_FALSE(shown[3].rows);
    EXPECT_EQ(shown[3].eventKey, "EV2");
    EXPECT_EQ(shown[3].column, "name");

    ASSERT_TRUE(doc->save(dataDir()).ok());
    EXPECT_EQ(files(), saved);

    // Saving keeps the history; redo leaves the saved state again.
    ASSERT_TRUE(doc->redo());
    EXPECT_TRUE(doc->isModified());
    EXPECT_EQ(doc->events().GetItemString(2, "name"), "Gala");
    ASSERT_TRUE(doc->undo());
    EXPECT_FALSE(doc->isModified());
}

TEST_F(EventDocumentHistory, DeletingTheLastEventAndUndoingItPutsEveryLineBackInItsPlace)
{
    writeFiles();
    const QByteArray saved = files();
    auto doc = openDocument();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(doc->deleteEvent(1));
    EXPECT_EQ(doc->dates().allRowCount(), 0);
    while (doc->undo()) {
    }
    ASSERT_TRUE(doc->save(dataDir()).ok());
    EXPECT_EQ(files(), saved);
    // Made again, step by step, they end where they ended.
    while (doc->redo()) {
    }
    EXPECT_EQ(doc->events().RowCount(), 0);
    EXPECT_EQ(doc->dates().allRowCount(), 0);
}

TEST_F(EventDocumentHistory, WhichFieldHasTheFocusIsNoStep)
{
    writeFiles();
    auto doc = openDocument();
    doc->noteCurrentColumn(EventDocument::Part::Events, 1, "name");
    doc->noteCurrentColumn(EventDocument::Part::Admin, 1, "user_id");
    EXPECT_EQ(doc->events().GetItemString(1, "current_column"), "name");
    EXPECT_FALSE(doc->canUndo());
    EXPECT_FALSE(doc->isModified());
    EXPECT_FALSE(QFile::exists(journalPath()));
}

// ---- Journal of unsaved changes ------------------------------------------------

using EventDocumentJournal = EventDocumentHistoryTest;

TEST_F(EventDocumentJournal, KeptSoonAfterAChangeOnlyForTheOwnerAndRestoredByTheNextStart)
{
    writeFiles();
    const QByteArray saved = files();
    auto doc = openDocument();
    QTest::qWait(600); // no key for a moment: the files are read for the journal ahead of the first change
    setName(*doc, 3, "Späte Gala");
    doc->setField(EventDocument::Part::Admin, 1, "default_city", QString("Köln"));
    doc->deleteEvent(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(journalPath()); }, 2000));
    doc->journal().flush();
    EXPECT_EQ(QFileInfo(journalPath()).permissions(),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
    const QStringList before = contents(*doc);
    doc.reset(); // the session ends without saving

    auto next = openDocument();
    const UnsavedWork work = next->unsavedWork();
    ASSERT_EQ(work.state, UnsavedWork::State::Found) << work.problem.toStdString();
    ASSERT_TRUE(next->restore(work));
    EXPECT_EQ(contents(*next), before);
    EXPECT_TRUE(next->isModified());
    EXPECT_EQ(gs_city, "Köln");
    EXPECT_EQ(files(), saved); // untouched until a save
    // The restored changes are one step: taking it back is the saved data.
    ASSERT_TRUE(next->undo());
    EXPECT_FALSE(next->isModified());
    EXPECT_FALSE(QFile::exists(journalPath()));
    ASSERT_TRUE(next->redo());
    ASSERT_TRUE(next->save(dataDir()).ok());
    EXPECT_FALSE(QFile::exists(journalPath()));
    EXPECT_TRUE(readFile(dataDir() + "VantelEvents.txt").contains("Späte Gala"));
}

// A journal that goes while it reads the files for their hashes still keeps
// the change that waits to be written, with the files' hashes.
TEST_F(EventDocumentJournal, GoingWhileItReadsTheFilesItStillKeepsTheChangeWaiting)
{
    writeFiles();
    QFile dates(dataDir() + "VantelEventDates.txt"); // made long enough to take a while to read
    ASSERT_TRUE(dates.resize(dates.size() + (qint64(256) << 20)));
    const RowCounts counts{1, 3, 7};
    {
        Journal journal;
        journal.setDelay(0);
        journal.startFrom(dataDir(), counts);
        journal.sumBaselineSoon();
        RowChange change;
        change.part = quint8(DataPart::Events);
        change.col = 2;
        change.after = StoredValue{"Gala", false};
        journal.record(change);
        QTest::qWait(5); // the write is queued behind the reading
    }
    const UnsavedWork work = readJournal(dataDir(), counts);
    EXPECT_EQ(work.state, UnsavedWork::State::Found) << work.problem.toStdString();
    EXPECT_EQ(work.changes.size(), 1u);
}

TEST_F(EventDocumentJournal, DamagedOrOutdatedJournalsAreNotUsed)
{
    writeFiles();
    {
        auto doc = openDocument();
        setName(*doc, 1, "Gala");
        doc->journal().flush();
    }
    QByteArray journal = readFile(journalPath());
    ASSERT_FALSE(journal.isEmpty());

    wf.write("Files/" + Journal::fileName(), journal.left(journal.size() - 5)); // torn
    auto doc = openDocument();
    UnsavedWork work = doc->unsavedWork();
    EXPECT_EQ(work.state, UnsavedWork::State::Damaged);
    EXPECT_TRUE(work.changes.empty());

    QByteArray flipped = journal;
    flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x20);
    wf.write("Files/" + Journal::fileName(), flipped);
    EXPECT_EQ(doc->unsavedWork().state, UnsavedWork::State::Damaged);

    // Saved again elsewhere since: the changes would land on other data.
    wf.write("Files/" + Journal::fileName(), journal);
    EXPECT_EQ(doc->unsavedWork().state, UnsavedWork::State::Found);
    wf.write("Files/VantelEvents.txt", eventLine("EV1", "Other") + eventLine("EV2", "B") + eventLine("EV3", "C"));
    work = doc->unsavedWork();
    EXPECT_EQ(work.state, UnsavedWork::State::Damaged);
    EXPECT_EQ(work.problem, "the data files have changed since it was written");

    const QString aside = putJournalAside(journalPath());
    EXPECT_FALSE(aside.isEmpty());
    EXPECT_TRUE(QFile::exists(aside));
    EXPECT_EQ(doc->unsavedWork().state, UnsavedWork::State::None);
}

TEST_F(EventDocumentJournal, UndoingBackToTheSavedDataLeavesNothingToRestore)
{
    writeFiles();
    auto doc = openDocument();
    setName(*doc, 1, "Gala");
    doc->journal().flush();
    ASSERT_TRUE(QFile::exists(journalPath()));
    doc->undo();
    EXPECT_FALSE(QFile::exists(journalPath()));
    // A later change is kept from the saved data, not from the undone one.
    setName(*doc, 2, "Show");
    doc->journal().flush();
    const QStringList before = contents(*doc);
    doc.reset();
    auto next = openDocument();
    ASSERT_TRUE(next->restore(next->unsavedWork()));
    EXPECT_EQ(contents(*next), before);
}

TEST_F(EventDocumentJournal, AFullOrFailingDiskKeepsTheLastWholeJournalAndSaysSo)
{
    writeFiles();
    wf.write("Files/VantelUnsaved.journal.Ab12Cd", "cut short"); // left by a write that was killed
    wf.write("Files/VantelUnsaved.journal.backup", "the user's");
    auto doc = openDocument();
    EXPECT_EQ(QDir(dataDir()).entryList({"VantelUnsaved.journal.*"}), QStringList{"VantelUnsaved.journal.backup"});
    QSignalSpy failed(&doc->journal(), &Journal::writeFailed);
    setName(*doc, 1, "Gala");
    doc->journal().flush();
    const QByteArray whole = readFile(journalPath());
    ASSERT_FALSE(whole.isEmpty());

    int n = 0;
    for (const char *fault : {"write:VantelUnsaved.journal:ENOSPC", "fdatasync:VantelUnsaved.journal:EIO"}) {
        SCOPED_TRACE(fault);
        {
            const Faults faults(fault);
            setName(*doc, n + 2, fault);
            doc->journal().flush();
        }
        QCoreApplication::processEvents(); // the failure is told on the user's thread
        EXPECT_EQ(readFile(journalPath()), whole);
        ASSERT_EQ(failed.size(), ++n);
        const QString told = failed.back().front().toString();
        EXPECT_TRUE(told.startsWith(journalPath() + ": ")) << told.toStdString();
        EXPECT_EQ(QDir(dataDir()).entryList({"VantelUnsaved.journal.*"}), QStringList{"VantelUnsaved.journal.backup"});
    }
    doc.reset();
    UnsavedWork work = openDocument()->unsavedWork();
    ASSERT_EQ(work.state, UnsavedWork::State::Found) << work.problem.toStdString();
    EXPECT_EQ(work.changes.size(), 1u);

    // A journal an earlier version wrote (no save named in it) is read too.
    QByteArray earlier = whole.first(whole.size() - 32);
    earlier[16] = 1;        // the version, after the 13 bytes of the magic text
    earlier.remove(149, 1); // the count of new files after the hashes and row counts
    earlier += QCryptographicHash::hash(earlier, QCryptographicHash::Sha256);
    wf.write("Files/" + Journal::fileName(), earlier);
    work = openDocument()->unsavedWork();
    ASSERT_EQ(work.state, UnsavedWork::State::Found) << work.problem.toStdString();
    EXPECT_EQ(work.changes.size(), 1u);
}

// The journal's write comes due while a save is moving its files in, and
// the save then fails without putting the old files back: the journal
// still starts from the files as last saved, which the next start puts
// back.
EventDocument *gSaving = nullptr;
int gReplaced = 0;

TEST_F(EventDocumentJournal, ASaveThatFailsHalfWayLeavesTheJournalFittingTheFilesAsLastSaved)
{
    writeFiles();
    const QByteArray saved = files();
    auto doc = openDocument();
    doc->journal().setDelay(60000);
    setName(*doc, 1, "Gala");
    gSaving = doc.get();
    gReplaced = 0;
    fileset::testing::step = [](const char *what) {
        if (std::string(what) == "rollback")
            return EACCES;
        if (std::string(what) != "replace" || ++gReplaced < 3)
            return 0;
        gSaving->journal().flush();
        return EIO;
    };
    const SaveResult result = doc->save(dataDir());
    fileset::testing::step = nullptr;
    EXPECT_EQ(result.kind, SaveResult::PutBackPending);
    doc->journal().flush();
    doc.reset();
    auto next = openDocument();
    EXPECT_EQ(files(), saved);
    const UnsavedWork work = next->unsavedWork();
    EXPECT_EQ(work.state, UnsavedWork::State::Found) << work.problem.toStdString();
}

// ---- Finding events ------------------------------------------------------------

using EventDocumentFind = EventDocumentHistoryTest;

TEST_F(EventDocumentFind, NameVenueOrAnyLineCityInAnyCaseFromTheNextRowRound)
{
    writeFiles();
    auto doc = openDocument(); // the lines of EV1 are shown, the others held aside
    doc->setField(EventDocument::Part::Events, 1, "venue", QString("Stadthalle"));
    EXPECT_EQ(doc->findEvent("EVENT 2", 0), 2);
    EXPECT_EQ(doc->findEvent("city 3", 0), 3);
    EXPECT_EQ(doc->findEvent("HALLE", 0), 1);
    EXPECT_EQ(doc->findEvent("event", 1), 2);
    EXPECT_EQ(doc->findEvent("event", 3), 1); // round to the first
    EXPECT_EQ(doc->findEvent("city 1", 1), 1); // the only match is the current one
    EXPECT_EQ(doc->findEvent("nowhere", 0), 0);
    EXPECT_EQ(doc->findEvent("", 0), 0);
}

} // namespace
