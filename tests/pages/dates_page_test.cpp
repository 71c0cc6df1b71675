// The dates page: adding and deleting date lines, Tab and Enter in the grid,
// and the calendar on F3.
#include "pages_fixture.h"

using namespace pages;

namespace {

class DatesPage : public PagesTest {
protected:
    DataWindow *grid() { return dw("dw_event_dates"); }
};

TEST_F(DatesPage, NewLineNeedsAnEvent)
{
    writeAdmin();
    openWindow();
    clickTab(Dates);
    clickButton("pb_new_date");
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].title, "Event Dates");
    EXPECT_EQ(boxes.calls()[0].text, "You must have a selected event before adding date information!");
    EXPECT_EQ(dates()->RowCount(), 0);
    EXPECT_FALSE(saveEnabled());
}

TEST_F(DatesPage, NewLineIsRefusedWhileAShownLineIsIncomplete)
{
    openOnDates(dateLine("EV1", "TI1", "Bonn", "2025-06-01", "2025-06-02", "0000"));
    clickButton("pb_new_date");
    expectRefusedAsIncomplete();
    EXPECT_EQ(dates()->RowCount(), 1);
}

TEST_F(DatesPage, NewLineGetsTheDefaultsAndTheCursorOnItsStartDate)
{
    openOnDates(dateLine("EV1", "TI1", "Köln"));
    clickButton("pb_new_date");
    EXPECT_TRUE(boxes.calls().empty());
    ASSERT_EQ(dates()->RowCount(), 2);
    EXPECT_EQ(dates()->GetItemString(2, "event_id"), "EV1");
    EXPECT_EQ(dates()->GetItemString(2, "city"), "Bonn");
    EXPECT_EQ(dates()->GetItemString(2, "state"), "NRW");
    EXPECT_EQ(grid()->GetRow(), 2);
    EXPECT_EQ(grid()->GetColumnName(), "start_date");
    EXPECT_TRUE(saveEnabled());

    // Delete takes the current line only.
    clickButton("pb_delete_date");
    ASSERT_EQ(dates()->RowCount(), 1);
    EXPECT_EQ(dates()->GetItemString(1, "time_id"), "TI1");
}

TEST_F(DatesPage, TabOutOfTheLastFieldAddsALineWithTheDefaults)
{
    // The line is incomplete: tabbing out makes no completeness test.
    openOnDates(dateLine("EV1", "TI1", "Köln", "2025-06-01", "2025-06-02", "0000"));
    clickCell("dw_event_dates", 1, "time6");
    ASSERT_EQ(grid()->GetColumnName(), "time6");
    press(Qt::Key_Tab);

    ASSERT_EQ(dates()->RowCount(), 2);
    EXPECT_EQ(dates()->GetItemString(2, "event_id"), "EV1");
    EXPECT_TRUE(dates()->GetItemString(2, "time_id").startsWith("TI"));
    EXPECT_EQ(dates()->GetItemString(2, "city"), "Bonn");
    EXPECT_EQ(dates()->GetItemString(2, "state"), "NRW");
    EXPECT_EQ(grid()->GetRow(), 2);
    EXPECT_EQ(grid()->GetColumnName(), "start_date");
    EXPECT_EQ(focusedColumn(), "start_date");
    EXPECT_TRUE(saveEnabled());
}

TEST_F(DatesPage, EnterMovesToTheNextFieldLikeTab)
{
    openOnDates(dateLine("EV1", "TI1", "Köln") + dateLine("EV1", "TI2", "Bonn"));
    clickCell("dw_event_dates", 1, "city");
    press(Qt::Key_Return);
    EXPECT_EQ(grid()->GetRow(), 1);
    EXPECT_EQ(grid()->GetColumnName(), "start_date");
    EXPECT_EQ(focusedColumn(), "start_date");
    press(Qt::Key_Return);
    EXPECT_EQ(grid()->GetColumnName(), "end_date");
    EXPECT_EQ(dates()->RowCount(), 2);
    EXPECT_EQ(dates()->GetItemString(1, "city"), "Köln");
}

TEST_F(DatesPage, TypedTimeAndEditEnableSave)
{
    openOnDates(dateLine("EV1", "TI1", "Köln"));
    clickCell("dw_event_dates", 1, "time2");
    EXPECT_FALSE(saveEnabled());
    type("2015");
    EXPECT_TRUE(saveEnabled());
    press(Qt::Key_Tab);
    EXPECT_EQ(dates()->GetItemString(1, "time2"), "2015");
    EXPECT_EQ(grid()->GetColumnName(), "time3");
}

// A time takes only digits that can make hh:mm of the 24-hour clock, and a
// time typed in part is dropped. One that the file already holds is kept as
// it is, and the save names it on its own column.
TEST_F(DatesPage, TimesAreHoursAndMinutesOfThe24HourClock)
{
    openOnDates(dateLine("EV1", "TI1", "Köln") + dateLine("EV1", "TI2", "Bonn", "2025-06-01", "2025-06-02", "930"));
    const QByteArray saved = readData("VantelEventDates.txt");
    for (const char *typed : {"2500", "2460", "9.30", "7"}) {
        clickCell("dw_event_dates", 1, "time2");
        type(typed);
        press(Qt::Key_Tab);
        EXPECT_EQ(dates()->GetItemString(1, "time2"), "0000") << typed;
    }
    clickCell("dw_event_dates", 1, "time2");
    type("2359");
    press(Qt::Key_Tab);
    EXPECT_EQ(dates()->GetItemString(1, "time2"), "2359");

    clickCell("dw_event_dates", 2, "time1");
    press(Qt::Key_Tab); // passing the field changes nothing
    EXPECT_EQ(dates()->GetItemString(2, "time1"), "930");
    clickButton("pb_save");
    ASSERT_EQ(w->errors().size(), 1u);
    EXPECT_EQ(w->errors()[0].row, 2);
    EXPECT_EQ(w->errors()[0].columndb, "time1");
    EXPECT_EQ(w->errors()[0].message, "Please enter the time as hh:mm on the 24-hour clock !");
    EXPECT_EQ(grid()->GetRow(), 2);
    EXPECT_EQ(grid()->GetColumnName(), "time1");
    EXPECT_EQ(readData("VantelEventDates.txt"), saved);
}

TEST_F(DatesPage, F3OnTheEndDateTakesTheCalendarsDate)
{
    openOnDates(dateLine("EV1", "TI1", "Köln", "2025-06-01", "2025-06-02"));
    clickCell("dw_event_dates", 1, "end_date");
    rt::Message().stringParm = "15.08.2025"; // the month the picker opens on
    answerCalendar(Qt::Key_Return);
    press(Qt::Key_F3);
    EXPECT_TRUE(calendarSeen);
    EXPECT_EQ(dates()->GetItemString(1, "end_date"), "2025-08-15");
    EXPECT_EQ(dates()->GetItemString(1, "start_date"), "2025-06-01");
    EXPECT_TRUE(saveEnabled());
}

TEST_F(DatesPage, CancelledCalendarChangesNothing)
{
    openOnDates(dateLine("EV1", "TI1", "Köln", "2025-06-01", "2025-06-02"));
    clickCell("dw_event_dates", 1, "end_date");
    rt::Message().stringParm = "15.08.2025";
    answerCalendar(Qt::Key_Escape);
    press(Qt::Key_F3);
    EXPECT_TRUE(calendarSeen);
    EXPECT_EQ(dates()->GetItemString(1, "end_date"), "2025-06-02");
    EXPECT_FALSE(saveEnabled());
}

TEST_F(DatesPage, F3OnTheCityDoesNothing)
{
    openOnDates(dateLine("EV1", "TI1", "Köln"));
    clickCell("dw_event_dates", 1, "city");
    answerCalendar(Qt::Key_Escape); // would close a picker opened by mistake
    press(Qt::Key_F3);
    EXPECT_FALSE(calendarSeen);
    EXPECT_EQ(dates()->GetItemString(1, "city"), "Köln");
    EXPECT_EQ(grid()->GetColumnName(), "city");
    EXPECT_FALSE(saveEnabled());
}

// The current field of the current line is pink, the rest cream.
TEST_F(DatesPage, CurrentColumnIsHighlighted)
{
    openOnDates(dateLine("EV1", "TI1", "Köln") + dateLine("EV1", "TI2", "Bonn"));
    clickCell("dw_event_dates", 2, "end_date");
    const QAbstractItemModel *m = grid()->gridView()->model();
    auto colour = [&](int row, const char *column) {
        return m->data(m->index(row - 1, dates()->columnIndex(column) - 1), Qt::BackgroundRole).value<QColor>();
    };
    EXPECT_EQ(dates()->GetItemString(2, "current_column"), "end_date");
    EXPECT_EQ(colour(2, "end_date"), QColor(255, 180, 180));
    EXPECT_EQ(colour(2, "start_date"), QColor(255, 251, 240));
    EXPECT_EQ(colour(1, "end_date"), QColor(255, 251, 240));
    press(Qt::Key_Tab);
    EXPECT_EQ(colour(2, "time1"), QColor(255, 180, 180));
    EXPECT_EQ(colour(2, "end_date"), QColor(255, 251, 240));
}

} // namespace
