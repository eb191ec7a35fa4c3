#include "win32/program_folder.h"

#include <windows.h>

#include "core/job_script.h"

namespace win {

std::wstring programFolder() {
    std::wstring path(MAX_PATH, L'\0');
    while (true) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);  // truncated: long paths reach 32767 characters
    }
    std::wstring folder = common::beforeLastBackslash(path);
    if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
    return folder;
}

}  // namespace win
