#include "definition.h"
#include "recordset.h"

#include <gtest/gtest.h>

namespace {

TEST(Definitions, CountryListKeepsItsOrderAndTheNamesOfItsTime)
{
    const Definition &d = definition("dddw_countries");
    ASSERT_EQ(d.rows.size(), 239u);
    EXPECT_EQ(d.rows.front(), (std::vector<QString>{"AF", "Afghanistan"}));
    EXPECT_EQ(d.rows[1][0], "AL");
    EXPECT_EQ(d.rows[2][0], "DZ");
    EXPECT_EQ(d.rows.back(), (std::vector<QString>{"ZW", "Zimbabwe"}));
    QHash<QString, QString> byCode;
    for (const auto &r : d.rows)
        byCode.insert(r[0], r[1]);
    EXPECT_EQ(byCode.size(), 239);
    EXPECT_EQ(byCode["TP"], "East Timor");
    EXPECT_EQ(byCode["FX"], "France, Metropolitan");
    EXPECT_EQ(byCode["YU"], "Yugoslavia");
    EXPECT_EQ(byCode["LC"], "Saint LUCIA");
    EXPECT_EQ(byCode["US"], "United States ");
    EXPECT_EQ(byCode["YE"], "Yemen ");
    const QStringList trailing = {"AG", "ER", "TF", "SZ", "TW", "TK", "TO", "TT", "TN",
                                  "UA", "US", "UY", "VU", "VE", "VI", "WF", "YE"};
    for (auto it = byCode.cbegin(); it != byCode.cend(); ++it) {
        const bool endsInSpace = it.value().endsWith(' ');
        EXPECT_EQ(endsInSpace, trailing.contains(it.key())) << it.key().toStdString();
        if (endsInSpace) {
            EXPECT_FALSE(it.value().endsWith("  ")) << it.key().toStdString();
        }
    }
    // The codes right around the old entries stand where the list puts them.
    auto pos = [&](const QString &code) {
        for (size_t i = 0; i < d.rows.size(); ++i)
            if (d.rows[i][0] == code)
                return int(i);
        return -1;
    };
    EXPECT_EQ(pos("TP"), pos("DO") + 1);
    EXPECT_EQ(pos("FX"), pos("FR") + 1);
    EXPECT_EQ(pos("YU"), pos("YE") + 1);
}

TEST(Definitions, CategoryListHasItsFourteenRows)
{
    const Definition &d = definition("dddw_categories");
    ASSERT_EQ(d.rows.size(), 14u);
    EXPECT_EQ(d.rows[0], (std::vector<QString>{"10", "Arts"}));
    EXPECT_EQ(d.rows[6], (std::vector<QString>{"70", "General"}));
    EXPECT_EQ(d.rows[9], (std::vector<QString>{"100", "Movies"}));
    EXPECT_EQ(d.rows[13], (std::vector<QString>{"140", "Theatre"}));
}

TEST(Definitions, ColumnListsMatchTheFileLayouts)
{
    auto names = [](const char *def) {
        QStringList out;
        for (const auto &c : definition(def).columns)
            out << c.name;
        return out.join(',');
    };
    EXPECT_EQ(names("d_admin"),
              "user_id,user_password,file_directory,default_country,default_state,default_city,current_column");
    EXPECT_EQ(names("d_events"),
              "event_id,user_id,user_password,country,city,state,name,sdescription,edescription,start_date,end_date,"
              "time1,time2,time3,time4,time5,time6,category,cost,website,tickets,venue,venue_address,contact_person,"
              "contact_tel,contact_email,current_column");
    EXPECT_EQ(names("d_list"), names("d_events"));
    EXPECT_EQ(names("d_event_dates"),
              "event_id,time_id,city,state,start_date,end_date,time1,time2,time3,time4,time5,time6,current_column");
    EXPECT_EQ(definition("d_calendar").columns.size(), 42u);
    EXPECT_EQ(names("d_show_errors"), "as_column_name,al_row,as_message");
}

TEST(Definitions, DescribeAnswersTypesRequiredFlagsAndTags)
{
    RecordSet events(definition("d_events"));
    RecordSet list(definition("d_list"));
    EXPECT_EQ(events.Describe("datawindow.column.count"), "27");
    EXPECT_EQ(events.Describe("#18.name"), "category");
    EXPECT_EQ(events.Describe("category.coltype"), "char(2)");
    EXPECT_EQ(list.Describe("category.coltype"), "char(5)");
    EXPECT_EQ(events.Describe("start_date.coltype"), "date");
    EXPECT_EQ(events.Describe("category.tag"), "name=Event Category;");
    EXPECT_EQ(list.Describe("city.tag"), "");
    // A drop-down column answers only through its own style.
    EXPECT_EQ(list.Describe("country.Edit.Required"), "!");
    EXPECT_EQ(list.Describe("country.dddw.Required"), "yes");
    EXPECT_EQ(list.Describe("user_password.Edit.Required"), "yes");
    EXPECT_EQ(list.Describe("website.Edit.Required"), "no");
    EXPECT_EQ(list.Describe("name.ddlb.Required"), "!");
    RecordSet dates(definition("d_event_dates"));
    EXPECT_EQ(dates.Describe("time1.EditMask.Required"), "yes");
    EXPECT_EQ(dates.Describe("time2.EditMask.Required"), "no");
    EXPECT_EQ(dates.Describe("nosuch.coltype"), "!");
    EXPECT_EQ(RecordSet(definition("d_show_errors")).Describe("al_row.coltype"), "long");
    EXPECT_EQ(RecordSet(definition("d_calendar")).Describe("cell42.coltype"), "number");
}

TEST(Definitions, NewRowsTakeTheInitialValues)
{
    RecordSet dates(definition("d_event_dates"));
    ASSERT_EQ(dates.InsertRow(0), 1);
    for (int t = 1; t <= 6; ++t)
        EXPECT_EQ(dates.GetItemString(1, QStringLiteral("time%1").arg(t)), "0000");
    EXPECT_EQ(dates.GetItemString(1, "event_id"), "0");
    EXPECT_EQ(dates.GetItemString(1, "time_id"), "0");
    EXPECT_TRUE(dates.IsNull(1, "start_date"));
    RecordSet events(definition("d_events"));
    events.InsertRow(0);
    EXPECT_EQ(events.GetItemString(1, "cost"), "Free");
    EXPECT_TRUE(events.IsNull(1, "name"));
    RecordSet list(definition("d_list"));
    list.InsertRow(0);
    EXPECT_EQ(list.GetItemString(1, "cost"), "Free");
}

TEST(Definitions, HighlightFollowsCurrentRowAndColumn)
{
    RecordSet admin(definition("d_admin"));
    admin.InsertRow(0);
    admin.InsertRow(0);
    admin.SetItem(1, "current_column", "user_id");
    admin.SetItem(2, "current_column", "user_id");
    const int userId = admin.columnIndex("user_id");
    EXPECT_EQ(fieldBackground(admin, 1, userId, 1), QColor(255, 180, 180));
    EXPECT_EQ(fieldBackground(admin, 2, userId, 1), QColor(255, 251, 240));
    EXPECT_EQ(fieldBackground(admin, 1, admin.columnIndex("default_city"), 1), QColor(255, 251, 240));
    EXPECT_FALSE(fieldBackground(admin, 1, admin.columnIndex("current_column"), 1).isValid());
    EXPECT_EQ(rowBackground(definition("d_list"), 1), QColor(255, 255, 255));
    EXPECT_EQ(rowBackground(definition("d_list"), 2), QColor(255, 238, 238));
    EXPECT_EQ(rowBackground(definition("dddw_countries"), 3), QColor(255, 251, 240));
}

} // namespace
