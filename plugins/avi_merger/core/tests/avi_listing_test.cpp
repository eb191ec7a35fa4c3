#include "avi_listing.h"

#include <gtest/gtest.h>

namespace clipjoiner {
namespace {

TEST(AviListing, KeepsPlainAviFilesInNameOrder) {
    std::vector<FolderItem> items = {{L"hidden.avi", false, true},
                                     {L"system.avi", false, false, true},
                                     {L"folder.avi", true},
                                     {L"hidden\".avi", false, true}};
    for (const wchar_t* name :
         {L"b.AVI", L"x.avix", L"A.avi", L"notes.txt", L"avi", L".avi", L"c.Avi", L"a.avi.bak",
          L"10.avi", L"9.avi", L"x\" & echo INJECTED & \".avi", L"a: b.avi", L"tab\there.avi",
          L"del\x7f.avi", L"forbidden?.txt"})
        items.push_back({name});
    const AviFiles files = aviFiles(items);
    EXPECT_EQ(files.names, (std::vector<std::wstring>{L".avi", L"10.avi", L"9.avi", L"A.avi",
                                                      L"b.AVI", L"c.Avi"}));
    EXPECT_EQ(files.leftOut, 4u);
    EXPECT_EQ(files.firstLeftOut, L"a: b.avi");
}

TEST(AviListing, SaysOnceWhatWasLeftOut) {
    struct Case {
        std::vector<std::wstring> names;
        std::wstring message;
    };
    const std::wstring why =
        L"Windows does not allow in file names (\\ / : * ? \" < > | or a control character)";
    const Case cases[] = {
        {{L"a.avi"}, L""},
        {{L"a.avi", L"t\tb\x01.avi"},
         L"One AVI file was left out of the list, since its name holds a character that " + why +
             L":\n\nt\xFFFD"
             L"b\xFFFD.avi"},
        {{L"z|.avi", L"a.avi", L"m<.avi", L"y\\.avi"},
         L"3 AVI files were left out of the list, since their names hold characters that " + why +
             L". The first of them:\n\nm<.avi"},
    };
    for (const auto& c : cases) {
        std::vector<FolderItem> items;
        for (const auto& name : c.names) items.push_back({name});
        EXPECT_EQ(leftOutMessage(aviFiles(items)), c.message);
    }
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
