// A record set: an ordered list of rows over the typed columns of one
// definition, with a filter that holds failing rows aside.
//
// Row numbers are 1-based over the rows that pass the filter; columns are
// 1-based or named. An operation on a row or column out of range changes
// nothing and reports failure (-1, or an empty/null value for reads).
//
// Order: every row keeps its place in one master order (the order in which
// rows were read or inserted, an inserted row taking its place before the
// row it was inserted before). The rows that pass the filter are always
// shown in that order, so rows that come back when a filter is changed or
// cleared return to where they were, and a file written without a filter
// keeps the order in which it was read.
#pragma once

#include "definition.h"
#include "rowstore.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTime>
#include <QVariant>

#include <memory>
#include <vector>

struct ImportReport;
class RecordSet;

// A value as stored: its UTF-8 bytes, or null.
struct StoredValue {
    QByteArray bytes;
    bool null = true;
    bool operator==(const StoredValue &) const = default;
};
using StoredRow = std::vector<StoredValue>;

// Told of every change to a record set's rows, with what it takes to make
// the change again or to take it back. Rows are named by their place among
// all rows, held-aside ones included (0-based, in the master order), which
// filters do not change. Reading a file is not a change.
class RecordSetObserver {
public:
    virtual ~RecordSetObserver() = default;
    virtual void rowInserted(RecordSet &rs, long place, const StoredRow &values) = 0;
    virtual void rowRemoved(RecordSet &rs, long place, const StoredRow &values) = 0;
    virtual void valueChanged(RecordSet &rs, long place, int col, const StoredValue &before,
                              const StoredValue &after) = 0;
};

class RecordSet : public QObject {
    Q_OBJECT
public:
    explicit RecordSet(const Definition &def, QObject *parent = nullptr);
    ~RecordSet() override;
    const Definition &definition() const { return def_; }
    int columnCount() const { return static_cast<int>(def_.columns.size()); }
    int columnIndex(const QString &name) const { return def_.columnIndex(name); }

    long InsertRow(long before);                 // 0 appends; new row number, -1 on failure; initial values
    int DeleteRow(long row);                     // 1 ok, -1 failure
    long RowCount() const;                       // passing rows only
    long FilteredCount() const;                  // held-aside rows
    int Reset();                                 // also held-aside rows; 1

    int SetItem(long row, int col, const QVariant &value); // 1 / -1; QVariant() = null
    int SetItem(long row, const QString &col, const QVariant &value);
    int SetText(long row, int col, const QString &text);   // converts text to the column type (dates yyyy-mm-dd); -1 when it does not convert
    int SetText(long row, const QString &col, const QString &text);
    // The value `text` becomes in column `col`, as SetText stores it; false
    // when it does not convert.
    bool textValue(int col, const QString &text, StoredValue *value) const;
    // The same for a value as SetItem takes it.
    bool variantValue(int col, const QVariant &value, StoredValue *stored) const;
    // The values a new row takes (the columns' initial values).
    StoredRow initialRow() const;
    bool IsNull(long row, int col) const;
    bool IsNull(long row, const QString &col) const;
    QVariant GetItem(long row, int col) const;             // typed; null QVariant for null / out of range
    QVariant GetItem(long row, const QString &col) const;
    QString GetItemString(long row, int col) const;        // empty for null; dates as yyyy-mm-dd
    QString GetItemString(long row, const QString &col) const;
    double GetItemNumber(long row, int col) const;         // 0 for null
    double GetItemNumber(long row, const QString &col) const;
    QDate GetItemDate(long row, int col) const;            // invalid for null
    QDate GetItemDate(long row, const QString &col) const;
    QTime GetItemTime(long row, int col) const;            // "hhmm", "hh:mm" or "hh:mm:ss" text
    QTime GetItemTime(long row, const QString &col) const;
    QDateTime GetItemDateTime(long row, int col) const;
    QDateTime GetItemDateTime(long row, const QString &col) const;
    double GetItemDecimal(long row, int col) const;
    double GetItemDecimal(long row, const QString &col) const;

    int SetFilter(const QString &expr);          // "" or "<char column> = '<value>'"; anything else -1
    int Filter();                                // applies; 1 / -1
    QString filterText() const { return filterText_; }
    long Find(const QString &expr, long first, long last) const; // "<column> = '<value>'"; 0 none; -1 bad expression
    long rowWhere(int col, const QString &value) const; // first row whose char column `col` holds `value`; 0 none
    // Every row whose char column `col` holds `value`, in row order, found
    // through the index of that column; none for another column.
    std::vector<long> rowsWhere(int col, QByteArrayView value) const;
    int RowsCopy(long first, long last, RecordSet &target, long before); // before past the end appends; 1 / -1

    // The value being edited in a view: AcceptText moves it into the set.
    void setEditText(long row, int col, const QString &text);
    void clearEditText();
    bool hasEditText() const { return edit_.active; }
    int AcceptText();                            // 1; -1 when the text does not convert (it stays pending)

    QString Describe(const QString &property) const;
    // "DataWindow.NoUserPrompt='yes'", "#12.border=5", "#12.color=255",
    // "start_date.EditMask.Mask='dd.mm.yyyy'"; several separated by blanks.
    // Nothing changes unless every assignment is understood.
    // Presentation, not data: a view may change it on a set it only reads.
    QString Modify(const QString &assignments) const; // "" ok, error text otherwise
    QString editMask(int col) const;             // the definition's mask, or the one Modify set
    int cellBorder(int col) const;               // what Modify set, -1 when never set
    int cellColor(int col) const;
    bool noUserPrompt() const { return noUserPrompt_; }

    long ImportFile(const QString &path, ImportReport *report = nullptr); // appends; rows read; < 1 for missing/empty file
    int SaveAs(const QString &path);             // passing rows; 1 / -1 (previous file kept on failure)

    // ---- for the file reader/writer and the views -------------------------
    const RowStore &store() const { return store_; }
    // Raw UTF-8 bytes of a passing row's value (no conversion); empty view
    // for null or out of range.
    QByteArrayView rawValue(long row, int col) const;
    quint32 rowId(long row) const;               // storage id of passing row `row`
    // Appends rows built by the reader (ids already in the store), in order.
    // With `indexCol`, `index` is the filter index of that column over the
    // rows, made by the reader (see makeIndex); it is taken when they are
    // all the rows, before anyone hears of them.
    using IndexEntries = std::vector<std::pair<quint32, quint32>>;
    void appendStoredRows(std::vector<quint32> &&ids, int indexCol = 0, IndexEntries &&index = {});
    RowStore &mutableStore() { return store_; }
    // The filter index of column `col` over the stored rows `ids` (in id
    // order), made from the store alone, so that the thread that read the
    // rows can make it; adoptIndex() then takes it for those rows, which
    // must be all the rows.
    IndexEntries makeIndex(int col, const std::vector<quint32> &ids, const rt::HeldBytes *text = nullptr) const;
    void adoptIndex(int col, IndexEntries &&entries);

    // ---- changes by place among all rows (see RecordSetObserver) ----------
    void setObserver(RecordSetObserver *observer) { observer_ = observer; }
    long allRowCount() const { return long(master_.size()); }
    long placeOf(long row) const;                // place of passing row `row`; -1 out of range
    long rowAtPlace(long place) const;           // passing row number; 0 when held aside or out of range
    StoredRow rowAt(long place) const;           // empty when out of range
    QByteArrayView valueAt(long place, int col) const;
    bool isNullAt(long place, int col) const;    // true out of range
    QDate dateAt(long place, int col) const;     // invalid for null or out of range
    quint32 idAt(long place) const;              // storage id; 0 out of range
    // Make a change again or take one back; the observer hears of it as of
    // any other. false (and nothing changed) when the place or the values
    // do not fit.
    bool insertAt(long place, const StoredRow &values);
    bool removeAt(long place);
    bool setAt(long place, int col, const StoredValue &value);

signals:
    void rowsReset();                      // wholesale change (filter, reset, import)
    void rowsInserted(long first, long last);
    void rowsRemoved(long first, long last);
    void itemChanged(long row, int col);
    void presentationChanged() const;      // Modify changed a cell property

private:
    struct FilterExpr {
        int col = 0;           // 0 = no filter
        QByteArray value;      // UTF-8
    };
    static bool parseEquality(const Definition &def, const QString &expr, FilterExpr &out, bool allowEmpty);
    bool passes(quint32 id) const;
    long findRow(const FilterExpr &f, long first, long last) const;
    bool validRow(long row) const { return row >= 1 && row <= static_cast<long>(visible_.size()); }
    bool validCol(int col) const { return col >= 1 && col <= columnCount(); }
    // Sets a value that `convert` makes (bytes, null); -1 when it makes none.
    template <typename Convert>
    int setConverted(long row, int col, Convert convert);
    int setValueBytes(long row, int col, const QByteArray &bytes, bool isNull);
    bool convertText(int col, const QString &text, QByteArray &out, bool &isNull) const;
    bool convertVariant(int col, const QVariant &value, QByteArray &out, bool &isNull) const;
    quint64 seqBefore(long before) const;  // master-order key for a row inserted before passing row `before`
    void insertIntoMaster(quint32 id);
    void removeFromMaster(quint32 id);
    void indexAdd(quint32 id);
    void indexRemove(quint32 id);
    void ensureIndex(int col) const;
    void renumber();

    const Definition &def_;
    RowStore store_;
    std::vector<quint64> seq_;             // by id: place in the master order
    std::vector<quint32> master_;          // all live row ids in master order
    std::vector<quint32> visible_;         // passing rows, in master order
    QString filterText_;
    FilterExpr pending_;                   // set by SetFilter
    FilterExpr applied_;                   // in force since the last Filter
    // Index of the last filtered column, built when a filter first needs
    // it: (hash of the value, row id) pairs in order. A lookup checks the
    // values, since different values may share a hash. Rows read in bulk
    // mark it stale; it is built again when next used.
    using IndexEntry = IndexEntries::value_type;
    mutable int indexCol_ = 0;
    int scannedCol_ = 0;                   // column that a filter last looked at row by row
    mutable bool indexStale_ = false;
    mutable std::vector<IndexEntry> index_;
    std::pair<std::vector<IndexEntry>::const_iterator, std::vector<IndexEntry>::const_iterator>
    indexRange(QByteArrayView value) const;
    struct Edit { bool active = false; long row = 0; int col = 0; QString text; } edit_;
    mutable bool noUserPrompt_ = false;
    mutable std::vector<int> border_, color_;
    mutable std::vector<QString> mask_;
    RecordSetObserver *observer_ = nullptr;
    StoredRow storedRow(quint32 id) const;
};
