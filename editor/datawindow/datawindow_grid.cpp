// The grid form of a data window.
#include "datawindow.h"

#include "celldelegate.h"
#include "gridparts.h"

#include <QGridLayout>

// ---- Grid ------------------------------------------------------------------

void DataWindow::buildGrid()
{
    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    grid_ = new GridView(this);
    grid_->setObjectName(objectName() + QStringLiteral("_grid"));
    grid_->setHorizontalHeader(new PictureHeader(def_.headerPicture, grid_));
    grid_->setItemDelegate(new DataWindowDelegate(this));
    grid_->setSelectionMode(QAbstractItemView::NoSelection);
    grid_->setEditTriggers(tabColumns_.empty() ? QAbstractItemView::NoEditTriggers
                                               : QAbstractItemView::CurrentChanged | QAbstractItemView::AnyKeyPressed
                                                     | QAbstractItemView::DoubleClicked);
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 10);
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
