// Drives the windows of another process the way a user would, through window messages, with
// every wait bounded so that a program that hangs or never shows a window fails the test instead.
#pragma once

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>

namespace e2e {

// Generous: the first start of a program under Wine can take seconds.
inline constexpr std::chrono::milliseconds kPatience{20000};

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

// Sends a message and waits for the answer, for 5 s at most; 0 when the window did not answer.
inline LRESULT ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result)
               ? static_cast<LRESULT>(result)
               : 0;
}

// The text of a window of any process: WM_GETTEXT asks it, GetWindowText would not.
inline std::wstring textOf(HWND window) {
    std::wstring text(
        static_cast<std::size_t>(std::max<LRESULT>(ask(window, WM_GETTEXTLENGTH), 0)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(std::max<LRESULT>(
        ask(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())), 0)));
    return text;
}

// The bytes of a file; none when it is missing or a writer keeps it from being read.
inline std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline bool setText(HWND window, const std::wstring& text) {
    return ask(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) == TRUE;
}

inline std::wstring classOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

namespace detail {

// Enumeration callbacks are named functions: a lambda has no CALLBACK (stdcall) form on 32-bit.
inline BOOL CALLBACK untilFound(HWND window, LPARAM is) {
    return !(*reinterpret_cast<const std::function<bool(HWND)>*>(is))(window);
}

}  // namespace detail

// The first descendant of parent (of the desktop when null) that `is` holds for, or null.
inline HWND findWindow(HWND parent, const std::function<bool(HWND)>& is) {
    HWND found = nullptr;
    const std::function<bool(HWND)> test = [&](HWND h) { return is(h) && (found = h); };
    if (parent)
        EnumChildWindows(parent, detail::untilFound, reinterpret_cast<LPARAM>(&test));
    else
        EnumWindows(detail::untilFound, reinterpret_cast<LPARAM>(&test));
    return found;
}

// The process's top-level window with exactly this caption, or null. Hidden ones count too.
inline HWND topLevelWindow(DWORD processId, std::wstring_view caption) {
    return findWindow(nullptr, [&](HWND h) {
        DWORD owner = 0;
        wchar_t text[256] = {};
        GetWindowThreadProcessId(h, &owner);
        return owner == processId && GetWindowTextW(h, text, 256) > 0 && caption == text;
    });
}

// Waits until the process shows a top-level window with this caption; null when it does not.
inline HWND waitForWindow(DWORD processId, std::wstring_view caption,
                          std::chrono::milliseconds timeout = kPatience) {
    HWND found = nullptr;
    return waitUntil([&] { return IsWindowVisible(found = topLevelWindow(processId, caption)); },
                     timeout)
               ? found
               : nullptr;
}

// The first visible descendant of this window class (ignoring case, as the system does), or null.
inline HWND visibleDescendant(HWND parent, std::wstring_view className) {
    return findWindow(parent, [&](HWND h) {
        return IsWindowVisible(h) &&
               lstrcmpiW(classOf(h).c_str(), std::wstring(className).c_str()) == 0;
    });
}

// The texts of all visible descendants, one a line: what a failing test shows of a message box.
inline std::wstring visibleTexts(HWND parent) {
    std::wstring all;
    findWindow(parent, [&](HWND h) {
        if (IsWindowVisible(h)) all += textOf(h) + L'\n';
        return false;
    });
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
