#include "imaging/Thumbnails.h"

#include "imaging/ImagingDetail.h"

namespace varnetto {

Bitmap scaledExactly(const Bitmap& image, int width, int height) {
    if (image.width() == width && image.height() == height) return image;
    return detail::guarded("缩放图像", [&] {
        return image.resize(double(width) / image.width(),
                            vips::VImage::option()->set("vscale", double(height) / image.height()));
    });
}

Bitmap thumbnailOfSize(const std::string& path, int width, int height, std::int64_t pixelLimit,
                       std::string* damage) {
    return scaledExactly(CImageBox::Thumbnail(path, width, height, pixelLimit, damage), width,
                         height);
}

}  // namespace varnetto
