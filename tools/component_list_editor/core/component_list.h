// The component list file "Comp_lst.dll": one entry a line, in the ANSI code page. Entries are
// kept as the bytes read, so that a save gives back what the host wrote, whatever its code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace partroster {

inline constexpr std::wstring_view kListFileName = L"Comp_lst.dll";

// The entries, in file order. They are slices of one buffer that starts as the file's bytes, so
// that reading 32767 entries is one pass over the bytes and no allocation per entry.
class EntryList {
  public:
    EntryList() = default;
    // The entries of the file's bytes. A line ends at CR LF or at a lone CR; a lone LF stays
    // inside its entry. A last line without an end is an entry too; an empty file is an empty list.
    explicit EntryList(std::string bytes);

    std::size_t size() const { return slices_.size(); }
    bool empty() const { return slices_.empty(); }
    // Valid until the list next changes.
    std::string_view operator[](std::size_t index) const {
        return {bytes_.data() + slices_[index].offset, slices_[index].size};
    }

    void insert(std::size_t index, std::string_view entry);
    void push_back(std::string_view entry) { insert(size(), entry); }
    void erase(std::size_t index);
    // The first index from `from` on that holds exactly this entry.
    std::optional<std::size_t> find(std::string_view entry, std::size_t from = 0) const;

  private:
    struct Slice {
        std::size_t offset;
        std::size_t size;
    };
    std::string bytes_;
    std::vector<Slice> slices_;
    std::size_t unused_ = 0;  // bytes of removed entries, given back once they are most
};

// The file's bytes for these entries: each followed by CR LF; no entries give no bytes.
std::string writeEntries(const EntryList& entries);
// One entry's line appended to the file's bytes.
void appendLine(std::string& bytes, std::string_view entry);

// What the file held when the editor last read or wrote it: its length and a 64-bit hash of its
// bytes. Another program's change, even one that keeps the length and the write time, gives
// another stamp.
struct ListStamp {
    std::uint64_t size = 0;
    std::uint64_t hash = 0;
    bool operator==(const ListStamp&) const = default;
};

// Builds the stamp from the bytes in pieces of any size: the same bytes give the same stamp
// however they are split, so a file can be stamped while it is written or read in chunks.
class StampBuilder {
  public:
    void add(std::string_view bytes);
    ListStamp stamp() const;

  private:
    void mix(const unsigned char* block);

    std::uint64_t lanes_[4] = {0x243f6a8885a308d3, 0x13198a2e03707344, 0xa4093822299f31d0,
                               0x082efa98ec4e6c89};
    unsigned char pending_[32] = {};
    std::size_t pendingSize_ = 0;
    std::uint64_t size_ = 0;
};

ListStamp stampOf(std::string_view bytes);

// A new entry from the four boxes, "type|level|description|path", or nothing when any box is
// empty. Nothing is trimmed, checked or escaped: the host reads the line as typed.
std::optional<std::wstring> composeEntry(std::wstring_view checkType,
                                         std::wstring_view warningLevel,
                                         std::wstring_view description, std::wstring_view path);

// The list file beside the program: the folder joined with the file name by one '\'.
std::wstring listFilePath(std::wstring_view programFolder);

}  // namespace partroster
