// Program start to its main window shown: the real clipcutter.exe against a bare window program
// with the same resources, started alternately. Prints medians in ms and their ratio.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_clock.h"

#include "win32/handles.h"
#include "win32/program_folder.h"

namespace {

constexpr int kRuns = 10;

struct Search {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK findShown(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner != search->processId || !IsWindowVisible(hwnd)) return TRUE;
    search->found = hwnd;
    return FALSE;
}

// Starts the program, returns the time until its top-level window is visible (negative on
// failure), then closes the window and waits for the program to end.
double launch(const std::wstring& exe) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const double t0 = bench::nowMs();
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        std::fwprintf(stderr, L"starting %ls failed: %lu\n", exe.c_str(), GetLastError());
        return -1;
    }
    const win::KernelHandle processHandle(process.hProcess), threadHandle(process.hThread);
    // Idle means the program reached its message loop; the poll covers a window shown later.
    WaitForInputIdle(process.hProcess, 10000);
    Search search{process.dwProcessId, nullptr};
    double shown = -1;
    while (bench::nowMs() - t0 < 10000) {
        EnumWindows(findShown, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            shown = bench::nowMs() - t0;
            break;
        }
        Sleep(1);
    }
    if (search.found) PostMessageW(search.found, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
        std::fwprintf(stderr, L"%ls did not end after WM_CLOSE\n", exe.c_str());
        TerminateProcess(process.hProcess, 1);
        shown = -1;
    }
    if (shown < 0) std::fwprintf(stderr, L"%ls showed no window\n", exe.c_str());
    return shown;
}

}  // namespace

int main() {
    const std::wstring folder = win::programFolder() + L"\\";
    const std::wstring real = folder + L"clipcutter.exe";
    const std::wstring bare = folder + L"clipcutter_bench_bare_window.exe";

    // One start each first, so that both find the system's files in the cache.
    if (launch(real) < 0 || launch(bare) < 0) return 1;
    std::vector<double> reals, bares;
    for (int i = 0; i < kRuns; ++i) {
        const double r = launch(real);
        const double b = launch(bare);
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
