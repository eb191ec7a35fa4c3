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
    // A width x height buffer, all white. Throws std::bad_alloc when it cannot be had.
    SoftwareSurface(std::int32_t width, std::int32_t height,
                    const SystemColorTable& systemColors = defaultSystemColors());

    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    Rgb pixel(std::int32_t x, std::int32_t y) const { return pixels_[index(x, y)]; }
    const std::vector<Rgb>& pixels() const { return pixels_; }

    Rgb systemColor(std::int32_t index) const override;
    Rect clipBox() const override { return {0, 0, width_, height_}; }
    void fill(const Rect& rect, Rgb color) override;
    void frame(const Rect& rect, Rgb color) override;
    void line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
              Rgb color) override;
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

  private:
    std::size_t index(std::int32_t x, std::int32_t y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
               static_cast<std::size_t>(x);
    }
    // The rectangle cut to the buffer.
    Rect clipped(const Rect& rect) const;

    std::int32_t width_;
    std::int32_t height_;
    std::vector<Rgb> pixels_;
    SystemColorTable systemColors_;
};

}  // namespace gaugekit
