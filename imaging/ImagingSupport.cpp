#include "imaging/ImagingDetail.h"

#include "common/Reporter.h"

#include <algorithm>
#include <vector>

namespace varnetto::detail {

std::string takeVipsError(const vips::VError& error) {
    std::string text = error.what();
    vips_error_clear();
    // What libvips' threads said while working for no image (a saver's
    // writing thread) is most likely this failure's; taken either way, so
    // that it does not pile up.
    const std::string unattributed = takeUnattributedErrors();
    if (text.empty()) text = unattributed;
    std::string joined;
    for (const std::string& line : distinctLines(text))
        joined += (joined.empty() ? "" : " ") + line;
    return joined.empty() ? "unknown libvips error" : joined;
}

std::vector<std::string> distinctLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string line(text.substr(start, end - start));
        start = end + 1;
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
        if (!line.empty() && std::find(lines.begin(), lines.end(), line) == lines.end())
            lines.push_back(std::move(line));
    }
    return lines;
}

Bitmap decodedInMemory(const Bitmap& image) {
    Bitmap memory = image.copy_memory();
    if (memory.get_typeof(VIPS_META_SEQUENTIAL) == 0) return memory;
    Bitmap unmarked = memory.copy();
    unmarked.remove(VIPS_META_SEQUENTIAL);
    return unmarked;
}

Bitmap withColorType(const Bitmap& image, ColorType type) {
    Bitmap tagged = image.copy();
    tagged.set(kColorTypeField, static_cast<int>(type));
    return tagged;
}

Bitmap withoutColorType(const Bitmap& image) {
    if (image.get_typeof(kColorTypeField) == 0) return image;
    Bitmap plain = image.copy();
    plain.remove(kColorTypeField);
    return plain;
}

bool isGrayType(ColorType type) {
    return type == ColorType::Gray256 || type == ColorType::Gray16 || type == ColorType::Mono8 ||
           type == ColorType::BlackWhite;
}

ColorType colorTypeOf(const Bitmap& image) {
    const bool grayBands = image.bands() <= 2;
    if (image.get_typeof(kColorTypeField) != 0) {
        const auto type = static_cast<ColorType>(image.get_int(kColorTypeField));
        // The tag is trusted only while the bands still agree with it (drawing
        // colour onto a grey image widens it to RGB).
        if (isKnownColorType(type) && isGrayType(type) == grayBands) return type;
    }
    return grayBands ? ColorType::Gray256 : ColorType::TrueColor24;
}

bool hasAlpha(const Bitmap& image) {
    return image.bands() == 2 || image.bands() == 4;
}

bool isDeep(const Bitmap& image) {
    return image.format() == VIPS_FORMAT_USHORT;
}

double fullScaleOf(const Bitmap& image) {
    return isDeep(image) ? 65535.0 : 255.0;
}

namespace {

// libvips scales alpha and converts colours by the interpretation.
Bitmap labelledDeep(const Bitmap& image) {
    const VipsInterpretation label =
        image.bands() <= 2 ? VIPS_INTERPRETATION_GREY16 : VIPS_INTERPRETATION_RGB16;
    if (image.interpretation() == label) return image;
    return image.copy(vips::VImage::option()->set("interpretation", label));
}

// 257 maps 255 to 65535, and the high byte of v * 257 is v again.
constexpr double kEightToSixteen = 257.0;

}  // namespace

Bitmap toEightBits(const Bitmap& image) {
    if (!isDeep(image)) return image;
    return labelledDeep(image).colourspace(image.bands() <= 2 ? VIPS_INTERPRETATION_B_W
                                                              : VIPS_INTERPRETATION_sRGB);
}

Bitmap atDepthOf(const Bitmap& image, const Bitmap& like) {
    if (isDeep(image) == isDeep(like)) return image;
    if (!isDeep(like)) return toEightBits(image);
    return labelledDeep((image.cast(VIPS_FORMAT_UCHAR) * kEightToSixteen).cast(VIPS_FORMAT_USHORT));
}

Bitmap toRgbAtDepth(const Bitmap& image) {
    if (!isDeep(image)) return toRgb(image);
    Bitmap out = image;
    if (out.bands() <= 2) {
        const Bitmap gray = out.extract_band(0);
        out = vips::VImage::bandjoin({gray, gray, gray});
        if (hasAlpha(image)) out = out.bandjoin(image.extract_band(1));
    } else if (out.bands() > 4) {
        out = out.extract_band(0, vips::VImage::option()->set("n", 4));
    }
    return labelledDeep(out);
}

Bitmap toRgb(const Bitmap& image) {
    Bitmap out = image;
    if (out.format() != VIPS_FORMAT_UCHAR) {
        if (out.interpretation() == VIPS_INTERPRETATION_RGB16 ||
            out.interpretation() == VIPS_INTERPRETATION_GREY16)
            out = out.colourspace(out.bands() <= 2 ? VIPS_INTERPRETATION_B_W
                                                   : VIPS_INTERPRETATION_sRGB);
        else
            out = out.cast(VIPS_FORMAT_UCHAR);
    }
    if (out.bands() <= 2) {
        Bitmap gray = out.extract_band(0);
        out = vips::VImage::bandjoin({gray, gray, gray});
        if (hasAlpha(image)) out = out.bandjoin(image.extract_band(1).cast(VIPS_FORMAT_UCHAR));
    } else if (out.bands() > 4) {
        out = out.extract_band(0, vips::VImage::option()->set("n", 4));
    }
    if (out.interpretation() != VIPS_INTERPRETATION_sRGB)
        out = out.copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    return out;
}

Bitmap toOpaqueRgb(const Bitmap& image) {
    Bitmap rgb = toRgb(image);
    if (rgb.bands() == 4)
        rgb = rgb.flatten(vips::VImage::option()->set("background", std::vector<double>{255}))
                  .cast(VIPS_FORMAT_UCHAR);
    return rgb;
}

Bitmap toGray(const Bitmap& image) {
    if (image.bands() == 1 && image.format() == VIPS_FORMAT_UCHAR) return image;
    if (isDeep(image)) return toGray(toEightBits(image));
    return toOpaqueRgb(image).colourspace(VIPS_INTERPRETATION_B_W).cast(VIPS_FORMAT_UCHAR);
}

Bitmap whiteCanvas(int width, int height) {
    return (vips::VImage::black(width, height, vips::VImage::option()->set("bands", 3)) + 255)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

Bitmap imageFromPixels(const unsigned char* pixels, int width, int height, int bands,
                       VipsInterpretation interpretation) {
    const std::size_t size = static_cast<std::size_t>(width) * height * bands;
    VipsImage* raw =
        vips_image_new_from_memory_copy(pixels, size, width, height, bands, VIPS_FORMAT_UCHAR);
    if (!raw) throw vips::VError();
    return Bitmap(raw, vips::STEAL)
        .copy(vips::VImage::option()->set("interpretation", interpretation));
}

void checkPixelCount(std::int64_t width, std::int64_t height, std::int64_t limit,
                     const std::string& name) {
    const std::string what = name.empty() ? std::string("图像") : "图像 " + name + " ";
    const auto w = static_cast<long long>(width);
    const auto h = static_cast<long long>(height);
    if (width <= 0 || height <= 0)
        throw ImagingError(formatMessage("%s的尺寸无效：%lld X %lld。", what.c_str(), w, h));
    if (width > limit || height > limit || width * height > limit)
        throw ImagingError(formatMessage("%s太大：%lld X %lld 像素，超过 %lld 像素的上限。",
                                         what.c_str(), w, h, static_cast<long long>(limit)));
}

}  // namespace varnetto::detail
