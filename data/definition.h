// Definitions of the record sets: their columns, how each column is edited
// and presented, and the fixed rows of the drop-down lists.
#pragma once

#include <QByteArrayView>
#include <QColor>
#include <QString>
#include <QVariant>

#include <optional>
#include <vector>

enum class ColType { Char, Date, Number, Long };
enum class EditStyle { Edit, EditMask, MultiLineEdit, DropDownDW, Hidden /*tab 0, not shown*/, None };

struct ColumnDef {
    QString name;            // "user_id"
    ColType type = ColType::Char;
    int width = 0;           // declared width of char(n)
    EditStyle edit = EditStyle::Edit;
    QString editMask;        // "00:00", or the date mask set at run time
    QString displayFormat;   // "[general]", "@@:@@", "[ShortDate]", "## "
    int tabOrder = 0;        // 0 = not reachable/editable
    bool required = false;
    std::optional<QVariant> initial; // "Free", "0000", "0"
    QString tag;             // "name=Login ID;"
    QString label;           // form label or grid heading ("Login ID :", "Start Date")
    QString dddw;            // drop-down definition name ("dddw_countries")
    QString dddwDisplay, dddwData; // "country_name", "country_id"
    QString background;      // colour expression text as defined
    int backgroundValue = 0; // e.g. 15793151
};

struct ComputedField {
    QString name;            // "compute_1"
    QString expression;      // "GetRow()"
    QString displayFormat;   // "[GENERAL]"
    QString heading;         // "ID"
};

struct Definition {
    QString name;                           // "d_admin"
    std::vector<ColumnDef> columns;
    std::vector<std::vector<QString>> rows; // fixed data rows of the drop-downs
    QString rowBackground;                  // alternating-row expression text
    int rowBackgroundValue = 0;             // 536870912 for d_list
    QString headerPicture;                  // "gradient_red.JPG" etc.
    QString sortKey;                        // "start_date" for d_event_dates (not applied automatically)
    std::vector<ComputedField> computed;    // d_list: compute_1
    QStringList headings;                   // text headings that are no column's label (d_calendar "Su".."Sa")
    bool form = false;                      // form layout (labels left of fields) rather than a grid

    int columnIndex(const QString &name) const; // 1-based, 0 when missing
};

// The definition of that name; an empty definition for an unknown name.
const Definition &definition(const QString &name);
QStringList definitionNames();

// The colour of the current-column highlight and the plain field colour.
inline constexpr int kFieldBackgroundValue = 15793151; // rgb(255,251,240)
QColor colorFromValue(int value);                       // 0x00BBGGRR -> QColor

// Time columns: the edit mask "00:00", the value four digits hhmm.
bool isTimeColumn(const ColumnDef &c);
// A time as the files hold it: four digits, hours 00 to 23 and minutes 00 to
// 59 ("0000" stands for no time).
bool isClockTime(QByteArrayView hhmm);

class RecordSet;
// Highlight rule: rgb(255,180,180) when row == currentRow and the row's
// current_column names the column, else rgb(255,251,240) for editable
// columns; an invalid colour for columns without a background.
QColor fieldBackground(const RecordSet &rs, long row, int col, long currentRow);
// The same rule with the colours of `def`, for a view whose definition differs
// from that of the record set it presents (same columns, own colours).
QColor fieldBackground(const Definition &def, const RecordSet &rs, long row, int col, long currentRow);
// d_list: odd rows white, even rgb(255,238,238); dddw_: odd rgb(255,251,240),
// even rgb(255,238,238); invalid colour when the definition has no row colour.
QColor rowBackground(const Definition &def, long row);
