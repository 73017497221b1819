#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/compare/QuickCheck.h"

namespace {

NameList Names(const std::vector<std::string>& names) {
    NameList list;
    for (const std::string& n : names) list.push_back({n, 0});
    return list;
}

std::vector<std::string> Texts(const NameList& list) {
    std::vector<std::string> texts;
    for (const NameEntry& e : list) texts.push_back(e.name);
    return texts;
}

struct QuickCase {
    const char* what;
    std::vector<std::string> tree1, tree2;
    std::vector<std::string> unique1, common, unique2;
};

TEST(QuickCheckNames, SplitsByNameIgnoringCase) {
    const std::vector<QuickCase> cases = {
        {"same names", {"Top", "User"}, {"Top", "User"}, {}, {"Top", "User"}, {}},
        {"case only: Tree #1's spelling", {"Foo"}, {"FOO"}, {}, {"Foo"}, {}},
        {"disjoint", {"A", "B"}, {"C"}, {"A", "B"}, {}, {"C"}},
        {"order of each tree kept",
         {"z", "a", "m"},
         {"y", "M", "b"},
         {"z", "a"},
         {"m"},
         {"y", "b"}},
        {"every occurrence of Tree #1 by itself", {"A", "a", "B"}, {"A"}, {"B"}, {"A", "a"}, {}},
        {"every occurrence of Tree #2 by itself", {"A"}, {"C", "c", "a"}, {}, {"A"}, {"C", "c"}},
        {"one side empty", {}, {"X"}, {}, {}, {"X"}},
        {"each spelling of Tree #2 is common", {"x"}, {"X", "y", "x"}, {}, {"x"}, {"y"}},
        {"both empty", {}, {}, {}, {}, {}},
        {"non-ASCII letters fold", {"\xC3\x84rger"}, {"\xC3\xA4RGER"}, {}, {"\xC3\x84rger"}, {}},
        {"prefix is not equality", {"Post"}, {"Postal"}, {"Post"}, {}, {"Postal"}},
        {"blanks matter", {"Object Class"}, {"ObjectClass"}, {"Object Class"}, {}, {"ObjectClass"}},
    };
    for (const QuickCase& c : cases) {
        const QuickCheckLists r = QuickCheckNames(Names(c.tree1), Names(c.tree2));
        EXPECT_EQ(Texts(r.unique1), c.unique1) << c.what;
        EXPECT_EQ(Texts(r.common), c.common) << c.what;
        EXPECT_EQ(Texts(r.unique2), c.unique2) << c.what;
    }
}

TEST(QuickCheckNames, CarriesTheNumbersAlong) {
    const NameList tree1 = {{"User", 7}, {"Alias", 3}};
    const NameList tree2 = {{"USER", 9}, {"Group", 5}};
    const QuickCheckLists r = QuickCheckNames(tree1, tree2);
    ASSERT_EQ(r.common.size(), 1u);
    EXPECT_EQ(r.common[0].number, 7u);
    ASSERT_EQ(r.unique1.size(), 1u);
    EXPECT_EQ(r.unique1[0].number, 3u);
    ASSERT_EQ(r.unique2.size(), 1u);
    EXPECT_EQ(r.unique2[0].number, 5u);
}

// Each tree's definition is fetched under that tree's own spelling: the check hands both.
TEST(QuickCheckNames, KnowsTreeTwosSpellingOfEachCommonName) {
    const NameList tree1 = Names({"\xC3\xB6rtlichkeit", "\xC3\xA4rger", "Top", "top", "Solo"});
    const NameList tree2 = Names({"TOP", "\xC3\x84RGER", "\xC3\x96RTLICHKEIT", "Top"});
    const QuickCheckLists r = QuickCheckNames(tree1, tree2);
    EXPECT_EQ(Texts(r.common),
              (std::vector<std::string>{"\xC3\xB6rtlichkeit", "\xC3\xA4rger", "Top", "top"}));
    // Tree #2's first entry of a name stands for all of them.
    EXPECT_EQ(Texts(r.common2),
              (std::vector<std::string>{"\xC3\x96RTLICHKEIT", "\xC3\x84RGER", "TOP", "TOP"}));
    EXPECT_EQ(SpellingIn(tree2, "\xC3\xA4rger"), "\xC3\x84RGER");
    EXPECT_EQ(SpellingIn(tree2, "tOp"), "TOP");
    EXPECT_EQ(SpellingIn(tree2, "Solo"), "Solo");
    const NameMatches m = MatchNamesBothWays(tree1, tree2);
    EXPECT_EQ(m.in2, (std::vector<std::size_t>{2, 1, 0, 0, kNoMatch}));
    // Both spellings of Top in Tree #2 are common.
    EXPECT_EQ(m.common2, (std::vector<std::uint8_t>{1, 1, 1, 1}));
}

TEST(QuickCheckNames, LargeListsWithManyCaseTwins) {
    // Half of Tree #2's names are Tree #1's in upper case, in the reverse order, every
    // seventh of them beyond ASCII; every name of Tree #1 whose number is even is common.
    NameList tree1, tree2;
    const int n = 50000;
    auto stem = [](int i, bool upper) {
        return std::string(i % 7 ? "" : (upper ? "\xC3\x84" : "\xC3\xA4")) +
               (upper ? "NAME" : "name") + std::to_string(i);
    };
    for (int i = 0; i < n; ++i) tree1.push_back({stem(i, false), 0});
    for (int i = n; i-- > 0;)
        tree2.push_back({i % 2 == 0 ? stem(i, true) : "other" + std::to_string(i), 0});
    const QuickCheckLists r = QuickCheckNames(tree1, tree2);
    EXPECT_EQ(r.common.size(), static_cast<std::size_t>(n / 2));
    EXPECT_EQ(r.unique1.size(), static_cast<std::size_t>(n / 2));
    EXPECT_EQ(r.unique2.size(), static_cast<std::size_t>(n / 2));
    const NameMatches m = MatchNamesBothWays(tree1, tree2);
    std::size_t wrong = 0;
    for (int i = 0; i < n; ++i)
        wrong += m.in2[i] != (i % 2 == 0 ? static_cast<std::size_t>(n - 1 - i) : kNoMatch);
    EXPECT_EQ(wrong, 0U);
    for (int j = 0; j < n; ++j) wrong += m.common2[j] != (j % 2 == 1);
    EXPECT_EQ(wrong, 0U);
}

}  // namespace
