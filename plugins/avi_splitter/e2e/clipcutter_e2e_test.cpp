// The real clipcutter.exe in a throw-away host folder, driven through its windows: the encoder
// the job script calls is one that records its arguments, so the test sees exactly what the
// command interpreter passed on.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
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
using e2e::recordedCalls;
using e2e::utf8;

// One OK of the Add Part dialog and the encoder's time arguments it must lead to.
struct Part {
    std::wstring from;  // "hh:mm:ss", typed into the hours, minutes and seconds fields
    std::wstring to;
    bool fromStart;
    bool untilEnd;
    Args timeArgs;
};

class ClipcutterE2e : public testing::Test {
  protected:
    void SetUp() override {
        std::error_code error;
        for (const auto& folder :
             {host() / L"plugins", host() / L"bin", host() / L"tmp", inputFolder()})
            ASSERT_TRUE(fs::create_directories(folder, error)) << folder << ": " << error.message();
        const fs::path clipcutter = host() / L"plugins" / L"clipcutter.exe";
        ASSERT_TRUE(fs::copy_file(e2e::builtProgram(CLIPCUTTER_EXE), clipcutter, error))
            << error.message();
        ASSERT_TRUE(fs::copy_file(e2e::builtProgram(RECORDING_ENCODER_EXE),
                                  host() / L"bin" / L"mencoder.exe", error))
            << error.message();
        app_ = std::make_unique<e2e::Process>(clipcutter);
        ASSERT_TRUE(app_->started()) << "error " << GetLastError();
        main_ = e2e::waitForWindow(app_->id(), L"Movarix Plugin ID:4401 - AVI Splitter");
        ASSERT_TRUE(main_) << "the main window did not show";
    }
    void TearDown() override {
        if (main_) PostMessageW(main_, WM_CLOSE, 0, 0);
        if (app_) {
            EXPECT_EQ(app_->waitForExit(10000), std::optional<DWORD>(0))
                << "closing did not end it";
        }
        app_.reset();
    }

    fs::path host() const { return temp_.path() / L"host"; }
    fs::path inputFolder() const { return temp_.path() / L"m\u00e9dia 100% & more"; }
    fs::path log() const { return host() / L"bin" / L"calls.log"; }
    HWND item(int id) const { return GetDlgItem(main_, id); }
    // What the program shows instead when a step does not happen.
    std::string openMessage() const {
        const HWND box = e2e::topLevelWindow(app_->id(), L"clipcutter");
        return box ? utf8(L"\nclipcutter says: " + e2e::visibleTexts(box)) : std::string();
    }

    // Browse: the file-open dialog is modal, so the click is posted and the dialog looked for.
    void browse(const fs::path& input) {
        e2e::press(item(FrmMain::Command1));
        const HWND open = e2e::waitForWindow(app_->id(), L"Select input file");
        ASSERT_TRUE(open) << "no file-open dialog" << openMessage();
        HWND fileName = nullptr;
        ASSERT_TRUE(e2e::waitUntil([&] {
            return (fileName = e2e::visibleDescendant(open, L"Edit"));
        })) << "the file-open dialog has no file name box";
        ASSERT_TRUE(e2e::setText(fileName, input.native()));
        e2e::press(GetDlgItem(open, IDOK));
        const HWND path = item(FrmMain::lb_path);
        EXPECT_TRUE(e2e::waitUntil([&] { return e2e::textOf(path) == input.native(); }))
            << utf8(e2e::textOf(path)) << openMessage();
        ASSERT_TRUE(e2e::waitUntil([&] { return !IsWindow(open); }))
            << "the file-open dialog stayed";
    }

    void addPart(const Part& part) {
        const HWND list = item(FrmMain::List1);
        const LRESULT count = e2e::ask(list, LB_GETCOUNT);
        e2e::press(item(FrmMain::Command2));
        const HWND dialog = e2e::waitForWindow(app_->id(), L"Add Part");
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
    }

    // The encoder's arguments for the parts, numbered from 1, cut from this input.
    std::vector<Args> expectedCalls(const fs::path& input,
                                    std::initializer_list<Part> parts) const {
        std::vector<Args> calls;
        for (const Part& part : parts) {
            Args args = {utf8(input.native()), "-ovc", "copy", "-oac", "copy"};
            args.insert(args.end(), part.timeArgs.begin(), part.timeArgs.end());
            args.push_back("-o");
            args.push_back(
                utf8((inputFolder() / (L"part_ " + std::to_wstring(calls.size() + 1) + L".avi"))
                         .native()));
            calls.push_back(std::move(args));
        }
        return calls;
    }

    e2e::TempFolder temp_;
    std::unique_ptr<e2e::Process> app_;
    HWND main_ = nullptr;
};

TEST_F(ClipcutterE2e, SplitsAnAwkwardlyNamedFileIntoTheTypedParts) {
    // Beside -ss the encoder reads -endpos as a length, so a closed part passes end - start.
    const Part a = {
        L"00:00:05", L"00:00:15", false, false, {"-ss", "00:00:05", "-endpos", "00:00:10"}};
    const Part b = {L"00:01:30", L"00:00:00", false, true, {"-ss", "00:01:30"}};
    const Part c = {L"00:00:00", L"01:02:03", true, false, {"-endpos", "01:02:03"}};
    // Not a movie the platform can read: its length is unknown and no part is checked against it.
    const fs::path input = inputFolder() / L"my clip.avi";
    ASSERT_TRUE(e2e::writeFile(input, "RIFF"));
    browse(input);
    for (const Part& part : {a, b, c}) addPart(part);

    e2e::press(item(FrmMain::Command4));
    EXPECT_TRUE(e2e::waitUntil([&] { return recordedCalls(log()).size() >= 3; }))
        << "the encoder ran " << recordedCalls(log()).size() << " times" << openMessage();
    EXPECT_EQ(recordedCalls(log()), expectedCalls(input, {a, b, c}));
}

TEST_F(ClipcutterE2e, RefusesAPartThatStartsAfterTheMovieEnds) {
#ifndef TEST_MOVIES
    GTEST_SKIP() << "no test movies: the build found no Linux encoder to make them";
#else
    const fs::path input = inputFolder() / L"twenty seconds.avi";
    std::error_code error;
    ASSERT_TRUE(fs::copy_file(e2e::builtProgram(TEST_MOVIES) / L"movie20.avi", input, error));
    browse(input);
    EXPECT_EQ(e2e::textOf(item(FrmMain::lb_length)), L"Movie length: 00:00:20");

    addPart({L"00:00:25", L"00:00:30", false, false, {}});
    e2e::press(item(FrmMain::Command4));
    HWND box = nullptr;
    ASSERT_TRUE(e2e::waitUntil([&] {
        return (box = e2e::topLevelWindow(app_->id(), L"clipcutter"));
    })) << "no message";
    EXPECT_NE(e2e::visibleTexts(box).find(
                  L"Part 1 starts at 00:00:25, but the movie is only 00:00:20 long."),
              std::wstring::npos)
        << utf8(e2e::visibleTexts(box));
    e2e::press(GetDlgItem(box, IDOK));
    ASSERT_TRUE(e2e::waitUntil([&] { return !IsWindow(box); }));
    EXPECT_FALSE(fs::exists(host() / L"tmp" / L"split.bat"));

    // With the part moved inside the movie, the split runs.
    e2e::ask(item(FrmMain::List1), LB_SETCURSEL, 0);
    e2e::ask(item(FrmMain::Command3), BM_CLICK);
    const Part inside = {
        L"00:00:05", L"00:00:30", false, false, {"-ss", "00:00:05", "-endpos", "00:00:25"}};
    addPart(inside);
    e2e::press(item(FrmMain::Command4));
    EXPECT_TRUE(e2e::waitUntil([&] { return !recordedCalls(log()).empty(); }))
        << "the encoder did not run" << openMessage();
    EXPECT_EQ(recordedCalls(log()), expectedCalls(input, {inside}));
#endif
}

}  // namespace
