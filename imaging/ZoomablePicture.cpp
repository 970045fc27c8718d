#include "imaging/ZoomablePicture.h"

#include "common/Reporter.h"
#include "imaging/FormatCodecs.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace varnetto {

namespace {

// Every copy of the picture is kept ready for the screen, so that a render
// only crops and scales.
Bitmap opaqueInMemory(const Bitmap& image) {
    const Bitmap opaque = detail::toOpaqueRgb(image);
    // An image already in memory is shared, not copied.
    return detail::decodedInMemory(opaque);
}

[[noreturn]] void failed(const std::string& path, const std::string& reason) {
    if (path.empty()) throw ImagingError(formatMessage("显示图像：%s", reason.c_str()));
    throw ImagingError(formatMessage("无法读取图像 %s：%s", path.c_str(), reason.c_str()));
}

// How far the fitted overview is scaled from the whole picture.
double fittedScale(int width, int height, int boxWidth, int boxHeight) {
    return std::min({1.0, double(boxWidth) / width, double(boxHeight) / height});
}

// The size libvips gives a side of extent pixels scaled by scale.
int scaledExtent(int extent, double scale) {
    return std::max(1, static_cast<int>(std::lround(extent * scale)));
}

}  // namespace

std::shared_ptr<ZoomablePicture> ZoomablePicture::open(const std::string& path, int screenWidth,
                                                       int screenHeight, std::int64_t pixelLimit) {
    const RegularFile file(path);
    const detail::PictureHeader header = detail::readPictureHeader(file, path);
    detail::checkPixelCount(header.width, header.height, pixelLimit, path);
    std::shared_ptr<ZoomablePicture> picture(new ZoomablePicture);
    picture->path_ = path;
    picture->width_ = static_cast<int>(header.width);
    picture->height_ = static_cast<int>(header.height);
    picture->screenWidth_ = std::max(1, screenWidth);
    picture->screenHeight_ = std::max(1, screenHeight);
    picture->pixelLimit_ = pixelLimit;
    picture->kind_ = header.kind;
    // Only libvips' own loaders open a picture without decoding it.
    if (formatOf(header.kind).loader == Codec::Libvips) {
        try {
            const vips::VImage lazy = detail::codecOf(header.kind).load(file.descriptor());
            const int orientation = detail::orientationOf(lazy);
            if (orientation >= 5) std::swap(picture->width_, picture->height_);
            picture->readsTopDown_ = formatOf(header.kind).inOrder.decodes && orientation <= 1;
        } catch (const vips::VError& error) {
            failed(path, detail::takeVipsError(error));
        }
    }
    return picture;
}

std::shared_ptr<ZoomablePicture> ZoomablePicture::fromBitmap(const Bitmap& image, int screenWidth,
                                                             int screenHeight) {
    if (image.get_image() == nullptr) throw ImagingError("显示图像：图像为空");
    std::shared_ptr<ZoomablePicture> picture(new ZoomablePicture);
    const Bitmap full = detail::guarded("显示图像", [&] { return opaqueInMemory(image); });
    picture->full_ = Level{full, full.width(), full.height()};
    picture->width_ = full.width();
    picture->height_ = full.height();
    picture->screenWidth_ = std::max(1, screenWidth);
    picture->screenHeight_ = std::max(1, screenHeight);
    return picture;
}

Bitmap ZoomablePicture::overview() {
    std::lock_guard lock(mutex_);
    return overviewLevel().image;
}

bool ZoomablePicture::needsFullDecode(double scale) {
    std::lock_guard lock(mutex_);
    return !full_ && fittedScale(width_, height_, screenWidth_, screenHeight_) * 1.0001 < scale;
}

void ZoomablePicture::decodeFull() {
    std::lock_guard lock(mutex_);
    fullLevel();
}

Bitmap ZoomablePicture::fullImage() {
    std::lock_guard lock(mutex_);
    return fullLevel().image;
}

const ZoomablePicture::Level& ZoomablePicture::fullLevel() {
    if (full_) return *full_;
    try {
        const Bitmap full = opaqueInMemory(detail::decodePicture(path_, pixelLimit_));
        full_ = Level{full, full.width(), full.height()};
    } catch (const vips::VError& error) {
        failed(path_, detail::takeVipsError(error));
    }
    return *full_;
}

const ZoomablePicture::Level& ZoomablePicture::overviewLevel() {
    if (overview_) return *overview_;
    if (width_ <= screenWidth_ && height_ <= screenHeight_) {
        overview_ = fullLevel();
        return *overview_;
    }
    try {
        Bitmap fitted;
        if (full_) {
            fitted = full_->image.thumbnail_image(
                screenWidth_,
                vips::VImage::option()->set("height", screenHeight_)->set("size", VIPS_SIZE_DOWN));
        } else {
            fitted = CImageBox::Thumbnail(path_, screenWidth_, screenHeight_, pixelLimit_);
        }
        const Bitmap image = opaqueInMemory(fitted);
        overview_ = Level{image, image.width(), image.height()};
    } catch (const vips::VError& error) {
        failed(path_, detail::takeVipsError(error));
    }
    return *overview_;
}

bool ZoomablePicture::enoughDetail(const Level& level, double scaleX, double scaleY) const {
    return level.width + 0.5 >= width_ * scaleX && level.height + 0.5 >= height_ * scaleY;
}

const ZoomablePicture::Level* ZoomablePicture::levelFor(double scaleX, double scaleY) {
    const double fitted = fittedScale(width_, height_, screenWidth_, screenHeight_);
    // Rounding makes the overview a fraction of a pixel larger or smaller.
    if (width_ * scaleX <= width_ * fitted + 1 && height_ * scaleY <= height_ * fitted + 1)
        return &overviewLevel();
    if (!full_) return nullptr;
    const Level* best = &*full_;
    for (size_t next = 0;; ++next) {
        if (next == halves_.size()) {
            // A half is only made when it would serve this render.
            const int halfWidth = best->width / 2;
            const int halfHeight = best->height / 2;
            if (halfWidth < 1 || halfHeight < 1 || halfWidth + 0.5 < width_ * scaleX ||
                halfHeight + 0.5 < height_ * scaleY)
                break;
            const Bitmap half = best->image.shrink(2, 2).copy_memory();
            halves_.push_back(Level{half, half.width(), half.height()});
        }
        if (!enoughDetail(halves_[next], scaleX, scaleY)) break;
        best = &halves_[next];
    }
    return best;
}

Bitmap ZoomablePicture::render(double scaleX, double scaleY, PixelArea area) {
    std::lock_guard lock(mutex_);
    if (!(scaleX > 0) || !(scaleY > 0)) throw ImagingError("显示图像：缩放比例无效");
    const int right = std::min(area.x + area.width, scaledExtent(width_, scaleX));
    const int bottom = std::min(area.y + area.height, scaledExtent(height_, scaleY));
    area.x = std::max(0, area.x);
    area.y = std::max(0, area.y);
    area.width = right - area.x;
    area.height = bottom - area.y;
    if (area.width <= 0 || area.height <= 0) throw ImagingError("显示图像：显示区域为空");

    try {
        const Level* level = levelFor(scaleX, scaleY);
        if (!level && scaleX == 1.0 && scaleY == 1.0 && readsTopDown_) {
            // The first rows of a JPEG decode without the rest: a large
            // picture opens at actual size on its top-left corner.
            const RegularFile file(path_);
            detail::requireOpened(file, path_);
            const vips::VImage lazy = detail::codecOf(kind_).load(file.descriptor());
            return opaqueInMemory(lazy.crop(area.x, area.y, area.width, area.height));
        }
        if (!level) {
            fullLevel();
            level = levelFor(scaleX, scaleY);
        }
        const double factorX = scaleX * width_ / level->width;
        const double factorY = scaleY * height_ / level->height;
        if (std::abs(factorX - 1) < 1e-9 && std::abs(factorY - 1) < 1e-9)
            return level->image.crop(area.x, area.y, area.width, area.height);
        // The whole copy is scaled lazily and only the region is computed:
        // adjacent regions meet without a seam, and shrinking averages.
        const vips::VImage scaled = level->image.resize(
            factorX,
            vips::VImage::option()->set("vscale", factorY)->set("kernel", VIPS_KERNEL_LINEAR));
        // Rounding may leave the scaled copy a pixel short of the picture.
        const int width = std::min(area.width, scaled.width() - area.x);
        const int height = std::min(area.height, scaled.height() - area.y);
        if (width <= 0 || height <= 0) throw ImagingError("显示图像：显示区域为空");
        return scaled.crop(area.x, area.y, width, height);
    } catch (const vips::VError& error) {
        failed(path_, detail::takeVipsError(error));
    }
}

}  // namespace varnetto
