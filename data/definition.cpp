#include "definition.h"
#include "recordset.h"

#include <QHash>

namespace {

const QString kHighlight = QStringLiteral(
    "if ( (GetRow() = currentRow() ) AND (current_column = \"%1\"), rgb(255,180,180) , rgb(255,251,240) )");
const QString kListRows = QStringLiteral("if ( mod(getrow(),2) > 0 , rgb(255,255,255) , rgb(255,238,238))");
const QString kDropDownRows = QStringLiteral("if ( mod(getrow(),2) > 0 , rgb(255,251,240) , rgb(255,238,238))");

ColumnDef col(const QString &name, ColType type, int width = 0)
{
    ColumnDef c;
    c.name = name;
    c.type = type;
    c.width = width;
    return c;
}

ColumnDef chr(const QString &name, int width) { return col(name, ColType::Char, width); }

ColumnDef hidden(ColumnDef c, const QString &tag = QString())
{
    c.edit = EditStyle::Hidden;
    c.tabOrder = 0;
    c.tag = tag;
    return c;
}

// An editable column: edit style, tab order, required flag, tag, label, and
// the current-column highlight.
ColumnDef editable(ColumnDef c, EditStyle edit, int tab, bool required, const QString &tag, const QString &label)
{
    c.edit = edit;
    c.tabOrder = tab;
    c.required = required;
    c.tag = tag;
    c.label = label;
    c.background = kHighlight.arg(c.name);
    c.backgroundValue = kFieldBackgroundValue;
    return c;
}

ColumnDef dropDown(ColumnDef c, const QString &dddw, const QString &display, const QString &data)
{
    c.dddw = dddw;
    c.dddwDisplay = display;
    c.dddwData = data;
    return c;
}

// A definition of these columns; `form` lays it out as a form.
Definition named(const char *name, std::vector<ColumnDef> columns, bool form)
{
    Definition d;
    d.name = QLatin1String(name);
    d.form = form;
    d.columns = std::move(columns);
    return d;
}

Definition makeAdmin()
{
    Definition d = named("d_admin", {
        editable(chr("user_id", 40), EditStyle::Edit, 10, true, "name=Login ID;", "Login ID :"),
        editable(chr("user_password", 10), EditStyle::Edit, 20, true, "name=User Password;", "Password :"),
        editable(chr("file_directory", 100), EditStyle::Edit, 30, true, "name=File Directory;", "File Directory :"),
        dropDown(editable(chr("default_country", 5), EditStyle::DropDownDW, 40, false, "name=Default Country;",
                          "Default Country :"),
                 "dddw_countries", "country_name", "country_id"),
        editable(chr("default_state", 40), EditStyle::Edit, 50, false, "name=Default State;", "Default State :"),
        editable(chr("default_city", 40), EditStyle::Edit, 60, false, "name=Default City;", "Default City :"),
        hidden(chr("current_column", 20)),
    }, true);
    for (int i = 0; i < 6; ++i)
        d.columns[i].displayFormat = "[general]";
    return d;
}

Definition makeEvents()
{
    Definition d = named("d_events", {
        hidden(chr("event_id", 30)),
        hidden(chr("user_id", 40), "name=User ID;"),
        hidden(chr("user_password", 10), "name=User Password;"),
        dropDown(editable(chr("country", 2), EditStyle::DropDownDW, 10, true, "name=Country;", "Country:"),
                 "dddw_countries", "country_name", "country_id"),
        hidden(chr("city", 30), "name=City;"),
        hidden(chr("state", 30), "name=Area/Province/State;"),
        editable(chr("name", 50), EditStyle::Edit, 40, true, "name=Event Name;", "Event Name:"),
        editable(chr("sdescription", 255), EditStyle::MultiLineEdit, 50, true, "name=Short Description;",
                 "Short\r\ndescription:"),
        editable(chr("edescription", 600), EditStyle::MultiLineEdit, 60, false, "name=Extended Description;",
                 "Extended\r\ndescription:"),
        hidden(col("start_date", ColType::Date), "name=Start Date;"),
        hidden(col("end_date", ColType::Date), "name=End Date;"),
        hidden(chr("time1", 5), "name=Event Time;"),
        hidden(chr("time2", 5)),
        hidden(chr("time3", 5)),
        hidden(chr("time4", 5)),
        hidden(chr("time5", 5)),
        hidden(chr("time6", 5)),
        dropDown(editable(chr("category", 2), EditStyle::DropDownDW, 150, true, "name=Event Category;", "Category:"),
                 "dddw_categories", "cat_description", "cat_id"),
        editable(chr("cost", 100), EditStyle::MultiLineEdit, 160, true, "name=Event Costs;", "Cost:"),
        editable(chr("website", 50), EditStyle::Edit, 170, false, "name=Event Website;", "Website:"),
        editable(chr("tickets", 100), EditStyle::MultiLineEdit, 180, false, "name=Event Tickets;", "Tickets:"),
        editable(chr("venue", 40), EditStyle::Edit, 190, false, "name=Event Venue;", "Venue:"),
        editable(chr("venue_address", 100), EditStyle::MultiLineEdit, 200, false, "name=Event Venue Address;",
                 "Venue Address:"),
        editable(chr("contact_person", 50), EditStyle::Edit, 210, false, "name=Event Contact Person;",
                 "Contact Person:"),
        editable(chr("contact_tel", 40), EditStyle::Edit, 220, false, "name=Event Contact Telephone;", "Contact Tel:"),
        editable(chr("contact_email", 40), EditStyle::Edit, 230, false, "name=Event Contact Email;",
                 "Contact Email:"),
        hidden(chr("current_column", 20)),
    }, true);
    d.columns[18].initial = QVariant(QStringLiteral("Free"));
    return d;
}

// The event list: the columns of d_events, none of them editable; category
// is char(5) here, and the required flags are the ones the save checks.
Definition makeList()
{
    Definition d = makeEvents();
    d.name = "d_list";
    d.form = false;
    const QStringList required = {"user_id", "user_password", "country", "name", "sdescription", "category", "cost"};
    for (ColumnDef &c : d.columns) {
        c.tabOrder = 0;
        c.required = required.contains(c.name);
        c.background.clear();
        c.backgroundValue = 0;
        c.label.clear();
        if (c.name == "event_id" || c.name == "city" || c.name == "current_column")
            c.tag.clear();
    }
    d.columns[17].width = 5; // category
    d.columns[6].label = "Event Name";
    d.computed = {ComputedField{"compute_1", "GetRow()", "[GENERAL]", "ID"}};
    d.headerPicture = "gradient_red.JPG";
    d.rowBackground = kListRows;
    d.rowBackgroundValue = 536870912;
    return d;
}

Definition makeEventDates()
{
    Definition d;
    d.name = "d_event_dates";
    d.headerPicture = "gradient_red.JPG";
    d.sortKey = "start_date";
    auto time = [](int n, int tab, bool required, const QString &tag, const QString &heading) {
        ColumnDef c = editable(chr(QStringLiteral("time%1").arg(n), 5), EditStyle::EditMask, tab, required, tag, heading);
        c.editMask = "00:00";
        c.displayFormat = "@@:@@";
        c.initial = QVariant(QStringLiteral("0000"));
        return c;
    };
    ColumnDef eventId = hidden(chr("event_id", 30));
    eventId.initial = QVariant(QStringLiteral("0"));
    ColumnDef timeId = hidden(chr("time_id", 30));
    timeId.initial = QVariant(QStringLiteral("0"));
    ColumnDef start = editable(col("start_date", ColType::Date), EditStyle::Edit, 30, true, "name=Start Date;", "Start Date");
    start.displayFormat = "[ShortDate]";
    ColumnDef end = editable(col("end_date", ColType::Date), EditStyle::Edit, 40, true, "name=End Date;", "End Date");
    end.displayFormat = "[ShortDate]";
    d.columns = {
        eventId,
        timeId,
        editable(chr("city", 40), EditStyle::Edit, 20, true, "name=City;", "City"),
        editable(chr("state", 40), EditStyle::Edit, 10, false, "name=Area;", "State / Province / Area"),
        start,
        end,
        time(1, 50, true, "name=Time;", "Time(s)"),
        time(2, 60, false, QString(), QString()),
        time(3, 70, false, QString(), QString()),
        time(4, 80, false, QString(), QString()),
        time(5, 90, false, QString(), QString()),
        time(6, 100, false, QString(), QString()),
        hidden(chr("current_column", 30)),
    };
    return d;
}

Definition makeShowErrors()
{
    Definition d;
    d.name = "d_show_errors";
    d.headerPicture = "gradient_light_red_title.BMP";
    ColumnDef name = chr("as_column_name", 50);
    name.label = "Field Name";
    ColumnDef row = col("al_row", ColType::Long);
    row.label = "Event";
    ColumnDef message = chr("as_message", 100);
    message.label = "Message";
    d.columns = {name, row, message};
    return d;
}

Definition makeCalendar()
{
    Definition d;
    d.name = "d_calendar";
    for (int i = 1; i <= 42; ++i) {
        ColumnDef c = col(QStringLiteral("cell%1").arg(i), ColType::Number);
        c.displayFormat = "## ";
        d.columns.push_back(c);
    }
    d.headings = {"Su", "Mo", "Tu", "We", "Th", "Fr", "Sa"};
    return d;
}

Definition makeCategories()
{
    Definition d;
    d.name = "dddw_categories";
    d.columns = {chr("cat_id", 5), chr("cat_description", 100)};
    d.rowBackground = kDropDownRows;
    d.rows = {{"10", "Arts"},      {"20", "Bizarre"},  {"30", "Business"},   {"40", "Concert"},  {"50", "Expo"},
              {"60", "Festival"},  {"70", "General"},  {"80", "Religious"},  {"90", "Market"},   {"100", "Movies"},
              {"110", "Music"},    {"120", "Show"},    {"130", "Sport"},     {"140", "Theatre"}};
    return d;
}

} // namespace

std::vector<std::vector<QString>> countryRows(); // countries.cpp

namespace {

Definition makeCountries()
{
    Definition d;
    d.name = "dddw_countries";
    d.columns = {chr("country_id", 5), chr("country_name", 100)};
    d.rowBackground = kDropDownRows;
    d.rows = countryRows();
    return d;
}

const QHash<QString, Definition> &all()
{
    static const QHash<QString, Definition> defs = [] {
        QHash<QString, Definition> h;
        for (Definition d : {makeAdmin(), makeEvents(), makeList(), makeEventDates(), makeShowErrors(), makeCalendar(),
                             makeCategories(), makeCountries()})
            h.insert(d.name, d);
        return h;
    }();
    return defs;
}

} // namespace

int Definition::columnIndex(const QString &name) const
{
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i) + 1;
    return 0;
}

const Definition &definition(const QString &name)
{
    static const Definition empty;
    const auto &defs = all();
    const auto it = defs.find(name);
    return it == defs.end() ? empty : *it;
}

QStringList definitionNames()
{
    return {"d_admin", "d_events", "d_list", "d_event_dates", "d_show_errors", "d_calendar", "dddw_categories",
            "dddw_countries"};
}

QColor colorFromValue(int value)
{
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

QColor fieldBackground(const RecordSet &rs, long row, int col, long currentRow)
{
    return fieldBackground(rs.definition(), rs, row, col, currentRow);
}

QColor fieldBackground(const Definition &def, const RecordSet &rs, long row, int col, long currentRow)
{
    if (col < 1 || col > int(def.columns.size()))
        return QColor();
    const ColumnDef &c = def.columns[col - 1];
    if (c.background.isEmpty())
        return QColor();
    const int cc = def.columnIndex("current_column");
    if (row == currentRow && cc > 0 && rs.GetItemString(row, cc) == c.name)
        return QColor(255, 180, 180);
    return colorFromValue(c.backgroundValue);
}

QColor rowBackground(const Definition &def, long row)
{
    if (def.rowBackground.isEmpty())
        return QColor();
    if (row % 2 > 0)
        return def.name.startsWith("dddw_") ? QColor(255, 251, 240) : QColor(255, 255, 255);
    return QColor(255, 238, 238);
}

bool isTimeColumn(const ColumnDef &c)
{
    return c.type == ColType::Char && c.editMask == QLatin1String("00:00");
}

bool isClockTime(QByteArrayView t)
{
    auto digit = [&t](int i, char last) { return t[i] >= '0' && t[i] <= last; };
    return t.size() == 4 && digit(0, '2') && digit(1, t[0] == '2' ? '3' : '9') && digit(2, '5') && digit(3, '9');
}
