#include "frm_main.h"

#include <commdlg.h>

#include <vector>

#include "core/file_names.h"
#include "split_script.h"
#include "win32/avi_reader.h"
#include "win32/job_script_file.h"
#include "win32/system_library.h"

namespace clipcutter {

namespace {

using win::ControlKind;

constexpr win::ControlSpec kControls[] = {
    {FrmMain::Frame1, ControlKind::Frame, L"Info", 0, 0, 399, 39},
    {FrmMain::Label1, ControlKind::Label,
     L"Splitter is easy to use, type in an start position and an end position, press start!", 4, 18,
     389, 17, FrmMain::Frame1},
    {FrmMain::Label2, ControlKind::Label,
     L"1. Open File (AVI Only, convert with Movarix first if not AVI)", 4, 48, 359, 15},
    {FrmMain::Command1, ControlKind::Button, L"Browse", 22, 68, 95, 21},
    {FrmMain::lb_path, ControlKind::PathLabel, L"Path", 120, 66, 273, 17},
    // Under the path, in the second line the path label no longer needs.
    {FrmMain::lb_length, ControlKind::Label, L"", 120, 84, 273, 15},
    {FrmMain::Label4, ControlKind::Label, L"2. Add Parts to split", 4, 106, 359, 15},
    {.id = FrmMain::List1,
     .kind = ControlKind::ListBox,
     .text = L"",
     .left = 24,
     .top = 126,
     .width = 299,
     .height = 134,
     .deletePresses = FrmMain::Command3},
    {FrmMain::Command2, ControlKind::Button, L"Add Part", 326, 152, 67, 23},
    {FrmMain::Command3, ControlKind::Button, L"Remove", 326, 184, 67, 23},
    {FrmMain::Command4, ControlKind::Button, L"Start!", 12, 268, 121, 19},
};

constexpr int kIcon = 1;

constexpr win::FormSpec kForm = {
    L"clipcutter.frm_main",
    L"Movarix Plugin ID:4401 - AVI Splitter",
    398,
    294,
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
    WS_EX_ACCEPTFILES,
    kIcon,
};

// Room for the longest path the system can name.
constexpr std::size_t kFileNameCapacity = 32768;

}  // namespace

FrmMain::FrmMain(Services services) : services_(std::move(services)) {}

FrmMain::~FrmMain() = default;

bool FrmMain::create() {
    return Form::create(kForm, kControls);
}

DlgAdd* FrmMain::addDialog() const {
    return dlgAdd_ && dlgAdd_->hwnd() ? dlgAdd_.get() : nullptr;
}

void FrmMain::browse() {
    std::wstring buffer = lastFile_;
    buffer.resize(kFileNameCapacity, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwnd();
    ofn.lpstrFilter = L"AVI File\0*.avi\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrTitle = L"Select input file";
    // NOCHANGEDIR: the chosen folder must not become the working folder and be held open.
    ofn.Flags =
        OFN_EXPLORER | OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    static auto* const openFile =
        win::systemFunction<decltype(::GetOpenFileNameW)>(L"comdlg32.dll", "GetOpenFileNameW");
    if (!openFile) {
        services_.prompter.runtimeError(
            win::RuntimeError::system(L"Opening the file dialog", L"comdlg32.dll", GetLastError()));
        return;
    }
    // A cancelled dialog keeps the last confirmed choice, and with it the label.
    if (openFile(&ofn)) {
        chooseInputFile(buffer.c_str());
        return;
    }
    if (lastFile_.empty())
        services_.prompter.message(L"Nothing was selected", win::MessageIcon::Information);
}

void FrmMain::chooseInputFile(const std::wstring& path) {
    // The file-open dialog offers it next time, as it does its own last choice.
    lastFile_ = path;
    SetWindowTextW(item(lb_path), path.c_str());
    const win::AviReader reader;
    const auto movie = reader.read(path);
    movieLength_ = movie ? common::movieLength(*movie) : std::nullopt;
    const std::wstring shown =
        L"Movie length: " + (movieLength_ ? common::durationText(*movieLength_) : L"unknown");
    SetWindowTextW(item(lb_length), shown.c_str());
}

void FrmMain::drop(HDROP files) {
    const std::vector<std::wstring> paths = win::droppedPaths(files);
    if (paths.size() != 1) {
        services_.prompter.message(L"Drop one AVI file at a time: the splitter cuts one file.",
                                   win::MessageIcon::None);
        return;
    }
    const std::wstring& path = paths[0];
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        !common::hasAviExtension(path)) {
        services_.prompter.message(L"Only an AVI file can be split:\n\n" + path,
                                   win::MessageIcon::None);
        return;
    }
    chooseInputFile(path);
}

void FrmMain::addPart() {
    if (!addDialog()) {
        auto dialog =
            std::make_unique<DlgAdd>([this](const std::wstring& line) { appendPart(line); });
        if (!dialog->create()) {
            services_.prompter.runtimeError(
                win::RuntimeError::system(L"Opening the Add Part dialog", L"", GetLastError()));
            return;
        }
        dlgAdd_ = std::move(dialog);
    }
    dlgAdd_->show(hwnd());
}

void FrmMain::appendPart(const std::wstring& line) {
    const auto at =
        SendMessageW(item(List1), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    if (at == LB_ERR || at == LB_ERRSPACE) {
        services_.prompter.runtimeError(
            win::RuntimeError::other(L"Adding a part", L"The part list has no room left."));
        return;
    }
    parts_.push_back(line);
}

void FrmMain::remove() {
    const HWND list = item(List1);
    const auto selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR) {
        services_.prompter.message(L"Nothing selected!", win::MessageIcon::None);
        return;
    }
    SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(selected), 0);
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    parts_.erase(parts_.begin() + selected);
}

void FrmMain::refuseStart(const ScriptRefusal& refusal) {
    if (std::holds_alternative<TooManyParts>(refusal)) {
        services_.prompter.runtimeError(win::RuntimeError::other(
            L"Start!", L"Overflow: the part list holds more than 32767 parts."));
        return;
    }
    std::size_t number = 0;
    std::wstring text;
    if (const auto* r = std::get_if<UnpassableTime>(&refusal)) {
        number = r->partNumber;
        text = L"cannot be passed to the encoder: \"" + r->time +
               L"\".\n\nA time may hold only letters, digits and the characters . : + -";
    } else if (const auto* r = std::get_if<EndNotAfterStart>(&refusal)) {
        number = r->partNumber;
        text = L"does not end after it starts: from " + r->start + L" to " + r->end +
               L".\n\nThe encoder would cut another range. Remove the part and add it with an "
               L"end after its start.";
    } else if (const auto* r = std::get_if<CommandTooLong>(&refusal)) {
        number = r->partNumber;
        text = L"cannot be passed to the encoder: its command would be longer than the " +
               std::to_wstring(kMaxCommandLine) +
               L" characters the command prompt reads.\n\nShorten its times or the path of the "
               L"input file.";
    } else if (const auto* r = std::get_if<PartLineTooLong>(&refusal)) {
        number = r->partNumber;
    }
    // The part the message names is the one selected, so that Remove takes that one.
    SendMessageW(item(List1), LB_SETCURSEL, number - 1, 0);
    if (text.empty()) {
        services_.prompter.runtimeError(win::RuntimeError::other(
            L"Start!",
            L"Overflow: part " + std::to_wstring(number) + L" is longer than 32767 characters."));
        return;
    }
    services_.prompter.message(L"Part " + std::to_wstring(number) + L" " + text,
                               win::MessageIcon::None);
}

void FrmMain::startSplit() {
    const std::wstring inputPath = win::windowText(item(lb_path));
    if (inputPath == kNoFileCaption) {
        services_.prompter.message(L"You did not select a file!", win::MessageIcon::None);
        return;
    }
    const ScriptPlace place = scriptPlace(services_.programFolder, inputPath);
    ScriptInput input;
    for (auto [from, to] :
         {std::pair{&place.drive, &input.drive}, std::pair{&place.hostRoot, &input.hostRoot},
          std::pair{&inputPath, &input.inputPath},
          std::pair{&place.outputFolder, &input.outputFolder}}) {
        auto bytes = win::scriptPath(*from);
        if (!bytes) {
            services_.prompter.message(win::unreadablePathMessage(*from), win::MessageIcon::None);
            return;
        }
        *to = std::move(*bytes);
    }
    input.partLines = parts_;
    if (const auto refusal = checkScript(input)) {
        refuseStart(*refusal);
        return;
    }
    if (movieLength_) {
        if (const auto late = firstLateStart(parts_, *movieLength_)) {
            SendMessageW(item(List1), LB_SETCURSEL, late->partNumber - 1, 0);
            services_.prompter.message(lateStartMessage(*late, *movieLength_),
                                       win::MessageIcon::None);
            return;
        }
    }
    // The walk through the list ends on its last entry.
    if (!parts_.empty()) SendMessageW(item(List1), LB_SETCURSEL, parts_.size() - 1, 0);

    win::JobScriptFile script;
    DWORD error = script.create(place.scriptPath);
    if (error == 0) {
        composeSplitScript(input, [&script](std::string_view line) { script.write(line); });
        error = script.close();
    }
    if (error != 0) {
        services_.prompter.runtimeError(
            win::RuntimeError::system(L"Writing the job script", place.scriptPath, error));
        return;
    }
    if (const DWORD started = services_.starter.startScript(place.scriptPath, SW_SHOWMINIMIZED)) {
        services_.prompter.runtimeError(
            win::RuntimeError::system(L"Starting the job script", place.scriptPath, started));
        return;
    }
}

LRESULT FrmMain::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) break;
            switch (LOWORD(wParam)) {
                case Command1:
                    browse();
                    return 0;
                case Command2:
                    addPart();
                    return 0;
                case Command3:
                    remove();
                    return 0;
                case Command4:
                    startSplit();
                    return 0;
            }
            break;
        case WM_DROPFILES:
            drop(reinterpret_cast<HDROP>(wParam));
            return 0;
        case WM_DESTROY:
            // Closing the main window ends the program: the Add Part dialog goes with it.
            dlgAdd_.reset();
            services_.endProgram();
            return 0;
    }
    return Form::onMessage(message, wParam, lParam);
}

}  // namespace clipcutter
