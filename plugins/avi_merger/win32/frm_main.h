// The merger's window: the ordered list of AVI files, the method, the output name, and Merge.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "join_check.h"
#include "win32/program_starter.h"
#include "win32/prompter.h"
#include "win32/window_builder.h"

namespace clipjoiner {

// What the window reaches outside itself; tests pass recorders.
struct Services {
    win::Prompter& prompter;
    win::ProgramStarter& starter;
    std::function<void()> endProgram;  // when the window is gone: closed, or after a merge
};

class FrmMain : public win::Form {
  public:
    enum Control : int {
        Frame1 = 100,
        Label1,
        List1,
        Command1,
        Command2,
        Command3,
        Command4,
        Command5,
        Combo1,
        Label2,
        Text1,
        Label3,
    };

    explicit FrmMain(Services services);

    // Creates the window hidden.
    bool create();
    // Appends the AVI files of the folder to the list and makes it the output folder, and says
    // when files were left out (once the window shows). When the folder cannot be listed, the
    // run-time error report is shown (the program then ends) and false comes back.
    bool loadFolder(const std::wstring& path);
    // The folder loaded last: where the merged file goes.
    const std::wstring& outputFolder() const { return outputFolder_; }

  private:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void move(int by);
    void removeSelected();
    void add();
    void merge();
    void failMerge(const std::wstring& message);
    // The step between the checks and the script: the listed files compared for a stream copy,
    // and the user asked when one cannot join the first. True to go on with the merge.
    bool confirmJoin(const std::vector<std::wstring>& paths);
    // Runs the comparison beside the message loop, so that the window repaints, shows its
    // progress and can be closed; false when it was stopped (Esc, or the window closed).
    bool runJoinCheck(const std::vector<std::wstring>& paths, std::optional<JoinProblem>& problem);
    // A note with the information icon, now or once the window shows.
    void tell(const std::wstring& text);

    static constexpr UINT kShowNotes = WM_APP;

    Services services_;
    std::vector<std::wstring> pendingNotes_;
    bool checking_ = false;
    std::atomic<bool> stopCheck_{false};
    bool closeAfterCheck_ = false;
    std::wstring outputFolder_;
};

}  // namespace clipjoiner
