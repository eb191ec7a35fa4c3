// The real clipcutter.exe in a throw-away host folder, driven through its windows: the encoder
// the job script calls is one that records its arguments, so the test sees exactly what the
// command interpreter passed on.
#include <windows.h>

#include <gtest/gtest.h>

#include "frm_main.h"
#include "win32/tests/e2e_host.h"

namespace {

namespace fs = std::filesystem;
using clipcutter::DlgAdd;
using clipcutter::FrmMain;
using e2e::utf8;

TEST(ClipcutterE2e, RefusesAPartAfterTheMovieThenSplitsItIntoTheTypedParts) {
#ifndef TEST_MOVIES
    GTEST_SKIP() << "no test movies: the build found no Linux encoder to make them";
#else
    // One OK of the Add Part dialog each, and the encoder's time arguments it must lead to.
    struct Part {
        std::wstring from, to;  // "hh:mm:ss", typed into the hours, minutes and seconds fields
        bool fromStart, untilEnd;
        e2e::Args timeArgs;
    };
    // Starting after the 20-second movie: refused.
    const Part late = {L"00:00:25", L"00:00:30", false, false, {}};
    // Beside -ss the encoder reads -endpos as a length, so a closed part passes end - start. An
    // end past the movie's end is the encoder's to stop at.
    const Part parts[] = {
        {L"00:00:05", L"00:00:15", false, false, {"-ss", "00:00:05", "-endpos", "00:00:10"}},
        {L"00:00:12", L"00:00:00", false, true, {"-ss", "00:00:12"}},
        {L"00:00:00", L"01:02:03", true, false, {"-endpos", "01:02:03"}},
    };
    const e2e::Host host(CLIPCUTTER_EXE, RECORDING_ENCODER_EXE);
    const auto input = host.media / L"my clip.avi";
    ASSERT_TRUE(host.made && fs::copy_file(e2e::builtProgram(TEST_MOVIES) / L"movie20.avi", input));

    const e2e::Process app(host.program);
    const HWND main = e2e::waitForWindow(app.id(), L"Movarix Plugin ID:4401 - AVI Splitter");
    ASSERT_TRUE(main) << "the main window did not show";
    const auto item = [&](int id) { return GetDlgItem(main, id); };
    // The message box the program shows, and its text.
    const auto message = [&] {
        const HWND box = e2e::waitForWindow(app.id(), L"clipcutter");
        return std::pair(box, box ? e2e::visibleTexts(box) : std::wstring());
    };

    // Browse: the file-open dialog is modal, so the click is posted and the dialog looked for.
    e2e::press(item(FrmMain::Command1));
    const HWND open = e2e::waitForWindow(app.id(), L"Select input file");
    HWND fileName = nullptr;
    ASSERT_TRUE(open &&
                e2e::waitUntil([&] { return (fileName = e2e::visibleDescendant(open, L"Edit")); }))
        << "no file-open dialog with a file name box";
    ASSERT_TRUE(e2e::setText(fileName, input.native()));
    e2e::press(GetDlgItem(open, IDOK));
    EXPECT_TRUE(e2e::waitUntil([&] {
        return e2e::textOf(item(FrmMain::lb_path)) == input.native() && !IsWindow(open);
    })) << utf8(e2e::textOf(item(FrmMain::lb_path)));

    const HWND list = item(FrmMain::List1);
    const auto addPart = [&](const Part& part) {
        const LRESULT count = e2e::ask(list, LB_GETCOUNT);
        e2e::press(item(FrmMain::Command2));
        const HWND dialog = e2e::waitForWindow(app.id(), L"Add Part");
        ASSERT_TRUE(dialog) << "no Add Part dialog" << utf8(message().second);
        const int fields[] = {DlgAdd::txt_hr,     DlgAdd::txt_min,     DlgAdd::txt_sec,
                              DlgAdd::txt_hr_end, DlgAdd::txt_min_end, DlgAdd::txt_sec_end};
        for (int f = 0; f < 6; ++f)
            ASSERT_TRUE(e2e::setText(GetDlgItem(dialog, fields[f]),
                                     (f < 3 ? part.from : part.to).substr(f % 3 * 3, 2)));
        ASSERT_TRUE(e2e::setChecked(GetDlgItem(dialog, DlgAdd::chk_start), part.fromStart));
        ASSERT_TRUE(e2e::setChecked(GetDlgItem(dialog, DlgAdd::chk_end), part.untilEnd));
        e2e::press(GetDlgItem(dialog, DlgAdd::OKButton));
        ASSERT_TRUE(e2e::waitUntil([&] {
            return e2e::ask(list, LB_GETCOUNT) == count + 1 && !IsWindowVisible(dialog);
        })) << "OK did not add one part and close the dialog";
    };

    ASSERT_NO_FATAL_FAILURE(addPart(late));
    e2e::press(item(FrmMain::Command4));
    const auto [box, said] = message();
    EXPECT_NE(said.find(L"Part 1 starts at 00:00:25, but the movie is only 00:00:20 long."),
              std::wstring::npos)
        << utf8(said);
    EXPECT_EQ(e2e::ask(list, LB_GETCURSEL), 0);  // so that Remove takes the part refused
    e2e::press(GetDlgItem(box, IDOK));
    ASSERT_TRUE(e2e::waitUntil([&] { return !IsWindow(box); }));
    EXPECT_FALSE(fs::exists(host.root / L"tmp" / L"split.bat"));
    e2e::ask(item(FrmMain::Command3), BM_CLICK);

    std::vector<e2e::Args> expected;
    for (const auto& part : parts) {
        ASSERT_NO_FATAL_FAILURE(addPart(part));
        expected.push_back({utf8(input.native()), "-ovc", "copy", "-oac", "copy"});
        expected.back().insert(expected.back().end(), part.timeArgs.begin(), part.timeArgs.end());
        const auto output = host.media / (L"part_ " + std::to_wstring(expected.size()) + L".avi");
        expected.back().insert(expected.back().end(), {"-o", utf8(output.native())});
    }
    e2e::press(item(FrmMain::Command4));
    EXPECT_TRUE(e2e::waitUntil([&] { return e2e::recordedCalls(host.log).size() >= 3; }))
        << "the encoder ran " << e2e::recordedCalls(host.log).size() << " times"
        << utf8(message().second);
    EXPECT_EQ(e2e::recordedCalls(host.log), expected);

    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(app.waitForExit(10000), std::optional<DWORD>(0)) << "closing did not end it";
#endif
}

}  // namespace
