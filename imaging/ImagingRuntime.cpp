#include "imaging/ImagingRuntime.h"

#include "imaging/CImageBox.h"
#include "imaging/ImagingDetail.h"

#include <Magick++.h>
#include <malloc.h>
#include <unistd.h>
#include <vips/vips8>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

namespace varnetto {

namespace {

// ImageMagick's limits follow the program's own pixel limit. The system's
// policy (Debian's allows 16K pixels a side, 128 megapixels) may hold them
// lower: ImageMagick never raises a limit above its policy, and a picture
// beyond it then fails alone with ImageMagick's reason.
void limitMagickResources() {
    using namespace MagickCore;
    const auto pixels = static_cast<MagickSizeType>(kDefaultPixelLimit);
    const MagickSizeType bytes = pixels * sizeof(PixelPacket);
    for (const auto& [resource, limit] :
         {std::pair{WidthResource, pixels}, std::pair{HeightResource, pixels},
          std::pair{AreaResource, pixels}, std::pair{MemoryResource, bytes},
          std::pair{MapResource, bytes}, std::pair{DiskResource, bytes}})
        SetMagickResourceLimit(resource, limit);
}

std::mutex policyMutex;
int parallelPolicies = 0;
int threadsBeforePolicies = 0;

}  // namespace

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
        detail::serialiseVectorPrograms();
        detail::installDiagnostics();
        detail::checkErrorAttribution();
        Magick::InitializeMagick(argv0 ? argv0 : "varnetto");
        limitMagickResources();
    });
}

void returnLargeBuffersToTheSystem() {
    // A fixed threshold also stops glibc from raising it after each large free.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
}

void startWithHugePages(char** argv) {
    constexpr const char* kTunables = "GLIBC_TUNABLES";
    constexpr std::string_view kHugePages = "glibc.malloc.hugetlb";
    const char* tunables = std::getenv(kTunables);
    if (tunables && std::string_view(tunables).find(kHugePages) != std::string_view::npos) return;
    std::ifstream mode("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string modes;
    std::getline(mode, modes);
    if (modes.find("[madvise]") == std::string::npos) return;
    std::string value = std::string(kHugePages) + "=1";
    if (tunables && *tunables) value = std::string(tunables) + ":" + value;
    if (::setenv(kTunables, value.c_str(), 1) != 0) return;
    ::execv("/proc/self/exe", argv);
    // Not restarted: go on as before, without the setting it would have had.
    if (tunables)
        ::setenv(kTunables, tunables, 1);
    else
        ::unsetenv(kTunables);
}

int imagingThreads() {
    return vips_concurrency_get();
}

void setImagingThreads(int threads) {
    vips_concurrency_set(threads > 0 ? threads : 0);
}

ImagingThreadPolicy::ImagingThreadPolicy(int workers) {
    if (workers <= 1) return;
    std::lock_guard lock(policyMutex);
    if (parallelPolicies++ == 0) {
        threadsBeforePolicies = vips_concurrency_get();
        vips_concurrency_set(1);
    }
    engaged_ = true;
}

ImagingThreadPolicy::~ImagingThreadPolicy() {
    if (!engaged_) return;
    std::lock_guard lock(policyMutex);
    if (--parallelPolicies == 0) vips_concurrency_set(threadsBeforePolicies);
}

}  // namespace varnetto
