#include <windows.h>
#include <objbase.h>

#include "avi_listing.h"
#include "frm_main.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int showCommand) {
    // The folder dialog is a shell component: it wants COM in a single-threaded apartment.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    win::MessageBoxPrompter prompter(L"clipjoiner");
    win::CommandInterpreterStarter starter;
    clipjoiner::FrmMain frmMain({prompter, starter, [] { PostQuitMessage(0); }});
    if (!frmMain.create()) {
        prompter.runtimeError(
            win::RuntimeError::system(L"Creating the main window", L"", GetLastError()));
        return 1;
    }
    prompter.setOwner(frmMain.hwnd());
    if (!frmMain.loadFolder(clipjoiner::startupFolder(arguments ? arguments : L""))) return 1;
    ShowWindow(frmMain.hwnd(), showCommand);
    UpdateWindow(frmMain.hwnd());
    return win::runMessageLoop();
}
