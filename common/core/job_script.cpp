#include "job_script.h"

#include <algorithm>

namespace common {

void appendDoublingPercent(std::string& out, std::string_view text) {
    for (char c : text) {
        out += c;
        if (c == '%') out += '%';
    }
}

bool breaksQuotes(wchar_t c) {
    return c < 0x20 || c == 0x7F || c == L'"';
}

bool breaksQuotes(std::wstring_view value) {
    return std::any_of(value.begin(), value.end(), [](wchar_t c) { return breaksQuotes(c); });
}

std::wstring beforeLastBackslash(std::wstring_view path) {
    const auto pos = path.rfind(L'\\');
    return std::wstring(pos == std::wstring_view::npos ? path : path.substr(0, pos));
}

}  // namespace common
