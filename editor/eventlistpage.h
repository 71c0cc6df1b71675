// The Events tab page: the list of events with New, Copy and Delete. The
// event made current here is the one the detail and dates pages show.
#pragma once

#include "eventdocument.h"
#include "pagehost.h"

class EventDatesPage;
class EventDetailPage;

class EventListPage : public EventPage {
    Q_OBJECT
public:
    EventListPage(PageHost &host, QWidget *parent);
    // The page's controls: built once, when the window first needs them.
    void build();
    // The pages that follow the current event; called once both exist.
    void follow(EventDetailPage *detail, EventDatesPage *dates);


    long rowfocuschanged(long currentrow);
    // Whether every event from `ai_row` on has its mandatory values.
    bool ue_row_populated(int ai_row);
    void pb_new_clicked();
    void pb_new_copy_clicked();
    void pb_4_clicked();
    // Import...: events from a calendar file or a spreadsheet, as one step.
    void pb_import_clicked();

private:
    // The event just made is the current one on the dates page, with its
    // fresh line current (its first line when it has none).
    void showDateLines(const EventDocument::EventMade &made);

    DataWindow *dw_event_list = nullptr;
    EventDetailPage *detail_ = nullptr;
    EventDatesPage *dates_ = nullptr;
};
