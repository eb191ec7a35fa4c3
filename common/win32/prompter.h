// What the user is told: short messages, and the run-time error report after which the program
// ends. Tests replace it with a recorder.
#pragma once

#include <windows.h>

#include <string>

namespace win {

enum class MessageIcon { None, Information };

// A failure the program cannot go on from: what was being done, on which path, and why.
struct RuntimeError {
    std::wstring operation;    // "Creating the job script"
    std::wstring path;         // may be empty
    DWORD code = 0;            // system error number; 0 when the failure is not the system's
    std::wstring description;  // used when code is 0

    static RuntimeError system(std::wstring operation, std::wstring path, DWORD code) {
        return {std::move(operation), std::move(path), code, {}};
    }
    static RuntimeError other(std::wstring operation, std::wstring description) {
        return {std::move(operation), {}, 0, std::move(description)};
    }
};

// The report's text: the operation and path, then "Error N: <system text>".
std::wstring reportText(const RuntimeError& error);

class Prompter {
  public:
    virtual ~Prompter() = default;
    // A modal message with an OK button only, captioned with the program's title.
    virtual void message(const std::wstring& text, MessageIcon icon) = 0;
    // A modal Yes/No question with the warning icon, No being the default; true for Yes.
    virtual bool ask(const std::wstring& question) = 0;
    // Shows the run-time error report; the program then ends. Callers return right after it.
    virtual void runtimeError(const RuntimeError& error) = 0;
};

class MessageBoxPrompter : public Prompter {
  public:
    explicit MessageBoxPrompter(std::wstring title) : title_(std::move(title)) {}
    void setOwner(HWND owner) { owner_ = owner; }
    void message(const std::wstring& text, MessageIcon icon) override;
    bool ask(const std::wstring& question) override;
    void runtimeError(const RuntimeError& error) override;  // ends the process

  private:
    std::wstring title_;
    HWND owner_ = nullptr;
};

}  // namespace win
