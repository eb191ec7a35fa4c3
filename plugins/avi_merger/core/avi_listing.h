// What the merger's file list holds of a folder: its AVI files, in name order.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace clipjoiner {

struct FolderItem {
    std::wstring name;  // the long name
    bool isFolder = false;
    bool isHidden = false;
    bool isSystem = false;
};

using NameOrder = std::function<bool(std::wstring_view, std::wstring_view)>;

// Names compared with the case of ASCII letters ignored, then as they are.
bool asciiCaseInsensitiveLess(std::wstring_view a, std::wstring_view b);

// The plain files whose long names match "*.avi" with case ignored (so "x.avix" does not), hidden
// and system files left out, sorted by name with case ignored.
std::vector<std::wstring> aviFiles(std::vector<FolderItem> items,
                                   const NameOrder& less = asciiCaseInsensitiveLess);

// The folder as the list gives it back: without trailing '\', except a drive root's ("D:\").
std::wstring listedFolder(std::wstring_view absolutePath);

// The start-up folder from the program's whole argument text: a '\' appended, quotes removed.
std::wstring startupFolder(std::wstring_view arguments);

}  // namespace clipjoiner
