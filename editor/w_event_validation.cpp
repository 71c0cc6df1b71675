// The main window's checks: a record or everything before a save, and the
// error list that shows what failed.
#include "w_event.h"

#include "datawindow.h"
#include "eventdatespage.h"
#include "recordset.h"
#include "runtime.h"
#include "w_show_errors.h"

#include <QScopeGuard>

// ---- Validation ------------------------------------------------------------

QString w_event::ue_get_tag(DataWindow *adw_object, const QString &as_object, const QString &as_tag)
{
    return tagValue(adw_object->Describe(as_object + QStringLiteral(".tag")), as_tag);
}

// Puts the failed checks into the error list; answers the check's result.
qint32 w_event::report(const RowCheck &check)
{
    for (int i = 0; i < check.unknownTypes; ++i)
        rt::MessageBox(QStringLiteral("Error"), QStringLiteral("Unknown column data type"));
    for (const str_errors &e : check.errors)
        ue_set_error(e.row, e.columndb, e.column, e.message);
    return check.rc;
}

qint32 w_event::ue_validate(DataWindow *adw_object, qint32 al_row)
{
    EventDocument::Part part;
    if (!doc_->partOf(adw_object->recordSet(), &part))
        return report(asShown(EventDocument::validateColumns(*adw_object->recordSet(), adw_object->sourceRow(al_row)), al_row));
    return report(asShown(doc_->validateRow(part, adw_object->sourceRow(al_row)), al_row));
}

RowCheck w_event::asShown(RowCheck check, qint32 row)
{
    for (str_errors &e : check.errors)
        e.row = row;
    return check;
}

qint32 w_event::ue_set_error(qint32 al_row, const QString &as_col_name_db, const QString &as_col_name_display,
                             const QString &as_message)
{
    ++il_error_nbr;
    istr_errors.resize(static_cast<size_t>(il_error_nbr));
    istr_errors[static_cast<size_t>(il_error_nbr - 1)] = str_errors{al_row, as_col_name_display, as_col_name_db,
                                                                     as_message};
    return 0;
}

void w_event::ue_clear_errors()
{
    if (errorWindow_)
        errorWindow_->close();
    istr_errors = istr_no_errors;
    il_error_nbr = 0;
}

qint32 w_event::wf_validate(const QString &)
{
    validatingAll_ = true;
    const auto done = qScopeGuard([this] { validatingAll_ = false; });

    // Each part's typing goes into the data before the part is checked.
    rt::BusyPointer busy;
    const Validation v = doc_->validate([this](EventDocument::Part part) {
        switch (part) {
        case EventDocument::Part::Admin: dw_admin->AcceptText(); break;
        case EventDocument::Part::Events:
            if (dw_event_list)
                dw_event_list->AcceptText();
            dw_events->AcceptText();
            break;
        case EventDocument::Part::Dates:
            if (dw_event_dates)
                dw_event_dates->AcceptText();
            break;
        }
    });
    busy.release(); // before any message or page is shown
    for (int i = 0; i < v.unknownTypes; ++i)
        rt::MessageBox(QStringLiteral("Error"), QStringLiteral("Unknown column data type"));
    for (const Finding &f : v.findings)
        ue_set_error(f.row, f.column, f.display, f.message);
    if (v.ok()) {
        // The lines of the current event, also after a check that failed
        // on a line of the event already shown (which shows them all).
        if (dw_event_dates)
            datesPage_->ue_set_filter(is_event_id);
        return 0;
    }
    // The field of the error list's first entry takes the focus.
    const QString firstColumn = istr_errors.empty() ? QString() : istr_errors.front().columndb;
    if (v.part != EventDocument::Part::Admin)
        buildEventPages();
    switch (v.part) {
    case EventDocument::Part::Admin:
        SelectTab(QStringLiteral("tabpage_admin"));
        dw_admin->ScrollToRow(1);
        dw_admin->SetRow(1);
        if (!firstColumn.isEmpty())
            dw_admin->SetColumn(firstColumn);
        return 1;
    case EventDocument::Part::Events:
        dw_event_list->ScrollToRow(v.row);
        dw_event_list->SetRow(v.row);
        SelectTab(QStringLiteral("tabpage_events_detail"));
        if (!firstColumn.isEmpty())
            dw_events->SetColumn(firstColumn);
        return v.rc;
    case EventDocument::Part::Dates:
        break;
    }
    // A date line: every line is shown, then its event is chosen (which
    // shows the lines of that event when it is another), then the line.
    datesPage_->showAllLines();
    if (const long event = doc_->eventRow(v.eventKey); event > 0)
        dw_event_list->ScrollToRow(event);
    SelectTab(QStringLiteral("tabpage_event_dates"));
    if (const long line = dw_event_dates->rowOfSource(doc_->lineRow(v.key)); line > 0) {
        dw_event_dates->ScrollToRow(line);
        dw_event_dates->SetRow(line);
        if (!firstColumn.isEmpty())
            dw_event_dates->SetColumn(firstColumn);
    }
    return static_cast<qint32>(v.row);
}

// ---- Error list ------------------------------------------------------------

void w_event::ue_display_errors()
{
    RecordSet list(definition(QStringLiteral("d_show_errors")));
    for (const str_errors &e : istr_errors) {
        const long row = list.InsertRow(0);
        list.SetItem(row, QStringLiteral("al_row"), e.row);
        list.SetItem(row, QStringLiteral("as_column_name"), e.column);
        list.SetItem(row, QStringLiteral("as_message"), e.message);
    }
    rt::Message().objectParm = &list;
    errorWindow_ = w_show_errors::open_with_parm(this);
    rt::Message().objectParm = std::any();
}
