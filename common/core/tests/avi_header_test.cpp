#include "core/avi_header.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace common {
namespace {

using Bytes = std::vector<unsigned char>;

void put32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}
Bytes chunk(const char* id, const Bytes& data) {
    Bytes b(id, id + 4);
    put32(b, static_cast<std::uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    if (data.size() & 1) b.push_back(0);
    return b;
}
Bytes list(const char* type, const std::vector<Bytes>& chunks) {
    Bytes data(type, type + 4);
    for (const auto& c : chunks) data.insert(data.end(), c.begin(), c.end());
    return chunk("LIST", data);
}
Bytes words(std::initializer_list<std::uint32_t> values, std::size_t size) {
    Bytes b;
    for (auto v : values) put32(b, v);
    b.resize(size);
    return b;
}

// A header list as an encoder writes it: the main header, then one list per stream.
struct Header {
    std::uint32_t streams = 2;
    std::size_t mainSize = 56, streamHeaderSize = 56;
    std::uint32_t start = 0, length = 20;
    std::vector<Bytes> extra;    // chunks after the stream lists
    std::vector<Bytes> between;  // chunks between the header list and the movie data
    bool format = true;
    Bytes bytes() const {
        std::vector<Bytes> chunks = {chunk("avih", words({0, 0, 0, 0, 20, 0, streams}, mainSize))};
        for (const char* type : {"vids", "auds"}) {
            std::vector<Bytes> inner = {
                chunk("strh", words({0, 0, 0, 0, 0, 1, 10, start, length}, streamHeaderSize))};
            if (format) inner.push_back(chunk("strf", Bytes(type[0] == 'v' ? 40 : 18)));
            inner.push_back(chunk("JUNK", Bytes(3)));
            chunks.push_back(list("strl", inner));
        }
        chunks.insert(chunks.end(), extra.begin(), extra.end());
        Bytes riff = {'A', 'V', 'I', ' '};
        const Bytes hdrl = list("hdrl", chunks);
        riff.insert(riff.end(), hdrl.begin(), hdrl.end());
        for (const auto& c : between) riff.insert(riff.end(), c.begin(), c.end());
        const Bytes movi = list("movi", {chunk("00dc", Bytes(100))});
        riff.insert(riff.end(), movi.begin(), movi.end());
        return chunk("RIFF", riff);
    }
};

bool sound(const Bytes& file) {
    return isSoundAviLayout(file.size(), [&](std::uint64_t at, std::span<unsigned char> into) {
        if (at > file.size() || into.size() > file.size() - at) return false;
        std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(at), into.size(), into.begin());
        return true;
    });
}

TEST(AviHeader, PassesSoundLayoutsOnly) {
    struct Case {
        const char* what;
        std::function<void(Header&)> change;
        std::function<void(Bytes&)> damage;
        bool sound;
    };
    const auto none = [](auto&) {};
    const Case cases[] = {
        {"as written", none, none, true},
        {"with a large-file list and padding after the streams",
         [](Header& h) {
             h.extra = {list("odml", {chunk("dmlh", Bytes(248))}), chunk("JUNK", Bytes(5))};
         },
         none, true},
        {"an old 48-byte stream header", [](Header& h) { h.streamHeaderSize = 48; }, none, true},
        {"a stream that ends at 2^32", [](Header& h) { h.start = UINT32_MAX - 20; }, none, true},
        {"a stream that ends beyond 2^32", [](Header& h) { h.start = UINT32_MAX - 19; }, none,
         false},
        {"more streams declared than listed", [](Header& h) { h.streams = 3; }, none, false},
        {"fewer streams declared than listed", [](Header& h) { h.streams = 1; }, none, false},
        {"no streams", [](Header& h) { h.streams = 0; }, none, false},
        {"a short main header", [](Header& h) { h.mainSize = 52; }, none, false},
        {"a short stream header", [](Header& h) { h.streamHeaderSize = 44; }, none, false},
        {"no stream format", [](Header& h) { h.format = false; }, none, false},
        {"not RIFF", none, [](Bytes& b) { b[3] = 'X'; }, false},
        {"no header list first", none, [](Bytes& b) { b[20] = 'x'; }, false},
        {"the main header not first", none, [](Bytes& b) { b[24] = 'x'; }, false},
        {"a stream list renamed", none, [](Bytes& b) { b[96] = 'x'; }, false},
        {"a stream list longer than the header list", none, [](Bytes& b) { b[95] = 0x7f; }, false},
        {"a header list longer than the file", none, [](Bytes& b) { b[19] = 0x7f; }, false},
        {"a stream format longer than its list", none, [](Bytes& b) { b[171] = 0x80; }, false},
        {"cut inside the header list", none, [](Bytes& b) { b.resize(200); }, false},
        {"cut before the header list", none, [](Bytes& b) { b.resize(20); }, false},
        {"cut inside the movie data", none, [](Bytes& b) { b.resize(b.size() - 50); }, true},
        {"padding far beyond the first read before the movie data",
         [](Header& h) {
             h.between = {chunk("JUNK", Bytes(20000)), list("INFO", {})};
         },
         none, true},
        {"padding longer than the file", [](Header& h) { h.between = {chunk("JUNK", Bytes(20))}; },
         [](Bytes& b) { b[b.size() - 12 - 108 - 28 + 5] = 0x10; }, false},
        {"no movie data", none, [](Bytes& b) { b[b.size() - 108 - 4] = 'x'; }, false},
    };
    for (const auto& c : cases) {
        Header h;
        c.change(h);
        Bytes b = h.bytes();
        c.damage(b);
        EXPECT_EQ(sound(b), c.sound) << c.what;
    }
}

}  // namespace
}  // namespace common
