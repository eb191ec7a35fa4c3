#include "job_script.h"

namespace common {

std::wstring doublePercent(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size() + 8);
    for (wchar_t c : text) {
        out += c;
        if (c == L'%') out += L'%';
    }
    return out;
}

std::wstring beforeLastBackslash(std::wstring_view path) {
    const auto pos = path.rfind(L'\\');
    return std::wstring(pos == std::wstring_view::npos ? path : path.substr(0, pos));
}

}  // namespace common
