// The real clipjoiner.exe started by a host with a folder, the host root in the registry, driven
// through its buttons: Wine's cmd runs merge.bat, and the encoder the script calls records the
// arguments it receives.
#include <windows.h>

#include <gtest/gtest.h>

#include "frm_main.h"
#include "merge_script.h"
#include "win32/settings_store.h"
#include "win32/tests/e2e_host.h"
#include "win32/tests/saved_setting.h"

namespace {

namespace fs = std::filesystem;
using clipjoiner::FrmMain;

TEST(ClipjoinerE2e, AsksBeforeJoiningFilesThatDifferThenJoinsThemInListOrder) {
#ifndef TEST_MOVIES
    GTEST_SKIP() << "no test movies: the build found no Linux encoder to make them";
#else
    const e2e::Host host(CLIPJOINER_EXE, RECORDING_ENCODER_EXE);
    const fs::path movies = e2e::builtProgram(TEST_MOVIES), videos = host.media;
    ASSERT_TRUE(host.made && fs::copy_file(movies / L"a.avi", videos / L"a.avi") &&
                fs::copy_file(movies / L"size.avi", videos / L"b.avi"));
    // The merger reads the host root from the user's settings; the test puts it back.
    const win::testing::SavedSetting savedHostRoot(L"Software\\movarix\\plugins", L"tmp");
    ASSERT_EQ(win::writeSetting(clipjoiner::kSettingsApplication, clipjoiner::kSettingsSection,
                                clipjoiner::kSettingsKey, host.root.native()),
              0u);

    const e2e::Process app(host.program, L"\"" + videos.native() + L"\"");
    const HWND main = e2e::waitForWindow(app.id(), L"AVI Merger");
    ASSERT_TRUE(main) << "the window did not show";
    const auto item = [&](int id) { return GetDlgItem(main, id); };
    ASSERT_EQ(e2e::ask(item(FrmMain::List1), LB_GETCOUNT), 2);

    // The method picked from the list, a name with spaces typed.
    e2e::ask(item(FrmMain::Combo1), CB_SETCURSEL, 0);
    ASSERT_TRUE(e2e::setText(item(FrmMain::Text1), L" my clip "));

    // The two differ: the question, with No as its default, answered No and then Yes.
    const auto isDefault = [](HWND box, int button) {
        return (GetWindowLongW(GetDlgItem(box, button), GWL_STYLE) & BS_TYPEMASK) ==
               BS_DEFPUSHBUTTON;
    };
    for (int answer : {IDNO, IDYES}) {
        e2e::press(item(FrmMain::Command3));
        const HWND box = e2e::waitForWindow(app.id(), L"clipjoiner");
        ASSERT_TRUE(box) << "no question";
        EXPECT_NE(e2e::visibleTexts(box).find(
                      L"b.avi differs from a.avi: frame size 320x240, not 160x120."),
                  std::wstring::npos)
            << e2e::utf8(e2e::visibleTexts(box));
        EXPECT_TRUE(isDefault(box, IDNO) && !isDefault(box, IDYES));
        e2e::press(GetDlgItem(box, answer));
        if (answer == IDYES) break;
        ASSERT_TRUE(e2e::waitUntil([&] { return !IsWindow(box); }));
        EXPECT_FALSE(fs::exists(host.root / L"tmp" / L"merge.bat"));
        EXPECT_TRUE(IsWindow(main));
    }
    EXPECT_TRUE(e2e::waitUntil([&] { return !e2e::recordedCalls(host.log).empty(); }))
        << "the encoder did not run";
    const auto path = [](const fs::path& p) { return e2e::utf8(p.native()); };
    EXPECT_EQ(
        e2e::recordedCalls(host.log),
        (std::vector<e2e::Args>{{"-o", path(videos / L" my clip .avi"), "-ovc", "copy", "-oac",
                                 "copy", path(videos / L"a.avi"), path(videos / L"b.avi")}}));
    EXPECT_EQ(app.waitForExit(10000), std::optional<DWORD>(0)) << "the merger did not end";
#endif
}

}  // namespace
