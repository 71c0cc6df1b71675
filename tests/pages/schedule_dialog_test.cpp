// The dialogs of the dates page, used with the keyboard: date lines from a
// schedule, and every line moved by days.
#include "pages_fixture.h"
#include "w_schedule.h"

#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>


using namespace pages;

namespace {

class DatesDialogs : public PagesTest {
protected:
    void tabs(int n)
    {
        for (int i = 0; i < n; ++i)
            press(Qt::Key_Tab);
    }
    // The fields of date line `row` as the file holds them, without its key.
    QStringList lineOf(long row) const
    {
        QStringList f;
        for (const char *c : {"city", "state", "start_date", "end_date", "time1", "time2", "time3"})
            f << dates()->GetItemString(row, c);
        return f;
    }
    DataWindow *grid() { return dw("dw_event_dates"); }

};

TEST_F(DatesDialogs, ScheduleTypedWithKeysAddsItsLinesAsOneStep)
{
    openOnDates(dateLine("EV1", "TI1", "Köln", "2025-06-01", "2025-06-02"));
    clickCell("dw_event_dates", 1, "city");
    QStringList preview;
    whenOpen("w_schedule", [&](QDialog *dialog) {
        auto *add = dialog->findChild<QPushButton *>("pb_schedule_add");
        auto *list = dialog->findChild<QListWidget *>("schedule_preview");
        ASSERT_TRUE(add && list);
        EXPECT_EQ(focusedColumn(), "schedule_from");
        EXPECT_FALSE(add->isEnabled()); // no dates yet: the list says why
        EXPECT_EQ(list->count(), 1);
        // Wednesday 5 May to Sunday 16 May 2027.
        type("05052027");
        press(Qt::Key_Tab);
        type("16052027");
        press(Qt::Key_Tab);
        auto *times = dialog->findChild<QWidget *>("schedule_times");
        ASSERT_TRUE(focused() == times || times->isAncestorOf(focused()));
        // Rows from Monday: Wednesday to Friday 19:30, the weekend 15:00 and
        // 19:30; Enter moves on as Tab does.
        tabs(12);
        type("1930");
        tabs(6);
        type("1930");
        tabs(6);
        type("1930");
        tabs(6);
        type("1500");
        press(Qt::Key_Return);
        type("1930");
        tabs(5);
        type("1500");
        press(Qt::Key_Tab);
        type("1930");
        tabs(5); // past the last time: on to the dates to leave out
        EXPECT_EQ(focusedColumn(), "schedule_except");
        type("13.05.2027");
        press(Qt::Key_Tab);
        EXPECT_EQ(focusedColumn(), "schedule_city");
        EXPECT_EQ(qobject_cast<QLineEdit *>(focused())->text(), "Köln"); // from the current line
        for (int i = 0; i < list->count(); ++i)
            preview << list->item(i)->text();
        EXPECT_TRUE(add->isEnabled());
        press(Qt::Key_Return);
    });
    press(Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(seen);
    reactivate();
    ASSERT_EQ(preview.size(), 6) << preview.join('\n').toStdString();
    EXPECT_TRUE(preview[0].startsWith("5 date lines")) << preview[0].toStdString();

    ASSERT_EQ(dates()->RowCount(), 6);
    const QList<QStringList> want = {
        {"Köln", "NRW", "2027-05-05", "2027-05-07", "1930", "0000", "0000"},
        {"Köln", "NRW", "2027-05-08", "2027-05-09", "1500", "1930", "0000"},
        {"Köln", "NRW", "2027-05-12", "2027-05-12", "1930", "0000", "0000"},
        {"Köln", "NRW", "2027-05-14", "2027-05-14", "1930", "0000", "0000"},
        {"Köln", "NRW", "2027-05-15", "2027-05-16", "1500", "1930", "0000"},
    };
    for (int i = 0; i < want.size(); ++i)
        EXPECT_EQ(lineOf(i + 2), want[i]) << i;
    EXPECT_EQ(grid()->GetRow(), 2); // the first new line is current
    EXPECT_TRUE(saveEnabled());

    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(dates()->RowCount(), 1); // every new line at once
    EXPECT_FALSE(saveEnabled());
    press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(dates()->RowCount(), 6);
    clickButton("pb_save");
    const QList<QByteArray> saved = readData("VantelEventDates.txt").split('\n');
    ASSERT_EQ(saved.size(), 7); // six lines and the end
    EXPECT_TRUE(saved[2].startsWith("EV1\tTI")) << saved[2].toStdString();
    EXPECT_TRUE(saved[2].contains("\tKöln\tNRW\t2027-05-08\t2027-05-09\t1500\t1930\t0000\t0000\t0000\t0000\t"))
        << saved[2].toStdString();
}

TEST_F(DatesDialogs, ScheduleRefusesWhatMakesNoLinesAndEscapeChangesNothing)
{
    openOnDates(dateLine("EV1", "TI1", "Köln"));
    whenOpen("w_schedule", [&](QDialog *dialog) {
        auto *add = dialog->findChild<QPushButton *>("pb_schedule_add");
        auto *list = dialog->findChild<QListWidget *>("schedule_preview");
        type("10052027");
        press(Qt::Key_Tab);
        type("01052027"); // before the first date
        press(Qt::Key_Tab);
        type("1930");
        press(Qt::Key_Tab);
        EXPECT_FALSE(add->isEnabled());
        ASSERT_EQ(list->count(), 1);
        EXPECT_FALSE(list->item(0)->text().isEmpty());
        press(Qt::Key_Escape);
        EXPECT_FALSE(dialog->isVisible());
    });
    clickButton("pb_schedule");
    EXPECT_TRUE(seen);
    EXPECT_EQ(dates()->RowCount(), 1);
    EXPECT_FALSE(saveEnabled());
}

TEST_F(DatesDialogs, ShiftDatesMovesEveryLineOfTheEventAsOneStep)
{
    openOnDates(dateLine("EV1", "TI1", "Köln", "2025-06-01", "2025-06-02", "1900")
                + dateLine("EV1", "TI2", "Bonn", "2025-06-28", "2025-07-03", "2000"));
    whenOpen("w_shift_dates", [&](QDialog *) {
        EXPECT_EQ(focusedColumn(), "shift_days");
        type("7");
        press(Qt::Key_Tab);
        EXPECT_EQ(qobject_cast<QLineEdit *>(focused())->text(), "08.06.2025"); // the new first date follows
        press(Qt::Key_Return);
    });
    clickButton("pb_shift_dates");
    ASSERT_TRUE(seen);
    reactivate();
    EXPECT_EQ(lineOf(1), QStringList({"Köln", "NRW", "2025-06-08", "2025-06-09", "1900", "0000", "0000"}));
    EXPECT_EQ(lineOf(2), QStringList({"Bonn", "NRW", "2025-07-05", "2025-07-10", "2000", "0000", "0000"}));
    EXPECT_TRUE(saveEnabled());

    // A new first date instead: a day before the first line's start.
    whenOpen("w_shift_dates", [&](QDialog *) {
        press(Qt::Key_Tab);
        type("31052025");
        press(Qt::Key_Return);
    });
    clickButton("pb_shift_dates");
    ASSERT_TRUE(seen);
    reactivate();
    EXPECT_EQ(dates()->GetItemString(1, "start_date"), "2025-05-31");
    EXPECT_EQ(dates()->GetItemString(2, "end_date"), "2025-07-02");

    press(Qt::Key_Z, Qt::ControlModifier);
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(lineOf(1), QStringList({"Köln", "NRW", "2025-06-01", "2025-06-02", "1900", "0000", "0000"}));
    EXPECT_EQ(dates()->GetItemString(2, "start_date"), "2025-06-28");
    EXPECT_FALSE(saveEnabled());
}

TEST(ScheduleWeek, StartsOnTheFirstDayOfTheUsersLocale)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); // Sunday first
    EXPECT_EQ(w_schedule::weekdayOfRow(0), 6);
    EXPECT_EQ(w_schedule::weekdayOfRow(1), 0);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); // Monday first
    EXPECT_EQ(w_schedule::weekdayOfRow(0), 0);
    EXPECT_EQ(w_schedule::weekdayOfRow(6), 6);
    QLocale::setDefault(before);
}

} // namespace
