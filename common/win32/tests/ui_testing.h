// What the in-process window tests share: recorders in place of the message box and the program
// starter, and input as a user gives it.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "win32/handles.h"
#include "win32/program_starter.h"
#include "win32/prompter.h"
#include "win32/tests/window_driver.h"
#include "win32/window_builder.h"

namespace win::testing {

struct Message {
    std::wstring text;
    MessageIcon icon;
    bool operator==(const Message&) const = default;
};

// How a failing test shows a message: its text, and its icon when it has one.
inline void PrintTo(const Message& m, std::ostream* out) {
    *out << '"' << e2e::utf8(m.text) << '"'
         << (m.icon == MessageIcon::Information ? " (information)" : "");
}

using Messages = std::vector<Message>;

struct RecordingPrompter : Prompter {
    Messages messages;
    std::vector<std::wstring> questions;
    bool answer = false;  // to every question
    std::vector<RuntimeError> errors;
    void message(const std::wstring& text, MessageIcon icon) override {
        messages.push_back({text, icon});
    }
    bool ask(const std::wstring& question) override {
        questions.push_back(question);
        return answer;
    }
    void runtimeError(const RuntimeError& error) override { errors.push_back(error); }
    // The messages shown since the last call, which forgets them.
    Messages said() { return std::exchange(messages, {}); }
};

struct RecordingStarter : ProgramStarter {
    std::vector<std::pair<std::wstring, int>> starts;
    DWORD startScript(const std::wstring& path, int showCommand) override {
        starts.emplace_back(path, showCommand);
        return 0;
    }
};

using e2e::fileBytes;

// Handles what is posted to the thread's windows so far, as the programs' message loop does.
inline void pumpMessages() {
    for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) win::dispatchMessage(msg);
}

inline void click(HWND button) {
    SendMessageW(button, BM_CLICK, 0, 0);
}

// A click into a text box, all of its text selected and deleted, then the text typed; a long
// text is pasted, as a person would put it in.
inline void type(HWND edit, const std::wstring& text) {
    SendMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(edit, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CHAR, VK_BACK, 1);
    if (text.size() > 64)
        SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
    else
        for (wchar_t c : text) SendMessageW(edit, WM_CHAR, c, 1);
}

// A key pressed and released in a control, through the message loop's own dispatch, so that the
// window's dialog keys act on it as they do for a user.
inline void pressKey(HWND control, UINT key) {
    SetFocus(control);
    for (UINT message : {WM_KEYDOWN, WM_KEYUP}) {
        // A repeat count of 1; a key going up also has its previous-state and transition bits.
        MSG msg{control, message, key, message == WM_KEYUP ? LPARAM(0xC0000001u) : 1, 0, {}};
        win::dispatchMessage(msg);
        pumpMessages();
    }
}

// Files dropped on a window as the shell drops them: a WM_DROPFILES with their paths, in order.
inline void dropFiles(HWND window, const std::vector<std::wstring>& paths) {
    std::size_t characters = 1;
    for (const auto& p : paths) characters += p.size() + 1;
    const HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + characters * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* at = reinterpret_cast<wchar_t*>(drop + 1);
    for (const auto& p : paths) at = std::copy(p.begin(), p.end(), at) + 1;
    GlobalUnlock(memory);
    SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);  // the window frees it
}

// The text a screen reader names a box by: the label just before it in the z-order.
inline std::wstring labelOf(HWND box) {
    const HWND before = GetWindow(box, GW_HWNDPREV);
    return before && lstrcmpiW(e2e::classOf(before).c_str(), L"Static") == 0
               ? win::windowText(before)
               : std::wstring();
}

// Whether the list shows its horizontal scroll bar.
inline bool scrollsSideways(HWND list) {
    SCROLLBARINFO info{};
    info.cbSize = sizeof info;
    return GetScrollBarInfo(list, OBJID_HSCROLL, &info) &&
           !(info.rgstate[0] & STATE_SYSTEM_INVISIBLE);
}

// The control ids in the order Tab visits them, from the first.
inline std::vector<int> tabOrder(HWND window) {
    std::vector<int> order;
    const HWND first = GetNextDlgTabItem(window, nullptr, FALSE);
    for (HWND h = first; h && (order.empty() || h != first);
         h = GetNextDlgTabItem(window, h, FALSE))
        order.push_back(GetDlgCtrlID(h));
    return order;
}

// The pixels a drawing leaves on a bitmap like the screen's, 32 bits each, top row first.
template <typename Draw>
std::vector<std::uint32_t> drawnPixels(int width, int height, Draw draw) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    const WindowDc screen(nullptr);
    const MemoryDc dc(CreateCompatibleDC(screen.get()));
    const Bitmap bitmap(CreateCompatibleBitmap(screen.get(), width, height));
    const HGDIOBJ old = SelectObject(dc.get(), bitmap.get());
    draw(dc.get());
    SelectObject(dc.get(), old);
    BITMAPINFO header{};
    header.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    GetDIBits(dc.get(), bitmap.get(), 0, static_cast<UINT>(height), pixels.data(), &header,
              DIB_RGB_COLORS);
    return pixels;
}

// The client area of a window as it paints itself (WM_PRINTCLIENT).
inline std::vector<std::uint32_t> clientPixels(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return drawnPixels(client.right, client.bottom, [window](HDC dc) {
        SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc),
                     PRF_CLIENT | PRF_ERASEBKGND);
    });
}

inline std::vector<std::wstring> listEntries(HWND list) {
    std::vector<std::wstring> out;
    for (LRESULT i = 0, n = SendMessageW(list, LB_GETCOUNT, 0, 0); i < n; ++i) {
        std::wstring text(static_cast<std::size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)), L'\0');
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        out.push_back(text);
    }
    return out;
}

// Answers the next modal dialog of the owner from a thread the caller keeps until it is done; a
// dialog still open after the answer is cancelled, so that a failure cannot hang the test.
inline std::jthread answerDialog(HWND owner, std::function<void(HWND dialog)> answer) {
    return std::jthread([owner, answer = std::move(answer)] {
        HWND dialog = nullptr;
        const auto found = [&] {
            return (dialog = e2e::findWindow(nullptr, [&](HWND h) {
                        return e2e::classOf(h) == L"#32770" && GetWindow(h, GW_OWNER) == owner &&
                               IsWindowVisible(h);
                    }));
        };
        if (!e2e::waitUntil(found, std::chrono::seconds(10))) return;
        answer(dialog);
        if (!e2e::waitUntil([&] { return !IsWindow(dialog); }, std::chrono::seconds(3)))
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
}

}  // namespace win::testing
