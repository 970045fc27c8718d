#include "imaging/PictureAssembly.h"

#include "imaging/ImagingDetail.h"

namespace varnetto {

Bitmap joinEdgeToEdge(const std::vector<Bitmap>& copies, bool horizontal) {
    if (copies.empty()) throw ImagingError("拼接图像：没有图像");
    return detail::guarded("拼接图像", [&] {
        const Bitmap& first = copies.front();
        size_t same = 1;
        while (same < copies.size() && copies[same].width() == first.width() &&
               copies[same].height() == first.height())
            ++same;
        const int count = static_cast<int>(same);
        Bitmap strip = same == 1    ? first
                       : horizontal ? first.replicate(count, 1)
                                    : first.replicate(1, count);
        for (size_t i = same; i < copies.size(); ++i)
            strip = strip.join(copies[i],
                               horizontal ? VIPS_DIRECTION_HORIZONTAL : VIPS_DIRECTION_VERTICAL);
        return strip;
    });
}

Bitmap heldInMemory(const Bitmap& picture) {
    return detail::guarded("读入内存", [&] { return detail::decodedInMemory(picture); });
}

}  // namespace varnetto
