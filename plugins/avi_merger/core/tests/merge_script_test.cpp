#include "merge_script.h"

#include <gtest/gtest.h>

namespace clipjoiner {
namespace {

TEST(FileEntry, ComposesAndReadsBackByTheFirstColonSpace) {
    struct Case {
        std::wstring name, folder;  // composed from these when the name is not empty
        std::wstring entry;
        std::optional<std::wstring> path;
    };
    const std::wstring farColon = std::wstring(32764, L'x') + L": a]";
    const Case cases[] = {
        {L"clip01.avi", L"D:\\Video", L"clip01.avi [Path: D:\\Video\\clip01.avi]",
         L"D:\\Video\\clip01.avi"},
        {L"clip01.avi", L"D:\\", L"clip01.avi [Path: D:\\\\clip01.avi]", L"D:\\\\clip01.avi"},
        {L"my [old] clip.avi", L"C:\\A & B",
         L"my [old] clip.avi [Path: C:\\A & B\\my [old] clip.avi]",
         L"C:\\A & B\\my [old] clip.avi"},
        {L"", L"", L"no mark here]", L"o mark here"},
        {L"", L"", L"a: b: c]", L"b: c"},
        {L"", L"", L"ends: ", std::nullopt},
        {L"", L"", L"ends: ]", L""},
        {L"", L"", L"", std::nullopt},
        {L"", L"", L"x", std::nullopt},
        {L"", L"", farColon, L"a"},                 // the path starts at position 32767: allowed
        {L"", L"", L"x" + farColon, std::nullopt},  // one further: beyond the 16-bit positions
    };
    for (const auto& c : cases) {
        if (!c.name.empty()) {
            EXPECT_EQ(fileEntry(c.name, c.folder), c.entry);
        }
        EXPECT_EQ(entryPath(c.entry), c.path) << c.entry.substr(0, 40);
    }
}

TEST(MergeCheck, ChecksInOrder) {
    struct Case {
        std::size_t entries;
        std::wstring method, name;
        MergeCheck result;
    };
    const Case cases[] = {
        {0, L"copy", L"   ", MergeCheck::NoFiles},
        {1, L"copy", L"x", MergeCheck::InvalidMethod},
        {1, L"Copy ", L"x", MergeCheck::InvalidMethod},
        {1, L"Select a Merge Method", L"   ", MergeCheck::InvalidMethod},
        {1, L"Copy", L"", MergeCheck::InvalidName},
        {1, L"Copy", L"   ", MergeCheck::InvalidName},
        {1, L"Copy", L" my clip ", MergeCheck::Passed},
        {1, L"Copy", L"50% d\u00e9j\u00e0 vu & more.avi", MergeCheck::Passed},
        {1, L"Copy", L"a\tb", MergeCheck::InvalidName},
        {1, L"Copy", L"a\x7f", MergeCheck::InvalidName},
    };
    for (const auto& c : cases)
        EXPECT_EQ(checkMerge(c.entries, c.method, c.name), c.result) << c.method << L"|" << c.name;
    for (wchar_t c : std::wstring_view(L"\\/:*?\"<>|"))
        EXPECT_EQ(checkMerge(1, L"Copy", std::wstring(L"a") + c), MergeCheck::InvalidName)
            << std::wstring(1, c);
}

TEST(MergeScript, Lines) {
    struct Case {
        std::string hostRoot, output;
        std::vector<std::string> inputs;
        std::string script;
    };
    const Case cases[] = {
        {"C:\\Conv",
         "D:\\Video\\holiday.avi",
         {"D:\\Video\\a.avi", "D:\\Video\\b.avi"},
         "C:\r\ncd \"C:\\Conv\\bin\\\"\r\nmencoder -o \"D:\\Video\\holiday.avi\" -ovc copy -oac "
         "copy \"D:\\Video\\a.avi\" \"D:\\Video\\b.avi\" \r\npause\r\n"},
        // No host root setting: an empty drive line, and the cd names "\bin\".
        {"",
         "E:\\ my clip .avi",
         {"E:\\\\a.avi"},
         "\r\ncd \"\\bin\\\"\r\nmencoder -o \"E:\\ my clip .avi\" -ovc copy -oac copy "
         "\"E:\\\\a.avi\" \r\npause\r\n"},
        // A quote in the host root stays in the cd line (and in the path the file is made at).
        {"C:\\Co\"nv",
         "D:\\x.avi",
         {"D:\\a.avi", "D:\\a.avi"},
         "C:\r\ncd \"C:\\Co\"nv\\bin\\\"\r\nmencoder -o \"D:\\x.avi\" -ovc copy -oac copy "
         "\"D:\\a.avi\" \"D:\\a.avi\" \r\npause\r\n"},
        {"C:\\100%",
         "D:\\%x%\\50%.avi",
         {"D:\\%x%\\%a.avi"},
         "C:\r\ncd \"C:\\100%%\\bin\\\"\r\nmencoder -o \"D:\\%%x%%\\50%%.avi\" -ovc copy -oac "
         "copy \"D:\\%%x%%\\%%a.avi\" \r\npause\r\n"},
    };
    for (const auto& c : cases) {
        MergeCommand command(c.output);
        for (const auto& input : c.inputs) EXPECT_TRUE(command.add(input)) << input;
        EXPECT_EQ(mergeScript(c.hostRoot, command), c.script);
    }
    EXPECT_EQ(scriptPathOf(L"C:\\Co\"nv"), L"C:\\Co\"nv\\tmp\\merge.bat");
    EXPECT_EQ(startedPathOf(L"C:\\Co\"nv\\tmp\\merge.bat"), L"C:\\Conv\\tmp\\merge.bat");
    EXPECT_EQ(scriptPathOf(L""), L"\\tmp\\merge.bat");
}

TEST(MergeScript, OutputPathGetsOneAviExtension) {
    struct Case {
        std::wstring folder, name, path;
    };
    const Case cases[] = {
        {L"E:", L" my clip ", L"E:\\ my clip .avi"}, {L"D:\\", L"x.avi", L"D:\\\\x.avi"},
        {L"D:\\V", L"x.AVI", L"D:\\V\\x.AVI"},       {L"D:\\V", L"x.avi ", L"D:\\V\\x.avi .avi"},
        {L"D:\\V", L"x.avix", L"D:\\V\\x.avix.avi"},
    };
    for (const auto& c : cases) EXPECT_EQ(outputPathOf(c.folder, c.name), c.path) << c.name;
}

TEST(MergeScript, TheCommandTakesInputsWhileTheInterpreterCanReadIt) {
    // "mencoder -o "o" -ovc copy -oac copy " is 36 characters; each input adds its quotes and a
    // space, and a '%' counts twice.
    const std::string fills(kMaxCommandLine - 36 - 3 - 2, 'x');
    MergeCommand command("o");
    ASSERT_TRUE(command.add(fills + "%"));
    EXPECT_EQ(command.text().size(), kMaxCommandLine);
    EXPECT_FALSE(command.add(""));
    EXPECT_EQ(command.text().size(), kMaxCommandLine);  // the refused one left nothing
    EXPECT_FALSE(MergeCommand("o").add(fills + "%x"));
}

}  // namespace
}  // namespace clipjoiner
