#include "frm_main.h"

#include <shlobj.h>

#include <algorithm>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <variant>

#include "avi_folder.h"
#include "avi_listing.h"
#include "core/file_names.h"
#include "core/job_script.h"
#include "join_files.h"
#include "merge_script.h"
#include "win32/handles.h"
#include "win32/job_script_file.h"
#include "win32/settings_store.h"
#include "win32/system_library.h"

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
    {.id = FrmMain::List1,
     .kind = ControlKind::ListBox,
     .text = L"",
     .left = 2,
     .top = 74,
     .width = 325,
     .height = 199,
     .deletePresses = FrmMain::Command4},
    {FrmMain::Command1, ControlKind::Button, L"Up", 330, 80, 39, 35},
    {FrmMain::Command2, ControlKind::Button, L"Down", 330, 120, 39, 35},
    {FrmMain::Command3, ControlKind::Button, L"Merge", 318, 292, 51, 35},
    {FrmMain::Command4, ControlKind::Button, L"X", 330, 168, 39, 35},
    {FrmMain::Command5, ControlKind::Button, L"Add", 330, 212, 39, 43},
    // Each label just before its box, so that screen readers name the box by it.
    {FrmMain::Label2, ControlKind::Label, L"Method:", 10, 288, 79, 17},
    {FrmMain::Combo1, ControlKind::ComboBox, L"Select a Merge Method", 62, 284, 231, 21},
    {FrmMain::Label3, ControlKind::Label, L"Output Name:", 10, 314, 89, 21},
    {.id = FrmMain::Text1,
     .kind = ControlKind::TextBox,
     .text = L"",
     .left = 86,
     .top = 310,
     .width = 207,
     .height = 21,
     .enterPresses = FrmMain::Command3},
};

constexpr win::FormSpec kForm = {
    L"clipjoiner.frm_main",
    L"AVI Merger",
    373,
    338,
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
    WS_EX_ACCEPTFILES,
    1,
};

constexpr wchar_t kCompileFailed[] = L"Error while compiling script!";

// Which file a path leads to: the same for two spellings of one file, and for a short name.
struct FileId {
    DWORD volume, high, low;
    bool operator==(const FileId&) const = default;
};

std::optional<FileId> fileIdOf(const std::wstring& path) {
    const win::FileHandle file(CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
    return FileId{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

// Two paths written alike, once made full, with case ignored.
bool samePath(const std::wstring& a, const std::wstring& b) {
    const auto full = [](const std::wstring& path) {
        std::wstring out(GetFullPathNameW(path.c_str(), 0, nullptr, nullptr), L'\0');
        out.resize(
            GetFullPathNameW(path.c_str(), static_cast<DWORD>(out.size()), out.data(), nullptr));
        return out;
    };
    const std::wstring x = full(a), y = full(b);
    return CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(),
                                static_cast<int>(y.size()), TRUE) == CSTR_EQUAL;
}

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

bool FrmMain::loadFolder(const std::wstring& path, OnFailure onFailure) {
    auto listed = listAviFolder(path);
    if (const DWORD* error = std::get_if<DWORD>(&listed)) {
        const auto report = win::RuntimeError::system(L"Listing the folder", path, *error);
        if (onFailure == OnFailure::EndProgram)
            services_.prompter.runtimeError(report);
        else
            services_.prompter.message(win::reportText(report), win::MessageIcon::None);
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
    static auto* const browseForFolder =
        win::systemFunction<decltype(::SHBrowseForFolderW)>(L"shell32.dll", "SHBrowseForFolderW");
    static auto* const pathFromList = win::systemFunction<decltype(::SHGetPathFromIDListW)>(
        L"shell32.dll", "SHGetPathFromIDListW");
    if (!browseForFolder || !pathFromList) {
        services_.prompter.runtimeError(win::RuntimeError::system(L"Opening the folder dialog",
                                                                  L"shell32.dll", GetLastError()));
        return;
    }
    BROWSEINFOW browse{};
    browse.hwndOwner = hwnd();
    browse.lpszTitle = kAddTitle;
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    const win::CoTaskMem<PIDLIST_ABSOLUTE> chosen(browseForFolder(&browse));
    if (!chosen) return;
    wchar_t path[MAX_PATH] = {};
    if (!pathFromList(chosen.get(), path) || path[0] == L'\0') return;
    loadFolder(path);
}

void FrmMain::drop(HDROP files) {
    // In the order dropped: a folder as Add adds it, an AVI file as one entry.
    std::vector<std::wstring> refused;
    // AVI files left out as the listing leaves them out: their entries would not read back as
    // the paths they name, and a quote in one would end its quotes in the script.
    AviFiles forbidden;
    for (const auto& path : win::droppedPaths(files)) {
        const std::wstring_view name = std::wstring_view(path).substr(path.rfind(L'\\') + 1);
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            loadFolder(path, OnFailure::Tell);
        } else if (common::hasAviExtension(name) && common::isForbiddenInFileName(name)) {
            if (forbidden.leftOut++ == 0) forbidden.firstLeftOut = path;
        } else if (attributes != INVALID_FILE_ATTRIBUTES && common::hasAviExtension(name)) {
            const std::wstring folder = listedFolder(common::beforeLastBackslash(path) + L"\\");
            const std::wstring entry = fileEntry(name, folder);
            SendMessageW(item(List1), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
        } else {
            refused.push_back(path);
        }
    }
    if (refused.empty() && forbidden.leftOut == 0) return;
    std::wstring text;
    if (!refused.empty()) {
        constexpr std::size_t kNamed = 10;
        text = L"Only AVI files and folders can be added. Not added:\n";
        for (std::size_t i = 0; i < refused.size() && i < kNamed; ++i) text += L"\n" + refused[i];
        if (refused.size() > kNamed)
            text += L"\n... and " + std::to_wstring(refused.size() - kNamed) + L" more";
    }
    if (forbidden.leftOut > 0) text += (text.empty() ? L"" : L"\n\n") + leftOutMessage(forbidden);
    services_.prompter.message(text, win::MessageIcon::None);
}

void FrmMain::failMerge(const std::wstring& message) {
    services_.prompter.message(message, win::MessageIcon::None);
}

void FrmMain::select(std::size_t index) {
    SendMessageW(item(List1), LB_SETCURSEL, index, 0);
}

bool FrmMain::nameInScript(const std::wstring& path, std::string& bytes) {
    auto named = win::scriptPath(path);
    if (!named) {
        failMerge(win::unreadablePathMessage(path));
        return false;
    }
    bytes = std::move(*named);
    return true;
}

bool FrmMain::collectInputs(MergeCommand& command, std::vector<std::wstring>& inputs) {
    const HWND list = item(List1);
    const auto count = static_cast<std::size_t>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    std::string bytes;
    for (std::size_t i = 0; i < count; ++i) {
        // The walk through the list stops on the entry that fails.
        const auto path = entryPath(listText(list, static_cast<LRESULT>(i)));
        if (!path) {
            select(i);
            failMerge(kCompileFailed);
            return false;
        }
        if (!nameInScript(*path, bytes)) {
            select(i);
            return false;
        }
        // Refused at the first file that does not fit, however long the list.
        if (!command.add(bytes)) {
            select(i);
            failMerge(L"Too many files for one merge: the command would be longer than the " +
                      std::to_wstring(kMaxCommandLine) +
                      L" characters the command prompt reads.\n\nMerge fewer files at a time, "
                      L"or files with shorter paths.");
            return false;
        }
        inputs.push_back(*path);
    }
    return true;
}

bool FrmMain::outputSparesInputs(const std::wstring& outputPath,
                                 const std::vector<std::wstring>& inputs) {
    const auto output = fileIdOf(outputPath);
    if (!output) return true;  // nothing there yet, so no input either
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const auto input = fileIdOf(inputs[i]);
        if (input ? *input != *output : !samePath(inputs[i], outputPath)) continue;
        select(i);
        failMerge(
            L"The merged file would be written over one of the files it is made "
            L"from:\n\n" +
            inputs[i] + L"\n\nChoose another output name.");
        return false;
    }
    return true;
}

bool FrmMain::mayReplace(const std::wstring& outputPath) {
    const DWORD attributes = GetFileAttributesW(outputPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        failMerge(L"The merged file cannot be written: a folder has its name.\n\n" + outputPath +
                  L"\n\nChoose another output name.");
        return false;
    }
    return services_.prompter.ask(L"The merged file already exists:\n\n" + outputPath +
                                  L"\n\nReplace it?");
}

void FrmMain::merge() {
    // The checks the user is told about first, in their order.
    const auto count = static_cast<std::size_t>(SendMessageW(item(List1), LB_GETCOUNT, 0, 0));
    const std::wstring outputName = win::windowText(item(Text1));
    if (const MergeCheck check = checkMerge(count, win::windowText(item(Combo1)), outputName);
        check != MergeCheck::Passed) {
        failMerge(std::wstring(checkMessage(check)));
        return;
    }

    // The host root and the merged file, as the script names them.
    const std::wstring hostRoot =
        win::readSetting(kSettingsApplication, kSettingsSection, kSettingsKey);
    const std::wstring outputPath = outputPathOf(outputFolder_, outputName);
    std::string hostRootBytes, outputBytes;
    if (!nameInScript(hostRoot, hostRootBytes) || !nameInScript(outputPath, outputBytes)) return;

    // The inputs, in list order.
    MergeCommand command(outputBytes);
    std::vector<std::wstring> inputs;
    if (!collectInputs(command, inputs)) return;

    // The merged file never takes the place of one of its inputs.
    if (!outputSparesInputs(outputPath, inputs)) return;

    // Files that a stream copy cannot join, only when the user says so.
    if (!confirmJoin(inputs)) {
        if (closeAfterCheck_) DestroyWindow(hwnd());
        return;
    }

    // Nor of another file, unless the user says so.
    if (!mayReplace(outputPath)) return;

    // Written, started, and the merger ends. A script that cannot be made leaves the selection
    // as it was; the walk through the list ends on its last entry.
    const std::wstring scriptPath = scriptPathOf(hostRoot);
    win::JobScriptFile file;
    if (file.create(scriptPath) != 0) return failMerge(kCompileFailed);
    select(count - 1);
    file.write(mergeScript(hostRootBytes, command));
    if (file.close() != 0) return failMerge(kCompileFailed);
    if (services_.starter.startScript(startedPathOf(scriptPath), SW_SHOWNORMAL) != 0)
        return failMerge(kCompileFailed);
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
        case WM_DROPFILES:
            // The list stays as it is while its files are being checked.
            if (checking_)
                win::droppedPaths(reinterpret_cast<HDROP>(wParam));
            else
                drop(reinterpret_cast<HDROP>(wParam));
            return 0;
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
