#pragma once

#include "browser/ImageListModel.h"

#include <QListView>

#include <utility>

namespace varnetto {

// The image list: 160 x 120 thumbnails in a grid, one cell per row.
class ImageListView : public QListView {
    Q_OBJECT
  public:
    explicit ImageListView(QWidget* parent = nullptr);

    void applyViewMode(ListViewMode mode);
    // Selected row numbers in ascending order.
    QList<int> selectedRows() const;
    int firstSelectedRow() const;
    // The first and the last row in view, in list order; first > last when
    // none is.
    std::pair<int, int> visibleRows() const;

  Q_SIGNALS:
    void spacePressed();
    void enterPressed();
    void contextMenuWanted(const QPoint& globalPosition);
    void rowDoubleClicked(int row);
    // After scrolling, resizing or laying out rows: the rows now in view.
    void visibleRowsChanged(int first, int last);
    // Local files and folders dropped from a file manager, in their order.
    void pathsDropped(const QStringList& paths);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void updateGeometries() override;

  private:
    // Once per turn of the event loop, however many changes it brought.
    void reportVisibleRowsLater();

    bool visibleRowsReportDue_ = false;
};

}  // namespace varnetto
