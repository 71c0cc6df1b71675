#include "changehistory.h"

#include <QUndoCommand>

#include <chrono>
#include <utility>

namespace {
constexpr int kEvents = int(DataPart::Events);
constexpr int kDates = int(DataPart::Dates);
const QString kCurrentColumn = QStringLiteral("current_column");
} // namespace

// One step: a command's work, done when the step is first made, and the
// changes it made, taken back by undo and made again by redo.
//
// Keys typed into a drop-down in quick succession search its list, and each
// match they pass on the way is taken as the field's value at once: such
// settings of one field, as close together as the keys of one search, make
// one step (typing "Fra" and undoing goes back to where the field was, not
// to "Falkland Islands").
class ChangeHistory::Step : public QUndoCommand {
public:
    Step(ChangeHistory &history, Kind kind, const QString &text, std::function<void()> work)
        : QUndoCommand(text), history_(history), kind_(kind), work_(std::move(work)),
          made_(std::chrono::steady_clock::now())
    {
    }
    // A step of changes made already.
    Step(ChangeHistory &history, std::vector<RowChange> changes)
        : QUndoCommand(QStringLiteral("Change")), history_(history), kind_(Kind::Other),
          changes_(std::move(changes)), made_(std::chrono::steady_clock::now())
    {
    }
    void undo() override { history_.applyStep(changes_, true); }
    void redo() override
    {
        if (!std::exchange(fresh_, false)) {
            history_.applyStep(changes_, false);
            return;
        }
        if (work_) {
            Step *outer = std::exchange(history_.recording_, this);
            work_();
            history_.recording_ = outer;
            work_ = {};
        }
        setObsolete(changes_.empty()); // a step that changed nothing is none
        history_.performed_ = !changes_.empty();
    }
    int id() const override { return kind_ == Kind::SetField && oneValue() ? 1 : -1; }
    bool mergeWith(const QUndoCommand *other) override
    {
        const auto *next = static_cast<const Step *>(other);
        if (next->kind_ != Kind::SetField || !oneValue() || !next->oneValue())
            return false;
        RowChange &mine = changes_.front();
        const RowChange &theirs = next->changes_.front();
        if (mine.part != theirs.part || mine.place != theirs.place || mine.col != theirs.col
            || next->made_ - made_ > history_.mergeInterval_)
            return false;
        mine.after = theirs.after;
        made_ = next->made_;
        return true;
    }
    void add(RowChange &&change) { changes_.push_back(std::move(change)); }

private:
    bool oneValue() const { return changes_.size() == 1 && changes_.front().kind == RowChange::Set; }

    ChangeHistory &history_;
    Kind kind_;
    std::function<void()> work_;
    std::vector<RowChange> changes_;
    std::chrono::steady_clock::time_point made_;
    bool fresh_ = true; // not made yet
};

ChangeHistory::ChangeHistory(std::vector<RecordSet *> sets, std::chrono::milliseconds mergeInterval, QObject *parent)
    : QObject(parent), sets_(std::move(sets)), mergeInterval_(mergeInterval)
{
    for (RecordSet *rs : sets_)
        rs->setObserver(this);
}

ChangeHistory::~ChangeHistory()
{
    for (RecordSet *rs : sets_)
        rs->setObserver(nullptr);
}

int ChangeHistory::partOf(const RecordSet &rs) const
{
    for (size_t i = 0; i < sets_.size(); ++i)
        if (sets_[i] == &rs)
            return int(i);
    return -1;
}

// ---- Hearing changes ---------------------------------------------------------

void ChangeHistory::rowInserted(RecordSet &rs, long place, const StoredRow &values)
{
    heardRow(RowChange::Insert, rs, place, values);
}

void ChangeHistory::rowRemoved(RecordSet &rs, long place, const StoredRow &values)
{
    heardRow(RowChange::Remove, rs, place, values);
}

void ChangeHistory::heardRow(RowChange::Kind kind, RecordSet &rs, long place, const StoredRow &values)
{
    RowChange c;
    c.kind = kind;
    c.place = place;
    c.row = values;
    heard(std::move(c), rs);
}

void ChangeHistory::valueChanged(RecordSet &rs, long place, int col, const StoredValue &before,
                                 const StoredValue &after)
{
    // Which field has the focus is no change of the data.
    if (rs.definition().columns[size_t(col - 1)].name == kCurrentColumn)
        return;
    RowChange c;
    c.kind = RowChange::Set;
    c.place = place;
    c.col = qint16(col);
    c.before = before;
    c.after = after;
    heard(std::move(c), rs);
}

void ChangeHistory::heard(RowChange &&change, RecordSet &rs)
{
    const int part = partOf(rs);
    if (paused_ || part < 0)
        return;
    change.part = quint8(part);
    auto key = [&](const char *column) {
        const int col = rs.columnIndex(QLatin1String(column));
        if (col < 1)
            return QString();
        if (change.kind == RowChange::Set)
            return QString::fromUtf8(rs.valueAt(change.place, col));
        return QString::fromUtf8(change.row[size_t(col - 1)].bytes);
    };
    if (part == kEvents || part == kDates)
        change.eventKey = key("event_id");
    if (part == kDates)
        change.lineKey = key("time_id");
    if (onChange)
        onChange(change);
    if (applying_)
        return;
    if (recording_) {
        recording_->add(std::move(change));
        return;
    }
    // A change made outside any command is a step of its own: the history
    // must know every change to take the steps before it back in place.
    stack_.push(new Step(*this, std::vector<RowChange>{std::move(change)}));
}

bool ChangeHistory::perform(Kind kind, const QString &text, const std::function<void()> &work)
{
    // A command that another one runs is part of that one's step.
    if (recording_) {
        work();
        return true;
    }
    performed_ = false;
    stack_.push(new Step(*this, kind, text, work));
    return performed_;
}

// ---- Taking back and making again ------------------------------------------------

bool ChangeHistory::undo()
{
    if (!stack_.canUndo())
        return false;
    stack_.undo();
    return true;
}

bool ChangeHistory::redo()
{
    if (!stack_.canRedo())
        return false;
    stack_.redo();
    return true;
}

void ChangeHistory::clear()
{
    stack_.clear();
}

bool ChangeHistory::apply(const RowChange &c, bool backwards)
{
    RecordSet &rs = *sets_[c.part];
    switch (c.kind) {
    case RowChange::Insert: return backwards ? rs.removeAt(c.place) : rs.insertAt(c.place, c.row);
    case RowChange::Remove: return backwards ? rs.insertAt(c.place, c.row) : rs.removeAt(c.place);
    case RowChange::Set: return rs.setAt(c.place, c.col, backwards ? c.before : c.after);
    }
    return false;
}

void ChangeHistory::applyStep(const std::vector<RowChange> &changes, bool backwards)
{
    applying_ = true;
    if (backwards)
        for (auto it = changes.rbegin(); it != changes.rend(); ++it)
            apply(*it, true);
    else
        for (const RowChange &c : changes)
            apply(c, false);
    applying_ = false;
    emit stepShown(siteOf(changes));
}

bool ChangeHistory::fits(const std::vector<RowChange> &changes) const
{
    std::vector<long> count;
    for (RecordSet *rs : sets_)
        count.push_back(rs->allRowCount());
    for (const RowChange &c : changes) {
        if (c.part >= sets_.size())
            return false;
        const RecordSet &rs = *sets_[c.part];
        long &n = count[c.part];
        switch (c.kind) {
        case RowChange::Insert:
            if (c.place < 0 || c.place > n || c.row.size() != size_t(rs.columnCount()))
                return false;
            ++n;
            break;
        case RowChange::Remove:
            if (c.place < 0 || c.place >= n)
                return false;
            --n;
            break;
        case RowChange::Set:
            if (c.place < 0 || c.place >= n || c.col < 1 || c.col > rs.columnCount())
                return false;
            break;
        default: return false;
        }
    }
    return true;
}

bool ChangeHistory::replay(const std::vector<RowChange> &changes)
{
    if (!fits(changes))
        return false;
    perform(Kind::Restore, QStringLiteral("Restore Unsaved Changes"), [&] {
        for (const RowChange &c : changes)
            apply(c, false);
    });
    return true;
}

ChangeSite ChangeHistory::siteOf(const std::vector<RowChange> &changes) const
{
    // An event's change comes first, then a date line's, then the admin record's.
    int primary = 0;
    for (const RowChange &c : changes)
        if (c.part == kEvents || (c.part == kDates && primary == 0))
            primary = c.part;
    ChangeSite site;
    site.part = DataPart(primary);
    for (const RowChange &c : changes) {
        if (c.part != primary)
            continue;
        if (site.eventPlace < 0 && c.part == kEvents)
            site.eventPlace = long(c.place);
        if (site.eventKey.isEmpty())
            site.eventKey = c.eventKey;
        if (site.lineKey.isEmpty())
            site.lineKey = c.lineKey;
        if (c.kind == RowChange::Set && site.column.isEmpty())
            site.column = sets_[c.part]->definition().columns[size_t(c.col - 1)].name;
        site.rows = site.rows || c.kind != RowChange::Set;
    }
    return site;
}
