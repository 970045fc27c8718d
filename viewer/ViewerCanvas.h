#pragma once

#include "uikit/BackgroundJobs.h"
#include "viewer/PictureTiles.h"
#include "viewer/ViewerGeometry.h"
#include "viewer/ViewerRows.h"

#include <QTimer>
#include <QWidget>

#include <memory>

class QLabel;

namespace varnetto {

// The full-screen viewer's image area: shows one picture at a zoom, pans it
// by dragging, and renders the tiles near the view off the UI thread. Until
// a tile is ready the picture's overview stands in for it.
class ViewerCanvas final : public QWidget {
    Q_OBJECT
  public:
    explicit ViewerCanvas(QWidget* parent = nullptr);
    ~ViewerCanvas() override;

    ViewArea area() const { return {0, 0, width(), height()}; }
    // Shows a prepared picture at actual size, or its failure as a message.
    void showPicture(PreparedPicture prepared);
    bool hasPicture() const { return picture_ != nullptr; }
    const std::shared_ptr<ZoomablePicture>& picture() const { return picture_; }
    const ViewState& view() const { return view_; }
    void setZoomStep(int step) { view_.zoomStep = step; }
    // Shows the picture at factor (the visible part stays where it was).
    void zoomTo(double factor);
    // Shows the busy cursor while the window loads the next picture.
    void setWaiting(bool waiting);
    // True while tiles or the full-resolution pixels are being made.
    bool rendering() const { return passes_.busy(); }

  Q_SIGNALS:
    // The picture is shown at actual size again (the area changed size).
    void actualSizeShown();
    // A paint ended; complete when every visible tile was ready (otherwise
    // the overview stood in for some).
    void painted(bool complete);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    void viewChanged();
    // Asks for the missing tiles of the view, then those around it.
    void requestTiles();
    void submitRender(const QRect& range);
    void decodeFullInAdvance();
    // The next pass: missing tiles first, then a full decode wanted.
    void nextPass();
    // The view in the screen's own pixels, which tiles are rendered in: on
    // a high-density screen as many as it shows, for a sharp picture.
    ViewState pixelView() const;
    QRect visibleTiles() const;
    QRect nearbyTiles(int margin) const;
    void updateCursor();

    std::shared_ptr<ZoomablePicture> picture_;
    quint64 generation_ = 0;  // which picture a render belongs to
    QImage overview_;
    TileCache tiles_;
    ViewState view_;
    bool dragging_ = false;
    bool waiting_ = false;
    QPoint dragPoint_;
    QLabel* message_ = nullptr;
    QTimer lookTimer_;
    // One pass at a time, rendering tiles or decoding the full pixels; what
    // is still missing when it ends is asked for then, so a drag never waits
    // for renders it has outrun.
    bool passRunning_ = false;
    bool fullDecodeWanted_ = false;
    // Jobs own the picture they read: a closing window leaves a read stuck
    // on a dead mount behind.
    BackgroundJobs passes_{JobOrder::AllInOrder, 1, JobShutdown::Abandon};
};

}  // namespace varnetto
