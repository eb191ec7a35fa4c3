// A list box that keeps no strings (LBS_NODATA): its owner keeps the entries and the list asks for
// the text of the ones it shows, so that 32767 entries go in with one LB_SETCOUNT. To the user it
// is a list box of strings: the same item height and drawing, selection, scrolling and keys, the
// first letter of an entry included.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>

namespace win {

class DataListBox {
  public:
    // The text shown for an entry; called only for entries that exist.
    using TextOf = std::function<std::wstring(std::size_t index)>;

    explicit DataListBox(TextOf textOf) : textOf_(std::move(textOf)) {}
    ~DataListBox();
    DataListBox(const DataListBox&) = delete;
    DataListBox& operator=(const DataListBox&) = delete;

    // Takes over a list box built as ControlKind::DataListBox: from now on its item height
    // follows its font, as a list box of strings does.
    bool attach(HWND list);
    HWND hwnd() const { return list_; }

    // The owner passes on its WM_DRAWITEM and WM_CHARTOITEM; true when they were for this list.
    bool ownerMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) const;

    // Exactly what the list draws for the entry: the text up to any NUL, as a list box of strings
    // would hold it.
    std::wstring shownText(std::size_t index) const;

  private:
    static LRESULT CALLBACK subclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR self);
    void fitItemHeight() const;
    void draw(const DRAWITEMSTRUCT& item) const;
    LRESULT entryStartingWith(wchar_t c, std::size_t caret) const;

    TextOf textOf_;
    HWND list_ = nullptr;
};

}  // namespace win
