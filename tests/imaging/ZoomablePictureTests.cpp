#include "ImagingFixtures.h"
#include "imaging/ZoomablePicture.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace varnetto::testing {
namespace {

// Largest difference of any band between two images of the same size.
double largestDifference(const VImage& a, const VImage& b) {
    return (a.cast(VIPS_FORMAT_INT) - b.cast(VIPS_FORMAT_INT)).abs().max();
}

// One-pixel black and white stripes: shown smaller they must turn grey, not
// into a pattern of their own.
VImage stripes(int width, int height) {
    const VImage x = VImage::xyz(width, height)[0];
    const VImage value = ((x % 2) == 0).ifthenelse(255, 0);
    return VImage::bandjoin({value, value, value})
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

class ZoomablePictureTest : public ::testing::Test {
  protected:
    TempDir dir;
};

// At actual size a region is exactly those pixels of the decoded picture,
// whether the JPEG's top rows are read alone or the picture is decoded whole.
TEST_F(ZoomablePictureTest, ActualSizeRegionsAreThePicturesOwnPixels) {
    const std::string path = dir.str("field.jpg");
    colorField(900, 700).jpegsave(path.c_str());
    CImageBox box;
    box.LoadFromFile(path);
    const VImage decoded = box.GetBitmap();

    const auto picture = ZoomablePicture::open(path, 400, 300);
    EXPECT_EQ(picture->width(), 900);
    EXPECT_EQ(picture->height(), 700);
    const VImage top = picture->render(1, 1, {100, 0, 300, 200});
    EXPECT_EQ(largestDifference(top, decoded.crop(100, 0, 300, 200)), 0);
    // Read from the top rows only: the full pixels are still not decoded.
    EXPECT_TRUE(picture->needsFullDecode(1));

    picture->decodeFull();
    EXPECT_FALSE(picture->needsFullDecode(2));
    const VImage lower = picture->render(1, 1, {600, 500, 300, 200});
    EXPECT_EQ(largestDifference(lower, decoded.crop(600, 500, 300, 200)), 0);
}

// A turned JPEG is shown upright, its top rows included.
TEST_F(ZoomablePictureTest, ExifOrientationIsApplied) {
    const std::string path = dir.str("turned.jpg");
    redBlue(300, 200).copy().jpegsave(path.c_str());
    VImage tagged = VImage::new_from_file(path.c_str());
    tagged = tagged.copy();
    tagged.set(VIPS_META_ORIENTATION, 6);  // to be turned a quarter clockwise
    const std::string turned = dir.str("turned6.jpg");
    tagged.jpegsave(turned.c_str());

    const auto picture = ZoomablePicture::open(turned, 100, 100);
    ASSERT_EQ(picture->width(), 200);
    ASSERT_EQ(picture->height(), 300);
    // Red was on the left; a quarter turn clockwise puts it on top.
    const VImage region = picture->render(1, 1, {0, 0, 200, 300});
    EXPECT_GT(pixel(region, 100, 20)[0], 200);
    EXPECT_GT(pixel(region, 100, 280)[2], 200);
    const VImage overview = picture->overview();
    EXPECT_EQ(overview.height(), 100);
    EXPECT_GT(pixel(overview, overview.width() / 2, 5)[0], 200);
}

// The overview fits the screen and is never enlarged; a render is clipped to
// the scaled picture and never distorted.
TEST_F(ZoomablePictureTest, OverviewAndScaledRegions) {
    const std::string path = dir.str("halves.png");
    redBlue(800, 400).pngsave(path.c_str());
    const auto large = ZoomablePicture::open(path, 200, 200);
    EXPECT_EQ(large->overview().width(), 200);
    EXPECT_EQ(large->overview().height(), 100);
    EXPECT_FALSE(large->needsFullDecode(0.25));
    EXPECT_TRUE(large->needsFullDecode(0.5));

    const auto small = ZoomablePicture::open(path, 2000, 2000);
    EXPECT_EQ(small->overview().width(), 800);

    // At twice the size the colour edge moves from column 400 to 800.
    const VImage zoomed = large->render(2, 2, {700, 300, 200, 900});
    EXPECT_EQ(zoomed.width(), 200);
    EXPECT_EQ(zoomed.height(), 500);  // clipped at the bottom of 800 rows
    EXPECT_GT(pixel(zoomed, 90, 10)[0], 200);
    EXPECT_GT(pixel(zoomed, 110, 10)[2], 200);
    EXPECT_THROW(large->render(1, 1, {800, 0, 10, 10}), ImagingError);
    EXPECT_THROW(large->render(0, 1, {0, 0, 10, 10}), ImagingError);
}

// Zoomed out between the overview and actual size, fine detail averages out
// instead of aliasing into stripes of its own.
TEST_F(ZoomablePictureTest, ZoomingOutAveragesFineDetail) {
    const std::string path = dir.str("stripes.png");
    stripes(1600, 64).pngsave(path.c_str());
    const auto picture = ZoomablePicture::open(path, 100, 100);
    for (double scale : {0.3, 0.45, 0.7}) {
        const VImage shown = picture->render(scale, scale, {0, 0, 400, 16});
        EXPECT_NEAR(shown.avg(), 127.5, 10) << scale;
        EXPECT_LT(shown.deviate(), 40) << scale;
    }
}

// A caller's picture is shared, never changed: grey stays one band, and the
// transparent parts are shown on white.
TEST_F(ZoomablePictureTest, BitmapsAreLeftAsTheyAre) {
    const VImage grey = solid(40, 30, {90});
    const auto fromGrey = ZoomablePicture::fromBitmap(grey, 20, 20);
    const VImage shown = fromGrey->render(1, 1, {0, 0, 40, 30});
    EXPECT_EQ(shown.bands(), 3);
    EXPECT_EQ(pixel(shown, 5, 5), (std::vector<int>{90, 90, 90}));
    EXPECT_EQ(grey.bands(), 1);
    EXPECT_EQ(fromGrey->overview().width(), 20);

    const VImage clear = solid(10, 10, {0, 0, 0, 0});
    const VImage onWhite = ZoomablePicture::fromBitmap(clear, 10, 10)->render(1, 1, {0, 0, 10, 10});
    EXPECT_EQ(pixel(onWhite, 3, 3), (std::vector<int>{255, 255, 255}));
    EXPECT_EQ(clear.bands(), 4);
}

TEST_F(ZoomablePictureTest, FailuresNameTheFile) {
    const std::string broken = dir.str("broken.jpg");
    writeBytes(broken, "this is not a picture");
    try {
        ZoomablePicture::open(broken, 100, 100);
        FAIL() << "opened a broken file";
    } catch (const ImagingError& error) {
        EXPECT_NE(std::string(error.what()).find(broken), std::string::npos);
    }

    const std::string big = dir.str("big.png");
    solid(300, 300, {1, 2, 3}).pngsave(big.c_str());
    EXPECT_THROW(ZoomablePicture::open(big, 100, 100, 1000), ImagingError);

    // A JPEG cut short fails when its pixels are needed, naming the file.
    const std::string cut = dir.str("cut.jpg");
    colorField(600, 600).jpegsave(cut.c_str());
    const std::string bytes = readBytes(cut);
    writeBytes(cut, bytes.substr(0, bytes.size() / 3));
    const auto picture = ZoomablePicture::open(cut, 100, 100);
    try {
        picture->render(1, 1, {0, 0, 600, 600});
        FAIL() << "rendered a cut file";
    } catch (const ImagingError& error) {
        EXPECT_NE(std::string(error.what()).find(cut), std::string::npos);
    }
}

}  // namespace
}  // namespace varnetto::testing
