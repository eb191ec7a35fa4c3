// The splitter's main window: the input file, the part list, and Start!.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/movie_info.h"
#include "dlg_add.h"
#include "split_script.h"
#include "win32/program_starter.h"
#include "win32/prompter.h"
#include "win32/window_builder.h"

namespace clipcutter {

// What the window reaches outside itself; tests pass recorders.
struct Services {
    win::Prompter& prompter;
    win::ProgramStarter& starter;
    std::wstring programFolder;
    std::function<void()> endProgram;  // when the main window is closed
};

class FrmMain : public win::Form {
  public:
    enum Control : int {
        Frame1 = 100,
        Label1,
        Label2,
        Command1,
        lb_path,
        Label4,
        List1,
        Command2,
        Command3,
        Command4,
        lb_length,  // the chosen movie's length
    };

    explicit FrmMain(Services services);
    ~FrmMain() override;

    // Creates the window hidden.
    bool create();
    // The Add Part dialog while it exists (created by the first Add Part, gone after its close
    // button or with this window).
    DlgAdd* addDialog() const;

  private:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void browse();
    // Where a file becomes the input, whether chosen in the file-open dialog or dropped: the path
    // label, and the movie's length read and shown.
    void chooseInputFile(const std::wstring& path);
    void drop(HDROP files);
    void addPart();
    void appendPart(const std::wstring& line);
    void remove();
    void startSplit();
    // Says why Start! writes nothing, with the part it names selected.
    void refuseStart(const ScriptRefusal& refusal);

    Services services_;
    std::unique_ptr<DlgAdd> dlgAdd_;
    // The entries of List1, kept beside it: Start! reads them without a message per entry.
    std::vector<std::wstring> parts_;
    std::wstring lastFile_;  // the file-open dialog's file name: its last confirmed choice
    std::optional<common::Duration> movieLength_;  // of the chosen file, when it could be read
};

}  // namespace clipcutter
