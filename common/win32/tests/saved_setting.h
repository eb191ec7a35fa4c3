// Tests that write a per-user setting put it back as they found it: on a developer's machine
// the setting may be the installed host's own.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "win32/handles.h"

namespace win::testing {

// Remembers HKEY_CURRENT_USER\<keyPath>, value <name>, and restores it when it goes: the value
// as it was, or no value, or none of the keys that were not there.
class SavedSetting {
  public:
    SavedSetting(std::wstring keyPath, std::wstring name)
        : keyPath_(std::move(keyPath)), name_(std::move(name)) {
        // The first key of the path that does not exist yet goes again with all below it.
        for (std::size_t end = 0; end != std::wstring::npos && missingKey_.empty();) {
            end = keyPath_.find(L'\\', end + 1);
            HKEY opened = nullptr;
            if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath_.substr(0, end).c_str(), 0, KEY_READ,
                              &opened) != ERROR_SUCCESS)
                missingKey_ = keyPath_.substr(0, end);
            const Key close(opened);
        }
        HKEY opened = nullptr;
        if (!missingKey_.empty() || RegOpenKeyExW(HKEY_CURRENT_USER, keyPath_.c_str(), 0,
                                                  KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
            return;
        const Key key(opened);
        DWORD size = 0;
        had_ = RegQueryValueExW(key.get(), name_.c_str(), nullptr, &type_, nullptr, &size) ==
               ERROR_SUCCESS;
        data_.resize(size);
        if (had_) RegQueryValueExW(key.get(), name_.c_str(), nullptr, &type_, data_.data(), &size);
    }
    ~SavedSetting() {
        if (!missingKey_.empty()) {
            RegDeleteTreeW(HKEY_CURRENT_USER, missingKey_.c_str());
            RegDeleteKeyW(HKEY_CURRENT_USER, missingKey_.c_str());
        } else if (had_) {
            RegSetKeyValueW(HKEY_CURRENT_USER, keyPath_.c_str(), name_.c_str(), type_, data_.data(),
                            static_cast<DWORD>(data_.size()));
        } else {
            RegDeleteKeyValueW(HKEY_CURRENT_USER, keyPath_.c_str(), name_.c_str());
        }
    }
    SavedSetting(const SavedSetting&) = delete;
    SavedSetting& operator=(const SavedSetting&) = delete;

  private:
    std::wstring keyPath_, name_;
    std::wstring missingKey_;
    bool had_ = false;
    DWORD type_ = 0;
    std::vector<BYTE> data_;
};

}  // namespace win::testing
