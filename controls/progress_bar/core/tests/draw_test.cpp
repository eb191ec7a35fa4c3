#include "draw.h"

#include <gtest/gtest.h>

#include <string>

#include "software_surface.h"

namespace gaugekit {
namespace {

constexpr Rgb kUntouched = rgb(1, 2, 3), kRed = rgb(255, 0, 0);
constexpr Color kHighlight = static_cast<Color>(0x8000000D);

SoftwareSurface blankSurface(std::int32_t width, std::int32_t height) {
    SoftwareSurface surface(width, height);
    surface.fill({0, 0, width, height}, kUntouched);
    return surface;
}

// The rectangle's rows joined by '|': '#' a pixel in `color`, '.' one in `other`, '?' any other.
std::string shape(const SoftwareSurface& s, Rect r, Rgb color, Rgb other = kUntouched) {
    std::string out;
    for (int y = r.top; y < r.bottom; ++y) {
        if (y > r.top) out += '|';
        for (int x = r.left; x < r.right; ++x)
            out += s.pixel(x, y) == color ? '#' : s.pixel(x, y) == other ? '.' : '?';
    }
    return out;
}

TEST(Nearest, TiesGoToTheEvenNeighbourAndOverflowIsReported) {
    const struct {
        double value;
        std::optional<std::int32_t> expected;
    } cases[] = {{2.5, 2},           {3.5, 4},
                 {-0.5, 0},          {-1.5, -2},
                 {0.49, 0},          {2147483647.0, 2147483647},
                 {2147483647.6, {}}, {-2147483648.6, {}},
                 {1e300, {}}};
    for (const auto& c : cases) EXPECT_EQ(nearest(c.value), c.expected) << c.value;
}

TEST(ColorArithmetic, LightenBlendAndResolve) {
    const SoftwareSurface s(1, 1);
    const Color some = static_cast<Color>(rgb(10, 100, 200));
    const struct {
        const char* what;
        std::int64_t got, expected;
    } cases[] = {
        {"blue lightened by 100", lightenColor(static_cast<Color>(rgb(0, 0, 255)), 100),
         rgb(100, 100, 255)},
        {"lightened by 255", lightenColor(some, 255), kWhite},
        {"channels past 255 held at 255", lightenColor(0, 300), kWhite},
        {"blended at 255", blendColors(s, some, 0, 255), some},
        // 200 x 10 / 255 = 7.84, 200 x 100 / 255 = 78.43, 200 x 200 / 255 = 156.86
        {"blended at 200", blendColors(s, some, 0, 200), rgb(8, 78, 157)},
        {"blended after resolving", blendColors(s, kHighlight, 0, 255), rgb(0, 120, 215)},
        {"the highlight resolved", resolveColor(s, kHighlight), rgb(0, 120, 215)},
        {"an unknown system colour", resolveColor(s, static_cast<Color>(0x80000FFF)), 0},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
}

TEST(DrawLine, LeavesOutItsEndPointInEveryDirection) {
    const struct {
        std::int32_t x1, y1, x2, y2;
        const char* painted;  // on a 6 x 4 surface
    } cases[] = {
        {0, 1, 5, 1, "......|#####.|......|......"}, {4, 1, 1, 1, "......|..###.|......|......"},
        {2, 0, 2, 3, "..#...|..#...|..#...|......"}, {2, 3, 2, 0, "......|..#...|..#...|..#..."},
        {0, 0, 3, 3, "#.....|.#....|..#...|......"}, {3, 3, 3, 3, "......|......|......|......"},
    };
    for (const auto& c : cases) {
        SoftwareSurface surface = blankSurface(6, 4);
        drawLine(surface, c.x1, c.y1, c.x2, c.y2, 0x0000FF);
        EXPECT_EQ(shape(surface, {0, 0, 6, 4}, kRed), c.painted) << c.x1 << "," << c.y1;
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
    const Rgb highlight = rgb(0, 120, 215), grey = rgb(128, 128, 128);
    const struct {
        const char* what;
        Color end, start;
        std::int32_t x, y, x2, y2;
        bool bH;
        int atX, atY;
        Rgb expected;
    } cases[] = {
        {"black to white: the middle a tie, 127.5 to 128", 0, 0xFFFFFF, 2, 0, 2, 3, true, 3, 1,
         grey},
        {"nothing beyond the last", 0, 0xFFFFFF, 2, 0, 2, 3, true, 5, 1, kUntouched},
        {"the end row left out", 0, 0xFFFFFF, 2, 0, 2, 3, true, 2, 3, kUntouched},
        {"a count of 0: one line", 0, 0xFFFFFF, 2, 0, 0, 3, true, 2, 1, kBlack},
        {"a count of 0: only one", 0, 0xFFFFFF, 2, 0, 0, 3, true, 3, 1, kUntouched},
        {"a count below 0: nothing", 0, 0xFFFFFF, 2, 0, -1, 3, true, 2, 1, kUntouched},
        {"leftward from column 5", kHighlight, 0, 5, 1, 1, 0, false, 5, 1, highlight},
        {"leftward to column 2", kHighlight, 0, 5, 1, 1, 0, false, 2, 1, highlight},
        {"leftward, column 1 left out", kHighlight, 0, 5, 1, 1, 0, false, 1, 1, kUntouched},
        // Row 3 reads 2.50000006 in double precision, so 3; a float product rounded to single
        // precision reads 2.5 and gives 2. This suite runs in both bitnesses.
        {"from 5 to 0 over six rows", 0x050505, 0, 0, 0, 7, 6, false, 3, 3, rgb(3, 3, 3)},
    };
    for (const auto& c : cases) {
        SoftwareSurface surface = blankSurface(8, 8);
        Color end = c.end, start = c.start;
        drawGradient(surface, end, start, c.x, c.y, c.x2, c.y2, c.bH);
        EXPECT_EQ(surface.pixel(c.atX, c.atY), c.expected) << c.what;
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
        EXPECT_EQ(surface.pixel(0, 0), c.lines ? kRed : kWhite) << c.x << "," << c.y;
    }
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
        SoftwareSurface s(10, 10, colors);
        s.edge({0, 0, 10, 10}, c.kind);
        EXPECT_EQ((std::vector{s.pixel(0, 5), s.pixel(5, 0), s.pixel(9, 5), s.pixel(5, 9),
                               s.pixel(1, 5)}),
                  (std::vector{c.outerTopLeft, c.outerTopLeft, c.outerBottomRight,
                               c.outerBottomRight, c.innerTopLeft}))
            << static_cast<int>(c.kind);
    }
}

}  // namespace
}  // namespace gaugekit
