#include "win32/program_starter.h"

#include "win32/handles.h"

namespace win {

std::wstring commandInterpreter() {
    std::wstring path(MAX_PATH, L'\0');
    DWORD n = GetEnvironmentVariableW(L"ComSpec", path.data(), static_cast<DWORD>(path.size()));
    if (n >= path.size()) {
        path.resize(n);
        n = GetEnvironmentVariableW(L"ComSpec", path.data(), static_cast<DWORD>(path.size()));
    }
    if (n > 0 && n < path.size()) {
        path.resize(n);
        return path;
    }
    n = GetSystemDirectoryW(path.data(), static_cast<UINT>(path.size()));
    path.resize(n < path.size() ? n : 0);
    return path + L"\\cmd.exe";
}

DWORD CommandInterpreterStarter::startScript(const std::wstring& scriptPath, int showCommand) {
    // The interpreter expands %name% in its /c text, inside quotes too, and no quoting prevents
    // it: so the script runs from its own folder by its bare name, and no part of its path goes
    // through that expansion.
    const auto slash = scriptPath.rfind(L'\\');
    if (slash == std::wstring::npos) return ERROR_BAD_PATHNAME;
    const std::wstring name = scriptPath.substr(slash + 1);
    if (name.find(L'%') != std::wstring::npos) return ERROR_INVALID_NAME;
    // A drive root keeps its '\': "C:" alone would be the drive's current folder.
    const std::wstring folder = scriptPath.substr(0, slash == 2 ? slash + 1 : slash);

    const std::wstring interpreter = commandInterpreter();
    // /s /c "".\script"": the outer quotes are stripped and the rest runs as one quoted path, in
    // the current folder only; /d skips AutoRun commands that could change what the script does.
    std::wstring commandLine = L"\"" + interpreter + L"\" /d /s /c \"\".\\" + name + L"\"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showCommand);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(interpreter.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_NEW_CONSOLE, nullptr, folder.c_str(), &startup, &process))
        return GetLastError();
    const KernelHandle processHandle(process.hProcess);
    const KernelHandle threadHandle(process.hThread);
    return 0;
}

}  // namespace win
