#include "join_check.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace clipjoiner {
namespace {

using common::MovieInfo;

constexpr std::uint32_t fourCc(const char (&c)[5]) {
    return std::uint32_t(std::uint8_t(c[0])) | std::uint32_t(std::uint8_t(c[1])) << 8 |
           std::uint32_t(std::uint8_t(c[2])) << 16 | std::uint32_t(std::uint8_t(c[3])) << 24;
}

MovieInfo base() {
    MovieInfo m;
    m.video = common::VideoFormat{fourCc("FMP4"), 24, 160, 120, 10, 1, 20};
    m.audio = common::AudioFormat{1, 1, 8000, 16, 8000, 1, 16000};
    return m;
}

// What the check says of base() followed by a changed copy; empty when it says nothing.
std::wstring said(
    const std::function<void(MovieInfo&)>& change,
    const std::function<void(MovieInfo&)>& changeFirst = [](MovieInfo&) {}) {
    MovieInfo first = base(), other = base();
    changeFirst(first);
    change(other);
    JoinCheck check;
    check.add(first);
    check.add(other);
    if (!check.problem()) return L"";
    const auto& p = *check.problem();
    return p.property + L" " + p.value + L", not " + p.expected;
}

TEST(JoinCheck, NamesTheFirstPropertyThatDiffers) {
    struct Case {
        std::function<void(MovieInfo&)> change, changeFirst;
        std::wstring said;
    };
    const auto nothing = [](MovieInfo&) {};
    const Case cases[] = {
        {[](MovieInfo& m) {
             m.video->frames = 999;
             m.audio->length = 1;
         },
         nothing, L""},
        {[](MovieInfo& m) { m.video->codec = fourCc("fmp4"); }, nothing, L""},
        {[](MovieInfo& m) {
             m.video->codec = fourCc("XVID");
             m.video->width = 1;
         },
         nothing, L"video codec XVID, not FMP4"},
        {[](MovieInfo& m) { m.video->codec = fourCc("DX5 "); }, nothing,
         L"video codec DX5, not FMP4"},
        {[](MovieInfo& m) { m.video->codec = 0x01020304; }, nothing,
         L"video codec 0x01020304, not FMP4"},
        {[](MovieInfo& m) {
             m.video->codec = 0;
             m.video->bitsPerPixel = 32;
         },
         [](MovieInfo& m) { m.video->codec = 0; },
         L"video codec uncompressed 32-bit, not "
         L"uncompressed 24-bit"},
        {[](MovieInfo& m) { m.video.reset(); }, nothing, L"video codec none, not FMP4"},
        {[](MovieInfo& m) {
             m.video->height = 240;
             m.video->rate = 25;
         },
         nothing, L"frame size 160x240, not 160x120"},
        {[](MovieInfo& m) {
             m.video->rate = 25;
             m.audio.reset();
         },
         nothing, L"frame rate 25 fps, not 10 fps"},
        {[](MovieInfo& m) {
             m.video->rate = 60000;
             m.video->scale = 2002;
         },
         [](MovieInfo& m) {
             m.video->rate = 30000;
             m.video->scale = 1001;
         },
         L""},
        {[](MovieInfo& m) {
             m.video->rate = 2997;
             m.video->scale = 100;
         },
         [](MovieInfo& m) {
             m.video->rate = 30000;
             m.video->scale = 1001;
         },
         L"frame rate 2997/100 fps, not 30000/1001 fps"},
        {[](MovieInfo& m) { m.video->rate = 25; },
         [](MovieInfo& m) {
             m.video->rate = 24;
             m.video->scale = 1;
         },
         L"frame rate 25 fps, not 24 fps"},
        {[](MovieInfo& m) {
             m.video->rate = 24000;
             m.video->scale = 1001;
         },
         nothing, L"frame rate 23.976 fps, not 10 fps"},
        {[](MovieInfo& m) {
             m.audio->formatTag = 0x55;
             m.audio->bitsPerSample = 0;
         },
         nothing, L"audio format MP3, not PCM"},
        {[](MovieInfo& m) { m.audio->formatTag = 0x1234; }, nothing,
         L"audio format 0x1234, not PCM"},
        {[](MovieInfo& m) { m.audio.reset(); }, nothing, L"audio format none, not PCM"},
        {nothing, [](MovieInfo& m) { m.audio.reset(); }, L"audio format PCM, not none"},
        {[](MovieInfo& m) {
             m.audio->channels = 2;
             m.audio->samplesPerSecond = 1;
         },
         nothing, L"audio channels 2, not 1"},
        {[](MovieInfo& m) { m.audio->samplesPerSecond = 44100; }, nothing,
         L"audio sample rate 44100 Hz, not 8000 Hz"},
        {[](MovieInfo& m) { m.audio->bitsPerSample = 8; }, nothing,
         L"audio bits per sample 8, not 16"},
    };
    for (const auto& c : cases) EXPECT_EQ(said(c.change, c.changeFirst), c.said);
}

TEST(JoinCheck, StopsAtTheFirstFileThatCannotJoinTheFirst) {
    MovieInfo wide = base();
    wide.video->width = 320;
    struct Case {
        std::vector<std::optional<MovieInfo>> files;
        std::optional<std::size_t> problem;  // the file named
        std::size_t taken;                   // files the check wanted
    };
    const Case cases[] = {
        {{base(), base(), base()}, {}, 3},
        {{base(), base(), wide, std::nullopt}, 2, 3},
        {{base(), std::nullopt, wide}, 1, 2},
        {{std::nullopt, base()}, 0, 1},
        {{std::nullopt}, 0, 1},
    };
    for (const auto& c : cases) {
        JoinCheck check;
        std::size_t taken = 0;
        for (const auto& f : c.files) {
            ++taken;
            if (!check.add(f)) break;
        }
        EXPECT_EQ(check.problem() ? std::optional(check.problem()->file) : std::nullopt, c.problem);
        EXPECT_EQ(taken, c.taken);
    }
}

TEST(JoinCheck, Questions) {
    const std::wstring tail =
        L"\n\nJoined without re-encoding, such files make a movie that players may not play. "
        L"Merge anyway?";
    const JoinProblem size{1, L"frame size", L"640x480", L"320x240"};
    EXPECT_EQ(joinQuestion(size, L"D:\\V\\b.avi", L"D:\\V\\a.avi"),
              L"b.avi differs from a.avi: frame size 640x480, not 320x240." + tail);
    EXPECT_EQ(
        joinQuestion(size, L"E:\\Two\\A.AVI", L"D:\\One\\a.avi"),
        L"E:\\Two\\A.AVI differs from D:\\One\\a.avi: frame size 640x480, not 320x240." + tail);
    EXPECT_EQ(joinQuestion({0, {}, {}, {}}, L"D:\\V\\x.avi", L"D:\\V\\x.avi"),
              L"x.avi cannot be read as AVI." + tail);
    EXPECT_EQ(joinQuestion({3, {}, {}, {}}, L"E:\\x.avi", L"D:\\V\\X.avi"),
              L"E:\\x.avi cannot be read as AVI." + tail);
}

}  // namespace
}  // namespace clipjoiner
