// The main window's checks: a record or everything before a save, and the
// error list that shows what failed.
#include "w_event.h"

#include "datawindow.h"
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
        return report(EventDocument::validateColumns(*adw_object->recordSet(), al_row));
    return report(doc_->validateRow(part, al_row));
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

    // 1. The admin record.
    dw_admin->AcceptText();
    if (ue_validate(dw_admin, 1) != 0) {
        SelectTab(QStringLiteral("tabpage_admin"));
        dw_admin->ScrollToRow(1);
        dw_admin->SetRow(1);
        if (!istr_errors.empty())
            dw_admin->SetColumn(istr_errors.front().columndb);
        return 1;
    }

    // 2. Every event, against the list's definition.
    dw_event_list->AcceptText();
    dw_events->AcceptText();
    if (const FirstFault fault = doc_->firstFault(EventDocument::Part::Events); fault.row > 0) {
        const qint32 rc = report(fault.check);
        dw_event_list->ScrollToRow(fault.row);
        dw_event_list->SetRow(fault.row);
        SelectTab(QStringLiteral("tabpage_events_detail"));
        if (!istr_errors.empty())
            dw_events->SetColumn(istr_errors.front().columndb);
        return rc;
    }

    // 3. The dates of all events.
    const RecordSet *dates = &doc_->dates();
    dw_event_dates->AcceptText();
    dw_event_dates->SetRedraw(false);
    doc_->showAllDates();
    if (const FirstFault fault = doc_->firstFault(EventDocument::Part::Dates); fault.row > 0) {
        const long k = fault.row;
        report(fault.check);
        dw_event_dates->SetRedraw(true);
        const QString eventId = dates->GetItemString(k, QStringLiteral("event_id"));
        const QString timeId = dates->GetItemString(k, QStringLiteral("time_id"));
        const RecordSet *events = dw_event_list->recordSet();
        const long found = events->Find(QStringLiteral("event_id = '") + eventId + QLatin1Char('\''), 1,
                                        events->RowCount());
        if (found > 0)
            dw_event_list->ScrollToRow(found);
        SelectTab(QStringLiteral("tabpage_event_dates"));
        const long line = dates->Find(QStringLiteral("time_id = '") + timeId + QLatin1Char('\''), 1,
                                      dates->RowCount());
        if (line > 0) {
            dw_event_dates->ScrollToRow(line);
            dw_event_dates->SetRow(line);
            if (!istr_errors.empty())
                dw_event_dates->SetColumn(istr_errors.front().columndb);
        }
        return static_cast<qint32>(k);
    }
    doc_->filterDates(is_event_id);
    dw_event_dates->SetRedraw(true);
    return 0;
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
