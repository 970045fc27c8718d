#include "StoreReaderCheck.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

TEST(StoreCorpus, EveryDamagedFileIsReadSafely) {
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(VARNETTO_STORE_CORPUS)) {
        if (!entry.is_regular_file()) continue;
        ++files;
        const std::string bytes = varnetto::testing::readBytes(entry.path());
        EXPECT_EQ(varnetto::testing::checkStoreReader(bytes), "") << entry.path();
    }
    EXPECT_GE(files, 10u);
}
