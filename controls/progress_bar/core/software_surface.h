// A raster surface on a pixel buffer: the core tests draw on it pixel for pixel, the gallery
// writes it to PNG files, and the benchmark times it.
#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "raster.h"

namespace gaugekit {

// The system colours the software surface answers (index 13 is the highlight colour).
using SystemColorTable = std::array<Rgb, 31>;
const SystemColorTable& defaultSystemColors();

// The built-in glyph set (5 x 7 cells) enlarged by a whole factor.
class SoftwareFont : public FontObject {
  public:
    explicit SoftwareFont(int scale = 1) : scale_(scale < 1 ? 1 : scale) {}
    int scale() const { return scale_; }

  private:
    int scale_;
};

// A bitmap picture for the picture style.
class SoftwarePicture : public PictureObject {
  public:
    // The pixels row by row; a picture with fewer pixels than width x height is empty.
    SoftwarePicture(std::int32_t width, std::int32_t height, std::vector<Rgb> pixels)
        : width_(width), height_(height), pixels_(std::move(pixels)) {
        if (width_ <= 0 || height_ <= 0 ||
            pixels_.size() < static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_))
            width_ = height_ = 0;
    }
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    Rgb pixel(std::int32_t x, std::int32_t y) const {
        return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                       static_cast<std::size_t>(x)];
    }

  private:
    std::int32_t width_;
    std::int32_t height_;
    std::vector<Rgb> pixels_;
};

class SoftwareSurface : public RasterSurface {
  public:
    // A width x height buffer of its own, all white. Throws std::bad_alloc when it cannot be had.
    SoftwareSurface(std::int32_t width, std::int32_t height,
                    const SystemColorTable& systemColors = defaultSystemColors());
    // Over pixels someone else owns, top row first, each 0x??RRGGBB as a 32-bit
    // device-independent bitmap holds them (the fourth byte is unused and may take any value).
    SoftwareSurface(std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                    const SystemColorTable& systemColors = defaultSystemColors());
    SoftwareSurface(SoftwareSurface&&) = default;
    SoftwareSurface& operator=(SoftwareSurface&&) = default;

    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    Rgb pixel(std::int32_t x, std::int32_t y) const { return toRgb(pixels_[index(x, y)]); }
    std::vector<Rgb> pixels() const;

    Rgb systemColor(std::int32_t index) const override;
    Rect clipBox() const override { return {0, 0, width_, height_}; }
    void fill(const Rect& rect, Rgb color) override;
    void frame(const Rect& rect, Rgb color) override;
    void line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
              Rgb color) override;
    void columns(std::int32_t x, std::int32_t top, std::int32_t bottom, const Rgb* colors,
                 std::int32_t count) override;
    void rows(std::int32_t y, std::int32_t left, std::int32_t right, const Rgb* colors,
              std::int32_t count) override;
    void setPixel(std::int32_t x, std::int32_t y, Rgb color) override;
    void edge(const Rect& rect, Edge kind) override;
    void hatchFill(const Rect& rect, std::int16_t style, Rgb color, Rgb background) override;
    void patternFill(const Rect& rect, const PictureObject& picture) override;
    Size measureText(const FontObject* font, std::string_view text) override;
    void drawText(const FontObject* font, std::string_view text, const Rect& clip,
                  Rgb color) override;
    void copyFrom(const RasterSurface& source, std::int32_t xSrc, std::int32_t ySrc,
                  std::int32_t width, std::int32_t height, std::int32_t xDst,
                  std::int32_t yDst) override;
    void willCover(const Rect& rect) override { covered_ = rect; }

  private:
    // A colour as the pixels hold it, and back.
    static std::uint32_t toPixel(Rgb c) {
        return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
    }
    static Rgb toRgb(std::uint32_t p) { return toPixel(p); }
    std::size_t index(std::int32_t x, std::int32_t y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
               static_cast<std::size_t>(x);
    }
    std::uint32_t* row(std::int32_t y) { return pixels_ + index(0, y); }
    // The rectangle cut to the buffer.
    Rect clipped(const Rect& rect) const;
    // Rows top + 1 .. bottom - 1 of the columns [left, right) made copies of row top.
    void repeatRow(std::int32_t left, std::int32_t right, std::int32_t top, std::int32_t bottom);

    // Fills the span of a row, leaving out the part under the covered rectangle.
    void fillRow(std::int32_t y, std::int32_t left, std::int32_t right, std::uint32_t pixel);

    Rect covered_;  // drawing may leave it out
    std::vector<std::uint32_t> own_;
    std::uint32_t* pixels_;
    std::int32_t width_;
    std::int32_t height_;
    SystemColorTable systemColors_;
};

}  // namespace gaugekit
