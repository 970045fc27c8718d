#include "imaging/CImageBox.h"
#include "imaging/ImagingRuntime.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    varnetto::initImaging(argv[0]);
    return RUN_ALL_TESTS();
}
