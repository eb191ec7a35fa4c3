// Reading the component list file, and saving it so that a failure at any point leaves the old
// file whole: the new bytes go to a temporary file in the same folder, which is flushed and then
// moved over the old one in one step.
#pragma once

#include <windows.h>

#include <span>
#include <string>
#include <string_view>

#include "win32/handles.h"

namespace partroster {

// The file-system calls of a save, one per step, so that a test can make any one of them fail.
// Each answers 0 or the system error number.
class SaveFileSystem {
  public:
    virtual ~SaveFileSystem() = default;
    // Creates a file that must not exist yet, open for writing.
    virtual DWORD createNew(const std::wstring& path, win::FileHandle& file) = 0;
    virtual DWORD write(HANDLE file, std::string_view bytes) = 0;  // all of them, or an error
    virtual DWORD flush(HANDLE file) = 0;
    virtual DWORD close(win::FileHandle& file) = 0;
    // Puts `from` in the place of `to` in one step, replacing it.
    virtual DWORD replace(const std::wstring& from, const std::wstring& to) = 0;
    virtual DWORD remove(const std::wstring& path) = 0;
    virtual void wait(DWORD milliseconds) = 0;
};

class Win32FileSystem : public SaveFileSystem {
  public:
    DWORD createNew(const std::wstring& path, win::FileHandle& file) override;
    DWORD write(HANDLE file, std::string_view bytes) override;
    DWORD flush(HANDLE file) override;
    DWORD close(win::FileHandle& file) override;
    DWORD replace(const std::wstring& from, const std::wstring& to) override;
    DWORD remove(const std::wstring& path) override;
    void wait(DWORD milliseconds) override;
};

// While another process (a virus scanner, the host reading the list) holds the old file, the
// replace is tried again after each of these pauses: about three seconds in all.
inline constexpr DWORD kReplaceRetryDelaysMs[] = {50, 100, 200, 400, 500, 500, 500, 500};

// Writes the entries, each followed by CR LF. 0, or the system error number of the first failing
// step; a failed save removes its temporary file and leaves the old file as it was.
DWORD saveListFile(SaveFileSystem& fs, const std::wstring& path,
                   std::span<const std::string> entries);

// The whole file's bytes; 0 or the system error number.
DWORD readListFile(const std::wstring& path, std::string& bytes);

}  // namespace partroster
