#include "imaging/DisplayPixels.h"

#include "imaging/ImagingDetail.h"
#include "imaging/OutputFidelity.h"

#include <glib.h>

namespace varnetto {

void LibvipsBufferFree::operator()(unsigned char* buffer) const {
    g_free(buffer);
}

DisplayPixels toDisplayPixels(const Bitmap& source) {
    if (source.get_image() == nullptr) throw ImagingError("显示图像：图像为空");
    return detail::guarded("显示图像", [&] {
        // The screen is taken to be sRGB.
        vips::VImage image = hasForeignProfile(source) ? inSrgb(source, false) : source;
        if (image.interpretation() != VIPS_INTERPRETATION_sRGB)
            image = image.colourspace(VIPS_INTERPRETATION_sRGB);
        if (image.format() != VIPS_FORMAT_UCHAR) image = image.cast(VIPS_FORMAT_UCHAR);
        if (image.bands() > 4) image = image.extract_band(0, vips::VImage::option()->set("n", 4));
        // Grey pictures labelled as colour still have one or two bands.
        if (image.bands() <= 2) {
            const vips::VImage grey = image.extract_band(0);
            const vips::VImage rgb = grey.bandjoin(grey).bandjoin(grey);
            image = image.bands() == 2 ? rgb.bandjoin(image.extract_band(1)) : rgb;
        }
        DisplayPixels pixels;
        pixels.width = image.width();
        pixels.height = image.height();
        pixels.bands = image.bands();
        pixels.stride =
            static_cast<std::size_t>(pixels.width) * static_cast<std::size_t>(pixels.bands);
        std::size_t size = 0;
        pixels.data.reset(static_cast<unsigned char*>(image.write_to_memory(&size)));
        if (!pixels.data || size != pixels.stride * static_cast<std::size_t>(pixels.height))
            throw ImagingError("显示图像：像素数据不完整");
        return pixels;
    });
}

}  // namespace varnetto
