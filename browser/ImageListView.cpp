#include "browser/ImageListView.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace varnetto {

namespace {

QStringList localPaths(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    return paths;
}

// The files stay where they are: a drop is only ever a copy (or a link, if
// that is all the source offers), never a move that would delete them.
bool takeDropAction(QDropEvent* event) {
    for (Qt::DropAction action : {Qt::CopyAction, Qt::LinkAction}) {
        if (event->possibleActions() & action) {
            event->setDropAction(action);
            return true;
        }
    }
    return false;
}

void answerDrag(QDropEvent* event) {
    if (!localPaths(event->mimeData()).isEmpty() && takeDropAction(event)) {
        event->accept();
    } else {
        event->ignore();
    }
}

}  // namespace

ImageListView::ImageListView(QWidget* parent) : QListView(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setLayoutMode(QListView::Batched);
    setBatchSize(200);
    setFrameShape(QFrame::StyledPanel);
    setWordWrap(true);
    applyViewMode(ListViewMode::LargeIcons);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
            &ImageListView::reportVisibleRowsLater);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this,
            &ImageListView::reportVisibleRowsLater);
}

void ImageListView::applyViewMode(ListViewMode mode) {
    switch (mode) {
        case ListViewMode::LargeIcons:
            setViewMode(QListView::IconMode);
            setIconSize({160, 120});
            setGridSize({172, 160});
            setFlow(QListView::LeftToRight);
            setWrapping(true);
            break;
        case ListViewMode::SmallIcons:
            setViewMode(QListView::IconMode);
            setIconSize({32, 24});
            setGridSize({120, 48});
            setFlow(QListView::LeftToRight);
            setWrapping(true);
            break;
        case ListViewMode::List:
            setViewMode(QListView::ListMode);
            setIconSize({16, 12});
            setGridSize({200, 20});
            setFlow(QListView::TopToBottom);
            setWrapping(true);
            break;
        case ListViewMode::Details:
            setViewMode(QListView::ListMode);
            setIconSize({16, 12});
            setGridSize({});
            setFlow(QListView::TopToBottom);
            setWrapping(false);
            break;
    }
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    // A static list refuses drops; files from a file manager are welcome.
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
}

QList<int> ImageListView::selectedRows() const {
    return selectionModel() ? varnetto::selectedRows(*selectionModel()) : QList<int>();
}

int ImageListView::firstSelectedRow() const {
    const QList<int> rows = selectedRows();
    return rows.isEmpty() ? -1 : rows.first();
}

std::pair<int, int> ImageListView::visibleRows() const {
    if (!model() || model()->rowCount() == 0) return {0, -1};
    // Rows in view follow one another in list order, whatever the view mode:
    // probing the viewport at half a cell's spacing finds the first and the
    // last of them.
    const QRect area = viewport()->rect();
    const QSize cell =
        gridSize().isValid() ? gridSize() : QSize(area.width(), std::max(1, sizeHintForRow(0)));
    const int stepX = std::max(4, cell.width() / 2);
    const int stepY = std::max(4, cell.height() / 2);
    int first = -1;
    int last = -1;
    for (int y = area.top(); y < area.bottom() + stepY; y += stepY) {
        for (int x = area.left(); x < area.right() + stepX; x += stepX) {
            const QModelIndex index =
                indexAt({std::min(x, area.right()), std::min(y, area.bottom())});
            if (!index.isValid()) continue;
            if (first < 0 || index.row() < first) first = index.row();
            last = std::max(last, index.row());
        }
    }
    if (first < 0) return {0, -1};
    // Probes land a pixel off at the edges in some modes; the cells' own
    // rectangles settle the rows cut by the viewport's border.
    const int count = model()->rowCount();
    auto shown = [&](int row) { return visualRect(model()->index(row, 0)).intersects(area); };
    while (first > 0 && shown(first - 1)) --first;
    while (first < last && !shown(first)) ++first;
    while (last + 1 < count && shown(last + 1)) ++last;
    while (last > first && !shown(last)) --last;
    return {first, last};
}

void ImageListView::updateGeometries() {
    QListView::updateGeometries();
    reportVisibleRowsLater();
}

void ImageListView::reportVisibleRowsLater() {
    if (visibleRowsReportDue_) return;
    visibleRowsReportDue_ = true;
    QTimer::singleShot(0, this, [this] {
        visibleRowsReportDue_ = false;
        const auto [first, last] = visibleRows();
        Q_EMIT visibleRowsChanged(first, last);
    });
}

void ImageListView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        Q_EMIT spacePressed();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Q_EMIT enterPressed();
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

void ImageListView::contextMenuEvent(QContextMenuEvent* event) {
    Q_EMIT contextMenuWanted(event->globalPos());
    event->accept();
}

void ImageListView::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    QListView::mouseDoubleClickEvent(event);
    if (index.isValid()) Q_EMIT rowDoubleClicked(index.row());
}

void ImageListView::dragEnterEvent(QDragEnterEvent* event) {
    answerDrag(event);
}

void ImageListView::dragMoveEvent(QDragMoveEvent* event) {
    answerDrag(event);
}

void ImageListView::dropEvent(QDropEvent* event) {
    const QStringList paths = localPaths(event->mimeData());
    if (paths.isEmpty() || !takeDropAction(event)) {
        event->ignore();
        return;
    }
    event->accept();
    Q_EMIT pathsDropped(paths);
}

}  // namespace varnetto
