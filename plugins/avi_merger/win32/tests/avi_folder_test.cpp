// The AVI listing against a real folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "avi_folder.h"
#include "win32/tests/e2e_host.h"

namespace clipjoiner {
namespace {

namespace fs = std::filesystem;

TEST(AviFolder, ListsPlainAviFilesOfARealFolderInNameOrder) {
    const e2e::TempFolder temp;
    const fs::path& folder = temp.path();
    fs::create_directories(folder / L"sub.avi");
    for (const wchar_t* name : {L"b.AVI", L"a.avi", L"x.avix", L"C.Avi", L"notes.txt",
                                L"hidden.avi", L"system.avi", L"\u00e9t\u00e9.avi"})
        std::ofstream(folder / name) << "RIFF";
    SetFileAttributesW((folder / L"hidden.avi").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW((folder / L"system.avi").c_str(), FILE_ATTRIBUTE_SYSTEM);

    const auto listed = listAviFolder(folder.wstring() + L"\\\\");
    ASSERT_TRUE(std::holds_alternative<AviFolder>(listed));
    EXPECT_EQ(std::get<AviFolder>(listed).folder, folder.wstring());
    EXPECT_EQ(std::get<AviFolder>(listed).names,
              (std::vector<std::wstring>{L"a.avi", L"b.AVI", L"C.Avi", L"\u00e9t\u00e9.avi"}));
    EXPECT_EQ(std::get<DWORD>(listAviFolder((folder / L"missing").wstring())),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(std::get<DWORD>(listAviFolder((folder / L"a.avi").wstring())),
              static_cast<DWORD>(ERROR_DIRECTORY));
}

}  // namespace
}  // namespace clipjoiner
