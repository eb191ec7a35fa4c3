// The Add Part dialog: one time range as hours, minutes and seconds, or the movie's start or end.
#pragma once

#include <functional>
#include <string>

#include "win32/window_builder.h"

namespace clipcutter {

class DlgAdd : public win::Form {
  public:
    enum Control : int {
        OKButton = IDOK,
        CancelButton = IDCANCEL,
        Label1 = 200,
        txt_hr,
        Label2,
        txt_min,
        Label3,
        txt_sec,
        Label4,
        Label5,
        Label6,
        Label7,
        txt_hr_end,
        Label8,
        txt_min_end,
        Label9,
        txt_sec_end,
        Label10,
        Label11,
        Label12,
        chk_end,
        chk_start,
    };

    // appendPart receives each part line that OK composes, in order.
    explicit DlgAdd(std::function<void(const std::wstring&)> appendPart);

    // Creates the dialog hidden, with its initial values.
    bool create();
    // Shows it beside the given window, or brings it forward where it is when already visible.
    void show(HWND beside);

  private:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void ok();
    void syncEnabled(int checkBox, std::initializer_list<int> fields);

    std::function<void(const std::wstring&)> appendPart_;
};

}  // namespace clipcutter
