#include "imaging/CImageBox.h"
#include "imaging/ImagingRuntime.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    varnetto::initImaging(argv[0]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
