#include "editor/PictureBox.h"

#include <QMouseEvent>
#include <QPainter>

namespace varnetto {

PictureBox::PictureBox(QSize contents, QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    const int frame = frameWidth() * 2;
    setFixedSize(contents.width() + frame, contents.height() + frame);
}

void PictureBox::showPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

std::optional<QPointF> PictureBox::pictureFraction(QPoint point) const {
    if (picture_.isNull()) return std::nullopt;
    const QRect inside = contentsRect();
    // In the box's units: a high-density picture holds more pixels.
    const double w = picture_.deviceIndependentSize().width();
    const double h = picture_.deviceIndependentSize().height();
    return QPointF(((point.x() - inside.left()) - (inside.width() - w) * 0.5) / w,
                   ((point.y() - inside.top()) - (inside.height() - h) * 0.5) / h);
}

void PictureBox::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (picture_.isNull()) return;
    const QRect inside = contentsRect();
    QPainter painter(this);
    painter.setClipRect(inside);
    const QSize shown = picture_.deviceIndependentSize().toSize();
    painter.drawImage(inside.left() + (inside.width() - shown.width()) / 2,
                      inside.top() + (inside.height() - shown.height()) / 2, picture_);
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) Q_EMIT clicked(event->position().toPoint());
    QFrame::mousePressEvent(event);
}

}  // namespace varnetto
