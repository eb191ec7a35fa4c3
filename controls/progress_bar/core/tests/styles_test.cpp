// The styles pixel for pixel on the software surface, against the figures of the layouts.
#include <gtest/gtest.h>

#include <cmath>

#include "progress_bar.h"
#include "software_site.h"

namespace gaugekit {
namespace {

constexpr Color kBar = static_cast<Color>(rgb(40, 80, 160));

struct Bar {
    Bar(Size size, std::int32_t scrolling, std::int32_t percent,
        std::int32_t orientation = kOrientationHorizontal)
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

// The colour of line i of a gradient of n steps, channel by channel.
Rgb gradientAt(Rgb from, Rgb to, int n, int i) {
    int channels[3];
    for (int c = 0; c < 3; ++c) {
        const float a = static_cast<float>((from >> (8 * c)) & 0xFF);
        const float b = static_cast<float>((to >> (8 * c)) & 0xFF);
        const float step = static_cast<float>((static_cast<double>(b) - a) / n);
        channels[c] = static_cast<int>(std::nearbyint(a + static_cast<double>(step) * i));
    }
    return rgb(channels[0], channels[1], channels[2]);
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
            const bool filled = x >= 4 && x < c.fillEnd && inBlock;
            EXPECT_EQ(b.at(x, 33) == toRgb(kBar), filled)
                << "scrolling " << c.scrolling << " p " << c.percent << " x " << x;
        }
    }
    Bar smooth({200, 66}, kScrollingSmooth, 100);
    EXPECT_EQ(smooth.at(3, 33), kWhite);
    EXPECT_EQ(smooth.at(198, 33), rgb(239, 239, 239));
    EXPECT_EQ(smooth.at(199, 33), rgb(104, 104, 104));
    EXPECT_EQ(smooth.at(100, 3), lightened(150));  // the light top edge of the fill
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
        for (int x = 0; x < 200; ++x) blockPixels += b.at(x, 33) != kWhite && x > 2 && x < 197;
        EXPECT_EQ(blockPixels, static_cast<int>(c.visibleStarts.size()) * 10) << c.percent;
        for (std::size_t k = 0; k < c.visibleStarts.size(); ++k) {
            const int x0 = c.visibleStarts[k];
            const int amount = 220 - 40 * static_cast<int>(k);
            EXPECT_EQ(b.at(x0, 3), lightened(amount));
            EXPECT_EQ(b.at(x0 + 9, 63), lightened(amount - 20));
            EXPECT_EQ(b.at(x0 - 1, 33), kWhite);
            EXPECT_EQ(b.at(x0 + 9, 64), rgb(239, 239, 239));  // row H - 2 is the border's
        }
    }
}

TEST(ClassicStyles, VerticalAtZeroFillsNothing) {
    for (const std::int32_t scrolling : {kScrollingStandard, kScrollingSmooth, kScrollingSearch}) {
        Bar b({40, 120}, scrolling, 0, kOrientationVertical);
        EXPECT_EQ(b.bar.barRect().top, 120);
        for (int y = 3; y < 117; ++y)
            for (int x = 3; x < 37; ++x) ASSERT_EQ(b.at(x, y), kWhite) << x << "," << y;
    }
    // At 50 the fill grows up from the bottom on a grid anchored there.
    Bar half({40, 120}, kScrollingStandard, 50, kOrientationVertical);
    EXPECT_EQ(half.bar.barRect().top, 64);
    // Blocks are rows 64-69, 72-77, ... 112-117, with the gaps i - 2 and i - 1 for i = 120, 112 ...
    for (int y = 60; y < 118; ++y)
        EXPECT_EQ(half.at(20, y) == toRgb(kBar), y >= 64 && (y - 64) % 8 < 6) << y;
}

TEST(Styles, FillsAtZeroStartAtTheirFirstColumn) {
    Bar pastel({200, 66}, kScrollingPastel, 0);
    EXPECT_EQ(pastel.at(2, 2), lightened(140));
    EXPECT_EQ(pastel.at(2, 62), lightened(140));
    EXPECT_EQ(pastel.at(2, 63), kWhite);
    EXPECT_EQ(pastel.at(3, 30), kWhite);

    Bar player({200, 66}, kScrollingMediaPlayer, 0);
    EXPECT_EQ(player.at(2, 30), kBlack);
    // At 100 the gradient runs 196 columns: from black at x = 2 to its end colour at x = 197.
    Bar full({200, 66}, kScrollingMediaPlayer, 100);
    const Rgb end = toRgb(lightenColor(blendColors(full.site.surface(), kBar, 0, 100), 10));
    EXPECT_EQ(full.at(197, 30), end);
    EXPECT_EQ(full.at(197, 64), kBlack);
    EXPECT_EQ(full.at(198, 30), kBlack);

    Bar quill({200, 66}, kScrollingQuill, 0);
    for (const int x : {1, 2, 3}) EXPECT_EQ(quill.at(x, 3), lightened(250)) << x;
    EXPECT_EQ(quill.at(0, 3), lightened(25));  // the end mark at column 0
    EXPECT_EQ(quill.at(4, 3), gradientAt(toRgb(kBar), lightened(100), 61, 1));

    Bar office({200, 66}, kScrollingOfficeXP, 100);
    EXPECT_EQ(office.at(199, 30), lightened(180));  // the fill covers the outline's right column
    EXPECT_EQ(office.at(0, 30), lightened(100));
}

TEST(Styles, MetallicHalvesForHeight20) {
    Bar b({200, 20}, kScrollingMetallic, 100);  // h = nearest(8.5) = 8
    SoftwareSurface& s = b.site.surface();
    const Rgb upperFrom = lightened(150);
    const Rgb upperTo = toRgb(blendColors(s, kBar, 0, 180));
    EXPECT_EQ(b.at(100, 3), gradientAt(upperFrom, upperTo, 8, 1));
    EXPECT_EQ(b.at(100, 7), gradientAt(upperFrom, upperTo, 8, 5));
    EXPECT_EQ(b.at(100, 8), toRgb(blendColors(s, kBar, 0, 190)));  // lower half from row 8
    EXPECT_EQ(b.at(100, 16), toRgb(kBar));
    EXPECT_EQ(b.at(100, 17), kWhite);
    EXPECT_EQ(b.at(196, 12), rgb(192, 192, 192));  // the track beyond the fill
}

TEST(Styles, CustomBrushAndPicture) {
    Bar hatch({200, 66}, kScrollingCustomBrush, 100);  // barRect (2, 2, 198, 64)
    EXPECT_EQ(hatch.at(20, 19), toRgb(kBar));          // a horizontal line at row 19
    EXPECT_EQ(hatch.at(20, 20), lightened(140));
    EXPECT_EQ(hatch.bar.barRect(), (Rect{2, 2, 198, 64}));
    hatch.bar.setBrushStyle(40000);  // beyond 16 bits: the redraw fails
    EXPECT_EQ(hatch.bar.drawProgressBar(), Status::overflow);

    Bar picture({200, 66}, kScrollingPicture, 100);
    EXPECT_EQ(picture.at(100, 30), kWhite);  // no picture: the edge only
    picture.bar.setImage(std::make_shared<SoftwarePicture>(
        2, 2, std::vector<Rgb>{rgb(9, 9, 9), kBlack, kBlack, kBlack}));
    EXPECT_EQ(picture.at(100, 30), rgb(9, 9, 9));  // tiled from the origin: even x, even y
    EXPECT_EQ(picture.at(101, 30), kBlack);
    EXPECT_EQ(picture.at(199, 30), kBlack);  // columns 2 ... 199: over the edge's right column
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
    EXPECT_EQ(capped.bar.percent(), 100);
    // "100 %" is five cells of 6 x 9, centred.
    EXPECT_EQ(capped.bar.textRect(), (Rect{85, 28, 115, 37}));

    Bar negative({200, 66}, kScrollingOfficeXP, -3);
    negative.bar.setShowText(-1);
    EXPECT_EQ(negative.bar.percent(), -3);
    EXPECT_EQ(negative.bar.textRect(), (Rect{88, 28, 112, 37}));  // "-3 %"
    EXPECT_EQ(negative.bar.barRect().right, -6);
    EXPECT_EQ(negative.at(1, 30), kWhite);   // nothing filled
    EXPECT_EQ(negative.at(90, 32), kBlack);  // the minus sign
}

}  // namespace
}  // namespace gaugekit
