#include "component_list.h"

#include <gtest/gtest.h>

#include <random>

namespace partroster {
namespace {

using Entries = std::vector<std::string>;

Entries entriesOf(const EntryList& list) {
    Entries out;
    for (std::size_t i = 0; i < list.size(); ++i) out.emplace_back(list[i]);
    return out;
}

struct FileCase {
    const char* name;
    std::string bytes;
    Entries entries;
    std::string written = {};  // what a save of those entries gives, when not the same bytes
};

const FileCase kFiles[] = {
    {"zero-length file", "", {}},
    {"CR LF",
     "1|1|Codecs|codecs\r\n4|4|DivX|divx.dll\r\n",
     {"1|1|Codecs|codecs", "4|4|DivX|divx.dll"}},
    {"lone CR ends a line", "a\rb\r", {"a", "b"}, "a\r\nb\r\n"},
    {"lone LF stays inside", "a\nb\r\nc\n", {"a\nb", "c\n"}, "a\nb\r\nc\n\r\n"},
    {"LF CR is an LF inside, then an end", "a\n\rb", {"a\n", "b"}, "a\n\r\nb\r\n"},
    {"no final line end", "x\r\nlast", {"x", "last"}, "x\r\nlast\r\n"},
    {"blank lines", "\r\n\r\na\r\n\r\n", {"", "", "a", ""}},
    {"CR CR LF", "a\r\r\nb", {"a", "", "b"}, "a\r\n\r\nb\r\n"},
    {"not four fields", "no bars here\r\n1|2|a|b|c\r\n", {"no bars here", "1|2|a|b|c"}},
    {"bytes above 0x7F and NUL kept",
     std::string("\x81\x8d\xe9\xff|\x00z\r\n", 9),
     {std::string("\x81\x8d\xe9\xff|\x00z", 7)}},
};

TEST(ComponentListFile, ReadsLinesAndWritesThemBackWithCrLf) {
    for (const auto& c : kFiles) {
        SCOPED_TRACE(c.name);
        const EntryList entries(c.bytes);
        EXPECT_EQ(entriesOf(entries), c.entries);
        const std::string written = writeEntries(entries);
        EXPECT_EQ(written, c.written.empty() ? c.bytes : c.written);
        // Once written by the editor, the file reads back as the same entries, byte for byte.
        EXPECT_EQ(entriesOf(EntryList(written)), c.entries);
    }
    // A line end at every place within the bytes looked at together, among near misses.
    for (std::size_t at = 0; at < 24; ++at) {
        const std::string line(at, '\x8d'), next(at % 5 + 1, '\x0c');
        EXPECT_EQ(entriesOf(EntryList(line + "\r" + next)), (Entries{line, next})) << at;
    }
}

TEST(ComponentListFile, EditsKeepEveryOtherEntryByteForByte) {
    // Random edits against a plain vector, long enough that removed bytes are given back several
    // times on the way.
    std::mt19937 random(7);
    EntryList list("first\r\nsecond\r\n");
    Entries model = {"first", "second"};
    for (int step = 0; step < 20000; ++step) {
        const std::size_t at = model.empty() ? 0 : random() % model.size();
        if (model.size() < 300 && random() % 2) {
            const std::string entry = std::to_string(step) + std::string(random() % 40, 'x');
            list.insert(at, entry);
            model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), entry);
        } else if (!model.empty()) {
            list.erase(at);
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
        }
        ASSERT_EQ(entriesOf(list), model) << "after step " << step;
    }
    list.push_back(list[0]);  // a copy of one of its own entries
    EXPECT_EQ(list[list.size() - 1], model.front());
}

TEST(ComponentListFile, StampTellsAnyChangeHoweverTheBytesArrive) {
    std::string bytes;
    for (int i = 0; i < 100; ++i) bytes += static_cast<char>('a' + i * 7 % 26);
    const ListStamp whole = stampOf(bytes);
    EXPECT_EQ(whole.size, bytes.size());
    for (std::size_t piece : {1, 3, 7, 31, 32, 33, 64}) {
        StampBuilder builder;
        for (std::size_t at = 0; at < bytes.size(); at += piece)
            builder.add(std::string_view(bytes).substr(at, piece));
        EXPECT_EQ(builder.stamp(), whole) << "in pieces of " << piece;
    }
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        std::string changed = bytes;
        changed[at] ^= 1;
        EXPECT_NE(stampOf(changed), whole) << "byte " << at;
    }
    EXPECT_NE(stampOf(std::string(5, '\0')).hash, stampOf(std::string(6, '\0')).hash);
    EXPECT_NE(stampOf("a\r\nb").hash, stampOf("b\r\na").hash);
}

TEST(ComponentListFile, ComposesAnEntryOnlyFromFourNonEmptyTexts) {
    struct Case {
        const wchar_t* type;
        const wchar_t* level;
        const wchar_t* description;
        const wchar_t* path;
        std::optional<std::wstring> entry;
    };
    const Case cases[] = {
        {L"1", L"2", L"Codec pack", L"codecs", L"1|2|Codec pack|codecs"},
        {L" ", L" ", L" ", L" ", L" | | | "},
        {L"x", L"9", L"a|b", L"C:\\p|q", L"x|9|a|b|C:\\p|q"},
        {L"", L"2", L"d", L"p", std::nullopt},
        {L"1", L"", L"d", L"p", std::nullopt},
        {L"1", L"2", L"", L"p", std::nullopt},
        {L"1", L"2", L"d", L"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(composeEntry(c.type, c.level, c.description, c.path), c.entry) << c.description;
}

TEST(ComponentListFile, LivesBesideTheProgram) {
    EXPECT_EQ(listFilePath(L"C:\\Apps\\Movarix"), L"C:\\Apps\\Movarix\\Comp_lst.dll");
    EXPECT_EQ(listFilePath(L"C:\\"), L"C:\\Comp_lst.dll");
}

}  // namespace
}  // namespace partroster
