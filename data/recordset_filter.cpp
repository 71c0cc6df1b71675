// The rows a filter passes, the index of one column that filtering and
// finding go through, finding a row, and copying rows.
#include "recordset.h"

#include <QRegularExpression>

#include <algorithm>
#include <limits>
#include <optional>

// ---- filter, find, copy ---------------------------------------------------------

bool RecordSet::parseEquality(const Definition &def, const QString &expr, FilterExpr &out, bool allowEmpty)
{
    if (expr.trimmed().isEmpty()) {
        out = FilterExpr{};
        return allowEmpty;
    }
    static const QRegularExpression re(QStringLiteral("^\\s*([A-Za-z_][A-Za-z0-9_]*)\\s*=\\s*'([^']*)'\\s*$"));
    const auto m = re.match(expr);
    if (!m.hasMatch())
        return false;
    const int col = def.columnIndex(m.captured(1));
    if (col == 0 || def.columns[col - 1].type != ColType::Char)
        return false;
    out.col = col;
    out.value = m.captured(2).toUtf8();
    return true;
}

int RecordSet::SetFilter(const QString &expr)
{
    FilterExpr f;
    if (!parseEquality(def_, expr, f, true))
        return -1;
    pending_ = f;
    filterText_ = expr;
    return 1;
}

bool RecordSet::passes(quint32 id) const
{
    if (applied_.col == 0)
        return true;
    return !store_.isNull(id, applied_.col - 1) && store_.value(id, applied_.col - 1) == applied_.value;
}

namespace {
quint32 hashOf(QByteArrayView value) { return quint32(qHash(value)); }
} // namespace

void RecordSet::ensureIndex(int col) const
{
    if (indexCol_ == col && !indexStale_)
        return;
    index_.clear();
    index_ = makeIndex(col, master_);
    indexCol_ = col;
    indexStale_ = false;
}

RecordSet::IndexEntries RecordSet::makeIndex(int col, const std::vector<quint32> &ids, const rt::HeldBytes *text) const
{
    IndexEntries index;
    index.reserve(ids.size());
    {
        // Rows just read lie in `text` in id order: it is let go of behind
        // the rows, as while reading; otherwise every few thousand rows.
        std::optional<rt::PagesBehind> behind;
        std::optional<RowStore::Pass> pass;
        if (text)
            behind.emplace(*text);
        else
            pass.emplace(store_);
        for (quint32 id : ids) {
            if (!store_.isNull(id, col - 1)) {
                const QByteArrayView value = store_.value(id, col - 1);
                index.emplace_back(hashOf(value), id);
                if (behind)
                    behind->passed(value.data());
            }
            if (pass)
                pass->row();
        }
    }
    // Ordered by hash, and by id among equal hashes. Taken in id order (as
    // rows read from a file are), a stable radix sort by the hash gives
    // that order, in three passes over the entries.
    bool idOrder = true;
    for (size_t i = 1; i < index.size() && idOrder; ++i)
        idOrder = index[i - 1].second < index[i].second;
    if (!idOrder || index.size() < 4096) {
        std::sort(index.begin(), index.end());
    } else {
        IndexEntries other(index.size());
        for (int shift : {0, 11, 22}) {
            size_t count[2049] = {};
            for (const IndexEntry &e : index)
                ++count[((e.first >> shift) & 0x7FF) + 1];
            for (int d = 0; d < 2048; ++d)
                count[d + 1] += count[d];
            for (const IndexEntry &e : index)
                other[count[(e.first >> shift) & 0x7FF]++] = e;
            index.swap(other);
        }
    }
    return index;
}

void RecordSet::adoptIndex(int col, IndexEntries &&entries)
{
    index_ = std::move(entries);
    indexCol_ = col;
    indexStale_ = false;
}

std::pair<std::vector<RecordSet::IndexEntry>::const_iterator, std::vector<RecordSet::IndexEntry>::const_iterator>
RecordSet::indexRange(QByteArrayView value) const
{
    const quint32 h = hashOf(value);
    return {std::lower_bound(index_.cbegin(), index_.cend(), IndexEntry{h, 0}),
            std::upper_bound(index_.cbegin(), index_.cend(), IndexEntry{h, std::numeric_limits<quint32>::max()})};
}

void RecordSet::indexAdd(quint32 id)
{
    if (indexCol_ == 0 || indexStale_ || store_.isNull(id, indexCol_ - 1))
        return;
    const IndexEntry e{hashOf(store_.value(id, indexCol_ - 1)), id};
    index_.insert(std::upper_bound(index_.begin(), index_.end(), e), e);
}

void RecordSet::indexRemove(quint32 id)
{
    if (indexCol_ == 0 || indexStale_ || store_.isNull(id, indexCol_ - 1))
        return;
    const IndexEntry e{hashOf(store_.value(id, indexCol_ - 1)), id};
    const auto it = std::lower_bound(index_.begin(), index_.end(), e);
    if (it != index_.end() && *it == e)
        index_.erase(it);
}

int RecordSet::Filter()
{
    applied_ = pending_;
    if (applied_.col == 0) {
        visible_ = master_;
    } else {
        visible_ = {}; // a filter passes a few rows of many: the list of them all is let go
        if ((indexCol_ != applied_.col || indexStale_) && scannedCol_ != applied_.col) {
            // The first filter on a column looks at every row, which costs
            // less than building the index; the index is built when the
            // column is filtered again (as the date lines are at every
            // change of event).
            RowStore::Pass pass(store_);
            for (quint32 id : master_) {
                if (passes(id))
                    visible_.push_back(id);
                pass.row();
            }
            if (!master_.empty())
                scannedCol_ = applied_.col;
        } else {
            ensureIndex(applied_.col);
            const auto [from, to] = indexRange(applied_.value);
            for (auto it = from; it != to; ++it)
                if (passes(it->second))
                    visible_.push_back(it->second);
            std::sort(visible_.begin(), visible_.end(), [this](quint32 a, quint32 b) { return seq_[a] < seq_[b]; });
        }
    }
    clearEditText();
    emit rowsReset();
    return 1;
}

long RecordSet::Find(const QString &expr, long first, long last) const
{
    FilterExpr f;
    if (!parseEquality(def_, expr, f, false))
        return -1;
    return findRow(f, first, last);
}

long RecordSet::rowWhere(int col, const QString &value) const
{
    if (!validCol(col) || def_.columns[size_t(col - 1)].type != ColType::Char)
        return 0;
    return findRow(FilterExpr{col, value.toUtf8()}, 1, RowCount());
}

std::vector<long> RecordSet::rowsWhere(int col, QByteArrayView value) const
{
    std::vector<long> rows;
    if (!validCol(col) || def_.columns[size_t(col - 1)].type != ColType::Char)
        return rows;
    ensureIndex(col);
    const auto [from, to] = indexRange(value);
    for (auto it = from; it != to; ++it) {
        const quint32 id = it->second;
        if (store_.isNull(id, col - 1) || store_.value(id, col - 1) != value)
            continue; // another value of the same hash
        const auto pos = std::lower_bound(visible_.begin(), visible_.end(), seq_[id],
                                          [this](quint32 x, quint64 s) { return seq_[x] < s; });
        if (pos != visible_.end() && *pos == id)
            rows.push_back(long(pos - visible_.begin()) + 1);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

long RecordSet::findRow(const FilterExpr &f, long first, long last) const
{
    const long n = RowCount();
    if (n == 0)
        return 0;
    // A range that lies wholly past the last row finds nothing.
    if (std::min(first, last) > n || std::max(first, last) < 1)
        return 0;
    first = std::clamp(first, 1L, n);
    last = std::clamp(last, 1L, n);
    const int c = f.col - 1;
    auto matches = [&](long row) {
        const quint32 id = visible_[row - 1];
        return !store_.isNull(id, c) && store_.value(id, c) == f.value;
    };
    if (indexCol_ == f.col) {
        // The index names the candidate rows; their row numbers follow from
        // the master order, which the passing rows keep.
        ensureIndex(f.col);
        long best = 0;
        const auto [from, to] = indexRange(f.value);
        for (auto e = from; e != to; ++e) {
            const quint32 id = e->second;
            const auto pos = std::lower_bound(visible_.begin(), visible_.end(), seq_[id],
                                              [this](quint32 x, quint64 s) { return seq_[x] < s; });
            if (pos == visible_.end() || *pos != id)
                continue;
            const long row = long(pos - visible_.begin()) + 1;
            if (!matches(row))
                continue;
            const bool inRange = first <= last ? (row >= first && row <= last) : (row <= first && row >= last);
            if (!inRange)
                continue;
            if (best == 0 || (first <= last ? row < best : row > best))
                best = row;
        }
        return best;
    }
    if (first <= last) {
        for (long r = first; r <= last; ++r)
            if (matches(r))
                return r;
    } else {
        for (long r = first; r >= last; --r)
            if (matches(r))
                return r;
    }
    return 0;
}

int RecordSet::RowsCopy(long first, long last, RecordSet &target, long before)
{
    if (!validRow(first) || !validRow(last) || first > last || target.columnCount() != columnCount() || before < 0)
        return -1;
    std::vector<quint32> source(visible_.begin() + (first - 1), visible_.begin() + last);
    if (before == 0 || before > target.RowCount())
        before = 0;
    long at = before == 0 ? target.RowCount() + 1 : before;
    const long firstNew = at;
    for (quint32 sid : source) {
        quint32 id;
        if (&target == this) {
            id = store_.addCopy(sid);
        } else {
            std::vector<RowStore::Field> fields(columnCount());
            for (int c = 0; c < columnCount(); ++c) {
                const QByteArrayView v = store_.value(sid, c);
                fields[c] = RowStore::Field{v.data(), v.size(), store_.isNull(sid, c)};
            }
            id = target.store_.add(fields.data(), int(fields.size()));
        }
        quint64 seq = target.seqBefore(before == 0 ? 0 : at);
        if (seq == 0) {
            target.renumber();
            seq = target.seqBefore(before == 0 ? 0 : at);
        }
        if (target.seq_.size() <= id)
            target.seq_.resize(id + 1);
        target.seq_[id] = seq;
        target.insertIntoMaster(id);
        target.indexAdd(id);
        target.visible_.insert(target.visible_.begin() + (at - 1), id);
        ++at;
    }
    emit target.rowsInserted(firstNew, at - 1);
    if (target.observer_)
        for (long row = firstNew; row < at; ++row)
            target.observer_->rowInserted(target, target.placeOf(row), target.storedRow(target.visible_[row - 1]));
    return 1;
}
