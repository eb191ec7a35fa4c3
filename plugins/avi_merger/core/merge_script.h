// The merger's file entries, its checks and its job script merge.bat, apart from any window.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace clipjoiner {

inline constexpr std::wstring_view kCopyMethod = L"Copy";

// "name [Path: folder\name]"; a drive root folder keeps its '\', so its entries show "D:\\name".
std::wstring fileEntry(std::wstring_view fileName, std::wstring_view folder);

// The path of an entry: the text after its first ": ", without its last character. An entry
// without ": " gives its text from the second character on. Nothing when that leaves nothing to
// drop, or when the ": " lies beyond the 16-bit position limit.
std::optional<std::wstring> entryPath(std::wstring_view entry);

enum class MergeCheck { Passed, NoFiles, InvalidMethod, InvalidName };

// The checks before a merge, in their order: files listed, the method exactly "Copy", and an
// output name that is not only spaces and names a file (no control character and none of
// \ / : * ? " < > |).
MergeCheck checkMerge(std::size_t entryCount, std::wstring_view method,
                      std::wstring_view outputName);

// The message of a failed check.
std::wstring_view checkMessage(MergeCheck check);

// The settings value that holds the host root.
inline constexpr std::wstring_view kSettingsApplication = L"movarix";
inline constexpr std::wstring_view kSettingsSection = L"plugins";
inline constexpr std::wstring_view kSettingsKey = L"tmp";

// host root + "\tmp\merge.bat", with no test for a trailing '\'.
std::wstring scriptPathOf(std::wstring_view hostRoot);
// The path the script is started by: the script path without its double quotes.
std::wstring startedPathOf(std::wstring_view scriptPath);

// The merged file: output folder + "\" + the name as typed + ".avi"; a name that already ends in
// ".avi", in any case, gets no second one.
std::wstring outputPathOf(std::wstring_view outputFolder, std::wstring_view outputName);

// The command interpreter reads no longer line than this.
inline constexpr std::size_t kMaxCommandLine = 8191;

// The merge command (line 3 of the script), built one input at a time, so that a list too long
// for the command interpreter is refused at the first file that does not fit, without reading
// the rest. Paths are the script's bytes (in its code page, '%' not yet doubled).
class MergeCommand {
  public:
    explicit MergeCommand(std::string_view outputPath);
    // Appends an input; false, appending nothing, when the command would then be longer than
    // the command interpreter reads.
    bool add(std::string_view inputPath);
    // The command, without its line end.
    const std::string& text() const { return text_; }

  private:
    std::string text_;
};

// The four lines, each ended by CR LF, with the host root given as the script's bytes.
std::string mergeScript(std::string_view hostRoot, const MergeCommand& command);

}  // namespace clipjoiner
