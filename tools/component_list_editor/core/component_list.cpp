#include "component_list.h"

#include <algorithm>
#include <cstring>

namespace partroster {

namespace {

// Removed entries' bytes are given back once they are more than this and more than half the
// buffer: rare enough to cost nothing, often enough that the buffer stays near the list's size.
constexpr std::size_t kCompactAfter = 64 * 1024;

constexpr std::uint64_t kPrime1 = 0x9e3779b185ebca87;
constexpr std::uint64_t kPrime2 = 0xc2b2ae3d27d4eb4f;
constexpr std::uint64_t kPrime3 = 0x165667b19e3779f9;

std::uint64_t rotl(std::uint64_t x, int r) {
    return (x << r) | (x >> (64 - r));
}

std::uint64_t word(const unsigned char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// The first CR at or after `from`, or `end`. Eight bytes at a time: the runtime's memchr may
// look at one byte a time, and a list of 32767 entries is megabytes.
std::size_t findCr(const char* p, std::size_t from, std::size_t end) {
    constexpr std::uint64_t kOnes = 0x0101010101010101, kHighs = 0x8080808080808080;
    constexpr std::uint64_t kCrs = kOnes * '\r';
    std::size_t at = from;
    for (; at + 8 <= end; at += 8) {
        const std::uint64_t x = word(reinterpret_cast<const unsigned char*>(p + at)) ^ kCrs;
        // Non-zero exactly when one of the bytes of x is zero, that is, a CR.
        if ((x - kOnes) & ~x & kHighs) break;
    }
    for (; at < end; ++at)
        if (p[at] == '\r') return at;
    return end;
}

std::uint64_t round(std::uint64_t lane, std::uint64_t w) {
    return rotl(lane ^ (w * kPrime2), 31) * kPrime1;
}

}  // namespace

EntryList::EntryList(std::string bytes) : bytes_(std::move(bytes)) {
    const std::size_t n = bytes_.size();
    const char* const p = bytes_.data();
    // Room for typical lines of some tens of bytes; a list of shorter ones grows as it goes.
    slices_.reserve(n / 32 + 1);
    std::size_t start = 0;
    while (start < n) {
        const std::size_t cr = findCr(p, start, n);
        slices_.push_back({start, cr - start});
        if (cr == n) break;
        start = cr + 1;
        if (start < n && p[start] == '\n') ++start;
    }
}

void EntryList::insert(std::size_t index, std::string_view entry) {
    const std::size_t offset = bytes_.size();
    bytes_.append(entry);
    slices_.insert(slices_.begin() + static_cast<std::ptrdiff_t>(index), {offset, entry.size()});
}

void EntryList::erase(std::size_t index) {
    unused_ += slices_[index].size;
    slices_.erase(slices_.begin() + static_cast<std::ptrdiff_t>(index));
    if (unused_ <= kCompactAfter || unused_ <= bytes_.size() / 2) return;
    std::string compact;
    compact.reserve(bytes_.size() - unused_);
    for (auto& slice : slices_) {
        const std::size_t offset = compact.size();
        compact.append(bytes_, slice.offset, slice.size);
        slice.offset = offset;
    }
    bytes_ = std::move(compact);
    unused_ = 0;
}

std::optional<std::size_t> EntryList::find(std::string_view entry, std::size_t from) const {
    for (std::size_t i = from; i < size(); ++i)
        if ((*this)[i] == entry) return i;
    return std::nullopt;
}

std::string writeEntries(const EntryList& entries) {
    std::size_t size = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) size += entries[i].size() + 2;
    std::string bytes;
    bytes.reserve(size);
    for (std::size_t i = 0; i < entries.size(); ++i) appendLine(bytes, entries[i]);
    return bytes;
}

void appendLine(std::string& bytes, std::string_view entry) {
    bytes.append(entry).append("\r\n");
}

void StampBuilder::mix(const unsigned char* block) {
    // Four independent lanes: the multiplications of one do not wait for another's.
    for (int lane = 0; lane < 4; ++lane) lanes_[lane] = round(lanes_[lane], word(block + 8 * lane));
}

void StampBuilder::add(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t n = bytes.size();
    size_ += n;
    if (pendingSize_ > 0) {
        const std::size_t take = std::min(n, sizeof pending_ - pendingSize_);
        std::memcpy(pending_ + pendingSize_, p, take);
        pendingSize_ += take;
        p += take;
        n -= take;
        if (pendingSize_ < sizeof pending_) return;
        mix(pending_);
        pendingSize_ = 0;
    }
    for (; n >= sizeof pending_; p += sizeof pending_, n -= sizeof pending_) mix(p);
    std::memcpy(pending_, p, n);
    pendingSize_ = n;
}

ListStamp StampBuilder::stamp() const {
    std::uint64_t h = size_ * kPrime3;
    for (std::uint64_t lane : lanes_) h = round(h, lane) + kPrime3;
    // The last bytes, zero-padded to whole words; the size above tells padding from zeros.
    unsigned char tail[sizeof pending_] = {};
    std::memcpy(tail, pending_, pendingSize_);
    for (std::size_t at = 0; at < pendingSize_; at += 8) h = round(h, word(tail + at));
    h ^= h >> 33;
    h *= kPrime2;
    h ^= h >> 29;
    h *= kPrime3;
    h ^= h >> 32;
    return {size_, h};
}

ListStamp stampOf(std::string_view bytes) {
    StampBuilder builder;
    builder.add(bytes);
    return builder.stamp();
}

std::optional<std::wstring> composeEntry(std::wstring_view checkType,
                                         std::wstring_view warningLevel,
                                         std::wstring_view description, std::wstring_view path) {
    if (checkType.empty() || warningLevel.empty() || description.empty() || path.empty())
        return std::nullopt;
    std::wstring entry;
    entry.reserve(checkType.size() + warningLevel.size() + description.size() + path.size() + 3);
    entry.append(checkType).append(L"|").append(warningLevel).append(L"|");
    entry.append(description).append(L"|").append(path);
    return entry;
}

std::wstring listFilePath(std::wstring_view programFolder) {
    std::wstring path(programFolder);
    if (path.empty() || path.back() != L'\\') path += L'\\';
    return path.append(kListFileName);
}

}  // namespace partroster
