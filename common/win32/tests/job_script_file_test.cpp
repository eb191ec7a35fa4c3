// How the job-script writer names paths: in the console's code page, and never a value that
// could break out of its quotes.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "win32/job_script_file.h"

namespace win {
namespace {

TEST(ScriptPath, NamesWhatTheQuotesCanHoldAndRefusesTheRest) {
    const struct {
        std::wstring path;
        std::optional<std::string> bytes;
    } cases[] = {
        {L"C:\\A & B\\100% (x) ^ [y].avi", "C:\\A & B\\100% (x) ^ [y].avi"},
        {L"C:\\x\" & echo INJECTED & \".avi", std::nullopt},
        {L"C:\\tab\there.avi", std::nullopt},
        {L"C:\\unit\x1f.avi", std::nullopt},
        {L"C:\\del\x7f.avi", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(scriptPath(c.path), c.bytes) << c.path;
    EXPECT_NE(unreadablePathMessage(L"C:\\a\"b.avi").find(L"double quote"), std::wstring::npos);
}

}  // namespace
}  // namespace win
