#include "draw.h"

#include <cmath>

namespace gaugekit {
namespace {

constexpr std::int32_t kChannelMax = 255;

std::int32_t composeChannels(std::int64_t r, std::int64_t g, std::int64_t b) {
    const auto cap = [](std::int64_t c) { return c > kChannelMax ? kChannelMax : c; };
    return static_cast<std::int32_t>(cap(r) + 256 * cap(g) + 65536 * cap(b));
}

bool fitsInt32(std::int64_t v) {
    return v >= INT32_MIN && v <= INT32_MAX;
}

}  // namespace

std::optional<std::int32_t> nearest(double value) {
    // nearbyint rounds half to even in the default rounding mode.
    const double rounded = std::nearbyint(value);
    if (!(rounded >= INT32_MIN && rounded <= INT32_MAX)) return std::nullopt;
    return static_cast<std::int32_t>(rounded);
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
    for (std::int64_t i = 0; i <= n; ++i) {
        std::optional<std::int32_t> parts[3];
        for (int c = 0; c < 3; ++c) parts[c] = nearest(static_cast<double>(e[c]) + d[c] * i);
        if (!parts[0] || !parts[1] || !parts[2]) continue;
        const Color color = composeChannels(*parts[0], *parts[1], *parts[2]);
        if (bH) {
            if (!fitsInt32(x + i)) continue;
            const auto column = static_cast<std::int32_t>(x + i);
            drawLine(surface, column, y, column, y2, color);
        } else {
            if (!fitsInt32(y + i)) continue;
            const auto row = static_cast<std::int32_t>(y + i);
            drawLine(surface, x, row, x2, row, color);
        }
    }
}

}  // namespace gaugekit
