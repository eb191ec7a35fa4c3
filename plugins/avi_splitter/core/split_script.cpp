#include "split_script.h"

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

bool allDigits(std::wstring_view s, std::size_t maxLength) {
    if (s.empty() || s.size() > maxLength) return false;
    for (wchar_t c : s)
        if (c < L'0' || c > L'9') return false;
    return true;
}

std::int64_t decimal(std::wstring_view digits) {
    std::int64_t v = 0;
    for (wchar_t c : digits) v = v * 10 + (c - L'0');
    return v;
}

// Fields of up to 9 digits and a fraction of up to 6 keep every sum inside 63 bits.
constexpr std::size_t kMaxFieldDigits = 9;
constexpr int kMaxFractionDigits = 6;

std::optional<ReadTime> readTime(std::wstring_view text) {
    std::wstring_view fraction;
    if (const auto dot = text.find(L'.'); dot != std::wstring_view::npos) {
        fraction = text.substr(dot + 1);
        text = text.substr(0, dot);
        if (!allDigits(fraction, kMaxFractionDigits)) return std::nullopt;
    }
    std::int64_t seconds = 0;
    int fields = 0;
    while (true) {
        const auto colon = text.find(L':');
        const auto field = text.substr(0, colon);
        if (!allDigits(field, kMaxFieldDigits) || ++fields > 3) return std::nullopt;
        seconds = seconds * 60 + decimal(field);
        if (colon == std::wstring_view::npos) break;
        text = text.substr(colon + 1);
    }
    ReadTime t;
    t.fractionDigits = static_cast<int>(fraction.size());
    t.units = seconds;
    for (int i = 0; i < t.fractionDigits; ++i) t.units *= 10;
    t.units += fraction.empty() ? 0 : decimal(fraction);
    return t;
}

std::int64_t scaled(const ReadTime& t, int digits) {
    std::int64_t v = t.units;
    for (int i = t.fractionDigits; i < digits; ++i) v *= 10;
    return v;
}

std::wstring padded(std::int64_t v, std::size_t width) {
    std::wstring s = std::to_wstring(v);
    if (s.size() < width) s.insert(0, width - s.size(), L'0');
    return s;
}

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
    std::wstring line = L"Split From [";
    line += start;
    line += L"] To [";
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
    const auto s = readTime(start);
    const auto e = readTime(end);
    if (!s || !e) return std::nullopt;
    const int digits =
        s->fractionDigits > e->fractionDigits ? s->fractionDigits : e->fractionDigits;
    const std::int64_t length = scaled(*e, digits) - scaled(*s, digits);
    if (length <= 0) return std::nullopt;
    std::int64_t unit = 1;
    for (int i = 0; i < digits; ++i) unit *= 10;
    const std::int64_t seconds = length / unit;
    std::wstring text = padded(seconds / 3600, 2) + L':' + padded(seconds / 60 % 60, 2) + L':' +
                        padded(seconds % 60, 2);
    if (digits > 0) text += L'.' + padded(length % unit, static_cast<std::size_t>(digits));
    return text;
}

ScriptPlace scriptPlace(std::wstring_view programFolder, std::wstring_view inputPath) {
    ScriptPlace place;
    place.drive = programFolder.substr(0, 2);
    place.hostRoot = common::beforeLastBackslash(programFolder);
    place.scriptPath = place.hostRoot + L"\\tmp\\split.bat";
    place.outputFolder = common::beforeLastBackslash(inputPath);
    return place;
}

std::variant<std::vector<std::wstring>, ScriptRefusal> splitScript(const ScriptInput& input) {
    if (input.partLines.size() > common::kMaxCount16) return ScriptRefusal{TooManyParts{}};

    std::vector<std::wstring> lines;
    lines.reserve(input.partLines.size() + 2);
    lines.push_back(input.drive);
    lines.push_back(L"cd \"" + common::doublePercent(input.hostRoot) + L"\\bin\\\"");

    const std::wstring head =
        L"mencoder \"" + common::doublePercent(input.inputPath) + L"\" -ovc copy -oac copy ";
    const std::wstring outputHead =
        L" -o \"" + common::doublePercent(input.outputFolder) + L"\\part_ ";
    for (std::size_t i = 0; i < input.partLines.size(); ++i) {
        const std::wstring& line = input.partLines[i];
        const std::size_t number = i + 1;
        if (line.size() > common::kMaxCount16) return ScriptRefusal{PartLineTooLong{number}};

        const PartTimes t = parsePartLine(line);
        const bool hasStart = t.start != kStartMarker;
        const bool hasEnd = t.end != kEndMarker;
        // A field holding a bracket makes the line read back as other times than were typed.
        if (partLine(t.start, t.end) != line) return ScriptRefusal{UnpassableTime{number, line}};
        if (hasStart && !isPassableTime(t.start))
            return ScriptRefusal{UnpassableTime{number, t.start}};
        if (hasEnd && !isPassableTime(t.end)) return ScriptRefusal{UnpassableTime{number, t.end}};

        std::wstring command = head;
        if (hasStart) command += L"-ss " + t.start;
        if (hasEnd) {
            // Beside -ss the encoder reads -endpos as a length, not as an end position.
            const auto length = hasStart ? partLength(t.start, t.end) : std::nullopt;
            command += L" -endpos " + length.value_or(t.end);
        }
        command += outputHead + std::to_wstring(number) + L".avi\"";
        lines.push_back(std::move(command));
    }
    return lines;
}

}  // namespace clipcutter
