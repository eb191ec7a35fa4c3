#include "picture_bytes.h"

namespace gaugekit {
namespace {

// Little-endian reads that never look past the end: a short read gives false.
class Bytes {
  public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t size() const { return size_; }
    bool u16(std::size_t at, std::uint32_t& out) const {
        if (at > size_ || size_ - at < 2) return false;
        out = data_[at] | static_cast<std::uint32_t>(data_[at + 1]) << 8;
        return true;
    }
    bool u32(std::size_t at, std::uint32_t& out) const {
        std::uint32_t low = 0, high = 0;
        if (!u16(at, low) || !u16(at + 2, high)) return false;
        out = low | high << 16;
        return true;
    }
    bool i32(std::size_t at, std::int64_t& out) const {
        std::uint32_t value = 0;
        if (!u32(at, value)) return false;
        out = static_cast<std::int32_t>(value);
        return true;
    }
    Bytes from(std::size_t at, std::size_t count) const {
        if (at > size_) return Bytes(data_, 0);
        return Bytes(data_ + at, count < size_ - at ? count : size_ - at);
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
};

constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3;

std::uint64_t stride(std::uint64_t width, std::uint32_t bits) {
    return (width * bits + 31) / 32 * 4;
}

// A device-independent bitmap's header, colour table and pixels within `bytes`, the pixels
// starting at `pixels` (or right after the table when that is 0). `mask`: an icon's image,
// whose height counts its colour rows and its mask rows.
bool bitmapFits(const Bytes& bytes, std::size_t pixels, bool mask) {
    std::uint32_t headerSize = 0;
    if (!bytes.u32(0, headerSize)) return false;
    std::int64_t width = 0, height = 0;
    std::uint32_t planes = 0, bits = 0, compression = kRgb, colors = 0, imageSize = 0;
    std::uint32_t entryBytes = 4;
    if (headerSize == 12) {  // the old core header: 16-bit sizes, 3-byte colours
        std::uint32_t w = 0, h = 0;
        if (!bytes.u16(4, w) || !bytes.u16(6, h) || !bytes.u16(8, planes) || !bytes.u16(10, bits))
            return false;
        width = w;
        height = h;
        entryBytes = 3;
    } else if (headerSize >= 40 && headerSize <= 124) {
        if (!bytes.i32(4, width) || !bytes.i32(8, height) || !bytes.u16(12, planes) ||
            !bytes.u16(14, bits) || !bytes.u32(16, compression) || !bytes.u32(20, imageSize) ||
            !bytes.u32(32, colors))
            return false;
    } else {
        return false;
    }
    if (planes != 1 || width <= 0 || height == 0) return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    const bool rle = compression == kRle8 || compression == kRle4;
    if (rle ? (compression == kRle8 ? bits != 8 : bits != 4) || height < 0 || mask
        : compression == kBitFields ? bits != 16 && bits != 32
                                    : compression != kRgb)
        return false;
    const std::uint64_t rows = static_cast<std::uint64_t>(height < 0 ? -height : height);
    const std::uint64_t imageRows = mask ? rows / 2 : rows;
    if (imageRows == 0 || static_cast<std::uint64_t>(width) * imageRows > kMaxPicturePixels)
        return false;
    const std::uint64_t tableSize = bits <= 8 ? (std::uint64_t{1} << bits) : 256;
    if (colors > tableSize) return false;
    if (colors == 0 && bits <= 8) colors = static_cast<std::uint32_t>(tableSize);
    // Bit field masks follow a 40-byte header; longer headers hold them.
    const std::uint64_t masks = compression == kBitFields && headerSize == 40 ? 12 : 0;
    const std::uint64_t table = headerSize + masks + std::uint64_t{colors} * entryBytes;
    const std::uint64_t start = pixels ? pixels : table;
    if (start < table) return false;
    const std::uint64_t data =
        rle ? imageSize
            : stride(static_cast<std::uint64_t>(width), bits) * imageRows +
                  (mask ? stride(static_cast<std::uint64_t>(width), 1) * imageRows : 0);
    return (!rle || imageSize > 0) && start + data <= bytes.size();
}

bool bitmapFileFits(const Bytes& bytes) {
    std::uint32_t offset = 0;
    if (!bytes.u32(10, offset) || offset < 14) return false;
    return bitmapFits(bytes.from(14, bytes.size()), offset - 14, false);
}

// An icon or cursor file: its directory, then images that are bitmaps with masks or PNG files.
bool iconFileFits(const Bytes& bytes) {
    std::uint32_t count = 0;
    if (!bytes.u16(4, count) || count == 0) return false;
    const std::uint64_t directory = 6 + std::uint64_t{count} * 16;
    if (directory > bytes.size()) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t length = 0, offset = 0;
        if (!bytes.u32(6 + i * 16 + 8, length) || !bytes.u32(6 + i * 16 + 12, offset)) return false;
        if (offset < directory || length == 0 || std::uint64_t{offset} + length > bytes.size())
            return false;
        const Bytes image = bytes.from(offset, length);
        std::uint32_t signature = 0;
        if (image.u32(0, signature) && signature == 0x474E5089) continue;  // "\x89PNG"
        if (!bitmapFits(image, 0, true)) return false;
    }
    return true;
}

}  // namespace

bool pictureBytesConsistent(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return true;
    if (!data) return false;
    const Bytes bytes(data, size);
    std::uint32_t first = 0, second = 0;
    if (!bytes.u16(0, first) || !bytes.u16(2, second)) return false;
    if (first == 0x4D42) return bitmapFileFits(bytes);  // "BM"
    if (first == 0 && (second == 1 || second == 2)) return iconFileFits(bytes);
    std::uint32_t key = 0;
    bytes.u32(0, key);
    if (key == 0x9AC6CDD7) {  // a placeable metafile: its 22-byte header, then the metafile's
        std::uint32_t headerWords = 0, low = 0, high = 0;
        if (!bytes.u16(22 + 2, headerWords) || headerWords != 9 || !bytes.u16(22 + 6, low) ||
            !bytes.u16(22 + 8, high))
            return false;
        const std::uint64_t words = low | std::uint64_t{high} << 16;
        return words >= 9 && 22 + words * 2 <= size;
    }
    if (key == 1) {  // an enhanced metafile's header record
        std::uint32_t headerSize = 0, signature = 0, total = 0;
        return bytes.u32(4, headerSize) && bytes.u32(40, signature) && bytes.u32(48, total) &&
               signature == 0x464D4520 && headerSize >= 88 && total >= headerSize && total <= size;
    }
    return false;
}

}  // namespace gaugekit
