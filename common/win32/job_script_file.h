// Job scripts as the command interpreter reads them: in the console's (OEM) code page. What that
// code page cannot hold is replaced by a short path or refused, never written as a look-alike.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "win32/handles.h"

namespace win {

// The OEM bytes of text, when they read back as the same text (no best-fit look-alikes).
std::optional<std::string> toOemCodePage(std::wstring_view text);

// The bytes by which a script names a path: the path itself when the OEM code page holds it,
// otherwise its short (8.3) form when that is plain ASCII; for a file that does not exist yet,
// the short form of its folder with the name kept. Nothing when there is no such form, and
// nothing for a path holding '"' or a control character, which would break out of its quotes.
std::optional<std::string> scriptPath(const std::wstring& path);

// The message for a path that scriptPath cannot name.
std::wstring unreadablePathMessage(const std::wstring& path);

// Writes a job script from pieces of bytes, through a small buffer, replacing any file of its
// name. The first failure is kept and reported by close.
class JobScriptFile {
  public:
    // 0, or the system error number when the file cannot be created.
    DWORD create(const std::wstring& path);
    void write(std::string_view bytes);
    // 0 when every byte reached the file, or the first system error number.
    DWORD close();

  private:
    void flush();

    FileHandle file_;
    std::string buffer_;
    DWORD error_ = 0;
};

}  // namespace win
