// The editor's saves and its window, created in this process and driven as a user drives it,
// against real list files in a folder of their own; the message box is replaced by a recorder,
// and any one step of a save can be made to fail.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <tuple>
#include <utility>

#include "component_list.h"
#include "list_file.h"
#include "main_window.h"
#include "win32/tests/painted_window.h"
#include "win32/tests/ui_testing.h"

namespace partroster {
namespace {

namespace fs = std::filesystem;

using win::testing::click;
using win::testing::fileBytes;
using win::testing::pressKey;
using win::testing::type;
using Shown = std::vector<std::wstring>;

// A literal's bytes, NULs included.
template <std::size_t N>
std::string bytes(const char (&literal)[N]) {
    return {literal, N - 1};
}

// The real file system, with one chosen step of a save made to fail, and a moment to change the
// file as another program would, just before the save looks at it.
enum class Step { None, Create, Write, Flush, Close, Stamp, Replace };

class InjectingFileSystem : public SaveFileSystem {
  public:
    Step failAt = Step::None;
    DWORD failure = 0;
    int failures = 1;                       // how many calls of that step fail
    std::function<void(int waits)> onWait;  // instead of sleeping
    std::function<void()> beforeStamp;      // once, before the save reads the file's stamp
    std::vector<std::wstring> created;
    int waits = 0;

    DWORD createNew(const std::wstring& path, win::FileHandle& file) override {
        if (fails(Step::Create)) return failure;
        created.push_back(path);
        return real_.createNew(path, file);
    }
    DWORD write(HANDLE file, std::string_view bytes) override {
        // Half the bytes reach the file before the failure, as when a disk fills up.
        if (!fails(Step::Write)) return real_.write(file, bytes);
        real_.write(file, bytes.substr(0, bytes.size() / 2));
        return failure;
    }
    DWORD flush(HANDLE file) override { return fails(Step::Flush) ? failure : real_.flush(file); }
    DWORD close(win::FileHandle& file) override {
        // A failed close may leave the handle open.
        return fails(Step::Close) ? failure : real_.close(file);
    }
    DWORD replace(const std::wstring& from, const std::wstring& to) override {
        return fails(Step::Replace) ? failure : real_.replace(from, to);
    }
    DWORD remove(const std::wstring& path) override { return real_.remove(path); }
    DWORD stamp(const std::wstring& path, ListStamp& stamp) override {
        if (beforeStamp) std::exchange(beforeStamp, nullptr)();
        return fails(Step::Stamp) ? failure : real_.stamp(path, stamp);
    }
    void wait(DWORD) override {
        if (onWait) onWait(waits);
        ++waits;
    }

  private:
    bool fails(Step step) {
        if (step != failAt || failures == 0) return false;
        --failures;
        return true;
    }
    Win32FileSystem real_;
};

// A folder of its own for the list file, emptied before and removed after each test.
class ListFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    void write(const std::string& bytes) const {
        std::ofstream(list_, std::ios::binary | std::ios::trunc) << bytes;
    }
    std::vector<fs::path> folderContents() const {
        return {fs::directory_iterator(folder_), fs::directory_iterator()};
    }

    const fs::path folder_ =
        fs::temp_directory_path() / (L"partroster-ui-" + std::to_wstring(GetCurrentProcessId()));
    const fs::path list_ = folder_ / L"Comp_lst.dll";
    InjectingFileSystem files_;
};

const std::string kOld = "1|1|Old|old\r\n\xe9t\xe9|x\r\n";
const std::string kNew = kOld + "2|3|New|new.dll\r\n";
constexpr SaveResult kSaved{SaveOutcome::Saved, 0};

class ListFile : public ListFolder {
  protected:
    void SetUp() override {
        ListFolder::SetUp();
        write(kOld);
    }
    // The list still holds what it held, and nothing lies beside it.
    void expectLeftAlone(const std::string& bytes) const {
        EXPECT_EQ(fileBytes(list_), bytes);
        EXPECT_EQ(folderContents(), std::vector<fs::path>{list_});
    }
    SaveResult save(const std::string& bytes) {
        return saveListFile(files_, list_.wstring(), EntryList(bytes), onDisk_);
    }

    ListStamp onDisk_ = stampOf(kOld);
};

TEST_F(ListFile, ReplacesTheFileAndLeavesNothingElse) {
    // Long enough to go out in several writes; each save knows the file the one before left.
    std::string many;
    for (int i = 0; i < 20000; ++i) many += std::to_string(i) + "|2|d|p\r\n";
    for (const std::string& bytes : {kNew, many, std::string()}) {
        EXPECT_EQ(save(bytes), kSaved);
        expectLeftAlone(bytes);
    }
    ASSERT_EQ(files_.created.size(), 3u);
    EXPECT_EQ(fs::path(files_.created[0]).parent_path(), folder_);
}

TEST_F(ListFile, AFailingStepLeavesTheOldFileWholeAndNoTemporaryFile) {
    const struct {
        Step step;
        DWORD error;
        int failures, waits;
        bool saves;
    } cases[] = {
        {Step::Create, ERROR_ACCESS_DENIED, 1, 0, false},
        {Step::Write, ERROR_DISK_FULL, 1, 0, false},
        {Step::Flush, ERROR_IO_DEVICE, 1, 0, false},
        {Step::Close, ERROR_IO_DEVICE, 1, 0, false},
        {Step::Stamp, ERROR_IO_DEVICE, 1, 0, false},
        {Step::Replace, ERROR_NOT_SAME_DEVICE, 1, 0, false},
        // Temporary names in use are passed over.
        {Step::Create, ERROR_FILE_EXISTS, 3, 0, true},
        // While another process holds the list, it is tried again after each pause, for a while.
        {Step::Stamp, ERROR_LOCK_VIOLATION, 1, 1, true},
        {Step::Replace, ERROR_SHARING_VIOLATION, 2, 2, true},
        {Step::Replace, ERROR_ACCESS_DENIED, 9, std::size(kReplaceRetryDelaysMs), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "step " << static_cast<int>(c.step) << ", error "
                                          << c.error << " " << c.failures << " times");
        write(kOld);
        onDisk_ = stampOf(kOld);
        files_ = {};
        files_.failAt = c.step;
        files_.failure = c.error;
        files_.failures = c.failures;
        EXPECT_EQ(save(kNew), (c.saves ? kSaved : SaveResult{SaveOutcome::Failed, c.error}));
        EXPECT_EQ(files_.waits, c.waits);
        EXPECT_EQ(onDisk_, stampOf(c.saves ? kNew : kOld));
        expectLeftAlone(c.saves ? kNew : kOld);
    }
}

TEST_F(ListFile, AReaderThatAllowsNoReplacingIsWaitedForThenReported) {
    const win::FileHandle holder(CreateFileW(list_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    const SaveResult held = save(kNew);
    EXPECT_EQ(held.outcome, SaveOutcome::Failed);
    EXPECT_TRUE(held.error == ERROR_SHARING_VIOLATION || held.error == ERROR_ACCESS_DENIED)
        << held.error;
    EXPECT_EQ(files_.waits, static_cast<int>(std::size(kReplaceRetryDelaysMs)));
    expectLeftAlone(kOld);
}

TEST_F(ListFile, AListAnotherProgramRemovedIsNotMadeAgain) {
    fs::remove(list_);
    EXPECT_EQ(save(kNew),
              (SaveResult{SaveOutcome::Failed, static_cast<DWORD>(ERROR_FILE_NOT_FOUND)}));
    EXPECT_TRUE(folderContents().empty());
}

TEST_F(ListFile, ReadingGetsEveryByteOrTellsWhy) {
    std::string big(200000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
    write(big);
    std::string bytes = "left over";
    EXPECT_EQ(readListFile(list_.wstring(), bytes), 0u);
    EXPECT_TRUE(bytes == big);
    fs::remove(list_);
    EXPECT_EQ(readListFile(list_.wstring(), bytes), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

class Editor : public ListFolder {
  protected:
    void TearDown() override {
        main_.reset();
        ListFolder::TearDown();
    }

    // The window over a list file holding these bytes.
    bool open(const std::string& content) {
        write(content);
        main_ = std::make_unique<Main>(
            Services{prompter_, files_, list_.wstring(), [this] { ++ended_; }});
        if (!main_->create()) return false;
        ShowWindow(main_->hwnd(), SW_SHOWNOACTIVATE);
        return main_->load();
    }

    HWND item(int id) const { return main_->item(id); }
    void fill(const wchar_t* type, const wchar_t* level, const wchar_t* description,
              const wchar_t* path) {
        for (auto [id, text] : {std::pair{Main::Text1, type}, std::pair{Main::Text2, level},
                                std::pair{Main::Text3, description}, std::pair{Main::Text4, path}})
            SetWindowTextW(item(id), text);
    }
    // What List1 shows, entry by entry.
    Shown entries() const {
        Shown shown;
        const auto count = SendMessageW(item(Main::List1), LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) shown.push_back(main_->shownText(i));
        return shown;
    }
    LRESULT selection() const { return SendMessageW(item(Main::List1), LB_GETCURSEL, 0, 0); }
    void select(int index) { SendMessageW(item(Main::List1), LB_SETCURSEL, index, 0); }

    win::testing::RecordingPrompter prompter_;
    int ended_ = 0;
    std::unique_ptr<Main> main_;
};

TEST_F(Editor, TheWindowAsDeclaredShowsEveryCaptionWholeAt96And144Dpi) {
    ASSERT_TRUE(open("1|1|Codecs|codecs\r\n1|1|" + std::string(100, 'w') + "|wider\r\n"));
    EXPECT_FALSE(GetWindowLongW(main_->hwnd(), GWL_STYLE) & WS_THICKFRAME);
    EXPECT_EQ(win::testing::tabOrder(main_->hwnd()),
              (std::vector<int>{Main::Text1, Main::Text2, Main::Text3, Main::Text4, Main::Command2,
                                Main::List1, Main::Command1, Main::Command3, Main::Command4}));
    EXPECT_EQ(win::testing::labelOf(item(Main::Text1)).substr(0, 11), L"Check Type:");
    EXPECT_EQ(win::testing::labelOf(item(Main::Text3)), L"Description");
    EXPECT_EQ(win::testing::labelOf(item(Main::Text4)), L"Path");
    for (UINT dpi : win::testing::kCheckedDpis) {
        win::testing::changeDpi(main_->hwnd(), dpi);
        EXPECT_EQ(win::testing::paintedFaults(main_->hwnd(), main_->dpi()), Shown{}) << dpi;
        RECT client;
        GetClientRect(main_->hwnd(), &client);
        EXPECT_GE(client.right, MulDiv(508, dpi, 96));
        EXPECT_GE(client.bottom, MulDiv(371, dpi, 96));
        // Measured again in the new font.
        EXPECT_TRUE(win::testing::scrollsSideways(item(Main::List1))) << dpi;
    }
}

TEST_F(Editor, PlusAddsTheFourBoxesAtTheEndAndEveryByteReadIsWrittenBack) {
    ASSERT_TRUE(open(bytes("1|1|Codecs|codecs\r\n\r\nno fields \xe9\x81\nLF\r\x00z\rlast")));
    EXPECT_EQ(selection(), LB_ERR);

    // An empty box adds nothing, and Enter adds only in the last box.
    fill(L"1", L"1", L"d", L"");
    click(item(Main::Command2));
    type(item(Main::Text1), L"12");  // one character each
    type(item(Main::Text2), L"34");
    type(item(Main::Text3), L"Caf\u00e9 codec");
    type(item(Main::Text4), L"C:\\Codecs\\caf\u00e9.dll");
    pressKey(item(Main::Text3), VK_RETURN);
    EXPECT_TRUE(files_.created.empty());
    click(item(Main::Command2));
    EXPECT_EQ(selection(), 5);
    // Spaces are not empty; the same texts twice make two entries.
    fill(L" ", L" ", L" ", L" ");
    click(item(Main::Command2));
    pressKey(item(Main::Text4), VK_RETURN);
    EXPECT_EQ(fileBytes(list_), bytes("1|1|Codecs|codecs\r\n\r\nno fields "
                                      "\xe9\x81\nLF\r\n\x00z\r\nlast\r\n") +
                                    "1|3|Caf\xe9 codec|C:\\Codecs\\caf\xe9.dll\r\n | | | \r\n | | "
                                    "| \r\n");
    EXPECT_EQ(selection(), 7);
    EXPECT_EQ(win::windowText(item(Main::Text3)), L" ");
    EXPECT_TRUE(prompter_.messages.empty());
    EXPECT_TRUE(prompter_.errors.empty());
}

TEST_F(Editor, XRemovesTheSelectedEntryThenTheLastIsSelectedAndClosingSavesNothing) {
    ASSERT_TRUE(open("a\r\nb\r\nc\r\n"));
    click(item(Main::Command1));
    EXPECT_TRUE(files_.created.empty()) << "nothing was selected";
    select(0);
    click(item(Main::Command1));
    EXPECT_EQ(fileBytes(list_), "b\r\nc\r\n");
    EXPECT_EQ(selection(), 1);
    pressKey(item(Main::List1), VK_DELETE);
    EXPECT_EQ(entries(), Shown{L"b"});
    EXPECT_EQ(selection(), 0);
    click(item(Main::Command1));
    EXPECT_EQ(fs::file_size(list_), 0u);
    EXPECT_EQ(selection(), LB_ERR);

    SendMessageW(main_->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(ended_, 1);
    EXPECT_EQ(main_->hwnd(), nullptr);
    EXPECT_EQ(files_.created.size(), 3u);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

TEST_F(Editor, TopThenNormKeepsPlaceAndSize) {
    ASSERT_TRUE(open(""));
    SetWindowPos(main_->hwnd(), nullptr, 40, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RECT before, now;
    GetWindowRect(main_->hwnd(), &before);
    const int clicks[] = {
        0, Main::Command3, Main::Command3, Main::Command4, Main::Command3, Main::Command4};
    for (int id : clicks) {
        if (id) click(item(id));
        EXPECT_EQ((GetWindowLongW(main_->hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0,
                  id == Main::Command3);
        GetWindowRect(main_->hwnd(), &now);
        EXPECT_TRUE(EqualRect(&now, &before));
    }
}

TEST_F(Editor, AListBeyond16BitIndexesIsReportedAndNotShown) {
    std::string tooLong;
    for (int i = 0; i <= 32767; ++i) tooLong += "1|1|d|p\r\n";
    EXPECT_FALSE(open(tooLong));
    ASSERT_EQ(prompter_.errors.size(), 1u);
    EXPECT_EQ(prompter_.errors[0].path, list_.wstring());
    EXPECT_EQ(SendMessageW(item(Main::List1), LB_GETCOUNT, 0, 0), 0);
}

TEST_F(Editor, AChangeThatCannotBeSavedIsReportedAndChangesNothing) {
    const std::string two = "a\r\nb\r\n";
    std::string full;
    for (int i = 0; i < 32767; ++i) full += "1|1|d|p\r\n";
    struct Case {
        const char* name;
        const std::string& file;
        int button;  // clicked with the first entry selected
        const wchar_t* description;
        DWORD failure;        // of the replace, which the run-time error report names
        const wchar_t* said;  // or else in the message
    };
    const Case cases[] = {
        {"X, the file cannot be replaced", two, Main::Command1, L"d", ERROR_DISK_FULL, nullptr},
        {"+, the file cannot be replaced", two, Main::Command2, L"d", ERROR_DISK_FULL, nullptr},
        // No ANSI code page of the West holds these.
        {"characters the file cannot hold", two, Main::Command2, L"\u6620\u753b", 0,
         L"\u6620\u753b"},
        {"a full list", full, Main::Command2, L"d", 0, L"32767"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        prompter_ = {};
        files_ = {};
        files_.failAt = c.failure ? Step::Replace : Step::None;
        files_.failure = c.failure;
        ASSERT_TRUE(open(c.file));
        const Shown before = entries();
        fill(L"1", L"1", c.description, L"p");
        select(0);
        click(item(c.button));
        if (c.failure) {
            ASSERT_EQ(prompter_.errors.size(), 1u);
            EXPECT_EQ(prompter_.errors[0].code, c.failure);
            EXPECT_EQ(prompter_.errors[0].path, list_.wstring());
        } else {
            ASSERT_EQ(prompter_.messages.size(), 1u);
            EXPECT_NE(prompter_.messages[0].text.find(c.said), std::wstring::npos);
            EXPECT_TRUE(files_.created.empty());
        }
        EXPECT_TRUE(entries() == before);
        EXPECT_TRUE(fileBytes(list_) == c.file);
    }
}

TEST_F(Editor, TheListLooksAndAnswersLikeAListOfStrings) {
    // The first entry is wider than the list; the last is written in the ANSI code page.
    Shown texts = {L"4|4|Wide|C:\\" + std::wstring(120, L'W') + L"\\end.dll"};
    for (int i = 0; i < 40; ++i)
        texts.push_back(wchar_t("aBcDe"[i % 5]) + (L"|2|Entry " + std::to_wstring(i)));
    texts.push_back(L"\u00e9t\u00e9|1");
    std::string file;
    for (const auto& text : texts) file += std::string(text.begin(), text.end()) + "\r\n";
    ASSERT_TRUE(open(file));
    EXPECT_EQ(entries(), texts);

    // A list box of strings with the same entries, font and size beside it; every key, click and
    // focus change goes to both.
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
    SCROLLINFO range{sizeof range, SIF_RANGE, 0, 0, 0, 0, 0};
    GetScrollInfo(ours, SB_HORZ, &range);
    const win::WindowDc dc(ours);
    SelectObject(dc.get(), reinterpret_cast<HFONT>(SendMessageW(ours, WM_GETFONT, 0, 0)));
    SIZE wide{};
    GetTextExtentPoint32W(dc.get(), texts[0].c_str(), static_cast<int>(texts[0].size()), &wide);
    EXPECT_GT(range.nMax, wide.cx);
    SendMessageW(theirs.get(), LB_SETHORIZONTALEXTENT, range.nMax + 1, 0);

    const LPARAM fourthRow = MAKELPARAM(5, 3 * SendMessageW(ours, LB_GETITEMHEIGHT, 0, 0) + 2);
    const struct {
        const char* name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    } inputs[] = {
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
    // + changes the list while it is not drawn; drawn again, it is the list of strings.
    fill(L"5", L"5", L"Added", L"last");
    click(item(Main::Command2));
    SendMessageW(theirs.get(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"5|5|Added|last"));
    SendMessageW(theirs.get(), LB_SETCURSEL, texts.size(), 0);
    UpdateWindow(main_->hwnd());
    EXPECT_TRUE(IsWindowVisible(ours));
    EXPECT_EQ(SendMessageW(ours, LB_GETTOPINDEX, 0, 0),
              SendMessageW(theirs.get(), LB_GETTOPINDEX, 0, 0));
    EXPECT_TRUE(win::testing::clientPixels(ours) == win::testing::clientPixels(theirs.get()));
    SCROLLINFO shown{sizeof shown, SIF_ALL, 0, 0, 0, 0, 0}, expected = shown;
    GetScrollInfo(ours, SB_VERT, &shown);
    GetScrollInfo(theirs.get(), SB_VERT, &expected);
    EXPECT_EQ(std::tuple(shown.nMax, shown.nPage, shown.nPos),
              std::tuple(expected.nMax, expected.nPage, expected.nPos));

    select(0);
    click(item(Main::Command1));
    EXPECT_FALSE(win::testing::scrollsSideways(ours)) << "the wide entry is gone";
}

TEST_F(Editor, AnotherProgramsChangeIsReadAgainAndNotWrittenOver) {
    // Written over "a", "b", "c" with the old write time, before the click or while the save writes
    // its temporary file.
    struct Case {
        const char* name;
        int button;  // clicked with the first entry selected and the boxes filled
        std::string theirs;
        bool during;
        LRESULT selected;
        const wchar_t* said;
    };
    const Case cases[] = {
        {"+ keeps the entry in the boxes", Main::Command2, "a\r\nb\r\nc\r\ntheirs\r\n", false,
         LB_ERR, L"press + to add it"},
        {"+ while it saves, as long as before", Main::Command2, "a\r\nB\r\nc\r\n", true, LB_ERR,
         L"press + to add it"},
        {"X selects the entry where it moved", Main::Command1, "b\r\nnew\r\na\r\n", false, 2,
         L"press X"},
        {"X while it saves, the entry in its place", Main::Command1, "a\r\nb\r\n", true, 0,
         L"press X"},
        {"X says the entry is gone", Main::Command1, "b\r\nc\r\n", false, LB_ERR, L"no longer"},
        {"X while it saves, emptied", Main::Command1, "", true, LB_ERR, L"no longer"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        prompter_.messages.clear();
        files_ = {};
        ASSERT_TRUE(open("a\r\nb\r\nc\r\n"));
        fill(L"1", L"2", L"mine", L"m");
        select(0);
        const auto change = [&] {
            const auto time = fs::last_write_time(list_);
            std::ofstream(list_, std::ios::binary | std::ios::trunc) << c.theirs;
            fs::last_write_time(list_, time);
        };
        if (c.during)
            files_.beforeStamp = change;
        else
            change();
        click(item(c.button));
        EXPECT_EQ(fileBytes(list_), c.theirs);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
        Shown theirs;
        for (std::size_t at = 0, end; (end = c.theirs.find("\r\n", at)) != std::string::npos;
             at = end + 2)
            theirs.emplace_back(c.theirs.begin() + at, c.theirs.begin() + end);
        EXPECT_EQ(entries(), theirs);
        EXPECT_EQ(selection(), c.selected);
        ASSERT_EQ(prompter_.messages.size(), 1u);
        EXPECT_NE(prompter_.messages[0].text.find(c.said), std::wstring::npos);
        EXPECT_EQ(win::windowText(item(Main::Text3)), L"mine");
    }
    EXPECT_TRUE(prompter_.errors.empty());
}

}  // namespace
}  // namespace partroster
