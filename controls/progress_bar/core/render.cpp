// The redraw, the text passes and the ten styles.
#include <algorithm>
#include <new>
#include <string>

#include "progress_bar.h"

namespace gaugekit {
namespace {

// Drawing arithmetic that leaves 32 bits ends the redraw with the overflow error.
struct Overflow {};

std::int32_t near(double value) {
    const auto n = nearest(value);
    if (!n) throw Overflow{};
    return *n;
}

std::int32_t checked(std::int64_t value) {
    if (value < INT32_MIN || value > INT32_MAX) throw Overflow{};
    return static_cast<std::int32_t>(value);
}

// DrawGradient with colours the caller does not need back.
void gradient(RasterSurface& surface, Color endColor, Color startColor, std::int64_t x,
              std::int64_t y, std::int64_t x2, std::int64_t y2, bool bH) {
    drawGradient(surface, endColor, startColor, checked(x), checked(y), checked(x2), checked(y2),
                 bH);
}

constexpr Color kBlackColor = 0;
constexpr Color kWhiteColor = 0xFFFFFF;
constexpr Color kSilver = 0xC0C0C0;  // 192,192,192

// The classic border's colours.
constexpr Color kBorderShade = 12500670;     // 190,190,190
constexpr Color kBorderLight = 15724527;     // 239,239,239
constexpr Color kBorderOutline = 6842472;    // 104,104,104
constexpr Color kCornerLight = 10922924;     // 172,171,166
constexpr Color kCornerDark = 8224383;       // 127,126,125
constexpr Color kCornerLightAlt = 10988460;  // 172,171,167
constexpr Color kCornerMid = 7829367;        // 119,119,119

}  // namespace

template <typename Work>
Status ProgressBar::guarded(Work&& work) {
    try {
        work();
        return Status::ok;
    } catch (const Overflow&) {
        return Status::overflow;
    } catch (const std::bad_alloc&) {
        return Status::outOfMemory;
    }
}

Status ProgressBar::drawProgressBar() {
    return guarded([this] { render(site_.clientSize(hwnd_), true); });
}

Status ProgressBar::drawOnto(RasterSurface& target, Size size) {
    RasterSurface* const own = drawing_;
    drawing_ = &target;
    const Status status = guarded([this, size] { render(size, false); });
    drawing_ = own;
    return status;
}

void ProgressBar::render(Size client, bool copyToOwn) {
    drawing_->startPicture();
    drawing_->willCover({});  // no promise left over from a redraw that ended early
    if (percent_ > 100) percent_ = 100;
    const std::int32_t w = client.width, h = client.height;
    drawing_->willCover(styleCovers(w, h));
    fillRectColor(*drawing_, {0, 0, w, h},
                  scrolling_ == kScrollingMediaPlayer ? kBlackColor : kWhiteColor);
    drawing_->willCover({});
    switch (scrolling_) {
        case kScrollingOfficeXP:
            drawOfficeXPStyle(w, h);
            break;
        case kScrollingPastel:
            drawPastelStyle(w, h);
            break;
        case kScrollingQuill:
            drawQuillStyle(w, h);
            break;
        case kScrollingMediaPlayer:
            drawMediaPlayerStyle(w, h);
            break;
        case kScrollingCustomBrush:
            drawCustomBrushStyle(w, h);
            break;
        case kScrollingPicture:
            drawPictureStyle(w, h);
            break;
        case kScrollingMetallic:
            drawMetallicStyle(w, h);
            break;
        default:
            layoutClassicBar(w, h);
            drawClassicFill(w, h);
            if (scrolling_ == kScrollingStandard) drawBlockGaps(w, h);
            drawClassicBorder(w, h);
            break;
    }
    drawPercentText(w, h);
    if (copyToOwn && usesOffscreen_) {
        const Size size = site_.controlSize();
        pDraw(site_.ownSurface(), 0, 0, size.width, size.height, 0, 0);
    }
}

Rect ProgressBar::styleCovers(std::int32_t w, std::int32_t h) const {
    switch (scrolling_) {
        case kScrollingQuill:  // the track: rows 2 .. H - 3, columns 2 .. W - 3
            return h >= 5 ? Rect{2, 2, w - 2, h - 2} : Rect{};
        case kScrollingMetallic: {  // the two tracks: rows 2 .. 2h, columns 2 .. W - 4
            const std::int32_t half = near((h - 3) / 2.0);
            return half >= 2 ? Rect{2, 2, w - 3, 2 * half + 1} : Rect{};
        }
        case kScrollingPastel: {  // the gradient: columns 2 .. 2 + n, rows 2 .. H - 4
            const std::int32_t n = near(percent_ / 100.0 * (w - 4));
            return n >= 0 ? Rect{2, 2, checked(std::int64_t{n} + 3), h - 3} : Rect{};
        }
        case kScrollingMediaPlayer: {  // the gradient: columns 2 .. 2 + n, rows 2 .. H - 3
            const std::int32_t n = near(percent_ / 100.0 * (w - 5));
            return n >= 0 ? Rect{2, 2, checked(std::int64_t{n} + 3), h - 2} : Rect{};
        }
        default:
            return Rect{};
    }
}

void ProgressBar::layoutClassicBar(std::int32_t w, std::int32_t h) {
    blockWidth_ = scrolling_ == kScrollingStandard ? 6 : 0;
    blockGap_ = 2;
    const std::int64_t step = blockWidth_ + blockGap_;
    barRect_ = {3, 0, w, h};
    fillFraction_ = percent_ / 98.0;
    if (fillFraction_ < 0) fillFraction_ = 0;
    if (orientation_ == kOrientationHorizontal) {
        // The fill ends on the block grid that starts at x = 3.
        const std::int64_t pos = near((static_cast<double>(w) - 3) * fillFraction_ + 3);
        barRect_.right = checked(std::max<std::int64_t>(pos - (pos - 3) % step, 3));
    } else {
        // The fill grows upward on a grid anchored at the bottom.
        fillFraction_ = 1 - fillFraction_;
        const std::int64_t pos = near(h * fillFraction_);
        barRect_.top = checked(std::min<std::int64_t>(pos - (pos - h) % step, h));
    }
}

void ProgressBar::drawClassicFill(std::int32_t w, std::int32_t h) {
    RasterSurface& s = *drawing_;
    const std::int64_t gapStep = blockGap_ + 10;  // the search blocks lie 12 pixels apart
    if (orientation_ == kOrientationHorizontal) {
        if (barRect_.right <= 14) barRect_.right = 12;  // the first block always shows
        const std::int64_t right = barRect_.right;
        const std::int64_t fillRight = right + 4 > w ? right - 4 : right;
        if (scrolling_ == kScrollingSearch) {
            for (int k = 0; k < 3; ++k) {
                const std::int64_t x0 =
                    near(static_cast<double>(right + gapStep * k) - (100 - percent_) / 100.0 * 45);
                gradient(s, lightenColor(color_, 220 - 40 * k), lightenColor(color_, 200 - 40 * k),
                         x0, 3, 9, std::int64_t{h} - 2, true);
            }
            return;
        }
        gradient(s, lightenColor(color_, 150), color_, 4, 3, fillRight, 6, false);
        fillRectColor(s, {4, 8, checked(fillRight), checked(std::int64_t{h} - 8)}, color_);
        gradient(s, color_, lightenColor(color_, 150), 4, std::int64_t{h} - 10, fillRight, 6,
                 false);
        return;
    }
    const std::int64_t top = barRect_.top;
    if (scrolling_ == kScrollingSearch) {
        for (int k = 0; k < 3; ++k)
            gradient(s, lightenColor(color_, 220 - 40 * k), lightenColor(color_, 200 - 40 * k),
                     std::int64_t{w} - 2, top + gapStep * k, 2, 9, false);
        return;
    }
    gradient(s, lightenColor(color_, 150), color_, 4, top, 4, h, true);
    fillRectColor(s, {9, barRect_.top, checked(std::int64_t{w} - 8), h}, color_);
    gradient(s, color_, lightenColor(color_, 150), std::int64_t{w} - 8, top, 4, h, true);
}

void ProgressBar::drawBlockGaps(std::int32_t w, std::int32_t h) {
    const std::int64_t step = blockWidth_ + blockGap_;
    blockRect_ = {3, 0, w, h};
    if (orientation_ == kOrientationHorizontal) {
        for (std::int64_t i = 3 + blockWidth_; i <= barRect_.right; i += step) {
            blockRect_.left = checked(i + 1);
            blockRect_.right = checked(i + 1 + blockGap_);
            fillRectColor(*drawing_, blockRect_, kWhiteColor);
        }
        return;
    }
    for (std::int64_t i = h; i >= std::int64_t{barRect_.top} + blockWidth_; i -= step) {
        blockRect_.top = checked(i - 2);
        blockRect_.bottom = checked(i - 2 + blockGap_);
        fillRectColor(*drawing_, blockRect_, kWhiteColor);
    }
}

void ProgressBar::drawClassicBorder(std::int32_t w, std::int32_t h) {
    RasterSurface& s = *drawing_;
    drawLine(s, 2, 1, w - 2, 1, kBorderShade);
    drawLine(s, 2, h - 2, w - 2, h - 2, kBorderLight);
    drawLine(s, 1, 2, 1, h - 2, kBorderShade);
    drawLine(s, 2, 2, 2, h - 2, kBorderLight);
    drawLine(s, 2, 2, w - 2, 2, kBorderLight);
    drawLine(s, w - 2, 2, w - 2, h - 2, kBorderLight);
    frameRectColor(s, {0, 0, w, h}, kBorderOutline);
    // Pixels that soften the four corners.
    const struct {
        std::int32_t x, y;
        Color color;
    } corners[] = {
        {0, 0, kWhiteColor},         {0, 1, kCornerLight},         {0, 2, kCornerDark},
        {1, 0, kCornerLightAlt},     {1, 1, kCornerMid},           {2, 0, kCornerDark},
        {2, 2, kBorderShade},        {0, h - 1, kWhiteColor},      {1, h - 1, kCornerLight},
        {2, h - 1, kCornerDark},     {0, h - 3, kCornerDark},      {0, h - 2, kCornerLightAlt},
        {1, h - 2, kCornerMid},      {w - 1, 0, kWhiteColor},      {w - 1, 1, kBorderShade},
        {w - 1, 2, kCornerDark},     {w - 2, 2, kBorderShade},     {w - 2, 1, kBorderOutline},
        {w - 1, h - 1, kWhiteColor}, {w - 1, h - 2, kBorderShade}, {w - 1, h - 3, kCornerDark},
        {w - 2, h - 2, kCornerMid},  {w - 2, h - 1, kBorderShade}, {w - 3, h - 1, kCornerDark},
    };
    for (const auto& c : corners) s.setPixel(c.x, c.y, toRgb(c.color));
}

void ProgressBar::drawOfficeXPStyle(std::int32_t w, std::int32_t h) {
    frameRectColor(*drawing_, {0, 0, w, h}, lightenColor(color_, 100));
    barRect_ = {1, 1, near(percent_ / 100.0 * w), h - 1};
    fillRectColor(*drawing_, barRect_, lightenColor(color_, 180));
}

void ProgressBar::drawPastelStyle(std::int32_t w, std::int32_t h) {
    drawing_->edge({0, 0, w, h}, Edge::etched);
    const std::int32_t n = near(percent_ / 100.0 * (w - 4));
    gradient(*drawing_, lightenColor(color_, 140), lightenColor(color_, 200), 2, 2, n,
             std::int64_t{h} - 3, true);
}

void ProgressBar::drawQuillStyle(std::int32_t w, std::int32_t h) {
    RasterSurface& s = *drawing_;
    frameRectColor(s, {0, 0, w, h}, lightenColor(color_, 10));
    barRect_.right = near(percent_ / 101.0 * w);
    // The fill's rows 3 .. H - 3 cover the track from column 3 to the fill's end.
    if (h >= 6 && barRect_.right > 3) s.willCover({3, 3, barRect_.right, h - 2});
    gradient(s, color_, lightenColor(color_, 100), 2, 2, std::int64_t{w} - 2, std::int64_t{h} - 5,
             false);
    s.willCover({});
    gradient(s, lightenColor(color_, 250), color_, 3, 3, barRect_.right, std::int64_t{h} - 6,
             false);
    drawLine(s, barRect_.right, 2, barRect_.right, h - 2, lightenColor(color_, 25));
}

void ProgressBar::drawMediaPlayerStyle(std::int32_t w, std::int32_t h) {
    RasterSurface& s = *drawing_;
    frameRectColor(s, {0, 0, w, h}, blendColors(s, color_, kBlackColor, 200));
    const Color end = lightenColor(resolveColor(s, blendColors(s, color_, kBlackColor, 100)), 10);
    const std::int32_t n = near(percent_ / 100.0 * (w - 5));
    gradient(s, kBlackColor, end, 2, 2, n, std::int64_t{h} - 2, true);
}

void ProgressBar::drawCustomBrushStyle(std::int32_t w, std::int32_t h) {
    RasterSurface& s = *drawing_;
    s.edge({0, 0, w, h}, Edge::bump);
    barRect_ = {2, 2, near(percent_ / 101.0 * w), h - 2};
    // The hatch style is a 16-bit value.
    if (brushStyle_ < INT16_MIN || brushStyle_ > INT16_MAX) throw Overflow{};
    s.hatchFill(barRect_, static_cast<std::int16_t>(brushStyle_), toRgb(resolveColor(s, color_)),
                toRgb(lightenColor(color_, 140)));
}

void ProgressBar::drawPictureStyle(std::int32_t w, std::int32_t h) {
    drawing_->edge({0, 0, w, h}, Edge::sunkenOuter);
    if (!image_) return;
    barRect_.right = near(percent_ / 101.0 * w);
    drawing_->patternFill({2, 2, checked(2 + std::int64_t{barRect_.right}), h - 2}, *image_);
}

void ProgressBar::drawMetallicStyle(std::int32_t w, std::int32_t h) {
    RasterSurface& s = *drawing_;
    const std::int32_t half = near((h - 3) / 2.0);
    barRect_.right = near(percent_ / 100.0 * (w - 4));
    // The fills' rows 2 .. 2h cover the tracks from column 2 to the fill's end.
    if (half >= 2 && barRect_.right > 2) s.willCover({2, 2, barRect_.right, 2 * half + 1});
    gradient(s, kWhiteColor, kSilver, 2, 2, std::int64_t{w} - 3, half, false);
    gradient(s, blendColors(s, kSilver, kBlackColor, 255), kSilver, 2, half, std::int64_t{w} - 3,
             half, false);
    s.willCover({});
    gradient(s, lightenColor(color_, 150), blendColors(s, color_, kBlackColor, 180), 2, 2,
             barRect_.right, half, false);
    gradient(s, blendColors(s, color_, kBlackColor, 190), color_, 2, half, barRect_.right, half,
             false);
    drawClassicBorder(w, h);
}

void ProgressBar::drawPercentText(std::int32_t w, std::int32_t h) {
    const std::string text =
        scrolling_ == kScrollingSearch ? "Searching.." : std::to_string(percent_) + " %";
    if (!showText_) return;
    // Two-tone text: a second pass over the fill in another colour.
    const bool twoTone = scrolling_ == kScrollingMediaPlayer || scrolling_ == kScrollingMetallic;
    const Color textColor = scrolling_ == kScrollingMediaPlayer ? kSilver : kBlackColor;
    centerTextRect(text, w, h);
    const double fillX = percent_ / 100.0 * w;
    if (!(twoTone && fillX > textRect_.right))
        drawing_->drawText(font_.get(), text, textRect_, toRgb(textColor));
    if (twoTone) drawTextOverlay(text, w);
}

void ProgressBar::centerTextRect(std::string_view text, std::int32_t w, std::int32_t h) {
    const Size size = drawing_->measureText(font_.get(), text);
    textRect_.left = near(w / 2.0 - size.width / 2.0);
    textRect_.top = near(h / 2.0 - size.height / 2.0);
    textRect_.right = checked(std::int64_t{textRect_.left} + size.width);
    textRect_.bottom = checked(std::int64_t{textRect_.top} + size.height);
}

void ProgressBar::drawTextOverlay(std::string_view text, std::int32_t w) {
    const double fillX = percent_ / 100.0 * w;
    if (fillX < textRect_.left) return;
    const Color overlay =
        scrolling_ == kScrollingMediaPlayer ? lightenColor(color_, 80) : kWhiteColor;
    textRect_.left = near(w / 2.0 - (static_cast<double>(textRect_.right) - textRect_.left) / 2.0);
    textRect_.right = near(percent_ / 100.0 * w);
    // Clipped at the fill edge, exactly on top of the first pass.
    drawing_->drawText(font_.get(), text, textRect_, toRgb(resolveColor(*drawing_, overlay)));
}

}  // namespace gaugekit
