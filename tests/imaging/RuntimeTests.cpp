#include "ImagingFixtures.h"
#include "imaging/ImagingRuntime.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace varnetto::testing {
namespace {

TEST(ImagingThreads, OverlappingPoliciesRestoreTheCountWhenTheLastEnds) {
    setImagingThreads(3);
    {
        const ImagingThreadPolicy single(1);
        EXPECT_EQ(imagingThreads(), 3) << "one worker keeps every libvips thread";
        auto first = std::make_unique<ImagingThreadPolicy>(2);
        EXPECT_EQ(imagingThreads(), 1);
        {
            const ImagingThreadPolicy second(4);
            EXPECT_EQ(imagingThreads(), 1);
            first.reset();
            EXPECT_EQ(imagingThreads(), 1) << "the second run still has its workers";
        }
        EXPECT_EQ(imagingThreads(), 3);
    }
    EXPECT_EQ(imagingThreads(), 3);
    setImagingThreads(0);
}

}  // namespace
}  // namespace varnetto::testing
