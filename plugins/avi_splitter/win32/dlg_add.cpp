#include "dlg_add.h"

#include <commctrl.h>

#include "split_script.h"
#include "win32/subclass.h"

namespace clipcutter {

namespace {

using win::ControlKind;

constexpr win::ControlSpec kControls[] = {
    {DlgAdd::OKButton, ControlKind::DefaultButton, L"OK", 174, 52, 81, 25},
    {DlgAdd::CancelButton, ControlKind::Button, L"Cancel", 174, 84, 81, 25},
    {DlgAdd::Label1, ControlKind::Label, L"Start:", 14, 34, 33, 15},
    {DlgAdd::txt_hr, ControlKind::TextBox, L"00", 50, 32, 29, 19},
    {DlgAdd::Label2, ControlKind::Label, L":", 80, 34, 11, 15},
    {DlgAdd::txt_min, ControlKind::TextBox, L"00", 86, 32, 29, 19},
    {DlgAdd::Label3, ControlKind::Label, L":", 116, 34, 11, 15},
    {DlgAdd::txt_sec, ControlKind::TextBox, L"00", 122, 32, 29, 19},
    {DlgAdd::Label4, ControlKind::Label, L"Hour", 50, 52, 31, 23},
    {DlgAdd::Label5, ControlKind::Label, L"Sec", 124, 52, 31, 23},
    {DlgAdd::Label6, ControlKind::Label, L"Min", 88, 52, 31, 23},
    {DlgAdd::Label7, ControlKind::Label, L"End:", 14, 88, 33, 15},
    {DlgAdd::txt_hr_end, ControlKind::TextBox, L"00", 50, 86, 29, 19},
    {DlgAdd::Label8, ControlKind::Label, L":", 80, 88, 11, 15},
    {DlgAdd::txt_min_end, ControlKind::TextBox, L"00", 86, 86, 29, 19},
    {DlgAdd::Label9, ControlKind::Label, L":", 116, 88, 11, 15},
    {DlgAdd::txt_sec_end, ControlKind::TextBox, L"00", 122, 86, 29, 19},
    {DlgAdd::Label10, ControlKind::Label, L"Hour", 50, 106, 31, 23},
    {DlgAdd::Label11, ControlKind::Label, L"Sec", 124, 106, 31, 23},
    {DlgAdd::Label12, ControlKind::Label, L"Min", 88, 106, 31, 23},
    {DlgAdd::chk_end, ControlKind::CheckBox, L"Until end of movie", 38, 134, 123, 19},
    {DlgAdd::chk_start, ControlKind::CheckBox, L"From start", 38, 10, 123, 19},
};

constexpr win::FormSpec kForm = {
    L"clipcutter.dlg_add", L"Add Part", 263, 165, WS_POPUP | WS_CAPTION | WS_SYSMENU,
    WS_EX_TOOLWINDOW,      0,
};

constexpr int kTimeFields[] = {DlgAdd::txt_hr,     DlgAdd::txt_min,     DlgAdd::txt_sec,
                               DlgAdd::txt_hr_end, DlgAdd::txt_min_end, DlgAdd::txt_sec_end};

// A click into a time field selects its whole text, so that typing replaces it.
LRESULT CALLBACK selectOnClick(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR) {
    const LRESULT result = win::defSubclassProc(hwnd, message, wParam, lParam);
    if (message == WM_LBUTTONUP) SendMessageW(hwnd, EM_SETSEL, 0, -1);
    return result;
}

}  // namespace

DlgAdd::DlgAdd(std::function<void(const std::wstring&)> appendPart)
    : appendPart_(std::move(appendPart)) {}

bool DlgAdd::create() {
    if (!Form::create(kForm, kControls)) return false;
    for (int field : kTimeFields) win::setSubclass(item(field), selectOnClick, 1, 0);
    return true;
}

void DlgAdd::show(HWND beside) {
    if (!IsWindowVisible(hwnd())) win::placeBeside(hwnd(), beside);
    ShowWindow(hwnd(), SW_SHOW);
    SetForegroundWindow(hwnd());
}

void DlgAdd::syncEnabled(int checkBox, std::initializer_list<int> fields) {
    const BOOL enable = IsDlgButtonChecked(hwnd(), checkBox) == BST_CHECKED ? FALSE : TRUE;
    for (int field : fields) EnableWindow(item(field), enable);
}

void DlgAdd::ok() {
    const auto text = [this](int id) { return win::windowText(item(id)); };
    const std::wstring start = timeText(text(txt_hr), text(txt_min), text(txt_sec));
    const std::wstring end = timeText(text(txt_hr_end), text(txt_min_end), text(txt_sec_end));
    const bool fromStart = IsDlgButtonChecked(hwnd(), chk_start) == BST_CHECKED;
    const bool untilEnd = IsDlgButtonChecked(hwnd(), chk_end) == BST_CHECKED;
    for (const auto& line : partLinesForOk(start, end, fromStart, untilEnd)) appendPart_(line);
    ShowWindow(hwnd(), SW_HIDE);
}

LRESULT DlgAdd::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
            case OKButton:
                ok();
                return 0;
            case CancelButton:
                ShowWindow(hwnd(), SW_HIDE);
                return 0;
            case chk_start:
                syncEnabled(chk_start, {txt_hr, txt_min, txt_sec});
                return 0;
            case chk_end:
                syncEnabled(chk_end, {txt_hr_end, txt_min_end, txt_sec_end});
                return 0;
        }
    }
    return Form::onMessage(message, wParam, lParam);
}

}  // namespace clipcutter
