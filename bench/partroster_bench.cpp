// The editor with a full list (32767 entries): what the list adds to start-up (window created,
// list read and shown, against the same with an empty list) against one raw read of the same
// bytes, and + and X (the whole list saved) against one raw write of the same bytes with its
// flush. Prints medians in ms and their ratios.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"

#include "component_list.h"
#include "list_file.h"
#include "main_window.h"
#include "win32/handles.h"

namespace {

constexpr int kEntries = 32767;
constexpr int kRepetitions = 21;

// Start-up as in the program: created, loaded, shown and painted. Negative on failure.
double startUp(const partroster::Services& services, std::unique_ptr<partroster::Main>& main) {
    main.reset();
    bench::pumpMessages();
    const double t0 = bench::nowMs();
    main = std::make_unique<partroster::Main>(services);
    if (!main->create() || !main->load()) return -1;
    ShowWindow(main->hwnd(), SW_SHOWNOACTIVATE);
    UpdateWindow(main->hwnd());
    return bench::nowMs() - t0;
}

// The list drawn whole, as at start-up: its rows and its scroll bar. The fastest of a few, so
// that it is the drawing and not the machine's other work.
double listDrawing(const partroster::Main& main) {
    double fastest = 1e9;
    for (int i = 0; i < 5; ++i) {
        const double t0 = bench::nowMs();
        RedrawWindow(main.item(main.List1), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
        fastest = std::min(fastest, bench::nowMs() - t0);
    }
    return fastest;
}

}  // namespace

int main() {
    wchar_t temp[MAX_PATH + 1];
    const DWORD tempLength = GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring folder = std::wstring(temp, tempLength) + L"partroster_bench";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring listPath = partroster::listFilePath(folder);
    const std::wstring rawPath = folder + L"\\raw.dll";

    std::string full;
    for (int i = 0; i < kEntries; ++i) {
        const std::string n = std::to_string(i);
        full += std::to_string(i % 4 + 1) + "|" + std::to_string(i % 3 + 1) + "|Component " + n +
                "|C:\\Program Files\\Movarix\\codecs\\c" + n + (i % 5 ? ".dll" : "") + "\r\n";
    }

    // The file after X on the last entry and + of the bench entry.
    const std::string expected = full.substr(0, full.rfind('\n', full.size() - 2) + 1) +
                                 "2|4|Bench entry|C:\\bench\\entry.dll\r\n";

    bench::CountingPrompter prompter;
    partroster::Win32FileSystem fileSystem;
    const partroster::Services services{prompter, fileSystem, listPath, [] {}};

    // The list's share is taken in each repetition, from two start-ups one right after the
    // other, so that the machine's other work weighs on both alike.
    std::vector<double> starts, emptyStarts, shares, drawings, reads, freshReads, pluses, removes,
        writes, flushedWrites, saves;
    std::string read, added, removed;
    for (int rep = -1; rep < kRepetitions; ++rep) {  // rep -1 warms up
        std::unique_ptr<partroster::Main> main;
        if (!bench::rawWrite(listPath, "")) {
            std::fprintf(stderr, "writing the list failed: %lu\n", GetLastError());
            return 1;
        }
        const double emptyStart = startUp(services, main);
        const double emptyDrawing = emptyStart < 0 ? 0 : listDrawing(*main);
        if (!bench::rawWrite(listPath, full)) {
            std::fprintf(stderr, "writing the list failed: %lu\n", GetLastError());
            return 1;
        }
        const double start = startUp(services, main);
        if (start < 0 || emptyStart < 0) {
            std::fprintf(stderr, "start-up failed\n");
            return 1;
        }
        const double drawing = listDrawing(*main);
        const double t1 = bench::nowMs();
        if (!bench::rawRead(listPath, read) || read != full) {
            std::fprintf(stderr, "raw read failed\n");
            return 1;
        }
        const double t2 = bench::nowMs();
        // The same into memory of its own, as a program that reads the file for the first time.
        std::string fresh;
        bench::rawRead(listPath, fresh);
        const double freshRead = bench::nowMs() - t2;

        // A full list takes no more entries: X on the last one first (not timed), so that the
        // + fills the list again.
        const HWND list = main->item(main->List1);
        SendMessageW(list, LB_SETCURSEL, kEntries - 1, 0);
        SendMessageW(main->item(main->Command1), BM_CLICK, 0, 0);
        for (auto [id, text] : {std::pair{main->Text1, L"2"}, std::pair{main->Text2, L"4"},
                                std::pair{main->Text3, L"Bench entry"},
                                std::pair{main->Text4, L"C:\\bench\\entry.dll"}})
            SetWindowTextW(main->item(id), text);
        bench::pumpMessages();
        const double t3 = bench::nowMs();
        SendMessageW(main->item(main->Command2), BM_CLICK, 0, 0);
        const double t4 = bench::nowMs();
        if (prompter.calls || !bench::rawRead(listPath, added) || added != expected) {
            std::fprintf(stderr, "+ did not save the list\n");
            return 1;
        }
        // X on the first entry: every other one moves up.
        SendMessageW(list, LB_SETCURSEL, 0, 0);
        bench::pumpMessages();
        const double t5 = bench::nowMs();
        SendMessageW(main->item(main->Command1), BM_CLICK, 0, 0);
        const double t6 = bench::nowMs();
        if (prompter.calls || !bench::rawRead(listPath, removed) ||
            removed != added.substr(added.find('\n') + 1)) {
            std::fprintf(stderr, "X did not save the list\n");
            return 1;
        }

        const double t7 = bench::nowMs();
        bench::rawWrite(rawPath, added, false);
        const double t8 = bench::nowMs();
        bench::rawWrite(rawPath, added, true);
        const double t9 = bench::nowMs();

        // The save alone, without the window: temporary file, flush, stamp, move.
        const partroster::EntryList withNew(added);
        partroster::ListStamp onDisk = partroster::stampOf(added);
        const double t10 = bench::nowMs();
        const auto result = partroster::saveListFile(fileSystem, rawPath, withNew, onDisk);
        const double t11 = bench::nowMs();
        std::string saved;
        if (result.outcome != partroster::SaveOutcome::Saved || !bench::rawRead(rawPath, saved) ||
            saved != added) {
            std::fprintf(stderr, "the save alone did not make the same file\n");
            return 1;
        }
        if (rep < 0) continue;
        starts.push_back(start);
        emptyStarts.push_back(emptyStart);
        shares.push_back(start - emptyStart);
        drawings.push_back(drawing - emptyDrawing);
        reads.push_back(t2 - t1);
        freshReads.push_back(freshRead);
        pluses.push_back(t4 - t3);
        removes.push_back(t6 - t5);
        writes.push_back(t8 - t7);
        flushedWrites.push_back(t9 - t8);
        saves.push_back(t11 - t10);
    }

    const double start = bench::median(starts), emptyStart = bench::median(emptyStarts),
                 share = bench::median(shares), raw = bench::median(reads),
                 plus = bench::median(pluses), remove = bench::median(removes),
                 write = bench::median(writes), flushed = bench::median(flushedWrites),
                 drawn = bench::median(drawings), fresh = bench::median(freshReads);
    std::printf("partroster with %d entries: Comp_lst.dll of %zu bytes; medians of %d runs\n",
                kEntries, full.size(), kRepetitions);
    std::printf("  start-up to the window shown     %9.2f ms\n", start);
    std::printf("  the same with an empty list      %9.2f ms\n", emptyStart);
    std::printf("  the list's share (run by run)    %9.2f ms\n", share);
    std::printf(
        "    of which drawing it            %9.2f ms (its rows and scroll bar, drawn again)\n",
        drawn);
    std::printf("  raw CreateFileW+ReadFile         %9.2f ms\n", raw);
    std::printf("    into newly allocated memory    %9.2f ms\n", fresh);
    std::printf("  one + (whole list saved)         %9.2f ms\n", plus);
    std::printf("  one X on the first entry         %9.2f ms\n", remove);
    std::printf("    temporary, flush, stamp, move  %9.2f ms\n", bench::median(saves));
    std::printf("  raw CreateFileW+WriteFile        %9.2f ms\n", write);
    std::printf("  raw write + FlushFileBuffers     %9.2f ms\n", flushed);
    std::printf("  ratio list's share of start-up / raw read %.2fx (target <= 3x)\n", share / raw);
    std::printf("  ratio + / raw write with flush %.2fx (target <= 3x)\n", plus / flushed);
    std::printf("  ratio X / raw write with flush %.2fx (target <= 3x)\n", remove / flushed);
    std::printf("  ratio list's share of start-up, drawing left out / raw read %.2fx\n",
                (share - drawn) / raw);
    std::printf("  ratio list's share of start-up, drawing left out / read into new memory %.2fx\n",
                (share - drawn) / fresh);
    std::printf("  ratio start-up / raw read %.2fx\n", start / raw);
    std::printf("  ratio + / raw write %.2fx\n", plus / write);

    for (const auto& path : {listPath, rawPath}) DeleteFileW(path.c_str());
    RemoveDirectoryW(folder.c_str());
    return 0;
}
