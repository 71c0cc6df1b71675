#include "importwindows.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int kPreviewRows = 5;
const QString kNoColumn = QStringLiteral("(none)");

} // namespace

QString w_import_columns::fieldLabel(const QString &field)
{
    static const std::map<QString, QString> labels = {
        {"name", "Event Name"},           {"sdescription", "Short description"},
        {"edescription", "Extended description"}, {"start_date", "Start Date"},
        {"end_date", "End Date"},         {"times", "Time(s)"},
        {"venue", "Venue"},               {"venue_address", "Venue Address"},
        {"city", "City"},                 {"state", "State / Province / Area"},
        {"country", "Country"},           {"category", "Category"},
        {"cost", "Cost"},                 {"website", "Website"},
        {"tickets", "Tickets"},           {"contact_person", "Contact Person"},
        {"contact_tel", "Contact Tel"},   {"contact_email", "Contact Email"}};
    const auto it = labels.find(field);
    return it == labels.end() ? field : it->second;
}

w_import_columns::w_import_columns(const interop::Spreadsheet &sheet, const interop::ColumnMapping &mapping,
                                   QWidget *parent)
    : QDialog(parent), sheet_(sheet)
{
    setObjectName(QStringLiteral("w_import_columns"));
    setWindowTitle(QStringLiteral("Import: Columns"));
    auto *intro = new QLabel(QStringLiteral("Choose the column of the file that fills each field. "
                                            "Each row of the file is one performance."),
                             this);
    intro->setWordWrap(true);

    auto *fields = new QWidget;
    auto *form = new QFormLayout(fields);
    QStringList names{kNoColumn};
    names << sheet.header;
    for (const QString &field : interop::importFields()) {
        auto *box = new QComboBox(fields);
        box->setObjectName(QStringLiteral("import_column_") + field);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->addItems(names);
        box->setAccessibleName(fieldLabel(field));
        const auto it = mapping.find(field);
        box->setCurrentIndex(it == mapping.end() ? 0 : it->second + 1);
        auto *label = new QLabel(fieldLabel(field) + QLatin1Char(':'), fields);
        label->setBuddy(box);
        form->addRow(label, box);
        connect(box, &QComboBox::currentIndexChanged, this, &w_import_columns::updatePreview);
        connect(box->lineEdit(), &QLineEdit::editingFinished, this, [this, box] {
            // A name typed that is no column of the file chooses none.
            const int index = box->findText(box->currentText(), Qt::MatchFixedString);
            box->setCurrentIndex(index < 0 ? 0 : index);
            updatePreview();
        });
        choices_.push_back(box);
    }
    auto *scroll = new QScrollArea(this);
    scroll->setWidget(fields);
    scroll->setWidgetResizable(true);
    scroll->setMinimumWidth(fields->sizeHint().width() + 24);

    preview_ = new QTableWidget(this);
    preview_->setObjectName(QStringLiteral("import_preview"));
    preview_->setAccessibleName(QStringLiteral("The first rows as they will be read"));
    preview_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    preview_->verticalHeader()->hide();

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QStringLiteral("Import"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("pb_import_ok"));
    ok->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("pb_import_cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *columns = new QHBoxLayout;
    columns->addWidget(scroll);
    auto *right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("The first rows of the file:"), this));
    right->addWidget(preview_, 1);
    columns->addLayout(right, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(columns, 1);
    layout->addWidget(buttons);
    resize(900, 520);
    updatePreview();
}

interop::ColumnMapping w_import_columns::mapping() const
{
    interop::ColumnMapping out;
    const QStringList &fields = interop::importFields();
    for (size_t i = 0; i < choices_.size(); ++i)
        if (const int index = choices_[i]->currentIndex(); index > 0)
            out[fields[qsizetype(i)]] = index - 1;
    return out;
}

void w_import_columns::updatePreview()
{
    const interop::ColumnMapping map = mapping();
    preview_->clear();
    preview_->setColumnCount(int(map.size()));
    const int rows = int(std::min<size_t>(sheet_.rows.size(), kPreviewRows));
    preview_->setRowCount(rows);
    QStringList headings;
    int c = 0;
    for (const QString &field : interop::importFields()) {
        const auto it = map.find(field);
        if (it == map.end())
            continue;
        headings << fieldLabel(field);
        for (int r = 0; r < rows; ++r) {
            const QStringList &row = sheet_.rows[size_t(r)];
            preview_->setItem(r, c, new QTableWidgetItem(it->second < row.size() ? row[it->second] : QString()));
        }
        ++c;
    }
    preview_->setHorizontalHeaderLabels(headings);
}

w_import_report::w_import_report(const QString &title, const QStringList &lines, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("w_import_report"));
    setWindowTitle(title);
    auto *list = new QListWidget(this);
    list->setObjectName(QStringLiteral("import_report"));
    list->setAccessibleName(QStringLiteral("What the import did"));
    list->addItems(lines);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("pb_report_ok"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(list, 1);
    layout->addWidget(buttons);
    resize(640, 360);
    list->setFocus();
}
