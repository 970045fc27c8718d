#include "browser/ImageListView.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
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
    QList<int> rows;
    if (!selectionModel()) return rows;
    for (const QModelIndex& index : selectionModel()->selectedIndexes()) rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int ImageListView::firstSelectedRow() const {
    const QList<int> rows = selectedRows();
    return rows.isEmpty() ? -1 : rows.first();
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
