#include "imaging/RawPictures.h"

#include "common/RegularFile.h"
#include "common/Reporter.h"
#include "imaging/ImagingDetail.h"

#include <libraw/libraw.h>

#include <array>
#include <cmath>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>

namespace varnetto::detail {

namespace {

[[noreturn]] void failed(const std::string& path, const std::string& reason) {
    throw ImagingError(formatMessage("无法读取图像 %s：%s", path.c_str(), reason.c_str()));
}

// LibRaw with its output curve in reach, so that the demosaiced pixels can be
// read where they are instead of copied into a buffer of their own.
class RawDecoder : public LibRaw {
  public:
    RawDecoder() : LibRaw(LIBRAW_OPTIONS_NONE) {}
    // The curve dcraw_make_mem_image would apply, into imgdata.color.curve.
    void makeOutputCurve() {
        const libraw_output_params_t& p = imgdata.params;
        // The white point without automatic brightening.
        constexpr double kWhite = 0x2000 << 3;
        gamma_curve(p.gamm[0], p.gamm[1], 2, static_cast<int>(kWhite / p.bright));
    }
};

// One RAW file opened for LibRaw. The file is opened once, checked to be a
// regular file, and LibRaw reads that same open file (through /proc/self/fd)
// with its own buffered streams, so a name swapped meanwhile is never read.
class RawFile {
  public:
    explicit RawFile(const std::string& path) : file_(path), raw_(std::make_unique<RawDecoder>()) {
        raw_->set_dataerror_handler(&RawFile::dataError, this);
    }
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;

    // Opens and reads the header; false with reason() set when LibRaw does
    // not take the file.
    bool open() {
        if (!file_.opened()) {
            reason_ = file_.notRegular() ? "不是普通文件" : std::strerror(file_.openError());
            return false;
        }
        const std::string name = "/proc/self/fd/" + std::to_string(file_.descriptor());
        return succeeded(raw_->open_file(name.c_str()));
    }
    // Whether a step succeeded without LibRaw finding the data damaged.
    bool succeeded(int code) {
        // What LibRaw found wrong tells more than the code it returned.
        if (!damage_.empty())
            reason_ = damage_;
        else if (code != LIBRAW_SUCCESS)
            reason_ = libraw_strerror(code);
        return code == LIBRAW_SUCCESS && damage_.empty();
    }
    RawDecoder& raw() { return *raw_; }
    libraw_data_t& data() { return raw_->imgdata; }
    const std::string& reason() const { return reason_; }

  private:
    // LibRaw would print this and go on with the pixels it has.
    static void dataError(void* self, const char*, int offset) {
        auto* file = static_cast<RawFile*>(self);
        if (!file->damage_.empty()) return;
        file->damage_ = offset < 0 ? std::string("unexpected end of file")
                                   : formatMessage("data corrupted at %d", offset);
    }

    RegularFile file_;
    std::unique_ptr<RawDecoder> raw_;
    std::string damage_;
    std::string reason_;
};

// LibRaw's flip codes as EXIF orientations.
int orientationOfFlip(int flip) {
    static constexpr std::array<int, 8> kOrientation{1, 2, 4, 3, 5, 8, 6, 7};
    return kOrientation[static_cast<std::size_t>(flip) & 7];
}

// What a photographer expects of a batch conversion: the camera's white
// balance and colour matrix, AHD, sRGB primaries and curve, 16 bits,
// highlights clipped, exposure as shot, the file's own orientation.
void setDecodeParameters(libraw_output_params_t& p, RawDecode size) {
    p.use_camera_wb = 1;
    p.use_auto_wb = 0;
    p.use_camera_matrix = 1;
    p.user_qual = 3;
    p.output_color = 1;
    p.gamm[0] = 1 / 2.4;
    p.gamm[1] = 12.92;
    p.output_bps = 16;
    p.highlight = 0;
    p.no_auto_bright = 1;
    p.bright = 1.0f;
    p.user_flip = -1;
    p.half_size = size == RawDecode::Half ? 1 : 0;
}

CaptureFacts captureFacts(const libraw_data_t& d) {
    CaptureFacts facts;
    facts.make = d.idata.make;
    facts.model = d.idata.model;
    facts.lens = d.lens.Lens[0] ? d.lens.Lens : d.lens.makernotes.Lens;
    facts.exposureSeconds = d.other.shutter;
    facts.fNumber = d.other.aperture;
    facts.focalLength = d.other.focal_len;
    facts.iso = static_cast<int>(std::lround(d.other.iso_speed));
    if (d.other.timestamp > 0) {
        // LibRaw read the camera's local time as this machine's.
        std::tm local{};
        localtime_r(&d.other.timestamp, &local);
        char text[32];
        std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &local);
        facts.captureTime = text;
    }
    return facts;
}

void freeProcessed(VipsImage*, gpointer image) {
    LibRaw::dcraw_clear_mem(static_cast<libraw_processed_image_t*>(image));
}

// A RAW file states no resolution: 72 dpi, as for any picture without one.
Bitmap withRawLabels(const Bitmap& picture, VipsInterpretation interpretation) {
    constexpr double kPixelsPerMillimetre = 72 / 25.4;
    return picture.copy(vips::VImage::option()
                            ->set("interpretation", interpretation)
                            ->set("xres", kPixelsPerMillimetre)
                            ->set("yres", kPixelsPerMillimetre));
}

// The processed pixels as an image, without a copy: LibRaw's buffer goes
// when the image does.
Bitmap wrapped(libraw_processed_image_t* image) {
    const VipsBandFormat format = image->bits == 16 ? VIPS_FORMAT_USHORT : VIPS_FORMAT_UCHAR;
    VipsImage* out = vips_image_new_from_memory(image->data, image->data_size, image->width,
                                                image->height, image->colors, format);
    if (!out) {
        LibRaw::dcraw_clear_mem(image);
        throw vips::VError();
    }
    g_signal_connect(out, "postclose", G_CALLBACK(freeProcessed), image);
    const bool grey = image->colors < 3;
    const VipsInterpretation interpretation =
        image->bits == 16 ? (grey ? VIPS_INTERPRETATION_GREY16 : VIPS_INTERPRETATION_RGB16)
                          : (grey ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB);
    return withRawLabels(vips::VImage(out), interpretation);
}

void releaseRawFile(VipsImage*, gpointer file) {
    delete static_cast<RawFile*>(file);
}

// The demosaiced pixels where LibRaw left them (four 16-bit channels a pixel,
// as the sensor lies), through its output curve and turned upright: the
// same pixels dcraw_make_mem_image gives, without a copy of the whole
// picture. nullopt where LibRaw's picture is shaped otherwise.
std::optional<Bitmap> readInPlace(std::unique_ptr<RawFile>& file) {
    libraw_data_t& d = file->data();
    const libraw_image_sizes_t& sizes = d.sizes;
    if (!d.image || d.idata.colors != 3 || d.params.half_size || sizes.iwidth != sizes.width ||
        sizes.iheight != sizes.height)
        return std::nullopt;
    file->raw().makeOutputCurve();
    constexpr int kCurveLength = 0x10000;
    VipsImage* table = vips_image_new_from_memory_copy(d.color.curve, sizeof d.color.curve,
                                                       kCurveLength, 1, 1, VIPS_FORMAT_USHORT);
    if (!table) throw vips::VError();
    const vips::VImage curve(table);
    constexpr int kChannels = 4;
    VipsImage* pixels = vips_image_new_from_memory(
        d.image, std::size_t(sizes.iwidth) * sizes.iheight * sizeof *d.image, sizes.iwidth,
        sizes.iheight, kChannels, VIPS_FORMAT_USHORT);
    if (!pixels) throw vips::VError();
    const int orientation = orientationOfFlip(sizes.flip);
    g_signal_connect(pixels, "postclose", G_CALLBACK(releaseRawFile), file.release());
    vips::VImage turned = vips::VImage(pixels)
                              .extract_band(0, vips::VImage::option()->set("n", 3))
                              .maplut(curve)
                              .copy();
    turned.set(VIPS_META_ORIENTATION, orientation);
    return withRawLabels(turned.autorot(), VIPS_INTERPRETATION_RGB16);
}

// The embedded JPEG decoded at the largest of 1/2, 1/4, 1/8 that still
// covers need x need (stored as the mosaic is).
Bitmap previewJpeg(const libraw_thumbnail_t& thumb, int needWidth, int needHeight) {
    int shrink = 1;
    while (shrink < 8 && thumb.twidth / (shrink * 2) >= needWidth &&
           thumb.theight / (shrink * 2) >= needHeight)
        shrink *= 2;
    VipsBlob* blob = vips_blob_copy(thumb.thumb, thumb.tlength);
    try {
        const Bitmap image = vips::VImage::jpegload_buffer(
            blob,
            vips::VImage::option()->set("shrink", shrink)->set("fail_on", VIPS_FAIL_ON_TRUNCATED));
        vips_area_unref(VIPS_AREA(blob));
        return image;
    } catch (...) {
        vips_area_unref(VIPS_AREA(blob));
        throw;
    }
}

}  // namespace

std::optional<RawFacts> readRawFacts(const std::string& path, std::string& reason) {
    const auto file = std::make_unique<RawFile>(path);
    if (!file->open() || !file->succeeded(file->raw().adjust_sizes_info_only())) {
        reason = file->reason();
        return std::nullopt;
    }
    // Upright from here on.
    const libraw_image_sizes_t& sizes = file->data().sizes;
    return RawFacts{sizes.iwidth, sizes.iheight};
}

Bitmap decodeRaw(const std::string& path, RawDecode size, int descriptor) {
    auto file = std::make_unique<RawFile>(
        descriptor < 0 ? path : "/proc/self/fd/" + std::to_string(descriptor));
    setDecodeParameters(file->data().params, size);
    if (!file->open() || !file->succeeded(file->raw().unpack()) ||
        !file->succeeded(file->raw().dcraw_process()))
        failed(path, file->reason());
    const CaptureFacts facts = captureFacts(file->data());
    const std::string exif = exifBlock(facts);
    try {
        file->raw().recycle_datastream();
        if (std::optional<Bitmap> picture = readInPlace(file)) {
            vips_image_set_blob_copy(picture->get_image(), VIPS_META_EXIF_NAME, exif.data(),
                                     exif.size());
            return *picture;
        }
    } catch (const vips::VError& error) {
        failed(path, takeVipsError(error));
    }
    int code = LIBRAW_SUCCESS;
    libraw_processed_image_t* processed = file->raw().dcraw_make_mem_image(&code);
    if (!processed) failed(path, libraw_strerror(code));
    // The mosaic and LibRaw's working copies are let go before the picture
    // travels on.
    file->raw().recycle();
    try {
        Bitmap picture = wrapped(processed);
        vips_image_set_blob_copy(picture.get_image(), VIPS_META_EXIF_NAME, exif.data(),
                                 exif.size());
        return picture;
    } catch (const vips::VError& error) {
        failed(path, takeVipsError(error));
    }
}

std::optional<Bitmap> rawPreview(const std::string& path, int minWidth, int minHeight) {
    const auto file = std::make_unique<RawFile>(path);
    if (!file->open()) return std::nullopt;
    const libraw_data_t& d = file->data();
    const bool quarterTurn = (d.sizes.flip & 4) != 0;
    const int needWidth = quarterTurn ? minHeight : minWidth;
    const int needHeight = quarterTurn ? minWidth : minHeight;
    const libraw_thumbnail_t& thumb = d.thumbnail;
    if (thumb.twidth < needWidth || thumb.theight < needHeight || thumb.twidth < 1 ||
        thumb.theight < 1)
        return std::nullopt;
    // A preview cropped otherwise than the picture would not stand for it.
    constexpr double kShapeTolerance = 0.03;
    const double shape = double(thumb.twidth) / thumb.theight;
    const double pictureShape = double(d.sizes.width) / std::max<int>(1, d.sizes.height);
    if (std::abs(shape / pictureShape - 1) > kShapeTolerance) return std::nullopt;
    if (!file->succeeded(file->raw().unpack_thumb())) return std::nullopt;
    const ErrorScope scope;
    try {
        Bitmap stored;
        if (thumb.tformat == LIBRAW_THUMBNAIL_JPEG) {
            stored = previewJpeg(thumb, needWidth, needHeight);
        } else if (thumb.tformat == LIBRAW_THUMBNAIL_BITMAP && thumb.tcolors == 3 &&
                   thumb.tlength >= std::size_t(thumb.twidth) * thumb.theight * 3) {
            VipsImage* copy = vips_image_new_from_memory_copy(
                thumb.thumb, thumb.tlength, thumb.twidth, thumb.theight, 3, VIPS_FORMAT_UCHAR);
            if (!copy) throw vips::VError();
            stored = vips::VImage(copy);
        } else {
            return std::nullopt;
        }
        // The picture's flip governs, whatever the preview's own EXIF says.
        Bitmap turned = stored.copy();
        turned.set(VIPS_META_ORIENTATION, orientationOfFlip(d.sizes.flip));
        const Bitmap upright = toRgb(turned.autorot());
        if (upright.width() < minWidth || upright.height() < minHeight) return std::nullopt;
        return upright.copy_memory();
    } catch (const vips::VError& error) {
        takeVipsError(error);
        return std::nullopt;
    }
}

}  // namespace varnetto::detail
