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

AviFiles aviFiles(std::vector<FolderItem> items, const NameOrder& less) {
    AviFiles files;
    for (auto& item : items) {
        if (item.isFolder || item.isHidden || item.isSystem || !common::hasAviExtension(item.name))
            continue;
        if (!common::isForbiddenInFileName(item.name)) {
            files.names.push_back(std::move(item.name));
        } else if (files.leftOut++ == 0 || less(item.name, files.firstLeftOut)) {
            files.firstLeftOut = std::move(item.name);
        }
    }
    std::stable_sort(files.names.begin(), files.names.end(),
                     [&less](const std::wstring& a, const std::wstring& b) { return less(a, b); });
    return files;
}

std::wstring leftOutMessage(const AviFiles& files) {
    if (files.leftOut == 0) return {};
    // A control character would break the message's layout or not show at all.
    std::wstring shown = files.firstLeftOut;
    for (wchar_t& c : shown)
        if (c < 0x20 || c == 0x7F) c = L'\xFFFD';
    constexpr std::wstring_view kWhy =
        L"Windows does not allow in file names (\\ / : * ? \" < > | or a control character)";
    std::wstring text;
    if (files.leftOut == 1) {
        text = L"One AVI file was left out of the list, since its name holds a character that ";
        text += kWhy;
        text += L":\n\n";
    } else {
        text = std::to_wstring(files.leftOut) +
               L" AVI files were left out of the list, since their names hold characters that ";
        text += kWhy;
        text += L". The first of them:\n\n";
    }
    return text + shown;
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
