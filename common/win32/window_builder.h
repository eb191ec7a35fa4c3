// Windows declared as tables of their controls and built by one builder: the 96-DPI layout is
// scaled to the DPI of the window's monitor, the controls use the system's message font, and the
// table order is the tab order.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "win32/handles.h"

namespace win {

enum class ControlKind {
    Frame,
    Label,      // wraps at its width
    PathLabel,  // one line, shortened in the middle of the path, the whole path as its tooltip
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
    int enterPresses = 0;          // text box: the button that Enter in it presses
    int deletePresses = 0;         // list box: the button that Delete in it presses
};

struct FormSpec {
    const wchar_t* className;
    const wchar_t* caption;
    int clientWidth, clientHeight;  // pixels at 96 DPI
    DWORD style;
    DWORD exStyle;
    int iconId;  // resource id of the window icon in the executable, 0 for none
};

// What a control draws around its caption at a DPI: the caption fits when its text plus this is
// no larger than the control. A frame's caption stands on its top edge, half of cx on each side.
SIZE captionChrome(ControlKind kind, UINT dpi);

// The kind of a control the builder made, read back from its class and style.
std::optional<ControlKind> kindOf(HWND control);

// A top-level window built from a FormSpec and its control table. Subclasses handle messages in
// onMessage; no exception leaves the window procedure.
//
// The 96-DPI layout is the least each control gets. Where the message font needs more, the
// control grows: a label wraps within the room to its right and grows downward, a label whose
// text box or list stands too close pushes it to the right, a button, check box or frame grows
// to the right. Whatever lies beyond a growth moves on by as much, so rows and columns stay
// lined up, and the window grows with its content. A frame lies below the controls inside it.
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
    // A text box or list box with a key that presses a button, or a list box whose horizontal
    // scroll bar follows its widest entry.
    struct Behaviour {
        Form* form;
        const ControlSpec* declared;
        bool measures = false;         // keeps the widths of its entries
        std::vector<int> widths;       // of each entry, in list order
        std::map<int, int> widthUses;  // width -> entries that wide
    };

    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK behave(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR, DWORD_PTR data);
    void layout(UINT dpi);
    void press(int buttonId);
    int entryWidth(const wchar_t* text) const;
    void entryAdded(Behaviour& list, LRESULT at, int width);
    void entryRemoved(Behaviour& list, std::size_t at);
    void remeasure(Behaviour& list);
    void updateExtent(Behaviour& list, int before);
    bool answerTooltip(const NMHDR& header);

    HWND hwnd_ = nullptr;
    const FormSpec* declared_ = nullptr;
    std::span<const ControlSpec> controls_;
    std::vector<std::unique_ptr<Behaviour>> behaviours_;
    Font font_;
    MemoryDc measure_;        // holds the controls' font, for measuring list entries
    HWND tooltip_ = nullptr;  // shows the whole text of path labels; owned by the window
    std::wstring tipText_;
    UINT dpi_ = 96;
    HWND focus_ = nullptr;  // the control that had the focus when the window was deactivated
};

// Runs the thread's message loop until WM_QUIT, with dialog keys (Tab, Enter, Esc) in every form.
int runMessageLoop();

// Hands one message on as the message loop does: dialog keys first, then to its window.
void dispatchMessage(MSG& msg);

// Places a window beside the anchor window (right of it, else left of it, else centred on it),
// inside the work area of the anchor's monitor.
void placeBeside(HWND window, HWND anchor);

// The paths of a WM_DROPFILES drop, in the order given; the drop is released.
std::vector<std::wstring> droppedPaths(HDROP drop);

// The common-controls start-up with the given class set; errors are ignored.
void startCommonControls(DWORD classes);

// Text of a window or control.
std::wstring windowText(HWND hwnd);

}  // namespace win
