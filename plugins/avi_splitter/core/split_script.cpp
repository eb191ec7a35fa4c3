#include "split_script.h"

#include <algorithm>
#include <cstdint>

#include "core/job_script.h"

namespace clipcutter {

namespace {

std::wstring_view between(std::wstring_view text, wchar_t open, wchar_t close) {
    const auto end = text.find(close);
    if (end == std::wstring_view::npos) return {};
    const auto begin = text.substr(0, end).find(open);
    return begin == std::wstring_view::npos ? text.substr(0, end)
                                            : text.substr(begin + 1, end - begin - 1);
}

// A time of the form [[h:]m:]s[.frac] in units of 10^-fractionDigits seconds.
struct ReadTime {
    std::int64_t units = 0;
    int fractionDigits = 0;
};

// Fields of up to 9 digits and a fraction of up to 6 keep every sum inside 63 bits.
constexpr int kMaxFieldDigits = 9;
constexpr int kMaxFractionDigits = 6;

std::optional<ReadTime> readTime(std::wstring_view text) {
    std::int64_t seconds = 0, field = 0, fraction = 0;
    int fields = 1, fieldDigits = 0, fractionDigits = 0;
    bool inFraction = false;
    for (wchar_t c : text) {
        if (c >= L'0' && c <= L'9') {
            int& digits = inFraction ? fractionDigits : fieldDigits;
            if (++digits > (inFraction ? kMaxFractionDigits : kMaxFieldDigits)) return std::nullopt;
            std::int64_t& value = inFraction ? fraction : field;
            value = value * 10 + (c - L'0');
        } else if (c == L':' && !inFraction && fieldDigits > 0 && ++fields <= 3) {
            seconds = seconds * 60 + field;
            field = 0;
            fieldDigits = 0;
        } else if (c == L'.' && !inFraction && fieldDigits > 0) {
            inFraction = true;
        } else {
            return std::nullopt;
        }
    }
    if (fieldDigits == 0 || (inFraction && fractionDigits == 0)) return std::nullopt;
    ReadTime t;
    t.fractionDigits = fractionDigits;
    t.units = seconds * 60 + field;
    for (int i = 0; i < fractionDigits; ++i) t.units *= 10;
    t.units += fraction;
    return t;
}

std::int64_t scaled(const ReadTime& t, int digits) {
    std::int64_t v = t.units;
    for (int i = t.fractionDigits; i < digits; ++i) v *= 10;
    return v;
}

// Appends the decimal digits of a non-negative v, at least width of them.
void appendPadded(std::string& out, std::int64_t v, int width) {
    char digits[24];
    char* at = digits + sizeof digits;
    do {
        *--at = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v > 0);
    while (digits + sizeof digits - at < width) *--at = '0';
    out.append(at, digits + sizeof digits);
}

// Appends a text that isPassableTime accepted: ASCII only.
void appendTime(std::string& out, std::wstring_view time) {
    const std::size_t at = out.size();
    out.resize(at + time.size());
    for (std::size_t i = 0; i < time.size(); ++i) out[at + i] = static_cast<char>(time[i]);
}

enum class Length { Appended, Unreadable, NotAfter };

// -endpos beside -ss: appends end - start as hh:mm:ss[.frac]; appends nothing when either does
// not read as a time or end does not lie after start, and says which.
Length appendPartLength(std::string& out, std::wstring_view start, std::wstring_view end) {
    const auto s = readTime(start);
    const auto e = readTime(end);
    if (!s || !e) return Length::Unreadable;
    const int digits =
        s->fractionDigits > e->fractionDigits ? s->fractionDigits : e->fractionDigits;
    const std::int64_t length = scaled(*e, digits) - scaled(*s, digits);
    if (length <= 0) return Length::NotAfter;
    std::int64_t unit = 1;
    for (int i = 0; i < digits; ++i) unit *= 10;
    const std::int64_t seconds = length / unit;
    appendPadded(out, seconds / 3600, 2);
    out += ':';
    appendPadded(out, seconds / 60 % 60, 2);
    out += ':';
    appendPadded(out, seconds % 60, 2);
    if (digits > 0) {
        out += '.';
        appendPadded(out, length % unit, digits);
    }
    return Length::Appended;
}

constexpr std::wstring_view kLineHead = L"Split From [";
constexpr std::wstring_view kLineMiddle = L"] To [";

// The times of a line that passed the line checks: it reads back, and neither time holds a
// bracket, so the first ']' after the head ends the start.
PartTimes timesOfCheckedLine(std::wstring_view line) {
    const std::size_t startEnd = line.find(L']', kLineHead.size());
    const std::size_t endAt = startEnd + kLineMiddle.size();
    return {line.substr(kLineHead.size(), startEnd - kLineHead.size()),
            line.substr(endAt, line.size() - 1 - endAt)};
}

// Whether the line is exactly the one its times compose: a field holding a bracket makes a line
// read back as other times than were typed.
bool readsBack(std::wstring_view line, const PartTimes& t) {
    const std::size_t middleAt = kLineHead.size() + t.start.size();
    return line.size() == middleAt + kLineMiddle.size() + t.end.size() + 1 &&
           line.starts_with(kLineHead) &&
           line.substr(kLineHead.size(), t.start.size()) == t.start &&
           line.substr(middleAt, kLineMiddle.size()) == kLineMiddle &&
           line.substr(middleAt + kLineMiddle.size(), t.end.size()) == t.end && line.back() == L']';
}

// What every command line shares: the encoder with the input, and the head of the output.
struct CommandPieces {
    std::string head;        // mencoder "input" -ovc copy -oac copy
    std::string outputHead;  //  -o "folder\part_
};

CommandPieces commandPieces(const ScriptInput& input) {
    CommandPieces p{"mencoder \"", " -o \""};
    common::appendDoublingPercent(p.head, input.inputPath);
    p.head += "\" -ovc copy -oac copy ";
    common::appendDoublingPercent(p.outputHead, input.outputFolder);
    p.outputHead += "\\part_ ";
    return p;
}

// The command line of part i + 1 of a line that passed the line checks, without its line end.
void composeCommand(std::string& line, const CommandPieces& pieces, const PartTimes& t,
                    std::size_t i) {
    const bool hasStart = t.start != kStartMarker;
    const bool hasEnd = t.end != kEndMarker;
    line = pieces.head;
    if (hasStart) {
        line += "-ss ";
        appendTime(line, t.start);
    }
    if (hasEnd) {
        line += " -endpos ";
        // Beside -ss the encoder reads -endpos as a length, not as an end position.
        if (!hasStart || appendPartLength(line, t.start, t.end) != Length::Appended)
            appendTime(line, t.end);
    }
    line += pieces.outputHead;
    appendPadded(line, static_cast<std::int64_t>(i + 1), 1);
    line += ".avi\"";
}

// The most a command adds to its pieces and its two times: "-ss ", " -endpos ", the part number
// (at most 32767) and ".avi\"".
constexpr std::size_t kMostAround = 4 + 9 + 5 + 5;

}  // namespace

std::wstring timeText(std::wstring_view hours, std::wstring_view minutes,
                      std::wstring_view seconds) {
    std::wstring t(hours);
    t += L':';
    t += minutes;
    t += L':';
    t += seconds;
    return t;
}

std::wstring partLine(std::wstring_view start, std::wstring_view end) {
    std::wstring line(kLineHead);
    line += start;
    line += kLineMiddle;
    line += end;
    line += L']';
    return line;
}

std::vector<std::wstring> partLinesForOk(std::wstring_view start, std::wstring_view end,
                                         bool fromStart, bool untilEnd) {
    std::vector<std::wstring> lines;
    if (!fromStart && !untilEnd) lines.push_back(partLine(start, end));
    if (untilEnd) lines.push_back(partLine(start, kEndMarker));
    if (fromStart) lines.push_back(partLine(kStartMarker, end));
    return lines;
}

PartTimes parsePartLine(std::wstring_view line) {
    PartTimes times;
    times.start = between(line, L'[', L']');
    if (const auto to = line.find(L"To ["); to != std::wstring_view::npos)
        times.end = between(line.substr(to), L'[', L']');
    return times;
}

bool isPassableTime(std::wstring_view time) {
    if (time.empty()) return false;
    for (wchar_t c : time) {
        const bool ok = (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') ||
                        (c >= L'A' && c <= L'Z') || c == L'.' || c == L':' || c == L'+' ||
                        c == L'-';
        if (!ok) return false;
    }
    return true;
}

std::optional<std::wstring> partLength(std::wstring_view start, std::wstring_view end) {
    std::string length;
    if (appendPartLength(length, start, end) != Length::Appended) return std::nullopt;
    return std::wstring(length.begin(), length.end());
}

std::optional<LateStart> firstLateStart(std::span<const std::wstring> partLines,
                                        common::Duration movieLength) {
    for (std::size_t i = 0; i < partLines.size(); ++i) {
        const std::wstring_view start = parsePartLine(partLines[i]).start;
        const auto time = readTime(start);
        if (!time) continue;
        std::uint64_t unit = 1;
        for (int d = 0; d < time->fractionDigits; ++d) unit *= 10;
        if (common::compareFractions(static_cast<std::uint64_t>(time->units), unit,
                                     movieLength.units, movieLength.perSecond) >= 0)
            return LateStart{i + 1, std::wstring(start)};
    }
    return std::nullopt;
}

std::wstring lateStartMessage(const LateStart& late, common::Duration movieLength) {
    return L"Part " + std::to_wstring(late.partNumber) + L" starts at " + late.start +
           L", but the movie is only " + common::durationText(movieLength) + L" long.";
}

ScriptPlace scriptPlace(std::wstring_view programFolder, std::wstring_view inputPath) {
    ScriptPlace place;
    place.drive = programFolder.substr(0, 2);
    place.hostRoot = common::beforeLastBackslash(programFolder);
    place.scriptPath = place.hostRoot + L"\\tmp\\split.bat";
    place.outputFolder = common::beforeLastBackslash(inputPath);
    return place;
}

std::optional<ScriptRefusal> checkScript(const ScriptInput& input) {
    const auto& partLines = input.partLines;
    if (partLines.size() > common::kMaxCount16) return TooManyParts{};
    const CommandPieces pieces = commandPieces(input);
    std::string command, length;
    for (std::size_t i = 0; i < partLines.size(); ++i) {
        const std::wstring_view line = partLines[i];
        const std::size_t number = i + 1;
        if (line.size() > common::kMaxCount16) return PartLineTooLong{number};
        const PartTimes t = parsePartLine(line);
        if (!readsBack(line, t)) return UnpassableTime{number, std::wstring(line)};
        if (t.start != kStartMarker && !isPassableTime(t.start))
            return UnpassableTime{number, std::wstring(t.start)};
        if (t.end != kEndMarker && !isPassableTime(t.end))
            return UnpassableTime{number, std::wstring(t.end)};
        // The encoder would take such an -endpos as a length: a wrong part, silently.
        length.clear();
        if (t.start != kStartMarker && t.end != kEndMarker &&
            appendPartLength(length, t.start, t.end) == Length::NotAfter)
            return EndNotAfterStart{number, std::wstring(t.start), std::wstring(t.end)};
        // Composed only when it might be too long: most commands are far shorter, and composing
        // each would cost the check as much as writing the script.
        const std::size_t mostTimes = t.start.size() + std::max(t.end.size(), length.size());
        if (pieces.head.size() + pieces.outputHead.size() + mostTimes + kMostAround <=
            kMaxCommandLine)
            continue;
        composeCommand(command, pieces, t, i);
        if (command.size() > kMaxCommandLine) return CommandTooLong{number};
    }
    return std::nullopt;
}

void composeSplitScript(const ScriptInput& input,
                        const std::function<void(std::string_view)>& write) {
    std::string line = input.drive;
    line += common::kLineEnd;
    write(line);
    line = "cd \"";
    common::appendDoublingPercent(line, input.hostRoot);
    line += "\\bin\\\"";
    line += common::kLineEnd;
    write(line);

    const CommandPieces pieces = commandPieces(input);
    for (std::size_t i = 0; i < input.partLines.size(); ++i) {
        composeCommand(line, pieces, timesOfCheckedLine(input.partLines[i]), i);
        line += common::kLineEnd;
        write(line);
    }
}

std::variant<std::string, ScriptRefusal> splitScript(const ScriptInput& input) {
    if (auto refusal = checkScript(input)) return *std::move(refusal);
    std::string script;
    composeSplitScript(input, [&script](std::string_view line) { script += line; });
    return script;
}

}  // namespace clipcutter
