#include "datafiles.h"
#include "definition.h"
#include "recordset.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using testing_support::WorkingFolder;

namespace {

QByteArray fixture(const char *name)
{
    QFile f(QStringLiteral(DATA_FIXTURES "/") + name);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return f.readAll();
}

void fillEvent(RecordSet &rs, long r, const QString &id)
{
    rs.SetItem(r, "event_id", id);
    rs.SetItem(r, "user_id", "organiser");
    rs.SetItem(r, "user_password", "se\"cret");
    rs.SetItem(r, "country", "US");
    rs.SetItem(r, "name", "\"Quoted\" start");
    rs.SetItem(r, "sdescription", "Line one\r\nLine \"two\"\twith tab\nbare LF");
    rs.SetItem(r, "edescription", "ends with CR\r");
    rs.SetItem(r, "start_date", QDate(2027, 1, 1));
    rs.SetItem(r, "category", "110"); // three characters in a char(2) column
    rs.SetItem(r, "venue_address", "Main Street 1\r\n");
    rs.SetItem(r, "state", "United States ");
}

TEST(DataFiles, EventsRoundTripWholeValues)
{
    WorkingFolder wf;
    RecordSet events(definition("d_events"));
    fillEvent(events, events.InsertRow(0), "EV1");
    events.InsertRow(0); // mostly empty row
    const QString path = wf.file("VantelEvents.txt");
    ASSERT_EQ(events.SaveAs(path), 1);

    RecordSet list(definition("d_list"));
    ASSERT_EQ(list.ImportFile(path), 2);
    ASSERT_EQ(list.RowCount(), 2);
    for (int c = 1; c <= events.columnCount(); ++c)
        for (long r = 1; r <= 2; ++r) {
            EXPECT_EQ(list.GetItemString(r, c), events.GetItemString(r, c)) << "row " << r << " column " << c;
            EXPECT_EQ(list.IsNull(r, c), events.IsNull(r, c)) << "row " << r << " column " << c;
        }
    EXPECT_EQ(list.GetItemString(1, "category"), "110");
    EXPECT_EQ(list.GetItemDate(1, "start_date"), QDate(2027, 1, 1));
    // Written again, the file is the same byte for byte.
    ASSERT_EQ(list.SaveAs(wf.file("again.txt")), 1);
    EXPECT_EQ(wf.read("again.txt"), wf.read("VantelEvents.txt"));
}

TEST(DataFiles, AValueStartingWithAByteOrderMarkKeepsItAtTheStartOfTheFile)
{
    WorkingFolder wf;
    RecordSet dates(definition("d_event_dates"));
    dates.InsertRow(0);
    dates.SetItem(1, "event_id", QString::fromUtf8("\xef\xbb\xbf" "E1"));
    ASSERT_EQ(dates.SaveAs(wf.file("d.txt")), 1);
    RecordSet again(definition("d_event_dates"));
    ASSERT_EQ(again.ImportFile(wf.file("d.txt")), 1);
    EXPECT_EQ(again.GetItemString(1, "event_id"), QString::fromUtf8("\xef\xbb\xbf" "E1"));
}

TEST(DataFiles, AQuotedEmptyValueIsTheEmptyValueAsAnEmptyFieldIs)
{
    WorkingFolder wf;
    wf.write("d.txt", "E1\t\"\"\tBern" + QByteArray(10, '\t') + "\r\n");
    RecordSet dates(definition("d_event_dates"));
    ASSERT_EQ(dates.ImportFile(wf.file("d.txt")), 1);
    EXPECT_TRUE(dates.IsNull(1, "time_id"));
    ASSERT_EQ(dates.SaveAs(wf.file("again.txt")), 1);
    RecordSet again(definition("d_event_dates"));
    ASSERT_EQ(again.ImportFile(wf.file("again.txt")), 1);
    EXPECT_TRUE(again.IsNull(1, "time_id"));
    EXPECT_EQ(again.GetItemString(1, "city"), "Bern");
}

TEST(DataFiles, PlainLinesKeepTheFixedLayout)
{
    WorkingFolder wf;
    RecordSet admin(definition("d_admin"));
    admin.InsertRow(0);
    admin.SetItem(1, "user_id", "ann");
    admin.SetItem(1, "user_password", "pw");
    admin.SetItem(1, "file_directory", "/home/ann/Files/");
    admin.SetItem(1, "default_country", "YE");
    ASSERT_EQ(admin.SaveAs(wf.file("VantelAdmin.txt")), 1);
    EXPECT_EQ(wf.read("VantelAdmin.txt"), QByteArray("ann\tpw\t/home/ann/Files/\tYE\t\t\t\r\n"));

    RecordSet dates(definition("d_event_dates"));
    dates.InsertRow(0);
    dates.SetItem(1, "start_date", QDate(2026, 12, 6));
    dates.SetItem(1, "city", "Zürich");
    ASSERT_EQ(dates.SaveAs(wf.file("VantelEventDates.txt")), 1);
    EXPECT_EQ(wf.read("VantelEventDates.txt"),
              QByteArray("0\t0\tZ\xc3\xbcrich\t\t2026-12-06\t\t0000\t0000\t0000\t0000\t0000\t0000\t\r\n"));
}

TEST(DataFiles, PasswordFilesAreOwnerOnly)
{
    WorkingFolder wf;
    RecordSet admin(definition("d_admin"));
    admin.InsertRow(0);
    ASSERT_EQ(admin.SaveAs(wf.file("VantelAdmin.txt")), 1);
    RecordSet events(definition("d_events"));
    events.InsertRow(0);
    ASSERT_EQ(events.SaveAs(wf.file("VantelEvents.txt")), 1);
    for (const char *name : {"VantelAdmin.txt", "VantelEvents.txt"}) {
        struct stat st;
        ASSERT_EQ(::stat(QFile::encodeName(wf.file(name)).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
    }
}

TEST(DataFiles, SaveUnderFilterWritesPassingRowsOnly)
{
    WorkingFolder wf;
    RecordSet dates(definition("d_event_dates"));
    for (const char *e : {"A", "B", "A"}) {
        const long r = dates.InsertRow(0);
        dates.SetItem(r, "event_id", e);
    }
    dates.SetFilter("event_id = 'A'");
    dates.Filter();
    ASSERT_EQ(dates.SaveAs(wf.file("d.txt")), 1);
    EXPECT_EQ(wf.read("d.txt").count("\r\n"), 2);
    EXPECT_FALSE(wf.read("d.txt").contains("B\t"));
}

TEST(DataFiles, ImportAppendsAndMissingOrEmptyFilesAddNothing)
{
    WorkingFolder wf;
    wf.write("d.txt", "E1\tT1\tBern\r\nE2\tT2\tBasel\r\n");
    wf.write("empty.txt", "");
    RecordSet dates(definition("d_event_dates"));
    dates.InsertRow(0);
    EXPECT_EQ(dates.ImportFile(wf.file("d.txt")), 2);
    EXPECT_EQ(dates.ImportFile(wf.file("d.txt")), 2);
    EXPECT_EQ(dates.RowCount(), 5);
    EXPECT_EQ(dates.GetItemString(1, "time_id"), "0");
    EXPECT_EQ(dates.GetItemString(5, "city"), "Basel");
    EXPECT_LT(dates.ImportFile(wf.file("missing.txt")), 1);
    EXPECT_LT(dates.ImportFile(wf.file("empty.txt")), 1);
    EXPECT_EQ(dates.RowCount(), 5);
}

TEST(DataFiles, FailedWriteKeepsTheOldFile)
{
    WorkingFolder wf;
    wf.write("VantelEventDates.txt", "old content\r\n");
    RecordSet dates(definition("d_event_dates"));
    for (int i = 0; i < 200; ++i)
        dates.InsertRow(0);
    EXPECT_EQ(dates.SaveAs(wf.file("no/such/folder/VantelEventDates.txt")), -1);

    // A full disk: the file size limit makes the write itself fail.
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 512;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int rc = dates.SaveAs(wf.file("VantelEventDates.txt"));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(wf.read("VantelEventDates.txt"), QByteArray("old content\r\n"));
    EXPECT_EQ(QDir(wf.path()).entryList(QDir::Files | QDir::Hidden).size(), 1) << "no temporary file left";

    // Saving several files: when one fails, none is replaced.
    RecordSet admin(definition("d_admin"));
    admin.InsertRow(0);
    wf.write("VantelAdmin.txt", "old admin\r\n");
    EXPECT_EQ(datafiles::saveAll({{&admin, wf.file("VantelAdmin.txt")},
                                  {&dates, wf.file("missing/VantelEventDates.txt")}})
                  .kind,
              datafiles::SaveOutcome::NotSaved);
    EXPECT_EQ(wf.read("VantelAdmin.txt"), QByteArray("old admin\r\n"));
}

TEST(DataFiles, AReplacementFailingPartWayPutsTheEarlierFilesBack)
{
    WorkingFolder wf;
    RecordSet admin(definition("d_admin"));
    admin.InsertRow(0);
    admin.SetItem(1, "user_id", QStringLiteral("new"));
    RecordSet dates(definition("d_event_dates"));
    wf.write("VantelAdmin.txt", "old admin\r\n");
    // A folder in the place of the second file: its temporary file is
    // written, but it cannot replace the folder.
    QDir(wf.path()).mkpath("VantelEventDates.txt/inside");
    EXPECT_EQ(datafiles::saveAll({{&admin, wf.file("VantelAdmin.txt")}, {&dates, wf.file("VantelEventDates.txt")}}).kind,
              datafiles::SaveOutcome::NotSaved);
    EXPECT_EQ(wf.read("VantelAdmin.txt"), QByteArray("old admin\r\n"));
    const QStringList left = QDir(wf.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left, QStringList{"VantelAdmin.txt"});
}

TEST(DataFiles, DamagedLinesLoadWhatIsReadableAndKeepABackup)
{
    WorkingFolder wf;
    const QByteArray original = fixture("damaged_events.txt");
    wf.write("VantelEvents.txt", original);
    RecordSet list(definition("d_list"));
    ImportReport report;
    ASSERT_EQ(list.ImportFile(wf.file("VantelEvents.txt"), &report), 3);
    // Line 1: a date that is no date is left empty; the rest of the row loads.
    EXPECT_TRUE(list.IsNull(1, "start_date"));
    EXPECT_EQ(list.GetItemDate(1, "end_date"), QDate(2024, 5, 2));
    EXPECT_EQ(list.GetItemString(1, "category"), "50");
    // Line 2: too few fields; the missing columns are empty.
    EXPECT_EQ(list.GetItemString(2, "country"), "FR");
    EXPECT_TRUE(list.IsNull(2, "name"));
    EXPECT_EQ(list.GetItemString(3, "category"), "120");
    ASSERT_EQ(report.problems.size(), 1);
    SCOPED_TRACE(report.problems[0].toStdString());
    EXPECT_TRUE(report.problems[0].startsWith("VantelEvents.txt: line 1:")) << report.problems[0].toStdString();
    EXPECT_TRUE(report.problems[0].contains("2024-13-01"));
    EXPECT_TRUE(report.problems[0].contains(report.backupPath));
    ASSERT_FALSE(report.backupPath.isEmpty());
    QFile backup(report.backupPath);
    ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
    EXPECT_EQ(backup.readAll(), original);

    // A clean file makes no report and no backup.
    ImportReport clean;
    wf.write("ok.txt", "E1\tT1" + QByteArray(11, '\t') + "\r\n"); // 13 fields
    RecordSet dates(definition("d_event_dates"));
    dates.ImportFile(wf.file("ok.txt"), &clean);
    EXPECT_TRUE(clean.problems.isEmpty());
    EXPECT_TRUE(clean.backupPath.isEmpty());
}

TEST(DataFiles, FilesFromOlderMachinesAreReadAsWindows1252)
{
    WorkingFolder wf;
    wf.write("VantelAdmin.txt", fixture("admin_cp1252.txt"));
    RecordSet admin(definition("d_admin"));
    ASSERT_EQ(admin.ImportFile(wf.file("VantelAdmin.txt")), 1);
    EXPECT_EQ(admin.GetItemString(1, "default_state"), QStringLiteral("Köln"));
    EXPECT_EQ(admin.GetItemString(1, "default_city"), QStringLiteral("Ändern €"));
}

TEST(CountryTool, AppendsTheQuotedFormOnEachRun)
{
    WorkingFolder wf;
    wf.write("countries.txt", "AF\tAfghanistan\r\nUS\tUnited States \r\n");
    ASSERT_EQ(convertCountryList(), 1);
    ASSERT_EQ(convertCountryList(), 1);
    EXPECT_EQ(wf.read("CountriesData.txt"),
              QByteArray("\"AF\",\"Afghanistan\",\"US\",\"United States \",\"AF\",\"Afghanistan\",\"US\",\"United States \","));
    EXPECT_EQ(convertCountryList("nothing.txt", "out.txt"), -1);
}

} // namespace
