#include "progress_bar.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "software_site.h"

namespace gaugekit {
namespace {

// A site that writes down notifications and redraws (one client measurement per redraw), and
// whose off-screen surfaces can be refused.
class RecordingSite : public SoftwareSite {
  public:
    using SoftwareSite::SoftwareSite;
    Size clientSize(std::intptr_t window) override {
        ++redraws;
        return SoftwareSite::clientSize(window);
    }
    std::unique_ptr<RasterSurface> createOffscreenSurface(Size size) override {
        if (refuseSurfaces) return nullptr;
        return SoftwareSite::createOffscreenSurface(size);
    }
    void propertyChanged(std::string_view name) override { notified.emplace_back(name); }

    int redraws = 0;
    bool refuseSurfaces = false;
    std::vector<std::string> notified;
};

// A store over a map that leaves out values equal to their defaults, as a container may.
class MapStore : public PropertyStore {
  public:
    Status write(std::string_view key, const PropertyValue& value,
                 const PropertyValue& defaultValue) override {
        if (value != defaultValue) entries[std::string(key)] = value;
        return Status::ok;
    }
    Status read(std::string_view key, const PropertyValue& defaultValue,
                PropertyValue& value) override {
        read_.emplace_back(key);
        const auto at = entries.find(std::string(key));
        value = at == entries.end() ? defaultValue : at->second;
        return Status::ok;
    }
    std::map<std::string, PropertyValue> entries;
    std::vector<std::string> read_;
};

// Value writes and reads back through the range, failures changing nothing and drawing nothing.
TEST(Value, MapsThroughTheRange) {
    const struct {
        std::int32_t min, max, written;
        Status status;
        std::int32_t percent, read;
    } cases[] = {
        {0, 100, 37, Status::ok, 37, 37},
        {0, 200, 50, Status::ok, 25, 50},
        {0, 200, 1, Status::ok, 0, 0},        // 0.5 goes to the even 0
        {0, 200, 3, Status::ok, 2, 4},        // 1.5 goes to 2
        {0, 100, 150, Status::ok, 100, 100},  // stored 150, capped by the redraw
        {0, 100, 21474836, Status::ok, 100, 100},
        {0, 100, 21474837, Status::overflow, 7, 7},  // x 100 leaves 32 bits
        {0, 100, -21474837, Status::overflow, 7, 7},
        {0, 100, -21474836, Status::ok, -21474836, -21474836},
        {0, 0, 5, Status::divisionByZero, 7, 0},
        {10, 100, 50, Status::ok, 44, 50},  // linear over 10..100, not the plainly wrong 6
        {-50, 50, 0, Status::ok, 50, 0},
        {100, 0, 25, Status::ok, 75, 25},  // Min above Max is kept as it is
        {INT32_MIN, INT32_MAX, 0, Status::overflow, 7, -1846835937},  // (0 - Min) x 100
    };
    for (const auto& c : cases) {
        RecordingSite site({200, 66});
        ProgressBar bar(site);
        ASSERT_EQ(bar.setValue(7), Status::ok);
        bar.setMin(c.min);
        bar.setMax(c.max);
        const int redraws = site.redraws;
        EXPECT_EQ(bar.setValue(c.written), c.status)
            << c.written << " in " << c.min << ".." << c.max;
        EXPECT_EQ(bar.percent(), c.percent) << c.written;
        EXPECT_EQ(site.redraws - redraws, c.status == Status::ok ? 1 : 0) << c.written;
        std::int32_t read = 0;
        if (bar.value(read) == Status::ok) {
            EXPECT_EQ(read, c.read) << c.written << " in " << c.min << ".." << c.max;
        }
    }
}

// The off-screen surface through its life; pDraw and a container's view draw from the bar.
TEST(OffscreenSurface, CreatedGrownFreedAndDrawnFrom) {
    {
        // Created at the control's size, which the first picture reaches.
        RecordingSite site({200, 66});
        ProgressBar bar(site);
        EXPECT_EQ(bar.offscreenSize(), (Size{200, 66}));
        EXPECT_EQ(&bar.hdc(), bar.offscreenSurface());
        EXPECT_EQ(site.surface().pixel(0, 30), rgb(104, 104, 104));  // the standard outline
        EXPECT_EQ(site.surface().pixel(5, 30), rgb(0, 120, 215));    // the highlight colour
        // pDraw copies the whole surface when a size is not positive, else the block given.
        for (const auto& [width, height, columns, rows] :
             {std::tuple{0, -1, 200, 66}, std::tuple{10, 5, 10, 5}}) {
            SoftwareSurface target(300, 100);
            target.fill({0, 0, 300, 100}, rgb(1, 1, 1));
            bar.pDraw(target, 0, 0, width, height, 0, 0);
            EXPECT_EQ(target.pixel(columns - 1, rows - 1),
                      site.surface().pixel(columns - 1, rows - 1));
            EXPECT_EQ(target.pixel(columns, 0), rgb(1, 1, 1)) << width;
            EXPECT_EQ(target.pixel(0, rows), rgb(1, 1, 1)) << height;
        }
    }
    RecordingSite site({0, 66});
    ProgressBar bar(site);
    EXPECT_EQ(bar.offscreenSurface(), nullptr);  // no width, no surface
    EXPECT_EQ(&bar.hdc(), &site.ownSurface());
    // A container's view: the whole bar at its size on its surface, and nothing on the control's.
    SoftwareSurface view(120, 30);
    EXPECT_EQ(bar.drawOnto(view, {120, 30}), Status::ok);
    EXPECT_EQ(view.pixel(119, 15), rgb(104, 104, 104));  // the outline at the view's right
    EXPECT_EQ(&bar.hdc(), &site.ownSurface());

    const struct {
        Size size;
        bool refused;
        Size expected;
    } resizes[] = {
        {{200, 66}, false, {200, 66}},
        {{100, 30}, false, {200, 66}},  // shrinking keeps the larger surface
        {{300, 30}, false, {300, 30}},  // growing in one direction: exactly the new size
        {{400, 30}, true, {}},          // a failed re-creation: drawing goes to the own surface
    };
    for (const auto& r : resizes) {
        site.resize(r.size);
        site.refuseSurfaces = r.refused;
        bar.selectSurface();
        EXPECT_EQ(bar.offscreenSize(), r.expected) << r.size.width;
        EXPECT_EQ(&bar.hdc(), r.refused ? &site.ownSurface() : bar.offscreenSurface());
    }
    EXPECT_EQ(bar.drawProgressBar(), Status::ok);
    EXPECT_EQ(site.surface().pixel(399, 10), rgb(104, 104, 104));

    site.refuseSurfaces = false;
    bar.selectSurface();
    bar.freeOffscreenSurface();
    bar.freeOffscreenSurface();
    EXPECT_EQ(bar.offscreenSize(), (Size{}));
    EXPECT_EQ(&bar.hdc(), &site.ownSurface());  // never a freed surface
    EXPECT_EQ(bar.drawProgressBar(), Status::ok);
}

TEST(Persistence, RoundTripInOrder) {
    RecordingSite site({200, 66});
    ProgressBar saved(site);
    const auto font = std::make_shared<SoftwareFont>(2);
    const auto picture = std::make_shared<SoftwarePicture>(1, 1, std::vector<Rgb>{kBlack});
    saved.setFont(font);
    saved.setBrushStyle(5);
    saved.setColor(0x00FF00);
    saved.setImage(picture);
    saved.setMin(10);
    saved.setMax(100);
    saved.setOrientation(1);
    saved.setScrolling(7);
    saved.setShowText(-1);
    ASSERT_EQ(saved.setValue(50), Status::ok);  // percent 44
    MapStore store;
    ASSERT_EQ(saved.save(store), Status::ok);

    RecordingSite otherSite({200, 66});
    ProgressBar loaded(otherSite);
    otherSite.notified.clear();
    otherSite.redraws = 0;
    ASSERT_EQ(loaded.load(store), Status::ok);
    EXPECT_EQ(store.read_,
              (std::vector<std::string>{"Font", "BrushStyle", "Color", "Image", "Max", "Min",
                                        "Orientation", "Scrolling", "ShowText", "Value"}));
    const auto state = [](const ProgressBar& b) {
        return std::tuple(b.font(), b.brushStyle(), b.color(), b.image(), b.min(), b.max(),
                          b.orientation(), b.scrolling(), b.showText(), b.percent());
    };
    EXPECT_EQ(state(loaded), state(saved));  // the position itself (44), not rescaled
    // Redraws after Color, Orientation, Scrolling, ShowText and the position.
    EXPECT_EQ(otherSite.redraws, 5);
    EXPECT_EQ(otherSite.notified,
              (std::vector<std::string>{"Max", "Min", "Orientation", "Scrolling", "ShowText"}));
}

TEST(Persistence, EntriesAreConvertedOrStopTheLoad) {
    const struct {
        const char* key;
        PropertyValue stored;
        Status status;
        std::int32_t max;  // Max after the load
        std::int16_t showText;
    } cases[] = {
        {"Max", std::string(" 250 "), Status::ok, 250, 0},
        {"Max", 99.5, Status::ok, 100, 0},
        {"Max", true, Status::ok, -1, 0},
        {"ShowText", std::string("True"), Status::ok, 100, -1},
        {"ShowText", 2, Status::ok, 100, -1},
        {"Max", std::string("abc"), Status::typeMismatch, 100, 0},
        {"Max", 1e10, Status::overflow, 100, 0},
        {"Max", FontRef(std::make_shared<SoftwareFont>()), Status::typeMismatch, 100, 0},
        {"Font", 5, Status::typeMismatch, 100, 0},
        {"Image", 5, Status::typeMismatch, 100, 0},  // a picture that cannot be read: none
    };
    for (const auto& c : cases) {
        RecordingSite site({200, 66});
        ProgressBar bar(site);
        bar.setImage(std::make_shared<SoftwarePicture>(1, 1, std::vector<Rgb>{kBlack}));
        MapStore store;
        store.entries["Color"] = 0x0000FF;  // before the entry: applied
        store.entries["Min"] = 5;           // after the Max entry: kept when the load stops
        store.entries[c.key] = c.stored;
        EXPECT_EQ(bar.load(store), c.status) << c.key;
        EXPECT_EQ(bar.max(), c.max) << c.key;
        EXPECT_EQ(bar.showText(), c.showText) << c.key;
        EXPECT_EQ(bar.min(), c.status == Status::ok ? 5 : 0) << c.key;
        EXPECT_EQ(bar.image() != nullptr, std::string_view(c.key) == "Font") << c.key;
        EXPECT_EQ(bar.color(), std::string_view(c.key) == "Font"
                                   ? static_cast<Color>(rgb(0, 120, 215))
                                   : 0x0000FF)
            << c.key;
    }
}

}  // namespace
}  // namespace gaugekit
