#include "viewer/ViewerGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace varnetto {

namespace {

int truncated(double value) {
    return static_cast<int>(std::trunc(value));
}

// One axis of a zoom: where the visible part starts, how long it is, and
// where and how long it lands on screen.
struct Axis {
    int source = 0;
    int sourceLength = 0;
    int dest = 0;
    int destLength = 0;
};

Axis zoomAxis(int areaStart, int areaLength, int centred, int scaled, int full, int visibleStart,
              int visibleEnd, double factor) {
    Axis axis;
    if (areaLength < scaled) {
        axis.sourceLength = truncated(areaLength / factor);
        const int middle = (visibleStart + visibleEnd) / 2;
        const int half = axis.sourceLength / 2;
        axis.source = middle < half ? 0 : std::min(middle - half, full - axis.sourceLength);
        axis.dest = areaStart;
        axis.destLength = areaLength;
    } else {
        axis.sourceLength = full;
        axis.destLength = scaled;
        axis.dest = centred;
    }
    return axis;
}

}  // namespace

ViewState shownAtActualSize(const ViewArea& area, int width, int height) {
    ViewState view;
    view.imageWidth = width;
    view.imageHeight = height;
    view.sourceRight = width;
    view.sourceBottom = height;
    view.destWidth = width;
    view.destHeight = height;
    view.destX = (area.left + area.right) / 2 - width / 2;
    view.destY = (area.top + area.bottom) / 2 - height / 2;
    if (view.destY < area.top) {
        view.destY = area.top;
        view.panningAllowed = true;
        view.destHeight = area.height();
        view.sourceBottom = area.height();
    }
    if (view.destX < area.left) {
        view.destX = area.left;
        view.panningAllowed = true;
        view.destWidth = area.width();
        view.sourceRight = area.width();
    }
    return view;
}

ViewState inScreenPixels(const ViewState& view, double density) {
    ViewState pixels = view;
    if (density == 1.0) return pixels;
    for (int* extent : {&pixels.destX, &pixels.destY, &pixels.destWidth, &pixels.destHeight})
        *extent = static_cast<int>(std::lround(*extent * density));
    return pixels;
}

void applyZoom(ViewState& view, const ViewArea& area, double factor) {
    const int w = view.imageWidth;
    const int h = view.imageHeight;
    const int scaledWidth = truncated(w * factor);
    const int scaledHeight = truncated(h * factor);
    const int centredX = (area.left + area.right) / 2 - scaledWidth / 2;
    const int centredY = (area.top + area.bottom) / 2 - scaledHeight / 2;
    if (area.width() >= scaledWidth && area.height() >= scaledHeight) {
        view.sourceLeft = view.sourceTop = 0;
        view.sourceRight = w;
        view.sourceBottom = h;
        view.destX = centredX;
        view.destY = centredY;
        view.destWidth = scaledWidth;
        view.destHeight = scaledHeight;
        view.panningAllowed = false;
        return;
    }
    const Axis x = zoomAxis(area.left, area.width(), centredX, scaledWidth, w, view.sourceLeft,
                            view.sourceRight, factor);
    const Axis y = zoomAxis(area.top, area.height(), centredY, scaledHeight, h, view.sourceTop,
                            view.sourceBottom, factor);
    view.sourceLeft = x.source;
    view.sourceRight = x.source + x.sourceLength;
    view.sourceTop = y.source;
    view.sourceBottom = y.source + y.sourceLength;
    view.destX = x.dest;
    view.destWidth = x.destLength;
    view.destY = y.dest;
    view.destHeight = y.destLength;
    view.panningAllowed = true;
}

int zoomedIn(int step) {
    if (step == 10) return 20;
    return step <= 180 ? step + 20 : step;
}

int zoomedOut(int step) {
    if (step >= 40) return step - 20;
    return step == 20 ? 10 : step;
}

double fitFactor(const ViewArea& area, int width, int height) {
    if (width <= 0 || height <= 0) return 1;
    return std::min(double(area.width()) / width, double(area.height()) / height);
}

std::string zoomLabel(double factor) {
    char text[32];
    std::snprintf(text, sizeof text, "%4.2f%%", factor * 100);
    return text;
}

bool panView(ViewState& view, int dx, int dy) {
    const double zoom = view.zoomStep / 100.0;
    const int shiftX = truncated(dx / zoom);
    const int shiftY = truncated(dy / zoom);
    if (shiftX == 0 && shiftY == 0) return false;
    const int width = view.sourceWidth();
    const int height = view.sourceHeight();
    const int left = std::clamp(view.sourceLeft - shiftX, 0, std::max(0, view.imageWidth - width));
    const int top = std::clamp(view.sourceTop - shiftY, 0, std::max(0, view.imageHeight - height));
    view.sourceLeft = left;
    view.sourceRight = left + width;
    view.sourceTop = top;
    view.sourceBottom = top + height;
    return true;
}

int stepViewerRow(int current, int rowCount, int step) {
    int row = step == kFirst ? 0 : step == kLast ? rowCount - 1 : current + step;
    if (row < 0) row = 0;
    if (row >= rowCount) row = rowCount - 1;
    return row;
}

int stepLockedCursor(int cursor, const std::vector<bool>& locked, int step) {
    const int count = static_cast<int>(locked.size());
    auto isLocked = [&](int row) { return row >= 0 && row < count && locked[size_t(row)]; };
    switch (step) {
        case kPrevious:
            for (int row = std::min(cursor, count) - 1; row >= 0; --row)
                if (isLocked(row)) return row;
            break;
        case kNext:
            for (int row = std::max(cursor + 1, 0); row < count; ++row)
                if (isLocked(row)) return row;
            break;
        case kFirst:
            for (int row = 0; row < count; ++row)
                if (isLocked(row)) return row;
            break;
        case kLast:
            for (int row = count - 1; row > cursor; --row)
                if (isLocked(row)) return row;
            break;
        default:
            break;
    }
    return cursor;
}

int likelyNextStep(int step) {
    if (step == kFirst) return kNext;
    if (step == kLast) return kPrevious;
    return step < 0 ? kPrevious : kNext;
}

}  // namespace varnetto
