// What the plug-ins know of a movie before the encoder sees it: its length and the properties a
// stream copy needs to agree on, as the platform's AVI reader reports them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace common {

// A span of time as a fraction of a second: units / perSecond (perSecond > 0).
struct Duration {
    std::uint64_t units = 0;
    std::uint64_t perSecond = 1;
};

struct VideoFormat {
    std::uint32_t codec = 0;  // the compression FourCC; 0 for uncompressed RGB
    std::uint16_t bitsPerPixel = 0;
    std::int32_t width = 0, height = 0;
    std::uint32_t rate = 0, scale = 0;  // frames per second = rate / scale
    std::uint32_t frames = 0;
};

struct AudioFormat {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSecond = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint32_t rate = 0, scale = 0, length = 0;  // length in blocks of scale / rate seconds
};

struct MovieInfo {
    std::optional<VideoFormat> video;  // the first video stream
    std::optional<AudioFormat> audio;  // the first audio stream
};

// The movie's length: its video's (frames x scale / rate), or its audio's when it has no video;
// nothing when the header gives no rate.
std::optional<Duration> movieLength(const MovieInfo& movie);

// Compares a / b with c / d exactly (b, d > 0): negative, zero or positive.
int compareFractions(std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t d);

// "hh:mm:ss", with up to three decimals of the second when it is not whole (cut, not rounded:
// the text never says a movie lasts longer than it does).
std::wstring durationText(Duration duration);

}  // namespace common
