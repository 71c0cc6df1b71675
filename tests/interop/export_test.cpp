// The calendar file and the web page data written from a saved data
// folder, read back by parsers of their own.
#include "datalines.h"
#include "datafiles.h"
#include "eventdocument.h"
#include "definition.h"
#include "exportcommand.h"
#include "icalexport.h"
#include "icalimport.h"
#include "jsonld.h"
#include "savedfolder.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

// A long text of two-byte characters, so that folds fall next to them.
const QString kLong = QString(60, QChar(0xE4)) + QStringLiteral(" Ende");

class Exports : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        QStringList ev = QString::fromUtf8(eventLine("EV1", "Konzert; groß, \\schön", "Kurz")).chopped(2).split('\t');
        ev[8] = '"' + kLong + "\nzweite Zeile\""; // edescription, quoted as the files hold a line break
        ev[18] = QStringLiteral("12,50 €");
        ev[19] = QStringLiteral("www.example.org");
        ev[21] = QStringLiteral("Beethovenhalle");
        ev[22] = QStringLiteral("Wachsbleiche 16");
        ev[23] = QStringLiteral("Anna Ölz");
        ev[25] = QStringLiteral("a@example.org");
        write(QStringLiteral("VantelEvents.txt"), ev.join('\t').toUtf8() + "\r\n" + eventLine("EV2", "Ohne Termin"));
        writeDates(QStringLiteral("Bonn"));
    }
    void writeDates(const QString &secondCity)
    {
        QByteArray lines = dateLine("EV1", "TI1", "Bonn", "2025-06-01", "2025-06-03", "1930");
        lines.replace("\t0000\t0000\t0000\t0000\t0000\t\r\n", "\t1500\t0000\t0000\t0000\t0000\t\r\n");
        write(QStringLiteral("VantelEventDates.txt"),
              lines + dateLine("EV1", "TI2", secondCity, "2025-07-01", "2025-07-01", "0000"));
    }
    void write(const QString &name, const QByteArray &bytes)
    {
        QFile f(dir_.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    interop::ExportOutcome run(interop::ExportFormat format, const QString &target)
    {
        interop::ExportRequest r;
        r.dataFolder = dir_.path() + '/';
        r.target = dir_.filePath(target);
        r.format = format;
        r.timeZone = "Europe/Berlin";
        r.stamp = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC);
        return interop::exportSavedData(r);
    }
    // The entries as the independent parser reads them.
    QJsonArray parsed(const QString &file)
    {
        QProcess p;
        p.start(QStringLiteral(VANTEL_SYSTEM_PYTHON), {QStringLiteral(VANTEL_READ_CALENDAR), dir_.filePath(file)});
        EXPECT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        return QJsonDocument::fromJson(p.readAllStandardOutput()).array();
    }
    QTemporaryDir dir_;
};

TEST_F(Exports, CalendarReadByAnotherParserGivesTheSameEventsTimesAndTexts)
{
    const interop::ExportOutcome out = run(interop::ExportFormat::Calendar, QStringLiteral("a.ics"));
    ASSERT_TRUE(out.ok()) << out.error.toStdString();
    EXPECT_EQ(out.events, 1);
    EXPECT_TRUE(out.notes.contains(QStringLiteral("The event \"Ohne Termin\" has no date lines."))) << out.notes.join('|').toStdString();

    // Content lines: CRLF, at most 75 octets, each piece whole UTF-8.
    const QByteArray text = readFile(dir_.filePath(QStringLiteral("a.ics")));
    ASSERT_TRUE(text.endsWith("END:VCALENDAR\r\n"));
    for (const QByteArray &line : text.split('\n')) {
        if (line.isEmpty())
            continue;
        EXPECT_TRUE(line.endsWith('\r')) << line.toStdString();
        EXPECT_LE(line.size() - 1, 75) << line.toStdString();
        EXPECT_EQ(QString::fromUtf8(line).toUtf8(), line) << "a fold split a character: " << line.toStdString();
    }

    const QJsonArray entries = parsed(QStringLiteral("a.ics"));
    ASSERT_EQ(entries.size(), 3);
    const QString description = QStringLiteral("Kurz\n\n") + kLong + QStringLiteral("\nzweite Zeile\n\nCost: 12,50 €");
    struct Want {
        const char *uid, *start, *rrule, *location;
    } want[] = {
        {"EV1-TI1-1@vantel", "2025-06-01T19:30:00+02:00", "DAILY until 2025-06-03T17:30:00+00:00",
         "Beethovenhalle, Wachsbleiche 16, Bonn, NRW"},
        {"EV1-TI1-2@vantel", "2025-06-01T15:00:00+02:00", "DAILY until 2025-06-03T13:00:00+00:00",
         "Beethovenhalle, Wachsbleiche 16, Bonn, NRW"},
        {"EV1-TI2-0@vantel", "2025-07-01", nullptr, "Beethovenhalle, Wachsbleiche 16, Bonn, NRW"},
    };
    for (int i = 0; i < 3; ++i) {
        const QJsonObject e = entries[i].toObject();
        SCOPED_TRACE(want[i].uid);
        EXPECT_EQ(e["uid"].toString(), QLatin1String(want[i].uid));
        EXPECT_EQ(e["start"].toString(), QLatin1String(want[i].start));
        EXPECT_EQ(e["tzid"].toString(), i < 2 ? QStringLiteral("Europe/Berlin") : QString());
        EXPECT_EQ(e["rrule"].toString(), QLatin1String(want[i].rrule));
        EXPECT_EQ(e["summary"].toString(), QStringLiteral("Konzert; groß, \\schön"));
        EXPECT_EQ(e["description"].toString(), description);
        EXPECT_EQ(e["location"].toString(), QLatin1String(want[i].location));
        EXPECT_EQ(e["url"].toString(), QStringLiteral("http://www.example.org"));
        EXPECT_EQ(e["contact"].toString(), QStringLiteral("Anna Ölz, a@example.org"));
        EXPECT_EQ(e["categories"].toArray(), QJsonArray{QStringLiteral("General")});
        EXPECT_EQ(e["sequence"].toInt(), 0);
    }
}

TEST_F(Exports, UidsStayAndOnlyChangedLinesRaiseTheirSequence)
{
    ASSERT_TRUE(run(interop::ExportFormat::Calendar, QStringLiteral("1.ics")).ok());
    ASSERT_TRUE(run(interop::ExportFormat::Calendar, QStringLiteral("2.ics")).ok());
    EXPECT_EQ(readFile(dir_.filePath("1.ics")), readFile(dir_.filePath("2.ics")));
    writeDates(QStringLiteral("Köln"));
    ASSERT_TRUE(run(interop::ExportFormat::Calendar, QStringLiteral("3.ics")).ok());
    writeDates(QStringLiteral("Köln"));
    ASSERT_TRUE(run(interop::ExportFormat::Calendar, QStringLiteral("4.ics")).ok());
    for (const char *file : {"3.ics", "4.ics"}) {
        const QJsonArray entries = parsed(QString::fromLatin1(file));
        ASSERT_EQ(entries.size(), 3);
        EXPECT_EQ(entries[0].toObject()["sequence"].toInt(), 0) << file;
        EXPECT_EQ(entries[1].toObject()["sequence"].toInt(), 0) << file;
        EXPECT_EQ(entries[2].toObject()["uid"].toString(), QStringLiteral("EV1-TI2-0@vantel"));
        EXPECT_EQ(entries[2].toObject()["sequence"].toInt(), 1) << file;
        EXPECT_TRUE(entries[2].toObject()["location"].toString().endsWith(QStringLiteral("Köln, NRW")));
    }
    // A state that is no state counts as none; the export still succeeds.
    write(QStringLiteral(".vantel-calendar"), "garbage\n");
    ASSERT_TRUE(run(interop::ExportFormat::Calendar, QStringLiteral("5.ics")).ok());
    EXPECT_EQ(parsed(QStringLiteral("5.ics"))[2].toObject()["sequence"].toInt(), 0);
}

TEST_F(Exports, CalendarReadBackGivesTheSameDataAndTheSameFile)
{
    const interop::SavedData saved = interop::readSavedData(dir_.path() + '/');
    ASSERT_TRUE(saved.ok());
    interop::CalendarOptions options;
    options.timeZone = "Europe/Berlin";
    options.stamp = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC);
    interop::SequenceState state;
    const interop::CalendarFile first = interop::writeCalendar(*saved.events, *saved.dates, state, options);

    interop::ImportContext into;
    into.timeZone = "Europe/Berlin";
    const interop::ImportResult read = interop::importCalendar(first.text, into);
    ASSERT_TRUE(read.ok()) << read.error.toStdString();
    EXPECT_TRUE(read.findings.empty()) << read.reportLines().join('\n').toStdString();
    RecordSet events(definition(QStringLiteral("d_events"))), dates(definition(QStringLiteral("d_event_dates")));
    const interop::Added added = interop::addToRecordSets(read, events, dates, QStringLiteral("ann"), QStringLiteral("pw"));
    EXPECT_EQ(added.events, 1);
    EXPECT_EQ(added.lines, 2);
    // The event without date lines is not in the calendar; the other one
    // comes back as it was, keys and all.
    const QByteArray eventsFile = readFile(dir_.filePath("VantelEvents.txt"));
    EXPECT_EQ(datafiles::serialize(events), eventsFile.left(eventsFile.indexOf("EV2\t")));
    EXPECT_EQ(datafiles::serialize(dates), readFile(dir_.filePath("VantelEventDates.txt")));
    interop::SequenceState fresh;
    EXPECT_EQ(interop::writeCalendar(events, dates, fresh, options).text, first.text);

    // Read into data that has the event already: left out, said why.
    into.existing.push_back({QStringLiteral("EV1"), QStringLiteral("Konzert"), QDate(2025, 6, 1)});
    const interop::ImportResult again = interop::importCalendar(first.text, into);
    EXPECT_TRUE(again.events.empty());
    EXPECT_EQ(again.reportLines().value(1).toStdString(),
              "Skipped: VEVENT 1 \"Konzert; groß, \\schön\": the event EV1 is there already");
    // ... and so is one there under another key with the same name and first date.
    into.existing.back() = {QStringLiteral("EV9"), QStringLiteral("konzert; GROSS, \\schön"), QDate(2025, 6, 1)};
    EXPECT_EQ(interop::importCalendar(first.text, into).events.size(), 1u) << "another name";
    into.existing.back().name = QStringLiteral("KONZERT; groß, \\schön");
    const interop::ImportResult byName = interop::importCalendar(first.text, into);
    EXPECT_TRUE(byName.events.empty());
    EXPECT_EQ(byName.reportLines().value(1).toStdString(),
              "Skipped: VEVENT 1 \"Konzert; groß, \\schön\": an event of that name and first date is there already");

    // An entry under Vantel's keys with a date added years before is read
    // as any other entry: no line spans the years between.
    QByteArray farOff = first.text;
    ASSERT_TRUE(farOff.contains("RRULE:FREQ=DAILY;"));
    farOff.replace("RRULE:FREQ=DAILY;", "RDATE:19970312T170000Z\r\nRRULE:FREQ=DAILY;");
    interop::ImportContext empty;
    empty.timeZone = "Europe/Berlin";
    const interop::ImportResult far = interop::importCalendar(farOff, empty);
    ASSERT_TRUE(far.ok()) << far.error.toStdString();
    ASSERT_FALSE(far.events.empty());
    for (const interop::NewEvent &e : far.events)
        for (const interop::NewLine &l : e.lines)
            EXPECT_LT(l.end, l.start.addYears(2)) << l.start.toString(Qt::ISODate).toStdString();
}

TEST_F(Exports, SayWhenTheJournalHoldsChangesTheyDoNotContain)
{
    write(QStringLiteral("VantelAdmin.txt"), adminLine("ann", dir_.path() + '/'));
    const auto note = [&] {
        const interop::ExportOutcome out = run(interop::ExportFormat::WebData, QStringLiteral("a.json"));
        EXPECT_TRUE(out.ok());
        return int(out.unsavedInFolder);
    };
    EXPECT_EQ(note(), 0);
    EventDocument doc;
    ASSERT_TRUE(doc.load(dir_.path() + '/').unreadable().isEmpty());
    ASSERT_TRUE(doc.setField(EventDocument::Part::Events, 1, QStringLiteral("name"), QStringLiteral("Neu")));
    doc.journal().flush();
    EXPECT_EQ(note(), 1);
    const QByteArray json = readFile(dir_.filePath(QStringLiteral("a.json")));
    EXPECT_TRUE(json.contains("Konzert") && !json.contains("\"Neu\"")) << "the export holds the data as saved";
}

TEST_F(Exports, WebDataIsSchemaEventsReadyToPaste)
{
    write(QStringLiteral("VantelEvents.txt"),
          eventLine("EV1", "A </script> trick", "Kurz", "DE", "Bonn", "70", "€ 8") + eventLine("EV2", "Ohne Termin"));
    const interop::ExportOutcome out = run(interop::ExportFormat::WebData, QStringLiteral("a.json"));
    ASSERT_TRUE(out.ok()) << out.error.toStdString();
    const QByteArray bytes = readFile(dir_.filePath(QStringLiteral("a.json")));
    EXPECT_FALSE(bytes.contains("</script>"));
    QJsonParseError error;
    const QJsonArray all = QJsonDocument::fromJson(bytes, &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    ASSERT_EQ(all.size(), 1);
    const QJsonObject e = all[0].toObject();
    EXPECT_EQ(e["@type"].toString(), QStringLiteral("Event"));
    EXPECT_EQ(e["name"].toString(), QStringLiteral("A </script> trick"));
    EXPECT_EQ(e["startDate"].toString(), QStringLiteral("2025-06-01T15:00:00+02:00"));
    EXPECT_EQ(e["endDate"].toString(), QStringLiteral("2025-07-01"));
    EXPECT_EQ(e["eventSchedule"].toArray().size(), 3);
    EXPECT_EQ(e["location"]["address"]["addressLocality"].toString(), QStringLiteral("Bonn"));
    EXPECT_EQ(e["offers"]["price"].toString(), QStringLiteral("8"));
    EXPECT_EQ(e["offers"]["priceCurrency"].toString(), QStringLiteral("EUR"));
    EXPECT_EQ(e["eventStatus"].toString(), QStringLiteral("https://schema.org/EventScheduled"));
}

TEST(WebData, OffersOnlyForAPlainAmount)
{
    const struct {
        const char *cost, *amount, *currency;
    } cases[] = {{"Free", "0", ""},      {"12,5 €", "12.50", "EUR"}, {"$10", "10", "USD"},
                 {"8.00 CHF", "8.00", "CHF"}, {"5 to 10", nullptr, nullptr}, {"€ 5 €", nullptr, nullptr},
                 {"donation", nullptr, nullptr}};
    for (const auto &c : cases) {
        interop::Price p;
        const bool plain = interop::plainPrice(QString::fromUtf8(c.cost), &p);
        EXPECT_EQ(plain, c.amount != nullptr) << c.cost;
        if (plain && c.amount) {
            EXPECT_EQ(p.amount, QLatin1String(c.amount)) << c.cost;
            EXPECT_EQ(p.currency, QLatin1String(c.currency)) << c.cost;
        }
    }
}

} // namespace
