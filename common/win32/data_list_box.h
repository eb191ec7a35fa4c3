// A list box that keeps no strings (LBS_NODATA): its owner keeps the entries and the list asks for
// the text of the ones it shows, so that 32767 entries go in with one LB_SETCOUNT. To the user it
// is a list box of strings: the same item height and drawing, selection, scrolling and keys, the
// first letter of an entry included, and a horizontal scroll bar once an entry it has drawn is
// wider than it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace win {

class DataListBox {
  public:
    // The text shown for an entry; called only for entries that exist.
    using TextOf = std::function<std::wstring(std::size_t index)>;

    // A list box scrolls sideways only when it is made with a horizontal scroll bar, and the
    // builder makes this one without: while a CreationHook lives, the owner-data list boxes made
    // on this thread get one.
    class CreationHook {
      public:
        CreationHook();
        ~CreationHook();
        CreationHook(const CreationHook&) = delete;
        CreationHook& operator=(const CreationHook&) = delete;

      private:
        HHOOK hook_;
    };

    explicit DataListBox(TextOf textOf) : textOf_(std::move(textOf)) {}
    ~DataListBox();
    DataListBox(const DataListBox&) = delete;
    DataListBox& operator=(const DataListBox&) = delete;

    // Takes over a list box built as ControlKind::DataListBox: from now on its item height
    // follows its font, as a list box of strings does, and its horizontal extent its widest entry.
    bool attach(HWND list);
    HWND hwnd() const { return list_; }

    // The owner passes on its WM_DRAWITEM and WM_CHARTOITEM; true when they were for this list.
    bool ownerMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Exactly what the list draws for the entry: the text up to any NUL, as a list box of strings
    // would hold it.
    std::wstring shownText(std::size_t index) const;

  private:
    static LRESULT CALLBACK subclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR self);
    void fitItemHeight();
    void draw(const DRAWITEMSTRUCT& item);
    LRESULT entryStartingWith(wchar_t c, std::size_t caret) const;
    void forgetWidths(std::size_t count);
    void added(std::size_t index);
    void measured(std::size_t index, int width);
    void removed(std::size_t index);
    void updateExtent();

    TextOf textOf_;
    HWND list_ = nullptr;
    std::vector<int> widths_;               // one per entry: its width once drawn, -1 before
    std::map<int, std::size_t> widthUses_;  // width -> entries drawn that wide
    int character_ = 8;                     // the font's average character width
    int extent_ = 0;                        // the horizontal extent the list was given
    bool extentChanged_ = false;
    int depth_ = 0;  // messages to the list being handled, one inside another
};

}  // namespace win
