// A data window: the grid or form view that presents one record set on a
// page, with a current row and a current column. Views that share a record
// set (ShareData) see each other's changes.
#pragma once

#include "datepattern.h"
#include "definition.h"
#include "recordsetmodel.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

class QAbstractItemDelegate;
class QGridLayout;
class QModelIndex;
class QTableView;
class RecordSet;
class RecordSetView;

class DataWindow : public QWidget {
    Q_OBJECT
public:
    enum class Kind { Grid, Form };

    DataWindow(const QString &objectName, const Definition &def, Kind kind, QWidget *parent = nullptr);
    ~DataWindow() override;

    const RecordSet *recordSet() const { return rs_; }
    RecordSetModel *model() const { return model_; }
    const Definition &definition() const;
    // This view presents `owner`'s record set from now on.
    void ShareData(DataWindow *owner);
    // This view presents `rs`, which outlives it, instead of its own set.
    void present(const RecordSet *rs);
    // This view presents the rows that `rows` shows (it outlives the view).
    void present(const RecordSetView *rows);
    // The rows this view presents.
    const RecordSetView &rows() const { return *view_; }
    // The record set's row that row `row` of this view presents; 0 for none.
    long sourceRow(long row) const;
    // This view's row of the record set's row `source`; 0 when not shown.
    long rowOfSource(long source) const;
    // Where the values typed into the fields go (the record set's row and
    // the column, 1-based, the value as typed); without one they go into the view's own set.
    // Every field writes through the model (setData), and so through this.
    void setWriter(RecordSetModel::Writer writer);

    // A field holds typing that is not in the record yet (from the first
    // key that changes it until the field is left or its edit ends).
    bool editPending() const { return editPending_; }

    long GetRow() const;
    // Makes `row` current (and visible); rowFocusChanged follows when the
    // current row really changes. 1 / -1.
    int SetRow(long row);
    int ScrollToRow(long row);
    void SelectRow(long row, bool select); // 0 = every row
    bool IsSelected(long row) const;
    int SetColumn(const QString &column);
    int SetColumn(int column);
    QString GetColumnName() const;
    // Moves the value being edited into the record set; -1 when it does not
    // convert to the column's type (it then stays in the field).
    int AcceptText();
    void SetRedraw(bool on);
    void SetFocus();
    QString Describe(const QString &property) const;
    QString Modify(const QString &assignments);

    // Key presses (key code, flags); answer true when the key was handled
    // and must not reach the field.
    std::function<bool(int, quint32)> ue_key;
    // Tab out of the last field and Enter, when the page handles them.
    std::function<void()> ue_tab_out;
    std::function<long()> ue_enter;

    // The editor widget of a form column (tests, focus handling).
    QWidget *editorFor(const QString &column) const;
    QTableView *gridView() const { return grid_; }
    // Column shown in the edit mask of a date column.
    void setDateMask(const QString &column, const QString &pattern);
    // Columns in the order the Tab key visits them.
    const std::vector<int> &tabColumns() const { return tabColumns_; }
    // Sends Tab to the field with the focus, as a key press would.
    void sendTab();
    // The field of this view being typed in, when its text would change
    // the record: its row, its column and the text as the record set takes
    // it (the row of the record set). false when no field has the keys, or
    // its text would change nothing or be rejected.
    bool typingAt(long *row, int *col, QString *text) const;

signals:
    void rowFocusChanged(long currentrow);
    void itemFocusChanged(long row, const QString &column);
    void getFocus();
    void loseFocus();
    void editChanged();
    void editEnded(); // a cell's editor closed, whether its text was taken or not
    void editPendingChanged(bool pending);
    void itemChanged(long row, const QString &column);
    void doubleClicked(long row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    friend class DataWindowDelegate;
    void attach(const RecordSet *rs, const RecordSetView *rows = nullptr);
    // Hands `value` for column `col` of row `row` to the model.
    bool write(long row, int col, const QVariant &value);
    void setEditPending(bool pending);
    void buildGrid();
    // The grid's row height and column widths, from the fonts in use.
    void sizeGridColumns();
    void buildForm();
    void refreshForm();
    void fillForm();
    void freshenForm() const; // fills a form whose filling was put off
    void paintFormHighlight();
    void setCurrentRowInternal(long row, bool notify);
    void setCurrentColumnInternal(int col);
    int homeColumn() const;
    bool commitEditor(QWidget *editor);
    QString editorText(QWidget *editor) const;
    // The text of the field `editor` of column `col` as the record set
    // stores it; false when it is no value of the column (a date or a time
    // typed in part).
    bool storedText(QWidget *editor, int col, QString *text) const;
    // Whether column `col` of row `row` holds `text` as a field gives it
    // back; `text` becomes the value to store when it does not.
    bool holds(long row, int col, QString &text) const;
    void onFocusChanged(QWidget *old, QWidget *now);
    bool handleKey(QObject *watched, int qtKey, Qt::KeyboardModifiers mods);
    bool moveByTab(bool backwards);
    int columnOfEditor(QObject *editor) const;
    QModelIndex cellOfEditor(QObject *editor) const;

    const Definition &def_;
    Kind kind_;
    std::unique_ptr<RecordSet> own_; // the set this view owns, unless it shares another's
    const RecordSet *rs_ = nullptr;
    const RecordSetView *view_ = nullptr; // the rows of rs_ presented
    RecordSetModel::Writer writer_;
    bool editPending_ = false;
    RecordSetModel *model_ = nullptr;
    QTableView *grid_ = nullptr;
    QGridLayout *form_ = nullptr;
    std::map<int, QWidget *> editors_; // form editors by column
    std::vector<int> tabColumns_;
    std::set<long> selected_;
    std::map<int, QString> dateMasks_;
    long currentRow_ = 0;
    // Rows of the record set that this view has taken notice of; a row made
    // current while the set holds another count was set by another view
    // during a change that this view has yet to hear of.
    long rowsSeen_ = 0;
    bool rowSetDuringChange_ = false;
    int currentCol_ = 0;
    bool hasFocus_ = false;
    bool refreshing_ = false;
    // A form out of sight is filled when it comes into sight or when its
    // fields are asked for, not at every change of its record.
    mutable bool formStale_ = false;
    std::vector<QMetaObject::Connection> rsConnections_;
};

class QLineEdit;
// A field of one line: tabs and line breaks that arrive in it (pasted,
// dropped) become single spaces.
void keepOnOneLine(QLineEdit *edit);

// The name a screen reader says for a column's field: its label without the
// trailing colon, or, for a column without one, its name in words
// ("time2" reads "Time 2").
QString spokenName(const ColumnDef &c);
