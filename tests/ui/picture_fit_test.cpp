// Seal pictures keep their proportions inside the grid's cells.
#include <gtest/gtest.h>

#include "support/portable/picture_fit.h"

using orvo::fitPicture;
using orvo::PlacedBox;

TEST(PictureFit, KeepsTheAspectRatioCentredInTheBox) {
    // A square seal in a tall cell: square, centred vertically.
    EXPECT_EQ(fitPicture(100, 100, {13, 5, 74, 90}), (PlacedBox{13, 13, 74, 74}));
    // A wide (oval) seal in the same cell: full width, centred.
    EXPECT_EQ(fitPicture(200, 100, {13, 5, 74, 90}), (PlacedBox{13, 31, 74, 37}));
    // A tall picture in a wide box: full height.
    EXPECT_EQ(fitPicture(50, 100, {0, 0, 100, 40}), (PlacedBox{40, 0, 20, 40}));
    // The same proportions: the whole box, whatever the sizes.
    EXPECT_EQ(fitPicture(300, 200, {1, 2, 90, 60}), (PlacedBox{1, 2, 90, 60}));
    // A picture far thinner than the box still gets one pixel.
    EXPECT_EQ(fitPicture(10000, 1, {0, 0, 50, 50}).height, 1);
    // Nothing to draw, or nowhere to draw it.
    EXPECT_EQ(fitPicture(0, 100, {0, 0, 50, 50}), (PlacedBox{25, 25, 0, 0}));
    EXPECT_EQ(fitPicture(100, 100, {0, 0, 0, 50}).width, 0);
}
