// Drives the windows of another process the way a user would, through window messages, with
// every wait bounded so that a program that hangs or never shows a window fails the test instead.
#pragma once

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <string_view>

namespace e2e {

// Generous: the first start of a program under Wine can take seconds.
inline constexpr std::chrono::milliseconds kPatience{20000};
// A window that does not answer a message within this long counts as hung.
inline constexpr UINT kAnswerMs = 5000;

inline std::string utf8(std::wstring_view text) {
    std::string out(text.size() * 3, '\0');
    out.resize(static_cast<std::size_t>(
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                            static_cast<int>(out.size()), nullptr, nullptr)));
    return out;
}

// Polls until ready() holds; false when the time ran out first.
template <typename Ready>
bool waitUntil(Ready ready, std::chrono::milliseconds timeout = kPatience) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (; !ready(); Sleep(20))
        if (std::chrono::steady_clock::now() >= deadline) return false;
    return true;
}

// Sends a message and waits for the answer, bounded; 0 when the window did not answer.
inline LRESULT ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kAnswerMs, &result))
        return 0;
    return static_cast<LRESULT>(result);
}

// The text of a window of any process. GetWindowText does not ask a control of another process,
// WM_GETTEXT does.
inline std::wstring textOf(HWND window) {
    std::wstring text(
        static_cast<std::size_t>(std::max<LRESULT>(ask(window, WM_GETTEXTLENGTH), 0)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(std::max<LRESULT>(
        ask(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())), 0)));
    return text;
}

inline bool setText(HWND window, const std::wstring& text) {
    return ask(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) == TRUE;
}

namespace detail {

// Enumeration callbacks are named functions: a lambda has no CALLBACK (stdcall) form on 32-bit.
struct WindowSearch {
    DWORD processId;         // 0 for a descendant, looked for by its class
    std::wstring_view text;  // a caption, or a class name
    HWND found;
};

inline BOOL CALLBACK match(HWND window, LPARAM param) {
    auto& s = *reinterpret_cast<WindowSearch*>(param);
    wchar_t text[256] = {};
    bool found = false;
    if (s.processId == 0) {
        GetClassNameW(window, text, 256);
        found = IsWindowVisible(window) && lstrcmpiW(text, std::wstring(s.text).c_str()) == 0;
    } else {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        found = owner == s.processId && GetWindowTextW(window, text, 256) > 0 && s.text == text;
    }
    if (found) s.found = window;
    return !found;
}

inline BOOL CALLBACK collectVisibleText(HWND window, LPARAM param) {
    if (IsWindowVisible(window)) *reinterpret_cast<std::wstring*>(param) += textOf(window) + L'\n';
    return TRUE;
}

}  // namespace detail

// The process's top-level window with exactly this caption, or null. Hidden ones count too.
inline HWND topLevelWindow(DWORD processId, std::wstring_view caption) {
    detail::WindowSearch search{processId, caption, nullptr};
    EnumWindows(detail::match, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Waits until the process shows a top-level window with this caption; null when it does not.
inline HWND waitForWindow(DWORD processId, std::wstring_view caption,
                          std::chrono::milliseconds timeout = kPatience) {
    HWND found = nullptr;
    const auto shown = [&] {
        found = topLevelWindow(processId, caption);
        return found && IsWindowVisible(found);
    };
    return waitUntil(shown, timeout) ? found : nullptr;
}

// The first visible descendant of this window class (compared as the system does, ignoring
// case), or null.
inline HWND visibleDescendant(HWND parent, std::wstring_view className) {
    detail::WindowSearch search{0, className, nullptr};
    EnumChildWindows(parent, detail::match, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The texts of all visible descendants, one a line: what a failing test shows of a message box.
inline std::wstring visibleTexts(HWND parent) {
    std::wstring all;
    EnumChildWindows(parent, detail::collectVisibleText, reinterpret_cast<LPARAM>(&all));
    return all;
}

// Presses a button without waiting for what it does, which may be a modal dialog.
inline void press(HWND button) {
    PostMessageW(button, BM_CLICK, 0, 0);
}

// Ticks or clears a check box by clicking it, as a user would; false when it did not take.
inline bool setChecked(HWND box, bool checked) {
    const auto wanted = checked ? BST_CHECKED : BST_UNCHECKED;
    if (ask(box, BM_GETCHECK) != wanted) ask(box, BM_CLICK);
    return ask(box, BM_GETCHECK) == wanted;
}

}  // namespace e2e
