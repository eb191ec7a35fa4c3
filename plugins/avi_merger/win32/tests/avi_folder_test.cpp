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
    for (const wchar_t* name : {L"b.AVI", L"a.avi", L"x.avix", L"C.Avi", L"notes.txt",
                                L"hidden.avi", L"system.avi", L"\u00e9t\u00e9.avi"})
        std::ofstream(folder / name) << "RIFF";
    SetFileAttributesW((folder / L"hidden.avi").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW((folder / L"system.avi").c_str(), FILE_ATTRIBUTE_SYSTEM);

    for (const std::wstring& asked : {folder.wstring(), folder.wstring() + L"\\\\"}) {
        const auto listed = listAviFolder(asked);
        ASSERT_TRUE(std::holds_alternative<AviFolder>(listed));
        EXPECT_EQ(std::get<AviFolder>(listed).folder, folder.wstring());
        EXPECT_EQ(std::get<AviFolder>(listed).names,
                  (std::vector<std::wstring>{L"a.avi", L"b.AVI", L"C.Avi", L"\u00e9t\u00e9.avi"}));
    }
    EXPECT_EQ(std::get<DWORD>(listAviFolder((folder / L"missing").wstring())),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(std::get<DWORD>(listAviFolder((folder / L"a.avi").wstring())),
              static_cast<DWORD>(ERROR_DIRECTORY));

    for (const wchar_t* name : {L"hidden.avi", L"system.avi"})
        SetFileAttributesW((folder / name).c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace clipjoiner
