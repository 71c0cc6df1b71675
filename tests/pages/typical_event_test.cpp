// A typical event from the first keystroke to the three saved files.
#include "pages_fixture.h"

#include <QFile>

using namespace pages;

namespace {

QStringList fieldsOf(const QByteArray &file)
{
    QString text = QString::fromUtf8(file);
    EXPECT_TRUE(text.endsWith("\r\n"));
    text.chop(2);
    EXPECT_FALSE(text.contains("\r\n")) << "one line expected";
    return text.split('\t');
}

class TypicalEvent : public PagesTest {};

TEST_F(TypicalEvent, NewEventFilledByKeyboardIsSavedToTheThreeFiles)
{
    writeAdmin("ann", "Bonn", "NRW");
    openWindow();
    clickTab(List);
    ASSERT_EQ(page(), List);

    clickButton("pb_new");
    ASSERT_EQ(page(), Detail);
    EXPECT_EQ(counter(), "Event 1 of 1");
    const QString eventId = events()->GetItemString(1, "event_id");

    // The detail form: the cursor starts on the country.
    ASSERT_EQ(focusedColumn(), "country");
    type("Fr");                             // France, chosen by typing
    press(Qt::Key_Tab);
    ASSERT_EQ(focusedColumn(), "name");
    type("Summer Fair");
    press(Qt::Key_Tab);
    ASSERT_EQ(focusedColumn(), "sdescription");
    type("Stalls and music");
    press(Qt::Key_Tab);
    ASSERT_EQ(focusedColumn(), "edescription");
    press(Qt::Key_Tab);
    ASSERT_EQ(focusedColumn(), "category");
    press(Qt::Key_Down);                    // the next category in the list
    const QString category = events()->GetItemString(1, "category");
    EXPECT_NE(category, "70");
    press(Qt::Key_Tab);
    ASSERT_EQ(focusedColumn(), "cost");
    press(Qt::Key_A, Qt::ControlModifier);
    type("5 EUR");
    press(Qt::Key_Tab);

    // The date line: dates from the calendar, a typed time.
    clickTab(Dates);
    ASSERT_EQ(page(), Dates);
    ASSERT_EQ(dates()->RowCount(), 1);
    clickCell("dw_event_dates", 1, "start_date");
    rt::Message().stringParm = "12.07.2025";
    answerCalendar(Qt::Key_Return);
    press(Qt::Key_F3);
    ASSERT_TRUE(calendarSeen);
    reactivate();
    press(Qt::Key_Tab);
    ASSERT_EQ(focusedColumn(), "end_date");
    rt::Message().stringParm = "13.07.2025";
    answerCalendar(Qt::Key_Return);
    press(Qt::Key_F3);
    reactivate();
    press(Qt::Key_Tab);
    ASSERT_EQ(focusedColumn(), "time1");
    type("1930");

    ASSERT_TRUE(saveEnabled());
    clickButton("pb_save");
    EXPECT_TRUE(boxes.calls().empty()) << boxes.calls()[0].text.toStdString();
    EXPECT_TRUE(w->errors().empty());
    EXPECT_FALSE(saveEnabled());

    const QStringList admin = fieldsOf(wf.read("Files/VantelAdmin.txt"));
    ASSERT_EQ(admin.size(), 7);
    EXPECT_EQ(admin.mid(0, 6), QStringList({"ann", "pw", dataDir(), "DE", "NRW", "Bonn"}));

    const QStringList ev = fieldsOf(wf.read("Files/VantelEvents.txt"));
    ASSERT_EQ(ev.size(), 27);
    EXPECT_EQ(ev[0], eventId);
    EXPECT_EQ(ev.mid(1, 8), QStringList({"ann", "pw", "FR", "Bonn", "NRW", "Summer Fair", "Stalls and music", ""}));
    EXPECT_EQ(ev[17], category);
    EXPECT_EQ(ev[18], "5 EUR");

    const QStringList dt = fieldsOf(wf.read("Files/VantelEventDates.txt"));
    ASSERT_EQ(dt.size(), 13);
    EXPECT_EQ(dt[0], eventId);
    EXPECT_TRUE(dt[1].startsWith("TI"));
    EXPECT_EQ(dt.mid(2, 6), QStringList({"Bonn", "NRW", "2025-07-12", "2025-07-13", "1930", "0000"}));
}

} // namespace
