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
const std::string kNew = kOld + "2|3|New|new.dll\r\n";
constexpr SaveResult kSaved{SaveOutcome::Saved, 0};

class ListFile : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        write(kOld);
    }
    void TearDown() override { fs::remove_all(folder_); }

    void write(const std::string& bytes) const {
        std::ofstream(list_, std::ios::binary | std::ios::trunc) << bytes;
    }
    std::vector<fs::path> folderContents() const {
        return {fs::directory_iterator(folder_), fs::directory_iterator()};
    }
    // The list still holds what it held, and nothing lies beside it.
    void expectLeftAlone(const std::string& bytes) const {
        EXPECT_EQ(fileBytes(list_), bytes);
        EXPECT_EQ(folderContents(), std::vector<fs::path>{list_});
    }
    SaveResult save(InjectingFileSystem& files, const std::string& bytes) {
        return saveListFile(files, list_.wstring(), EntryList(bytes), onDisk_);
    }

    const fs::path folder_ =
        fs::temp_directory_path() / (L"partroster-save-" + std::to_wstring(GetCurrentProcessId()));
    const fs::path list_ = folder_ / L"Comp_lst.dll";
    ListStamp onDisk_ = stampOf(kOld);
};

TEST_F(ListFile, ReplacesTheFileAndLeavesNothingElse) {
    // Long enough to go out in several writes; each save knows the file the one before left.
    std::string many;
    for (int i = 0; i < 20000; ++i) many += std::to_string(i) + "|2|d|p\r\n";
    InjectingFileSystem files;
    for (const std::string& bytes : {kNew, many, std::string()}) {
        EXPECT_EQ(save(files, bytes), kSaved);
        expectLeftAlone(bytes);
    }
    ASSERT_EQ(files.created.size(), 3u);
    EXPECT_EQ(fs::path(files.created[0]).parent_path(), folder_);
}

TEST_F(ListFile, AFailingStepLeavesTheOldFileWholeAndNoTemporaryFile) {
    const struct {
        Step step;
        DWORD error;
        int failures, waits;
        bool saves;
    } cases[] = {
        {Step::Create, ERROR_ACCESS_DENIED, 1, 0, false},
        {Step::Write, ERROR_DISK_FULL, 1, 0, false},
        {Step::Flush, ERROR_IO_DEVICE, 1, 0, false},
        {Step::Close, ERROR_IO_DEVICE, 1, 0, false},
        {Step::Stamp, ERROR_IO_DEVICE, 1, 0, false},
        {Step::Replace, ERROR_NOT_SAME_DEVICE, 1, 0, false},
        // Temporary names in use are passed over.
        {Step::Create, ERROR_FILE_EXISTS, 3, 0, true},
        // While another process holds the list, it is tried again after each pause, for a while.
        {Step::Stamp, ERROR_LOCK_VIOLATION, 1, 1, true},
        {Step::Replace, ERROR_SHARING_VIOLATION, 2, 2, true},
        {Step::Replace, ERROR_ACCESS_DENIED, 9, std::size(kReplaceRetryDelaysMs), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "step " << static_cast<int>(c.step) << ", error "
                                          << c.error << " " << c.failures << " times");
        write(kOld);
        onDisk_ = stampOf(kOld);
        InjectingFileSystem files;
        files.failAt = c.step;
        files.failure = c.error;
        files.failures = c.failures;
        EXPECT_EQ(save(files, kNew), (c.saves ? kSaved : SaveResult{SaveOutcome::Failed, c.error}));
        EXPECT_EQ(files.waits, c.waits);
        EXPECT_EQ(onDisk_, stampOf(c.saves ? kNew : kOld));
        expectLeftAlone(c.saves ? kNew : kOld);
    }
}

TEST_F(ListFile, AReaderThatAllowsNoReplacingIsWaitedForThenReported) {
    const win::FileHandle holder(CreateFileW(list_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    InjectingFileSystem files;
    const SaveResult held = save(files, kNew);
    EXPECT_EQ(held.outcome, SaveOutcome::Failed);
    EXPECT_TRUE(held.error == ERROR_SHARING_VIOLATION || held.error == ERROR_ACCESS_DENIED)
        << held.error;
    EXPECT_EQ(files.waits, static_cast<int>(std::size(kReplaceRetryDelaysMs)));
    expectLeftAlone(kOld);
}

TEST_F(ListFile, AListAnotherProgramRemovedIsNotMadeAgain) {
    fs::remove(list_);
    InjectingFileSystem files;
    EXPECT_EQ(save(files, kNew),
              (SaveResult{SaveOutcome::Failed, static_cast<DWORD>(ERROR_FILE_NOT_FOUND)}));
    EXPECT_TRUE(folderContents().empty());
}

TEST_F(ListFile, ReadingGetsEveryByteOrTellsWhy) {
    std::string big(200000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
    write(big);
    std::string bytes = "left over";
    EXPECT_EQ(readListFile(list_.wstring(), bytes), 0u);
    EXPECT_TRUE(bytes == big);
    fs::remove(list_);
    EXPECT_EQ(readListFile(list_.wstring(), bytes), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
}  // namespace partroster
