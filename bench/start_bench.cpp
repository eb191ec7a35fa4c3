// Start! with a full part list (32767 lines): from the click to the script's start, against one
// raw CreateFileW + WriteFile of the same bytes. Prints medians in ms and their ratios.
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"

#include "frm_main.h"
#include "split_script.h"
#include "win32/handles.h"
#include "win32/job_script_file.h"

namespace {

constexpr int kParts = 32767;
constexpr int kRepetitions = 21;
constexpr int kStartRepetitions = 5;

struct TimestampingStarter : win::ProgramStarter {
    double calledAt = 0;
    DWORD startScript(const std::wstring&, int) override {
        calledAt = bench::nowMs();
        return 0;
    }
};

std::wstring twoDigits(int v) {
    wchar_t text[16];
    swprintf(text, 16, L"%02d", v);
    return text;
}

// Waits for the command interpreters this process started, so that runs do not overlap.
void waitForChildren() {
    const win::FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ParentProcessID != GetCurrentProcessId()) continue;
        const win::KernelHandle child(OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (child) WaitForSingleObject(child.get(), 10000);
    }
}

}  // namespace

int main() {
    win::startCommonControls(ICC_USEREX_CLASSES);

    // A host of its own: <temp>\clipcutter_bench\bin is the program folder, tmp\ takes the script.
    wchar_t temp[MAX_PATH + 1];
    const DWORD tempLength = GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring hostRoot = std::wstring(temp, tempLength) + L"clipcutter_bench";
    const std::wstring tmpFolder = hostRoot + L"\\tmp";
    const std::wstring scriptPath = tmpFolder + L"\\split.bat";
    const std::wstring rawPath = tmpFolder + L"\\raw.bat";
    const std::wstring exitPath = tmpFolder + L"\\exit.bat";
    CreateDirectoryW(hostRoot.c_str(), nullptr);
    CreateDirectoryW(tmpFolder.c_str(), nullptr);

    bench::CountingPrompter prompter;
    TimestampingStarter starter;
    clipcutter::FrmMain frm({prompter, starter, hostRoot + L"\\bin", [] {}});
    if (!frm.create()) {
        std::fprintf(stderr, "creating the main window failed: %lu\n", GetLastError());
        return 1;
    }
    ShowWindow(frm.hwnd(), SW_SHOWNOACTIVATE);
    SetWindowTextW(frm.item(clipcutter::FrmMain::lb_path), L"C:\\video\\input.avi");
    const HWND list = frm.item(clipcutter::FrmMain::List1);
    std::vector<std::wstring> lines;
    // The parts go in as a user puts them in, through the Add Part dialog. Filling a visible list
    // redraws it after every entry; the fill is not what is measured.
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(frm.item(clipcutter::FrmMain::Command2), BM_CLICK, 0, 0);
    const clipcutter::DlgAdd& dialog = *frm.addDialog();
    using D = clipcutter::DlgAdd;
    const auto setField = [&dialog](int id, const std::wstring& text) {
        SetWindowTextW(dialog.item(id), text.c_str());
    };
    for (int i = 0; i < kParts; ++i) {
        // Varied lengths, some with fractions, so that the length arithmetic is exercised.
        const int start = i, end = i + 1 + i % 7;
        setField(D::txt_hr, twoDigits(start / 3600));
        setField(D::txt_min, twoDigits(start / 60 % 60));
        setField(D::txt_sec, twoDigits(start % 60));
        setField(D::txt_hr_end, twoDigits(end / 3600));
        setField(D::txt_min_end, twoDigits(end / 60 % 60));
        setField(D::txt_sec_end, twoDigits(end % 60) + (i % 10 == 0 ? L".5" : L""));
        SendMessageW(dialog.item(D::OKButton), BM_CLICK, 0, 0);
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    for (int i = 0, n = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)); i < n; ++i) {
        std::wstring line(static_cast<std::size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)), L'\0');
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()));
        lines.push_back(line);
    }
    InvalidateRect(list, nullptr, TRUE);
    const HWND start = frm.item(clipcutter::FrmMain::Command4);

    std::vector<double> clicks, raws, checks, composes, writes;
    std::string bytes;
    for (int rep = -1; rep < kRepetitions; ++rep) {  // rep -1 warms up
        bench::pumpMessages();
        starter.calledAt = 0;
        const double t0 = bench::nowMs();
        SendMessageW(start, BM_CLICK, 0, 0);
        if (prompter.calls || starter.calledAt == 0) {
            std::fprintf(stderr, "Start! did not start the script\n");
            return 1;
        }
        const double click = starter.calledAt - t0;

        if (!bench::rawRead(scriptPath, bytes)) {
            std::fprintf(stderr, "reading the script back failed\n");
            return 1;
        }
        const double t1 = bench::nowMs();
        if (!bench::rawWrite(rawPath, bytes)) {
            std::fprintf(stderr, "raw write failed: %lu\n", GetLastError());
            return 1;
        }
        const double raw = bench::nowMs() - t1;

        // Where the click's time goes: the same steps, one by one.
        const clipcutter::ScriptInput input{"C:", std::string(hostRoot.begin(), hostRoot.end()),
                                            "C:\\video\\input.avi", "C:\\video", lines};
        const double t2 = bench::nowMs();
        const bool refused = clipcutter::checkScript(input).has_value();
        const double t3 = bench::nowMs();
        std::size_t composed = 0;
        clipcutter::composeSplitScript(input,
                                       [&composed](std::string_view l) { composed += l.size(); });
        const double t4 = bench::nowMs();
        win::JobScriptFile file;
        file.create(rawPath);
        clipcutter::composeSplitScript(input, [&file](std::string_view l) { file.write(l); });
        const DWORD error = file.close();
        const double t5 = bench::nowMs();
        if (refused || error || composed != bytes.size()) {
            std::fprintf(stderr, "the breakdown did not make the same script\n");
            return 1;
        }

        if (rep < 0) continue;
        clicks.push_back(click);
        raws.push_back(raw);
        checks.push_back(t3 - t2);
        composes.push_back(t4 - t3);
        writes.push_back(t5 - t4);
    }
    const std::size_t lineCount =
        static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));

    // The real starter on a one-line script: what starting the command interpreter costs.
    bench::rawWrite(exitPath, "exit\r\n");
    win::CommandInterpreterStarter interpreter;
    std::vector<double> starts;
    for (int rep = 0; rep < kStartRepetitions; ++rep) {
        const double t0 = bench::nowMs();
        const DWORD error = interpreter.startScript(exitPath, SW_SHOWMINIMIZED);
        const double t1 = bench::nowMs();
        if (error) {
            std::fprintf(stderr, "starting the command interpreter failed: %lu\n", error);
            return 1;
        }
        starts.push_back(t1 - t0);
        waitForChildren();
    }

    const double click = bench::median(clicks), raw = bench::median(raws),
                 startCost = bench::median(starts);
    std::printf("Start! with %d parts: split.bat of %zu lines, %zu bytes; medians of %d runs\n",
                kParts, lineCount, bytes.size(), kRepetitions);
    std::printf("  click to starter call       %9.2f ms\n", click);
    std::printf("    check of the part lines   %9.2f ms\n", bench::median(checks));
    std::printf("    script bytes, no file     %9.2f ms\n", bench::median(composes));
    std::printf("    script bytes to the file  %9.2f ms\n", bench::median(writes));
    std::printf("  raw CreateFileW+WriteFile   %9.2f ms\n", raw);
    std::printf("  cmd start, one-line script  %9.2f ms (median of %d)\n", startCost,
                kStartRepetitions);
    std::printf("  ratio click / raw                          %6.2fx (target <= 3x)\n",
                click / raw);
    std::printf("  ratio (click + start) / raw                %6.2fx\n", (click + startCost) / raw);
    std::printf("  ratio (click + start) / (raw + start)      %6.2fx\n",
                (click + startCost) / (raw + startCost));

    for (const auto& path : {scriptPath, rawPath, exitPath}) DeleteFileW(path.c_str());
    RemoveDirectoryW(tmpFolder.c_str());
    RemoveDirectoryW(hostRoot.c_str());
    return 0;
}
