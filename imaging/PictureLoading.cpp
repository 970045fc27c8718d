#include "imaging/FormatCodecs.h"
#include "imaging/ImagingDetail.h"
#include "imaging/OutputFidelity.h"
#include "imaging/RawPictures.h"
#include "imaging/ReducedDecode.h"

#include "common/Reporter.h"

#include <algorithm>
#include <cmath>

namespace varnetto {

namespace detail {

namespace {

[[noreturn]] void decodeFailed(const std::string& path, const std::string& reason) {
    throw ImagingError(formatMessage("无法读取图像 %s：%s", path.c_str(), reason.c_str()));
}

// A 16-bit picture keeps its range: RGB16 or GREY16 in the storage the
// colour type implies.
Bitmap deepNormalised(const Bitmap& image, ColorType& type) {
    if (image.bands() <= 2) {
        if (!isGrayType(type)) type = ColorType::Gray256;
        return image.copy(
            vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_GREY16));
    }
    if (isGrayType(type)) return image.colourspace(VIPS_INTERPRETATION_GREY16);
    return toRgbAtDepth(image);
}

// sRGB or grey, alpha kept, in the storage the colour type implies: 16-bit
// sRGB pictures with 16 bits a sample, all others with 8.
Bitmap normalise(const Bitmap& decoded, ColorType& type) {
    // CMYK goes through its own profile, or a standard press profile.
    Bitmap image =
        decoded.interpretation() == VIPS_INTERPRETATION_CMYK ? inSrgb(decoded, false) : decoded;
    const VipsInterpretation interpretation = image.interpretation();
    if (image.format() == VIPS_FORMAT_USHORT && (interpretation == VIPS_INTERPRETATION_RGB16 ||
                                                 interpretation == VIPS_INTERPRETATION_GREY16))
        return deepNormalised(image, type);
    const bool plain = interpretation == VIPS_INTERPRETATION_sRGB ||
                       interpretation == VIPS_INTERPRETATION_B_W ||
                       interpretation == VIPS_INTERPRETATION_MULTIBAND;
    if (!plain || image.format() != VIPS_FORMAT_UCHAR) {
        const bool gray = image.bands() <= 2 || interpretation == VIPS_INTERPRETATION_GREY16;
        image = image.colourspace(gray ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB);
        if (image.format() != VIPS_FORMAT_UCHAR) image = image.cast(VIPS_FORMAT_UCHAR);
    }
    if (image.bands() <= 2) {
        if (!isGrayType(type)) type = ColorType::Gray256;
        return image.copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W));
    }
    if (isGrayType(type)) {
        Bitmap gray = image.colourspace(VIPS_INTERPRETATION_B_W);
        return gray.format() == VIPS_FORMAT_UCHAR ? gray : gray.cast(VIPS_FORMAT_UCHAR);
    }
    return toRgb(image);
}

// An alpha channel that hides nothing (GIF loads always carry one) only
// costs space and would force transparency into every output.
Bitmap withoutOpaqueAlpha(const Bitmap& image) {
    if (!hasAlpha(image) || image.extract_band(image.bands() - 1).min() < fullScaleOf(image))
        return image;
    return image.extract_band(0, vips::VImage::option()->set("n", image.bands() - 1));
}

// A RAW picture at no less than width x height: the camera's embedded preview
// when it is that large, else every 2 x 2 block of the mosaic as one pixel,
// else the whole decode.
Bitmap rawAtLeast(const std::string& path, const PictureHeader& header, int width, int height) {
    if (auto preview = rawPreview(path, width, height)) return *preview;
    const bool halfCovers = header.width / 2 >= width && header.height / 2 >= height;
    return decodeRaw(path, halfCovers ? RawDecode::Half : RawDecode::Full);
}

}  // namespace

Bitmap decodePicture(const std::string& path, std::int64_t pixelLimit, bool streaming) {
    const ErrorScope scope;
    // Opened once: the header and the pixels come from the same file, even
    // when the name meanwhile leads elsewhere.
    const RegularFile file(path);
    const PictureHeader header = readPictureHeader(file, path);
    checkPixelCount(header.width, header.height, pixelLimit, path);
    try {
        ColorType type = header.colorType;
        // Wherever libvips decodes the pixels, its errors and warnings belong
        // to this file.
        // LibRaw's reasons name the file here, not the descriptor.
        Bitmap loaded = formatOf(header.kind).loader == Codec::LibRaw
                            ? decodeRaw(path, RawDecode::Full, file.descriptor())
                            : attributed(codecOf(header.kind).load(file.descriptor()), path);
        // Turning the picture upright reads it out of order: only a decoded
        // picture can.
        const bool upright = orientationOf(loaded) == 1;
        if (streaming && formatOf(header.kind).inOrder.decodes && upright)
            return withColorType(normalise(loaded, type), type);
        if (!upright) loaded = decodedInMemory(loaded).autorot();
        // Decoding now names the right file when the data turns out broken,
        // and the result no longer depends on the file (which a batch may
        // replace with its own output).
        // A RAW decode already lies in memory, whole and upright: a copy would
        // cost a picture's worth of memory and time.
        const bool inMemory = formatOf(header.kind).loader == Codec::LibRaw;
        const Bitmap normalised = normalise(loaded, type);
        Bitmap decoded = withColorType(
            withoutOpaqueAlpha(inMemory ? normalised : decodedInMemory(normalised)), type);
        settleWarnings();
        return decoded;
    } catch (const vips::VError& error) {
        takeFailedSource();
        decodeFailed(path, takeVipsError(error));
    }
}

}  // namespace detail

Bitmap CImageBox::Thumbnail(const std::string& path, int width, int height, std::int64_t pixelLimit,
                            std::string* damage) {
    if (width < 1 || height < 1)
        throw ImagingError(formatMessage("缩略图尺寸无效：%d X %d。", width, height));
    const detail::ErrorScope scope;
    const RegularFile file(path);
    const detail::PictureHeader header = detail::readPictureHeader(file, path);
    detail::checkPixelCount(header.width, header.height, pixelLimit, path);
    auto options = [height] {
        return vips::VImage::option()->set("height", height)->set("size", VIPS_SIZE_DOWN);
    };
    // Read from a source, the name is never taken for load options.
    auto lenient = [&] {
        return vips::VImage::thumbnail_source(vips::VSource::new_from_descriptor(file.descriptor()),
                                              width, options());
    };
    // libvips 8.14's thumbnail takes no fail_on of its own from a source; the
    // loader's option string carries it.
    const bool canReadStrictly = damage != nullptr;
    auto strict = [&] {
        return vips::VImage::thumbnail_source(vips::VSource::new_from_descriptor(file.descriptor()),
                                              width,
                                              options()->set("option_string", "fail_on=truncated"));
    };
    // Thumbnails are only ever shown: in sRGB, and computed while the
    // loader's profile still lives.
    auto shown = [](const Bitmap& thumb) {
        return detail::attributed(detail::toRgb(inSrgb(thumb, false)), {}).copy_memory();
    };
    try {
        if (formatOf(header.kind).loader == Codec::LibRaw) {
            const double fit =
                std::min({1.0, double(width) / header.width, double(height) / header.height});
            const Bitmap picture =
                detail::rawAtLeast(path, header, static_cast<int>(std::ceil(header.width * fit)),
                                   static_cast<int>(std::ceil(header.height * fit)));
            return detail::attributed(detail::toRgb(picture.thumbnail_image(width, options())), {})
                .copy_memory();
        }
        if (formatOf(header.kind).loader != Codec::Libvips) {
            // Only libvips' own loaders shrink on load.
            const Bitmap thumb =
                detail::decodePicture(path, pixelLimit).thumbnail_image(width, options());
            return shown(thumb);
        }
        if (canReadStrictly) {
            // Data cut short is read again leniently, as far as it goes.
            try {
                return shown(strict());
            } catch (const vips::VError& error) {
                *damage = detail::takeVipsError(error);
            }
        }
        return shown(lenient());
    } catch (const vips::VError& error) {
        throw ImagingError(formatMessage("无法读取图像 %s：%s", path.c_str(),
                                         detail::takeVipsError(error).c_str()));
    }
}

namespace {

int reducedSide(int side, int reduction) {
    return (side + reduction - 1) / reduction;
}

}  // namespace

int reductionFor(int fullWidth, int fullHeight, int minWidth, int minHeight) {
    if (minWidth <= 0 && minHeight <= 0) return 1;
    int reduction = 1;
    while (reduction < kLargestReduction && reducedSide(fullWidth, reduction * 2) >= minWidth &&
           reducedSide(fullHeight, reduction * 2) >= minHeight)
        reduction *= 2;
    return reduction;
}

ReducedPicture decodeReduced(const std::string& path, int reduction, std::int64_t pixelLimit) {
    using namespace detail;
    if (reduction <= 1) {
        const Bitmap whole = decodePicture(path, pixelLimit);
        return {whole, whole.width(), whole.height(), 1};
    }
    const RegularFile file(path);
    const PictureHeader header = readPictureHeader(file, path);
    if (formatOf(header.kind).loader == Codec::LibRaw) {
        checkPixelCount(header.width, header.height, pixelLimit, path);
        const int width = reducedSide(static_cast<int>(header.width), reduction);
        const int height = reducedSide(static_cast<int>(header.height), reduction);
        const Bitmap reduced = guarded("缩小图像", [&] {
            ColorType type = ColorType::TrueColor24;
            const Bitmap picture = rawAtLeast(path, header, width, height);
            return decodedInMemory(withColorType(
                resampleTo(normalise(picture, type), width, height, true, ResampleFilter::Bilinear),
                type));
        });
        return {reduced, static_cast<int>(header.width), static_cast<int>(header.height),
                reduction};
    }
    if (header.kind != FileKind::Jpeg) {
        const Bitmap whole = decodePicture(path, pixelLimit);
        const Bitmap reduced = guarded("缩小图像", [&] {
            return decodedInMemory(withColorType(
                resampleTo(whole, reducedSide(whole.width(), reduction),
                           reducedSide(whole.height(), reduction), true, ResampleFilter::Bilinear),
                colorTypeOf(whole)));
        });
        return {reduced, whole.width(), whole.height(), reduction};
    }
    const ErrorScope scope;
    checkPixelCount(header.width, header.height, pixelLimit, path);
    try {
        ColorType type = header.colorType;
        Bitmap loaded = attributed(
            vips::VImage::jpegload_source(vips::VSource::new_from_descriptor(file.descriptor()),
                                          vips::VImage::option()
                                              ->set("shrink", reduction)
                                              ->set("fail_on", VIPS_FAIL_ON_TRUNCATED)
                                              ->set("access", VIPS_ACCESS_SEQUENTIAL)),
            path);
        const int orientation = orientationOf(loaded);
        if (orientation != 1) loaded = decodedInMemory(loaded).autorot();
        const Bitmap decoded =
            withColorType(withoutOpaqueAlpha(decodedInMemory(normalise(loaded, type))), type);
        settleWarnings();
        const bool turned = orientation >= 5;
        return {decoded, static_cast<int>(turned ? header.height : header.width),
                static_cast<int>(turned ? header.width : header.height), reduction};
    } catch (const vips::VError& error) {
        takeFailedSource();
        decodeFailed(path, takeVipsError(error));
    }
}

}  // namespace varnetto
