#include "editor/EditorArtwork.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>
#include <numbers>

namespace varnetto::editorArtwork {

namespace {

constexpr int kSide = 24;
const QColor kInk(40, 60, 110);
const QColor kArrow(200, 60, 30);
const QColor kPicture(120, 170, 220);

// Drawn for ordinary and high-density screens alike.
QIcon iconOf(void (*draw)(QPainter&, int), int argument) {
    QIcon icon;
    for (const qreal density : {1.0, 2.0}) {
        QImage image(QSize(kSide, kSide) * density, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(density);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter, argument);
        painter.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

void drawPick(QPainter& p, int) {
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(10, 10), 6, 6);
    p.drawLine(QPointF(10, 1), QPointF(10, 19));
    p.drawLine(QPointF(1, 10), QPointF(19, 10));
    p.setPen(Qt::NoPen);
    p.setBrush(kArrow);
    p.drawEllipse(QPointF(10, 10), 2, 2);
    // The mouse pointer at the lower right.
    QPainterPath pointer;
    pointer.moveTo(13, 13);
    pointer.lineTo(22, 17);
    pointer.lineTo(18, 18);
    pointer.lineTo(22, 22);
    pointer.lineTo(20.5, 23);
    pointer.lineTo(17, 19.5);
    pointer.lineTo(15.5, 22.5);
    pointer.closeSubpath();
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPath(pointer);
}

// A small landscape picture in the middle of the icon.
void drawPicture(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(kPicture);
    p.drawRect(QRectF(8.5, 9.5, 7, 5));
}

void drawRotation(QPainter& p, int degrees) {
    drawPicture(p);
    const QPointF centre(12, 12);
    const double radius = 8.5;
    const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    // Qt's arcs count angles anticlockwise from three o'clock; every arrow
    // starts at twelve.
    const double sweep = -degrees;
    QPainterPath arc;
    arc.arcMoveTo(circle, 90);
    arc.arcTo(circle, 90, sweep);
    p.setPen(QPen(kArrow, 2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(arc);

    const double end = (90 + sweep) * std::numbers::pi / 180;
    const QPointF tip = centre + QPointF(radius * std::cos(end), -radius * std::sin(end));
    // Along the circle in the direction of the turn, on the screen.
    const double turn = degrees > 0 ? 1 : -1;
    const QPointF along(turn * std::sin(end), turn * std::cos(end));
    const QPointF across(-along.y(), along.x());
    QPolygonF head;
    head << tip + along * 3.5 << tip - along * 1.5 + across * 3.5
         << tip - along * 1.5 - across * 3.5;
    p.setPen(Qt::NoPen);
    p.setBrush(kArrow);
    p.drawPolygon(head);
}

void drawFlip(QPainter& p, int direction) {
    const bool horizontal = direction == static_cast<int>(FlipDirection::Horizontal);
    // Drawn for a horizontal flip; a vertical one is the same turned a quarter.
    if (!horizontal) {
        p.translate(kSide / 2.0, kSide / 2.0);
        p.rotate(90);
        p.translate(-kSide / 2.0, -kSide / 2.0);
    }
    p.setPen(QPen(kInk, 1, Qt::DashLine));
    p.drawLine(QPointF(12, 2), QPointF(12, 22));
    QPolygonF left;
    left << QPointF(10, 5) << QPointF(10, 19) << QPointF(2, 19);
    QPolygonF right;
    right << QPointF(14, 5) << QPointF(14, 19) << QPointF(22, 19);
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kPicture);
    p.drawPolygon(left);
    p.setBrush(Qt::NoBrush);
    p.drawPolygon(right);
    // The arrow across the axis.
    p.setPen(QPen(kArrow, 1.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(7, 3), QPointF(17, 3));
    p.drawLine(QPointF(17, 3), QPointF(15, 1.5));
    p.drawLine(QPointF(17, 3), QPointF(15, 4.5));
}

}  // namespace

QIcon pickPosition() {
    return iconOf(drawPick, 0);
}

QIcon rotation(int degrees) {
    return iconOf(drawRotation, degrees);
}

QIcon flip(FlipDirection direction) {
    return iconOf(drawFlip, static_cast<int>(direction));
}

}  // namespace varnetto::editorArtwork
