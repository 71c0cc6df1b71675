// The changes made to the event data, as steps that can be taken back and
// made again. Every change of the three record sets is heard here, whatever
// made it (a field, a button, the calendar): the changes that one action of
// the user makes, up to the moment the program waits for the next one, form
// one step.
#pragma once

#include "recordset.h"

#include <QObject>
#include <QString>
#include <QUndoStack>

#include <chrono>
#include <functional>
#include <vector>

// One change of one record set, by the row's place among all rows.
struct RowChange {
    enum Kind : quint8 { Insert = 1, Remove = 2, Set = 3 };
    Kind kind = Set;
    quint8 part = 0;   // EventDocument::Part
    qint64 place = 0;
    qint16 col = 0;    // Set: 1-based column
    StoredRow row;     // Insert, Remove: the row's values
    StoredValue before, after; // Set
    // For showing where the change happened: the key of the event (an
    // event's own, a date line's event) and of the date line.
    QString eventKey, lineKey;
};

// Where a step happened, for bringing it on screen.
struct ChangeSite {
    enum class Page { Admin, List, Detail, Dates };
    Page page = Page::Admin;
    QString eventKey;     // the event to select (may no longer exist)
    long eventPlace = -1; // the place the event had, when it is gone
    QString lineKey;      // the date line to make current
    QString column;       // the field to make current
};

class ChangeHistory : public QObject, private RecordSetObserver {
    Q_OBJECT
public:
    // `sets` are the admin, event and date record sets, in that order.
    // Changes of one field no further apart than `mergeInterval` (the keys
    // of one search in a drop-down) make one step.
    ChangeHistory(std::vector<RecordSet *> sets, std::chrono::milliseconds mergeInterval, QObject *parent = nullptr);
    ~ChangeHistory() override;

    QUndoStack &stack() { return stack_; }
    // Changes made while paused (reading the data files) are no step.
    void setPaused(bool paused) { paused_ = paused; }
    // Ends the step being gathered; it becomes the one to undo.
    void closeStep();
    bool undo();
    bool redo();
    // Forgets every step: the data as it stands is where history starts.
    void clear();
    // Makes `changes` again as one step; false (and nothing changed) when
    // they do not fit the data.
    bool replay(const std::vector<RowChange> &changes);
    // Whether `changes` would fit the data as it stands.
    bool fits(const std::vector<RowChange> &changes) const;

    // Told of every change as it is made, steps taken back included.
    std::function<void(const RowChange &)> onChange;

signals:
    // A step was taken back or made again; `site` is where it happened.
    void stepShown(const ChangeSite &site);

private:
    class Step;
    // Takes back (or, `forward`, makes again) the step next in line.
    bool step(bool forward);
    void rowInserted(RecordSet &rs, long place, const StoredRow &values) override;
    void rowRemoved(RecordSet &rs, long place, const StoredRow &values) override;
    void valueChanged(RecordSet &rs, long place, int col, const StoredValue &before,
                      const StoredValue &after) override;
    void heard(RowChange &&change, RecordSet &rs);
    void heardRow(RowChange::Kind kind, RecordSet &rs, long place, const StoredRow &values);
    bool apply(const RowChange &change, bool backwards);
    void applyStep(const std::vector<RowChange> &changes, bool backwards);
    ChangeSite siteOf(const std::vector<RowChange> &changes) const;
    int partOf(const RecordSet &rs) const;

    std::vector<RecordSet *> sets_;
    QUndoStack stack_;
    std::vector<RowChange> gathering_;
    bool closePosted_ = false;
    bool applying_ = false;
    bool paused_ = false;
    std::chrono::milliseconds mergeInterval_;
};
