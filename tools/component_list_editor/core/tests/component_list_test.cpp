#include "component_list.h"

#include <gtest/gtest.h>

namespace partroster {
namespace {

using Entries = std::vector<std::string>;

struct FileCase {
    const char* name;
    std::string bytes;
    Entries entries;
    std::string written;  // what a save of those entries gives
};

const FileCase kFiles[] = {
    {"zero-length file", "", {}, ""},
    {"CR LF",
     "1|1|Codecs|codecs\r\n4|4|DivX|divx.dll\r\n",
     {"1|1|Codecs|codecs", "4|4|DivX|divx.dll"},
     "1|1|Codecs|codecs\r\n4|4|DivX|divx.dll\r\n"},
    {"lone CR ends a line", "a\rb\r", {"a", "b"}, "a\r\nb\r\n"},
    {"lone LF stays inside", "a\nb\r\nc\n", {"a\nb", "c\n"}, "a\nb\r\nc\n\r\n"},
    {"LF CR is an LF inside, then an end", "a\n\rb", {"a\n", "b"}, "a\n\r\nb\r\n"},
    {"no final line end", "x\r\nlast", {"x", "last"}, "x\r\nlast\r\n"},
    {"blank lines", "\r\n\r\na\r\n\r\n", {"", "", "a", ""}, "\r\n\r\na\r\n\r\n"},
    {"CR CR LF", "a\r\r\nb", {"a", "", "b"}, "a\r\n\r\nb\r\n"},
    {"not four fields",
     "no bars here\r\n1|2|a|b|c\r\n",
     {"no bars here", "1|2|a|b|c"},
     "no bars here\r\n1|2|a|b|c\r\n"},
    {"bytes above 0x7F and NUL kept",
     std::string("\x81\x8d\xe9\xff|\x00z\r\n", 9),
     {std::string("\x81\x8d\xe9\xff|\x00z", 7)},
     std::string("\x81\x8d\xe9\xff|\x00z\r\n", 9)},
};

TEST(ComponentListFile, ReadsLinesAndWritesThemBackWithCrLf) {
    for (const auto& c : kFiles) {
        SCOPED_TRACE(c.name);
        const Entries entries = readEntries(c.bytes);
        EXPECT_EQ(entries, c.entries);
        const std::string written = writeEntries(entries);
        EXPECT_EQ(written, c.written);
        // Once written by the editor, the file reads back as the same entries, byte for byte.
        EXPECT_EQ(readEntries(written), entries);
        EXPECT_EQ(writeEntries(readEntries(written)), written);
    }
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
