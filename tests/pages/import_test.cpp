// Import... of the Events page as a person uses it: the file chosen in the
// file dialog, a spreadsheet's columns in their window, the report, and the
// whole import taken back by one Ctrl+Z.
#include "pages_fixture.h"

#include "profile.h"

#include <QFileDialog>
#include <QListWidget>

using namespace pages;

namespace {

class ImportWindow : public PagesTest {
protected:
    void SetUp() override
    {
        PagesTest::SetUp();
        writeAdmin("ann", "Bonn", "NRW");
        writeData("VantelEvents.txt", eventLine("EV1", "Fair"));
        writeData("VantelEventDates.txt", dateLine("EV1", "TI1", "Bonn"));
        openWindow();
        clickTab(List);
    }
    // Answers the file dialog with `name` of the working folder, then reads
    // the report and closes it with Enter.
    void chooseFileThenReadReport(const QString &name)
    {
        whenOpen("QFileDialog", [this, name](QDialog *dialog) {
            ASSERT_NE(qobject_cast<QFileDialog *>(dialog), nullptr);
            typePath(wf.folder() + name);
        });
        whenOpen("w_import_report", [this](QDialog *dialog) {
            auto *list = dialog->findChild<QListWidget *>("import_report");
            ASSERT_NE(list, nullptr);
            for (int i = 0; i < list->count(); ++i)
                report << list->item(i)->text();
            press(Qt::Key_Return);
        });
    }
    // The file dialog opens with the focus in its name field: a person
    // types the whole path there and presses Enter.
    void typePath(const QString &path)
    {
        auto *name = qobject_cast<QLineEdit *>(focused());
        ASSERT_NE(name, nullptr);
        name->selectAll();
        QTest::keyClicks(name, path);
        press(Qt::Key_Return);
    }
    QString eventName(long row) const { return events()->GetItemString(row, "name"); }
    // Import... through the dialogs set up with whenOpen: one event came in
    // after the one there was, named `name`.
    void importOneEvent(const QString &name)
    {
        clickButton("pb_import");
        ASSERT_TRUE(seen);
        reactivate();
        ASSERT_EQ(events()->RowCount(), 2);
        EXPECT_EQ(eventName(2), name);
    }

    QStringList report;
};

TEST_F(ImportWindow, CalendarEventsComeInAsOneStepAndTheReportNamesWhatDidNot)
{
    wf.write("season.ics", "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
                           "BEGIN:VEVENT\r\nUID:a@test\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:Concert\r\n"
                           "DTSTART:20270510T193000\r\nRRULE:FREQ=DAILY;COUNT=3\r\nLOCATION:Town hall\r\nEND:VEVENT\r\n"
                           "BEGIN:VEVENT\r\nUID:b@test\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:Gone\r\n"
                           "DTSTART:20270601T100000\r\nSTATUS:CANCELLED\r\nEND:VEVENT\r\n"
                           // the same again, at midnight: left out, and for that alone
                           "BEGIN:VEVENT\r\nUID:c@test\r\nSUMMARY:concert\r\nDTSTART:20270510T000000\r\nEND:VEVENT\r\n"
                           "END:VCALENDAR\r\n");
    chooseFileThenReadReport("season.ics");
    importOneEvent("Concert");
    EXPECT_EQ(events()->GetItemString(2, "venue"), "Town hall");
    EXPECT_EQ(dw("dw_event_list")->GetRow(), 2); // the first event imported is current
    ASSERT_EQ(dates()->RowCount(), 1);            // its lines are the ones shown
    EXPECT_EQ(dates()->GetItemString(1, "start_date"), "2027-05-10");
    EXPECT_EQ(dates()->GetItemString(1, "end_date"), "2027-05-12");
    EXPECT_EQ(dates()->GetItemString(1, "time1"), "1930");
    EXPECT_EQ(dates()->GetItemString(1, "city"), "Bonn"); // the admin default
    // One line for each component of note, with its true reason; the
    // numbers are those of what came in.
    const QStringList want = {
        "1 event with 1 date line added; 2 skipped, 0 changed, 1 to complete.",
        "To complete: VEVENT 1 \"Concert\": has no description",
        "Skipped: VEVENT 2 \"Gone\": cancelled",
        "Skipped: VEVENT 3 \"concert\": the same event comes earlier in the file",
    };
    EXPECT_EQ(report.join('\n').toStdString(), want.join('\n').toStdString());
    EXPECT_TRUE(saveEnabled());

    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(events()->RowCount(), 1);
    EXPECT_FALSE(saveEnabled());
}

TEST_F(ImportWindow, IntoAnEmptyListTheFirstEventImportedShowsItsLines)
{
    clickButton("pb_4"); // the only event goes
    ASSERT_EQ(events()->RowCount(), 0);
    wf.write("one.ics", "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
                        "BEGIN:VEVENT\r\nUID:a@test\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:Concert\r\n"
                        "DTSTART:20270510T193000\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    chooseFileThenReadReport("one.ics");
    clickButton("pb_import");
    ASSERT_TRUE(seen);
    reactivate();
    ASSERT_EQ(events()->RowCount(), 1);
    EXPECT_EQ(dw("dw_event_list")->GetRow(), 1);
    clickTab(Dates);
    ASSERT_EQ(dates()->RowCount(), 1);
    EXPECT_EQ(dates()->GetItemString(1, "time1"), "1930");
}

TEST_F(ImportWindow, SpreadsheetColumnsAreChosenInTheirWindowAndKeptForTheNextImport)
{
    wf.write("market.csv", "Title;Date;Start time;Place;Notes\n"
                           "Market;2027-06-05;10:00;Town hall;x\n"
                           "Market;2027-06-12;10:00;Town hall;x\n");
    whenOpen("QFileDialog", [this](QDialog *dialog) {
        ASSERT_NE(qobject_cast<QFileDialog *>(dialog), nullptr);
        typePath(wf.folder() + "market.csv");
    });
    whenOpen("w_import_columns", [this](QDialog *dialog) {
        auto *venue = dialog->findChild<QComboBox *>("import_column_venue");
        ASSERT_NE(venue, nullptr);
        EXPECT_EQ(venue->currentText(), "Place"); // matched by its name
        // The notes become the extended description: chosen from the list.
        auto *notes = dialog->findChild<QComboBox *>("import_column_edescription");
        notes->setFocus();
        notes->setCurrentIndex(notes->findText("Notes"));
        press(Qt::Key_Return);
    });
    whenOpen("w_import_report", [this](QDialog *) { press(Qt::Key_Return); });
    importOneEvent("Market");
    EXPECT_EQ(events()->GetItemString(2, "edescription"), "x");
    EXPECT_EQ(dates()->RowCount(), 2); // two Saturdays a week apart
    const QString kept = rt::ProfileString("vantel.ini", "Import", "Columns", QString());
    EXPECT_TRUE(kept.contains("edescription=Notes")) << kept.toStdString();
    EXPECT_TRUE(kept.contains("venue=Place")) << kept.toStdString();
}

} // namespace
