// Saved picture bytes checked against their headers, as a damaged or hostile stream holds them.
#include "picture_bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace gaugekit {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The values as little-endian fields of the sizes given (8 for a pair of zero fields).
Bytes fields(std::initializer_list<std::pair<std::uint64_t, int>> values) {
    Bytes b;
    for (const auto& [value, size] : values)
        for (int i = 0; i < size; ++i) b.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A BITMAPINFOHEADER with its colour table and `pixelBytes` bytes of pixels.
Bytes bitmap(std::int32_t width, std::int32_t height, int bits, int compression,
             std::size_t pixelBytes, int colors = 0) {
    Bytes b = fields({{40, 4},
                      {static_cast<std::uint32_t>(width), 4},
                      {static_cast<std::uint32_t>(height), 4},
                      {1, 2},
                      {bits, 2},
                      {compression, 4},
                      {pixelBytes, 4},
                      {0, 8},
                      {colors, 4},
                      {0, 4}});
    b.resize(b.size() + (bits <= 8 ? (colors ? colors : 1 << bits) * 4 : 0) + pixelBytes);
    return b;
}

Bytes bitmapFile(const Bytes& info, std::uint32_t pixelOffset) {
    return fields({{0x4D42, 2}, {14 + info.size(), 4}, {0, 4}, {pixelOffset, 4}}) + info;
}

Bytes iconFile(const Bytes& image, std::uint32_t claimedLength) {
    return fields({{0, 2}, {1, 2}, {1, 2}, {0, 8}, {claimedLength, 4}, {22, 4}}) + image;
}

TEST(PictureBytes, HeadersMustFitTheBytes) {
    const Bytes rgb24 = bitmap(5, 3, 24, 0, 48);  // rows of 16 bytes
    Bytes rleShort = bitmapFile(bitmap(5, 3, 8, 1, 100), 1078);
    rleShort.pop_back();
    const struct {
        const char* what;
        Bytes bytes;
        bool consistent;
    } cases[] = {
        {"no bytes: an empty picture", {}, true},
        {"a 5 x 3 bitmap", bitmapFile(rgb24, 54), true},
        {"a top-down one", bitmapFile(bitmap(5, -3, 24, 0, 48), 54), true},
        {"a 1-bit one with its two colours", bitmapFile(bitmap(9, 2, 1, 0, 8, 2), 62), true},
        {"its last row cut short", bitmapFile(bitmap(5, 3, 24, 0, 47), 54), false},
        {"a height of 67,108,928", bitmapFile(bitmap(1, 67108928, 24, 0, 16), 54), false},
        {"pixels before the header's end", bitmapFile(rgb24, 40), false},
        {"pixels beyond the file", bitmapFile(rgb24, 1000), false},
        {"bit fields with no room for the masks", bitmapFile(bitmap(5, 3, 32, 3, 60), 54), false},
        {"bit fields with their masks", bitmapFile(bitmap(5, 3, 32, 3, 72), 66), true},
        {"an unknown bit count", bitmapFile(bitmap(5, 3, 7, 0, 48), 54), false},
        {"more colours than the bit count has", bitmapFile(bitmap(5, 3, 1, 0, 12, 3), 66), false},
        {"run-length pixels", bitmapFile(bitmap(5, 3, 8, 1, 100), 1078), true},
        {"run-length pixels that run off the end", rleShort, false},
        {"an icon: colour rows and mask rows", iconFile(bitmap(4, 8, 32, 0, 64 + 16), 120), true},
        {"an icon whose image outruns the file", iconFile(bitmap(4, 8, 32, 0, 64 + 16), 121),
         false},
        {"an icon without its mask", iconFile(bitmap(4, 8, 32, 0, 64), 104), false},
        {"text", {'h', 'e', 'l', 'l', 'o'}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pictureBytesConsistent(c.bytes.data(), c.bytes.size()), c.consistent) << c.what;
}

}  // namespace
}  // namespace gaugekit
