// A Value write with its synchronous redraw, per style, against the system progress bar
// (PBM_SETPOS then UpdateWindow) of the same size in the same run, at 200 x 66 (a new control)
// and 1920 x 40 (a bar across a screen); then the GDI objects of the process over 100,000
// redraws. Prints its figures; asserts nothing.
#include <windows.h>
#include <commctrl.h>
#include <ocidl.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "gaugekit_idl.h"
#include "win32/handles.h"

namespace {

using AtlAxWinInitFn = BOOL(WINAPI*)();
using AtlAxGetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);

constexpr int kWrites = 2000;
constexpr const char* kStyles[] = {"Standard", "Smooth",  "Search",      "OfficeXP",
                                   "Pastel",   "Quill",   "MediaPlayer", "CustomBrush",
                                   "Picture",  "Metallic"};

void* procedure(HMODULE module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(module, name));
}

double nowSeconds() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

// Seconds per call of work, over kWrites calls; the best of three runs.
template <typename Work>
double perWrite(Work&& work) {
    double best = 1e300;
    for (int run = 0; run < 3; ++run) {
        const double start = nowSeconds();
        for (int i = 0; i < kWrites; ++i) work(i);
        best = std::min(best, (nowSeconds() - start) / kWrites);
    }
    return best;
}

// The system progress bar: one position write and its paint.
double systemBar(HWND parent, int width, int height) {
    const win::Window bar(CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 0,
                                          height + 10, width, height, parent, nullptr, nullptr,
                                          nullptr));
    if (!bar) return 0;
    pump();
    return perWrite([&](int i) {
        SendMessageW(bar.get(), PBM_SETPOS, static_cast<WPARAM>(i % 101), 0);
        UpdateWindow(bar.get());
    });
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
    const win::Window top(CreateWindowExW(0, L"STATIC", L"bench", WS_POPUP | WS_VISIBLE, 0, 0, 1940,
                                          200, nullptr, nullptr, nullptr, nullptr));
    const HWND host =
        CreateWindowExW(0, L"AtlAxWin", L"Project1.XP_ProgressBar", WS_CHILD | WS_VISIBLE, 0, 0,
                        200, 66, top.get(), nullptr, nullptr, nullptr);
    win::ComPtr<IUnknown> control;
    win::ComPtr<_XP_ProgressBar> bar;
    if (!host || FAILED(getControl(host, control.put())) ||
        FAILED(control->QueryInterface(IID__XP_ProgressBar, reinterpret_cast<void**>(bar.put())))) {
        std::fprintf(stderr, "the control could not be hosted\n");
        return 1;
    }
    LONG hwnd = 0;
    bar->get_hwnd(&hwnd);
    const HWND own = reinterpret_cast<HWND>(static_cast<INT_PTR>(hwnd));
    bar->put_ShowText(VARIANT_TRUE);

    const struct {
        int width, height;
        double target;
    } sizes[] = {{200, 66, 0.05}, {1920, 40, 0.25}};
    for (const auto& size : sizes) {
        MoveWindow(host, 0, 0, size.width, size.height, TRUE);
        pump();
        RECT client{};
        GetClientRect(own, &client);
        if (client.right != size.width || client.bottom != size.height) {
            std::fprintf(stderr, "the control has no %dx%d window\n", size.width, size.height);
            return 1;
        }
        const double system = systemBar(top.get(), size.width, size.height);
        std::printf(
            "\nValue write with its redraw at %dx%d, best of 3 x %d writes: system "
            "progress bar %.4f ms\n",
            size.width, size.height, kWrites, system * 1000);
        for (int style = 0; style <= 9; ++style) {
            bar->put_Scrolling(static_cast<enum cScrolling>(style));
            const double mine = perWrite([&](int i) { bar->put_Value(i % 101); });
            std::printf("  %-12s %.4f ms\n", kStyles[style], mine * 1000);
            std::printf("ratio value write %s %dx%d %.2fx (target <= %.2fx)\n", kStyles[style],
                        size.width, size.height, system > 0 ? mine / system : 0.0, size.target);
        }
    }

    // The picture at its end shows whether pens and brushes were still to be had.
    MoveWindow(host, 0, 0, 200, 66, TRUE);
    pump();
    const auto probe = [&] {
        LONG dc = 0;
        bar->put_Scrolling(ccScrollingSmooth);
        bar->put_Value(100);
        bar->get_hdc(&dc);
        return GetPixel(reinterpret_cast<HDC>(static_cast<INT_PTR>(dc)), 100, 33);
    };
    const COLORREF pictureBefore = probe();
    const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    for (int i = 0; i < 100000; ++i) {
        bar->put_Scrolling(static_cast<enum cScrolling>(i % 10));
        bar->DrawProgressBar();
    }
    const DWORD after = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    std::printf(
        "\nGDI objects before 100,000 redraws: %lu, after: %lu (0 where the system does not "
        "count them)\npicture after them: %s\n",
        static_cast<unsigned long>(before), static_cast<unsigned long>(after),
        probe() == pictureBefore ? "the same" : "CHANGED");
    return 0;
}

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
