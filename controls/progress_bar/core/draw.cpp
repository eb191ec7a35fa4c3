#include "draw.h"

#include <algorithm>
#include <cmath>

namespace gaugekit {
namespace {

constexpr std::int32_t kChannelMax = 255;

std::int32_t composeChannels(std::int64_t r, std::int64_t g, std::int64_t b) {
    const auto cap = [](std::int64_t c) { return c > kChannelMax ? kChannelMax : c; };
    return static_cast<std::int32_t>(cap(r) + 256 * cap(g) + 65536 * cap(b));
}

}  // namespace

std::optional<std::int32_t> nearest(double value) {
    // Rounded by hand: the processor's rounding mode is the host's and may not be to nearest.
    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0)) whole += 1;
    if (!(whole >= INT32_MIN && whole <= INT32_MAX)) return std::nullopt;  // NaN as well
    return static_cast<std::int32_t>(whole);
}

Color resolveColor(const RasterSurface& surface, Color color) {
    if (color >= 0) return color;
    return static_cast<Color>(surface.systemColor(color & 0x7FFFFFFF));
}

Color lightenColor(Color color, std::int32_t amount) {
    // Channels taken as the arithmetic gives them (truncating division, remainder with the
    // dividend's sign), so an unresolved colour comes out as it always has.
    const std::int64_t r = color & 0xFF;
    const std::int64_t g = (color / 256) % 256;
    const std::int64_t b = (color / 65536) % 256;
    const auto lighten = [amount](std::int64_t c) {
        return amount + ((kChannelMax - static_cast<std::int64_t>(amount)) * c) / kChannelMax;
    };
    return composeChannels(lighten(r), lighten(g), lighten(b));
}

Color blendColors(const RasterSurface& surface, Color color1, Color color2, std::int32_t weight) {
    const auto c1 = static_cast<std::uint32_t>(resolveColor(surface, color1));
    const auto c2 = static_cast<std::uint32_t>(resolveColor(surface, color2));
    std::int64_t channels[3] = {};
    for (int i = 0; i < 3; ++i) {
        const double a = (c1 >> (8 * i)) & 0xFF;
        const double b = (c2 >> (8 * i)) & 0xFF;
        const double mixed = (kChannelMax - static_cast<double>(weight)) * b / kChannelMax +
                             static_cast<double>(weight) * a / kChannelMax;
        channels[i] = static_cast<std::int64_t>(std::nearbyint(mixed));
    }
    return composeChannels(channels[0], channels[1], channels[2]);
}

void fillRectColor(RasterSurface& surface, const Rect& rect, Color color) {
    surface.fill(rect, toRgb(resolveColor(surface, color)));
}

void frameRectColor(RasterSurface& surface, const Rect& rect, Color color) {
    surface.frame(rect, toRgb(color));
}

void drawLine(RasterSurface& surface, std::int32_t x, std::int32_t y, std::int32_t x2,
              std::int32_t y2, Color color) {
    surface.line(x, y, x2, y2, toRgb(resolveColor(surface, color)));
}

void drawGradient(RasterSurface& surface, Color& endColor, Color& startColor, std::int32_t x,
                  std::int32_t y, std::int32_t x2, std::int32_t y2, bool bH) {
    endColor = resolveColor(surface, endColor);
    startColor = resolveColor(surface, startColor);
    const auto channels = [](Color c, float out[3]) {
        out[0] = static_cast<float>(c & 0xFF);
        out[1] = static_cast<float>((c / 256) & 0xFF);
        out[2] = static_cast<float>(c & 0xFF0000) / 65536.0f;
    };
    float s[3], e[3];
    channels(startColor, s);
    channels(endColor, e);
    const std::int32_t n = bH ? x2 : y2;
    float d[3] = {0, 0, 0};
    if (n != 0) {
        for (int c = 0; c < 3; ++c)
            d[c] = static_cast<float>((static_cast<double>(s[c]) - e[c]) / n);
    }

    // Lines wholly outside the clip box change no pixel, so only those that meet it are drawn:
    // a count of two billion draws as fast as the surface is wide.
    const Rect clip = surface.clipBox();
    const std::int64_t left = clip.left, right = clip.right;
    const std::int64_t top = clip.top, bottom = clip.bottom;
    // Each line runs from `from` toward `to` across the other axis, `to` left out.
    const auto meets = [](std::int64_t from, std::int64_t to, std::int64_t low, std::int64_t high) {
        const std::int64_t first = from <= to ? from : to + 1;
        const std::int64_t last = from <= to ? to - 1 : from;
        return first <= last && last >= low && first < high;
    };
    if (bH ? !meets(y, y2, top, bottom) : !meets(x, x2, left, right)) return;
    const std::int64_t origin = bH ? x : y;
    const std::int64_t low = std::max<std::int64_t>(bH ? left : top, INT32_MIN);
    const std::int64_t high = std::min<std::int64_t>((bH ? right : bottom) - 1, INT32_MAX);
    const std::int64_t first = std::max<std::int64_t>(0, low - origin);
    const std::int64_t last = std::min<std::int64_t>(n, high - origin);

    for (std::int64_t i = first; i <= last; ++i) {
        // In double precision on every processor: a float step times the line number would be
        // rounded to single precision by some and not by others.
        std::optional<std::int32_t> parts[3];
        for (int c = 0; c < 3; ++c)
            parts[c] = nearest(static_cast<double>(e[c]) +
                               static_cast<double>(d[c]) * static_cast<double>(i));
        if (!parts[0] || !parts[1] || !parts[2]) continue;
        const Color color = composeChannels(*parts[0], *parts[1], *parts[2]);
        const auto at = static_cast<std::int32_t>(origin + i);  // between low and high
        if (bH)
            drawLine(surface, at, y, at, y2, color);
        else
            drawLine(surface, x, at, x2, at, color);
    }
}

}  // namespace gaugekit
