#include "datawindow.h"

#include "celldelegate.h"
#include "datepattern.h"
#include "gridparts.h"
#include "recordset.h"
#include "recordsetview.h"
#include "recordsetmodel.h"
#include "runtime.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScopeGuard>

#include <algorithm>
#include <utility>

namespace {

bool isEditable(const ColumnDef &c)
{
    return c.tabOrder > 0 && c.edit != EditStyle::Hidden && c.edit != EditStyle::None;
}

} // namespace

DataWindow::DataWindow(const QString &objectName, const Definition &def, Kind kind, QWidget *parent)
    : QWidget(parent), def_(def), kind_(kind)
{
    setObjectName(objectName);
    own_ = std::make_unique<RecordSet>(def);
    for (size_t i = 0; i < def.columns.size(); ++i)
        if (isEditable(def.columns[i]))
            tabColumns_.push_back(int(i) + 1);
    std::stable_sort(tabColumns_.begin(), tabColumns_.end(),
                     [&](int a, int b) { return def.columns[size_t(a - 1)].tabOrder < def.columns[size_t(b - 1)].tabOrder; });
    if (kind == Kind::Grid)
        buildGrid();
    else
        buildForm();
    attach(own_.get());
    connect(qApp, &QApplication::focusChanged, this, &DataWindow::onFocusChanged);
    connect(this, &DataWindow::editChanged, this, [this] { setEditPending(true); });
    connect(this, &DataWindow::editEnded, this, [this] { setEditPending(false); });
}

DataWindow::~DataWindow()
{
    // Editors losing the focus while they are destroyed must not reach a
    // view that is half gone.
    disconnect(qApp, nullptr, this, nullptr);
    // An open cell editor goes with the grid and reports its focus loss
    // through the delegate to this view: the grid goes while the view is
    // still whole.
    delete std::exchange(grid_, nullptr);
    // A form field that has the focus loses it only when the widgets are
    // destroyed, after this view: it must not report that (editing
    // finished) to what is left of the view.
    for (auto &[col, editor] : editors_) {
        editor->removeEventFilter(this);
        disconnect(editor, nullptr, this, nullptr);
    }
}

const Definition &DataWindow::definition() const
{
    return def_;
}

void DataWindow::attach(const RecordSet *rs, const RecordSetView *rows)
{
    for (auto &c : rsConnections_)
        disconnect(c);
    rsConnections_.clear();
    rs_ = rs;
    auto *old = model_;
    // The view's own set takes what is typed; another's, the writer.
    RecordSet *own = rs_ == own_.get() ? own_.get() : nullptr;
    if (rows)
        model_ = new RecordSetModel(rows, this);
    else if (!def_.computed.empty())
        model_ = new ComputedColumnsModel(rs_, def_, this);
    else if (own)
        model_ = new RecordSetModel(own, this);
    else
        model_ = new RecordSetModel(rs_, this);
    view_ = model_->view();
    if (writer_)
        model_->setWriter(writer_);
    if (grid_) {
        grid_->setModel(model_);
        for (int c = 0; c < int(def_.columns.size()); ++c) {
            const bool shown = std::find(tabColumns_.begin(), tabColumns_.end(), c + 1) != tabColumns_.end()
                               || (!def_.columns[size_t(c)].label.isEmpty() && def_.columns[size_t(c)].tabOrder == 0
                                   && def_.columns[size_t(c)].edit != EditStyle::Hidden);
            grid_->setColumnHidden(c, !shown);
        }
        for (size_t i = 0; i < def_.computed.size(); ++i) {
            const int logical = int(def_.columns.size() + i);
            grid_->horizontalHeader()->moveSection(grid_->horizontalHeader()->visualIndex(logical), int(i));
        }
        sizeGridColumns();
        // Columns appear in the order the Tab key visits them.
        for (size_t i = 0; i < tabColumns_.size(); ++i) {
            const int logical = tabColumns_[i] - 1;
            grid_->horizontalHeader()->moveSection(grid_->horizontalHeader()->visualIndex(logical), int(i));
        }
        connect(grid_->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this](const QModelIndex &now, const QModelIndex &) {
                    // While rows come or go, the view moves its current cell
                    // on its own (off a removed row to the one above it); the
                    // record set's notification decides the row instead.
                    if (refreshing_ || view_->RowCount() != rowsSeen_ || !now.isValid())
                        return;
                    setCurrentRowInternal(now.row() + 1, true);
                    if (now.column() < int(def_.columns.size()))
                        setCurrentColumnInternal(now.column() + 1);
                });
    }
    delete old;
    rsConnections_.push_back(connect(view_, &RecordSetView::rowsReset, this, [this] {
        const long n = view_->RowCount();
        setCurrentRowInternal(n > 0 ? std::clamp(currentRow_, 1L, n) : 0, false);
        rowsSeen_ = n;
        rowSetDuringChange_ = false;
        refreshForm();
    }));
    rsConnections_.push_back(connect(view_, &RecordSetView::rowsInserted, this, [this](long first, long last) {
        // A view that shares the set may have made a row current here from
        // its own notification: that number already counts the new rows.
        if (currentRow_ >= first && !rowSetDuringChange_)
            currentRow_ += last - first + 1;
        rowSetDuringChange_ = false;
        rowsSeen_ = view_->RowCount();
        if (currentRow_ == 0)
            setCurrentRowInternal(first, true);
        refreshForm();
    }));
    rsConnections_.push_back(connect(view_, &RecordSetView::rowsRemoved, this, [this](long first, long last) {
        std::set<long> kept;
        for (long r : selected_)
            if (r < first)
                kept.insert(r);
            else if (r > last)
                kept.insert(r - (last - first + 1));
        selected_ = kept;
        const long n = view_->RowCount();
        rowsSeen_ = n;
        if (rowSetDuringChange_) { // already a row of the new numbering
            rowSetDuringChange_ = false;
            refreshForm();
            return;
        }
        long row = currentRow_;
        if (row > last)
            row -= last - first + 1;
        else if (row >= first)
            row = std::min(first, n);
        currentRow_ = -1; // force the notification: the current record changed
        setCurrentRowInternal(n > 0 ? std::max(row, 1L) : 0, true);
        refreshForm();
    }));
    rsConnections_.push_back(connect(view_, &RecordSetView::itemChanged, this, [this](long row, int col) {
        if (row != currentRow_)
            return;
        if (def_.columns[size_t(col - 1)].name == QLatin1String("current_column"))
            paintFormHighlight();
        else
            refreshForm();
    }));
    const long n = view_->RowCount();
    currentRow_ = n > 0 ? 1 : 0;
    rowsSeen_ = n;
    rowSetDuringChange_ = false;
    model_->setCurrentRow(currentRow_);
    refreshForm();
}

void DataWindow::ShareData(DataWindow *owner)
{
    if (!owner || owner == this)
        return;
    attach(owner->rs_);
    // Should the owner go first, this view falls back on its own set.
    rsConnections_.push_back(connect(owner->rs_, &QObject::destroyed, this, [this] { attach(own_.get()); }));
}

void DataWindow::present(const RecordSet *rs)
{
    if (rs && rs != rs_)
        attach(rs);
}

void DataWindow::present(const RecordSetView *rows)
{
    if (rows && rows != view_)
        attach(&rows->recordSet(), rows);
}

long DataWindow::sourceRow(long row) const
{
    return view_->sourceRow(row);
}

long DataWindow::rowOfSource(long source) const
{
    return view_->rowOf(source);
}

void DataWindow::setWriter(RecordSetModel::Writer writer)
{
    writer_ = std::move(writer);
    model_->setWriter(writer_);
}

bool DataWindow::write(long row, int col, const QVariant &value)
{
    return model_->setData(model_->index(int(row - 1), col - 1), value, Qt::EditRole);
}

void DataWindow::setEditPending(bool pending)
{
    if (editPending_ == pending)
        return;
    editPending_ = pending;
    emit editPendingChanged(pending);
}


int DataWindow::homeColumn() const
{
    if (!tabColumns_.empty())
        return tabColumns_.front();
    // A read-only grid: the first column the user sees, so that the arrow
    // and page keys move from a cell that is on screen.
    if (grid_) {
        QHeaderView *header = grid_->horizontalHeader();
        for (int v = 0; v < header->count(); ++v) {
            const int logical = header->logicalIndex(v);
            if (logical < int(def_.columns.size()) && !header->isSectionHidden(logical))
                return logical + 1;
        }
    }
    return 1;
}

QWidget *DataWindow::editorFor(const QString &column) const
{
    freshenForm();
    const int col = def_.columnIndex(column);
    const auto it = editors_.find(col);
    if (it != editors_.end())
        return it->second;
    return nullptr;
}

void DataWindow::setDateMask(const QString &column, const QString &pattern)
{
    const int col = def_.columnIndex(column);
    if (col > 0)
        dateMasks_[col] = pattern;
    sizeGridColumns();
}

// ---- Current row and column ------------------------------------------------

long DataWindow::GetRow() const
{
    return currentRow_;
}

void DataWindow::setCurrentRowInternal(long row, bool notify)
{
    const bool changed = row != currentRow_;
    if (view_->RowCount() != rowsSeen_)
        rowSetDuringChange_ = true;
    currentRow_ = row;
    model_->setCurrentRow(row);
    if (grid_ && row >= 1) {
        const int col = currentCol_ > 0 ? currentCol_ : homeColumn();
        const QModelIndex want = model_->index(int(row - 1), col - 1);
        if (grid_->currentIndex().row() != want.row()) {
            refreshing_ = true;
            grid_->setCurrentIndex(want);
            refreshing_ = false;
        }
        grid_->scrollTo(want);
    }
    if (changed) {
        refreshForm();
        if (notify)
            emit rowFocusChanged(row);
        // While the user works in this view, a new row means a new current
        // field too: the same column on the new row.
        if (hasFocus_ && currentRow_ >= 1 && currentCol_ > 0)
            emit itemFocusChanged(currentRow_, def_.columns[size_t(currentCol_ - 1)].name);
    }
}

int DataWindow::SetRow(long row)
{
    if (row < 1 || row > view_->RowCount())
        return -1;
    setCurrentRowInternal(row, true);
    return 1;
}

int DataWindow::ScrollToRow(long row)
{
    const long n = view_->RowCount();
    if (n < 1)
        return -1;
    return SetRow(std::clamp(row, 1L, n));
}

void DataWindow::SelectRow(long row, bool select)
{
    if (row == 0) {
        if (select)
            for (long r = 1; r <= view_->RowCount(); ++r)
                selected_.insert(r);
        else
            selected_.clear();
    } else if (select) {
        selected_.insert(row);
    } else {
        selected_.erase(row);
    }
    if (grid_) {
        grid_->selectionModel()->clearSelection();
        for (long r : selected_)
            grid_->selectionModel()->select(model_->index(int(r - 1), 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

bool DataWindow::IsSelected(long row) const
{
    return selected_.count(row) > 0;
}

void DataWindow::setCurrentColumnInternal(int col)
{
    if (col == currentCol_)
        return;
    currentCol_ = col;
    if (col > 0)
        emit itemFocusChanged(currentRow_, def_.columns[size_t(col - 1)].name);
}

int DataWindow::SetColumn(const QString &column)
{
    return SetColumn(def_.columnIndex(column));
}

int DataWindow::SetColumn(int col)
{
    freshenForm();
    if (col < 1 || col > int(def_.columns.size()) || !isEditable(def_.columns[size_t(col - 1)]))
        return -1;
    if (grid_) {
        if (currentRow_ >= 1)
            grid_->setCurrentIndex(model_->index(int(currentRow_ - 1), col - 1));
        setCurrentColumnInternal(col);
    } else if (QWidget *e = editors_[col]) {
        e->setFocus(Qt::OtherFocusReason);
        setCurrentColumnInternal(col);
    }
    return 1;
}

QString DataWindow::GetColumnName() const
{
    return currentCol_ > 0 ? def_.columns[size_t(currentCol_ - 1)].name : QString();
}

void DataWindow::SetRedraw(bool on)
{
    setUpdatesEnabled(on);
}

void DataWindow::SetFocus()
{
    freshenForm();
    if (grid_) {
        grid_->setFocus(Qt::OtherFocusReason);
        if (currentRow_ >= 1 && !tabColumns_.empty()) {
            const int col = currentCol_ > 0 ? currentCol_ : tabColumns_.front();
            grid_->setCurrentIndex(model_->index(int(currentRow_ - 1), col - 1));
            setCurrentColumnInternal(col);
        }
        return;
    }
    const int col = currentCol_ > 0 ? currentCol_ : (tabColumns_.empty() ? 0 : tabColumns_.front());
    if (col > 0 && editors_[col] && editors_[col]->isEnabled())
        editors_[col]->setFocus(Qt::OtherFocusReason);
    else
        setFocus(Qt::OtherFocusReason);
}

QString DataWindow::Describe(const QString &property) const
{
    return rs_->Describe(property);
}

QString DataWindow::Modify(const QString &assignments)
{
    return rs_->Modify(assignments);
}

// ---- Editing ---------------------------------------------------------------

int DataWindow::columnOfEditor(QObject *editor) const
{
    for (const auto &[col, e] : editors_)
        if (e == editor)
            return col;
    const QModelIndex cell = cellOfEditor(editor);
    return cell.isValid() ? cell.column() + 1 : 0;
}

QModelIndex DataWindow::cellOfEditor(QObject *editor) const
{
    if (!grid_ || !editor || editor->parent() != grid_->viewport())
        return {};
    const QModelIndex cell = editor->property(kCellProperty).value<QPersistentModelIndex>();
    // Only cells of the record set's own columns take text.
    return cell.isValid() && cell.column() < int(def_.columns.size()) ? cell : QModelIndex();
}

QString DataWindow::editorText(QWidget *editor) const
{
    freshenForm();
    if (auto *e = qobject_cast<QLineEdit *>(editor)) {
        // A masked field left blank holds only its separators.
        if (!e->inputMask().isEmpty() && !e->hasAcceptableInput()) {
            QString t = e->text();
            t.remove(QRegularExpression(QStringLiteral("[^0-9A-Za-z]")));
            if (t.isEmpty())
                return QString();
        }
        return e->text();
    }
    if (auto *e = qobject_cast<QPlainTextEdit *>(editor))
        return e->toPlainText();
    return {};
}

bool DataWindow::storedText(QWidget *editor, int col, QString *out) const
{
    const ColumnDef &c = def_.columns[size_t(col - 1)];
    QString text = editorText(editor);
    if (c.type == ColType::Date && !text.trimmed().isEmpty()) {
        const auto mask = dateMasks_.find(col);
        text = isoFromPattern(text, mask != dateMasks_.end() ? mask->second : QStringLiteral("yyyy-mm-dd"));
        if (text.isEmpty())
            return false;
    } else if (isTimeColumn(c)) {
        text.remove(QLatin1Char(':'));
        text = text.trimmed();
        if (text.isEmpty())
            text = QStringLiteral("0000");
        if (!isClockTime(text.toLatin1()))
            return false;
    }
    *out = text;
    return true;
}

bool DataWindow::holds(long row, int col, QString &text) const
{
    const long source = sourceRow(row);
    if (rs_->IsNull(source, col))
        return text.isEmpty();
    const QString stored = rs_->GetItemString(source, col);
    if (text == stored || def_.columns[size_t(col - 1)].edit != EditStyle::MultiLineEdit)
        return text == stored;
    // A field of several lines gives each line break back as a line feed,
    // whatever the record holds: an unedited text is the record's, and an
    // edited one keeps the record's carriage returns.
    QString breaks = stored;
    breaks.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (text == breaks)
        return true;
    if (stored.contains(QLatin1String("\r\n")))
        text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text == stored;
}

bool DataWindow::typingAt(long *row, int *col, QString *text) const
{
    QWidget *focused = QApplication::focusWidget();
    if (!focused || !isAncestorOf(focused) || qobject_cast<QComboBox *>(focused))
        return false;
    const int c = columnOfEditor(focused);
    const long r = grid_ ? cellOfEditor(focused).row() + 1 : currentRow_;
    QString t;
    if (c < 1 || r < 1 || r > view_->RowCount() || !storedText(focused, c, &t) || holds(r, c, t))
        return false;
    *row = sourceRow(r);
    *col = c;
    *text = t;
    return true;
}

bool DataWindow::commitEditor(QWidget *editor)
{
    freshenForm();
    const int col = columnOfEditor(editor);
    const long row = grid_ ? cellOfEditor(editor).row() + 1 : currentRow_;
    if (col < 1 || row < 1 || qobject_cast<QComboBox *>(editor))
        return true;
    const ColumnDef &c = def_.columns[size_t(col - 1)];
    QString text;
    // Whatever becomes of the text, it is typing no longer.
    const auto done = qScopeGuard([this] { setEditPending(false); });
    if (!storedText(editor, col, &text)) {
        // A rejected value (a date or time typed in part) is dropped
        // silently and the field shows the stored one.
        refreshForm();
        return false;
    }
    if (holds(row, col, text))
        return true;
    if (!write(row, col, text)) {
        refreshForm();
        return false;
    }
    emit itemChanged(row, c.name);
    return true;
}

int DataWindow::AcceptText()
{
    freshenForm();
    QWidget *focused = QApplication::focusWidget();
    if (!focused || !isAncestorOf(focused))
        focused = nullptr;
    if (grid_) {
        QWidget *editor = grid_->indexWidget(grid_->currentIndex());
        if (!editor && focused && focused->parent() == grid_->viewport())
            editor = focused;
        if (editor)
            return commitEditor(editor) ? 1 : -1;
        return 1;
    }
    if (focused && columnOfEditor(focused) > 0)
        return commitEditor(focused) ? 1 : -1;
    return 1;
}
