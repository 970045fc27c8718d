#include "imaging/PictureProbe.h"

#include "common/RegularFile.h"
#include "imaging/ImagingDetail.h"

#include <string_view>
#include <utility>

namespace varnetto {

std::optional<PictureFacts> probePicture(const std::string& path) {
    const detail::ErrorScope scope;
    // Sniffing a FIFO would wait for a writer forever.
    if (const RegularFile file(path); !file.opened()) return std::nullopt;
    const char* loader = vips_foreign_find_load(path.c_str());
    // LibRaw reads camera RAW files, most of which libvips takes for TIFFs.
    if (!loader || std::string_view(loader).find("Tiff") != std::string_view::npos) {
        try {
            const detail::PictureHeader header = detail::readPictureHeader(path);
            if (formatOf(header.kind).loader == Codec::LibRaw)
                return PictureFacts{static_cast<int>(header.width),
                                    static_cast<int>(header.height)};
        } catch (const ImagingError&) {
            if (!loader) return std::nullopt;
        }
    }
    if (!loader) {
        vips_error_clear();
        return std::nullopt;
    }
    try {
        vips::VImage image;
        // An explicit loader takes the name literally ("[...]" is no option list).
        vips::VImage::call(loader, vips::VImage::option()
                                       ->set("filename", path.c_str())
                                       ->set("access", VIPS_ACCESS_SEQUENTIAL)
                                       ->set("out", &image));
        PictureFacts facts{image.width(), image.height()};
        if (detail::orientationOf(image) >= 5) std::swap(facts.width, facts.height);
        return facts;
    } catch (const vips::VError& error) {
        detail::takeVipsError(error);
        return std::nullopt;
    }
}

}  // namespace varnetto
