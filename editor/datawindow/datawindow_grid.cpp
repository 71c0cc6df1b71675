// The grid form of a data window.
#include "datawindow.h"

#include "celldelegate.h"
#include "gridparts.h"

#include <QGridLayout>
#include <QRegularExpression>

#include <algorithm>

// ---- Grid ------------------------------------------------------------------

void DataWindow::buildGrid()
{
    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    grid_ = new GridView(this);
    grid_->setObjectName(objectName() + QStringLiteral("_grid"));
    grid_->setHorizontalHeader(new PictureHeader(def_.headerPicture, grid_));
    auto *delegate = new DataWindowDelegate(this);
    grid_->setItemDelegate(delegate);
    connect(delegate, &QAbstractItemDelegate::closeEditor, this, &DataWindow::editEnded);
    grid_->setSelectionMode(QAbstractItemView::NoSelection);
    grid_->setEditTriggers(tabColumns_.empty() ? QAbstractItemView::NoEditTriggers
                                               : QAbstractItemView::CurrentChanged | QAbstractItemView::AnyKeyPressed
                                                     | QAbstractItemView::DoubleClicked);
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->setWordWrap(false);
    QPalette pal = grid_->palette();
    pal.setColor(QPalette::Highlight, QColor(176, 32, 48));
    pal.setColor(QPalette::HighlightedText, Qt::white);
    grid_->setPalette(pal);
    grid_->horizontalHeader()->setHighlightSections(false);
    grid_->setTabKeyNavigation(false);
    grid_->installEventFilter(this);
    grid_->viewport()->installEventFilter(this);
    connect(grid_, &QTableView::doubleClicked, this, [this](const QModelIndex &i) { emit doubleClicked(i.row() + 1); });
    layout->addWidget(grid_, 0, 0);
    setFocusProxy(grid_);
}

void DataWindow::sizeGridColumns()
{
    if (!grid_)
        return;
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 10);
    // Each column as wide as its heading (in the heading's bold font, with
    // the room it is drawn in) and as what it typically holds: a date in
    // the pattern it is typed in, a time, a row number, some twenty letters
    // of text. The last text column of a list takes the rest of the width.
    QHeaderView *header = grid_->horizontalHeader();
    const QFontMetrics heading = header->fontMetrics(), cell = grid_->fontMetrics();
    auto fit = [&](int section, const QString &sample) {
        const QString title = section < int(def_.columns.size())
                                  ? def_.columns[size_t(section)].label
                                  : model_->headerData(section, Qt::Horizontal).toString();
        grid_->setColumnWidth(section, std::max(heading.horizontalAdvance(title) + 16,
                                                cell.horizontalAdvance(sample) + 2 * cell.averageCharWidth() + 8));
    };
    for (size_t i = 0; i < def_.computed.size(); ++i)
        fit(int(def_.columns.size() + i), QStringLiteral("000000"));
    int lastText = -1;
    for (int c = 0; c < int(def_.columns.size()); ++c) {
        if (grid_->isColumnHidden(c))
            continue;
        const ColumnDef &cd = def_.columns[size_t(c)];
        if (cd.type == ColType::Date) {
            const auto mask = dateMasks_.find(c + 1);
            QString sample = mask != dateMasks_.end() ? mask->second : QStringLiteral("yyyy-mm-dd");
            sample.replace(QRegularExpression(QStringLiteral("[dmyDMY]")), QStringLiteral("0"));
            fit(c, sample);
        } else if (isTimeColumn(cd)) {
            fit(c, QStringLiteral("00:00"));
        } else {
            fit(c, QString(20, QLatin1Char('x')));
            lastText = c;
        }
    }
    if (!def_.computed.empty() && lastText >= 0)
        header->setSectionResizeMode(lastText, QHeaderView::Stretch);
}

void DataWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        sizeGridColumns();
    QWidget::changeEvent(event);
}
