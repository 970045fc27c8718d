#pragma once

#include <optional>
#include <string>

namespace varnetto {

// What a picture's header tells without decoding its pixels.
struct PictureFacts {
    int width = 0;  // upright: EXIF orientation applied
    int height = 0;
};

// Reads the header of any picture libvips recognises by its content. nullopt
// when none recognises it (a WBMP has no signature) or the header is
// unreadable.
std::optional<PictureFacts> probePicture(const std::string& path);

}  // namespace varnetto
