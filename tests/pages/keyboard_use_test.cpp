// The pages used the way a person uses them: typing, Tab, Shift+Tab, Enter,
// clicks elsewhere, Delete one event after another, Save in the middle of an
// edit, the arrow keys right after start-up and F1 on an empty page.
#include "vo_base_pic_button.h"
#include "pages_fixture.h"

#include "helpviewer.h"

#include <QClipboard>
#include <QHeaderView>
#include <QTextBrowser>

using namespace pages;

namespace {

class KeyboardUse : public PagesTest {
protected:
    QStringList times(long row) const
    {
        QStringList t;
        for (int n = 1; n <= 6; ++n)
            t << dates()->GetItemString(row, QString("time%1").arg(n));
        return t;
    }
    // The fields of the one line of the saved dates file.
    QStringList savedDateFields() const
    {
        const QList<QByteArray> lines = readData("VantelEventDates.txt").split('\n');
        return QString::fromUtf8(lines.value(0)).remove('\r').split('\t');
    }
    QTableView *datesGrid() const { return dw("dw_event_dates")->gridView(); }
    bool cellEditorOpen() const
    {
        QTableView *g = datesGrid();
        return g->indexWidget(g->currentIndex()) != nullptr;
    }
};

TEST_F(KeyboardUse, EveryWayOfLeavingACellCommitsIntoThatCellOnly)
{
    openOnDates(dateLine("EV1", "TI1", "Bonn", "2025-06-01", "2025-06-02", "0000"));

    // A time typed, then Tab through the other five times without typing.
    clickCell("dw_event_dates", 1, "time1");
    type("1015");
    for (int i = 0; i < 5; ++i)
        press(Qt::Key_Tab);
    EXPECT_EQ(focusedColumn(), "time6");
    EXPECT_EQ(times(1), QStringList({"1015", "0000", "0000", "0000", "0000", "0000"}));

    // Dates typed in the user's pattern; Tab out of the end date leaves the
    // first time alone.
    clickCell("dw_event_dates", 1, "start_date");
    type("03072025");
    press(Qt::Key_Tab);
    type("04072025");
    press(Qt::Key_Tab);
    EXPECT_EQ(focusedColumn(), "time1");
    EXPECT_EQ(dates()->GetItemDate(1, "start_date"), QDate(2025, 7, 3));
    EXPECT_EQ(dates()->GetItemDate(1, "end_date"), QDate(2025, 7, 4));
    EXPECT_EQ(times(1)[0], "1015");

    // Enter moves on like Tab; Shift+Tab goes back; neither carries text.
    type("1100");
    press(Qt::Key_Return);
    EXPECT_EQ(focusedColumn(), "time2");
    type("1230");
    press(Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(focusedColumn(), "time1");
    EXPECT_EQ(times(1), QStringList({"1100", "1230", "0000", "0000", "0000", "0000"}));
    EXPECT_EQ(dates()->GetItemDate(1, "end_date"), QDate(2025, 7, 4));

    // A click on another cell commits into the cell that was edited.
    clickCell("dw_event_dates", 1, "time3");
    type("1400");
    clickCell("dw_event_dates", 1, "city");
    EXPECT_EQ(times(1), QStringList({"1100", "1230", "1400", "0000", "0000", "0000"}));
    EXPECT_EQ(dates()->GetItemString(1, "city"), "Bonn");
    EXPECT_TRUE(saveEnabled());
}

TEST_F(KeyboardUse, SaveDuringAnEditLeavesTheGridAndWritesNoCurrentColumn)
{
    openOnDates(dateLine("EV1", "TI1", "Bonn", "2025-06-01", "2025-06-02", "0900"));
    clickCell("dw_event_dates", 1, "time2");
    type("1100");
    ASSERT_TRUE(cellEditorOpen());
    clickButton("pb_save");
    QCoreApplication::processEvents();

    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_FALSE(saveEnabled());
    EXPECT_FALSE(dw("dw_event_dates")->isAncestorOf(focused()));
    EXPECT_FALSE(cellEditorOpen());
    const QStringList f = savedDateFields();
    ASSERT_EQ(f.size(), 13);
    EXPECT_EQ(f.mid(6, 2), QStringList({"0900", "1100"}));
    EXPECT_EQ(f[12], "") << "current_column";
}

TEST_F(KeyboardUse, CtrlSDuringAnEditSavesAndLeavesTheCursorInTheGrid)
{
    openOnDates(dateLine("EV1", "TI1", "Bonn", "2025-06-01", "2025-06-02", "0900"));
    clickCell("dw_event_dates", 1, "time2");
    type("1100");
    press(Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(saveEnabled());
    EXPECT_EQ(savedDateFields().mid(6, 2), QStringList({"0900", "1100"}));
    EXPECT_EQ(savedDateFields().value(12), "") << "current_column";
    // Typing goes on in the same cell, not into the Close button.
    ASSERT_TRUE(dw("dw_event_dates")->isAncestorOf(focused()));
    type("1115");
    press(Qt::Key_Tab);
    EXPECT_EQ(times(1).mid(0, 2), QStringList({"0900", "1115"}));
    EXPECT_TRUE(saveEnabled());
}

TEST_F(KeyboardUse, DeleteMakesTheFollowingEventCurrentUntilNoneIsLeft)
{
    writeAdmin("ann", "Bonn", "NRW");
    writeEvents(3, 2);
    openWindow();
    clickTab(List);

    clickCell("dw_event_list", 2, "name");
    clickButton("pb_4");
    EXPECT_EQ(counter(), "Event 2 of 2");
    EXPECT_EQ(w->is_event_id, "EV3");
    EXPECT_TRUE(dw("dw_event_list")->IsSelected(2));
    ASSERT_EQ(dates()->RowCount(), 2);
    EXPECT_EQ(dates()->GetItemString(1, "city"), "City 3");

    // Deleting the last row makes the new last row current.
    clickButton("pb_4");
    EXPECT_EQ(counter(), "Event 1 of 1");
    EXPECT_EQ(w->is_event_id, "EV1");
    ASSERT_EQ(dates()->RowCount(), 2);
    EXPECT_EQ(dates()->GetItemString(1, "city"), "City 1");

    clickButton("pb_4");
    EXPECT_EQ(counter(), "Event 0 of 0");
    EXPECT_EQ(events()->RowCount(), 0);

    clickButton("pb_save");
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_FALSE(saveEnabled());
    EXPECT_EQ(readData("VantelEvents.txt"), "");
    EXPECT_EQ(readData("VantelEventDates.txt"), "");
}

TEST_F(KeyboardUse, DeletingTheFirstOfTwoEventsLeavesTheSecondCurrentAndDeletable)
{
    writeAdmin("ann", "Bonn", "NRW");
    writeEvents(2, 1);
    openWindow();
    clickTab(List);
    clickButton("pb_4");
    EXPECT_EQ(counter(), "Event 1 of 1");
    EXPECT_EQ(w->is_event_id, "EV2");
    clickButton("pb_4");
    EXPECT_EQ(counter(), "Event 0 of 0");
    EXPECT_EQ(events()->RowCount(), 0);
}

TEST_F(KeyboardUse, ArrowKeysMoveTheEventListRightAfterStartUp)
{
    writeAdmin("ann", "Bonn", "NRW");
    writeEvents(3, 1);
    openWindow();
    clickTab(List);
    ASSERT_TRUE(dw("dw_event_list")->isAncestorOf(focused()));
    press(Qt::Key_Down);
    EXPECT_EQ(counter(), "Event 2 of 3");
    press(Qt::Key_Down);
    EXPECT_EQ(counter(), "Event 3 of 3");
    EXPECT_EQ(w->is_event_id, "EV3");
    press(Qt::Key_Up);
    EXPECT_EQ(counter(), "Event 2 of 3");
    // The ID column is the list's too: clicking it selects its event.
    QTableView *grid = dw("dw_event_list")->gridView();
    const QModelIndex id = grid->model()->index(0, grid->horizontalHeader()->logicalIndex(0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(id).center());
    EXPECT_EQ(counter(), "Event 1 of 3");
}

TEST_F(KeyboardUse, F1RightAfterStartUpNamesTheAdminPage)
{
    writeAdmin();
    openWindow();
    QTest::keyClick(focused() ? focused() : w.get(), Qt::Key_F1);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "admin.htm");
    auto *browser = rt::helpWindow()->findChild<QTextBrowser *>("help_browser");
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->source().toString().endsWith("admin.htm"));
}

TEST_F(KeyboardUse, F1OnTheDetailPageWithNoEventNamesTheDetailPage)
{
    writeAdmin();
    openWindow();
    clickTab(Detail);
    ASSERT_EQ(page(), Detail);
    ASSERT_EQ(focused(), dw("dw_events"));
    press(Qt::Key_F1);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "eventsdetail.htm");
}

TEST_F(KeyboardUse, FormFieldsTakeTheirOwnTextWhenTabbedThrough)
{
    openOnDetailName(1);
    type("Harbour Fair");
    press(Qt::Key_Tab);
    const QString next = focusedColumn();
    ASSERT_NE(next, "name");
    press(Qt::Key_Tab);
    EXPECT_EQ(events()->GetItemString(1, "name"), "Harbour Fair");
    EXPECT_EQ(events()->GetItemString(1, "sdescription"), "short Event 1");
    EXPECT_NE(events()->GetItemString(1, next), "Harbour Fair");

    // The admin form the same way.
    clickTab(Admin);
    ASSERT_NE(selectField("dw_admin", "default_city"), nullptr);
    type("Kiel");
    press(Qt::Key_Tab, Qt::ShiftModifier);
    press(Qt::Key_Tab, Qt::ShiftModifier);
    const RecordSet *admin = dw("dw_admin")->recordSet();
    EXPECT_EQ(admin->GetItemString(1, "default_city"), "Kiel");
    EXPECT_EQ(admin->GetItemString(1, "default_state"), "NRW");
    EXPECT_EQ(admin->GetItemString(1, "user_id"), "ann");
}

// A paste brings tabs and line breaks into a field of one line as spaces,
// so that the files keep one line per record; a multi-line field keeps
// its line breaks.
TEST_F(KeyboardUse, PastedTabsAndLineBreaksBecomeSpacesInFieldsOfOneLine)
{
    openOnDates(dateLine("EV1", "TI1", "Bonn"));
    clickCell("dw_event_dates", 1, "city");
    QGuiApplication::clipboard()->setText("Bad\tGodes\r\nberg\n");
    press(Qt::Key_V, Qt::ControlModifier);
    press(Qt::Key_Tab);
    EXPECT_EQ(dates()->GetItemString(1, "city"), "Bad Godes berg ");

    clickTab(Detail);
    QGuiApplication::clipboard()->setText("Old\rTown\tHall");
    selectField("dw_events", "venue");
    press(Qt::Key_V, Qt::ControlModifier);
    type("!");
    clickButton("pb_save");
    EXPECT_EQ(events()->GetItemString(1, "venue"), "Old Town Hall!");
    EXPECT_EQ(readData("VantelEventDates.txt").count("\r\n"), 1);
    EXPECT_TRUE(readData("VantelEvents.txt").contains("\tOld Town Hall!\t"));

    auto *description = qobject_cast<QPlainTextEdit *>(dw("dw_events")->editorFor("sdescription"));
    ASSERT_NE(description, nullptr);
    QTest::mouseClick(description->viewport(), Qt::LeftButton);
    description->selectAll();
    QGuiApplication::clipboard()->setText("two\nlines");
    press(Qt::Key_V, Qt::ControlModifier);
    press(Qt::Key_Tab);
    EXPECT_EQ(events()->GetItemString(1, "sdescription"), "two\nlines");
}

TEST_F(KeyboardUse, CtrlTabTurnsThePagesWhereverTheFocusIs)
{
    openOnDetailName(2);
    // A drop-down takes a plain tab character for a search through its list.
    press(Qt::Key_Tab, Qt::ShiftModifier);
    ASSERT_EQ(focused(), dw("dw_events")->editorFor("country"));
    press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(page(), Dates);
    press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(page(), Admin); // round to the first page
    press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier); // as X11 sends Ctrl+Shift+Tab
    EXPECT_EQ(page(), Dates);
    press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(page(), Detail);
}

TEST_F(KeyboardUse, TabVisitsTheButtonsOfAPageInTheirRowThenItsGrid)
{
    writeAdmin("ann", "Bonn", "NRW");
    writeEvents(2, 1);
    openWindow();
    clickTab(List);
    QWidget *grid = focused();
    ASSERT_TRUE(dw("dw_event_list")->isAncestorOf(grid));
    for (const char *name : {"pb_import", "pb_4", "pb_new_copy", "pb_new"}) {
        press(Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(focused()->objectName(), name);
    }
    for (const char *name : {"pb_new_copy", "pb_4", "pb_import"}) {
        press(Qt::Key_Tab);
        EXPECT_EQ(focused()->objectName(), name);
    }
    press(Qt::Key_Tab);
    EXPECT_EQ(focused(), grid);

    // The date lines: Shift+Tab from the first field of the first line,
    // with its text typed, leaves the grid for its buttons.
    clickTab(Dates);
    clickCell("dw_event_dates", 1, "state");
    type("Saxony");
    ASSERT_EQ(focusedColumn(), "state");
    for (const char *button : {"pb_shift_dates", "pb_schedule", "pb_delete_date", "pb_new_date"}) {
        press(Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(focused()->objectName(), button);
    }
    EXPECT_EQ(dates()->GetItemString(1, "state"), "Saxony");

    // The bar under the pages: the menu of the other exports is a picture
    // button like those beside it, reached with Tab straight after Export.
    button("pb_export")->setFocus();
    press(Qt::Key_Tab);
    EXPECT_EQ(focused()->objectName(), "pb_export_menu");
    EXPECT_NE(qobject_cast<vo_base_pic_button *>(focused()), nullptr);
    EXPECT_EQ(focused()->height(), button("pb_export")->height());
}

// A screen reader finds a name on every field, drop-down, grid and button of
// the four pages: the field's label, the button's text.
TEST_F(KeyboardUse, EveryControlOfThePagesHasASpokenName)
{
    openOnDates(dateLine("EV1", "TI1", "Bonn"));
    // The name given to the widget; Qt's own drop-down reports its current
    // value under that role, so the property is what is checked.
    auto spoken = [](QWidget *wdg) { return wdg ? wdg->accessibleName() : QString(); };
    for (int p : {Admin, List, Detail, Dates}) {
        QWidget *pageWidget = tabs()->widget(p);
        for (QWidget *c : pageWidget->findChildren<QWidget *>()) {
            if (qobject_cast<QLineEdit *>(c) || qobject_cast<QComboBox *>(c) || qobject_cast<QPlainTextEdit *>(c)
                || qobject_cast<QTableView *>(c) || qobject_cast<QPushButton *>(c)) {
                EXPECT_FALSE(spoken(c).isEmpty()) << c->objectName().toStdString();
            }
        }
    }
    EXPECT_EQ(spoken(dw("dw_admin")->editorFor("user_id")), "Login ID");
    EXPECT_EQ(spoken(dw("dw_events")->editorFor("sdescription")), "Short description");
    EXPECT_EQ(spoken(dw("dw_events")->editorFor("category")), "Category");
    EXPECT_EQ(spoken(button("pb_new_copy")), "Copy");
    EXPECT_EQ(spoken(dw("dw_event_dates")->gridView()), "Event Dates & Times");
    clickCell("dw_event_dates", 1, "time2");
    EXPECT_EQ(spoken(focused()), "Time 2");
}

} // namespace
