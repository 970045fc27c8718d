#include "imaging/PictureProbe.h"

#include "common/RegularFile.h"
#include "imaging/ImagingDetail.h"

#include <string>
#include <string_view>
#include <utility>

namespace varnetto {

std::optional<PictureFacts> probePicture(const std::string& path) {
    const detail::ErrorScope scope;
    // Sniffing a FIFO would wait for a writer forever. The file checked is the
    // one read, whatever the name leads to meanwhile: libvips opens it again
    // through the open descriptor (ImageMagick's loaders read no source), and
    // the image is gone before the descriptor is closed.
    const RegularFile file(path);
    if (!file.opened()) return std::nullopt;
    const std::string opened = "/proc/self/fd/" + std::to_string(file.descriptor());
    const char* loader = vips_foreign_find_load(opened.c_str());
    // LibRaw reads camera RAW files, most of which libvips takes for TIFFs.
    if (!loader || std::string_view(loader).find("Tiff") != std::string_view::npos) {
        try {
            const detail::PictureHeader header = detail::readPictureHeader(file, path);
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
                                       ->set("filename", opened.c_str())
                                       // never an earlier file's, cached under this name
                                       ->set("revalidate", true)
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
