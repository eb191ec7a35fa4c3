// The splitter's windows created in this process and driven as a user drives them, with the
// message box and the program starter replaced by recorders.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "frm_main.h"
#include "win32/job_script_file.h"
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
    EXPECT_EQ(client.right, MulDiv(398, frm_->dpi(), 96));
    EXPECT_EQ(client.bottom, MulDiv(294, frm_->dpi(), 96));
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

TEST_F(Splitter, RemoveNeedsASelectionAndRenumbersTheParts) {
    click(item(FrmMain::Command3));
    EXPECT_EQ(prompter_.messages,
              (std::vector<Message>{{L"Nothing selected!", win::MessageIcon::None}}));

    addPart(L"00:00:01", L"00:00:02");
    addPart(L"00:00:03", L"00:00:04");
    addPart(L"00:00:05", L"00:00:06");
    SendMessageW(item(FrmMain::List1), LB_SETCURSEL, 0, 0);
    click(item(FrmMain::Command3));
    EXPECT_EQ(selection(), LB_ERR);
    click(item(FrmMain::Command3));
    EXPECT_EQ(prompter_.messages.size(), 2u);

    chooseFile(root_ / L"in.avi");
    click(item(FrmMain::Command4));
    const std::string script = win::testing::fileBytes(scriptPath());
    EXPECT_NE(script.find("-ss 00:00:03 -endpos 00:00:01 -o"), std::string::npos);
    EXPECT_NE(script.find("part_ 1.avi\"\r\n"), std::string::npos);
    EXPECT_NE(script.find("part_ 2.avi\"\r\n"), std::string::npos);
    EXPECT_EQ(script.find("part_ 3.avi"), std::string::npos);
}

TEST_F(Splitter, StartWritesTheScriptInTheConsoleCodePageAndStartsItMinimized) {
    click(item(FrmMain::Command4));
    EXPECT_EQ(prompter_.messages,
              (std::vector<Message>{{L"You did not select a file!", win::MessageIcon::None}}));
    EXPECT_FALSE(fs::exists(scriptPath()));
    EXPECT_TRUE(starter_.starts.empty());

    std::ofstream(scriptPath()) << "left over from an earlier run\r\n";
    chooseFile(L"E:\\Vid\u00e9o 100%\\a.avi");
    addPart(L"00:00:05", L"00:00:15");
    addPart(L"00:00:05", L"00:00:15", true, false);
    click(item(FrmMain::Command4));
    EXPECT_EQ(selection(), 1);
    ASSERT_EQ(starter_.starts.size(), 1u);
    EXPECT_EQ(starter_.starts[0], std::make_pair(scriptPath().wstring(), SW_SHOWMINIMIZED));
    const std::string host = (root_ / L"host").string();  // ASCII temp path
    EXPECT_EQ(win::testing::fileBytes(scriptPath()),
              host.substr(0, 2) + "\r\ncd \"" + host + "\\bin\\\"\r\n" +
                  "mencoder \"E:\\Vid\x82o 100%%\\a.avi\" -ovc copy -oac copy -ss 00:00:05 "
                  "-endpos 00:00:10 -o \"E:\\Vid\x82o 100%%\\part_ 1.avi\"\r\n"
                  "mencoder \"E:\\Vid\x82o 100%%\\a.avi\" -ovc copy -oac copy  -endpos 00:00:15 "
                  "-o \"E:\\Vid\x82o 100%%\\part_ 2.avi\"\r\n");
    EXPECT_EQ(prompter_.messages.size(), 1u);
}

TEST_F(Splitter, StartRefusesWhatTheScriptCannotCarry) {
    struct Case {
        std::wstring input, start;
        std::wstring message;
    };
    const std::wstring good = (root_ / L"in.avi").wstring();
    const std::wstring quoted = root_.wstring() + L"\\x\" & echo INJECTED & \".avi";
    const std::wstring tab = root_.wstring() + L"\\tab\there.avi";
    const Case cases[] = {
        {good, L"00:00:1 & del *",
         L"Part 2 cannot be passed to the encoder: \"00:00:1 & del *\".\n\nA time may hold only "
         L"letters, digits and the characters . : + -"},
        {good, L"00:00:1]",
         L"Part 2 cannot be passed to the encoder: \"Split From [00:00:1]] To [End]\".\n\nA "
         L"time may hold only letters, digits and the characters . : + -"},
        {quoted, L"00:00:01", win::unreadablePathMessage(quoted)},
        {tab, L"00:00:01", win::unreadablePathMessage(tab)},
    };
    addPart(L"00:00:00", L"00:00:01");
    for (const auto& c : cases) {
        chooseFile(c.input);
        addPart(c.start, L"00:00:00", false, true);
        prompter_.messages.clear();
        click(item(FrmMain::Command4));
        EXPECT_EQ(prompter_.messages, (std::vector<Message>{{c.message, win::MessageIcon::None}}));
        EXPECT_FALSE(fs::exists(scriptPath()));
        EXPECT_TRUE(starter_.starts.empty());
        SendMessageW(item(FrmMain::List1), LB_SETCURSEL, 1, 0);
        click(item(FrmMain::Command3));
    }
}

TEST_F(Splitter, APathTheConsoleCannotReadIsWrittenShortOrRefused) {
    const fs::path folder = root_ / L"\u6620\u753b";  // no OEM code page holds these
    fs::create_directories(folder);
    std::ofstream(folder / L"clip.avi") << "RIFF";
    chooseFile(folder / L"clip.avi");
    addPart(L"00:00:01", L"00:00:02");
    click(item(FrmMain::Command4));
    if (!prompter_.messages.empty()) {
        EXPECT_NE(prompter_.messages[0].text.find(folder.wstring()), std::wstring::npos);
        EXPECT_FALSE(fs::exists(scriptPath()));
        return;
    }
    // Written short: the names in the script lead to the same file and folder.
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
