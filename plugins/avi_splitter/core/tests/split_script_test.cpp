#include "split_script.h"

#include <gtest/gtest.h>

#include "core/job_script.h"

namespace clipcutter {
namespace {

std::vector<std::wstring> scriptFor(
    const std::wstring& inputPath, const std::vector<std::wstring>& parts,
    const std::wstring& programFolder = L"D:\\Apps\\Conv\\plugins") {
    const ScriptPlace place = scriptPlace(programFolder, inputPath);
    auto result = splitScript({place.drive, place.hostRoot, inputPath, place.outputFolder, parts});
    return std::get<std::vector<std::wstring>>(result);
}

std::wstring scriptBytes(const std::vector<std::wstring>& lines) {
    std::wstring all;
    for (const auto& l : lines) all += l + L"\r\n";
    return all;
}

TEST(SplitScript, ReproducesTheHostsExample) {
    // The closed part's -endpos is its length (1:30 to 5:00), since -ss moves the encoder's clock.
    const auto lines =
        scriptFor(L"E:\\Video\\holiday.avi", {
                                                 L"Split From [00:01:30] To [00:05:00]",
                                                 L"Split From [Start] To [00:01:30]",
                                                 L"Split From [00:05:00] To [End]",
                                             });
    EXPECT_EQ(scriptBytes(lines),
              L"D:\r\n"
              L"cd \"D:\\Apps\\Conv\\bin\\\"\r\n"
              L"mencoder \"E:\\Video\\holiday.avi\" -ovc copy -oac copy -ss 00:01:30 -endpos "
              L"00:03:30 -o \"E:\\Video\\part_ 1.avi\"\r\n"
              L"mencoder \"E:\\Video\\holiday.avi\" -ovc copy -oac copy  -endpos 00:01:30 -o "
              L"\"E:\\Video\\part_ 2.avi\"\r\n"
              L"mencoder \"E:\\Video\\holiday.avi\" -ovc copy -oac copy -ss 00:05:00 -o "
              L"\"E:\\Video\\part_ 3.avi\"\r\n");
}

TEST(SplitScript, CommandLinesPerPartForm) {
    struct Case {
        std::wstring inputPath;
        std::wstring part;
        std::wstring command;
    };
    const Case cases[] = {
        {L"E:\\clip.avi", L"Split From [Start] To [End]",
         L"mencoder \"E:\\clip.avi\" -ovc copy -oac copy  -o \"E:\\part_ 1.avi\""},
        {L"E:\\clip.avi", L"Split From [Start] To [1:5:]",
         L"mencoder \"E:\\clip.avi\" -ovc copy -oac copy  -endpos 1:5: -o \"E:\\part_ 1.avi\""},
        // An end that does not read as a time, or lies before the start, is passed as typed.
        {L"E:\\clip.avi", L"Split From [1:5:] To [00:00:09]",
         L"mencoder \"E:\\clip.avi\" -ovc copy -oac copy -ss 1:5: -endpos 00:00:09 -o "
         L"\"E:\\part_ 1.avi\""},
        {L"E:\\clip.avi", L"Split From [00:00:09] To [00:00:08]",
         L"mencoder \"E:\\clip.avi\" -ovc copy -oac copy -ss 00:00:09 -endpos 00:00:08 -o "
         L"\"E:\\part_ 1.avi\""},
        {L"C:\\100% real\\a%b%.avi", L"Split From [00:00:01] To [End]",
         L"mencoder \"C:\\100%% real\\a%%b%%.avi\" -ovc copy -oac copy -ss 00:00:01 -o "
         L"\"C:\\100%% real\\part_ 1.avi\""},
    };
    for (const auto& c : cases) {
        const auto lines = scriptFor(c.inputPath, {c.part});
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[2], c.command) << c.part;
    }
}

TEST(SplitScript, HeadLinesFromTheProgramFolder) {
    struct Case {
        std::wstring programFolder, drive, cd, scriptPath;
    };
    const Case cases[] = {
        {L"D:\\Apps\\Conv\\plugins", L"D:", L"cd \"D:\\Apps\\Conv\\bin\\\"",
         L"D:\\Apps\\Conv\\tmp\\split.bat"},
        {L"C:\\50% off\\plugins", L"C:", L"cd \"C:\\50%% off\\bin\\\"",
         L"C:\\50% off\\tmp\\split.bat"},
        {L"F:\\", L"F:", L"cd \"F:\\bin\\\"", L"F:\\tmp\\split.bat"},
    };
    for (const auto& c : cases) {
        const auto lines = scriptFor(L"E:\\a.avi", {}, c.programFolder);
        EXPECT_EQ(lines, (std::vector<std::wstring>{c.drive, c.cd})) << c.programFolder;
        EXPECT_EQ(scriptPlace(c.programFolder, L"E:\\a.avi").scriptPath, c.scriptPath);
    }
}

TEST(SplitScript, PartsAreNumberedByListPosition) {
    std::vector<std::wstring> parts(12, L"Split From [Start] To [End]");
    const auto lines = scriptFor(L"E:\\v\\a.avi", parts);
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_NE(lines[2].find(L"\\part_ 1.avi\""), std::wstring::npos);
    EXPECT_NE(lines[13].find(L"\\part_ 12.avi\""), std::wstring::npos);
}

TEST(SplitScript, RefusesWhatCannotBeWrittenSafely) {
    struct Case {
        std::wstring part;
        std::size_t partNumber;
        std::wstring offending;
    };
    const Case cases[] = {
        {L"Split From [00:00:01] To [0 & calc]", 2, L"0 & calc"},
        {L"Split From [1%PATH%] To [End]", 2, L"1%PATH%"},
        {L"Split From [\"1\"] To [End]", 2, L"\"1\""},
        {L"Split From [Start] To [1^2]", 2, L"1^2"},
        // A bracket typed into a field would make the line read back as other times.
        {L"Split From [0:1]2:0] To [End]", 2, L"Split From [0:1]2:0] To [End]"},
    };
    for (const auto& c : cases) {
        const auto place = scriptPlace(L"D:\\H\\plugins", L"E:\\a.avi");
        const auto result = splitScript({place.drive,
                                         place.hostRoot,
                                         L"E:\\a.avi",
                                         place.outputFolder,
                                         {L"Split From [Start] To [End]", c.part}});
        ASSERT_TRUE(std::holds_alternative<ScriptRefusal>(result)) << c.part;
        const auto& refusal = std::get<UnpassableTime>(std::get<ScriptRefusal>(result));
        EXPECT_EQ(refusal.partNumber, c.partNumber);
        EXPECT_EQ(refusal.time, c.offending);
    }
}

TEST(SplitScript, SixteenBitLimits) {
    ScriptInput input{L"D:", L"D:\\H", L"E:\\a.avi", L"E:", {}};
    input.partLines.assign(common::kMaxCount16, L"Split From [Start] To [End]");
    EXPECT_TRUE(std::holds_alternative<std::vector<std::wstring>>(splitScript(input)));
    input.partLines.push_back(L"Split From [Start] To [End]");
    EXPECT_TRUE(std::holds_alternative<TooManyParts>(std::get<ScriptRefusal>(splitScript(input))));

    const std::wstring longTime(common::kMaxCount16, L'1');
    input.partLines = {partLine(kStartMarker, longTime)};
    const auto refusal = std::get<ScriptRefusal>(splitScript(input));
    EXPECT_EQ(std::get<PartLineTooLong>(refusal).partNumber, 1u);
}

TEST(PartLine, OkOfTheAddPartDialog) {
    struct Case {
        bool fromStart, untilEnd;
        std::vector<std::wstring> lines;
    };
    const std::wstring start = timeText(L"00", L"10", L"00");
    const std::wstring end = timeText(L"00", L"20", L"00");
    const Case cases[] = {
        {false, false, {L"Split From [00:10:00] To [00:20:00]"}},
        {false, true, {L"Split From [00:10:00] To [End]"}},
        {true, false, {L"Split From [Start] To [00:20:00]"}},
        {true, true, {L"Split From [00:10:00] To [End]", L"Split From [Start] To [00:20:00]"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(partLinesForOk(start, end, c.fromStart, c.untilEnd), c.lines);
    EXPECT_EQ(timeText(L"1", L"5", L""), L"1:5:");
}

TEST(PartLine, ParsesBack) {
    struct Case {
        std::wstring line, start, end;
    };
    const Case cases[] = {
        {L"Split From [00:01:30] To [00:05:00]", L"00:01:30", L"00:05:00"},
        {L"Split From [Start] To [End]", L"Start", L"End"},
        {L"Split From [start] To [END]", L"start", L"END"},  // markers are case-sensitive
        {L"Split From [::] To [::]", L"::", L"::"},
        {L"Split From [a[b] To [c]", L"a[b", L"c"},
        {L"Split From [To [x] To [y]", L"To [x", L"x"},  // the first "To [" wins
        {L"no brackets", L"", L""},
    };
    for (const auto& c : cases) {
        const PartTimes t = parsePartLine(c.line);
        EXPECT_EQ(t.start, c.start) << c.line;
        EXPECT_EQ(t.end, c.end) << c.line;
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
        {L"00:00:10", L"00:00:10", std::nullopt},
        {L"00:00:10", L"00:00:09", std::nullopt},
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

}  // namespace
}  // namespace clipcutter
