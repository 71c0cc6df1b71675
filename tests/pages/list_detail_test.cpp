// The event list and the detail form: selecting an event, and the New, Copy
// and Delete commands.
#include "pages_fixture.h"

#include <set>

using namespace pages;

namespace {

class EventPages : public PagesTest {
protected:
    void openOnList(int n, int linesEach, const QByteArray &extraEvents = {})
    {
        writeAdmin("ann", "Bonn", "NRW");
        writeEvents(n, linesEach);
        if (!extraEvents.isEmpty()) {
            QFile f(dataDir() + "VantelEvents.txt");
            ASSERT_TRUE(f.open(QIODevice::Append));
            f.write(extraEvents);
        }
        openWindow();
        clickTab(List);
        ASSERT_EQ(page(), List);
    }
    // The event of every date line of the document, shown or not.
    std::vector<QString> allDateEventIds()
    {
        const RecordSet &d = w->document().dates();
        std::vector<QString> ids;
        for (long place = 0; place < d.allRowCount(); ++place)
            ids.push_back(QString::fromUtf8(d.valueAt(place, d.columnIndex("event_id"))));
        return ids;
    }
    QString detailText(const char *column)
    {
        QWidget *e = dw("dw_events")->editorFor(column);
        if (auto *l = qobject_cast<QLineEdit *>(e))
            return l->text();
        if (auto *p = qobject_cast<QPlainTextEdit *>(e))
            return p->toPlainText();
        return {};
    }
};

TEST_F(EventPages, ClickingTheFifthOfSevenSelectsItEverywhere)
{
    openOnList(7, 2);
    EXPECT_EQ(counter(), "Event 1 of 7");

    clickCell("dw_event_list", 5, "name");
    EXPECT_EQ(counter(), "Event 5 of 7");
    EXPECT_EQ(w->is_event_id, "EV5");
    EXPECT_TRUE(dw("dw_event_list")->IsSelected(5));
    EXPECT_FALSE(dw("dw_event_list")->IsSelected(1));
    EXPECT_EQ(detailText("name"), "Event 5");
    ASSERT_EQ(dates()->RowCount(), 2);
    for (long r = 1; r <= 2; ++r)
        EXPECT_EQ(dates()->GetItemString(r, "event_id"), "EV5");

    // A double click brings the detail form of the clicked event.
    const QTableView *grid = dw("dw_event_list")->gridView();
    const QRect cell = grid->visualRect(grid->model()->index(5, events()->columnIndex("name") - 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QCoreApplication::processEvents();
    EXPECT_EQ(page(), Detail);
    EXPECT_EQ(counter(), "Event 6 of 7");
    EXPECT_EQ(detailText("name"), "Event 6");
}

// The detail form is filled when it comes into sight: what it shows then,
// and what it keeps, are the current event's, however many events went by
// while it was out of sight.
TEST_F(EventPages, DetailFormShowsAndKeepsTheEventChosenWhileItWasHidden)
{
    openOnList(6, 1);
    reactivate();
    auto field = [this](const char *column) { // as a person sees it, not through the data window
        return w->findChild<QWidget *>("tabpage_events_detail")->findChild<QLineEdit *>(column);
    };
    auto shown = [&](const char *column) { return field(column)->text(); };
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    clickTab(Detail);
    EXPECT_EQ(counter(), "Event 3 of 6");
    EXPECT_EQ(shown("name"), "Event 3");
    QTest::mouseClick(field("name"), Qt::LeftButton);
    press(Qt::Key_End);
    type(" changed");
    clickTab(List);
    for (Qt::Key k : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up})
        press(k);
    clickTab(Detail);
    EXPECT_EQ(counter(), "Event 4 of 6");
    EXPECT_EQ(shown("name"), "Event 4");
    for (long r = 1; r <= 6; ++r)
        EXPECT_EQ(events()->GetItemString(r, "name"), r == 3 ? QString("Event 3 changed") : "Event " + QString::number(r));
}

TEST_F(EventPages, SwitchingPagesPutsTheFocusIntoThePagesDataWindow)
{
    openOnList(2, 1);
    EXPECT_TRUE(dw("dw_event_list")->isAncestorOf(w->focusWidget()));
    EXPECT_EQ(w->is_help_topic, "eventslist.htm");
    clickTab(Detail);
    EXPECT_TRUE(dw("dw_events")->isAncestorOf(w->focusWidget()));
    EXPECT_EQ(w->is_help_topic, "eventsdetail.htm");
    clickTab(Dates);
    EXPECT_TRUE(dw("dw_event_dates")->isAncestorOf(w->focusWidget()));
    EXPECT_EQ(w->is_help_topic, "eventdates.htm");
    clickTab(Admin);
    EXPECT_TRUE(dw("dw_admin")->isAncestorOf(w->focusWidget()));
    EXPECT_EQ(w->is_help_topic, "admin.htm");
}

TEST_F(EventPages, NewIsRefusedWhileAnyEventLacksAMandatoryValue)
{
    // The incomplete event is not the selected one.
    openOnList(2, 1, eventLine("EV3", "No cost", "DE", "Bonn", "70", ""));
    clickButton("pb_new");
    expectRefusedAsIncomplete();
    EXPECT_EQ(events()->RowCount(), 3);
    EXPECT_EQ(allDateEventIds().size(), 2u);
    EXPECT_EQ(page(), List);
    EXPECT_FALSE(saveEnabled());
}

TEST_F(EventPages, NewOnAnEmptyListMakesOneEventWithOneDateLine)
{
    openOnList(0, 0);
    EXPECT_FALSE(saveEnabled());
    clickButton("pb_new");
    EXPECT_TRUE(boxes.calls().empty());
    ASSERT_EQ(events()->RowCount(), 1);
    EXPECT_EQ(page(), Detail);
    EXPECT_EQ(counter(), "Event 1 of 1");
    // The detail form, which shares the rows, shows the new event.
    EXPECT_EQ(dw("dw_events")->GetRow(), 1);
    EXPECT_EQ(qobject_cast<QComboBox *>(dw("dw_events")->editorFor("category"))->currentText(), "General");
    EXPECT_TRUE(events()->GetItemString(1, "event_id").startsWith("EV"));
    EXPECT_EQ(events()->GetItemString(1, "category"), "70");
    EXPECT_EQ(events()->GetItemString(1, "cost"), "Free");
    EXPECT_EQ(events()->GetItemString(1, "country"), "DE");
    ASSERT_EQ(dates()->RowCount(), 1);
    EXPECT_EQ(dates()->GetItemString(1, "event_id"), events()->GetItemString(1, "event_id"));
    EXPECT_TRUE(dates()->GetItemString(1, "time_id").startsWith("TI"));
    EXPECT_EQ(dates()->GetItemString(1, "city"), "Bonn");
    EXPECT_TRUE(saveEnabled());
}

TEST_F(EventPages, CopyOfAnEventWithThreeDateLinesCopiesTheLinesWithFreshKeys)
{
    openOnList(2, 3);
    clickCell("dw_event_list", 2, "name");
    clickButton("pb_new_copy");

    EXPECT_EQ(page(), List);
    ASSERT_EQ(events()->RowCount(), 3);
    EXPECT_EQ(counter(), "Event 3 of 3");
    const QString copyId = events()->GetItemString(3, "event_id");
    EXPECT_TRUE(copyId.startsWith("EV"));
    EXPECT_NE(copyId, "EV2");
    EXPECT_EQ(w->is_event_id, copyId);
    EXPECT_EQ(events()->GetItemString(3, "name"), "Event 2");

    ASSERT_EQ(dates()->RowCount(), 3);
    std::set<QString> timeIds;
    for (long r = 1; r <= 3; ++r) {
        EXPECT_EQ(dates()->GetItemString(r, "event_id"), copyId);
        EXPECT_EQ(dates()->GetItemString(r, "city"), "City 2");
        EXPECT_EQ(dates()->GetItemString(r, "start_date"), "2025-06-01");
        EXPECT_EQ(dates()->GetItemString(r, "time1"), "1900");
        timeIds.insert(dates()->GetItemString(r, "time_id"));
    }
    EXPECT_EQ(timeIds.size(), 3u);
    for (const QString &id : timeIds)
        EXPECT_TRUE(id.startsWith("TI") && !id.startsWith("TI2_")) << id.toStdString();

    const auto all = allDateEventIds();
    EXPECT_EQ(std::count(all.begin(), all.end(), "EV2"), 3);
    EXPECT_EQ(all.size(), 9u);
    EXPECT_TRUE(saveEnabled());
}

TEST_F(EventPages, CopyOfAnEventWithoutDatesGetsOneFreshLineOnTheDetailPage)
{
    openOnList(1, 0);
    clickButton("pb_new_copy");
    EXPECT_EQ(page(), Detail);
    ASSERT_EQ(events()->RowCount(), 2);
    EXPECT_EQ(counter(), "Event 2 of 2");
    ASSERT_EQ(dates()->RowCount(), 1);
    EXPECT_EQ(dates()->GetItemString(1, "event_id"), events()->GetItemString(2, "event_id"));
    EXPECT_EQ(dates()->GetItemString(1, "city"), "Bonn");
    EXPECT_EQ(dates()->GetItemString(1, "state"), "NRW");
    EXPECT_TRUE(dates()->IsNull(1, "start_date"));
    EXPECT_EQ(allDateEventIds().size(), 1u);
}

TEST_F(EventPages, CopyWithNoEventIsRefused)
{
    openOnList(0, 0);
    clickButton("pb_new_copy");
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].title, "Event Copy");
    EXPECT_EQ(boxes.calls()[0].text, "You must have a selected event before you my copy the information !");
    EXPECT_EQ(events()->RowCount(), 0);
}

TEST_F(EventPages, DeletingAnEventTakesItsDateLinesWithIt)
{
    openOnList(3, 2);
    clickCell("dw_event_list", 2, "name");
    clickButton("pb_4");

    ASSERT_EQ(events()->RowCount(), 2);
    EXPECT_EQ(events()->GetItemString(1, "event_id"), "EV1");
    EXPECT_EQ(events()->GetItemString(2, "event_id"), "EV3");
    const auto all = allDateEventIds();
    EXPECT_EQ(all.size(), 4u);
    EXPECT_EQ(std::count(all.begin(), all.end(), "EV2"), 0);
    // The event now current is selected everywhere, with its own lines.
    const QString selected = events()->GetItemString(dw("dw_event_list")->GetRow(), "event_id");
    EXPECT_EQ(w->is_event_id, selected);
    ASSERT_EQ(dates()->RowCount(), 2);
    EXPECT_EQ(dates()->GetItemString(1, "event_id"), selected);
    EXPECT_TRUE(saveEnabled());
}

TEST_F(EventPages, DeletingTheLastEventEmptiesTheDateLines)
{
    openOnList(1, 3);
    clickButton("pb_4");
    EXPECT_EQ(events()->RowCount(), 0);
    EXPECT_EQ(dates()->RowCount(), 0);
    EXPECT_EQ(dates()->FilteredCount(), 0);
    EXPECT_EQ(counter(), "Event 0 of 0");
    EXPECT_TRUE(saveEnabled());

    // Nothing left to delete: nothing happens.
    clickButton("pb_4");
    EXPECT_TRUE(boxes.calls().empty());
}

TEST_F(EventPages, DoubleClickBelowTheLastEventAlsoShowsTheDetailPage)
{
    openOnList(2, 1);
    clickCell("dw_event_list", 2, "name");
    QTableView *grid = dw("dw_event_list")->gridView();
    const QPoint below(grid->viewport()->width() / 2, grid->viewport()->height() - 3);
    ASSERT_FALSE(grid->indexAt(below).isValid());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, below);
    QCoreApplication::processEvents();
    EXPECT_EQ(page(), Detail);
    EXPECT_EQ(counter(), "Event 2 of 2");
}

// A text of several lines gives its line breaks back as line feeds: passing
// through it changes nothing, and an edit keeps the record's carriage returns.
TEST_F(EventPages, PassingThroughAFieldOfSeveralLinesLeavesItsLineBreaks)
{
    writeAdmin("ann", "Bonn", "NRW");
    writeData("VantelEvents.txt", testing_support::eventLine("EV1", "Fair", "\"line one\r\nline two\"")
                                      + testing_support::eventLine("EV2", "Show", "\"one\r\ntwo\""));
    writeData("VantelEventDates.txt", dateLine("EV1", "TI1", "Bonn") + dateLine("EV2", "TI2", "Bonn"));
    openWindow();
    clickTab(Detail);
    selectField("dw_events", "name");
    press(Qt::Key_Tab); // into the short description
    ASSERT_EQ(focusedColumn(), "sdescription");
    press(Qt::Key_Tab);
    press(Qt::Key_Tab);
    EXPECT_EQ(events()->GetItemString(1, "sdescription"), "line one\r\nline two");
    EXPECT_FALSE(saveEnabled());

    press(Qt::Key_PageDown);
    QTest::mouseClick(dw("dw_events")->editorFor("sdescription"), Qt::LeftButton);
    press(Qt::Key_End, Qt::ControlModifier);
    type("!");
    press(Qt::Key_Tab);
    EXPECT_EQ(events()->GetItemString(2, "sdescription"), "one\r\ntwo!");
    clickButton("pb_save");
    const QByteArray written = readData("VantelEvents.txt");
    EXPECT_TRUE(written.contains("Fair\t\"line one\r\nline two\"\t")) << written.constData();
    EXPECT_TRUE(written.contains("Show\t\"one\r\ntwo!\"\t")) << written.constData();
}

// Moving through the detail form moves the selection with it, but Copy and
// Delete still take the list's own current row.
TEST_F(EventPages, RowChangeInTheDetailFormFollowsEverywhereButTheListsCurrentRow)
{
    openOnList(3, 1);
    clickTab(Detail);
    QWidget *field = focused();
    ASSERT_NE(field, nullptr);
    ASSERT_TRUE(dw("dw_events")->isAncestorOf(field));
    const QString column = focusedColumn();
    const QColor pink(255, 180, 180), cream(255, 251, 240);
    EXPECT_EQ(field->palette().color(QPalette::Base), pink);
    EXPECT_EQ(dw("dw_events")->editorFor("venue")->palette().color(QPalette::Base), cream);

    press(Qt::Key_PageDown);
    EXPECT_EQ(dw("dw_events")->GetRow(), 2);
    EXPECT_EQ(counter(), "Event 2 of 3");
    EXPECT_EQ(w->is_event_id, "EV2");
    EXPECT_TRUE(dw("dw_event_list")->IsSelected(2));
    EXPECT_FALSE(dw("dw_event_list")->IsSelected(1));
    ASSERT_EQ(dates()->RowCount(), 1);
    EXPECT_EQ(dates()->GetItemString(1, "event_id"), "EV2");
    EXPECT_EQ(dw("dw_event_list")->GetRow(), 1);
    // The field with the focus stays highlighted on the new event.
    EXPECT_EQ(events()->GetItemString(2, "current_column"), column);
    EXPECT_EQ(focused()->palette().color(QPalette::Base), pink);

    clickTab(List);
    clickButton("pb_4");
    ASSERT_EQ(events()->RowCount(), 2);
    EXPECT_EQ(events()->GetItemString(1, "event_id"), "EV2");
    EXPECT_EQ(events()->GetItemString(2, "event_id"), "EV3");
}

} // namespace
