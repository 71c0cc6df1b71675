#include "datafiles.h"
#include "definition.h"
#include "recordset.h"
#include "recordsetmodel.h"
#include "recordsetview.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Date lines of three events in the order a1 b1 a2 c1 b2.
struct Dates : ::testing::Test {
    RecordSet rs{definition("d_event_dates")};
    void add(const QString &event, const QString &key)
    {
        const long r = rs.InsertRow(0);
        rs.SetItem(r, "event_id", event);
        rs.SetItem(r, "time_id", key);
    }
    QStringList keys() const
    {
        QStringList out;
        for (long r = 1; r <= rs.RowCount(); ++r)
            out << rs.GetItemString(r, "time_id");
        return out;
    }
    void SetUp() override
    {
        add("A", "a1");
        add("B", "b1");
        add("A", "a2");
        add("C", "c1");
        add("B", "b2");
    }
};

TEST_F(Dates, FilterHoldsRowsAsideAndBringsThemBackInTheirPlaces)
{
    ASSERT_EQ(rs.SetFilter("event_id = 'B'"), 1);
    ASSERT_EQ(rs.Filter(), 1);
    EXPECT_EQ(keys(), QStringList({"b1", "b2"}));
    EXPECT_EQ(rs.FilteredCount(), 3);
    // A change made while held aside is kept, and so is a row inserted in the filtered view.
    rs.SetItem(1, "city", "Bern");
    const long r = rs.InsertRow(2);
    rs.SetItem(r, "event_id", "B");
    rs.SetItem(r, "time_id", "bX");
    rs.SetFilter("event_id = 'nothing'");
    rs.Filter();
    EXPECT_EQ(rs.RowCount(), 0);
    rs.SetFilter("");
    rs.Filter();
    EXPECT_EQ(keys(), QStringList({"a1", "b1", "a2", "c1", "bX", "b2"}));
    EXPECT_EQ(rs.GetItemString(2, "city"), "Bern");
}

TEST_F(Dates, FilterFollowsChangedKeys)
{
    rs.SetFilter("event_id = 'A'");
    rs.Filter();
    rs.SetItem(1, "event_id", "C"); // a1 moves to event C
    rs.SetFilter("event_id = 'C'");
    rs.Filter();
    EXPECT_EQ(keys(), QStringList({"a1", "c1"}));
    rs.DeleteRow(2);
    rs.SetFilter("");
    rs.Filter();
    EXPECT_EQ(keys(), QStringList({"a1", "b1", "a2", "b2"}));
}

TEST_F(Dates, OtherFilterFormsAreRefused)
{
    rs.SetFilter("event_id = 'A'");
    EXPECT_EQ(rs.SetFilter("event_id <> 'A'"), -1);
    EXPECT_EQ(rs.SetFilter("start_date = '2024-01-01'"), -1); // not a string column
    EXPECT_EQ(rs.SetFilter("nosuch = 'A'"), -1);
    EXPECT_EQ(rs.filterText(), "event_id = 'A'");
    rs.Filter();
    EXPECT_EQ(rs.RowCount(), 2);
}

TEST_F(Dates, FindSearchesTheGivenRange)
{
    EXPECT_EQ(rs.Find("time_id = 'c1'", 1, rs.RowCount()), 4);
    EXPECT_EQ(rs.Find("event_id = 'B'", 3, 5), 5);
    EXPECT_EQ(rs.Find("event_id = 'B'", 1, 1), 0);
    EXPECT_EQ(rs.Find("event_id = 'B'", 6, 5), 5); // backwards
    EXPECT_EQ(rs.Find("event_id = 'B'", 6, 9), 0); // past the last row
    EXPECT_EQ(rs.Find("time_id = 'zz'", 1, 5), 0);
    EXPECT_EQ(rs.Find("time_id == zz", 1, 5), -1);
    // Through the filter index, row numbers are those of the passing rows.
    rs.SetFilter("event_id = 'B'");
    rs.Filter();
    EXPECT_EQ(rs.Find("event_id = 'B'", 2, 2), 2);
    EXPECT_EQ(rs.Find("time_id = 'b2'", 1, rs.RowCount()), 2);
}

TEST_F(Dates, OutOfRangeChangesNothing)
{
    EXPECT_EQ(rs.SetItem(6, 1, "x"), -1);
    EXPECT_EQ(rs.SetItem(1, 14, "x"), -1);
    EXPECT_EQ(rs.SetItem(1, "nosuch", "x"), -1);
    EXPECT_EQ(rs.DeleteRow(0), -1);
    EXPECT_EQ(rs.InsertRow(7), -1);
    EXPECT_EQ(rs.SetItem(1, "start_date", "31.12.2024"), -1);
    EXPECT_TRUE(rs.IsNull(1, "start_date"));
    EXPECT_EQ(rs.GetItemString(9, 1), QString());
    EXPECT_EQ(rs.RowCount(), 5);
    EXPECT_EQ(rs.Reset(), 1);
    EXPECT_EQ(rs.RowCount() + rs.FilteredCount(), 0);
}

TEST_F(Dates, RowsCopyWithinTheSet)
{
    rs.SetItem(1, "start_date", QDate(2024, 5, 1));
    ASSERT_EQ(rs.RowsCopy(1, 2, rs, 100), 1);
    EXPECT_EQ(keys(), QStringList({"a1", "b1", "a2", "c1", "b2", "a1", "b1"}));
    EXPECT_EQ(rs.GetItemDate(6, "start_date"), QDate(2024, 5, 1));
    ASSERT_EQ(rs.RowsCopy(4, 4, rs, 1), 1);
    EXPECT_EQ(keys().first(), "c1");
    rs.SetItem(1, "time_id", "changed");
    EXPECT_EQ(rs.GetItemString(5, "time_id"), "c1"); // a copy, not the same row
    EXPECT_EQ(rs.RowsCopy(3, 2, rs, 0), -1);
}

// Thousands of lines read from a file, those of each event spread over the
// whole file: a filter finds every line of its event, in file order, also
// once rows were changed, inserted, deleted and read in again; with the
// index made later or along with the reading of the file.
class RecordSetFilter : public ::testing::TestWithParam<bool> {
protected:
    static constexpr int kEvents = 700, kPerEvent = 9;
    static QByteArray lines(int from, int count)
    {
        QByteArray text;
        for (int k = from; k < from + count; ++k)
            text += "EV" + QByteArray::number(k % kEvents) + "\tTI" + QByteArray::number(k)
                    + "\tBonn\t\t2025-06-01\t2025-06-01\t1900\t0000\t0000\t0000\t0000\t0000\t\r\n";
        return text;
    }
    // The keys of the lines of `event`, `count` of them, in file order.
    static QStringList expected(int event, int count)
    {
        QStringList keys;
        for (int i = 0; i < count; ++i)
            keys << "TI" + QString::number(event + i * kEvents);
        return keys;
    }
    void SetUp() override
    {
        if (GetParam()) {
            QTemporaryDir dir;
            QFile file(dir.filePath("dates.txt"));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(lines(0, kEvents * kPerEvent)) > 0 && file.flush());
            datafiles::FileRead read = datafiles::readFile(rs, file.fileName(), rs.columnIndex("event_id"));
            ASSERT_EQ(datafiles::finishRead(rs, read, file.fileName(), nullptr), kEvents * kPerEvent);
        } else {
            ASSERT_EQ(datafiles::importBytes(rs, lines(0, kEvents * kPerEvent), "dates", nullptr), kEvents * kPerEvent);
        }
    }
    RecordSet rs{definition("d_event_dates")};
};
INSTANTIATE_TEST_SUITE_P(IndexMadeWhileReading, RecordSetFilter, ::testing::Bool());

TEST_P(RecordSetFilter, FindsTheLinesOfAnEventAmongThousands)
{
    auto shown = [this](const QString &event) {
        rs.SetFilter("event_id = '" + event + "'");
        rs.Filter();
        QStringList keys;
        for (long r = 1; r <= rs.RowCount(); ++r)
            keys << rs.GetItemString(r, "time_id");
        return keys;
    };
    for (int event : {0, 1, 350, kEvents - 1})
        EXPECT_EQ(shown("EV" + QString::number(event)), expected(event, kPerEvent)) << event;
    EXPECT_TRUE(shown("EV" + QString::number(kEvents)).isEmpty());

    // Changed: the last line of EV5 moves to EV6 and a line is put before
    // the first of EV6; the second line of EV6 goes.
    QStringList ev6 = expected(6, kPerEvent);
    EXPECT_EQ(shown("EV5").size(), kPerEvent);
    rs.SetItem(kPerEvent, "event_id", QString("EV6"));
    shown("EV6");
    const long r = rs.InsertRow(1);
    rs.SetItem(r, "event_id", QString("EV6"));
    rs.SetItem(r, "time_id", QString("new"));
    rs.DeleteRow(3);
    ev6.removeAt(1);
    ev6.prepend("new");
    ev6.insert(kPerEvent - 1, "TI" + QString::number(5 + (kPerEvent - 1) * kEvents));
    EXPECT_EQ(shown("EV6"), ev6);
    EXPECT_EQ(shown("EV5"), expected(5, kPerEvent - 1));

    // More lines read in join their events, after the ones already there.
    ASSERT_EQ(datafiles::importBytes(rs, lines(kEvents * kPerEvent, kEvents), "dates", nullptr), kEvents);
    EXPECT_EQ(shown("EV7"), expected(7, kPerEvent + 1));
    ev6.append("TI" + QString::number(6 + kPerEvent * kEvents));
    EXPECT_EQ(shown("EV6"), ev6);
}

// A view of the lines of one event over the unfiltered set: the same lines
// as the filter, and through every change it tells a model of its rows
// coming, going and changing, each at its place in the view.
TEST_P(RecordSetFilter, AViewShowsTheLinesOfOneEventAndFollowsEveryChange)
{
    RecordSetView view(rs);
    RecordSetModel model(&view);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    auto shown = [&] {
        QStringList keys;
        for (long r = 1; r <= view.RowCount(); ++r)
            keys << rs.GetItemString(view.sourceRow(r), "time_id");
        return keys;
    };
    const int event = rs.columnIndex("event_id");
    EXPECT_EQ(view.RowCount(), kEvents * kPerEvent);
    EXPECT_FALSE(view.showOnly(rs.columnIndex("start_date"), "2025-06-01"));
    ASSERT_TRUE(view.showOnly(event, "EV6"));
    QStringList ev6 = expected(6, kPerEvent);
    EXPECT_EQ(shown(), ev6);
    EXPECT_EQ(model.rowCount(), kPerEvent);
    EXPECT_EQ(view.rowOf(7), 1); // the first line of EV6 is the set's row 7
    EXPECT_EQ(view.rowOf(6), 0);

    // The last line of EV5 moves to EV6 and a line of EV6 is put before
    // every other; the second line of EV6 goes, and a line of EV5 before it.
    QSignalSpy inserted(&view, &RecordSetView::rowsInserted), removed(&view, &RecordSetView::rowsRemoved);
    const long lastOfEv5 = 6 + (kPerEvent - 1) * kEvents;
    rs.SetItem(lastOfEv5, "event_id", QString("EV6"));
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted.at(0).at(0).toLongLong(), kPerEvent); // between the eighth and the ninth of EV6
    const long r = rs.InsertRow(1);
    rs.SetItem(r, "event_id", QString("EV6"));
    rs.SetItem(r, "time_id", QString("new"));
    EXPECT_EQ(inserted.count(), 2);
    rs.DeleteRow(2 + 6 + kEvents);  // EV6's second line
    rs.DeleteRow(2 + 5);            // EV5's first: no row of the view
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed.at(0).at(0).toLongLong(), 3);
    ev6.removeAt(1);
    ev6.prepend("new");
    ev6.insert(kPerEvent - 1, "TI" + QString::number(5 + (kPerEvent - 1) * kEvents));
    EXPECT_EQ(shown(), ev6);
    QSignalSpy changed(&view, &RecordSetView::itemChanged);
    rs.SetItem(view.sourceRow(2), "city", QString("Kiel"));
    rs.SetItem(1 + 7, "city", QString("Jena")); // a line of EV7
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toLongLong(), 2);
    EXPECT_EQ(model.data(model.index(1, rs.columnIndex("city") - 1)).toString(), "Kiel");

    // Lines read in join their events; every line again when shown all.
    ASSERT_EQ(datafiles::importBytes(rs, lines(kEvents * kPerEvent, kEvents), "dates", nullptr), kEvents);
    ev6.append("TI" + QString::number(6 + kPerEvent * kEvents));
    EXPECT_EQ(shown(), ev6);
    view.showAll();
    EXPECT_EQ(view.RowCount(), rs.RowCount());
    EXPECT_EQ(view.sourceRow(rs.RowCount()), rs.RowCount());
}

TEST(RecordSet, TypedValuesAndAcceptText)
{
    RecordSet errors(definition("d_show_errors"));
    errors.InsertRow(0);
    EXPECT_EQ(errors.SetItem(1, "al_row", 12), 1);
    EXPECT_EQ(errors.GetItemNumber(1, "al_row"), 12.0);
    EXPECT_EQ(errors.SetItem(1, "al_row", "twelve"), -1);
    RecordSet dates(definition("d_event_dates"));
    dates.InsertRow(0);
    const int start = dates.columnIndex("start_date");
    dates.setEditText(1, start, "2024-02-30");
    EXPECT_EQ(dates.AcceptText(), -1);
    EXPECT_TRUE(dates.hasEditText());
    dates.setEditText(1, start, "2024-02-29");
    EXPECT_EQ(dates.AcceptText(), 1);
    EXPECT_EQ(dates.GetItemDate(1, start), QDate(2024, 2, 29));
    EXPECT_EQ(dates.GetItemDateTime(1, start), QDateTime(QDate(2024, 2, 29), QTime(0, 0)));
    dates.SetItem(1, "time1", "1930");
    EXPECT_EQ(dates.GetItemTime(1, "time1"), QTime(19, 30));
    EXPECT_EQ(dates.SetItem(1, "time1", QVariant()), 1);
    EXPECT_EQ(dates.GetItemString(1, "time1"), QString());
}

TEST(RecordSet, ModifyCellPropertiesAndPrompt)
{
    RecordSet cal(definition("d_calendar"));
    cal.InsertRow(0);
    EXPECT_EQ(cal.cellBorder(12), -1);
    QSignalSpy spy(&cal, &RecordSet::presentationChanged);
    EXPECT_EQ(cal.Modify("#12.border=5 #12.color=255"), "");
    EXPECT_EQ(cal.cellBorder(12), 5);
    EXPECT_EQ(cal.cellColor(12), 255);
    EXPECT_EQ(cal.Describe("#12.border"), "5");
    EXPECT_EQ(cal.Describe("#12.color"), "255");
    EXPECT_EQ(spy.count(), 1);
    EXPECT_NE(cal.Modify("#43.border=5"), "");
    EXPECT_NE(cal.Modify("#1.border=5 #2.bogus=1"), ""); // refused as a whole
    EXPECT_EQ(cal.cellBorder(1), -1);
    EXPECT_EQ(cal.Modify("DataWindow.NoUserPrompt='yes'"), "");
    EXPECT_TRUE(cal.noUserPrompt());
    RecordSet dates(definition("d_event_dates"));
    EXPECT_EQ(dates.Modify("start_date.EditMask.Mask='dd.mm.yyyy'"), "");
    EXPECT_EQ(dates.editMask(dates.columnIndex("start_date")), "dd.mm.yyyy");
}

TEST(RecordSetModel, TwoViewsShareOneSet)
{
    RecordSet rs(definition("d_event_dates"));
    RecordSetModel list(&rs), form(&rs);
    QAbstractItemModelTester t1(&list, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QAbstractItemModelTester t2(&form, QAbstractItemModelTester::FailureReportingMode::Fatal);
    rs.InsertRow(0);
    rs.InsertRow(0);
    rs.InsertRow(1);
    ASSERT_EQ(list.rowCount(), 3);
    const int time1 = rs.columnIndex("time1") - 1;
    EXPECT_TRUE(form.setData(form.index(0, time1), QStringLiteral("1930")));
    EXPECT_EQ(list.data(list.index(0, time1)).toString(), "19:30");
    EXPECT_EQ(list.data(list.index(0, time1), Qt::EditRole).toString(), "1930");
    EXPECT_FALSE(form.setData(form.index(0, rs.columnIndex("end_date") - 1), QStringLiteral("no date")));
    rs.SetItem(2, "event_id", "X");
    rs.SetFilter("event_id = 'X'");
    rs.Filter();
    EXPECT_EQ(list.rowCount(), 1);
    EXPECT_EQ(form.rowCount(), 1);
    rs.DeleteRow(1);
    EXPECT_EQ(form.rowCount(), 0);
    EXPECT_EQ(list.headerData(rs.columnIndex("state") - 1, Qt::Horizontal).toString(), "State / Province / Area");
}

TEST(RecordSetModel, BackgroundShowsTheFocusedField)
{
    RecordSet rs(definition("d_event_dates"));
    RecordSetModel m(&rs);
    rs.InsertRow(0);
    rs.SetItem(1, "current_column", "city");
    m.setCurrentRow(1);
    const int city = rs.columnIndex("city") - 1;
    EXPECT_EQ(m.data(m.index(0, city), Qt::BackgroundRole).value<QColor>(), QColor(255, 180, 180));
    m.setCurrentRow(0);
    EXPECT_EQ(m.data(m.index(0, city), Qt::BackgroundRole).value<QColor>(), QColor(255, 251, 240));
}

} // namespace
