// What a person sees of a window, checked on the picture the window paints: every control lies
// inside the window, uncovered, with its whole caption in its own font and ink where it is drawn.
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

// Tells the window its DPI changed, as the system does when it moves onto such a monitor.
inline void changeDpi(HWND window, UINT dpi) {
    RECT now;
    GetWindowRect(window, &now);
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&now));
}

namespace detail {

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

// The text of the window's tooltip for the control, asked as the tooltip asks before it shows.
inline std::wstring tooltipOf(HWND control) {
    std::wstring text;
    e2e::findWindow(nullptr, [&](HWND tip) {
        if (lstrcmpiW(e2e::classOf(tip).c_str(), TOOLTIPS_CLASSW) != 0 ||
            GetWindow(tip, GW_OWNER) != GetParent(control))
            return false;
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        for (UINT i = 0; SendMessageW(tip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&tool));
             ++i) {
            if (!(tool.uFlags & TTF_IDISHWND) || reinterpret_cast<HWND>(tool.uId) != control)
                continue;
            NMTTDISPINFOW ask{};
            ask.hdr = {tip, tool.uId, static_cast<UINT>(TTN_GETDISPINFOW)};
            SendMessageW(tool.hwnd, WM_NOTIFY, ask.hdr.idFrom, reinterpret_cast<LPARAM>(&ask));
            text = ask.lpszText && !IS_INTRESOURCE(ask.lpszText) ? ask.lpszText : ask.szText;
            return true;
        }
        return false;
    });
    return text;
}

// Where a control's caption is drawn, in its client coordinates; why it does not fit, if so.
inline RECT captionOf(HWND control, ControlKind kind, const std::wstring& text, HDC dc, UINT dpi,
                      std::wstring& why) {
    RECT client;
    GetClientRect(control, &client);
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    const auto need = [&](LONG cx, LONG cy) {
        if (cx > client.right || cy > client.bottom)
            why = L"its text needs " + std::to_wstring(cx) + L"x" + std::to_wstring(cy) +
                  L" but it is " + std::to_wstring(client.right) + L"x" +
                  std::to_wstring(client.bottom);
    };
    const auto style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
    if (kind != ControlKind::Label && kind != ControlKind::PathLabel) {
        // A button centres its caption; a check box's follows its box, a frame's stands on its
        // top edge, half of the chrome on each side.
        const SIZE chrome = captionChrome(kind, dpi);
        const bool button = kind == ControlKind::Button || kind == ControlKind::DefaultButton;
        need(extent.cx + chrome.cx, extent.cy + (button ? chrome.cy : 0));
        const LONG left = button                       ? (client.right - extent.cx) / 2
                          : kind == ControlKind::Frame ? chrome.cx / 2
                                                       : chrome.cx;
        const LONG top = kind == ControlKind::Frame ? 0 : (client.bottom - extent.cy) / 2;
        return {left, top, left + extent.cx, top + extent.cy};
    }
    if (!(style & SS_ELLIPSISMASK)) {
        RECT r{0, 0, client.right, 0};
        DrawTextW(
            dc, text.c_str(), static_cast<int>(text.size()), &r,
            DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | (style & SS_NOPREFIX ? DT_NOPREFIX : 0));
        need(r.right, r.bottom);
        return r;
    }
    // One line: shortened only with the whole text at hand as a tooltip.
    std::wstring shown = text + L"....";
    RECT r = client;
    const UINT ellipsis = (style & SS_ELLIPSISMASK) == SS_PATHELLIPSIS  ? DT_PATH_ELLIPSIS
                          : (style & SS_ELLIPSISMASK) == SS_ENDELLIPSIS ? DT_END_ELLIPSIS
                                                                        : DT_WORD_ELLIPSIS;
    DrawTextW(dc, shown.data(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX | DT_MODIFYSTRING | ellipsis);
    SIZE drawn{};
    GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(wcslen(shown.c_str())), &drawn);
    need(std::min(extent.cx, client.right), extent.cy);
    if (extent.cx > client.right && tooltipOf(control) != text)
        why = L"it shows its text shortened, and no tooltip shows it whole";
    return {0, 0, std::min(drawn.cx, client.right), drawn.cy};
}

// The ink of a rectangle of the picture: how many pixels stand out from its most common colour,
// and their bounding box.
inline std::pair<int, RECT> inkIn(const std::vector<std::uint32_t>& pixels, const RECT& whole,
                                  RECT r) {
    const auto at = [&](int x, int y) {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(whole.right) +
                      static_cast<std::size_t>(x)] &
               0xFFFFFF;
    };
    IntersectRect(&r, &r, &whole);
    std::map<std::uint32_t, int> uses;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) ++uses[at(x, y)];
    if (uses.empty()) return {};
    const std::uint32_t background =
        std::ranges::max_element(uses, [](auto& a, auto& b) { return a.second < b.second; })->first;
    std::pair<int, RECT> ink{0, {r.right, r.bottom, r.left, r.top}};
    auto& box = ink.second;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            int difference = 0;
            for (int shift : {0, 8, 16})
                difference =
                    std::max(difference, std::abs(static_cast<int>(at(x, y) >> shift & 255) -
                                                  static_cast<int>(background >> shift & 255)));
            if (difference < 64) continue;
            ++ink.first;
            box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
                   std::max<LONG>(box.right, x + 1), std::max<LONG>(box.bottom, y + 1)};
        }
    return ink;
}

}  // namespace detail

// What is wrong with the window as painted, one line per fault; empty when a person sees every
// control and every caption whole. dpi is the DPI the window is laid out for.
inline std::vector<std::wstring> paintedFaults(HWND window, UINT dpi) {
    using namespace detail;
    // Read back from the window's own device context, so that a window above it cannot spoil it.
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pumpMessages();
    GdiFlush();
    RECT client;
    GetClientRect(window, &client);
    const auto picture = drawnPixels(client.right, client.bottom, [&](HDC dc) {
        const WindowDc painted(window);
        BitBlt(dc, 0, 0, client.right, client.bottom, painted.get(), 0, 0, SRCCOPY);
    });

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
        std::wstring why;
        RECT drawn = captionOf(control, *kind, text, dc.get(), dpi, why);
        if (!why.empty()) faults.push_back(describe(control) + L": " + why);

        MapWindowPoints(control, window, reinterpret_cast<POINT*>(&drawn), 2);
        const auto [ink, box] = inkIn(picture, client, drawn);
        const auto glyphs =
            std::count_if(text.begin(), text.end(), [](wchar_t c) { return c > L' '; });
        const LONG slack = metrics.tmAveCharWidth;
        if (ink < 2 * glyphs)
            faults.push_back(describe(control) + L" shows no text where its text is drawn");
        else if (box.left > drawn.left + slack || box.right < drawn.right - slack ||
                 box.bottom < drawn.bottom - metrics.tmHeight)
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
