// gaugekit_test_fuzzer: a test tool, not part of the product. Makes a million odd calls (or as
// many as asked) on gaugekit.dll beside it and prints what must never happen: crashes, hangs,
// instances kept alive, state changes after a failed write.
//   gaugekit_test_fuzzer [CALLS [SEED [FIRST]]]
// The calls run in worker processes, so that a crash or a hang ends only its worker: the run
// goes on with the next call and the crash is counted.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz.h"

using namespace gaugekit::testing;

namespace {

constexpr DWORD kHangSeconds = 60;
constexpr int kFindings = 10;

// What a worker shares with the driver while it runs.
struct Shared {
    volatile LONG current;  // the call being made
    LONG calls, writes, failedWrites, stateChanges, redrawFailures, leakedInstances, canUnload;
    LONG findings;
    char finding[kFindings][200];
    LONG gdiAtStart, gdiAtEnd;  // the worker's GDI objects, once it is set up and at its end
};

Shared* shared = nullptr;
const Fuzzer* running = nullptr;

LONG WINAPI onCrash(EXCEPTION_POINTERS* exception) {
    std::fprintf(stderr, "crash in call %ld, %s: exception 0x%08lX\n",
                 static_cast<long>(shared->current), running ? running->what().c_str() : "",
                 static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode));
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

void publish(const FuzzFigures& f) {
    shared->calls = f.calls;
    shared->writes = f.writes;
    shared->failedWrites = f.failedWrites;
    shared->stateChanges = f.stateChanges;
    shared->redrawFailures = f.redrawFailures;
    shared->leakedInstances = f.leakedInstances;
    shared->canUnload = f.canUnload;
    shared->findings = static_cast<LONG>(f.findings.size());
    for (size_t i = 0; i < f.findings.size() && i < kFindings; ++i)
        snprintf(shared->finding[i], sizeof(shared->finding[i]), "%s", f.findings[i].c_str());
}

int worker(std::uint64_t seed, long first, long last) {
    SetUnhandledExceptionFilter(onCrash);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    if (FAILED(CoInitialize(nullptr))) return 2;
    {
        const Module module;
        if (!module) return 2;
        Fuzzer fuzzer(module, seed);
        running = &fuzzer;
        shared->gdiAtStart = static_cast<LONG>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
        for (long i = first; i < last; ++i) {
            shared->current = i;
            fuzzer.call(i);
            if (i % 256 == 0) publish(fuzzer.figures());
        }
        shared->current = last;
        publish(fuzzer.finish());
        running = nullptr;
        shared->gdiAtEnd = static_cast<LONG>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    }
    CoUninitialize();
    return 0;
}

struct Totals {
    long calls = 0, writes = 0, failedWrites = 0, stateChanges = 0, redrawFailures = 0,
         leakedInstances = 0, crashes = 0, hangs = 0;
    bool canUnload = true;
    std::string findings;
    long gdiAtStart = 0, gdiAtEnd = 0;
};

int driver(long calls, std::uint64_t seed, long start, const std::wstring& self) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    const win::KernelHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, &inherit,
                                                       PAGE_READWRITE, 0, sizeof(Shared), nullptr));
    if (!mapping) return 2;
    shared = static_cast<Shared*>(MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 0));
    if (!shared) return 2;
    Totals totals;
    for (long first = start; first < calls;) {
        ZeroMemory(shared, sizeof(Shared));
        shared->current = first;
        std::wstring command = L"\"" + self + L"\" --worker " + std::to_wstring(seed) + L" " +
                               std::to_wstring(first) + L" " + std::to_wstring(calls) + L" " +
                               std::to_wstring(reinterpret_cast<UINT_PTR>(mapping.get()));
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                            &startup, &process)) {
            std::fprintf(stderr, "the worker could not be started\n");
            return 2;
        }
        const win::KernelHandle processHandle(process.hProcess);
        const win::KernelHandle thread(process.hThread);
        LONG seen = shared->current;
        DWORD still = 0;
        bool hung = false;
        while (WaitForSingleObject(process.hProcess, 1000) == WAIT_TIMEOUT) {
            if (shared->current != seen) {
                seen = shared->current;
                still = 0;
            } else if (++still >= kHangSeconds) {
                TerminateProcess(process.hProcess, 4);
                WaitForSingleObject(process.hProcess, INFINITE);
                hung = true;
                break;
            }
        }
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        const long reached = shared->current;
        totals.calls += reached - first;
        totals.writes += shared->writes;
        totals.failedWrites += shared->failedWrites;
        totals.stateChanges += shared->stateChanges;
        totals.redrawFailures += shared->redrawFailures;
        totals.leakedInstances += shared->leakedInstances;
        for (LONG i = 0; i < shared->findings && i < kFindings; ++i)
            totals.findings += std::string("  ") + shared->finding[i] + "\n";
        if (code == 0 && reached == calls) {
            totals.canUnload = totals.canUnload && shared->canUnload;
            totals.gdiAtStart = shared->gdiAtStart;
            totals.gdiAtEnd = shared->gdiAtEnd;
            break;
        }
        // The call that crashed or hung is counted and skipped; the run goes on after it.
        ++(hung ? totals.hangs : totals.crashes);
        totals.findings += "  call " + std::to_string(reached) +
                           (hung ? ": no return within a minute\n" : ": crashed\n");
        ++totals.calls;
        first = reached + 1;
    }
    UnmapViewOfFile(shared);
    std::printf("gaugekit_test_fuzzer, %d-bit: %ld calls, seed %llu\n", k64Bit ? 64 : 32,
                totals.calls, static_cast<unsigned long long>(seed));
    std::printf(
        "crashes %ld, hangs %ld, leaked instances %ld, state changes after a failed write "
        "%ld\n",
        totals.crashes, totals.hangs, totals.leakedInstances, totals.stateChanges);
    std::printf(
        "writes %ld, failed %ld (of which stored, then failed in the redraw: %ld); "
        "module unloadable at the end: %s\n",
        totals.writes, totals.failedWrites, totals.redrawFailures, totals.canUnload ? "yes" : "NO");
    if (totals.gdiAtStart || totals.gdiAtEnd)
        std::printf("GDI objects of the last worker: %ld when set up, %ld at its end\n",
                    totals.gdiAtStart, totals.gdiAtEnd);
    else
        std::printf("GDI objects: not counted by this system\n");
    if (!totals.findings.empty()) std::printf("findings:\n%s", totals.findings.c_str());
    const bool clean = totals.crashes == 0 && totals.hangs == 0 && totals.leakedInstances == 0 &&
                       totals.stateChanges == 0 && totals.canUnload;
    return clean ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (argc == 6 && std::wstring(argv[1]) == L"--worker") {
        const auto handle =
            reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(std::wcstoull(argv[5], nullptr, 10)));
        shared = static_cast<Shared*>(MapViewOfFile(handle, FILE_MAP_WRITE, 0, 0, 0));
        if (!shared) return 2;
        return worker(std::wcstoull(argv[2], nullptr, 10), std::wcstol(argv[3], nullptr, 10),
                      std::wcstol(argv[4], nullptr, 10));
    }
    const long calls = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 1000000;
    const std::uint64_t seed = argc > 2 ? std::wcstoull(argv[2], nullptr, 10) : 1;
    // A call to look at again, alone: its number (with the calls after it up to CALLS).
    const long first = argc > 3 ? std::wcstol(argv[3], nullptr, 10) : 0;
    if (calls <= 0 || first < 0 || first >= calls) {
        std::fprintf(stderr, "usage: gaugekit_test_fuzzer [CALLS [SEED [FIRST]]]\n");
        return 2;
    }
    return driver(calls, seed, first, self);
}
