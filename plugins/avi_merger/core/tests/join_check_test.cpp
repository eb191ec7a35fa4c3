#include "join_check.h"

#include <gtest/gtest.h>

#include <vector>

namespace clipjoiner {
namespace {

using common::MovieInfo;

constexpr std::uint32_t fourCc(const char (&c)[5]) {
    return std::uint32_t(std::uint8_t(c[0])) | std::uint32_t(std::uint8_t(c[1])) << 8 |
           std::uint32_t(std::uint8_t(c[2])) << 16 | std::uint32_t(std::uint8_t(c[3])) << 24;
}

// A movie by what differs from 160x120 MPEG-4 at 10 fps with 16-bit mono PCM at 8000 Hz.
struct Movie {
    bool video = true;
    std::uint32_t codec = fourCc("FMP4");
    std::uint16_t bitsPerPixel = 24;
    std::int32_t width = 160, height = 120;
    std::uint32_t rate = 10, scale = 1, frames = 20;
    bool audio = true;
    std::uint16_t tag = 1, channels = 1;
    std::uint32_t hz = 8000;
    std::uint16_t bits = 16;

    operator MovieInfo() const {
        MovieInfo m;
        if (video)
            m.video = common::VideoFormat{codec, bitsPerPixel, width, height, rate, scale, frames};
        if (audio) m.audio = common::AudioFormat{tag, channels, hz, bits, hz, 1, 2 * hz};
        return m;
    }
};

// The real movies of the merger's window test show each property once; these are the orders,
// the spellings and the values that movies rarely show.
TEST(JoinCheck, NamesTheFirstPropertyThatDiffers) {
    struct Case {
        Movie first, other;
        std::wstring said;  // empty: they join
    };
    const Case cases[] = {
        {{}, {.frames = 999}, L""},
        {{}, {.codec = fourCc("fmp4")}, L""},  // a FourCC names a codec in either case
        {{}, {.codec = fourCc("XVID"), .width = 1}, L"video codec XVID, not FMP4"},
        {{}, {.codec = fourCc("DX5 ")}, L"video codec DX5, not FMP4"},
        {{}, {.codec = 0x01020304}, L"video codec 0x01020304, not FMP4"},
        {{.codec = 0},
         {.codec = 0, .bitsPerPixel = 32},
         L"video codec uncompressed 32-bit, not uncompressed 24-bit"},
        {{}, {.video = false}, L"video codec none, not FMP4"},
        {{}, {.height = 240, .rate = 25}, L"frame size 160x240, not 160x120"},
        {{.rate = 30000, .scale = 1001}, {.rate = 60000, .scale = 2002}, L""},
        {{.rate = 30000, .scale = 1001},
         {.rate = 2997, .scale = 100},
         L"frame rate 2997/100 fps, not 30000/1001 fps"},  // both 29.97 in decimals
        {{}, {.rate = 24000, .scale = 1001, .audio = false}, L"frame rate 23.976 fps, not 10 fps"},
        {{.audio = false}, {}, L"audio format PCM, not none"},
        {{}, {.tag = 0x1234}, L"audio format 0x1234, not PCM"},
        {{}, {.channels = 2, .hz = 1}, L"audio channels 2, not 1"},
    };
    for (const auto& c : cases) {
        JoinCheck check;
        check.add(MovieInfo(c.first));
        check.add(MovieInfo(c.other));
        const auto& p = check.problem();
        EXPECT_EQ(p ? p->property + L" " + p->value + L", not " + p->expected : L"", c.said);
    }
}

TEST(JoinCheck, StopsAtTheFirstFileThatCannotJoinTheFirst) {
    const std::optional<MovieInfo> good = Movie{}, wide = Movie{.width = 320}, unreadable;
    struct Case {
        std::vector<std::optional<MovieInfo>> files;
        std::optional<std::size_t> named;
        std::size_t taken;  // files the check wanted
    };
    const Case cases[] = {
        {{good, good, good}, {}, 3},
        {{good, good, wide, unreadable}, 2, 3},
        {{good, unreadable, wide}, 1, 2},
        {{unreadable, good}, 0, 1},
    };
    for (const auto& c : cases) {
        JoinCheck check;
        std::size_t taken = 0;
        for (const auto& f : c.files) {
            ++taken;
            if (!check.add(f)) break;
        }
        EXPECT_EQ(check.problem() ? std::optional(check.problem()->file) : std::nullopt, c.named);
        EXPECT_EQ(taken, c.taken);
    }
}

TEST(JoinCheck, Questions) {
    const std::wstring tail =
        L"\n\nJoined without re-encoding, such files make a movie that players may not play. "
        L"Merge anyway?";
    const JoinProblem size{1, L"frame size", L"640x480", L"320x240"};
    struct Case {
        JoinProblem problem;
        std::wstring path, first, question;
    };
    const Case cases[] = {
        // Two files of one name are told apart by their paths.
        {size, L"E:\\Two\\A.AVI", L"D:\\One\\a.avi",
         L"E:\\Two\\A.AVI differs from D:\\One\\a.avi: frame size 640x480, not 320x240."},
        {{0, {}, {}, {}}, L"D:\\V\\x.avi", L"D:\\V\\x.avi", L"x.avi cannot be read as AVI."},
        {{3, {}, {}, {}}, L"E:\\x.avi", L"D:\\V\\X.avi", L"E:\\x.avi cannot be read as AVI."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(joinQuestion(c.problem, c.path, c.first), c.question + tail);
}

}  // namespace
}  // namespace clipjoiner
