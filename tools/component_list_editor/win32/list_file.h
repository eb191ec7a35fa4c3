// Reading the component list file, and saving it so that a failure at any point leaves the old
// file whole: the new bytes go to a temporary file in the same folder, which is flushed and then
// moved over the old one in one step, unless another program changed the file meanwhile.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "component_list.h"
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
    // The stamp of the file's bytes as they are now.
    virtual DWORD stamp(const std::wstring& path, ListStamp& stamp) = 0;
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
    DWORD stamp(const std::wstring& path, ListStamp& stamp) override;
};

// While another process (a virus scanner, the host reading the list) holds the old file, reading
// its stamp and the replace are tried again after each of these pauses: about three seconds in all.
inline constexpr DWORD kReplaceRetryDelaysMs[] = {50, 100, 200, 400, 500, 500, 500, 500};

enum class SaveOutcome {
    Saved,
    ChangedElsewhere,  // the file is not what the editor last read or wrote: left as it is
    Failed,
};

struct SaveResult {
    SaveOutcome outcome;
    DWORD error;  // Failed: the system error number of the first failing step
    bool operator==(const SaveResult&) const = default;
};

// Writes the entries, each followed by CR LF, over the file if it still holds the bytes stamped
// `onDisk`; a save then updates `onDisk` to the new bytes. Short of Saved, the temporary file is
// removed and the old file left as it was. The stamp is compared after the new bytes are written,
// just before they replace the old ones, so that a change made meanwhile is seen too.
SaveResult saveListFile(SaveFileSystem& fs, const std::wstring& path, const EntryList& entries,
                        ListStamp& onDisk);

// The whole file's bytes; 0 or the system error number. Room is left after them for entries
// added later, so that the first additions do not copy the list.
DWORD readListFile(const std::wstring& path, std::string& bytes);

}  // namespace partroster
