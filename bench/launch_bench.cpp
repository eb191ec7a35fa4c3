// Program start to its main window shown: clipcutter.exe, clipjoiner.exe on a folder and
// partroster.exe beside a list, each against a bare window program with the same resources, all
// started in turn in every round. Prints medians in ms and their ratios; beside them, the ratios
// to the bare window holding the editor's thirteen controls, made directly: what the controls
// themselves cost (the common controls library, the theme's parts on first paint).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "bench_support.h"
#include "launch.h"

#include "win32/program_folder.h"

namespace {

constexpr int kRounds = 21;

struct Program {
    const char* name;
    std::wstring exe;
    std::wstring arguments;
    std::vector<double> times;
};

// A short list, as a host keeps it.
constexpr char kList[] =
    "1|1|Codecs|codecs\r\n2|1|Plug-ins|C:\\Movarix\\plugins\r\n4|4|DivX codec|divx.dll\r\n"
    "4|4|Xvid codec|xvidcore.dll\r\n3|3|Settings|movarix.ini\r\n";

}  // namespace

int main() {
    const std::wstring bin = win::programFolder() + L"\\";
    wchar_t temp[MAX_PATH + 1];
    const std::wstring folder =
        std::wstring(temp, GetTempPathW(MAX_PATH + 1, temp)) + L"programs_bench_launch";
    CreateDirectoryW(folder.c_str(), nullptr);
    // The editor reads the list beside itself, so it runs from a copy in a folder of its own; the
    // merger lists the same folder, which holds no movies.
    const std::wstring editor = folder + L"\\partroster.exe", list = folder + L"\\Comp_lst.dll";
    if (!CopyFileW((bin + L"partroster.exe").c_str(), editor.c_str(), FALSE) ||
        !bench::rawWrite(list, kList)) {
        std::fprintf(stderr, "setting up %ls failed: %lu\n", folder.c_str(), GetLastError());
        return 1;
    }

    Program programs[] = {
        {"bare window", bin + L"clipcutter_bench_bare_window.exe", {}, {}},
        {"bare window with 13 controls",
         bin + L"clipcutter_bench_bare_window.exe",
         L"controls",
         {}},
        {"clipcutter", bin + L"clipcutter.exe", {}, {}},
        {"clipjoiner", bin + L"clipjoiner.exe", L"\"" + folder + L"\"", {}},
        {"partroster", editor, {}, {}},
    };
    // Round 0 warms the caches and is not counted.
    for (int round = 0; round <= kRounds; ++round) {
        for (auto& p : programs) {
            const double shown = bench::launch(p.exe, p.arguments);
            if (shown < 0) return 1;
            if (round > 0) p.times.push_back(shown);
        }
    }

    std::printf("Start to main window shown, medians of %d rounds, each starting all five\n",
                kRounds);
    for (const auto& p : programs) {
        std::printf("  %-28s %8.2f ms (min %.2f, max %.2f)\n", p.name, bench::median(p.times),
                    *std::min_element(p.times.begin(), p.times.end()),
                    *std::max_element(p.times.begin(), p.times.end()));
    }
    const double bare = bench::median(programs[0].times);
    const double withControls = bench::median(programs[1].times);
    for (const auto* p = programs + 2; p != std::end(programs); ++p)
        std::printf("  ratio %s start / bare window %.2fx (target <= 1.2x)\n", p->name,
                    bench::median(p->times) / bare);
    for (const auto* p = programs + 2; p != std::end(programs); ++p)
        std::printf("  ratio %s start / bare window with 13 controls %.2fx\n", p->name,
                    bench::median(p->times) / withControls);

    DeleteFileW(editor.c_str());
    DeleteFileW(list.c_str());
    RemoveDirectoryW(folder.c_str());
    return 0;
}
