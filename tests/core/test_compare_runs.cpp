// Whole comparison runs over two trees loaded from schema files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingUi.h"
#include "TempDir.h"
#include "core/SchemaFile.h"
#include "core/compare/Compare.h"
#include "sources/ClientFactory.h"

namespace {

std::string Crlf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

const std::string kTree1 = Crlf({
    "[Settings]",
    "Tree Name=ONE",
    "[Attributes]",
    "0=Age",
    "1=cn",
    "2=Only One Attr",
    "3=Title",
    "[Attribute Definition]",
    "Age=INTEGER",
    "cn=CI_STRING [Sized (1-64)]",
    "Only One Attr=BOOLEAN",
    "Title=CI_STRING",
    "[Classes]",
    "0=Alpha",
    "1=beta",
    "2=Only1",
    "3=Same",
    "[Class Definition]",
    "Alpha=Effective",
    "beta=Effective",
    "Only1=",
    "Same=Effective",
    "[Alpha: Mandatory Attribute]",
    "0=cn",
    "1=Surname",
    "[Alpha: Optional Attribute]",
    "0=b",
    "1=a",
    "[beta: Super Class]",
    "0=Top",
    "[Same: Super Class]",
    "0=Top",
    "[Same: Optional Attribute]",
    "0=Title",
    "1=Age",
});

const std::string kTree2 = Crlf({
    "[Settings]",
    "Tree Name=TWO",
    "[Attributes]",
    "0=Age",
    "1=CN",
    "2=Extra",
    "3=Title",
    "[Attribute Definition]",
    "Age=INTEGER",
    "CN=CI_STRING  [Sized (1-64)]",
    "Extra=STREAM",
    "Title=ci_string",
    "[Classes]",
    "0=Alpha",
    "1=BETA",
    "2=Only2",
    "3=Same",
    "[Class Definition]",
    "Alpha=Container",
    "BETA=Effective",
    "Only2=",
    "Same=Non-Effective",
    "[Alpha: Mandatory Attribute]",
    "0=CN",
    "[Alpha: Optional Attribute]",
    "0=A",
    "1=b",
    "2=z",
    "[BETA: Super Class]",
    "0=Top",
    "1=Top",
    "[Same: Super Class]",
    "0=Top",
    "[Same: Optional Attribute]",
    "0=Title",
    "1=Age",
});

class CompareRunsTest : public ::testing::Test {
  protected:
    CompareRunsTest() : ws(CreateUnavailableClient("")) {
        Load(1, dir.write("one.txt", kTree1));
        Load(2, dir.write("two.txt", kTree2));
    }

    void Load(int tree, const std::string& path) {
        TTreeInfo& slot = ws.tree(tree);
        OpenSchemaFileIntoSlot(slot, path);
        slot.AttrNames.clear();
        slot.ClassNames.clear();
        ReadSchemaNames(slot, nullptr);
    }

    TempDir dir;
    Workspace ws;
    RecordingUi ui;
    Lines progress;
    Lines lines;
    LineFn onProgress = [this](const std::string& s) { progress.push_back(s); };
    FindingFn onLine = FindingLinesTo([this](const std::string& s) { lines.push_back(s); });
};

TEST_F(CompareRunsTest, AllClasses) {
    ws.LastError = 77;
    CompareAllClasses(ws, ui, onProgress, onLine);
    const Lines expected = {
        "Tree #1 - Unique Class: \"Only1\"",
        "Tree #2 - Unique Class: \"Only2\"",
        "Tree #1 - Class Definition for \"Alpha\" has Flags: \"Effective\"",
        "Tree #2 - Class Definition for \"Alpha\" has Flags: \"Container\"",
        "Tree #1 - Class Definition for \"Alpha\" has Mandatory Attribute: \"Surname\"",
        "Tree #2 - Class Definition for \"Alpha\" has Optional Attribute: \"z\"",
        "Tree #2 - Class Definition for \"beta\" has Super Class: \"Top\"",
        "Tree #1 - Class Definition for \"Same\" has Flags: \"Effective\"",
        "Tree #2 - Class Definition for \"Same\" has Flags: \"Non-Effective\"",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(progress, (Lines{"Alpha", "beta", "Only1", "Same"}));
    EXPECT_EQ(ui.processEventsCalls, 3);  // once per compared class
    EXPECT_TRUE(ui.dialogs.empty());
    EXPECT_EQ(ws.LastError, 77);  // offline reads make no directory call
}

TEST_F(CompareRunsTest, AllAttributes) {
    CompareAllAttributes(ws, ui, onProgress, onLine);
    const Lines expected = {
        "Tree #1 - Unique Attribute: \"Only One Attr\"",
        "Tree #2 - Unique Attribute: \"Extra\"",
        "Tree #1 - Attribute Definition for \"cn\": \"CI_STRING [Sized (1-64)]\"",
        "Tree #2 - Attribute Definition for \"cn\": \"CI_STRING  [Sized (1-64)]\"",
        "Tree #1 - Attribute Definition for \"Title\": \"CI_STRING\"",
        "Tree #2 - Attribute Definition for \"Title\": \"ci_string\"",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(progress, (Lines{"Age", "cn", "Only One Attr", "Title"}));
    EXPECT_EQ(ui.processEventsCalls, 3);
}

TEST_F(CompareRunsTest, SameTreeTwiceGivesNoLines) {
    Load(2, dir.write("copy.txt", kTree1));
    CompareAllClasses(ws, ui, onProgress, onLine);
    CompareAllAttributes(ws, ui, nullptr, onLine);
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(ui.processEventsCalls, 8);
}

TEST_F(CompareRunsTest, OneName) {
    struct Case {
        const char* what;
        bool isClass;
        std::string name;
        Lines expected;
    };
    const std::vector<Case> cases = {
        {"class differing in its flags alone",
         true,
         "Same",
         {"Tree #1 - Class Definition for \"Same\" has Flags: \"Effective\"",
          "Tree #2 - Class Definition for \"Same\" has Flags: \"Non-Effective\""}},
        {"repeated item in Tree #2",
         true,
         "beta",
         {"Tree #2 - Class Definition for \"beta\" has Super Class: \"Top\""}},
        {"identical attribute",
         false,
         "Age",
         {"Attribute identical: ", "", "Age", "      INTEGER"}},
        {"name differs in case only",
         false,
         "CN",
         {"Tree #1 - Attribute Definition for \"CN\": \"CI_STRING [Sized (1-64)]\"",
          "Tree #2 - Attribute Definition for \"CN\": \"CI_STRING  [Sized (1-64)]\""}},
        {"unknown to both", false, "Nowhere", {"Attribute identical: ", "", "Nowhere", "      "}},
    };
    for (const Case& c : cases) {
        ui.clear();
        const Lines out = c.isClass ? CompareOneClass(ws, ui, c.name, true)
                                    : CompareOneAttr(ws, ui, c.name, true);
        EXPECT_EQ(out, c.expected) << c.what;
        EXPECT_EQ(ui.processEventsCalls, 1) << c.what;
    }
    // Same flags, items in another order and letter case: identical, shown as Tree #1 has it.
    Load(2, dir.write("reordered.txt", Crlf({"[Classes]", "0=Same", "[Class Definition]",
                                             "Same=Effective", "[Same: Super Class]", "0=TOP",
                                             "[Same: Optional Attribute]", "0=Age", "1=Title"})));
    EXPECT_EQ(
        CompareOneClass(ws, ui, "Same", true),
        (Lines{"Class identical: ", "", "Same", "", "Flags", "      Effective", "", "Super Class",
               "      Top", "", "Optional Attribute", "      Age", "      Title"}));
    EXPECT_TRUE(CompareOneClass(ws, ui, "Same", false).empty());
}

// Names equal only under full case folding: each tree's definition is read under its own
// spelling (the schema file's keys match ASCII letters only), and the findings name the
// class as Tree #1 writes it.
TEST_F(CompareRunsTest, EachTreeIsReadUnderItsOwnSpelling) {
    Load(1, dir.write("u1.txt", Crlf({"[Attributes]", "0=ärger", "[Attribute Definition]",
                                      "ärger=CI_STRING", "[Classes]", "0=örtlichkeit",
                                      "[Class Definition]", "örtlichkeit=Effective",
                                      "[örtlichkeit: Mandatory Attribute]", "0=ärger", "1=CN"})));
    Load(2, dir.write("u2.txt", Crlf({"[Attributes]", "0=ÄRGER", "[Attribute Definition]",
                                      "ÄRGER=CI_STRING [Single]", "[Classes]", "0=ÖRTLICHKEIT",
                                      "[Class Definition]", "ÖRTLICHKEIT=Effective",
                                      "[ÖRTLICHKEIT: Mandatory Attribute]", "0=ÄRGER"})));
    CompareAllClasses(ws, ui, nullptr, onLine);
    CompareAllAttributes(ws, ui, nullptr, onLine);
    EXPECT_EQ(lines,
              (Lines{"Tree #1 - Class Definition for \"örtlichkeit\" has Mandatory Attribute: "
                     "\"CN\"",
                     "Tree #1 - Attribute Definition for \"ärger\": \"CI_STRING\"",
                     "Tree #2 - Attribute Definition for \"ärger\": \"CI_STRING [Single]\""}));
    // A click in the common list carries Tree #1's spelling.
    EXPECT_EQ(CompareOneClass(ws, ui, "örtlichkeit", true),
              (Lines{"Tree #1 - Class Definition for \"örtlichkeit\" has Mandatory Attribute: "
                     "\"CN\""}));
    EXPECT_EQ(CompareOneAttr(ws, ui, "ärger", true).size(), 2u);
    EXPECT_TRUE(ui.dialogs.empty());
}

}  // namespace
