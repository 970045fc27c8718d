#include "RawLoaderCheck.h"
#include "imaging/ImagingRuntime.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

TEST(RawCorpus, EveryDamagedFileIsReadSafely) {
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(VARNETTO_RAW_CORPUS)) {
        if (!entry.is_regular_file()) continue;
        ++files;
        const std::string bytes = varnetto::testing::readBytes(entry.path());
        EXPECT_EQ(varnetto::testing::checkRawLoader(bytes), "") << entry.path();
    }
    EXPECT_GE(files, 20u);
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    varnetto::initImaging(argv[0]);
    return RUN_ALL_TESTS();
}
