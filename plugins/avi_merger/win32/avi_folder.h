// The merger's stand-in for a folder file list filtered by "*.avi".
#pragma once

#include <windows.h>

#include <string>
#include <variant>
#include <vector>

namespace clipjoiner {

struct AviFolder {
    std::wstring folder;              // absolute, no trailing '\' but a drive root's
    std::vector<std::wstring> names;  // the AVI files, in name order with case ignored
};

// The folder's AVI files, or the system error number when the folder cannot be listed
// (ERROR_ARITHMETIC_OVERFLOW beyond 32767 files).
std::variant<AviFolder, DWORD> listAviFolder(const std::wstring& path);

}  // namespace clipjoiner
