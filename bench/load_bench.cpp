// The merger's start-up with a folder of 10,000 AVI files, to its window shown, against
// enumerating the same folder with FindFirstFileW/FindNextFileW. Prints medians and ratios.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"
#include "launch.h"

#include "win32/handles.h"
#include "win32/program_folder.h"

namespace {

constexpr int kFiles = 10000;
constexpr int kRuns = 7;

bool makeFolder(const std::wstring& folder, int files) {
    CreateDirectoryW(folder.c_str(), nullptr);
    for (int i = 0; i < files; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"\\clip%05d.avi", (i * 7919) % files);  // not created in name order
        const win::FileHandle file(CreateFileW((folder + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
    }
    return true;
}

// The bare enumeration: every name of the folder, nothing kept.
double enumerate(const std::wstring& folder, int& count) {
    const double t0 = bench::nowMs();
    WIN32_FIND_DATAW data;
    const win::FindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    count = 0;
    if (find) {
        do ++count;
        while (FindNextFileW(find.get(), &data));
    }
    return bench::nowMs() - t0;
}

}  // namespace

int main() {
    wchar_t temp[MAX_PATH + 1];
    const std::wstring base = std::wstring(temp, GetTempPathW(MAX_PATH + 1, temp));
    const std::wstring full = base + L"clipjoiner_bench_10000";
    const std::wstring empty = base + L"clipjoiner_bench_empty";
    if (!makeFolder(full, kFiles) || !makeFolder(empty, 0)) {
        std::fprintf(stderr, "making the folders failed: %lu\n", GetLastError());
        return 1;
    }
    const std::wstring merger = win::programFolder() + L"\\clipjoiner.exe";
    const std::wstring fullArgument = L"\"" + full + L"\"", emptyArgument = L"\"" + empty + L"\"";

    int listed = 0;
    if (bench::launch(merger, fullArgument) < 0) return 1;  // warms the caches
    std::vector<double> starts, emptyStarts, enumerations;
    for (int i = 0; i < kRuns; ++i) {
        starts.push_back(bench::launch(merger, fullArgument));
        emptyStarts.push_back(bench::launch(merger, emptyArgument));
        enumerations.push_back(enumerate(full, listed));
        if (starts.back() < 0 || emptyStarts.back() < 0) return 1;
    }
    const double start = bench::median(starts), emptyStart = bench::median(emptyStarts),
                 enumeration = bench::median(enumerations);
    std::printf("clipjoiner start-up with %d AVI files (%d names enumerated); medians of %d\n",
                kFiles, listed, kRuns);
    std::printf("  start to window shown, 10,000 files  %8.2f ms\n", start);
    std::printf("  start to window shown, empty folder  %8.2f ms\n", emptyStart);
    std::printf("  FindFirstFileW/FindNextFileW         %8.2f ms\n", enumeration);
    std::printf("  ratio start / enumeration            %8.2fx (target <= 3x)\n",
                start / enumeration);
    std::printf("  ratio (start - empty start) / enum.  %8.2fx\n",
                (start - emptyStart) / enumeration);
    return 0;
}
