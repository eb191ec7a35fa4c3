// The real file system, with one chosen step of a save made to fail, and a moment to change the
// file as another program would, just before the save looks at it.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "list_file.h"

namespace partroster::testing {

enum class Step { None, Create, Write, Flush, Close, Stamp, Replace };

class InjectingFileSystem : public SaveFileSystem {
  public:
    Step failAt = Step::None;
    DWORD failure = 0;
    int failures = 1;                       // how many calls of that step fail
    std::function<void(int waits)> onWait;  // instead of sleeping
    std::function<void()> beforeStamp;      // once, before the save reads the file's stamp
    std::vector<std::wstring> created;
    int waits = 0;

    DWORD createNew(const std::wstring& path, win::FileHandle& file) override {
        if (fails(Step::Create)) return failure;
        created.push_back(path);
        return real_.createNew(path, file);
    }
    DWORD write(HANDLE file, std::string_view bytes) override {
        // Half the bytes reach the file before the failure, as when a disk fills up.
        if (!fails(Step::Write)) return real_.write(file, bytes);
        real_.write(file, bytes.substr(0, bytes.size() / 2));
        return failure;
    }
    DWORD flush(HANDLE file) override { return fails(Step::Flush) ? failure : real_.flush(file); }
    DWORD close(win::FileHandle& file) override {
        // A failed close may leave the handle open.
        return fails(Step::Close) ? failure : real_.close(file);
    }
    DWORD replace(const std::wstring& from, const std::wstring& to) override {
        return fails(Step::Replace) ? failure : real_.replace(from, to);
    }
    DWORD remove(const std::wstring& path) override { return real_.remove(path); }
    DWORD stamp(const std::wstring& path, ListStamp& stamp) override {
        if (beforeStamp) std::exchange(beforeStamp, nullptr)();
        return fails(Step::Stamp) ? failure : real_.stamp(path, stamp);
    }
    void wait(DWORD) override {
        if (onWait) onWait(waits);
        ++waits;
    }

  private:
    bool fails(Step step) {
        if (step != failAt || failures == 0) return false;
        --failures;
        return true;
    }
    Win32FileSystem real_;
};

}  // namespace partroster::testing
