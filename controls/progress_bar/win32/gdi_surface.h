// The core's raster surface on a GDI device context, and the font and picture objects the control
// hands to it (the standard OLE font and picture objects, of which only the handles are used).
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstdint>
#include <memory>

#include "raster.h"
#include "software_surface.h"
#include "win32/handles.h"

namespace gaugekit {

// A shared reference to a standard font object; the surface draws with its font handle.
class GdiFont : public FontObject {
  public:
    explicit GdiFont(IFont* font) : font_(font) {
        if (font_) font_->AddRef();
    }
    ~GdiFont() override {
        if (font_) font_->Release();
    }
    GdiFont(const GdiFont&) = delete;
    GdiFont& operator=(const GdiFont&) = delete;
    IFont* font() const { return font_; }
    HFONT handle() const;

  private:
    IFont* font_;
};

// A shared reference to a standard picture object; the surface tiles its bitmap.
class GdiPicture : public PictureObject {
  public:
    explicit GdiPicture(IPicture* picture) : picture_(picture) {
        if (picture_) picture_->AddRef();
    }
    ~GdiPicture() override {
        if (picture_) picture_->Release();
    }
    GdiPicture(const GdiPicture&) = delete;
    GdiPicture& operator=(const GdiPicture&) = delete;
    IPicture* picture() const { return picture_; }
    // The bitmap handle, or null when the picture is no bitmap.
    HBITMAP bitmap() const;

  private:
    IPicture* picture_;
};

// Draws on a device context it does not own (a host's, or the control's own). A null context is
// allowed: every operation then fails quietly and paints nothing.
class GdiSurface : public RasterSurface {
  public:
    explicit GdiSurface(HDC dc = nullptr) : dc_(dc) {}
    HDC dc() const { return dc_; }
    // Draws on another context from now on (the control's own, once it has a window).
    void attach(HDC dc) { dc_ = dc; }

    Rgb systemColor(std::int32_t index) const override;
    Rect clipBox() const override;
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
    HDC dc_;
};

// The control's off-screen surface: a 32-bit device-independent bitmap selected into a memory
// context that it owns. Fills, straight lines, hatches and gradients are written into its pixels
// by the software surface: the pixels GDI paints, many times faster than a GDI call each. Text,
// 3-D edges, pictures, slanted lines and copies go through GDI on its context.
class DibSurface : public GdiSurface {
  public:
    // Null when the memory context or the bitmap cannot be had.
    static std::unique_ptr<DibSurface> create(Size size);
    ~DibSurface() override;

    Rect clipBox() const override { return pixels_.clipBox(); }
    void fill(const Rect& rect, Rgb color) override { pixels().fill(rect, color); }
    void frame(const Rect& rect, Rgb color) override { pixels().frame(rect, color); }
    void line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
              Rgb color) override;
    void columns(std::int32_t x, std::int32_t top, std::int32_t bottom, const Rgb* colors,
                 std::int32_t count) override {
        pixels().columns(x, top, bottom, colors, count);
    }
    void rows(std::int32_t y, std::int32_t left, std::int32_t right, const Rgb* colors,
              std::int32_t count) override {
        pixels().rows(y, left, right, colors, count);
    }
    void setPixel(std::int32_t x, std::int32_t y, Rgb color) override {
        pixels().setPixel(x, y, color);
    }
    void hatchFill(const Rect& rect, std::int16_t style, Rgb color, Rgb background) override {
        pixels().hatchFill(rect, style, color, background);
    }
    void edge(const Rect& rect, Edge kind) override;
    void patternFill(const Rect& rect, const PictureObject& picture) override;
    Size measureText(const FontObject* font, std::string_view text) override;
    void drawText(const FontObject* font, std::string_view text, const Rect& clip,
                  Rgb color) override;
    void copyFrom(const RasterSurface& source, std::int32_t xSrc, std::int32_t ySrc,
                  std::int32_t width, std::int32_t height, std::int32_t xDst,
                  std::int32_t yDst) override;
    void startPicture() override;
    void willCover(const Rect& rect) override { pixels_.willCover(rect); }

  private:
    DibSurface(win::MemoryDc dc, win::Bitmap bitmap, HGDIOBJ previous, std::uint32_t* bits,
               Size size);
    // The pixels, once GDI has finished what it was asked to draw on them.
    SoftwareSurface& pixels();
    // Selects the font text is drawn in: a copy of the caller's, made anew only when its
    // description changes, which stays selected (selecting a font costs more than the text).
    void selectFont(const FontObject* font);

    win::MemoryDc memory_;
    HGDIOBJ firstFont_ = nullptr;  // the context's own font, selected when there is none
    win::Font font_;
    LOGFONTW fontDescription_{};
    win::Bitmap bitmap_;
    HGDIOBJ previous_;
    SoftwareSurface pixels_;
    bool gdiPending_ = false;  // GDI drew since the pixels were last written directly
};

// Reads a bitmap as 32-bit pixels 0x00RRGGBB, top row first, into out (width * height of them);
// false when the system could not give every row.
bool readPixels(HDC dc, HBITMAP bitmap, int width, int height, std::uint32_t* out);

// Whether the handle names a device context with pixels (a window's, a memory or a printer
// context), or with metafiles allowed also a recording one. Drawing on any other handle can crash
// inside the system's drawing code.
bool isDeviceContext(HDC dc, bool metafiles);

// The handle a 32-bit property value names: sign-extended, as 64-bit Windows does for handles.
template <typename H>
H handleFromLong(LONG value) {
    return reinterpret_cast<H>(static_cast<INT_PTR>(value));
}
template <typename H>
LONG longFromHandle(H handle) {
    return static_cast<LONG>(reinterpret_cast<INT_PTR>(handle));
}

}  // namespace gaugekit
