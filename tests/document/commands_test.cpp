// The commands of the event document, each one step of the undo history,
// with a core application and no display: what they make, with which
// defaults, and that undo takes back exactly that.
#include "datalines.h"
#include "eventdocument.h"
#include "externals.h"
#include "globals.h"
#include "recordset.h"
#include "recordsetview.h"
#include "testsupport.h"

#include <QDir>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

using namespace testing_support;

namespace {

using Part = EventDocument::Part;

class EventDocumentCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        ext::table().Sleep = [](qint32) {}; // keys without their pause
        QDir(wf.path()).mkpath("Files");
        wf.write("Files/VantelAdmin.txt", adminLine("ann", dataDir(), "pw", "Bonn", "NRW"));
        wf.write("Files/VantelEvents.txt", eventLine("EV1", "Fair") + eventLine("EV2", "Show"));
        wf.write("Files/VantelEventDates.txt", dateLine("EV1", "TI1", "Köln") + dateLine("EV2", "TI2", "Kiel")
                                                   + dateLine("EV2", "TI3", "Jena"));
    }
    std::unique_ptr<EventDocument> open(std::chrono::milliseconds mergeInterval = EventDocument::kMergeInterval)
    {
        auto doc = std::make_unique<EventDocument>(mergeInterval);
        const QString folder = dataDir();
        doc->load(folder);
        return doc;
    }
    QString dataDir() const { return wf.folder() + "Files/"; }
    // Every value of every row of the three sets, held-aside lines too.
    static QStringList contents(const EventDocument &d)
    {
        QStringList out;
        for (const RecordSet *rs : {&d.admin(), &d.events(), &d.dates()})
            for (long place = 0; place < rs->allRowCount(); ++place) {
                QStringList row;
                for (int c = 1; c <= rs->columnCount(); ++c)
                    row << QString::fromUtf8(rs->valueAt(place, c));
                out << row.join('|');
            }
        return out;
    }
    static QString line(const EventDocument &d, long place, const char *column)
    {
        return QString::fromUtf8(d.dates().valueAt(place, d.dates().columnIndex(column)));
    }

    WorkingFolder wf;
    ExternalsGuard guard;
};

// The defaults are the admin record's, whatever the settings say.
TEST_F(EventDocumentCommands, NewEventAndLineTakeTheAdminRecordsDefaults)
{
    auto doc = open();
    const QStringList before = contents(*doc);
    ASSERT_TRUE(doc->setField(Part::Admin, 1, "default_city", QString("Ulm")));
    gs_city = "Not the record's";
    gs_login.clear();

    const EventDocument::EventMade made = doc->newEvent();
    ASSERT_EQ(made.row, 3);
    const RecordSet &events = doc->events();
    EXPECT_EQ(events.GetItemString(3, "event_id"), made.eventId);
    EXPECT_TRUE(made.eventId.startsWith("EV"));
    EXPECT_EQ(events.GetItemString(3, "user_id"), "ann");
    EXPECT_EQ(events.GetItemString(3, "user_password"), "pw");
    EXPECT_EQ(events.GetItemString(3, "country"), "DE");
    EXPECT_EQ(events.GetItemString(3, "city"), "Ulm");
    EXPECT_EQ(events.GetItemString(3, "state"), "NRW");
    EXPECT_EQ(events.GetItemString(3, "category"), "70");
    EXPECT_EQ(events.GetItemString(3, "cost"), "Free");
    ASSERT_EQ(doc->dates().allRowCount(), 4);
    EXPECT_EQ(line(*doc, 3, "event_id"), made.eventId);
    EXPECT_EQ(line(*doc, 3, "time_id"), made.freshLineId);
    EXPECT_EQ(line(*doc, 3, "city"), "Ulm");
    EXPECT_EQ(line(*doc, 3, "time1"), "0000");

    ASSERT_TRUE(doc->undo());
    ASSERT_TRUE(doc->undo());
    EXPECT_EQ(contents(*doc), before);
    EXPECT_FALSE(doc->isModified());
    ASSERT_TRUE(doc->redo());
    ASSERT_TRUE(doc->redo());
    EXPECT_EQ(doc->events().GetItemString(3, "event_id"), made.eventId); // the same keys again
    EXPECT_EQ(line(*doc, 3, "time_id"), made.freshLineId);
}

// A copy takes the lines of the event copied, also while a view shows the
// lines of another event; that view keeps showing them.
TEST_F(EventDocumentCommands, CopyTakesTheCopiedEventsOwnLinesWithFreshKeys)
{
    auto doc = open();
    RecordSetView shown(doc->dates());
    shown.showOnly(doc->dates().columnIndex("event_id"), "EV1");
    const QStringList before = contents(*doc);
    const EventDocument::EventMade copy = doc->copyEvent(2);
    ASSERT_EQ(copy.row, 3);
    EXPECT_TRUE(copy.freshLineId.isEmpty());
    EXPECT_EQ(doc->events().GetItemString(3, "name"), "Show");
    ASSERT_EQ(doc->dates().allRowCount(), 5);
    for (long place : {3L, 4L}) {
        EXPECT_EQ(line(*doc, place, "event_id"), copy.eventId);
        EXPECT_TRUE(line(*doc, place, "time_id").startsWith("TI"));
    }
    EXPECT_EQ(line(*doc, 3, "city"), "Kiel");
    EXPECT_EQ(line(*doc, 4, "city"), "Jena");
    EXPECT_NE(line(*doc, 3, "time_id"), line(*doc, 4, "time_id"));
    ASSERT_EQ(shown.RowCount(), 1);
    EXPECT_EQ(shown.sourceRow(1), 1);

    // An event without lines gets one fresh line.
    ASSERT_TRUE(doc->deleteDateLine(1)); // EV1's only line
    EXPECT_EQ(shown.RowCount(), 0);
    const EventDocument::EventMade bare = doc->copyEvent(1);
    ASSERT_EQ(doc->dates().allRowCount(), 5);
    EXPECT_EQ(line(*doc, 4, "event_id"), bare.eventId);
    EXPECT_EQ(line(*doc, 4, "time_id"), bare.freshLineId);
    EXPECT_EQ(line(*doc, 4, "city"), "Bonn");

    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(doc->undo());
    EXPECT_EQ(contents(*doc), before);
}

TEST_F(EventDocumentCommands, DeleteTakesTheEventsLinesAndTheLastOneTakesEveryLine)
{
    auto doc = open();
    ASSERT_TRUE(doc->deleteEvent(2));
    EXPECT_EQ(doc->dates().allRowCount(), 1);
    EXPECT_EQ(line(*doc, 0, "time_id"), "TI1");
    doc->newDateLine("EV-gone"); // a line of no event
    ASSERT_EQ(doc->dates().allRowCount(), 2);
    ASSERT_TRUE(doc->deleteEvent(1));
    EXPECT_EQ(doc->events().RowCount(), 0);
    EXPECT_EQ(doc->dates().allRowCount(), 0);
    EXPECT_FALSE(doc->deleteEvent(1)); // nothing to delete: no step
    doc->undo();
    EXPECT_EQ(doc->dates().allRowCount(), 2);
}

// Keys are compared as they stand: one with a quote in it finds, shows and
// deletes its own event and lines, not those of a key that it begins with.
TEST_F(EventDocumentCommands, AKeyWithAQuoteFindsShowsAndDeletesOnlyItsOwnRows)
{
    wf.write("Files/VantelEvents.txt", eventLine("EV'1", "Fair") + eventLine("EV'", "Show") + eventLine("EV", "Expo"));
    wf.write("Files/VantelEventDates.txt", dateLine("EV'", "TI'1", "Kiel") + dateLine("EV'1", "TI1", "Köln")
                                               + dateLine("EV", "TI'", "Jena") + dateLine("EV'1", "TI2", "Hof"));
    auto doc = open();
    EXPECT_EQ(doc->eventRow("EV'"), 2);
    EXPECT_EQ(doc->eventRow("EV'1"), 1);
    EXPECT_EQ(doc->lineRow("TI'"), 3);
    EXPECT_EQ(doc->findEvent("kiel", 0), 2);
    RecordSetView shown(doc->dates());
    ASSERT_TRUE(shown.showOnly(doc->dates().columnIndex("event_id"), "EV'1"));
    ASSERT_EQ(shown.RowCount(), 2);
    EXPECT_EQ(shown.sourceRow(1), 2);
    EXPECT_EQ(shown.sourceRow(2), 4);
    ASSERT_TRUE(shown.showOnly(doc->dates().columnIndex("event_id"), "EV'"));
    ASSERT_EQ(shown.RowCount(), 1);
    EXPECT_EQ(shown.sourceRow(1), 1);

    ASSERT_TRUE(doc->deleteEvent(1)); // EV'1 and its two lines
    EXPECT_EQ(doc->eventRow("EV'"), 1);
    ASSERT_EQ(doc->dates().allRowCount(), 2);
    EXPECT_EQ(line(*doc, 0, "time_id"), "TI'1");
    EXPECT_EQ(line(*doc, 1, "time_id"), "TI'");
    EXPECT_EQ(shown.RowCount(), 1);
    ASSERT_TRUE(doc->deleteEvent(1)); // EV' and its line
    EXPECT_EQ(shown.RowCount(), 0);
    ASSERT_EQ(doc->dates().allRowCount(), 1);
    EXPECT_EQ(line(*doc, 0, "event_id"), "EV");
}

// The lines of a schedule are one step, and each takes its own values.
TEST_F(EventDocumentCommands, SeveralNewLinesAreOneStep)
{
    auto doc = open();
    const long first = doc->addDateLines("EV1", {{{"start_date", QDate(2025, 7, 1)}, {"time1", QString("1800")}},
                                                 {{"start_date", QDate(2025, 7, 8)}, {"city", QString("Hof")}}});
    ASSERT_GE(first, 1);
    ASSERT_EQ(doc->dates().allRowCount(), 5);
    EXPECT_EQ(line(*doc, 3, "start_date"), "2025-07-01");
    EXPECT_EQ(line(*doc, 3, "time1"), "1800");
    EXPECT_EQ(line(*doc, 3, "city"), "Bonn");
    EXPECT_EQ(line(*doc, 4, "city"), "Hof");
    ASSERT_TRUE(doc->undo());
    EXPECT_EQ(doc->dates().allRowCount(), 3);
    EXPECT_FALSE(doc->canUndo());
}

// Settings of one field close together (the keys of a drop-down's search)
// are one step; the interval is the one passed in, and a field set apart
// from it, or another field, is a step of its own.
TEST_F(EventDocumentCommands, SettingsOfOneFieldWithinTheIntervalMergeIntoOneStep)
{
    auto doc = open(std::chrono::hours(1));
    for (const char *country : {"FK", "FJ", "FR"})
        ASSERT_TRUE(doc->setField(Part::Admin, 1, "default_country", QString(country)));
    ASSERT_TRUE(doc->setField(Part::Admin, 1, "default_state", QString("Hessen")));
    ASSERT_TRUE(doc->undo());
    ASSERT_TRUE(doc->undo());
    EXPECT_EQ(doc->admin().GetItemString(1, "default_country"), "DE");
    EXPECT_FALSE(doc->canUndo());
    doc.reset();

    auto quick = open(std::chrono::milliseconds(0));
    quick->setField(Part::Admin, 1, "default_country", QString("FK"));
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    quick->setField(Part::Admin, 1, "default_country", QString("FR"));
    ASSERT_TRUE(quick->undo());
    EXPECT_EQ(quick->admin().GetItemString(1, "default_country"), "FK");
    // A text that is no value of its column changes nothing.
    EXPECT_FALSE(quick->setField(Part::Dates, 1, "start_date", QString("someday")));
    EXPECT_EQ(line(*quick, 0, "start_date"), "2025-06-01");
}

} // namespace
