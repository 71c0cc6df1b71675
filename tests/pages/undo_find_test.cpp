// Undo and redo from the keyboard, the find bar, and the unsaved changes of
// an earlier session offered at start-up: through the window, as a person
// uses it.
#include "pages_fixture.h"

#include "findbar.h"
#include "journal.h"

using namespace pages;

namespace {

class UndoTest : public PagesTest {
protected:
    void undo() { press(Qt::Key_Z, Qt::ControlModifier); }
    void redo() { press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); }
    // The window open on one event of one date line, the admin's defaults.
    void openOneEvent()
    {
        writeAdmin();
        writeEvents(1, 1);
        openWindow();
    }
    QString field(const char *dwName, const char *column) const
    {
        auto *e = qobject_cast<QLineEdit *>(dw(dwName)->editorFor(column));
        return e ? e->text() : QString("<no field>");
    }
};

using Undo = UndoTest;

TEST_F(Undo, FieldEditsComeBackOnTheirPageAndSaveFollowsTheSavedState)
{
    writeAdmin();
    writeEvents(3, 1);
    openWindow();
    clickTab(List);
    clickCell("dw_event_list", 2, "name");
    clickTab(Detail);
    selectField("dw_events", "name");
    type("Gala");
    press(Qt::Key_Tab);
    clickButton("pb_save");
    ASSERT_FALSE(saveEnabled());
    const QByteArray saved = readData("VantelEvents.txt");

    selectField("dw_events", "venue");
    type("Hall");
    press(Qt::Key_Tab);
    EXPECT_TRUE(saveEnabled());
    clickTab(List);
    clickCell("dw_event_list", 3, "name");

    undo();
    EXPECT_EQ(page(), Detail);
    EXPECT_EQ(counter(), "Event 2 of 3");
    EXPECT_EQ(field("dw_events", "venue"), "");
    EXPECT_FALSE(saveEnabled()); // back at the data as saved
    redo();
    EXPECT_EQ(field("dw_events", "venue"), "Hall");
    EXPECT_TRUE(saveEnabled());
    press(Qt::Key_Z, Qt::ControlModifier);
    press(Qt::Key_Y, Qt::ControlModifier); // the other redo key
    EXPECT_EQ(events()->GetItemString(2, "venue"), "Hall");

    // Saving kept the history: the edit before the save is taken back too.
    undo();
    undo();
    EXPECT_EQ(field("dw_events", "name"), "Event 2");
    EXPECT_TRUE(saveEnabled());
    EXPECT_EQ(readData("VantelEvents.txt"), saved);
}

TEST_F(Undo, TypingNotYetCommittedIsTheFirstToGo)
{
    openOneEvent();
    clickTab(Detail);
    QLineEdit *name = selectField("dw_events", "name");
    type("Gala");
    ASSERT_EQ(focused(), name);
    undo(); // inside the field: the window's undo, not the field's
    EXPECT_EQ(name->text(), "Event 1");
    EXPECT_EQ(events()->GetItemString(1, "name"), "Event 1");
    EXPECT_FALSE(saveEnabled());
    redo();
    EXPECT_EQ(name->text(), "Gala");
}

TEST_F(Undo, CellBeingEditedGoesBackAndTheKeysStayInTheGrid)
{
    openOnDates(dateLine("EV1", "TI1", "Bonn"));
    clickCell("dw_event_dates", 1, "city");
    type("Xy");
    undo();
    EXPECT_EQ(dates()->GetItemString(1, "city"), "Bonn");
    DataWindow *grid = dw("dw_event_dates");
    ASSERT_NE(focused(), nullptr);
    EXPECT_TRUE(grid->isAncestorOf(focused()));
    EXPECT_EQ(grid->GetColumnName(), "city");
    redo();
    EXPECT_EQ(dates()->GetItemString(1, "city"), "Xy");
}

TEST_F(Undo, DeletedEventComesBackWithItsDateLines)
{
    writeAdmin();
    writeEvents(3, 2);
    openWindow();
    clickTab(List);
    clickCell("dw_event_list", 2, "name");
    clickButton("pb_4");
    ASSERT_EQ(events()->RowCount(), 2);
    clickTab(Dates);

    undo();
    EXPECT_EQ(page(), List);
    ASSERT_EQ(events()->RowCount(), 3);
    EXPECT_EQ(events()->GetItemString(2, "event_id"), "EV2");
    EXPECT_EQ(counter(), "Event 2 of 3");
    clickTab(Dates);
    ASSERT_EQ(dates()->RowCount(), 2);
    EXPECT_EQ(dates()->GetItemString(1, "time_id"), "TI2_1");
    EXPECT_FALSE(saveEnabled());

    redo();
    EXPECT_EQ(events()->RowCount(), 2);
    EXPECT_EQ(counter(), "Event 2 of 2");
}

TEST_F(Undo, NewEventNewLineAndCalendarDateAreStepsToo)
{
    openOneEvent();
    clickTab(List);
    clickButton("pb_new");
    ASSERT_EQ(events()->RowCount(), 2);
    undo();
    EXPECT_EQ(events()->RowCount(), 1);
    EXPECT_EQ(counter(), "Event 1 of 1");
    EXPECT_EQ(page(), List);

    clickTab(Dates);
    clickButton("pb_new_date");
    ASSERT_EQ(dates()->RowCount(), 2);
    clickCell("dw_event_dates", 1, "end_date");
    rt::Message().stringParm = "15.08.2025";
    answerCalendar(Qt::Key_Return);
    press(Qt::Key_F3);
    ASSERT_EQ(dates()->GetItemString(1, "end_date"), "2025-08-15");
    reactivate();
    clickTab(Detail);

    undo(); // the calendar's date
    EXPECT_EQ(page(), Dates);
    EXPECT_EQ(dates()->GetItemString(1, "end_date"), "2025-06-02");
    EXPECT_EQ(dw("dw_event_dates")->GetRow(), 1);
    EXPECT_EQ(dw("dw_event_dates")->GetColumnName(), "end_date");
    undo(); // the new line
    EXPECT_EQ(dates()->RowCount(), 1);
    EXPECT_FALSE(saveEnabled());
}

TEST_F(Undo, AdminEditComesBackOnTheAdminPage)
{
    openOneEvent();
    selectField("dw_admin", "default_city");
    type("Koeln");
    press(Qt::Key_Tab);
    clickTab(List);
    undo();
    EXPECT_EQ(page(), Admin);
    EXPECT_EQ(field("dw_admin", "default_city"), "Bonn");
    EXPECT_EQ(dw("dw_admin")->GetColumnName(), "default_city");
    EXPECT_FALSE(saveEnabled());
}

TEST_F(Undo, KeysThatSearchADropDownAreOneStep)
{
    openOneEvent();
    const RecordSet *admin = dw("dw_admin")->recordSet();
    const QString before = admin->GetItemString(1, "default_country");
    selectField("dw_admin", "file_directory");
    press(Qt::Key_Tab);
    ASSERT_EQ(focused(), dw("dw_admin")->editorFor("default_country"));
    for (QChar c : QString("Fra")) { // "F" passes other countries on the way
        type(c);
        QCoreApplication::processEvents(); // the program waits for the next key
    }
    press(Qt::Key_Tab);
    ASSERT_NE(admin->GetItemString(1, "default_country"), before);
    ASSERT_TRUE(saveEnabled());
    undo();
    EXPECT_EQ(admin->GetItemString(1, "default_country"), before);
    EXPECT_FALSE(saveEnabled());
}

// ---- Find ----------------------------------------------------------------------

using Find = UndoTest;

TEST_F(Find, TypingSelectsTheFirstMatchEnterTheNextEscapeGoesBack)
{
    writeAdmin();
    writeEvents(5, 1);
    openWindow();
    clickTab(Admin);
    press(Qt::Key_F, Qt::ControlModifier);
    EXPECT_FALSE(w->findBar()->isVisible()); // events only

    clickTab(Dates);
    QWidget *before = focused();
    press(Qt::Key_F, Qt::ControlModifier);
    auto *text = child<QLineEdit>("find_text");
    ASSERT_EQ(focused(), text);
    type("CITY 4");
    EXPECT_EQ(counter(), "Event 4 of 5");
    EXPECT_EQ(dates()->GetItemString(1, "time_id"), "TI4_1");

    text->clear();
    type("event");
    EXPECT_EQ(counter(), "Event 1 of 5");
    press(Qt::Key_Return);
    EXPECT_EQ(counter(), "Event 2 of 5");
    for (int i = 0; i < 4; ++i)
        press(Qt::Key_Return);
    EXPECT_EQ(counter(), "Event 1 of 5"); // round again

    type("zzz");
    EXPECT_EQ(counter(), "Event 1 of 5");
    EXPECT_EQ(child<QLabel>("find_status")->text(), "No event found");

    press(Qt::Key_Escape);
    EXPECT_FALSE(w->findBar()->isVisible());
    EXPECT_EQ(focused(), before);
}

// ---- Unsaved work of an earlier session -------------------------------------

using Recovery = UndoTest;

TEST_F(Recovery, DamagedJournalIsReportedKeptAsideAndTheStartGoesOn)
{
    writeAdmin();
    writeEvents(2, 1);
    writeData(Journal::fileName(), "not a journal at all, and too short to be one of any kind");
    openWindow();
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].title, "Recover Unsaved Event Data");
    EXPECT_TRUE(boxes.calls()[0].text.contains("The file is kept as " + dataDir() + Journal::fileName()));
    EXPECT_FALSE(QFile::exists(dataDir() + Journal::fileName()));
    EXPECT_EQ(QDir(dataDir()).entryList({Journal::fileName() + ".damaged-*"}).size(), 1);
    clickTab(Detail);
    EXPECT_EQ(counter(), "Event 1 of 2");
    EXPECT_FALSE(saveEnabled());
}

TEST_F(Recovery, CloseWithoutSavingLetsTheChangesGo)
{
    openOneEvent();
    w->document().journal().setDelay(10);
    clickTab(Detail);
    selectField("dw_events", "name");
    type("Gala");
    press(Qt::Key_Tab);
    ASSERT_TRUE(QTest::qWaitFor([this] { return QFile::exists(dataDir() + Journal::fileName()); }, 3000));
    boxes.queueAnswer(2); // No to "Unsaved Event Data"
    clickButton("pb_close");
    EXPECT_TRUE(boxes.sawTitle("Unsaved Event Data"));
    EXPECT_FALSE(QFile::exists(dataDir() + Journal::fileName()));
}

// What is being typed is kept a moment later too, and comes back into its
// field; a cell left with Escape keeps nothing. The recovery question closed
// without an answer is asked again.
TEST_F(Recovery, TextBeingTypedIsKeptAndComesBackIntoItsField)
{
    openOneEvent();
    w->document().journal().setDelay(10);
    const QString journal = dataDir() + Journal::fileName();
    clickTab(Dates);
    clickCell("dw_event_dates", 1, "city");
    type("Kiel");
    ASSERT_TRUE(QTest::qWaitFor([&] { return testing_support::readFile(journal).contains("Kiel"); }, 3000));
    press(Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(journal); }, 3000));
    EXPECT_EQ(dates()->GetItemString(1, "city"), "City 1");

    clickTab(Detail);
    selectField("dw_events", "name");
    type("Gala");
    ASSERT_EQ(events()->GetItemString(1, "name"), "Event 1"); // still being typed
    ASSERT_TRUE(QTest::qWaitFor([&] { return testing_support::readFile(journal).contains("Gala"); }, 3000));
    const QByteArray saved = readData("VantelEvents.txt");
    w.reset(); // the program ends without saving, as in a crash

    boxes.clear();
    boxes.queueAnswer(0); // Escape
    boxes.queueAnswer(1); // Yes
    openWindow();
    ASSERT_EQ(boxes.calls().size(), 2u);
    EXPECT_EQ(boxes.calls()[1].title, "Recover Unsaved Event Data");
    EXPECT_EQ(events()->GetItemString(1, "name"), "Gala");
    // What came back is one step; taken back on the admin page, before any
    // event page has shown, the detail page shows where.
    ASSERT_EQ(page(), Admin);
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(page(), Detail);
    EXPECT_EQ(field("dw_events", "name"), "Event 1");
    press(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(field("dw_events", "name"), "Gala");
    EXPECT_EQ(counter(), "Event 1 of 1");
    EXPECT_TRUE(saveEnabled());
    EXPECT_EQ(readData("VantelEvents.txt"), saved);
}

TEST_F(Recovery, AJournalThatCannotBeWrittenIsSaidOnce)
{
    openOneEvent();
    w->document().journal().setDelay(10);
    ASSERT_TRUE(QDir(dataDir()).mkdir(Journal::fileName())); // nothing can replace a folder
    clickTab(Detail);
    for (const char *name : {"Gala", "Ball"}) {
        selectField("dw_events", "name");
        type(name);
        press(Qt::Key_Tab);
        QTest::qWait(100);
    }
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].title, "Event Data Journal");
    EXPECT_TRUE(boxes.calls()[0].text.contains(dataDir() + Journal::fileName()));
    EXPECT_TRUE(saveEnabled());
}

} // namespace
