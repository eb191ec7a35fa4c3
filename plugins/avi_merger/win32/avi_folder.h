// The merger's stand-in for a folder file list filtered by "*.avi".
#pragma once

#include <windows.h>

#include <string>
#include <variant>
#include <vector>

#include "avi_listing.h"

namespace clipjoiner {

// The folder's AVI files (names in name order with case ignored), and those left out.
struct AviFolder : AviFiles {
    std::wstring folder;  // absolute, no trailing '\' but a drive root's
};

// The folder's AVI files, or the system error number when the folder cannot be listed
// (ERROR_ARITHMETIC_OVERFLOW beyond 32767 listed files).
std::variant<AviFolder, DWORD> listAviFolder(const std::wstring& path);

}  // namespace clipjoiner
