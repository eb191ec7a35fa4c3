// Writes a picture of each drawing style (three positions each, both orientations of the classic
// styles) as PNG files into a folder, for the README.
//   gaugekit_gallery OUTPUT_FOLDER
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "progress_bar.h"
#include "software_site.h"

namespace {

using namespace gaugekit;

constexpr Rgb kPaper = rgb(255, 255, 255);
constexpr Color kBarColor = static_cast<Color>(0x8000000D);  // the highlight colour

// A sheet of several bars, each copied in at its place.
struct Sheet {
    Sheet(std::int32_t width, std::int32_t height) : surface(width, height) {
        surface.fill({0, 0, width, height}, kPaper);
    }
    SoftwareSurface surface;
};

// Renders one bar and copies it onto the sheet at (x, y).
void place(Sheet& sheet, Size size, std::int32_t scrolling, std::int32_t orientation,
           std::int32_t percent, const PictureRef& picture, std::int32_t x, std::int32_t y) {
    // The text is wider than an upright bar; it shows on the horizontal ones only.
    const bool showText = orientation == kOrientationHorizontal;
    SoftwareSite site(size);
    ProgressBar bar(site);
    bar.setColor(kBarColor);
    bar.setBrushStyle(kHatchDiagonalCross);
    bar.setImage(picture);
    bar.setOrientation(orientation);
    bar.setScrolling(scrolling);
    bar.setShowText(showText ? -1 : 0);
    bar.setValue(percent);
    sheet.surface.copyFrom(site.surface(), 0, 0, size.width, size.height, x, y);
}

// libpng reports errors by longjmp, so nothing here may need a destructor after setjmp.
bool writePng(const SoftwareSurface& surface, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_byte> row(static_cast<std::size_t>(surface.width()) * 3);
    bool ok = png && info;
    if (ok && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(surface.width()),
                     static_cast<png_uint_32>(surface.height()), 8, PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_set_compression_level(png, 9);
        png_write_info(png, info);
        for (std::int32_t y = 0; y < surface.height(); ++y) {
            for (std::int32_t x = 0; x < surface.width(); ++x) {
                const Rgb p = surface.pixel(x, y);
                row[static_cast<std::size_t>(x) * 3] = static_cast<png_byte>(p & 0xFF);
                row[static_cast<std::size_t>(x) * 3 + 1] = static_cast<png_byte>(p >> 8 & 0xFF);
                row[static_cast<std::size_t>(x) * 3 + 2] = static_cast<png_byte>(p >> 16 & 0xFF);
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
    } else {
        ok = false;
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && ok;
}

// An 8 x 8 tile for the picture style: diagonal stripes in two blues.
PictureRef stripes() {
    std::vector<Rgb> pixels;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            pixels.push_back((x + y) % 8 < 4 ? rgb(70, 130, 180) : rgb(176, 196, 222));
    return std::make_shared<SoftwarePicture>(8, 8, std::move(pixels));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gaugekit_gallery OUTPUT_FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "gaugekit_gallery: cannot create %s: %s\n", argv[1],
                     error.message().c_str());
        return 1;
    }
    const PictureRef picture = stripes();
    const char* names[] = {"standard", "smooth",      "search",      "officexp", "pastel",
                           "quill",    "mediaplayer", "custombrush", "picture",  "metallic"};
    const std::int32_t positions[] = {25, 60, 100};
    const Size bar = {200, 26};
    int failures = 0;
    const auto save = [&](const Sheet& sheet, const std::string& name) {
        const std::string path = (folder / (name + ".png")).string();
        if (writePng(sheet.surface, path)) {
            std::printf("%s\n", path.c_str());
        } else {
            std::fprintf(stderr, "gaugekit_gallery: cannot write %s\n", path.c_str());
            ++failures;
        }
    };
    for (std::int32_t style = 0; style < 10; ++style) {
        Sheet sheet(bar.width, 3 * bar.height + 2 * 4);
        for (int i = 0; i < 3; ++i)
            place(sheet, bar, style, kOrientationHorizontal, positions[i], picture, 0,
                  i * (bar.height + 4));
        save(sheet, std::to_string(style) + "_" + names[style]);
    }
    // The classic styles upright: standard, smooth and search side by side at each position.
    const Size upright = {26, 90};
    Sheet sheet(9 * upright.width + 8 * 6, upright.height);
    for (std::int32_t style = 0; style < 3; ++style)
        for (int i = 0; i < 3; ++i)
            place(sheet, upright, style, kOrientationVertical, positions[i], picture,
                  (style * 3 + i) * (upright.width + 6), 0);
    save(sheet, "classic_vertical");
    return failures == 0 ? 0 : 1;
}
