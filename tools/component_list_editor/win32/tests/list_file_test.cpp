// Saves against real files under a temporary folder, with each step made to fail in turn.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "component_list.h"
#include "injecting_file_system.h"
#include "list_file.h"
#include "win32/tests/ui_testing.h"

namespace partroster {
namespace {

namespace fs = std::filesystem;
using testing::InjectingFileSystem;
using testing::Step;
using win::testing::fileBytes;

const std::string kOld = "1|1|Old|old\r\n\xe9t\xe9|x\r\n";
const std::string kNew = "1|1|Old|old\r\n\xe9t\xe9|x\r\n2|3|New|new.dll\r\n";
const EntryList kNewEntries(kNew);

class ListFileSave : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  (L"partroster-save-" + std::to_wstring(GetCurrentProcessId()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        list_ = folder_ / L"Comp_lst.dll";
        std::ofstream(list_, std::ios::binary) << kOld;
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::vector<fs::path> folderContents() const {
        return {fs::directory_iterator(folder_), fs::directory_iterator()};
    }
    void expectOldFileAlone() const {
        EXPECT_EQ(fileBytes(list_), kOld);
        EXPECT_EQ(folderContents(), std::vector<fs::path>{list_});
    }

    SaveResult save(InjectingFileSystem& files, const EntryList& entries) {
        return saveListFile(files, list_.wstring(), entries, onDisk_);
    }

    fs::path folder_;
    fs::path list_;
    ListStamp onDisk_ = stampOf(kOld);
};

constexpr SaveResult kSaved{SaveOutcome::Saved, 0};

TEST_F(ListFileSave, ReplacesTheFileAndLeavesNothingElse) {
    InjectingFileSystem files;
    EXPECT_EQ(save(files, kNewEntries), kSaved);
    EXPECT_EQ(fileBytes(list_), kNew);
    // Long enough to go out in several writes; each save knows the file the one before left.
    std::string many;
    for (int i = 0; i < 20000; ++i) many += std::to_string(i) + "|2|d|p\r\n";
    EXPECT_EQ(save(files, EntryList(many)), kSaved);
    EXPECT_EQ(fileBytes(list_), many);
    EXPECT_EQ(save(files, EntryList()), kSaved);
    EXPECT_EQ(fs::file_size(list_), 0u);
    EXPECT_EQ(folderContents(), std::vector<fs::path>{list_});
    ASSERT_EQ(files.created.size(), 3u);
    EXPECT_EQ(fs::path(files.created[0]).parent_path(), folder_);
}

TEST_F(ListFileSave, AFailingStepLeavesTheOldFileWholeAndNoTemporaryFile) {
    struct Case {
        Step step;
        DWORD error;
    };
    const Case cases[] = {
        {Step::Create, ERROR_ACCESS_DENIED}, {Step::Write, ERROR_DISK_FULL},
        {Step::Flush, ERROR_IO_DEVICE},      {Step::Close, ERROR_IO_DEVICE},
        {Step::Stamp, ERROR_IO_DEVICE},      {Step::Replace, ERROR_NOT_SAME_DEVICE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.step));
        InjectingFileSystem files;
        files.failAt = c.step;
        files.failure = c.error;
        EXPECT_EQ(save(files, kNewEntries), (SaveResult{SaveOutcome::Failed, c.error}));
        EXPECT_EQ(files.waits, 0);
        EXPECT_EQ(onDisk_, stampOf(kOld));
        expectOldFileAlone();
    }
}

TEST_F(ListFileSave, AnotherProgramsChangeIsNeverWrittenOver) {
    // Changed before the save, or while its temporary file is written.
    struct Case {
        const char* name;
        std::string bytes;
        bool sameWriteTime;
    };
    const Case cases[] = {
        {"same length and write time", "1|1|Old|new\r\n\xe9t\xe9|x\r\n", true},
        {"an entry added", kOld + "3|3|Theirs|t\r\n", false},
        {"emptied", "", false},
    };
    for (bool during : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (during ? ", during the save" : ""));
            std::ofstream(list_, std::ios::binary | std::ios::trunc) << kOld;
            const auto written = fs::last_write_time(list_);
            const auto change = [&] {
                std::ofstream(list_, std::ios::binary | std::ios::trunc) << c.bytes;
                if (c.sameWriteTime) fs::last_write_time(list_, written);
            };
            InjectingFileSystem files;
            if (during)
                files.beforeStamp = change;
            else
                change();
            EXPECT_EQ(save(files, kNewEntries), (SaveResult{SaveOutcome::ChangedElsewhere, 0}));
            EXPECT_EQ(fileBytes(list_), c.bytes);
            EXPECT_EQ(onDisk_, stampOf(kOld));
            EXPECT_EQ(folderContents(), std::vector<fs::path>{list_});
        }
    }
    // A list another program removed is not made again.
    fs::remove(list_);
    InjectingFileSystem files;
    EXPECT_EQ(save(files, kNewEntries),
              (SaveResult{SaveOutcome::Failed, static_cast<DWORD>(ERROR_FILE_NOT_FOUND)}));
    EXPECT_TRUE(folderContents().empty());
}

TEST_F(ListFileSave, ATemporaryNameInUseIsPassedOver) {
    InjectingFileSystem files;
    files.failAt = Step::Create;
    files.failure = ERROR_FILE_EXISTS;
    files.failures = 3;
    EXPECT_EQ(save(files, kNewEntries), kSaved);
    EXPECT_EQ(fileBytes(list_), kNew);
}

TEST_F(ListFileSave, WaitsForAnotherProcessToLetGoOfTheFile) {
    // Held the way a reader that allows no replacing holds it.
    win::FileHandle holder(CreateFileW(list_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    InjectingFileSystem files;
    const SaveResult held = save(files, kNewEntries);
    EXPECT_EQ(held.outcome, SaveOutcome::Failed);
    EXPECT_TRUE(held.error == ERROR_SHARING_VIOLATION || held.error == ERROR_ACCESS_DENIED)
        << held.error;
    EXPECT_EQ(files.waits, static_cast<int>(std::size(kReplaceRetryDelaysMs)));
    holder.reset();
    expectOldFileAlone();

    holder.reset(CreateFileW(list_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    files.waits = 0;
    files.onWait = [&holder](int waits) {
        if (waits == 2) holder.reset();
    };
    EXPECT_EQ(save(files, kNewEntries), kSaved);
    EXPECT_EQ(files.waits, 3);
    EXPECT_EQ(fileBytes(list_), kNew);
    EXPECT_EQ(folderContents(), std::vector<fs::path>{list_});
}

TEST(ListFileRead, ReadsEveryByteOrTellsWhy) {
    const fs::path path = fs::temp_directory_path() /
                          (L"partroster-read-" + std::to_wstring(GetCurrentProcessId()) + L".dll");
    std::string big(200000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
    std::ofstream(path, std::ios::binary) << big;
    std::string bytes = "left over";
    EXPECT_EQ(readListFile(path.wstring(), bytes), 0u);
    EXPECT_EQ(bytes, big);
    fs::remove(path);
    EXPECT_EQ(readListFile(path.wstring(), bytes), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
}  // namespace partroster
