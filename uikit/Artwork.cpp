#include "uikit/Artwork.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace varnetto::artwork {

namespace {

// Painters on the image draw in its units: width x height at any density.
QImage blank(int width, int height, qreal density = 1,
             QImage::Format format = QImage::Format_ARGB32_Premultiplied) {
    QImage image(QSize(width, height) * density, format);
    image.setDevicePixelRatio(density);
    image.fill(Qt::transparent);
    return image;
}

void drawFolder(QPainter& p, QColor colour) {
    p.setBrush(colour.darker(115));
    p.drawRect(3, 6, 8, 4);
    p.setBrush(colour);
    p.drawRect(3, 8, 19, 13);
}

void drawPicture(QPainter& p, QRect r) {
    p.setBrush(QColor(230, 240, 255));
    p.drawRect(r);
    p.setBrush(QColor(60, 150, 60));
    QPolygon hill;
    hill << QPoint(r.left() + 1, r.bottom()) << QPoint(r.left() + r.width() / 3, r.center().y())
         << QPoint(r.center().x() + 2, r.bottom() - 3) << QPoint(r.right() - 3, r.center().y() - 1)
         << QPoint(r.right(), r.bottom());
    p.drawPolygon(hill);
    p.setBrush(QColor(240, 190, 40));
    p.drawEllipse(QPoint(r.right() - r.width() / 4, r.top() + r.height() / 4), 2, 2);
}

void drawPadlock(QPainter& p, QRectF body, bool open, QColor colour) {
    p.setBrush(Qt::NoBrush);
    QPen shackle(QColor(90, 90, 90), body.width() / 6.0);
    p.setPen(shackle);
    const qreal w = body.width() * 0.6;
    QRectF arc(body.center().x() - w / 2, body.top() - w * 0.8, w, w * 1.2);
    if (open) arc.translate(w * 0.45, -w * 0.2);
    p.drawArc(arc, 0, 180 * 16);
    if (!open) {
        p.drawLine(QPointF(arc.left(), arc.center().y()), QPointF(arc.left(), body.top()));
    } else {
        p.drawLine(QPointF(arc.left(), arc.center().y()), QPointF(arc.left(), body.top()));
    }
    p.drawLine(QPointF(arc.right(), arc.center().y()),
               QPointF(arc.right(), open ? arc.center().y() + 2 : body.top()));
    p.setPen(QPen(colour.darker(160), 1));
    p.setBrush(colour);
    p.drawRoundedRect(body, 2, 2);
    p.setBrush(QColor(40, 40, 40));
    p.drawEllipse(QPointF(body.center().x(), body.center().y() - 1), body.width() / 10.0,
                  body.width() / 10.0);
}

// Filled without outlines: small cells would be all outline, which a dark
// toolbar swallows.
void drawGrid(QPainter& p, int columns, int rows, QColor colour) {
    p.setPen(Qt::NoPen);
    const int cell = 19 / columns;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            p.setBrush(colour);
            p.drawRect(3 + x * cell, 3 + y * (19 / rows), cell - 2, 19 / rows - 2);
        }
    }
}

void drawLines(QPainter& p, bool withColumns, QColor colour) {
    p.setPen(Qt::NoPen);
    for (int y = 0; y < 5; ++y) {
        p.setBrush(colour);
        p.drawRect(3, 4 + y * 4, 3, 2);
        p.setBrush(colour.darker(140));
        p.drawRect(8, 4 + y * 4, withColumns ? 6 : 14, 2);
        if (withColumns) p.drawRect(16, 4 + y * 4, 6, 2);
    }
}

void drawToolbarPicture(QPainter& p, int index, bool hot) {
    const QColor accent = hot ? QColor(255, 170, 30) : QColor(70, 120, 200);
    p.setPen(QPen(QColor(50, 50, 50), 1));
    switch (index) {
        case 0:  // load a folder
            drawFolder(p, hot ? QColor(255, 210, 80) : QColor(230, 190, 70));
            drawPicture(p, QRect(9, 11, 12, 9));
            break;
        case 1:  // add one file
            p.setBrush(Qt::white);
            p.drawRect(5, 2, 15, 20);
            drawPicture(p, QRect(7, 8, 11, 9));
            break;
        case 2:  // select all
            p.setPen(QPen(accent, 1, Qt::DashLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(2, 2, 20, 20);
            p.setPen(QPen(QColor(50, 50, 50), 1));
            drawPicture(p, QRect(6, 6, 12, 12));
            break;
        case 3:  // delete
            p.setPen(QPen(hot ? QColor(240, 40, 40) : QColor(190, 30, 30), 4, Qt::SolidLine,
                          Qt::RoundCap));
            p.drawLine(5, 5, 19, 19);
            p.drawLine(19, 5, 5, 19);
            break;
        case 4:  // lock
            drawPadlock(p, QRectF(6, 11, 13, 11), false,
                        hot ? QColor(255, 200, 40) : QColor(220, 170, 30));
            break;
        case 5:  // unlock
            drawPadlock(p, QRectF(4, 11, 13, 11), true,
                        hot ? QColor(150, 220, 120) : QColor(110, 180, 90));
            break;
        case 6:  // invert the lock
            drawPadlock(p, QRectF(2, 12, 10, 9), false, QColor(220, 170, 30));
            drawPadlock(p, QRectF(13, 12, 10, 9), true, QColor(110, 180, 90));
            p.setPen(QPen(accent, 2));
            p.drawLine(6, 3, 18, 3);
            p.drawLine(15, 1, 18, 3);
            break;
        case 7:  // full screen; a blue screen shows on light and dark toolbars
            p.setBrush(QColor(60, 100, 160));
            p.drawRect(2, 4, 20, 14);
            p.drawRect(9, 18, 6, 3);
            p.setPen(QPen(hot ? accent : QColor(Qt::white), 2));
            p.drawLine(5, 7, 9, 7);
            p.drawLine(5, 7, 5, 10);
            p.drawLine(19, 15, 15, 15);
            p.drawLine(19, 15, 19, 12);
            break;
        case 8:
            drawGrid(p, 2, 2, accent);
            break;
        case 9:
            drawGrid(p, 4, 4, accent);
            break;
        case 10:
            drawLines(p, false, accent);
            break;
        case 11:
            drawLines(p, true, accent);
            break;
        default: {  // help
            p.setBrush(accent);
            p.drawEllipse(2, 2, 20, 20);
            QPainterPath mark;
            mark.moveTo(9, 9);
            mark.cubicTo(9, 5, 16, 5, 16, 9);
            mark.cubicTo(16, 12, 12, 12, 12, 15);
            p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            p.drawPath(mark);
            p.drawPoint(12, 19);
            break;
        }
    }
}

void drawGear(QPainter& p, QPointF centre, qreal radius, qreal angle, QColor colour) {
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const qreal a = angle + i * M_PI / teeth;
        const qreal r = (i % 2 == 0) ? radius : radius * 0.78;
        const QPointF point(centre.x() + r * std::cos(a), centre.y() + r * std::sin(a));
        if (i == 0) {
            gear.moveTo(point);
        } else {
            gear.lineTo(point);
        }
    }
    gear.closeSubpath();
    gear.addEllipse(centre, radius * 0.3, radius * 0.3);
    p.setBrush(colour);
    p.setPen(QPen(colour.darker(150), 1));
    p.drawPath(gear);
}

}  // namespace

void paintApplicationIcon(QPainter& p, int size) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(Qt::white);
    p.drawRect(8, 3, 21, 17);
    p.drawRect(5, 7, 21, 17);
    drawPicture(p, QRect(3, 11, 21, 17));
    drawGear(p, QPointF(24, 24), 7, 0, QColor(70, 120, 200));
    p.restore();
}

QImage applicationIcon(int size) {
    QImage image = blank(size, size);
    QPainter p(&image);
    paintApplicationIcon(p, size);
    return image;
}

QIcon windowIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 96}) icon.addPixmap(QPixmap::fromImage(applicationIcon(size)));
    return icon;
}

QImage toolbarImage(int index, bool hot, qreal density) {
    QImage image = blank(25, 25, density);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawToolbarPicture(p, index, hot);
    return image;
}

QImage thumbnailFrame(qreal density) {
    QImage image = blank(160, 120, density, QImage::Format_RGB888);
    image.fill(QColor(236, 236, 236));
    QPainter p(&image);
    p.setPen(QColor(255, 255, 255));
    p.drawLine(0, 0, 159, 0);
    p.drawLine(0, 0, 0, 119);
    p.setPen(QColor(150, 150, 150));
    p.drawLine(159, 0, 159, 119);
    p.drawLine(0, 119, 159, 119);
    p.setPen(QColor(200, 200, 200));
    p.drawRect(3, 3, 153, 113);
    return image;
}

QImage lockMark(qreal density) {
    QImage image = blank(43, 40, density);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 190));
    p.drawRoundedRect(QRectF(1, 1, 41, 38), 6, 6);
    drawPadlock(p, QRectF(10, 18, 23, 18), false, QColor(230, 170, 20));
    return image;
}

QImage brokenPicture(qreal density) {
    QImage image = thumbnailFrame(density);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 120, 120), 1));
    p.setBrush(QColor(250, 250, 250));
    QPolygonF torn;
    torn << QPointF(45, 25) << QPointF(115, 25) << QPointF(115, 55) << QPointF(100, 62)
         << QPointF(108, 72) << QPointF(95, 95) << QPointF(45, 95);
    p.drawPolygon(torn);
    p.setPen(QPen(QColor(200, 40, 40), 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(62, 42, 98, 78);
    p.drawLine(98, 42, 62, 78);
    return image;
}

QImage damageMark(qreal density) {
    QImage image = blank(30, 27, density);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPolygonF sign;
    sign << QPointF(15, 1.5) << QPointF(28.5, 25.5) << QPointF(1.5, 25.5);
    p.setPen(QPen(QColor(120, 70, 0), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(255, 200, 30));
    p.drawPolygon(sign);
    p.setPen(QPen(QColor(40, 30, 0), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(15, 9), QPointF(15, 17));
    p.drawPoint(QPointF(15, 21.5));
    return image;
}

QImage batchFrame(int frame) {
    QImage image = blank(80, 80);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal turn = frame == 1 ? 0.0 : M_PI / 8;
    drawGear(p, QPointF(30, 44), 22, turn, QColor(90, 140, 210));
    drawGear(p, QPointF(60, 24), 14, -turn * 1.5, QColor(240, 170, 40));
    p.setPen(Qt::NoPen);
    p.setBrush(frame == 1 ? QColor(60, 170, 80) : QColor(200, 60, 60));
    p.drawEllipse(QPointF(62, 64), 7, 7);
    return image;
}

ThumbnailArt thumbnailArt() {
    return thumbnailArt(qGuiApp ? qGuiApp->devicePixelRatio() : 1.0);
}

ThumbnailArt thumbnailArt(qreal density) {
    return {thumbnailFrame(density), lockMark(density), brokenPicture(density),
            damageMark(density)};
}

}  // namespace varnetto::artwork
