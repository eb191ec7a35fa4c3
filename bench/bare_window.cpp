// The launch benchmark's baseline: one empty top-level window, shown, and a message loop. Started
// with "controls", it also holds the editor's thirteen controls (four text boxes, four labels, a
// list box, four buttons) in the message font, made directly: what any window with them costs.
#include <windows.h>

#include <cwchar>

namespace {

LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

struct Control {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
    int left, top, width, height;
};

constexpr Control kControls[] = {
    {L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 6, 24, 239, 19},
    {L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 6, 66, 239, 19},
    {L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 6, 106, 451, 19},
    {L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 6, 146, 451, 19},
    {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, 468, 226, 35, 33},
    {L"STATIC", SS_LEFT, 0, 6, 8, 495, 13},
    {L"STATIC", SS_LEFT, 0, 6, 50, 495, 13},
    {L"STATIC", SS_LEFT, 0, 6, 90, 495, 13},
    {L"LISTBOX", LBS_NOTIFY | WS_VSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 4, 170, 451, 199},
    {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, 468, 176, 35, 33},
    {L"STATIC", SS_LEFT, 0, 6, 130, 495, 13},
    {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, 468, 274, 35, 33},
    {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, 468, 316, 35, 33},
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int showCommand) {
    const bool withControls = arguments && std::wcsstr(arguments, L"controls");
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"clipcutter_bench.bare_window";
    if (!RegisterClassExW(&wc)) return 1;
    const HWND hwnd = CreateWindowExW(
        0, wc.lpszClassName, L"Bare window", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
        withControls ? 530 : 400, withControls ? 420 : 300, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 1;
    if (withControls) {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
        const HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
        for (const auto& c : kControls) {
            const HWND control =
                CreateWindowExW(c.exStyle, c.className, L"Text", WS_CHILD | WS_VISIBLE | c.style,
                                c.left, c.top, c.width, c.height, hwnd, nullptr, instance, nullptr);
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        }
    }
    ShowWindow(hwnd, showCommand);
    UpdateWindow(hwnd);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
