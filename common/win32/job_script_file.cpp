#include "win32/job_script_file.h"

#include "core/job_script.h"
#include "win32/handles.h"

namespace win {

namespace {

// Appends the OEM bytes of text to out; false when they would not read back as the same text.
bool appendOem(std::wstring_view text, std::string& out) {
    if (text.empty()) return true;
    const int length = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    const int size = WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, text.data(), length,
                                         nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault) return false;
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(size));
    WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, text.data(), length, out.data() + at, size,
                        nullptr, nullptr);
    std::wstring back(static_cast<std::size_t>(length), L'\0');
    const int backLength =
        MultiByteToWideChar(CP_OEMCP, 0, out.data() + at, size, back.data(), length);
    return backLength == length && back == text;
}

bool isAscii(std::wstring_view text) {
    for (wchar_t c : text)
        if (c > 0x7F) return false;
    return true;
}

}  // namespace

bool fitsOemCodePage(std::wstring_view text) {
    std::string bytes;
    return appendOem(text, bytes);
}

std::optional<std::wstring> scriptSafePath(const std::wstring& path) {
    if (fitsOemCodePage(path)) return path;
    std::wstring shortPath(path.size() + 1, L'\0');
    DWORD n =
        GetShortPathNameW(path.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
    if (n >= shortPath.size()) {
        shortPath.resize(n);
        n = GetShortPathNameW(path.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
    }
    if (n > 0 && n < shortPath.size()) {
        shortPath.resize(n);
        return isAscii(shortPath) ? std::optional(shortPath) : std::nullopt;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return std::nullopt;
    // A file that does not exist yet has no short name: shorten its folder, keep its name.
    const std::wstring folder = common::beforeLastBackslash(path);
    const std::wstring name = path.substr(folder.size());
    if (folder.size() == path.size() || !fitsOemCodePage(name)) return std::nullopt;
    const auto safeFolder = scriptSafePath(folder);
    return safeFolder ? std::optional(*safeFolder + name) : std::nullopt;
}

DWORD writeJobScript(const std::wstring& path, const std::vector<std::wstring>& lines) {
    std::string bytes;
    for (const auto& line : lines) {
        if (!appendOem(line, bytes)) return ERROR_NO_UNICODE_TRANSLATION;
        bytes += "\r\n";
    }
    const FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(
            bytes.size() - done < 0x40000000u ? bytes.size() - done : 0x40000000u);
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr))
            return GetLastError();
        done += written;
    }
    return 0;
}

}  // namespace win
