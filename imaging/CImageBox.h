#pragma once

#include "common/ImagingCodes.h"

#include <vips/vips8>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace varnetto {

// Images travel between steps and windows as immutable values.
using Bitmap = vips::VImage;

// A decode, encode or pixel operation that failed. The message names the
// file (where there is one) and the reason.
class ImagingError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Caption font. size is in points; text is rendered at 96 dots per inch.
struct CaptionFont {
    std::string face = "Arial";
    double points = 9.6;
    int weight = 400;  // 100-900, 400 normal, 700 bold
    int charset = 1;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;

    bool operator==(const CaptionFont&) const = default;
};

// What a save wrote, and how it met the file-size limit.
struct SaveReport {
    std::string path;  // the file written (a numbered name may stand for the one asked)
    std::int64_t bytes = 0;
    // The quality written with, where a size limit chose it; 0 otherwise.
    int quality = 0;
    bool limited = false;  // a limit applied to this file's format
    bool fits = true;      // false: over the limit even at the lowest quality
    int encodes = 0;       // encodes the limit took
};

// A size limit lowers the quality no further than this.
inline constexpr int kLowestLimitedQuality = 10;
// Encodes one picture may take to find its quality under a limit.
inline constexpr int kMostLimitedEncodes = 7;

// A rectangle of drawn ink, relative to where the drawing was placed.
struct InkBox {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Pictures above this many pixels are refused before they are decoded.
inline constexpr std::int64_t kDefaultPixelLimit = 300'000'000;

// What one step of work sets on a control for itself: where and how it
// draws, the caption's look, the edge effect and streaming loads. The encoder
// and resampler settings a resize sends hold for later saves and resizes, and
// the pixel limit is the owner's: they are not among them.
struct StepSettings {
    int drawX = 0;
    int drawY = 0;
    bool positionedDraw = false;
    int drawMode = 0;
    bool transparentOverlay = false;
    CaptionFont font;
    std::uint32_t textColor = 0;
    bool transparentText = false;
    int edgeEffect = 0;
    bool streamingLoads = false;

    bool operator==(const StepSettings&) const = default;
};

// One imaging control: a current image (or none) and the operations the
// program performs on it. Used by one thread at a time; each worker owns its
// own. Encoder and resampler settings persist from image to image; a step
// gives back the step settings it sets for itself (ScopedStepSettings).
// Operations that need an image throw ImagingError when there is none.
class CImageBox {
  public:
    CImageBox();

    void Clear();
    bool HasImage() const;
    // Decodes path (EXIF orientation applied). Throws ImagingError.
    void LoadFromFile(const std::string& path);
    // Encodes by the extension of path, through a temporary file renamed into
    // place. Throws ImagingError; no half-written file is left behind.
    SaveReport SaveToFile(const std::string& path);
    // What SaveToFile would write for a file with extension (without the
    // dot), encoded in memory; nothing is written. Throws ImagingError.
    SaveReport MeasureSave(const std::string& extension) const;

    Bitmap GetBitmap() const;
    void PutBitmap(const Bitmap& image);

    int ImageWidth() const;
    int ImageHeight() const;

    // What the current image is; TrueColor24 without an image.
    ColorType GetColorType() const;
    // Converts the current image; the reduced content survives a later
    // conversion back to a richer type. A stored type outside the known ones
    // leaves the image as it is.
    void PutColorType(ColorType type);

    void Resize(int width, int height);
    void ScaleByPercent(float percent);
    // The sides ScaleByPercent gives a width x height picture, before they
    // are made at least 1 and checked against the pixel limit.
    static std::pair<double, double> PercentScaled(int width, int height, float percent);
    // A white image of that size.
    void CreateBlank(int width, int height);
    // Draws image at (DrawX, DrawY), honouring its alpha channel; parts outside
    // the current image are clipped. Without PositionedDraw the image is
    // centred. In DrawMode 0 (thumbnails) a picture at least as large as the
    // current image is a frame (the image is centred on it) and a smaller one
    // goes to the bottom-right corner. TransparentOverlay makes the colour of
    // the drawn picture's top-left pixel transparent.
    void DrawBitmap(const Bitmap& image);
    // Draws the picture of a file at (DrawX, DrawY). Throws ImagingError.
    void OverlayFile(const std::string& path);
    void DrawTextAt(int x, int y, const std::string& text);
    // Where DrawTextAt(x, y, text) puts ink with the current font, relative
    // to (x, y); needs no image.
    InkBox TextInk(const std::string& text) const;

    void SetDrawX(int x) { step_.drawX = x; }
    void SetDrawY(int y) { step_.drawY = y; }
    void SetPositionedDraw(bool on) { step_.positionedDraw = on; }
    int GetDrawMode() const { return step_.drawMode; }
    void SetDrawMode(int mode) { step_.drawMode = mode; }
    void SetTransparentOverlay(bool on) { step_.transparentOverlay = on; }

    void SetFont(const CaptionFont& font) { step_.font = font; }
    void SetTextColor(std::uint32_t bgr) { step_.textColor = bgr; }
    void SetTransparentText(bool on) { step_.transparentText = on; }

    void SetJpegQuality(std::uint16_t quality) { jpegQuality_ = quality; }
    // Names of the codes are qualified: the getters share them.
    void SetTiffCompression(varnetto::TiffCompression compression) {
        tiffCompression_ = compression;
    }
    void SetResampleOnResize(bool on) { resampleOnResize_ = on; }
    // Bytes a file in a format whose size follows its quality may take; 0
    // for none.
    void SetFileSizeLimit(std::int64_t bytes) { fileSizeLimit_ = bytes; }
    std::int64_t FileSizeLimit() const { return fileSizeLimit_; }
    void SetResampleFilter(varnetto::ResampleFilter filter) { resampleFilter_ = filter; }
    std::uint16_t JpegQuality() const { return jpegQuality_; }
    varnetto::TiffCompression TiffCompression() const { return tiffCompression_; }
    bool ResampleOnResize() const { return resampleOnResize_; }
    varnetto::ResampleFilter ResampleFilter() const { return resampleFilter_; }

    void AdjustBrightness(int amount, bool red, bool green, bool blue);
    void AdjustContrast(int amount, bool red, bool green, bool blue);
    void Sharpen(int amount);
    void Despeckle(int amount);
    void RemoveRedEye();
    void Rotate(float degrees);
    void Flip(FlipDirection direction);
    // The viewer's one-step correction: auto levels per colour channel.
    void ImageAction();

    // 0 none, 1 raised frame, 2 sunken frame.
    void SetEdgeEffect(int effect) { step_.edgeEffect = effect; }
    // Applies the edge effect as a bevel 2 x c pixels wide; a, b and d are
    // not used.
    void ApplyEdgeEffect(int a, int b, int c, int d);

    // Lets later loads of upright JPEGs stay lazy: decoding then happens once,
    // top to bottom, while the result is saved, with much less memory. Only
    // for work that reads the picture once and in order (resizing and
    // recompressing); anything else needs the default full decode.
    void SetStreamingLoads(bool on) { step_.streamingLoads = on; }
    bool StreamingLoads() const { return step_.streamingLoads; }

    const StepSettings& GetStepSettings() const { return step_; }
    void PutStepSettings(const StepSettings& settings) { step_ = settings; }

    void SetPixelLimit(std::int64_t pixels) { pixelLimit_ = pixels; }
    std::int64_t PixelLimit() const { return pixelLimit_; }

    // A thumbnail that fits width x height (never enlarged), made with
    // shrink-on-load and upright, 8-bit sRGB. Throws ImagingError naming the
    // file. With damage given, a picture whose data is cut short still gives
    // the part that decodes, and damage tells the decoder's complaint
    // (left empty for a sound picture).
    static Bitmap Thumbnail(const std::string& path, int width, int height,
                            std::int64_t pixelLimit = kDefaultPixelLimit,
                            std::string* damage = nullptr);

  private:
    void requireImage(const char* operation) const;
    // Takes next as the current image, keeping the colour type.
    void replaceImage(const Bitmap& next);
    Bitmap drawnOnto(const Bitmap& picture) const;

    Bitmap image_;
    bool hasImage_ = false;
    StepSettings step_;
    std::uint16_t jpegQuality_ = 75;
    varnetto::TiffCompression tiffCompression_ = varnetto::TiffCompression::None;
    bool resampleOnResize_ = true;
    varnetto::ResampleFilter resampleFilter_ = varnetto::ResampleFilter::Bilinear;
    std::int64_t fileSizeLimit_ = 0;
    std::int64_t pixelLimit_ = kDefaultPixelLimit;
};

// Gives a control back, when it ends, the step settings it had when it
// began, on every path out of the step: nothing one step sets for itself
// reaches the next step, picture or scheme.
class ScopedStepSettings {
  public:
    explicit ScopedStepSettings(CImageBox& control)
        : control_(control), saved_(control.GetStepSettings()) {}
    ~ScopedStepSettings() { control_.PutStepSettings(saved_); }
    ScopedStepSettings(const ScopedStepSettings&) = delete;
    ScopedStepSettings& operator=(const ScopedStepSettings&) = delete;

  private:
    CImageBox& control_;
    const StepSettings saved_;
};

}  // namespace varnetto
