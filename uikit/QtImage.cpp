#include "uikit/QtImage.h"

#include <glib.h>

#include <cstring>

namespace varnetto {

QImage toQImage(const vips::VImage& source) {
    vips::VImage image = source;
    if (image.interpretation() != VIPS_INTERPRETATION_sRGB) {
        image = image.colourspace(VIPS_INTERPRETATION_sRGB);
    }
    if (image.format() != VIPS_FORMAT_UCHAR) image = image.cast(VIPS_FORMAT_UCHAR);
    if (image.bands() > 4) image = image.extract_band(0, vips::VImage::option()->set("n", 4));
    // Grey pictures labelled as colour still have one or two bands.
    if (image.bands() <= 2) {
        vips::VImage grey = image.extract_band(0);
        vips::VImage rgb = grey.bandjoin(grey).bandjoin(grey);
        image = image.bands() == 2 ? rgb.bandjoin(image.extract_band(1)) : rgb;
    }
    const int bands = image.bands();
    const QImage::Format format = bands == 4 ? QImage::Format_RGBA8888 : QImage::Format_RGB888;
    size_t size = 0;
    void* pixels = image.write_to_memory(&size);
    const int width = image.width();
    const int height = image.height();
    QImage result(width, height, format);
    const size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(bands);
    const auto* bytes = static_cast<const unsigned char*>(pixels);
    for (int y = 0; y < height && rowBytes * static_cast<size_t>(y + 1) <= size; ++y) {
        std::memcpy(result.scanLine(y), bytes + rowBytes * static_cast<size_t>(y), rowBytes);
    }
    g_free(pixels);
    return result;
}

}  // namespace varnetto
