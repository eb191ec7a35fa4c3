// One full redraw per style on the software surface, at 200 x 66 (a new control) and 1920 x 40
// (a bar across a screen), against filling the same pixels with memset. Prints the figures.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "progress_bar.h"
#include "software_site.h"

namespace {

using namespace gaugekit;
using Clock = std::chrono::steady_clock;

// Nanoseconds per call of work, over enough calls to last about 0.2 s; the best of three runs.
template <typename Work>
double nanosecondsPerCall(Work&& work) {
    long calls = 1;
    for (;;) {
        const auto start = Clock::now();
        for (long i = 0; i < calls; ++i) work(i);
        const auto elapsed = Clock::now() - start;
        if (elapsed > std::chrono::milliseconds(50)) break;
        calls *= 2;
    }
    calls *= 4;
    double best = 1e300;
    for (int run = 0; run < 3; ++run) {
        const auto start = Clock::now();
        for (long i = 0; i < calls; ++i) work(i);
        const std::chrono::duration<double, std::nano> elapsed = Clock::now() - start;
        best = std::min(best, elapsed.count() / static_cast<double>(calls));
    }
    return best;
}

}  // namespace

int main() {
    const char* names[] = {"Standard", "Smooth",      "Search",      "OfficeXP", "Pastel",
                           "Quill",    "MediaPlayer", "CustomBrush", "Picture",  "Metallic"};
    const Size sizes[] = {{200, 66}, {1920, 40}};
    const auto picture = std::make_shared<SoftwarePicture>(
        2, 2, std::vector<Rgb>{rgb(70, 130, 180), kWhite, kWhite, rgb(70, 130, 180)});
    volatile unsigned sink = 0;

    std::printf("redraw per style (text on, position 60) against memset of the same pixels\n");
    for (const Size size : sizes) {
        const auto pixels = static_cast<std::size_t>(size.width) * size.height;
        std::vector<Rgb> buffer(pixels);
        const double fill = nanosecondsPerCall([&](long i) {
            std::memset(buffer.data(), static_cast<int>(i & 0xFF), pixels * sizeof(Rgb));
            sink = sink + buffer[static_cast<std::size_t>(i) % pixels];
        });
        std::printf("\n%d x %d (%zu pixels): memset %.0f ns\n", size.width, size.height, pixels,
                    fill);
        for (std::int32_t style = 0; style < 10; ++style) {
            SoftwareSite site(size);
            ProgressBar bar(site);
            bar.setImage(picture);
            bar.setShowText(-1);
            bar.setScrolling(style);
            bar.setValue(60);
            const double redraw = nanosecondsPerCall([&](long) {
                bar.drawProgressBar();
                sink = sink + site.surface().pixel(size.width / 2, size.height / 2);
            });
            std::printf("  %-12s %8.0f ns\n", names[style], redraw);
            std::printf("ratio redraw %s %dx%d %.2fx (target <= 10x)\n", names[style], size.width,
                        size.height, redraw / fill);
        }
    }
    return 0;
}
