#include "imaging/FitToBox.h"

#include <algorithm>
#include <cstdint>

namespace varnetto {

FitResult fitToBoxSize(int imageWidth, int imageHeight, int boxWidth, int boxHeight,
                       int requestedWidth, int requestedHeight) {
    FitResult fit;
    if (requestedWidth != 0 || requestedHeight != 0) {
        fit.width = requestedWidth;
        fit.height = requestedHeight;
    } else if (imageWidth <= 0 || imageHeight <= 0 || boxWidth <= 0 || boxHeight <= 0) {
        // Nothing to show, or nowhere to show it: the smallest picture.
        fit.width = 1;
        fit.height = 1;
    } else {
        // Ratios compared exactly (cross-multiplied), sizes truncated.
        const std::int64_t w = imageWidth;
        const std::int64_t h = imageHeight;
        const std::int64_t imageSide = w * boxHeight;
        const std::int64_t boxSide = static_cast<std::int64_t>(boxWidth) * h;
        if (imageSide < boxSide) {
            fit.height = std::min(imageHeight, boxHeight);
            fit.width = static_cast<int>(w * fit.height / h);
        } else if (imageSide > boxSide) {
            fit.width = std::min(imageWidth, boxWidth);
            fit.height = static_cast<int>(h * fit.width / w);
        } else {
            fit.width = boxWidth;
            fit.height = boxHeight;
        }
    }
    fit.width = std::max(fit.width, 1);
    fit.height = std::max(fit.height, 1);
    fit.edgeEffect = fit.width < boxWidth - 2 || fit.height < boxHeight - 2;
    return fit;
}

Bitmap FitToBox(CImageBox& control, const Bitmap& bitmap, int boxWidth, int boxHeight,
                int requestedWidth, int requestedHeight) {
    struct ClearOnExit {
        CImageBox& control;
        ~ClearOnExit() { control.Clear(); }
    } clearOnExit{control};

    const ScopedStepSettings ownSettings(control);
    control.Clear();
    control.PutBitmap(bitmap);
    const FitResult fit = fitToBoxSize(control.ImageWidth(), control.ImageHeight(), boxWidth,
                                       boxHeight, requestedWidth, requestedHeight);
    control.Resize(fit.width, fit.height);
    if (fit.edgeEffect) {
        control.SetEdgeEffect(1);
        control.ApplyEdgeEffect(0, 0, 1, 0);
    }
    return control.GetBitmap();
}

}  // namespace varnetto
