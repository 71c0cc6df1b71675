// The event document without any window: the checks a save runs, in their
// order and with their texts, saving all three files or none, and the
// unsaved state that the Save button follows.
#include "datalines.h"
#include "eventdocument.h"
#include "externals.h"
#include "globals.h"
#include "recordset.h"
#include "recordsetview.h"
#include "testsupport.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

using namespace testing_support;

namespace {

class EventDocumentTest : public ::testing::Test {
protected:
    QString dataDir() const { return wf.folder() + "Files/"; }
    QByteArray readData(const QString &name) const { return readFile(dataDir() + name); }
    void SetUp() override { ext::table().Sleep = [](qint32) {}; } // keys without their pause
    // Writes the three files into the data folder and reads them in.
    void load(const QByteArray &admin, const QByteArray &events, const QByteArray &dates)
    {
        QDir(wf.path()).mkpath("Files");
        wf.write("Files/VantelAdmin.txt", admin);
        wf.write("Files/VantelEvents.txt", events);
        wf.write("Files/VantelEventDates.txt", dates);
        const QString folder = dataDir(); // the admin record may set gs_directory
        doc.load(folder);
    }
    void loadTwoEvents()
    {
        load(adminLine("ann", dataDir()), eventLine("EV1", "Fair") + eventLine("EV2", "Show"),
             dateLine("EV1", "TI1", "Bonn") + dateLine("EV2", "TI2", "Köln") + dateLine("EV2", "TI3", "Köln"));
    }
    // The failed checks as row|display name|column|message.
    static QStringList entries(const RowCheck &check)
    {
        QStringList out;
        for (const str_errors &e : check.errors)
            out << QString::number(e.row) + '|' + e.column + '|' + e.columndb + '|' + e.message;
        return out;
    }
    // A date line (the first, made when there is none) with these values.
    RowCheck checkDateLine(const QString &start, const QString &end, const QString &time1)
    {
        if (doc.dates().RowCount() == 0)
            doc.newDateLine("EV1");
        auto date = [](const QString &iso) { return iso.isEmpty() ? QVariant() : QVariant(QDate::fromString(iso, Qt::ISODate)); };
        setLine("city", QString("Bonn"));
        setLine("start_date", date(start));
        setLine("end_date", date(end));
        setLine("time1", time1);
        return doc.validateRow(EventDocument::Part::Dates, 1);
    }
    void setLine(const char *column, const QVariant &value) { doc.setField(EventDocument::Part::Dates, 1, column, value); }

    WorkingFolder wf;
    ExternalsGuard guard;
    EventDocument doc;
};

// ---- Checks of one record ---------------------------------------------------

using EventDocumentChecks = EventDocumentTest;

TEST_F(EventDocumentChecks, RequiredTextsFailInColumnOrderUnderTheirTagNames)
{
    load(adminLine("   ", dataDir(), ""), eventLine("EV1", "", ""), {});
    const RowCheck admin = doc.validateRow(EventDocument::Part::Admin, 1);
    EXPECT_EQ(admin.rc, 1);
    EXPECT_EQ(entries(admin), (QStringList{"1|Login ID|user_id|This is a required field !",
                                           "1|User Password|user_password|This is a required field !"}));
    const RowCheck event = doc.validateRow(EventDocument::Part::Events, 1);
    EXPECT_EQ(event.rc, 1);
    EXPECT_EQ(entries(event), (QStringList{"1|Event Name|name|This is a required field !",
                                           "1|Short Description|sdescription|This is a required field !"}));
    EXPECT_EQ(event.unknownTypes, 0);
}

// The folder rule comes after the column checks and adds to the result.
TEST_F(EventDocumentChecks, MissingDataFolderIsReportedAfterTheColumnsAndCreatesNothing)
{
    load(adminLine("", wf.folder() + "no/such/"), {}, {});
    const RowCheck admin = doc.validateRow(EventDocument::Part::Admin, 1);
    EXPECT_EQ(admin.rc, 2);
    EXPECT_EQ(entries(admin), (QStringList{"1|Login ID|user_id|This is a required field !",
                                           "1|File Directory|file_directory|This directory is invalid !"}));
    EXPECT_FALSE(QFileInfo::exists(wf.folder() + "no"));
    EXPECT_EQ(entries(doc.partRules(EventDocument::Part::Admin, 1)),
              QStringList{"1|File Directory|file_directory|This directory is invalid !"});
}

TEST_F(EventDocumentChecks, DateLineRulesStopAtTheFirstBrokenOne)
{
    const QString required = "This is a required field !";
    RowCheck c = checkDateLine("", "2025-06-02", "1900");
    EXPECT_EQ(c.rc, 2); // the required column, then the line's own rule
    EXPECT_EQ(entries(c), (QStringList{"1|Start Date|start_date|" + required, "1|Start Date|start_date|" + required}));

    c = checkDateLine("2025-06-01", "", "1900");
    EXPECT_EQ(entries(c), (QStringList{"1|End Date|end_date|" + required, "1|End Date|end_date|" + required}));

    c = checkDateLine("2025-06-05", "2025-06-01", "0000");
    EXPECT_EQ(c.rc, 1);
    EXPECT_EQ(entries(c), QStringList{"1|Start Date|start_date|The end date may not occur before the start date !"});

    c = checkDateLine("2025-06-01", "2025-06-01", "0000");
    EXPECT_EQ(entries(c), QStringList{"1|Time|time1|Please complete at least the first time (24 hour format) !"});

    c = checkDateLine("2025-06-01", "2025-06-01", "  ");
    EXPECT_EQ(entries(c), (QStringList{"1|Time|time1|" + required,
                                       "1|Time|time1|Please complete at least the first time (24 hour format) !"}));

    EXPECT_EQ(checkDateLine("2025-06-01", "2025-06-01", "1900").rc, 0);
}

// Every time of a line is hhmm of the 24-hour clock, checked after the rules
// before it; a further time may be left out.
TEST_F(EventDocumentChecks, TimesThatAreNoTimeOfTheClockFailOnTheirOwnColumn)
{
    const QString bad = "Please enter the time as hh:mm on the 24-hour clock !";
    for (const char *t : {"2500", "2460", "930", "7", "19:30", " 1900", "l900"})
        EXPECT_EQ(entries(checkDateLine("2025-06-01", "2025-06-01", t)), QStringList{"1|Time|time1|" + bad}) << t;
    EXPECT_EQ(checkDateLine("2025-06-01", "2025-06-01", "2359").rc, 0);

    checkDateLine("2025-06-01", "2025-06-01", "0001");
    setLine("time2", QVariant());
    setLine("time3", QString("2400"));
    setLine("time5", QString("1"));
    EXPECT_EQ(entries(doc.partRules(EventDocument::Part::Dates, 1)), QStringList{"1|Time 3|time3|" + bad});
    setLine("end_date", QDate(2025, 5, 1));
    EXPECT_EQ(entries(doc.partRules(EventDocument::Part::Dates, 1)),
              QStringList{"1|Start Date|start_date|The end date may not occur before the start date !"});
}

// Both bounds of the stored range are allowed.
TEST_F(EventDocumentChecks, DatesOutsideTheStoredRangeAreInvalid)
{
    EXPECT_TRUE(checkDateLine("1753-01-01", "3000-12-31", "1900").errors.empty());
    EXPECT_EQ(entries(checkDateLine("1752-12-31", "3000-12-31", "1900")),
              QStringList{"1|Start Date|start_date|Invalid Date specified !"});
    EXPECT_EQ(entries(checkDateLine("1752-12-31", "3001-01-01", "1900")),
              (QStringList{"1|Start Date|start_date|Invalid Date specified !",
                           "1|End Date|end_date|Invalid Date specified !"}));
}

TEST_F(EventDocumentChecks, TagValuesAreFoundWhateverTheCase)
{
    EXPECT_EQ(tagValue(" name=Start Date; ", "NAME"), "Start Date");
    EXPECT_EQ(tagValue("name=Login ID", "name"), "Login ID");
    EXPECT_EQ(tagValue("name=Login ID;", "width"), "#");
    EXPECT_EQ(tagValue("name", "name"), "#");
    EXPECT_EQ(tagValue("name=x;", ""), "#");
}

// ---- The first faulty record --------------------------------------------------

using EventDocumentFirstFault = EventDocumentTest;

// Every line is checked, whichever a view shows, and the ones shown stay.
TEST_F(EventDocumentFirstFault, EveryDateLineIsCheckedHoweverFarDownAndTheShownStay)
{
    QByteArray lines = dateLine("EV1", "TI0", "Bonn");
    for (int i = 1; i <= 70000; ++i)
        lines += dateLine("EV2", QString("TI%1").arg(i), "Bonn", "2025-06-01", "2025-06-02", i == 65536 ? "0000" : "1900");
    load(adminLine("ann", dataDir()), eventLine("EV1", "Fair") + eventLine("EV2", "Show"), lines);

    EXPECT_EQ(doc.firstFault(EventDocument::Part::Events).row, 0);
    RecordSetView shown(doc.dates());
    shown.showOnly(doc.dates().columnIndex("event_id"), "EV1");
    const FirstFault fault = doc.firstFault(EventDocument::Part::Dates);
    EXPECT_EQ(fault.row, 65537);
    const QString message = "Please complete at least the first time (24 hour format) !";
    EXPECT_EQ(entries(fault.check), QStringList{"65537|Time|time1|" + message});

    std::vector<EventDocument::Part> told;
    const Validation v = doc.validate([&told](EventDocument::Part p) { told.push_back(p); });
    EXPECT_EQ(told, (std::vector{EventDocument::Part::Admin, EventDocument::Part::Events, EventDocument::Part::Dates}));
    EXPECT_EQ(v.part, EventDocument::Part::Dates);
    EXPECT_EQ(v.row, 65537);
    EXPECT_EQ(v.key, "TI65536");
    EXPECT_EQ(v.eventKey, "EV2");
    ASSERT_EQ(v.findings.size(), 1u);
    EXPECT_EQ(v.findings[0].row, 65537);
    EXPECT_EQ(v.findings[0].column, "time1");
    EXPECT_EQ(v.findings[0].display, "Time");
    EXPECT_EQ(v.findings[0].message, message);
    EXPECT_EQ(shown.RowCount(), 1);
    EXPECT_EQ(shown.sourceRow(1), 1);

    // So many lines are checked in two halves at once: the lines that passed
    // in either are marked.
    auto checked = [this](long place) { return doc.dates().store().isMarked(doc.dates().idAt(place)); };
    EXPECT_TRUE(checked(1));
    EXPECT_TRUE(checked(40000));
    EXPECT_FALSE(checked(65536));
}

// Of many lines, checked in two halves at once, with a fault in each (the
// last line of the first half, the first of the second), the first half's
// is reported; then the next, then the last line.
TEST_F(EventDocumentFirstFault, OfTwoHalvesCheckedAtOnceTheFirstFaultIsReported)
{
    QByteArray lines = dateLine("EV1", "TI0", "Bonn");
    for (int i = 1; i <= 70000; ++i)
        lines += dateLine("EV1", QString("TI%1").arg(i), "Bonn", "2025-06-01", "2025-06-02",
                          i == 34999 || i == 35000 ? "0000" : "1900");
    load(adminLine("ann", dataDir()), eventLine("EV1", "Fair"), lines);
    EXPECT_EQ(doc.validate().row, 35000);
    ASSERT_TRUE(doc.setField(EventDocument::Part::Dates, 35000, "time1", QString("1900")));
    EXPECT_EQ(doc.validate().row, 35001);
    ASSERT_TRUE(doc.setField(EventDocument::Part::Dates, 35001, "time1", QString("1900")));
    EXPECT_EQ(doc.validate().row, 0);
    ASSERT_TRUE(doc.setField(EventDocument::Part::Dates, 70001, "end_date", QDate(2025, 5, 1)));
    EXPECT_EQ(doc.validate().row, 70001);
}

TEST_F(EventDocumentFirstFault, FirstFaultyEventIsTheOneReported)
{
    load(adminLine("ann", dataDir()), eventLine("EV1", "A") + eventLine("EV2", "", "") + eventLine("EV3", ""), {});
    const FirstFault fault = doc.firstFault(EventDocument::Part::Events);
    EXPECT_EQ(fault.row, 2);
    EXPECT_EQ(fault.check.errors.size(), 2u);
    // The whole check stops at that event: its two findings, in column order.
    const Validation v = doc.validate();
    EXPECT_EQ(v.part, EventDocument::Part::Events);
    EXPECT_EQ(v.row, 2);
    EXPECT_EQ(v.key, "EV2");
    ASSERT_EQ(v.findings.size(), 2u);
    EXPECT_EQ(v.findings[0].column, fault.check.errors[0].columndb);
    EXPECT_EQ(v.findings[1].message, fault.check.errors[1].message);
}

// What passed is not checked again until it changes: a change, its undo and
// redo, a line removed and a new one in its slot, and a faulty line that the
// checks made while the program waits leave as they found it.
TEST_F(EventDocumentFirstFault, WhatPassedIsCheckedAgainOnceItChanges)
{
    const QString firstTime = "Please complete at least the first time (24 hour format) !";
    auto faultAt = [this] {
        const Validation v = doc.validate();
        return v.rc == 0 ? QString() : QString("%1 %2 %3").arg(int(v.part)).arg(v.row).arg(v.findings.at(0).message);
    };
    const QString dates = QString::number(int(EventDocument::Part::Dates)) + " ";
    load(adminLine("ann", dataDir()), eventLine("EV1", "Fair") + eventLine("EV2", "Show"),
         dateLine("EV1", "TI1", "Bonn") + dateLine("EV2", "TI2", "Köln", "2025-06-02", "2025-06-01")
             + dateLine("EV2", "TI3", "Köln"));
    // Checked ahead while the program waits: the faulty line is not taken for checked.
    auto checked = [this](long place) { return doc.dates().store().isMarked(doc.dates().idAt(place)); };
    QTest::qWait(400);
    EXPECT_TRUE(checked(0));
    EXPECT_FALSE(checked(1));
    EXPECT_TRUE(checked(2));
    EXPECT_EQ(faultAt(), dates + "2 The end date may not occur before the start date !");
    EXPECT_EQ(faultAt(), dates + "2 The end date may not occur before the start date !");
    ASSERT_TRUE(doc.setField(EventDocument::Part::Dates, 2, "end_date", QDate(2025, 6, 3)));
    EXPECT_EQ(faultAt(), QString());

    ASSERT_TRUE(doc.setField(EventDocument::Part::Dates, 3, "time1", QString("0000")));
    EXPECT_EQ(faultAt(), dates + "3 " + firstTime);
    ASSERT_TRUE(doc.undo());
    EXPECT_EQ(faultAt(), QString());
    ASSERT_TRUE(doc.redo());
    EXPECT_EQ(faultAt(), dates + "3 " + firstTime);
    ASSERT_TRUE(doc.undo());
    EXPECT_EQ(faultAt(), QString());

    // The line removed leaves its slot to the next one made, which has no dates yet.
    ASSERT_TRUE(doc.deleteDateLine(1));
    EXPECT_EQ(faultAt(), QString());
    ASSERT_GT(doc.newDateLine("EV1"), 0);
    EXPECT_EQ(faultAt(), dates + "3 This is a required field !");
}

// ---- Saving and the unsaved state -------------------------------------------

using EventDocumentSave = EventDocumentTest;

TEST_F(EventDocumentSave, WritesEveryDateLineAndKeepsTheShownOnes)
{
    loadTwoEvents();
    const QByteArray admin = readData("VantelAdmin.txt"), events = readData("VantelEvents.txt"),
                     dates = readData("VantelEventDates.txt");
    QFile::remove(dataDir() + "VantelEventDates.txt");
    RecordSetView shown(doc.dates());
    shown.showOnly(doc.dates().columnIndex("event_id"), "EV2");
    // Unsaved changes that leave the data as it was.
    doc.setField(EventDocument::Part::Events, 1, "name", QString("Renamed"));
    doc.setField(EventDocument::Part::Events, 1, "name", QString("Fair"));
    ASSERT_TRUE(doc.isModified());
    QSignalSpy spy(&doc, &EventDocument::modifiedChanged);

    const SaveResult r = doc.save(dataDir());
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(readData("VantelAdmin.txt"), admin);
    EXPECT_EQ(readData("VantelEvents.txt"), events);
    EXPECT_EQ(readData("VantelEventDates.txt"), dates);
    ASSERT_EQ(shown.RowCount(), 2);
    EXPECT_EQ(doc.dates().GetItemString(shown.sourceRow(1), "time_id"), "TI2");
    EXPECT_EQ(doc.dates().GetItemString(shown.sourceRow(2), "time_id"), "TI3");
    EXPECT_FALSE(doc.isModified());
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toBool(), false);
}

TEST_F(EventDocumentSave, AFailedSaveReplacesNothingAndStaysModified)
{
    loadTwoEvents();
    const QByteArray admin = readData("VantelAdmin.txt"), events = readData("VantelEvents.txt");
    doc.setField(EventDocument::Part::Events, 1, "name", QString("Renamed"));
    ASSERT_TRUE(doc.isModified());
    QSignalSpy spy(&doc, &EventDocument::modifiedChanged);
    for (const QString &bad : {wf.folder() + "gone/", dataDir() + "VantelAdmin.txt/"}) {
        SCOPED_TRACE(bad.toStdString());
        const SaveResult r = doc.save(bad);
        EXPECT_FALSE(r.ok());
        EXPECT_TRUE(r.error.contains(bad)) << r.error.toStdString();
        EXPECT_TRUE(doc.isModified());
        EXPECT_EQ(readData("VantelAdmin.txt"), admin);
        EXPECT_EQ(readData("VantelEvents.txt"), events);
        EXPECT_FALSE(QFileInfo::exists(wf.folder() + "gone"));
    }
    EXPECT_EQ(spy.count(), 0);
}

// Modified is the history's state: away from the data as last saved.
TEST_F(EventDocumentSave, ModifiedStateFollowsTheHistoryAndSignalsOnlyItsChanges)
{
    loadTwoEvents();
    QSignalSpy spy(&doc, &EventDocument::modifiedChanged);
    EXPECT_FALSE(doc.setField(EventDocument::Part::Events, 1, "name", QString("Fair"))); // no change, no step
    doc.setField(EventDocument::Part::Events, 1, "name", QString("Gala"));
    doc.setField(EventDocument::Part::Events, 2, "venue", QString("Hall"));
    EXPECT_TRUE(doc.isModified());
    doc.undo();
    doc.undo();
    EXPECT_FALSE(doc.isModified());
    doc.redo();
    ASSERT_EQ(spy.count(), 3);
    EXPECT_TRUE(spy.at(0).at(0).toBool());
    EXPECT_FALSE(spy.at(1).at(0).toBool());
    EXPECT_TRUE(spy.at(2).at(0).toBool());
    ASSERT_TRUE(doc.save(dataDir()).ok());
    EXPECT_FALSE(doc.isModified());
    EXPECT_EQ(spy.count(), 4);
}

// ---- Reading a data folder ----------------------------------------------------
// The date lines are read beside the events; what the document then holds
// and reports must be what reading them one after the other gave.

class EventDocumentLoad : public EventDocumentTest {
protected:
    void write(const QByteArray &events, const QByteArray &dates)
    {
        QDir(wf.path()).mkpath("Files");
        wf.write("Files/VantelAdmin.txt", adminLine("ann", dataDir()));
        if (!events.isNull())
            wf.write("Files/VantelEvents.txt", events);
        if (!dates.isNull())
            wf.write("Files/VantelEventDates.txt", dates);
    }
    QStringList backups() const { return QDir(dataDir()).entryList({"*.bak-*"}, QDir::Files | QDir::Hidden); }
    // A start of the program on the folder: a fresh document reads it.
    LoadResult loadFolder()
    {
        const QString folder = dataDir(); // the admin record may set gs_directory
        fresh = std::make_unique<EventDocument>();
        return fresh->load(folder);
    }
    std::unique_ptr<EventDocument> fresh;
};

TEST_F(EventDocumentLoad, DatesOfAFolderWithoutEventsAreNeitherKeptNorReportedNorBackedUp)
{
    const QByteArray damaged = dateLine("EV1", "TI1", "Bonn", "2025-13-45");
    for (const QByteArray &events : {QByteArray(), QByteArray(""), QByteArray("\r\n\r\n")}) {
        SCOPED_TRACE(events.isNull() ? "missing" : events.isEmpty() ? "empty" : "blank lines");
        QFile::remove(dataDir() + "VantelEvents.txt");
        write(events, damaged);
        const LoadResult r = loadFolder();
        EXPECT_EQ(fresh->events().RowCount(), 0);
        EXPECT_EQ(fresh->dates().RowCount() + fresh->dates().FilteredCount(), 0);
        EXPECT_TRUE(r.dates.problems.isEmpty());
        EXPECT_TRUE(r.dates.readError.isEmpty());
        EXPECT_TRUE(backups().isEmpty());
    }
}

TEST_F(EventDocumentLoad, AFileThatCannotBeReadLeavesTheOtherAsReadingInTurnDid)
{
    // The events file cannot be read: the dates, read meanwhile, are dropped.
    write({}, dateLine("EV1", "TI1", "Bonn", "2025-13-45"));
    QDir(wf.path()).mkpath("Files/VantelEvents.txt");
    LoadResult r = loadFolder();
    EXPECT_EQ(r.unreadable(), QStringList{dataDir() + "VantelEvents.txt cannot be read: it is a folder, not a file."});
    EXPECT_TRUE(r.dates.problems.isEmpty());
    EXPECT_EQ(fresh->dates().RowCount(), 0);
    EXPECT_TRUE(backups().isEmpty());

    // The dates file cannot be read: the events come in all the same.
    QDir(dataDir()).rmdir("VantelEvents.txt");
    QFile::remove(dataDir() + "VantelEventDates.txt");
    write(eventLine("EV1", "Fair") + eventLine("EV2", "Show"), {});
    QDir(wf.path()).mkpath("Files/VantelEventDates.txt");
    r = loadFolder();
    EXPECT_EQ(fresh->events().RowCount(), 2);
    EXPECT_TRUE(r.events.readError.isEmpty());
    EXPECT_EQ(r.unreadable(),
              QStringList{dataDir() + "VantelEventDates.txt cannot be read: it is a folder, not a file."});
}

TEST_F(EventDocumentLoad, ProblemsOfBothFilesAreReportedEachWithItsOwnBackup)
{
    const QByteArray events = eventLine("EV1", "Fair") + "EV2\tshort line\r\n";
    const QByteArray dates = dateLine("EV1", "TI1", "Bonn") + dateLine("EV2", "TI2", "Köln", "someday")
                             + dateLine("EV2", "TI3", "Köln", "2025-02-30");
    write(events, dates);
    const LoadResult r = loadFolder();
    ASSERT_EQ(r.events.problems.size(), 1);
    EXPECT_TRUE(r.events.problems[0].startsWith("VantelEvents.txt: line 2: 2 fields instead of 27"))
        << r.events.problems[0].toStdString();
    ASSERT_EQ(r.dates.problems.size(), 1);
    EXPECT_TRUE(r.dates.problems[0].startsWith("VantelEventDates.txt: line 2: \"someday\" in start_date is not a "
                                               "date (yyyy-mm-dd); the field is left empty (2 problems in all)"))
        << r.dates.problems[0].toStdString();
    EXPECT_TRUE(r.dates.problems[0].endsWith(r.dates.backupPath));
    EXPECT_EQ(readFile(r.events.backupPath), events);
    EXPECT_EQ(readFile(r.dates.backupPath), dates);
    EXPECT_EQ(backups().size(), 2);
    // Every row came in, and the lines of each event are found by their event.
    EXPECT_EQ(fresh->events().RowCount(), 2);
    EXPECT_EQ(fresh->dates().RowCount(), 3);
    EXPECT_EQ(fresh->dates().allRowCount(), 3);
    RecordSetView shown(fresh->dates());
    shown.showOnly(fresh->dates().columnIndex("event_id"), "EV1");
    ASSERT_EQ(shown.RowCount(), 1);
    EXPECT_EQ(fresh->dates().GetItemString(shown.sourceRow(1), "time_id"), "TI1");
    shown.showOnly(fresh->dates().columnIndex("event_id"), "EV2");
    ASSERT_EQ(shown.RowCount(), 2);
    EXPECT_EQ(fresh->dates().GetItemString(shown.sourceRow(1), "time_id"), "TI2");
    EXPECT_TRUE(fresh->dates().IsNull(shown.sourceRow(1), "start_date"));
    EXPECT_EQ(fresh->dates().GetItemString(shown.sourceRow(2), "time_id"), "TI3");
}

// The window has its document read the folder while it builds its pages:
// the load takes that reading only where it is of the very files it reads.
TEST_F(EventDocumentLoad, WhatWasReadAheadIsTakenOnlyWhileTheFilesAreTheOnesRead)
{
    const QString folder = dataDir();
    auto eventsOf = [](const EventDocument &d) {
        QStringList names;
        for (long r = 1; r <= d.events().RowCount(); ++r)
            names << d.events().GetItemString(r, "name");
        return names.join(',');
    };
    auto linesOf = [](const EventDocument &d, const QByteArray &event) {
        RecordSetView shown(d.dates());
        shown.showOnly(d.dates().columnIndex("event_id"), event);
        return shown.RowCount();
    };
    write(eventLine("EV1", "Fair") + eventLine("EV2", "Show"), dateLine("EV2", "TI2", "Köln"));
    fresh = std::make_unique<EventDocument>();
    fresh->readAhead(folder);
    fresh->load(folder);
    EXPECT_EQ(eventsOf(*fresh), "Fair,Show");
    EXPECT_EQ(linesOf(*fresh, "EV2"), 1);

    // Both files written anew after the reading began (the first the same
    // size as before): what the load reads is what they hold now.
    fresh = std::make_unique<EventDocument>();
    fresh->readAhead(folder);
    QThread::msleep(100); // the reading is done by then
    write(eventLine("EV1", "Pair") + eventLine("EV2", "Show"), dateLine("EV1", "TI1", "Bonn") + dateLine("EV2", "TI2", "Köln"));
    fresh->load(folder);
    EXPECT_EQ(eventsOf(*fresh), "Pair,Show");
    EXPECT_EQ(linesOf(*fresh, "EV1"), 1);
    EXPECT_EQ(linesOf(*fresh, "EV2"), 1);
    EXPECT_EQ(fresh->dates().allRowCount(), 2);

    // Read ahead in another folder; and one never loaded.
    QDir(wf.path()).mkpath("Other");
    fresh = std::make_unique<EventDocument>();
    fresh->readAhead(wf.folder() + "Other/");
    fresh->load(folder);
    EXPECT_EQ(eventsOf(*fresh), "Pair,Show");
    EXPECT_EQ(fresh->dates().allRowCount(), 2);
    fresh = std::make_unique<EventDocument>();
    fresh->readAhead(folder);
    fresh.reset();
}

using EventDocumentAdmin = EventDocumentTest;

TEST_F(EventDocumentAdmin, ItsValuesBecomeTheProgramSettings)
{
    load(adminLine("ann", dataDir(), "pw", "Bonn", "NRW"), {}, {});
    gs_login.clear();
    gs_city.clear();
    doc.publishAdminValues();
    EXPECT_EQ(gs_directory, dataDir());
    EXPECT_EQ(gs_login, "ann");
    EXPECT_EQ(gs_password, "pw");
    EXPECT_EQ(gs_country, "DE");
    EXPECT_EQ(gs_state, "NRW");
    EXPECT_EQ(gs_city, "Bonn");
}

} // namespace
