// What the end-to-end tests share: a throw-away host folder, the started program, the programs
// the build made, and the records of the recording encoder.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "win32/handles.h"
#include "win32/tests/window_driver.h"

namespace e2e {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

// A program the build wrote, named by its build-machine path. Under Wine that path is a Unix one,
// which Wine's own converter turns into the drive path it is reachable by.
inline fs::path builtProgram(const char* buildPath) {
    using ToDos = WCHAR* CDECL(const char*);
    const auto toDos = reinterpret_cast<ToDos*>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (buildPath[0] != '/' || !toDos) return fs::path(buildPath).make_preferred();
    WCHAR* dos = toDos(buildPath);
    fs::path path = dos ? dos : L"";
    HeapFree(GetProcessHeap(), 0, dos);
    return path;
}

// A unique temp folder, removed at the end, retried: the script's last encoder may still exit.
class TempFolder {
  public:
    TempFolder()
        : path_(fs::temp_directory_path() /
                (L"clipcutter-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(GetTickCount64()))) {}
    ~TempFolder() {
        std::error_code error;
        waitUntil([&] { return fs::remove_all(path_, error), !fs::exists(path_, error); },
                  std::chrono::milliseconds(5000));
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

// A host folder as the host lays it out (plugins, bin\mencoder.exe the recording encoder, tmp),
// named so that "%windir%" would expand if a script's path went through the interpreter, and
// beside it a folder of movies named with an accent, a '%' and a '&'.
struct Host {
    Host(const char* builtExe, const char* builtEncoder)
        : root(temp.path() / L"host %windir%"),
          media(temp.path() / L"m\u00e9dia 100% & more"),
          program(root / L"plugins" / builtProgram(builtExe).filename()),
          log(root / L"bin" / L"calls.log") {
        std::error_code error;
        for (const auto& folder : {root / L"plugins", root / L"bin", root / L"tmp", media})
            made = fs::create_directories(folder, error) && made;
        made = fs::copy_file(builtProgram(builtExe), program, error) &&
               fs::copy_file(builtProgram(builtEncoder), root / L"bin" / L"mencoder.exe", error) &&
               made;
    }
    const TempFolder temp;
    const fs::path root, media, program, log;
    bool made = true;
};

// A started program, ended by force at the end if it has not ended by itself, together with
// the programs it started (a job script's command interpreter waiting at "pause").
class Process {
  public:
    explicit Process(const fs::path& exe, const std::wstring& arguments = {}) {
        std::wstring commandLine = L"\"" + exe.native() + L"\"" + (arguments.empty() ? L"" : L" ");
        commandLine += arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            exe.parent_path().c_str(), &startup, &info))
            return;
        process_.reset(info.hProcess);
        const win::KernelHandle thread(info.hThread);  // not needed: closed at once
        id_ = info.dwProcessId;
    }
    ~Process() {
        if (process_) TerminateProcess(process_.get(), 1);
        const win::FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = snapshot && id_ && Process32FirstW(snapshot.get(), &entry); more;
             more = Process32NextW(snapshot.get(), &entry)) {
            const win::KernelHandle child(
                entry.th32ParentProcessID == id_
                    ? OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID)
                    : nullptr);
            if (child) TerminateProcess(child.get(), 1);
        }
    }
    DWORD id() const { return id_; }
    // The exit code, or nothing when the process is still running after the timeout.
    std::optional<DWORD> waitForExit(DWORD timeoutMs) const {
        DWORD code = 0;
        if (WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
        GetExitCodeProcess(process_.get(), &code);
        return code;
    }

  private:
    win::KernelHandle process_;
    DWORD id_ = 0;
};

inline bool writeFile(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary);
    return out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush().good();
}

// The records of the recording encoder's calls.log: the arguments of each call. A file that is
// missing or taken by a writer reads as no records yet.
inline std::vector<Args> recordedCalls(const fs::path& log) {
    // A record is "call", an argument a line, "end".
    std::istringstream in(fileBytes(log));
    std::vector<Args> calls;
    std::optional<Args> current;
    for (std::string line; std::getline(in, line);) {
        if (!current && line == "call")
            current.emplace();
        else if (current && line == "end")
            calls.push_back(*std::exchange(current, std::nullopt));
        else if (current)
            current->push_back(std::move(line));
    }
    return calls;
}

}  // namespace e2e
