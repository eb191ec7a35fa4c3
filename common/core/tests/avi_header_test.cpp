#include "core/avi_header.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
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

// A file as an encoder writes it: the header list (the main header, then one list per stream),
// then the movie data.
struct Header {
    std::uint32_t streams = 2;
    std::size_t mainSize = 56, streamHeaderSize = 56;
    std::uint32_t start = 0, length = 20;
    bool format = true, emptyFormat = false;
    std::vector<Bytes> extra = {};    // chunks after the stream lists
    std::vector<Bytes> between = {};  // chunks between the header list and the movie data
    Bytes bytes() const {
        std::vector<Bytes> chunks = {chunk("avih", words({0, 0, 0, 0, 20, 0, streams}, mainSize))};
        for (const char* type : {"vids", "auds"}) {
            // A chunk of odd size and its pad byte between the stream header and its format.
            std::vector<Bytes> inner = {
                chunk("strh", words({0, 0, 0, 0, 0, 1, 10, start, length}, streamHeaderSize)),
                chunk("JUNK", Bytes(3))};
            if (format)
                inner.push_back(chunk("strf", Bytes(emptyFormat ? 0 : type[0] == 'v' ? 40 : 18)));
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
    // The offsets of the header as written: "LIST" "hdrl" at 12, "avih" at 24, the first stream
    // list at 88 with its stream header at 100 and its format at 176. From the end: the movie
    // data's 108 bytes after its "LIST" size "movi".
    const std::vector<Bytes> odml = {list("odml", {chunk("dmlh", Bytes(248))}),
                                     chunk("JUNK", Bytes(5))};
    const std::vector<Bytes> farPadding = {chunk("JUNK", Bytes(20001)), list("INFO", {})};
    const struct {
        const char* what;
        Header header;
        std::ptrdiff_t at;  // a byte changed there (from the end when negative), or 0
        unsigned char to;
        std::size_t keep;  // the file cut to this size, or 0
        bool sound;
    } cases[] = {
        {"as written", {}, 0, 0, 0, true},
        {"with a large-file list and padding after the streams", {.extra = odml}, 0, 0, 0, true},
        {"an old 48-byte stream header", {.streamHeaderSize = 48}, 0, 0, 0, true},
        {"a stream that ends at 2^32", {.start = UINT32_MAX - 20}, 0, 0, 0, true},
        {"a stream that ends beyond 2^32", {.start = UINT32_MAX - 19}, 0, 0, 0, false},
        {"more streams declared than listed", {.streams = 3}, 0, 0, 0, false},
        {"fewer streams declared than listed", {.streams = 1}, 0, 0, 0, false},
        {"a short main header", {.mainSize = 52}, 0, 0, 0, false},
        {"a short stream header", {.streamHeaderSize = 44}, 0, 0, 0, false},
        {"no stream format", {.format = false}, 0, 0, 0, false},
        {"an empty stream format", {.emptyFormat = true}, 0, 0, 0, false},
        {"not RIFF", {}, 3, 'X', 0, false},
        {"a RIFF file of another form", {}, 8, 'W', 0, false},
        {"no list at the header's place", {}, 12, 'x', 0, false},
        {"no header list first", {}, 20, 'x', 0, false},
        {"the main header not first", {}, 24, 'x', 0, false},
        {"a stream list renamed", {}, 96, 'x', 0, false},
        {"a header list longer than the file", {}, 19, 0x7f, 0, false},
        {"a stream format longer than its list", {}, 183, 0x80, 0, false},
        {"cut inside the header list", {}, 0, 0, 200, false},
        {"cut before the header list", {}, 0, 0, 20, false},
        {"cut inside the movie data", {}, 0, 0, 400, false},
        {"movie data a byte longer than the file", {}, -116, 113, 0, false},
        {"padding far beyond the first read", {.between = farPadding}, 0, 0, 0, true},
        // A last chunk without its pad byte leaves the header list odd; the file pads after it.
        {"a header list of odd size",
         {.extra = {Bytes{'J', 'U', 'N', 'K', 1, 0, 0, 0, 0}}},
         0,
         0,
         0,
         true},
        {"a header list over 1 MiB", {.extra = {chunk("JUNK", Bytes(1 << 20))}}, 0, 0, 0, false},
        {"no movie data", {}, -112, 'x', 0, false},
    };
    for (const auto& c : cases) {
        Bytes b = c.header.bytes();
        if (c.at != 0) b[static_cast<std::size_t>(c.at < 0 ? std::ssize(b) + c.at : c.at)] = c.to;
        if (c.keep != 0) b.resize(c.keep);
        EXPECT_EQ(sound(b), c.sound) << c.what;
    }
}

}  // namespace
}  // namespace common
