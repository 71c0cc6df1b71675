// Save refused by validation: the first faulty record comes on screen with
// the cursor in its first faulty field, and the error list shows the
// entries. The error list's ways to close.
#include "editor_fixture.h"

#include <QTableView>

using namespace editor_tests;

namespace {

class Validation : public MainWindowTest {
protected:
    // Makes a change on the admin page and presses Save.
    void changeAndSave()
    {
        typeInto("dw_admin", "default_state", "Hessen");
        ASSERT_TRUE(button("pb_save")->isEnabled());
        click("pb_save");
    }
    // Opens on the first event with these date lines and saves after a change.
    void saveWithLines(const QByteArray &dates)
    {
        writeData("VantelEventDates.txt", dates);
        openWindow();
        ASSERT_EQ(w->is_event_id, "EV1");
        changeAndSave();
    }
    // The save stopped at date line `row` (among every line) for its missing
    // first time: on the dates page with event `eventId` current, `shown`
    // lines shown and the cursor on the first time of line `timeId`.
    void expectFirstTimeMissing(qint32 row, const QString &eventId, const QString &count, long shown,
                                const QString &timeId)
    {
        ASSERT_EQ(w->errors().size(), 1u);
        expectEntry(0, row, "Time", "time1", "Please complete at least the first time (24 hour format) !");
        EXPECT_EQ(currentPage(), "tabpage_event_dates");
        EXPECT_EQ(w->is_event_id, eventId);
        EXPECT_EQ(counter(), count);
        DataWindow *datesDw = dw("dw_event_dates");
        ASSERT_EQ(shownLines()->RowCount(), shown);
        ASSERT_GE(datesDw->GetRow(), 1);
        EXPECT_EQ(shownLines()->GetItemString(datesDw->GetRow(), "time_id"), timeId);
        EXPECT_EQ(datesDw->GetColumnName(), "time1");
    }
    void expectEntry(size_t i, qint32 row, const QString &column, const QString &columndb, const QString &message)
    {
        ASSERT_LT(i, w->errors().size());
        const str_errors &e = w->errors()[i];
        EXPECT_EQ(e.row, row) << i;
        EXPECT_EQ(e.column, column) << i;
        EXPECT_EQ(e.columndb, columndb) << i;
        EXPECT_EQ(e.message, message) << i;
    }
    void expectNothingSaved(const QByteArray &events, const QByteArray &dates)
    {
        EXPECT_TRUE(button("pb_save")->isEnabled());
        EXPECT_EQ(readData("VantelEvents.txt"), events);
        EXPECT_EQ(readData("VantelEventDates.txt"), dates);
    }
    // The rows of the error list window: row, field, message.
    QStringList listedErrors() const
    {
        QStringList out;
        w_show_errors *list = errorList();
        if (!list)
            return out;
        const RecordSet &rs = list->errors();
        for (long r = 1; r <= rs.RowCount(); ++r)
            out << rs.GetItemString(r, "al_row") + "|" + rs.GetItemString(r, "as_column_name") + "|"
                       + rs.GetItemString(r, "as_message");
        return out;
    }
};

TEST_F(Validation, EmptyRequiredAdminFieldKeepsTheAdminPageWithTheCursorOnIt)
{
    writeEvents(2);
    writeData("VantelAdmin.txt", adminLine("   ", dataDir())); // blanks only
    const QByteArray admin = readData("VantelAdmin.txt");
    openWindow();
    changeAndSave();
    ASSERT_EQ(w->errors().size(), 1u);
    expectEntry(0, 1, "Login ID", "user_id", "This is a required field !");
    EXPECT_EQ(currentPage(), "tabpage_admin");
    EXPECT_EQ(dw("dw_admin")->GetColumnName(), "user_id");
    EXPECT_EQ(w->focusWidget(), dw("dw_admin")->editorFor("user_id"));
    EXPECT_EQ(listedErrors(), QStringList{"1|Login ID|This is a required field !"});
    EXPECT_EQ(readData("VantelAdmin.txt"), admin);
    EXPECT_TRUE(button("pb_save")->isEnabled());
}

TEST_F(Validation, InvalidDataFolderIsReportedOnTheAdminPage)
{
    writeEvents(1);
    openWindow();
    typeInto("dw_admin", "file_directory", wf.folder() + "no/such/folder/");
    click("pb_save");
    ASSERT_EQ(w->errors().size(), 1u);
    expectEntry(0, 1, "File Directory", "file_directory", "This directory is invalid !");
    EXPECT_EQ(currentPage(), "tabpage_admin");
    EXPECT_EQ(dw("dw_admin")->GetColumnName(), "file_directory");
    ASSERT_NE(errorList(), nullptr);
    EXPECT_FALSE(QDir(wf.folder() + "no").exists());
    EXPECT_TRUE(button("pb_save")->isEnabled());
}

TEST_F(Validation, FirstFaultyEventComesOnTheDetailPageAtItsFirstFaultyField)
{
    writeEvents(5);
    QByteArray events;
    for (int i = 1; i <= 5; ++i) {
        const QString id = QString("EV%1").arg(i);
        if (i == 3)
            events += eventLine(id, "", ""); // name and short description missing
        else if (i == 5)
            events += eventLine(id, "");
        else
            events += eventLine(id, "Event " + QString::number(i));
    }
    writeData("VantelEvents.txt", events);
    const QByteArray dates = readData("VantelEventDates.txt");
    openWindow();
    changeAndSave();

    // Event 3 alone, both fields in column order; event 5 is not reached.
    ASSERT_EQ(w->errors().size(), 2u);
    expectEntry(0, 3, "Event Name", "name", "This is a required field !");
    expectEntry(1, 3, "Short Description", "sdescription", "This is a required field !");
    EXPECT_EQ(currentPage(), "tabpage_events_detail");
    EXPECT_EQ(counter(), "Event 3 of 5");
    EXPECT_EQ(w->is_event_id, "EV3");
    EXPECT_EQ(dw("dw_events")->GetRow(), 3);
    EXPECT_EQ(dw("dw_event_list")->GetRow(), 3);
    EXPECT_EQ(dw("dw_events")->GetColumnName(), "name");
    EXPECT_EQ(w->focusWidget(), dw("dw_events")->editorFor("name"));
    // The dates page follows the event now shown.
    const auto *const dateLines = shownLines();
    ASSERT_EQ(dateLines->RowCount(), 1);
    EXPECT_EQ(dateLines->GetItemString(1, "event_id"), "EV3");
    EXPECT_EQ(listedErrors(), (QStringList{"3|Event Name|This is a required field !",
                                           "3|Short Description|This is a required field !"}));
    expectNothingSaved(events, dates);
}

TEST_F(Validation, FaultyDateLineOfAnotherEventSelectsThatEventAndLine)
{
    writeEvents(3, 2);
    QByteArray dates;
    for (int i = 1; i <= 3; ++i)
        for (int l = 1; l <= 2; ++l) {
            const QString ev = QString("EV%1").arg(i), ti = QString("TI%1_%2").arg(i).arg(l);
            if (i == 2 && l == 2)
                dates += dateLine(ev, ti, "2025-06-01", "2025-06-02", "0000"); // no first time
            else if (i == 3 && l == 1)
                dates += dateLine(ev, ti, "2025-06-05", "2025-06-01"); // ends before it starts
            else
                dates += dateLine(ev, ti);
        }
    const QByteArray events = readData("VantelEvents.txt");
    saveWithLines(dates);

    expectFirstTimeMissing(4, "EV2", "Event 2 of 3", 2, "TI2_2");
    DataWindow *datesDw = dw("dw_event_dates");
    const auto *const lines = shownLines();
    EXPECT_EQ(lines->GetItemString(1, "event_id"), "EV2");
    EXPECT_EQ(listedErrors(),
              QStringList{"4|Time|Please complete at least the first time (24 hour format) !"});
    expectNothingSaved(events, dates);

    // Mended, the next save stops at the third event's line.
    datesDw->SetColumn("time1");
    w->document().setField(EventDocument::Part::Dates, datesDw->sourceRow(datesDw->GetRow()), "time1", QString("2000"));
    click("pb_save");
    ASSERT_EQ(w->errors().size(), 1u);
    expectEntry(0, 5, "Start Date", "start_date", "The end date may not occur before the start date !");
    EXPECT_EQ(w->is_event_id, "EV3");
    EXPECT_EQ(counter(), "Event 3 of 3");
    EXPECT_EQ(lines->GetItemString(datesDw->GetRow(), "time_id"), "TI3_1");
    EXPECT_EQ(datesDw->GetColumnName(), "start_date");
}

// The list does not move for the event that is already current, so the dates
// page keeps showing the lines of every event until another event is chosen.
TEST_F(Validation, FaultyDateLineOfTheCurrentEventKeepsAllLinesShown)
{
    writeEvents(2, 2);
    QByteArray dates = dateLine("EV1", "TI1_1") + dateLine("EV1", "TI1_2", "2025-06-01", "2025-06-02", "0000")
                       + dateLine("EV2", "TI2_1") + dateLine("EV2", "TI2_2");
    saveWithLines(dates);

    expectFirstTimeMissing(2, "EV1", "Event 1 of 2", 4, "TI1_2");
    const auto *const lines = shownLines();

    // Choosing another event filters the page again.
    w->dw_event_list_rowfocuschanged(2);
    ASSERT_EQ(lines->RowCount(), 2);
    EXPECT_EQ(lines->GetItemString(1, "event_id"), "EV2");
}

// The row check through the window's entry points: the failed checks go
// into the error list, and tags answer through the view. (The checks
// themselves are the document's: tests/document.)
TEST_F(Validation, RowCheckOfAViewFillsTheErrorList)
{
    writeEvents(1);
    openWindow();
    ASSERT_EQ(w->SelectTab("tabpage_event_dates"), 1);
    DataWindow *datesDw = dw("dw_event_dates");
    const auto *const lines = shownLines();
    ASSERT_EQ(lines->RowCount(), 1);
    w->document().setField(EventDocument::Part::Dates, 1, "start_date", QDate(1752, 12, 31));
    w->document().setField(EventDocument::Part::Dates, 1, "end_date", QDate(3001, 1, 1));
    w->ue_clear_errors();
    EXPECT_NE(w->ue_validate(datesDw, 1), 0);
    ASSERT_EQ(w->errors().size(), 2u);
    expectEntry(0, 1, "Start Date", "start_date", "Invalid Date specified !");
    expectEntry(1, 1, "End Date", "end_date", "Invalid Date specified !");

    EXPECT_EQ(w->ue_get_tag(datesDw, "start_date", "NAME"), "Start Date");
    EXPECT_EQ(w->ue_get_tag(datesDw, "no_such_column", "name"), "#");
    EXPECT_EQ(w->ue_get_tag(datesDw, "start_date", "width"), "#");
}

// The position of a faulty date line is reported as it is, however far down
// it lies: a 16-bit answer would wrap at 65,536 to 0, "valid".
TEST_F(Validation, AFaultyDateLineFarDownStopsTheSave)
{
    writeAdmin();
    writeData("VantelEvents.txt", eventLine("EV1", "Fair"));
    QByteArray lines;
    for (int i = 1; i <= 70000; ++i)
        lines += dateLine("EV1", QString("TI%1").arg(i), "2025-06-01", "2025-06-02", i == 65536 ? "0000" : "1900");
    writeData("VantelEventDates.txt", lines);
    openWindow();
    changeAndSave();
    expectNothingSaved(eventLine("EV1", "Fair"), lines);
    ASSERT_EQ(w->errors().size(), 1u);
    expectEntry(0, 65536, "Time", "time1", "Please complete at least the first time (24 hour format) !");
    EXPECT_EQ(w->wf_validate(QString()), 65536);
}

class ErrorList : public Validation {
protected:
    void SetUp() override
    {
        Validation::SetUp();
        writeEvents(2);
        writeData("VantelAdmin.txt", adminLine("", dataDir(), ""));
        openWindow();
        changeAndSave();
        ASSERT_NE(errorList(), nullptr);
        ASSERT_TRUE(errorList()->isVisible());
    }
    void reopen()
    {
        w->ue_display_errors();
        ASSERT_NE(errorList(), nullptr);
        ASSERT_TRUE(errorList()->isVisible());
    }
    QTableView *listView() const { return errorList()->findChild<QTableView *>("dw_show_errors"); }
};

TEST_F(ErrorList, ListsEveryEntryInOrder)
{
    EXPECT_EQ(listedErrors(), (QStringList{"1|Login ID|This is a required field !",
                                           "1|User Password|This is a required field !"}));
    ASSERT_NE(listView(), nullptr);
    EXPECT_EQ(listView()->model()->rowCount(), 2);
    // The main window stays usable while the list is shown.
    EXPECT_FALSE(errorList()->isModal());
    EXPECT_TRUE(w->isEnabled());
}

TEST_F(ErrorList, EscapeInTheMainWindowClosesIt)
{
    // The user goes back to the main window, the list stays open.
    activateMainWindow();
    ASSERT_NE(w->errorWindow(), nullptr);
    QWidget *focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    ASSERT_EQ(focus->window(), w.get());
    QTest::keyClick(focus, Qt::Key_Escape);
    settle();
    EXPECT_EQ(w->errorWindow(), nullptr);
    EXPECT_TRUE(w->isVisible());
}

TEST_F(ErrorList, ClosesOnEscapeStopSignAndDoubleClickButNotOnAClick)
{
    QTest::keyClick(errorList(), Qt::Key_Escape);
    settle();
    EXPECT_EQ(w->errorWindow(), nullptr);

    reopen();
    auto *stop = errorList()->findChild<QWidget *>("p_1");
    ASSERT_NE(stop, nullptr);
    QTest::mouseClick(stop, Qt::LeftButton);
    settle();
    EXPECT_EQ(w->errorWindow(), nullptr);

    reopen();
    QTableView *view = listView();
    ASSERT_NE(view, nullptr);
    const QPoint onRow = view->visualRect(view->model()->index(1, 0)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, onRow);
    settle();
    ASSERT_NE(w->errorWindow(), nullptr);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, onRow);
    settle();
    EXPECT_EQ(w->errorWindow(), nullptr);
}

TEST_F(ErrorList, NextSaveClearsTheOldList)
{
    typeInto("dw_admin", "user_id", "ann");
    typeInto("dw_admin", "user_password", "pw");
    click("pb_save");
    settle();
    EXPECT_TRUE(w->errors().empty());
    EXPECT_EQ(w->errorWindow(), nullptr);
    EXPECT_FALSE(button("pb_save")->isEnabled());
}

} // namespace
