#include "win32/window_builder.h"

#include <string>

#include <commctrl.h>

namespace win {

namespace {

// Newer DPI functions are looked up at run time so that the programs still start on systems
// that lack them; the fallbacks use the system DPI.
template <typename F>
F* user32Function(const char* name) {
    return reinterpret_cast<F*>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

UINT systemDpi() {
    WindowDc screen(nullptr);
    return static_cast<UINT>(GetDeviceCaps(screen.get(), LOGPIXELSY));
}

UINT dpiOf(HWND hwnd) {
    static auto* getDpiForWindow = user32Function<UINT WINAPI(HWND)>("GetDpiForWindow");
    const UINT dpi = getDpiForWindow ? getDpiForWindow(hwnd) : 0;
    return dpi ? dpi : systemDpi();
}

Font messageFont(UINT dpi) {
    using ParametersForDpi = BOOL WINAPI(UINT, UINT, PVOID, UINT, UINT);
    static auto* forDpi = user32Function<ParametersForDpi>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
        return Font(CreateFontIndirectW(&metrics.lfMessageFont));
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return Font(static_cast<HFONT>(nullptr));
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi),
                                            static_cast<int>(systemDpi()));
    return Font(CreateFontIndirectW(&metrics.lfMessageFont));
}

SIZE windowSizeFor(const FormSpec& declared, UINT dpi) {
    using AdjustForDpi = BOOL WINAPI(LPRECT, DWORD, BOOL, DWORD, UINT);
    static auto* adjustForDpi = user32Function<AdjustForDpi>("AdjustWindowRectExForDpi");
    RECT r{0, 0, MulDiv(declared.clientWidth, static_cast<int>(dpi), 96),
           MulDiv(declared.clientHeight, static_cast<int>(dpi), 96)};
    if (!adjustForDpi || !adjustForDpi(&r, declared.style, FALSE, declared.exStyle, dpi))
        AdjustWindowRectEx(&r, declared.style, FALSE, declared.exStyle);
    return {r.right - r.left, r.bottom - r.top};
}

struct ControlClass {
    const wchar_t* name;
    DWORD style;
    DWORD exStyle;
};

ControlClass controlClass(ControlKind kind) {
    switch (kind) {
        case ControlKind::Frame:
            return {L"BUTTON", BS_GROUPBOX, 0};
        case ControlKind::Label:
            // No '&' mnemonics: a label may show a path, and '&' is a valid path character.
            return {L"STATIC", SS_LEFT | SS_NOPREFIX, 0};
        case ControlKind::Button:
            return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0};
        case ControlKind::DefaultButton:
            return {L"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP, 0};
        case ControlKind::TextBox:
            return {L"EDIT", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
        case ControlKind::CheckBox:
            return {L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, 0};
        case ControlKind::ComboBox:
            return {L"COMBOBOX", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 0};
        case ControlKind::ListBox:
            return {L"LISTBOX", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP,
                    WS_EX_CLIENTEDGE};
        case ControlKind::DataListBox:
            // Owner-drawn without strings; the owner is asked for the first letter of entries.
            return {L"LISTBOX",
                    LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP | LBS_NODATA |
                        LBS_OWNERDRAWFIXED | LBS_WANTKEYBOARDINPUT,
                    WS_EX_CLIENTEDGE};
    }
    return {L"STATIC", 0, 0};
}

POINT originOf(std::span<const ControlSpec> controls, const ControlSpec& c) {
    for (const auto& frame : controls)
        if (c.frameId != 0 && frame.id == c.frameId) return {frame.left, frame.top};
    return {0, 0};
}

bool registerClass(const FormSpec& declared, WNDPROC procedure) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    if (GetClassInfoExW(instance, declared.className, &wc)) return true;
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = declared.className;
    if (declared.iconId != 0) {
        wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(declared.iconId),
                                                 IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
        wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(declared.iconId),
                                                   IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                   GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    }
    return RegisterClassExW(&wc) != 0;
}

}  // namespace

Form::~Form() {
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

bool Form::create(const FormSpec& declared, std::span<const ControlSpec> controls, HWND owner) {
    if (!registerClass(declared, &Form::procedure)) return false;
    declared_ = &declared;
    controls_ = controls;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND hwnd = CreateWindowExW(declared.exStyle | WS_EX_CONTROLPARENT, declared.className,
                                declared.caption, declared.style, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, instance, this);
    if (!hwnd) return false;
    dpi_ = dpiOf(hwnd);
    sizeWindow();
    font_ = messageFont(dpi_);
    // Created in table order, so the z-order, and with it the tab order, follows the table; each
    // where it belongs and with its font, rather than moved and given it afterwards, which would
    // size, notify and redraw every control twice on the way to the first window shown.
    for (const auto& c : controls) {
        const ControlClass cls = controlClass(c.kind);
        // Clipped by their siblings: where controls overlap, the one earlier in the table is on
        // top and a label behind it does not paint over it.
        DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | cls.style;
        // A one-line label ends in an ellipsis rather than a clipped second line; a taller one
        // wraps like an edit control, so that a long path breaks inside its names.
        if (c.kind == ControlKind::Label) style |= c.height < 26 ? SS_ENDELLIPSIS : SS_EDITCONTROL;
        const RECT place = placeOf(c);
        const HWND control =
            CreateWindowExW(cls.exStyle, cls.name, c.text, style, place.left, place.top,
                            place.right - place.left, place.bottom - place.top, hwnd,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
        if (font_) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        if (c.kind == ControlKind::TextBox && c.maxLength > 0)
            SendMessageW(control, EM_LIMITTEXT, static_cast<WPARAM>(c.maxLength), 0);
        // A combo box takes no text at creation; its edit field gets it afterwards.
        if (c.kind == ControlKind::ComboBox) SetWindowTextW(control, c.text);
    }
    return true;
}

void Form::sizeWindow() {
    const SIZE size = windowSizeFor(*declared_, dpi_);
    SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT Form::placeOf(const ControlSpec& c) const {
    const int d = static_cast<int>(dpi_);
    const POINT origin = originOf(controls_, c);
    // A combo box's height includes its dropped-down list; the table gives the closed one.
    const int height = c.kind == ControlKind::ComboBox ? c.height * 6 : c.height;
    const int left = MulDiv(origin.x + c.left, d, 96), top = MulDiv(origin.y + c.top, d, 96);
    return {left, top, left + MulDiv(c.width, d, 96), top + MulDiv(height, d, 96)};
}

void Form::layout(UINT dpi) {
    dpi_ = dpi;
    sizeWindow();
    Font font = messageFont(dpi);
    for (const auto& c : controls_) {
        const HWND control = item(c.id);
        const RECT place = placeOf(c);
        SetWindowPos(control, nullptr, place.left, place.top, place.right - place.left,
                     place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
        if (font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    }
    // The controls hold the new font now; the old one may go.
    font_ = std::move(font);
}

LRESULT Form::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Form::procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!form) return DefWindowProcW(hwnd, message, wParam, lParam);

    if (message == WM_DPICHANGED) {
        // The system suggests a place for the new DPI; the controls follow at their 96-DPI layout.
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        form->layout(HIWORD(wParam));
        return 0;
    }
    if (message == WM_ACTIVATE) {
        // A plain window does not keep its focused control across activation as a dialog does.
        if (LOWORD(wParam) == WA_INACTIVE) {
            const HWND focus = GetFocus();
            if (focus && IsChild(hwnd, focus)) form->focus_ = focus;
        } else {
            const bool kept = form->focus_ && IsWindow(form->focus_) && IsChild(hwnd, form->focus_);
            SetFocus(kept ? form->focus_ : GetNextDlgTabItem(hwnd, nullptr, FALSE));
        }
        return 0;
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        form->hwnd_ = nullptr;
        form->onDestroyed();
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    try {
        return form->onMessage(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind through the system's code; the message is left to the default.
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

int runMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        const HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && (GetWindowLongW(root, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) &&
            IsDialogMessageW(root, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

void startCommonControls(DWORD classes) {
    // Looked up by name, and any failure ignored: the windows work with the classic controls too.
    const HMODULE comctl = LoadLibraryW(L"comctl32.dll");
    if (!comctl) return;
    using Init = BOOL WINAPI(const INITCOMMONCONTROLSEX*);
    auto* init = reinterpret_cast<Init*>(
        reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx")));
    const INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), classes};
    if (init) init(&icc);
}

std::wstring windowText(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace win
