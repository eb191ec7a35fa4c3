// The real partroster.exe beside a real list file, driven through its buttons; the file on disk
// is read back after each change.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "main_window.h"
#include "win32/handles.h"
#include "win32/tests/e2e_host.h"

namespace {

namespace fs = std::filesystem;
using partroster::Main;

constexpr std::wstring_view kCaption = L"Movarix v4 Component List Editor";

template <std::size_t N>
std::string bytes(const char (&literal)[N]) {
    return {literal, N - 1};
}

// The file's bytes as another program sees them; nothing when it cannot be read.
std::optional<std::string> fileBytes(const fs::path& path) {
    const win::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string out;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0)
        out.append(chunk, got);
    return out;
}

// A folder of its own holding a copy of the program; removed at the end.
class ProgramFolder {
  public:
    ProgramFolder() {
        fs::create_directories(temp_.path());
        fs::copy_file(e2e::builtProgram(PARTROSTER_EXE), exe());
    }
    fs::path exe() const { return temp_.path() / L"partroster.exe"; }
    fs::path list() const { return temp_.path() / L"Comp_lst.dll"; }

  private:
    e2e::TempFolder temp_;
};

TEST(PartrosterE2e, EditsTheListBesideItThroughItsButtons) {
    const ProgramFolder folder;
    ASSERT_TRUE(e2e::writeFile(folder.list(), bytes("1|1|Codecs|codecs\r\n\xe9t\xe9\nraw\rlast")));
    const e2e::Process app(folder.exe());
    ASSERT_TRUE(app.started()) << "error " << GetLastError();
    const HWND main = e2e::waitForWindow(app.id(), kCaption);
    ASSERT_TRUE(main) << "the window did not show";
    const auto item = [&](int id) { return GetDlgItem(main, id); };
    const HWND list = item(Main::List1);
    const auto fileBecomes = [&](const std::string& expected) {
        return e2e::waitUntil([&] { return fileBytes(folder.list()) == expected; });
    };
    EXPECT_EQ(e2e::ask(list, LB_GETCOUNT), 3);
    EXPECT_EQ(e2e::ask(list, LB_GETCURSEL), LB_ERR);

    const wchar_t* boxes[] = {L"3", L"4", L"Caf\u00e9 codec", L"C:\\Codecs\\caf\u00e9.ax"};
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(e2e::setText(item(Main::Text1 + i), boxes[i]));
    e2e::press(item(Main::Command2));
    const std::string added = bytes(
        "1|1|Codecs|codecs\r\n\xe9t\xe9\nraw\r\nlast\r\n3|4|Caf\xe9 "
        "codec|C:\\Codecs\\caf\xe9.ax\r\n");
    EXPECT_TRUE(fileBecomes(added)) << fileBytes(folder.list()).value_or("(unreadable)");
    EXPECT_EQ(e2e::ask(list, LB_GETCURSEL), 3);

    e2e::ask(list, LB_SETCURSEL, 1);
    e2e::press(item(Main::Command1));
    EXPECT_TRUE(fileBecomes(
        bytes("1|1|Codecs|codecs\r\nlast\r\n3|4|Caf\xe9 codec|C:\\Codecs\\caf\xe9.ax\r\n")))
        << fileBytes(folder.list()).value_or("(unreadable)");
    EXPECT_EQ(e2e::ask(list, LB_GETCURSEL), 2);
    e2e::press(item(Main::Command1));
    EXPECT_TRUE(fileBecomes("1|1|Codecs|codecs\r\nlast\r\n"));

    const auto topmost = [&] { return (GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
    e2e::press(item(Main::Command3));
    EXPECT_TRUE(e2e::waitUntil(topmost)) << "Top did not put it on top";
    e2e::press(item(Main::Command4));
    EXPECT_TRUE(e2e::waitUntil([&] { return !topmost(); })) << "Norm did not take it back";

    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(app.waitForExit(10000), std::optional<DWORD>(0)) << "closing did not end it";
    EXPECT_EQ(fileBytes(folder.list()), "1|1|Codecs|codecs\r\nlast\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.list().parent_path()),
                            fs::directory_iterator()),
              2);
}

TEST(PartrosterE2e, ASecondEditorsChangeIsReadAgainNotWrittenOver) {
    const ProgramFolder folder;
    ASSERT_TRUE(e2e::writeFile(folder.list(), "a\r\nb\r\n"));
    const e2e::Process first(folder.exe()), second(folder.exe());
    ASSERT_TRUE(first.started() && second.started()) << "error " << GetLastError();
    const HWND one = e2e::waitForWindow(first.id(), kCaption);
    const HWND two = e2e::waitForWindow(second.id(), kCaption);
    ASSERT_TRUE(one && two) << "the windows did not show";
    const auto add = [](HWND main, const wchar_t* description) {
        const wchar_t* boxes[] = {L"1", L"2", description, L"p"};
        for (int i = 0; i < 4; ++i) e2e::setText(GetDlgItem(main, Main::Text1 + i), boxes[i]);
        e2e::press(GetDlgItem(main, Main::Command2));
    };
    const auto fileBecomes = [&](const std::string& expected) {
        return e2e::waitUntil([&] { return fileBytes(folder.list()) == expected; });
    };

    // Both read "a" and "b"; the first saves its entry, then the second tries to save its own.
    add(one, L"first");
    ASSERT_TRUE(fileBecomes("a\r\nb\r\n1|2|first|p\r\n"));
    add(two, L"second");
    const HWND told = e2e::waitForWindow(second.id(), L"partroster");
    ASSERT_TRUE(told) << "the second editor did not say why it saved nothing";
    EXPECT_NE(e2e::visibleTexts(told).find(L"changed by another program"), std::wstring::npos);
    EXPECT_EQ(fileBytes(folder.list()), "a\r\nb\r\n1|2|first|p\r\n");
    e2e::press(GetDlgItem(told, IDOK));
    EXPECT_TRUE(
        e2e::waitUntil([&] { return e2e::ask(GetDlgItem(two, Main::List1), LB_GETCOUNT) == 3; }));
    EXPECT_EQ(e2e::textOf(GetDlgItem(two, Main::Text3)), L"second");

    // Now it knows the first one's entry, and its + adds to it.
    e2e::press(GetDlgItem(two, Main::Command2));
    EXPECT_TRUE(fileBecomes("a\r\nb\r\n1|2|first|p\r\n1|2|second|p\r\n"))
        << fileBytes(folder.list()).value_or("(unreadable)");
    for (HWND main : {one, two}) PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.waitForExit(10000), std::optional<DWORD>(0));
    EXPECT_EQ(second.waitForExit(10000), std::optional<DWORD>(0));
}

TEST(PartrosterE2e, WithoutItsListItReportsWhyAndEnds) {
    const ProgramFolder folder;
    const e2e::Process app(folder.exe());
    ASSERT_TRUE(app.started()) << "error " << GetLastError();
    const HWND report = e2e::waitForWindow(app.id(), L"partroster");
    ASSERT_TRUE(report) << "no error report";
    const std::wstring text = e2e::visibleTexts(report);
    EXPECT_NE(text.find(folder.list().native()), std::wstring::npos);
    EXPECT_NE(text.find(L"Error 2:"), std::wstring::npos);
    EXPECT_FALSE(e2e::topLevelWindow(app.id(), kCaption) &&
                 IsWindowVisible(e2e::topLevelWindow(app.id(), kCaption)));
    e2e::press(GetDlgItem(report, IDOK));
    EXPECT_EQ(app.waitForExit(10000), std::optional<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(fs::exists(folder.list()));
}

}  // namespace
