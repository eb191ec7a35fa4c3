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

struct AviFiles {
    std::vector<std::wstring> names;  // in name order
    // AVI files left out since Windows forbids their names: they cannot be named safely in a
    // script, and a ": " in one would split its entry in the wrong place.
    std::size_t leftOut = 0;
    std::wstring firstLeftOut;  // the first of them in name order
};

// The plain files whose long names match "*.avi" with case ignored (so "x.avix" does not), hidden
// and system files and names that Windows forbids left out, sorted by name with case ignored.
AviFiles aviFiles(std::vector<FolderItem> items, const NameOrder& less = asciiCaseInsensitiveLess);

// What the user is told once files were left out; empty when none were.
std::wstring leftOutMessage(const AviFiles& files);

// The folder as the list gives it back: without trailing '\', except a drive root's ("D:\").
std::wstring listedFolder(std::wstring_view absolutePath);

// The start-up folder from the program's whole argument text: a '\' appended, quotes removed.
std::wstring startupFolder(std::wstring_view arguments);

}  // namespace clipjoiner
