#include "list_file.h"

#include <algorithm>

#include "component_list.h"

namespace partroster {

namespace {

// Large writes are split: WriteFile takes a 32-bit count.
constexpr std::size_t kWriteChunk = 64 * 1024;
constexpr int kNameAttempts = 100;

bool heldByAnother(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED;
}

std::wstring temporaryName(const std::wstring& path, int attempt) {
    // Beside the list, so that the move stays on one volume and is a rename.
    wchar_t suffix[40];
    swprintf(suffix, 40, L".%lx-%x.tmp", GetCurrentProcessId(), static_cast<unsigned>(attempt));
    return path + suffix;
}

}  // namespace

DWORD Win32FileSystem::createNew(const std::wstring& path, win::FileHandle& file) {
    file.reset(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    return file ? 0 : GetLastError();
}

DWORD Win32FileSystem::write(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD size = static_cast<DWORD>(std::min(bytes.size(), kWriteChunk));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), size, &written, nullptr)) return GetLastError();
        if (written == 0) return ERROR_WRITE_FAULT;
        bytes.remove_prefix(written);
    }
    return 0;
}

DWORD Win32FileSystem::flush(HANDLE file) {
    return FlushFileBuffers(file) ? 0 : GetLastError();
}

DWORD Win32FileSystem::close(win::FileHandle& file) {
    return CloseHandle(file.release()) ? 0 : GetLastError();
}

DWORD Win32FileSystem::replace(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : GetLastError();
}

DWORD Win32FileSystem::remove(const std::wstring& path) {
    return DeleteFileW(path.c_str()) ? 0 : GetLastError();
}

void Win32FileSystem::wait(DWORD milliseconds) {
    Sleep(milliseconds);
}

DWORD Win32FileSystem::stamp(const std::wstring& path, ListStamp& stamp) {
    // Readers and writers are let in, as when the list is loaded: a file caught halfway through
    // another program's write reads as changed, and is then reloaded rather than written over.
    const win::FileHandle file(CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return GetLastError();
    StampBuilder builder;
    std::string chunk(kWriteChunk, '\0');
    while (true) {
        DWORD got = 0;
        if (!ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr))
            return GetLastError();
        if (got == 0) break;
        builder.add(std::string_view(chunk.data(), got));
    }
    stamp = builder.stamp();
    return 0;
}

SaveResult saveListFile(SaveFileSystem& fs, const std::wstring& path, const EntryList& entries,
                        ListStamp& onDisk) {
    // Tried again while another process holds the file.
    const auto retried = [&fs](auto step) {
        DWORD error = step();
        for (DWORD delay : kReplaceRetryDelaysMs) {
            if (!heldByAnother(error)) break;
            fs.wait(delay);
            error = step();
        }
        return error;
    };

    std::wstring temporary;
    win::FileHandle file;
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < kNameAttempts && error == ERROR_FILE_EXISTS; ++attempt) {
        temporary = temporaryName(path, attempt);
        error = fs.createNew(temporary, file);
        if (error == ERROR_ALREADY_EXISTS) error = ERROR_FILE_EXISTS;
    }
    if (error != 0) return {SaveOutcome::Failed, error};

    // Through a small buffer: a list of 32767 entries is megabytes, and a fresh buffer of that
    // size costs more in first-touch page faults than the write itself.
    StampBuilder written;
    std::string buffer;
    buffer.reserve(kWriteChunk);
    const auto writeBuffer = [&] {
        written.add(buffer);
        error = fs.write(file.get(), buffer);
        buffer.clear();
    };
    for (std::size_t i = 0; i < entries.size() && error == 0; ++i) {
        const std::string_view entry = entries[i];
        if (buffer.size() + entry.size() + 2 > kWriteChunk && !buffer.empty()) writeBuffer();
        appendLine(buffer, entry);
    }
    if (error == 0 && !buffer.empty()) writeBuffer();
    if (error == 0) error = fs.flush(file.get());
    // Closed before the move in every case: an open file cannot be moved or removed.
    const DWORD closeError = fs.close(file);
    if (error == 0) error = closeError;

    bool changed = false;
    if (error == 0) {
        ListStamp now;
        error = retried([&] { return fs.stamp(path, now); });
        changed = error == 0 && now != onDisk;
    }
    if (error == 0 && !changed) error = retried([&] { return fs.replace(temporary, path); });
    if (error != 0 || changed) {
        // A handle the failed close left open would keep the file; let it go first.
        file.reset();
        fs.remove(temporary);
        return {error ? SaveOutcome::Failed : SaveOutcome::ChangedElsewhere, error};
    }
    onDisk = written.stamp();
    return {SaveOutcome::Saved, 0};
}

DWORD readListFile(const std::wstring& path, std::string& bytes) {
    bytes.clear();
    const win::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    // Read in place, as long as it was when asked; then whatever it has grown by since.
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.get(), &size)) {
        bytes.reserve(static_cast<std::size_t>(size.QuadPart) + kWriteChunk);
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
        std::size_t got = 0;
        while (got < bytes.size()) {
            DWORD n = 0;
            const auto want =
                static_cast<DWORD>(std::min<std::size_t>(bytes.size() - got, 1u << 30));
            if (!ReadFile(file.get(), bytes.data() + got, want, &n, nullptr)) return GetLastError();
            if (n == 0) break;
            got += n;
        }
        bytes.resize(got);
    }
    char chunk[4096];
    while (true) {
        DWORD got = 0;
        if (!ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) return GetLastError();
        if (got == 0) return 0;
        bytes.append(chunk, got);
    }
}

}  // namespace partroster
