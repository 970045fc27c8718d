#include "imaging/FormatCodecs.h"

#include "common/PendingFile.h"

#include <Magick++.h>
#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string_view>
#include <system_error>
#include <vector>

namespace varnetto::detail {

namespace {

// Read as raw pixels rather than built by Magick::Image's pixel constructor:
// a size beyond ImageMagick's resource limits then throws with its reason
// instead of failing an assertion that ends the process.
Magick::Image toMagick(const Bitmap& image, bool gray) {
    const Bitmap pixels = gray ? toGray(image) : toRgb(image);
    const char* map = gray ? "GRAY" : (pixels.bands() == 4 ? "RGBA" : "RGB");
    std::size_t size = 0;
    void* data = pixels.write_to_memory(&size);
    if (!data) throw vips::VError();
    Magick::Blob blob;
    // g_malloc is malloc: the blob frees the pixels itself, without a copy.
    blob.updateNoCopy(data, size, Magick::Blob::MallocAllocator);
    Magick::Image out;
    out.quiet(true);
    out.read(blob, Magick::Geometry(pixels.width(), pixels.height()), 8, map);
    if (out.columns() != static_cast<std::size_t>(pixels.width()) ||
        out.rows() != static_cast<std::size_t>(pixels.height()))
        throw ImagingError("ImageMagick 未能接收图像像素");
    out.resolutionUnits(Magick::PixelsPerInchResolution);
    out.density(Magick::Geometry(static_cast<std::size_t>(std::lround(image.xres() * 25.4)),
                                 static_cast<std::size_t>(std::lround(image.yres() * 25.4))));
    return out;
}

void reduceToPalette(Magick::Image& out, ColorType type) {
    if (type == ColorType::Palette16 || type == ColorType::Gray16) {
        out.quantizeColors(16);
        out.quantizeDither(false);
        out.quantize();
    }
    // Fewer than 256 distinct colours become an exact colour map; more are
    // quantised to 256.
    out.type(type == ColorType::BlackWhite ? Magick::BilevelType : Magick::PaletteType);
}

// cairo hands the document over in pieces as it makes it.
struct PdfSink {
    int descriptor = -1;
    int error = 0;
};

cairo_status_t writeToSink(void* closure, const unsigned char* data, unsigned int length) {
    auto* sink = static_cast<PdfSink*>(closure);
    try {
        writeAll(sink->descriptor, {reinterpret_cast<const char*>(data), length});
    } catch (const std::system_error& error) {
        sink->error = error.code().value();
        return CAIRO_STATUS_WRITE_ERROR;
    }
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

void writeWithMagick(const Bitmap& image, const std::string& format, int descriptor) {
    const ColorType type = colorTypeOf(image);
    const bool gray = isGrayType(type) || format == "WBMP";
    Magick::Image out = toMagick(format == "PCX" ? toOpaqueRgb(image) : image, gray);
    if (format == "WBMP") {
        out.type(Magick::BilevelType);
    } else if (format == "PSD") {
        // Of these formats only PSD keeps a profile; the others get sRGB.
        if (!gray && image.get_typeof("icc-profile-data") != 0) {
            std::size_t length = 0;
            const void* profile = image.get_blob("icc-profile-data", &length);
            out.iccColorProfile(Magick::Blob(profile, length));
        }
        out.depth(8);
        out.type(gray ? Magick::GrayscaleType
                      : (hasAlpha(image) ? Magick::TrueColorMatteType : Magick::TrueColorType));
    } else if (type != ColorType::TrueColor24 && type != ColorType::NoColor) {
        reduceToPalette(out, type);
    } else {
        out.type(hasAlpha(image) && format == "BMP" ? Magick::TrueColorMatteType
                                                    : Magick::TrueColorType);
    }
    // ImageMagick's writers take a name or memory, never a descriptor.
    Magick::Blob encoded;
    out.write(&encoded, format);
    writeAll(descriptor, {static_cast<const char*>(encoded.data()), encoded.length()});
}

void writePdf(const Bitmap& image, int descriptor, const EncoderSettings& settings) {
    const int jpegQuality = settings.jpegQuality;
    const Bitmap rgb = toOpaqueRgb(image).copy_memory();
    const int width = rgb.width();
    const int height = rgb.height();
    if (width > 32767 || height > 32767)
        throw ImagingError("PDF 页面中的图像每边不能超过 32767 像素");
    // The page has the picture's size at its own resolution (96 dpi unless
    // the picture says otherwise).
    const double filedDpi = rgb.xres() * 25.4;
    const double dpi = filedDpi >= 50 && filedDpi <= 2400 ? filedDpi : 96.0;
    const double points = 72.0 / dpi;

    using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
    Surface picture(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height),
                    &cairo_surface_destroy);
    if (cairo_surface_status(picture.get()) != CAIRO_STATUS_SUCCESS)
        throw ImagingError(cairo_status_to_string(cairo_surface_status(picture.get())));
    cairo_surface_flush(picture.get());
    unsigned char* target = cairo_image_surface_get_data(picture.get());
    const int stride = cairo_image_surface_get_stride(picture.get());
    const auto* source = static_cast<const unsigned char*>(rgb.data());
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(target + static_cast<std::size_t>(y) * stride);
        const unsigned char* in = source + static_cast<std::size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x, in += 3)
            row[x] = (std::uint32_t{in[0]} << 16) | (std::uint32_t{in[1]} << 8) | in[2];
    }
    cairo_surface_mark_dirty(picture.get());
    // A photograph goes in as a JPEG (far smaller); reduced colours and black
    // and white stay lossless.
    const ColorType type = colorTypeOf(image);
    if (type == ColorType::TrueColor24 || type == ColorType::NoColor) {
        void* jpeg = nullptr;
        std::size_t length = 0;
        if (vips_jpegsave_buffer(rgb.get_image(), &jpeg, &length, "Q",
                                 std::clamp(jpegQuality, 1, 100), nullptr) != 0 ||
            !jpeg)
            throw vips::VError();
        if (cairo_surface_set_mime_data(picture.get(), CAIRO_MIME_TYPE_JPEG,
                                        static_cast<unsigned char*>(jpeg), length, &g_free,
                                        jpeg) != CAIRO_STATUS_SUCCESS) {
            g_free(jpeg);
            throw ImagingError("PDF 无法嵌入 JPEG 图像");
        }
    }

    PdfSink sink{descriptor};
    Surface pdf(
        cairo_pdf_surface_create_for_stream(&writeToSink, &sink, width * points, height * points),
        &cairo_surface_destroy);
    std::unique_ptr<cairo_t, decltype(&cairo_destroy)> cr(cairo_create(pdf.get()), &cairo_destroy);
    cairo_scale(cr.get(), points, points);
    cairo_set_source_surface(cr.get(), picture.get(), 0, 0);
    cairo_paint(cr.get());
    cairo_show_page(cr.get());
    const cairo_status_t drawn = cairo_status(cr.get());
    cr.reset();
    cairo_surface_finish(pdf.get());
    const cairo_status_t finished = cairo_surface_status(pdf.get());
    if (sink.error != 0) throw std::system_error(sink.error, std::generic_category());
    const cairo_status_t status = drawn != CAIRO_STATUS_SUCCESS ? drawn : finished;
    if (status != CAIRO_STATUS_SUCCESS) throw ImagingError(cairo_status_to_string(status));
}

}  // namespace varnetto::detail
