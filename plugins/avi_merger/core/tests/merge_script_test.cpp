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

// The script for a host root, an output and the inputs, all of which fit.
std::string scriptFor(std::string_view hostRoot, std::string_view output,
                      const std::vector<std::string>& inputs) {
    MergeCommand command(output);
    for (const auto& input : inputs) EXPECT_TRUE(command.add(input)) << input;
    return mergeScript(hostRoot, command);
}

TEST(MergeScript, ReproducesTheHostsExample) {
    EXPECT_EQ(
        scriptFor("C:\\Conv", "D:\\Video\\holiday.avi", {"D:\\Video\\a.avi", "D:\\Video\\b.avi"}),
        "C:\r\n"
        "cd \"C:\\Conv\\bin\\\"\r\n"
        "mencoder -o \"D:\\Video\\holiday.avi\" -ovc copy -oac copy \"D:\\Video\\a.avi\" "
        "\"D:\\Video\\b.avi\" \r\n"
        "pause\r\n");
}

TEST(MergeScript, Lines) {
    struct Case {
        std::string hostRoot, output;
        std::vector<std::string> inputs;
        std::string script;
    };
    const Case cases[] = {
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
    for (const auto& c : cases) EXPECT_EQ(scriptFor(c.hostRoot, c.output, c.inputs), c.script);
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
    const std::string path = "D:\\V\\" + std::string(90, 'n') + "%.avi";
    MergeCommand command("D:\\V\\out.avi");
    std::size_t taken = 0;
    while (command.add(path)) ++taken;
    // The one refused would have crossed the limit, and left the command as it was.
    const std::size_t piece = path.size() + 1 + 3;  // the doubled '%', two quotes and a space
    EXPECT_LE(command.text().size(), kMaxCommandLine);
    EXPECT_GT(command.text().size() + piece, kMaxCommandLine);
    EXPECT_EQ(
        command.text().size(),
        std::string("mencoder -o \"D:\\V\\out.avi\" -ovc copy -oac copy ").size() + taken * piece);
}

}  // namespace
}  // namespace clipjoiner
