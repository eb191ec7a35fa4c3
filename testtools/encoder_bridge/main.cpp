// The demo host's encoder under Wine. The host's job scripts call bin\mencoder.exe with Windows
// paths; this hands the job to the Linux encoder with those paths translated, waits for it to
// finish and exits with its exit code.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "win32/handles.h"

namespace {

constexpr char kEncoder[] = "/usr/bin/mencoder";
constexpr char kShell[] = "/bin/sh";

// Wine starts a Linux program without a process handle to wait on or to read its exit code from,
// so a shell runs the encoder and then leaves its exit status in a file that we watch. The
// status is renamed into place so that it is never read half-written.
constexpr wchar_t kWrapper[] =
    L"status=$1; shift; \"$@\"; echo $? >\"$status.part\" && mv \"$status.part\" \"$status\"";

constexpr int kCannotBridge = 2;

using UnixNameFn = char*(CDECL*)(LPCWSTR);
using DosNameFn = WCHAR*(CDECL*)(LPCSTR);

struct Wine {
    UnixNameFn unixName = nullptr;
    DosNameFn dosName = nullptr;
};

// Through a plain function pointer type, which converts to any other without a warning.
template <typename Fn>
Fn wineFunction(HMODULE kernel, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(kernel, name)));
}

Wine findWine() {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    Wine wine;
    if (!kernel) return wine;
    wine.unixName = wineFunction<UnixNameFn>(kernel, "wine_get_unix_file_name");
    wine.dosName = wineFunction<DosNameFn>(kernel, "wine_get_dos_file_name");
    return wine;
}

std::wstring wide(const char* utf8) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (size <= 1) return {};
    std::wstring out(size - 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out.data(), size);
    return out;
}

// The Unix path of a Windows path, empty when its folder does not exist. Wine hands the result
// back in the Unix character set, UTF-8 under the project's scripts.
std::wstring unixPath(const Wine& wine, const wchar_t* path) {
    char* name = wine.unixName(path);
    if (!name) return {};
    std::wstring result = wide(name);
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

std::wstring dosPath(const Wine& wine, const char* path) {
    WCHAR* name = wine.dosName(path);
    if (!name) return {};
    std::wstring result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// The Windows path of a Linux program, empty when there is no such file.
std::wstring linuxProgram(const Wine& wine, const char* path) {
    const std::wstring name = dosPath(wine, path);
    if (name.empty()) return {};
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
    return name;
}

bool isWindowsAbsolute(std::wstring_view arg) {
    return arg.size() >= 3 &&
           ((arg[0] >= L'A' && arg[0] <= L'Z') || (arg[0] >= L'a' && arg[0] <= L'z')) &&
           arg[1] == L':' && arg[2] == L'\\';
}

// Appends one argument so that the usual command line rules (those of CommandLineToArgvW, which
// Wine also applies when it builds a Linux program's argv) read it back unchanged.
void appendArgument(std::wstring& line, std::wstring_view arg) {
    if (!line.empty()) line += L' ';
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring_view::npos) {
        line += arg;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count as escapes only in front of a quote.
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

int fail(const wchar_t* what, std::wstring_view detail = {}) {
    std::fwprintf(stderr, L"encoder bridge: %ls%.*ls\n", what, static_cast<int>(detail.size()),
                  detail.data());
    return kCannotBridge;
}

// The exit status once the wrapper has written it.
bool readStatus(const std::wstring& path, int& status) {
    const win::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    char text[16] = {};
    DWORD read = 0;
    const BOOL ok = ReadFile(file.get(), text, sizeof text - 1, &read, nullptr);
    if (!ok || read == 0 || text[read - 1] != '\n') return false;
    status = std::atoi(text);
    return true;
}

}  // namespace

int wmain() {
    const Wine wine = findWine();
    if (!wine.unixName || !wine.dosName)
        return fail(L"this program hands its job to the Linux encoder and runs only under Wine");

    if (linuxProgram(wine, kEncoder).empty())
        return fail(L"the Linux encoder is missing: ", wide(kEncoder));
    const std::wstring shell = linuxProgram(wine, kShell);
    if (shell.empty()) return fail(L"no Linux shell at ", wide(kShell));

    wchar_t temp[MAX_PATH + 1];
    wchar_t statusPath[MAX_PATH + 1];
    if (!GetTempPathW(MAX_PATH + 1, temp) || !GetTempFileNameW(temp, L"enc", 0, statusPath))
        return fail(L"cannot create a status file in the temporary folder");
    const std::wstring statusUnix = unixPath(wine, statusPath);
    if (statusUnix.empty()) {
        DeleteFileW(statusPath);
        return fail(L"no Unix path for the status file ", statusPath);
    }

    std::wstring line;
    appendArgument(line, L"sh");
    appendArgument(line, L"-c");
    appendArgument(line, kWrapper);
    appendArgument(line, L"encoder-bridge");
    appendArgument(line, statusUnix);
    appendArgument(line, wide(kEncoder));

    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return fail(L"cannot read the command line");
    std::vector<std::wstring> args(argv + 1, argv + argc);
    LocalFree(argv);
    for (const std::wstring& arg : args) {
        if (!isWindowsAbsolute(arg)) {
            appendArgument(line, arg);
            continue;
        }
        const std::wstring path = unixPath(wine, arg.c_str());
        if (path.empty()) {
            DeleteFileW(statusPath);
            return fail(L"no Unix path for ", arg);
        }
        appendArgument(line, path);
    }

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(shell.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        DeleteFileW(statusPath);
        return fail(L"cannot start the Linux shell ", shell);
    }
    // Wine gives no process handle for a Linux program, and its hThread is then no handle either.
    const win::KernelHandle processHandle(process.hProcess);
    const win::KernelHandle threadHandle(process.hProcess ? process.hThread : nullptr);

    int status = 0;
    while (!readStatus(statusPath, status)) Sleep(20);
    DeleteFileW(statusPath);
    return status;
}
