// Job scripts as the command interpreter reads them: in the console's (OEM) code page, CR LF after
// every line. What that code page cannot hold is replaced by a short path or refused, never
// written as a look-alike.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace win {

// Whether the text survives a trip through the OEM code page unchanged (no best-fit mapping).
bool fitsOemCodePage(std::wstring_view text);

// The path as a script may name it: the path itself when it fits the OEM code page, otherwise
// its short (8.3) form when that is plain ASCII; for a file that does not exist yet, the short
// form of its folder with the name kept. Nothing when no such form exists.
std::optional<std::wstring> scriptSafePath(const std::wstring& path);

// Writes the lines, each followed by CR LF, in the OEM code page, replacing the file. Returns 0,
// or the system error number; ERROR_NO_UNICODE_TRANSLATION, with nothing written, when a line
// does not fit the code page.
DWORD writeJobScript(const std::wstring& path, const std::vector<std::wstring>& lines);

}  // namespace win
