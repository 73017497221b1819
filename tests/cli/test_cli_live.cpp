// tree: operands through the simulated directory client: the tree list, live comparisons,
// saving a schema file as the window saves it, and directory errors.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "RecordingUi.h"
#include "TempDir.h"
#include "core/SchemaFile.h"
#include "core/Workspace.h"
#include "core/directory/D_NW.h"
#include "sources/ClientFactory.h"

namespace {

const std::string kClient = CliData("sim/client.json");
const EnvChanges kSim = {{"KALVIX_CLIENT", kClient}};
const EnvChanges kFailing = {{"KALVIX_CLIENT", CliData("sim/client-failing.json")}};

const char* const kAlphaBetaQuick =
    "Classes - Unique on Tree #1\nGroup\n\n"
    "Classes - Common Classes\nPerson\nTop\n\n"
    "Classes - Unique on Tree #2\nPrinter\n\n"
    "Attributes - Unique on Tree #1\nDescription\n\n"
    "Attributes - Common Attributes\nCN\nObject Class\nSurname\n\n"
    "Attributes - Unique on Tree #2\n";

// The schema file the window's "Save to File" writes for the tree: its online load, then
// the core's save.
std::string SavedAsTheWindowDoes(const std::string& treeName, const std::string& path) {
    Workspace ws(CreateClientFromConfig(kClient));
    RecordingUi ui;
    for (int tree = 1; tree <= 2; ++tree) ws.client().dcNewContext(ws.tree(tree).Context);
    EXPECT_EQ(InitNetWare(ws.client(), ws.Session, ui) & 0xFFFF, 0u);
    TTreeInfo& slot = ws.tree(1);
    slot.Online = 1;
    slot.TreeName = treeName;
    EXPECT_EQ(DSChangeCurrentTree(ws.client(), slot.Context, treeName), 0);
    ChangeContextFlags(ws.client(), slot.Context, '+', 4);
    EXPECT_EQ(U_DSReadAvailableClasses(ws.client(), slot.Context, slot.ClassNames), 0);
    EXPECT_EQ(U_DSReadAvailableAttributes(ws.client(), slot.Context, "*", slot.AttrNames), 0);
    SortNames(slot.ClassNames);
    SortNames(slot.AttrNames);
    SaveSchemaFile(ws, ui, 1, path, {});
    EXPECT_TRUE(ui.dialogs.empty());
    return ReadBytes(path);
}

std::vector<std::string> SectionHeaders(const std::string& bytes) {
    std::vector<std::string> headers;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string::npos) end = bytes.size();
        if (bytes[start] == '[') headers.push_back(bytes.substr(start, end - start));
        start = bytes.find_first_not_of("\r\n", end);
    }
    return headers;
}

TEST(CliLive, TreesListsEachReachableTreeOnceAsTheSelectorsDo) {
    const CliResult r = RunCli({"trees"}, kSim);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "ALPHA_TREE\nBeta\n");
    EXPECT_EQ(r.err, "");
}

TEST(CliLive, LiveTreesCompareLikeFiles) {
    const CliResult r = RunCli({"quick", "tree:ALPHA_TREE", "tree:Beta"}, kSim);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, kAlphaBetaQuick);
    // Any letter case names the tree the selectors list.
    EXPECT_EQ(RunCli({"quick", "tree:alpha_tree", "tree:BETA"}, kSim).out, kAlphaBetaQuick);

    const CliResult classes = RunCli({"compare-classes", "tree:ALPHA_TREE", "tree:Beta"}, kSim);
    EXPECT_EQ(classes.status, 1);
    EXPECT_EQ(classes.out,
              "Tree #1 - Unique Class: \"Group\"\n"
              "Tree #2 - Unique Class: \"Printer\"\n"
              "Tree #1 - Class Definition for \"Person\" has Mandatory Attribute: \"Surname\"\n"
              "Tree #2 - Class Definition for \"Person\" has Optional Attribute: \"Surname\"\n");
    EXPECT_EQ(RunCli({"compare", "tree:Beta", "tree:beta"}, kSim).status, 0);
}

TEST(CliLive, JsonNamesTheLiveTreeAsListed) {
    const CliResult r =
        RunCli({"quick", "--format", "json", "tree:alpha_tree", CliData("lab_1.txt")}, kSim);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\"trees\": [\n    {\n      \"tree\": 1,\n      \"name\": "
                         "\"ALPHA_TREE\",\n      \"source\": \"live\"\n    },"),
              std::string::npos)
        << r.out;
}

TEST(CliLive, SaveWritesTheFileTheWindowWrites) {
    TempDir dir;
    const std::string expected = SavedAsTheWindowDoes("ALPHA_TREE", dir.file("window.txt"));
    const std::vector<std::string> headers = {
        "[Settings]",
        "[Attributes]",
        "[Attribute Definition]",
        "[Classes]",
        "[Class Definition]",
        "[Group: Super Class]",
        "[Group: Mandatory Attribute]",
        "[Group: ASN]",
        "[Person: Super Class]",
        "[Person: Naming Attribute]",
        "[Person: Mandatory Attribute]",
        "[Person: Optional Attribute]",
        "[Person: ASN]",
        "[Top: Mandatory Attribute]",
        "[Top: ASN]",
    };
    EXPECT_EQ(SectionHeaders(expected), headers);

    const std::string out = dir.file("alpha.txt");
    const CliResult r = RunCli({"save", "tree:alpha_tree", out}, kSim);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadBytes(out), expected);
    // Saving again over the file gives the same bytes, and nothing else is left beside it.
    EXPECT_EQ(RunCli({"save", "tree:ALPHA_TREE", out}, kSim).status, 0);
    EXPECT_EQ(ReadBytes(out), expected);
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"alpha.txt", "window.txt"}));

    // The snapshot compares with its tree as the tree with itself.
    EXPECT_EQ(RunCli({"compare", out, "tree:ALPHA_TREE"}, kSim).status, 0);
    EXPECT_EQ(RunCli({"compare", "-q", out, "tree:Beta"}, kSim).out,
              RunCli({"compare", "-q", "tree:ALPHA_TREE", "tree:Beta"}, kSim).out);
    EXPECT_EQ(RunCli({"show", out, "Person"}, kSim).out,
              RunCli({"show", "tree:ALPHA_TREE", "Person"}, kSim).out);
}

// Special files where a file is expected: refused at once with a clear message, exit 2,
// and left as they are. Each would block a plain open for ever.
TEST(CliLive, FifosAreRefusedNotWaitedOn) {
    TempDir dir;
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string dangling = dir.file("dangling.txt");
    ASSERT_EQ(::symlink(dir.file("nowhere.txt").c_str(), dangling.c_str()), 0);

    const CliResult save = RunCli({"save", "tree:Beta", fifo}, kSim);
    EXPECT_EQ(save.status, 2);
    EXPECT_EQ(save.err, "kalvix-cli: Unable to write to " + fifo + ": not a regular file\n");

    const CliResult link = RunCli({"save", "tree:Beta", dangling}, kSim);
    EXPECT_EQ(link.status, 2);
    EXPECT_EQ(link.err, "kalvix-cli: Unable to write to " + dangling +
                            ": a symbolic link that leads nowhere\n");
    struct stat st {};
    EXPECT_EQ(::lstat(dangling.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_NE(::access(dir.file("nowhere.txt").c_str(), F_OK), 0);

    const CliResult config = RunCli({"trees"}, {{"KALVIX_CLIENT", fifo}});
    EXPECT_EQ(config.status, 2);
    EXPECT_NE(config.err.find(fifo + ": not a regular file"), std::string::npos) << config.err;

    const std::string sources =
        dir.write("client.json",
                  "{\"connections\": [{\"kind\": \"schema-files\", \"treeName\": \"F\", "
                  "\"files\": [\"pipe\"]}]}");
    const CliResult source = RunCli({"quick", "tree:F", "tree:F"}, {{"KALVIX_CLIENT", sources}});
    EXPECT_EQ(source.status, 2);
    EXPECT_NE(source.err.find(fifo + ": not a regular file"), std::string::npos) << source.err;

    struct stat fst {};
    ASSERT_EQ(::stat(fifo.c_str(), &fst), 0);
    EXPECT_TRUE(S_ISFIFO(fst.st_mode));
}

TEST(CliLive, SaveThatCannotWriteLeavesTheOldFile) {
    TempDir dir;
    const CliResult noFolder =
        RunCli({"save", "tree:Beta", dir.file("no/such/folder/beta.txt")}, kSim);
    EXPECT_EQ(noFolder.status, 2);
    EXPECT_EQ(noFolder.out, "");
    EXPECT_EQ(noFolder.err, "kalvix-cli: Unable to write to " +
                                dir.file("no/such/folder/beta.txt") +
                                ": No such file or directory\n");

    if (geteuid() == 0) GTEST_SKIP() << "root writes into a read-only folder";
    const std::string old = dir.write("locked/beta.txt", "[Settings]\r\nTree Name=OLD\r\n");
    ASSERT_EQ(chmod(dir.file("locked").c_str(), 0555), 0);
    const CliResult locked = RunCli({"save", "tree:Beta", old}, kSim);
    EXPECT_EQ(locked.status, 2);
    EXPECT_EQ(locked.err, "kalvix-cli: Unable to write to " + old + ": Permission denied\n");
    EXPECT_EQ(ReadBytes(old), "[Settings]\r\nTree Name=OLD\r\n");
}

TEST(CliLive, ASaveWhoseReadingFailedKeepsTheOldSnapshot) {
    // A source with a class name longer than the reads take (it used to cut the class list
    // short, and the save wrote what was left), and a tree whose definition reads of one
    // attribute fail: the old snapshot stays as it was, and the message says so.
    TempDir dir;
    dir.write("long.schema", "objectclass ( 1.1 NAME '" + std::string(5000, 'L') +
                                 "' )\nobjectclass ( 1.2 NAME 'person' MUST cn )\n"
                                 "attributetype ( 2.5.4.3 NAME 'cn' )\n");
    const std::string config = dir.write("client.json", R"({"connections": [
            {"treeName": "ALPHA_TREE", "treeFile": ")" + CliData("sim/alpha.json") +
                                                            R"("},
            {"kind": "schema-files", "treeName": "LONG", "files": ["long.schema"]}],
            "primary": 0})");
    const std::string old = "[Settings]\r\nTree Name=OLD\r\n[Classes]\r\n0=Kept\r\n";
    struct Case {
        std::string tree;
        EnvChanges env;
        std::string failedRead;
        std::string reported;  // by the failed read itself, before
    };
    const Case cases[] = {
        // What the source left out is named, never cut.
        {"LONG",
         {{"KALVIX_CLIENT", config}},
         "The schema file " + dir.file("long.schema") +
             " is read without the definitions that do not parse",
         "its name \"" + std::string(40, 'L') +
             "...\" has 5000 bytes, more than the 4047 the reads take"},
        {"Beta", kFailing, "the attribute \"Surname\"",
         "kalvix-cli: cannot read the attribute \"Surname\": No such attribute (error "
         "FFFFFDA5)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tree);
        const std::string snapshot = dir.write(c.tree + ".txt", old);
        const CliResult kept = RunCli({"save", "tree:" + c.tree, snapshot}, c.env);
        EXPECT_EQ(kept.status, 2);
        EXPECT_EQ(kept.out, "");
        EXPECT_EQ(ReadBytes(snapshot), old);
        EXPECT_NE(kept.err.find(c.reported), std::string::npos) << kept.err;
        const std::string said = "kalvix-cli: Reading the tree \"" + c.tree + "\" failed (" +
                                 c.failedRead + "); " + snapshot + " was kept as it was\n";
        EXPECT_TRUE(kept.err.ends_with(said)) << kept.err;

        const std::string missing = dir.file(c.tree + "-new.txt");
        const CliResult none = RunCli({"save", "tree:" + c.tree, missing}, c.env);
        EXPECT_EQ(none.status, 2);
        EXPECT_FALSE(std::filesystem::exists(missing));
        EXPECT_TRUE(none.err.ends_with("; nothing was written to " + missing + "\n")) << none.err;
    }
}

TEST(CliLive, UnknownTreeOrNoClientIsTroubleSaidInWords) {
    // An unknown name is no tree of the configuration, with the likely one when close.
    const std::string none = "kalvix-cli: no tree named \"";
    const std::string known = " (known: ALPHA_TREE, Beta)\n";
    const std::pair<std::string, std::string> names[] = {
        {"Gamma", ""},
        {"Betta", "; did you mean \"Beta\"?"},
        {"alpha", "; did you mean \"ALPHA_TREE\"?"},
        {"ALPHA-TREE", "; did you mean \"ALPHA_TREE\"?"},
    };
    for (const auto& [name, meant] : names) {
        const CliResult unknown = RunCli({"compare", "tree:" + name, "tree:Beta"}, kSim);
        EXPECT_EQ(unknown.status, 2);
        EXPECT_EQ(unknown.out, "");
        EXPECT_EQ(unknown.err, none + name + "\" in " + kClient + meant + known);
    }

    // No configuration at all, one that is not there, and one without a usable connection:
    // what is wrong and what to do, on one line each.
    TempDir dir;
    std::filesystem::create_directories(dir.file("share/kalvix/demo"));
    const std::string demo = dir.write("share/kalvix/demo/kalvix-client.json", "{}");
    const std::string broken =
        dir.write("broken.json", R"({"connections": [{"treeName": "X", "uri": "ldap://x/"}]})");
    const struct {
        EnvChanges env;
        std::string err;
    } failures[] = {
        {{{"KALVIX_CLIENT", ""},
          {"HOME", dir.file("home")},
          {"XDG_CONFIG_HOME", ""},
          {"XDG_CONFIG_DIRS", dir.file("none")},
          {"XDG_DATA_DIRS", dir.file("share")}},
         "kalvix-cli: no directory client configuration (set KALVIX_CLIENT, or create "
         "~/.config/kalvix/kalvix-client.json as kalvix-client.json(5) describes; the demo is " +
             demo + ")\n"},
        {{{"KALVIX_CLIENT", "/nonexistent/client.json"}},
         "kalvix-cli: cannot use the directory client configuration: /nonexistent/client.json: "
         "no such file (mend it as kalvix-client.json(5) describes, or name another with "
         "KALVIX_CLIENT)\n"},
        {{{"KALVIX_CLIENT", broken}},
         "kalvix-cli: " + broken +
             ": connection 1 (\"X\"): no \"kind\" is given, so the connection is taken as a "
             "\"tree-file\"; its key \"uri\" is one of \"ldap\": add \"kind\": \"ldap\" (the "
             "connection is left out)\n"
             "kalvix-cli: no connection in " +
             broken + " can be used (mend them as kalvix-client.json(5) describes)\n"},
    };
    for (const auto& failure : failures) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"trees"},
              std::vector<std::string>{"quick", "tree:Beta", CliData("lab_1.txt")},
              std::vector<std::string>{"save", "tree:Beta", "/nonexistent/beta.txt"}}) {
            SCOPED_TRACE(args[0]);
            const CliResult r = RunCli(args, failure.env);
            EXPECT_EQ(r.status, 2);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err, failure.err);
        }
    }
    // Files alone never need the client.
    EXPECT_EQ(
        RunCli({"compare", CliData("lab_1.txt"), CliData("lab_1.txt")}, failures[1].env).status, 0);
}

// A connection that cannot be used is named once and the others serve as usual: no trouble.
TEST(CliLive, AnUnusableConnectionIsNamedAndTheOthersServe) {
    TempDir dir;
    const std::string config = dir.write("client.json", R"({"connections": [
            {"treeName": "ALPHA_TREE", "treeFile": ")" + CliData("sim/alpha.json") +
                                                            R"("},
            {"kind": "ldap", "treeName": "LAB", "uri": "ldap://x/", "bindDn": "cn=r"},
            {"treeName": "Beta", "treeFile": ")" + CliData("sim/beta.json") +
                                                            R"("}]})");
    const std::string said = "kalvix-cli: " + config +
                             ": connection 2 (\"LAB\"): \"bindDn\" and \"passwordFile\" go "
                             "together (the connection is left out)\n";
    const CliResult trees = RunCli({"trees"}, {{"KALVIX_CLIENT", config}});
    EXPECT_EQ(trees.status, 0);
    EXPECT_EQ(trees.out, "ALPHA_TREE\nBeta\n");
    EXPECT_EQ(trees.err, said);
    const CliResult quick =
        RunCli({"quick", "tree:ALPHA_TREE", "tree:Beta"}, {{"KALVIX_CLIENT", config}});
    EXPECT_EQ(quick.status, 1);
    EXPECT_EQ(quick.out, kAlphaBetaQuick);
    EXPECT_EQ(quick.err, said);
}

TEST(CliLive, DirectoryErrorsAreReportedAndTheRunGoesOn) {
    const CliResult r = RunCli({"compare", "tree:ALPHA_TREE", "tree:Beta"}, kFailing);
    EXPECT_EQ(r.status, 2);
    // What failed, the client's explanation, the code last.
    const std::string error =
        "kalvix-cli: cannot read the attribute \"Surname\": No such attribute (error FFFFFDA5)\n";
    // Once for each tree; both reads fail alike, so the definitions compare equal.
    EXPECT_EQ(r.err, error + error);
    // Everything else is as without the failure.
    const std::string clean = RunCli({"compare", "tree:ALPHA_TREE", "tree:Beta"}, kSim).out;
    std::string expected;
    std::istringstream lines(clean);
    for (std::string line; std::getline(lines, line);)
        if (line.find("Attribute Definition for \"Surname\"") == std::string::npos)
            expected += line + "\n";
    EXPECT_NE(expected, clean);
    EXPECT_EQ(r.out, expected);

    const CliResult show = RunCli({"show", "tree:Beta", "Surname"}, kFailing);
    EXPECT_EQ(show.status, 2);
    EXPECT_EQ(show.out, "Surname\n      \n");
    EXPECT_EQ(show.err, error);
}

TEST(CliLive, ARunWhoseEveryReadFailsStopsWithOneMessageAndNoVerdict) {
    TempDir dir;
    const std::string config = dir.write("client.json", R"({"connections": [
            {"treeName": "ALPHA_TREE", "treeFile": ")" + CliData("sim/alpha.json") +
                                                            R"("},
            {"treeName": "Beta", "treeFile": ")" + CliData("sim/beta.json") +
                                                            R"("}],
        "messages": {"-603": "No such attribute"},
        "failures": [{"operation": "dcAddAttrName", "code": -603}]})");
    const CliResult r =
        RunCli({"compare-attributes", "tree:ALPHA_TREE", "tree:Beta"}, {{"KALVIX_CLIENT", config}});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "Tree #1 - Unique Attribute: \"Description\"\n");
    // One message (and the client's explanation beneath it), not one a definition.
    EXPECT_EQ(r.err,
              "Reading the definitions of Tree #1 \"ALPHA_TREE\" failed (Error FFFFFDA5: "
              "U_DSGetAttributeInfo: CN); the comparison stopped\nNo such attribute\n");
    EXPECT_EQ(r.err.find("No differences found"), std::string::npos) << r.err;
}

TEST(CliLive, ATreeThatCannotBeLoadedGetsNoComparisonAtAll) {
    // A server that is down, and a source with no schema in it: the run reports the
    // failure and prints no comparison (every name of the other tree would pass for unique).
    TempDir dir;
    dir.write("empty.schema", "# nothing here\n");
    const std::string config = dir.write("client.json", R"({"connections": [
            {"treeName": "ALPHA_TREE", "treeFile": ")" + CliData("sim/alpha.json") +
                                                            R"("},
            {"kind": "ldap", "treeName": "DOWN", "uri": "ldap://127.0.0.1:9", "timeout": 2},
            {"kind": "schema-files", "treeName": "EMPTY", "files": ["empty.schema"]}],
            "primary": 0})");
    const EnvChanges env = {{"KALVIX_CLIENT", config}};
    for (const char* broken : {"tree:DOWN", "tree:EMPTY"}) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"compare", "tree:ALPHA_TREE", broken},
              std::vector<std::string>{"compare", broken, "tree:ALPHA_TREE", "--format", "json"},
              std::vector<std::string>{"quick", "tree:ALPHA_TREE", broken}}) {
            const CliResult r = RunCli(args, env);
            EXPECT_EQ(r.status, 2) << broken << " " << args[0];
            EXPECT_EQ(r.out, "") << broken << " " << args[0];
            EXPECT_NE(r.err.find("nothing was compared"), std::string::npos) << r.err;
            EXPECT_EQ(r.err.find("No differences found"), std::string::npos) << r.err;
        }
    }
}

}  // namespace
