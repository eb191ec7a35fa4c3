#include "split_script.h"

#include <gtest/gtest.h>

#include "core/job_script.h"

namespace clipcutter {
namespace {

ScriptInput inputFor(const std::wstring& programFolder, const std::wstring& inputPath,
                     std::span<const std::wstring> parts) {
    const auto ascii = [](std::wstring_view w) { return std::string(w.begin(), w.end()); };
    const ScriptPlace place = scriptPlace(programFolder, inputPath);
    return {ascii(place.drive), ascii(place.hostRoot), ascii(inputPath), ascii(place.outputFolder),
            parts};
}

TEST(SplitScript, LinesForEachFormOfPartAndPlace) {
    // A closed part's -endpos is its length (1:30 to 5:00), since -ss moves the encoder's clock.
    const std::vector<std::wstring> example = {L"Split From [00:01:30] To [00:05:00]",
                                               L"Split From [Start] To [00:01:30]",
                                               L"Split From [00:05:00] To [End]"};
    struct Case {
        std::wstring programFolder, inputPath;
        std::vector<std::wstring> parts;
        std::string script;
        std::wstring scriptPath;
    };
    const Case cases[] = {
        {L"D:\\Apps\\Conv\\plugins", L"E:\\Video\\holiday.avi", example,
         "D:\r\ncd \"D:\\Apps\\Conv\\bin\\\"\r\n"
         "mencoder \"E:\\Video\\holiday.avi\" -ovc copy -oac copy -ss 00:01:30 -endpos 00:03:30 "
         "-o \"E:\\Video\\part_ 1.avi\"\r\n"
         "mencoder \"E:\\Video\\holiday.avi\" -ovc copy -oac copy  -endpos 00:01:30 -o "
         "\"E:\\Video\\part_ 2.avi\"\r\n"
         "mencoder \"E:\\Video\\holiday.avi\" -ovc copy -oac copy -ss 00:05:00 -o "
         "\"E:\\Video\\part_ 3.avi\"\r\n",
         L"D:\\Apps\\Conv\\tmp\\split.bat"},
        // Both markers, a drive root on either side, and times that do not read as times.
        {L"F:\\",
         L"E:\\clip.avi",
         {L"Split From [Start] To [End]", L"Split From [1:5:] To [00:00:09]"},
         "F:\r\ncd \"F:\\bin\\\"\r\n"
         "mencoder \"E:\\clip.avi\" -ovc copy -oac copy  -o \"E:\\part_ 1.avi\"\r\n"
         "mencoder \"E:\\clip.avi\" -ovc copy -oac copy -ss 1:5: -endpos 00:00:09 -o "
         "\"E:\\part_ 2.avi\"\r\n",
         L"F:\\tmp\\split.bat"},
        // A batch file expands %...% even inside quotes.
        {L"C:\\50% off\\plugins",
         L"C:\\100% real\\a%b%.avi",
         {L"Split From [Start] To [1:5:]"},
         "C:\r\ncd \"C:\\50%% off\\bin\\\"\r\n"
         "mencoder \"C:\\100%% real\\a%%b%%.avi\" -ovc copy -oac copy  -endpos 1:5: -o "
         "\"C:\\100%% real\\part_ 1.avi\"\r\n",
         L"C:\\50% off\\tmp\\split.bat"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(
            std::get<std::string>(splitScript(inputFor(c.programFolder, c.inputPath, c.parts))),
            c.script);
        EXPECT_EQ(scriptPlace(c.programFolder, c.inputPath).scriptPath, c.scriptPath);
    }
}

TEST(SplitScript, RefusesTheFirstPartThatCannotBeWrittenAsMeant) {
    // The longest end an open-start part may have: its command is then 8191 characters.
    const std::wstring longest(
        kMaxCommandLine - std::string("mencoder \"E:\\a.avi\" -ovc copy -oac copy "
                                      " -endpos  -o \"E:\\part_ 2.avi\"")
                              .size(),
        L'1');
    struct Case {
        std::wstring part;
        std::optional<ScriptRefusal> refusal;
    };
    const Case cases[] = {
        {L"Split From [00:00:01] To [0 & calc]", UnpassableTime{2, L"0 & calc"}},
        {L"Split From [1%PATH%] To [End]", UnpassableTime{2, L"1%PATH%"}},
        {L"Split From [\"1\"] To [End]", UnpassableTime{2, L"\"1\""}},
        {L"Split From [Start] To [1^2]", UnpassableTime{2, L"1^2"}},
        // A bracket typed into a field would make the line read back as other times.
        {L"Split From [0:1]2:0] To [End]", UnpassableTime{2, L"Split From [0:1]2:0] To [End]"}},
        // Beside -ss the encoder would read such an end as a length.
        {L"Split From [00:00:09] To [00:00:08]", EndNotAfterStart{2, L"00:00:09", L"00:00:08"}},
        {L"Split From [00:00:10] To [10]", EndNotAfterStart{2, L"00:00:10", L"10"}},
        {L"Split From [Start] To [" + longest + L"]", std::nullopt},
        {L"Split From [Start] To [" + longest + L"1]", CommandTooLong{2}},
        {L"Split From [" + longest + L"123456] To [End]", CommandTooLong{2}},  // "-ss ", 5 fewer
    };
    for (const auto& c : cases) {
        const std::vector<std::wstring> parts = {L"Split From [Start] To [End]", c.part,
                                                 L"Split From [Start] To [0:0:0]"};
        EXPECT_EQ(checkScript(inputFor(L"D:\\H\\plugins", L"E:\\a.avi", parts)), c.refusal)
            << c.part.substr(0, 60);
    }
}

TEST(SplitScript, SixteenBitLimits) {
    std::vector<std::wstring> parts(common::kMaxCount16, L"Split From [Start] To [End]");
    const auto script =
        std::get<std::string>(splitScript({"D:", "D:\\H", "E:\\a.avi", "E:", parts}));
    EXPECT_TRUE(script.ends_with("-o \"E:\\part_ 32767.avi\"\r\n"));
    parts.push_back(parts[0]);
    EXPECT_EQ(checkScript({"D:", "D:\\H", "E:\\a.avi", "E:", parts}),
              ScriptRefusal{TooManyParts{}});
    parts = {partLine(kStartMarker, std::wstring(common::kMaxCount16, L'1'))};
    EXPECT_EQ(checkScript({"D:", "D:\\H", "E:\\a.avi", "E:", parts}),
              ScriptRefusal{PartLineTooLong{1}});
}

// What OK of the Add Part dialog makes is checked through the dialog, in the window's tests.
TEST(PartLine, ReadsBackTheTimesBetweenTheBrackets) {
    struct Case {
        std::wstring line, start, end;
    };
    const Case cases[] = {
        {L"Split From [Start] To [End]", L"Start", L"End"},
        {L"Split From [start] To [END]", L"start", L"END"},  // markers are case-sensitive
        {L"Split From [a[b] To [c]", L"a[b", L"c"},
        {L"Split From [To [x] To [y]", L"To [x", L"x"},  // the first "To [" wins
        {L"no brackets", L"", L""},
    };
    for (const auto& c : cases) {
        const PartTimes t = parsePartLine(c.line);
        EXPECT_EQ(std::wstring(t.start) + L"|" + std::wstring(t.end), c.start + L"|" + c.end)
            << c.line;
    }
}

TEST(PartLength, EndposIsTheLengthOfAClosedPart) {
    struct Case {
        std::wstring start, end;
        std::optional<std::wstring> length;
    };
    const Case cases[] = {
        {L"00:00:05", L"00:00:15", L"00:00:10"},
        {L"00:59:30", L"01:00:15", L"00:00:45"},
        {L"1:30", L"2:00:00", L"01:58:30"},
        {L"5", L"90", L"00:01:25"},
        {L"00:00:01.5", L"00:00:03.25", L"00:00:01.75"},
        {L"00:00:01.5", L"00:00:02.5", L"00:00:01.0"},
        {L"0", L"100:00:00", L"100:00:00"},
        {L"00:00:01", L"1:2:3:4", std::nullopt},
        {L"00:00:01", L"10mb", std::nullopt},
        {L"00:00:01", L"00::05", std::nullopt},
        {L"00:00:01", L"00:00:05.", std::nullopt},
        {L"00:00:01", L"-00:00:05", std::nullopt},
        {L"00:00:01", L"1234567890", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(partLength(c.start, c.end), c.length) << c.start << L" " << c.end;
}

TEST(LateStart, APartMustStartBeforeTheMoviesEnd) {
    const common::Duration twenty{200, 10};             // 200 frames at 10 fps
    const common::Duration ntsc{599ull * 1001, 30000};  // 19.9866... s
    struct Case {
        common::Duration length;
        std::vector<std::wstring> parts;
        std::optional<std::size_t> late;  // the part refused
    };
    const Case cases[] = {
        {twenty, {partLine(L"00:00:05", L"00:00:15"), partLine(L"00:00:19.99", L"00:05:00")}, {}},
        {twenty, {partLine(L"00:00:05", L"00:00:15"), partLine(L"00:00:20", L"End")}, 2},
        {twenty, {partLine(L"0:0:25", L"0:0:30"), partLine(L"00:01:00", L"End")}, 1},
        {twenty, {partLine(L"1:5:", L"End"), partLine(L"Start", L"00:09:00")}, {}},  // unread
        {twenty, {partLine(L"20", L"End")}, 1},
        {ntsc, {partLine(L"00:00:19.986", L"End")}, {}},
        {ntsc, {partLine(L"00:00:19.987", L"End")}, 1},
        {{0, 1}, {partLine(L"00:00:00", L"End"), partLine(L"Start", L"End")}, 1},
    };
    for (const auto& c : cases) {
        const auto late = firstLateStart(c.parts, c.length);
        EXPECT_EQ(late ? std::optional(late->partNumber) : std::nullopt, c.late) << c.parts[0];
    }
    EXPECT_EQ(lateStartMessage({2, L"00:00:25"}, twenty),
              L"Part 2 starts at 00:00:25, but the movie is only 00:00:20 long.");
}

}  // namespace
}  // namespace clipcutter
