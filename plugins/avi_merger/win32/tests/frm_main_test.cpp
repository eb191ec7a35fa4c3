// The merger's window created in this process and driven as a user drives it, with the message
// box and the program starter replaced by recorders, against real folders and the real registry
// of the test's Wine prefix.
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
#include "win32/tests/painted_window.h"
#include "win32/tests/saved_setting.h"
#include "win32/tests/e2e_host.h"
#include "win32/tests/ui_testing.h"

namespace clipjoiner {
namespace {

namespace fs = std::filesystem;
using win::testing::click;
using win::testing::Message;

class Merger : public testing::Test {
  protected:
    void SetUp() override {
#ifndef TEST_MOVIES
        GTEST_SKIP() << "no test movies: the build found no Linux encoder to make them";
#else
        movies_ = e2e::builtProgram(TEST_MOVIES);
#endif
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        root_ = fs::temp_directory_path() /
                (L"clipjoiner-test-" + std::to_wstring(GetCurrentProcessId()));
        fs::remove_all(root_);
        for (const auto& folder : {host() / L"tmp", host() / L"bin", videos(), more()})
            fs::create_directories(folder);
        // Movies that a stream copy can join.
        for (const auto& [movie, file] :
             {std::pair{L"b.avi", videos() / L"b.avi"}, std::pair{L"a.avi", videos() / L"a.avi"},
              std::pair{L"a.avi", more() / L"c.avi"}})
            fs::copy_file(movies_ / movie, file);
        setHostRoot(host().wstring());
        frm_ = std::make_unique<FrmMain>(Services{prompter_, starter_, [this] { ++ended_; }});
        ASSERT_TRUE(frm_->create());
        ASSERT_TRUE(frm_->loadFolder(startupFolder(L"\"" + videos().wstring() + L"\"")));
        ShowWindow(frm_->hwnd(), SW_SHOWNOACTIVATE);
    }
    void TearDown() override {
        if (!frm_) return;  // skipped
        frm_.reset();
        fs::remove_all(root_);
        CoUninitialize();
    }

    static void setHostRoot(const std::wstring& root) {
        ASSERT_EQ(win::writeSetting(kSettingsApplication, kSettingsSection, kSettingsKey, root),
                  0u);
    }
    fs::path host() const {
        return root_ / L"host";
    }
    fs::path videos() const {
        return root_ / L"My Videos";
    }
    fs::path more() const {
        return root_ / L"More";
    }
    HWND item(int id) const {
        return frm_->item(id);
    }
    std::vector<std::wstring> entries() const {
        return win::testing::listEntries(item(FrmMain::List1));
    }
    LRESULT selection() const {
        return SendMessageW(item(FrmMain::List1), LB_GETCURSEL, 0, 0);
    }
    void select(LRESULT index) {
        SendMessageW(item(FrmMain::List1), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    std::wstring entryOf(const fs::path& file) const {
        return fileEntry(file.filename().wstring(), file.parent_path().wstring());
    }
    void chooseCopy() {
        SendMessageW(item(FrmMain::Combo1), CB_SETCURSEL, 0, 0);
    }
    fs::path script() const {
        return host() / L"tmp" / L"merge.bat";
    }
    // Add, with the folder dialog answered: the folder chosen, or Cancel when it is empty.
    void add(const fs::path& folder) {
        const win::testing::DialogAnswer answer(frm_->hwnd(), [folder](HWND dialog) {
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
        TVITEMW selected{};
        selected.mask = TVIF_TEXT;
        selected.hItem = TreeView_GetSelection(tree);
        selected.pszText = text;
        selected.cchTextMax = MAX_PATH;
        return selected.hItem && TreeView_GetItem(tree, &selected) &&
               folder.filename().wstring() == text;
    }

    // The host root the tests write is put back as it was, before SetUp and after TearDown.
    const win::testing::SavedSetting savedHostRoot_{L"Software\\movarix\\plugins", L"tmp"};
    fs::path movies_;
    fs::path root_;
    win::testing::RecordingPrompter prompter_;
    win::testing::RecordingStarter starter_;
    int ended_ = 0;
    std::unique_ptr<FrmMain> frm_;
};

TEST(SavedSetting, PutsBackWhatTheTestFound) {
    const std::wstring application = L"movarix-test-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring key = L"Software\\" + application + L"\\plugins";
    // The setting as a test finds it: no key, a key without the value, a string, a number.
    struct Case {
        bool key;
        DWORD type;
        std::vector<BYTE> data;
    };
    const Case cases[] = {{false, REG_NONE, {}},
                          {true, REG_NONE, {}},
                          {true, REG_SZ, {'h', 0, 'o', 0, 0, 0}},
                          {true, REG_DWORD, {7, 0, 0, 0}}};
    const auto found = [&] {
        Case now{false, REG_NONE, {}};
        HKEY opened = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
            return now;
        now.key = true;
        DWORD size = 64;
        now.data.resize(size);
        if (RegQueryValueExW(opened, L"tmp", nullptr, &now.type, now.data.data(), &size) !=
            ERROR_SUCCESS)
            now.type = REG_NONE;
        now.data.resize(now.type == REG_NONE ? 0 : size);
        RegCloseKey(opened);
        return now;
    };
    for (const auto& c : cases) {
        if (c.key) {
            HKEY created = nullptr;
            RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &created, nullptr);
            if (c.type != REG_NONE)
                RegSetValueExW(created, L"tmp", 0, c.type, c.data.data(),
                               static_cast<DWORD>(c.data.size()));
            RegCloseKey(created);
        }
        {
            const win::testing::SavedSetting saved(key, L"tmp");
            ASSERT_EQ(win::writeSetting(application, L"plugins", L"tmp", L"C:\\test"), 0u);
        }
        const Case now = found();
        EXPECT_EQ(now.key, c.key);
        EXPECT_EQ(now.type, c.type);
        EXPECT_EQ(now.data, c.data);
        RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\" + application).c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, (L"Software\\" + application).c_str());
    }
}

TEST_F(Merger, StartsWithTheAviFilesOfAQuotedFolderWithSpaces) {
    EXPECT_EQ(win::windowText(frm_->hwnd()), L"AVI Merger");
    EXPECT_EQ(
        win::testing::tabOrder(frm_->hwnd()),
        (std::vector<int>{FrmMain::List1, FrmMain::Command1, FrmMain::Command2, FrmMain::Command3,
                          FrmMain::Command4, FrmMain::Command5, FrmMain::Combo1, FrmMain::Text1}));
    EXPECT_EQ(entries(), (std::vector<std::wstring>{entryOf(videos() / L"a.avi"),
                                                    entryOf(videos() / L"b.avi")}));
    EXPECT_EQ(frm_->outputFolder(), videos().wstring());
    EXPECT_EQ(win::windowText(item(FrmMain::Combo1)), L"Select a Merge Method");
    EXPECT_EQ(SendMessageW(item(FrmMain::Combo1), CB_GETCOUNT, 0, 0), 1);
    chooseCopy();
    EXPECT_EQ(win::windowText(item(FrmMain::Combo1)), L"Copy");
    EXPECT_EQ(win::testing::labelOf(item(FrmMain::Combo1)), L"Method:");
    EXPECT_EQ(win::testing::labelOf(item(FrmMain::Text1)), L"Output Name:");
    RECT client;
    GetClientRect(frm_->hwnd(), &client);
    EXPECT_GE(client.right, MulDiv(373, frm_->dpi(), 96));
    EXPECT_GE(client.bottom, MulDiv(338, frm_->dpi(), 96));
}

TEST_F(Merger, EveryCaptionShowsWholeAt96And144Dpi) {
    for (UINT dpi : win::testing::kCheckedDpis) {
        win::testing::changeDpi(frm_->hwnd(), dpi);
        EXPECT_EQ(win::testing::paintedFaults(frm_->hwnd(), frm_->dpi()),
                  std::vector<std::wstring>{})
            << dpi << " DPI";
    }
}

TEST_F(Merger, UpDownAndXMoveAndRemoveTheSelectedEntry) {
    add(more());
    const auto a = entryOf(videos() / L"a.avi"), b = entryOf(videos() / L"b.avi"),
               c = entryOf(more() / L"c.avi");
    struct Case {
        LRESULT selectBefore;
        int button;  // or kDeleteKey, pressed in the list
        std::vector<std::wstring> list;
        LRESULT selectAfter;
    };
    constexpr int kDeleteKey = 0;
    const Case cases[] = {
        {-1, FrmMain::Command1, {a, b, c}, LB_ERR},
        {-1, FrmMain::Command2, {a, b, c}, LB_ERR},
        {-1, FrmMain::Command4, {a, b, c}, LB_ERR},
        {0, FrmMain::Command1, {a, b, c}, 0},
        {2, FrmMain::Command2, {a, b, c}, 2},
        {0, FrmMain::Command2, {b, a, c}, 1},
        {1, FrmMain::Command2, {b, c, a}, 2},
        {2, FrmMain::Command1, {b, a, c}, 1},
        {0, FrmMain::Command4, {a, c}, 0},
        {1, kDeleteKey, {a}, LB_ERR},
        {-1, kDeleteKey, {a}, LB_ERR},
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
}

TEST_F(Merger, AddAppendsAFolderAndMakesItTheOutputFolder) {
    add(fs::path());
    EXPECT_EQ(entries().size(), 2u);
    EXPECT_EQ(frm_->outputFolder(), videos().wstring());

    add(more());
    add(videos());
    EXPECT_EQ(entries(),
              (std::vector<std::wstring>{entryOf(videos() / L"a.avi"), entryOf(videos() / L"b.avi"),
                                         entryOf(more() / L"c.avi"), entryOf(videos() / L"a.avi"),
                                         entryOf(videos() / L"b.avi")}));
    EXPECT_EQ(frm_->outputFolder(), videos().wstring());
    EXPECT_TRUE(prompter_.errors.empty());
}

TEST_F(Merger, DroppedFoldersAndAviFilesAreAddedInDropOrder) {
    EXPECT_TRUE(GetWindowLongW(frm_->hwnd(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    const HWND list = item(FrmMain::List1);
    const fs::path wide = root_ / L"Long" / (std::wstring(150, L'w') + L".AVI");
    const fs::path notes = root_ / L"Long" / L"notes.txt";
    fs::create_directories(wide.parent_path());
    std::ofstream(wide) << "RIFF";
    std::ofstream(notes) << "text";
    for (std::size_t n = entries().size(); n > 0; --n) {
        select(0);
        win::testing::pressKey(list, VK_DELETE);
    }
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
    EXPECT_EQ(prompter_.messages,
              (std::vector<Message>{
                  {L"Only AVI files and folders can be added. Not added:\n\n" + notes.wstring(),
                   win::MessageIcon::None}}));
    EXPECT_TRUE(prompter_.errors.empty());
}

TEST_F(Merger, MergeChecksThenWritesStartsAndEnds) {
    struct Case {
        std::wstring method, name;
        std::wstring message;
    };
    const Case refused[] = {
        {L"copy", L"x", L"Invalid Merge Method!"},
        {L"Copy ", L"x", L"Invalid Merge Method!"},
        {L"Copy", L"   ", L"Output name invalid!"},
        {L"Copy", L"a|b", L"Output name invalid!"},
    };
    for (const auto& c : refused) {
        SetWindowTextW(item(FrmMain::Combo1), c.method.c_str());
        win::testing::type(item(FrmMain::Text1), c.name);
        prompter_.messages.clear();
        click(item(FrmMain::Command3));
        EXPECT_EQ(prompter_.messages, (std::vector<Message>{{c.message, win::MessageIcon::None}}))
            << c.method << L"|" << c.name;
    }
    EXPECT_FALSE(fs::exists(script()));

    // A host root without its tmp folder: the script cannot be created, and the selection stays.
    setHostRoot((root_ / L"nowhere").wstring());
    chooseCopy();
    win::testing::type(item(FrmMain::Text1), L" my clip ");
    prompter_.messages.clear();
    select(0);
    click(item(FrmMain::Command3));
    EXPECT_EQ(prompter_.messages,
              (std::vector<Message>{{L"Error while compiling script!", win::MessageIcon::None}}));
    EXPECT_EQ(selection(), 0);
    EXPECT_TRUE(starter_.starts.empty());
    EXPECT_EQ(ended_, 0);

    setHostRoot(host().wstring());
    select(1);
    click(item(FrmMain::Command1));  // b before a
    win::testing::pressKey(item(FrmMain::Text1), VK_RETURN);
    const std::string h = host().string(), v = videos().string();
    EXPECT_EQ(win::testing::fileBytes(script()),
              h.substr(0, 2) + "\r\ncd \"" + h + "\\bin\\\"\r\nmencoder -o \"" + v +
                  "\\ my clip .avi\" -ovc copy -oac copy \"" + v + "\\b.avi\" \"" + v +
                  "\\a.avi\" \r\npause\r\n");
    ASSERT_EQ(starter_.starts.size(), 1u);
    EXPECT_EQ(starter_.starts[0], std::make_pair(script().wstring(), SW_SHOWNORMAL));
    EXPECT_EQ(ended_, 1);
    EXPECT_EQ(frm_->hwnd(), nullptr);
}

TEST_F(Merger, MergeNeverWritesOverAnInputAndAsksBeforeReplacingAFile) {
    std::ofstream(videos() / L"old.avi") << "an earlier merge";
    chooseCopy();
    struct Case {
        std::wstring name;
        bool answer;            // to "Replace it?", if asked
        std::wstring message;   // what the user is told, if anything
        std::wstring question;  // what the user is asked, if anything
        LRESULT selection;      // afterwards
        std::wstring merged;    // the output the script names, when it is written
    };
    const auto overInput = [&](const wchar_t* name) {
        return L"The merged file would be written over one of the files it is made from:\n\n" +
               (videos() / name).wstring() + L"\n\nChoose another output name.";
    };
    const auto replace = [&](const wchar_t* name) {
        return L"The merged file already exists:\n\n" + (videos() / name).wstring() +
               L"\n\nReplace it?";
    };
    const Case cases[] = {
        {L"a", false, overInput(L"a.avi"), L"", 0, L""},
        {L"B.avi", false, overInput(L"b.avi"), L"", 1, L""},
        {L"old", false, L"", replace(L"old.avi"), 0, L""},
        {L"old.AVI", true, L"", replace(L"old.AVI"), 1, L"old.AVI"},
    };
    for (const auto& c : cases) {
        prompter_.messages.clear();
        prompter_.questions.clear();
        prompter_.answer = c.answer;
        select(0);
        win::testing::type(item(FrmMain::Text1), c.name);
        click(item(FrmMain::Command3));
        EXPECT_EQ(prompter_.messages.empty() ? L"" : prompter_.messages[0].text, c.message);
        EXPECT_EQ(prompter_.questions.empty() ? L"" : prompter_.questions[0], c.question);
        EXPECT_EQ(starter_.starts.size(), c.merged.empty() ? 0u : 1u) << c.name;
        if (c.merged.empty()) {
            EXPECT_EQ(selection(), c.selection) << c.name;
            EXPECT_FALSE(fs::exists(host() / L"tmp" / L"merge.bat")) << c.name;
        } else {
            const std::string script = win::testing::fileBytes(host() / L"tmp" / L"merge.bat");
            const std::string out = (videos() / c.merged).string();
            EXPECT_NE(script.find("mencoder -o \"" + out + "\" -ovc"), std::string::npos) << script;
        }
    }
    EXPECT_EQ(win::testing::fileBytes(videos() / L"old.avi"), "an earlier merge");
}

TEST_F(Merger, AListTooLongForOneCommandIsRefusedAtTheFirstFileThatDoesNotFit) {
    const HWND list = item(FrmMain::List1);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (int i = 0; i < 2000; ++i) {
        const std::wstring entry = entryOf(videos() / (L"clip" + std::to_wstring(i) + L".avi"));
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    chooseCopy();
    win::testing::type(item(FrmMain::Text1), L"all");
    click(item(FrmMain::Command3));
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0].text.substr(0, 24), L"Too many files for one m");
    // The command up to the selected entry is just over the limit.
    const std::size_t command =
        std::string("mencoder -o \"" + (videos() / L"all.avi").string() + "\" -ovc copy -oac copy ")
            .size();
    std::size_t length = command;
    LRESULT first = 0;
    for (const auto& e : entries()) {
        length += entryPath(e)->size() + 3;
        if (length > kMaxCommandLine) break;
        ++first;
    }
    EXPECT_EQ(selection(), first);
    EXPECT_FALSE(fs::exists(host() / L"tmp" / L"merge.bat"));
}

TEST_F(Merger, AnEmptyListIsTheFirstThingSaid) {
    select(0);
    click(item(FrmMain::Command4));
    click(item(FrmMain::Command4));
    SetWindowTextW(item(FrmMain::Combo1), L"copy");
    click(item(FrmMain::Command3));
    EXPECT_EQ(prompter_.messages, (std::vector<Message>{{L"No Files!", win::MessageIcon::None}}));
}

TEST_F(Merger, LeavesOutNamesThatWindowsForbidsAndSaysSoOnce) {
#ifndef FORBIDDEN_NAMES_FOLDER
    GTEST_SKIP() << "only the Unix side of Wine can make names that Windows forbids";
#else
    const fs::path folder = e2e::builtProgram(FORBIDDEN_NAMES_FOLDER);
    const std::vector<std::wstring> good = {entryOf(folder / L"good 1.avi"),
                                            entryOf(folder / L"good 2.avi")};
    AviFiles leftOut;
    leftOut.leftOut = 3;
    leftOut.firstLeftOut = L"a: b.avi";
    const Message note{leftOutMessage(leftOut), win::MessageIcon::Information};

    // Start-up: the folder loads while the window is hidden; the note follows once it shows.
    FrmMain started(Services{prompter_, starter_, [] {}});
    ASSERT_TRUE(started.create());
    ASSERT_TRUE(started.loadFolder(startupFolder(L"\"" + folder.wstring() + L"\"")));
    EXPECT_TRUE(prompter_.messages.empty());
    ShowWindow(started.hwnd(), SW_SHOWNOACTIVATE);
    win::testing::pumpMessages();
    EXPECT_EQ(prompter_.messages, std::vector<Message>{note});
    EXPECT_EQ(win::testing::listEntries(started.item(FrmMain::List1)), good);

    add(folder);
    EXPECT_EQ(prompter_.messages, (std::vector<Message>{note, note}));
    // Dropped one by one, they are left out by the same rule, and named.
    prompter_.messages.clear();
    // Joined as text: to a path, "a:" would be a drive.
    const std::wstring in = folder.wstring() + L"\\";
    win::testing::dropFiles(frm_->hwnd(), {in + L"x\" & echo INJECTED & \".avi", in + L"a: b.avi",
                                           in + L"good 1.avi", in + L"tab\there.avi"});
    leftOut.firstLeftOut = in + L"x\" & echo INJECTED & \".avi";
    EXPECT_EQ(prompter_.messages,
              (std::vector<Message>{{leftOutMessage(leftOut), win::MessageIcon::None}}));
    EXPECT_EQ(entries(),
              (std::vector<std::wstring>{entryOf(videos() / L"a.avi"), entryOf(videos() / L"b.avi"),
                                         good[0], good[1], good[0]}));
    chooseCopy();
    win::testing::type(item(FrmMain::Text1), L"joined");
    click(item(FrmMain::Command3));
    const std::string h = host().string(), v = videos().string(), f = folder.string();
    EXPECT_EQ(win::testing::fileBytes(script()),
              h.substr(0, 2) + "\r\ncd \"" + h + "\\bin\\\"\r\nmencoder -o \"" + f +
                  "\\joined.avi\" -ovc copy -oac copy \"" + v + "\\a.avi\" \"" + v +
                  "\\b.avi\" \"" + f + "\\good 1.avi\" \"" + f + "\\good 2.avi\" \"" + f +
                  "\\good 1.avi\" \r\npause\r\n");
#endif
}

TEST_F(Merger, AnEntryThatWouldBreakOutOfItsQuotesNeverReachesAScript) {
    // However such an entry got into the list, the script writer refuses its path.
    const std::wstring path = videos().wstring() + L"\\x\" & echo INJECTED & \".avi";
    const std::wstring entry = L"x [Path: " + path + L"]";
    SendMessageW(item(FrmMain::List1), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    chooseCopy();
    win::testing::type(item(FrmMain::Text1), L"joined");
    click(item(FrmMain::Command3));
    EXPECT_EQ(prompter_.messages,
              (std::vector<Message>{{win::unreadablePathMessage(path), win::MessageIcon::None}}));
    EXPECT_FALSE(fs::exists(script()));
    EXPECT_TRUE(starter_.starts.empty());
}

TEST_F(Merger, AsksBeforeJoiningFilesThatAStreamCopyCannotJoin) {
    struct Case {
        const wchar_t* movie;  // listed after a.avi and b.avi
        std::wstring named;    // the question's first line
    };
    const Case cases[] = {
        {L"codec.avi", L"codec.avi differs from a.avi: video codec MJPG, not FMP4."},
        {L"rate.avi", L"rate.avi differs from a.avi: frame rate 25 fps, not 10 fps."},
        {L"audio_format.avi", L"audio_format.avi differs from a.avi: audio format MP3, not PCM."},
        {L"channels.avi", L"channels.avi differs from a.avi: audio channels 2, not 1."},
        {L"sample_rate.avi",
         L"sample_rate.avi differs from a.avi: audio sample rate 11025 Hz, not 8000 Hz."},
        {L"bits.avi", L"bits.avi differs from a.avi: audio bits per sample 8, not 16."},
        {L"silent.avi", L"silent.avi differs from a.avi: audio format none, not PCM."},
        {L"truncated.avi", L"truncated.avi cannot be read as AVI."},
        {L"not_avi.avi", L"not_avi.avi cannot be read as AVI."},
        {L"missing.avi", L"missing.avi cannot be read as AVI."},
        // The last one answered Yes: the merge goes on as if nothing had been asked.
        {L"size.avi", L"size.avi differs from a.avi: frame size 320x240, not 160x120."},
    };
    chooseCopy();
    win::testing::type(item(FrmMain::Text1), L"joined");
    const HWND list = item(FrmMain::List1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.movie);
        const std::wstring entry = entryOf(movies_ / c.movie);
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
        select(0);
        prompter_.questions.clear();
        prompter_.answer = &c == std::end(cases) - 1;
        click(item(FrmMain::Command3));
        ASSERT_EQ(prompter_.questions.size(), 1u);
        EXPECT_TRUE(prompter_.questions[0].starts_with(c.named + L"\n\n"))
            << prompter_.questions[0];
        EXPECT_TRUE(prompter_.questions[0].ends_with(L"Merge anyway?"));
        if (prompter_.answer) break;
        // No: nothing written or started, the selection as it was.
        EXPECT_FALSE(fs::exists(script()));
        EXPECT_EQ(selection(), 0);
        select(2);
        click(item(FrmMain::Command4));
    }
    const std::string v = videos().string(), m = movies_.string(), h = host().string();
    EXPECT_EQ(win::testing::fileBytes(script()),
              h.substr(0, 2) + "\r\ncd \"" + h + "\\bin\\\"\r\nmencoder -o \"" + v +
                  "\\joined.avi\" -ovc copy -oac copy \"" + v + "\\a.avi\" \"" + v +
                  "\\b.avi\" \"" + m + "\\size.avi\" \r\npause\r\n");
    EXPECT_EQ(starter_.starts.size(), 1u);
    EXPECT_EQ(ended_, 1);
}

TEST_F(Merger, EscOrClosingTheWindowDuringTheCheckStopsTheMerge) {
    chooseCopy();
    win::testing::type(item(FrmMain::Text1), L"joined");
    // Posted before the click, so that the check's own message loop receives them.
    PostMessageW(frm_->hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
    click(item(FrmMain::Command3));
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
