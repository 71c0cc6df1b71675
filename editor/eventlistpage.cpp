#include "eventlistpage.h"

#include "datawindow.h"
#include "eventdatespage.h"
#include "eventdetailpage.h"
#include "eventdocument.h"
#include "importrun.h"
#include "pagehost.h"
#include "recordset.h"
#include "runtime.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

EventListPage::EventListPage(PageHost &host, QWidget *parent)
    : EventPage(host, parent, QStringLiteral("tabpage_event_list"))
{
}

void EventListPage::build()
{
    if (view())
        return;
    QWidget *page = this;
    // Made in the order Tab visits them: the buttons as they stand in their row, then the list.
    auto *pb_new = pages::button(page, "pb_new", QStringLiteral("New "), "new.jpg", "new_focus.jpg", "new_dis.jpg");
    auto *pb_new_copy =
        pages::button(page, "pb_new_copy", QStringLiteral("Copy   "), "new_copy.jpg", "new_copy.jpg", "new_copy.jpg");
    auto *pb_4 = pages::button(page, "pb_4", QStringLiteral("Delete"), "delete.jpg", "delete_focus.jpg", "delete_dis.jpg");
    auto *pb_import = pages::button(page, "pb_import", QStringLiteral("Import..."), "import.jpg", "import_focus.jpg",
                                    "import_dis.jpg");
    pb_import->setToolTip(QStringLiteral("Add events from a calendar file (.ics) or a spreadsheet (.csv)"));
    dw_event_list = makeView(QStringLiteral("dw_event_list"), QStringLiteral("d_list"), DataWindow::Kind::Grid,
                             &host_.document().events());
    dw_event_list->gridView()->setAccessibleName(QStringLiteral("Events"));
    layOutUnderRow({pb_new, pb_new_copy, pb_4}, {pb_import});

    dw_event_list->Modify(QStringLiteral("DataWindow.NoUserPrompt='yes'"));
    connect(dw_event_list, &DataWindow::rowFocusChanged, this, [this](long row) { rowfocuschanged(row); });
    connect(dw_event_list, &DataWindow::getFocus, this,
            [this] { host_.setHelpTopic(QStringLiteral("eventslist.htm")); });
    connect(dw_event_list, &DataWindow::doubleClicked, this,
            [this](long) { host_.SelectTab(QStringLiteral("tabpage_events_detail")); });
    dw_event_list->ue_key = [this](int k, quint32 flags) {
        if (k == rt::KeyF1) {
            host_.key(k, flags);
            return true;
        }
        return false;
    };
    connect(pb_new, &QPushButton::clicked, this, &EventListPage::pb_new_clicked);
    connect(pb_new_copy, &QPushButton::clicked, this, &EventListPage::pb_new_copy_clicked);
    connect(pb_4, &QPushButton::clicked, this, &EventListPage::pb_4_clicked);
    connect(pb_import, &QPushButton::clicked, this, &EventListPage::pb_import_clicked);
}

void EventListPage::follow(EventDetailPage *detail, EventDatesPage *dates)
{
    detail_ = detail;
    dates_ = dates;
    connect(detail_->view(), &DataWindow::rowFocusChanged, this, [this](long row) { rowfocuschanged(row); });
}

long EventListPage::rowfocuschanged(long currentrow)
{
    if (currentrow < 1) {
        detail_->showPosition(0, 0);
        return 0;
    }
    dw_event_list->SelectRow(0, false);
    dw_event_list->SelectRow(currentrow, true);
    detail_->view()->ScrollToRow(currentrow);
    const RecordSet &events = host_.document().events();
    detail_->showPosition(currentrow, events.RowCount());
    host_.currentEventId() = events.GetItemString(currentrow, QStringLiteral("event_id"));
    dates_->ue_set_filter(host_.currentEventId());
    return 0;
}

bool EventListPage::ue_row_populated(int ai_row)
{
    return host_.document().eventsComplete(ai_row);
}

void EventListPage::showDateLines(const EventDocument::EventMade &made)
{
    host_.currentEventId() = made.eventId;
    dates_->ue_set_filter(made.eventId);
    DataWindow *lines = dates_->view();
    lines->ScrollToRow(made.freshLineId.isEmpty() ? 1 : lines->rowOfSource(host_.document().lineRow(made.freshLineId)));
}

void EventListPage::pb_new_clicked()
{
    if (!ue_row_populated(1)) {
        rt::MessageBox(QStringLiteral("New Event"), host_.message(15));
        return;
    }
    const EventDocument::EventMade made = host_.document().newEvent();
    if (made.row <= 0)
        return;
    dw_event_list->ScrollToRow(made.row);
    if (!made.freshLineId.isEmpty())
        showDateLines(made);
    host_.SelectTab(QStringLiteral("tabpage_events_detail"));
}

void EventListPage::pb_new_copy_clicked()
{
    const long ll_current_row = dw_event_list->GetRow();
    if (ll_current_row <= 0) {
        rt::MessageBox(QStringLiteral("Event Copy"),
                       QStringLiteral("You must have a selected event before you my copy the information !"));
        return;
    }
    const EventDocument::EventMade made = host_.document().copyEvent(ll_current_row);
    if (made.row <= 0)
        return;
    // A copy without lines of its own gets a fresh one, on the detail page.
    showDateLines(made);
    if (!made.freshLineId.isEmpty())
        host_.SelectTab(QStringLiteral("tabpage_events_detail"));
    dw_event_list->ScrollToRow(made.row);
}

void EventListPage::pb_4_clicked()
{
    const long ll_row = dw_event_list->GetRow();
    if (ll_row > 0)
        host_.document().deleteEvent(ll_row);
}

void EventListPage::pb_import_clicked()
{
    dw_event_list->AcceptText();
    const long first = importrun::run(window(), host_.document());
    if (first >= 1) {
        // Into an empty list the first event imported is current already
        // (it became so as it came in, before its key and lines were
        // there): its lines are shown here either way.
        dw_event_list->ScrollToRow(first);
        rowfocuschanged(first);
        dw_event_list->SetFocus();
    }
}
