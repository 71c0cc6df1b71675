#include "eventdatespage.h"

#include "datawindow.h"
#include "definition.h"
#include "eventdocument.h"
#include "globals.h"
#include "pagehost.h"
#include "recordset.h"
#include "recordsetview.h"
#include "runtime.h"
#include "w_calendar.h"
#include "w_schedule.h"
#include "w_shift_dates.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

EventDatesPage::EventDatesPage(PageHost &host, QWidget *parent)
    : EventPage(host, parent, QStringLiteral("tabpage_event_dates"))
{
}

void EventDatesPage::build()
{
    if (view())
        return;
    QWidget *page = this;
    auto *st_1 = new QLabel(QStringLiteral("F3 - Date Search"), page);
    st_1->setObjectName(QStringLiteral("st_1"));
    auto *p_1 = pages::picture(page, "p_1", QStringLiteral("f3.bmp"));
    // Made in the order Tab visits them: the buttons as they stand in their row, then the lines.
    auto *pb_new_date = pages::button(page, "pb_new_date", QStringLiteral("New"), "new.jpg", "new_focus.jpg", "new_dis.jpg");
    auto *pb_delete_date = pages::button(page, "pb_delete_date", QStringLiteral("Delete"), "delete.jpg",
                                         "delete_focus.jpg", "delete_dis.jpg");
    auto *pb_schedule = pages::button(page, "pb_schedule", QStringLiteral("Schedule..."), "schedule.jpg",
                                      "schedule_focus.jpg", "schedule_dis.jpg");
    pb_schedule->setToolTip(QStringLiteral("Date lines from a schedule (Ctrl+Shift+N)"));
    auto *pb_shift_dates = pages::button(page, "pb_shift_dates", QStringLiteral("Shift dates..."), "shift.jpg",
                                         "shift_focus.jpg", "shift_dis.jpg");
    pb_shift_dates->setToolTip(QStringLiteral("Move every date line of the event by some days"));
    dw_event_dates = makeView(QStringLiteral("dw_event_dates"), QStringLiteral("d_event_dates"), DataWindow::Kind::Grid,
                              nullptr);
    // Until an event is chosen, the lines of none (those without a key).
    lines_ = new RecordSetView(host_.document().dates(), this);
    lines_->showOnly(lines_->recordSet().columnIndex(QStringLiteral("event_id")), {});
    dw_event_dates->present(lines_);
    dw_event_dates->gridView()->setAccessibleName(QStringLiteral("Event Dates & Times"));
    layOutUnderRow({pb_new_date, pb_delete_date, pb_schedule, pb_shift_dates}, {p_1, st_1});

    pages::connectEditorBehaviour(host_, dw_event_dates, QStringLiteral("eventdates.htm"));
    const QString pattern = usablePattern(gs_short_date_format);
    dw_event_dates->setDateMask(QStringLiteral("start_date"), pattern);
    dw_event_dates->setDateMask(QStringLiteral("end_date"), pattern);
    dw_event_dates->ue_tab_out = [this] { ue_tab_out(); };
    dw_event_dates->ue_enter = [this] { return ue_enter(); };
    dw_event_dates->ue_key = [this](int k, quint32 flags) { return ue_key(k, flags); };
    connect(pb_new_date, &QPushButton::clicked, this, &EventDatesPage::pb_new_date_clicked);
    connect(pb_delete_date, &QPushButton::clicked, this, &EventDatesPage::pb_delete_date_clicked);
    connect(pb_schedule, &QPushButton::clicked, this, &EventDatesPage::pb_schedule_clicked);
    connect(pb_shift_dates, &QPushButton::clicked, this, &EventDatesPage::pb_shift_dates_clicked);
    auto *scheduleKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N), this);
    scheduleKey->setContext(Qt::WidgetWithChildrenShortcut);
    connect(scheduleKey, &QShortcut::activated, this, &EventDatesPage::pb_schedule_clicked);
}

void EventDatesPage::ue_set_filter(const QString &as_filter_key)
{
    if (!as_filter_key.isEmpty())
        lines_->showOnly(lines_->recordSet().columnIndex(QStringLiteral("event_id")), as_filter_key.toUtf8());
}

void EventDatesPage::showAllLines()
{
    lines_->showAll();
}

bool EventDatesPage::ue_row_populated(int ai_row)
{
    const EventDocument &doc = host_.document();
    for (long row = ai_row; row <= lines_->RowCount(); ++row)
        if (!doc.lineComplete(lines_->sourceRow(row)))
            return false;
    return true;
}

long EventDatesPage::insertLine()
{
    const long ll_row = lines_->rowOf(host_.document().newDateLine(host_.currentEventId()));
    if (ll_row >= 1)
        dw_event_dates->ScrollToRow(ll_row);
    return ll_row;
}

void EventDatesPage::ue_tab_out()
{
    insertLine();
    dw_event_dates->SetFocus();
    dw_event_dates->SetColumn(5);
}

long EventDatesPage::ue_enter()
{
    dw_event_dates->sendTab();
    return 1;
}

bool EventDatesPage::hasEvent()
{
    if (host_.document().events().RowCount() >= 1)
        return true;
    rt::MessageBox(QStringLiteral("Event Dates"),
                   QStringLiteral("You must have a selected event before adding date information!"));
    return false;
}

void EventDatesPage::showHelp()
{
    host_.setHelpTopic(QStringLiteral("eventdates.htm"));
    host_.key(rt::KeyF1, 0);
}

void EventDatesPage::pb_new_date_clicked()
{
    if (!hasEvent())
        return;
    if (!ue_row_populated(1)) {
        rt::MessageBox(QStringLiteral("New Event"), host_.message(15));
        return;
    }
    insertLine();
    dw_event_dates->SetFocus();
    dw_event_dates->SetColumn(5);
}

void EventDatesPage::pb_delete_date_clicked()
{
    const long ll_row = dw_event_dates->GetRow();
    if (ll_row > 0)
        host_.document().deleteDateLine(lines_->sourceRow(ll_row));
}

bool EventDatesPage::ue_key(int k, quint32 keyflags)
{
    if (k == rt::KeyF3) {
        const QString column = dw_event_dates->GetColumnName();
        if (column != QLatin1String("start_date") && column != QLatin1String("end_date"))
            return false;
        dw_event_dates->AcceptText();
        const QString ls_date = w_calendar::pick(window());
        if (ls_date.isEmpty())
            return true;
        const QDate date = dateFromPattern(ls_date, gs_short_date_format);
        const long row = lines_->sourceRow(dw_event_dates->GetRow());
        if (date.isValid() && row >= 1)
            host_.document().setField(EventDocument::Part::Dates, row, column, date);
        return true;
    }
    if (k == rt::KeyF1) {
        host_.key(k, keyflags);
        return true;
    }
    return false;
}

void EventDatesPage::pb_schedule_clicked()
{
    if (!hasEvent())
        return;
    dw_event_dates->AcceptText();
    EventDocument &doc = host_.document();
    // The place of the current line, else the admin defaults.
    const long current = lines_->sourceRow(dw_event_dates->GetRow());
    QString city, state;
    if (current >= 1) {
        city = doc.dates().GetItemString(current, QStringLiteral("city"));
        state = doc.dates().GetItemString(current, QStringLiteral("state"));
    }
    if (city.isEmpty() && state.isEmpty()) {
        const AdminValues defaults = doc.adminValues();
        city = defaults.city;
        state = defaults.state;
    }
    w_schedule dialog(usablePattern(gs_short_date_format), city, state, window());
    const Definition &def = doc.dates().definition();
    dialog.setTextLimits(def.columns[size_t(doc.dates().columnIndex(QStringLiteral("city")) - 1)].width,
                         def.columns[size_t(doc.dates().columnIndex(QStringLiteral("state")) - 1)].width);
    dialog.showHelp = [this] { showHelp(); };
    if (dialog.exec() != QDialog::Accepted || !dialog.result().ok())
        return;
    std::vector<QVariantMap> lines;
    for (const schedule::Line &line : dialog.result().lines) {
        QVariantMap values{{QStringLiteral("start_date"), line.start},
                           {QStringLiteral("end_date"), line.end},
                           {QStringLiteral("city"), line.city},
                           {QStringLiteral("state"), line.state}};
        const QStringList times = line.fileTimes();
        for (int i = 0; i < times.size(); ++i)
            values.insert(QStringLiteral("time%1").arg(i + 1), times[i]);
        lines.push_back(values);
    }
    const long first = lines_->rowOf(doc.addDateLines(host_.currentEventId(), lines));
    if (first < 1)
        return;
    dw_event_dates->ScrollToRow(first);
    dw_event_dates->SetFocus();
    dw_event_dates->SetColumn(5);
}

void EventDatesPage::pb_shift_dates_clicked()
{
    if (!hasEvent())
        return;
    dw_event_dates->AcceptText();
    EventDocument &doc = host_.document();
    const QString eventId = host_.currentEventId();
    const QDate first = doc.firstLineDate(eventId);
    if (!first.isValid()) {
        rt::MessageBox(QStringLiteral("Shift Dates"), QStringLiteral("This event has no date line with a start date to move."));
        return;
    }
    w_shift_dates dialog(first, usablePattern(gs_short_date_format), window());
    dialog.showHelp = [this] { showHelp(); };
    if (dialog.exec() != QDialog::Accepted)
        return;
    const long current = dw_event_dates->GetRow();
    if (!doc.shiftDateLines(eventId, dialog.days())) {
        rt::MessageBox(QStringLiteral("Shift Dates"),
                       QStringLiteral("The dates cannot be moved by %1 days: a date would leave the range the files hold.")
                           .arg(dialog.days()));
        return;
    }
    if (current >= 1)
        dw_event_dates->ScrollToRow(current);
    dw_event_dates->SetFocus();
}
