#include "imaging/ImagingDetail.h"

#include <libimagequant.h>

#include <memory>
#include <vector>

namespace varnetto::detail {

namespace {

struct LiqDeleter {
    void operator()(liq_attr* p) const { liq_attr_destroy(p); }
    void operator()(liq_image* p) const { liq_image_destroy(p); }
    void operator()(liq_result* p) const { liq_result_destroy(p); }
};
template <typename T>
using LiqPtr = std::unique_ptr<T, LiqDeleter>;

struct Remapped {
    std::vector<unsigned char> indices;
    liq_palette palette{};
};

// rgba must stay alive while the quantiser works: libimagequant reads it in
// place.
Remapped remap(const Bitmap& rgba, int colors, const std::vector<liq_color>& fixed) {
    LiqPtr<liq_attr> attr(liq_attr_create());
    if (!attr) throw ImagingError("颜色量化无法启动");
    liq_set_max_colors(attr.get(), colors);
    LiqPtr<liq_image> image(
        liq_image_create_rgba(attr.get(), rgba.data(), rgba.width(), rgba.height(), 0));
    if (!image) throw ImagingError("颜色量化无法读取图像");
    for (const liq_color& color : fixed) liq_image_add_fixed_color(image.get(), color);
    liq_result* raw = nullptr;
    if (liq_image_quantize(image.get(), attr.get(), &raw) != LIQ_OK || !raw)
        throw ImagingError("颜色量化失败");
    LiqPtr<liq_result> result(raw);
    liq_set_dithering_level(result.get(), 1.0f);
    Remapped out;
    out.indices.resize(static_cast<std::size_t>(rgba.width()) * rgba.height());
    if (liq_write_remapped_image(result.get(), image.get(), out.indices.data(),
                                 out.indices.size()) != LIQ_OK)
        throw ImagingError("颜色量化失败");
    out.palette = *liq_get_palette(result.get());
    return out;
}

Bitmap withAlphaBand(const Bitmap& rgb) {
    return rgb.bands() == 4 ? rgb : rgb.bandjoin_const({255});
}

}  // namespace

Bitmap quantize(const Bitmap& image, int colors) {
    const bool alpha = hasAlpha(image);
    const Bitmap rgba = withAlphaBand(toRgb(image)).copy_memory();
    const Remapped remapped = remap(rgba, colors, {});
    std::vector<unsigned char> pixels(remapped.indices.size() * 4);
    for (std::size_t i = 0; i < remapped.indices.size(); ++i) {
        const liq_color& c = remapped.palette.entries[remapped.indices[i]];
        pixels[i * 4] = c.r;
        pixels[i * 4 + 1] = c.g;
        pixels[i * 4 + 2] = c.b;
        pixels[i * 4 + 3] = c.a;
    }
    const Bitmap out =
        imageFromPixels(pixels.data(), rgba.width(), rgba.height(), 4, VIPS_INTERPRETATION_sRGB);
    return alpha ? out : out.extract_band(0, vips::VImage::option()->set("n", 3));
}

Bitmap ditherBlackWhite(const Bitmap& image) {
    const Bitmap gray = toGray(image);
    const Bitmap rgba =
        vips::VImage::bandjoin({gray, gray, gray}).bandjoin_const({255}).copy_memory();
    const Remapped remapped =
        remap(rgba, 2, {liq_color{0, 0, 0, 255}, liq_color{255, 255, 255, 255}});
    std::vector<unsigned char> pixels(remapped.indices.size());
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = remapped.palette.entries[remapped.indices[i]].g >= 128 ? 255 : 0;
    return imageFromPixels(pixels.data(), gray.width(), gray.height(), 1, VIPS_INTERPRETATION_B_W);
}

}  // namespace varnetto::detail
