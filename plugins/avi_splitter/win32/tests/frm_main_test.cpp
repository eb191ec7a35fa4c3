// The splitter's windows created in this process and driven as a user drives them, with the
// message box and the program starter replaced by recorders.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <fstream>

#include "frm_main.h"
#include "win32/job_script_file.h"
#include "win32/tests/painted_window.h"
#include "win32/tests/e2e_host.h"
#include "win32/tests/ui_testing.h"

namespace clipcutter {
namespace {

namespace fs = std::filesystem;

using win::testing::click;
using win::testing::Message;
using win::testing::type;

class Splitter : public testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                (L"clipcutter-test-" + std::to_wstring(GetCurrentProcessId()));
        fs::remove_all(root_);
        fs::create_directories(root_ / L"host" / L"plugins");
        fs::create_directories(root_ / L"host" / L"tmp");
        frm_ = std::make_unique<FrmMain>(Services{
            prompter_, starter_, (root_ / L"host" / L"plugins").wstring(), [this] { ++ended_; }});
        ASSERT_TRUE(frm_->create());
        ShowWindow(frm_->hwnd(), SW_SHOWNOACTIVATE);
    }
    void TearDown() override {
        frm_.reset();
        fs::remove_all(root_);
    }

    HWND item(int id) const { return frm_->item(id); }
    HWND dialogItem(int id) const { return frm_->addDialog()->item(id); }
    std::vector<std::wstring> parts() const {
        return win::testing::listEntries(item(FrmMain::List1));
    }
    LRESULT selection() const { return SendMessageW(item(FrmMain::List1), LB_GETCURSEL, 0, 0); }
    void chooseFile(const fs::path& path) {
        SetWindowTextW(item(FrmMain::lb_path), path.wstring().c_str());
    }
    // Add Part, the given start and end typed in, the given boxes ticked, then OK.
    void addPart(const std::wstring& start, const std::wstring& end, bool fromStart = false,
                 bool untilEnd = false) {
        click(item(FrmMain::Command2));
        const int fields[] = {DlgAdd::txt_hr,     DlgAdd::txt_min,     DlgAdd::txt_sec,
                              DlgAdd::txt_hr_end, DlgAdd::txt_min_end, DlgAdd::txt_sec_end};
        std::vector<std::wstring> texts;
        for (const std::wstring* time : {&start, &end})
            for (std::size_t from = 0, colon = 0; colon != std::wstring::npos; from = colon + 1) {
                colon = time->find(L':', from);
                texts.push_back(time->substr(from, colon - from));
            }
        for (int i = 0; i < 6; ++i) type(dialogItem(fields[i]), texts[i]);
        const auto tick = [this](int box, bool want) {
            if ((IsDlgButtonChecked(frm_->addDialog()->hwnd(), box) == BST_CHECKED) != want)
                click(dialogItem(box));
        };
        tick(DlgAdd::chk_start, fromStart);
        tick(DlgAdd::chk_end, untilEnd);
        click(dialogItem(DlgAdd::OKButton));
    }
    fs::path scriptPath() const { return root_ / L"host" / L"tmp" / L"split.bat"; }

    fs::path root_;
    win::testing::RecordingPrompter prompter_;
    win::testing::RecordingStarter starter_;
    int ended_ = 0;
    std::unique_ptr<FrmMain> frm_;
};

TEST_F(Splitter, WindowsAsDeclared) {
    EXPECT_EQ(win::windowText(frm_->hwnd()), L"Movarix Plugin ID:4401 - AVI Splitter");
    RECT client;
    GetClientRect(frm_->hwnd(), &client);
    EXPECT_GE(client.right, MulDiv(398, frm_->dpi(), 96));
    EXPECT_GE(client.bottom, MulDiv(294, frm_->dpi(), 96));
    EXPECT_EQ(win::testing::tabOrder(frm_->hwnd()),
              (std::vector<int>{FrmMain::Command1, FrmMain::List1, FrmMain::Command2,
                                FrmMain::Command3, FrmMain::Command4}));
    EXPECT_EQ(win::windowText(item(FrmMain::lb_path)), L"Path");

    click(item(FrmMain::Command2));
    const HWND dialog = frm_->addDialog()->hwnd();
    EXPECT_EQ(win::windowText(dialog), L"Add Part");
    EXPECT_TRUE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);
    EXPECT_EQ(
        win::testing::tabOrder(dialog),
        (std::vector<int>{DlgAdd::OKButton, DlgAdd::CancelButton, DlgAdd::txt_hr, DlgAdd::txt_min,
                          DlgAdd::txt_sec, DlgAdd::txt_hr_end, DlgAdd::txt_min_end,
                          DlgAdd::txt_sec_end, DlgAdd::chk_end, DlgAdd::chk_start}));
    EXPECT_EQ(win::testing::labelOf(dialogItem(DlgAdd::txt_hr)), L"Start:");
    EXPECT_EQ(win::testing::labelOf(dialogItem(DlgAdd::txt_hr_end)), L"End:");
}

TEST_F(Splitter, AddPartOpensBesideTheMainWindowOnItsMonitor) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(frm_->hwnd(), MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT work = monitor.rcWork;
    RECT main;
    GetWindowRect(frm_->hwnd(), &main);
    const LONG width = main.right - main.left;
    // At the left of the screen the dialog opens to the right of the window, at the right to
    // its left; the same dialog moves along when it opens again.
    for (LONG left : {work.left + 10, work.right - width - 10}) {
        SetWindowPos(frm_->hwnd(), nullptr, left, work.top + 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        GetWindowRect(frm_->hwnd(), &main);
        click(item(FrmMain::Command2));
        RECT dialog;
        GetWindowRect(frm_->addDialog()->hwnd(), &dialog);
        EXPECT_TRUE(dialog.left >= main.right || dialog.right <= main.left) << left;
        EXPECT_TRUE(dialog.left >= work.left && dialog.right <= work.right &&
                    dialog.top >= work.top && dialog.bottom <= work.bottom)
            << left;
        click(dialogItem(DlgAdd::CancelButton));
    }
}

TEST_F(Splitter, EveryCaptionShowsWholeAt96And144Dpi) {
    chooseFile(
        L"C:\\Users\\somebody\\Videos\\Holidays 2023\\Summer at the lake\\"
        L"Day three, evening by the fire.avi");
    click(item(FrmMain::Command2));
    const HWND dialog = frm_->addDialog()->hwnd();
    for (UINT dpi : win::testing::kCheckedDpis) {
        for (win::Form* form :
             {static_cast<win::Form*>(frm_.get()), static_cast<win::Form*>(frm_->addDialog())}) {
            win::testing::changeDpi(form->hwnd(), dpi);
            EXPECT_EQ(win::testing::paintedFaults(form->hwnd(), form->dpi()),
                      std::vector<std::wstring>{})
                << win::windowText(form->hwnd()) << " at " << dpi << " DPI";
        }
    }
    EXPECT_TRUE(IsWindowVisible(dialog));
}

TEST_F(Splitter, AddPartComposesLinesFromTheFields) {
    addPart(L"00:00:00", L"00:00:00");
    EXPECT_FALSE(IsWindowVisible(frm_->addDialog()->hwnd()));
    addPart(L"1:5:", L"00:00:00", false, true);
    addPart(L"00:10:00", L"00:20:00", true, true);
    EXPECT_EQ(parts(),
              (std::vector<std::wstring>{
                  L"Split From [00:00:00] To [00:00:00]", L"Split From [1:5:] To [End]",
                  L"Split From [00:10:00] To [End]", L"Split From [Start] To [00:20:00]"}));
}

TEST_F(Splitter, AddPartKeepsItsStateAcrossOkAndCancelButNotItsCloseButton) {
    click(item(FrmMain::Command2));
    const HWND dialog = frm_->addDialog()->hwnd();
    type(dialogItem(DlgAdd::txt_min), L"42");
    click(dialogItem(DlgAdd::chk_start));
    EXPECT_FALSE(IsWindowEnabled(dialogItem(DlgAdd::txt_hr)));
    EXPECT_TRUE(IsWindowEnabled(dialogItem(DlgAdd::txt_hr_end)));
    click(dialogItem(DlgAdd::CancelButton));
    EXPECT_TRUE(parts().empty());

    click(item(FrmMain::Command2));
    click(item(FrmMain::Command2));  // a second press only brings the same dialog forward
    ASSERT_EQ(frm_->addDialog()->hwnd(), dialog);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(win::windowText(dialogItem(DlgAdd::txt_min)), L"42");
    EXPECT_EQ(IsDlgButtonChecked(dialog, DlgAdd::chk_start), BST_CHECKED);
    EXPECT_FALSE(IsWindowEnabled(dialogItem(DlgAdd::txt_min)));
    click(dialogItem(DlgAdd::chk_start));  // unticked: enabled again, text kept
    EXPECT_TRUE(IsWindowEnabled(dialogItem(DlgAdd::txt_min)));
    EXPECT_EQ(win::windowText(dialogItem(DlgAdd::txt_min)), L"42");
    click(dialogItem(DlgAdd::OKButton));
    EXPECT_EQ(parts(), (std::vector<std::wstring>{L"Split From [00:42:00] To [00:00:00]"}));

    click(item(FrmMain::Command2));
    EXPECT_EQ(win::windowText(dialogItem(DlgAdd::txt_min)), L"42");
    SendMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(parts().size(), 1u);
    click(item(FrmMain::Command2));
    EXPECT_EQ(win::windowText(dialogItem(DlgAdd::txt_min)), L"00");
}

TEST_F(Splitter, ClickIntoAFieldSelectsItsText) {
    click(item(FrmMain::Command2));
    const HWND field = dialogItem(DlgAdd::txt_sec_end);
    SetWindowTextW(field, L"12345");
    SendMessageW(field, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(field, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    DWORD from = 1, to = 0;
    SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(to, 5u);
}

TEST_F(Splitter, RemoveAndDeleteNeedASelectionAndRenumberTheParts) {
    const HWND list = item(FrmMain::List1);
    click(item(FrmMain::Command3));
    EXPECT_EQ(prompter_.messages,
              (std::vector<Message>{{L"Nothing selected!", win::MessageIcon::None}}));

    addPart(L"00:00:01", L"00:00:02");
    addPart(L"00:00:03", L"00:00:04");
    addPart(L"00:00:05", L"00:00:06");
    SendMessageW(list, LB_SETCURSEL, 0, 0);
    win::testing::pressKey(list, VK_DELETE);
    EXPECT_EQ(parts().size(), 2u);
    EXPECT_EQ(selection(), LB_ERR);
    EXPECT_EQ(GetFocus(), list);  // so that the next Delete goes to the list again
    win::testing::pressKey(list, VK_DELETE);
    click(item(FrmMain::Command3));
    EXPECT_EQ(prompter_.messages.size(), 3u);

    chooseFile(root_ / L"in.avi");
    click(item(FrmMain::Command4));
    const std::string script = win::testing::fileBytes(scriptPath());
    EXPECT_NE(script.find("-ss 00:00:03 -endpos 00:00:01 -o"), std::string::npos);
    EXPECT_NE(script.find("part_ 1.avi\"\r\n"), std::string::npos);
    EXPECT_NE(script.find("part_ 2.avi\"\r\n"), std::string::npos);
    EXPECT_EQ(script.find("part_ 3.avi"), std::string::npos);
}

TEST_F(Splitter, ADroppedAviFileBecomesTheInputFile) {
    EXPECT_TRUE(GetWindowLongW(frm_->hwnd(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    const fs::path movie = root_ / L"Holiday.AVI", notes = root_ / L"notes.txt",
                   folder = root_ / L"folder.avi";
    std::ofstream(movie) << "RIFF";
    std::ofstream(notes) << "text";
    fs::create_directories(folder);
    struct Case {
        std::vector<std::wstring> dropped;
        std::wstring path;     // the input file afterwards
        std::wstring message;  // what the user is told, if anything
    };
    const Case cases[] = {
        {{movie.wstring()}, movie.wstring(), L""},
        {{notes.wstring()},
         movie.wstring(),
         L"Only an AVI file can be split:\n\n" + notes.wstring()},
        {{folder.wstring()},
         movie.wstring(),
         L"Only an AVI file can be split:\n\n" + folder.wstring()},
        {{movie.wstring(), movie.wstring()},
         movie.wstring(),
         L"Drop one AVI file at a time: the splitter cuts one file."},
    };
    for (const auto& c : cases) {
        prompter_.messages.clear();
        win::testing::dropFiles(frm_->hwnd(), c.dropped);
        EXPECT_EQ(win::windowText(item(FrmMain::lb_path)), c.path);
        EXPECT_EQ(prompter_.messages.empty() ? L"" : prompter_.messages[0].text, c.message);
    }
}

// Text in the console's code page as this machine converts it; none when that code page lacks
// a character of it.
std::optional<std::string> consoleBytes(std::wstring_view text) {
    BOOL lost = FALSE;
    std::string bytes(text.size() * 4, '\0');
    const int n = WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, text.data(),
                                      static_cast<int>(text.size()), bytes.data(),
                                      static_cast<int>(bytes.size()), nullptr, &lost);
    if (n <= 0 || lost) return std::nullopt;
    bytes.resize(static_cast<std::size_t>(n));
    return bytes;
}

TEST_F(Splitter, StartWritesTheScriptInTheConsoleCodePageAndStartsItMinimized) {
    click(item(FrmMain::Command4));
    EXPECT_EQ(prompter_.messages,
              (std::vector<Message>{{L"You did not select a file!", win::MessageIcon::None}}));
    EXPECT_FALSE(fs::exists(scriptPath()));
    EXPECT_TRUE(starter_.starts.empty());

    // A folder on E: that does not exist has no short name: without an "é" in the console's code
    // page, the path cannot be written at all.
    const std::wstring input = L"E:\\Vid\u00e9o 100%\\a.avi";
    const auto e = consoleBytes(L"\u00e9");
    std::ofstream(scriptPath()) << "left over from an earlier run\r\n";
    chooseFile(input);
    addPart(L"00:00:05", L"00:00:15");
    addPart(L"00:00:05", L"00:00:15", true, false);
    prompter_.messages.clear();
    click(item(FrmMain::Command4));
    if (!e) {
        EXPECT_EQ(
            prompter_.messages,
            (std::vector<Message>{{win::unreadablePathMessage(input), win::MessageIcon::None}}));
        EXPECT_TRUE(starter_.starts.empty());
        return;
    }
    EXPECT_TRUE(prompter_.messages.empty());
    EXPECT_EQ(selection(), 1);
    ASSERT_EQ(starter_.starts.size(), 1u);
    EXPECT_EQ(starter_.starts[0], std::make_pair(scriptPath().wstring(), SW_SHOWMINIMIZED));
    const std::string host = (root_ / L"host").string();  // ASCII temp path
    const std::string video = "E:\\Vid" + *e + "o 100%%\\";
    EXPECT_EQ(win::testing::fileBytes(scriptPath()),
              host.substr(0, 2) + "\r\ncd \"" + host + "\\bin\\\"\r\n" + "mencoder \"" + video +
                  "a.avi\" -ovc copy -oac copy -ss 00:00:05 -endpos 00:00:10 -o \"" + video +
                  "part_ 1.avi\"\r\nmencoder \"" + video +
                  "a.avi\" -ovc copy -oac copy  -endpos 00:00:15 -o \"" + video +
                  "part_ 2.avi\"\r\n");
}

TEST_F(Splitter, StartRefusesAPartItCannotPassOnAndSelectsIt) {
    const std::wstring onlyTimes =
        L"\".\n\nA time may hold only letters, digits and the characters . : + -";
    struct Case {
        std::wstring start, end;
        bool untilEnd;
        std::wstring message;
    };
    const Case cases[] = {
        {L"00:00:1 & del *", L"", true,
         L"Part 2 cannot be passed to the encoder: \"00:00:1 & del *" + onlyTimes},
        {L"00:00:1]", L"", true,
         L"Part 2 cannot be passed to the encoder: \"Split From [00:00:1]] To [End]" + onlyTimes},
        {L"00:01:00", L"00:00:30", false,
         L"Part 2 does not end after it starts: from 00:01:00 to 00:00:30.\n\nThe encoder would "
         L"cut another range. Remove the part and add it with an end after its start."},
        {L"00:00:00", L"00:00:" + std::wstring(8200, L'1'), false,
         L"Part 2 cannot be passed to the encoder: its command would be longer than the 8191 "
         L"characters the command prompt reads.\n\nShorten its times or the path of the input "
         L"file."},
    };
    chooseFile(root_ / L"in.avi");
    addPart(L"00:00:00", L"00:00:01");
    for (const auto& c : cases) {
        addPart(c.start, c.end.empty() ? L"00:00:00" : c.end, false, c.untilEnd);
        addPart(L"00:00:02", L"00:00:03");
        prompter_.messages.clear();
        click(item(FrmMain::Command4));
        EXPECT_EQ(prompter_.messages, (std::vector<Message>{{c.message, win::MessageIcon::None}}));
        EXPECT_FALSE(fs::exists(scriptPath()));
        EXPECT_TRUE(starter_.starts.empty());
        // Remove takes the part the message names.
        EXPECT_EQ(selection(), 1);
        click(item(FrmMain::Command3));
        SendMessageW(item(FrmMain::List1), LB_SETCURSEL, 1, 0);
        click(item(FrmMain::Command3));
        ASSERT_EQ(parts(), (std::vector<std::wstring>{L"Split From [00:00:00] To [00:00:01]"}));
    }
}

TEST_F(Splitter, StartRefusesAnInputPathThatWouldBreakOutOfItsQuotes) {
    addPart(L"00:00:00", L"00:00:01");
    for (const std::wstring& input : {root_.wstring() + L"\\x\" & echo INJECTED & \".avi",
                                      root_.wstring() + L"\\tab\there.avi"}) {
        chooseFile(input);
        prompter_.messages.clear();
        click(item(FrmMain::Command4));
        EXPECT_EQ(
            prompter_.messages,
            (std::vector<Message>{{win::unreadablePathMessage(input), win::MessageIcon::None}}));
        EXPECT_FALSE(fs::exists(scriptPath()));
        EXPECT_TRUE(starter_.starts.empty());
    }
}

TEST_F(Splitter, APathTheConsoleCannotReadIsWrittenShortWhereTheMachineHasShortNames) {
    const fs::path folder = root_ / L"\u6620\u753b";  // no OEM code page holds these
    fs::create_directories(folder);
    std::ofstream(folder / L"clip.avi") << "RIFF";
    // Short names can be turned off for a drive; Wine always makes them.
    wchar_t shortName[MAX_PATH] = {};
    const DWORD n = GetShortPathNameW(folder.c_str(), shortName, MAX_PATH);
    const std::wstring_view shortForm(shortName, n < MAX_PATH ? n : 0);
    const bool readableShort =
        !shortForm.empty() && shortForm != folder.wstring() &&
        std::all_of(shortForm.begin(), shortForm.end(), [](wchar_t c) { return c < 0x80; });
    chooseFile(folder / L"clip.avi");
    addPart(L"00:00:01", L"00:00:02");
    click(item(FrmMain::Command4));
    if (!readableShort) {
        ASSERT_EQ(prompter_.messages.size(), 1u);
        EXPECT_NE(prompter_.messages[0].text.find(folder.wstring()), std::wstring::npos);
        EXPECT_FALSE(fs::exists(scriptPath()));
        return;
    }
    // Written short: the names in the script lead to the same file and folder.
    EXPECT_TRUE(prompter_.messages.empty());
    const std::string script = win::testing::fileBytes(scriptPath());
    const auto quoted = [&](std::size_t from) {
        const auto open = script.find('"', from);
        return script.substr(open + 1, script.find('"', open + 1) - open - 1);
    };
    const std::string input = quoted(script.find("mencoder"));
    const std::string output = quoted(script.find("-o"));
    EXPECT_TRUE(fs::equivalent(fs::path(input), folder / L"clip.avi")) << input;
    EXPECT_TRUE(fs::equivalent(fs::path(output).parent_path(), folder)) << output;
}

TEST_F(Splitter, AFailedWriteIsReportedNotStarted) {
    fs::remove_all(root_ / L"host" / L"tmp");
    chooseFile(root_ / L"in.avi");
    click(item(FrmMain::Command4));
    ASSERT_EQ(prompter_.errors.size(), 1u);
    EXPECT_EQ(prompter_.errors[0].path, scriptPath().wstring());
    EXPECT_EQ(prompter_.errors[0].code, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(starter_.starts.empty());
}

TEST_F(Splitter, ClosingTheMainWindowEndsEverything) {
    click(item(FrmMain::Command2));
    const HWND dialog = frm_->addDialog()->hwnd();
    SendMessageW(frm_->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(ended_, 1);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(frm_->hwnd(), nullptr);
}

// Answers the file-open dialog: a file name and Open, or Cancel when the name is empty.
win::testing::DialogAnswer fileDialogAnswer(HWND owner, const std::wstring& name) {
    return {owner, [name](HWND dialog) {
                EXPECT_EQ(win::windowText(dialog), L"Select input file");
                if (!name.empty())
                    SendMessageW(e2e::visibleDescendant(dialog, L"Edit"), WM_SETTEXT, 0,
                                 reinterpret_cast<LPARAM>(name.c_str()));
                PostMessageW(dialog, WM_COMMAND, name.empty() ? IDCANCEL : IDOK, 0);
            }};
}

TEST_F(Splitter, BrowseRemembersTheLastChoiceAndItsLength) {
#ifndef TEST_MOVIES
    GTEST_SKIP() << "no test movies: the build found no Linux encoder to make them";
#else
    const fs::path movie = root_ / L"holiday clip.avi";
    fs::copy_file(e2e::builtProgram(TEST_MOVIES) / L"movie20.avi", movie);
    const auto browse = [&](const std::wstring& answer) {
        const auto dialog = fileDialogAnswer(frm_->hwnd(), answer);
        click(item(FrmMain::Command1));
    };
    browse(L"");
    EXPECT_EQ(prompter_.messages,
              (std::vector<Message>{{L"Nothing was selected", win::MessageIcon::Information}}));
    EXPECT_EQ(win::windowText(item(FrmMain::lb_path)), L"Path");
    browse(movie.wstring());
    browse(L"");
    EXPECT_EQ(win::windowText(item(FrmMain::lb_path)), movie.wstring());
    EXPECT_EQ(win::windowText(item(FrmMain::lb_length)), L"Movie length: 00:00:20");
    EXPECT_EQ(prompter_.messages.size(), 1u);

    // The length shown is the one Start! holds the parts to.
    addPart(L"00:00:20", L"00:00:00", false, true);
    click(item(FrmMain::Command4));
    EXPECT_EQ(prompter_.messages.back().text,
              L"Part 1 starts at 00:00:20, but the movie is only 00:00:20 long.");
    EXPECT_FALSE(fs::exists(scriptPath()));

    // A file the reader cannot open: its length is unknown, and no part is held to it.
    std::ofstream(root_ / L"not a movie.avi") << "RIFF";
    browse((root_ / L"not a movie.avi").wstring());
    EXPECT_EQ(win::windowText(item(FrmMain::lb_length)), L"Movie length: unknown");
    click(item(FrmMain::Command4));
    EXPECT_EQ(starter_.starts.size(), 1u);
#endif
}

}  // namespace
}  // namespace clipcutter
