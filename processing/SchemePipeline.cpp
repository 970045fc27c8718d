#include "processing/SchemePipeline.h"

#include "common/ImageFormats.h"
#include "imaging/ImageDiagnostics.h"
#include "imaging/OutputFidelity.h"
#include "imaging/PlacedSaving.h"
#include "processing/BorderCompositing.h"
#include "processing/OutputNaming.h"
#include "schemes/ReservedSettings.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>

namespace varnetto {

namespace {

// Sizes are computed in floating point; anything below one pixel becomes one
// and nothing overflows an int.
int pixelCount(double value) {
    if (!(value >= 1.0)) return 1;  // also NaN
    if (value >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<int>(std::trunc(value));
}

// A stored position that is not a finite fraction would give a meaningless
// draw position; it counts as 0.
int positionOf(int extent, float fraction) {
    const float value = static_cast<float>(extent) * fraction;
    if (!std::isfinite(value)) return 0;
    const float limit = static_cast<float>(std::numeric_limits<int>::max() / 2);
    return static_cast<int>(std::trunc(std::clamp(value, -limit, limit)));
}

void checkLimit(const CImageBox& control, int width, int height) {
    if (static_cast<std::int64_t>(width) * height > control.PixelLimit())
        throw ImagingError(formatMessage("缩放到 %d × %d 像素被拒绝：超过 %lld 像素的上限。", width,
                                         height, static_cast<long long>(control.PixelLimit())));
}

void resizeChecked(CImageBox& control, int width, int height) {
    checkLimit(control, width, height);
    control.Resize(width, height);
}

// Every picture is written and resized with its own scheme's settings,
// whichever steps run and whatever the control did before: border pieces are
// resized too, and a file is written with or without a resize step.
void sendEncoderSettings(CImageBox& control, const Scheme& scheme) {
    const auto low16 = static_cast<std::uint16_t>(scheme.jpegQuality & 0xFFFF);
    // Encoders accept 1-100; anything else would silently become a default.
    control.SetJpegQuality(std::clamp<std::uint16_t>(low16, 1, 100));
    control.SetResampleOnResize(scheme.resampleEnabled != 0);
    control.SetResampleFilter(static_cast<ResampleFilter>(scheme.resampleFilter));
    control.SetTiffCompression(static_cast<TiffCompression>(scheme.tiffCompression));
    control.SetFileSizeLimit(fileSizeLimitOf(scheme));
}

// A percentage's sides before rounding; under one pixel the sides are
// rounded here, otherwise the control scales by the percentage itself.
std::pair<double, double> percentSides(int width, int height, double percent) {
    return {width * percent / 100.0, height * percent / 100.0};
}

bool belowOnePixel(const std::pair<double, double>& sides) {
    return sides.first < 1.0 || sides.second < 1.0;
}

void applyResize(CImageBox& control, const Scheme& scheme) {
    const int width = control.ImageWidth();
    const int height = control.ImageHeight();
    const auto [w, h] = resizedSize(scheme, width, height);
    if (static_cast<ResizeMode>(scheme.resizeMode) == ResizeMode::Percent) {
        const auto sides = percentSides(width, height, scheme.resizeValue);
        if (!belowOnePixel(sides)) {
            checkLimit(control, pixelCount(sides.first), pixelCount(sides.second));
            control.ScaleByPercent(static_cast<float>(scheme.resizeValue));
            return;
        }
    }
    if (w != width || h != height) resizeChecked(control, w, h);
}

void applyEnhancement(CImageBox& control, const Scheme& s) {
    if (!s.enhanceEnabled) return;
    if (s.brightnessEnabled)
        control.AdjustBrightness(s.brightnessValue, s.brightnessRed != 0, s.brightnessGreen != 0,
                                 s.brightnessBlue != 0);
    if (s.contrastEnabled)
        control.AdjustContrast(s.contrastValue, s.contrastRed != 0, s.contrastGreen != 0,
                               s.contrastBlue != 0);
    if (s.sharpenEnabled) control.Sharpen(s.sharpenValue);
    if (s.despeckleEnabled) control.Despeckle(s.despeckleValue);
    if (s.redEyeEnabled) control.RemoveRedEye();
    if (s.rotateEnabled) control.Rotate(s.rotateAngle);
    if (s.flipEnabled) control.Flip(static_cast<FlipDirection>(s.flipDirection));
}

// Font faces were limited to 254 wide characters plus a terminator.
std::string limitedFace(const std::string& face) {
    size_t units = 0;
    for (size_t i = 0; i < face.size(); ++i) {
        const auto c = static_cast<unsigned char>(face[i]);
        if ((c & 0xC0) == 0x80) continue;
        units += c >= 0xF0 ? 2 : 1;  // four-byte sequences are surrogate pairs
        if (units > 254) return face.substr(0, i);
    }
    return face;
}

// What of a box at (x, y) lies outside a width x height picture, as the
// warning names it; empty when it lies inside.
std::string overhang(long long x, long long y, long long boxWidth, long long boxHeight, int width,
                     int height) {
    std::string said;
    const auto side = [&said](const char* name, long long pixels) {
        if (pixels <= 0) return;
        said += (said.empty() ? "" : "、") + formatMessage("%s %lld 像素", name, pixels);
    };
    side("左边超出", -x);
    side("上边超出", -y);
    side("右边超出", x + boxWidth - width);
    side("下边超出", y + boxHeight - height);
    return said;
}

// The caption as a warning quotes it: its first line, shortened.
std::string quoted(const std::string& text) {
    std::string line = text.substr(0, text.find_first_of("\r\n"));
    constexpr std::size_t kLongest = 24;
    if (line.size() > kLongest) {
        std::size_t cut = kLongest;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
        line = line.substr(0, cut) + "…";
    }
    return "“" + line + "”";
}

void applyCaption(CImageBox& control, const Scheme& s, std::vector<std::string>* warnings) {
    if (!s.textEnabled || s.textContent.empty()) return;
    const ScopedStepSettings ownSettings(control);
    const int width = control.ImageWidth();
    const int height = control.ImageHeight();
    const int x = positionOf(width, s.textPosX);
    const int y = positionOf(height, s.textPosY);
    CaptionFont font;
    font.face = limitedFace(s.fontFace);
    font.points = s.fontSize * 0.12;
    font.weight = s.fontWeight;
    font.charset = s.fontCharset;
    font.italic = s.fontItalic != 0;
    font.underline = s.fontUnderline != 0;
    font.strikeOut = s.fontStrikeOut != 0;
    if (const double share = captionHeightShareOf(s); share > 0)
        font.points = captionPointsForHeight(control, font, s.textContent, share * height);
    control.SetFont(font);
    control.SetTransparentText(true);
    control.SetTextColor(static_cast<std::uint32_t>(s.textColor));
    control.DrawTextAt(x, y, s.textContent);
    if (!warnings) return;
    const InkBox ink = control.TextInk(s.textContent);
    if (ink.width <= 0 || ink.height <= 0) return;
    if (const std::string out =
            overhang(static_cast<long long>(x) + ink.x, static_cast<long long>(y) + ink.y,
                     ink.width, ink.height, width, height);
        !out.empty())
        warnings->push_back("文字超出图像范围（" + quoted(s.textContent) + "，" + out + "）");
}

// The stamp at share of width wide, resampled as the scheme resamples.
Bitmap sizedStamp(const CImageBox& control, const Bitmap& stamp, double share, int width) {
    const int stampWidth = pixelCount(std::round(share * width));
    const int stampHeight =
        pixelCount(std::round(static_cast<double>(stampWidth) * stamp.height() / stamp.width()));
    if (stampWidth == stamp.width() && stampHeight == stamp.height()) return stamp;
    CImageBox scaling;
    scaling.SetPixelLimit(control.PixelLimit());
    scaling.SetResampleOnResize(control.ResampleOnResize());
    scaling.SetResampleFilter(control.ResampleFilter());
    scaling.PutBitmap(stamp);
    resizeChecked(scaling, stampWidth, stampHeight);
    return scaling.GetBitmap();
}

void applyStamp(CImageBox& control, const Scheme& s, const AppFolders& appFolder,
                Reporter& reporter, DecorationPictures* decorations,
                std::vector<std::string>* warnings) {
    if (!s.stampEnabled) return;
    const std::string path = stampPathOf(s, appFolder);
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
        reporter.message(formatMessage("印章图像 %s 不存在。", path.c_str()), MessageKind::Stop);
        return;
    }
    // A FIFO would be waited on forever, a device read without end.
    if (!std::filesystem::is_regular_file(status)) {
        reporter.message(formatMessage("印章图像 %s 不是普通文件。", path.c_str()),
                         MessageKind::Stop);
        return;
    }
    const ScopedStepSettings ownSettings(control);
    const int width = control.ImageWidth();
    const int height = control.ImageHeight();
    const int x = positionOf(width, s.stampPosX);
    const int y = positionOf(height, s.stampPosY);
    Bitmap stamp;
    if (decorations) {
        stamp = decorations->picture(path);
    } else {
        CImageBox loading;
        loading.SetPixelLimit(control.PixelLimit());
        loading.LoadFromFile(path);
        stamp = loading.GetBitmap();
    }
    if (const double share = stampWidthShareOf(s); share > 0)
        stamp = sizedStamp(control, stamp, share, width);
    control.SetDrawY(y);
    control.SetDrawX(x);
    control.SetPositionedDraw(true);
    control.SetDrawMode(1);
    control.DrawBitmap(stamp);
    if (!warnings) return;
    if (const std::string out = overhang(x, y, stamp.width(), stamp.height(), width, height);
        !out.empty())
        warnings->push_back("印章超出图像范围（" + std::filesystem::path(path).filename().string() +
                            "，" + out + "）");
}

void applyBorder(CImageBox& control, const Scheme& s, const AppFolders& appFolder,
                 DecorationPictures* decorations) {
    if (!s.borderEnabled) return;
    const Bitmap image = control.GetBitmap();
    control.Clear();
    const Bitmap bordered = compositeBorder(control, image, borderPiecePathsOf(s, appFolder),
                                            s.borderAdaptive != 0, s.borderInner != 0, decorations);
    control.Clear();
    control.PutBitmap(bordered);
}

}  // namespace

namespace {

Bitmap sourceFor(const Bitmap& source, const std::string& outputPath) {
    const std::string ext = std::filesystem::path(outputPath).extension().string();
    const ImageFormat* format = ext.empty() ? nullptr : formatForSuffix(ext.substr(1));
    // Converted before anything is drawn on it, so that captions, stamps and
    // borders keep their sRGB colours.
    return format && !format->carries.iccProfile && hasForeignProfile(source)
               ? inSrgb(source, false)
               : source;
}

}  // namespace

namespace {

// Everything a picture still written has to say, after its source's path.
std::string warningText(const std::string& sourcePath, std::vector<std::string> said,
                        const SaveReport& saved, const Scheme& scheme) {
    if (saved.limited && !saved.fits)
        said.push_back(formatMessage("文件超出大小上限 %lld KB（最低质量 %d 时仍有 %lld KB）",
                                     static_cast<long long>(fileSizeLimitOf(scheme) / 1024),
                                     saved.quality,
                                     static_cast<long long>((saved.bytes + 1023) / 1024)));
    std::string text;
    for (const std::string& one : said) text += (text.empty() ? "" : "; ") + one;
    return text.empty() ? text : sourcePath + "：" + text;
}

}  // namespace

std::string failureText(const std::string& sourcePath, const std::string& reason) {
    if (reason.find(sourcePath) != std::string::npos) return reason;
    return sourcePath + "：" + reason;
}

std::pair<int, int> resizedSize(const Scheme& scheme, int width, int height) {
    if (!scheme.resizeEnabled || width <= 0 || height <= 0) return {width, height};
    const double aspect = static_cast<double>(width) / height;
    const double value = scheme.resizeValue;
    switch (static_cast<ResizeMode>(scheme.resizeMode)) {
        case ResizeMode::Percent: {
            const auto sides = percentSides(width, height, value);
            if (belowOnePixel(sides)) return {pixelCount(sides.first), pixelCount(sides.second)};
            const auto [w, h] =
                CImageBox::PercentScaled(width, height, static_cast<float>(scheme.resizeValue));
            return {pixelCount(w), pixelCount(h)};
        }
        case ResizeMode::Width:
            return {pixelCount(value), pixelCount(value / aspect)};
        case ResizeMode::Height:
            return {pixelCount(value * aspect), pixelCount(value)};
        case ResizeMode::Fixed:
            return {pixelCount(scheme.fixedWidth), pixelCount(scheme.fixedHeight)};
        case ResizeMode::FileSize:  // the size limit is not enforced: no size change
        default:                    // unknown modes keep the size too
            return {width, height};
    }
}

double captionPointsForHeight(CImageBox& control, CaptionFont font, const std::string& text,
                              double pixels) {
    const ScopedStepSettings ownSettings(control);
    // Ink grows with the size nearly in proportion; hinting makes the
    // second measure worth its time.
    constexpr double kMeasuredAt = 100.0;
    constexpr double kSmallest = 1.0;
    constexpr double kLargest = 1000.0;
    double points = kMeasuredAt;
    for (int pass = 0; pass < 2; ++pass) {
        font.points = points;
        control.SetFont(font);
        const InkBox ink = control.TextInk(text);
        if (ink.height <= 0) break;
        points = std::clamp(points * std::max(pixels, 1.0) / ink.height, kSmallest, kLargest);
    }
    return points;
}

Bitmap applyScheme(CImageBox& control, const Bitmap& source, const Scheme& scheme,
                   const AppFolders& appFolder, Reporter& reporter, DecorationPictures* decorations,
                   std::vector<std::string>* warnings) {
    sendEncoderSettings(control, scheme);
    const ColorHandling color = colorHandlingOf(scheme);
    control.Clear();
    control.PutBitmap(color == ColorHandling::ConvertToSrgb ? inSrgb(source, true) : source);
    const ColorType startingType = control.GetColorType();
    if (scheme.convertEnabled && scheme.colorConvertEnabled) {
        control.PutColorType(static_cast<ColorType>(scheme.colorType));
        const Bitmap converted = control.GetBitmap();
        control.Clear();
        control.PutBitmap(converted);
    }
    control.PutColorType(startingType);

    applyEnhancement(control, scheme);

    const bool decorateFirst = scheme.resizeEnabled && scheme.resizeIncludesBorder;
    if (decorateFirst) {
        applyBorder(control, scheme, appFolder, decorations);
        applyCaption(control, scheme, warnings);
        applyStamp(control, scheme, appFolder, reporter, decorations, warnings);
        applyResize(control, scheme);
    } else {
        if (scheme.resizeEnabled) applyResize(control, scheme);
        applyCaption(control, scheme, warnings);
        applyStamp(control, scheme, appFolder, reporter, decorations, warnings);
        applyBorder(control, scheme, appFolder, decorations);
    }

    // Canvases of borders and captions state no resolution of their own.
    Bitmap result = withOutputChoices(withResolutionOf(control.GetBitmap(), source), color,
                                      metadataHandlingOf(scheme));
    control.Clear();
    return result;
}

Bitmap applySchemeFor(CImageBox& control, const Bitmap& source, const std::string& outputPath,
                      const Scheme& scheme, const AppFolders& appFolder, Reporter& reporter,
                      DecorationPictures* decorations, std::vector<std::string>* warnings) {
    return applyScheme(control, sourceFor(source, outputPath), scheme, appFolder, reporter,
                       decorations, warnings);
}

namespace {

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// Taken before the source is read: a source rewritten meanwhile is newer
// than its output.
SaveOptions placingFor(ExistingOutput existing, const std::string& sourcePath) {
    SaveOptions placing;
    if (existing == ExistingOutput::Number) placing.numbered = numberedOutputPath;
    if (existing == ExistingOutput::Newer) placing.modified = sourceChangeStamp(sourcePath);
    return placing;
}

ProcessResult savePlaced(CImageBox& control, const Bitmap& source, const std::string& sourcePath,
                         int index, const Scheme& scheme, const AppFolders& appFolder,
                         Reporter& reporter, DecorationPictures* decorations,
                         const SaveOptions& placing, std::vector<std::string> said = {}) {
    ProcessResult result;
    result.outputPath = outputPath(scheme, index, sourcePath);
    if (const std::string refused = checkOutputPath(scheme, result.outputPath); !refused.empty()) {
        result.error = failureText(sourcePath, refused);
        return result;
    }
    try {
        const Bitmap processed = applySchemeFor(control, source, result.outputPath, scheme,
                                                appFolder, reporter, decorations, &said);
        control.Clear();
        control.PutBitmap(processed);
        result.saved = saveToFile(control, result.outputPath, placing);
        result.outputPath = result.saved.path;
    } catch (const std::exception& e) {
        result.error = failureText(sourcePath, e.what());
    }
    control.Clear();
    if (result.ok()) result.warning = warningText(sourcePath, said, result.saved, scheme);
    return result;
}

}  // namespace

bool readsSourceOnceInOrder(const Scheme& s, const std::string& output) {
    const std::string ext = std::filesystem::path(output).extension().string();
    const ImageFormat* format = ext.empty() ? nullptr : formatForSuffix(ext.substr(1));
    const bool inOrderOutput = format && format->inOrder.encodes;
    const bool colourConversion = s.convertEnabled && s.colorConvertEnabled;
    return inOrderOutput && !colourConversion && !s.enhanceEnabled && !s.textEnabled &&
           !s.stampEnabled && !s.borderEnabled;
}

ProcessResult processFile(CImageBox& control, const std::string& sourcePath, int index,
                          const Scheme& scheme, bool save, const AppFolders& appFolder,
                          Reporter& reporter, bool keepImage, ExistingOutput existing) {
    const auto start = std::chrono::steady_clock::now();
    ProcessResult result;
    std::error_code error;
    if (!std::filesystem::exists(sourcePath, error)) {
        result.error = formatMessage("图像 %s 不存在。", sourcePath.c_str());
        return result;
    }
    if (save) {
        result.outputPath = outputPath(scheme, index, sourcePath);
        if (const std::string refused = checkOutputPath(scheme, result.outputPath);
            !refused.empty()) {
            result.error = failureText(sourcePath, refused);
            return result;
        }
    }
    const bool streaming = save && !keepImage && readsSourceOnceInOrder(scheme, result.outputPath);
    const SaveOptions placing = placingFor(existing, sourcePath);
    // What the decoders say about this file stays with it, whatever runs
    // beside it.
    const ImageDiagnostics diagnostics;
    std::vector<std::string> said;
    try {
        control.Clear();
        {
            const ScopedStepSettings loading(control);
            control.SetStreamingLoads(streaming);
            control.LoadFromFile(sourcePath);
        }
        const Bitmap source = control.GetBitmap();
        control.Clear();
        result.image =
            save ? applySchemeFor(control, source, result.outputPath, scheme, appFolder, reporter,
                                  nullptr, &said)
                 : applyScheme(control, source, scheme, appFolder, reporter, nullptr, &said);
        if (save) {
            control.Clear();
            control.PutBitmap(result.image);
            result.saved = saveToFile(control, result.outputPath, placing);
            result.outputPath = result.saved.path;
            control.Clear();
        }
    } catch (const std::exception& e) {
        result.error = failureText(sourcePath, e.what());
    }
    if (!result.ok() || !keepImage) {
        control.Clear();
        result.image = Bitmap();
    }
    if (result.ok()) {
        const std::vector<std::string> decoders = diagnostics.warnings();
        said.insert(said.begin(), decoders.begin(), decoders.end());
        result.warning = warningText(sourcePath, said, result.saved, scheme);
    }
    result.milliseconds = millisecondsSince(start);
    return result;
}

std::vector<ProcessResult> processFileWithSchemes(CImageBox& control, const std::string& sourcePath,
                                                  int index, const std::vector<Scheme>& schemes,
                                                  const AppFolders& appFolder, Reporter& reporter,
                                                  ExistingOutput existing) {
    const auto start = std::chrono::steady_clock::now();
    const SaveOptions placing = placingFor(existing, sourcePath);
    std::vector<ProcessResult> results(schemes.size());
    const auto failAll = [&](const std::string& reason) {
        for (ProcessResult& result : results) result.error = reason;
    };
    std::error_code error;
    if (!std::filesystem::exists(sourcePath, error)) {
        failAll(formatMessage("图像 %s 不存在。", sourcePath.c_str()));
        return results;
    }
    const ImageDiagnostics diagnostics;
    Bitmap source;
    try {
        // Decoded whole, as a scheme that draws on the picture would have
        // it: a decode top to bottom gives the same pixels (only JPEG
        // streams, and it has no alpha to drop) but can be read only once.
        control.Clear();
        control.LoadFromFile(sourcePath);
        source = control.GetBitmap();
        control.Clear();
    } catch (const std::exception& e) {
        control.Clear();
        failAll(failureText(sourcePath, e.what()));
        return results;
    }
    const double decoding = millisecondsSince(start);
    // What the decoders said, before each scheme's own warnings.
    const std::vector<std::string> decoders = diagnostics.warnings();
    for (size_t s = 0; s < schemes.size(); ++s) {
        const auto own = std::chrono::steady_clock::now();
        results[s] = savePlaced(control, source, sourcePath, index, schemes[s], appFolder, reporter,
                                nullptr, placing, decoders);
        results[s].milliseconds = decoding + millisecondsSince(own);
    }
    return results;
}

ProcessResult saveProcessed(CImageBox& control, const Bitmap& source, const std::string& sourcePath,
                            int index, const Scheme& scheme, const AppFolders& appFolder,
                            Reporter& reporter, DecorationPictures* decorations) {
    return savePlaced(control, source, sourcePath, index, scheme, appFolder, reporter, decorations,
                      SaveOptions{});
}

}  // namespace varnetto
