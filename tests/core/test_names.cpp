// Names sorted as the window's lists show them, whether they come sorted (as a schema file
// holds them) or not, and bytes decoded as the window decodes them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Names.h"

namespace {

using Texts = std::vector<std::string>;

TEST(SortNames, SortedOrNotTheResultIsTheCollationOrder) {
    struct Case {
        const char* what;
        Texts in, out;
    };
    const std::vector<Case> cases = {
        {"already sorted", {"Alias", "person", "Top"}, {"Alias", "person", "Top"}},
        {"only the last pair out of order", {"a", "b", "c", "e", "d"}, {"a", "b", "c", "d", "e"}},
        {"only the first pair out of order", {"b", "a", "c"}, {"a", "b", "c"}},
        {"case twins keep their order", {"b", "B", "a"}, {"a", "b", "B"}},
        {"case twins in order stay", {"a", "B", "b"}, {"a", "B", "b"}},
        {"letters beyond ASCII collate with their base letter",
         {"Zebra", "\xC3\x84rger", "apfel"},
         {"apfel", "\xC3\x84rger", "Zebra"}},
        {"bytes that are not UTF-8", {"z", "M\xDCNCHEN", "a"}, {"a", "M\xDCNCHEN", "z"}},
        {"blanks and punctuation before letters", {"ab", "a b", "a-b"}, {"a b", "a-b", "ab"}},
        {"one name", {"x"}, {"x"}},
        {"none", {}, {}},
    };
    for (const Case& c : cases) {
        Texts names = c.in;
        SortNames(names);
        EXPECT_EQ(names, c.out) << c.what;
        NameList entries;
        for (std::size_t i = 0; i < c.in.size(); ++i)
            entries.push_back({c.in[i], static_cast<std::uint32_t>(i)});
        SortNames(entries);
        Texts sorted;
        for (const NameEntry& e : entries) sorted.push_back(e.name);
        EXPECT_EQ(sorted, c.out) << c.what;
        // Sorting what is sorted changes nothing.
        SortNames(names);
        EXPECT_EQ(names, c.out) << c.what;
    }
}

TEST(DecodeName, Utf8WhereValidElseOneByteACharacter) {
    EXPECT_EQ(DecodeName("Top"), QString("Top"));
    EXPECT_EQ(DecodeName("\xC3\x84rger"), QString::fromUtf8("\xC3\x84rger"));
    EXPECT_EQ(DecodeName("M\xDCNCHEN"), QString::fromLatin1("M\xDCNCHEN"));
    EXPECT_EQ(DecodeName(std::string("a\0b", 3)).size(), 3);
}

}  // namespace
