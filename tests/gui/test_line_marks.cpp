// Which tree a comparison line speaks of, and the definition words two lines differ in.
#include <gtest/gtest.h>

#include <QStringList>

#include "LineMarks.h"

namespace {

QStringList Marked(const QString& line, const std::vector<TextSpan>& spans) {
    QStringList out;
    for (const TextSpan& s : spans) out << line.mid(s.start, s.length);
    return out;
}

TEST(LineMarks, TreeOfLineNeedsTheWholePrefix) {
    EXPECT_EQ(TreeOfLine("Tree #1 - Unique Class: \"Alias\""), 1);
    EXPECT_EQ(TreeOfLine("Tree #2 - Attribute Definition for \"CN\": \"CI_STRING\""), 2);
    EXPECT_EQ(TreeOfLine("Tree #3 - Unique Class: \"X\""), 0);
    EXPECT_EQ(TreeOfLine("Tree #1 -Unique"), 0);
    EXPECT_EQ(TreeOfLine("  Tree #1 - indented"), 0);
    EXPECT_EQ(TreeOfLine("Class identical: "), 0);
    EXPECT_EQ(TreeOfLine(""), 0);
}

TEST(LineMarks, FlagsAndSyntaxThatDifferAreMarkedOnEachSide) {
    const QString a =
        R"(Tree #1 - Attribute Definition for "Employee Number": "CI_STRING [SglVal\Sized (1-16)\NonRem\String]")";
    const QString b =
        R"(Tree #2 - Attribute Definition for "Employee Number": "INTEGER [SglVal\NonRem]")";
    const PairMarks marks = DifferingWords(a, b);
    ASSERT_TRUE(marks.paired);
    EXPECT_EQ(Marked(a, marks.first), QStringList({"CI_STRING", "Sized (1-16)", "String"}));
    EXPECT_EQ(Marked(b, marks.second), QStringList({"INTEGER"}));

    // Only a bound differs: the whole flag is marked, the rest is not.
    const QString c =
        R"(Tree #1 - Attribute Definition for "CN": "CI_STRING [Sized (1-64)\NonRem]")";
    const QString d =
        R"(Tree #2 - Attribute Definition for "CN": "CI_STRING [Sized (1-128)\NonRem\PublRd]")";
    const PairMarks cd = DifferingWords(c, d);
    EXPECT_EQ(Marked(c, cd.first), QStringList({"Sized (1-64)"}));
    EXPECT_EQ(Marked(d, cd.second), QStringList({"Sized (1-128)", "PublRd"}));
}

TEST(LineMarks, OnlyAPairAboutTheSameAttributeInTreeOrderIsMarked) {
    const QString cn1 = R"(Tree #1 - Attribute Definition for "CN": "CI_STRING")";
    const QString cn2 = R"(Tree #2 - Attribute Definition for "CN": "INTEGER")";
    const QString sn2 = R"(Tree #2 - Attribute Definition for "SN": "INTEGER")";
    EXPECT_TRUE(DifferingWords(cn1, cn2).paired);
    EXPECT_EQ(Marked(cn1, DifferingWords(cn1, cn2).first), QStringList({"CI_STRING"}));
    EXPECT_FALSE(DifferingWords(cn1, sn2).paired);
    EXPECT_FALSE(DifferingWords(cn2, cn1).paired);
    EXPECT_FALSE(DifferingWords(cn1, cn1).paired);
    const QString classLine = R"(Tree #2 - Class Definition for "CN" has Optional Attribute: "X")";
    EXPECT_FALSE(DifferingWords(cn1, classLine).paired);
    EXPECT_FALSE(DifferingWords(cn1, "Tree #2 - ").paired);
}

TEST(LineMarks, HostileNamesAndBrokenDefinitionsStayInsideTheLine) {
    // A name holding the separator and brackets; a definition without its closing bracket.
    const QString a = R"(Tree #1 - Attribute Definition for "a": "[x]": "CI_STRING [NonRem\Sized")";
    const QString b = R"(Tree #2 - Attribute Definition for "a": "[x]": "CI_STRING [NonRem")";
    const PairMarks marks = DifferingWords(a, b);
    ASSERT_TRUE(marks.paired);
    EXPECT_EQ(Marked(a, marks.first), QStringList({"Sized"}));
    EXPECT_TRUE(marks.second.empty());
    for (const TextSpan& s : marks.first) {
        EXPECT_GE(s.start, 0);
        EXPECT_LE(s.start + s.length, a.size());
    }
    // Identical definitions: paired, nothing to mark.
    const PairMarks same = DifferingWords(a, QString(a).replace(6, 1, "2"));
    EXPECT_TRUE(same.paired);
    EXPECT_TRUE(same.first.empty());
    EXPECT_TRUE(same.second.empty());
    // Empty definitions.
    const PairMarks empty = DifferingWords(R"(Tree #1 - Attribute Definition for "a": "")",
                                           R"(Tree #2 - Attribute Definition for "a": "")");
    EXPECT_TRUE(empty.first.empty());
}

}  // namespace
