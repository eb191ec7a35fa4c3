#include "avi_listing.h"

#include <gtest/gtest.h>

namespace clipjoiner {
namespace {

TEST(AviListing, KeepsPlainAviFilesInNameOrder) {
    const std::vector<FolderItem> items = {
        {L"b.AVI"},
        {L"x.avix"},
        {L"A.avi"},
        {L"hidden.avi", false, true},
        {L"system.avi", false, false, true},
        {L"folder.avi", true},
        {L"notes.txt"},
        {L"avi"},
        {L".avi"},
        {L"c.Avi"},
        {L"a.avi.bak"},
        {L"10.avi"},
        {L"9.avi"},
    };
    EXPECT_EQ(aviFiles(items), (std::vector<std::wstring>{L".avi", L"10.avi", L"9.avi", L"A.avi",
                                                          L"b.AVI", L"c.Avi"}));
}

TEST(AviListing, Folders) {
    struct Case {
        std::wstring in, out;
    };
    const Case listed[] = {
        {L"D:\\Video", L"D:\\Video"},
        {L"D:\\Video\\", L"D:\\Video"},
        {L"D:\\Video\\\\", L"D:\\Video"},
        {L"D:\\", L"D:\\"},
        {L"D:", L"D:\\"},
    };
    for (const auto& c : listed) EXPECT_EQ(listedFolder(c.in), c.out) << c.in;
    const Case startup[] = {
        {L"\"C:\\My Videos\"", L"C:\\My Videos\\"},
        {L"C:\\Videos\\", L"C:\\Videos\\\\"},
        {L"", L"\\"},
    };
    for (const auto& c : startup) EXPECT_EQ(startupFolder(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace clipjoiner
