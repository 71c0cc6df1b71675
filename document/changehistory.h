// The changes made to the event data, as steps that can be taken back and
// made again. Each step is one command of the document (a new event, a field
// set, ...): its work is done when the step is made, and every change that
// work makes to the three record sets is heard here and kept with the step,
// so that undoing takes back exactly those changes and redoing makes them
// again. The journal hears every change too, also those of undo and redo.
#pragma once

#include "recordset.h"

#include <QObject>
#include <QString>
#include <QUndoStack>

#include <chrono>
#include <functional>
#include <vector>

// The three record sets of the event data.
enum class DataPart : quint8 { Admin, Events, Dates };

// One change of one record set, by the row's place among all rows.
struct RowChange {
    enum Kind : quint8 { Insert = 1, Remove = 2, Set = 3 };
    Kind kind = Set;
    quint8 part = 0;   // DataPart
    qint64 place = 0;
    qint16 col = 0;    // Set: 1-based column
    StoredRow row;     // Insert, Remove: the row's values
    StoredValue before, after; // Set
    // For showing where the change happened: the key of the event (an
    // event's own, a date line's event) and of the date line.
    QString eventKey, lineKey;
};

// Where a step happened, for bringing it on screen: the record set, whether
// rows came or went (else values changed), the event, the line and the field.
struct ChangeSite {
    DataPart part = DataPart::Admin;
    bool rows = false;
    QString eventKey;     // the event to select (may no longer exist)
    long eventPlace = -1; // the place the event had, when it is gone
    QString lineKey;      // the date line to make current
    QString column;       // the field to make current
};

class ChangeHistory : public QObject, private RecordSetObserver {
    Q_OBJECT
public:
    // What a step does, as the user asked for it.
    enum class Kind { NewEvent, CopyEvent, DeleteEvent, NewDateLines, DeleteDateLine, ShiftDateLines, Import, SetField, Restore, Other };

    // `sets` are the admin, event and date record sets, in that order.
    // Fields set one after the other no further apart than `mergeInterval`
    // (the keys of one search in a drop-down) make one step.
    ChangeHistory(std::vector<RecordSet *> sets, std::chrono::milliseconds mergeInterval, QObject *parent = nullptr);
    ~ChangeHistory() override;

    QUndoStack &stack() { return stack_; }
    const QUndoStack &stack() const { return stack_; }
    // Changes made while paused (reading the data files) are no step.
    void setPaused(bool paused) { paused_ = paused; }
    // Makes the step `text` of `kind`: runs `work`, and keeps what it
    // changed as one step (none when it changed nothing, or merged into the
    // step before: a field set again). Answers whether anything changed.
    bool perform(Kind kind, const QString &text, const std::function<void()> &work);
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
    Step *recording_ = nullptr; // the step whose work is being done
    bool performed_ = false;    // the last step made changed something
    bool applying_ = false;
    bool paused_ = false;
    std::chrono::milliseconds mergeInterval_;
};
