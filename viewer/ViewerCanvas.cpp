#include "viewer/ViewerCanvas.h"

#include "uikit/QtImage.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <exception>

namespace varnetto {

namespace {

// How long a picture is looked at before its full-resolution pixels are
// decoded in advance: stepping quickly through pictures decodes none.
constexpr int kLookMilliseconds = 400;

}  // namespace

ViewerCanvas::ViewerCanvas(QWidget* parent) : QWidget(parent) {
    setObjectName("imageArea");
    setAttribute(Qt::WA_OpaquePaintEvent);
    message_ = new QLabel(this);
    message_->setObjectName("pictureMessage");
    message_->setAlignment(Qt::AlignCenter);
    message_->setWordWrap(true);
    message_->hide();
    lookTimer_.setSingleShot(true);
    lookTimer_.setInterval(kLookMilliseconds);
    connect(&lookTimer_, &QTimer::timeout, this, &ViewerCanvas::decodeFullInAdvance);
}

ViewerCanvas::~ViewerCanvas() = default;

void ViewerCanvas::showPicture(PreparedPicture prepared) {
    ++generation_;
    fullDecodeWanted_ = false;
    tiles_.clear();
    dragging_ = false;
    picture_ = std::move(prepared.picture);
    if (!picture_) {
        overview_ = {};
        view_ = {};
        message_->setText(prepared.failure);
        message_->show();
        lookTimer_.stop();
        updateCursor();
        update();
        return;
    }
    message_->hide();
    overview_ = std::move(prepared.overview);
    view_ = shownAtActualSize(area(), picture_->width(), picture_->height());
    tiles_.setScale(pixelView().scaleX(), pixelView().scaleY());
    // Made at the screen's density the window had when the load began.
    tiles_.take(std::move(prepared.firstView));
    lookTimer_.start();
    viewChanged();
}

void ViewerCanvas::zoomTo(double factor) {
    if (!picture_) return;
    applyZoom(view_, area(), factor);
    dragging_ = false;
    viewChanged();
}

void ViewerCanvas::viewChanged() {
    tiles_.setScale(pixelView().scaleX(), pixelView().scaleY());
    updateCursor();
    update();
    requestTiles();
}

ViewState ViewerCanvas::pixelView() const {
    return inScreenPixels(view_, devicePixelRatioF());
}

QRect ViewerCanvas::visibleTiles() const {
    const ViewState view = pixelView();
    return tilesCovering(visibleScaledRect(view), scaledPictureSize(view));
}

QRect ViewerCanvas::nearbyTiles(int margin) const {
    const int pixels = margin * kTileSize;
    const ViewState view = pixelView();
    return tilesCovering(visibleScaledRect(view).adjusted(-pixels, -pixels, pixels, pixels),
                         scaledPictureSize(view));
}

void ViewerCanvas::requestTiles() {
    if (!picture_) return;
    const QRect visible = tiles_.missing(visibleTiles());
    if (!visible.isEmpty()) {
        submitRender(visible);
        return;
    }
    // The tiles a drag will reveal next.
    const QRect nearby = tiles_.missing(nearbyTiles(2));
    if (!nearby.isEmpty()) submitRender(nearby);
    tiles_.keepOnly(nearbyTiles(4));
}

void ViewerCanvas::submitRender(const QRect& range) {
    if (passRunning_) return;
    passRunning_ = true;
    const double scaleX = pixelView().scaleX();
    const double scaleY = pixelView().scaleY();
    const bool wantOverview = overview_.isNull();
    passes_.submit([this, picture = picture_, generation = generation_, scaleX, scaleY, range,
                    wantOverview](const JobToken& token) -> BackgroundJobs::Completion {
        RenderedTiles rendered{scaleX, scaleY, {}};
        QImage overview;
        QString failure;
        try {
            rendered = renderTiles(*picture, scaleX, scaleY, range);
            if (wantOverview && !token.stopRequested())
                overview = toQImage(picture->overview()).convertToFormat(QImage::Format_RGB32);
        } catch (const std::exception& error) {
            failure = QString::fromUtf8(error.what());
        }
        return
            [this, generation, range, rendered = std::move(rendered), overview, failure]() mutable {
                passRunning_ = false;
                if (generation == generation_) {
                    if (!failure.isEmpty()) {
                        PreparedPicture failed;
                        failed.failure = failure;
                        showPicture(std::move(failed));
                        return;
                    }
                    // Tiles of a zoom left meanwhile are of no use.
                    if (tiles_.hasScale(rendered.scaleX, rendered.scaleY)) {
                        tiles_.take(std::move(rendered));
                        tiles_.markRendered(range);
                    }
                    if (!overview.isNull()) overview_ = overview;
                    update();
                }
                // Whatever the view lacks now, for this picture or a newer one.
                nextPass();
            };
    });
}

void ViewerCanvas::decodeFullInAdvance() {
    if (!picture_ || !view_.panningAllowed) return;
    fullDecodeWanted_ = true;
    nextPass();
}

void ViewerCanvas::nextPass() {
    requestTiles();
    if (passRunning_ || !fullDecodeWanted_ || !picture_) return;
    fullDecodeWanted_ = false;
    passRunning_ = true;
    const double scale = std::max(pixelView().scaleX(), pixelView().scaleY());
    passes_.submit(
        [this, picture = picture_, scale](const JobToken& token) -> BackgroundJobs::Completion {
            try {
                if (!token.stopRequested() && picture->needsFullDecode(scale))
                    picture->decodeFull();
            } catch (const std::exception&) {
                // A render that needs the pixels reports the failure.
            }
            return [this] {
                passRunning_ = false;
                nextPass();
            };
        });
}

void ViewerCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!picture_) return;
    const QRect dest(view_.destX, view_.destY, view_.destWidth, view_.destHeight);
    painter.setClipRect(dest);
    // Tiles are placed in the screen's pixels and drawn pixel for pixel.
    const ViewState pixels = pixelView();
    const qreal density = devicePixelRatioF();
    const QPoint offset = QPoint(pixels.destX, pixels.destY) - visibleScaledRect(pixels).topLeft();
    const QRect range = visibleTiles();
    bool complete = tiles_.hasScale(pixels.scaleX(), pixels.scaleY());
    for (int row = range.top(); complete && row <= range.bottom(); ++row)
        for (int column = range.left(); complete && column <= range.right(); ++column) {
            // An empty tile is one the render found outside the picture.
            complete = tiles_.find(QPoint(column, row)) != nullptr;
        }
    if (!complete && !overview_.isNull()) {
        const double x = double(overview_.width()) / view_.imageWidth;
        const double y = double(overview_.height()) / view_.imageHeight;
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(dest), overview_,
                          QRectF(view_.sourceLeft * x, view_.sourceTop * y, view_.sourceWidth() * x,
                                 view_.sourceHeight() * y));
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    }
    for (int row = range.top(); row <= range.bottom(); ++row)
        for (int column = range.left(); column <= range.right(); ++column) {
            const QImage* tile = tiles_.find(QPoint(column, row));
            if (tile && !tile->isNull()) {
                const QPoint at = offset + QPoint(column * kTileSize, row * kTileSize);
                painter.drawImage(QRectF(QPointF(at) / density, QSizeF(tile->size()) / density),
                                  *tile);
            }
        }
    painter.end();
    Q_EMIT painted(complete);
}

void ViewerCanvas::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    message_->setGeometry(rect().adjusted(20, 20, -20, -20));
    if (!picture_) return;
    view_ = shownAtActualSize(area(), picture_->width(), picture_->height());
    Q_EMIT actualSizeShown();
    viewChanged();
}

void ViewerCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !view_.panningAllowed) return;
    dragging_ = true;
    dragPoint_ = event->position().toPoint();
    updateCursor();
}

void ViewerCanvas::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return;
    const QPoint point = event->position().toPoint();
    ViewState moved = view_;
    // Under one picture pixel the drag start stays, so slow drags add up.
    if (!panView(moved, point.x() - dragPoint_.x(), point.y() - dragPoint_.y())) return;
    dragPoint_ = point;
    if (moved == view_) return;
    view_ = moved;
    update();
    requestTiles();
}

void ViewerCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    dragging_ = false;
    updateCursor();
}

void ViewerCanvas::mouseDoubleClickEvent(QMouseEvent* event) {
    // The window closes on a double click.
    event->ignore();
}

void ViewerCanvas::setWaiting(bool waiting) {
    waiting_ = waiting;
    updateCursor();
}

void ViewerCanvas::updateCursor() {
    if (waiting_) {
        setCursor(Qt::BusyCursor);
    } else if (picture_ && view_.panningAllowed) {
        setCursor(dragging_ ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
    } else {
        unsetCursor();
    }
}

}  // namespace varnetto
