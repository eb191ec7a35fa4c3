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
    // Whole values through a 64-bit integer, which truncates whatever the mode.
    if (!(value > -4e18 && value < 4e18)) return std::nullopt;  // NaN as well
    std::int64_t whole = static_cast<std::int64_t>(value);
    if (static_cast<double>(whole) > value) --whole;             // toward minus infinity
    const double fraction = value - static_cast<double>(whole);  // exact
    if (fraction > 0.5 || (fraction == 0.5 && (whole & 1))) ++whole;
    if (whole < INT32_MIN || whole > INT32_MAX) return std::nullopt;
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
    // The rows (or columns) a line from `from` toward `to` paints, `to` left out: [first, end).
    const auto span = [](std::int64_t from, std::int64_t to) {
        return from <= to ? std::pair{from, to} : std::pair{to + 1, from + 1};
    };
    const auto [paintFirst, paintEnd] = bH ? span(y, y2) : span(x, x2);
    const std::int64_t across = bH ? clip.top : clip.left,
                       acrossEnd = bH ? clip.bottom : clip.right;
    if (paintFirst >= paintEnd || paintEnd <= across || paintFirst >= acrossEnd) return;
    const std::int64_t origin = bH ? x : y;
    const std::int64_t first = std::max<std::int64_t>(0, (bH ? clip.left : clip.top) - origin);
    const std::int64_t last =
        std::min<std::int64_t>(n, std::int64_t{bH ? clip.right : clip.bottom} - 1 - origin);

    // In double precision on every processor: a float step times the line number would be
    // rounded to single precision by some and not by others.
    // The three channels side by side, rounded as nearest() does, so that the processor works
    // on them at once.
    const auto colorAt = [&](std::int64_t i) -> std::optional<Color> {
        double value[3];
        std::int64_t whole[3];
        for (int c = 0; c < 3; ++c) {
            value[c] =
                static_cast<double>(e[c]) + static_cast<double>(d[c]) * static_cast<double>(i);
            if (!(value[c] >= -2147483648.5 && value[c] < 2147483647.5))
                return std::nullopt;  // beyond 32 bits: that line is skipped
        }
        for (int c = 0; c < 3; ++c) {
            whole[c] = static_cast<std::int64_t>(value[c]);
            whole[c] -= static_cast<double>(whole[c]) > value[c];
            const double fraction = value[c] - static_cast<double>(whole[c]);
            whole[c] += fraction > 0.5 || (fraction == 0.5 && (whole[c] & 1));
        }
        return composeChannels(whole[0], whole[1], whole[2]);
    };
    // The lines go to the surface in batches, each over the pixels it paints within the clip box.
    const auto from = static_cast<std::int32_t>(std::max(paintFirst, across));
    const auto to = static_cast<std::int32_t>(std::min(paintEnd, acrossEnd));
    constexpr std::int32_t kBatch = 256;
    Rgb batch[kBatch];
    std::int32_t count = 0;
    std::int64_t batchFirst = first;
    const auto flush = [&] {
        const auto at = static_cast<std::int32_t>(origin + batchFirst);  // within the clip box
        if (count && bH) surface.columns(at, from, to, batch, count);
        if (count && !bH) surface.rows(at, from, to, batch, count);
        count = 0;
    };
    for (std::int64_t i = first; i <= last; ++i) {
        const auto color = colorAt(i);
        if (!color) {
            flush();
            continue;
        }
        if (count == 0) batchFirst = i;
        batch[count++] = toRgb(*color);
        if (count == kBatch) flush();
    }
    flush();
}

}  // namespace gaugekit
