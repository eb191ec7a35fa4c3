#include "core/movie_info.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace common {
namespace {

TEST(MovieInfo, ComparesFractionsExactly) {
    constexpr std::uint64_t kMax = UINT64_MAX;
    const struct {
        std::uint64_t a, b, c, d;
        int order;
    } cases[] = {
        {30000, 1001, 2997, 100, 1},  // 29.97002997... against 29.97
        {2997, 100, 30000, 1001, -1},
        {25, 1, 50, 2, 0},
        {0, 7, 0, 1, 0},
        {1, 3, 0, 1, 1},
        {kMax, kMax - 1, kMax - 1, kMax - 2, -1},  // products would need 128 bits
        {kMax, 1, kMax, 1, 0},
        {kMax - 1, kMax, kMax - 2, kMax - 1, 1},
        {3, 2, 7, 5, 1},  // the second round ends on a remainder of 0: 3/2 against 7/5
    };
    for (const auto& c : cases) {
        const int order = compareFractions(c.a, c.b, c.c, c.d);
        EXPECT_EQ((order > 0) - (order < 0), c.order)
            << c.a << "/" << c.b << " " << c.c << "/" << c.d;
    }
}

TEST(MovieInfo, LengthAndItsText) {
    const auto video = [](std::uint32_t rate, std::uint32_t scale, std::uint32_t frames) {
        return VideoFormat{.rate = rate, .scale = scale, .frames = frames};
    };
    const AudioFormat audio{.rate = 8000, .scale = 1, .length = 8000 * 61 + 4};
    const struct {
        MovieInfo movie;
        std::wstring text;  // empty: no length
    } cases[] = {
        {{video(10, 1, 200), audio}, L"00:00:20"},
        {{video(30000, 1001, 599), {}}, L"00:00:19.986"},  // 19.9866...: cut, not rounded
        {{video(25, 1, 90001), {}}, L"01:00:00.04"},
        {{video(1000, 1001, UINT32_MAX), {}}, L"1194239:31:02.295"},  // frames x scale: 42 bits
        {{video(0, 1, 10), audio}, L""},
        {{{}, audio}, L"00:01:01"},  // the audio's, without video
        {{}, L""},
    };
    for (const auto& c : cases) {
        const auto length = movieLength(c.movie);
        EXPECT_EQ(length ? durationText(*length) : L"", c.text);
    }
}

}  // namespace
}  // namespace common
