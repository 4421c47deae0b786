#include "support/portable/shadow_bitmap.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvo {
namespace {

GreyPicture pictureOf(int w, int h, const std::vector<int>& values) {
    GreyPicture p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.at(x, y) = static_cast<std::uint8_t>(values[y * w + x]);
    return p;
}

std::vector<int> valuesOf(const GreyPicture& p) {
    std::vector<int> v;
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x) v.push_back(p.at(x, y));
    return v;
}

std::uint8_t alphaOf(std::uint32_t pixel) { return static_cast<std::uint8_t>(pixel >> 24); }

// Worked out on paper: the pass runs in place, so pixels already visited in
// this pass feed the later ones, and edge coordinates clamp.
TEST(ShadowSoften, SinglePassInPlaceWithClampedEdges) {
    GreyPicture p = pictureOf(3, 3, {0, 0, 0,  //
                                     0, 255, 0,  //
                                     0, 0, 0});
    softenPass(p, 1);
    EXPECT_EQ(valuesOf(p), (std::vector<int>{63, 15, 67,  //
                                             19, 32, 20,  //
                                             12, 12, 16}));
}

TEST(ShadowSoften, WideStepClampsToTheBorderRows) {
    // k = 2 on a 2 x 2 picture: every sample clamps to a corner, so each
    // pixel is the mean of the four corners as they stand at that moment.
    GreyPicture p = pictureOf(2, 2, {200, 0,  //
                                     0, 40});
    softenPass(p, 2);
    // (0,0): (200+0+0+40)/4 = 60; (1,0): (60+0+0+40)/4 = 25;
    // (0,1): (60+25+0+40)/4 = 31; (1,1): (60+25+31+40)/4 = 39.
    EXPECT_EQ(valuesOf(p), (std::vector<int>{60, 25, 31, 39}));
}

TEST(ShadowSoften, UniformPictureIsUnchanged) {
    GreyPicture p(5, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) p.at(x, y) = 255;
    for (int k = 1; k <= 3; ++k) softenPass(p, k);
    for (int v : valuesOf(p)) EXPECT_EQ(v, 255);
}

TEST(ShadowShape, RectanglesAreMovedAndClipped) {
    GreyPicture p(4, 3);
    const ShadowRect shape[] = {{0, 0, 1, 1}, {2, 1, 9, 9}, {-5, -5, -1, -1}};
    fillShape(p, shape, 1, 1);
    EXPECT_EQ(valuesOf(p), (std::vector<int>{0, 0, 0, 0,  //
                                             0, 255, 0, 0,  //
                                             0, 0, 0, 255}));
}

TEST(ShadowColour, ChannelsArePremultipliedWithIntegerDivision) {
    GreyPicture p = pictureOf(4, 1, {255, 128, 1, 0});
    const auto px = premultiply(p, 82, 200, 10);
    ASSERT_EQ(px.size(), 4u);
    // alpha, then R, G, B from the top byte down.
    EXPECT_EQ(px[0], 0xFF52C80Au);  // 82, 200, 10 unchanged at full alpha
    EXPECT_EQ(px[1], 0x80296405u);  // 82*128/255 = 41, 200*128/255 = 100, 10*128/255 = 5
    EXPECT_EQ(px[2], 0x01000000u);  // all channels round down to 0
    EXPECT_EQ(px[3], 0x00000000u);
}

// One white pixel, one pass, worked out on paper: because the pass runs in
// place from the top, the pixel's weight trickles down several rows below it
// but never more than k rows above it.
TEST(ShadowSoften, InPlaceTrailRunsDownward) {
    GreyPicture p(33, 33);
    const ShadowRect dot[] = {{0, 0, 1, 1}};
    fillShape(p, dot, kShadowShapeOffset, kShadowShapeOffset);
    softenPass(p, 1);
    const std::vector<std::vector<int>> expected = {
        // x = 12 .. 20 for rows 14 .. 21
        {0, 0, 0, 0, 0, 0, 0, 0, 0},    // 14
        {0, 0, 0, 63, 0, 63, 0, 0, 0},  // 15
        {0, 0, 15, 0, 31, 0, 15, 0, 0},  // 16
        {0, 3, 0, 11, 0, 11, 0, 3, 0},  // 17
        {0, 0, 3, 0, 5, 0, 3, 0, 0},    // 18
        {0, 0, 0, 2, 0, 2, 0, 0, 0},    // 19
        {0, 0, 0, 0, 1, 0, 0, 0, 0},    // 20
        {0, 0, 0, 0, 0, 0, 0, 0, 0},    // 21
    };
    int total = 0;
    for (int y = 0; y < 33; ++y)
        for (int x = 0; x < 33; ++x) total += p.at(x, y);
    int expectedTotal = 0;
    for (int row = 0; row < 8; ++row)
        for (int col = 0; col < 9; ++col) {
            EXPECT_EQ(p.at(12 + col, 14 + row), expected[row][col]) << "x " << 12 + col << " y " << 14 + row;
            expectedTotal += expected[row][col];
        }
    EXPECT_EQ(total, expectedTotal);  // nothing outside the worked-out window
}

TEST(ShadowPicture, SizeAndPlacementOfTheShape) {
    const int w = 20, h = 20, pw = w + kShadowGrow, ph = h + kShadowGrow;
    const auto px = buildShadowPicture(w, h, {}, 82, 82, 82);
    ASSERT_EQ(px.size(), static_cast<std::size_t>(pw * ph));
    // The passes reach at most 1 + 2 + 3 rows upward, so with the shape 16
    // rows down the top 10 rows stay clear, and row 10 is the first touched.
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < pw; ++x) ASSERT_EQ(px[y * pw + x], 0u) << x << "," << y;
    bool rowTenTouched = false;
    for (int x = 0; x < pw; ++x) rowTenTouched |= alphaOf(px[10 * pw + x]) != 0;
    EXPECT_TRUE(rowTenTouched);
    // Dense under the window, fading outside it.
    EXPECT_GT(alphaOf(px[(16 + 10) * pw + (16 + 10)]), 200);
    EXPECT_GT(alphaOf(px[(16 + 10) * pw + 17]), alphaOf(px[(16 + 10) * pw + 14]));
    EXPECT_GT(alphaOf(px[(16 + h + 1) * pw + 26]), alphaOf(px[(16 + h + 6) * pw + 26]));
    EXPECT_EQ(px[0], 0u);
    // Every pixel keeps the premultiplied relation to its alpha.
    for (std::uint32_t p : px) {
        const std::uint32_t a = p >> 24;
        ASSERT_EQ(p & 0xFFu, 82 * a / 255);
        ASSERT_EQ(p >> 8 & 0xFFu, 82 * a / 255);
        ASSERT_EQ(p >> 16 & 0xFFu, 82 * a / 255);
    }
}

TEST(ShadowPicture, ZeroHeightWindowCastsNoShadow) {
    // The main window is first shown at height 0.
    const auto px = buildShadowPicture(506, 0, {}, 82, 82, 82);
    ASSERT_EQ(px.size(), static_cast<std::size_t>(538 * 32));
    for (std::uint32_t p : px) ASSERT_EQ(p, 0u);
}

TEST(ShadowPicture, WindowRegionShapesTheShadow) {
    // An L-shaped window: the lower right quarter is cut away. Its shadow
    // differs from the full square's exactly where the cut-out lies and in
    // the trail below and beside it, never above the cut.
    const int w = 60, h = 60, pw = w + kShadowGrow;
    const ShadowRect shape[] = {{0, 0, 60, 30}, {0, 30, 30, 60}};
    const auto cut = buildShadowPicture(w, h, shape, 82, 82, 82);
    const auto full = buildShadowPicture(w, h, {}, 82, 82, 82);
    EXPECT_LT(alphaOf(cut[(16 + 50) * pw + (16 + 50)]), 30);
    EXPECT_GT(alphaOf(full[(16 + 50) * pw + (16 + 50)]), 200);
    EXPECT_GT(alphaOf(cut[(16 + 50) * pw + (16 + 10)]), 200);
    for (int y = 0; y < 16 + 30 - 6; ++y)
        for (int x = 0; x < pw; ++x) ASSERT_EQ(cut[y * pw + x], full[y * pw + x]) << x << "," << y;
}

}  // namespace
}  // namespace orvo
