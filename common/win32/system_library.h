// Functions of system libraries that a program needs only now and then (the file and folder
// dialogs), looked up when first called. Linked the usual way, such a library, and the dozen more
// the shell's load in turn, would be loaded before the window shows, in every run.
#pragma once

#include <windows.h>

#include <string>

namespace win {

// The function, or null with the last error set. The library is loaded from the system folder
// (never from the program's or the current folder) and stays loaded.
template <typename F>
F* systemFunction(const wchar_t* library, const char* name) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::wstring path = std::wstring(folder, length) + L'\\' + library;
    const HMODULE module = LoadLibraryW(path.c_str());
    if (!module) return nullptr;
    return reinterpret_cast<F*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace win
