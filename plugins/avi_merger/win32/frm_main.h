// The merger's window: the ordered list of AVI files, the method, the output name, and Merge.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "join_check.h"
#include "merge_script.h"
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

    // What a folder that cannot be listed leads to: the run-time error report, after which the
    // program ends (start-up, Add), or a message (a drop).
    enum class OnFailure { EndProgram, Tell };

    // Creates the window hidden.
    bool create();
    // Appends the AVI files of the folder to the list and makes it the output folder, and says
    // when files were left out (once the window shows). False, after the report or message, when
    // the folder cannot be listed.
    bool loadFolder(const std::wstring& path, OnFailure onFailure = OnFailure::EndProgram);
    // The folder loaded last: where the merged file goes.
    const std::wstring& outputFolder() const { return outputFolder_; }

  private:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void move(int by);
    void removeSelected();
    void add();
    void drop(HDROP files);
    // Merge and its steps; each step that fails has told the user why, and merge stops.
    void merge();
    bool nameInScript(const std::wstring& path, std::string& bytes);
    bool collectInputs(MergeCommand& command, std::vector<std::wstring>& inputs);
    bool outputSparesInputs(const std::wstring& outputPath,
                            const std::vector<std::wstring>& inputs);
    bool mayReplace(const std::wstring& outputPath);
    void failMerge(const std::wstring& message);
    void select(std::size_t index);
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
