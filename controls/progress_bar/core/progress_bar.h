// The XP_ProgressBar control without COM: its state, property writes with their effects, the
// Value arithmetic, save and load over a property store, and the redraw with its ten styles.
// The COM control is a thin layer over this class; nothing here throws.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "draw.h"
#include "property_store.h"
#include "raster.h"

namespace gaugekit {

// Drawing styles (Scrolling); any other value draws as smooth.
enum ScrollingStyle : std::int32_t {
    kScrollingStandard = 0,
    kScrollingSmooth = 1,
    kScrollingSearch = 2,
    kScrollingOfficeXP = 3,
    kScrollingPastel = 4,
    kScrollingQuill = 5,
    kScrollingMediaPlayer = 6,
    kScrollingCustomBrush = 7,
    kScrollingPicture = 8,
    kScrollingMetallic = 9,
};
enum OrientationStyle : std::int32_t {
    kOrientationHorizontal = 0,
    kOrientationVertical = 1,  // and any other value
};

// The system highlight colour, as a system-colour reference.
inline constexpr Color kHighlightColor = static_cast<Color>(0x8000000D);

// What the control needs from its container.
class ControlSite {
  public:
    virtual ~ControlSite() = default;
    // Where drawing goes when there is no off-screen surface; the final copy's target.
    virtual RasterSurface& ownSurface() = 0;
    virtual std::intptr_t ownWindow() = 0;
    // The client size of a window; zero for a window that does not exist.
    virtual Size clientSize(std::intptr_t window) = 0;
    // The control's own width and height in pixels.
    virtual Size controlSize() = 0;
    // A new off-screen surface of exactly that size, or null when none can be had.
    virtual std::unique_ptr<RasterSurface> createOffscreenSurface(Size size) = 0;
    virtual FontRef newStandardFont() = 0;
    // The named property changed: the container's stored copy is out of date.
    virtual void propertyChanged(std::string_view name) = 0;
};

class ProgressBar {
  public:
    // The creation sequence: standard font, surface selection, own window, the defaults, the
    // highlight colour, one redraw. BrushStyle, ShowText and Image keep 0, false and none.
    explicit ProgressBar(ControlSite& site);
    // Frees the off-screen surface.
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // Repaints the whole control into the drawing surface and copies it to the own surface.
    Status drawProgressBar();
    // Paints the whole bar at the given size onto a surface of the caller's (a container that
    // draws the control for printing, a design view or a thumbnail); nothing else changes.
    Status drawOnto(RasterSurface& target, Size size);
    // Copies the off-screen surface (a block of it when the sizes are positive) onto target.
    void pDraw(RasterSurface& target, std::int32_t xSrc = 0, std::int32_t ySrc = 0,
               std::int32_t widthSrc = 0, std::int32_t heightSrc = 0, std::int32_t xDst = 0,
               std::int32_t yDst = 0) const;

    // Property writes. Those that redraw return the redraw's outcome; the value is stored anyway.
    void setBrushStyle(std::int32_t style);  // notifies
    Status setColor(Color color);            // resolves, redraws
    void setFont(FontRef font);
    void setHwnd(std::intptr_t window);
    void selectSurface();               // the hdc write: makes the off-screen surface ready
    Status setImage(PictureRef image);  // notifies, redraws
    void setMin(std::int32_t min);      // notifies
    void setMax(std::int32_t max);      // notifies
    Status setOrientation(std::int32_t orientation);  // notifies, redraws
    Status setScrolling(std::int32_t scrolling);      // notifies, redraws
    Status setShowText(std::int16_t showText);        // notifies, redraws
    // percent = nearest((value - Min) x 100 / (Max - Min)), then a redraw. Fails with overflow
    // when (value - Min) x 100 leaves 32 bits, with division by zero when Max equals Min; a
    // failed write changes nothing and draws nothing.
    Status setValue(std::int32_t value);

    std::int32_t brushStyle() const { return brushStyle_; }
    Color color() const { return color_; }
    const FontRef& font() const { return font_; }
    std::intptr_t hwnd() const { return hwnd_; }
    RasterSurface& hdc() const { return *drawing_; }
    const PictureRef& image() const { return image_; }
    std::int32_t min() const { return min_; }
    std::int32_t max() const { return max_; }
    std::int32_t orientation() const { return orientation_; }
    std::int32_t scrolling() const { return scrolling_; }
    std::int16_t showText() const { return showText_; }
    // nearest(Min + percent / 100 x (Max - Min)); overflow when that leaves 32 bits.
    Status value(std::int32_t& out) const;
    std::int32_t percent() const { return percent_; }

    // The save sequence; stops at the first entry the store cannot take.
    Status save(PropertyStore& store) const;
    // The load sequence; stops at the first entry that cannot be read or converted, leaving the
    // later ones as they were.
    Status load(PropertyStore& store);

    // Whether a write changed what a save would store since the last clearDirty().
    bool dirty() const { return dirty_; }
    void clearDirty() { dirty_ = false; }

    // Termination; safe to call twice. Drawing goes to the own surface afterwards.
    void freeOffscreenSurface();

    const RasterSurface* offscreenSurface() const { return offscreen_.get(); }
    Size offscreenSize() const { return offscreenSize_; }
    const Rect& barRect() const { return barRect_; }
    const Rect& textRect() const { return textRect_; }

  private:
    // Draws the whole picture at the client size into the drawing surface, and then onto the
    // own surface when asked; throws Overflow (render.cpp) when the arithmetic leaves 32 bits.
    void render(Size client, bool copyToOwn);
    template <typename Work>
    Status guarded(Work&& work);
    // Stores a saved property's new value; a different one makes the control dirty.
    template <typename T>
    void change(T& field, T value) {
        if (!(field == value)) dirty_ = true;
        field = std::move(value);
    }
    void ensureOffscreenSurface(Size size);
    void createOffscreenSurface(Size size);
    void notify(std::string_view name) { site_.propertyChanged(name); }

    // What the style surely paints over whole, which the background may leave out (only a
    // speed-up; empty when unsure).
    Rect styleCovers(std::int32_t w, std::int32_t h) const;
    void layoutClassicBar(std::int32_t w, std::int32_t h);
    void drawClassicFill(std::int32_t w, std::int32_t h);
    void drawBlockGaps(std::int32_t w, std::int32_t h);
    void drawClassicBorder(std::int32_t w, std::int32_t h);
    void drawOfficeXPStyle(std::int32_t w, std::int32_t h);
    void drawPastelStyle(std::int32_t w, std::int32_t h);
    void drawQuillStyle(std::int32_t w, std::int32_t h);
    void drawMediaPlayerStyle(std::int32_t w, std::int32_t h);
    void drawCustomBrushStyle(std::int32_t w, std::int32_t h);
    void drawPictureStyle(std::int32_t w, std::int32_t h);
    void drawMetallicStyle(std::int32_t w, std::int32_t h);
    void drawPercentText(std::int32_t w, std::int32_t h);
    void centerTextRect(std::string_view text, std::int32_t w, std::int32_t h);
    void drawTextOverlay(std::string_view text, std::int32_t w);

    ControlSite& site_;

    Color color_ = 0;
    RasterSurface* drawing_;  // the off-screen surface, or the own surface
    std::intptr_t hwnd_ = 0;
    std::int32_t max_ = 0;
    std::int32_t min_ = 0;
    std::int32_t percent_ = 0;
    std::int16_t showText_ = 0;
    std::int32_t scrolling_ = 0;
    std::int32_t orientation_ = 0;
    std::int32_t brushStyle_ = 0;
    PictureRef image_;
    FontRef font_;

    bool dirty_ = false;
    bool usesOffscreen_ = false;  // set once an off-screen surface was found; never cleared
    std::unique_ptr<RasterSurface> offscreen_;
    Size offscreenSize_;

    double fillFraction_ = 0;
    Rect barRect_;
    Rect blockRect_;
    Rect textRect_;  // kept from one redraw to the next
    std::int32_t blockWidth_ = 0;
    std::int32_t blockGap_ = 0;
};

}  // namespace gaugekit
