#include "frm_main.h"

#include <shlobj.h>

#include <algorithm>
#include <system_error>
#include <thread>
#include <utility>
#include <variant>

#include "avi_folder.h"
#include "join_files.h"
#include "merge_script.h"
#include "win32/handles.h"
#include "win32/job_script_file.h"
#include "win32/settings_store.h"

namespace clipjoiner {

namespace {

using win::ControlKind;

constexpr win::ControlSpec kControls[] = {
    {FrmMain::Frame1, ControlKind::Frame, L"Info: ", 0, 0, 371, 71},
    {FrmMain::Label1, ControlKind::Label,
     L"To use the merger: 1). Add/Remove files to merge from the list below. 2). Enter a name "
     L"for the merged avi 3). Select merge method, if all files are of the same resolution and "
     L"codec, then use Copy is ALOT faster. 4). Press Start to we.. start!",
     6, 14, 361, 51, FrmMain::Frame1},
    {FrmMain::List1, ControlKind::ListBox, L"", 2, 74, 325, 199},
    {FrmMain::Command1, ControlKind::Button, L"Up", 330, 80, 39, 35},
    {FrmMain::Command2, ControlKind::Button, L"Down", 330, 120, 39, 35},
    {FrmMain::Command3, ControlKind::Button, L"Merge", 318, 292, 51, 35},
    {FrmMain::Command4, ControlKind::Button, L"X", 330, 168, 39, 35},
    {FrmMain::Command5, ControlKind::Button, L"Add", 330, 212, 39, 43},
    {FrmMain::Combo1, ControlKind::ComboBox, L"Select a Merge Method", 62, 284, 231, 21},
    {FrmMain::Label2, ControlKind::Label, L"Method:", 10, 288, 79, 17},
    {FrmMain::Text1, ControlKind::TextBox, L"", 86, 310, 207, 21},
    {FrmMain::Label3, ControlKind::Label, L"Output Name:", 10, 314, 89, 21},
};

constexpr win::FormSpec kForm = {
    L"clipjoiner.frm_main",
    L"AVI Merger",
    373,
    338,
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
    0,
    1,
};

// A short check shows nothing; a longer one shows its progress in the caption.
constexpr ULONGLONG kProgressAfterMs = 300;
constexpr DWORD kProgressEveryMs = 100;

bool isClientInput(UINT message) {
    return (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || message == WM_KEYDOWN ||
           message == WM_KEYUP || message == WM_CHAR || message == WM_DEADCHAR;
}

constexpr wchar_t kAddTitle[] = L"Please select the directory containing all the movie files";

std::wstring listText(HWND list, LRESULT index) {
    const auto length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto got = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index),
                                  reinterpret_cast<LPARAM>(text.data()));
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

}  // namespace

FrmMain::FrmMain(Services services) : services_(std::move(services)) {}

bool FrmMain::create() {
    if (!Form::create(kForm, kControls)) return false;
    SendMessageW(item(Combo1), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kCopyMethod.data()));
    return true;
}

bool FrmMain::loadFolder(const std::wstring& path) {
    auto listed = listAviFolder(path);
    if (const DWORD* error = std::get_if<DWORD>(&listed)) {
        services_.prompter.runtimeError(
            win::RuntimeError::system(L"Listing the folder", path, *error));
        return false;
    }
    auto& folder = std::get<AviFolder>(listed);
    const HWND list = item(List1);
    // Room for all entries at once, and one repaint at the end rather than one per entry.
    std::size_t characters = 0;
    for (const auto& name : folder.names) characters += 2 * name.size() + folder.folder.size() + 12;
    SendMessageW(list, LB_INITSTORAGE, folder.names.size(), characters * sizeof(wchar_t));
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (const auto& name : folder.names) {
        const std::wstring entry = fileEntry(name, folder.folder);
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    outputFolder_ = std::move(folder.folder);
    if (folder.leftOut > 0) tell(leftOutMessage(folder));
    return true;
}

void FrmMain::tell(const std::wstring& text) {
    if (IsWindowVisible(hwnd())) {
        services_.prompter.message(text, win::MessageIcon::Information);
        return;
    }
    // At start-up the window is not shown yet: the note follows once it is.
    pendingNotes_.push_back(text);
    PostMessageW(hwnd(), kShowNotes, 0, 0);
}

void FrmMain::move(int by) {
    const HWND list = item(List1);
    const auto count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    const auto selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
    const auto target = selected + by;
    if (selected == LB_ERR || target < 0 || target >= count) return;
    const std::wstring text = listText(list, selected);
    SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(selected), 0);
    SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(target),
                 reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(target), 0);
}

void FrmMain::removeSelected() {
    const HWND list = item(List1);
    const auto selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR) return;
    SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(selected), 0);
    // The entry that followed the removed one takes its place in the selection.
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

void FrmMain::add() {
    BROWSEINFOW browse{};
    browse.hwndOwner = hwnd();
    browse.lpszTitle = kAddTitle;
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    const win::CoTaskMem<PIDLIST_ABSOLUTE> chosen(SHBrowseForFolderW(&browse));
    if (!chosen) return;
    wchar_t path[MAX_PATH] = {};
    if (!SHGetPathFromIDListW(chosen.get(), path) || path[0] == L'\0') return;
    loadFolder(path);
}

void FrmMain::failMerge(const std::wstring& message) {
    services_.prompter.message(message, win::MessageIcon::None);
}

void FrmMain::merge() {
    const HWND list = item(List1);
    const auto selectedBefore = SendMessageW(list, LB_GETCURSEL, 0, 0);
    const auto count = static_cast<std::size_t>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    const std::wstring outputName = win::windowText(item(Text1));
    if (const MergeCheck check = checkMerge(count, win::windowText(item(Combo1)), outputName);
        check != MergeCheck::Passed) {
        failMerge(std::wstring(checkMessage(check)));
        return;
    }

    constexpr wchar_t kFailed[] = L"Error while compiling script!";
    const std::wstring hostRoot =
        win::readSetting(kSettingsApplication, kSettingsSection, kSettingsKey);
    ScriptInput input;
    const auto named = [&](const std::wstring& path, std::string& bytes) {
        auto safe = win::scriptPath(path);
        if (!safe)
            failMerge(win::unreadablePathMessage(path));
        else
            bytes = std::move(*safe);
        return safe.has_value();
    };
    if (!named(hostRoot, input.hostRoot) ||
        !named(outputPathOf(outputFolder_, outputName), input.outputPath))
        return;
    input.inputPaths.resize(count);
    std::vector<std::wstring> paths(count);
    for (std::size_t i = 0; i < count; ++i) {
        // The walk through the list stops on an entry that fails, and ends on the last one.
        SendMessageW(list, LB_SETCURSEL, i, 0);
        auto path = entryPath(listText(list, static_cast<LRESULT>(i)));
        if (!path) return failMerge(kFailed);
        if (!named(*path, input.inputPaths[i])) return;
        paths[i] = std::move(*path);
    }
    const auto script = mergeScript(input);
    if (!script) {
        failMerge(L"Too many files for one merge: the command would be longer than the " +
                  std::to_wstring(kMaxCommandLine) +
                  L" characters the command prompt reads. Merge fewer files at a time.");
        return;
    }
    if (!confirmJoin(paths)) {
        if (closeAfterCheck_) {
            DestroyWindow(hwnd());
            return;
        }
        // Not merging changes nothing, the walk's selection included.
        SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(selectedBefore), 0);
        return;
    }
    const std::wstring scriptPath = scriptPathOf(hostRoot);
    win::JobScriptFile file;
    if (file.create(scriptPath) != 0) return failMerge(kFailed);
    file.write(*script);
    if (file.close() != 0) return failMerge(kFailed);
    if (services_.starter.startScript(startedPathOf(scriptPath), SW_SHOWNORMAL) != 0)
        return failMerge(kFailed);
    DestroyWindow(hwnd());
}

bool FrmMain::confirmJoin(const std::vector<std::wstring>& paths) {
    std::optional<JoinProblem> problem;
    if (!runJoinCheck(paths, problem)) return false;
    return !problem ||
           services_.prompter.ask(joinQuestion(*problem, paths[problem->file], paths[0]));
}

bool FrmMain::runJoinCheck(const std::vector<std::wstring>& paths,
                           std::optional<JoinProblem>& problem) {
    std::atomic<std::size_t> done{0};
    stopCheck_ = false;
    closeAfterCheck_ = false;
    const win::KernelHandle finished(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const auto check = [&] {
        try {
            problem = checkJoin(paths, done, stopCheck_);
        } catch (...) {
            // Out of memory, most likely: the file being read counts as one that cannot be.
            problem = JoinProblem{std::min(done.load(), paths.size() - 1), {}, {}, {}};
        }
    };
    std::thread worker;
    try {
        if (finished)
            worker = std::thread([&] {
                check();
                SetEvent(finished.get());
            });
    } catch (const std::system_error&) {
    }
    if (!worker.joinable()) {  // no thread to be had: checked here, the window waiting
        check();
        return true;
    }
    checking_ = true;
    const ULONGLONG began = GetTickCount64();
    bool showsProgress = false;
    std::optional<WPARAM> quit;
    const HANDLE finishedHandle = finished.get();
    for (;;) {
        // Input queued before the check began is handled here too, like any during it.
        MSG msg;
        while (!quit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = msg.wParam;
                stopCheck_ = true;
            } else if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
                stopCheck_ = true;
            } else if (!isClientInput(msg.message)) {
                // The list and the boxes take no input while they are being checked; the
                // window's frame still moves and closes it.
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        if (WaitForSingleObject(finishedHandle, 0) == WAIT_OBJECT_0) break;
        if (GetTickCount64() - began >= kProgressAfterMs) {
            const std::wstring caption = std::wstring(kForm.caption) + L" - checking " +
                                         std::to_wstring(done.load() + 1) + L" of " +
                                         std::to_wstring(paths.size()) + L" files";
            SetWindowTextW(hwnd(), caption.c_str());
            showsProgress = true;
        }
        MsgWaitForMultipleObjects(1, &finishedHandle, FALSE, kProgressEveryMs, QS_ALLINPUT);
    }
    worker.join();
    checking_ = false;
    if (showsProgress) SetWindowTextW(hwnd(), kForm.caption);
    if (quit) PostQuitMessage(static_cast<int>(*quit));
    return !stopCheck_;
}

LRESULT FrmMain::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            if (!checking_) break;
            // Closed during the check: the check stops, then the window closes.
            stopCheck_ = true;
            closeAfterCheck_ = true;
            return 0;
        case WM_SETCURSOR:
            if (!checking_ || LOWORD(lParam) != HTCLIENT) break;
            SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
            return TRUE;
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) break;
            switch (LOWORD(wParam)) {
                case Command1:
                    move(-1);
                    return 0;
                case Command2:
                    move(+1);
                    return 0;
                case Command3:
                    merge();
                    return 0;
                case Command4:
                    removeSelected();
                    return 0;
                case Command5:
                    add();
                    return 0;
            }
            break;
        case kShowNotes:
            for (const auto& note : std::exchange(pendingNotes_, {}))
                services_.prompter.message(note, win::MessageIcon::Information);
            return 0;
        case WM_DESTROY:
            services_.endProgram();
            return 0;
    }
    return Form::onMessage(message, wParam, lParam);
}

}  // namespace clipjoiner
