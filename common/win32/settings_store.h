// The per-user settings store: application, section and key to a string.
#pragma once

#include <string>
#include <string_view>

namespace win {

// HKEY_CURRENT_USER\Software\<application>\<section>, string value <key>; the fallback when the
// key or value is absent or not a string.
std::wstring readSetting(std::wstring_view application, std::wstring_view section,
                         std::wstring_view key, std::wstring_view fallback = {});

// Writes the value, creating the key. 0, or the system error number.
unsigned long writeSetting(std::wstring_view application, std::wstring_view section,
                           std::wstring_view key, std::wstring_view value);

}  // namespace win
