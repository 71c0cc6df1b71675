// Reading a spreadsheet's text export into events to add.
#include "spreadsheet.h"

#include <gtest/gtest.h>

namespace {

QString lineText(const interop::NewLine &l)
{
    return l.start.toString(Qt::ISODate) + ' ' + l.end.toString(Qt::ISODate) + ' ' + l.times.join(' ') + ' ' + l.city;
}

TEST(Spreadsheet, SeparatorQuotesEncodingsAndHeaderNamesAreFound)
{
    const struct {
        QByteArray bytes;
        QChar separator;
        QStringList firstRow;
    } cases[] = {
        {"\xEF\xBB\xBF" "Title,Date,Time\r\n\"Konzert, gro\xC3\x9F\",2025-06-01,19:30\r\n", ',',
         {"Konzert, groß", "2025-06-01", "19:30"}},
        {"Title;Date;Time\n\"Zwei\nZeilen \"\"hier\"\"\";01.06.2025;1930\n", ';', {"Zwei\nZeilen \"hier\"", "01.06.2025", "1930"}},
        {"Title\tDate\tTime\r\nCaf\xE9 \x80\t2025-06-01\t7:30 PM", '\t', {"Café €", "2025-06-01", "7:30 PM"}},
    };
    for (const auto &c : cases) {
        const interop::Spreadsheet s = interop::readSpreadsheet(c.bytes);
        ASSERT_TRUE(s.ok()) << c.bytes.toStdString();
        EXPECT_EQ(s.separator, c.separator);
        EXPECT_EQ(s.header, (QStringList{"Title", "Date", "Time"}));
        ASSERT_EQ(s.rows.size(), 1u);
        EXPECT_EQ(s.rows[0], c.firstRow);
    }
    EXPECT_FALSE(interop::readSpreadsheet("only a header\r\n").ok());
    EXPECT_FALSE(interop::readSpreadsheet(QByteArray("a,b\n\0\1,2\n", 10)).ok());

    const interop::ColumnMapping m =
        interop::guessMapping({"Event Name", "Start", "Date", "Start time", "Location", "E-Mail", "Notes", "Other"});
    // "Date" is the closer name for the start date; "Start" is left for the user.
    QStringList got;
    for (const auto &[field, column] : m)
        got << field + '=' + QString::number(column);
    EXPECT_EQ(got.join(' '), "contact_email=5 edescription=6 name=0 start_date=2 times=3 venue=4");
}

TEST(Spreadsheet, RowsOfOneEventBecomeItsDateLinesAndEveryOtherRowIsReported)
{
    for (const auto &[time, want] : std::vector<std::pair<const char *, const char *>>{
             {"19:30", "1930"}, {"1930", "1930"}, {"7:30 PM", "1930"}, {"7 am", "0700"}, {"12:15 a.m.", "0015"}}) {
        const QTime t = interop::parseTime(QString::fromLatin1(time));
        EXPECT_EQ(t.toString("HHmm"), QLatin1String(want)) << time;
    }
    for (const char *bad : {"19", "25:00", "13 pm", "7:60", "half past"})
        EXPECT_FALSE(interop::parseTime(QString::fromLatin1(bad)).isValid()) << bad;

    const QByteArray csv = "Name;Date;End;Times;Venue;Description;City\r\n"
                           "Konzert;01.06.2025;03.06.2025;19:30, 3 pm;Halle;Kurz;\r\n"
                           "konzert;05.06.2025;;1930;halle;;\r\n"
                           "Konzert;07.06.2025;;8 pm;Park;Anders;Köln\r\n"
                           ";08.06.2025;;;;;\r\n"
                           "Tanz;2025-13-01;;;;;\r\n"
                           "Tanz;09.06.2025;01.06.2025;25:00;;Kurz;\r\n"
                           "Alt;01.06.2024;;19:30;;x;\r\n";
    interop::ImportContext ctx;
    ctx.datePattern = QStringLiteral("dd.mm.yyyy");
    ctx.defaultCity = QStringLiteral("Bonn");
    ctx.defaultState = QStringLiteral("NRW");
    ctx.defaultCountry = QStringLiteral("DE");
    ctx.existing.push_back({QStringLiteral("EV1"), QStringLiteral("alt"), QDate(2024, 6, 1)});
    const interop::Spreadsheet sheet = interop::readSpreadsheet(csv);
    const interop::ImportResult r = interop::importSpreadsheet(sheet, interop::guessMapping(sheet.header), ctx);
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    QStringList got;
    for (const interop::NewEvent &e : r.events) {
        got << e.field("name") + " | " + e.field("venue") + " | " + e.field("sdescription") + " | " + e.field("country");
        for (const interop::NewLine &l : e.lines)
            got << "  " + lineText(l);
    }
    got << r.reportLines();
    const QStringList want = {
        "Konzert | Halle | Kurz | DE",
        "  2025-06-01 2025-06-03 1500 1930 0000 0000 0000 0000 Bonn",
        "  2025-06-05 2025-06-05 1930 0000 0000 0000 0000 0000 Bonn",
        "Konzert | Park | Anders | DE",
        "  2025-06-07 2025-06-07 2000 0000 0000 0000 0000 0000 Köln",
        "Tanz |  | Kurz | DE",
        "  2025-06-09 2025-06-09 0000 0000 0000 0000 0000 0000 Bonn",
        "3 events with 4 date lines added; 3 skipped, 0 changed, 1 to complete.",
        "Skipped: row 5: no event name",
        "Skipped: row 6: \"2025-13-01\" is no date",
        "To complete: row 7: end date \"01.06.2025\" left out: the start date alone is taken; \"25:00\" is no time a "
        "date line can hold: left out; has no time: complete its date lines",
        "Skipped: row 8: an event of that name and first date is there already",
    };
    EXPECT_EQ(got.join('\n').toStdString(), want.join('\n').toStdString());
    EXPECT_FALSE(interop::importSpreadsheet(sheet, {{"name", 0}}, ctx).ok());
}

} // namespace
