#include "file_names.h"

#include <algorithm>

#include "core/job_script.h"

namespace common {

bool hasAviExtension(std::wstring_view name) {
    constexpr std::wstring_view kExtension = L".avi";
    if (name.size() < kExtension.size()) return false;
    const auto tail = name.substr(name.size() - kExtension.size());
    return std::equal(tail.begin(), tail.end(), kExtension.begin(), [](wchar_t a, wchar_t b) {
        return (a >= L'A' && a <= L'Z' ? static_cast<wchar_t>(a + 32) : a) == b;
    });
}

bool isForbiddenInFileName(wchar_t c) {
    return breaksQuotes(c) || std::wstring_view(L"\\/:*?<>|").find(c) != std::wstring_view::npos;
}

bool isForbiddenInFileName(std::wstring_view name) {
    return std::any_of(name.begin(), name.end(),
                       [](wchar_t c) { return isForbiddenInFileName(c); });
}

}  // namespace common
