#include "viewer/ViewerArt.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace varnetto::viewerart {

namespace {

// A filled triangle pointing left or right, its tip at x.
void drawArrow(QPainter& p, qreal tipX, bool left) {
    const qreal back = left ? tipX + 8 : tipX - 8;
    QPainterPath arrow;
    arrow.moveTo(tipX, 12.5);
    arrow.lineTo(back, 6);
    arrow.lineTo(back, 19);
    arrow.closeSubpath();
    p.drawPath(arrow);
}

void drawBar(QPainter& p, qreal x) {
    p.drawRect(QRectF(x, 6, 2.5, 13));
}

void drawMagnifier(QPainter& p, QColor accent, bool plus) {
    p.setPen(QPen(QColor(60, 60, 60), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(15.5, 15.5), QPointF(21.5, 21.5));
    p.setPen(QPen(QColor(60, 60, 60), 1.5));
    p.setBrush(QColor(235, 245, 255));
    p.drawEllipse(QPointF(10.5, 10.5), 7, 7);
    p.setPen(QPen(accent, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(7, 10.5), QPointF(14, 10.5));
    if (plus) p.drawLine(QPointF(10.5, 7), QPointF(10.5, 14));
}

void drawFit(QPainter& p, QColor accent) {
    p.setPen(QPen(QColor(60, 60, 60), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 5.5, 18, 14));
    p.setPen(QPen(accent, 2, Qt::SolidLine, Qt::RoundCap));
    // Four corners pulled in towards the frame.
    const QPointF corners[] = {{4, 6}, {21, 6}, {4, 19}, {21, 19}};
    for (const QPointF& corner : corners) {
        const QPointF inward(corner.x() < 12 ? 4 : -4, corner.y() < 12 ? 3 : -3);
        p.drawLine(corner, corner + inward);
    }
}

void drawHand(QPainter& p, QColor accent) {
    p.setPen(QPen(QColor(90, 60, 30), 1.2));
    p.setBrush(accent.lighter(150));
    for (int finger = 0; finger < 4; ++finger)
        p.drawRoundedRect(QRectF(6 + finger * 3.5, 3 + (finger == 0 || finger == 3 ? 2 : 0), 3, 11),
                          1.5, 1.5);
    p.drawRoundedRect(QRectF(5.5, 11, 14, 10), 4, 4);
    QPainterPath thumb;
    thumb.moveTo(6, 15);
    thumb.lineTo(2.5, 11);
    thumb.lineTo(4, 9.5);
    thumb.lineTo(8, 13);
    p.drawPath(thumb);
}

void drawLevels(QPainter& p, QColor accent) {
    const QColor bars[] = {QColor(210, 60, 60), QColor(60, 170, 70), QColor(60, 90, 210)};
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) {
        p.setBrush(bars[i]);
        p.drawRect(QRectF(4 + i * 6, 20 - (6 + i * 4), 4, 6 + i * 4));
    }
    p.setPen(QPen(accent, 1.5));
    p.drawLine(QPointF(3, 21), QPointF(22, 21));
}

void drawPicture(QPainter& p, int index, bool hot) {
    const QColor accent = hot ? QColor(255, 160, 20) : QColor(50, 110, 200);
    p.setPen(QPen(accent.darker(140), 1));
    p.setBrush(accent);
    switch (index) {
        case 0:  // first
            drawBar(p, 4);
            drawArrow(p, 8, true);
            drawArrow(p, 14, true);
            break;
        case 1:  // previous
            drawArrow(p, 8, true);
            break;
        case 2:  // next
            drawArrow(p, 17, false);
            break;
        case 3:  // last
            drawArrow(p, 11, false);
            drawArrow(p, 17, false);
            drawBar(p, 18.5);
            break;
        case 4:
            drawFit(p, accent);
            break;
        case 5:
            drawHand(p, accent);
            break;
        case 6:
            drawMagnifier(p, accent, true);
            break;
        case 7:
            drawMagnifier(p, accent, false);
            break;
        default:
            drawLevels(p, accent);
            break;
    }
}

QImage toolbarPicture(int index, bool hot, qreal density) {
    QImage image(QSize(25, 25) * density, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(density);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    drawPicture(painter, index, hot);
    return image;
}

}  // namespace

QIcon toolbarIcon(int index) {
    QIcon icon;
    // Drawn for ordinary and high-density screens alike.
    for (const qreal density : {1.0, 2.0}) {
        icon.addPixmap(QPixmap::fromImage(toolbarPicture(index, false, density)), QIcon::Normal);
        icon.addPixmap(QPixmap::fromImage(toolbarPicture(index, true, density)), QIcon::Active);
    }
    return icon;
}

}  // namespace varnetto::viewerart
