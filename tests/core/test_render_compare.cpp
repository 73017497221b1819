#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/compare/Compare.h"
#include "core/compare/Render.h"

namespace {

using Items = std::vector<std::string>;

TClassInfo Info(const std::string& flags, std::vector<std::pair<int, Items>> kinds) {
    TClassInfo info;
    info.Flags = flags;
    for (auto& [kind, items] : kinds) info.Items[static_cast<std::size_t>(kind)] = items;
    return info;
}

// The lines the window shows: a click's detail lines with reportIdentical, else the
// findings' lines as a full run writes them.
bool ClassLines(const std::string& name, TClassInfo& a, TClassInfo& b, bool reportIdentical,
                Lines& out) {
    TClassInfo a2 = a;
    TClassInfo b2 = b;
    Findings found;
    const bool identical = CompareClassInfos(name, a, b, found);
    if (reportIdentical) {
        const Lines detail = ClassDetailLines(name, a2, b2);
        out.insert(out.end(), detail.begin(), detail.end());
    } else {
        for (const Finding& f : found) AppendFindingLines(f, out);
    }
    return identical;
}

bool AttrLines(const std::string& name, const std::string& def1, const std::string& def2,
               bool reportIdentical, Lines& out) {
    Findings found;
    const bool identical = CompareAttrDefs(name, def1, def2, found);
    if (reportIdentical) {
        const Lines detail = AttrDetailLines(name, def1, def2);
        out.insert(out.end(), detail.begin(), detail.end());
    } else {
        for (const Finding& f : found) AppendFindingLines(f, out);
    }
    return identical;
}

TEST(DisplayClass, RendersFlagsAndNonEmptyKindsSorted) {
    TClassInfo info = Info(
        "Effective\\Non-Removable",
        {{ikMandatoryAttribute, {"b", "A", "c"}}, {ikSuperClass, {"Top"}}, {ikASN, {"2.5.6.6"}}});
    const Lines expected = {"Person",
                            "",
                            "Flags",
                            "      Effective\\Non-Removable",
                            "",
                            "Super Class",
                            "      Top",
                            "",
                            "Mandatory Attribute",
                            "      A",
                            "      b",
                            "      c",
                            "",
                            "ASN",
                            "      2.5.6.6"};
    EXPECT_EQ(DisplayClass("Person", info), expected);
    // The record's own list is left sorted.
    EXPECT_EQ(info.Items[ikMandatoryAttribute], (Items{"A", "b", "c"}));
}

TEST(DisplayClass, EdgeCases) {
    struct Case {
        const char* what;
        TClassInfo info;
        Lines expected;
    };
    const std::vector<Case> cases = {
        {"no items: four lines", Info("Effective", {}), {"X", "", "Flags", "      Effective"}},
        {"empty flags: line of six spaces", Info("", {}), {"X", "", "Flags", "      "}},
        {"kind 5 shows when filled",
         Info("", {{ikAttribute, {"CN"}}}),
         {"X", "", "Flags", "      ", "", "Attribute", "      CN"}},
        {"upper and lower case interleave",
         Info("", {{ikOptionalAttribute, {"cc", "Bb", "aA", "Cb"}}}),
         {"X", "", "Flags", "      ", "", "Optional Attribute", "      aA", "      Bb", "      Cb",
          "      cc"}},
        {"an empty item is still a line",
         Info("", {{ikContainmentClass, {""}}}),
         {"X", "", "Flags", "      ", "", "Containment Class", "      "}},
    };
    for (const Case& c : cases) {
        TClassInfo info = c.info;
        EXPECT_EQ(DisplayClass("X", info), c.expected) << c.what;
    }
}

TEST(DisplayAttribute, NameThenIndentedDefinition) {
    EXPECT_EQ(DisplayAttribute("CN", TAttrInfo{"CI_STRING [Sized (1-64)]"}),
              (Lines{"CN", "      CI_STRING [Sized (1-64)]"}));
    EXPECT_EQ(DisplayAttribute("CN", TAttrInfo{""}), (Lines{"CN", "      "}));
}

struct ClassCase {
    const char* what;
    TClassInfo a, b;
    bool reportIdentical;
    bool identical;
    Lines expected;
};

std::string Line(int tree, const std::string& label, const std::string& item) {
    return "Tree #" + std::to_string(tree) + " - Class Definition for \"User\" has " + label +
           ": \"" + item + "\"";
}

TEST(CompareClassInfos, FindingsKindByKind) {
    const std::vector<ClassCase> cases = {
        {"identical, not reported",
         Info("F", {{ikSuperClass, {"Top"}}}),
         Info("F", {{ikSuperClass, {"Top"}}}),
         false,
         true,
         {}},
        {"flags alone differ: two lines, not identical",
         Info("Effective\\Container", {{ikSuperClass, {"Top"}}}),
         Info("Effective\\Container\\Non-Removable", {{ikSuperClass, {"Top"}}}),
         true,
         false,
         {Line(1, "Flags", "Effective\\Container"),
          Line(2, "Flags", "Effective\\Container\\Non-Removable")}},
        {"flags lines come before the item lines; an empty flags text is \"\"",
         Info("", {{ikSuperClass, {"Top"}}}),
         Info("Auxiliary", {}),
         false,
         false,
         {Line(1, "Flags", ""), Line(2, "Flags", "Auxiliary"), Line(1, "Super Class", "Top")}},
        {"flags differing in letter case only still differ",
         Info("Effective", {}),
         Info("effective", {}),
         false,
         false,
         {Line(1, "Flags", "Effective"), Line(2, "Flags", "effective")}},
        {"one mandatory attribute missing in Tree #2",
         Info("", {{ikMandatoryAttribute, {"CN", "Surname"}}}),
         Info("", {{ikMandatoryAttribute, {"CN"}}}),
         false,
         false,
         {Line(1, "Mandatory Attribute", "Surname")}},
        {"order only: identical, shown as Tree #1 has it",
         Info("", {{ikOptionalAttribute, {"b", "a"}}, {ikSuperClass, {"Top"}}}),
         Info("", {{ikOptionalAttribute, {"a", "b"}}, {ikSuperClass, {"Top"}}}),
         true,
         true,
         {"Class identical: ", "", "User", "", "Flags", "      ", "", "Super Class", "      Top",
          "", "Optional Attribute", "      a", "      b"}},
        {"case only: identical, Tree #1's spelling shown",
         Info("", {{ikOptionalAttribute, {"Title"}}}),
         Info("", {{ikOptionalAttribute, {"TITLE"}}}),
         true,
         true,
         {"Class identical: ", "", "User", "", "Flags", "      ", "", "Optional Attribute",
          "      Title"}},
        {"order and case only, not reported: nothing",
         Info("", {{ikMandatoryAttribute, {"CN", "Surname"}}}),
         Info("", {{ikMandatoryAttribute, {"SURNAME", "cn"}}}),
         false,
         true,
         {}},
        {"twice in Tree #1, once in Tree #2",
         Info("", {{ikOptionalAttribute, {"L", "L"}}}),
         Info("", {{ikOptionalAttribute, {"L"}}}),
         false,
         false,
         {Line(1, "Optional Attribute", "L")}},
        {"Tree #1's leftovers before Tree #2's, each in list order",
         Info("", {{ikContainmentClass, {"b1", "Common", "a1"}}}),
         Info("", {{ikContainmentClass, {"z2", "common", "y2"}}}),
         false,
         false,
         {Line(1, "Containment Class", "b1"), Line(1, "Containment Class", "a1"),
          Line(2, "Containment Class", "z2"), Line(2, "Containment Class", "y2")}},
        {"kinds in order 0 to 6",
         Info("", {{ikASN, {"1.2"}}, {ikSuperClass, {"Top"}}, {ikNamingAttribute, {"CN"}}}),
         Info("", {{ikASN, {"1.3"}}}),
         false,
         false,
         {Line(1, "Super Class", "Top"), Line(1, "Naming Attribute", "CN"), Line(1, "ASN", "1.2"),
          Line(2, "ASN", "1.3")}},
        {"one side empty",
         Info("", {}),
         Info("", {{ikAttribute, {"x", "y"}}}),
         false,
         false,
         {Line(2, "Attribute", "x"), Line(2, "Attribute", "y")}},
        {"identical and reported: rendering of Tree #1",
         Info("Effective", {{ikMandatoryAttribute, {"b", "A"}}}),
         Info("Effective", {{ikMandatoryAttribute, {"b", "A"}}}),
         true,
         true,
         {"Class identical: ", "", "User", "", "Flags", "      Effective", "",
          "Mandatory Attribute", "      A", "      b"}},
        {"different, reportIdentical changes nothing",
         Info("", {{ikSuperClass, {"x"}}}),
         Info("", {}),
         true,
         false,
         {Line(1, "Super Class", "x")}},
    };
    for (const ClassCase& c : cases) {
        TClassInfo a = c.a, b = c.b;
        Lines out{"earlier line"};
        const bool identical = ClassLines("User", a, b, c.reportIdentical, out);
        EXPECT_EQ(identical, c.identical) << c.what;
        Lines expected{"earlier line"};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(out, expected) << c.what;
    }
}

TEST(CompareClassInfos, CancellationTakesFirstMatchOfTree2AndCountsRepeats) {
    // Walking Tree #1 from its end, "X" cancels Tree #2's first "x"-like item, then "x"
    // cancels the next; the third stays.
    TClassInfo a = Info("", {{ikOptionalAttribute, {"x", "X"}}});
    TClassInfo b = Info("", {{ikOptionalAttribute, {"X", "x", "x", "q"}}});
    Lines out;
    EXPECT_FALSE(ClassLines("User", a, b, false, out));
    EXPECT_EQ(out, (Lines{Line(2, "Optional Attribute", "x"), Line(2, "Optional Attribute", "q")}));

    // Tree #1 "x","X" against one "x": the item walked first (the last, "X") cancels it, so
    // "x" is what stays.
    TClassInfo c = Info("", {{ikOptionalAttribute, {"x", "X"}}});
    TClassInfo d = Info("", {{ikOptionalAttribute, {"x"}}});
    out.clear();
    ClassLines("User", c, d, false, out);
    EXPECT_EQ(out, (Lines{Line(1, "Optional Attribute", "x")}));
}

TEST(CompareClassInfos, LongListsDifferingByOneItem) {
    Items many;
    for (int i = 0; i < 20000; ++i) many.push_back("attr" + std::to_string(i % 5000));
    Items other = many;
    std::reverse(other.begin(), other.end());
    other.push_back("extra");
    TClassInfo a = Info("", {{ikOptionalAttribute, many}});
    TClassInfo b = Info("", {{ikOptionalAttribute, other}});
    Lines out;
    EXPECT_FALSE(ClassLines("User", a, b, false, out));
    EXPECT_EQ(out, (Lines{Line(2, "Optional Attribute", "extra")}));
}

TEST(CompareAttrDefs, ExactTextComparison) {
    struct Case {
        const char* what;
        std::string def1, def2;
        bool reportIdentical;
        bool identical;
        Lines expected;
    };
    const std::string l1 = "Tree #1 - Attribute Definition for \"CN\": ";
    const std::string l2 = "Tree #2 - Attribute Definition for \"CN\": ";
    const std::vector<Case> cases = {
        {"equal, not reported", "CI_STRING", "CI_STRING", false, true, {}},
        {"equal, reported",
         "CI_STRING",
         "CI_STRING",
         true,
         true,
         {"Attribute identical: ", "", "CN", "      CI_STRING"}},
        {"letter case differs",
         "CI_STRING",
         "ci_string",
         false,
         false,
         {l1 + "\"CI_STRING\"", l2 + "\"ci_string\""}},
        {"one space differs",
         "CI_STRING [Sized]",
         "CI_STRING  [Sized]",
         true,
         false,
         {l1 + "\"CI_STRING [Sized]\"", l2 + "\"CI_STRING  [Sized]\""}},
        {"failed fetch: empty text",
         "CI_STRING",
         "",
         false,
         false,
         {l1 + "\"CI_STRING\"", l2 + "\"\""}},
        {"both empty: identical",
         "",
         "",
         true,
         true,
         {"Attribute identical: ", "", "CN", "      "}},
    };
    for (const Case& c : cases) {
        Lines out;
        EXPECT_EQ(AttrLines("CN", c.def1, c.def2, c.reportIdentical, out), c.identical) << c.what;
        EXPECT_EQ(out, c.expected) << c.what;
    }
}

TEST(Findings, RecordsCarryWhatTheLinesSay) {
    TClassInfo a = Info("Effective", {{ikASN, {"1.2"}}, {ikSuperClass, {"Top", "x"}}});
    TClassInfo b = Info("Auxiliary", {{ikSuperClass, {"TOP"}}});
    Findings found;
    EXPECT_FALSE(CompareClassInfos("User", a, b, found));
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].type, FindingType::ClassFlags);
    EXPECT_EQ(found[0].text1, "Effective");
    EXPECT_EQ(found[0].text2, "Auxiliary");
    EXPECT_EQ(found[1].type, FindingType::ClassItem);
    EXPECT_EQ(found[1].tree, 1);
    EXPECT_EQ(found[1].kind, ikSuperClass);
    EXPECT_EQ(found[1].text1, "x");
    EXPECT_EQ(found[2].kind, ikASN);
    for (const Finding& f : found) EXPECT_EQ(f.name, "User");
    EXPECT_TRUE(IsClassFinding(found[0]));
    EXPECT_FALSE(IsUniqueFinding(found[1]));
}

TEST(Findings, EachKindRendersAsTheWindowShowsIt) {
    auto make = [](FindingType type, int tree, int kind, std::string name, std::string t1,
                   std::string t2) {
        Finding f;
        f.type = type;
        f.tree = tree;
        f.kind = kind;
        f.name = std::move(name);
        f.text1 = std::move(t1);
        f.text2 = std::move(t2);
        return f;
    };
    struct Case {
        Finding finding;
        Lines expected;
    };
    // Names and texts go in as they are: quotes, blanks and odd bytes included.
    const std::vector<Case> cases = {
        {make(FindingType::UniqueClass, 2, 0, "Acme:\"Q\"", "", ""),
         {"Tree #2 - Unique Class: \"Acme:\"Q\"\""}},
        {make(FindingType::UniqueAttribute, 1, 0, "a\xFF b", "", ""),
         {"Tree #1 - Unique Attribute: \"a\xFF b\""}},
        {make(FindingType::ClassFlags, 0, 0, "T", "", "Effective\\Container"),
         {"Tree #1 - Class Definition for \"T\" has Flags: \"\"",
          "Tree #2 - Class Definition for \"T\" has Flags: \"Effective\\Container\""}},
        {make(FindingType::ClassItem, 2, ikNamingAttribute, "T", "CN", ""),
         {"Tree #2 - Class Definition for \"T\" has Naming Attribute: \"CN\""}},
        {make(FindingType::AttrDefinition, 0, 0, "CN", "CI_STRING", ""),
         {"Tree #1 - Attribute Definition for \"CN\": \"CI_STRING\"",
          "Tree #2 - Attribute Definition for \"CN\": \"\""}},
    };
    for (const Case& c : cases) {
        Lines lines;
        AppendFindingLines(c.finding, lines);
        EXPECT_EQ(lines, c.expected);
        std::string text;
        AppendFindingText(c.finding, text);
        std::string joined;
        for (const std::string& line : c.expected) joined += line + "\n";
        EXPECT_EQ(text, joined);
    }
}

}  // namespace
