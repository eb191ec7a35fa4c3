#include "win32/data_list_box.h"

#include <commctrl.h>

#include "win32/handles.h"

namespace win {

DataListBox::~DataListBox() {
    if (list_) RemoveWindowSubclass(list_, &DataListBox::subclass, 0);
}

bool DataListBox::attach(HWND list) {
    if (!list ||
        !SetWindowSubclass(list, &DataListBox::subclass, 0, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    list_ = list;
    fitItemHeight();
    return true;
}

LRESULT CALLBACK DataListBox::subclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR, DWORD_PTR self) {
    auto* box = reinterpret_cast<DataListBox*>(self);
    switch (message) {
        case WM_SETFONT: {
            // An owner-drawn list keeps its item height through a font change; a list of
            // strings takes the new font's. A new DPI brings a new font.
            const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
            box->fitItemHeight();
            return result;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, &DataListBox::subclass, 0);
            box->list_ = nullptr;
            break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

void DataListBox::fitItemHeight() const {
    const WindowDc dc(list_);
    if (!dc.get()) return;
    const auto font = reinterpret_cast<HFONT>(SendMessageW(list_, WM_GETFONT, 0, 0));
    const HGDIOBJ old =
        SelectObject(dc.get(), font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    TEXTMETRICW metrics{};
    const bool measured = GetTextMetricsW(dc.get(), &metrics);
    SelectObject(dc.get(), old);
    if (measured) SendMessageW(list_, LB_SETITEMHEIGHT, 0, MAKELPARAM(metrics.tmHeight, 0));
}

std::wstring DataListBox::shownText(std::size_t index) const {
    std::wstring text = textOf_(index);
    if (const auto nul = text.find(L'\0'); nul != std::wstring::npos) text.resize(nul);
    return text;
}

bool DataListBox::ownerMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) const {
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

void DataListBox::draw(const DRAWITEMSTRUCT& item) const {
    const HDC dc = item.hDC;
    RECT rect = item.rcItem;
    // As a list box of strings draws its items: the owner's colours (WM_CTLCOLORLISTBOX) unless
    // selected, the text one pixel in, its cell filled. A change of focus alone is drawn the same
    // way, whole, rather than by toggling the focus rectangle, so that it never depends on which
    // of the item's drawings the system sends.
    const std::size_t count = static_cast<std::size_t>(SendMessageW(list_, LB_GETCOUNT, 0, 0));
    const bool exists = item.itemID < count;  // -1: the focus of an empty list
    const std::wstring text = exists ? shownText(item.itemID) : std::wstring();
    const bool selected = exists && (item.itemState & ODS_SELECTED);
    const COLORREF oldBack = selected ? SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT)) : CLR_INVALID;
    const COLORREF oldText =
        selected ? SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT)) : GetTextColor(dc);
    if (item.itemState & ODS_DISABLED) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
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
