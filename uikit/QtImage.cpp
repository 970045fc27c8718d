#include "uikit/QtImage.h"

#include "imaging/DisplayPixels.h"

namespace varnetto {

QImage toQImage(const Bitmap& image) {
    DisplayPixels pixels = toDisplayPixels(image);
    const QImage::Format format =
        pixels.bands == 4 ? QImage::Format_RGBA8888 : QImage::Format_RGB888;
    unsigned char* buffer = pixels.data.get();
    // The QImage frees the buffer when its last copy goes.
    QImage wrapped(
        buffer, pixels.width, pixels.height, static_cast<qsizetype>(pixels.stride), format,
        [](void* data) { LibvipsBufferFree{}(static_cast<unsigned char*>(data)); }, buffer);
    pixels.data.release();
    return wrapped;
}

}  // namespace varnetto
