// The AVI listing against a real folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "avi_folder.h"

namespace clipjoiner {
namespace {

namespace fs = std::filesystem;

TEST(AviFolder, ListsPlainAviFilesOfARealFolderInNameOrder) {
    const fs::path folder =
        fs::temp_directory_path() / (L"clipjoiner-list-" + std::to_wstring(GetCurrentProcessId()));
    fs::remove_all(folder);
    fs::create_directories(folder / L"sub.avi");
    struct File {
        std::wstring name;
        DWORD attributes;
    };
    const File files[] = {
        {L"b.AVI", 0},
        {L"a.avi", 0},
        {L"x.avix", 0},
        {L"C.Avi", 0},
        {L"notes.txt", 0},
        {L"hidden.avi", FILE_ATTRIBUTE_HIDDEN},
        {L"system.avi", FILE_ATTRIBUTE_SYSTEM},
        {L"\u00e9t\u00e9.avi", 0},
    };
    for (const auto& f : files) {
        std::ofstream(folder / f.name) << "RIFF";
        if (f.attributes) SetFileAttributesW((folder / f.name).c_str(), f.attributes);
    }

    for (const std::wstring& asked : {folder.wstring(), folder.wstring() + L"\\\\"}) {
        const auto listed = listAviFolder(asked);
        ASSERT_TRUE(std::holds_alternative<AviFolder>(listed));
        const auto& result = std::get<AviFolder>(listed);
        EXPECT_EQ(result.folder, folder.wstring());
        EXPECT_EQ(result.names,
                  (std::vector<std::wstring>{L"a.avi", L"b.AVI", L"C.Avi", L"\u00e9t\u00e9.avi"}));
    }
    EXPECT_EQ(std::get<DWORD>(listAviFolder((folder / L"missing").wstring())),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(std::get<DWORD>(listAviFolder((folder / L"a.avi").wstring())),
              static_cast<DWORD>(ERROR_DIRECTORY));

    for (const auto& f : files)
        SetFileAttributesW((folder / f.name).c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace clipjoiner
