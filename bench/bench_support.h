// What the benchmark programs share: timing, a prompter that complains aloud, and raw file access
// as the baseline the programs are measured against.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "win32/handles.h"
#include "win32/prompter.h"

namespace bench {

inline double nowMs() {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency);
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Any message during a measurement means the run went wrong; it is printed and counted.
struct CountingPrompter : win::Prompter {
    int calls = 0;
    void message(const std::wstring& text, win::MessageIcon) override {
        ++calls;
        std::fwprintf(stderr, L"prompter message: %ls\n", text.c_str());
    }
    bool ask(const std::wstring& question) override {
        ++calls;
        std::fwprintf(stderr, L"prompter question: %ls\n", question.c_str());
        return false;
    }
    void runtimeError(const win::RuntimeError& error) override {
        ++calls;
        std::fwprintf(stderr, L"prompter runtime error: %ls\n", win::reportText(error).c_str());
    }
};

inline void pumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

inline bool rawRead(const std::wstring& path, std::string& bytes) {
    const win::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size)) return false;
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD got = 0;
    return ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
           got == bytes.size();
}

inline bool rawWrite(const std::wstring& path, const std::string& bytes, bool flush = false) {
    const win::FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file &&
           WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size() && (!flush || FlushFileBuffers(file.get()));
}

}  // namespace bench
