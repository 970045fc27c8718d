#include "processing/BorderCompositing.h"

#include <gtest/gtest.h>

namespace varnetto {
namespace {

using Segments = std::vector<RunSegment>;

}  // namespace

void PrintTo(const RunSegment& s, std::ostream* os) {
    *os << "{" << s.offset << "," << s.length << "}";
}
void PrintTo(const PieceDraw& d, std::ostream* os) {
    *os << "{piece " << d.piece << " at " << d.x << "," << d.y << " " << d.width << "x" << d.height
        << "}";
}

namespace {

TEST(EdgeRun, SmallRemainderWidensTheLastCopy) {
    EXPECT_EQ(edgeRunSegments(100, 30, false), (Segments{{0, 30}, {30, 30}, {60, 40}}));
}

TEST(EdgeRun, RemainderOfExactlyHalfAPieceWidensTheLastCopy) {
    EXPECT_EQ(edgeRunSegments(75, 30, false), (Segments{{0, 30}, {30, 45}}));
}

TEST(EdgeRun, LargeRemainderGetsAShortenedCopy) {
    EXPECT_EQ(edgeRunSegments(110, 30, false), (Segments{{0, 30}, {30, 30}, {60, 30}, {90, 20}}));
}

TEST(EdgeRun, ExactMultipleEndsWithAFullCopy) {
    EXPECT_EQ(edgeRunSegments(90, 30, false), (Segments{{0, 30}, {30, 30}, {60, 30}}));
}

TEST(EdgeRun, RunSlightlyLongerThanOnePieceIsOneStretchedCopy) {
    EXPECT_EQ(edgeRunSegments(40, 30, false), (Segments{{0, 40}}));
}

TEST(EdgeRun, AdaptiveAndShortRunsStretchOnce) {
    EXPECT_EQ(edgeRunSegments(110, 30, true), (Segments{{0, 110}}));
    EXPECT_EQ(edgeRunSegments(20, 30, false), (Segments{{0, 20}}));
    EXPECT_EQ(edgeRunSegments(20, 30, true), (Segments{{0, 20}}));
}

TEST(EdgeRun, OnePixelPieceTilesTheRun) {
    const Segments s = edgeRunSegments(5, 1, false);
    ASSERT_EQ(s.size(), 5u);
    EXPECT_EQ(s.back(), (RunSegment{4, 1}));
}

TEST(EdgeRun, EmptyOrNegativeRunDrawsNothing) {
    EXPECT_TRUE(edgeRunSegments(0, 30, false).empty());
    EXPECT_TRUE(edgeRunSegments(-5, 30, true).empty());
    EXPECT_TRUE(edgeRunSegments(40, 0, false).empty());
}

TEST(EdgeRun, SegmentsCoverTheRunExactly) {
    for (int piece = 1; piece <= 40; ++piece) {
        for (int run = 1; run <= 200; ++run) {
            int next = 0;
            for (const RunSegment& s : edgeRunSegments(run, piece, false)) {
                ASSERT_EQ(s.offset, next) << run << "/" << piece;
                ASSERT_GT(s.length, 0);
                next += s.length;
            }
            ASSERT_EQ(next, run) << run << "/" << piece;
        }
    }
}

// Top and bottom 30 x 10 and 30 x 6, left and right 4 x 20 and 8 x 20, corners 50 x 50.
std::array<PieceSize, 8> mixedPieces() {
    return {{{30, 10}, {4, 20}, {30, 6}, {8, 20}, {50, 50}, {50, 50}, {50, 50}, {50, 50}}};
}

TEST(BorderLayout, OuterGrowsAndPlacesEveryPiece) {
    const BorderLayout l = outerBorderLayout(100, 40, mixedPieces(), false);
    EXPECT_EQ(l.width, 4 + 100 + 8);
    EXPECT_EQ(l.height, 10 + 40 + 6);
    EXPECT_EQ(l.imageX, 4);
    EXPECT_EQ(l.imageY, 10);
    const std::vector<PieceDraw> expected{
        {0, 4, 0, 30, 10},   {0, 34, 0, 30, 10},  {0, 64, 0, 40, 10},  // top
        {1, 0, 10, 4, 20},   {1, 0, 30, 4, 20},                        // left: two natural copies
        {2, 4, 50, 30, 6},   {2, 34, 50, 30, 6},  {2, 64, 50, 40, 6},  // bottom
        {3, 104, 10, 8, 20}, {3, 104, 30, 8, 20},                      // right: likewise
        {4, 0, 0, 4, 10},    {5, 0, 50, 4, 6},    {6, 104, 50, 8, 6},  // corners take edge
        {7, 104, 0, 8, 10}};                                           // thicknesses
    EXPECT_EQ(l.draws, expected);
}

TEST(BorderLayout, CornerNextToAbsentEdgeIsLeftOut) {
    auto pieces = mixedPieces();
    pieces[1] = {};  // no left edge: the left corners have no width
    const BorderLayout l = outerBorderLayout(100, 40, pieces, true);
    EXPECT_EQ(l.width, 108);
    std::vector<int> drawn;
    for (const PieceDraw& d : l.draws) drawn.push_back(d.piece);
    EXPECT_EQ(drawn, (std::vector<int>{0, 2, 3, 6, 7}));
}

}  // namespace
}  // namespace varnetto
