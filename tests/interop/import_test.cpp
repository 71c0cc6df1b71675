// Reading calendar files into events to add: files of other programs, with
// an exact report, and Vantel's own files back to the data they came from.
#include "datalines.h"
#include "definition.h"
#include "icalexport.h"
#include "icalimport.h"
#include "recordset.h"
#include "savedfolder.h"

#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

interop::ImportContext berlin()
{
    interop::ImportContext ctx;
    ctx.defaultCountry = QStringLiteral("DE");
    ctx.defaultCity = QStringLiteral("Bonn");
    ctx.defaultState = QStringLiteral("NRW");
    ctx.timeZone = "Europe/Berlin";
    return ctx;
}

QString lineText(const interop::NewLine &l)
{
    return l.start.toString(Qt::ISODate) + ' ' + l.end.toString(Qt::ISODate) + ' ' + l.times.join(' ') + ' ' + l.city;
}

TEST(CalendarImport, FilesOfOtherProgramsGiveLocalTimesAndAnExactReport)
{
    const interop::ImportResult r =
        interop::importCalendar(readFile(QStringLiteral(VANTEL_TEST_DATA "/interop/data/rfc_examples.ics")), berlin());
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    QStringList got;
    for (const interop::NewEvent &e : r.events) {
        got << e.field("name") + " | " + e.field("sdescription") + " | " + e.field("venue") + " | " + e.field("category")
                   + QStringLiteral(" | %1 lines").arg(e.lines.size());
        for (size_t i = 0; i < e.lines.size() && i < 3; ++i)
            got << "  " + lineText(e.lines[i]);
    }
    for (const QString &l : r.reportLines())
        got << l;
    const QStringList want = {
        "Daily for 10 occurrences | Project xyz Review Meeting, with the team |  | 70 | 1 lines",
        "  1997-09-02 1997-09-11 1500 0000 0000 0000 0000 0000 Bonn",
        "Café Schönbrunn | Grüße aus Wien: eine lange Beschreibung, die über mehrere Zeilen gefaltet ist; mit ÄÖÜ. "
        "| Wiener Café, Schlossallee 1 | 70 | 3 lines",
        "  1997-03-10 1997-03-10 1800 0000 0000 0000 0000 0000 Bonn",
        "  1997-03-12 1997-03-12 1800 0000 0000 0000 0000 0000 Bonn",
        "  1997-03-14 1997-03-14 1900 0000 0000 0000 0000 0000 Bonn",
        "Our Blissful Anniversary | All day |  | 70 | 1 lines",
        "  1997-11-02 1997-11-02 0000 0000 0000 0000 0000 0000 Bonn",
        // Weekly, so one line a week; 1997-09-09 moved, 1997-09-16 cancelled: 105 Tuesdays less one.
        "Every Tuesday forever | Weekly |  | 70 | 104 lines",
        "  1997-09-02 1997-09-02 1500 0000 0000 0000 0000 0000 Bonn",
        "  1997-09-10 1997-09-10 1700 0000 0000 0000 0000 0000 Bonn",
        "  1997-09-23 1997-09-23 1500 0000 0000 0000 0000 0000 Bonn",
        "Unknown zone | x |  | 70 | 1 lines",
        "  1997-09-04 1997-09-04 1000 0000 0000 0000 0000 0000 Bonn",
        "5 events with 110 date lines added; 4 skipped, 2 changed, 1 to complete.",
        "Skipped: VTODO 1: is no event",
        "To complete: VEVENT 3 \"Our Blissful Anniversary\": has no time: complete its date lines",
        "Changed: VEVENT 4 \"Every Tuesday forever\": VEVENT 5 \"Every Tuesday forever\" moves the occurrence of "
        "1997-09-09 15:00 to 1997-09-10 17:00; VEVENT 6 \"Every Tuesday forever\" cancels the occurrence of "
        "1997-09-16 15:00; repeats beyond two years or 1,000 occurrences; only those up to 1999-08-31 15:00 are taken",
        "Skipped: VEVENT 7 \"Called off\": cancelled",
        "Skipped: VEVENT 8 \"No start\": no DTSTART",
        "Changed: VEVENT 9 \"Unknown zone\": time zone Mars/Olympus unknown: its times are taken as local times",
        "Skipped: VEVENT 10 \"daily for 10 occurrences\": the same event comes earlier in the file",
    };
    EXPECT_EQ(got.join('\n').toStdString(), want.join('\n').toStdString());
}

} // namespace

namespace {

TEST(CalendarImport, WhatIsNoCalendarChangesNothingAndSaysWhy)
{
    QTemporaryDir dir;
    auto put = [&](const char *name, const QByteArray &bytes) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    };
    EXPECT_EQ(interop::readImportFile(dir.filePath("none.ics")).error,
              QStringLiteral("The file %1 does not exist.").arg(dir.filePath("none.ics")));
    EXPECT_EQ(interop::readImportFile(put("blank.ics", " \r\n")).error,
              QStringLiteral("The file blank.ics is empty: nothing was imported."));
    EXPECT_TRUE(interop::readImportFile(put("list.pdf", "%PDF")).error.startsWith("The file list.pdf is neither"));
    const interop::ImportFile named = interop::readImportFile(put("cal.dat", "\xEF\xBB\xBF" "BEGIN:VCALENDAR\r\n"));
    EXPECT_TRUE(named.ok());
    EXPECT_EQ(named.kind, interop::FileKind::Calendar);
    EXPECT_EQ(interop::readImportFile(put("rows.csv", "a;b\r\n")).kind, interop::FileKind::Spreadsheet);
    QFile big(put("big.ics", "BEGIN:VCALENDAR\r\n"));
    ASSERT_TRUE(big.resize(interop::kMaxImportBytes + 1)); // sparse: no 50 MB written
    const interop::ImportFile tooLarge = interop::readImportFile(big.fileName());
    EXPECT_EQ(tooLarge.error, QStringLiteral("The file big.ics is larger than 50 MB: nothing was imported."));
    EXPECT_TRUE(tooLarge.bytes.isEmpty());

    // A calendar the file ends inside of is cut short: none. A calendar of
    // nothing but a damaged time zone gives the error alone.
    const QByteArray cutShort = "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY:A\r\nDTSTART:20260310T180000Z\r\nEND:VEVENT\r\n";
    const QByteArray zoneOnly = "BEGIN:VCALENDAR\r\nBEGIN:VTIMEZONE\r\nTZID:Far/Away\r\nNOT A LINE\r\nEND:VTIMEZONE\r\nEND:VCALENDAR\r\n";
    for (const QByteArray &bytes : {QByteArray("hello"), QByteArray("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nEND:VCALENDAR\r\n"),
                                    cutShort, zoneOnly}) {
        const interop::ImportResult r = interop::importCalendar(bytes, berlin());
        EXPECT_FALSE(r.ok()) << bytes.toStdString();
        EXPECT_TRUE(r.events.empty());
        EXPECT_TRUE(r.findings.empty()) << bytes.toStdString();
        EXPECT_EQ(r.reportLines(), QStringList{r.error});
    }
    // Read a component at a time: a time zone after the entries that name
    // it, a folded BEGIN line, a second calendar and a line of an alarm
    // within an entry still count; a stray END after them does not.
    const QByteArray late = "BEGIN:VCALENDAR\r\nBEGIN:VEV\r\n ENT\r\nSUMMARY:Late zone\r\n"
                            "DTSTART;TZID=Far/Away:20260310T180000\r\nEND:VEVENT\r\n"
                            "BEGIN:VTIMEZONE\r\nTZID:Far/Away\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
                            "TZOFFSETFROM:+0500\r\nTZOFFSETTO:+0500\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\nEND:VCALENDAR\r\n"
                            "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY:Second\r\nDESCRIPTION:x\r\nDTSTART:20260311T180000Z\r\n"
                            "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT15M\r\nNOT A LINE\r\nEND:VALARM\r\n"
                            "END:VEVENT\r\nEND:VCALENDAR\r\nEND:VEVENT\r\n";
    // What the library finds amiss goes into the report, not to the terminal.
    testing::internal::CaptureStderr();
    const interop::ImportResult both = interop::importCalendar(late, berlin());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(both.reportLines(),
              QStringList({"2 events with 2 date lines added; 0 skipped, 1 changed, 1 to complete.",
                           "To complete: VEVENT 1 \"Late zone\": has no description",
                           "Changed: VEVENT 2 \"Second\": a property was not understood and left out (Got a data line, "
                           "but could not find a property name or component begin tag: NOT )"}));
    ASSERT_EQ(both.events.size(), 2u) << both.reportLines().join('\n').toStdString();
    EXPECT_EQ(lineText(both.events[0].lines.front()), "2026-03-10 2026-03-10 1400 0000 0000 0000 0000 0000 Bonn");
    EXPECT_EQ(both.events[1].field("name"), "Second");
}

} // namespace
