// What the progress bar draws on: a raster surface with exactly the operations the renderer
// needs. The software surface implements it on a pixel buffer; a GDI surface implements it on a
// device context.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace gaugekit {

// A colour as the control's properties hold it: red in bits 0-7, green 8-15, blue 16-23; with
// bit 31 set, a reference to the system colour whose index is the low 31 bits.
using Color = std::int32_t;

// A colour the surface paints: 0x00BBGGRR, never a system-colour reference.
using Rgb = std::uint32_t;

inline constexpr Rgb rgb(int r, int g, int b) {
    return static_cast<Rgb>(r & 0xFF) | static_cast<Rgb>(g & 0xFF) << 8 |
           static_cast<Rgb>(b & 0xFF) << 16;
}
inline constexpr Rgb kWhite = 0xFFFFFF;
inline constexpr Rgb kBlack = 0x000000;

// Right and bottom are exclusive; a rectangle with right <= left or bottom <= top covers nothing.
struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Size {
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// Three-dimensional rectangle edges, by the platform's edge flag values.
enum class Edge : std::uint32_t {
    sunkenOuter = 2,  // one sunken line
    etched = 6,       // sunken outer line, raised inner line
    bump = 9,         // raised outer line, sunken inner line
};

// Hatch patterns by the platform's values. Any other value fills solid in the line colour, as the
// platform does for its solid style 6.
enum HatchStyle : std::int16_t {
    kHatchHorizontal = 0,
    kHatchVertical = 1,
    kHatchForwardDiagonal = 2,
    kHatchBackwardDiagonal = 3,
    kHatchCross = 4,
    kHatchDiagonalCross = 5,
};

// Shared objects the control refers to. Each surface draws with the kinds it knows (a GDI surface
// with a font handle, the software surface with its glyph set) and ignores the others.
class FontObject {
  public:
    virtual ~FontObject() = default;
};
class PictureObject {
  public:
    virtual ~PictureObject() = default;
};
using FontRef = std::shared_ptr<const FontObject>;
using PictureRef = std::shared_ptr<const PictureObject>;

class RasterSurface {
  public:
    virtual ~RasterSurface() = default;

    // The system colour of an index; black for an index the system does not know.
    virtual Rgb systemColor(std::int32_t index) const = 0;
    // The smallest rectangle holding every pixel drawing can still change; nothing outside it
    // needs drawing.
    virtual Rect clipBox() const = 0;

    virtual void fill(const Rect& rect, Rgb color) = 0;
    // The one-pixel outline just inside the rectangle.
    virtual void frame(const Rect& rect, Rgb color) = 0;
    // A one-pixel line from (x1, y1) toward (x2, y2); the end point itself is not painted.
    virtual void line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                      Rgb color) = 0;
    // One-pixel columns side by side from column x rightward, each from row top to row
    // bottom - 1, column i in colors[i]: a gradient's lines at once.
    virtual void columns(std::int32_t x, std::int32_t top, std::int32_t bottom, const Rgb* colors,
                         std::int32_t count) {
        for (std::int32_t i = 0; i < count; ++i) line(x + i, top, x + i, bottom, colors[i]);
    }
    // Likewise rows one below the other from row y downward, each from column left to column
    // right - 1, row i in colors[i].
    virtual void rows(std::int32_t y, std::int32_t left, std::int32_t right, const Rgb* colors,
                      std::int32_t count) {
        for (std::int32_t i = 0; i < count; ++i) line(left, y + i, right, y + i, colors[i]);
    }
    virtual void setPixel(std::int32_t x, std::int32_t y, Rgb color) = 0;
    // The edge around the rectangle, in the system's 3-D element colours.
    virtual void edge(const Rect& rect, Edge kind) = 0;
    // Hatch lines in `color`, the gaps in `background`; the pattern is anchored at the origin.
    virtual void hatchFill(const Rect& rect, std::int16_t style, Rgb color, Rgb background) = 0;
    // The picture tiled over the rectangle from the surface origin; nothing when the picture
    // cannot be tiled on this surface.
    virtual void patternFill(const Rect& rect, const PictureObject& picture) = 0;
    // One line of text in the font (the surface's default font when null).
    virtual Size measureText(const FontObject* font, std::string_view text) = 0;
    // The glyphs only, top-left at the rectangle's top-left, clipped to the rectangle.
    virtual void drawText(const FontObject* font, std::string_view text, const Rect& clip,
                          Rgb color) = 0;
    // Called before a redraw paints the whole picture: a surface that others may draw on too
    // settles their drawing first.
    virtual void startPicture() {}
    // A promise that drawing after the drawing to come paints this rectangle whole: the drawing
    // to come may leave it out. An empty rectangle ends the promise. Only a speed-up: a surface
    // may ignore it.
    virtual void willCover(const Rect&) {}
    // Copies width x height pixels from (xSrc, ySrc) of the source to (xDst, yDst) here; nothing
    // when the source is a surface of another kind.
    virtual void copyFrom(const RasterSurface& source, std::int32_t xSrc, std::int32_t ySrc,
                          std::int32_t width, std::int32_t height, std::int32_t xDst,
                          std::int32_t yDst) = 0;
};

}  // namespace gaugekit
