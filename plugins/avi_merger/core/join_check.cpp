#include "join_check.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace clipjoiner {

namespace {

using common::AudioFormat;
using common::MovieInfo;
using common::VideoFormat;

wchar_t foldAscii(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c;
}

std::wstring hex(std::uint32_t v, int digits) {
    std::wstring text = L"0x";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        text += L"0123456789ABCDEF"[(v >> shift) & 0xF];
    return text;
}

// Uncompressed pictures carry no FourCC; their pixel size tells them apart.
bool isUncompressed(std::uint32_t codec) {
    return codec == 0 || codec == 3;  // BI_RGB, BI_BITFIELDS
}

std::wstring codecText(const std::optional<VideoFormat>& video) {
    if (!video) return L"none";
    const std::uint32_t codec = video->codec;
    if (isUncompressed(codec))
        return L"uncompressed " + std::to_wstring(video->bitsPerPixel) + L"-bit" +
               (codec == 3 ? L" (bit fields)" : L"");
    std::wstring text;
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<wchar_t>((codec >> (8 * i)) & 0xFF);
        if (c < 0x20 || c > 0x7E) return hex(codec, 8);
        text += c;
    }
    while (text.back() == L' ') text.pop_back();
    return text;
}

bool sameCodec(const std::optional<VideoFormat>& a, const std::optional<VideoFormat>& b) {
    if (!a || !b) return !a && !b;
    // FourCCs name codecs whatever their case ("xvid" is "XVID").
    for (int i = 0; i < 4; ++i)
        if (foldAscii(static_cast<wchar_t>((a->codec >> (8 * i)) & 0xFF)) !=
            foldAscii(static_cast<wchar_t>((b->codec >> (8 * i)) & 0xFF)))
            return false;
    return !isUncompressed(a->codec) || a->bitsPerPixel == b->bitsPerPixel;
}

std::wstring rateText(std::uint32_t rate, std::uint32_t scale) {
    if (scale == 0) return L"unknown";
    // In thousandths, rounded: 30000/1001 shows as 29.97.
    const std::uint64_t milli = (std::uint64_t{rate} * 1000 + scale / 2) / scale;
    std::wstring text = std::to_wstring(milli / 1000);
    if (milli % 1000 != 0) {
        std::wstring fraction = std::to_wstring(milli % 1000 + 1000).substr(1);
        while (fraction.back() == L'0') fraction.pop_back();
        text += L'.' + fraction;
    }
    return text + L" fps";
}

bool sameRate(const VideoFormat& a, const VideoFormat& b) {
    if (a.scale == 0 || b.scale == 0) return a.rate == b.rate && a.scale == b.scale;
    return common::compareFractions(a.rate, a.scale, b.rate, b.scale) == 0;
}

std::wstring audioFormatText(const std::optional<AudioFormat>& audio) {
    if (!audio) return L"none";
    struct Name {
        std::uint16_t tag;
        const wchar_t* name;
    };
    static constexpr std::array<Name, 8> kNames = {{{0x0001, L"PCM"},
                                                    {0x0003, L"IEEE float"},
                                                    {0x0050, L"MPEG audio"},
                                                    {0x0055, L"MP3"},
                                                    {0x00FF, L"AAC"},
                                                    {0x0161, L"WMA"},
                                                    {0x2000, L"AC-3"},
                                                    {0x2001, L"DTS"}}};
    for (const auto& n : kNames)
        if (n.tag == audio->formatTag) return n.name;
    return hex(audio->formatTag, 4);
}

std::optional<JoinProblem> difference(const MovieInfo& first, const MovieInfo& other) {
    const auto differs = [](const wchar_t* property, std::wstring value, std::wstring expected) {
        return JoinProblem{0, property, std::move(value), std::move(expected)};
    };
    if (!sameCodec(other.video, first.video))
        return differs(L"video codec", codecText(other.video), codecText(first.video));
    if (first.video) {
        const VideoFormat &v = *other.video, &f = *first.video;
        if (v.width != f.width || v.height != f.height)
            return differs(L"frame size",
                           std::to_wstring(v.width) + L"x" + std::to_wstring(v.height),
                           std::to_wstring(f.width) + L"x" + std::to_wstring(f.height));
        if (!sameRate(v, f)) {
            std::wstring value = rateText(v.rate, v.scale), expected = rateText(f.rate, f.scale);
            if (value == expected) {  // too close to tell apart in decimals
                value = std::to_wstring(v.rate) + L"/" + std::to_wstring(v.scale) + L" fps";
                expected = std::to_wstring(f.rate) + L"/" + std::to_wstring(f.scale) + L" fps";
            }
            return differs(L"frame rate", value, expected);
        }
    }
    if (!other.audio != !first.audio ||
        (first.audio && other.audio->formatTag != first.audio->formatTag))
        return differs(L"audio format", audioFormatText(other.audio), audioFormatText(first.audio));
    if (first.audio) {
        const AudioFormat &a = *other.audio, &f = *first.audio;
        if (a.channels != f.channels)
            return differs(L"audio channels", std::to_wstring(a.channels),
                           std::to_wstring(f.channels));
        if (a.samplesPerSecond != f.samplesPerSecond)
            return differs(L"audio sample rate", std::to_wstring(a.samplesPerSecond) + L" Hz",
                           std::to_wstring(f.samplesPerSecond) + L" Hz");
        if (a.bitsPerSample != f.bitsPerSample)
            return differs(L"audio bits per sample", std::to_wstring(a.bitsPerSample),
                           std::to_wstring(f.bitsPerSample));
    }
    return std::nullopt;
}

std::wstring_view fileName(std::wstring_view path) {
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

bool sameIgnoringCase(std::wstring_view a, std::wstring_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](wchar_t x, wchar_t y) { return foldAscii(x) == foldAscii(y); });
}

}  // namespace

bool JoinCheck::add(const std::optional<MovieInfo>& movie) {
    if (problem_) return false;
    const std::size_t index = count_++;
    if (!movie) {
        problem_ = JoinProblem{index, {}, {}, {}};
    } else if (index == 0) {
        first_ = movie;
    } else if (auto differs = difference(*first_, *movie)) {
        problem_ = std::move(differs);
        problem_->file = index;
    }
    return !problem_;
}

std::wstring joinQuestion(const JoinProblem& problem, std::wstring_view path,
                          std::wstring_view firstPath) {
    // Two files of one name, from two folders, are told apart by their paths.
    const bool sameName =
        problem.file != 0 && sameIgnoringCase(fileName(path), fileName(firstPath));
    const std::wstring name(sameName ? path : fileName(path));
    std::wstring text;
    if (problem.property.empty()) {
        text = name + L" cannot be read as AVI.";
    } else {
        text = name + L" differs from " + std::wstring(sameName ? firstPath : fileName(firstPath)) +
               L": " + problem.property + L" " + problem.value + L", not " + problem.expected +
               L".";
    }
    return text +
           L"\n\nJoined without re-encoding, such files make a movie that players may not play. "
           L"Merge anyway?";
}

}  // namespace clipjoiner
