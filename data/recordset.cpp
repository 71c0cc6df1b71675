#include "recordset.h"
#include "datafiles.h"

#include <QLocale>

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
    const StoredRow values = initialRow();
    std::vector<RowStore::Field> fields(values.size());
    for (size_t i = 0; i < values.size(); ++i)
        fields[i] = RowStore::Field{values[i].bytes.constData(), values[i].bytes.size(), values[i].null};
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

void RecordSet::appendStoredRows(std::vector<quint32> &&ids, int indexCol, IndexEntries &&index)
{
    if (ids.empty())
        return;
    const bool whole = master_.empty();
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
    if (whole && indexCol > 0)
        adoptIndex(indexCol, std::move(index));
    emit rowsReset();
}

StoredRow RecordSet::initialRow() const
{
    StoredRow row(def_.columns.size());
    for (size_t i = 0; i < def_.columns.size(); ++i)
        if (const auto &init = def_.columns[i].initial)
            if (!variantValue(int(i) + 1, *init, &row[i]))
                row[i] = StoredValue{};
    return row;
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

template <typename Convert>
int RecordSet::setConverted(long row, int col, Convert convert)
{
    if (!validRow(row) || !validCol(col))
        return -1;
    QByteArray bytes;
    bool isNull = true;
    if (!convert(bytes, isNull))
        return -1;
    return setValueBytes(row, col, bytes, isNull);
}

int RecordSet::SetItem(long row, int col, const QVariant &value)
{
    return setConverted(row, col, [&](QByteArray &bytes, bool &isNull) { return convertVariant(col, value, bytes, isNull); });
}

int RecordSet::SetItem(long row, const QString &col, const QVariant &value)
{
    return SetItem(row, columnIndex(col), value);
}

int RecordSet::SetText(long row, int col, const QString &text)
{
    return setConverted(row, col, [&](QByteArray &bytes, bool &isNull) { return convertText(col, text, bytes, isNull); });
}

int RecordSet::SetText(long row, const QString &col, const QString &text)
{
    return SetText(row, columnIndex(col), text);
}

namespace {
// A value converted for a column: a null one holds no bytes.
bool settled(bool converted, StoredValue *value)
{
    if (converted && value->null)
        value->bytes.clear();
    return converted;
}
} // namespace

bool RecordSet::variantValue(int col, const QVariant &v, StoredValue *value) const
{
    return validCol(col) && settled(convertVariant(col, v, value->bytes, value->null), value);
}

bool RecordSet::textValue(int col, const QString &text, StoredValue *value) const
{
    return validCol(col) && settled(convertText(col, text, value->bytes, value->null), value);
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

QDate RecordSet::dateAt(long place, int col) const
{
    QDate d;
    if (!isNullAt(place, col))
        parseIsoDate(valueAt(place, col), d);
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
