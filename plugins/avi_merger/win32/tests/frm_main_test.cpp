// The merger's window created in this process and driven as a user drives it, with the message
// box and the program starter replaced by recorders, against real folders, real movies and the
// real registry of the test's Wine prefix.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "avi_listing.h"
#include "frm_main.h"
#include "merge_script.h"
#include "win32/job_script_file.h"
#include "win32/settings_store.h"
#include "win32/tests/e2e_host.h"
#include "win32/tests/painted_window.h"
#include "win32/tests/saved_setting.h"
#include "win32/tests/ui_testing.h"

namespace clipjoiner {
namespace {

namespace fs = std::filesystem;
using win::testing::click;
using win::testing::Message;
using win::testing::Messages;
using win::testing::type;

#ifdef TEST_MOVIES
constexpr const char* kTestMovies = TEST_MOVIES;
#else
constexpr const char* kTestMovies = nullptr;
#endif

class Merger : public testing::Test {
  protected:
    void SetUp() override {
        if (!kTestMovies) GTEST_SKIP() << "no test movies: the build found no Linux encoder";
        movies_ = e2e::builtProgram(kTestMovies);
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        for (const auto& folder : {host() / L"tmp", videos(), more()})
            fs::create_directories(folder);
        // Movies that a stream copy can join.
        fs::copy_file(movies_ / L"b.avi", videos() / L"b.avi");
        fs::copy_file(movies_ / L"a.avi", videos() / L"a.avi");
        fs::copy_file(movies_ / L"a.avi", more() / L"c.avi");
        setHostRoot(host());
        frm_ = std::make_unique<FrmMain>(Services{prompter_, starter_, [this] { ++ended_; }});
        ASSERT_TRUE(frm_->create());
        ASSERT_TRUE(frm_->loadFolder(startupFolder(L"\"" + videos().wstring() + L"\"")));
        ShowWindow(frm_->hwnd(), SW_SHOWNOACTIVATE);
    }
    void TearDown() override {
        if (!frm_) return;  // skipped
        frm_.reset();
        CoUninitialize();
    }

    static void setHostRoot(const fs::path& root) {
        ASSERT_EQ(
            win::writeSetting(kSettingsApplication, kSettingsSection, kSettingsKey, root.wstring()),
            0u);
    }
    fs::path host() const { return root_ / L"host"; }
    fs::path videos() const { return root_ / L"My Videos"; }
    fs::path more() const { return root_ / L"More"; }
    fs::path script() const { return host() / L"tmp" / L"merge.bat"; }
    HWND item(int id) const { return frm_->item(id); }
    std::vector<std::wstring> entries() const {
        return win::testing::listEntries(item(FrmMain::List1));
    }
    LRESULT selection() const { return SendMessageW(item(FrmMain::List1), LB_GETCURSEL, 0, 0); }
    void select(LRESULT index) { SendMessageW(item(FrmMain::List1), LB_SETCURSEL, index, 0); }
    void append(const std::wstring& entry) {
        SendMessageW(item(FrmMain::List1), LB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(entry.c_str()));
    }
    static std::wstring entryOf(const fs::path& file) {
        return fileEntry(file.filename().wstring(), file.parent_path().wstring());
    }
    // "Copy" picked, the name typed and Merge pressed, with what was said before forgotten.
    void merge(const std::wstring& name) {
        SendMessageW(item(FrmMain::Combo1), CB_SETCURSEL, 0, 0);
        type(item(FrmMain::Text1), name);
        prompter_.messages.clear();
        prompter_.questions.clear();
        click(item(FrmMain::Command3));
    }
    // The script a merge of these files into this one writes: its lines are the core's.
    std::string scriptFor(const fs::path& output, const std::vector<fs::path>& inputs) const {
        MergeCommand command(output.string());
        for (const auto& input : inputs) command.add(input.string());
        return mergeScript(host().string(), command);
    }
    // Add, with the folder dialog answered: the folder chosen, or Cancel when it is empty.
    void add(const fs::path& folder) {
        const auto answer = win::testing::answerDialog(frm_->hwnd(), [folder](HWND dialog) {
            EXPECT_NE(e2e::visibleTexts(dialog).find(
                          L"Please select the directory containing all the movie files"),
                      std::wstring::npos);
            EXPECT_TRUE(e2e::waitUntil([&] { return selectFolder(dialog, folder); }))
                << "the folder dialog did not take " << folder;
            PostMessageW(dialog, WM_COMMAND, folder.empty() ? IDCANCEL : IDOK, 0);
        });
        click(item(FrmMain::Command5));
    }
    // Selects the folder in the dialog once its tree is filled; true when the selection shows it.
    static bool selectFolder(HWND dialog, const fs::path& folder) {
        const HWND tree = e2e::visibleDescendant(dialog, WC_TREEVIEWW);
        if (folder.empty()) return true;
        if (!tree || SendMessageW(tree, TVM_GETCOUNT, 0, 0) == 0) return false;
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
        wchar_t text[MAX_PATH] = {};
        TVITEMW selected{TVIF_TEXT, TreeView_GetSelection(tree), 0, 0, text, MAX_PATH, 0, 0, 0, 0};
        return selected.hItem && TreeView_GetItem(tree, &selected) &&
               folder.filename().wstring() == text;
    }

    // The host root the tests write is put back as it was, before SetUp and after TearDown.
    const win::testing::SavedSetting savedHostRoot_{L"Software\\movarix\\plugins", L"tmp"};
    fs::path movies_;
    const e2e::TempFolder temp_;  // goes last, after the window
    const fs::path root_ = temp_.path();
    win::testing::RecordingPrompter prompter_;
    win::testing::RecordingStarter starter_;
    int ended_ = 0;
    std::unique_ptr<FrmMain> frm_;
};

TEST(SavedSetting, PutsBackWhatTheTestFound) {
    const std::wstring application = L"movarix-test-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring top = L"Software\\" + application, key = top + L"\\plugins";
    // As a test finds the setting: no key, a key without the value, a string, a number.
    struct Case {
        bool key;
        DWORD type;
        std::vector<BYTE> data;
        bool operator==(const Case&) const = default;
    };
    const Case cases[] = {{false, REG_NONE, {}},
                          {true, REG_NONE, {}},
                          {true, REG_SZ, {'h', 0, 0, 0}},
                          {true, REG_DWORD, {7, 0, 0, 0}}};
    for (const auto& c : cases) {
        if (c.key) win::writeSetting(application, L"plugins", L"other", L"");
        if (c.type != REG_NONE)
            RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"tmp", c.type, c.data.data(),
                            static_cast<DWORD>(c.data.size()));
        {
            const win::testing::SavedSetting saved(key, L"tmp");
            ASSERT_EQ(win::writeSetting(application, L"plugins", L"tmp", L"C:\\test"), 0u);
        }
        Case now{false, REG_NONE, std::vector<BYTE>(64)};
        HKEY opened = nullptr;
        now.key = RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened) == 0;
        const win::Key held(opened);
        DWORD size = 64;
        if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), L"tmp", RRF_RT_ANY | RRF_NOEXPAND,
                         &now.type, now.data.data(), &size) != ERROR_SUCCESS)
            now.type = REG_NONE;
        now.data.resize(now.type == REG_NONE ? 0 : size);
        EXPECT_EQ(now, c) << c.type;
        RegDeleteTreeW(HKEY_CURRENT_USER, top.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, top.c_str());
    }
}

TEST_F(Merger, StartsWithTheAviFilesOfAQuotedFolderWithSpaces) {
    EXPECT_EQ(
        win::testing::tabOrder(frm_->hwnd()),
        (std::vector<int>{FrmMain::List1, FrmMain::Command1, FrmMain::Command2, FrmMain::Command3,
                          FrmMain::Command4, FrmMain::Command5, FrmMain::Combo1, FrmMain::Text1}));
    EXPECT_EQ(entries(), (std::vector<std::wstring>{entryOf(videos() / L"a.avi"),
                                                    entryOf(videos() / L"b.avi")}));
    EXPECT_EQ(win::windowText(item(FrmMain::Combo1)), L"Select a Merge Method");
    EXPECT_EQ(SendMessageW(item(FrmMain::Combo1), CB_GETCOUNT, 0, 0), 1);  // "Copy", as merges pick
    EXPECT_EQ(win::testing::labelOf(item(FrmMain::Combo1)), L"Method:");
    EXPECT_EQ(win::testing::labelOf(item(FrmMain::Text1)), L"Output Name:");
    EXPECT_EQ(win::testing::paintedFaultsAtEachDpi(*frm_), std::vector<std::wstring>{});
}

TEST_F(Merger, UpDownAndXMoveAndRemoveTheSelectedEntryUntilNoFilesAreLeft) {
    win::testing::dropFiles(frm_->hwnd(), {(more() / L"c.avi").wstring()});
    const auto a = entryOf(videos() / L"a.avi"), b = entryOf(videos() / L"b.avi"),
               c = entryOf(more() / L"c.avi");
    constexpr int kDeleteKey = 0;  // pressed in the list
    struct Case {
        LRESULT selectBefore;
        int button;
        std::vector<std::wstring> list;
        LRESULT selectAfter;
    };
    const Case cases[] = {
        {-1, FrmMain::Command1, {a, b, c}, LB_ERR}, {-1, FrmMain::Command2, {a, b, c}, LB_ERR},
        {-1, FrmMain::Command4, {a, b, c}, LB_ERR}, {0, FrmMain::Command1, {a, b, c}, 0},
        {2, FrmMain::Command2, {a, b, c}, 2},       {0, FrmMain::Command2, {b, a, c}, 1},
        {1, FrmMain::Command2, {b, c, a}, 2},       {2, FrmMain::Command1, {b, a, c}, 1},
        {0, FrmMain::Command4, {a, c}, 0},          {1, kDeleteKey, {a}, LB_ERR},
        {0, FrmMain::Command4, {}, LB_ERR},
    };
    for (const auto& step : cases) {
        select(step.selectBefore);
        if (step.button == kDeleteKey)
            win::testing::pressKey(item(FrmMain::List1), VK_DELETE);
        else
            click(item(step.button));
        EXPECT_EQ(entries(), step.list) << step.button << " at " << step.selectBefore;
        EXPECT_EQ(selection(), step.selectAfter) << step.button << " at " << step.selectBefore;
    }
    EXPECT_TRUE(prompter_.messages.empty());
    // An empty list is the first thing said, whatever else is wrong.
    SetWindowTextW(item(FrmMain::Combo1), L"copy");
    click(item(FrmMain::Command3));
    EXPECT_EQ(prompter_.messages, (Messages{{L"No Files!", win::MessageIcon::None}}));
}

TEST_F(Merger, AddAppendsAFolderAndMakesItTheOutputFolder) {
    add(fs::path());
    EXPECT_EQ(entries().size(), 2u);
    EXPECT_EQ(frm_->outputFolder(), videos().wstring());
    add(more());
    EXPECT_EQ(frm_->outputFolder(), more().wstring());
    add(videos());
    EXPECT_EQ(entries(),
              (std::vector<std::wstring>{entryOf(videos() / L"a.avi"), entryOf(videos() / L"b.avi"),
                                         entryOf(more() / L"c.avi"), entryOf(videos() / L"a.avi"),
                                         entryOf(videos() / L"b.avi")}));
    EXPECT_EQ(frm_->outputFolder(), videos().wstring());
}

TEST_F(Merger, DroppedFoldersAndAviFilesAreAddedInDropOrder) {
    EXPECT_TRUE(GetWindowLongW(frm_->hwnd(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    const HWND list = item(FrmMain::List1);
    const fs::path wide = root_ / (std::wstring(150, L'w') + L".AVI"), notes = root_ / L"notes.txt";
    std::ofstream(wide) << "RIFF";
    std::ofstream(notes) << "text";
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    EXPECT_FALSE(win::testing::scrollsSideways(list));
    win::testing::dropFiles(frm_->hwnd(), {wide.wstring()});
    EXPECT_TRUE(win::testing::scrollsSideways(list));
    select(0);
    click(item(FrmMain::Command4));
    EXPECT_FALSE(win::testing::scrollsSideways(list));

    win::testing::dropFiles(frm_->hwnd(), {wide.wstring(), notes.wstring(), more().wstring(),
                                           (videos() / L"b.avi").wstring()});
    EXPECT_EQ(entries(), (std::vector<std::wstring>{entryOf(wide), entryOf(more() / L"c.avi"),
                                                    entryOf(videos() / L"b.avi")}));
    EXPECT_EQ(frm_->outputFolder(), more().wstring());  // as Add would
    EXPECT_EQ(
        prompter_.messages,
        (Messages{{L"Only AVI files and folders can be added. Not added:\n\n" + notes.wstring(),
                   win::MessageIcon::None}}));
}

TEST_F(Merger, MergeWritesNothingWhenItRefusesOrTheUserSaysNo) {
    std::ofstream(videos() / L"old.avi") << "an earlier merge";
    const std::wstring quoted = videos().wstring() + L"\\x\" & echo INJECTED & \".avi";
    const auto overInput = [&](const wchar_t* name) {
        return L"The merged file would be written over one of the files it is made from:\n\n" +
               (videos() / name).wstring() + L"\n\nChoose another output name.";
    };
    const std::wstring anyway =
        L"\n\nJoined without re-encoding, such files make a movie that players may not play. "
        L"Merge anyway?";
    struct Case {
        std::wstring listed;  // after a.avi and b.avi: a movie, or an entry as it is
        std::wstring method, name;
        std::wstring told, asked;  // the message or the question, if any
        LRESULT selection;         // afterwards
    };
    const Case cases[] = {
        {L"", L"copy", L"x", L"Invalid Merge Method!", L"", 0},
        {L"", L"Copy", L"a|b", L"Output name invalid!", L"", 0},
        // However an entry that would break out of its quotes got into the list, it is refused.
        {L"x [Path: " + quoted + L"]", L"Copy", L"x", win::unreadablePathMessage(quoted), L"", 2},
        {L"", L"Copy", L"a", overInput(L"a.avi"), L"", 0},
        {L"", L"Copy", L"B.avi", overInput(L"b.avi"), L"", 1},
        {L"", L"Copy", L"old", L"",
         L"The merged file already exists:\n\n" + (videos() / L"old.avi").wstring() +
             L"\n\nReplace it?",
         0},
        {L"codec.avi", L"Copy", L"x", L"",
         L"codec.avi differs from a.avi: video codec MJPG, not FMP4." + anyway, 0},
        {L"rate.avi", L"Copy", L"x", L"",
         L"rate.avi differs from a.avi: frame rate 25 fps, not 10 fps." + anyway, 0},
        {L"audio_format.avi", L"Copy", L"x", L"",
         L"audio_format.avi differs from a.avi: audio format MP3, not PCM." + anyway, 0},
        {L"channels.avi", L"Copy", L"x", L"",
         L"channels.avi differs from a.avi: audio channels 2, not 1." + anyway, 0},
        {L"sample_rate.avi", L"Copy", L"x", L"",
         L"sample_rate.avi differs from a.avi: audio sample rate 11025 Hz, not 8000 Hz." + anyway,
         0},
        {L"bits.avi", L"Copy", L"x", L"",
         L"bits.avi differs from a.avi: audio bits per sample 8, not 16." + anyway, 0},
        {L"silent.avi", L"Copy", L"x", L"",
         L"silent.avi differs from a.avi: audio format none, not PCM." + anyway, 0},
        {L"truncated.avi", L"Copy", L"x", L"", L"truncated.avi cannot be read as AVI." + anyway, 0},
        {L"missing.avi", L"Copy", L"x", L"", L"missing.avi cannot be read as AVI." + anyway, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.listed + L"|" + c.method + L"|" + c.name);
        SendMessageW(item(FrmMain::List1), LB_RESETCONTENT, 0, 0);
        for (const auto& name : {L"a.avi", L"b.avi"}) append(entryOf(videos() / name));
        if (!c.listed.empty())
            append(c.listed.find(L'[') != std::wstring::npos ? c.listed
                                                             : entryOf(movies_ / c.listed));
        SetWindowTextW(item(FrmMain::Combo1), c.method.c_str());
        type(item(FrmMain::Text1), c.name);
        select(0);
        click(item(FrmMain::Command3));
        EXPECT_EQ(prompter_.said(),
                  (c.told.empty() ? Messages{} : Messages{{c.told, win::MessageIcon::None}}));
        EXPECT_EQ(std::exchange(prompter_.questions, {}),
                  (c.asked.empty() ? std::vector<std::wstring>{} : std::vector{c.asked}));
        EXPECT_EQ(selection(), c.selection);
    }
    EXPECT_FALSE(fs::exists(script()));
    EXPECT_TRUE(starter_.starts.empty());
    EXPECT_EQ(ended_, 0);
}

TEST_F(Merger, MergeWritesOverAnOldFileAndJoinsFilesThatDifferWhenTheUserSaysYes) {
    std::ofstream(videos() / L"old.avi") << "an earlier merge";
    append(entryOf(movies_ / L"size.avi"));
    prompter_.answer = true;
    merge(L"old.AVI");
    EXPECT_EQ(prompter_.questions.size(), 2u);  // whether to join them, then whether to replace
    EXPECT_EQ(win::testing::fileBytes(script()),
              scriptFor(videos() / L"old.AVI",
                        {videos() / L"a.avi", videos() / L"b.avi", movies_ / L"size.avi"}));
    EXPECT_EQ(starter_.starts.size(), 1u);
    EXPECT_EQ(ended_, 1);
    EXPECT_EQ(win::testing::fileBytes(videos() / L"old.avi"), "an earlier merge");
}

TEST_F(Merger, MergeWritesTheScriptStartsItAndEndsOnceTheHostsTmpIsThere) {
    // A host root without its tmp folder: the script cannot be created, and the selection stays.
    setHostRoot(root_ / L"nowhere");
    select(0);
    merge(L" my clip ");
    EXPECT_EQ(prompter_.said(),
              (Messages{{L"Error while compiling script!", win::MessageIcon::None}}));
    EXPECT_EQ(selection(), 0);
    EXPECT_TRUE(starter_.starts.empty());
    EXPECT_EQ(ended_, 0);

    setHostRoot(host());
    select(1);
    click(item(FrmMain::Command1));  // b before a
    win::testing::pressKey(item(FrmMain::Text1), VK_RETURN);
    EXPECT_EQ(win::testing::fileBytes(script()),
              scriptFor(videos() / L" my clip .avi", {videos() / L"b.avi", videos() / L"a.avi"}));
    EXPECT_EQ(starter_.starts,
              (std::vector<std::pair<std::wstring, int>>{{script().wstring(), SW_SHOWNORMAL}}));
    EXPECT_EQ(ended_, 1);
    EXPECT_EQ(frm_->hwnd(), nullptr);
}

TEST_F(Merger, AListTooLongForOneCommandIsRefusedAtTheFirstFileThatDoesNotFit) {
    SendMessageW(item(FrmMain::List1), WM_SETREDRAW, FALSE, 0);
    for (int i = 0; i < 2000; ++i)
        append(entryOf(videos() / (L"clip" + std::to_wstring(i) + L".avi")));
    merge(L"all");
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_TRUE(prompter_.messages[0].text.starts_with(L"Too many files for one merge"));
    // Selected: the first entry that the command, whose limit the core's tests hold, refuses.
    MergeCommand command((videos() / L"all.avi").string());
    LRESULT first = 0;
    for (const auto& e : entries()) {
        if (!command.add(fs::path(*entryPath(e)).string())) break;
        ++first;
    }
    EXPECT_EQ(selection(), first);
    EXPECT_FALSE(fs::exists(script()));
}

TEST_F(Merger, LeavesOutNamesThatWindowsForbidsAndSaysSoOnce) {
#ifndef FORBIDDEN_NAMES_FOLDER
    GTEST_SKIP() << "only the Unix side of Wine can make names that Windows forbids";
#else
    const fs::path folder = e2e::builtProgram(FORBIDDEN_NAMES_FOLDER);
    const std::vector<std::wstring> good = {entryOf(folder / L"good 1.avi"),
                                            entryOf(folder / L"good 2.avi")};
    AviFiles leftOut{{}, 3, L"a: b.avi"};
    const Message note{leftOutMessage(leftOut), win::MessageIcon::Information};

    // Start-up: the folder loads while the window is hidden; the note follows once it shows.
    FrmMain started(Services{prompter_, starter_, [] {}});
    ASSERT_TRUE(started.create());
    ASSERT_TRUE(started.loadFolder(startupFolder(L"\"" + folder.wstring() + L"\"")));
    EXPECT_TRUE(prompter_.messages.empty());
    ShowWindow(started.hwnd(), SW_SHOWNOACTIVATE);
    win::testing::pumpMessages();
    EXPECT_EQ(prompter_.messages, Messages{note});
    EXPECT_EQ(win::testing::listEntries(started.item(FrmMain::List1)), good);

    add(folder);
    EXPECT_EQ(prompter_.messages, (Messages{note, note}));
    // Dropped one by one, they are left out by the same rule, and named.
    prompter_.messages.clear();
    // Joined as text: to a path, "a:" would be a drive.
    const std::wstring in = folder.wstring() + L"\\";
    win::testing::dropFiles(frm_->hwnd(), {in + L"x\" & echo INJECTED & \".avi", in + L"a: b.avi",
                                           in + L"good 1.avi", in + L"tab\there.avi"});
    leftOut.firstLeftOut = in + L"x\" & echo INJECTED & \".avi";
    EXPECT_EQ(prompter_.messages, (Messages{{leftOutMessage(leftOut), win::MessageIcon::None}}));
    merge(L"joined");
    EXPECT_EQ(win::testing::fileBytes(script()),
              scriptFor(folder / L"joined.avi",
                        {videos() / L"a.avi", videos() / L"b.avi", folder / L"good 1.avi",
                         folder / L"good 2.avi", folder / L"good 1.avi"}));
#endif
}

TEST_F(Merger, EscOrClosingTheWindowDuringTheCheckStopsTheMerge) {
    // Posted before the click, so that the check's own message loop receives them.
    PostMessageW(frm_->hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
    merge(L"joined");
    EXPECT_NE(frm_->hwnd(), nullptr);
    EXPECT_EQ(ended_, 0);

    PostMessageW(frm_->hwnd(), WM_CLOSE, 0, 0);
    click(item(FrmMain::Command3));
    EXPECT_EQ(frm_->hwnd(), nullptr);
    EXPECT_EQ(ended_, 1);
    EXPECT_FALSE(fs::exists(script()));
    EXPECT_TRUE(prompter_.questions.empty());
    EXPECT_TRUE(starter_.starts.empty());
}

}  // namespace
}  // namespace clipjoiner
