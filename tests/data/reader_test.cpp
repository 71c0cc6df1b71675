// The reader keeps rows in the text it read and the writer copies unchanged
// lines as they stand: whatever a file holds, what is read and written back
// must be what reading each value and writing it again gives.
#include "datafiles.h"
#include "definition.h"
#include "recordset.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The rows of `rs` copied value by value into a set of their own, so that
// the writer goes field by field.
QByteArray writtenValueByValue(const RecordSet &rs)
{
    RecordSet copy(rs.definition());
    if (rs.RowCount() > 0)
        const_cast<RecordSet &>(rs).RowsCopy(1, rs.RowCount(), copy, 0);
    return datafiles::serialize(copy);
}

QByteArray dateLine(const QByteArray &event, const QByteArray &line, const QByteArray &city)
{
    return event + '\t' + line + '\t' + city + "\tBavaria\t2026-01-02\t2026-01-03\t1000\t0000\t0000\t0000\t0000\t0000\t";
}

long read(RecordSet &rs, const QByteArray &text, QStringList *problems = nullptr)
{
    QStringList ignored;
    return datafiles::importBytes(rs, text, QStringLiteral("VantelEventDates.txt"), problems ? problems : &ignored);
}

} // namespace

TEST(Reader, EveryKindOfLineIsWrittenBackAsItsValuesAre)
{
    const QByteArray text =
        "\xEF\xBB\xBF" + dateLine("EV1", "TI1", "Bonn") + "\r\n"            // as the writer writes it
        + dateLine("EV1", "TI2", "Lf only") + "\n"                          // a bare line feed
        + dateLine("EV2", "TI3", "\"Two\nlines\"") + "\r\n"                 // quoted across lines
        + dateLine("EV2", "TI4", "\"say \"\"hi\"\"\"") + "\r\n"             // doubled quotes
        + dateLine("EV3", "TI5", "\"needless quotes\"") + "\r\n"            // quotes the writer drops
        + dateLine("EV3", "TI6", "\"half\"quoted") + "\r\n"                 // not a quoted field
        + dateLine("EV3", "TI7", "stray\rreturn") + "\r\n"                  // a CR inside a value
        + "\r\n"                                                            // an empty line: no row
        + "EV4\tTI8\tshort line\r\n"                                        // fields missing
        + dateLine("EV4", "TI9", "extra") + "\tmore\r\n"                    // a field too many
        + dateLine("EV4", "TI10", "bad date").replace("2026-01-02", "2026-02-30") + "\r\n"
        + dateLine("", "TI12", "first empty") + "x\n"                      // first value empty, last one not
        + dateLine("EV5", "TI11", "caf\xC3\xA9") + "\r";                    // no line feed at the end
    RecordSet dates(definition("d_event_dates"));
    QStringList problems;
    ASSERT_EQ(read(dates, text, &problems), 12);
    EXPECT_EQ(dates.GetItemString(3, "city"), "Two\nlines");
    EXPECT_EQ(dates.GetItemString(4, "city"), "say \"hi\"");
    EXPECT_EQ(dates.GetItemString(5, "city"), "needless quotes");
    EXPECT_EQ(dates.GetItemString(6, "city"), "\"half\"quoted");
    EXPECT_EQ(dates.GetItemString(7, "city"), "stray\rreturn");
    EXPECT_TRUE(dates.IsNull(8, "state"));
    EXPECT_TRUE(dates.IsNull(10, "start_date"));
    EXPECT_EQ(dates.GetItemString(10, "end_date"), "2026-01-03");
    EXPECT_TRUE(dates.IsNull(11, "event_id"));
    EXPECT_EQ(dates.GetItemString(11, "time_id"), "TI12");
    EXPECT_EQ(dates.GetItemString(11, "current_column"), "x");
    EXPECT_EQ(dates.GetItemString(12, "city"), QString::fromUtf8("caf\xC3\xA9"));
    EXPECT_TRUE(dates.IsNull(12, "current_column"));
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].startsWith("VantelEventDates.txt: line 10: 3 fields instead of 13")) << problems[0].toStdString();
    EXPECT_TRUE(problems[0].endsWith("(3 problems in all)")) << problems[0].toStdString();

    const QByteArray written = datafiles::serialize(dates);
    EXPECT_EQ(written, writtenValueByValue(dates));
    // The lines the writer would write as they stand come back byte for byte.
    EXPECT_TRUE(written.startsWith(dateLine("EV1", "TI1", "Bonn") + "\r\n" + dateLine("EV1", "TI2", "Lf only") + "\r\n"));
    EXPECT_TRUE(written.contains("\t\"Two\nlines\"\t"));
    EXPECT_TRUE(written.contains("\t\"stray\rreturn\"\t"));
    EXPECT_TRUE(written.endsWith(dateLine("EV5", "TI11", "caf\xC3\xA9") + "\r\n"));

    // What was written reads back to the same values and writes itself again.
    RecordSet again(definition("d_event_dates"));
    ASSERT_EQ(read(again, written), 12);
    EXPECT_EQ(datafiles::serialize(again), written);
}

// A date is a day of the calendar: leap years as the Gregorian calendar
// has them, no year 0; any other date is left empty.
TEST(Reader, DatesAreTakenAsTheCalendarHasThem)
{
    const std::pair<QByteArray, bool> dates[] = {
        {"2024-02-29", true},  {"2000-02-29", true},  {"2023-02-29", false}, {"1900-02-29", false},
        {"0000-01-01", false}, {"0001-01-01", true},  {"2026-04-31", false}, {"2026-12-31", true},
        {"2026-00-10", false}, {"2026-01-00", false}, {"2026-1a-01", false}, {"2026/01/01", false},
    };
    QByteArray text;
    for (const auto &[date, valid] : dates)
        text += dateLine("EV1", "TI" + date, "Bonn").replace("2026-01-02", date) + "\r\n";
    RecordSet rs(definition("d_event_dates"));
    ASSERT_EQ(read(rs, text), long(std::size(dates)));
    for (int i = 0; i < int(std::size(dates)); ++i)
        EXPECT_EQ(rs.IsNull(i + 1, "start_date"), !dates[i].second) << dates[i].first.toStdString();
}

TEST(Reader, RowsChangedCopiedOrRemovedAfterLoadingAreWrittenWithTheirValues)
{
    QByteArray text;
    for (int i = 1; i <= 6; ++i)
        text += dateLine("EV" + QByteArray::number(i % 2), "TI" + QByteArray::number(i), "City " + QByteArray::number(i)) + "\r\n";
    RecordSet dates(definition("d_event_dates"));
    ASSERT_EQ(read(dates, text), 6);
    ASSERT_EQ(dates.SetItem(2, "city", "Köln\tNord"), 1);
    ASSERT_EQ(dates.SetItem(3, "time1", QVariant()), 1);
    ASSERT_EQ(dates.DeleteRow(4), 1);
    ASSERT_EQ(dates.RowsCopy(1, 2, dates, 0), 1); // a loaded and a changed row copied to the end
    ASSERT_EQ(dates.InsertRow(1), 1);

    const QByteArray written = datafiles::serialize(dates);
    EXPECT_EQ(written, writtenValueByValue(dates));
    const QList<QByteArray> lines = written.split('\n');
    ASSERT_EQ(lines.size(), 9); // 8 rows and what follows the last line end
    EXPECT_EQ(lines[1], dateLine("EV1", "TI1", "City 1") + '\r');
    EXPECT_EQ(lines[2], dateLine("EV0", "TI2", "\"Köln\tNord\"") + '\r');
    EXPECT_EQ(lines[3], dateLine("EV1", "TI3", "City 3").replace("\t1000\t", "\t\t") + '\r');
    EXPECT_EQ(lines[4], dateLine("EV1", "TI5", "City 5") + '\r');
    EXPECT_EQ(lines[6], lines[1]);
    EXPECT_EQ(lines[7], lines[2]);

    // The filter finds loaded, changed and copied rows by their keys alike,
    // and so it does after more rows are read into the set.
    dates.SetFilter("event_id = 'EV1'");
    dates.Filter();
    EXPECT_EQ(dates.RowCount(), 4);
    ASSERT_EQ(read(dates, dateLine("EV1", "TI7", "Late") + "\r\n" + dateLine("EV2", "TI8", "Other") + "\r\n"), 2);
    dates.Filter();
    ASSERT_EQ(dates.RowCount(), 5);
    EXPECT_EQ(dates.GetItemString(5, "time_id"), "TI7");
    EXPECT_EQ(dates.Find("event_id = 'EV1'", 1, 5), 1);
    ASSERT_EQ(dates.SetItem(1, "event_id", "EV2"), 1); // leaves the filter's rows on the next Filter
    dates.Filter();
    EXPECT_EQ(dates.RowCount(), 4);
    dates.SetFilter("event_id = 'EV2'");
    dates.Filter();
    EXPECT_EQ(dates.RowCount(), 2);
}

TEST(Reader, LongLinesNonUtf8TextAndBorrowedBytesReadWhole)
{
    // A line too long for offsets within it: its row is kept on its own.
    const QByteArray longCity = QByteArray(70000, 'x') + "\r\n" + QByteArray(30000, 'y');
    RecordSet dates(definition("d_event_dates"));
    ASSERT_EQ(read(dates, dateLine("EV1", "TI1", "Bonn") + "\r\n" + dateLine("EV1", "TI2", "\"" + longCity + "\"")
                              + "\r\n" + dateLine("EV1", "TI3", "Bonn") + "\r\n"),
              3);
    EXPECT_EQ(dates.GetItemString(2, "city").toUtf8(), longCity);
    EXPECT_EQ(dates.GetItemString(3, "time_id"), "TI3");
    EXPECT_EQ(datafiles::serialize(dates), writtenValueByValue(dates));

    // A byte that is not UTF-8 late in a file: the whole file is read as
    // Windows-1252, each row once.
    QByteArray old;
    for (int i = 1; i <= 50; ++i)
        old += dateLine("EV1", "TI" + QByteArray::number(i), "Bonn") + "\r\n";
    old += dateLine("EV1", "TI51", "M\xFCnchen") + "\r\n";
    RecordSet oldDates(definition("d_event_dates"));
    QStringList problems;
    ASSERT_EQ(read(oldDates, old, &problems), 51);
    EXPECT_TRUE(problems.isEmpty());
    EXPECT_EQ(oldDates.GetItemString(51, "city"), QString::fromUtf8("M\xC3\xBCnchen"));
    EXPECT_EQ(oldDates.GetItemString(50, "time_id"), "TI50");
    EXPECT_EQ(datafiles::serialize(oldDates), writtenValueByValue(oldDates));

    // Bytes that the caller owns and then overwrites: the rows keep their values.
    QByteArray owned = dateLine("EV9", "TI9", "Bonn") + "\r\n";
    RecordSet borrowed(definition("d_event_dates"));
    ASSERT_EQ(read(borrowed, QByteArray::fromRawData(owned.constData(), owned.size())), 1);
    owned.fill('#');
    EXPECT_EQ(borrowed.GetItemString(1, "city"), "Bonn");
    EXPECT_EQ(datafiles::serialize(borrowed), dateLine("EV9", "TI9", "Bonn") + "\r\n");

    // Nothing but line ends, or nothing at all: no rows.
    RecordSet empty(definition("d_event_dates"));
    EXPECT_EQ(read(empty, "\r\n\n\r\n"), 0);
    EXPECT_EQ(read(empty, QByteArray()), 0);
    EXPECT_EQ(empty.RowCount(), 0);
}

TEST(Reader, ASavedFileIsWhatTheRowsGiveAcrossItsBuffers)
{
    // Some megabytes: runs of unchanged lines that go out as they stand,
    // broken by changed, removed, copied and LF-only lines.
    QByteArray text;
    for (int i = 0; i < 30000; ++i)
        text += dateLine("EV" + QByteArray::number(i / 7), "TI" + QByteArray::number(i), QByteArray(i % 90, 'c'))
                + (i % 1000 == 999 ? "\n" : "\r\n");
    RecordSet dates(definition("d_event_dates"));
    ASSERT_EQ(read(dates, text), 30000);
    for (long r = 5; r <= 30000; r += 4001)
        ASSERT_EQ(dates.SetItem(r, "city", "Neu\tstadt"), 1);
    ASSERT_EQ(dates.DeleteRow(20000), 1);
    ASSERT_EQ(dates.RowsCopy(100, 200, dates, 50), 1);

    QTemporaryDir dir;
    const QString path = dir.filePath("VantelEventDates.txt");
    ASSERT_EQ(datafiles::saveAs(dates, path), 1);
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    EXPECT_GT(bytes.size(), 3 << 20);
    EXPECT_TRUE(bytes == datafiles::serialize(dates));
    EXPECT_TRUE(bytes == writtenValueByValue(dates));
}
