#include <windows.h>
#include <commctrl.h>

#include "frm_main.h"
#include "win32/program_folder.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    win::startCommonControls(ICC_USEREX_CLASSES);
    win::MessageBoxPrompter prompter(L"clipcutter");
    win::CommandInterpreterStarter starter;
    clipcutter::FrmMain frmMain(
        {prompter, starter, win::programFolder(), [] { PostQuitMessage(0); }});
    if (!frmMain.create()) {
        prompter.runtimeError(
            win::RuntimeError::system(L"Creating the main window", L"", GetLastError()));
        return 1;
    }
    prompter.setOwner(frmMain.hwnd());
    ShowWindow(frmMain.hwnd(), showCommand);
    UpdateWindow(frmMain.hwnd());
    return win::runMessageLoop();
}
