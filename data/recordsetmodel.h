// A table model over a record set, so that grid and form views present it.
// Two views share one record set by using one model (or two models over the
// same record set): a change through either is seen by both.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QPointer>

class RecordSet;

class RecordSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordSetModel(RecordSet *rs, QObject *parent = nullptr);

    RecordSet *recordSet() const { return rs_; }
    // The view's current row (1-based), for the current-column highlight.
    void setCurrentRow(long row);
    long currentRow() const { return currentRow_; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The value as the column's display format shows it.
    static QString formatValue(const RecordSet &rs, long row, int col);

private:
    // The colour the definition gives the cell; invalid when it gives none.
    QColor background(long row, int col) const;

    RecordSet *rs_;
    long currentRow_ = 0;
    int rows_ = 0; // row count as last announced to the views
};
