// Starting a program and timing it to its first visible window.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "bench_support.h"
#include "win32/handles.h"

namespace bench {

struct Search {
    DWORD processId;
    HWND found;
};

inline BOOL CALLBACK findShown(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner != search->processId || !IsWindowVisible(hwnd)) return TRUE;
    search->found = hwnd;
    return FALSE;
}

// Starts the program, returns the time until its top-level window is visible (negative on
// failure), then closes the window and waits for the program to end.
inline double launch(const std::wstring& exe, const std::wstring& arguments = {}) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
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

}  // namespace bench
