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

TEST(DrawGradient, LinesAndColoursByCount) {
    struct Case {
        std::int32_t x2;
        std::vector<Rgb> columns;  // columns 2, 3, ... of row 1
    };
    // Black to white along x from column 2, rows 0 to 3 (row 3 left out).
    const Case cases[] = {
        {2, {rgb(0, 0, 0), rgb(128, 128, 128), rgb(255, 255, 255), kUntouched}},
        {0, {rgb(0, 0, 0), kUntouched}},  // one line in the end colour
        {-1, {kUntouched}},               // nothing
    };
    for (const auto& c : cases) {
        SoftwareSurface surface = blankSurface(8, 4);
        Color end = 0, start = 0xFFFFFF;
        drawGradient(surface, end, start, 2, 0, c.x2, 3, true);
        for (std::size_t i = 0; i < c.columns.size(); ++i) {
            const int x = 2 + static_cast<int>(i);
            EXPECT_EQ(surface.pixel(x, 1), c.columns[i]) << "x2 " << c.x2 << " column " << x;
            EXPECT_EQ(surface.pixel(x, 3), kUntouched);
        }
        EXPECT_EQ(surface.pixel(1, 1), kUntouched);
    }
}

TEST(DrawGradient, ResolvesBothColoursInPlaceAndRunsRowsLeftward) {
    SoftwareSurface surface = blankSurface(8, 4);
    Color end = static_cast<Color>(0x8000000D), start = static_cast<Color>(0x80000005);
    drawGradient(surface, end, start, 5, 1, 1, 0, false);  // one row, from column 5 to column 1
    EXPECT_EQ(end, static_cast<Color>(rgb(0, 120, 215)));
    EXPECT_EQ(start, 0xFFFFFF);
    for (int x = 2; x <= 5; ++x) EXPECT_EQ(surface.pixel(x, 1), rgb(0, 120, 215)) << x;
    EXPECT_EQ(surface.pixel(1, 1), kUntouched);
}

TEST(SoftwareSurface, HatchAndPatternAreAnchoredAtTheOrigin) {
    SoftwareSurface surface = blankSurface(16, 16);
    const Rgb line = rgb(255, 0, 0), gap = rgb(0, 0, 255);
    surface.hatchFill({3, 3, 16, 16}, kHatchCross, line, gap);
    EXPECT_EQ(surface.pixel(8, 11), line);  // column 8 of the grid
    EXPECT_EQ(surface.pixel(11, 8), line);  // row 8 of the grid
    EXPECT_EQ(surface.pixel(9, 9), gap);
    EXPECT_EQ(surface.pixel(2, 8), kUntouched);

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
