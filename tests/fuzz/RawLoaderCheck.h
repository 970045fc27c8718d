#pragma once

#include "imaging/CImageBox.h"
#include "imaging/PictureProbe.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace varnetto::testing {

// What must hold for any bytes given to the RAW loader, named as a camera
// file: it decodes to the size its header promised, or fails with a reason
// that names the file. Empty when it holds.
inline std::string checkRawLoader(std::string_view bytes) {
    // The fuzzer reads thousands of files a second: tmpfs, one name per
    // process.
    const std::string path = "/dev/shm/varnetto-raw-fuzz-" + std::to_string(::getpid()) + ".nef";
    if (std::FILE* out = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
    } else {
        return "cannot write " + path;
    }
    std::string failure;
    auto named = [&](const ImagingError& error, const char* what) {
        if (std::string(error.what()).find(path) == std::string::npos)
            failure = std::string(what) + " failed without naming the file: " + error.what();
    };
    constexpr std::int64_t kLimit = 4'000'000;
    try {
        const auto facts = probePicture(path);
        CImageBox box;
        box.SetPixelLimit(kLimit);
        box.LoadFromFile(path);
        if (std::int64_t(box.ImageWidth()) * box.ImageHeight() > kLimit)
            failure = "decoded past the pixel limit";
        else if (facts && (facts->width != box.ImageWidth() || facts->height != box.ImageHeight()))
            failure = "decoded to another size than the header's";
    } catch (const ImagingError& error) {
        named(error, "decoding");
    }
    try {
        const Bitmap thumb = CImageBox::Thumbnail(path, 64, 48, kLimit);
        if (thumb.width() > 64 || thumb.height() > 48) failure = "thumbnail larger than asked";
    } catch (const ImagingError& error) {
        if (failure.empty()) named(error, "thumbnail");
    }
    std::remove(path.c_str());
    return failure;
}

}  // namespace varnetto::testing
