#include "job_script.h"

namespace common {

void appendDoublingPercent(std::string& out, std::string_view text) {
    for (char c : text) {
        out += c;
        if (c == '%') out += '%';
    }
}

std::wstring beforeLastBackslash(std::wstring_view path) {
    const auto pos = path.rfind(L'\\');
    return std::wstring(pos == std::wstring_view::npos ? path : path.substr(0, pos));
}

}  // namespace common
