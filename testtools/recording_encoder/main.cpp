// Stands in for the host's encoder in end-to-end tests: appends the arguments it was given to
// calls.log beside itself, so a test can check exactly what a job script passed.
//
// calls.log is UTF-8, lines end in '\n'. One record per run:
//   call
//   <argument 1>
//   ...
//   end
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "win32/handles.h"

namespace {

std::string utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string out(size - 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring logPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.rfind(L'\\') + 1) + L"calls.log";
}

// Opened without sharing so that records of encoders running at the same time do not interleave;
// a run that finds the file taken waits its turn.
HANDLE openForAppend(const std::wstring& path) {
    constexpr int kTries = 500;
    constexpr DWORD kPauseMs = 20;
    for (int i = 0; i < kTries; ++i) {
        const HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) return file;
        const DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) break;
        Sleep(kPauseMs);
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

int wmain() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return 1;

    std::string record = "call\n";
    for (int i = 1; i < argc; ++i) record += utf8(argv[i]) + '\n';
    record += "end\n";
    LocalFree(argv);

    const std::wstring path = logPath();
    const win::FileHandle file(path.empty() ? INVALID_HANDLE_VALUE : openForAppend(path));
    if (!file) {
        std::fprintf(stderr, "recording encoder: cannot open calls.log (error %lu)\n",
                     GetLastError());
        return 1;
    }
    DWORD written = 0;
    const BOOL ok =
        WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    if (!ok || written != record.size()) {
        std::fprintf(stderr, "recording encoder: cannot write calls.log\n");
        return 1;
    }
    return 0;
}
