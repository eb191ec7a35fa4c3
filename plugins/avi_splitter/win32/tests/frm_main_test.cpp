// The splitter's windows created in this process and driven as a user drives them, with the
// message box and the program starter replaced by recorders.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "frm_main.h"
#include "split_script.h"
#include "win32/job_script_file.h"
#include "win32/tests/e2e_host.h"
#include "win32/tests/painted_window.h"
#include "win32/tests/ui_testing.h"

namespace clipcutter {
namespace {

namespace fs = std::filesystem;
using win::MessageIcon;
using win::testing::click;
using win::testing::Messages;
using win::testing::type;

class Splitter : public testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(root_ / L"host" / L"plugins");
        fs::create_directories(root_ / L"host" / L"tmp");
        frm_ = std::make_unique<FrmMain>(Services{
            prompter_, starter_, (root_ / L"host" / L"plugins").wstring(), [this] { ++ended_; }});
        ASSERT_TRUE(frm_->create());
        ShowWindow(frm_->hwnd(), SW_SHOWNOACTIVATE);
    }
    HWND item(int id) const { return frm_->item(id); }
    HWND dialogItem(int id) const { return frm_->addDialog()->item(id); }
    std::vector<std::wstring> parts() const {
        return win::testing::listEntries(item(FrmMain::List1));
    }
    LRESULT selection() const { return SendMessageW(item(FrmMain::List1), LB_GETCURSEL, 0, 0); }
    void select(LRESULT index) { SendMessageW(item(FrmMain::List1), LB_SETCURSEL, index, 0); }
    void chooseFile(const fs::path& path) {
        SetWindowTextW(item(FrmMain::lb_path), path.wstring().c_str());
    }
    void tick(int box, bool ticked) {
        if ((IsDlgButtonChecked(frm_->addDialog()->hwnd(), box) == BST_CHECKED) != ticked)
            click(dialogItem(box));
    }
    // Add Part, the start and end "h:m:s" typed field by field, the boxes ticked, then OK.
    void addPart(const std::wstring& start, const std::wstring& end, bool fromStart = false,
                 bool untilEnd = false) {
        click(item(FrmMain::Command2));
        std::wistringstream fields(start + L":" + end);
        std::wstring field;
        for (int id : {DlgAdd::txt_hr, DlgAdd::txt_min, DlgAdd::txt_sec, DlgAdd::txt_hr_end,
                       DlgAdd::txt_min_end, DlgAdd::txt_sec_end}) {
            std::getline(fields, field, L':');
            type(dialogItem(id), field);
        }
        tick(DlgAdd::chk_start, fromStart);
        tick(DlgAdd::chk_end, untilEnd);
        click(dialogItem(DlgAdd::OKButton));
    }
    fs::path scriptPath() const { return root_ / L"host" / L"tmp" / L"split.bat"; }

    const e2e::TempFolder temp_;  // goes last, after the windows
    const fs::path root_ = temp_.path();
    win::testing::RecordingPrompter prompter_;
    win::testing::RecordingStarter starter_;
    int ended_ = 0;
    std::unique_ptr<FrmMain> frm_;
};

TEST_F(Splitter, WindowsAsDeclaredShowEveryCaptionWholeAt96And144Dpi) {
    EXPECT_EQ(win::testing::tabOrder(frm_->hwnd()),
              (std::vector<int>{FrmMain::Command1, FrmMain::List1, FrmMain::Command2,
                                FrmMain::Command3, FrmMain::Command4}));

    click(item(FrmMain::Command2));
    const HWND dialog = frm_->addDialog()->hwnd();
    EXPECT_TRUE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);
    EXPECT_EQ(
        win::testing::tabOrder(dialog),
        (std::vector<int>{DlgAdd::OKButton, DlgAdd::CancelButton, DlgAdd::txt_hr, DlgAdd::txt_min,
                          DlgAdd::txt_sec, DlgAdd::txt_hr_end, DlgAdd::txt_min_end,
                          DlgAdd::txt_sec_end, DlgAdd::chk_end, DlgAdd::chk_start}));
    EXPECT_EQ(win::testing::labelOf(dialogItem(DlgAdd::txt_hr)), L"Start:");
    EXPECT_EQ(win::testing::labelOf(dialogItem(DlgAdd::txt_hr_end)), L"End:");

    chooseFile(
        L"C:\\Users\\somebody\\Videos\\Holidays 2023\\Summer at the lake\\"
        L"Day three, evening by the fire.avi");
    for (const win::Form* form :
         {static_cast<win::Form*>(frm_.get()), static_cast<win::Form*>(frm_->addDialog())})
        EXPECT_EQ(win::testing::paintedFaultsAtEachDpi(*form), std::vector<std::wstring>{});
}

TEST_F(Splitter, AddPartOpensBesideTheMainWindowOnItsMonitor) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(frm_->hwnd(), MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT work = monitor.rcWork;
    RECT main, dialog;
    GetWindowRect(frm_->hwnd(), &main);
    // At the left of the screen the dialog opens to the right of the window, at the right to
    // its left; the same dialog moves along when it opens again.
    for (LONG left : {work.left + 10, work.right - (main.right - main.left) - 10}) {
        SetWindowPos(frm_->hwnd(), nullptr, left, work.top + 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        GetWindowRect(frm_->hwnd(), &main);
        click(item(FrmMain::Command2));
        GetWindowRect(frm_->addDialog()->hwnd(), &dialog);
        EXPECT_TRUE(dialog.left >= main.right || dialog.right <= main.left) << left;
        EXPECT_TRUE(dialog.left >= work.left && dialog.right <= work.right &&
                    dialog.top >= work.top && dialog.bottom <= work.bottom)
            << left;
        click(dialogItem(DlgAdd::CancelButton));
    }
}

TEST_F(Splitter, AddPartAppendsItsLinesAndKeepsItsStateUntilItsCloseButton) {
    addPart(L"00:00:00", L"00:00:00");
    const HWND dialog = frm_->addDialog()->hwnd();
    EXPECT_FALSE(IsWindowVisible(dialog));
    addPart(L"1:5:", L"00:00:00", false, true);
    addPart(L"00:10:00", L"00:20:00", true, true);
    EXPECT_EQ(parts(),
              (std::vector<std::wstring>{
                  L"Split From [00:00:00] To [00:00:00]", L"Split From [1:5:] To [End]",
                  L"Split From [00:10:00] To [End]", L"Split From [Start] To [00:20:00]"}));

    // A second press only brings the same dialog forward, as OK and Cancel left it.
    click(item(FrmMain::Command2));
    click(item(FrmMain::Command2));
    ASSERT_EQ(frm_->addDialog()->hwnd(), dialog);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(win::windowText(dialogItem(DlgAdd::txt_min)), L"10");
    EXPECT_FALSE(IsWindowEnabled(dialogItem(DlgAdd::txt_min)));
    EXPECT_FALSE(IsWindowEnabled(dialogItem(DlgAdd::txt_sec_end)));
    tick(DlgAdd::chk_start, false);  // enabled again, the text kept
    EXPECT_TRUE(IsWindowEnabled(dialogItem(DlgAdd::txt_min)));
    EXPECT_FALSE(IsWindowEnabled(dialogItem(DlgAdd::txt_sec_end)));
    EXPECT_EQ(win::windowText(dialogItem(DlgAdd::txt_min)), L"10");
    type(dialogItem(DlgAdd::txt_min), L"42");
    click(dialogItem(DlgAdd::CancelButton));
    EXPECT_EQ(parts().size(), 4u);

    // A click into a field selects its whole text, so that typing replaces it.
    click(item(FrmMain::Command2));
    const HWND field = dialogItem(DlgAdd::txt_sec);
    SendMessageW(field, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(field, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    DWORD from = 1, to = 0;
    SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(std::pair(from, to), std::pair(DWORD{0}, DWORD{2}));
    EXPECT_EQ(win::windowText(dialogItem(DlgAdd::txt_min)), L"42");

    // Its close button unloads it: the next Add Part starts afresh.
    SendMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(parts().size(), 4u);
    click(item(FrmMain::Command2));
    EXPECT_EQ(win::windowText(dialogItem(DlgAdd::txt_min)), L"00");
    EXPECT_EQ(IsDlgButtonChecked(frm_->addDialog()->hwnd(), DlgAdd::chk_end), BST_UNCHECKED);

    // Closing the main window ends the program, the dialog with it.
    const HWND second = frm_->addDialog()->hwnd();
    SendMessageW(frm_->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(ended_, 1);
    EXPECT_FALSE(IsWindow(second));
}

TEST_F(Splitter, ADroppedAviFileBecomesTheInputFile) {
    EXPECT_TRUE(GetWindowLongW(frm_->hwnd(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    const std::wstring movie = (root_ / L"Holiday.AVI").wstring(),
                       notes = (root_ / L"notes.txt").wstring(),
                       folder = (root_ / L"folder.avi").wstring();
    std::ofstream(fs::path(movie)) << "RIFF";
    std::ofstream(fs::path(notes)) << "text";
    fs::create_directories(folder);
    struct Case {
        std::vector<std::wstring> dropped;
        std::wstring message;  // what the user is told, if anything
    };
    const Case cases[] = {
        {{movie}, L""},
        {{notes}, L"Only an AVI file can be split:\n\n" + notes},
        {{folder}, L"Only an AVI file can be split:\n\n" + folder},
        {{movie, movie}, L"Drop one AVI file at a time: the splitter cuts one file."},
    };
    for (const auto& c : cases) {
        win::testing::dropFiles(frm_->hwnd(), c.dropped);
        EXPECT_EQ(win::windowText(item(FrmMain::lb_path)), movie);
        const Messages said = prompter_.said();
        EXPECT_EQ(said.empty() ? L"" : said[0].text, c.message);
    }
}

TEST_F(Splitter, StartWritesTheRemainingPartsInTheConsoleCodePageAndStartsItMinimized) {
    // A folder on E: that does not exist has no short name: without an "é" in the console's code
    // page, the path cannot be written at all.
    const std::wstring input = L"E:\\Vid\u00e9o 100%\\a.avi";
    addPart(L"00:00:01", L"00:00:02");
    addPart(L"00:00:05", L"00:00:15");
    addPart(L"00:00:05", L"00:00:15", true, false);
    // Remove and Delete need a selection; the parts close up behind the one removed.
    const Messages nothing = {{L"Nothing selected!", MessageIcon::None}};
    click(item(FrmMain::Command3));
    EXPECT_EQ(prompter_.said(), nothing);
    const HWND list = item(FrmMain::List1);
    select(0);
    win::testing::pressKey(list, VK_DELETE);
    EXPECT_EQ(selection(), LB_ERR);
    EXPECT_EQ(GetFocus(), list);  // so that the next Delete goes to the list again
    win::testing::pressKey(list, VK_DELETE);
    EXPECT_EQ(prompter_.said(), nothing);

    // Where the script cannot be written, the run-time error report, and nothing started.
    fs::remove_all(root_ / L"host" / L"tmp");
    chooseFile(root_ / L"in.avi");
    click(item(FrmMain::Command4));
    ASSERT_EQ(prompter_.errors.size(), 1u);
    EXPECT_EQ(prompter_.errors[0].path, scriptPath().wstring());
    EXPECT_EQ(prompter_.errors[0].code, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(starter_.starts.empty());

    fs::create_directories(root_ / L"host" / L"tmp");
    std::ofstream(scriptPath()) << "left over from an earlier run\r\n";
    chooseFile(input);
    click(item(FrmMain::Command4));
    char e[4] = {};
    BOOL lost = FALSE;
    if (WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, L"\u00e9", 1, e, 4, nullptr, &lost) !=
            1 ||
        lost) {
        EXPECT_EQ(prompter_.said(),
                  (Messages{{win::unreadablePathMessage(input), MessageIcon::None}}));
        EXPECT_TRUE(starter_.starts.empty());
        return;
    }
    EXPECT_EQ(prompter_.said(), Messages{});
    EXPECT_EQ(selection(), 1);
    EXPECT_EQ(
        starter_.starts,
        (std::vector<std::pair<std::wstring, int>>{{scriptPath().wstring(), SW_SHOWMINIMIZED}}));
    // The lines themselves are the core's; here: the parts left, the path in the console's bytes.
    const std::string host = (root_ / L"host").string(),
                      video = std::string("E:\\Vid") + e + "o 100%";
    const std::vector<std::wstring> left = {L"Split From [00:00:05] To [00:00:15]",
                                            L"Split From [Start] To [00:00:15]"};
    EXPECT_EQ(win::testing::fileBytes(scriptPath()),
              std::get<std::string>(
                  splitScript({host.substr(0, 2), host, video + "\\a.avi", video, left})));
}

TEST_F(Splitter, StartRefusesWhatItCannotPassOnAndSelectsThePartItNames) {
    const std::wstring onlyTimes =
        L"\".\n\nA time may hold only letters, digits and the characters . : + -";
    const std::wstring in = (root_ / L"in.avi").wstring(),
                       quote = root_.wstring() + L"\\x\" & echo INJECTED & \".avi";
    struct Case {
        std::wstring input, start, end;
        bool untilEnd;
        std::wstring message;
        LRESULT selection;
    };
    const Case cases[] = {
        {L"Path", L"00:00:00", L"00:00:01", false, L"You did not select a file!", LB_ERR},
        {quote, L"00:00:00", L"00:00:01", false, win::unreadablePathMessage(quote), LB_ERR},
        {in, L"00:00:1 & del *", L"", true,
         L"Part 2 cannot be passed to the encoder: \"00:00:1 & del *" + onlyTimes, 1},
        {in, L"00:01:00", L"00:00:30", false,
         L"Part 2 does not end after it starts: from 00:01:00 to 00:00:30.\n\nThe encoder would "
         L"cut another range. Remove the part and add it with an end after its start.",
         1},
        {in, L"00:00:00", L"00:00:" + std::wstring(8200, L'1'), false,
         L"Part 2 cannot be passed to the encoder: its command would be longer than the 8191 "
         L"characters the command prompt reads.\n\nShorten its times or the path of the input "
         L"file.",
         1},
    };
    addPart(L"00:00:00", L"00:00:01");
    for (const auto& c : cases) {
        chooseFile(c.input);
        addPart(c.start, c.end.empty() ? L"00:00:00" : c.end, false, c.untilEnd);
        addPart(L"00:00:02", L"00:00:03");
        click(item(FrmMain::Command4));
        EXPECT_EQ(prompter_.said(), (Messages{{c.message, MessageIcon::None}}));
        EXPECT_FALSE(fs::exists(scriptPath()));
        EXPECT_TRUE(starter_.starts.empty());
        EXPECT_EQ(selection(), c.selection);
        // Remove takes the part the message names.
        select(1);
        click(item(FrmMain::Command3));
        select(1);
        click(item(FrmMain::Command3));
        ASSERT_EQ(parts(), (std::vector<std::wstring>{L"Split From [00:00:00] To [00:00:01]"}));
    }
}

TEST_F(Splitter, APathTheConsoleCannotReadIsWrittenShortWhereTheMachineHasShortNames) {
    const fs::path folder = root_ / L"\u6620\u753b";  // no OEM code page holds these
    fs::create_directories(folder);
    std::ofstream(folder / L"clip.avi") << "RIFF";
    // Short names can be turned off for a drive; Wine always makes them.
    wchar_t shortName[MAX_PATH] = {};
    const std::wstring_view shortForm(shortName,
                                      GetShortPathNameW(folder.c_str(), shortName, MAX_PATH));
    const bool readableShort =
        !shortForm.empty() && shortForm.size() < MAX_PATH && shortForm != folder.wstring() &&
        std::all_of(shortForm.begin(), shortForm.end(), [](wchar_t c) { return c < 0x80; });
    chooseFile(folder / L"clip.avi");
    addPart(L"00:00:01", L"00:00:02");
    click(item(FrmMain::Command4));
    if (!readableShort) {
        EXPECT_EQ(prompter_.said(),
                  (Messages{{win::unreadablePathMessage((folder / L"clip.avi").wstring()),
                             MessageIcon::None}}));
        EXPECT_FALSE(fs::exists(scriptPath()));
        return;
    }
    // Written short: the names in the script lead to the same file and folder.
    EXPECT_EQ(prompter_.said(), Messages{});
    const std::string script = win::testing::fileBytes(scriptPath());
    const auto quoted = [&](std::size_t from) {
        const auto open = script.find('"', from);
        return fs::path(script.substr(open + 1, script.find('"', open + 1) - open - 1));
    };
    EXPECT_TRUE(fs::equivalent(quoted(script.find("mencoder")), folder / L"clip.avi"));
    EXPECT_TRUE(fs::equivalent(quoted(script.find("-o")).parent_path(), folder));
}

TEST_F(Splitter, BrowseRemembersTheLastChoiceAndItsLength) {
#ifndef TEST_MOVIES
    GTEST_SKIP() << "no test movies: the build found no Linux encoder to make them";
#else
    const fs::path movie = root_ / L"holiday clip.avi", unknown = root_ / L"not a movie.avi";
    fs::copy_file(e2e::builtProgram(TEST_MOVIES) / L"movie20.avi", movie);
    std::ofstream(unknown) << "RIFF";
    // The file-open dialog answered: the name typed and Open, or Cancel when it is empty.
    const auto browse = [&](const std::wstring& name) {
        const auto answer = win::testing::answerDialog(frm_->hwnd(), [name](HWND dialog) {
            if (!name.empty())
                SendMessageW(e2e::visibleDescendant(dialog, L"Edit"), WM_SETTEXT, 0,
                             reinterpret_cast<LPARAM>(name.c_str()));
            PostMessageW(dialog, WM_COMMAND, name.empty() ? IDCANCEL : IDOK, 0);
        });
        click(item(FrmMain::Command1));
    };
    browse(L"");
    EXPECT_EQ(prompter_.said(), (Messages{{L"Nothing was selected", MessageIcon::Information}}));
    EXPECT_EQ(win::windowText(item(FrmMain::lb_path)), L"Path");
    browse(movie.wstring());
    browse(L"");
    EXPECT_EQ(win::windowText(item(FrmMain::lb_path)), movie.wstring());
    EXPECT_EQ(win::windowText(item(FrmMain::lb_length)), L"Movie length: 00:00:20");
    EXPECT_EQ(prompter_.said(), Messages{});

    // A file the reader cannot open: its length is unknown, and no part is held to it.
    addPart(L"00:00:20", L"00:00:00", false, true);
    browse(unknown.wstring());
    EXPECT_EQ(win::windowText(item(FrmMain::lb_length)), L"Movie length: unknown");
    click(item(FrmMain::Command4));
    EXPECT_EQ(starter_.starts.size(), 1u);
#endif
}

}  // namespace
}  // namespace clipcutter
