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
#include "win32/tests/e2e_host.h"

namespace {

namespace fs = std::filesystem;
using clipcutter::DlgAdd;
using clipcutter::FrmMain;
using e2e::Args;
using e2e::builtProgram;
using e2e::Process;
using e2e::recordedCalls;
using e2e::TempFolder;
using e2e::utf8;

// One OK of the Add Part dialog and the encoder's time arguments it must lead to.
struct Part {
    std::wstring from;  // "hh:mm:ss", typed into the hours, minutes and seconds fields
    std::wstring to;
    bool fromStart;
    bool untilEnd;
    Args timeArgs;
};

TEST(ClipcutterE2e, RefusesAPartAfterTheMovieThenSplitsItIntoTheTypedParts) {
#ifndef TEST_MOVIES
    GTEST_SKIP() << "no test movies: the build found no Linux encoder to make them";
#else
    // Starting after the 20-second movie: refused.
    const Part late = {L"00:00:25", L"00:00:30", false, false, {}};
    // Beside -ss the encoder reads -endpos as a length, so a closed part passes end - start. An
    // end past the movie's end is the encoder's to stop at.
    const Part parts[] = {
        {L"00:00:05", L"00:00:15", false, false, {"-ss", "00:00:05", "-endpos", "00:00:10"}},
        {L"00:00:12", L"00:00:00", false, true, {"-ss", "00:00:12"}},
        {L"00:00:00", L"01:02:03", true, false, {"-endpos", "01:02:03"}},
    };

    const TempFolder temp;
    // The command interpreter expands %windir% in what it is asked to run, quoted or not.
    const fs::path host = temp.path() / L"host %windir%";
    const fs::path inputFolder = temp.path() / L"m\u00e9dia 100% & more";
    const fs::path input = inputFolder / L"my clip.avi";
    std::error_code error;
    for (const auto& folder : {host / L"plugins", host / L"bin", host / L"tmp", inputFolder})
        ASSERT_TRUE(fs::create_directories(folder, error)) << folder << ": " << error.message();
    ASSERT_TRUE(fs::copy_file(builtProgram(TEST_MOVIES) / L"movie20.avi", input, error));
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

    EXPECT_EQ(e2e::textOf(item(FrmMain::lb_length)), L"Movie length: 00:00:20");

    const HWND list = item(FrmMain::List1);
    const auto addPart = [&](const Part& part) {
        const LRESULT count = e2e::ask(list, LB_GETCOUNT);
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
            return e2e::ask(list, LB_GETCOUNT) == count + 1 && !IsWindowVisible(dialog);
        })) << "OK did not add one part and close the dialog";
    };

    ASSERT_NO_FATAL_FAILURE(addPart(late));
    e2e::press(item(FrmMain::Command4));
    // A message box shows once its text and buttons are there.
    const HWND box = e2e::waitForWindow(app.id(), L"clipcutter");
    ASSERT_TRUE(box) << "no message";
    EXPECT_NE(e2e::visibleTexts(box).find(
                  L"Part 1 starts at 00:00:25, but the movie is only 00:00:20 long."),
              std::wstring::npos)
        << utf8(e2e::visibleTexts(box));
    e2e::press(GetDlgItem(box, IDOK));
    ASSERT_TRUE(e2e::waitUntil([&] { return !IsWindow(box); }));
    EXPECT_FALSE(fs::exists(host / L"tmp" / L"split.bat"));
    e2e::ask(list, LB_SETCURSEL, 0);
    e2e::ask(item(FrmMain::Command3), BM_CLICK);

    for (std::size_t i = 0; i < std::size(parts); ++i) {
        SCOPED_TRACE("part " + std::to_string(i + 1));
        ASSERT_NO_FATAL_FAILURE(addPart(parts[i]));
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
#endif
}

}  // namespace
