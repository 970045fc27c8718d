#include "ImagingFixtures.h"

#include <gtest/gtest.h>

namespace varnetto::testing {
namespace {

VImage disc(VImage canvas, int cx, int cy, int radius, std::vector<double> color) {
    canvas = canvas.copy().copy_memory();
    canvas.draw_circle(color, cx, cy, radius, VImage::option()->set("fill", true));
    return canvas;
}

TEST(Filters, BrightnessMovesOnlyTheChosenChannels) {
    const VImage picture = solid(8, 8, {100, 150, 200});
    CImageBox box;
    box.PutBitmap(picture);
    box.AdjustBrightness(50, true, true, true);
    EXPECT_EQ(meanDifference(box.GetBitmap(), picture), 0.0) << "50 is no change";
    box.AdjustBrightness(75, true, false, false);
    EXPECT_EQ(pixel(box.GetBitmap(), 0, 0), (std::vector<int>{164, 150, 200}));
    box.PutBitmap(picture);
    box.AdjustBrightness(0, false, true, true);
    EXPECT_EQ(pixel(box.GetBitmap(), 0, 0), (std::vector<int>{100, 23, 73}));
    box.AdjustBrightness(100, true, true, true);
    EXPECT_EQ(pixel(box.GetBitmap(), 0, 0), (std::vector<int>{228, 151, 201}));
    box.AdjustBrightness(100, true, true, true);
    EXPECT_EQ(pixel(box.GetBitmap(), 0, 0)[0], 255) << "clamped, not wrapped";

    // A grey picture turns RGB when only some channels change.
    box.PutBitmap(solid(8, 8, {100}));
    box.AdjustBrightness(75, false, false, true);
    EXPECT_EQ(pixel(box.GetBitmap(), 0, 0), (std::vector<int>{100, 100, 164}));
}

TEST(Filters, ContrastSpreadsOrGathersAroundMidGrey) {
    const VImage picture = solid(4, 4, {64, 128, 192});
    CImageBox box;
    box.PutBitmap(picture);
    box.AdjustContrast(75, true, true, true);
    const std::vector<int> more = pixel(box.GetBitmap(), 0, 0);
    EXPECT_LT(more[0], 10);
    EXPECT_NEAR(more[1], 128, 1);
    EXPECT_GT(more[2], 245);
    box.PutBitmap(picture);
    box.AdjustContrast(25, false, false, true);
    const std::vector<int> less = pixel(box.GetBitmap(), 0, 0);
    EXPECT_EQ(less[0], 64);
    EXPECT_NEAR(less[2], 160, 1);
}

TEST(Filters, ImageActionStretchesEachChannelToTheFullRange) {
    // Red spans 50..150, green is flat, blue spans 0..200.
    const VImage picture =
        solid(2, 1, {50, 90, 0}).join(solid(2, 1, {150, 90, 200}), VIPS_DIRECTION_HORIZONTAL);
    CImageBox box;
    box.PutBitmap(picture);
    box.ImageAction();
    EXPECT_EQ(pixel(box.GetBitmap(), 0, 0), (std::vector<int>{0, 90, 0}));
    EXPECT_EQ(pixel(box.GetBitmap(), 3, 0), (std::vector<int>{255, 90, 255}));
    box.Clear();
    EXPECT_THROW(box.ImageAction(), ImagingError);
}

TEST(Filters, SharpenAndDespeckleGrowWithTheAmount) {
    // A soft edge: sharpening steepens it.
    const VImage edge = solid(16, 32, {60, 60, 60})
                            .join(solid(16, 32, {200, 200, 200}), VIPS_DIRECTION_HORIZONTAL)
                            .gaussblur(1.5)
                            .cast(VIPS_FORMAT_UCHAR);
    CImageBox box;
    double previous = 0;
    for (int amount : {1, 5, 10}) {
        box.PutBitmap(edge);
        box.Sharpen(amount);
        const double change = meanDifference(box.GetBitmap(), edge);
        EXPECT_GT(change, previous) << amount;
        previous = change;
    }

    // White with single black specks and one 3 x 3 black clump.
    VImage speckled = solid(40, 40, {255}).copy_memory();
    for (int i = 0; i < 8; ++i)
        speckled.draw_rect({0}, 3 + i * 4, 5 + (i % 3) * 7, 1, 1,
                           VImage::option()->set("fill", true));
    speckled.draw_rect({0}, 25, 25, 3, 3, VImage::option()->set("fill", true));
    box.PutBitmap(speckled);
    box.Despeckle(1);
    const VImage light = box.GetBitmap();
    EXPECT_EQ(light.crop(0, 0, 40, 22).min(), 255) << "single specks are gone";
    EXPECT_EQ(pixel(light, 26, 26)[0], 0) << "a clump survives the lightest setting";
    box.PutBitmap(speckled);
    box.Despeckle(10);
    EXPECT_EQ(box.GetBitmap().min(), 255) << "the strongest setting removes the clump";
}

// A face-coloured picture with a dark round pupil holding a red disc, and a
// red square patch of the same red elsewhere.
TEST(Filters, RedEyeIsCorrectedButOtherRedsStay) {
    const std::vector<double> red{210, 30, 40};
    VImage face = solid(200, 150, {225, 185, 160});
    face = disc(face, 50, 70, 13, {35, 25, 25});
    face = disc(face, 50, 70, 8, red);
    face = disc(face, 52, 68, 1, {255, 255, 255});  // the flash's glint
    // A small eye further away, in a softer red.
    face = disc(face, 90, 30, 7, {35, 25, 25});
    face = disc(face, 90, 30, 4, {180, 50, 60});
    face = face.insert(solid(16, 16, red), 140, 62);
    // A big red ball, round but far larger than an eye.
    face = disc(face, 120, 125, 22, red);

    CImageBox box;
    box.PutBitmap(face);
    box.RemoveRedEye();
    const VImage fixed = box.GetBitmap();
    for (auto [x, y] : {std::pair{50, 70}, {45, 68}, {55, 73}, {50, 63}}) {
        const std::vector<int> p = pixel(fixed, x, y);
        EXPECT_LT(p[0], 60) << "pupil at " << x << "," << y;
        EXPECT_EQ(p[1], 30);
    }
    EXPECT_LT(pixel(fixed, 90, 30)[0], 70) << "the small eye";
    EXPECT_EQ(pixel(fixed, 52, 68), (std::vector<int>{255, 255, 255})) << "the glint stays";
    EXPECT_EQ(meanDifference(fixed.crop(130, 50, 70, 40), face.crop(130, 50, 70, 40)), 0.0)
        << "the square stays red";
    EXPECT_EQ(meanDifference(fixed.crop(95, 100, 50, 50), face.crop(95, 100, 50, 50)), 0.0)
        << "the ball stays red";
    EXPECT_EQ(pixel(fixed, 10, 10), pixel(face, 10, 10));

    // Nothing red at all: the picture comes back untouched.
    box.PutBitmap(solid(30, 30, {10, 200, 10}));
    box.RemoveRedEye();
    EXPECT_EQ(box.GetBitmap().avg(), solid(30, 30, {10, 200, 10}).avg());
}

TEST(Filters, EdgeEffectRaisesOrSinksTheBorderOnly) {
    const VImage grey = solid(40, 30, {100, 100, 100});
    CImageBox box;
    box.PutBitmap(grey);
    box.SetEdgeEffect(1);
    box.ApplyEdgeEffect(0, 0, 1, 0);
    const VImage raised = box.GetBitmap();
    EXPECT_GT(pixel(raised, 0, 15)[0], 100);
    EXPECT_GT(pixel(raised, 20, 1)[0], 100);
    EXPECT_LT(pixel(raised, 39, 15)[0], 100);
    EXPECT_LT(pixel(raised, 20, 28)[0], 100);
    EXPECT_EQ(pixel(raised, 20, 15)[0], 100);
    EXPECT_EQ(pixel(raised, 20, 2)[0], 100) << "a frame two pixels wide";

    box.PutBitmap(grey);
    box.SetEdgeEffect(2);
    box.ApplyEdgeEffect(0, 0, 1, 0);
    EXPECT_LT(pixel(box.GetBitmap(), 0, 15)[0], 100);
    box.PutBitmap(grey);
    box.SetEdgeEffect(0);
    box.ApplyEdgeEffect(0, 0, 1, 0);
    EXPECT_EQ(meanDifference(box.GetBitmap(), grey), 0.0);
}

}  // namespace
}  // namespace varnetto::testing
