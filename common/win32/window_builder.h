// Windows declared as tables of their controls and built by one builder: the 96-DPI layout is
// scaled to the DPI of the window's monitor, the controls use the system's message font, and the
// table order is the tab order.
#pragma once

#include <windows.h>

#include <span>
#include <string>

#include "win32/handles.h"

namespace win {

enum class ControlKind {
    Frame,
    Label,
    Button,
    DefaultButton,
    TextBox,
    CheckBox,
    ListBox,
    DataListBox,  // a list box whose owner keeps the entries (win32/data_list_box.h)
    ComboBox,     // editable, with a drop-down list
};

struct ControlSpec {
    int id;
    ControlKind kind;
    const wchar_t* text;
    int left, top, width, height;  // pixels at 96 DPI, relative to the client area or the frame
    int frameId = 0;               // non-zero: the frame whose origin the position is relative to
    int maxLength = 0;             // text box: most characters it takes, 0 for the system's limit
};

struct FormSpec {
    const wchar_t* className;
    const wchar_t* caption;
    int clientWidth, clientHeight;  // pixels at 96 DPI
    DWORD style;
    DWORD exStyle;
    int iconId;  // resource id of the window icon in the executable, 0 for none
};

// A top-level window built from a FormSpec and its control table. Subclasses handle messages in
// onMessage; no exception leaves the window procedure.
class Form {
  public:
    Form() = default;
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    HWND hwnd() const { return hwnd_; }
    HWND item(int id) const { return GetDlgItem(hwnd_, id); }
    UINT dpi() const { return dpi_; }

  protected:
    // Creates the window hidden, sized for its monitor's DPI, with all its controls.
    bool create(const FormSpec& declared, std::span<const ControlSpec> controls,
                HWND owner = nullptr);
    virtual LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Called once the window is gone (after WM_NCDESTROY); hwnd() is null by then.
    virtual void onDestroyed() {}

  private:
    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // The window and its controls at a new DPI.
    void layout(UINT dpi);
    void sizeWindow();
    RECT placeOf(const ControlSpec& c) const;  // in the client area, at dpi_

    HWND hwnd_ = nullptr;
    const FormSpec* declared_ = nullptr;
    std::span<const ControlSpec> controls_;
    Font font_;
    UINT dpi_ = 96;
    HWND focus_ = nullptr;  // the control that had the focus when the window was deactivated
};

// Runs the thread's message loop until WM_QUIT, with dialog keys (Tab, Enter, Esc) in every form.
int runMessageLoop();

// The common-controls start-up with the given class set; errors are ignored.
void startCommonControls(DWORD classes);

// Text of a window or control.
std::wstring windowText(HWND hwnd);

}  // namespace win
