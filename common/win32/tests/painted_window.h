// What a person sees of a window, checked on the picture the window paints: every control lies
// inside the window and no sibling covers it, every caption fits whole in the control's own font,
// and the caption's ink is where its text is drawn. Used by every window's tests, at
// 96 and at 144 DPI.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "win32/tests/ui_testing.h"
#include "win32/window_builder.h"

namespace win::testing {

// The DPIs a window is checked at: the classic one and a 150 % monitor.
inline constexpr UINT kCheckedDpis[] = {96, 144};

// Tells the window its DPI changed, as the system does when it moves onto such a monitor; the
// window keeps its place.
inline void changeDpi(HWND window, UINT dpi) {
    RECT now;
    GetWindowRect(window, &now);
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&now));
}

namespace detail {

// The client area as the window painted it, 0x00RRGGBB: read back from the window's own device
// context, so that another window above it does not spoil the picture.
struct PaintedPicture {
    explicit PaintedPicture(HWND window) {
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        pumpMessages();
        GdiFlush();
        RECT client;
        GetClientRect(window, &client);
        width = client.right;
        height = client.bottom;
        pixels = drawnPixels(width, height, [&](HDC dc) {
            const WindowDc painted(window);
            BitBlt(dc, 0, 0, width, height, painted.get(), 0, 0, SRCCOPY);
        });
    }
    std::uint32_t at(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)] &
               0xFFFFFF;
    }
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
};

inline RECT rectIn(HWND control, HWND window) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

inline bool inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

inline std::wstring describe(HWND control) {
    return L"control " + std::to_wstring(GetDlgCtrlID(control)) + L" \"" + windowText(control) +
           L"\"";
}

inline std::wstring size(SIZE s) {
    return std::to_wstring(s.cx) + L"x" + std::to_wstring(s.cy);
}

struct TooltipSearch {
    HWND window;
    HWND control;
    std::wstring text;
};

// Enumeration callbacks are named functions: a lambda has no CALLBACK (stdcall) form on 32-bit.
inline BOOL CALLBACK askTooltip(HWND tip, LPARAM param) {
    auto& s = *reinterpret_cast<TooltipSearch*>(param);
    wchar_t name[32] = {};
    GetClassNameW(tip, name, 32);
    if (lstrcmpiW(name, TOOLTIPS_CLASSW) != 0 || GetWindow(tip, GW_OWNER) != s.window) return TRUE;
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    for (UINT i = 0; SendMessageW(tip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&tool)); ++i) {
        if (!(tool.uFlags & TTF_IDISHWND) || reinterpret_cast<HWND>(tool.uId) != s.control)
            continue;
        // Asked as the tooltip asks when it is about to show.
        NMTTDISPINFOW ask{};
        ask.hdr = {tip, tool.uId, static_cast<UINT>(TTN_GETDISPINFOW)};
        SendMessageW(tool.hwnd, WM_NOTIFY, ask.hdr.idFrom, reinterpret_cast<LPARAM>(&ask));
        s.text = ask.lpszText && !IS_INTRESOURCE(ask.lpszText) ? ask.lpszText : ask.szText;
        return FALSE;
    }
    return TRUE;
}

// Where a control's caption is drawn, in its client coordinates, and whether it fits whole.
struct Caption {
    RECT text{};
    std::wstring why;  // empty when it fits
};

inline Caption captionOf(HWND window, HWND control, ControlKind kind, const std::wstring& text,
                         HDC dc, UINT dpi) {
    RECT client;
    GetClientRect(control, &client);
    const SIZE room{client.right, client.bottom};
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    Caption c;
    const auto need = [&](SIZE s) {
        if (s.cx > room.cx || s.cy > room.cy)
            c.why = L"its text needs " + size(s) + L" but it is " + size(room);
    };
    const auto style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
    if (kind != ControlKind::Label && kind != ControlKind::PathLabel) {
        // A button centres its caption; a check box's follows its box, a frame's stands on its
        // top edge, half of the chrome on each side.
        const SIZE chrome = captionChrome(kind, dpi);
        const bool button = kind == ControlKind::Button || kind == ControlKind::DefaultButton;
        need({extent.cx + chrome.cx, extent.cy + (button ? chrome.cy : 0)});
        const LONG left = button                       ? (room.cx - extent.cx) / 2
                          : kind == ControlKind::Frame ? chrome.cx / 2
                                                       : chrome.cx;
        const LONG top = kind == ControlKind::Frame ? 0 : (room.cy - extent.cy) / 2;
        c.text = {left, top, left + extent.cx, top + extent.cy};
    } else if (style & SS_ELLIPSISMASK) {
        // One line: shortened only with the whole text at hand as a tooltip.
        std::wstring shown = text + L"....";
        RECT r{0, 0, room.cx, room.cy};
        const UINT ellipsis = (style & SS_ELLIPSISMASK) == SS_PATHELLIPSIS  ? DT_PATH_ELLIPSIS
                              : (style & SS_ELLIPSISMASK) == SS_ENDELLIPSIS ? DT_END_ELLIPSIS
                                                                            : DT_WORD_ELLIPSIS;
        DrawTextW(dc, shown.data(), static_cast<int>(text.size()), &r,
                  DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX | DT_MODIFYSTRING | ellipsis);
        SIZE drawn{};
        GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(wcslen(shown.c_str())), &drawn);
        c.text = {0, 0, std::min(drawn.cx, room.cx), drawn.cy};
        need({std::min(extent.cx, room.cx), extent.cy});
        TooltipSearch tip{window, control, {}};
        if (extent.cx > room.cx)
            EnumThreadWindows(GetWindowThreadProcessId(window, nullptr), askTooltip,
                              reinterpret_cast<LPARAM>(&tip));
        if (extent.cx > room.cx && tip.text != text)
            c.why = L"it shows its text shortened, and no tooltip shows it whole";
    } else {
        RECT r{0, 0, room.cx, 0};
        DrawTextW(
            dc, text.c_str(), static_cast<int>(text.size()), &r,
            DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | (style & SS_NOPREFIX ? DT_NOPREFIX : 0));
        c.text = r;
        need({r.right, r.bottom});
    }
    return c;
}

// Ink in a rectangle of the picture: the pixels that stand out from its most common colour.
struct Ink {
    int count = 0;
    RECT box{};  // bounding box of the ink; empty when there is none
};

inline Ink inkIn(const PaintedPicture& picture, RECT r) {
    const RECT whole{0, 0, picture.width, picture.height};
    IntersectRect(&r, &r, &whole);
    std::map<std::uint32_t, int> uses;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) ++uses[picture.at(x, y)];
    if (uses.empty()) return {};
    const std::uint32_t background =
        std::max_element(uses.begin(), uses.end(), [](const auto& a, const auto& b) {
            return a.second < b.second;
        })->first;
    Ink ink;
    ink.box = {r.right, r.bottom, r.left, r.top};
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            const std::uint32_t c = picture.at(x, y);
            int difference = 0;
            for (int shift : {0, 8, 16})
                difference =
                    std::max(difference, std::abs(static_cast<int>(c >> shift & 255) -
                                                  static_cast<int>(background >> shift & 255)));
            if (difference < 64) continue;
            ++ink.count;
            ink.box = {std::min<LONG>(ink.box.left, x), std::min<LONG>(ink.box.top, y),
                       std::max<LONG>(ink.box.right, x + 1), std::max<LONG>(ink.box.bottom, y + 1)};
        }
    if (ink.count == 0) ink.box = {};
    return ink;
}

}  // namespace detail

// What is wrong with the window as painted, one line per fault; empty when a person sees every
// control and every caption whole. dpi is the DPI the window is laid out for.
inline std::vector<std::wstring> paintedFaults(HWND window, UINT dpi) {
    using namespace detail;
    const PaintedPicture picture(window);
    RECT client;
    GetClientRect(window, &client);

    std::vector<HWND> controls;  // top of the z-order first
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (IsWindowVisible(c)) controls.push_back(c);

    std::vector<std::wstring> faults;
    const MemoryDc dc(CreateCompatibleDC(nullptr));
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const HWND control = controls[i];
        const auto kind = kindOf(control);
        const RECT at = rectIn(control, window);
        if (!inside(at, client))
            faults.push_back(describe(control) + L" reaches out of the window");

        const auto hfont = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        SelectObject(dc.get(), hfont ? static_cast<HGDIOBJ>(hfont) : GetStockObject(SYSTEM_FONT));
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc.get(), &metrics);

        // A frame is meant to have the controls inside it on top, clear of its caption.
        RECT inner = at, both;
        if (kind == ControlKind::Frame)
            inner = {at.left + 1, at.top + metrics.tmHeight, at.right - 1, at.bottom - 1};
        for (std::size_t j = 0; j < i; ++j) {
            const RECT above = rectIn(controls[j], window);
            if (IntersectRect(&both, &above, &at) &&
                !(kind == ControlKind::Frame && inside(above, inner)))
                faults.push_back(describe(control) + L" is covered by " + describe(controls[j]));
        }

        const std::wstring text = windowText(control);
        if (!kind || text.empty() || *kind == ControlKind::TextBox ||
            *kind == ControlKind::ListBox || *kind == ControlKind::DataListBox ||
            *kind == ControlKind::ComboBox)
            continue;
        const Caption caption = captionOf(window, control, *kind, text, dc.get(), dpi);
        if (!caption.why.empty()) faults.push_back(describe(control) + L": " + caption.why);

        // The ink of the caption, where the text is drawn.
        RECT drawn = caption.text;
        MapWindowPoints(control, window, reinterpret_cast<POINT*>(&drawn), 2);
        const Ink ink = inkIn(picture, drawn);
        const auto glyphs =
            std::count_if(text.begin(), text.end(), [](wchar_t c) { return c > L' '; });
        const LONG slack = metrics.tmAveCharWidth;
        if (ink.count < 2 * glyphs)
            faults.push_back(describe(control) + L" shows no text where its text is drawn");
        else if (ink.box.left > drawn.left + slack || ink.box.right < drawn.right - slack ||
                 ink.box.bottom < drawn.bottom - metrics.tmHeight)
            faults.push_back(describe(control) + L" shows its text only in part");
    }
    return faults;
}

// The faults of a form laid out at each checked DPI in turn, each saying where and at which DPI.
inline std::vector<std::wstring> paintedFaultsAtEachDpi(const Form& form) {
    std::vector<std::wstring> faults;
    for (UINT dpi : kCheckedDpis) {
        changeDpi(form.hwnd(), dpi);
        for (const auto& fault : paintedFaults(form.hwnd(), form.dpi()))
            faults.push_back(windowText(form.hwnd()) + L" at " + std::to_wstring(dpi) + L" DPI: " +
                             fault);
    }
    return faults;
}

}  // namespace win::testing
