#include "ImagingFixtures.h"
#include "imaging/FitToBox.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace varnetto::testing {
namespace {

// One-pixel black and white columns.
VImage stripes(int width, int height) {
    return ((VImage::xyz(width, height)[0] % 2) * 255)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W));
}

TEST(Resizing, NearestWithoutResamplingAndRealKernelsWithIt) {
    CImageBox box;
    box.SetResampleOnResize(false);
    box.PutBitmap(stripes(64, 64));
    box.Resize(21, 21);
    EXPECT_EQ(box.ImageWidth(), 21);
    EXPECT_EQ(box.ImageHeight(), 21);
    EXPECT_EQ(distinctColors(box.GetBitmap()), 2u) << "nearest neighbour invents no values";

    box.SetResampleOnResize(true);
    std::vector<VImage> results;
    for (ResampleFilter filter :
         {ResampleFilter::Bilinear, ResampleFilter::Hermite, ResampleFilter::Bell,
          ResampleFilter::Spline, ResampleFilter::Lanczos, ResampleFilter::Mitchell}) {
        SCOPED_TRACE(static_cast<int>(filter));
        box.SetResampleFilter(filter);
        box.PutBitmap(colorField(64, 64)
                          .bandjoin(stripes(64, 64))
                          .extract_band(1, VImage::option()->set("n", 3)));
        box.Resize(27, 19);
        EXPECT_EQ(box.ImageWidth(), 27);
        EXPECT_EQ(box.ImageHeight(), 19);
        results.push_back(box.GetBitmap());
    }
    // Bilinear, Hermite, Lanczos and Mitchell are different kernels.
    for (int a : {0, 1, 4, 5})
        for (int b : {0, 1, 4, 5})
            if (a < b) {
                EXPECT_GT(meanDifference(results[a], results[b]), 0.05) << a << " " << b;
            }
}

TEST(Resizing, SizesBelowOneBecomeOneAndTheLimitHolds) {
    CImageBox box;
    box.PutBitmap(colorField(30, 20));
    box.Resize(0, -4);
    EXPECT_EQ(box.ImageWidth(), 1);
    EXPECT_EQ(box.ImageHeight(), 1);
    box.SetPixelLimit(1'000'000);
    EXPECT_THROW(box.Resize(2000, 2000), ImagingError);
    EXPECT_EQ(box.ImageWidth(), 1) << "a refused resize keeps the image";
}

TEST(Resizing, ScaleByPercentTruncatesBothSides) {
    CImageBox box;
    box.CreateBlank(1000, 700);
    box.ScaleByPercent(33.3f);
    EXPECT_EQ(box.ImageWidth(), 333);
    EXPECT_EQ(box.ImageHeight(), 233);
    box.CreateBlank(41, 30);
    box.ScaleByPercent(50.0f);
    EXPECT_EQ(box.ImageWidth(), 20);
    EXPECT_EQ(box.ImageHeight(), 15);
    box.ScaleByPercent(0.0f);
    EXPECT_EQ(box.ImageWidth(), 1);
    box.SetPixelLimit(1'000'000);
    EXPECT_THROW(box.ScaleByPercent(1e9f), ImagingError);
}

TEST(Resizing, TransparentColoursDoNotBleedIntoOpaqueOnes) {
    // Left: fully transparent red; right: opaque green.
    const VImage picture = solid(16, 16, {255, 0, 0, 0})
                               .join(solid(16, 16, {0, 255, 0, 255}), VIPS_DIRECTION_HORIZONTAL);
    CImageBox box;
    box.SetResampleFilter(ResampleFilter::Lanczos);
    box.PutBitmap(picture);
    box.Resize(13, 7);
    const VImage out = box.GetBitmap();
    ASSERT_EQ(out.bands(), 4);
    for (int x = 0; x < 13; ++x) {
        const std::vector<int> p = pixel(out, x, 3);
        if (p[3] > 32) {
            EXPECT_LT(p[0], 24) << "red bled in at x=" << x;
        }
    }
}

class Drawing : public ::testing::Test {
  protected:
    void SetUp() override {
        box.CreateBlank(20, 20);
        box.SetPositionedDraw(true);
        box.SetDrawMode(1);
    }
    std::vector<int> at(int x, int y) { return pixel(box.GetBitmap(), x, y); }
    CImageBox box;
    const std::vector<int> white{255, 255, 255};
    const std::vector<int> red{255, 0, 0};
};

TEST_F(Drawing, BlankIsWhiteAndOpaqueDrawsLandAtDrawXY) {
    EXPECT_EQ(box.GetBitmap().bands(), 3);
    EXPECT_EQ(box.GetBitmap().min(), 255);
    box.SetDrawX(3);
    box.SetDrawY(5);
    box.DrawBitmap(solid(4, 4, {255, 0, 0}));
    EXPECT_EQ(at(3, 5), red);
    EXPECT_EQ(at(6, 8), red);
    EXPECT_EQ(at(2, 5), white);
    EXPECT_EQ(at(7, 8), white);
    EXPECT_EQ(at(3, 9), white);
}

TEST_F(Drawing, PicturesAreClippedAtEveryEdge) {
    box.SetDrawX(-2);
    box.SetDrawY(-2);
    box.DrawBitmap(solid(4, 4, {255, 0, 0}));
    box.SetDrawX(18);
    box.SetDrawY(17);
    box.DrawBitmap(solid(5, 5, {255, 0, 0, 255}));
    EXPECT_EQ(at(0, 0), red);
    EXPECT_EQ(at(1, 1), red);
    EXPECT_EQ(at(2, 2), white);
    EXPECT_EQ(at(19, 19), red);
    EXPECT_EQ(at(17, 19), white);
    box.SetDrawX(100);
    box.DrawBitmap(solid(4, 4, {0, 0, 255}));
    box.SetDrawX(-10);
    box.DrawBitmap(solid(4, 4, {0, 0, 255}));
    EXPECT_EQ(box.ImageWidth(), 20);
    EXPECT_EQ(box.GetBitmap()[2].min(), 0) << "only the red pixels lack blue";
    EXPECT_EQ(at(10, 10), white);
    EXPECT_EQ(box.GetBitmap().bands(), 3);
}

TEST_F(Drawing, AlphaIsHonouredAndTheKeyColourCanBeTransparent) {
    box.SetDrawX(0);
    box.SetDrawY(0);
    box.DrawBitmap(solid(10, 10, {255, 0, 0, 128}));
    const std::vector<int> half = at(5, 5);
    EXPECT_EQ(half[0], 255);
    EXPECT_NEAR(half[1], 127, 3);
    EXPECT_EQ(box.GetBitmap().bands(), 3) << "an opaque image stays without alpha";
    box.DrawBitmap(solid(10, 10, {0, 0, 255, 0}));
    EXPECT_EQ(at(5, 5), half) << "a transparent picture changes nothing";

    // Magenta (the top-left pixel) shows what lies beneath.
    const VImage keyed = solid(6, 6, {255, 0, 255}).insert(solid(2, 2, {0, 0, 0}), 2, 2);
    box.CreateBlank(20, 20);
    box.SetTransparentOverlay(true);
    box.DrawBitmap(keyed);
    EXPECT_EQ(at(0, 0), white);
    EXPECT_EQ(at(2, 2), (std::vector<int>{0, 0, 0}));
    box.SetTransparentOverlay(false);
    box.DrawBitmap(keyed);
    EXPECT_EQ(at(0, 0), (std::vector<int>{255, 0, 255}));
}

TEST_F(Drawing, ColourOnGreyWidensAndFilesCanBeOverlaid) {
    box.PutBitmap(solid(20, 20, {128}));
    box.SetDrawX(1);
    box.SetDrawY(1);
    box.DrawBitmap(solid(2, 2, {255, 0, 0}));
    EXPECT_EQ(box.GetBitmap().bands(), 3);
    EXPECT_EQ(at(1, 1), red);
    EXPECT_EQ(box.GetColorType(), ColorType::TrueColor24);

    TempDir dir;
    const std::string stamp = dir.str("stamp.png");
    solid(4, 4, {0, 255, 0, 255}).pngsave(stamp.c_str());
    box.SetDrawX(10);
    box.SetDrawY(12);
    box.OverlayFile(stamp);
    EXPECT_EQ(at(10, 12), (std::vector<int>{0, 255, 0}));
    EXPECT_THROW(box.OverlayFile(dir.str("absent.png")), ImagingError);
}

TEST_F(Drawing, ThumbnailModeCentresOnAFrameAndPutsMarksInTheCorner) {
    box.SetDrawMode(0);
    box.PutBitmap(solid(100, 50, {255, 0, 0}));
    box.DrawBitmap(solid(160, 120, {0, 0, 0}).insert(solid(156, 116, {0, 255, 0}), 2, 2));
    EXPECT_EQ(box.ImageWidth(), 160);
    EXPECT_EQ(box.ImageHeight(), 120);
    EXPECT_EQ(at(80, 60), red) << "the picture lies on top of the frame";
    EXPECT_EQ(at(20, 60), (std::vector<int>{0, 255, 0})) << "the frame around it";
    EXPECT_EQ(at(0, 0), (std::vector<int>{0, 0, 0}));
    box.DrawBitmap(solid(10, 8, {0, 0, 255}));
    EXPECT_EQ(at(159, 119), (std::vector<int>{0, 0, 255}));
    EXPECT_EQ(at(149, 119), (std::vector<int>{0, 0, 0}));
}

TEST(RotationAndFlip, QuarterTurnsAreExactAndOtherAnglesGrowWhite) {
    CImageBox box;
    const VImage picture = redBlue(40, 30);
    box.PutBitmap(picture);
    box.Rotate(90);
    EXPECT_EQ(box.ImageWidth(), 30);
    EXPECT_EQ(box.ImageHeight(), 40);
    EXPECT_EQ(pixel(box.GetBitmap(), 15, 5), (std::vector<int>{255, 0, 0})) << "clockwise";
    EXPECT_EQ(meanDifference(box.GetBitmap(), picture.rot(VIPS_ANGLE_D90)), 0.0);

    box.PutBitmap(picture);
    box.Rotate(-90);
    EXPECT_EQ(meanDifference(box.GetBitmap(), picture.rot(VIPS_ANGLE_D270)), 0.0);
    box.PutBitmap(picture);
    box.Rotate(270);
    EXPECT_EQ(meanDifference(box.GetBitmap(), picture.rot(VIPS_ANGLE_D270)), 0.0);
    box.PutBitmap(picture);
    box.Rotate(180);
    EXPECT_EQ(meanDifference(box.GetBitmap(), picture.rot(VIPS_ANGLE_D180)), 0.0);
    box.PutBitmap(picture);
    box.Rotate(360);
    EXPECT_EQ(meanDifference(box.GetBitmap(), picture), 0.0);

    box.PutBitmap(picture);
    box.Rotate(45);
    EXPECT_GT(box.ImageWidth(), 45);
    EXPECT_GT(box.ImageHeight(), 45);
    EXPECT_EQ(pixel(box.GetBitmap(), 0, 0), (std::vector<int>{255, 255, 255}));
}

TEST(RotationAndFlip, FlipMirrorsEitherWay) {
    CImageBox box;
    box.PutBitmap(redBlue(40, 30));
    box.Flip(FlipDirection::Horizontal);
    EXPECT_EQ(pixel(box.GetBitmap(), 5, 5), (std::vector<int>{0, 0, 255}));
    const VImage topRed =
        solid(10, 5, {255, 0, 0}).join(solid(10, 5, {0, 0, 255}), VIPS_DIRECTION_VERTICAL);
    box.PutBitmap(topRed);
    box.Flip(FlipDirection::Vertical);
    EXPECT_EQ(pixel(box.GetBitmap(), 5, 0), (std::vector<int>{0, 0, 255}));
    box.Flip(FlipDirection::None);
    EXPECT_EQ(pixel(box.GetBitmap(), 5, 0), (std::vector<int>{0, 0, 255})) << "None is no flip";
}

TEST(Fitting, SizesFollowTheBoxTable) {
    struct Case {
        int w, h, bw, bh, rw, rh;
        FitResult expected;
    };
    const std::vector<Case> cases = {
        {400, 300, 200, 100, 0, 0, {133, 100, true}},
        {100, 50, 200, 100, 0, 0, {200, 100, false}},
        {50, 50, 200, 100, 0, 0, {50, 50, true}},
        {300, 100, 200, 100, 0, 0, {200, 66, true}},
        {300, 100, 200, 100, 150, 150, {150, 150, true}},
        {10, 10, 200, 100, 199, 99, {199, 99, false}},
        {10, 10, 200, 100, 197, 99, {197, 99, true}},
        {5000, 1, 200, 100, 0, 0, {200, 1, true}},
        {30, 20, 0, 0, 0, 0, {1, 1, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        const FitResult fit = fitToBoxSize(c.w, c.h, c.bw, c.bh, c.rw, c.rh);
        EXPECT_EQ(fit.width, c.expected.width);
        EXPECT_EQ(fit.height, c.expected.height);
        EXPECT_EQ(fit.edgeEffect, c.expected.edgeEffect);
    }
}

TEST(Fitting, FitToBoxResizesFramesAndLeavesTheControlEmpty) {
    CImageBox control;
    const VImage picture = solid(400, 300, {100, 100, 100});
    const VImage shown = FitToBox(control, picture, 200, 100);
    EXPECT_FALSE(control.HasImage());
    EXPECT_EQ(shown.width(), 133);
    EXPECT_EQ(shown.height(), 100);
    EXPECT_EQ(picture.width(), 400) << "the caller's bitmap is untouched";
    // The raised frame: lighter at the top left, darker at the bottom right.
    EXPECT_GT(pixel(shown, 0, 50)[0], 140);
    EXPECT_GT(pixel(shown, 60, 0)[0], 140);
    EXPECT_LT(pixel(shown, 132, 50)[0], 80);
    EXPECT_LT(pixel(shown, 60, 99)[0], 80);
    EXPECT_EQ(pixel(shown, 60, 50)[0], 100);

    const VImage exact = FitToBox(control, solid(100, 50, {100, 100, 100}), 200, 100);
    EXPECT_EQ(exact.width(), 200);
    EXPECT_EQ(exact.avg(), 100) << "no frame when the picture fills the box";
    const VImage requested = FitToBox(control, picture, 200, 100, 77, 33);
    EXPECT_EQ(requested.width(), 77);
    EXPECT_EQ(requested.height(), 33);
}

TEST(Control, OperationsWithoutAnImageFailClearly) {
    CImageBox box;
    EXPECT_FALSE(box.HasImage());
    EXPECT_EQ(box.ImageWidth(), 0);
    EXPECT_THROW(box.GetBitmap(), ImagingError);
    EXPECT_THROW(box.Resize(10, 10), ImagingError);
    EXPECT_THROW(box.DrawTextAt(0, 0, "x"), ImagingError);
    EXPECT_THROW(box.PutBitmap(VImage()), ImagingError);
    box.CreateBlank(5, 5);
    box.Clear();
    EXPECT_THROW(box.Rotate(90), ImagingError);
}

}  // namespace
}  // namespace varnetto::testing
