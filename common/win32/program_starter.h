// Starting a job script: always through the command interpreter, never as a bare path that the
// system might resolve to another program.
#pragma once

#include <windows.h>

#include <string>

namespace win {

class ProgramStarter {
  public:
    virtual ~ProgramStarter() = default;
    // Starts the batch file, a full path, in a new console shown with showCommand, with its
    // folder as the current folder; returns at once with 0, or the system error number when it
    // could not be started.
    virtual DWORD startScript(const std::wstring& scriptPath, int showCommand) = 0;
};

class CommandInterpreterStarter : public ProgramStarter {
  public:
    DWORD startScript(const std::wstring& scriptPath, int showCommand) override;
};

// The command interpreter named by ComSpec, or cmd.exe in the system folder.
std::wstring commandInterpreter();

}  // namespace win
