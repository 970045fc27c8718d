#include "imaging/ImagingRuntime.h"

#include "imaging/CImageBox.h"

#include <Magick++.h>
#include <malloc.h>
#include <vips/vips8>

#include <mutex>
#include <string>

namespace varnetto {

void initImaging(const char* argv0) {
    static std::once_flag once;
    std::call_once(once, [argv0] {
        if (VIPS_INIT(argv0 ? argv0 : "varnetto") != 0) {
            const std::string reason = vips_error_buffer();
            vips_error_clear();
            throw ImagingError("libvips cannot start: " + reason);
        }
        // A batch reloads files that it has just overwritten; cached loads would
        // hand back the old pixels, and draw operations must never touch a
        // cached result.
        vips_cache_set_max(0);
        vips_cache_set_max_mem(0);
        Magick::InitializeMagick(argv0 ? argv0 : "varnetto");
    });
}

void returnLargeBuffersToTheSystem() {
    // A fixed threshold also stops glibc from raising it after each large free.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
}

}  // namespace varnetto
