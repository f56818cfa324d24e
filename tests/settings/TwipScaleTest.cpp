// The window designs in twips drawn in pixels: each edge to its nearest pixel.

#include "settings/TwipScale.h"

#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

TEST(TwipScaleTest, EachEdgeGoesToTheNearestPixel)
{
    const TwipScale scale(15, 12);  // 96 dots per inch across, 120 down
    const struct { double twips; int x, y; } rows[] = {
        {0, 0, 0},     {7, 0, 1},      {8, 1, 1},       {22.4, 1, 2},   {22.5, 2, 2},
        {1095, 73, 91}, {4695, 313, 391}, {-8, -1, -1}, {-7, 0, -1},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(scale.X(row.twips), row.x) << row.twips;
        EXPECT_EQ(scale.Y(row.twips), row.y) << row.twips;
    }
    // A control's size is the distance between its rounded edges, not its rounded width.
    EXPECT_EQ(scale.Rect(8, 6, 15, 12), QRect(1, 1, 1, 1));
    EXPECT_EQ(scale.Rect(7, 5, 15, 12), QRect(0, 0, 1, 1));
    EXPECT_EQ(scale.Size(1095, 375), QSize(73, 31));
}

}  // namespace
}  // namespace kestrun::test
