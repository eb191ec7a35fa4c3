#pragma once

#include <string>

namespace win {

// The folder of the running executable, without a trailing '\' except for a drive root.
std::wstring programFolder();

}  // namespace win
