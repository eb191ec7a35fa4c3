#include "win32/window_builder.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "win32/subclass.h"
#include "win32/system_library.h"

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

int metric(int index, UINT dpi) {
    static auto* forDpi = user32Function<int WINAPI(int, UINT)>("GetSystemMetricsForDpi");
    if (forDpi) return forDpi(index, dpi);
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(systemDpi()));
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

SIZE windowSizeFor(const FormSpec& declared, SIZE client, UINT dpi) {
    using AdjustForDpi = BOOL WINAPI(LPRECT, DWORD, BOOL, DWORD, UINT);
    static auto* adjustForDpi = user32Function<AdjustForDpi>("AdjustWindowRectExForDpi");
    RECT r{0, 0, client.cx, client.cy};
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
        case ControlKind::PathLabel:
            // SS_NOTIFY: the label sees the mouse, so that its tooltip can show.
            return {L"STATIC", SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS | SS_NOTIFY, 0};
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
            return {L"LISTBOX",
                    LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP,
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

bool isCaptioned(ControlKind kind) {
    return kind == ControlKind::Frame || kind == ControlKind::Label ||
           kind == ControlKind::Button || kind == ControlKind::DefaultButton ||
           kind == ControlKind::CheckBox;
}

bool isField(ControlKind kind) {
    return kind == ControlKind::TextBox || kind == ControlKind::ComboBox ||
           kind == ControlKind::ListBox || kind == ControlKind::DataListBox;
}

// Moves of every edge at or beyond a line: where a control grows, what lies beyond it moves on
// by as much. Two growths ending on the same line move it by the larger of the two.
class Moves {
  public:
    void add(int at, int by) {
        if (by <= 0) return;
        int& move = moves_[at];
        move = std::max(move, by);
    }
    int of(int edge) const {
        int sum = 0;
        for (const auto& [at, by] : moves_) {
            if (at > edge) break;
            sum += by;
        }
        return sum;
    }

  private:
    std::map<int, int> moves_;
};

struct Box {
    int left, top, right, bottom;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// The controls' places at a DPI, grown where the font needs more room than the table gives.
class Arrangement {
  public:
    Arrangement(std::span<const ControlSpec> controls, const FormSpec& declared, HWND form,
                HDC measure, UINT dpi)
        : controls_(controls), dpi_(static_cast<int>(dpi)), measure_(measure) {
        GetTextMetricsW(measure, &metrics_);
        margin_ = scale(4);
        client_ = {scale(declared.clientWidth), scale(declared.clientHeight)};
        for (const auto& c : controls) {
            POINT origin{0, 0};
            frames_.push_back(-1);
            for (std::size_t f = 0; f < controls.size(); ++f)
                if (c.frameId != 0 && controls[f].id == c.frameId) {
                    origin = {controls[f].left, controls[f].top};
                    frames_.back() = static_cast<int>(f);
                }
            const int left = scale(origin.x + c.left), top = scale(origin.y + c.top);
            boxes_.push_back({left, top, left + scale(c.width), top + scale(c.height)});
            // A combo box sizes its closed height to its font by itself.
            int height = 0;
            if (c.kind == ControlKind::ComboBox) {
                RECT r;
                GetWindowRect(GetDlgItem(form, c.id), &r);
                height = r.bottom - r.top;
            }
            comboHeights_.push_back(height);
        }
        widen();
        fitLabels();
        heighten();
        // Nothing reaches past the window's edge, where it would be cut off.
        for (auto& b : boxes_) {
            b.right = std::min(b.right, static_cast<int>(client_.cx));
            b.bottom = std::min(b.bottom, static_cast<int>(client_.cy));
        }
    }

    const Box& box(std::size_t i) const { return boxes_[i]; }
    SIZE client() const { return client_; }

  private:
    int scale(int v) const { return MulDiv(v, dpi_, 96); }

    SIZE extent(const wchar_t* text) const {
        SIZE s{};
        GetTextExtentPoint32W(measure_, text, lstrlenW(text), &s);
        return s;
    }

    // The right edge a label may reach: the nearest control to its right on its rows, or the
    // edge of its frame or window; obstacle is that control, or -1.
    int roomEdge(std::size_t i, int& obstacle) const {
        const Box& b = boxes_[i];
        const int frame = frames_[i];
        int edge = frame >= 0 ? boxes_[static_cast<std::size_t>(frame)].right - margin_
                              : client_.cx - margin_;
        obstacle = -1;
        for (std::size_t j = 0; j < boxes_.size(); ++j) {
            const Box& o = boxes_[j];
            if (j == i || static_cast<int>(j) == frame) continue;
            if (o.top < b.bottom && b.top < o.bottom && o.left > b.left && o.left < edge) {
                edge = o.left;
                obstacle = static_cast<int>(j);
            }
        }
        return edge;
    }

    // Buttons, check boxes and frames grow to the right; a label whose field stands too close
    // pushes it on. Then every edge moves by the growths before it.
    void widen() {
        Moves moves;
        for (std::size_t i = 0; i < controls_.size(); ++i) {
            const ControlSpec& c = controls_[i];
            if (!isCaptioned(c.kind)) continue;
            const int text = extent(c.text).cx;
            const Box& b = boxes_[i];
            if (c.kind == ControlKind::Label) {
                int obstacle = -1;
                const int room = roomEdge(i, obstacle) - b.left;
                // A label too long for its room wraps, unless its room ends at the field it names.
                if (text > room && obstacle >= 0 &&
                    isField(controls_[static_cast<std::size_t>(obstacle)].kind))
                    moves.add(boxes_[static_cast<std::size_t>(obstacle)].left,
                              text + margin_ - room);
                continue;
            }
            moves.add(b.right,
                      text + captionChrome(c.kind, static_cast<UINT>(dpi_)).cx - b.width());
        }
        for (auto& b : boxes_) {
            b.left += moves.of(b.left);
            b.right += moves.of(b.right);
        }
        client_.cx += moves.of(client_.cx);
    }

    // A label takes the width its text needs, as far as its room goes, and never reaches over
    // the control beside it.
    void fitLabels() {
        for (std::size_t i = 0; i < controls_.size(); ++i) {
            const ControlKind kind = controls_[i].kind;
            if (kind != ControlKind::Label && kind != ControlKind::PathLabel) continue;
            Box& b = boxes_[i];
            int obstacle = -1;
            const int edge = roomEdge(i, obstacle);
            const int wanted =
                kind == ControlKind::Label ? b.left + extent(controls_[i].text).cx : b.right;
            b.right = std::min(std::max(b.right, wanted), edge);
        }
    }

    int neededHeight(std::size_t i) const {
        const ControlSpec& c = controls_[i];
        const int line = metrics_.tmHeight;
        const int edgeY = metric(SM_CYEDGE, static_cast<UINT>(dpi_));
        switch (c.kind) {
            case ControlKind::Label: {
                RECT r{0, 0, boxes_[i].width(), 0};
                DrawTextW(measure_, c.text, -1, &r,
                          DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
                return r.bottom;
            }
            case ControlKind::PathLabel:
            case ControlKind::CheckBox:
                return line;
            case ControlKind::Button:
            case ControlKind::DefaultButton:
                return line + captionChrome(c.kind, static_cast<UINT>(dpi_)).cy;
            case ControlKind::TextBox:
                return line + 2 * edgeY + 2;
            case ControlKind::ComboBox:
                return comboHeights_[i];
            case ControlKind::Frame:
            case ControlKind::ListBox:
            case ControlKind::DataListBox:
                return 0;
        }
        return 0;
    }

    // Controls grow downward to their text; a frame's caption keeps its controls below it. Then
    // every edge moves by the growths above it.
    void heighten() {
        Moves moves;
        for (std::size_t i = 0; i < controls_.size(); ++i) {
            const Box& b = boxes_[i];
            moves.add(b.bottom, neededHeight(i) - b.height());
            if (controls_[i].kind != ControlKind::Frame) continue;
            int firstTop = b.bottom;
            for (std::size_t j = 0; j < controls_.size(); ++j)
                if (frames_[j] == static_cast<int>(i)) firstTop = std::min(firstTop, boxes_[j].top);
            moves.add(firstTop, b.top + metrics_.tmHeight - firstTop);
        }
        for (auto& b : boxes_) {
            b.top += moves.of(b.top);
            b.bottom += moves.of(b.bottom);
        }
        client_.cy += moves.of(client_.cy);
    }

    std::span<const ControlSpec> controls_;
    int dpi_;
    HDC measure_;
    TEXTMETRICW metrics_{};
    int margin_ = 0;
    SIZE client_{};
    std::vector<Box> boxes_;
    std::vector<int> frames_;  // index of each control's frame, or -1
    std::vector<int> comboHeights_;
};

constexpr UINT_PTR kBehaviourId = 1;

}  // namespace

SIZE captionChrome(ControlKind kind, UINT dpi) {
    const int edgeX = metric(SM_CXEDGE, dpi), edgeY = metric(SM_CYEDGE, dpi);
    switch (kind) {
        case ControlKind::Button:
        case ControlKind::DefaultButton:
            return {4 * edgeX, 2 * edgeY};
        case ControlKind::CheckBox:
            return {metric(SM_CXMENUCHECK, dpi) + 2 * edgeX, 0};
        case ControlKind::Frame:
            return {MulDiv(16, static_cast<int>(dpi), 96), 0};
        default:
            return {0, 0};
    }
}

std::optional<ControlKind> kindOf(HWND control) {
    wchar_t name[16] = {};
    GetClassNameW(control, name, 16);
    const auto style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
    if (lstrcmpiW(name, L"Static") == 0)
        return (style & SS_ELLIPSISMASK) == SS_PATHELLIPSIS ? ControlKind::PathLabel
                                                            : ControlKind::Label;
    if (lstrcmpiW(name, L"Button") == 0) {
        switch (style & BS_TYPEMASK) {
            case BS_GROUPBOX:
                return ControlKind::Frame;
            case BS_DEFPUSHBUTTON:
                return ControlKind::DefaultButton;
            case BS_PUSHBUTTON:
                return ControlKind::Button;
            case BS_CHECKBOX:
            case BS_AUTOCHECKBOX:
                return ControlKind::CheckBox;
        }
        return std::nullopt;
    }
    if (lstrcmpiW(name, L"Edit") == 0) return ControlKind::TextBox;
    if (lstrcmpiW(name, L"ListBox") == 0)
        return style & LBS_NODATA ? ControlKind::DataListBox : ControlKind::ListBox;
    if (lstrcmpiW(name, L"ComboBox") == 0) return ControlKind::ComboBox;
    return std::nullopt;
}

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
    measure_.reset(CreateCompatibleDC(nullptr));
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND hwnd = CreateWindowExW(declared.exStyle | WS_EX_CONTROLPARENT, declared.className,
                                declared.caption, declared.style, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, instance, this);
    if (!hwnd) return false;
    // Created in table order, so the z-order, and with it the tab order, follows the table.
    for (const auto& c : controls) {
        const ControlClass cls = controlClass(c.kind);
        // Clipped by their siblings: where controls meet, the one above keeps its pixels.
        const DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | cls.style;
        const HWND control =
            CreateWindowExW(cls.exStyle, cls.name, c.text, style, 0, 0, 0, 0, hwnd,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
        if (!control) return false;
        if (c.kind == ControlKind::TextBox && c.maxLength > 0)
            SendMessageW(control, EM_LIMITTEXT, static_cast<WPARAM>(c.maxLength), 0);
        // A combo box takes no text at creation; its edit field gets it afterwards.
        if (c.kind == ControlKind::ComboBox) SetWindowTextW(control, c.text);
        if (c.kind == ControlKind::PathLabel) {
            if (!tooltip_) {
                tooltip_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX,
                                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                           CW_USEDEFAULT, hwnd, nullptr, instance, nullptr);
                SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 640);
            }
            TTTOOLINFOW tool{};
            tool.cbSize = sizeof tool;
            tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            tool.hwnd = hwnd;
            tool.uId = reinterpret_cast<UINT_PTR>(control);
            tool.lpszText = LPSTR_TEXTCALLBACKW;
            SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        }
        const auto listStyle = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
        const bool measures = c.kind == ControlKind::ListBox && !(listStyle & LBS_NODATA) &&
                              (!(listStyle & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) ||
                               (listStyle & LBS_HASSTRINGS));
        if (measures || c.enterPresses != 0 || c.deletePresses != 0) {
            behaviours_.push_back(
                std::make_unique<Behaviour>(Behaviour{this, &c, measures, {}, {}}));
            win::setSubclass(control, &Form::behave, kBehaviourId,
                             reinterpret_cast<DWORD_PTR>(behaviours_.back().get()));
        }
    }
    // Frames go below every other control, so that they never cover the controls inside them.
    for (const auto& c : controls)
        if (c.kind == ControlKind::Frame)
            SetWindowPos(item(c.id), HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    layout(dpiOf(hwnd));
    return true;
}

void Form::layout(UINT dpi) {
    dpi_ = dpi;
    Font font = messageFont(dpi);
    const HFONT used = font ? font.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SelectObject(measure_.get(), used);
    // The font first: the sizes below are measured in it, and a combo box sizes itself to it.
    for (const auto& c : controls_)
        SendMessageW(item(c.id), WM_SETFONT, reinterpret_cast<WPARAM>(used), FALSE);

    const Arrangement arranged(controls_, *declared_, hwnd_, measure_.get(), dpi);
    const SIZE size = windowSizeFor(*declared_, arranged.client(), dpi);
    SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        const ControlSpec& c = controls_[i];
        const Box& b = arranged.box(i);
        // A combo box's height includes its dropped-down list; the table gives the closed one.
        const int height = c.kind == ControlKind::ComboBox
                               ? b.height() + MulDiv(c.height * 5, dpi, 96)
                               : b.height();
        SetWindowPos(item(c.id), nullptr, b.left, b.top, b.width(), height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    // The controls hold the new font now; the old one may go.
    font_ = std::move(font);
}

void Form::press(int buttonId) {
    const HWND button = item(buttonId);
    if (!button || !IsWindowEnabled(button) || !IsWindowVisible(button)) return;
    // As a click would, but the focus stays where the key was pressed.
    SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

int Form::entryWidth(const wchar_t* text) const {
    SIZE s{};
    GetTextExtentPoint32W(measure_.get(), text, lstrlenW(text), &s);
    return s.cx;
}

void Form::entryAdded(Behaviour& list, LRESULT at, int width) {
    const int before = list.widthUses.empty() ? 0 : list.widthUses.rbegin()->first;
    const auto index = std::min(static_cast<std::size_t>(at), list.widths.size());
    list.widths.insert(list.widths.begin() + static_cast<std::ptrdiff_t>(index), width);
    ++list.widthUses[width];
    updateExtent(list, before);
}

void Form::entryRemoved(Behaviour& list, std::size_t at) {
    if (at >= list.widths.size()) return;
    const int before = list.widthUses.rbegin()->first;
    const int width = list.widths[at];
    list.widths.erase(list.widths.begin() + static_cast<std::ptrdiff_t>(at));
    if (--list.widthUses[width] == 0) list.widthUses.erase(width);
    updateExtent(list, before);
}

void Form::remeasure(Behaviour& list) {
    const HWND control = item(list.declared->id);
    const int before = list.widthUses.empty() ? 0 : list.widthUses.rbegin()->first;
    list.widths.clear();
    list.widthUses.clear();
    std::wstring text;
    for (LRESULT i = 0, n = SendMessageW(control, LB_GETCOUNT, 0, 0); i < n; ++i) {
        text.assign(static_cast<std::size_t>(SendMessageW(control, LB_GETTEXTLEN, i, 0)) + 1,
                    L'\0');
        SendMessageW(control, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        list.widths.push_back(entryWidth(text.c_str()));
        ++list.widthUses[list.widths.back()];
    }
    updateExtent(list, before - 1);
}

void Form::updateExtent(Behaviour& list, int before) {
    const int widest = list.widthUses.empty() ? 0 : list.widthUses.rbegin()->first;
    if (widest == before) return;
    // The list scrolls sideways only when an entry is wider than it; a little room after the
    // text, as the list leaves before it.
    const int extent = widest > 0 ? widest + 2 * metric(SM_CXEDGE, dpi_) : 0;
    SendMessageW(item(list.declared->id), LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(extent), 0);
}

LRESULT CALLBACK Form::behave(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR data) {
    auto& b = *reinterpret_cast<Behaviour*>(data);
    Form& form = *b.form;
    switch (message) {
        case WM_GETDLGCODE:
            // Enter reaches the text box instead of the window's default button.
            if (b.declared->enterPresses != 0 && lParam &&
                reinterpret_cast<const MSG*>(lParam)->message == WM_KEYDOWN && wParam == VK_RETURN)
                return win::defSubclassProc(control, message, wParam, lParam) | DLGC_WANTALLKEYS;
            break;
        case WM_KEYDOWN:
            if (wParam == VK_RETURN && b.declared->enterPresses != 0) {
                form.press(b.declared->enterPresses);
                return 0;
            }
            if (wParam == VK_DELETE && b.declared->deletePresses != 0) {
                form.press(b.declared->deletePresses);
                return 0;
            }
            break;
        case WM_CHAR:
            if (wParam == L'\r' && b.declared->enterPresses != 0) return 0;  // no beep
            break;
        case LB_ADDSTRING:
        case LB_INSERTSTRING: {
            const LRESULT at = win::defSubclassProc(control, message, wParam, lParam);
            if (b.measures && at >= 0)
                form.entryAdded(b, at, form.entryWidth(reinterpret_cast<const wchar_t*>(lParam)));
            return at;
        }
        case LB_DELETESTRING: {
            const LRESULT left = win::defSubclassProc(control, message, wParam, lParam);
            if (b.measures && left != LB_ERR) form.entryRemoved(b, wParam);
            return left;
        }
        case LB_RESETCONTENT: {
            const LRESULT result = win::defSubclassProc(control, message, wParam, lParam);
            if (b.measures) form.remeasure(b);
            return result;
        }
        case WM_SETFONT: {
            const LRESULT result = win::defSubclassProc(control, message, wParam, lParam);
            if (b.measures) form.remeasure(b);
            return result;
        }
        case WM_NCDESTROY:
            win::removeSubclass(control, &Form::behave, kBehaviourId);
            break;
    }
    return win::defSubclassProc(control, message, wParam, lParam);
}

bool Form::answerTooltip(const NMHDR& header) {
    if (!tooltip_ || header.hwndFrom != tooltip_ || header.code != TTN_GETDISPINFOW) return false;
    auto& ask = const_cast<NMTTDISPINFOW&>(reinterpret_cast<const NMTTDISPINFOW&>(header));
    const auto label = reinterpret_cast<HWND>(header.idFrom);
    // The whole text, when the label shows it shortened; no tooltip otherwise.
    tipText_ = windowText(label);
    RECT room;
    GetClientRect(label, &room);
    if (entryWidth(tipText_.c_str()) <= room.right) tipText_.clear();
    ask.lpszText = tipText_.data();
    return true;
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
    if (message == WM_NOTIFY && form->answerTooltip(*reinterpret_cast<const NMHDR*>(lParam)))
        return 0;
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
        form->tooltip_ = nullptr;
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

void dispatchMessage(MSG& msg) {
    const HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root && (GetWindowLongW(root, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) &&
        IsDialogMessageW(root, &msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

int runMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) dispatchMessage(msg);
    return static_cast<int>(msg.wParam);
}

void placeBeside(HWND window, HWND anchor) {
    RECT a, w;
    GetWindowRect(anchor, &a);
    GetWindowRect(window, &w);
    const int width = w.right - w.left, height = w.bottom - w.top;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(anchor, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    const int gap = MulDiv(8, static_cast<int>(dpiOf(anchor)), 96);
    int x = a.right + gap, y = a.top;
    if (x + width > work.right) x = a.left - gap - width;
    if (x < work.left) {
        x = a.left + (a.right - a.left - width) / 2;
        y = a.top + (a.bottom - a.top - height) / 2;
    }
    x = std::max(static_cast<int>(work.left), std::min(x, static_cast<int>(work.right) - width));
    y = std::max(static_cast<int>(work.top), std::min(y, static_cast<int>(work.bottom) - height));
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::vector<std::wstring> droppedPaths(HDROP drop) {
    // The shell's library only when something is dropped, not before every window shows.
    static auto* const queryFile =
        systemFunction<decltype(::DragQueryFileW)>(L"shell32.dll", "DragQueryFileW");
    static auto* const finish =
        systemFunction<decltype(::DragFinish)>(L"shell32.dll", "DragFinish");
    std::vector<std::wstring> paths;
    if (!queryFile || !finish) return paths;
    const UINT count = queryFile(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(queryFile(drop, i, nullptr, 0) + 1, L'\0');
        path.resize(queryFile(drop, i, path.data(), static_cast<UINT>(path.size())));
        paths.push_back(std::move(path));
    }
    finish(drop);
    return paths;
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
