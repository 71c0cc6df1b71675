// The Event Dates & Times tab page: the date lines of the current event, New
// and Delete, F3 for the calendar, Tab out of the last field for a new line,
// lines made from a schedule (Ctrl+Shift+N) and all lines moved by days.
#pragma once

#include "pagehost.h"

class RecordSetView;

class EventDatesPage : public EventPage {
    Q_OBJECT
public:
    EventDatesPage(PageHost &host, QWidget *parent);
    // The page's controls: built once, when the window first needs them.
    void build();


    // Shows the lines of `as_filter_key` only; nothing for an empty key.
    void ue_set_filter(const QString &as_filter_key);
    // Shows the lines of every event (until the next ue_set_filter).
    void showAllLines();
    // Whether the lines from `ai_row` on have a city, both dates and a first time.
    bool ue_row_populated(int ai_row);
    void ue_tab_out();
    long ue_enter();
    bool ue_key(int key, quint32 keyflags);
    void pb_new_date_clicked();
    void pb_delete_date_clicked();
    void pb_schedule_clicked();
    void pb_shift_dates_clicked();

private:
    // A new last line of the current event with the admin defaults, made
    // current; answers its row.
    long insertLine();
    // Whether there is an event whose lines the page shows; says so if not.
    bool hasEvent();
    // F1 in the page's dialogs: the page's help.
    void showHelp();

    DataWindow *dw_event_dates = nullptr;
    // The lines the page shows: a view over all the lines of all events.
    RecordSetView *lines_ = nullptr;
};
