#include "imaging/ImagingDetail.h"

#include "common/PendingFile.h"
#include "common/Reporter.h"

#include <Magick++.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace varnetto::detail {

namespace {

using vips::VImage;

std::string lowerExtension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

// Two levels only: a picture that already is black and white keeps its
// pixels, anything else is dithered.
Bitmap toBilevel(const Bitmap& image) {
    const ColorType type = colorTypeOf(image);
    if (type == ColorType::BlackWhite || type == ColorType::Mono8)
        return (toGray(image) >= 128).cast(VIPS_FORMAT_UCHAR);
    return ditherBlackWhite(image);
}

// An ICC profile is written only when it describes the pixels saved: a grey
// file with an RGB profile (or the reverse) shows wrong colours elsewhere.
Bitmap withFittingProfile(const Bitmap& pixels) {
    const char* field = "icc-profile-data";
    if (pixels.get_typeof(field) == 0) return pixels;
    std::size_t length = 0;
    const auto* profile = static_cast<const char*>(pixels.get_blob(field, &length));
    const std::string space = length >= 20 ? std::string(profile + 16, 4) : std::string();
    const bool fits = pixels.bands() <= 2 ? space == "GRAY" : space == "RGB ";
    if (fits) return pixels;
    Bitmap stripped = pixels.copy();
    stripped.remove(field);
    return stripped;
}

Bitmap grayKeepingAlpha(const Bitmap& image) {
    if (image.bands() <= 2 && image.format() == VIPS_FORMAT_UCHAR) return image;
    return toGray(image);
}

void writeJpeg(const Bitmap& image, const std::string& path, int quality) {
    const ColorType type = colorTypeOf(image);
    const Bitmap pixels = isGrayType(type) ? toGray(image) : toOpaqueRgb(image);
    withFittingProfile(pixels).jpegsave(
        path.c_str(),
        VImage::option()->set("Q", std::clamp(quality, 1, 100))->set("optimize_coding", true));
}

void writePng(const Bitmap& image, const std::string& path) {
    auto options = VImage::option();
    Bitmap pixels;
    switch (colorTypeOf(image)) {
        case ColorType::Palette256:
        case ColorType::Palette16:
            pixels = toRgb(image);
            options->set("palette", true)
                ->set("bitdepth", colorTypeOf(image) == ColorType::Palette16 ? 4 : 8)
                ->set("dither", 0.0);
            break;
        case ColorType::Gray16:
            pixels = toGray(image), options->set("bitdepth", 4);
            break;
        case ColorType::BlackWhite:
            pixels = toBilevel(image), options->set("bitdepth", 1);
            break;
        case ColorType::Gray256:
        case ColorType::Mono8:
            pixels = grayKeepingAlpha(image);
            break;
        default:
            pixels = toRgb(image);
    }
    withFittingProfile(pixels).pngsave(path.c_str(), options);
}

void writeGif(const Bitmap& image, const std::string& path) {
    const ColorType type = colorTypeOf(image);
    const int bits = type == ColorType::BlackWhite                                 ? 1
                     : (type == ColorType::Palette16 || type == ColorType::Gray16) ? 4
                                                                                   : 8;
    const Bitmap pixels = type == ColorType::BlackWhite ? toRgb(toBilevel(image)) : toRgb(image);
    pixels.gifsave(path.c_str(), VImage::option()->set("bitdepth", bits));
}

// Palette and grey pictures are exact in WebP only when stored losslessly.
void writeWebp(const Bitmap& image, const std::string& path, int quality) {
    const ColorType type = colorTypeOf(image);
    const bool lossless =
        isGrayType(type) || type == ColorType::Palette256 || type == ColorType::Palette16;
    const Bitmap pixels = type == ColorType::BlackWhite ? toRgb(toBilevel(image)) : toRgb(image);
    withFittingProfile(pixels).webpsave(
        path.c_str(),
        VImage::option()->set("Q", std::clamp(quality, 1, 100))->set("lossless", lossless));
}

// AVIF is AV1 in a HEIF file; HEIC and HEIF keep HEVC. libaom's lowest
// effort is many times faster than its default and hardly larger.
void writeHeif(const Bitmap& image, const std::string& path, int quality, bool av1) {
    auto options = VImage::option()
                       ->set("Q", std::clamp(quality, 1, 100))
                       ->set("bitdepth", 8)
                       ->set("compression", av1 ? VIPS_FOREIGN_HEIF_COMPRESSION_AV1
                                                : VIPS_FOREIGN_HEIF_COMPRESSION_HEVC);
    if (av1) options->set("effort", 0);
    withFittingProfile(toRgb(image)).heifsave(path.c_str(), options);
}

void writeJxl(const Bitmap& image, const std::string& path, int quality) {
    withFittingProfile(toRgb(image))
        .jxlsave(path.c_str(), VImage::option()->set("Q", std::clamp(quality, 1, 100)));
}

VipsForeignTiffCompression tiffCodeOf(TiffCompression compression) {
    switch (compression) {
        case TiffCompression::PackBits:
            return VIPS_FOREIGN_TIFF_COMPRESSION_PACKBITS;
        case TiffCompression::Group4:
            return VIPS_FOREIGN_TIFF_COMPRESSION_CCITTFAX4;
        default:
            return VIPS_FOREIGN_TIFF_COMPRESSION_NONE;
    }
}

void writeTiff(const Bitmap& image, const std::string& path, TiffCompression compression) {
    auto options = VImage::option();
    const ColorType type = colorTypeOf(image);
    Bitmap pixels;
    if (compression == TiffCompression::Group4 || type == ColorType::BlackWhite) {
        // Group 4 only encodes one bit a pixel.
        pixels = toBilevel(image);
        options->set("bitdepth", 1);
    } else if (type == ColorType::Gray16) {
        pixels = toGray(image);
        options->set("bitdepth", 4);
    } else if (isGrayType(type)) {
        pixels = grayKeepingAlpha(image);
    } else {
        pixels = toRgb(image);
    }
    options->set("compression", tiffCodeOf(compression));
    withFittingProfile(pixels).tiffsave(path.c_str(), options);
}

}  // namespace

void encodePicture(const Bitmap& image, const std::string& path, const EncoderSettings& settings) {
    const std::string ext = lowerExtension(path);
    auto failed = [&path](const std::string& reason) {
        return ImagingError(formatMessage("无法保存图像 %s：%s", path.c_str(), reason.c_str()));
    };
    try {
        PendingFile pending(path);
        const std::string temp = pending.tempPath().string();
        if (ext == ".jpg" || ext == ".jpeg" || ext == ".jpe")
            writeJpeg(image, temp, settings.jpegQuality);
        else if (ext == ".png")
            writePng(image, temp);
        else if (ext == ".gif")
            writeGif(image, temp);
        else if (ext == ".tif" || ext == ".tiff")
            writeTiff(image, temp, settings.tiffCompression);
        else if (ext == ".bmp")
            writeWithMagick(image, "BMP", temp);
        else if (ext == ".pcx")
            writeWithMagick(image, "PCX", temp);
        else if (ext == ".psd")
            writeWithMagick(image, "PSD", temp);
        else if (ext == ".wbmp" || ext == ".wbm")
            writeWithMagick(toBilevel(image), "WBMP", temp);
        else if (ext == ".pdf")
            writePdf(image, temp, settings.jpegQuality);
        else if (ext == ".webp")
            writeWebp(image, temp, settings.jpegQuality);
        else if (ext == ".avif")
            writeHeif(image, temp, settings.jpegQuality, true);
        else if (ext == ".heic" || ext == ".heif")
            writeHeif(image, temp, settings.jpegQuality, false);
        else if (ext == ".jxl")
            writeJxl(image, temp, settings.jpegQuality);
        else
            throw ImagingError(ext.empty() ? "文件名没有扩展名" : "不支持的文件格式 " + ext);
        pending.commit();
    } catch (const vips::VError& error) {
        throw failed(takeVipsError(error));
    } catch (const ImagingError& error) {
        throw failed(error.what());
    } catch (const Magick::Exception& error) {
        throw failed(error.what());
    } catch (const std::system_error& error) {
        throw failed(error.what());
    }
}

}  // namespace varnetto::detail
