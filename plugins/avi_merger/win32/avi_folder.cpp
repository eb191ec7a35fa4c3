#include "avi_folder.h"

#include "core/job_script.h"
#include "win32/handles.h"

namespace clipjoiner {

namespace {

bool ordinalLessIgnoringCase(std::wstring_view a, std::wstring_view b) {
    const int order = CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                           static_cast<int>(b.size()), TRUE);
    return order == CSTR_LESS_THAN || (order == CSTR_EQUAL && a < b);
}

}  // namespace

std::variant<AviFolder, DWORD> listAviFolder(const std::wstring& path) {
    std::wstring full(MAX_PATH, L'\0');
    DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n >= full.size()) {
        full.resize(n);
        n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (n == 0 || n >= full.size()) return GetLastError() ? GetLastError() : ERROR_BAD_PATHNAME;
    full.resize(n);
    const DWORD attributes = GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return static_cast<DWORD>(ERROR_DIRECTORY);

    AviFolder listed;
    listed.folder = listedFolder(full);
    std::wstring pattern = listed.folder;
    if (pattern.back() != L'\\') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW data;
    const win::FindHandle find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                                FindExSearchNameMatch, nullptr,
                                                FIND_FIRST_EX_LARGE_FETCH));
    std::vector<FolderItem> items;
    if (!find) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES) return error;
    } else {
        do {
            items.push_back({data.cFileName,
                             (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                             (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0,
                             (data.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM) != 0});
        } while (FindNextFileW(find.get(), &data));
        if (GetLastError() != ERROR_NO_MORE_FILES) return GetLastError();
    }
    static_cast<AviFiles&>(listed) = aviFiles(std::move(items), ordinalLessIgnoringCase);
    if (listed.names.size() > common::kMaxCount16)
        return static_cast<DWORD>(ERROR_ARITHMETIC_OVERFLOW);
    return listed;
}

}  // namespace clipjoiner
