#include "imaging/FormatCodecs.h"
#include "imaging/MemoryFile.h"

#include "common/PendingFile.h"
#include "common/Reporter.h"
#include "imaging/PlacedSaving.h"

#include <Magick++.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
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

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) return;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// Why the file system refuses to write the file open at descriptor, or empty
// when it would write: asked after an encoder failed, it tells a full disk
// ("No space left on device"), a quota or a read-only medium from a failure
// of the encoder.
std::string fileSystemRefusal(int descriptor) {
    if (descriptor < 0) return {};
    struct stat info {};
    int refusal = ::fstat(descriptor, &info) == 0
                      ? ::posix_fallocate(descriptor, info.st_size, 64 * 1024)
                      : errno;
    // A file system that cannot reserve room says nothing about having it.
    if (refusal == EOPNOTSUPP || refusal == EINVAL || refusal == ENODEV) refusal = 0;
    return refusal == 0 ? std::string() : std::strerror(refusal);
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

// 16 bits stay for the savers that write them.
Bitmap grayKeepingAlpha(const Bitmap& image) {
    if (image.bands() <= 2 && (image.format() == VIPS_FORMAT_UCHAR || isDeep(image))) return image;
    return toGray(image);
}

// Every libvips saver of the table has a target variant in 8.14; the target
// writes through its own duplicate of the descriptor.
vips::VTarget targetOf(int descriptor) {
    return vips::VTarget::new_to_descriptor(descriptor);
}

int qualityOf(const EncoderSettings& settings) {
    return std::clamp(settings.jpegQuality, 1, 100);
}

// AVIF is AV1 in a HEIF file; HEIC and HEIF keep HEVC. libaom's lowest
// effort is many times faster than its default and hardly larger.
void writeHeif(const Bitmap& image, int descriptor, int quality, bool av1) {
    auto options = VImage::option()
                       ->set("Q", std::clamp(quality, 1, 100))
                       ->set("bitdepth", 8)
                       ->set("compression", av1 ? VIPS_FOREIGN_HEIF_COMPRESSION_AV1
                                                : VIPS_FOREIGN_HEIF_COMPRESSION_HEVC);
    if (av1) options->set("effort", 0);
    withFittingProfile(toRgb(image)).heifsave_target(targetOf(descriptor), options);
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

}  // namespace

void writeJpeg(const Bitmap& image, int descriptor, const EncoderSettings& settings) {
    const ColorType type = colorTypeOf(image);
    const Bitmap pixels = isGrayType(type) ? toGray(image) : toOpaqueRgb(image);
    withFittingProfile(pixels).jpegsave_target(
        targetOf(descriptor),
        VImage::option()->set("Q", qualityOf(settings))->set("optimize_coding", true));
}

void writePng(const Bitmap& image, int descriptor, const EncoderSettings&) {
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
            pixels = toRgbAtDepth(image);
    }
    withFittingProfile(pixels).pngsave_target(targetOf(descriptor), options);
}

void writeGif(const Bitmap& image, int descriptor, const EncoderSettings&) {
    const ColorType type = colorTypeOf(image);
    const int bits = type == ColorType::BlackWhite                                 ? 1
                     : (type == ColorType::Palette16 || type == ColorType::Gray16) ? 4
                                                                                   : 8;
    const Bitmap pixels = type == ColorType::BlackWhite ? toRgb(toBilevel(image)) : toRgb(image);
    pixels.gifsave_target(targetOf(descriptor), VImage::option()->set("bitdepth", bits));
}

// Palette and grey pictures are exact in WebP only when stored losslessly.
void writeWebp(const Bitmap& image, int descriptor, const EncoderSettings& settings) {
    const ColorType type = colorTypeOf(image);
    const bool lossless =
        isGrayType(type) || type == ColorType::Palette256 || type == ColorType::Palette16;
    const Bitmap pixels = type == ColorType::BlackWhite ? toRgb(toBilevel(image)) : toRgb(image);
    withFittingProfile(pixels).webpsave_target(
        targetOf(descriptor),
        VImage::option()->set("Q", qualityOf(settings))->set("lossless", lossless));
}

void writeHeic(const Bitmap& image, int descriptor, const EncoderSettings& settings) {
    writeHeif(image, descriptor, settings.jpegQuality, false);
}

void writeAvif(const Bitmap& image, int descriptor, const EncoderSettings& settings) {
    writeHeif(image, descriptor, settings.jpegQuality, true);
}

void writeJxl(const Bitmap& image, int descriptor, const EncoderSettings& settings) {
    withFittingProfile(toRgbAtDepth(image))
        .jxlsave_target(targetOf(descriptor), VImage::option()->set("Q", qualityOf(settings)));
}

void writeWbmp(const Bitmap& image, int descriptor, const EncoderSettings&) {
    writeWithMagick(toBilevel(image), "WBMP", descriptor);
}

void writeTiff(const Bitmap& image, int descriptor, const EncoderSettings& settings) {
    const TiffCompression compression = settings.tiffCompression;
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
        pixels = toRgbAtDepth(image);
    }
    options->set("compression", tiffCodeOf(compression));
    withFittingProfile(pixels).tiffsave_target(targetOf(descriptor), options);
}

namespace {

// Beyond this many files of one name a folder is taken to be full of them.
constexpr int kMostNumberedNames = 10000;

void setModified(int descriptor, long long nanoseconds) {
    constexpr long long kPerSecond = 1'000'000'000LL;
    const timespec time{static_cast<time_t>(nanoseconds / kPerSecond),
                        static_cast<long>(nanoseconds % kPerSecond)};
    const timespec times[2] = {{0, UTIME_OMIT}, time};
    if (::futimens(descriptor, times) != 0) throw std::system_error(errno, std::generic_category());
}

// Takes the first free name of path, numbered(path, 2)...; never replaces.
std::string commitNumbered(PendingFile& pending, const std::string& path,
                           const SaveOptions& options) {
    for (int n = 1; n <= kMostNumberedNames; ++n) {
        const std::string name = n == 1 ? path : options.numbered(path, n);
        if (pending.commitUnlessExists(name)) return name;
    }
    throw std::system_error(EEXIST, std::generic_category());
}

// The highest quality from settings' down to the lowest allowed whose file
// fits, by bisection within the allowed encodes; when none fits, the lowest.
// The chosen encode is written to descriptor.
SaveReport encodeWithinLimit(const Bitmap& ready, const FormatCodec& codec, int descriptor,
                             const EncoderSettings& settings) {
    SaveReport report;
    report.limited = true;
    // Encoded several times: its pixels are computed once.
    const Bitmap pixels = ready.copy_memory();
    const int top = std::clamp(settings.jpegQuality, 1, 100);
    const int lowest = std::min(top, kLowestLimitedQuality);
    std::unique_ptr<MemoryFile> best;
    int bestQuality = 0;
    auto encodeAt = [&](int quality) {
        auto file = std::make_unique<MemoryFile>();
        EncoderSettings at = settings;
        at.jpegQuality = quality;
        codec.save(pixels, file->descriptor(), at);
        ++report.encodes;
        return file;
    };
    auto take = [&](std::unique_ptr<MemoryFile> file, int quality) {
        best = std::move(file);
        bestQuality = quality;
    };
    std::unique_ptr<MemoryFile> first = encodeAt(top);
    if (first->size() <= settings.sizeLimit) {
        take(std::move(first), top);
    } else {
        // lo is the highest quality known or assumed to fit, hi the lowest
        // known not to; one encode stays for the lowest quality while no
        // quality has fitted yet.
        int lo = lowest;
        int hi = top;
        while (hi - lo > 1 && report.encodes < kMostLimitedEncodes - (best ? 0 : 1)) {
            const int mid = (lo + hi) / 2;
            std::unique_ptr<MemoryFile> file = encodeAt(mid);
            if (file->size() <= settings.sizeLimit) {
                take(std::move(file), mid);
                lo = mid;
            } else {
                hi = mid;
            }
        }
        if (!best) {
            std::unique_ptr<MemoryFile> file = hi == lowest ? std::move(first) : encodeAt(lowest);
            report.fits = file->size() <= settings.sizeLimit;
            take(std::move(file), lowest);
        }
    }
    report.quality = bestQuality;
    report.bytes = best->size();
    best->copyTo(descriptor);
    return report;
}

}  // namespace

SaveReport measureEncoding(const Bitmap& image, const std::string& extension,
                           const EncoderSettings& settings) {
    const ErrorScope scope;
    const ImageFormat* format = formatForSuffix(extension);
    if (!format || format->saver == Codec::None)
        throw ImagingError("不支持的文件格式 " + extension);
    try {
        const Bitmap ready = preparedForFormat(attributed(image, {}), *format, settings);
        MemoryFile file;
        SaveReport report;
        if (settings.sizeLimit > 0 && format->sizeByQuality) {
            report = encodeWithinLimit(ready, codecOf(format->kind), file.descriptor(), settings);
        } else {
            codecOf(format->kind).save(ready, file.descriptor(), settings);
            report.quality = format->sizeByQuality ? std::clamp(settings.jpegQuality, 1, 100) : 0;
        }
        report.bytes = file.size();
        settleWarnings();
        return report;
    } catch (const vips::VError& error) {
        throw ImagingError(takeVipsError(error));
    } catch (const std::system_error& error) {
        throw ImagingError(error.code().message());
    }
}

namespace {

// encodePicture under options; the report names the file written.
SaveReport encodePlaced(const Bitmap& image, const std::string& path,
                        const EncoderSettings& settings, const SaveOptions& options) {
    const ErrorScope scope;
    const std::string ext = lowerExtension(path);
    std::optional<PendingFile> pending;
    // Encoders and libraries name the temporary file and give reasons of their
    // own ("unable to write file", "Unknown error -1"); the user is told the
    // file they asked for and, when the file system refused, its reason.
    auto failed = [&](std::string reason) {
        if (pending) {
            if (std::string refused = fileSystemRefusal(pending->descriptor()); !refused.empty())
                reason = std::move(refused);
            replaceAll(reason, pending->tempPath().string(), path);
            // A folder that turned read-only keeps the temporary file: the
            // user is told where it is.
            if (const std::string kept = pending->discard(); !kept.empty())
                reason += formatMessage("；临时文件 %s 无法删除：%s", pending->tempPath().c_str(),
                                        kept.c_str());
        }
        return ImagingError(formatMessage("无法保存图像 %s：%s", path.c_str(), reason.c_str()));
    };
    try {
        const ImageFormat* format = ext.empty() ? nullptr : formatForSuffix(ext.substr(1));
        if (!format || format->saver == Codec::None)
            throw ImagingError(ext.empty() ? "文件名没有扩展名" : "不支持的文件格式 " + ext);
        // Pixels still to be computed are computed for this image's log,
        // whichever thread libvips uses.
        const Bitmap pixels = attributed(image, {});
        pending.emplace(path);
        const Bitmap ready = preparedForFormat(pixels, *format, settings);
        SaveReport report;
        if (settings.sizeLimit > 0 && format->sizeByQuality) {
            report =
                encodeWithinLimit(ready, codecOf(format->kind), pending->descriptor(), settings);
        } else {
            codecOf(format->kind).save(ready, pending->descriptor(), settings);
        }
        if (report.bytes == 0) {
            struct stat info {};
            if (::fstat(pending->descriptor(), &info) == 0) report.bytes = info.st_size;
        }
        if (options.modified) setModified(pending->descriptor(), *options.modified);
        report.path = path;
        if (options.numbered)
            report.path = commitNumbered(*pending, path, options);
        else
            pending->commit();
        settleWarnings();
        return report;
    } catch (const vips::VError& error) {
        const std::string reason = takeVipsError(error);
        // A picture decoded while it is written (a streamed JPEG) that turns
        // out broken is a source that cannot be read, not a failed save.
        if (const std::string source = takeFailedSource(); !source.empty())
            throw ImagingError(
                formatMessage("无法读取图像 %s：%s", source.c_str(), reason.c_str()));
        throw failed(reason);
    } catch (const ImagingError& error) {
        throw failed(error.what());
    } catch (const Magick::Exception& error) {
        throw failed(error.what());
    } catch (const std::system_error& error) {
        throw failed(error.code().message());
    }
}

}  // namespace

SaveReport encodePicture(const Bitmap& image, const std::string& path,
                         const EncoderSettings& settings) {
    return encodePlaced(image, path, settings, {});
}

}  // namespace varnetto::detail

namespace varnetto {

SaveReport saveToFile(const CImageBox& control, const std::string& path,
                      const SaveOptions& options) {
    if (!control.HasImage()) throw ImagingError("保存图像：没有图像");
    return detail::encodePlaced(
        control.GetBitmap(), path,
        {control.JpegQuality(), control.TiffCompression(), control.FileSizeLimit()}, options);
}

}  // namespace varnetto
