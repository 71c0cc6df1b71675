// Reading a spreadsheet's text export (.csv, .txt) into events to add.
// The separator (comma, semicolon or tab) is the one the header row uses
// most; fields may be quoted, with doubled quotes and line breaks inside;
// the text is UTF-8 (with or without a byte-order mark), any byte that is
// no UTF-8 read as Windows-1252. The header row's names are matched to
// Vantel's fields; the window lets the user change that mapping. Each row
// is one performance; rows with the same event name and venue make one
// event with its date lines (through the schedule engine). Dates in the
// user's pattern or as yyyy-mm-dd, times as 19:30, 1930 or 7:30 PM (several
// in one cell separated by commas or semicolons).
#pragma once

#include "interop.h"

#include <QByteArray>
#include <QStringList>

#include <map>
#include <vector>

namespace interop {

struct Spreadsheet {
    QChar separator;
    QStringList header;
    std::vector<QStringList> rows; // the rows below the header
    QString error;                 // not a spreadsheet: nothing else is set
    bool ok() const { return error.isEmpty(); }
};

Spreadsheet readSpreadsheet(const QByteArray &bytes);

// Vantel's fields that a column can fill, in the order the window offers
// them: the d_events columns, and "start_date", "end_date", "times", "city",
// "state" of the date lines.
const QStringList &importFields();
// Field -> column of the header (0-based). A field may be missing.
using ColumnMapping = std::map<QString, int>;
// The mapping the header's names suggest ("Event Name", "Title", "Date",
// "Start time", "Location", "E-mail", ...), each column at most once.
ColumnMapping guessMapping(const QStringList &header);

// The mapping kept from an earlier import, by the header's names
// ("name=Title;start_date=Date"), laid over `guess` for `header`; names
// this header lacks are passed by. keptText makes that text.
ColumnMapping keptMapping(const QString &kept, const QStringList &header, ColumnMapping guess);
QString keptText(const ColumnMapping &mapping, const QStringList &header);

// Every row as events to add; a row left out or changed is reported as
// "row N" (counting the header as row 1, as a spreadsheet numbers them).
ImportResult importSpreadsheet(const Spreadsheet &sheet, const ColumnMapping &mapping, const ImportContext &context);

// A time as spreadsheets write it, to the minute; invalid when it is none.
QTime parseTime(const QString &text);

} // namespace interop
