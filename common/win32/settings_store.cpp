#include "win32/settings_store.h"

#include "win32/handles.h"

namespace win {

namespace {

std::wstring keyPath(std::wstring_view application, std::wstring_view section) {
    std::wstring path = L"Software\\";
    path += application;
    path += L'\\';
    path += section;
    return path;
}

}  // namespace

std::wstring readSetting(std::wstring_view application, std::wstring_view section,
                         std::wstring_view key, std::wstring_view fallback) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath(application, section).c_str(), 0, KEY_QUERY_VALUE,
                      &opened) != ERROR_SUCCESS)
        return std::wstring(fallback);
    const Key settings(opened);
    const std::wstring name(key);
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(settings.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::wstring(fallback);
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegQueryValueExW(settings.get(), name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS)
        return std::wstring(fallback);
    // The stored string may or may not carry its terminating NUL.
    value.resize(size / sizeof(wchar_t));
    while (!value.empty() && value.back() == L'\0') value.pop_back();
    return value;
}

unsigned long writeSetting(std::wstring_view application, std::wstring_view section,
                           std::wstring_view key, std::wstring_view value) {
    HKEY created = nullptr;
    const LSTATUS status =
        RegCreateKeyExW(HKEY_CURRENT_USER, keyPath(application, section).c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &created, nullptr);
    if (status != ERROR_SUCCESS) return static_cast<unsigned long>(status);
    const Key settings(created);
    const std::wstring name(key), text(value);
    return static_cast<unsigned long>(RegSetValueExW(
        settings.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));
}

}  // namespace win
