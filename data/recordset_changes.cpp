// Changes of a record set named by a row's place among all rows: what an
// observer is told, and how a change is made again or taken back.
#include "recordset.h"

#include <algorithm>

StoredRow RecordSet::storedRow(quint32 id) const
{
    StoredRow row(static_cast<size_t>(columnCount()));
    for (int c = 0; c < columnCount(); ++c) {
        row[size_t(c)].null = store_.isNull(id, c);
        if (!row[size_t(c)].null)
            row[size_t(c)].bytes = store_.value(id, c).toByteArray();
    }
    return row;
}

long RecordSet::placeOf(long row) const
{
    if (!validRow(row))
        return -1;
    const quint32 id = visible_[row - 1];
    const auto it = std::lower_bound(master_.begin(), master_.end(), seq_[id],
                                     [this](quint32 x, quint64 s) { return seq_[x] < s; });
    return it != master_.end() && *it == id ? long(it - master_.begin()) : -1;
}

long RecordSet::rowAtPlace(long place) const
{
    if (place < 0 || place >= allRowCount())
        return 0;
    const quint32 id = master_[size_t(place)];
    const auto it = std::lower_bound(visible_.begin(), visible_.end(), seq_[id],
                                     [this](quint32 x, quint64 s) { return seq_[x] < s; });
    return it != visible_.end() && *it == id ? long(it - visible_.begin()) + 1 : 0;
}

StoredRow RecordSet::rowAt(long place) const
{
    if (place < 0 || place >= allRowCount())
        return {};
    return storedRow(master_[size_t(place)]);
}

QByteArrayView RecordSet::valueAt(long place, int col) const
{
    if (place < 0 || place >= allRowCount() || !validCol(col))
        return {};
    return store_.value(master_[size_t(place)], col - 1);
}

bool RecordSet::isNullAt(long place, int col) const
{
    return place < 0 || place >= allRowCount() || !validCol(col) || store_.isNull(master_[size_t(place)], col - 1);
}

quint32 RecordSet::idAt(long place) const
{
    return place < 0 || place >= allRowCount() ? 0 : master_[size_t(place)];
}

bool RecordSet::insertAt(long place, const StoredRow &values)
{
    if (place < 0 || place > allRowCount() || values.size() != size_t(columnCount()))
        return false;
    // A master-order key between the neighbours; renumbered when they touch.
    auto keyAt = [this](long p) -> quint64 {
        const quint64 prev = p == 0 ? 0 : seq_[master_[size_t(p - 1)]];
        if (p == allRowCount())
            return prev + (quint64(1) << 20);
        const quint64 next = seq_[master_[size_t(p)]];
        return next - prev >= 2 ? prev + (next - prev) / 2 : 0;
    };
    quint64 seq = keyAt(place);
    if (seq == 0) {
        renumber();
        seq = keyAt(place);
    }
    std::vector<RowStore::Field> fields(values.size());
    for (size_t i = 0; i < values.size(); ++i)
        fields[i] = RowStore::Field{values[i].bytes.constData(), values[i].bytes.size(), values[i].null};
    const quint32 id = store_.add(fields.data(), int(fields.size()));
    if (seq_.size() <= id)
        seq_.resize(id + 1);
    seq_[id] = seq;
    master_.insert(master_.begin() + place, id);
    indexAdd(id);
    if (passes(id)) {
        const auto it = std::lower_bound(visible_.begin(), visible_.end(), seq,
                                         [this](quint32 x, quint64 s) { return seq_[x] < s; });
        const long row = long(it - visible_.begin()) + 1;
        visible_.insert(it, id);
        if (edit_.active && edit_.row >= row)
            ++edit_.row;
        emit rowsInserted(row, row);
    }
    if (observer_)
        observer_->rowInserted(*this, place, values);
    return true;
}

bool RecordSet::removeAt(long place)
{
    if (place < 0 || place >= allRowCount())
        return false;
    const long row = rowAtPlace(place);
    if (row > 0)
        return DeleteRow(row) == 1;
    const quint32 id = master_[size_t(place)];
    if (observer_)
        observer_->rowRemoved(*this, place, storedRow(id));
    indexRemove(id);
    master_.erase(master_.begin() + place);
    store_.remove(id);
    return true;
}

bool RecordSet::setAt(long place, int col, const StoredValue &value)
{
    if (place < 0 || place >= allRowCount() || !validCol(col))
        return false;
    const long row = rowAtPlace(place);
    if (row > 0)
        return setValueBytes(row, col, value.bytes, value.null) == 1;
    const quint32 id = master_[size_t(place)];
    const StoredValue before{store_.value(id, col - 1).toByteArray(), store_.isNull(id, col - 1)};
    const bool indexed = indexCol_ == col;
    if (indexed)
        indexRemove(id);
    store_.set(id, col - 1, RowStore::Field{value.bytes.constData(), value.bytes.size(), value.null});
    if (indexed)
        indexAdd(id);
    if (observer_ && !(before == value))
        observer_->valueChanged(*this, place, col, before, value);
    return true;
}
