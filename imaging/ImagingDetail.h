#pragma once

// Building blocks of CImageBox, shared by the files of imaging/ only.

#include "common/ImageFormats.h"
#include "common/RegularFile.h"
#include "imaging/CImageBox.h"
#include "imaging/ImageDiagnostics.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace varnetto::detail {

// The libvips error text (and clears libvips' error buffer, which would
// otherwise keep growing and repeat old errors in later messages).
std::string takeVipsError(const vips::VError& error);
// The lines of a libvips message, each once and in order, without trailing
// blanks and empty lines: a decoder may repeat itself many times.
std::vector<std::string> distinctLines(std::string_view text);

// Makes sure libvips errors raised for the calling thread's work go to a log
// of its own (an ImageDiagnostics, or one made for this scope), so that a
// VError holds its own thread's reason and nobody else's. Every call into
// libvips whose errors are read runs inside one.
class ErrorScope {
  public:
    ErrorScope();
    ~ErrorScope();
    ErrorScope(const ErrorScope&) = delete;
    ErrorScope& operator=(const ErrorScope&) = delete;

  private:
    std::shared_ptr<DiagnosticLog> own_;
};

// What libvips' own buffer holds (errors of threads that worked for no
// image), emptying it.
std::string takeUnattributedErrors();

// Called once by initImaging: library warnings go to the current log.
void installDiagnostics();
// Called once by initImaging before any operation: liborc's compile and
// free, reached by libvips from any thread, go one at a time.
void serialiseVectorPrograms();
// Called once by initImaging, after installDiagnostics: runs the self-test
// errorsStayWithTheirPicture() reports.
void checkErrorAttribution();

// A picture whose pixels, wherever libvips computes them, are computed under
// the calling thread's log; a failure to compute them is remembered as a
// failure to read source (takeFailedSource).
Bitmap attributed(const Bitmap& image, const std::string& source);
// The source whose decoding failed during the current log's work, once.
std::string takeFailedSource();
// Error text left by work that succeeded becomes warnings of the current log.
void settleWarnings();

// Callers know one kind of failure: libvips errors become ImagingError,
// named after the operation.
template <typename Operation>
auto guarded(const char* what, Operation operation) {
    const ErrorScope scope;
    try {
        return operation();
    } catch (const vips::VError& error) {
        throw ImagingError(std::string(what) + "：" + takeVipsError(error));
    }
}

// The colour type travels with the image as metadata, so that a reduced
// image keeps reporting its type after GetBitmap/PutBitmap.
inline constexpr const char* kColorTypeField = "varnetto-color-type";
// The pixels computed into memory. A picture decoded from a sequential
// loader keeps that loader's mark, and libvips then funnels every later
// operation on it through one thread at a time; the copy in memory is read
// in any order, so the mark is dropped.
Bitmap decodedInMemory(const Bitmap& image);
Bitmap withColorType(const Bitmap& image, ColorType type);
Bitmap withoutColorType(const Bitmap& image);
ColorType colorTypeOf(const Bitmap& image);
bool isGrayType(ColorType type);

bool hasAlpha(const Bitmap& image);
// Pictures travel with 8 bits a sample (sRGB, B_W) or, from a 16-bit source,
// with 16 (RGB16, GREY16) until a step or an output that needs 8.
bool isDeep(const Bitmap& image);
// Full intensity (white, opaque) in image's own range: 255 or 65535.
double fullScaleOf(const Bitmap& image);
// image at the depth of like: an 8-bit caption, stamp or border piece on a
// 16-bit picture is widened (v * 257), a 16-bit piece on an 8-bit picture
// reduced as toEightBits reduces.
Bitmap atDepthOf(const Bitmap& image, const Bitmap& like);
// A 16-bit picture with 8 bits a sample, as libvips reduces it (the high
// byte); an 8-bit picture as it is. Bands are kept.
Bitmap toEightBits(const Bitmap& image);
// 3 bands, or 4 with alpha, at the picture's own depth: toRgb for an 8-bit
// picture, RGB16 for a 16-bit one.
Bitmap toRgbAtDepth(const Bitmap& image);
// 8-bit sRGB with 3 bands, or 4 when the image has an alpha channel.
Bitmap toRgb(const Bitmap& image);
// 8-bit sRGB, 3 bands, transparency laid onto white.
Bitmap toOpaqueRgb(const Bitmap& image);
// 8-bit, 1 band (grey), transparency laid onto white.
Bitmap toGray(const Bitmap& image);
Bitmap whiteCanvas(int width, int height);
// An image owning a copy of 8-bit pixels (rows of width * bands bytes).
Bitmap imageFromPixels(const unsigned char* pixels, int width, int height, int bands,
                       VipsInterpretation interpretation);
// Refuses sizes that would exceed limit pixels.
void checkPixelCount(std::int64_t width, std::int64_t height, std::int64_t limit,
                     const std::string& name);

// --- files ------------------------------------------------------------------
struct PictureHeader {
    FileKind kind{};
    std::int64_t width = 0;
    std::int64_t height = 0;
    ColorType colorType = ColorType::TrueColor24;
    int bytesPerSample = 1;  // 2 for pictures decoded with 16 bits a sample
};

// Recognises the file by its content (by its name only for WBMP, which has no
// signature) and reads the picture size without decoding pixels.
PictureHeader readPictureHeader(const std::string& path);
// The same from file, open at path, whose descriptor the picture is then
// decoded from: the name is opened once.
PictureHeader readPictureHeader(const RegularFile& file, const std::string& path);
// Throws the ImagingError naming path when file did not open as a regular
// file (a folder, a FIFO, a device, a missing file).
void requireOpened(const RegularFile& file, const std::string& path);
// The EXIF orientation, 1 to 8, as autorot reads it: 1 when the tag is
// missing or out of range. 5 to 8 turn the picture by a quarter.
inline int orientationOf(const vips::VImage& image) {
    return vips_image_get_orientation(image.get_image());
}
// Checks the header against pixelLimit, then decodes fully and upright. With
// streaming, an upright JPEG stays lazy and is decoded top to bottom once,
// while its result is written.
Bitmap decodePicture(const std::string& path, std::int64_t pixelLimit, bool streaming = false);

struct EncoderSettings {
    int jpegQuality = 75;
    TiffCompression tiffCompression = TiffCompression::None;
    std::int64_t sizeLimit = 0;  // bytes; 0 leaves the size to the quality
};
// image as format's saver should receive it: in sRGB where the file could
// not carry its profile or its colours are reduced (or the image's output
// choices ask for it), with the metadata those choices keep.
Bitmap preparedForFormat(const Bitmap& image, const ImageFormat& format,
                         const EncoderSettings& settings);
// Writes image to path in the format its extension names, through a
// temporary file. Under a size limit, formats whose size follows their
// quality are encoded in memory at qualities from settings' downwards.
SaveReport encodePicture(const Bitmap& image, const std::string& path,
                         const EncoderSettings& settings);
// What encodePicture would write for a file with extension (without the
// dot), encoded in memory only.
SaveReport measureEncoding(const Bitmap& image, const std::string& extension,
                           const EncoderSettings& settings);

// --- pixels -----------------------------------------------------------------
Bitmap convertColorType(const Bitmap& image, ColorType type);
// At most colors colours (libimagequant, dithered); alpha is kept.
Bitmap quantize(const Bitmap& image, int colors);
// Black and white by error diffusion, 1 band 0/255.
Bitmap ditherBlackWhite(const Bitmap& image);

Bitmap resampleTo(const Bitmap& image, int width, int height, bool resample, ResampleFilter filter);

// Draws picture onto base with its top-left corner at (x, y); the parts
// outside base are clipped. keyTransparent makes the colour of picture's
// top-left pixel transparent (for pictures without alpha).
Bitmap drawPicture(const Bitmap& base, const Bitmap& picture, int x, int y, bool keyTransparent);

struct TextStyle {
    CaptionFont font;
    std::uint32_t colorBgr = 0;
    bool transparent = true;
};
Bitmap drawText(const Bitmap& base, int x, int y, const std::string& text, const TextStyle& style);
// Where drawText's ink falls, relative to its (x, y); empty for blank text.
InkBox textInk(const std::string& text, const TextStyle& style);
// The Pango markup of text in style (exposed for checks of the escaping).
std::string textMarkup(const std::string& text, const TextStyle& style);

Bitmap adjustBrightness(const Bitmap& image, int amount, bool red, bool green, bool blue);
Bitmap adjustContrast(const Bitmap& image, int amount, bool red, bool green, bool blue);
Bitmap stretchLevels(const Bitmap& image);
Bitmap sharpen(const Bitmap& image, int amount);
Bitmap despeckle(const Bitmap& image, int amount);
Bitmap rotate(const Bitmap& image, double degrees);
Bitmap flip(const Bitmap& image, FlipDirection direction);
Bitmap raisedFrame(const Bitmap& image, int effect, int width);
Bitmap removeRedEye(const Bitmap& image);

}  // namespace varnetto::detail
