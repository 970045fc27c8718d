#pragma once

#include "common/ImageFormats.h"
#include "imaging/CImageBox.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace varnetto {

// A rectangle of pixels: left, top, width, height.
struct PixelArea {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const PixelArea&) const = default;
};

// A picture prepared for a view that zooms and pans. It starts from an
// overview at about screen size, decoded with shrink-on-load; the
// full-resolution pixels are decoded only once a view shows more detail than
// the overview holds, and halved copies of them serve the zooms in between.
// A render produces only the region asked for, from the smallest copy with
// enough detail. Calls may come from any thread; they are serialised.
class ZoomablePicture {
  public:
    // Reads the header of path (the upright size); decodes no pixels. Throws
    // ImagingError naming the file, also when it has more than pixelLimit
    // pixels.
    static std::shared_ptr<ZoomablePicture> open(const std::string& path, int screenWidth,
                                                 int screenHeight,
                                                 std::int64_t pixelLimit = kDefaultPixelLimit);
    // A picture already decoded (a caller's image, a processed result). It is
    // shared and never changed.
    static std::shared_ptr<ZoomablePicture> fromBitmap(const Bitmap& image, int screenWidth,
                                                       int screenHeight);

    ZoomablePicture(const ZoomablePicture&) = delete;
    ZoomablePicture& operator=(const ZoomablePicture&) = delete;

    // Upright size of the whole picture.
    int width() const { return width_; }
    int height() const { return height_; }
    // "" for a picture made from a bitmap.
    const std::string& path() const { return path_; }

    // The whole picture fitted into the screen size, never enlarged: 8-bit
    // sRGB, transparency laid onto white. Throws ImagingError naming the file.
    Bitmap overview();
    // Whether a render at scale (the larger of the two axes) would first have
    // to decode the full-resolution pixels.
    bool needsFullDecode(double scale);
    // Decodes the full-resolution pixels now, if they are not yet.
    void decodeFull();
    // The full-resolution pixels (decoded if they are not yet), opaque.
    Bitmap fullImage();

    // The part area of the picture scaled by scaleX x scaleY, where area is
    // in scaled pixels and is clipped to the scaled picture: 8-bit sRGB,
    // 3 bands, transparency laid onto white. A picture at actual size whose
    // full pixels are not decoded yet is read from the file down to the last
    // row asked for, when the file allows that. Throws ImagingError naming
    // the file; an empty area (after clipping) is an error.
    Bitmap render(double scaleX, double scaleY, PixelArea area);

  private:
    struct Level {
        Bitmap image;
        int width = 0;
        int height = 0;
    };

    ZoomablePicture() = default;
    const Level& overviewLevel();
    const Level& fullLevel();
    // The smallest decoded copy with at least the detail of scale x scale.
    const Level* levelFor(double scaleX, double scaleY);
    bool enoughDetail(const Level& level, double scaleX, double scaleY) const;

    std::mutex mutex_;
    std::string path_;
    int width_ = 0;
    int height_ = 0;
    int screenWidth_ = 0;
    int screenHeight_ = 0;
    std::int64_t pixelLimit_ = kDefaultPixelLimit;
    FileKind kind_{};
    bool readsTopDown_ = false;  // upright, of a format whose top rows decode alone
    std::optional<Level> overview_;
    std::optional<Level> full_;
    std::deque<Level> halves_;  // full / 2, full / 4, ... as far as needed
};

}  // namespace varnetto
