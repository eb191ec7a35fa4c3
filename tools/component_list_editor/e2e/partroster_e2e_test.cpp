// The real partroster.exe beside a real list file, driven through its buttons; the file on disk is
// read back after each change.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "main_window.h"
#include "win32/tests/e2e_host.h"
#include "win32/tests/ui_testing.h"

namespace {

namespace fs = std::filesystem;
using partroster::Main;
using win::testing::fileBytes;

constexpr std::wstring_view kCaption = L"Movarix v4 Component List Editor";

// A folder of its own holding a copy of the program; removed at the end.
struct ProgramFolder {
    ProgramFolder() {
        fs::create_directories(temp.path());
        fs::copy_file(e2e::builtProgram(PARTROSTER_EXE), exe);
    }
    const e2e::TempFolder temp;
    const fs::path exe = temp.path() / L"partroster.exe";
    const fs::path list = temp.path() / L"Comp_lst.dll";
};

TEST(PartrosterE2e, TwoEditorsOfTheListBesideThemNeverWriteOverEachOther) {
    const ProgramFolder folder;
    ASSERT_TRUE(e2e::writeFile(folder.list, "a\r\nb\r\n"));
    const e2e::Process first(folder.exe), second(folder.exe);
    const HWND one = e2e::waitForWindow(first.id(), kCaption);
    const HWND two = e2e::waitForWindow(second.id(), kCaption);
    ASSERT_TRUE(one && two) << "the windows did not show";
    const auto add = [](HWND main, const wchar_t* description) {
        const wchar_t* boxes[] = {L"1", L"2", description, L"p"};
        for (int i = 0; i < 4; ++i) e2e::setText(GetDlgItem(main, Main::Text1 + i), boxes[i]);
        e2e::press(GetDlgItem(main, Main::Command2));
    };
    const auto fileBecomes = [&](const std::string& expected) {
        return e2e::waitUntil([&] { return fileBytes(folder.list) == expected; });
    };

    // Both read "a" and "b"; the first saves its entry, then the second tries to save its own.
    add(one, L"first");
    ASSERT_TRUE(fileBecomes("a\r\nb\r\n1|2|first|p\r\n"));
    add(two, L"second");
    const HWND told = e2e::waitForWindow(second.id(), L"partroster");
    ASSERT_TRUE(told) << "the second editor did not say why it saved nothing";
    EXPECT_NE(e2e::visibleTexts(told).find(L"changed by another program"), std::wstring::npos);
    EXPECT_EQ(fileBytes(folder.list), "a\r\nb\r\n1|2|first|p\r\n");
    e2e::press(GetDlgItem(told, IDOK));
    EXPECT_TRUE(
        e2e::waitUntil([&] { return e2e::ask(GetDlgItem(two, Main::List1), LB_GETCOUNT) == 3; }));

    // Now it knows the first one's entry, and its + adds to it: the boxes kept the entry.
    e2e::press(GetDlgItem(two, Main::Command2));
    const std::string both = "a\r\nb\r\n1|2|first|p\r\n1|2|second|p\r\n";
    EXPECT_TRUE(fileBecomes(both)) << fileBytes(folder.list);
    for (HWND main : {one, two}) PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.waitForExit(10000), std::optional<DWORD>(0)) << "closing did not end it";
    EXPECT_EQ(second.waitForExit(10000), std::optional<DWORD>(0)) << "closing did not end it";
}

TEST(PartrosterE2e, WithoutItsListItReportsWhyAndEnds) {
    const ProgramFolder folder;
    const e2e::Process app(folder.exe);
    const HWND report = e2e::waitForWindow(app.id(), L"partroster");
    ASSERT_TRUE(report) << "no error report";
    const std::wstring text = e2e::visibleTexts(report);
    EXPECT_NE(text.find(folder.list.native()), std::wstring::npos);
    EXPECT_NE(text.find(L"Error 2:"), std::wstring::npos);
    const HWND main = e2e::topLevelWindow(app.id(), kCaption);
    EXPECT_FALSE(main && IsWindowVisible(main));
    e2e::press(GetDlgItem(report, IDOK));
    EXPECT_EQ(app.waitForExit(10000), std::optional<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(fs::exists(folder.list));
}

}  // namespace
