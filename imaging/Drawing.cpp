#include "imaging/ImagingDetail.h"

#include <cairo.h>
#include <glib.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace varnetto::detail {

namespace {

using vips::VImage;

std::string escapeMarkup(const std::string& text) {
    std::unique_ptr<gchar, decltype(&g_free)> valid(
        g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size())), &g_free);
    std::unique_ptr<gchar, decltype(&g_free)> escaped(g_markup_escape_text(valid.get(), -1),
                                                      &g_free);
    return escaped.get();
}

std::string withUnixNewlines(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool isBlank(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); });
}

// Language for glyph forms: Windows character sets of Japanese, Korean and
// traditional Chinese; everything else is shown with simplified forms.
const char* languageOf(int charset) {
    switch (charset) {
        case 128:
            return "ja";
        case 129:
            return "ko";
        case 136:
            return "zh-tw";
        default:
            return "zh-cn";
    }
}

// Pango's font maps and fontconfig are not for several threads at once.
std::mutex textMutex;

template <typename T>
struct GObjectUnref {
    void operator()(T* object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref<T>>;

Bitmap withAlpha(const Bitmap& picture) {
    return hasAlpha(picture) ? picture : picture.bandjoin_const({fullScaleOf(picture)});
}

}  // namespace

Bitmap drawPicture(const Bitmap& base, const Bitmap& picture, int x, int y, bool keyTransparent) {
    const int left = std::max(x, 0);
    const int top = std::max(y, 0);
    const int right =
        std::min<long long>(static_cast<long long>(x) + picture.width(), base.width());
    const int bottom =
        std::min<long long>(static_cast<long long>(y) + picture.height(), base.height());
    if (right <= left || bottom <= top) return base;

    const bool grayBase = base.bands() <= 2;
    const bool grayPicture = picture.bands() <= 2;
    const bool gray = grayBase && grayPicture;
    // Drawn at the base's depth: 8-bit captions, stamps and borders on 16-bit
    // pictures too.
    const bool deep = isDeep(base);
    const Bitmap drawn = atDepthOf(picture, base);
    Bitmap canvas = gray ? base : toRgbAtDepth(base);
    Bitmap part = drawn.crop(left - x, top - y, right - left, bottom - top);
    part = gray ? part.cast(deep ? VIPS_FORMAT_USHORT : VIPS_FORMAT_UCHAR) : toRgbAtDepth(part);

    if (keyTransparent && !hasAlpha(part)) {
        const std::vector<double> key = (gray ? drawn : toRgbAtDepth(drawn)).getpoint(0, 0);
        part = part.bandjoin(atDepthOf((part == key).bandand().ifthenelse(0, 255), base));
    }
    if (!hasAlpha(part)) {
        if (hasAlpha(canvas)) part = withAlpha(part);
        return canvas.insert(part, left, top);
    }
    const bool canvasAlpha = hasAlpha(canvas);
    const VipsInterpretation space =
        gray ? (deep ? VIPS_INTERPRETATION_GREY16 : VIPS_INTERPRETATION_B_W)
             : (deep ? VIPS_INTERPRETATION_RGB16 : VIPS_INTERPRETATION_sRGB);
    Bitmap out = canvas.composite2(
        part, VIPS_BLEND_MODE_OVER,
        VImage::option()->set("x", left)->set("y", top)->set("compositing_space", space));
    if (!canvasAlpha) out = out.extract_band(0, VImage::option()->set("n", gray ? 1 : 3));
    out = out.cast(deep ? VIPS_FORMAT_USHORT : VIPS_FORMAT_UCHAR);
    return out.copy(VImage::option()->set("interpretation", space));
}

std::string textMarkup(const std::string& text, const TextStyle& style) {
    const CaptionFont& font = style.font;
    const std::uint32_t c = style.colorBgr;
    char color[8];
    std::snprintf(color, sizeof color, "#%02X%02X%02X", c & 0xFF, (c >> 8) & 0xFF,
                  (c >> 16) & 0xFF);
    const double points = std::clamp(font.points > 0 ? font.points : 9.6, 1.0, 1000.0);
    const int weight = std::clamp(font.weight > 0 ? font.weight : 400, 100, 1000);
    // A caption that names no face is drawn in the default caption face,
    // which fontconfig maps to its metric twin or the nearest installed face.
    std::string markup =
        "<span font_family=\"" + escapeMarkup(font.face.empty() ? CaptionFont().face : font.face) +
        "\" size=\"" + std::to_string(std::lround(points * 1024)) + "\" weight=\"" +
        std::to_string(weight) + "\" style=\"" + (font.italic ? "italic" : "normal") +
        "\" underline=\"" + (font.underline ? "single" : "none") + "\" strikethrough=\"" +
        (font.strikeOut ? "true" : "false") + "\" foreground=\"" + color + "\" lang=\"" +
        languageOf(font.charset) + "\">";
    return markup + escapeMarkup(withUnixNewlines(text)) + "</span>";
}

namespace {

// Called with textMutex held.
GObjectPtr<PangoLayout> layoutOf(const std::string& text, const TextStyle& style) {
    static PangoFontMap* const fontMap = pango_cairo_font_map_new();
    const GObjectPtr<PangoContext> context(pango_font_map_create_context(fontMap));
    // Points are rendered at 96 dots per inch, as on the screen the sizes were
    // chosen on.
    pango_cairo_context_set_resolution(context.get(), 96);
    GObjectPtr<PangoLayout> layout(pango_layout_new(context.get()));
    pango_layout_set_markup(layout.get(), textMarkup(text, style).c_str(), -1);
    return layout;
}

}  // namespace

InkBox textInk(const std::string& text, const TextStyle& style) {
    if (isBlank(text)) return {};
    std::lock_guard lock(textMutex);
    const GObjectPtr<PangoLayout> layout = layoutOf(text, style);
    PangoRectangle ink{};
    pango_layout_get_pixel_extents(layout.get(), &ink, nullptr);
    return {ink.x, ink.y, ink.width, ink.height};
}

Bitmap drawText(const Bitmap& base, int x, int y, const std::string& text, const TextStyle& style) {
    if (isBlank(text)) return base;
    // Only the part of the ink that falls on the picture is rendered: a long
    // text at a large size would otherwise need a surface of billions of
    // pixels, whatever the picture's size.
    std::lock_guard lock(textMutex);
    const GObjectPtr<PangoLayout> layout = layoutOf(text, style);
    PangoRectangle ink{};
    pango_layout_get_pixel_extents(layout.get(), &ink, nullptr);

    const long long inkLeft = static_cast<long long>(x) + ink.x;
    const long long inkTop = static_cast<long long>(y) + ink.y;
    const auto left = static_cast<int>(std::max(inkLeft, 0LL));
    const auto top = static_cast<int>(std::max(inkTop, 0LL));
    const auto right = static_cast<int>(std::min<long long>(inkLeft + ink.width, base.width()));
    const auto bottom = static_cast<int>(std::min<long long>(inkTop + ink.height, base.height()));
    if (right <= left || bottom <= top) return base;
    const int width = right - left;
    const int height = bottom - top;

    using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height),
                    &cairo_surface_destroy);
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        throw ImagingError(cairo_status_to_string(cairo_surface_status(surface.get())));
    {
        std::unique_ptr<cairo_t, decltype(&cairo_destroy)> cr(cairo_create(surface.get()),
                                                              &cairo_destroy);
        cairo_translate(cr.get(), static_cast<double>(x) - left, static_cast<double>(y) - top);
        pango_cairo_show_layout(cr.get(), layout.get());
    }
    cairo_surface_flush(surface.get());

    // Cairo's premultiplied native-endian ARGB to straight RGBA.
    const unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    std::vector<unsigned char> rgba(static_cast<std::size_t>(width) * height * 4);
    for (int row = 0; row < height; ++row) {
        const auto* in = reinterpret_cast<const std::uint32_t*>(data + std::size_t(row) * stride);
        unsigned char* out = rgba.data() + std::size_t(row) * width * 4;
        for (int column = 0; column < width; ++column, out += 4) {
            const std::uint32_t pixel = in[column];
            const unsigned alpha = pixel >> 24;
            if (alpha == 0) continue;
            for (int band = 0; band < 3; ++band) {
                const unsigned value = (pixel >> (16 - 8 * band)) & 0xFF;
                out[band] =
                    static_cast<unsigned char>(std::min(255u, (value * 255 + alpha / 2) / alpha));
            }
            out[3] = static_cast<unsigned char>(alpha);
        }
    }
    Bitmap rendered = imageFromPixels(rgba.data(), width, height, 4, VIPS_INTERPRETATION_sRGB);
    if (!style.transparent) {
        rendered = whiteCanvas(width, height)
                       .composite2(rendered, VIPS_BLEND_MODE_OVER)
                       .extract_band(0, VImage::option()->set("n", 3))
                       .cast(VIPS_FORMAT_UCHAR);
    }
    return drawPicture(base, rendered, left, top, false);
}

}  // namespace varnetto::detail
