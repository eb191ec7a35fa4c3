// The editor's one window, main: the entries of the list file, four boxes from which a new entry
// is composed, and X, +, Top and Norm. Every change is saved before its click returns, unless
// another program changed the file since the editor read it: then the list is read again.
#pragma once

#include <functional>
#include <string>

#include "component_list.h"
#include "list_file.h"
#include "win32/data_list_box.h"
#include "win32/prompter.h"
#include "win32/window_builder.h"

namespace partroster {

// What the window reaches outside itself; tests pass recorders.
struct Services {
    win::Prompter& prompter;
    SaveFileSystem& fileSystem;
    std::wstring listPath;
    std::function<void()> endProgram;  // when the window is closed
};

class Main : public win::Form {
  public:
    enum Control : int {
        Text1 = 100,
        Text2,
        Text3,
        Text4,
        Command2,
        Label1,
        Label2,
        Label3,
        List1,
        Command1,
        Label4,
        Command3,
        Command4,
    };

    explicit Main(Services services);

    // Creates the window hidden.
    bool create();
    // Fills List1 from the list file, with no entry selected. False after the run-time error
    // report, when the file cannot be read.
    bool load();

    // The text List1 shows for an entry.
    std::wstring shownText(std::size_t index) const { return list_.shownText(index); }

  private:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void remove();
    void add();
    // Writes entries_ to the file. ChangedElsewhere: nothing was written, the list now shows the
    // file as it is. Failed: after the run-time error report.
    SaveOutcome saveList();
    // List1 after a saved + or X, with the last entry selected.
    void showChange(bool added, std::size_t removedAt);

    Services services_;
    // The entries as read from the file or composed; List1 holds none and draws them decoded.
    EntryList entries_;
    // What the file held when it was last read or written.
    ListStamp onDisk_;
    win::DataListBox list_;
};

}  // namespace partroster
