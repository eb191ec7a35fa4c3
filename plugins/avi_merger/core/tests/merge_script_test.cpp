#include "merge_script.h"

#include <gtest/gtest.h>

namespace clipjoiner {
namespace {

TEST(FileEntry, ComposesAndReadsBack) {
    struct Case {
        std::wstring name, folder, entry, path;
    };
    const Case cases[] = {
        {L"clip01.avi", L"D:\\Video", L"clip01.avi [Path: D:\\Video\\clip01.avi]",
         L"D:\\Video\\clip01.avi"},
        {L"clip01.avi", L"D:\\", L"clip01.avi [Path: D:\\\\clip01.avi]", L"D:\\\\clip01.avi"},
        {L"my [old] clip.avi", L"C:\\A & B",
         L"my [old] clip.avi [Path: C:\\A & B\\my [old] clip.avi]",
         L"C:\\A & B\\my [old] clip.avi"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fileEntry(c.name, c.folder), c.entry);
        EXPECT_EQ(entryPath(c.entry), c.path);
    }
}

TEST(FileEntry, ReadsBackByTheFirstColonSpace) {
    struct Case {
        std::wstring entry;
        std::optional<std::wstring> path;
    };
    const std::wstring farColon = std::wstring(32764, L'x') + L": a]";
    const Case cases[] = {
        {L"no mark here]", L"o mark here"},
        {L"a: b: c]", L"b: c"},
        {L"ends: ", std::nullopt},
        {L"ends: ]", L""},
        {L"", std::nullopt},
        {L"x", std::nullopt},
        {farColon, L"a"},                 // the path starts at position 32767: still allowed
        {L"x" + farColon, std::nullopt},  // one further: beyond the 16-bit positions
    };
    for (const auto& c : cases) EXPECT_EQ(entryPath(c.entry), c.path) << c.entry.size();
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
        {1, L"Copy", L"x.avi", MergeCheck::Passed},
        {1, L"Copy", L"50% d\u00e9j\u00e0 vu & more", MergeCheck::Passed},
        {1, L"Copy", L"a\"b", MergeCheck::InvalidName},
        {1, L"Copy", L"a\tb", MergeCheck::InvalidName},
        {1, L"Copy", L"a\x7f", MergeCheck::InvalidName},
    };
    for (const auto& c : cases)
        EXPECT_EQ(checkMerge(c.entries, c.method, c.name), c.result) << c.method << L"|" << c.name;
    for (wchar_t c : std::wstring_view(L"\\/:*?<>|"))
        EXPECT_EQ(checkMerge(1, L"Copy", std::wstring(L"a") + c), MergeCheck::InvalidName)
            << static_cast<int>(c);
    EXPECT_EQ(checkMessage(MergeCheck::NoFiles), L"No Files!");
    EXPECT_EQ(checkMessage(MergeCheck::InvalidMethod), L"Invalid Merge Method!");
    EXPECT_EQ(checkMessage(MergeCheck::InvalidName), L"Output name invalid!");
}

TEST(MergeScript, ReproducesTheHostsExample) {
    EXPECT_EQ(
        mergeScript({"C:\\Conv", "D:\\Video\\holiday.avi", {"D:\\Video\\a.avi", "D:\\Video\\b.avi"}}),
        "C:\r\n"
        "cd \"C:\\Conv\\bin\\\"\r\n"
        "mencoder -o \"D:\\Video\\holiday.avi\" -ovc copy -oac copy \"D:\\Video\\a.avi\" "
        "\"D:\\Video\\b.avi\" \r\n"
        "pause\r\n");
}

TEST(MergeScript, Lines) {
    struct Case {
        ScriptInput input;
        std::string script;
    };
    const Case cases[] = {
        // No host root setting: an empty drive line, and the cd names "\bin\".
        {{"", "E:\\ my clip .avi", {"E:\\\\a.avi"}},
         "\r\ncd \"\\bin\\\"\r\nmencoder -o \"E:\\ my clip .avi\" -ovc copy -oac copy "
         "\"E:\\\\a.avi\" \r\npause\r\n"},
        // A quote in the host root stays in the cd line (and in the path the file is made at).
        {{"C:\\Co\"nv", "D:\\x.avi.avi", {"D:\\a.avi", "D:\\a.avi"}},
         "C:\r\ncd \"C:\\Co\"nv\\bin\\\"\r\nmencoder -o \"D:\\x.avi.avi\" -ovc copy -oac copy "
         "\"D:\\a.avi\" \"D:\\a.avi\" \r\npause\r\n"},
        {{"C:\\100%", "D:\\%x%\\50%.avi", {"D:\\%x%\\%a.avi"}},
         "C:\r\ncd \"C:\\100%%\\bin\\\"\r\nmencoder -o \"D:\\%%x%%\\50%%.avi\" -ovc copy -oac "
         "copy \"D:\\%%x%%\\%%a.avi\" \r\npause\r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(mergeScript(c.input), c.script);
    EXPECT_EQ(scriptPathOf(L"C:\\Co\"nv"), L"C:\\Co\"nv\\tmp\\merge.bat");
    EXPECT_EQ(startedPathOf(L"C:\\Co\"nv\\tmp\\merge.bat"), L"C:\\Conv\\tmp\\merge.bat");
    EXPECT_EQ(scriptPathOf(L""), L"\\tmp\\merge.bat");
    EXPECT_EQ(outputPathOf(L"E:", L" my clip "), L"E:\\ my clip .avi");
    EXPECT_EQ(outputPathOf(L"D:\\", L"x.avi"), L"D:\\\\x.avi.avi");
}

TEST(MergeScript, RefusesACommandTheInterpreterCannotRead) {
    ScriptInput input{"C:\\Conv", "D:\\V\\out.avi", {}};
    const std::string path = "D:\\V\\" + std::string(90, 'n') + ".avi";
    while (mergeScript(input)) input.inputPaths.push_back(path);
    // The longest command that still fits is one input fewer.
    input.inputPaths.pop_back();
    const auto script = mergeScript(input);
    ASSERT_TRUE(script);
    const auto start = script->find("mencoder");
    EXPECT_LE(script->find("\r\n", start) - start, kMaxCommandLine);
    EXPECT_GT(script->find("\r\n", start) - start + path.size() + 3, kMaxCommandLine);
}

}  // namespace
}  // namespace clipjoiner
