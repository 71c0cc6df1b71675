// The pieces of a data window's grid: the model with the computed fields,
// the heading over its picture and the table view that opens editors only
// while the user works in it.
#pragma once

#include "definition.h"
#include "recordset.h"
#include "recordsetmodel.h"
#include "runtime.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QPixmap>
#include <QTableView>

#include <algorithm>

// Adds the computed fields of a definition (the row number of the event
// list) after the record set's own columns.
class ComputedColumnsModel : public RecordSetModel {
public:
    ComputedColumnsModel(const RecordSet *rs, const Definition &def, QObject *parent)
        : RecordSetModel(rs, parent), def_(def)
    {
        // The row numbers below a removed or inserted row change too.
        auto renumber = [this] {
            if (rowCount() > 0)
                emit dataChanged(index(0, base()), index(rowCount() - 1, columnCount() - 1), {Qt::DisplayRole});
        };
        connect(this, &QAbstractItemModel::rowsInserted, this, renumber);
        connect(this, &QAbstractItemModel::rowsRemoved, this, renumber);
    }
    int base() const { return int(def_.columns.size()); }
    int columnCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : base() + int(def_.computed.size());
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (index.isValid() && index.column() >= base()) {
            if (role == Qt::DisplayRole)
                return QString::number(index.row() + 1); // GetRow()
            if (role == Qt::BackgroundRole || role == Qt::ForegroundRole)
                return RecordSetModel::data(this->index(index.row(), 0), role);
            if (role == Qt::TextAlignmentRole)
                return int(Qt::AlignRight | Qt::AlignVCenter);
            return {};
        }
        return RecordSetModel::data(index, role);
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (o == Qt::Horizontal && section >= base() && role == Qt::DisplayRole)
            return def_.computed[size_t(section - base())].heading;
        return RecordSetModel::headerData(section, o, role);
    }
    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        if (index.isValid() && index.column() >= base())
            return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        return RecordSetModel::flags(index);
    }

private:
    const Definition &def_;
};

// Column headings in bold over the definition's heading picture.
class PictureHeader : public QHeaderView {
public:
    PictureHeader(const QString &picture, QWidget *parent) : QHeaderView(Qt::Horizontal, parent)
    {
        if (!picture.isEmpty())
            picture_ = QPixmap(rt::PicturePath(picture));
        QFont f = font();
        f.setBold(true);
        setFont(f);
    }

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override
    {
        if (picture_.isNull()) {
            QHeaderView::paintSection(painter, rect, logicalIndex);
            return;
        }
        painter->save();
        painter->drawPixmap(rect, picture_, QRect(rect.x() % std::max(1, picture_.width() - rect.width()), 0,
                                                  std::min(rect.width(), picture_.width()), picture_.height()));
        painter->setPen(QColor(120, 30, 30));
        painter->drawLine(rect.topRight(), rect.bottomRight());
        painter->setPen(QColor(40, 0, 0));
        painter->setFont(font());
        QString text = model() ? model()->headerData(logicalIndex, Qt::Horizontal).toString() : QString();
        // Columns without a heading of their own (the further times) stand
        // under the heading of the column before them.
        if (const auto *rm = dynamic_cast<const RecordSetModel *>(model())) {
            const auto &cols = rm->recordSet()->definition().columns;
            if (logicalIndex < int(cols.size()) && cols[size_t(logicalIndex)].label.isEmpty())
                text.clear();
        }
        painter->drawText(rect.adjusted(6, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
        painter->restore();
    }
    QSize sectionSizeFromContents(int logicalIndex) const override
    {
        QSize s = QHeaderView::sectionSizeFromContents(logicalIndex);
        s.setHeight(std::max(s.height(), 24));
        return s;
    }

private:
    QPixmap picture_;
};

// The grid of a data window. A cell that the program makes current (a
// filter applied during a save, a new line, another event) opens its editor
// only while the user works in the grid: an open editor takes the keyboard
// focus, and it must not pull it back from a button the user just pressed.
class GridView : public QTableView {
public:
    using QTableView::QTableView;

protected:
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override
    {
        if (trigger == CurrentChanged && !hasFocus() && !isAncestorOf(QApplication::focusWidget()))
            return false;
        return QTableView::edit(index, trigger, event);
    }
};
