// Program start to its main window shown: the real clipcutter.exe against a bare window program
// with the same resources, started alternately. Prints medians in ms and their ratio.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"
#include "launch.h"

#include "win32/program_folder.h"

namespace {

constexpr int kRuns = 10;

}  // namespace

int main() {
    const std::wstring folder = win::programFolder() + L"\\";
    const std::wstring real = folder + L"clipcutter.exe";
    const std::wstring bare = folder + L"clipcutter_bench_bare_window.exe";

    // One start each first, so that both find the system's files in the cache.
    if (bench::launch(real) < 0 || bench::launch(bare) < 0) return 1;
    std::vector<double> reals, bares;
    for (int i = 0; i < kRuns; ++i) {
        const double r = bench::launch(real);
        const double b = bench::launch(bare);
        if (r < 0 || b < 0) return 1;
        reals.push_back(r);
        bares.push_back(b);
    }
    const double r = bench::median(reals), b = bench::median(bares);
    std::printf("Start to window shown, medians of %d alternating starts\n", kRuns);
    std::printf("  clipcutter.exe                   %8.2f ms (min %.2f, max %.2f)\n", r,
                *std::min_element(reals.begin(), reals.end()),
                *std::max_element(reals.begin(), reals.end()));
    std::printf("  bare window (same resources)     %8.2f ms (min %.2f, max %.2f)\n", b,
                *std::min_element(bares.begin(), bares.end()),
                *std::max_element(bares.begin(), bares.end()));
    std::printf("  ratio                            %8.2fx (target <= 1.5x)\n", r / b);
    return 0;
}
