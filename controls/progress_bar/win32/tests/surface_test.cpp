// The renderer on three surfaces compared pixel by pixel: GDI for every operation, the control's
// own off-screen bitmap (software drawing into a device-independent bitmap, GDI for text and
// edges) and the portable software surface, which paints what GDI paints but its 3-D edges.
#include <functional>
#include <sstream>

#include "com_support.h"
#include "gdi_surface.h"
#include "progress_bar.h"
#include "software_surface.h"

namespace gaugekit {
namespace {

using Make = std::function<std::unique_ptr<RasterSurface>(Size)>;

// Every operation through GDI, on a bitmap of its own.
class GdiBitmap : public GdiSurface {
  public:
    explicit GdiBitmap(Size size) : canvas_(size.width, size.height) { attach(canvas_.hdc()); }

  private:
    testing::Canvas canvas_;
};

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

// A container whose own surface and off-screen surfaces are of one kind.
class Host : public ControlSite {
  public:
    Host(Size size, Make make, FontRef font)
        : size_(size), make_(std::move(make)), font_(std::move(font)), own_(make_(size)) {}
    RasterSurface& ownSurface() override { return *own_; }
    std::intptr_t ownWindow() override { return 1; }
    Size clientSize(std::intptr_t window) override { return window == 1 ? size_ : Size{}; }
    Size controlSize() override { return size_; }
    std::unique_ptr<RasterSurface> createOffscreenSurface(Size size) override {
        return make_(size);
    }
    FontRef newStandardFont() override { return font_; }
    void propertyChanged(std::string_view) override {}
    // What the container shows, top row first.
    std::vector<Rgb> pixels() const {
        if (const auto* software = dynamic_cast<const SoftwareSurface*>(own_.get()))
            return software->pixels();
        const testing::Canvas copy(size_.width, size_.height);
        BitBlt(copy.hdc(), 0, 0, size_.width, size_.height,
               static_cast<const GdiSurface&>(*own_).dc(), 0, 0, SRCCOPY);
        std::vector<Rgb> result;
        for (int y = 0; y < size_.height; ++y)
            for (int x = 0; x < size_.width; ++x) result.push_back(copy.pixel(x, y));
        return result;
    }

  private:
    Size size_;
    Make make_;
    FontRef font_;
    std::unique_ptr<RasterSurface> own_;
};

// How many pixels differ outside the edges' two outer rings, and where the first one is.
std::string differences(Size size, const std::vector<Rgb>& a, const std::vector<Rgb>& b,
                        const std::vector<Rect>& edges) {
    int differing = 0;
    std::ostringstream first;
    for (int y = 0; y < size.height; ++y)
        for (int x = 0; x < size.width; ++x) {
            const Rgb pa = a[y * size.width + x], pb = b[y * size.width + x];
            const bool nearEdge = std::any_of(edges.begin(), edges.end(), [x, y](const Rect& r) {
                return x >= r.left && x < r.right && y >= r.top && y < r.bottom &&
                       !(x >= r.left + 2 && x < r.right - 2 && y >= r.top + 2 && y < r.bottom - 2);
            });
            if (pa == pb || nearEdge) continue;
            if (differing++ == 0)
                first << " first at (" << x << "," << y << "): " << std::hex << pa << " and " << pb;
        }
    return differing ? std::to_string(differing) + " pixels differ," + first.str() : "";
}

TEST(Surfaces, TheControlsBitmapPaintsWhatGdiPaintsAndSoDoesTheSoftwareSurface) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    // A 5 x 3 picture of distinct colours, so that a wrong tiling origin shows.
    std::vector<Rgb> picture;
    std::vector<DWORD> bits;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            picture.push_back(rgb(40 * x, 80 * y, 200 - 30 * x));
            bits.push_back(static_cast<DWORD>((40 * x) << 16 | (80 * y) << 8 | (200 - 30 * x)));
        }
    const auto standard =
        testing::query<IPicture>(testing::pictureFromPixels(5, 3, bits).get(), IID_IPicture);
    const auto font = testing::query<IFont>(testing::boldArial(95000).get(), IID_IFont);
    ASSERT_TRUE(standard && font);
    const PictureRef gdiImage = std::make_shared<GdiPicture>(standard.get());
    const PictureRef softwareImage = std::make_shared<SoftwarePicture>(5, 3, picture);
    const FontRef gdiFont = std::make_shared<GdiFont>(font.get());
    SystemColorTable colors{};
    for (std::size_t i = 0; i < colors.size(); ++i) colors[i] = GetSysColor(static_cast<int>(i));
    std::vector<Rect> edges;
    const std::vector<Rect> none;
    const Make gdi = [](Size s) { return std::make_unique<GdiBitmap>(s); };
    const Make dib = [](Size s) { return DibSurface::create(s); };
    const Make software = [&](Size s) {
        return std::make_unique<EdgeRecordingSurface>(s, colors, edges);
    };
    // Every style at several positions; the custom brush with every hatch style, HS_SOLID and
    // one beyond. The text is on at odd positions.
    for (const Size size : {Size{200, 66}, Size{120, 20}, Size{30, 150}})
        for (std::int32_t style = 0; style <= 9; ++style)
            for (std::int32_t brush = 0; brush <= (style == 7 ? 7 : 0); ++brush)
                for (const std::int32_t position : {-3, 0, 1, 50, 99, 100, 150})
                    for (std::int32_t orientation = 0; orientation <= 1; ++orientation) {
                        edges.clear();
                        Host hosts[] = {
                            {size, gdi, gdiFont}, {size, dib, gdiFont}, {size, software, nullptr}};
                        for (Host& host : hosts) {
                            ProgressBar bar(host);
                            bar.setBrushStyle(brush == 7 ? 99 : brush);
                            bar.setImage(&host == &hosts[2] ? softwareImage : gdiImage);
                            bar.setOrientation(orientation);
                            bar.setScrolling(style);
                            bar.setShowText(position % 2 ? -1 : 0);
                            bar.setValue(position);
                        }
                        std::ostringstream where;
                        where << "style " << style << " brush " << brush << " at " << position
                              << " orientation " << orientation << " size " << size.width << "x"
                              << size.height;
                        const auto byGdi = hosts[0].pixels();
                        EXPECT_EQ(differences(size, hosts[1].pixels(), byGdi, none), "")
                            << "bitmap, " << where.str();
                        // Its glyphs are its own: compared with the text off.
                        if (position % 2 == 0) {
                            EXPECT_EQ(differences(size, hosts[2].pixels(), byGdi, edges), "")
                                << "software, " << where.str();
                        }
                    }
    CoUninitialize();
}

}  // namespace
}  // namespace gaugekit
