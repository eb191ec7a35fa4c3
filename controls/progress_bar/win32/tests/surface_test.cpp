// The control's renderer on three surfaces compared pixel by pixel: GDI for every operation, the
// control's own off-screen bitmap (software drawing into a device-independent bitmap, GDI for
// text and edges) and the portable software surface. The control's bitmap paints exactly what
// GDI paints; the software surface does too, apart from the 3-D edges, which the system draws
// its own way.
#include <functional>
#include <sstream>
#include <vector>

#include "com_support.h"
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

// Every operation through GDI, on a bitmap of its own.
class GdiBitmap : public GdiSurface {
  public:
    explicit GdiBitmap(Size size) : canvas_(size.width, size.height) { attach(canvas_.hdc()); }
    testing::Canvas& canvas() { return canvas_; }

  private:
    testing::Canvas canvas_;
};

// A container whose own surface and off-screen surfaces are of one kind.
template <typename Own>
class Host : public ControlSite {
  public:
    template <typename... Args>
    explicit Host(Size size, Args&... args) : size_(size), own_(size, args...) {}
    RasterSurface& ownSurface() override { return own_; }
    std::intptr_t ownWindow() override { return kWindow; }
    Size clientSize(std::intptr_t window) override { return window == kWindow ? size_ : Size{}; }
    Size controlSize() override { return size_; }
    std::unique_ptr<RasterSurface> createOffscreenSurface(Size size) override { return make(size); }
    FontRef newStandardFont() override { return font; }
    void propertyChanged(std::string_view) override {}
    Own& own() { return own_; }

    std::function<std::unique_ptr<RasterSurface>(Size)> make;
    FontRef font;

  private:
    Size size_;
    Own own_;
};

SystemColorTable systemColors() {
    SystemColorTable table{};
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = GetSysColor(static_cast<int>(i));
    return table;
}

// A 5 x 3 picture of distinct colours, so that a wrong tiling origin shows.
std::vector<Rgb> picturePixels() {
    std::vector<Rgb> pixels;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) pixels.push_back(rgb(40 * x, 80 * y, 200 - 30 * x));
    return pixels;
}

FontRef gdiFont() {
    FONTDESC desc{sizeof(FONTDESC),
                  const_cast<LPOLESTR>(L"Arial"),
                  {{95000, 0}},
                  FW_BOLD,
                  ANSI_CHARSET,
                  FALSE,
                  FALSE,
                  FALSE};
    win::ComPtr<IFont> font;
    OleCreateFontIndirect(&desc, IID_IFont, reinterpret_cast<void**>(font.put()));
    return font ? std::make_shared<GdiFont>(font.get()) : nullptr;
}

PictureRef gdiPicture() {
    std::vector<DWORD> dib;
    for (Rgb p : picturePixels()) dib.push_back((p & 0xFF) << 16 | (p & 0xFF00) | (p >> 16 & 0xFF));
    const auto picture = testing::pictureFromPixels(5, 3, dib);
    win::ComPtr<IPicture> standard = testing::query<IPicture>(picture.get(), IID_IPicture);
    return standard ? std::make_shared<GdiPicture>(standard.get()) : nullptr;
}

bool nearEdge(const std::vector<Rect>& edges, int x, int y) {
    for (const Rect& r : edges) {
        const bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
        const bool deep = x >= r.left + 2 && x < r.right - 2 && y >= r.top + 2 && y < r.bottom - 2;
        if (inside && !deep) return true;
    }
    return false;
}

struct Configuration {
    std::int32_t style, brush, position, orientation;
};

void setUp(ProgressBar& bar, const Configuration& s, PictureRef picture) {
    bar.setBrushStyle(s.brush);
    bar.setImage(std::move(picture));
    bar.setOrientation(s.orientation);
    bar.setScrolling(s.style);
    bar.setShowText(s.position % 2 ? -1 : 0);  // text on at odd positions
    bar.setValue(s.position);
}

// How many pixels differ, and where the first one is.
std::string differences(Size size, const std::function<Rgb(int, int)>& a,
                        const std::function<Rgb(int, int)>& b, const std::vector<Rect>* edges) {
    int differing = 0;
    std::ostringstream first;
    for (int y = 0; y < size.height; ++y)
        for (int x = 0; x < size.width; ++x) {
            if (a(x, y) == b(x, y) || (edges && nearEdge(*edges, x, y))) continue;
            if (differing++ == 0)
                first << " first at (" << x << "," << y << "): " << std::hex << a(x, y) << " and "
                      << b(x, y) << std::dec;
        }
    return differing ? std::to_string(differing) + " pixels differ," + first.str() : "";
}

TEST(Surfaces, TheControlsBitmapPaintsWhatGdiPaintsAndSoDoesTheSoftwareSurface) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    const PictureRef gdiImage = gdiPicture();
    ASSERT_TRUE(gdiImage);
    const PictureRef softwareImage = std::make_shared<SoftwarePicture>(5, 3, picturePixels());
    const FontRef font = gdiFont();
    const SystemColorTable colors = systemColors();
    // Every style; the custom brush with every hatch style, HS_SOLID and one beyond.
    std::vector<Configuration> setups;
    for (std::int32_t style = 0; style <= 9; ++style)
        for (std::int32_t brush = 0; brush <= (style == 7 ? 7 : 0); ++brush)
            for (const std::int32_t position : {-3, 0, 1, 50, 99, 100, 150})
                for (std::int32_t orientation = 0; orientation <= 1; ++orientation)
                    setups.push_back({style, brush == 7 ? 99 : brush, position, orientation});
    for (const Size size : {Size{200, 66}, Size{120, 20}, Size{30, 150}}) {
        for (const Configuration& s : setups) {
            Host<GdiBitmap> gdiHost(size);
            gdiHost.make = [](Size sz) { return std::make_unique<GdiBitmap>(sz); };
            Host<GdiBitmap> dibHost(size);
            dibHost.make = [](Size sz) { return DibSurface::create(sz); };
            std::vector<Rect> edges;
            const SystemColorTable& table = colors;
            Host<EdgeRecordingSurface> softwareHost(size, table, edges);
            softwareHost.make = [&](Size sz) {
                return std::make_unique<EdgeRecordingSurface>(sz, colors, edges);
            };
            gdiHost.font = dibHost.font = font;  // the text in a font of the caller's
            ProgressBar gdiBar(gdiHost), dibBar(dibHost), softwareBar(softwareHost);
            setUp(gdiBar, s, gdiImage);
            setUp(dibBar, s, gdiImage);
            setUp(softwareBar, s, softwareImage);
            const auto gdi = [&](int x, int y) { return gdiHost.own().canvas().pixel(x, y); };
            const auto dib = [&](int x, int y) { return dibHost.own().canvas().pixel(x, y); };
            const auto software = [&](int x, int y) { return softwareHost.own().pixel(x, y); };
            const std::string where =
                "style " + std::to_string(s.style) + " brush " + std::to_string(s.brush) + " at " +
                std::to_string(s.position) + " orientation " + std::to_string(s.orientation) +
                " size " + std::to_string(size.width) + "x" + std::to_string(size.height);
            EXPECT_EQ(differences(size, dib, gdi, nullptr), "") << "bitmap, " << where;
            // Its glyphs are its own: compared with the text off.
            if (s.position % 2 == 0) {
                EXPECT_EQ(differences(size, software, gdi, &edges), "") << "software, " << where;
            }
        }
    }
    CoUninitialize();
}

}  // namespace
}  // namespace gaugekit
