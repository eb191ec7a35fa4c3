// The merger's check of 1,000 listed AVI files (each read with the platform's AVI reader and
// compared with the first) against opening each file and reading its first 64 KB raw. Prints
// medians and the ratio.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"
#include "join_files.h"
#include "win32/handles.h"
#include "win32/tests/e2e_host.h"

namespace {

constexpr int kFiles = 1000;
constexpr int kRuns = 7;
constexpr DWORD kRawBytes = 64 * 1024;

// kFiles copies of the movie, made once and kept for later runs.
bool makeFolder(const std::wstring& folder, const std::wstring& movie,
                std::vector<std::wstring>& paths) {
    CreateDirectoryW(folder.c_str(), nullptr);
    for (int i = 0; i < kFiles; ++i) {
        paths.push_back(folder + L"\\clip" + std::to_wstring(10000 + i).substr(1) + L".avi");
        if (GetFileAttributesW(paths.back().c_str()) == INVALID_FILE_ATTRIBUTES &&
            !CopyFileW(movie.c_str(), paths.back().c_str(), TRUE))
            return false;
    }
    return true;
}

double rawReads(const std::vector<std::wstring>& paths, std::vector<char>& buffer) {
    const double t0 = bench::nowMs();
    for (const auto& path : paths) {
        const win::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD got = 0;
        if (!file || !ReadFile(file.get(), buffer.data(), kRawBytes, &got, nullptr)) return -1;
    }
    return bench::nowMs() - t0;
}

double check(const std::vector<std::wstring>& paths, bool& agreed) {
    std::atomic<std::size_t> done{0};
    const std::atomic<bool> stop{false};
    const double t0 = bench::nowMs();
    const auto problem = clipjoiner::checkJoin(paths, done, stop);
    const double elapsed = bench::nowMs() - t0;
    agreed = !problem && done == paths.size();
    return elapsed;
}

}  // namespace

int main() {
#ifndef TEST_MOVIES
    std::fprintf(stderr, "no test movies: the build found no Linux encoder to make them\n");
    return 1;
#else
    const std::wstring movie = (e2e::builtProgram(TEST_MOVIES) / L"b.avi").wstring();
    wchar_t temp[MAX_PATH + 1];
    const std::wstring folder =
        std::wstring(temp, GetTempPathW(MAX_PATH + 1, temp)) + L"clipjoiner_bench_check";
    std::vector<std::wstring> paths;
    WIN32_FILE_ATTRIBUTE_DATA about{};
    if (!GetFileAttributesExW(movie.c_str(), GetFileExInfoStandard, &about) ||
        about.nFileSizeLow < kRawBytes || !makeFolder(folder, movie, paths)) {
        std::fprintf(stderr, "making the folder failed: %lu\n", GetLastError());
        return 1;
    }
    std::vector<char> buffer(kRawBytes);
    bool agreed = false;
    rawReads(paths, buffer);  // warms the caches
    check(paths, agreed);
    std::vector<double> raws, checks;
    for (int i = 0; i < kRuns; ++i) {
        raws.push_back(rawReads(paths, buffer));
        checks.push_back(check(paths, agreed));
        if (raws.back() < 0 || !agreed) {
            std::fprintf(stderr, "run %d went wrong (raw read failed, or the files disagreed)\n",
                         i);
            return 1;
        }
    }
    const double raw = bench::median(raws), checked = bench::median(checks);
    std::printf("clipjoiner check of %d listed AVI files of %lu bytes; medians of %d\n", kFiles,
                about.nFileSizeLow, kRuns);
    std::printf("  the merger's check (AVI reader, compare)  %8.2f ms\n", checked);
    std::printf("  open and read the first 64 KB raw         %8.2f ms\n", raw);
    std::printf("ratio merger check / raw 64 KB reads %.2fx (target <= 3x)\n", checked / raw);
    return 0;
#endif
}
