// The real clipcutter.exe in a throw-away host folder, driven through its windows: the encoder
// the job script calls is one that records its arguments, so the test sees exactly what the
// command interpreter passed on.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "frm_main.h"
#include "win32/handles.h"
#include "window_driver.h"

namespace {

namespace fs = std::filesystem;
using clipcutter::DlgAdd;
using clipcutter::FrmMain;
using Args = std::vector<std::string>;

std::string utf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

// A program the build wrote, named by its build-machine path. Under Wine that path is a Unix one,
// which Wine's own converter turns into the drive path it is reachable by.
fs::path builtProgram(const char* buildPath) {
    using ToDos = WCHAR* CDECL(const char*);
    const auto toDos = reinterpret_cast<ToDos*>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (buildPath[0] == '/' && toDos) {
        WCHAR* dos = toDos(buildPath);
        fs::path path = dos ? dos : L"";
        HeapFree(GetProcessHeap(), 0, dos);
        return path;
    }
    return fs::path(buildPath).make_preferred();
}

// A unique folder under the temp folder, removed with everything in it at the end. Removal is
// retried for a while: the job script's last encoder may still be exiting.
class TempFolder {
  public:
    TempFolder() {
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, temp);
        path_ = fs::path(temp) / (L"clipcutter-e2e-" + std::to_wstring(GetCurrentProcessId()) +
                                  L"-" + std::to_wstring(GetTickCount64()));
    }
    ~TempFolder() {
        e2e::waitUntil(
            [&] {
                std::error_code error;
                fs::remove_all(path_, error);
                return !fs::exists(path_, error);
            },
            std::chrono::milliseconds(5000));
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

// A started program, ended by force at the end if it has not ended by itself.
class Process {
  public:
    explicit Process(const fs::path& exe) {
        std::wstring commandLine = L"\"" + exe.native() + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            exe.parent_path().c_str(), &startup, &info))
            return;
        process_.reset(info.hProcess);
        const win::KernelHandle thread(info.hThread);  // not needed: closed at once
        id_ = info.dwProcessId;
    }
    ~Process() {
        if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT)
            TerminateProcess(process_.get(), 1);
    }
    bool started() const { return static_cast<bool>(process_); }
    DWORD id() const { return id_; }
    // The exit code, or nothing when the process is still running after the timeout.
    std::optional<DWORD> waitForExit(DWORD timeoutMs) const {
        if (WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
        DWORD code = 0;
        GetExitCodeProcess(process_.get(), &code);
        return code;
    }

  private:
    win::KernelHandle process_;
    DWORD id_ = 0;
};

bool writeFile(const fs::path& path, std::string_view bytes) {
    const win::FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file &&
           WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

// The records of the recording encoder's calls.log: the arguments of each call. A file that is
// missing or taken by a writer reads as no records yet.
std::vector<Args> recordedCalls(const fs::path& log) {
    const win::FileHandle file(CreateFileW(log.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);

    std::vector<Args> calls;
    Args current;
    bool inCall = false;
    std::size_t at = 0;
    for (std::size_t eol; (eol = bytes.find('\n', at)) != std::string::npos; at = eol + 1) {
        const std::string line = bytes.substr(at, eol - at);
        if (!inCall && line == "call") {
            inCall = true;
        } else if (inCall && line == "end") {
            calls.push_back(std::move(current));
            current.clear();
            inCall = false;
        } else if (inCall) {
            current.push_back(line);
        }
    }
    return calls;
}

// One OK of the Add Part dialog and the encoder's time arguments it must lead to.
struct Part {
    std::wstring from;  // "hh:mm:ss", typed into the hours, minutes and seconds fields
    std::wstring to;
    bool fromStart;
    bool untilEnd;
    Args timeArgs;
};

TEST(ClipcutterE2e, SplitsAnAwkwardlyNamedFileIntoTheTypedParts) {
    // Beside -ss the encoder reads -endpos as a length, so a closed part passes end - start.
    const Part parts[] = {
        {L"00:00:05", L"00:00:15", false, false, {"-ss", "00:00:05", "-endpos", "00:00:10"}},
        {L"00:01:30", L"00:00:00", false, true, {"-ss", "00:01:30"}},
        {L"00:00:00", L"01:02:03", true, false, {"-endpos", "01:02:03"}},
    };

    const TempFolder temp;
    const fs::path host = temp.path() / L"host";
    const fs::path inputFolder = temp.path() / L"m\u00e9dia 100% & more";
    const fs::path input = inputFolder / L"my clip.avi";
    std::error_code error;
    for (const auto& folder : {host / L"plugins", host / L"bin", host / L"tmp", inputFolder})
        ASSERT_TRUE(fs::create_directories(folder, error)) << folder << ": " << error.message();
    ASSERT_TRUE(writeFile(input, "RIFF"));
    const fs::path clipcutter = host / L"plugins" / L"clipcutter.exe";
    ASSERT_TRUE(fs::copy_file(builtProgram(CLIPCUTTER_EXE), clipcutter, error)) << error.message();
    ASSERT_TRUE(
        fs::copy_file(builtProgram(RECORDING_ENCODER_EXE), host / L"bin" / L"mencoder.exe", error))
        << error.message();

    const Process app(clipcutter);
    ASSERT_TRUE(app.started()) << "error " << GetLastError();
    const HWND main = e2e::waitForWindow(app.id(), L"Movarix Plugin ID:4401 - AVI Splitter");
    ASSERT_TRUE(main) << "the main window did not show";
    const auto item = [&](int id) { return GetDlgItem(main, id); };
    // What the program shows instead when a step does not happen.
    const auto openMessage = [&] {
        const HWND box = e2e::topLevelWindow(app.id(), L"clipcutter");
        return box ? utf8(L"\nclipcutter says: " + e2e::visibleTexts(box)) : std::string();
    };

    // Browse: the file-open dialog is modal, so the click is posted and the dialog looked for.
    e2e::press(item(FrmMain::Command1));
    const HWND open = e2e::waitForWindow(app.id(), L"Select input file");
    ASSERT_TRUE(open) << "no file-open dialog" << openMessage();
    HWND fileName = nullptr;
    ASSERT_TRUE(e2e::waitUntil([&] { return (fileName = e2e::visibleDescendant(open, L"Edit")); }))
        << "the file-open dialog has no file name box";
    ASSERT_TRUE(e2e::setText(fileName, input.native()));
    e2e::press(GetDlgItem(open, IDOK));
    const HWND path = item(FrmMain::lb_path);
    EXPECT_TRUE(e2e::waitUntil([&] { return e2e::textOf(path) == input.native(); }))
        << utf8(e2e::textOf(path)) << openMessage();
    ASSERT_TRUE(e2e::waitUntil([&] { return !IsWindow(open); })) << "the file-open dialog stayed";

    const HWND list = item(FrmMain::List1);
    for (std::size_t i = 0; i < std::size(parts); ++i) {
        SCOPED_TRACE("part " + std::to_string(i + 1));
        const Part& part = parts[i];
        e2e::press(item(FrmMain::Command2));
        const HWND dialog = e2e::waitForWindow(app.id(), L"Add Part");
        ASSERT_TRUE(dialog) << "no Add Part dialog" << openMessage();
        const int fields[] = {DlgAdd::txt_hr,     DlgAdd::txt_min,     DlgAdd::txt_sec,
                              DlgAdd::txt_hr_end, DlgAdd::txt_min_end, DlgAdd::txt_sec_end};
        for (int f = 0; f < 6; ++f) {
            const std::wstring& time = f < 3 ? part.from : part.to;
            ASSERT_TRUE(e2e::setText(GetDlgItem(dialog, fields[f]), time.substr(f % 3 * 3, 2)));
        }
        ASSERT_TRUE(e2e::setChecked(GetDlgItem(dialog, DlgAdd::chk_start), part.fromStart));
        ASSERT_TRUE(e2e::setChecked(GetDlgItem(dialog, DlgAdd::chk_end), part.untilEnd));
        e2e::press(GetDlgItem(dialog, DlgAdd::OKButton));
        ASSERT_TRUE(e2e::waitUntil([&] {
            return e2e::ask(list, LB_GETCOUNT) == static_cast<LRESULT>(i + 1) &&
                   !IsWindowVisible(dialog);
        })) << "OK did not add one part and close the dialog";
    }

    e2e::press(item(FrmMain::Command4));
    const fs::path log = host / L"bin" / L"calls.log";
    EXPECT_TRUE(e2e::waitUntil([&] { return recordedCalls(log).size() >= std::size(parts); }))
        << "the encoder ran " << recordedCalls(log).size() << " times" << openMessage();

    std::vector<Args> expected;
    for (std::size_t i = 0; i < std::size(parts); ++i) {
        Args args = {utf8(input.native()), "-ovc", "copy", "-oac", "copy"};
        args.insert(args.end(), parts[i].timeArgs.begin(), parts[i].timeArgs.end());
        args.push_back("-o");
        args.push_back(
            utf8((inputFolder / (L"part_ " + std::to_wstring(i + 1) + L".avi")).native()));
        expected.push_back(std::move(args));
    }
    EXPECT_EQ(recordedCalls(log), expected);

    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(app.waitForExit(10000), std::optional<DWORD>(0)) << "closing did not end it";
}

}  // namespace
