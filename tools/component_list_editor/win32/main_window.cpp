#include "main_window.h"

#include <optional>

#include "common_general.h"
#include "component_list.h"
#include "core/job_script.h"

namespace partroster {

namespace {

using win::ControlKind;

// In tab order: the four boxes, then "+"; each label just before its box, so that screen readers
// name the box by it.
constexpr win::ControlSpec kControls[] = {
    {Main::Label1, ControlKind::Label,
     L"Check Type: 1-App.Path + Folder 2-Folder 3-App.path + File 4-File", 6, 8, 495, 13},
    {Main::Text1, ControlKind::TextBox, L"", 6, 24, 239, 19, 0, 1},
    {Main::Label2, ControlKind::Label,
     L"Warning Level: 1-Critical Folder 2-Create App.Path + Name 3-Create Name 4-Codec Missing", 6,
     50, 495, 13},
    {Main::Text2, ControlKind::TextBox, L"", 6, 66, 239, 19, 0, 1},
    {Main::Label3, ControlKind::Label, L"Description", 6, 90, 495, 13},
    {Main::Text3, ControlKind::TextBox, L"", 6, 106, 451, 19},
    {Main::Label4, ControlKind::Label, L"Path", 6, 130, 495, 13},
    {.id = Main::Text4,
     .kind = ControlKind::TextBox,
     .text = L"",
     .left = 6,
     .top = 146,
     .width = 451,
     .height = 19,
     .enterPresses = Main::Command2},
    {Main::Command2, ControlKind::Button, L"+", 468, 226, 35, 33},
    {.id = Main::List1,
     .kind = ControlKind::DataListBox,
     .text = L"",
     .left = 4,
     .top = 170,
     .width = 451,
     .height = 199,
     .deletePresses = Main::Command1},
    {Main::Command1, ControlKind::Button, L"X", 468, 176, 35, 33},
    {Main::Command3, ControlKind::Button, L"Top", 468, 274, 35, 33},
    {Main::Command4, ControlKind::Button, L"Norm", 468, 316, 35, 33},
};

constexpr int kIcon = 1;

constexpr win::FormSpec kForm = {
    L"partroster.main",
    L"Movarix v4 Component List Editor",
    508,
    371,
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
    0,
    kIcon,
};

constexpr const wchar_t* kReading = L"Reading the component list";
constexpr const wchar_t* kSaving = L"Saving the component list";
constexpr const wchar_t* kChanged =
    L"Comp_lst.dll was changed by another program since the editor read it. The list now shows "
    L"it as it is.\n\n";

std::wstring fromAnsi(std::string_view bytes) {
    if (bytes.empty()) return {};
    const int length = static_cast<int>(bytes.size());
    std::wstring text(bytes.size(), L'\0');
    text.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, text.data(), length)));
    return text;
}

// The ANSI bytes of a typed text, when they read back as the same text: a character the code
// page lacks would otherwise be stored as '?' or a look-alike.
std::optional<std::string> toAnsi(std::wstring_view text) {
    const int length = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), length, nullptr,
                                         0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), length, bytes.data(), size,
                        nullptr, nullptr);
    if (fromAnsi(bytes) != text) return std::nullopt;
    return bytes;
}

}  // namespace

Main::Main(Services services)
    : services_(std::move(services)), list_([this](std::size_t index) {
          return index < entries_.size() ? fromAnsi(entries_[index]) : std::wstring();
      }) {}

bool Main::create() {
    const win::DataListBox::CreationHook scrollsSideways;
    return Form::create(kForm, kControls) && list_.attach(item(List1));
}

bool Main::load() {
    std::string bytes;
    if (const DWORD error = readListFile(services_.listPath, bytes)) {
        services_.prompter.runtimeError(
            win::RuntimeError::system(kReading, services_.listPath, error));
        return false;
    }
    const ListStamp stamp = stampOf(bytes);
    EntryList entries(std::move(bytes));
    if (entries.size() > common::kMaxCount16) {
        services_.prompter.runtimeError(
            {kReading, services_.listPath, 0,
             L"Overflow: the list holds more than 32767 entries, the most the editor can index."});
        return false;
    }
    // List1 holds no entries of its own: it is told how many there are and asks for the text of
    // those it shows.
    const HWND list = item(List1);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    if (SendMessageW(list, LB_SETCOUNT, entries.size(), 0) < 0) {
        services_.prompter.runtimeError(
            {kReading, services_.listPath, 0, L"The list has no room for the entries."});
        return false;
    }
    entries_ = std::move(entries);
    onDisk_ = stamp;
    return true;
}

SaveOutcome Main::saveList() {
    const SaveResult result =
        saveListFile(services_.fileSystem, services_.listPath, entries_, onDisk_);
    if (result.outcome == SaveOutcome::Failed) {
        services_.prompter.runtimeError(
            win::RuntimeError::system(kSaving, services_.listPath, result.error));
    } else if (result.outcome == SaveOutcome::ChangedElsewhere) {
        // The file as the other program left it, scrolled where the user was.
        const HWND list = item(List1);
        const auto top = SendMessageW(list, LB_GETTOPINDEX, 0, 0);
        if (!load()) return SaveOutcome::Failed;
        SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
    }
    return result.outcome;
}

void Main::showChange(bool added, std::size_t removedAt) {
    // Drawn once, when all of it is done: each step alone would redraw the scroll bar.
    const HWND list = item(List1);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    const auto changed = added ? SendMessageW(list, LB_ADDSTRING, 0, 0)
                               : SendMessageW(list, LB_DELETESTRING, removedAt, 0);
    // Where the save's walk through the list used to end: a second X removes the last entry.
    if (!entries_.empty()) SendMessageW(list, LB_SETCURSEL, entries_.size() - 1, 0);
    // Turned back on, the list draws its scroll bar at once, and the invalidation below draws it
    // again. Out of sight for that moment, as WM_SETREDRAW itself leaves a window, it is drawn
    // once: under Wine each drawing of a scroll bar costs about a write of the whole list.
    const auto style = GetWindowLongW(list, GWL_STYLE);
    SetWindowLongW(list, GWL_STYLE, style & ~WS_VISIBLE);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    SetWindowLongW(list, GWL_STYLE, GetWindowLongW(list, GWL_STYLE) | (style & WS_VISIBLE));
    RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
    if (changed == LB_ERR || changed == LB_ERRSPACE)
        services_.prompter.runtimeError(
            {L"Showing the change", services_.listPath, 0, L"The list has no room left."});
}

void Main::remove() {
    const HWND list = item(List1);
    const auto selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (selected < 0 || static_cast<std::size_t>(selected) >= entries_.size()) return;
    // List1 changes only once the file holds the change; a failed save takes it back.
    const auto index = static_cast<std::size_t>(selected);
    const std::string removed(entries_[index]);
    entries_.erase(index);
    switch (saveList()) {
        case SaveOutcome::Saved:
            showChange(false, index);
            return;
        case SaveOutcome::Failed:
            entries_.insert(index, removed);
            return;
        case SaveOutcome::ChangedElsewhere: {
            // Offered again, selected, where the other program left it.
            const auto at = index < entries_.size() && entries_[index] == removed
                                ? std::optional<std::size_t>(index)
                                : entries_.find(removed);
            if (at) SendMessageW(list, LB_SETCURSEL, *at, 0);
            services_.prompter.message(
                std::wstring(kChanged) +
                    (at ? L"Nothing was removed: the entry is selected, press X to remove it now."
                        : L"Nothing was removed: the entry is no longer in the list."),
                win::MessageIcon::Information);
            return;
        }
    }
}

void Main::add() {
    const auto entry = composeEntry(win::windowText(item(Text1)), win::windowText(item(Text2)),
                                    win::windowText(item(Text3)), win::windowText(item(Text4)));
    if (!entry) return;
    if (entries_.size() >= common::kMaxCount16) {
        services_.prompter.message(
            L"The list is full: it holds 32767 entries, the most it can.\n\nNothing was added.",
            win::MessageIcon::None);
        return;
    }
    auto bytes = toAnsi(*entry);
    if (!bytes) {
        services_.prompter.message(
            L"The list file cannot hold some characters of this entry "
            L"(it is saved in the system's ANSI code page):\n\n" +
                *entry + L"\n\nNothing was added.",
            win::MessageIcon::None);
        return;
    }
    entries_.push_back(*bytes);
    switch (saveList()) {
        case SaveOutcome::Saved:
            break;
        case SaveOutcome::Failed:
            entries_.erase(entries_.size() - 1);
            return;
        case SaveOutcome::ChangedElsewhere:
            // The boxes keep the entry.
            services_.prompter.message(
                std::wstring(kChanged) + L"The entry was not added: press + to add it now.",
                win::MessageIcon::Information);
            return;
    }
    showChange(true, 0);
}

LRESULT Main::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) break;
            switch (LOWORD(wParam)) {
                case Command1:
                    remove();
                    return 0;
                case Command2:
                    add();
                    return 0;
                case Command3:
                    setTopMost(hwnd(), kTrue);
                    return 0;
                case Command4:
                    setTopMost(hwnd(), kFalse);
                    return 0;
            }
            break;
        case WM_DRAWITEM:
        case WM_CHARTOITEM: {
            LRESULT result = 0;
            if (list_.ownerMessage(message, wParam, lParam, result)) return result;
            break;
        }
        case WM_DESTROY:
            services_.endProgram();
            return 0;
    }
    return Form::onMessage(message, wParam, lParam);
}

}  // namespace partroster
