// The stacking band of a window: always on top, or the normal band.
#pragma once

#include <windows.h>

#include <cstdint>

namespace partroster {

// The 16-bit booleans the editor passes around: true is -1, false is 0.
inline constexpr std::int16_t kTrue = -1;
inline constexpr std::int16_t kFalse = 0;

// Exactly kTrue puts the window at the top of the always-on-top band; any other value returns it
// to the normal band. Position and size stay; a failure is ignored.
void setTopMost(HWND hwnd, std::int16_t flag);

}  // namespace partroster
