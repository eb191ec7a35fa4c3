// Text rules shared by the job scripts that the plug-ins write for the command interpreter.
#pragma once

#include <string>
#include <string_view>

namespace common {

// Every line of a job script, the last one included, ends with CR LF.
inline constexpr std::string_view kLineEnd = "\r\n";

// Appends text with every '%' doubled: a batch file expands %...% even inside double quotes. The
// text is in the script's code page; no OEM code page uses the byte of '%' inside a character.
void appendDoublingPercent(std::string& out, std::string_view text);

// The text before the last '\' ("E:\Video\a.avi" gives "E:\Video", "E:\a.avi" gives "E:");
// the whole text when it holds no '\'.
std::wstring beforeLastBackslash(std::wstring_view path);

// Whether c cannot stand inside a double-quoted value of a script: '"' ends the quotes, and a
// control character (C0 or DEL) breaks the line or reaches the encoder as something else.
bool breaksQuotes(wchar_t c);
bool breaksQuotes(std::wstring_view value);

// Signed 16-bit limit of the hosts' counts, list indexes and character positions.
inline constexpr std::size_t kMaxCount16 = 32767;

}  // namespace common
