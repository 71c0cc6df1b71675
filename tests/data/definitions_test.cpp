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
    // Definition, property, answer.
    const char *const cases[][3] = {
        {"d_events", "datawindow.column.count", "27"},
        {"d_events", "#18.name", "category"},
        {"d_events", "category.coltype", "char(2)"},
        {"d_list", "category.coltype", "char(5)"},
        {"d_events", "start_date.coltype", "date"},
        {"d_events", "category.tag", "name=Event Category;"},
        {"d_list", "city.tag", ""},
        // A drop-down column answers only through its own style.
        {"d_list", "country.Edit.Required", "!"},
        {"d_list", "country.dddw.Required", "yes"},
        {"d_list", "user_password.Edit.Required", "yes"},
        {"d_list", "website.Edit.Required", "no"},
        {"d_list", "name.ddlb.Required", "!"},
        {"d_event_dates", "time1.EditMask.Required", "yes"},
        {"d_event_dates", "time2.EditMask.Required", "no"},
        {"d_event_dates", "nosuch.coltype", "!"},
        {"d_show_errors", "al_row.coltype", "long"},
        {"d_calendar", "cell42.coltype", "number"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(RecordSet(definition(c[0])).Describe(c[1]), c[2]) << c[0] << " " << c[1];
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
