#include "draw.h"

#include <gtest/gtest.h>

#include "software_surface.h"

namespace gaugekit {
namespace {

constexpr Rgb kUntouched = rgb(1, 2, 3);

SoftwareSurface blankSurface(std::int32_t width, std::int32_t height) {
    SoftwareSurface surface(width, height);
    surface.fill({0, 0, width, height}, kUntouched);
    return surface;
}

TEST(Nearest, TiesGoToTheEvenNeighbourAndOverflowIsReported) {
    const struct {
        double value;
        std::optional<std::int32_t> expected;
    } cases[] = {
        {2.5, 2},
        {3.5, 4},
        {-0.5, 0},
        {-1.5, -2},
        {0.49, 0},
        {2147483647.0, 2147483647},
        {2147483647.6, std::nullopt},
        {-2147483648.6, std::nullopt},
        {1e300, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(nearest(c.value), c.expected) << c.value;
}

TEST(ColorArithmetic, LightenBlendAndResolve) {
    const SoftwareSurface surface(1, 1);
    const Color blue = static_cast<Color>(rgb(0, 0, 255));
    const Color someColor = static_cast<Color>(rgb(10, 100, 200));
    EXPECT_EQ(lightenColor(blue, 100), static_cast<Color>(rgb(100, 100, 255)));
    EXPECT_EQ(lightenColor(someColor, 0), someColor);
    EXPECT_EQ(lightenColor(someColor, 255), 0xFFFFFF);
    // Amounts above 255 push channels past 255, which are held at 255.
    EXPECT_EQ(lightenColor(0, 300), 0xFFFFFF);

    EXPECT_EQ(blendColors(surface, someColor, 0, 255), someColor);
    EXPECT_EQ(blendColors(surface, someColor, 0, 0), 0);
    // 200 x 100 / 255 = 78.43; 200 x 200 / 255 = 156.86; 200 x 10 / 255 = 7.84
    EXPECT_EQ(blendColors(surface, someColor, 0, 200), static_cast<Color>(rgb(8, 78, 157)));
    // System-colour references are resolved before blending.
    EXPECT_EQ(blendColors(surface, static_cast<Color>(0x8000000D), 0, 255),
              static_cast<Color>(defaultSystemColors()[13]));

    EXPECT_EQ(resolveColor(surface, static_cast<Color>(0x8000000D)),
              static_cast<Color>(rgb(0, 120, 215)));
    EXPECT_EQ(resolveColor(surface, someColor), someColor);
    EXPECT_EQ(resolveColor(surface, static_cast<Color>(0x80000FFF)), 0);  // unknown index
}

TEST(DrawLine, LeavesOutItsEndPointInEveryDirection) {
    const struct {
        std::int32_t x1, y1, x2, y2;
        std::vector<std::pair<int, int>> painted;
    } cases[] = {
        {0,
         5,
         10,
         5,
         {{0, 5}, {1, 5}, {2, 5}, {3, 5}, {4, 5}, {5, 5}, {6, 5}, {7, 5}, {8, 5}, {9, 5}}},
        {4, 1, 1, 1, {{4, 1}, {3, 1}, {2, 1}}},
        {2, 0, 2, 3, {{2, 0}, {2, 1}, {2, 2}}},
        {2, 3, 2, 0, {{2, 3}, {2, 2}, {2, 1}}},
        {0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}}},
        {5, 5, 5, 5, {}},
    };
    for (const auto& c : cases) {
        SoftwareSurface surface = blankSurface(12, 8);
        drawLine(surface, c.x1, c.y1, c.x2, c.y2, 0x0000FF);
        int count = 0;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 12; ++x) count += surface.pixel(x, y) == rgb(255, 0, 0);
        EXPECT_EQ(count, static_cast<int>(c.painted.size())) << c.x1 << "," << c.y1;
        for (const auto& [x, y] : c.painted) EXPECT_EQ(surface.pixel(x, y), rgb(255, 0, 0));
    }
}

// A surface that counts the lines of the gradients drawn on it.
class CountingSurface : public SoftwareSurface {
  public:
    using SoftwareSurface::SoftwareSurface;
    void columns(std::int32_t x, std::int32_t top, std::int32_t bottom, const Rgb* colors,
                 std::int32_t count) override {
        lines += count;
        SoftwareSurface::columns(x, top, bottom, colors, count);
    }
    void rows(std::int32_t y, std::int32_t left, std::int32_t right, const Rgb* colors,
              std::int32_t count) override {
        lines += count;
        SoftwareSurface::rows(y, left, right, colors, count);
    }
    long lines = 0;
};

TEST(DrawGradient, LinesColoursAndCounts) {
    const Rgb highlight = rgb(0, 120, 215);
    const struct {
        const char* what;
        Color end, start;
        std::int32_t x, y, x2, y2;
        bool bH;
        std::vector<std::pair<int, int>> at;  // where lines 0, 1, ... are looked at
        std::vector<Rgb> colors;
    } cases[] = {
        {"black to white along x",
         0,
         0xFFFFFF,
         2,
         0,
         2,
         3,
         true,
         {{2, 1}, {3, 1}, {4, 1}, {5, 1}},
         // the middle one a rounding tie: 127.5 goes to 128
         {kBlack, rgb(128, 128, 128), kWhite, kUntouched}},
        {"a count of 0: one line in the end colour",
         0,
         0xFFFFFF,
         2,
         0,
         0,
         3,
         true,
         {{2, 1}, {3, 1}},
         {kBlack, kUntouched}},
        {"a count below 0: nothing", 0, 0xFFFFFF, 2, 0, -1, 3, true, {{2, 1}}, {kUntouched}},
        {"rows from column 5 leftward to column 1",
         static_cast<Color>(0x8000000D),
         0,
         5,
         1,
         1,
         0,
         false,
         {{5, 1}, {2, 1}, {1, 1}},
         {highlight, highlight, kUntouched}},
        // Row 3 reads 2.50000006 in double precision, so 3; a float step times the row number
        // rounded to single precision reads 2.5 and gives 2.
        {"from 5 to 0 over six rows", 0x050505, 0, 0, 0, 8, 6, false, {{0, 3}}, {rgb(3, 3, 3)}},
    };
    for (const auto& c : cases) {
        SoftwareSurface surface = blankSurface(8, 8);
        Color end = c.end, start = c.start;
        drawGradient(surface, end, start, c.x, c.y, c.x2, c.y2, c.bH);
        for (std::size_t i = 0; i < c.at.size(); ++i)
            EXPECT_EQ(surface.pixel(c.at[i].first, c.at[i].second), c.colors[i]) << c.what << i;
        EXPECT_EQ(end, c.end < 0 ? static_cast<Color>(highlight) : c.end) << "resolved in place";
    }

    // Only lines that meet the surface are drawn: two billion of them take as long as the
    // surface is wide, and the first ones come out as without the limit.
    const struct {
        std::int32_t x, y, x2, y2;
        bool bH;
        long lines;
    } counts[] = {
        {0, 0, 2147483647, 8, true, 10},   // columns 0 .. 9 of 10
        {-5, 0, 2147483647, 8, true, 10},  // from 5 lines before the surface
        {0, 0, 8, 2147483647, false, 8},   // rows 0 .. 7
        {0, 20, 2147483647, 30, true, 0},  // below the surface
        {-2147483647, 0, 10, 8, true, 0},  // wholly left of it
    };
    for (const auto& c : counts) {
        CountingSurface surface(10, 8);
        Color end = 0x0000FF, start = 0x00FF00;
        drawGradient(surface, end, start, c.x, c.y, c.x2, c.y2, c.bH);
        EXPECT_EQ(surface.lines, c.lines) << c.x << "," << c.y;
        if (c.lines) {
            EXPECT_EQ(surface.pixel(0, 0), rgb(255, 0, 0));
        }
    }
}

TEST(SoftwareSurface, HatchesAsThePlatformPaintsThemAndPicturesFromTheOrigin) {
    // Rows 0 to 3 of the 8 x 8 cell, columns 0 to 7: '#' the line colour.
    const struct {
        std::int16_t style;
        const char* rows[4];
    } hatches[] = {
        {kHatchHorizontal, {"........", "........", "........", "########"}},
        {kHatchVertical, {"....#...", "....#...", "....#...", "....#..."}},
        {kHatchForwardDiagonal, {"#.......", ".#......", "..#.....", "...#...."}},
        {kHatchBackwardDiagonal, {".......#", "......#.", ".....#..", "....#..."}},
        {kHatchCross, {"....#...", "....#...", "....#...", "########"}},
        {kHatchDiagonalCross, {"#......#", ".#....#.", "..#..#..", "...##..."}},
        {6, {"########", "########", "########", "########"}},  // HS_SOLID: solid
        {-1, {"########", "########", "########", "########"}},
    };
    const Rgb line = rgb(255, 0, 0), gap = rgb(0, 0, 255);
    for (const auto& h : hatches) {
        SoftwareSurface surface = blankSurface(20, 20);
        surface.hatchFill({3, 3, 20, 20}, h.style, line, gap);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x)  // the cell at (8, 8): anchored at the origin
                EXPECT_EQ(surface.pixel(8 + x, 8 + y), h.rows[y][x] == '#' ? line : gap)
                    << "style " << h.style << " at " << x << "," << y;
        EXPECT_EQ(surface.pixel(2, 11), kUntouched);
    }

    SoftwareSurface surface = blankSurface(8, 2);
    const auto picture = SoftwarePicture(2, 1, std::vector<Rgb>{rgb(10, 10, 10), rgb(20, 20, 20)});
    surface.patternFill({3, 0, 6, 1}, picture);
    EXPECT_EQ(surface.pixel(3, 0), rgb(20, 20, 20));  // odd column: the picture's second pixel
    EXPECT_EQ(surface.pixel(4, 0), rgb(10, 10, 10));
}

TEST(SoftwareSurface, EdgesUseTheSystemColourTable) {
    SystemColorTable colors = defaultSystemColors();
    colors[16] = rgb(1, 1, 1);  // shadow
    colors[20] = rgb(2, 2, 2);  // highlight
    colors[21] = rgb(3, 3, 3);  // dark shadow
    colors[22] = rgb(4, 4, 4);  // light
    const struct {
        Edge kind;
        Rgb outerTopLeft, outerBottomRight, innerTopLeft;
    } cases[] = {
        {Edge::sunkenOuter, rgb(1, 1, 1), rgb(2, 2, 2), kWhite},
        {Edge::etched, rgb(1, 1, 1), rgb(2, 2, 2), rgb(2, 2, 2)},
        {Edge::bump, rgb(4, 4, 4), rgb(3, 3, 3), rgb(3, 3, 3)},
    };
    for (const auto& c : cases) {
        SoftwareSurface surface(10, 10, colors);
        surface.edge({0, 0, 10, 10}, c.kind);
        EXPECT_EQ(surface.pixel(0, 5), c.outerTopLeft);
        EXPECT_EQ(surface.pixel(5, 0), c.outerTopLeft);
        EXPECT_EQ(surface.pixel(9, 5), c.outerBottomRight);
        EXPECT_EQ(surface.pixel(5, 9), c.outerBottomRight);
        EXPECT_EQ(surface.pixel(1, 5), c.innerTopLeft);
    }
}

}  // namespace
}  // namespace gaugekit
