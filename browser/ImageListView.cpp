#include "browser/ImageListView.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

namespace varnetto {

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

}  // namespace varnetto
