#pragma once

#include "imaging/CImageBox.h"

namespace varnetto {

struct FitResult {
    int width = 0;
    int height = 0;
    bool edgeEffect = false;
};

// The size a picture of imageWidth x imageHeight is shown at in a box of
// boxWidth x boxHeight. requestedWidth/Height of 0 let the routine choose.
FitResult fitToBoxSize(int imageWidth, int imageHeight, int boxWidth, int boxHeight,
                       int requestedWidth = 0, int requestedHeight = 0);

// Scales bitmap for the box through control (resize, then the edge effect
// when the picture is smaller than the box) and returns the picture to show.
// The control holds no image afterwards.
Bitmap FitToBox(CImageBox& control, const Bitmap& bitmap, int boxWidth, int boxHeight,
                int requestedWidth = 0, int requestedHeight = 0);

}  // namespace varnetto
