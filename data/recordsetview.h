// The rows of a record set that a view shows: every row, or only those whose
// char column holds one value (the date lines of one event). The record set
// itself is not filtered, so that whatever reads it (saving, the checks, the
// commands) sees every row, and two views may show different rows of it.
//
// Rows of the view are numbered from 1 in the record set's order; each
// stands for a row of the record set (its source row). The view follows the
// changes of the record set and tells of them in its own row numbers.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>

#include <vector>

class RecordSet;

class RecordSetView : public QObject {
    Q_OBJECT
public:
    explicit RecordSetView(const RecordSet &rs, QObject *parent = nullptr);

    const RecordSet &recordSet() const { return rs_; }
    // From now on only the rows whose char column `col` holds `value`
    // (found through the record set's index of that column); col 0 shows
    // every row. false, and nothing changed, for another column.
    bool showOnly(int col, QByteArrayView value);
    void showAll() { showOnly(0, {}); }

    long RowCount() const;
    // The record set's row that row `row` of the view stands for; 0 out of range.
    long sourceRow(long row) const;
    // The view's row of the record set's row `source`; 0 when it is not shown.
    long rowOf(long source) const;

signals:
    void rowsReset();
    void rowsInserted(long first, long last);
    void rowsRemoved(long first, long last);
    void itemChanged(long row, int col);
    void presentationChanged() const;

private:
    bool matches(long source) const;
    void refill();
    void sourceInserted(long first, long last);
    void sourceRemoved(long first, long last);
    void sourceChanged(long source, int col);

    const RecordSet &rs_;
    int col_ = 0;
    QByteArray value_;
    std::vector<long> rows_; // source rows shown, ascending (unless every row is)
};
