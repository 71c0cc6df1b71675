#include "recordsetview.h"

#include "recordset.h"

#include <algorithm>

RecordSetView::RecordSetView(const RecordSet &rs, QObject *parent) : QObject(parent), rs_(rs)
{
    connect(&rs_, &RecordSet::rowsReset, this, [this] {
        refill();
        emit rowsReset();
    });
    connect(&rs_, &RecordSet::rowsInserted, this, &RecordSetView::sourceInserted);
    connect(&rs_, &RecordSet::rowsRemoved, this, &RecordSetView::sourceRemoved);
    connect(&rs_, &RecordSet::itemChanged, this, &RecordSetView::sourceChanged);
    connect(&rs_, &RecordSet::presentationChanged, this, &RecordSetView::presentationChanged);
}

bool RecordSetView::showOnly(int col, QByteArrayView value)
{
    if (col != 0) {
        if (col < 1 || col > rs_.columnCount() || rs_.definition().columns[size_t(col - 1)].type != ColType::Char)
            return false;
    }
    col_ = col;
    value_ = col == 0 ? QByteArray() : value.toByteArray();
    refill();
    emit rowsReset();
    return true;
}

long RecordSetView::RowCount() const
{
    return col_ == 0 ? rs_.RowCount() : long(rows_.size());
}

long RecordSetView::sourceRow(long row) const
{
    if (row < 1 || row > RowCount())
        return 0;
    return col_ == 0 ? row : rows_[size_t(row - 1)];
}

long RecordSetView::rowOf(long source) const
{
    if (col_ == 0)
        return source >= 1 && source <= rs_.RowCount() ? source : 0;
    const auto it = std::lower_bound(rows_.begin(), rows_.end(), source);
    return it != rows_.end() && *it == source ? long(it - rows_.begin()) + 1 : 0;
}

bool RecordSetView::matches(long source) const
{
    return !rs_.IsNull(source, col_) && rs_.rawValue(source, col_) == QByteArrayView(value_);
}

void RecordSetView::refill()
{
    rows_.clear();
    if (col_ != 0)
        rows_ = rs_.rowsWhere(col_, value_);
}

void RecordSetView::sourceInserted(long first, long last)
{
    if (col_ == 0) {
        emit rowsInserted(first, last);
        return;
    }
    // The rows below move down; those of the value among the new ones come
    // in together, between the rows above and below them.
    const auto at = std::lower_bound(rows_.begin(), rows_.end(), first);
    for (auto it = at; it != rows_.end(); ++it)
        *it += last - first + 1;
    std::vector<long> added;
    for (long source = first; source <= last; ++source)
        if (matches(source))
            added.push_back(source);
    if (added.empty())
        return;
    const long row = long(at - rows_.begin()) + 1;
    rows_.insert(at, added.begin(), added.end());
    emit rowsInserted(row, row + long(added.size()) - 1);
}

void RecordSetView::sourceRemoved(long first, long last)
{
    if (col_ == 0) {
        emit rowsRemoved(first, last);
        return;
    }
    const auto from = std::lower_bound(rows_.begin(), rows_.end(), first);
    const auto to = std::upper_bound(from, rows_.end(), last);
    for (auto it = to; it != rows_.end(); ++it)
        *it -= last - first + 1;
    if (from == to)
        return;
    const long row = long(from - rows_.begin()) + 1;
    const long count = long(to - from);
    rows_.erase(from, to);
    emit rowsRemoved(row, row + count - 1);
}

void RecordSetView::sourceChanged(long source, int col)
{
    if (col_ == 0) {
        emit itemChanged(source, col);
        return;
    }
    const long row = rowOf(source);
    if (col == col_ && (row > 0) != matches(source)) {
        // The row came to hold the value, or no longer holds it.
        if (row > 0) {
            rows_.erase(rows_.begin() + (row - 1));
            emit rowsRemoved(row, row);
        } else {
            const auto at = std::lower_bound(rows_.begin(), rows_.end(), source);
            const long added = long(at - rows_.begin()) + 1;
            rows_.insert(at, source);
            emit rowsInserted(added, added);
        }
        return;
    }
    if (row > 0)
        emit itemChanged(row, col);
}
