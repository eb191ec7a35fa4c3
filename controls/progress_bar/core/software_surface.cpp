#include "software_surface.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace gaugekit {
namespace {

// System colour indexes the 3-D edges use.
constexpr std::int32_t kButtonShadow = 16;
constexpr std::int32_t kButtonHighlight = 20;
constexpr std::int32_t kDarkShadow3d = 21;
constexpr std::int32_t kLight3d = 22;

// Glyphs of 5 x 7 pixels, one byte a row, bit 4 the leftmost column.
struct Glyph {
    char ch;
    std::uint8_t rows[7];
};
constexpr Glyph kGlyphs[] = {
    {' ', {0, 0, 0, 0, 0, 0, 0}},
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'%', {0x18, 0x19, 0x02, 0x04, 0x08, 0x13, 0x03}},
    {'-', {0, 0, 0, 0x1F, 0, 0, 0}},
    {'.', {0, 0, 0, 0, 0, 0x0C, 0x0C}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'a', {0, 0, 0x0E, 0x01, 0x0F, 0x11, 0x0F}},
    {'c', {0, 0, 0x0E, 0x10, 0x10, 0x11, 0x0E}},
    {'e', {0, 0, 0x0E, 0x11, 0x1F, 0x10, 0x0E}},
    {'g', {0, 0x0F, 0x11, 0x11, 0x0F, 0x01, 0x0E}},
    {'h', {0x10, 0x10, 0x16, 0x19, 0x11, 0x11, 0x11}},
    {'i', {0x04, 0, 0x0C, 0x04, 0x04, 0x04, 0x0E}},
    {'n', {0, 0, 0x16, 0x19, 0x11, 0x11, 0x11}},
    {'r', {0, 0, 0x16, 0x19, 0x10, 0x10, 0x10}},
};
// Characters outside the set show as a box, so that nothing is silently dropped.
constexpr Glyph kMissingGlyph = {'?', {0x1F, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1F}};
constexpr int kCellWidth = 6;   // five columns and a gap
constexpr int kCellHeight = 9;  // a row above and below the seven glyph rows

const Glyph& glyphFor(char ch) {
    for (const auto& g : kGlyphs)
        if (g.ch == ch) return g;
    return kMissingGlyph;
}

int fontScale(const FontObject* font) {
    const auto* own = dynamic_cast<const SoftwareFont*>(font);
    return own ? own->scale() : 1;
}

// Whether a hatch style paints (x, y) in the line colour; the 8 x 8 cell starts at the origin,
// its lines where the platform draws them.
bool hatchPixel(std::int16_t style, std::int32_t x, std::int32_t y) {
    const int cx = x & 7;
    const int cy = y & 7;
    const bool horizontal = cy == 3;
    const bool vertical = cx == 4;
    const bool forward = cx == cy;
    const bool backward = cx + cy == 7;
    switch (style) {
        case kHatchHorizontal:
            return horizontal;
        case kHatchVertical:
            return vertical;
        case kHatchForwardDiagonal:
            return forward;
        case kHatchBackwardDiagonal:
            return backward;
        case kHatchCross:
            return horizontal || vertical;
        case kHatchDiagonalCross:
            return forward || backward;
        default:
            return true;  // no pattern of that number: solid, as the platform's style 6
    }
}

// Whether a pixel's three channels are equal: a grey, whose unused fourth byte may take the same
// value, so that the system's memset (the fastest fill there is) can write it.
bool grey(std::uint32_t pixel) {
    return (pixel & 0xFF) == (pixel >> 8 & 0xFF) && (pixel & 0xFF) == (pixel >> 16 & 0xFF);
}

void fillSpan(std::uint32_t* at, std::size_t count, std::uint32_t pixel) {
    if (grey(pixel)) {
        std::memset(at, static_cast<int>(pixel & 0xFF), count * 4);
        return;
    }
    // Sixteen pixels a step, which compilers turn into wide stores.
    std::uint32_t block[16];
    std::fill(block, block + 16, pixel);
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) std::memcpy(at + i, block, sizeof(block));
    std::memcpy(at + i, block, (count - i) * 4);
}

// A rectangle from wide coordinates, each held to the 32-bit range.
Rect wideRect(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom) {
    const auto hold = [](std::int64_t v) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
    };
    return {hold(left), hold(top), hold(right), hold(bottom)};
}

std::int32_t positiveModulo(std::int64_t value, std::int32_t divisor) {
    const auto m = static_cast<std::int32_t>(value % divisor);
    return m < 0 ? m + divisor : m;
}

}  // namespace

const SystemColorTable& defaultSystemColors() {
    static const SystemColorTable table = {
        rgb(200, 200, 200), rgb(0, 0, 0),       rgb(153, 180, 209), rgb(191, 205, 219),
        rgb(240, 240, 240), rgb(255, 255, 255), rgb(100, 100, 100), rgb(0, 0, 0),
        rgb(0, 0, 0),       rgb(0, 0, 0),       rgb(180, 180, 180), rgb(244, 247, 252),
        rgb(171, 171, 171), rgb(0, 120, 215),   rgb(255, 255, 255), rgb(240, 240, 240),
        rgb(160, 160, 160), rgb(109, 109, 109), rgb(0, 0, 0),       rgb(0, 0, 0),
        rgb(255, 255, 255), rgb(105, 105, 105), rgb(227, 227, 227), rgb(0, 0, 0),
        rgb(255, 255, 225), rgb(0, 0, 0),       rgb(0, 102, 204),   rgb(185, 209, 234),
        rgb(215, 228, 242), rgb(51, 153, 255),  rgb(240, 240, 240),
    };
    return table;
}

SoftwareSurface::SoftwareSurface(std::int32_t width, std::int32_t height,
                                 const SystemColorTable& systemColors)
    : own_(static_cast<std::size_t>(std::max(width, 0)) *
               static_cast<std::size_t>(std::max(height, 0)),
           toPixel(kWhite)),
      pixels_(own_.data()),
      width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      systemColors_(systemColors) {}

SoftwareSurface::SoftwareSurface(std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                                 const SystemColorTable& systemColors)
    : pixels_(pixels),
      width_(pixels ? std::max(width, 0) : 0),
      height_(pixels ? std::max(height, 0) : 0),
      systemColors_(systemColors) {}

std::vector<Rgb> SoftwareSurface::pixels() const {
    std::vector<Rgb> result(pixels_, pixels_ + static_cast<std::size_t>(width_) * height_);
    for (Rgb& p : result) p = toRgb(p);
    return result;
}

Rgb SoftwareSurface::systemColor(std::int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= systemColors_.size()) return kBlack;
    return systemColors_[static_cast<std::size_t>(index)];
}

Rect SoftwareSurface::clipped(const Rect& rect) const {
    return {std::max(rect.left, 0), std::max(rect.top, 0), std::min(rect.right, width_),
            std::min(rect.bottom, height_)};
}

void SoftwareSurface::repeatRow(std::int32_t left, std::int32_t right, std::int32_t top,
                                std::int32_t bottom) {
    // A block copy of the finished row outpaces drawing each row again.
    const auto bytes = static_cast<std::size_t>(right - left) * sizeof(std::uint32_t);
    const std::uint32_t* first = row(top) + left;
    for (std::int32_t y = top + 1; y < bottom; ++y) std::memcpy(row(y) + left, first, bytes);
}

void SoftwareSurface::fill(const Rect& rect, Rgb color) {
    const Rect r = clipped(rect);
    if (r.right <= r.left || r.bottom <= r.top) return;
    const Rect c = covered_;
    if (c.left < r.right && c.right > r.left && c.top < r.bottom && c.bottom > r.top) {
        // Around the covered part only: above, below, then left and right of it.
        covered_ = Rect{};
        fill({r.left, r.top, r.right, c.top}, color);
        fill({r.left, c.bottom, r.right, r.bottom}, color);
        fill({r.left, std::max(r.top, c.top), c.left, std::min(r.bottom, c.bottom)}, color);
        fill({c.right, std::max(r.top, c.top), r.right, std::min(r.bottom, c.bottom)}, color);
        covered_ = c;
        return;
    }
    const std::uint32_t pixel = toPixel(color);
    const auto width = static_cast<std::size_t>(r.right - r.left);
    if (width < 16) {  // narrow: the block gaps, lines down the bar
        std::uint32_t* at = row(r.top) + r.left;
        for (std::int32_t y = r.top; y < r.bottom; ++y, at += width_)
            for (std::size_t x = 0; x < width; ++x) at[x] = pixel;
        return;
    }
    if (width == static_cast<std::size_t>(width_) && grey(pixel)) {  // the backgrounds
        std::memset(row(r.top), static_cast<int>(pixel & 0xFF),
                    width * static_cast<std::size_t>(r.bottom - r.top) * 4);
        return;
    }
    fillSpan(row(r.top) + r.left, width, pixel);
    repeatRow(r.left, r.right, r.top, r.bottom);
}

void SoftwareSurface::columns(std::int32_t x, std::int32_t top, std::int32_t bottom,
                              const Rgb* colors, std::int32_t count) {
    const Rect r = clipped(wideRect(x, top, std::int64_t{x} + count, bottom));
    if (r.right <= r.left || r.bottom <= r.top) return;
    std::uint32_t* first = row(r.top);
    for (std::int32_t c = r.left; c < r.right; ++c) first[c] = toPixel(colors[c - x]);
    repeatRow(r.left, r.right, r.top, r.bottom);
}

void SoftwareSurface::rows(std::int32_t y, std::int32_t left, std::int32_t right, const Rgb* colors,
                           std::int32_t count) {
    const Rect r = clipped(wideRect(left, y, right, std::int64_t{y} + count));
    for (std::int32_t at = r.top; at < r.bottom; ++at)
        fillRow(at, r.left, r.right, toPixel(colors[at - y]));
}

void SoftwareSurface::fillRow(std::int32_t y, std::int32_t left, std::int32_t right,
                              std::uint32_t pixel) {
    if (y >= covered_.top && y < covered_.bottom && covered_.left < right &&
        covered_.right > left) {
        if (covered_.left > left) fillSpan(row(y) + left, covered_.left - left, pixel);
        if (covered_.right < right)
            fillSpan(row(y) + covered_.right, right - covered_.right, pixel);
        return;
    }
    if (right > left) fillSpan(row(y) + left, static_cast<std::size_t>(right - left), pixel);
}

void SoftwareSurface::frame(const Rect& rect, Rgb color) {
    if (rect.right <= rect.left || rect.bottom <= rect.top) return;
    const std::int64_t l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
    fill(wideRect(l, t, r, t + 1), color);
    fill(wideRect(l, b - 1, r, b), color);
    fill(wideRect(l, t, l + 1, b), color);
    fill(wideRect(r - 1, t, r, b), color);
}

void SoftwareSurface::line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                           Rgb color) {
    // Straight lines are fills: the end point is the exclusive edge, whichever the direction.
    const std::int64_t ax = x1, ay = y1, bx = x2, by = y2;
    if (ay == by) {
        if (ax <= bx)
            fill(wideRect(ax, ay, bx, ay + 1), color);
        else
            fill(wideRect(bx + 1, ay, ax + 1, ay + 1), color);
        return;
    }
    if (ax == bx) {
        if (ay <= by)
            fill(wideRect(ax, ay, ax + 1, by), color);
        else
            fill(wideRect(ax, by + 1, ax + 1, ay + 1), color);
        return;
    }
    // Any other slope: Bresenham, stopping before the end point.
    std::int64_t x = x1, y = y1;
    const std::int64_t dx = std::llabs(static_cast<std::int64_t>(x2) - x1);
    const std::int64_t dy = -std::llabs(static_cast<std::int64_t>(y2) - y1);
    const int sx = x1 < x2 ? 1 : -1;
    const int sy = y1 < y2 ? 1 : -1;
    std::int64_t err = dx + dy;
    while (x != x2 || y != y2) {
        if (x >= 0 && x < width_ && y >= 0 && y < height_)
            pixels_[index(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y))] =
                toPixel(color);
        const std::int64_t e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void SoftwareSurface::setPixel(std::int32_t x, std::int32_t y, Rgb color) {
    if (x >= 0 && x < width_ && y >= 0 && y < height_) pixels_[index(x, y)] = toPixel(color);
}

void SoftwareSurface::edge(const Rect& rect, Edge kind) {
    const auto flags = static_cast<std::uint32_t>(kind);
    // One border: top and left in one colour, bottom and right (corners included) in the other.
    const auto border = [this](const Rect& r, std::int32_t topLeft, std::int32_t bottomRight) {
        if (r.right <= r.left || r.bottom <= r.top) return;
        const Rgb light = systemColor(topLeft);
        const Rgb dark = systemColor(bottomRight);
        const std::int64_t left = r.left, top = r.top, right = r.right, bottom = r.bottom;
        fill(wideRect(left, top, right - 1, top + 1), light);
        fill(wideRect(left, top, left + 1, bottom - 1), light);
        fill(wideRect(left, bottom - 1, right, bottom), dark);
        fill(wideRect(right - 1, top, right, bottom), dark);
    };
    if (flags & 1) border(rect, kLight3d, kDarkShadow3d);
    if (flags & 2) border(rect, kButtonShadow, kButtonHighlight);
    const Rect inner = wideRect(std::int64_t{rect.left} + 1, std::int64_t{rect.top} + 1,
                                std::int64_t{rect.right} - 1, std::int64_t{rect.bottom} - 1);
    if (flags & 4) border(inner, kButtonHighlight, kButtonShadow);
    if (flags & 8) border(inner, kDarkShadow3d, kLight3d);
}

void SoftwareSurface::hatchFill(const Rect& rect, std::int16_t style, Rgb color, Rgb background) {
    const Rect r = clipped(rect);
    if (r.right <= r.left || r.bottom <= r.top) return;
    const std::int32_t width = r.right - r.left;
    // The pattern repeats every eight rows: those are drawn, the others copied from them.
    for (std::int32_t y = r.top; y < r.bottom; ++y) {
        std::uint32_t* line = row(y) + r.left;
        if (y >= r.top + 8) {
            std::memcpy(line, row(y - 8) + r.left, static_cast<std::size_t>(width) * 4);
            continue;
        }
        // The first eight pixels of the row, then the row doubled until it is whole.
        const std::int32_t cell = std::min(width, 8);
        for (std::int32_t x = 0; x < cell; ++x)
            line[x] = toPixel(hatchPixel(style, r.left + x, y) ? color : background);
        for (std::int32_t done = cell; done < width; done *= 2)
            std::memcpy(line + done, line,
                        static_cast<std::size_t>(std::min(done, width - done)) * 4);
    }
}

void SoftwareSurface::patternFill(const Rect& rect, const PictureObject& picture) {
    const auto* bitmap = dynamic_cast<const SoftwarePicture*>(&picture);
    if (!bitmap || bitmap->width() <= 0 || bitmap->height() <= 0) return;
    const Rect r = clipped(rect);
    if (r.right <= r.left) return;
    const std::int32_t firstColumn = positiveModulo(r.left, bitmap->width());
    for (std::int32_t y = r.top; y < r.bottom; ++y) {
        std::uint32_t* line = row(y);
        if (y >= r.top + bitmap->height()) {  // the picture's row was drawn already
            std::memcpy(line + r.left, row(y - bitmap->height()) + r.left,
                        static_cast<std::size_t>(r.right - r.left) * 4);
            continue;
        }
        const std::int32_t sy = positiveModulo(y, bitmap->height());
        std::int32_t sx = firstColumn;
        for (std::int32_t x = r.left; x < r.right; ++x) {
            line[x] = toPixel(bitmap->pixel(sx, sy));
            if (++sx == bitmap->width()) sx = 0;
        }
    }
}

Size SoftwareSurface::measureText(const FontObject* font, std::string_view text) {
    const int scale = fontScale(font);
    return {static_cast<std::int32_t>(text.size()) * kCellWidth * scale, kCellHeight * scale};
}

void SoftwareSurface::drawText(const FontObject* font, std::string_view text, const Rect& clip,
                               Rgb color) {
    const int scale = fontScale(font);
    const Rect r = clipped(clip);
    const std::uint32_t pixel = toPixel(color);
    std::int64_t left = clip.left;
    for (const char ch : text) {
        const Glyph& glyph = glyphFor(ch);
        for (int row = 0; row < 7; ++row) {
            for (int column = 0; column < 5; ++column) {
                if (!(glyph.rows[row] & (0x10 >> column))) continue;
                const std::int64_t x0 = left + static_cast<std::int64_t>(column) * scale;
                const std::int64_t y0 = clip.top + static_cast<std::int64_t>(row + 1) * scale;
                for (std::int64_t y = y0; y < y0 + scale; ++y)
                    for (std::int64_t x = x0; x < x0 + scale; ++x)
                        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
                            pixels_[index(static_cast<std::int32_t>(x),
                                          static_cast<std::int32_t>(y))] = pixel;
            }
        }
        left += static_cast<std::int64_t>(kCellWidth) * scale;
    }
}

void SoftwareSurface::copyFrom(const RasterSurface& source, std::int32_t xSrc, std::int32_t ySrc,
                               std::int32_t width, std::int32_t height, std::int32_t xDst,
                               std::int32_t yDst) {
    const auto* from = dynamic_cast<const SoftwareSurface*>(&source);
    if (!from) return;
    // The block cut to both buffers, in source coordinates.
    const std::int64_t shiftX = std::int64_t{xDst} - xSrc, shiftY = std::int64_t{yDst} - ySrc;
    const std::int64_t left = std::max<std::int64_t>({xSrc, 0, -shiftX});
    const std::int64_t top = std::max<std::int64_t>({ySrc, 0, -shiftY});
    const std::int64_t right =
        std::min<std::int64_t>({std::int64_t{xSrc} + width, from->width_, width_ - shiftX});
    const std::int64_t bottom =
        std::min<std::int64_t>({std::int64_t{ySrc} + height, from->height_, height_ - shiftY});
    if (right <= left || bottom <= top) return;
    const auto count = static_cast<std::size_t>(right - left);
    const auto at = [](const SoftwareSurface& s, std::int64_t x, std::int64_t y) {
        return s.pixels_ + s.index(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
    };
    if (from != this && count == static_cast<std::size_t>(width_) && from->width_ == width_) {
        // Whole rows of equally wide surfaces: one block.
        std::memcpy(at(*this, left + shiftX, top + shiftY), at(*from, left, top),
                    count * static_cast<std::size_t>(bottom - top) * 4);
        return;
    }
    // Within one surface the block may overlap itself: rows go in the order that reads each
    // before it is written, and memmove minds the columns.
    const bool upward = from == this && shiftY > 0;
    for (std::int64_t i = 0; i < bottom - top; ++i) {
        const std::int64_t y = upward ? bottom - 1 - i : top + i;
        std::memmove(at(*this, left + shiftX, y + shiftY), at(*from, left, y), count * 4);
    }
}

}  // namespace gaugekit
