#include "gdi_surface.h"

#include <string>

namespace gaugekit {
namespace {

RECT toRect(const Rect& r) {
    return RECT{r.left, r.top, r.right, r.bottom};
}

// GDI would paint an inverted rectangle mirrored; here it covers nothing, as on every surface.
bool empty(const Rect& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

// Selects an object into a context for one scope and puts the previous one back.
class Selection {
  public:
    Selection(HDC dc, HGDIOBJ object)
        : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
    ~Selection() {
        if (previous_) SelectObject(dc_, previous_);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

HFONT fontHandle(const FontObject* font) {
    const auto* gdi = dynamic_cast<const GdiFont*>(font);
    return gdi ? gdi->handle() : nullptr;
}

}  // namespace

HFONT GdiFont::handle() const {
    HFONT handle = nullptr;
    if (!font_ || FAILED(font_->get_hFont(&handle))) return nullptr;
    return handle;
}

HBITMAP GdiPicture::bitmap() const {
    SHORT type = PICTYPE_NONE;
    OLE_HANDLE handle = 0;
    if (!picture_ || FAILED(picture_->get_Type(&type)) || type != PICTYPE_BITMAP ||
        FAILED(picture_->get_Handle(&handle)))
        return nullptr;
    return handleFromLong<HBITMAP>(static_cast<LONG>(handle));
}

Rgb GdiSurface::systemColor(std::int32_t index) const {
    // GetSysColorBrush answers null for an index the system does not know.
    if (index < 0 || !GetSysColorBrush(index)) return kBlack;
    return GetSysColor(index);
}

Rect GdiSurface::clipBox() const {
    RECT box{};
    switch (GetClipBox(dc_, &box)) {
        case ERROR:  // no box to tell (a metafile): anything may still change
            return Rect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
        case NULLREGION:
            return Rect{};
        default:
            // In logical units, widened by one in case a mapping mode rounded the box inward.
            return Rect{box.left - 1, box.top - 1, box.right + 1, box.bottom + 1};
    }
}

void GdiSurface::fill(const Rect& rect, Rgb color) {
    if (empty(rect)) return;
    const win::Brush brush(CreateSolidBrush(color));
    if (!brush) return;
    const RECT r = toRect(rect);
    FillRect(dc_, &r, brush.get());
}

void GdiSurface::frame(const Rect& rect, Rgb color) {
    if (empty(rect)) return;
    const win::Brush brush(CreateSolidBrush(color));
    if (!brush) return;
    const RECT r = toRect(rect);
    FrameRect(dc_, &r, brush.get());
}

void GdiSurface::line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                      Rgb color) {
    const win::Pen pen(CreatePen(PS_SOLID, 1, color));
    if (!pen) return;
    const Selection selected(dc_, pen.get());
    MoveToEx(dc_, x1, y1, nullptr);
    LineTo(dc_, x2, y2);
}

void GdiSurface::setPixel(std::int32_t x, std::int32_t y, Rgb color) {
    SetPixelV(dc_, x, y, color);
}

void GdiSurface::edge(const Rect& rect, Edge kind) {
    RECT r = toRect(rect);
    DrawEdge(dc_, &r, static_cast<UINT>(kind), BF_RECT);
}

void GdiSurface::hatchFill(const Rect& rect, std::int16_t style, Rgb color, Rgb background) {
    if (empty(rect)) return;
    const RECT r = toRect(rect);
    if (style < kHatchHorizontal || style > kHatchDiagonalCross) {
        // No pattern of that number: solid, as the system paints its style 6.
        fill(rect, color);
        return;
    }
    const win::Brush brush(CreateHatchBrush(style, color));
    if (!brush) return;
    // The gaps take the background colour even after a text pass left the mode transparent.
    const COLORREF oldBk = SetBkColor(dc_, background);
    const int oldMode = SetBkMode(dc_, OPAQUE);
    POINT oldOrigin{};
    SetBrushOrgEx(dc_, 0, 0, &oldOrigin);
    FillRect(dc_, &r, brush.get());
    SetBrushOrgEx(dc_, oldOrigin.x, oldOrigin.y, nullptr);
    if (oldMode) SetBkMode(dc_, oldMode);
    if (oldBk != CLR_INVALID) SetBkColor(dc_, oldBk);
}

void GdiSurface::patternFill(const Rect& rect, const PictureObject& picture) {
    if (empty(rect)) return;
    const auto* gdi = dynamic_cast<const GdiPicture*>(&picture);
    const HBITMAP bitmap = gdi ? gdi->bitmap() : nullptr;
    if (!bitmap) return;
    const win::Brush brush(CreatePatternBrush(bitmap));
    if (!brush) return;
    POINT oldOrigin{};
    SetBrushOrgEx(dc_, 0, 0, &oldOrigin);
    {
        const Selection selected(dc_, brush.get());
        PatBlt(dc_, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, PATCOPY);
    }
    SetBrushOrgEx(dc_, oldOrigin.x, oldOrigin.y, nullptr);
}

Size GdiSurface::measureText(const FontObject* font, std::string_view text) {
    const Selection selected(dc_, fontHandle(font));
    const std::string s(text);
    RECT r{0, 0, 0, 0};
    if (!DrawTextA(dc_, s.c_str(), static_cast<int>(s.size()), &r, DT_CALCRECT | DT_SINGLELINE))
        return Size{};
    return Size{r.right - r.left, r.bottom - r.top};
}

void GdiSurface::drawText(const FontObject* font, std::string_view text, const Rect& clip,
                          Rgb color) {
    const Selection selected(dc_, fontHandle(font));
    const std::string s(text);
    RECT r = toRect(clip);
    const int oldMode = SetBkMode(dc_, TRANSPARENT);
    const COLORREF oldColor = SetTextColor(dc_, color);
    DrawTextA(dc_, s.c_str(), static_cast<int>(s.size()), &r, DT_SINGLELINE);
    if (oldColor != CLR_INVALID) SetTextColor(dc_, oldColor);
    if (oldMode) SetBkMode(dc_, oldMode);
}

void GdiSurface::copyFrom(const RasterSurface& source, std::int32_t xSrc, std::int32_t ySrc,
                          std::int32_t width, std::int32_t height, std::int32_t xDst,
                          std::int32_t yDst) {
    const auto* gdi = dynamic_cast<const GdiSurface*>(&source);
    if (!gdi) return;
    BitBlt(dc_, xDst, yDst, width, height, gdi->dc(), xSrc, ySrc, SRCCOPY);
}

bool isDeviceContext(HDC dc, bool metafiles) {
    switch (GetObjectType(dc)) {
        case OBJ_DC:
        case OBJ_MEMDC:
            return true;
        case OBJ_METADC:
        case OBJ_ENHMETADC:
            return metafiles;
        default:
            return false;
    }
}

std::unique_ptr<DibSurface> DibSurface::create(Size size) {
    if (size.width <= 0 || size.height <= 0) return nullptr;
    win::MemoryDc memory(CreateCompatibleDC(nullptr));
    if (!memory) return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size.width;
    info.bmiHeader.biHeight = -size.height;  // top row first, as the software surface has them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    win::Bitmap bitmap(CreateDIBSection(memory.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) return nullptr;
    const HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
    if (!previous || previous == HGDI_ERROR) return nullptr;
    try {
        return std::unique_ptr<DibSurface>(new DibSurface(std::move(memory), std::move(bitmap),
                                                          previous,
                                                          static_cast<std::uint32_t*>(bits), size));
    } catch (...) {
        SelectObject(memory.get(), previous);
        return nullptr;
    }
}

DibSurface::DibSurface(win::MemoryDc dc, win::Bitmap bitmap, HGDIOBJ previous, std::uint32_t* bits,
                       Size size)
    : GdiSurface(dc.get()),
      memory_(std::move(dc)),
      bitmap_(std::move(bitmap)),
      previous_(previous),
      pixels_(bits, size.width, size.height) {}

DibSurface::~DibSurface() {
    // The bitmap and the font can only be deleted once they are no longer selected.
    SelectObject(memory_.get(), previous_);
    if (firstFont_) SelectObject(memory_.get(), firstFont_);
}

void DibSurface::selectFont(const FontObject* font) {
    LOGFONTW description{};
    const HFONT handle = fontHandle(font);
    if (!handle || !GetObjectW(handle, sizeof(description), &description)) {
        if (firstFont_ && font_) SelectObject(dc(), firstFont_);
        font_.reset();
        return;
    }
    if (font_ && memcmp(&description, &fontDescription_, sizeof(description)) == 0) return;
    win::Font copy(CreateFontIndirectW(&description));
    if (!copy) return;
    const HGDIOBJ displaced = SelectObject(dc(), copy.get());
    if (!firstFont_) firstFont_ = displaced;
    font_ = std::move(copy);
    fontDescription_ = description;
}

Size DibSurface::measureText(const FontObject* font, std::string_view text) {
    selectFont(font);
    return GdiSurface::measureText(nullptr, text);  // in the font now selected
}

SoftwareSurface& DibSurface::pixels() {
    // GDI may batch its drawing: it must be on the pixels before they are written directly.
    if (gdiPending_) {
        GdiFlush();
        gdiPending_ = false;
    }
    return pixels_;
}

void DibSurface::startPicture() {
    // The host may have drawn on this context (its handle is the hdc property).
    GdiFlush();
    gdiPending_ = false;
}

void DibSurface::line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                      Rgb color) {
    if (x1 == x2 || y1 == y2) {
        pixels().line(x1, y1, x2, y2, color);
        return;
    }
    GdiSurface::line(x1, y1, x2, y2, color);  // a slanted line: GDI's own pixels
    gdiPending_ = true;
}

void DibSurface::edge(const Rect& rect, Edge kind) {
    GdiSurface::edge(rect, kind);
    gdiPending_ = true;
}

void DibSurface::patternFill(const Rect& rect, const PictureObject& picture) {
    GdiSurface::patternFill(rect, picture);
    gdiPending_ = true;
}

void DibSurface::drawText(const FontObject* font, std::string_view text, const Rect& clip,
                          Rgb color) {
    selectFont(font);
    GdiSurface::drawText(nullptr, text, clip, color);
    gdiPending_ = true;
}

void DibSurface::copyFrom(const RasterSurface& source, std::int32_t xSrc, std::int32_t ySrc,
                          std::int32_t width, std::int32_t height, std::int32_t xDst,
                          std::int32_t yDst) {
    GdiSurface::copyFrom(source, xSrc, ySrc, width, height, xDst, yDst);
    gdiPending_ = true;
}

bool readPixels(HDC dc, HBITMAP bitmap, int width, int height, std::uint32_t* out) {
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    header.bmiHeader.biWidth = width;
    header.bmiHeader.biHeight = -height;  // top row first
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    return GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), out, &header, DIB_RGB_COLORS) ==
           height;
}

}  // namespace gaugekit
