#pragma once

#include "uikit/ThumbnailArt.h"

#include <QIcon>
#include <QImage>

class QPainter;

namespace varnetto {

// Every picture of the main window and the batch dialog, drawn in code.
namespace artwork {

QIcon windowIcon();
// The program's icon, drawn into a size x size square from its top left; the
// installed icon files are made from the same drawing.
void paintApplicationIcon(QPainter& painter, int size);
QImage applicationIcon(int size);
// Sizes are in the window's units; at a density of 2 (a high-density screen)
// each picture holds twice as many pixels each way and says so, so that it is
// drawn sharp at the same size.
// 25 x 25 toolbar picture number index (0-12), in its normal or hot form.
QImage toolbarImage(int index, bool hot, qreal density = 1);
inline constexpr int kToolbarImageCount = 13;
QImage thumbnailFrame(qreal density = 1);  // 160 x 120
QImage lockMark(qreal density = 1);        // 43 x 40
QImage brokenPicture(qreal density = 1);   // 160 x 120
QImage damageMark(qreal density = 1);      // 30 x 27: a warning sign
// The two frames of the batch dialog's animation, 80 x 80.
QImage batchFrame(int frame);
// At the density of the screen with the most pixels.
ThumbnailArt thumbnailArt();
ThumbnailArt thumbnailArt(qreal density);

}  // namespace artwork
}  // namespace varnetto
