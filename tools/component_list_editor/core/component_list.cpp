#include "component_list.h"

namespace partroster {

std::vector<std::string> readEntries(std::string_view bytes) {
    std::vector<std::string> entries;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t cr = bytes.find('\r', start);
        if (cr == std::string_view::npos) {
            entries.emplace_back(bytes.substr(start));
            break;
        }
        entries.emplace_back(bytes.substr(start, cr - start));
        start = cr + 1;
        if (start < bytes.size() && bytes[start] == '\n') ++start;
    }
    return entries;
}

std::string writeEntries(std::span<const std::string> entries) {
    std::size_t size = 0;
    for (const auto& entry : entries) size += entry.size() + 2;
    std::string bytes;
    bytes.reserve(size);
    for (const auto& entry : entries) appendLine(bytes, entry);
    return bytes;
}

void appendLine(std::string& bytes, std::string_view entry) {
    bytes.append(entry).append("\r\n");
}

std::optional<std::wstring> composeEntry(std::wstring_view checkType,
                                         std::wstring_view warningLevel,
                                         std::wstring_view description, std::wstring_view path) {
    if (checkType.empty() || warningLevel.empty() || description.empty() || path.empty())
        return std::nullopt;
    std::wstring entry;
    entry.reserve(checkType.size() + warningLevel.size() + description.size() + path.size() + 3);
    entry.append(checkType).append(L"|").append(warningLevel).append(L"|");
    entry.append(description).append(L"|").append(path);
    return entry;
}

std::wstring listFilePath(std::wstring_view programFolder) {
    std::wstring path(programFolder);
    if (path.empty() || path.back() != L'\\') path += L'\\';
    return path.append(kListFileName);
}

}  // namespace partroster
