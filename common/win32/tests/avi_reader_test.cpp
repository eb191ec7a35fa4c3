// The platform's AVI reader on real files that the Linux encoder made.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "win32/avi_reader.h"
#include "win32/tests/e2e_host.h"

namespace win {
namespace {

constexpr std::uint32_t fourCc(const char (&c)[5]) {
    return std::uint32_t(std::uint8_t(c[0])) | std::uint32_t(std::uint8_t(c[1])) << 8 |
           std::uint32_t(std::uint8_t(c[2])) << 16 | std::uint32_t(std::uint8_t(c[3])) << 24;
}

TEST(AviReader, ReadsTheStreamsOfRealMovies) {
#ifndef TEST_MOVIES
    GTEST_SKIP() << "no test movies: the build found no Linux encoder to make them";
#else
    const auto movies = e2e::builtProgram(TEST_MOVIES);
    struct Case {
        const wchar_t* file;
        // Video: codec, width, height, rate; audio: tag (0 for none), channels, rate, bits.
        std::uint32_t codec;
        std::int32_t width, height;
        std::uint32_t fps;
        std::uint16_t tag, channels;
        std::uint32_t samples;
        std::uint16_t bits;
        std::wstring length;
    };
    const std::uint32_t mp4 = fourCc("FMP4");
    const Case cases[] = {
        {L"a.avi", mp4, 160, 120, 10, 1, 1, 8000, 16, L"00:00:02"},
        {L"movie20.avi", mp4, 160, 120, 10, 1, 1, 8000, 16, L"00:00:20"},
        {L"codec.avi", fourCc("MJPG"), 160, 120, 10, 1, 1, 8000, 16, L"00:00:02"},
        {L"size.avi", mp4, 320, 240, 10, 1, 1, 8000, 16, L"00:00:02"},
        {L"rate.avi", mp4, 160, 120, 25, 1, 1, 8000, 16, L"00:00:02"},
        {L"audio_format.avi", mp4, 160, 120, 10, 0x55, 1, 8000, 0, L"00:00:02"},
        {L"channels.avi", mp4, 160, 120, 10, 1, 2, 8000, 16, L"00:00:02"},
        {L"sample_rate.avi", mp4, 160, 120, 10, 1, 1, 11025, 16, L"00:00:02"},
        {L"bits.avi", mp4, 160, 120, 10, 1, 1, 8000, 8, L"00:00:02"},
        {L"silent.avi", mp4, 160, 120, 10, 0, 0, 0, 0, L"00:00:02"},
    };
    const AviReader reader;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto movie = reader.read((movies / c.file).wstring());
        ASSERT_TRUE(movie);
        ASSERT_TRUE(movie->video);
        EXPECT_EQ(movie->video->codec, c.codec);
        EXPECT_EQ(movie->video->width, c.width);
        EXPECT_EQ(movie->video->height, c.height);
        EXPECT_EQ(movie->video->rate, c.fps * movie->video->scale);
        EXPECT_EQ(movie->audio.has_value(), c.tag != 0);
        if (movie->audio) {
            EXPECT_EQ(movie->audio->formatTag, c.tag);
            EXPECT_EQ(movie->audio->channels, c.channels);
            EXPECT_EQ(movie->audio->samplesPerSecond, c.samples);
            EXPECT_EQ(movie->audio->bitsPerSample, c.bits);
        }
        const auto length = common::movieLength(*movie);
        EXPECT_EQ(length ? common::durationText(*length) : L"", c.length);
    }
    for (const wchar_t* unreadable : {L"truncated.avi", L"not_avi.avi", L"missing.avi"})
        EXPECT_FALSE(reader.read((movies / unreadable).wstring())) << unreadable;
#endif
}

}  // namespace
}  // namespace win
