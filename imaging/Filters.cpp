#include "imaging/ImagingDetail.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace varnetto::detail {

namespace {

using vips::VImage;

// v * multiply + add on the chosen colour channels; alpha stays.
Bitmap linearOnChannels(const Bitmap& image, double multiply, double add, bool red, bool green,
                        bool blue) {
    Bitmap source = image;
    const bool allChannels = red && green && blue;
    if (source.bands() <= 2 && !allChannels) source = toRgbAtDepth(source);
    // Amounts are stated in 8-bit levels.
    const double scale = fullScaleOf(source) / 255.0;
    const bool chosen[] = {red, green, blue};
    const int colorBands = source.bands() <= 2 ? 1 : 3;
    std::vector<double> a(source.bands(), 1.0);
    // The half rounds to nearest: the cast to 8 bits truncates.
    std::vector<double> b(source.bands(), 0.5);
    for (int i = 0; i < colorBands; ++i) {
        if (colorBands == 1 || chosen[i]) {
            a[i] = multiply;
            b[i] = add * scale + 0.5;
        }
    }
    return source.linear(a, b).cast(source.format());
}

int colorBandsOf(const Bitmap& image) {
    return image.bands() <= 2 ? 1 : 3;
}

// Applies filter to the colour bands only and puts alpha back.
template <typename Filter>
Bitmap onColorBands(const Bitmap& image, Filter filter) {
    if (!hasAlpha(image)) return filter(image);
    const int n = colorBandsOf(image);
    const Bitmap color = image.extract_band(0, VImage::option()->set("n", n));
    return filter(color).bandjoin(image.extract_band(n));
}

std::vector<double> whiteBackground(const Bitmap& image) {
    std::vector<double> background(colorBandsOf(image), fullScaleOf(image));
    if (hasAlpha(image)) background.push_back(0.0);
    return background;
}

}  // namespace

// Amount 50 leaves the picture as it is; 0 darkens by half the range, 100
// lightens by half the range.
Bitmap adjustBrightness(const Bitmap& image, int amount, bool red, bool green, bool blue) {
    amount = std::clamp(amount, 0, 100);
    if (amount == 50 || !(red || green || blue)) return image;
    return linearOnChannels(image, 1.0, (amount - 50) * 2.55, red, green, blue);
}

// Amount 50 leaves the picture as it is; each 25 steps doubles (above 50) or
// halves (below 50) the distance of a value from mid grey.
Bitmap adjustContrast(const Bitmap& image, int amount, bool red, bool green, bool blue) {
    amount = std::clamp(amount, 0, 100);
    if (amount == 50 || !(red || green || blue)) return image;
    const double factor = std::pow(2.0, (amount - 50) / 25.0);
    return linearOnChannels(image, factor, 127.5 * (1.0 - factor), red, green, blue);
}

// Auto levels: each colour channel is stretched so its darkest value becomes
// 0 and its brightest 255. A flat channel is left alone.
Bitmap stretchLevels(const Bitmap& image) {
    return onColorBands(image, [](const Bitmap& color) {
        const double full = fullScaleOf(color);
        std::vector<Bitmap> bands;
        for (int band = 0; band < color.bands(); ++band) {
            const Bitmap b = color.extract_band(band);
            const double lo = b.min(), hi = b.max();
            bands.push_back(
                hi > lo ? b.linear(full / (hi - lo), -lo * full / (hi - lo)).cast(color.format())
                        : b);
        }
        return Bitmap::bandjoin(bands).copy(
            VImage::option()->set("interpretation", color.interpretation()));
    });
}

// A 3 x 3 Laplacian sharpening whose weight grows with the amount (1-10).
Bitmap sharpen(const Bitmap& image, int amount) {
    const double k = std::clamp(amount, 1, 10) * 0.12;
    const VImage mask =
        VImage::new_matrixv(3, 3, 0.0, -k, 0.0, -k, 1.0 + 4.0 * k, -k, 0.0, -k, 0.0);
    return onColorBands(image, [&mask](const Bitmap& color) {
        return color.conv(mask, VImage::option()->set("precision", VIPS_PRECISION_FLOAT))
            .cast(color.format());
    });
}

// Median filtering: amounts 1-3 use a 3 x 3 window, 4-6 5 x 5, 7-9 7 x 7 and
// 10 9 x 9; within a group each step adds one more pass.
Bitmap despeckle(const Bitmap& image, int amount) {
    amount = std::clamp(amount, 1, 10);
    const int window = 3 + 2 * ((amount - 1) / 3);
    const int passes = amount == 10 ? 1 : (amount - 1) % 3 + 1;
    Bitmap out = image;
    for (int i = 0; i < passes; ++i) out = out.median(window);
    return out;
}

// Clockwise; quarter turns are exact, other angles are interpolated onto a
// larger canvas filled with white (transparent when the picture has alpha).
Bitmap rotate(const Bitmap& image, double degrees) {
    double turn = std::fmod(degrees, 360.0);
    if (turn < 0) turn += 360.0;
    const double epsilon = 1e-6;
    auto near = [&](double angle) { return std::abs(turn - angle) < epsilon; };
    if (near(0) || near(360)) return image;
    if (near(90)) return image.rot(VIPS_ANGLE_D90);
    if (near(180)) return image.rot(VIPS_ANGLE_D180);
    if (near(270)) return image.rot(VIPS_ANGLE_D270);
    return image.rotate(turn, VImage::option()->set("background", whiteBackground(image)))
        .cast(image.format());
}

Bitmap flip(const Bitmap& image, FlipDirection direction) {
    if (direction == FlipDirection::Horizontal) return image.flip(VIPS_DIRECTION_HORIZONTAL);
    if (direction == FlipDirection::Vertical) return image.flip(VIPS_DIRECTION_VERTICAL);
    return image;
}

// A bevel: the top and left margins lightened, the bottom and right darkened
// (effect 1, raised), or the other way round (effect 2, sunken). width counts
// in steps of two pixels.
Bitmap raisedFrame(const Bitmap& image, int effect, int width) {
    if (effect != 1 && effect != 2) return image;
    const int w = image.width();
    const int h = image.height();
    const int thickness = std::min(std::max(1, width) * 2, std::min(w, h) / 2);
    if (thickness < 1) return image;
    const VImage xy = VImage::xyz(w, h);
    const VImage x = xy[0];
    const VImage y = xy[1];
    const VImage fromTopLeft = (x < y).ifthenelse(x, y);
    const VImage right = (w - 1) - x;
    const VImage bottom = (h - 1) - y;
    const VImage fromBottomRight = (right < bottom).ifthenelse(right, bottom);
    const VImage nearTopLeft = (fromTopLeft < thickness) & (fromTopLeft < fromBottomRight);
    const VImage nearBottomRight = (fromBottomRight < thickness) & (fromBottomRight <= fromTopLeft);

    return onColorBands(image, [&](const Bitmap& color) {
        const VImage light = (color.linear(0.5, fullScaleOf(color) / 2)).cast(color.format());
        const VImage dark = (color.linear(0.6, 0.0)).cast(color.format());
        const VImage& first = effect == 1 ? light : dark;
        const VImage& second = effect == 1 ? dark : light;
        return nearTopLeft.ifthenelse(first, nearBottomRight.ifthenelse(second, color));
    });
}

}  // namespace varnetto::detail
