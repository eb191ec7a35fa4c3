// The progress bar's drawing primitives: colour arithmetic, fills, outlines, lines and line
// gradients over a raster surface. DrawLine and DrawGradient are also public methods of the
// control, which a host calls on surfaces of its own.
#pragma once

#include <cstdint>
#include <optional>

#include "raster.h"

namespace gaugekit {

// Nearest integer, ties to the even neighbour (2.5 gives 2, 3.5 gives 4); nothing when the result
// does not fit 32 bits.
std::optional<std::int32_t> nearest(double value);

// System-colour references (bit 31 set) become the surface's system colour; others stay.
Color resolveColor(const RasterSurface& surface, Color color);

// Each channel moved `amount` of the way toward 255 (0 unchanged, 255 white). The colour is not
// resolved first.
Color lightenColor(Color color, std::int32_t amount);

// weight/255 of colour1 plus the rest of colour2, both resolved first.
Color blendColors(const RasterSurface& surface, Color color1, Color color2, std::int32_t weight);

// What a surface paints for a resolved colour: its low 24 bits.
inline Rgb toRgb(Color color) {
    return static_cast<Rgb>(color) & 0xFFFFFF;
}

// Fills with the resolved colour.
void fillRectColor(RasterSurface& surface, const Rect& rect, Color color);
// The outline in the colour as passed.
void frameRectColor(RasterSurface& surface, const Rect& rect, Color color);
// A one-pixel line in the resolved colour from (x, y) to the end point (x2, y2), which is left
// out.
void drawLine(RasterSurface& surface, std::int32_t x, std::int32_t y, std::int32_t x2,
              std::int32_t y2, Color color);

// N + 1 one-pixel lines whose colour runs from endColor (offset 0) to startColor (offset N).
// Horizontal (bH true): N = x2, vertical lines from row y to row y2 at columns x + i.
// Otherwise: N = y2, horizontal lines from column x to column x2 at rows y + i.
// Both colours are resolved in place. A step that fails is skipped; the gradient never fails.
void drawGradient(RasterSurface& surface, Color& endColor, Color& startColor, std::int32_t x,
                  std::int32_t y, std::int32_t x2, std::int32_t y2, bool bH);

}  // namespace gaugekit
