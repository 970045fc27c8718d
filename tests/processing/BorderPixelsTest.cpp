#include "PixelSupport.h"
#include "processing/BorderCompositing.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace varnetto {
namespace {

using testing::regionIs;
using testing::Rgb;
using testing::TempDir;

constexpr Rgb kImage{90, 160, 30};
constexpr Rgb kTopA{255, 0, 0}, kTopB{128, 0, 0};
constexpr Rgb kLeftA{0, 255, 0}, kLeftB{0, 128, 0};
constexpr Rgb kBottomA{0, 0, 255}, kBottomB{0, 0, 128};
constexpr Rgb kRightA{255, 255, 0}, kRightB{128, 128, 0};
constexpr Rgb kTopLeft{255, 0, 255}, kBottomLeft{0, 255, 255}, kBottomRight{64, 64, 64},
    kTopRight{200, 100, 0};

// Edges: top 30 x 10, left 6 x 20, bottom 30 x 8, right 5 x 20, each in two
// halves along its length. Corners: 12 x 12, solid.
class BorderPixels : public ::testing::Test {
  protected:
    void SetUp() override {
        using testing::solid;
        using testing::twoTone;
        const Bitmap pieces[8] = {twoTone(30, 10, true, kTopA, kTopB),
                                  twoTone(6, 20, false, kLeftA, kLeftB),
                                  twoTone(30, 8, true, kBottomA, kBottomB),
                                  twoTone(5, 20, false, kRightA, kRightB),
                                  solid(12, 12, kTopLeft),
                                  solid(12, 12, kBottomLeft),
                                  solid(12, 12, kBottomRight),
                                  solid(12, 12, kTopRight)};
        for (size_t i = 0; i < 8; ++i) {
            paths[i] = dir.str("set_" + std::to_string(i + 1) + ".bmp");
            testing::writeBmp(pieces[i], paths[i]);
        }
    }

    Bitmap border(const Bitmap& image, bool adaptive, bool inner) {
        CImageBox control;
        Bitmap out = compositeBorder(control, image, paths, adaptive, inner);
        EXPECT_FALSE(control.HasImage());
        return out;
    }

    // The top run of the given segments starting at x = 6, halves checked
    // clear of the meeting points.
    void expectTopRun(const Bitmap& out, const std::vector<RunSegment>& segments) {
        for (const RunSegment& s : segments) {
            const int half = s.length / 2;
            EXPECT_TRUE(regionIs(out, 6 + s.offset, 0, half, 10, kTopA, 2)) << s.offset;
            EXPECT_TRUE(regionIs(out, 6 + s.offset + half, 0, s.length - half, 10, kTopB, 2))
                << s.offset;
        }
    }

    // Everything but the top run for an image of 100 x 40 at (6, 10).
    void expectFrame(const Bitmap& out) {
        ASSERT_EQ(out.width(), 111);
        ASSERT_EQ(out.height(), 58);
        // Left run 40 with a 20 high piece: two natural copies.
        EXPECT_TRUE(regionIs(out, 0, 10, 6, 10, kLeftA, 1));
        EXPECT_TRUE(regionIs(out, 0, 20, 6, 10, kLeftB, 1));
        EXPECT_TRUE(regionIs(out, 0, 30, 6, 10, kLeftA, 1));
        EXPECT_TRUE(regionIs(out, 0, 40, 6, 10, kLeftB, 1));
        EXPECT_TRUE(regionIs(out, 106, 10, 5, 10, kRightA, 1));
        EXPECT_TRUE(regionIs(out, 106, 40, 5, 10, kRightB, 1));
        EXPECT_TRUE(regionIs(out, 6, 50, 15, 8, kBottomA, 2));
        EXPECT_TRUE(regionIs(out, 66, 50, 20, 8, kBottomA, 2));
        EXPECT_TRUE(regionIs(out, 86, 50, 20, 8, kBottomB, 2));
        // Corners take the thicknesses of the edges meeting there.
        EXPECT_TRUE(regionIs(out, 0, 0, 6, 10, kTopLeft));
        EXPECT_TRUE(regionIs(out, 0, 50, 6, 8, kBottomLeft));
        EXPECT_TRUE(regionIs(out, 106, 50, 5, 8, kBottomRight));
        EXPECT_TRUE(regionIs(out, 106, 0, 5, 10, kTopRight));
    }

    TempDir dir;
    std::array<std::string, 8> paths;
};

TEST_F(BorderPixels, OuterSmallRemainderStretchesTheLastCopy) {
    const Bitmap out = border(testing::solid(100, 40, kImage), false, false);
    expectFrame(out);
    EXPECT_TRUE(regionIs(out, 6, 10, 100, 40, kImage));
    expectTopRun(out, {{0, 30}, {30, 30}, {60, 40}});
}

TEST_F(BorderPixels, OuterLargeRemainderShrinksTheLastCopy) {
    const Bitmap out = border(testing::solid(110, 40, kImage), false, false);
    ASSERT_EQ(out.width(), 121);
    expectTopRun(out, {{0, 30}, {30, 30}, {60, 30}, {90, 20}});
    EXPECT_TRUE(regionIs(out, 116, 0, 5, 10, kTopRight));
}

TEST_F(BorderPixels, AdaptiveStretchesEachEdgeOnce) {
    const Bitmap out = border(testing::solid(100, 40, kImage), true, false);
    expectTopRun(out, {{0, 100}});
    EXPECT_TRUE(regionIs(out, 0, 10, 6, 20, kLeftA, 2));
    EXPECT_TRUE(regionIs(out, 0, 30, 6, 20, kLeftB, 2));
}

TEST_F(BorderPixels, InnerPaintsOverTheMarginsAndKeepsTheSize) {
    const Bitmap out = border(testing::solid(111, 58, kImage), false, true);
    expectFrame(out);
    expectTopRun(out, {{0, 30}, {30, 30}, {60, 40}});
    EXPECT_TRUE(regionIs(out, 6, 10, 100, 40, kImage));
}

TEST_F(BorderPixels, InnerPiecesLargerThanTheImageDrawWithoutError) {
    const Bitmap out = border(testing::solid(9, 12, kImage), false, true);
    ASSERT_EQ(out.width(), 9);
    ASSERT_EQ(out.height(), 12);
    // Only corners are drawn; the last one, top-right at (4, 0), covers the top row's right part.
    EXPECT_TRUE(regionIs(out, 4, 0, 5, 10, kTopRight));
}

TEST_F(BorderPixels, MissingPiecesAreLeftOut) {
    std::filesystem::remove(paths[0]);  // no top edge: no top corners, no top thickness
    std::filesystem::remove(paths[6]);  // no bottom-right corner
    const Bitmap out = border(testing::solid(100, 40, kImage), false, false);
    ASSERT_EQ(out.width(), 111);
    ASSERT_EQ(out.height(), 48);
    EXPECT_TRUE(regionIs(out, 6, 0, 100, 40, kImage));
    EXPECT_TRUE(regionIs(out, 0, 40, 6, 8, kBottomLeft));
    // The blank canvas shows where the bottom-right corner would be.
    EXPECT_TRUE(regionIs(out, 106, 40, 5, 8, {255, 255, 255}));
}

TEST_F(BorderPixels, AllPiecesMissing) {
    for (const auto& p : paths) std::filesystem::remove(p);
    const Bitmap image = testing::solid(100, 40, kImage);
    EXPECT_TRUE(testing::samePixels(border(image, false, true), image));
    const Bitmap outer = border(image, false, false);
    EXPECT_EQ(outer.width(), 100);
    EXPECT_EQ(outer.height(), 40);
    EXPECT_TRUE(regionIs(outer, 0, 0, 100, 40, kImage));
}

TEST_F(BorderPixels, UndecodablePieceNamesTheFile) {
    testing::writeBytes(paths[3], "BM not really");
    try {
        border(testing::solid(100, 40, kImage), false, false);
        FAIL() << "a broken piece was accepted";
    } catch (const ImagingError& e) {
        EXPECT_NE(std::string(e.what()).find(paths[3]), std::string::npos) << e.what();
    }
}

// Eight 17,000-pixel pieces (289 megapixels each, 7.7 GB decoded) are
// refused from their headers, before any is decoded.
TEST_F(BorderPixels, PiecesTooLargeTogetherAreRefusedFromTheirHeaders) {
    // A GIF of 17000 x 17000 whose one frame holds no pixel data: 34 bytes.
    const std::string size("\x68\x42\x68\x42", 4);  // 17000, 17000
    const std::string bomb = "GIF89a" + size + std::string("\x80\0\0\0\0\0\xFF\xFF\xFF", 9) +
                             std::string(",\0\0\0\0", 5) + size +
                             std::string("\0\x02\x01\x2C\0;", 6);
    for (const std::string& path : paths) testing::writeBytes(path, bomb);
    for (const bool inner : {false, true}) {
        SCOPED_TRACE(inner);
        try {
            border(testing::solid(800, 600, kImage), false, inner);
            FAIL() << "the pieces were accepted";
        } catch (const ImagingError& e) {
            EXPECT_NE(std::string(e.what()).find("边框图像共 2312000000 像素"), std::string::npos)
                << e.what();
        }
    }
}

}  // namespace
}  // namespace varnetto
