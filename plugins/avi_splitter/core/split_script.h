// The splitter's part lines and its job script split.bat, apart from any window.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/movie_info.h"

namespace clipcutter {

// Caption of lb_path while no file has been chosen.
inline constexpr std::wstring_view kNoFileCaption = L"Path";
inline constexpr std::wstring_view kStartMarker = L"Start";
inline constexpr std::wstring_view kEndMarker = L"End";

// The hours, minutes and seconds fields exactly as typed, joined by ':'.
std::wstring timeText(std::wstring_view hours, std::wstring_view minutes,
                      std::wstring_view seconds);

// "Split From [start] To [end]"; a marker is passed as start or end.
std::wstring partLine(std::wstring_view start, std::wstring_view end);

// The lines one OK of the Add Part dialog appends, in order: a closed line when neither box is
// ticked, an open-end line when "Until end of movie" is, an open-start line when "From start" is.
std::vector<std::wstring> partLinesForOk(std::wstring_view start, std::wstring_view end,
                                         bool fromStart, bool untilEnd);

struct PartTimes {
    std::wstring_view start;  // the time text, or "Start"
    std::wstring_view end;    // the time text, or "End"
};

// Start and end read back from a part line (views into it): the text between the first '[' and
// the first ']', and the same inside the text from the first "To [" on. Missing pieces read as
// empty.
PartTimes parsePartLine(std::wstring_view line);

// Whether a time text may stand unquoted on the command line: ASCII letters, digits, '.', ':',
// '+' and '-' only, and not empty.
bool isPassableTime(std::wstring_view time);

// -endpos for a closed part: the length end - start written hh:mm:ss[.frac], when both read as
// [[h:]m:]s[.frac] with decimal fields and end lies after start; nothing otherwise.
// (checkScript refuses a part whose times both read but whose end does not lie after its start.)
std::optional<std::wstring> partLength(std::wstring_view start, std::wstring_view end);

// A part that would start at or after the end of the movie: an empty or failed part file.
struct LateStart {
    std::size_t partNumber;
    std::wstring start;  // as typed
};

// The first part whose start reads as [[h:]m:]s[.frac] and lies at or after the movie's end.
// Parts from the start of the movie, and starts that do not read as times, are not checked; an
// end past the movie's end is fine, since the encoder stops there.
std::optional<LateStart> firstLateStart(std::span<const std::wstring> partLines,
                                        common::Duration movieLength);

std::wstring lateStartMessage(const LateStart& late, common::Duration movieLength);

// Where things go, derived from the program folder and the input path.
struct ScriptPlace {
    std::wstring drive;         // first two characters of the program folder, e.g. "D:"
    std::wstring hostRoot;      // program folder up to its last '\'
    std::wstring scriptPath;    // host root + "\tmp\split.bat"
    std::wstring outputFolder;  // input path up to its last '\'
};
ScriptPlace scriptPlace(std::wstring_view programFolder, std::wstring_view inputPath);

// What the script is built from. The paths are given as the script's bytes, in its code page and
// with '%' not yet doubled (the caller may have replaced a path by a form the command interpreter
// can read).
struct ScriptInput {
    std::string drive;
    std::string hostRoot;
    std::string inputPath;
    std::string outputFolder;
    std::span<const std::wstring> partLines;
};

// The command interpreter reads no longer line than this.
inline constexpr std::size_t kMaxCommandLine = 8191;

// Why a part list cannot become a script.
struct TooManyParts {  // more than 32767 entries
    bool operator==(const TooManyParts&) const = default;
};
struct PartLineTooLong {  // more than 32767 characters
    std::size_t partNumber;
    bool operator==(const PartLineTooLong&) const = default;
};
struct UnpassableTime {  // a time that cannot stand unquoted, or a line that does not read back
    std::size_t partNumber;
    std::wstring time;
    bool operator==(const UnpassableTime&) const = default;
};
struct EndNotAfterStart {  // both read as times, and the end is not the later
    std::size_t partNumber;
    std::wstring start, end;
    bool operator==(const EndNotAfterStart&) const = default;
};
struct CommandTooLong {  // the part's command is longer than the interpreter reads
    std::size_t partNumber;
    bool operator==(const CommandTooLong&) const = default;
};
using ScriptRefusal =
    std::variant<TooManyParts, PartLineTooLong, UnpassableTime, EndNotAfterStart, CommandTooLong>;

// Why the script cannot be written as the user means it; nothing when it can. The first part
// that cannot is the one named.
std::optional<ScriptRefusal> checkScript(const ScriptInput& input);

// Hands the script's bytes to write, a line (CR LF included) at a time, so that a long script
// needs no buffer of its size. The input must have passed checkScript.
void composeSplitScript(const ScriptInput& input,
                        const std::function<void(std::string_view)>& write);

// The whole script's bytes, or why there is none.
std::variant<std::string, ScriptRefusal> splitScript(const ScriptInput& input);

}  // namespace clipcutter
