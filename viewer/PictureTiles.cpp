#include "viewer/PictureTiles.h"

#include "uikit/QtImage.h"

#include <cmath>

namespace varnetto {

namespace {

bool sameScale(double a, double b) {
    return std::abs(a - b) < 1e-9;
}

int scaledExtent(int extent, double scale) {
    return std::max(1, static_cast<int>(std::lround(extent * scale)));
}

}  // namespace

QRect visibleScaledRect(const ViewState& view) {
    return QRect(static_cast<int>(std::lround(view.sourceLeft * view.scaleX())),
                 static_cast<int>(std::lround(view.sourceTop * view.scaleY())), view.destWidth,
                 view.destHeight);
}

QSize scaledPictureSize(const ViewState& view) {
    return QSize(scaledExtent(view.imageWidth, view.scaleX()),
                 scaledExtent(view.imageHeight, view.scaleY()));
}

QRect tilesCovering(const QRect& scaledRect, const QSize& scaledPicture) {
    const QRect inside = scaledRect.intersected(QRect(QPoint(0, 0), scaledPicture));
    if (inside.isEmpty()) return {};
    return QRect(QPoint(inside.left() / kTileSize, inside.top() / kTileSize),
                 QPoint(inside.right() / kTileSize, inside.bottom() / kTileSize));
}

RenderedTiles renderTiles(ZoomablePicture& picture, double scaleX, double scaleY,
                          const QRect& range) {
    RenderedTiles rendered{scaleX, scaleY, {}};
    if (range.isEmpty()) return rendered;
    const QRect area(range.left() * kTileSize, range.top() * kTileSize, range.width() * kTileSize,
                     range.height() * kTileSize);
    const QImage pixels =
        toQImage(picture.render(scaleX, scaleY, {area.x(), area.y(), area.width(), area.height()}))
            .convertToFormat(QImage::Format_RGB32);
    // The render is clipped to the picture; so are the tiles at its edges.
    const QRect covered(area.topLeft(), pixels.size());
    for (int row = range.top(); row <= range.bottom(); ++row) {
        for (int column = range.left(); column <= range.right(); ++column) {
            const QRect tile = QRect(column * kTileSize, row * kTileSize, kTileSize, kTileSize)
                                   .intersected(covered);
            if (tile.isEmpty()) continue;
            rendered.tiles.emplace_back(QPoint(column, row),
                                        pixels.copy(tile.translated(-area.topLeft())));
        }
    }
    return rendered;
}

void TileCache::setScale(double scaleX, double scaleY) {
    if (hasScale(scaleX, scaleY)) return;
    tiles_.clear();
    scaleX_ = scaleX;
    scaleY_ = scaleY;
}

bool TileCache::hasScale(double scaleX, double scaleY) const {
    return sameScale(scaleX_, scaleX) && sameScale(scaleY_, scaleY);
}

void TileCache::take(RenderedTiles rendered) {
    if (!hasScale(rendered.scaleX, rendered.scaleY)) return;
    for (auto& [tile, pixels] : rendered.tiles) tiles_.insert(tile, std::move(pixels));
}

void TileCache::markRendered(const QRect& range) {
    for (int row = range.top(); row <= range.bottom(); ++row)
        for (int column = range.left(); column <= range.right(); ++column)
            if (!tiles_.contains(QPoint(column, row))) tiles_.insert(QPoint(column, row), QImage());
}

const QImage* TileCache::find(const QPoint& tile) const {
    const auto found = tiles_.constFind(tile);
    return found == tiles_.constEnd() ? nullptr : &found.value();
}

QRect TileCache::missing(const QRect& range) const {
    QRect bounds;
    for (int row = range.top(); row <= range.bottom(); ++row) {
        for (int column = range.left(); column <= range.right(); ++column) {
            if (!tiles_.contains(QPoint(column, row))) bounds |= QRect(column, row, 1, 1);
        }
    }
    return bounds;
}

void TileCache::keepOnly(const QRect& range) {
    for (auto it = tiles_.begin(); it != tiles_.end();) {
        it = range.contains(it.key()) ? std::next(it) : tiles_.erase(it);
    }
}

}  // namespace varnetto
