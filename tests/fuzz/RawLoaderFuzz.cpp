// libFuzzer target over the camera RAW loader: cmake -DVARNETTO_FUZZ=ON with
// clang. Seeds: tests/fuzz/raw-corpus (make-raw-corpus).
#include "RawLoaderCheck.h"
#include "imaging/ImagingRuntime.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char*** argv) {
    varnetto::initImaging((*argv)[0]);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string failure = varnetto::testing::checkRawLoader(
        std::string_view(reinterpret_cast<const char*>(data), size));
    if (!failure.empty()) {
        std::fprintf(stderr, "RAW loader: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
