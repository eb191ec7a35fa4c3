#include "win32/job_script_file.h"

#include "core/job_script.h"

namespace win {

namespace {

bool isAscii(std::wstring_view text) {
    for (wchar_t c : text)
        if (c > 0x7F) return false;
    return true;
}

constexpr std::size_t kBufferSize = 256 * 1024;

}  // namespace

std::optional<std::string> toOemCodePage(std::wstring_view text) {
    // Every OEM code page holds ASCII unchanged.
    if (isAscii(text)) return std::string(text.begin(), text.end());
    const int length = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    const int size = WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, text.data(), length,
                                         nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, text.data(), length, bytes.data(), size,
                        nullptr, nullptr);
    std::wstring back(text.size(), L'\0');
    const int backLength =
        MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), size, back.data(), length);
    if (backLength != length || back != text) return std::nullopt;
    return bytes;
}

std::optional<std::string> scriptPath(const std::wstring& path) {
    // Whatever let such a path this far, it must not break out of its quotes.
    if (common::breaksQuotes(path)) return std::nullopt;
    if (auto bytes = toOemCodePage(path)) return bytes;
    std::wstring shortPath(path.size() + 1, L'\0');
    DWORD n =
        GetShortPathNameW(path.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
    if (n >= shortPath.size()) {
        shortPath.resize(n);
        n = GetShortPathNameW(path.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
    }
    if (n > 0 && n < shortPath.size()) {
        shortPath.resize(n);
        return isAscii(shortPath) ? toOemCodePage(shortPath) : std::nullopt;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return std::nullopt;
    // A file that does not exist yet has no short name: shorten its folder, keep its name.
    const std::wstring folder = common::beforeLastBackslash(path);
    if (folder.size() == path.size()) return std::nullopt;
    const auto name = toOemCodePage(std::wstring_view(path).substr(folder.size()));
    const auto safeFolder = name ? scriptPath(folder) : std::nullopt;
    return safeFolder ? std::optional(*safeFolder + *name) : std::nullopt;
}

std::wstring unreadablePathMessage(const std::wstring& path) {
    if (common::breaksQuotes(path))
        return L"The job script cannot name this path, since it holds a double quote or a control "
               L"character, which Windows does not allow in names:\n\n" +
               path + L"\n\nRename it.";
    return L"The job script cannot name this path, since it holds characters that the command "
           L"prompt cannot read:\n\n" +
           path + L"\n\nRename it, or turn on short file names for its drive.";
}

DWORD JobScriptFile::create(const std::wstring& path) {
    file_.reset(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    error_ = file_ ? 0 : GetLastError();
    buffer_.clear();
    buffer_.reserve(kBufferSize);
    return error_;
}

void JobScriptFile::write(std::string_view bytes) {
    if (buffer_.size() + bytes.size() > kBufferSize) flush();
    buffer_ += bytes;
}

void JobScriptFile::flush() {
    std::size_t done = 0;
    while (error_ == 0 && file_ && done < buffer_.size()) {
        DWORD written = 0;
        if (!WriteFile(file_.get(), buffer_.data() + done,
                       static_cast<DWORD>(buffer_.size() - done), &written, nullptr))
            error_ = GetLastError();
        done += written;
    }
    buffer_.clear();
}

DWORD JobScriptFile::close() {
    flush();
    if (file_ && !CloseHandle(file_.release()) && error_ == 0) error_ = GetLastError();
    return error_;
}

}  // namespace win
