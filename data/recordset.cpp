#include "recordset.h"
#include "datafiles.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <limits>

namespace {

constexpr quint64 kSeqStep = quint64(1) << 20;

bool parseIsoDate(QByteArrayView v, QDate &out)
{
    if (v.size() != 10 || v[4] != '-' || v[7] != '-')
        return false;
    int parts[3] = {0, 0, 0};
    const int starts[3] = {0, 5, 8}, lens[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p)
        for (int i = 0; i < lens[p]; ++i) {
            const char c = v[starts[p] + i];
            if (c < '0' || c > '9')
                return false;
            parts[p] = parts[p] * 10 + (c - '0');
        }
    out = QDate(parts[0], parts[1], parts[2]);
    return out.isValid();
}

QByteArray isoDate(const QDate &d)
{
    return d.toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
}


} // namespace

RecordSet::RecordSet(const Definition &def, QObject *parent)
    : QObject(parent), def_(def), store_(int(def.columns.size())),
      border_(def.columns.size(), -1), color_(def.columns.size(), -1), mask_(def.columns.size())
{
}

RecordSet::~RecordSet() = default;

// ---- rows -------------------------------------------------------------------

long RecordSet::RowCount() const { return long(visible_.size()); }

long RecordSet::FilteredCount() const { return long(master_.size() - visible_.size()); }

quint32 RecordSet::rowId(long row) const { return validRow(row) ? visible_[row - 1] : 0; }

void RecordSet::renumber()
{
    for (size_t i = 0; i < master_.size(); ++i)
        seq_[master_[i]] = (i + 1) * kSeqStep;
}

quint64 RecordSet::seqBefore(long before) const
{
    if (before == 0 || master_.empty())
        return master_.empty() ? kSeqStep : seq_[master_.back()] + kSeqStep;
    const quint64 next = seq_[visible_[before - 1]];
    const auto it = std::lower_bound(master_.begin(), master_.end(), next,
                                     [this](quint32 id, quint64 s) { return seq_[id] < s; });
    const quint64 prev = it == master_.begin() ? 0 : seq_[*(it - 1)];
    return next - prev >= 2 ? prev + (next - prev) / 2 : 0; // 0: no room, renumber first
}

void RecordSet::insertIntoMaster(quint32 id)
{
    const quint64 s = seq_[id];
    const auto it = std::lower_bound(master_.begin(), master_.end(), s,
                                     [this](quint32 x, quint64 v) { return seq_[x] < v; });
    master_.insert(it, id);
}

void RecordSet::removeFromMaster(quint32 id)
{
    const quint64 s = seq_[id];
    const auto it = std::lower_bound(master_.begin(), master_.end(), s,
                                     [this](quint32 x, quint64 v) { return seq_[x] < v; });
    if (it != master_.end() && *it == id)
        master_.erase(it);
}

long RecordSet::InsertRow(long before)
{
    if (before < 0 || before > RowCount())
        return -1;
    std::vector<QByteArray> values(def_.columns.size());
    std::vector<RowStore::Field> fields(def_.columns.size());
    for (size_t i = 0; i < def_.columns.size(); ++i) {
        const auto &init = def_.columns[i].initial;
        if (!init)
            continue;
        bool isNull = true;
        if (!convertVariant(int(i) + 1, *init, values[i], isNull))
            continue;
        fields[i] = RowStore::Field{values[i].constData(), values[i].size(), isNull};
    }
    quint64 seq = seqBefore(before);
    if (seq == 0) {
        renumber();
        seq = seqBefore(before);
    }
    const quint32 id = store_.add(fields.data(), int(fields.size()));
    if (seq_.size() <= id)
        seq_.resize(id + 1);
    seq_[id] = seq;
    insertIntoMaster(id);
    indexAdd(id);
    const long row = before == 0 ? RowCount() + 1 : before;
    visible_.insert(visible_.begin() + (row - 1), id);
    emit rowsInserted(row, row);
    if (observer_)
        observer_->rowInserted(*this, placeOf(row), storedRow(id));
    return row;
}

int RecordSet::DeleteRow(long row)
{
    if (!validRow(row))
        return -1;
    const quint32 id = visible_[row - 1];
    if (observer_)
        observer_->rowRemoved(*this, placeOf(row), storedRow(id));
    indexRemove(id);
    removeFromMaster(id);
    visible_.erase(visible_.begin() + (row - 1));
    store_.remove(id);
    if (edit_.active && edit_.row == row)
        clearEditText();
    emit rowsRemoved(row, row);
    return 1;
}

int RecordSet::Reset()
{
    if (observer_)
        for (long place = allRowCount() - 1; place >= 0; --place)
            observer_->rowRemoved(*this, place, storedRow(master_[size_t(place)]));
    store_.clear();
    seq_.clear();
    master_.clear();
    visible_.clear();
    index_.clear();
    indexCol_ = 0;
    indexStale_ = false;
    clearEditText();
    emit rowsReset();
    return 1;
}

void RecordSet::appendStoredRows(std::vector<quint32> &&ids)
{
    if (ids.empty())
        return;
    quint64 seq = master_.empty() ? 0 : seq_[master_.back()];
    quint32 maxId = *std::max_element(ids.begin(), ids.end());
    if (seq_.size() <= maxId)
        seq_.resize(maxId + 1);
    const size_t first = master_.size();
    if (master_.empty())
        master_ = std::move(ids); // a whole file's rows: no second list of them
    else
        master_.insert(master_.end(), ids.begin(), ids.end());
    if (applied_.col == 0)
        visible_.reserve(visible_.size() + (master_.size() - first));
    for (size_t i = first; i < master_.size(); ++i) {
        const quint32 id = master_[i];
        seq += kSeqStep;
        seq_[id] = seq;
        if (passes(id))
            visible_.push_back(id);
    }
    ids = {};
    indexStale_ = indexCol_ != 0;
    emit rowsReset();
}

// ---- values -----------------------------------------------------------------

bool RecordSet::convertText(int col, const QString &text, QByteArray &out, bool &isNull) const
{
    const ColumnDef &c = def_.columns[col - 1];
    isNull = false;
    out.clear();
    if (c.type == ColType::Char) {
        out = text.toUtf8();
        return true;
    }
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        isNull = true;
        return true;
    }
    bool ok = false;
    switch (c.type) {
    case ColType::Date: {
        QDate d;
        const QByteArray b = t.toLatin1();
        if (!parseIsoDate(b, d))
            return false;
        out = b;
        return true;
    }
    case ColType::Number: {
        const double v = t.toDouble(&ok);
        if (!ok)
            return false;
        out = QByteArray::number(v, 'g', QLocale::FloatingPointShortest);
        return true;
    }
    case ColType::Long: {
        const qint32 v = t.toInt(&ok);
        if (!ok)
            return false;
        out = QByteArray::number(v);
        return true;
    }
    case ColType::Char: break;
    }
    return false;
}

bool RecordSet::convertVariant(int col, const QVariant &value, QByteArray &out, bool &isNull) const
{
    if (!value.isValid() || value.isNull()) {
        isNull = true;
        out.clear();
        return true;
    }
    const ColumnDef &c = def_.columns[col - 1];
    isNull = false;
    switch (c.type) {
    case ColType::Char:
        out = value.toString().toUtf8();
        return true;
    case ColType::Date: {
        QDate d;
        if (value.metaType().id() == QMetaType::QDate)
            d = value.toDate();
        else if (value.metaType().id() == QMetaType::QDateTime)
            d = value.toDateTime().date();
        else if (value.metaType().id() == QMetaType::QString)
            return convertText(col, value.toString(), out, isNull);
        if (!d.isValid())
            return false;
        out = isoDate(d);
        return true;
    }
    case ColType::Number: {
        if (value.metaType().id() == QMetaType::QString)
            return convertText(col, value.toString(), out, isNull);
        bool ok = false;
        const double v = value.toDouble(&ok);
        if (!ok)
            return false;
        out = QByteArray::number(v, 'g', QLocale::FloatingPointShortest);
        return true;
    }
    case ColType::Long: {
        if (value.metaType().id() == QMetaType::QString)
            return convertText(col, value.toString(), out, isNull);
        bool ok = false;
        const qlonglong v = value.toLongLong(&ok);
        if (!ok || v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max())
            return false;
        out = QByteArray::number(v);
        return true;
    }
    }
    return false;
}

int RecordSet::setValueBytes(long row, int col, const QByteArray &bytes, bool isNull)
{
    const quint32 id = visible_[row - 1];
    StoredValue before;
    if (observer_)
        before = StoredValue{store_.value(id, col - 1).toByteArray(), store_.isNull(id, col - 1)};
    const bool indexed = indexCol_ == col;
    if (indexed)
        indexRemove(id);
    store_.set(id, col - 1, RowStore::Field{bytes.constData(), bytes.size(), isNull});
    if (indexed)
        indexAdd(id);
    emit itemChanged(row, col);
    if (observer_) {
        StoredValue after{isNull ? QByteArray() : bytes, isNull};
        if (!(after == before))
            observer_->valueChanged(*this, placeOf(row), col, before, after);
    }
    return 1;
}

int RecordSet::SetItem(long row, int col, const QVariant &value)
{
    if (!validRow(row) || !validCol(col))
        return -1;
    QByteArray bytes;
    bool isNull = true;
    if (!convertVariant(col, value, bytes, isNull))
        return -1;
    return setValueBytes(row, col, bytes, isNull);
}

int RecordSet::SetItem(long row, const QString &col, const QVariant &value)
{
    return SetItem(row, columnIndex(col), value);
}

int RecordSet::SetText(long row, int col, const QString &text)
{
    if (!validRow(row) || !validCol(col))
        return -1;
    QByteArray bytes;
    bool isNull = true;
    if (!convertText(col, text, bytes, isNull))
        return -1;
    return setValueBytes(row, col, bytes, isNull);
}

int RecordSet::SetText(long row, const QString &col, const QString &text)
{
    return SetText(row, columnIndex(col), text);
}

bool RecordSet::textValue(int col, const QString &text, StoredValue *value) const
{
    if (!validCol(col) || !convertText(col, text, value->bytes, value->null))
        return false;
    if (value->null)
        value->bytes.clear();
    return true;
}

QByteArrayView RecordSet::rawValue(long row, int col) const
{
    if (!validRow(row) || !validCol(col))
        return {};
    return store_.value(visible_[row - 1], col - 1);
}

bool RecordSet::IsNull(long row, int col) const
{
    if (!validRow(row) || !validCol(col))
        return true;
    return store_.isNull(visible_[row - 1], col - 1);
}

bool RecordSet::IsNull(long row, const QString &col) const { return IsNull(row, columnIndex(col)); }

QVariant RecordSet::GetItem(long row, int col) const
{
    if (IsNull(row, col))
        return QVariant();
    const QByteArrayView v = rawValue(row, col);
    switch (def_.columns[col - 1].type) {
    case ColType::Char: return QString::fromUtf8(v);
    case ColType::Date: {
        QDate d;
        return parseIsoDate(v, d) ? QVariant(d) : QVariant();
    }
    case ColType::Number: return v.toByteArray().toDouble();
    case ColType::Long: return v.toByteArray().toInt();
    }
    return QVariant();
}

QVariant RecordSet::GetItem(long row, const QString &col) const { return GetItem(row, columnIndex(col)); }

QString RecordSet::GetItemString(long row, int col) const
{
    if (IsNull(row, col))
        return QString();
    return QString::fromUtf8(rawValue(row, col));
}

QString RecordSet::GetItemString(long row, const QString &col) const { return GetItemString(row, columnIndex(col)); }

double RecordSet::GetItemNumber(long row, int col) const
{
    if (IsNull(row, col))
        return 0.0;
    return rawValue(row, col).toByteArray().trimmed().toDouble();
}

double RecordSet::GetItemNumber(long row, const QString &col) const { return GetItemNumber(row, columnIndex(col)); }

QDate RecordSet::GetItemDate(long row, int col) const
{
    QDate d;
    if (!IsNull(row, col))
        parseIsoDate(rawValue(row, col), d);
    return d;
}

QDate RecordSet::GetItemDate(long row, const QString &col) const { return GetItemDate(row, columnIndex(col)); }

QTime RecordSet::GetItemTime(long row, int col) const
{
    if (IsNull(row, col))
        return QTime();
    const QString t = GetItemString(row, col).trimmed();
    for (const char *f : {"hhmm", "hh:mm", "hh:mm:ss"}) {
        const QTime tm = QTime::fromString(t, QLatin1StringView(f));
        if (tm.isValid())
            return tm;
    }
    return QTime();
}

QTime RecordSet::GetItemTime(long row, const QString &col) const { return GetItemTime(row, columnIndex(col)); }

QDateTime RecordSet::GetItemDateTime(long row, int col) const
{
    const QDate d = GetItemDate(row, col);
    return d.isValid() ? QDateTime(d, QTime(0, 0)) : QDateTime();
}

QDateTime RecordSet::GetItemDateTime(long row, const QString &col) const
{
    return GetItemDateTime(row, columnIndex(col));
}

double RecordSet::GetItemDecimal(long row, int col) const { return GetItemNumber(row, col); }

double RecordSet::GetItemDecimal(long row, const QString &col) const { return GetItemNumber(row, columnIndex(col)); }

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

RecordSet::IndexEntries RecordSet::makeIndex(int col, const std::vector<quint32> &ids) const
{
    IndexEntries index;
    index.reserve(ids.size());
    for (quint32 id : ids)
        if (!store_.isNull(id, col - 1))
            index.emplace_back(hashOf(store_.value(id, col - 1)), id);
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
            for (quint32 id : master_)
                if (passes(id))
                    visible_.push_back(id);
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

// ---- editing ------------------------------------------------------------------

void RecordSet::setEditText(long row, int col, const QString &text)
{
    edit_ = Edit{true, row, col, text};
}

void RecordSet::clearEditText()
{
    edit_ = Edit{};
}

int RecordSet::AcceptText()
{
    if (!edit_.active)
        return 1;
    if (SetText(edit_.row, edit_.col, edit_.text) != 1)
        return -1;
    clearEditText();
    return 1;
}

// ---- files ------------------------------------------------------------------------

long RecordSet::ImportFile(const QString &path, ImportReport *report)
{
    return datafiles::importFile(*this, path, report);
}

int RecordSet::SaveAs(const QString &path)
{
    return datafiles::saveAs(*this, path);
}
