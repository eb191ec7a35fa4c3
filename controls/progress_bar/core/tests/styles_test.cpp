// The styles pixel for pixel on the software surface, against the figures of the layouts.
#include <gtest/gtest.h>

#include "progress_bar.h"
#include "software_site.h"

namespace gaugekit {
namespace {

constexpr Color kBar = static_cast<Color>(rgb(40, 80, 160));

struct Bar {
    Bar(Size size, std::int32_t scrolling, std::int32_t percent, std::int32_t orientation = 0)
        : site(size), bar(site) {
        bar.setColor(kBar);
        bar.setOrientation(orientation);
        bar.setScrolling(scrolling);
        EXPECT_EQ(bar.setValue(percent), Status::ok);
    }
    Rgb at(int x, int y) { return site.surface().pixel(x, y); }
    SoftwareSite site;
    ProgressBar bar;
};

Rgb lightened(std::int32_t amount) {
    return toRgb(lightenColor(kBar, amount));
}

TEST(Styles, PixelsWhereTheLayoutsPutThem) {
    const Rgb bar = toRgb(kBar), silver = rgb(192, 192, 192);
    constexpr std::int32_t smooth = kScrollingSmooth, pastel = kScrollingPastel,
                           player = kScrollingMediaPlayer, quill = kScrollingQuill,
                           metallic = kScrollingMetallic;
    const struct {
        const char* what;
        std::int32_t scrolling, percent;
        int x, y;
        Rgb expected;
        int height = 66;  // 200 wide
    } cases[] = {
        {"smooth at 100: the light top of the fill", smooth, 100, 100, 3, lightened(150)},
        {"pastel at 0: one column", pastel, 0, 2, 2, lightened(140)},
        {"pastel at 0: down to row H - 4", pastel, 0, 2, 62, lightened(140)},
        {"pastel at 0: not row H - 3", pastel, 0, 2, 63, kWhite},
        {"pastel at 0: not column 3", pastel, 0, 3, 30, kWhite},
        {"media player at 0: one black column", player, 0, 2, 30, kBlack},
        // Black at x = 2 running to nearest(100/255 of the bar) lightened by 10 at x = 197.
        {"media player at 100: the end colour", player, 100, 197, 30, rgb(25, 39, 70)},
        {"media player at 100: not row H - 2", player, 100, 197, 64, kBlack},
        {"media player at 100: not column 198", player, 100, 198, 30, kBlack},
        {"quill at 0: the fill over column 1", quill, 0, 1, 3, lightened(250)},
        {"quill at 0: and column 3", quill, 0, 3, 3, lightened(250)},
        {"quill at 0: the end mark at column 0", quill, 0, 0, 3, lightened(25)},
        // Row 3 is line 1 of 61 from (40, 80, 160) to (124, 148, 197).
        {"quill at 0: the track", quill, 0, 4, 3, rgb(41, 81, 161)},
        {"office at 100: the fill over the outline", kScrollingOfficeXP, 100, 199, 30,
         lightened(180)},
        {"office at 100: the outline", kScrollingOfficeXP, 100, 0, 30, lightened(100)},
        // h = nearest(8.5) = 8: the upper halves over rows 2 to 10, the lower ones 8 to 16; the
        // upper fill runs over 8 lines from (166, 182, 215) to (28, 56, 113).
        {"metallic: upper fill, line 1", metallic, 100, 100, 3, rgb(149, 166, 202), 20},
        {"metallic: upper fill, line 5", metallic, 100, 100, 7, rgb(80, 103, 151), 20},
        {"metallic: lower fill from row 8", metallic, 100, 100, 8, rgb(30, 60, 119), 20},
        {"metallic: lower fill to row 16", metallic, 100, 100, 16, bar, 20},
        {"metallic: nothing below", metallic, 100, 100, 17, kWhite, 20},
        {"metallic: the track beyond the fill", metallic, 100, 196, 12, silver, 20},
        {"custom brush: a horizontal hatch line", kScrollingCustomBrush, 100, 20, 19, bar},
        {"custom brush: its gaps", kScrollingCustomBrush, 100, 20, 20, lightened(140)},
        {"picture without one: the edge only", kScrollingPicture, 100, 100, 30, kWhite},
    };
    for (const auto& c : cases) {
        Bar b({200, c.height}, c.scrolling, c.percent);
        EXPECT_EQ(b.at(c.x, c.y), c.expected) << c.what;
    }
}

TEST(ClassicStyles, StandardBlocksAndSmoothFillOnTheBlockGrid) {
    const struct {
        std::int32_t scrolling, percent, barRight, fillEnd;
    } cases[] = {
        {kScrollingStandard, 0, 12, 12},      // one minimum block
        {kScrollingStandard, 50, 99, 99},     // pos 104
        {kScrollingStandard, 100, 203, 198},  // pos 204, fillRight 199, border over column 198
        {kScrollingSmooth, 100, 203, 198},
    };
    for (const auto& c : cases) {
        Bar b({200, 66}, c.scrolling, c.percent);
        EXPECT_EQ(b.bar.barRect().right, c.barRight) << c.percent;
        for (int x = 3; x < 200; ++x) {
            const bool inBlock = c.scrolling == kScrollingSmooth || (x - 4) % 8 < 6;
            EXPECT_EQ(b.at(x, 33) == toRgb(kBar), x >= 4 && x < c.fillEnd && inBlock)
                << "scrolling " << c.scrolling << " p " << c.percent << " x " << x;
        }
    }
}

TEST(ClassicStyles, SearchBlocksTrailTheFill) {
    const struct {
        std::int32_t percent;
        std::vector<int> visibleStarts;
    } cases[] = {
        {0, {}},  // starts -33, -21, -9: the last column x = 0 lies under the border
        {50, {80, 92, 104}},
        {100, {}},  // starts 203, 215, 227
    };
    for (const auto& c : cases) {
        Bar b({200, 66}, kScrollingSearch, c.percent);
        int blockPixels = 0;
        for (int x = 3; x < 197; ++x) blockPixels += b.at(x, 33) != kWhite;
        EXPECT_EQ(blockPixels, static_cast<int>(c.visibleStarts.size()) * 10) << c.percent;
        for (std::size_t k = 0; k < c.visibleStarts.size(); ++k) {
            const int x0 = c.visibleStarts[k], amount = 220 - 40 * static_cast<int>(k);
            EXPECT_EQ(b.at(x0, 3), lightened(amount)) << k;
            EXPECT_EQ(b.at(x0 + 9, 63), lightened(amount - 20)) << k;
            EXPECT_EQ(b.at(x0 - 1, 33), kWhite) << k;
            EXPECT_EQ(b.at(x0 + 9, 64), rgb(239, 239, 239)) << k;  // row H - 2 is the border's
        }
    }
}

TEST(ClassicStyles, VerticalGrowsFromTheBottomAndFillsNothingAtZero) {
    for (const std::int32_t scrolling : {kScrollingStandard, kScrollingSmooth, kScrollingSearch}) {
        Bar b({40, 120}, scrolling, 0, kOrientationVertical);
        EXPECT_EQ(b.bar.barRect().top, 120);
        for (int y = 3; y < 117; ++y)
            for (int x = 3; x < 37; ++x) ASSERT_EQ(b.at(x, y), kWhite) << x << "," << y;
    }
    // Blocks are rows 64-69, 72-77, ... 112-117, with the gaps i - 2 and i - 1 for i = 120, 112 ...
    Bar half({40, 120}, kScrollingStandard, 50, kOrientationVertical);
    EXPECT_EQ(half.bar.barRect().top, 64);
    for (int y = 60; y < 118; ++y)
        EXPECT_EQ(half.at(20, y) == toRgb(kBar), y >= 64 && (y - 64) % 8 < 6) << y;
}

TEST(Styles, CustomBrushFillsTheInsideAndPicturesTileFromTheOrigin) {
    EXPECT_EQ(Bar({200, 66}, kScrollingCustomBrush, 100).bar.barRect(), (Rect{2, 2, 198, 64}));

    // A 3 x 3 picture, dark at (1, 0) only: (100, 30) shows that pixel when the tiling starts at
    // the origin, not at the fill's corner (2, 2).
    Bar picture({200, 66}, kScrollingPicture, 100);
    std::vector<Rgb> pixels(9, kBlack);
    pixels[1] = rgb(9, 9, 9);
    picture.bar.setImage(std::make_shared<SoftwarePicture>(3, 3, pixels));
    EXPECT_EQ(picture.at(100, 30), rgb(9, 9, 9));
    EXPECT_EQ(picture.at(101, 30), kBlack);
    EXPECT_EQ(picture.at(199, 31), kBlack);  // columns 2 ... 199: over the edge's right column
}

TEST(Styles, ValuesOutsideTheEnumerationDrawAsSmooth) {
    Bar smooth({200, 66}, kScrollingSmooth, 40);
    for (const std::int32_t scrolling : {10, -1}) {
        Bar other({200, 66}, scrolling, 40);
        EXPECT_EQ(other.site.surface().pixels(), smooth.site.surface().pixels()) << scrolling;
    }
}

TEST(Text, TwoTonePassesDependOnTheFill) {
    const struct {
        std::int32_t percent;
        bool first, overlay;  // black pixels of the first pass, white of the overlay
    } cases[] = {
        {10, true, false},   // fill left of the text
        {50, true, true},    // fill across it
        {100, false, true},  // fill beyond its right edge
    };
    for (const auto& c : cases) {
        Bar b({200, 66}, kScrollingMetallic, c.percent);
        b.bar.setShowText(-1);
        const Rect r = b.bar.textRect();
        const int fillX = c.percent * 2;
        bool black = false, white = false, misplaced = false;
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = 76; x < 124; ++x) {
                black |= b.at(x, y) == kBlack;
                white |= b.at(x, y) == kWhite;
                misplaced |= (b.at(x, y) == kWhite && x >= fillX) ||
                             (b.at(x, y) == kBlack && x < fillX && c.overlay);
            }
        }
        EXPECT_EQ(black, c.first) << c.percent;
        EXPECT_EQ(white, c.overlay) << c.percent;
        EXPECT_FALSE(misplaced) << c.percent;
    }
}

TEST(Text, CappedAndNegativePercent) {
    Bar capped({200, 66}, kScrollingStandard, 150);
    capped.bar.setShowText(-1);
    EXPECT_EQ(capped.bar.textRect(), (Rect{85, 28, 115, 37}));  // "100 %": five 6 x 9 cells

    Bar negative({200, 66}, kScrollingOfficeXP, -3);
    negative.bar.setShowText(-1);
    EXPECT_EQ(negative.bar.textRect(), (Rect{88, 28, 112, 37}));  // "-3 %"
    EXPECT_EQ(negative.bar.barRect().right, -6);
    EXPECT_EQ(negative.at(1, 30), kWhite);   // nothing filled
    EXPECT_EQ(negative.at(90, 32), kBlack);  // the minus sign
}

}  // namespace
}  // namespace gaugekit
