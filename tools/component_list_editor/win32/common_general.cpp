#include "common_general.h"

namespace partroster {

void setTopMost(HWND hwnd, std::int16_t flag) {
    SetWindowPos(hwnd, flag == kTrue ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE);
}

}  // namespace partroster
