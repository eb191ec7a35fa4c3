// The GDI surface against the software surface: the control's renderer draws every style on both,
// and apart from the 3-D edges (the system draws those its own way) the pixels are the same.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <vector>

#include "gdi_surface.h"
#include "progress_bar.h"
#include "software_surface.h"

namespace gaugekit {
namespace {

constexpr std::intptr_t kWindow = 1;

// Records the rectangles of the 3-D edges drawn on it, which the comparison leaves out.
class EdgeRecordingSurface : public SoftwareSurface {
  public:
    EdgeRecordingSurface(Size size, const SystemColorTable& colors, std::vector<Rect>& edges)
        : SoftwareSurface(size.width, size.height, colors), edges_(edges) {}
    void edge(const Rect& rect, Edge kind) override {
        edges_.push_back(rect);
        SoftwareSurface::edge(rect, kind);
    }

  private:
    std::vector<Rect>& edges_;
};

SystemColorTable systemColors() {
    SystemColorTable table{};
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = GetSysColor(static_cast<int>(i));
    return table;
}

class SoftwareHost : public ControlSite {
  public:
    explicit SoftwareHost(Size size)
        : size_(size), colors_(systemColors()), own_(size, colors_, edges) {}
    RasterSurface& ownSurface() override { return own_; }
    std::intptr_t ownWindow() override { return kWindow; }
    Size clientSize(std::intptr_t window) override { return window == kWindow ? size_ : Size{}; }
    Size controlSize() override { return size_; }
    std::unique_ptr<RasterSurface> createOffscreenSurface(Size size) override {
        return std::make_unique<EdgeRecordingSurface>(size, colors_, edges);
    }
    FontRef newStandardFont() override { return nullptr; }
    void propertyChanged(std::string_view) override {}
    Rgb pixel(int x, int y) const { return own_.pixel(x, y); }

    std::vector<Rect> edges;

  private:
    Size size_;
    SystemColorTable colors_;
    EdgeRecordingSurface own_;
};

// The control's own surface is a memory bitmap, read back pixel by pixel.
class GdiHost : public ControlSite {
  public:
    explicit GdiHost(Size size) : size_(size), own_(OffscreenSurface::create(size)) {}
    bool ready() const { return own_ != nullptr; }
    RasterSurface& ownSurface() override { return *own_; }
    std::intptr_t ownWindow() override { return kWindow; }
    Size clientSize(std::intptr_t window) override { return window == kWindow ? size_ : Size{}; }
    Size controlSize() override { return size_; }
    std::unique_ptr<RasterSurface> createOffscreenSurface(Size size) override {
        return OffscreenSurface::create(size);
    }
    FontRef newStandardFont() override { return nullptr; }
    void propertyChanged(std::string_view) override {}

    // 0x00BBGGRR, as the software surface holds them.
    std::vector<Rgb> pixels() const {
        std::vector<Rgb> result(static_cast<size_t>(size_.width) * size_.height);
        const HBITMAP bitmap = static_cast<HBITMAP>(GetCurrentObject(own_->dc(), OBJ_BITMAP));
        readPixels(own_->dc(), bitmap, size_.width, size_.height, result.data());
        for (Rgb& p : result) p = rgb((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
        return result;
    }

  private:
    Size size_;
    std::unique_ptr<OffscreenSurface> own_;
};

// A 5 x 3 picture of distinct colours, so that a wrong tiling origin shows.
std::vector<Rgb> picturePixels() {
    std::vector<Rgb> pixels;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) pixels.push_back(rgb(40 * x, 80 * y, 200 - 30 * x));
    return pixels;
}

PictureRef gdiPicture() {
    const auto pixels = picturePixels();
    std::vector<DWORD> dib;
    for (Rgb p : pixels) dib.push_back((p & 0xFF) << 16 | (p & 0xFF00) | (p >> 16 & 0xFF));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 5;
    info.bmiHeader.biHeight = -3;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const HDC screen = GetDC(nullptr);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, 5, 3);
    SetDIBits(screen, bitmap, 0, 3, dib.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    PICTDESC desc{};
    desc.cbSizeofstruct = sizeof(desc);
    desc.picType = PICTYPE_BITMAP;
    desc.bmp.hbitmap = bitmap;
    IPicture* picture = nullptr;
    if (FAILED(OleCreatePictureIndirect(&desc, IID_IPicture, TRUE,
                                        reinterpret_cast<void**>(&picture))))
        return nullptr;
    auto result = std::make_shared<GdiPicture>(picture);
    picture->Release();
    return result;
}

bool nearEdge(const std::vector<Rect>& edges, int x, int y) {
    for (const Rect& r : edges) {
        const bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
        const bool deep = x >= r.left + 2 && x < r.right - 2 && y >= r.top + 2 && y < r.bottom - 2;
        if (inside && !deep) return true;
    }
    return false;
}

void setUp(ProgressBar& bar, std::int32_t style, std::int32_t brush, std::int32_t position,
           std::int32_t orientation, PictureRef picture) {
    bar.setBrushStyle(brush);
    bar.setImage(std::move(picture));
    bar.setOrientation(orientation);
    bar.setScrolling(style);
    bar.setValue(position);
}

TEST(Surfaces, GdiAndSoftwareDrawTheSameBars) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    const PictureRef gdiImage = gdiPicture();
    ASSERT_TRUE(gdiImage);
    const PictureRef softwareImage = std::make_shared<SoftwarePicture>(5, 3, picturePixels());
    const Size sizes[] = {{200, 66}, {120, 20}, {30, 150}};
    const std::int32_t positions[] = {-3, 0, 1, 50, 99, 100, 150};
    // Every style; the custom brush with every hatch style, HS_SOLID and one beyond.
    std::vector<std::pair<std::int32_t, std::int32_t>> styles;
    for (std::int32_t style = 0; style <= 9; ++style)
        for (std::int32_t brush = 0; brush <= (style == 7 ? 7 : 0); ++brush)
            styles.emplace_back(style, brush == 7 ? 99 : brush);
    int compared = 0;
    for (const Size size : sizes)
        for (const auto& [style, brush] : styles)
            for (const std::int32_t position : positions)
                for (std::int32_t orientation = 0; orientation <= 1; ++orientation) {
                    GdiHost gdiHost(size);
                    ASSERT_TRUE(gdiHost.ready());
                    SoftwareHost softwareHost(size);
                    ProgressBar gdiBar(gdiHost);
                    ProgressBar softwareBar(softwareHost);
                    setUp(gdiBar, style, brush, position, orientation, gdiImage);
                    setUp(softwareBar, style, brush, position, orientation, softwareImage);
                    const auto gdi = gdiHost.pixels();
                    int differing = 0;
                    std::ostringstream first;
                    for (int y = 0; y < size.height; ++y)
                        for (int x = 0; x < size.width; ++x) {
                            const Rgb mine = gdi[static_cast<size_t>(y) * size.width + x];
                            if (mine == softwareHost.pixel(x, y) ||
                                nearEdge(softwareHost.edges, x, y))
                                continue;
                            if (differing++ == 0)
                                first << " first at (" << x << "," << y << "): gdi " << std::hex
                                      << mine << " software " << softwareHost.pixel(x, y)
                                      << std::dec;
                        }
                    EXPECT_EQ(differing, 0)
                        << "style " << style << " brush " << brush << " position " << position
                        << " orientation " << orientation << " size " << size.width << "x"
                        << size.height << first.str();
                    ++compared;
                }
    EXPECT_EQ(compared, 3 * 17 * 7 * 2);
    CoUninitialize();
}

}  // namespace
}  // namespace gaugekit
