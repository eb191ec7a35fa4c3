// What the in-process window tests share: recorders in place of the message box and the program
// starter, and input as a user gives it.
#pragma once

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "win32/program_starter.h"
#include "win32/prompter.h"
#include "win32/tests/window_driver.h"

namespace win::testing {

struct Message {
    std::wstring text;
    MessageIcon icon;
    bool operator==(const Message&) const = default;
};

struct RecordingPrompter : Prompter {
    std::vector<Message> messages;
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
};

struct RecordingStarter : ProgramStarter {
    std::vector<std::pair<std::wstring, int>> starts;
    DWORD startScript(const std::wstring& path, int showCommand) override {
        starts.emplace_back(path, showCommand);
        return 0;
    }
};

inline std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Handles what is posted to the thread's windows so far.
inline void pumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

inline void click(HWND button) {
    SendMessageW(button, BM_CLICK, 0, 0);
}

// A click into a text box, all of its text selected and deleted, then the text typed.
inline void type(HWND edit, const std::wstring& text) {
    SendMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(edit, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CHAR, VK_BACK, 1);
    for (wchar_t c : text) SendMessageW(edit, WM_CHAR, c, 1);
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

inline std::vector<std::wstring> listEntries(HWND list) {
    std::vector<std::wstring> out;
    for (LRESULT i = 0, n = SendMessageW(list, LB_GETCOUNT, 0, 0); i < n; ++i) {
        std::wstring text(static_cast<std::size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)), L'\0');
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        out.push_back(text);
    }
    return out;
}

// Answers the next dialog that the owner window opens (a modal one, so the test's own thread is
// inside it) from another thread. A dialog still open after the answer is cancelled, so that a
// failure cannot hang the test.
class DialogAnswer {
  public:
    DialogAnswer(HWND owner, std::function<void(HWND dialog)> answer)
        : thread_([this, owner, answer = std::move(answer)] { run(owner, answer); }) {}
    ~DialogAnswer() { thread_.join(); }
    DialogAnswer(const DialogAnswer&) = delete;
    DialogAnswer& operator=(const DialogAnswer&) = delete;

  private:
    static BOOL CALLBACK ownedDialog(HWND h, LPARAM lParam) {
        auto* search = reinterpret_cast<std::pair<HWND, HWND>*>(lParam);
        wchar_t name[16] = {};
        GetClassNameW(h, name, 16);
        if (lstrcmpW(name, L"#32770") != 0 || GetWindow(h, GW_OWNER) != search->first ||
            !IsWindowVisible(h))
            return TRUE;
        search->second = h;
        return FALSE;
    }
    void run(HWND owner, const std::function<void(HWND)>& answer) {
        std::pair<HWND, HWND> search{owner, nullptr};
        for (int i = 0; i < 200 && !search.second; ++i) {
            Sleep(50);
            EnumWindows(&DialogAnswer::ownedDialog, reinterpret_cast<LPARAM>(&search));
        }
        const HWND dialog = search.second;
        if (!dialog) return;
        answer(dialog);
        for (int i = 0; i < 60 && IsWindow(dialog); ++i) Sleep(50);
        if (IsWindow(dialog)) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }
    std::thread thread_;
};

}  // namespace win::testing
