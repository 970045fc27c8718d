#pragma once

#include "imaging/ZoomablePicture.h"
#include "viewer/ViewerGeometry.h"

#include <QHash>
#include <QImage>
#include <QPoint>
#include <QRect>

#include <utility>
#include <vector>

namespace varnetto {

// The scaled picture is cut into square tiles, rendered off the UI thread and
// kept while they are near the view, so panning only draws what is ready.
inline constexpr int kTileSize = 256;

// Tiles of one picture at one scale, as a render made them.
struct RenderedTiles {
    double scaleX = 0;
    double scaleY = 0;
    std::vector<std::pair<QPoint, QImage>> tiles;  // (column, row) and pixels
};

// The visible part of the scaled picture, in scaled pixels.
QRect visibleScaledRect(const ViewState& view);
// The size of the whole picture at view's scale.
QSize scaledPictureSize(const ViewState& view);
// The columns and rows of the tiles that cover rect, within the picture.
QRect tilesCovering(const QRect& scaledRect, const QSize& scaledPicture);

// Renders the tiles of range (columns and rows) in one pass and cuts them
// apart. Runs on a worker. Throws ImagingError.
RenderedTiles renderTiles(ZoomablePicture& picture, double scaleX, double scaleY,
                          const QRect& range);

// The tiles of the picture on screen, at the scale of its current view.
class TileCache {
  public:
    // Forgets every tile unless the scale stays the same.
    void setScale(double scaleX, double scaleY);
    bool hasScale(double scaleX, double scaleY) const;
    void clear() { tiles_.clear(); }
    // Takes the tiles of a render made at the current scale; others are
    // dropped.
    void take(RenderedTiles rendered);
    // Tiles of range a render left out (rounding at the picture's edge) are
    // not asked for again: they count as present and empty.
    void markRendered(const QRect& range);
    // The tile, or nullptr; an empty image where a render left it out.
    const QImage* find(const QPoint& tile) const;
    // Tiles of range that are not here yet, as the range that covers them
    // all (empty when none is missing).
    QRect missing(const QRect& range) const;
    // Lets go of the tiles outside range.
    void keepOnly(const QRect& range);

  private:
    double scaleX_ = 0;
    double scaleY_ = 0;
    QHash<QPoint, QImage> tiles_;
};

}  // namespace varnetto
