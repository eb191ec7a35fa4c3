#include "avi_header.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace common {

namespace {

using Bytes = std::span<const unsigned char>;

std::uint32_t u32(Bytes b, std::size_t at) {
    return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 | std::uint32_t{b[at + 2]} << 16 |
           std::uint32_t{b[at + 3]} << 24;
}

bool isId(Bytes b, std::size_t at, std::string_view id) {
    for (std::size_t i = 0; i < 4; ++i)
        if (b[at + i] != static_cast<unsigned char>(id[i])) return false;
    return true;
}

struct Chunk {
    std::size_t at;    // of its identifier
    std::size_t data;  // of its first data byte
    std::size_t size;
};

// Walks the chunks of [from, end); false as soon as one does not fit.
template <typename Visit>
bool eachChunk(Bytes b, std::size_t from, std::size_t end, Visit visit) {
    while (from + 8 <= end) {
        const std::size_t size = u32(b, from + 4);
        if (size > end - from - 8) return false;
        if (!visit(Chunk{from, from + 8, size})) return false;
        from += 8 + size + (size & 1);  // chunks start on even offsets
    }
    return true;
}

constexpr std::size_t kMainHeaderSize = 56;    // "avih"
constexpr std::size_t kStreamHeaderSize = 48;  // "strh" up to its frame rectangle
// Header lists take a few hundred bytes, or a few kilobytes with large-file indexes: the first
// read takes nearly all of them whole. Far larger ones are not headers.
constexpr std::size_t kFirstRead = 8 * 1024;
constexpr std::size_t kMaxHeader = 1024 * 1024;
constexpr int kMaxChunksBeforeMovie = 256;

bool isSoundStreamList(Bytes b, const Chunk& list) {
    bool header = false, format = false;
    const bool fits = eachChunk(b, list.data + 4, list.data + list.size, [&](const Chunk& c) {
        if (isId(b, c.at, "strh")) {
            if (c.size < kStreamHeaderSize) return false;
            const std::uint32_t start = u32(b, c.data + 28), length = u32(b, c.data + 32);
            header = start <= UINT32_MAX - length;
            return header;
        }
        if (isId(b, c.at, "strf")) format = c.size > 0;
        return true;
    });
    return fits && header && format;
}

// The header list, which starts at 12 and ends at `end`.
bool isSoundHeaderList(Bytes head, std::size_t end) {
    std::uint32_t declared = 0, found = 0;
    bool first = true;
    const bool fits = eachChunk(head, 24, end, [&](const Chunk& c) {
        if (first) {
            first = false;
            if (!isId(head, c.at, "avih") || c.size < kMainHeaderSize) return false;
            declared = u32(head, c.data + 24);
            return true;
        }
        if (!isId(head, c.at, "LIST") || c.size < 4 || !isId(head, c.data, "strl")) return true;
        ++found;
        return isSoundStreamList(head, c);
    });
    return fits && !first && declared > 0 && found == declared;
}

}  // namespace

bool isSoundAviLayout(std::uint64_t fileSize, const ReadAt& readAt) {
    std::vector<unsigned char> head(fileSize < kFirstRead ? fileSize : kFirstRead);
    if (head.size() < 24 || !readAt(0, head)) return false;
    if (!isId(head, 0, "RIFF") || !isId(head, 8, "AVI ") || !isId(head, 12, "LIST") ||
        !isId(head, 20, "hdrl"))
        return false;
    const std::uint64_t headerEnd = 20 + std::uint64_t{u32(head, 16)};
    if (headerEnd > kMaxHeader) return false;
    if (headerEnd > head.size()) {
        const std::size_t had = head.size();
        head.resize(headerEnd);
        if (!readAt(had, std::span(head).subspan(had))) return false;
    }
    if (!isSoundHeaderList(head, headerEnd)) return false;

    // The handler skips from chunk to chunk by their sizes until it finds the movie data.
    std::uint64_t at = headerEnd + (headerEnd & 1);
    for (int i = 0; i < kMaxChunksBeforeMovie; ++i) {
        unsigned char chunk[12];
        if (fileSize < 12 || at > fileSize - 12) return false;
        if (at + 12 <= head.size())
            std::copy_n(head.begin() + static_cast<std::ptrdiff_t>(at), 12, chunk);
        else if (!readAt(at, chunk))
            return false;
        // Every chunk up to the movie data and the movie data itself lie inside the file: a
        // damaged size sends the handler past the end, and a file cut short has lost movie data
        // that its header still counts.
        const std::uint64_t size = u32(chunk, 4);
        if (size > fileSize - at - 8) return false;
        if (isId(chunk, 0, "LIST") && isId(chunk, 8, "movi")) return true;
        at += 8 + size + (size & 1);
    }
    return false;
}

}  // namespace common
