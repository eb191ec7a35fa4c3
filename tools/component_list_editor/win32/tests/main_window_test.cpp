// The editor's window created in this process and driven as a user drives it, against a real
// list file, with the message box replaced by a recorder.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "injecting_file_system.h"
#include "main_window.h"
#include "win32/tests/painted_window.h"
#include "win32/tests/ui_testing.h"

namespace partroster {
namespace {

namespace fs = std::filesystem;

using win::testing::click;
using win::testing::fileBytes;
using win::testing::type;

// A literal's bytes, NULs included.
template <std::size_t N>
std::string bytes(const char (&literal)[N]) {
    return {literal, N - 1};
}

class Editor : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  (L"partroster-window-" + std::to_wstring(GetCurrentProcessId()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        list_ = folder_ / L"Comp_lst.dll";
    }
    void TearDown() override {
        main_.reset();
        fs::remove_all(folder_);
    }

    // The window over a list file holding these bytes (none: no file at all).
    bool open(const std::string* content) {
        if (content) std::ofstream(list_, std::ios::binary) << *content;
        main_ = std::make_unique<Main>(
            Services{prompter_, files_, list_.wstring(), [this] { ++ended_; }});
        if (!main_->create()) return false;
        ShowWindow(main_->hwnd(), SW_SHOWNOACTIVATE);
        return main_->load();
    }
    bool open(const std::string& content) { return open(&content); }

    HWND item(int id) const { return main_->item(id); }
    void fill(const std::wstring& a, const std::wstring& b, const std::wstring& c,
              const std::wstring& d) {
        for (auto [id, text] : {std::pair{Main::Text1, &a}, std::pair{Main::Text2, &b},
                                std::pair{Main::Text3, &c}, std::pair{Main::Text4, &d}})
            SetWindowTextW(item(id), text->c_str());
    }
    // What List1 shows, entry by entry.
    std::vector<std::wstring> entries() const {
        std::vector<std::wstring> shown;
        const auto count = SendMessageW(item(Main::List1), LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) shown.push_back(main_->shownText(i));
        return shown;
    }
    LRESULT selection() const { return SendMessageW(item(Main::List1), LB_GETCURSEL, 0, 0); }
    void select(int index) { SendMessageW(item(Main::List1), LB_SETCURSEL, index, 0); }

    fs::path folder_;
    fs::path list_;
    win::testing::RecordingPrompter prompter_;
    testing::InjectingFileSystem files_;
    int ended_ = 0;
    std::unique_ptr<Main> main_;
};

TEST_F(Editor, WindowAsDeclared) {
    ASSERT_TRUE(open(""));
    EXPECT_EQ(win::windowText(main_->hwnd()), L"Movarix v4 Component List Editor");
    RECT client;
    GetClientRect(main_->hwnd(), &client);
    EXPECT_GE(client.right, MulDiv(508, main_->dpi(), 96));
    EXPECT_GE(client.bottom, MulDiv(371, main_->dpi(), 96));
    EXPECT_FALSE(GetWindowLongW(main_->hwnd(), GWL_STYLE) & WS_THICKFRAME);
    EXPECT_EQ(win::testing::tabOrder(main_->hwnd()),
              (std::vector<int>{Main::Text1, Main::Text2, Main::Text3, Main::Text4, Main::Command2,
                                Main::List1, Main::Command1, Main::Command3, Main::Command4}));
    EXPECT_EQ(win::testing::labelOf(item(Main::Text3)), L"Description");
    EXPECT_EQ(win::testing::labelOf(item(Main::Text4)), L"Path");
    EXPECT_EQ(win::testing::labelOf(item(Main::Text1)).substr(0, 11), L"Check Type:");
}

TEST_F(Editor, EveryCaptionShowsWholeAt96And144Dpi) {
    ASSERT_TRUE(open("1|1|Codecs|codecs\r\n1|1|" + std::string(100, 'w') + "|wider\r\n"));
    for (UINT dpi : win::testing::kCheckedDpis) {
        win::testing::changeDpi(main_->hwnd(), dpi);
        EXPECT_EQ(win::testing::paintedFaults(main_->hwnd(), main_->dpi()),
                  std::vector<std::wstring>{})
            << dpi << " DPI";
        // Measured again in the new font.
        EXPECT_TRUE(win::testing::scrollsSideways(item(Main::List1))) << dpi << " DPI";
    }
}

TEST_F(Editor, EntriesReadAreWrittenBackByteForByte) {
    const std::string old = bytes("1|1|Codecs|codecs\r\n\r\nno fields \xe9\x81\nLF\r\x00z\rlast");
    ASSERT_TRUE(open(old));
    EXPECT_EQ(selection(), LB_ERR);
    const auto shown = entries();
    ASSERT_EQ(shown.size(), 5u);
    EXPECT_EQ(shown[0], L"1|1|Codecs|codecs");
    EXPECT_EQ(shown[1], L"");
    EXPECT_EQ(shown[2].substr(0, 11), L"no fields \u00e9");
    EXPECT_EQ(shown[4], L"last");

    fill(L"2", L"3", L"Caf\u00e9 codec", L"C:\\Codecs\\caf\u00e9.dll");
    click(item(Main::Command2));
    EXPECT_EQ(fileBytes(list_),
              bytes("1|1|Codecs|codecs\r\n\r\nno fields \xe9\x81\nLF\r\n\x00z\r\nlast\r\n") +
                  "2|3|Caf\xe9 codec|C:\\Codecs\\caf\xe9.dll\r\n");
    EXPECT_EQ(selection(), 5);
    EXPECT_TRUE(prompter_.messages.empty());
    EXPECT_TRUE(prompter_.errors.empty());
}

TEST_F(Editor, PlusNeedsFourNonEmptyBoxesAndAddsAtTheEnd) {
    // Which box may be empty is the core's business; here, that an empty one saves nothing.
    ASSERT_TRUE(open("a\r\n"));
    fill(L"1", L"1", L"d", L"");
    click(item(Main::Command2));
    EXPECT_TRUE(files_.created.empty());
    EXPECT_EQ(entries(), std::vector<std::wstring>{L"a"});
    EXPECT_EQ(selection(), LB_ERR);

    fill(L" ", L" ", L" ", L" ");
    win::testing::pressKey(item(Main::Text3), VK_RETURN);  // only the last box adds
    EXPECT_EQ(fileBytes(list_), "a\r\n");
    click(item(Main::Command2));
    win::testing::pressKey(item(Main::Text4), VK_RETURN);
    EXPECT_EQ(fileBytes(list_), "a\r\n | | | \r\n | | | \r\n");
    EXPECT_EQ(selection(), 2);
    EXPECT_EQ(win::windowText(item(Main::Text3)), L" ");
    EXPECT_TRUE(prompter_.messages.empty());
}

TEST_F(Editor, XRemovesTheSelectedEntryThenTheLastIsSelected) {
    ASSERT_TRUE(open("a\r\nb\r\nc\r\n"));
    click(item(Main::Command1));
    EXPECT_TRUE(files_.created.empty());
    EXPECT_EQ(entries().size(), 3u);

    select(0);
    click(item(Main::Command1));
    EXPECT_EQ(fileBytes(list_), "b\r\nc\r\n");
    EXPECT_EQ(selection(), 1);
    win::testing::pressKey(item(Main::List1), VK_DELETE);
    EXPECT_EQ(fileBytes(list_), "b\r\n");
    EXPECT_EQ(entries(), std::vector<std::wstring>{L"b"});
    EXPECT_EQ(selection(), 0);
    click(item(Main::Command1));
    EXPECT_TRUE(fs::exists(list_));
    EXPECT_EQ(fs::file_size(list_), 0u);
    EXPECT_EQ(selection(), LB_ERR);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

TEST_F(Editor, TypeAndLevelTakeOneCharacter) {
    ASSERT_TRUE(open(""));
    for (int id : {Main::Text1, Main::Text2, Main::Text3}) type(item(id), L"12");
    EXPECT_EQ(win::windowText(item(Main::Text1)), L"1");
    EXPECT_EQ(win::windowText(item(Main::Text2)), L"1");
    EXPECT_EQ(win::windowText(item(Main::Text3)), L"12");
}

TEST_F(Editor, TopThenNormKeepsPlaceAndSize) {
    ASSERT_TRUE(open(""));
    SetWindowPos(main_->hwnd(), nullptr, 40, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RECT before;
    GetWindowRect(main_->hwnd(), &before);
    const auto topmost = [this] {
        return (GetWindowLongW(main_->hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    };
    EXPECT_FALSE(topmost());
    for (int id :
         {Main::Command3, Main::Command3, Main::Command4, Main::Command3, Main::Command4}) {
        click(item(id));
        EXPECT_EQ(topmost(), id == Main::Command3);
        RECT now;
        GetWindowRect(main_->hwnd(), &now);
        EXPECT_TRUE(EqualRect(&now, &before));
    }
}

TEST_F(Editor, AListThatCannotBeReadIsReportedAndNotMade) {
    std::string tooLong;
    for (int i = 0; i <= 32767; ++i) tooLong += "1|1|d|p\r\n";
    struct Case {
        const char* name;
        const std::string* file;
        DWORD code;
    };
    for (const Case& c : {Case{"missing", nullptr, ERROR_FILE_NOT_FOUND},
                          Case{"beyond 16-bit indexes", &tooLong, 0}}) {
        SCOPED_TRACE(c.name);
        prompter_.errors.clear();
        EXPECT_FALSE(open(c.file));
        ASSERT_EQ(prompter_.errors.size(), 1u);
        EXPECT_EQ(prompter_.errors[0].path, list_.wstring());
        EXPECT_EQ(prompter_.errors[0].code, c.code);
        EXPECT_EQ(fs::exists(list_), c.file != nullptr);
    }
}

TEST_F(Editor, AFailedSaveIsReportedAndChangesNothing) {
    ASSERT_TRUE(open("a\r\nb\r\n"));
    files_.failAt = testing::Step::Replace;
    files_.failure = ERROR_DISK_FULL;
    files_.failures = 2;
    select(0);
    click(item(Main::Command1));
    fill(L"1", L"1", L"d", L"p");
    click(item(Main::Command2));
    ASSERT_EQ(prompter_.errors.size(), 2u);
    EXPECT_EQ(prompter_.errors[1].code, static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(prompter_.errors[1].path, list_.wstring());
    EXPECT_EQ(entries(), (std::vector<std::wstring>{L"a", L"b"}));
    EXPECT_EQ(fileBytes(list_), "a\r\nb\r\n");
}

TEST_F(Editor, AnEntryTheListCannotTakeIsRefusedWithAMessage) {
    std::string full;
    for (int i = 0; i < 32767; ++i) full += "1|1|d|p\r\n";
    struct Case {
        const char* name;
        std::string file;
        const wchar_t* description;
        const wchar_t* said;
    };
    const Case cases[] = {
        // No ANSI code page of the West holds these.
        {"characters the file cannot hold", "a\r\n", L"\u6620\u753b", L"\u6620\u753b"},
        {"a full list", full, L"d", L"32767"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        prompter_.messages.clear();
        ASSERT_TRUE(open(c.file));
        const auto count = SendMessageW(item(Main::List1), LB_GETCOUNT, 0, 0);
        fill(L"1", L"1", c.description, L"p");
        click(item(Main::Command2));
        ASSERT_EQ(prompter_.messages.size(), 1u);
        EXPECT_NE(prompter_.messages[0].text.find(c.said), std::wstring::npos);
        EXPECT_TRUE(files_.created.empty());
        EXPECT_EQ(SendMessageW(item(Main::List1), LB_GETCOUNT, 0, 0), count);
    }
}

TEST_F(Editor, TheListLooksAndAnswersLikeAListOfStrings) {
    // The first entry is wider than the list.
    std::string file = "4|4|Wide|C:\\" + std::string(120, 'W') + "\\end.dll\r\n";
    std::vector<std::wstring> texts = {L"4|4|Wide|C:\\" + std::wstring(120, L'W') + L"\\end.dll"};
    for (int i = 0; i < 40; ++i) {
        const char first = "aBcDe"[i % 5];
        file += first + std::string("|2|Entry ") + std::to_string(i) + "\r\n";
        texts.push_back(wchar_t(first) + (L"|2|Entry " + std::to_wstring(i)));
    }
    file += "\xe9t\xe9|1\r\n";
    texts.push_back(L"\u00e9t\u00e9|1");
    ASSERT_TRUE(open(file));
    EXPECT_EQ(entries(), texts);

    // A list box of strings with the same entries, font and size beside it; every key, click
    // and focus change goes to both.
    const HWND ours = item(Main::List1);
    RECT place;
    GetWindowRect(ours, &place);
    MapWindowPoints(nullptr, main_->hwnd(), reinterpret_cast<POINT*>(&place), 2);
    const win::Window theirs(CreateWindowExW(
        WS_EX_CLIENTEDGE, L"LISTBOX", L"",
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
        place.left, place.top, place.right - place.left, place.bottom - place.top, main_->hwnd(),
        nullptr, GetModuleHandleW(nullptr), nullptr));
    SendMessageW(theirs.get(), WM_SETFONT, SendMessageW(ours, WM_GETFONT, 0, 0), FALSE);
    for (const auto& text : texts)
        SendMessageW(theirs.get(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    // The first entry, once drawn, is wider than the list: it scrolls sideways far enough to show
    // all of it, and the list of strings is given the same room.
    UpdateWindow(ours);
    ASSERT_TRUE(win::testing::scrollsSideways(ours));
    SCROLLINFO range{};
    range.cbSize = sizeof range;
    range.fMask = SIF_RANGE;
    GetScrollInfo(ours, SB_HORZ, &range);
    const win::WindowDc dc(ours);
    SelectObject(dc.get(), reinterpret_cast<HFONT>(SendMessageW(ours, WM_GETFONT, 0, 0)));
    SIZE wide{};
    GetTextExtentPoint32W(dc.get(), texts[0].c_str(), static_cast<int>(texts[0].size()), &wide);
    EXPECT_GT(range.nMax, wide.cx);
    SendMessageW(theirs.get(), LB_SETHORIZONTALEXTENT, range.nMax + 1, 0);

    const LPARAM fourthRow = MAKELPARAM(5, 3 * SendMessageW(ours, LB_GETITEMHEIGHT, 0, 0) + 2);
    struct Input {
        const char* name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    const Input inputs[] = {
        {"nothing yet", WM_NULL, 0, 0},
        {"focus", WM_SETFOCUS, 0, 0},
        {"Down", WM_KEYDOWN, VK_DOWN, 0},
        {"Down again", WM_KEYDOWN, VK_DOWN, 0},
        {"b, on the next entry", WM_CHAR, 'b', 0},
        {"scrolled to the right end", WM_HSCROLL, SB_RIGHT, 0},
        {"b again", WM_CHAR, 'b', 0},
        {"one step back", WM_HSCROLL, SB_LINELEFT, 0},
        {"E", WM_CHAR, 'E', 0},
        {"scrolled to the left end", WM_HSCROLL, SB_LEFT, 0},
        {"z matches nothing", WM_CHAR, 'z', 0},
        {"Page Down", WM_KEYDOWN, VK_NEXT, 0},
        {"End", WM_KEYDOWN, VK_END, 0},
        {"\u00c9 as \u00e9", WM_CHAR, L'\u00c9', 0},
        {"Up", WM_KEYDOWN, VK_UP, 0},
        {"Home", WM_KEYDOWN, VK_HOME, 0},
        {"click on the fourth row", WM_LBUTTONDOWN, MK_LBUTTON, fourthRow},
        {"release", WM_LBUTTONUP, 0, fourthRow},
        {"focus gone", WM_KILLFOCUS, 0, 0},
    };
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.name);
        for (HWND list : {ours, theirs.get()})
            SendMessageW(list, input.message, input.wParam, input.lParam);
        for (UINT query : {LB_GETCURSEL, LB_GETTOPINDEX, LB_GETCARETINDEX, LB_GETITEMHEIGHT})
            EXPECT_EQ(SendMessageW(ours, query, 0, 0), SendMessageW(theirs.get(), query, 0, 0))
                << "message " << query;
        EXPECT_TRUE(win::testing::clientPixels(ours) == win::testing::clientPixels(theirs.get()));
        EXPECT_EQ(GetScrollPos(ours, SB_HORZ), GetScrollPos(theirs.get(), SB_HORZ));
    }
    select(0);
    click(item(Main::Command1));
    EXPECT_FALSE(win::testing::scrollsSideways(ours)) << "the wide entry is gone";
}

TEST_F(Editor, AnotherProgramsChangeIsReadAgainAndNotWrittenOver) {
    const auto theyWrite = [this](const std::string& bytes) {
        std::ofstream(list_, std::ios::binary | std::ios::trunc) << bytes;
    };
    ASSERT_TRUE(open("a\r\nb\r\nc\r\n"));

    // + keeps the entry in the boxes, for + to add it to their list.
    theyWrite("a\r\nb\r\nc\r\ntheirs\r\n");
    fill(L"1", L"2", L"mine", L"m");
    click(item(Main::Command2));
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_NE(prompter_.messages[0].text.find(L"press + to add it"), std::wstring::npos);
    EXPECT_EQ(fileBytes(list_), "a\r\nb\r\nc\r\ntheirs\r\n");
    EXPECT_EQ(entries(), (std::vector<std::wstring>{L"a", L"b", L"c", L"theirs"}));
    EXPECT_EQ(win::windowText(item(Main::Text3)), L"mine");

    // X selects the entry again where the other program left it, or says it is gone.
    struct Case {
        const char* name;
        std::string theirs;
        LRESULT selected;
    };
    const Case cases[] = {
        {"moved", "b\r\nnew\r\na\r\n", 2},
        {"same place, shorter list", "a\r\nb\r\n", 0},
        {"gone", "b\r\nc\r\n", LB_ERR},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        theyWrite("a\r\nb\r\nc\r\n");
        main_.reset();
        prompter_.messages.clear();
        ASSERT_TRUE(open(nullptr));
        select(0);
        theyWrite(c.theirs);
        click(item(Main::Command1));
        EXPECT_EQ(fileBytes(list_), c.theirs);
        EXPECT_EQ(SendMessageW(item(Main::List1), LB_GETCOUNT, 0, 0),
                  std::count(c.theirs.begin(), c.theirs.end(), '\n'));
        EXPECT_EQ(selection(), c.selected);
        ASSERT_EQ(prompter_.messages.size(), 1u);
        EXPECT_NE(prompter_.messages[0].text.find(c.selected == LB_ERR ? L"no longer" : L"press X"),
                  std::wstring::npos);
    }
    EXPECT_TRUE(prompter_.errors.empty());
}

TEST_F(Editor, ClosingEndsTheProgramWithoutSaving) {
    ASSERT_TRUE(open("a\r\n"));
    SendMessageW(main_->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(ended_, 1);
    EXPECT_EQ(main_->hwnd(), nullptr);
    EXPECT_TRUE(files_.created.empty());
}

}  // namespace
}  // namespace partroster
