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
// 25 x 25 toolbar picture number index (0-12), in its normal or hot form.
QImage toolbarImage(int index, bool hot);
inline constexpr int kToolbarImageCount = 13;
QImage thumbnailFrame();  // 160 x 120
QImage lockMark();        // 43 x 40
QImage brokenPicture();   // 160 x 120
QImage damageMark();      // 30 x 27: a warning sign
// The two frames of the batch dialog's animation, 80 x 80.
QImage batchFrame(int frame);
ThumbnailArt thumbnailArt();

}  // namespace artwork
}  // namespace varnetto
