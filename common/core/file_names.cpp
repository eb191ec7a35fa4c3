#include "file_names.h"

#include <algorithm>

namespace common {

bool hasAviExtension(std::wstring_view name) {
    constexpr std::wstring_view kExtension = L".avi";
    if (name.size() < kExtension.size()) return false;
    const auto tail = name.substr(name.size() - kExtension.size());
    return std::equal(tail.begin(), tail.end(), kExtension.begin(), [](wchar_t a, wchar_t b) {
        return (a >= L'A' && a <= L'Z' ? static_cast<wchar_t>(a + 32) : a) == b;
    });
}

}  // namespace common
