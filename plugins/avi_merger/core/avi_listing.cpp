#include "avi_listing.h"

#include <algorithm>

#include "core/file_names.h"

namespace clipjoiner {

namespace {

wchar_t foldAscii(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c;
}

}  // namespace

bool asciiCaseInsensitiveLess(std::wstring_view a, std::wstring_view b) {
    const auto folded = std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](wchar_t x, wchar_t y) { return foldAscii(x) < foldAscii(y); });
    const auto foldedBack = std::lexicographical_compare(
        b.begin(), b.end(), a.begin(), a.end(),
        [](wchar_t x, wchar_t y) { return foldAscii(x) < foldAscii(y); });
    return folded || (!foldedBack && a < b);
}

std::vector<std::wstring> aviFiles(std::vector<FolderItem> items, const NameOrder& less) {
    std::vector<std::wstring> names;
    for (auto& item : items)
        if (!item.isFolder && !item.isHidden && !item.isSystem &&
            common::hasAviExtension(item.name))
            names.push_back(std::move(item.name));
    std::stable_sort(names.begin(), names.end(),
                     [&less](const std::wstring& a, const std::wstring& b) { return less(a, b); });
    return names;
}

std::wstring listedFolder(std::wstring_view absolutePath) {
    std::wstring folder(absolutePath);
    while (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
    return folder;
}

std::wstring startupFolder(std::wstring_view arguments) {
    std::wstring folder;
    for (wchar_t c : arguments)
        if (c != L'"') folder += c;
    folder += L'\\';
    return folder;
}

}  // namespace clipjoiner
