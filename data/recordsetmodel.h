// A table model over a record set, so that grid and form views present it.
// Two views share one record set by using one model (or two models over the
// same record set): a change through either is seen by both.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QPointer>

#include <functional>

class RecordSet;
class RecordSetView;

class RecordSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Over `rs`, into which setData writes.
    explicit RecordSetModel(RecordSet *rs, QObject *parent = nullptr);
    // Over `rs`, which only the writer changes: setData hands a value to it.
    explicit RecordSetModel(const RecordSet *rs, QObject *parent = nullptr);
    // Over the rows that `view` shows (it outlives the model), which only
    // the writer changes.
    explicit RecordSetModel(const RecordSetView *view, QObject *parent = nullptr);

    const RecordSet *recordSet() const { return rs_; }
    const RecordSetView *view() const { return view_; }
    // The record set's row of the model's row `row` (1-based); 0 for none.
    long sourceRow(long row) const;
    // What setData does with a value for the record set's row `row`, column
    // `col` (1-based): answers whether the record took it.
    using Writer = std::function<bool(long row, int col, const QVariant &value)>;
    void setWriter(Writer writer) { writer_ = std::move(writer); }
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

    void follow();

    const RecordSet *rs_;
    const RecordSetView *view_ = nullptr; // the rows presented: this model's own view of rs_ when given none
    Writer writer_;
    long currentRow_ = 0;
    int rows_ = 0; // row count as last announced to the views
};
