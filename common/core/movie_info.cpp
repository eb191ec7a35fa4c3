#include "movie_info.h"

namespace common {

namespace {

void appendTwoDigits(std::wstring& out, std::uint64_t v) {
    if (v < 10) out += L'0';
    out += std::to_wstring(v);
}

}  // namespace

std::optional<Duration> movieLength(const MovieInfo& movie) {
    if (movie.video) {
        const VideoFormat& v = *movie.video;
        if (v.rate == 0 || v.scale == 0) return std::nullopt;
        return Duration{std::uint64_t{v.frames} * v.scale, v.rate};
    }
    if (movie.audio) {
        const AudioFormat& a = *movie.audio;
        if (a.rate == 0 || a.scale == 0) return std::nullopt;
        return Duration{std::uint64_t{a.length} * a.scale, a.rate};
    }
    return std::nullopt;
}

int compareFractions(std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t d) {
    // Whole parts first, then the remainders' reciprocals: no product can overflow.
    for (int sign = 1;; sign = -sign) {
        const std::uint64_t p = a / b, q = c / d;
        if (p != q) return p < q ? -sign : sign;
        const std::uint64_t r = a % b, s = c % d;
        if (r == 0 || s == 0) return r == s ? 0 : (r == 0 ? -sign : sign);
        // r / b against s / d is b / r against d / s, the other way round.
        a = b;
        c = d;
        b = r;
        d = s;
    }
}

std::wstring durationText(Duration duration) {
    const std::uint64_t seconds = duration.units / duration.perSecond;
    std::wstring text;
    appendTwoDigits(text, seconds / 3600);
    text += L':';
    appendTwoDigits(text, seconds / 60 % 60);
    text += L':';
    appendTwoDigits(text, seconds % 60);
    // The remainder is below perSecond; perSecond comes from a 32-bit rate, so x1000 fits.
    const std::uint64_t millis = duration.units % duration.perSecond * 1000 / duration.perSecond;
    if (millis > 0) {
        std::wstring fraction = std::to_wstring(millis + 1000).substr(1);
        while (fraction.back() == L'0') fraction.pop_back();
        text += L'.' + fraction;
    }
    return text;
}

}  // namespace common
