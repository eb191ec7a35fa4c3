#include "merge_script.h"

#include "core/file_names.h"
#include "core/job_script.h"

namespace clipjoiner {

namespace {

constexpr std::wstring_view kPathMark = L" [Path: ";

}  // namespace

std::wstring fileEntry(std::wstring_view fileName, std::wstring_view folder) {
    std::wstring entry(fileName);
    entry += kPathMark;
    entry += folder;
    entry += L'\\';
    entry += fileName;
    entry += L']';
    return entry;
}

std::optional<std::wstring> entryPath(std::wstring_view entry) {
    const auto colon = entry.find(L": ");
    // Positions count from 1 and are 16-bit: the path must start at 32767 at the latest.
    const std::size_t from = colon == std::wstring_view::npos ? 1 : colon + 2;
    if (from + 1 > common::kMaxCount16) return std::nullopt;
    if (from >= entry.size()) return std::nullopt;
    return std::wstring(entry.substr(from, entry.size() - from - 1));
}

MergeCheck checkMerge(std::size_t entryCount, std::wstring_view method,
                      std::wstring_view outputName) {
    if (entryCount == 0) return MergeCheck::NoFiles;
    if (method != kCopyMethod) return MergeCheck::InvalidMethod;
    if (outputName.find_first_not_of(L' ') == std::wstring_view::npos)
        return MergeCheck::InvalidName;
    // The name stands inside double quotes in the script and names a file: whatever would break
    // either is refused rather than passed on.
    if (common::isForbiddenInFileName(outputName)) return MergeCheck::InvalidName;
    return MergeCheck::Passed;
}

std::wstring_view checkMessage(MergeCheck check) {
    switch (check) {
        case MergeCheck::NoFiles:
            return L"No Files!";
        case MergeCheck::InvalidMethod:
            return L"Invalid Merge Method!";
        case MergeCheck::InvalidName:
            return L"Output name invalid!";
        case MergeCheck::Passed:
            break;
    }
    return {};
}

std::wstring scriptPathOf(std::wstring_view hostRoot) {
    return std::wstring(hostRoot) + L"\\tmp\\merge.bat";
}

std::wstring startedPathOf(std::wstring_view scriptPath) {
    std::wstring path;
    for (wchar_t c : scriptPath)
        if (c != L'"') path += c;
    return path;
}

std::wstring outputPathOf(std::wstring_view outputFolder, std::wstring_view outputName) {
    std::wstring path(outputFolder);
    path += L'\\';
    path += outputName;
    if (!common::hasAviExtension(outputName)) path += L".avi";
    return path;
}

MergeCommand::MergeCommand(std::string_view outputPath) : text_("mencoder -o \"") {
    common::appendDoublingPercent(text_, outputPath);
    text_ += "\" -ovc copy -oac copy ";
}

bool MergeCommand::add(std::string_view inputPath) {
    const std::size_t before = text_.size();
    text_ += '"';
    common::appendDoublingPercent(text_, inputPath);
    text_ += "\" ";
    if (text_.size() <= kMaxCommandLine) return true;
    text_.resize(before);
    return false;
}

std::string mergeScript(std::string_view hostRoot, const MergeCommand& command) {
    std::string script(hostRoot.substr(0, 2));
    script += common::kLineEnd;
    script += "cd \"";
    common::appendDoublingPercent(script, hostRoot);
    script += "\\bin\\\"";
    script += common::kLineEnd;
    script += command.text();
    script += common::kLineEnd;
    script += "pause";
    script += common::kLineEnd;
    return script;
}

}  // namespace clipjoiner
