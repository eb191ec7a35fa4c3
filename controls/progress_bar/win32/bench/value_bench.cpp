// A Value write with its synchronous redraw, per style, against the system progress bar
// (PBM_SETPOS then UpdateWindow) at the same size; then the GDI objects of the process before and
// after 100,000 redraws. Prints its figures; asserts nothing.
#include <windows.h>
#include <commctrl.h>
#include <ocidl.h>

#include <cstdio>
#include <string>

#include "gaugekit_idl.h"
#include "win32/handles.h"

namespace {

using AtlAxWinInitFn = BOOL(WINAPI*)();
using AtlAxGetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);

constexpr int kWidth = 200;
constexpr int kHeight = 66;
constexpr int kWrites = 3000;

void* procedure(HMODULE module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(module, name));
}

double seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

// The system progress bar: one position write and its paint, kWrites times.
double systemBar(HWND parent) {
    const win::Window bar(CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 0, 100,
                                          kWidth, kHeight, parent, nullptr, nullptr, nullptr));
    if (!bar) return 0;
    pump();
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < kWrites; ++i) {
        SendMessageW(bar.get(), PBM_SETPOS, static_cast<WPARAM>(i % 101), 0);
        UpdateWindow(bar.get());
    }
    QueryPerformanceCounter(&end);
    return seconds(start, end);
}

DWORD regsvr32(const std::wstring& options, const std::wstring& dll) {
    std::wstring command = L"regsvr32.exe /s " + options + L"\"" + dll + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return 1;
    const win::KernelHandle processHandle(process.hProcess);
    const win::KernelHandle thread(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    return code;
}

int run();

}  // namespace

int wmain() {
    if (FAILED(CoInitialize(nullptr))) return 1;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dll(path, length);
    dll = dll.substr(0, dll.find_last_of(L'\\') + 1) + L"gaugekit.dll";
    // The host creates the control by its ProgID, so it is registered for the run.
    if (regsvr32(L"", dll) != 0) {
        std::fprintf(stderr, "gaugekit.dll could not be registered\n");
        return 1;
    }
    const int result = run();
    regsvr32(L"/u ", dll);
    CoUninitialize();
    return result;
}

namespace {

int run() {
    const HMODULE atl = LoadLibraryW(L"atl.dll");
    const auto atlInit =
        atl ? reinterpret_cast<AtlAxWinInitFn>(procedure(atl, "AtlAxWinInit")) : nullptr;
    const auto getControl =
        atl ? reinterpret_cast<AtlAxGetControlFn>(procedure(atl, "AtlAxGetControl")) : nullptr;
    if (!atlInit || !getControl || !atlInit()) {
        std::fprintf(stderr, "atl.dll has no control host\n");
        return 1;
    }
    const win::Window top(CreateWindowExW(0, L"STATIC", L"bench", WS_POPUP | WS_VISIBLE, 0, 0, 400,
                                          200, nullptr, nullptr, nullptr, nullptr));
    const HWND host =
        CreateWindowExW(0, L"AtlAxWin", L"Project1.XP_ProgressBar", WS_CHILD | WS_VISIBLE, 0, 0,
                        kWidth, kHeight, top.get(), nullptr, nullptr, nullptr);
    win::ComPtr<IUnknown> control;
    win::ComPtr<_XP_ProgressBar> bar;
    if (!host || FAILED(getControl(host, control.put())) ||
        FAILED(control->QueryInterface(IID__XP_ProgressBar, reinterpret_cast<void**>(bar.put())))) {
        std::fprintf(stderr, "the control could not be hosted\n");
        return 1;
    }
    pump();
    LONG hwnd = 0;
    bar->get_hwnd(&hwnd);
    RECT client{};
    GetClientRect(reinterpret_cast<HWND>(static_cast<INT_PTR>(hwnd)), &client);
    if (client.right != kWidth || client.bottom != kHeight) {
        std::fprintf(stderr, "the control has no %dx%d window\n", kWidth, kHeight);
        return 1;
    }

    const double system = systemBar(top.get());
    std::printf(
        "Value write with redraw, %dx%d, %d writes each; system progress bar %.3f ms "
        "per write\n",
        kWidth, kHeight, kWrites, system * 1000 / kWrites);
    std::printf("%-8s %12s %8s\n", "style", "ms/write", "ratio");
    for (int style = 0; style <= 9; ++style) {
        bar->put_Scrolling(static_cast<enum cScrolling>(style));
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        for (int i = 0; i < kWrites; ++i) bar->put_Value(i % 101);
        QueryPerformanceCounter(&end);
        const double mine = seconds(start, end);
        std::printf("%-8d %12.3f %8.2f\n", style, mine * 1000 / kWrites,
                    system > 0 ? mine / system : 0.0);
    }

    // The picture at its end shows whether pens and brushes were still to be had.
    const auto probe = [&] {
        LONG dc = 0;
        bar->put_Scrolling(ccScrollingSmooth);
        bar->put_Value(100);
        bar->get_hdc(&dc);
        return GetPixel(reinterpret_cast<HDC>(static_cast<INT_PTR>(dc)), kWidth / 2, kHeight / 2);
    };
    const COLORREF pictureBefore = probe();
    const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    bar->put_ShowText(VARIANT_TRUE);
    for (int i = 0; i < 100000; ++i) {
        bar->put_Scrolling(static_cast<enum cScrolling>(i % 10));
        bar->DrawProgressBar();
    }
    const DWORD after = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    std::printf(
        "GDI objects before 100,000 redraws: %lu, after: %lu (0 where the system does not "
        "count them)\n",
        static_cast<unsigned long>(before), static_cast<unsigned long>(after));
    std::printf("picture after them: %s\n", probe() == pictureBefore ? "the same" : "CHANGED");
    return 0;
}

}  // namespace
