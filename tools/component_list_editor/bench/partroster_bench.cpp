// The editor with a full list (32767 entries): start-up (window created, list read and shown)
// against one raw read of the same bytes, and the + that fills the list (the whole list saved)
// against one raw write of the same bytes. Prints medians in ms and their ratios.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"

#include "component_list.h"
#include "list_file.h"
#include "main_window.h"
#include "win32/handles.h"

namespace {

constexpr int kEntries = 32767;
constexpr int kRepetitions = 15;

}  // namespace

int main() {
    wchar_t temp[MAX_PATH + 1];
    const DWORD tempLength = GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring folder = std::wstring(temp, tempLength) + L"partroster_bench";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring listPath = partroster::listFilePath(folder);
    const std::wstring rawPath = folder + L"\\raw.dll";

    std::vector<std::string> entries;
    for (int i = 0; i < kEntries; ++i) {
        const std::string n = std::to_string(i);
        entries.push_back(std::to_string(i % 4 + 1) + "|" + std::to_string(i % 3 + 1) +
                          "|Component " + n + "|C:\\Program Files\\Movarix\\codecs\\c" + n +
                          (i % 5 ? ".dll" : ""));
    }
    const std::string full = partroster::writeEntries(entries);

    bench::CountingPrompter prompter;
    partroster::Win32FileSystem fileSystem;
    const partroster::Services services{prompter, fileSystem, listPath, [] {}};

    std::vector<double> starts, reads, pluses, writes, flushedWrites, saves;
    std::string read, added;
    for (int rep = -1; rep < kRepetitions; ++rep) {  // rep -1 warms up
        if (!bench::rawWrite(listPath, full, false)) {
            std::fprintf(stderr, "writing the list failed: %lu\n", GetLastError());
            return 1;
        }
        bench::pumpMessages();
        const double t0 = bench::nowMs();
        partroster::Main main(services);
        if (!main.create() || !main.load()) {
            std::fprintf(stderr, "start-up failed\n");
            return 1;
        }
        ShowWindow(main.hwnd(), SW_SHOWNOACTIVATE);
        UpdateWindow(main.hwnd());
        const double t1 = bench::nowMs();
        if (!bench::rawRead(listPath, read) || read != full) {
            std::fprintf(stderr, "raw read failed\n");
            return 1;
        }
        const double t2 = bench::nowMs();

        // A full list takes no more entries: X on the last one first (not timed), so that the
        // + fills the list again.
        SendMessageW(main.item(main.List1), LB_SETCURSEL, kEntries - 1, 0);
        SendMessageW(main.item(main.Command1), BM_CLICK, 0, 0);
        for (auto [id, text] : {std::pair{main.Text1, L"2"}, std::pair{main.Text2, L"4"},
                                std::pair{main.Text3, L"Bench entry"},
                                std::pair{main.Text4, L"C:\\bench\\entry.dll"}})
            SetWindowTextW(main.item(id), text);
        bench::pumpMessages();
        const double t3 = bench::nowMs();
        SendMessageW(main.item(main.Command2), BM_CLICK, 0, 0);
        const double t4 = bench::nowMs();
        if (prompter.calls || !bench::rawRead(listPath, added)) {
            std::fprintf(stderr, "+ did not save the list\n");
            return 1;
        }
        const double t5 = bench::nowMs();
        bench::rawWrite(rawPath, added, false);
        const double t6 = bench::nowMs();
        bench::rawWrite(rawPath, added, true);
        const double t7 = bench::nowMs();

        // The save alone, without the window.
        std::vector<std::string> withNew = entries;
        withNew.back() = "2|4|Bench entry|C:\\bench\\entry.dll";
        const double t8 = bench::nowMs();
        const DWORD error = partroster::saveListFile(fileSystem, rawPath, withNew);
        const double t9 = bench::nowMs();
        std::string saved;
        if (error || !bench::rawRead(rawPath, saved) || saved != added) {
            std::fprintf(stderr, "the save alone did not make the same file\n");
            return 1;
        }
        if (rep < 0) continue;
        starts.push_back(t1 - t0);
        reads.push_back(t2 - t1);
        pluses.push_back(t4 - t3);
        writes.push_back(t6 - t5);
        flushedWrites.push_back(t7 - t6);
        saves.push_back(t9 - t8);
    }

    const double start = bench::median(starts), raw = bench::median(reads),
                 plus = bench::median(pluses), write = bench::median(writes),
                 flushed = bench::median(flushedWrites);
    std::printf("partroster with %d entries: Comp_lst.dll of %zu bytes; medians of %d runs\n",
                kEntries, full.size(), kRepetitions);
    std::printf("  start-up to the window shown  %9.2f ms\n", start);
    std::printf("  raw CreateFileW+ReadFile      %9.2f ms\n", raw);
    std::printf("  one + (whole list saved)      %9.2f ms\n", plus);
    std::printf("    temporary, flush, move      %9.2f ms\n", bench::median(saves));
    std::printf("  raw CreateFileW+WriteFile     %9.2f ms\n", write);
    std::printf("  raw write + FlushFileBuffers  %9.2f ms\n", flushed);
    std::printf("  ratio start-up / raw read              %7.2fx (target <= 3x)\n", start / raw);
    std::printf("  ratio + / raw write                    %7.2fx (target <= 3x)\n", plus / write);
    std::printf("  ratio + / raw write with flush         %7.2fx\n", plus / flushed);

    for (const auto& path : {listPath, rawPath}) DeleteFileW(path.c_str());
    RemoveDirectoryW(folder.c_str());
    return 0;
}
