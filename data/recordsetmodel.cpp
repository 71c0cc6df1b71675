#include "recordsetmodel.h"
#include "recordset.h"
#include "recordsetview.h"
#include "contrast.h"
#include "globals.h"

namespace {

// A date in the user's pattern ("dd.mm.yyyy", "mm/dd/yyyy", "yyyy-mm-dd"):
// dd/d day, mm/m month, yyyy/yy year.
QString formatDate(const QDate &d, const QString &pattern)
{
    if (pattern.isEmpty())
        return d.toString(QStringLiteral("yyyy-MM-dd"));
    QString out;
    const QString p = pattern.toLower();
    for (qsizetype i = 0; i < p.size();) {
        auto run = [&](QChar c) {
            qsizetype k = i;
            while (k < p.size() && p[k] == c)
                ++k;
            return k - i;
        };
        const QChar c = p[i];
        if (c == 'd' || c == 'm' || c == 'y') {
            const qsizetype len = run(c);
            if (c == 'd')
                out += len >= 2 ? QStringLiteral("%1").arg(d.day(), 2, 10, QLatin1Char('0')) : QString::number(d.day());
            else if (c == 'm')
                out += len >= 2 ? QStringLiteral("%1").arg(d.month(), 2, 10, QLatin1Char('0'))
                                : QString::number(d.month());
            else
                out += len >= 4 ? QStringLiteral("%1").arg(d.year(), 4, 10, QLatin1Char('0'))
                                : QStringLiteral("%1").arg(d.year() % 100, 2, 10, QLatin1Char('0'));
            i += len;
        } else {
            out += pattern[i];
            ++i;
        }
    }
    return out;
}

// A string picture: each '@' takes the next character of the value.
QString formatPicture(const QString &value, const QString &picture)
{
    QString out;
    qsizetype k = 0;
    for (QChar c : picture) {
        if (c == '@')
            out += k < value.size() ? value[k++] : QChar(' ');
        else
            out += c;
    }
    return out;
}

} // namespace

RecordSetModel::RecordSetModel(RecordSet *rs, QObject *parent) : RecordSetModel(static_cast<const RecordSet *>(rs), parent)
{
    if (rs)
        writer_ = [rs](long row, int col, const QVariant &value) {
            return (value.metaType().id() == QMetaType::QString ? rs->SetText(row, col, value.toString())
                                                                 : rs->SetItem(row, col, value))
                   == 1;
        };
}

RecordSetModel::RecordSetModel(const RecordSet *rs, QObject *parent)
    : QAbstractTableModel(parent), rs_(rs), view_(rs ? new RecordSetView(*rs, this) : nullptr)
{
    follow();
}

RecordSetModel::RecordSetModel(const RecordSetView *view, QObject *parent)
    : QAbstractTableModel(parent), rs_(view ? &view->recordSet() : nullptr), view_(view)
{
    follow();
}

long RecordSetModel::sourceRow(long row) const
{
    return view_ ? view_->sourceRow(row) : 0;
}

void RecordSetModel::follow()
{
    rows_ = view_ ? int(view_->RowCount()) : 0;
    if (!view_)
        return;
    connect(view_, &RecordSetView::rowsReset, this, [this] {
        beginResetModel();
        rows_ = int(view_->RowCount());
        endResetModel();
    });
    connect(view_, &RecordSetView::rowsInserted, this, [this](long first, long last) {
        beginInsertRows(QModelIndex(), int(first - 1), int(last - 1));
        rows_ = int(view_->RowCount());
        endInsertRows();
    });
    connect(view_, &RecordSetView::rowsRemoved, this, [this](long first, long last) {
        beginRemoveRows(QModelIndex(), int(first - 1), int(last - 1));
        rows_ = int(view_->RowCount());
        endRemoveRows();
    });
    connect(view_, &RecordSetView::itemChanged, this, [this](long row, int col) {
        const QModelIndex i = index(int(row - 1), col - 1);
        emit dataChanged(i, i);
        // current_column decides the highlight of the whole row.
        if (rs_->definition().columns[col - 1].name == QLatin1String("current_column"))
            emit dataChanged(index(int(row - 1), 0), index(int(row - 1), columnCount() - 1),
                             {Qt::BackgroundRole, Qt::ForegroundRole});
    });
    connect(view_, &RecordSetView::presentationChanged, this, [this] {
        if (rows_ > 0)
            emit dataChanged(index(0, 0), index(rows_ - 1, columnCount() - 1));
    });
}

void RecordSetModel::setCurrentRow(long row)
{
    if (row == currentRow_)
        return;
    const long old = currentRow_;
    currentRow_ = row;
    for (long r : {old, row})
        if (r >= 1 && r <= rows_)
            emit dataChanged(index(int(r - 1), 0), index(int(r - 1), columnCount() - 1),
                             {Qt::BackgroundRole, Qt::ForegroundRole});
}

int RecordSetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int RecordSetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !rs_ ? 0 : rs_->columnCount();
}

QString RecordSetModel::formatValue(const RecordSet &rs, long row, int col)
{
    if (rs.IsNull(row, col))
        return QString();
    const ColumnDef &c = rs.definition().columns[col - 1];
    const QString fmt = c.displayFormat;
    switch (c.type) {
    case ColType::Date:
        return formatDate(rs.GetItemDate(row, col), fmt.compare(QLatin1String("[ShortDate]"), Qt::CaseInsensitive) == 0
                                                         ? gs_short_date_format
                                                         : QString());
    case ColType::Number:
    case ColType::Long:
        if (fmt.startsWith('#'))
            return QString::number(qlonglong(rs.GetItemNumber(row, col))) + fmt.mid(fmt.lastIndexOf('#') + 1);
        return rs.GetItemString(row, col);
    case ColType::Char:
        if (fmt.contains('@'))
            return formatPicture(rs.GetItemString(row, col), fmt);
        return rs.GetItemString(row, col);
    }
    return QString();
}

QVariant RecordSetModel::data(const QModelIndex &index, int role) const
{
    if (!rs_ || !index.isValid() || index.row() >= rows_ || index.column() >= columnCount())
        return QVariant();
    const long row = index.row() + 1;
    const int col = index.column() + 1;
    switch (role) {
    case Qt::DisplayRole: return formatValue(*rs_, sourceRow(row), col);
    case Qt::EditRole: return rs_->GetItem(sourceRow(row), col);
    case Qt::BackgroundRole: {
        const QColor c = background(row, col);
        return c.isValid() ? QVariant(c) : QVariant();
    }
    case Qt::ForegroundRole: {
        // A cell on a colour of the definition gets the text colour that
        // reads on it; the others keep the text colour of the theme.
        const QColor c = background(row, col);
        return c.isValid() ? QVariant(contrast::textOn(c)) : QVariant();
    }
    default: return QVariant();
    }
}

QColor RecordSetModel::background(long row, int col) const
{
    const QColor c = row == currentRow_ ? fieldBackground(*rs_, sourceRow(row), col, sourceRow(row))
                                        : fieldBackground(*rs_, sourceRow(row), col, 0);
    return c.isValid() ? c : rowBackground(rs_->definition(), row);
}

bool RecordSetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!rs_ || role != Qt::EditRole || !index.isValid() || index.row() >= rows_)
        return false;
    // dataChanged comes through the record set's itemChanged.
    return writer_ && writer_(sourceRow(index.row() + 1), index.column() + 1, value);
}

QVariant RecordSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (!rs_ || role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section < 0 || section >= columnCount())
        return QVariant();
    const ColumnDef &c = rs_->definition().columns[section];
    return c.label.isEmpty() ? c.name : c.label;
}

Qt::ItemFlags RecordSetModel::flags(const QModelIndex &index) const
{
    if (!rs_ || !index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (rs_->definition().columns[index.column()].tabOrder > 0)
        f |= Qt::ItemIsEditable;
    return f;
}
