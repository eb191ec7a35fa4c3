#include <windows.h>

#include "component_list.h"
#include "list_file.h"
#include "main_window.h"
#include "win32/program_folder.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    win::MessageBoxPrompter prompter(L"partroster");
    partroster::Win32FileSystem fileSystem;
    partroster::Main main({prompter, fileSystem, partroster::listFilePath(win::programFolder()),
                           [] { PostQuitMessage(0); }});
    if (!main.create()) {
        prompter.runtimeError(
            win::RuntimeError::system(L"Creating the main window", L"", GetLastError()));
        return 1;
    }
    // Without its list the editor cannot start: the report ends the program.
    if (!main.load()) return 1;
    prompter.setOwner(main.hwnd());
    ShowWindow(main.hwnd(), showCommand);
    UpdateWindow(main.hwnd());
    return win::runMessageLoop();
}
