// Merge with 32,767 files listed, a command the command prompt could never read: from the click
// to the refusal, against reading every entry of the list once. Prints medians and their ratio.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"

#include "frm_main.h"

namespace {

constexpr int kFiles = 32767;
constexpr int kRepetitions = 21;

// Counts the refusals; anything else is printed, since it means the run went wrong.
struct RefusalCounter : bench::CountingPrompter {
    int refusals = 0;
    void message(const std::wstring& text, win::MessageIcon icon) override {
        if (text.starts_with(L"Too many files for one merge"))
            ++refusals;
        else
            CountingPrompter::message(text, icon);
    }
};

struct NoStarter : win::ProgramStarter {
    DWORD startScript(const std::wstring&, int) override { return ERROR_CANCELLED; }
};

}  // namespace

int main() {
    win::startCommonControls(ICC_USEREX_CLASSES);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    wchar_t temp[MAX_PATH + 1];
    const std::wstring folder =
        std::wstring(temp, GetTempPathW(MAX_PATH + 1, temp)) + L"clipjoiner_bench_merge";
    CreateDirectoryW(folder.c_str(), nullptr);

    RefusalCounter prompter;
    NoStarter starter;
    clipjoiner::FrmMain frm({prompter, starter, [] {}});
    if (!frm.create() || !frm.loadFolder(folder)) {
        std::fprintf(stderr, "making the window failed: %lu\n", GetLastError());
        return 1;
    }
    ShowWindow(frm.hwnd(), SW_SHOWNOACTIVATE);
    using F = clipjoiner::FrmMain;
    const HWND list = frm.item(F::List1);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (int i = 0; i < kFiles; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"clip%05d.avi", i);
        const std::wstring entry = clipjoiner::fileEntry(name, L"C:\\Video");
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    SendMessageW(frm.item(F::Combo1), CB_SETCURSEL, 0, 0);
    SetWindowTextW(frm.item(F::Text1), L"all");

    std::vector<double> refusals, readings;
    std::wstring text;
    for (int rep = -1; rep < kRepetitions; ++rep) {  // rep -1 warms up
        bench::pumpMessages();
        const int before = prompter.refusals;
        const double t0 = bench::nowMs();
        SendMessageW(frm.item(F::Command3), BM_CLICK, 0, 0);
        const double t1 = bench::nowMs();
        if (prompter.refusals != before + 1 || prompter.calls != 0) {
            std::fprintf(stderr, "Merge did not refuse the list\n");
            return 1;
        }
        std::size_t characters = 0;
        const double t2 = bench::nowMs();
        for (LRESULT i = 0; i < kFiles; ++i) {
            text.resize(static_cast<std::size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1);
            characters += static_cast<std::size_t>(
                SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data())));
        }
        const double t3 = bench::nowMs();
        if (characters == 0) return 1;
        if (rep < 0) continue;
        refusals.push_back(t1 - t0);
        readings.push_back(t3 - t2);
    }
    const double refusal = bench::median(refusals), reading = bench::median(readings);
    std::printf("Merge with %d files listed, refused as too long; medians of %d runs\n", kFiles,
                kRepetitions);
    std::printf("  click to the refusal             %9.2f ms\n", refusal);
    std::printf("  reading every entry once         %9.2f ms\n", reading);
    std::printf("  ratio refusal / reading          %9.2fx (target <= 0.1x)\n", refusal / reading);
    RemoveDirectoryW(folder.c_str());
    return 0;
}
