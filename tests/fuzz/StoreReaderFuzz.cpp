// libFuzzer target over the store reader: cmake -DVARNETTO_FUZZ=ON with clang.
#include "StoreReaderCheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string failure = varnetto::testing::checkStoreReader(
        std::string_view(reinterpret_cast<const char*>(data), size));
    if (!failure.empty()) {
        std::fprintf(stderr, "store reader: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
