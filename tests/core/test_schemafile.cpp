#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "FileSizeLimit.h"
#include "RecordingUi.h"
#include "TempDir.h"
#include "core/SchemaFile.h"
#include "core/directory/DefinitionAccess.h"
#include "sources/ClientFactory.h"

namespace {

std::string Crlf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

// The LAB_TREE example: the exact bytes a save writes for that tree.
const std::string kLabTree = Crlf({
    "[Settings]",
    "Tree Name=LAB_TREE",
    "[Attributes]",
    "0=CN",
    "1=Description",
    "2=Object Class",
    "3=Surname",
    "[Attribute Definition]",
    "CN=CI_STRING [Sized (1-64)]",
    "Description=CI_STRING [Sized (1-1024)]",
    "Object Class=CLASS_NAME [NonRem]",
    "Surname=CI_STRING [Sized (1-64)]",
    "[Classes]",
    "0=Person",
    "1=Top",
    "[Class Definition]",
    "Person=Effective",
    "Top=Effective\\Non-Removable",
    "[Person: Super Class]",
    "0=Top",
    "[Person: Naming Attribute]",
    "0=CN",
    "[Person: Mandatory Attribute]",
    "0=CN",
    "1=Surname",
    "[Person: Optional Attribute]",
    "0=Description",
    "[Person: ASN]",
    "0=2.5.6.6",
    "[Top: Mandatory Attribute]",
    "0=Object Class",
    "[Top: ASN]",
    "0=2.5.6.0",
});

std::vector<std::string> Texts(const NameList& list) {
    std::vector<std::string> texts;
    for (const NameEntry& e : list) texts.push_back(e.name);
    return texts;
}

class SchemaFileTest : public ::testing::Test {
  protected:
    SchemaFileTest() : ws(CreateUnavailableClient("")) {}

    // Loads a file into a slot the way "Load from File" does.
    void Load(int tree, const std::string& path, std::vector<std::string>* messages = nullptr) {
        TTreeInfo& slot = ws.tree(tree);
        OpenSchemaFileIntoSlot(slot, path);
        slot.AttrNames.clear();
        slot.ClassNames.clear();
        ReadSchemaNames(slot, [&](const std::string& m) {
            if (messages) messages->push_back(m);
        });
    }

    void Save(int tree, const std::string& path, std::vector<std::string>* messages = nullptr) {
        SaveSchemaFile(ws, ui, tree, path, [&](const std::string& m) {
            if (messages) messages->push_back(m);
        });
    }

    TempDir dir;
    Workspace ws;
    RecordingUi ui;
};

TEST_F(SchemaFileTest, SavesTheLabTreeByteForByte) {
    const std::string source = dir.write("source.txt", kLabTree);
    std::vector<std::string> loading;
    Load(1, source, &loading);
    EXPECT_EQ(loading, (std::vector<std::string>{"Loading attributes ...", "Loading classes ..."}));
    EXPECT_EQ(ws.tree(1).TreeName, "LAB_TREE");
    EXPECT_EQ(ws.tree(1).Online, 0);
    EXPECT_EQ(ws.tree(1).FileName, source);

    std::vector<std::string> saving;
    const std::string target = dir.file("LAB_TREE.txt");
    Save(1, target, &saving);
    EXPECT_EQ(TempDir::read(target), kLabTree);
    const std::vector<std::string> expected = {
        "Saving attributes ...",
        "Saving attribute \"CN\" ... ",
        "Saving attribute \"Description\" ... ",
        "Saving attribute \"Object Class\" ... ",
        "Saving attribute \"Surname\" ... ",
        "Saving classes ...",
        "Saving class \"Person\" ... ",
        "Saving class \"Top\" ... ",
    };
    EXPECT_EQ(saving, expected);
    EXPECT_TRUE(ui.dialogs.empty());
}

TEST_F(SchemaFileTest, SavingOverTheSlotsOwnFileKeepsItsContent) {
    // The slot reads its definitions from the very file being replaced.
    const std::string path = dir.write("self.txt", kLabTree);
    Load(1, path);
    Save(1, path);
    EXPECT_EQ(TempDir::read(path), kLabTree);
}

TEST_F(SchemaFileTest, RoundTripGivesSameNamesAndDefinitions) {
    const std::string source = dir.write("rich.txt", Crlf({"[Settings]",
                                                           "Tree Name=RICH",
                                                           "[Attributes]",
                                                           "0=a",
                                                           "1=A",
                                                           "2=Empty Def",
                                                           "3=Quoted",
                                                           "[Attribute Definition]",
                                                           "a=X [Sized (1-2)]",
                                                           "A=Y",
                                                           "Empty Def=",
                                                           "Quoted=\"Q W\"",
                                                           "[Classes]",
                                                           "0=Zeta",
                                                           "1=alpha",
                                                           "2=Bare",
                                                           "[Class Definition]",
                                                           "Zeta=",
                                                           "alpha=Effective\\Container",
                                                           "[Zeta: Super Class]",
                                                           "0=Top",
                                                           "1=top",
                                                           "2=Top",
                                                           "[Zeta: Optional Attribute]",
                                                           "0=b",
                                                           "1=a",
                                                           "2=c",
                                                           "[Zeta: Attribute]",
                                                           "0=kind five",
                                                           "[alpha: ASN]",
                                                           "0=1.3.6.1"}));
    Load(1, source);
    const std::string saved = dir.file("saved.txt");
    Save(1, saved);
    Load(2, saved);

    const TTreeInfo& one = ws.tree(1);
    const TTreeInfo& two = ws.tree(2);
    EXPECT_EQ(two.TreeName, "RICH");
    EXPECT_EQ(Texts(two.AttrNames), Texts(one.AttrNames));
    EXPECT_EQ(Texts(two.ClassNames), (std::vector<std::string>{"Zeta", "alpha", "Bare"}));
    for (const NameEntry& attr : one.AttrNames) {
        std::string d1, d2;
        GetAttrDef(ws, ui, 1, attr.name, d1);
        GetAttrDef(ws, ui, 2, attr.name, d2);
        EXPECT_EQ(d1, d2) << attr.name;
    }
    for (const NameEntry& cls : one.ClassNames) {
        TClassInfo c1, c2;
        GetClassDef(ws, ui, 1, cls.name, c1);
        GetClassDef(ws, ui, 2, cls.name, c2);
        EXPECT_EQ(c1.Flags, c2.Flags) << cls.name;
        for (int k = 0; k < kClassItemKinds; ++k)
            EXPECT_EQ(c1.Items[static_cast<std::size_t>(k)], c2.Items[static_cast<std::size_t>(k)])
                << cls.name << " kind " << k;
    }
    TClassInfo zeta;
    GetClassDef(ws, ui, 2, "Zeta", zeta);
    EXPECT_EQ(zeta.Items[ikSuperClass], (std::vector<std::string>{"Top", "top", "Top"}));
    EXPECT_EQ(zeta.Items[ikOptionalAttribute], (std::vector<std::string>{"b", "a", "c"}));
    std::string quoted;
    GetAttrDef(ws, ui, 2, "Quoted", quoted);
    EXPECT_EQ(quoted, "Q W");  // the quotes do not survive a read

    // Saving again gives the same bytes.
    const std::string again = dir.file("again.txt");
    Save(2, again);
    const std::string twice = dir.file("twice.txt");
    Save(2, twice);
    EXPECT_EQ(TempDir::read(again), TempDir::read(twice));
    EXPECT_TRUE(ui.dialogs.empty());
}

TEST_F(SchemaFileTest, SavingOverAnOldFileErasesItsSectionsButKeepsLeadingText) {
    const std::string target = dir.write(
        "old.txt", Crlf({"; kept note", "[Old Section]", "k=v", "[Classes]", "0=Gone", "1=Gone2"}));
    Load(1, dir.write("lab.txt", kLabTree));
    Save(1, target);
    EXPECT_EQ(TempDir::read(target), "; kept note\r\n" + kLabTree);
}

TEST_F(SchemaFileTest, MissingPiecesLoadAsEmptyWithoutMessages) {
    struct Case {
        const char* what;
        std::string content;  // empty: no file at all
        std::string treeName;
        std::vector<std::string> attrs, classes;
    };
    const std::vector<Case> cases = {
        {"no file", "", "Unknown tree name", {}, {}},
        {"no Settings", Crlf({"[Classes]", "0=Top"}), "Unknown tree name", {}, {"Top"}},
        {"Settings without Tree Name",
         Crlf({"[Settings]", "Other=1", "[Attributes]", "0=CN"}),
         "Unknown tree name",
         {"CN"},
         {}},
        {"empty file", "\r\n", "Unknown tree name", {}, {}},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string name = "case" + std::to_string(n++) + ".txt";
        const std::string path = c.content.empty() ? dir.file(name) : dir.write(name, c.content);
        Load(1, path);
        EXPECT_EQ(ws.tree(1).TreeName, c.treeName) << c.what;
        EXPECT_EQ(Texts(ws.tree(1).AttrNames), c.attrs) << c.what;
        EXPECT_EQ(Texts(ws.tree(1).ClassNames), c.classes) << c.what;
    }
    EXPECT_TRUE(ui.dialogs.empty());
}

TEST_F(SchemaFileTest, ClassWithoutAnyDefinitionIsEmpty) {
    Load(1, dir.write("bare.txt", Crlf({"[Classes]", "0=Bare", "[Class Definition]", "Other=F"})));
    TClassInfo info;
    info.Flags = "stale";
    info.Items[ikASN] = {"stale"};
    GetClassDef(ws, ui, 1, "Bare", info);
    EXPECT_EQ(info.Flags, "");
    for (const auto& items : info.Items) EXPECT_TRUE(items.empty());
    EXPECT_TRUE(ui.dialogs.empty());
}

TEST_F(SchemaFileTest, ASlotKeepsTheReadingMadeAtItsLoad) {
    // Names and definitions come from one reading: a file deleted or replaced after the
    // load changes nothing until it is loaded again.
    const std::string path = dir.write("gone.txt", kLabTree);
    Load(1, path);
    std::filesystem::remove(path);
    TClassInfo info;
    GetClassDef(ws, ui, 1, "Person", info);
    EXPECT_EQ(info.Flags, "Effective");
    EXPECT_EQ(info.Items[ikMandatoryAttribute], (std::vector<std::string>{"CN", "Surname"}));
    std::string definition;
    GetAttrDef(ws, ui, 1, "CN", definition);
    EXPECT_EQ(definition, "CI_STRING [Sized (1-64)]");

    std::string replaced = kLabTree;
    replaced.replace(replaced.find("Person=Effective"), 16, "Person=Auxiliary");
    replaced.replace(replaced.find("CN=CI_STRING [Sized (1-64)]"), 27, "CN=CE_STRING");
    dir.write("gone.txt", replaced);
    GetClassDef(ws, ui, 1, "Person", info);
    EXPECT_EQ(info.Flags, "Effective");
    GetAttrDef(ws, ui, 1, "CN", definition);
    EXPECT_EQ(definition, "CI_STRING [Sized (1-64)]");
    EXPECT_TRUE(ui.dialogs.empty());

    // Loading again takes the file as it now stands.
    Load(1, path);
    GetClassDef(ws, ui, 1, "Person", info);
    EXPECT_EQ(info.Flags, "Auxiliary");
    GetAttrDef(ws, ui, 1, "CN", definition);
    EXPECT_EQ(definition, "CE_STRING");
}

TEST_F(SchemaFileTest, OfflineReadsFollowTheFileBytes) {
    std::string longValue(3000, 'x');
    Load(1, dir.write("reads.txt",
                      Crlf({"[class definition]", "PERSON=  Effective  ", "[Attribute Definition]",
                            "Long=" + longValue, "Single='abc'", "[person: super class]", "9=Top",
                            "0=", "1=\"\"", "x=Last"})));
    TClassInfo info;
    GetClassDef(ws, ui, 1, "Person", info);
    EXPECT_EQ(info.Flags, "Effective");
    // File order, keys ignored; the empty entries read as what they hold.
    EXPECT_EQ(info.Items[ikSuperClass], (std::vector<std::string>{"Top", "", "", "Last"}));
    std::string definition;
    GetAttrDef(ws, ui, 1, "Long", definition);
    EXPECT_EQ(definition.size(), 2047u);
    GetAttrDef(ws, ui, 1, "single", definition);
    EXPECT_EQ(definition, "abc");
    // A missing key leaves what the caller passed.
    definition = "as passed";
    GetAttrDef(ws, ui, 1, "Nothing", definition);
    EXPECT_EQ(definition, "as passed");
}

TEST_F(SchemaFileTest, GarbageFileLoadsWhatItHolds) {
    std::mt19937 random(7);
    std::string garbage;
    for (int i = 0; i < 20000; ++i) garbage.push_back(static_cast<char>(random() & 0xFF));
    garbage += "\n[Classes]\n0=Found\n";
    garbage += std::string("\0\0[Found: ASN\n=\n[[]]\n", 19);
    const std::string path = dir.write("garbage.txt", garbage);
    ASSERT_NO_THROW(Load(1, path));
    const NameList classes = ws.tree(1).ClassNames;
    EXPECT_FALSE(classes.empty());
    for (const NameEntry& cls : classes) {
        TClassInfo info;
        EXPECT_NO_THROW(GetClassDef(ws, ui, 1, cls.name, info));
    }
    for (const NameEntry& attr : ws.tree(1).AttrNames) {
        std::string definition;
        EXPECT_NO_THROW(GetAttrDef(ws, ui, 1, attr.name, definition));
    }
    // And it can be saved again as a proper schema file.
    const std::string saved = dir.file("resaved.txt");
    ASSERT_NO_THROW(Save(1, saved));
    Load(2, saved);
    // Empty names are not written, so they do not come back.
    std::vector<std::string> expected;
    for (const NameEntry& cls : classes)
        if (!cls.name.empty()) expected.push_back(cls.name);
    EXPECT_EQ(Texts(ws.tree(2).ClassNames), expected);
    EXPECT_NE(std::find(expected.begin(), expected.end(), "Found"), expected.end());
}

// Saves slot 1 into target, which must fail; returns the error's text and file name.
std::pair<std::string, std::string> FailingSave(Workspace& ws, UiHooks& ui,
                                                const std::string& target) {
    try {
        SaveSchemaFile(ws, ui, 1, target, nullptr);
    } catch (const IniWriteError& e) {
        return {e.what(), e.fileName()};
    }
    return {"the save did not fail", ""};
}

// A target that cannot be created or replaced fails the save before a single definition is
// read (the status shows each read), with the message a late failure gives, and a detail.
TEST_F(SchemaFileTest, UnwritableTargetFailsBeforeAnyRead) {
    Load(1, dir.write("lab.txt", kLabTree));
    std::filesystem::create_directory(dir.file("folder.txt"));
    ASSERT_EQ(::mkfifo(dir.file("fifo.txt").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir.file("nowhere.txt"), dir.file("dangling.txt"));
    dir.write("plain", "not a folder");
    std::vector<std::pair<std::string, std::string>> targets = {
        {dir.file("folder.txt"), "is a folder, not a file"},
        {dir.file("fifo.txt"), "not a regular file"},
        {dir.file("dangling.txt"), "a symbolic link that leads nowhere"},
        {dir.file("plain/x.txt"), std::strerror(ENOTDIR)},
        {dir.file("missing/x.txt"), std::strerror(ENOENT)},
    };
    if (geteuid() != 0) {
        std::filesystem::create_directory(dir.file("locked"));
        const std::string locked = dir.write("locked/LAB_TREE.txt", "old");
        std::filesystem::permissions(dir.file("locked"), std::filesystem::perms::owner_read |
                                                             std::filesystem::perms::owner_exec);
        targets.emplace_back(locked, std::strerror(EACCES));
    }
    for (const auto& [target, detail] : targets) {
        int statuses = 0;
        try {
            SaveSchemaFile(ws, ui, 1, target, [&statuses](const std::string&) { ++statuses; });
            ADD_FAILURE() << target << ": the save did not fail";
        } catch (const IniWriteError& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + target);
            EXPECT_EQ(e.detail(), detail) << target;
        }
        EXPECT_EQ(statuses, 0) << target << ": definitions were read first";
    }
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("dangling.txt")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("nowhere.txt")));
}

TEST_F(SchemaFileTest, FailedSaveLeavesTheOldFileAndRaises) {
    Load(1, dir.write("lab.txt", kLabTree));
    const std::string old = Crlf({"; the previous save", "[Settings]", "Tree Name=OLD"});

    // A parent that is a regular file stops everyone, root included.
    dir.write("plain", "not a folder");
    const std::string underFile = dir.file("plain/LAB_TREE.txt");
    EXPECT_EQ(FailingSave(ws, ui, underFile),
              std::make_pair("Unable to write to " + underFile, underFile));

    // The disk filling up half-way through (a file size limit binds root too): the old
    // file stays whole.
    const std::string full = dir.write("full.txt", old);
    // Another reader of the same path (a slot that loaded it) is open all along.
    auto holder = std::make_unique<IniFile>(full);
    ASSERT_EQ(holder->ReadString("Settings", "Tree Name", ""), "OLD");
    std::pair<std::string, std::string> failure;
    {
        const FileSizeLimit limit(200);  // less than the new file needs
        ASSERT_TRUE(limit.set());
        failure = FailingSave(ws, ui, full);
    }
    EXPECT_EQ(failure, std::make_pair("Unable to write to " + full, full));
    EXPECT_EQ(TempDir::read(full), old);
    EXPECT_EQ(holder->ReadString("Settings", "Tree Name", ""), "OLD");
    EXPECT_EQ(holder->ReadString("Classes", "0", "none"), "none");
    holder.reset();
    {
        // The failed save's writes are not kept to be flushed later by someone else.
        IniFile reader(full);
        EXPECT_EQ(reader.ReadString("Settings", "Tree Name", ""), "OLD");
    }
    EXPECT_EQ(TempDir::read(full), old);
    // Nothing is left behind beside it.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 3u);  // lab.txt, plain, full.txt

    // A name the INI layer refuses to store as a key (it would read back as another key):
    // the save fails as a whole, before the old file is touched.
    ws.tree(1).ClassNames.push_back({"Odd=Name", 0});
    const std::string refused = dir.write("refused.txt", old);
    EXPECT_EQ(FailingSave(ws, ui, refused),
              std::make_pair("Unable to write to " + refused, refused));
    EXPECT_EQ(TempDir::read(refused), old);
    ws.tree(1).ClassNames.pop_back();

    if (geteuid() != 0) {
        // A folder that cannot be written into, holding the previous save.
        std::filesystem::create_directory(dir.file("locked"));
        const std::string locked = dir.write("locked/LAB_TREE.txt", old);
        std::filesystem::permissions(dir.file("locked"), std::filesystem::perms::owner_read |
                                                             std::filesystem::perms::owner_exec);
        EXPECT_EQ(FailingSave(ws, ui, locked),
                  std::make_pair("Unable to write to " + locked, locked));
        EXPECT_EQ(TempDir::read(locked), old);
    }

    // The failures left the slot's own file readable as before.
    TClassInfo info;
    GetClassDef(ws, ui, 1, "Top", info);
    EXPECT_EQ(info.Flags, "Effective\\Non-Removable");
}

}  // namespace
