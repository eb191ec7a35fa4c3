#include "win32/data_list_box.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>

#include "win32/handles.h"
#include "win32/subclass.h"

namespace win {

namespace {

constexpr int kUnmeasured = -1;

LRESULT CALLBACK giveHorizontalScrollBar(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const auto window = reinterpret_cast<HWND>(wParam);
        CREATESTRUCTW& create = *reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (lstrcmpiW(name, L"ListBox") == 0 && (create.style & LBS_NODATA)) {
            // Before the list box reads its style, whichever of the two it reads.
            create.style |= WS_HSCROLL;
            SetWindowLongW(window, GWL_STYLE, GetWindowLongW(window, GWL_STYLE) | WS_HSCROLL);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

DataListBox::CreationHook::CreationHook()
    : hook_(SetWindowsHookExW(WH_CBT, &giveHorizontalScrollBar, nullptr, GetCurrentThreadId())) {}

DataListBox::CreationHook::~CreationHook() {
    if (hook_) UnhookWindowsHookEx(hook_);
}

DataListBox::~DataListBox() {
    if (list_) win::removeSubclass(list_, &DataListBox::subclass, 0);
}

bool DataListBox::attach(HWND list) {
    if (!list ||
        !win::setSubclass(list, &DataListBox::subclass, 0, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    list_ = list;
    fitItemHeight();
    return true;
}

LRESULT CALLBACK DataListBox::subclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR, DWORD_PTR self) {
    auto* box = reinterpret_cast<DataListBox*>(self);
    if (message == WM_NCDESTROY) {
        win::removeSubclass(hwnd, &DataListBox::subclass, 0);
        box->list_ = nullptr;
        return win::defSubclassProc(hwnd, message, wParam, lParam);
    }
    // Printed as painted: an owner-drawn list fills what lies below its rows only when it erases.
    if (message == WM_PRINTCLIENT && (lParam & PRF_ERASEBKGND))
        SendMessageW(hwnd, WM_ERASEBKGND, wParam, 0);
    ++box->depth_;
    const LRESULT result = win::defSubclassProc(hwnd, message, wParam, lParam);
    --box->depth_;
    switch (message) {
        case WM_SETFONT:
            // An owner-drawn list keeps its item height through a font change; a list of
            // strings takes the new font's. A new DPI brings a new font, and new widths.
            box->fitItemHeight();
            box->forgetWidths(box->widths_.size());
            break;
        case LB_SETCOUNT:
            if (result >= 0) box->forgetWidths(wParam);
            break;
        case LB_RESETCONTENT:
            box->forgetWidths(0);
            break;
        case LB_ADDSTRING:
        case LB_INSERTSTRING:
            if (result >= 0) box->added(static_cast<std::size_t>(result));
            break;
        case LB_DELETESTRING:
            if (result != LB_ERR) box->removed(wParam);
            break;
        case WM_SIZE:
            box->extentChanged_ = true;  // another width to compare with
            break;
    }
    // Once for all the rows a message drew, not from within its drawing.
    if (box->extentChanged_ && box->depth_ == 0) box->updateExtent();
    return result;
}

void DataListBox::fitItemHeight() {
    const WindowDc dc(list_);
    if (!dc.get()) return;
    const auto font = reinterpret_cast<HFONT>(SendMessageW(list_, WM_GETFONT, 0, 0));
    const HGDIOBJ old =
        SelectObject(dc.get(), font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    TEXTMETRICW metrics{};
    const bool measured = GetTextMetricsW(dc.get(), &metrics);
    SelectObject(dc.get(), old);
    if (!measured) return;
    SendMessageW(list_, LB_SETITEMHEIGHT, 0, MAKELPARAM(metrics.tmHeight, 0));
    character_ = metrics.tmAveCharWidth;
}

// Entries are measured as they are drawn, not all at once: 32767 of them would cost start-up
// several times the reading of the file, and an entry not yet drawn is not in view, so there is
// nothing of it to scroll to. While the entries stay, the extent only grows, so the scroll bar
// does not come and go as the list scrolls up and down.
void DataListBox::forgetWidths(std::size_t count) {
    widths_.assign(count, kUnmeasured);
    widthUses_.clear();
    extentChanged_ = true;
}

void DataListBox::added(std::size_t index) {
    widths_.insert(widths_.begin() + static_cast<std::ptrdiff_t>(std::min(index, widths_.size())),
                   kUnmeasured);
}

void DataListBox::measured(std::size_t index, int width) {
    if (widthUses_.empty() || width > widthUses_.rbegin()->first) extentChanged_ = true;
    widths_[index] = width;
    ++widthUses_[width];
}

void DataListBox::removed(std::size_t index) {
    if (index >= widths_.size()) return;
    const int width = widths_[index];
    widths_.erase(widths_.begin() + static_cast<std::ptrdiff_t>(index));
    const auto uses = widthUses_.find(width);
    if (uses == widthUses_.end() || --uses->second > 0) return;
    if (std::next(uses) == widthUses_.end()) extentChanged_ = true;  // it was the widest
    widthUses_.erase(uses);
}

void DataListBox::updateExtent() {
    extentChanged_ = false;
    if (!list_) return;
    // The text starts one pixel in; a character's room after it. An extent the list is wide
    // enough for shows nothing, and each change redraws the scroll bars: it is left at 0.
    const int widest = widthUses_.empty() ? 0 : widthUses_.rbegin()->first;
    const int needed = widest > 0 ? 1 + widest + character_ : 0;
    RECT client{};
    GetClientRect(list_, &client);
    const int extent = needed > client.right ? needed : 0;
    if (extent == extent_) return;
    extent_ = extent;
    SendMessageW(list_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(extent), 0);
}

std::wstring DataListBox::shownText(std::size_t index) const {
    std::wstring text = textOf_(index);
    if (const auto nul = text.find(L'\0'); nul != std::wstring::npos) text.resize(nul);
    return text;
}

bool DataListBox::ownerMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (!list_) return false;
    if (message == WM_DRAWITEM) {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (!item || item->hwndItem != list_) return false;
        draw(*item);
        result = TRUE;
        return true;
    }
    if (message == WM_CHARTOITEM && reinterpret_cast<HWND>(lParam) == list_) {
        result = entryStartingWith(static_cast<wchar_t>(LOWORD(wParam)), HIWORD(wParam));
        return true;
    }
    return false;
}

void DataListBox::draw(const DRAWITEMSTRUCT& item) {
    const HDC dc = item.hDC;
    RECT rect = item.rcItem;
    // As a list box of strings draws its items: the owner's colours (WM_CTLCOLORLISTBOX) unless
    // selected, the text one pixel in, its cell filled. A change of focus alone is drawn the same
    // way, whole, rather than by toggling the focus rectangle, so that it never depends on which
    // of the item's drawings the system sends.
    // The count is the one kept beside the widths: no message to the list for each row drawn.
    const bool exists = item.itemID < widths_.size();  // -1: the focus of an empty list
    const std::wstring text = exists ? shownText(item.itemID) : std::wstring();
    const bool selected = exists && (item.itemState & ODS_SELECTED);
    const COLORREF oldBack = selected ? SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT)) : CLR_INVALID;
    const COLORREF oldText =
        selected ? SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT)) : GetTextColor(dc);
    if (item.itemState & ODS_DISABLED) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    if (exists && widths_[item.itemID] == kUnmeasured) {
        SIZE size{};
        GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
        measured(item.itemID, size.cx);
    }
    ExtTextOutW(dc, rect.left + 1, rect.top, ETO_OPAQUE | ETO_CLIPPED, &rect, text.data(),
                static_cast<UINT>(text.size()), nullptr);
    if (selected) SetBkColor(dc, oldBack);
    SetTextColor(dc, oldText);
    if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &rect);
}

LRESULT DataListBox::entryStartingWith(wchar_t c, std::size_t caret) const {
    // The next entry after the caret whose first letter is the one typed, case ignored, going
    // round from the end to the start; nothing happens when there is none.
    const std::size_t count = static_cast<std::size_t>(SendMessageW(list_, LB_GETCOUNT, 0, 0));
    if (caret >= count) caret = count - 1;  // no caret: the search starts at the first entry
    for (std::size_t step = 1; step <= count; ++step) {
        const std::size_t index = (caret + step) % count;
        const std::wstring text = shownText(index);
        if (!text.empty() && CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, &c, 1,
                                            text.data(), 1) == CSTR_EQUAL)
            return static_cast<LRESULT>(index);
    }
    return -2;
}

}  // namespace win
