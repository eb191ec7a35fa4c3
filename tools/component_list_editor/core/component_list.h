// The component list file "Comp_lst.dll": one entry a line, in the ANSI code page. Entries are
// kept as the bytes read, so that a save gives back what the host wrote, whatever its code page.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace partroster {

inline constexpr std::wstring_view kListFileName = L"Comp_lst.dll";

// The entries of the file's bytes. A line ends at CR LF or at a lone CR; a lone LF stays inside
// its entry. A last line without an end is an entry too; an empty file is an empty list.
std::vector<std::string> readEntries(std::string_view bytes);

// The file's bytes for these entries: each followed by CR LF; no entries give no bytes.
std::string writeEntries(std::span<const std::string> entries);
// One entry's line appended to the file's bytes.
void appendLine(std::string& bytes, std::string_view entry);

// A new entry from the four boxes, "type|level|description|path", or nothing when any box is
// empty. Nothing is trimmed, checked or escaped: the host reads the line as typed.
std::optional<std::wstring> composeEntry(std::wstring_view checkType,
                                         std::wstring_view warningLevel,
                                         std::wstring_view description, std::wstring_view path);

// The list file beside the program: the folder joined with the file name by one '\'.
std::wstring listFilePath(std::wstring_view programFolder);

}  // namespace partroster
