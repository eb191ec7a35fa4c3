// The real clipjoiner.exe started by a host with a folder, the host root in the registry, driven
// through its buttons: Wine's cmd runs merge.bat, and the encoder the script calls records the
// arguments it receives.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "frm_main.h"
#include "merge_script.h"
#include "win32/settings_store.h"
#include "win32/tests/e2e_host.h"

namespace {

namespace fs = std::filesystem;
using clipjoiner::FrmMain;

class ClipjoinerE2e : public testing::Test {
  protected:
    // A host with the merger and the recording encoder, and a folder of these movies (test movie
    // names to the names they are listed by).
    void start(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> movies) {
#ifndef TEST_MOVIES
        GTEST_SKIP() << "no test movies: the build found no Linux encoder to make them";
#else
        std::error_code error;
        for (const auto& folder : {host() / L"plugins", host() / L"bin", host() / L"tmp", videos()})
            ASSERT_TRUE(fs::create_directories(folder, error)) << folder << ": " << error.message();
        for (const auto& [movie, name] : movies)
            ASSERT_TRUE(
                fs::copy_file(e2e::builtProgram(TEST_MOVIES) / movie, videos() / name, error));
        ASSERT_TRUE(e2e::writeFile(videos() / L"notes.txt", "not listed"));
        const fs::path clipjoiner = host() / L"plugins" / L"clipjoiner.exe";
        ASSERT_TRUE(fs::copy_file(e2e::builtProgram(CLIPJOINER_EXE), clipjoiner, error));
        ASSERT_TRUE(fs::copy_file(e2e::builtProgram(RECORDING_ENCODER_EXE),
                                  host() / L"bin" / L"mencoder.exe", error));
        ASSERT_EQ(win::writeSetting(clipjoiner::kSettingsApplication, clipjoiner::kSettingsSection,
                                    clipjoiner::kSettingsKey, host().native()),
                  0u);
        app_ = std::make_unique<e2e::Process>(clipjoiner, L"\"" + videos().native() + L"\"");
        ASSERT_TRUE(app_->started()) << "error " << GetLastError();
        main_ = e2e::waitForWindow(app_->id(), L"AVI Merger");
        ASSERT_TRUE(main_) << "the window did not show";
        ASSERT_EQ(e2e::ask(item(FrmMain::List1), LB_GETCOUNT), static_cast<LRESULT>(movies.size()));
#endif
    }

    fs::path host() const {
        return temp_.path() / L"host";
    }
    fs::path videos() const {
        return temp_.path() / L"m\u00e9dia 100% & more";
    }
    fs::path log() const {
        return host() / L"bin" / L"calls.log";
    }
    HWND item(int id) const {
        return GetDlgItem(main_, id);
    }
    std::string listed(const wchar_t* name) const {
        return e2e::utf8((videos() / name).native());
    }

    // The method picked from the list, a name with spaces typed, Merge pressed.
    void merge() {
        e2e::ask(item(FrmMain::Combo1), CB_SETCURSEL, 0);
        ASSERT_TRUE(e2e::setText(item(FrmMain::Text1), L" my clip "));
        e2e::press(item(FrmMain::Command3));
    }

    e2e::TempFolder temp_;
    std::unique_ptr<e2e::Process> app_;
    HWND main_ = nullptr;
};

TEST_F(ClipjoinerE2e, JoinsTheListedFilesInListOrderAndEnds) {
    start({{L"a.avi", L"a.avi"}, {L"b.avi", L"b.avi"}});
    if (IsSkipped()) return;
    // b.avi above a.avi.
    e2e::ask(item(FrmMain::List1), LB_SETCURSEL, 1);
    e2e::ask(item(FrmMain::Command1), BM_CLICK);
    merge();
    EXPECT_TRUE(e2e::waitUntil([&] { return !e2e::recordedCalls(log()).empty(); }))
        << "the encoder did not run";
    EXPECT_EQ(e2e::recordedCalls(log()),
              (std::vector<e2e::Args>{{"-o", listed(L" my clip .avi"), "-ovc", "copy", "-oac",
                                       "copy", listed(L"b.avi"), listed(L"a.avi")}}));
    EXPECT_EQ(app_->waitForExit(10000), std::optional<DWORD>(0)) << "the merger did not end";
}

TEST_F(ClipjoinerE2e, AsksBeforeJoiningFilesThatDifferWithNoAsTheDefault) {
    start({{L"a.avi", L"a.avi"}, {L"size.avi", L"b.avi"}});
    if (IsSkipped()) return;
    const auto question = [&] {
        HWND box = nullptr;
        e2e::waitUntil([&] { return (box = e2e::topLevelWindow(app_->id(), L"clipjoiner")); });
        return box;
    };
    merge();
    HWND box = question();
    ASSERT_TRUE(box) << "no question";
    EXPECT_NE(
        e2e::visibleTexts(box).find(L"b.avi differs from a.avi: frame size 320x240, not 160x120."),
        std::wstring::npos)
        << e2e::utf8(e2e::visibleTexts(box));
    const auto isDefault = [&](int button) {
        return (GetWindowLongW(GetDlgItem(box, button), GWL_STYLE) & BS_TYPEMASK) ==
               BS_DEFPUSHBUTTON;
    };
    EXPECT_TRUE(isDefault(IDNO));
    EXPECT_FALSE(isDefault(IDYES));
    e2e::press(GetDlgItem(box, IDNO));
    ASSERT_TRUE(e2e::waitUntil([&] { return !IsWindow(box); }));
    EXPECT_FALSE(fs::exists(host() / L"tmp" / L"merge.bat"));
    EXPECT_TRUE(IsWindow(main_));

    e2e::press(item(FrmMain::Command3));
    box = question();
    ASSERT_TRUE(box) << "no question the second time";
    e2e::press(GetDlgItem(box, IDYES));
    EXPECT_TRUE(e2e::waitUntil([&] { return !e2e::recordedCalls(log()).empty(); }))
        << "the encoder did not run";
    EXPECT_EQ(e2e::recordedCalls(log()),
              (std::vector<e2e::Args>{{"-o", listed(L" my clip .avi"), "-ovc", "copy", "-oac",
                                       "copy", listed(L"a.avi"), listed(L"b.avi")}}));
    EXPECT_EQ(app_->waitForExit(10000), std::optional<DWORD>(0)) << "the merger did not end";
}

}  // namespace
