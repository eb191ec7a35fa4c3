#include "progress_bar.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace gaugekit {
namespace {

constexpr std::int32_t kStoredBrushStyleDefault = kHatchCross;

// Text as a store may hold it ("42", " -3 ", "1.5"), read as a number.
Status parseNumber(std::string_view text, double& out) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const auto end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, out);
    if (text.empty() || error != std::errc() || at != end) return Status::typeMismatch;
    return Status::ok;
}

Status toInt32(const PropertyValue& value, std::int32_t& out) {
    double number = 0;
    if (const auto* i = std::get_if<std::int32_t>(&value)) {
        out = *i;
        return Status::ok;
    } else if (const auto* b = std::get_if<bool>(&value)) {
        out = *b ? -1 : 0;
        return Status::ok;
    } else if (std::holds_alternative<std::monostate>(value)) {
        out = 0;
        return Status::ok;
    } else if (const auto* d = std::get_if<double>(&value)) {
        number = *d;
    } else if (const auto* s = std::get_if<std::string>(&value)) {
        if (const Status parsed = parseNumber(*s, number); parsed != Status::ok) return parsed;
    } else {
        return Status::typeMismatch;  // a font or a picture
    }
    const auto rounded = nearest(number);
    if (!rounded) return Status::overflow;
    out = *rounded;
    return Status::ok;
}

Status toBool(const PropertyValue& value, bool& out) {
    if (const auto* s = std::get_if<std::string>(&value)) {
        const auto is = [s](std::string_view word) {
            return std::equal(s->begin(), s->end(), word.begin(), word.end(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == b;
            });
        };
        if (is("true") || is("false")) {
            out = is("true");
            return Status::ok;
        }
        double number = 0;
        if (const Status parsed = parseNumber(*s, number); parsed != Status::ok) return parsed;
        out = number != 0;
        return Status::ok;
    }
    if (const auto* d = std::get_if<double>(&value)) {
        out = *d != 0;
        return Status::ok;
    }
    std::int32_t number = 0;
    if (const Status converted = toInt32(value, number); converted != Status::ok) return converted;
    out = number != 0;
    return Status::ok;
}

// A stored object entry: the reference, or none; anything else is of the wrong type.
template <typename Ref>
Status toReference(const PropertyValue& value, Ref& out) {
    if (std::holds_alternative<std::monostate>(value)) {
        out = nullptr;
        return Status::ok;
    }
    const auto* ref = std::get_if<Ref>(&value);
    if (!ref) return Status::typeMismatch;
    out = *ref;
    return Status::ok;
}

}  // namespace

ProgressBar::ProgressBar(ControlSite& site) : site_(site), drawing_(&site.ownSurface()) {
    font_ = site_.newStandardFont();
    selectSurface();
    hwnd_ = site_.ownWindow();
    max_ = 100;
    min_ = 0;
    percent_ = 0;
    orientation_ = kOrientationHorizontal;
    scrolling_ = kScrollingStandard;
    color_ = resolveColor(site_.ownSurface(), kHighlightColor);
    drawProgressBar();  // cannot fail with the defaults
}

ProgressBar::~ProgressBar() {
    // Not through freeOffscreenSurface: the site may be going away with the control.
    offscreen_.reset();
}

void ProgressBar::pDraw(RasterSurface& target, std::int32_t xSrc, std::int32_t ySrc,
                        std::int32_t widthSrc, std::int32_t heightSrc, std::int32_t xDst,
                        std::int32_t yDst) const {
    if (!offscreen_) return;
    const std::int32_t width = widthSrc > 0 ? widthSrc : offscreenSize_.width;
    const std::int32_t height = heightSrc > 0 ? heightSrc : offscreenSize_.height;
    target.copyFrom(*offscreen_, xSrc, ySrc, width, height, xDst, yDst);
}

void ProgressBar::setBrushStyle(std::int32_t style) {
    change(brushStyle_, style);
    notify("BrushStyle");
}

Status ProgressBar::setColor(Color color) {
    change(color_, resolveColor(site_.ownSurface(), color));
    return drawProgressBar();
}

void ProgressBar::setFont(FontRef font) {
    change(font_, std::move(font));
}

void ProgressBar::setHwnd(std::intptr_t window) {
    hwnd_ = window;
}

void ProgressBar::selectSurface() {
    ensureOffscreenSurface(site_.controlSize());
    if (offscreen_) {
        drawing_ = offscreen_.get();
        usesOffscreen_ = true;
    } else {
        drawing_ = &site_.ownSurface();
    }
}

Status ProgressBar::setImage(PictureRef image) {
    change(image_, std::move(image));
    notify("Image");
    return drawProgressBar();
}

void ProgressBar::setMin(std::int32_t min) {
    change(min_, min);
    notify("Min");
}

void ProgressBar::setMax(std::int32_t max) {
    change(max_, max);
    notify("Max");
}

Status ProgressBar::setOrientation(std::int32_t orientation) {
    change(orientation_, orientation);
    notify("Orientation");
    return drawProgressBar();
}

Status ProgressBar::setScrolling(std::int32_t scrolling) {
    change(scrolling_, scrolling);
    notify("Scrolling");
    return drawProgressBar();
}

Status ProgressBar::setShowText(std::int16_t showText) {
    change(showText_, showText);
    notify("ShowText");
    return drawProgressBar();
}

Status ProgressBar::setValue(std::int32_t value) {
    const std::int64_t product = (std::int64_t{value} - min_) * 100;
    if (product < INT32_MIN || product > INT32_MAX) return Status::overflow;
    if (max_ == min_) return Status::divisionByZero;
    const auto p = nearest(static_cast<double>(product) /
                           (static_cast<double>(max_) - static_cast<double>(min_)));
    if (!p) return Status::overflow;
    const std::int32_t before = percent_;
    percent_ = *p;
    const Status drawn = drawProgressBar();
    if (percent_ != before) dirty_ = true;  // compared after the redraw's cut at 100
    return drawn;
}

Status ProgressBar::value(std::int32_t& out) const {
    const auto v =
        nearest(min_ + percent_ / 100.0 * (static_cast<double>(max_) - static_cast<double>(min_)));
    if (!v) return Status::overflow;
    out = *v;
    return Status::ok;
}

Status ProgressBar::save(PropertyStore& store) const {
    const auto picture = image_ ? PropertyValue(image_) : PropertyValue();
    const std::pair<std::string_view, std::pair<PropertyValue, PropertyValue>> entries[] = {
        {"Font", {font_ ? PropertyValue(font_) : PropertyValue(), PropertyValue()}},
        {"BrushStyle", {brushStyle_, kStoredBrushStyleDefault}},
        {"Color", {color_, kHighlightColor}},
        {"Image", {picture, PropertyValue()}},
        {"Max", {max_, 100}},
        {"Min", {min_, 0}},
        {"Orientation", {orientation_, 0}},
        {"Scrolling", {scrolling_, 0}},
        {"ShowText", {showText_ != 0, false}},
        // The position itself: loading puts it back unchanged, whatever Min and Max are.
        {"Value", {percent_, 0}},
    };
    for (const auto& [key, values] : entries) {
        if (const Status s = store.write(key, values.first, values.second); s != Status::ok)
            return s;
    }
    return Status::ok;
}

Status ProgressBar::load(PropertyStore& store) {
    PropertyValue value;
    const auto read = [&](std::string_view key, const PropertyValue& defaultValue) {
        value = PropertyValue();
        return store.read(key, defaultValue, value);
    };
    // Each step reads one entry and applies it; the first failure ends the load.
    std::int32_t number = 0;
    const auto readNumber = [&](std::string_view key, std::int32_t defaultValue) {
        if (const Status s = read(key, defaultValue); s != Status::ok) return s;
        return toInt32(value, number);
    };

    if (const Status s = read("Font", PropertyValue()); s != Status::ok) return s;
    FontRef font;
    if (const Status s = toReference(value, font); s != Status::ok) return s;
    // A store without a font keeps the standard font the control was created with.
    if (font) setFont(std::move(font));

    if (const Status s = readNumber("BrushStyle", kStoredBrushStyleDefault); s != Status::ok)
        return s;
    change(brushStyle_, number);

    if (const Status s = readNumber("Color", kHighlightColor); s != Status::ok) return s;
    if (const Status s = setColor(number); s != Status::ok) return s;

    // A saved picture that cannot be read loads as none; the load still stops there.
    PictureRef picture;
    Status readPicture = read("Image", PropertyValue());
    if (readPicture == Status::ok) readPicture = toReference(value, picture);
    if (readPicture != Status::ok) {
        change(image_, PictureRef());
        return readPicture;
    }
    change(image_, std::move(picture));

    if (const Status s = readNumber("Max", 100); s != Status::ok) return s;
    setMax(number);
    if (const Status s = readNumber("Min", 0); s != Status::ok) return s;
    setMin(number);
    if (const Status s = readNumber("Orientation", 0); s != Status::ok) return s;
    if (const Status s = setOrientation(number); s != Status::ok) return s;
    if (const Status s = readNumber("Scrolling", 0); s != Status::ok) return s;
    if (const Status s = setScrolling(number); s != Status::ok) return s;

    if (const Status s = read("ShowText", false); s != Status::ok) return s;
    bool showText = false;
    if (const Status s = toBool(value, showText); s != Status::ok) return s;
    if (const Status s = setShowText(showText ? -1 : 0); s != Status::ok) return s;

    if (const Status s = readNumber("Value", 0); s != Status::ok) return s;
    const std::int32_t before = percent_;
    percent_ = number;
    const Status drawn = drawProgressBar();
    if (percent_ != before) dirty_ = true;
    return drawn;
}

void ProgressBar::freeOffscreenSurface() {
    if (offscreen_ && drawing_ == offscreen_.get()) drawing_ = &site_.ownSurface();
    offscreen_.reset();
    offscreenSize_ = {};
}

void ProgressBar::ensureOffscreenSurface(Size size) {
    if (!offscreen_) {
        if (size.width > 0 && size.height > 0) createOffscreenSurface(size);
        return;
    }
    if (size.width > offscreenSize_.width || size.height > offscreenSize_.height)
        createOffscreenSurface(size);
}

void ProgressBar::createOffscreenSurface(Size size) {
    freeOffscreenSurface();
    // A surface with no pixels in one direction is no surface.
    if (size.width <= 0 || size.height <= 0) return;
    offscreen_ = site_.createOffscreenSurface(size);
    if (offscreen_) offscreenSize_ = size;
}

}  // namespace gaugekit
