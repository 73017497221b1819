// The tool's contract with scripts: exit statuses, what goes to standard output and what to
// standard error, usage errors and unreadable operands.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "CliRunner.h"
#include "TempDir.h"

namespace {

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

struct BadCall {
    const char* what;
    std::vector<std::string> args;
    std::string firstLine;
    const char* usage;  // a line the usage that follows must hold
};

TEST(CliUsage, WrongCommandsAndOperandsGetOneLineAndTheUsage) {
    const std::string lab1 = CliData("lab_1.txt");
    const std::string lab2 = CliData("lab_2.txt");
    const std::vector<BadCall> calls = {
        {"unknown command",
         {"frobnicate", lab1, lab2},
         "kalvix-cli: unknown command 'frobnicate'",
         "Usage: kalvix-cli COMMAND"},
        {"an option as command",
         {"--quiet"},
         "kalvix-cli: unknown command '--quiet'",
         "Usage: kalvix-cli COMMAND"},
        {"too few operands",
         {"quick", lab1},
         "kalvix-cli: quick needs 2 operands, got 1",
         "Usage: kalvix-cli quick"},
        {"too many operands",
         {"compare", lab1, lab2, lab2},
         "kalvix-cli: unexpected operand '" + lab2 + "' for compare",
         "Usage: kalvix-cli compare"},
        {"operands for trees",
         {"trees", "x"},
         "kalvix-cli: unexpected operand 'x' for trees",
         "Usage: kalvix-cli trees"},
        {"unknown option",
         {"compare-classes", "--fast", lab1, lab2},
         "kalvix-cli: unknown option '--fast' for compare-classes",
         "Usage: kalvix-cli compare-classes"},
        {"option of another command",
         {"show", "--format", "json", lab1, "Top"},
         "kalvix-cli: unknown option '--format' for show",
         "Usage: kalvix-cli show"},
        {"unknown format",
         {"quick", "--format=xml", lab1, lab2},
         "kalvix-cli: unknown format 'xml' (use text, json, html or csv)",
         "Usage: kalvix-cli quick"},
        {"format without value",
         {"quick", lab1, lab2, "--format"},
         "kalvix-cli: --format needs a value: text, json, html or csv",
         "Usage: kalvix-cli quick"},
        {"both kinds",
         {"show", "--class", "--attribute", lab1, "Top"},
         "kalvix-cli: --class and --attribute exclude each other",
         "Usage: kalvix-cli show"},
        {"save from a file",
         {"save", lab1, "out.txt"},
         "kalvix-cli: save reads a live tree: write the tree as tree:NAME, not a file",
         "Usage: kalvix-cli save"},
        {"save into a tree",
         {"save", "tree:A", "tree:B"},
         "kalvix-cli: save writes a file, not a tree: tree:B",
         "Usage: kalvix-cli save"},
        {"fields --ignore does not know",
         {"compare", "--ignore", "descripton,names", "--ignore=x-origin,Bogus", lab1, lab2},
         "kalvix-cli: unknown fields 'descripton', 'Bogus' for --ignore (use an extension's X- "
         "name, or any of these in any letter case: OID, Names, Description, Obsolete, Super "
         "Type, Super Class, Super Rule, Kind, Equality, Ordering, Substring, Syntax, Single "
         "Value, Collective, No User Modification, Usage, Name Form, Structural Class, Auxiliary "
         "Class, Mandatory Attribute, Optional Attribute, Precluded Attribute, Applies To, NAME, "
         "DESC, OBSOLETE, SUP, ABSTRACT, STRUCTURAL, AUXILIARY, EQUALITY, ORDERING, SUBSTR, "
         "SYNTAX, SINGLE-VALUE, COLLECTIVE, "
         "NO-USER-MODIFICATION, USAGE, FORM, OC, AUX, Auxiliary, MUST, Mandatory, MAY, Optional, "
         "NOT, Precluded, APPLIES, extensions, none)",
         "Usage: kalvix-cli compare [--format text|json|html|csv] [--ignore LIST]"},
        {"--ignore without value",
         {"compare-classes", lab1, lab2, "--ignore"},
         "kalvix-cli: --ignore needs a value: fields, or none",
         "Usage: kalvix-cli compare-classes"},
        {"--ignore with nothing in its list",
         {"compare-attributes", "--ignore= , ", lab1, lab2},
         "kalvix-cli: --ignore needs fields, or none",
         "Usage: kalvix-cli compare-attributes"},
        {"--ignore for the quick check, which compares names only",
         {"quick", "--ignore", "none", lab1, lab2},
         "kalvix-cli: unknown option '--ignore' for quick",
         "Usage: kalvix-cli quick"},
        {"survey without trees",
         {"survey", lab1},
         "kalvix-cli: survey needs trees to compare with the baseline (or --all-trees)",
         "Usage: kalvix-cli survey"},
        {"survey with no jobs",
         {"survey", "--jobs=0", lab1, lab2},
         "kalvix-cli: --jobs needs a number from 1 to 256, not '0'",
         "Usage: kalvix-cli survey"},
        {"survey with jobs that are no number",
         {"survey", lab1, lab2, "--jobs", "8x"},
         "kalvix-cli: --jobs needs a number from 1 to 256, not '8x'",
         "Usage: kalvix-cli survey"},
        {"survey of standard input",
         {"survey", lab1, "-"},
         "kalvix-cli: standard input (-) can serve as the survey's baseline only",
         "Usage: kalvix-cli survey"},
        {"tree without name",
         {"quick", "tree:", lab2},
         "kalvix-cli: 'tree:' needs a tree name",
         "Usage: kalvix-cli quick"},
    };
    for (const BadCall& call : calls) {
        SCOPED_TRACE(call.what);
        const CliResult r = RunCli(call.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(FirstLine(r.err), call.firstLine);
        EXPECT_NE(r.err.find(call.usage), std::string::npos) << r.err;
    }
}

TEST(CliUsage, HelpOnEveryCommandGoesToStandardOutput) {
    const std::vector<std::string> commands = {
        "trees", "save", "quick", "compare-classes", "compare-attributes", "compare", "show"};
    for (const std::string& command : commands) {
        SCOPED_TRACE(command);
        for (const char* flag : {"--help", "-h"}) {
            // Help wins over anything else on the line, even a bad operand count.
            const CliResult r = RunCli({command, flag, "too", "many", "operands"});
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.err, "");
            EXPECT_EQ(FirstLine(r.out).rfind("Usage: kalvix-cli " + command, 0), 0u) << r.out;
            EXPECT_NE(r.out.find("Exit status"), std::string::npos);
        }
    }
    const CliResult overview = RunCli({"--help"});
    EXPECT_EQ(overview.status, 0);
    for (const std::string& command : commands)
        EXPECT_NE(overview.out.find("\n  " + command), std::string::npos) << command;
}

TEST(CliUsage, AfterDoubleDashAnOptionIsAnOperand) {
    TempDir dir;
    const std::string file = dir.write("--help", ReadBytes(CliData("lab_1.txt")));
    const CliResult r =
        RunCli({"compare", "--", "--help", CliData("lab_1.txt")}, {}, dir.path().string());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST(CliOperands, FilesThatCannotBeReadAreTrouble) {
    TempDir dir;
    const std::string lab = CliData("lab_1.txt");
    const std::string missing = dir.file("missing.txt");
    const std::string empty = dir.write("empty.txt", "");
    const std::string notSchema = dir.write("notes.txt", "just some\r\nnotes, no sections\r\n");
    const std::string locked = dir.write("locked.txt", ReadBytes(lab));
    ASSERT_EQ(chmod(locked.c_str(), 0), 0);
    const bool root = geteuid() == 0;  // root reads a file whatever its mode

    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::string message;
    };
    std::vector<Case> cases = {
        {"missing first",
         {"compare", missing, lab},
         "kalvix-cli: cannot read the schema file " + missing + ": No such file or directory"},
        {"missing second",
         {"quick", lab, missing},
         "kalvix-cli: cannot read the schema file " + missing + ": No such file or directory"},
        {"missing for show",
         {"show", missing, "Top"},
         "kalvix-cli: cannot read the schema file " + missing + ": No such file or directory"},
        {"a folder without schema files",
         {"compare-classes", dir.path().string(), lab},
         "kalvix-cli: cannot read the schema file " + dir.path().string() +
             ": no .schema or .ldif file in this folder (check the file or folder given)\n"
             "kalvix-cli: nothing was compared"},
        {"empty file",
         {"compare-attributes", lab, empty},
         "kalvix-cli: the file " + empty + " holds no schema (no class or attribute names)"},
        {"no schema",
         {"compare", notSchema, lab},
         "kalvix-cli: the file " + notSchema + " holds no schema (no class or attribute names)"},
    };
    const std::string fifo = dir.file("fifo.txt");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    cases.push_back({"a FIFO, which would block a plain open",
                     {"compare", fifo, lab},
                     "kalvix-cli: cannot read the schema file " + fifo + ": not a regular file"});
    const std::string huge = dir.file("huge.txt");
    if (truncate(dir.write("huge.txt", "").c_str(), off_t{4} << 30) == 0)
        cases.push_back(
            {"too large to address",
             {"compare", lab, huge},
             "kalvix-cli: cannot read the schema file " + huge + ": too large (4 GiB or more)"});
    if (!root)
        cases.push_back(
            {"unreadable",
             {"compare", locked, lab},
             "kalvix-cli: cannot read the schema file " + locked + ": Permission denied"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CliResult r = RunCli(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.message + "\n");
    }
    // A bare word that is no file but a configured tree's name.
    const EnvChanges env = {
        {"KALVIX_CLIENT",
         dir.write("client.json", R"({"connections": [{"treeName": "SLAPD24", "kind": "ldif",
                                     "file": "none.ldif"}]})")}};
    const CliResult r = RunCli({"compare", "slapd24", lab}, env, dir.path().string());
    EXPECT_EQ(r.err, "kalvix-cli: cannot read the schema file " + dir.file("slapd24") +
                         ": No such file or directory (did you mean tree:SLAPD24?)\n");
}

TEST(CliOperands, RelativePathsAreTakenFromTheWorkingFolder) {
    const CliResult r =
        RunCli({"compare-classes", "lab_1.txt", "./lab_2.txt"}, {}, KALVIX_CLI_DATA);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, ReadBytes(CliData("lab_compare-classes_expected.txt")));
}

TEST(CliStatus, DifferencesGiveOneAndGoToStandardOutputOnly) {
    const std::string lab1 = CliData("lab_1.txt");
    const std::string lab2 = CliData("lab_2.txt");
    for (const char* command : {"quick", "compare-classes", "compare-attributes", "compare"}) {
        SCOPED_TRACE(command);
        const CliResult r = RunCli({command, lab1, lab2});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.out, "");
        EXPECT_EQ(r.err, "") << "no progress and no message in a pipe";
    }
}

TEST(CliStatus, NoDifferencesGiveZeroAndTheMessageOnStandardError) {
    const std::string lab = CliData("lab_1.txt");
    for (const char* command : {"compare-classes", "compare-attributes", "compare"}) {
        SCOPED_TRACE(command);
        const CliResult r = RunCli({command, lab, lab});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "No differences found\n");

        const CliResult quiet = RunCli({command, "--quiet", lab, lab});
        EXPECT_EQ(quiet.status, 0);
        EXPECT_EQ(quiet.out, "");
        EXPECT_EQ(quiet.err, "");
    }
    // The quick check lists the common names even when nothing differs.
    const CliResult quick = RunCli({"quick", lab, lab});
    EXPECT_EQ(quick.status, 0);
    EXPECT_NE(quick.out.find("Classes - Common Classes\nGroup\nOrganization\n"), std::string::npos);
    EXPECT_EQ(quick.err, "No differences found\n");
    EXPECT_EQ(RunCli({"quick", "-q", lab, lab}).err, "");
}

TEST(CliShow, NamesNotInTheTreeAreTrouble) {
    const std::string lab = CliData("lab_1.txt");
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const std::vector<Case> cases = {
        {{"show", lab, "Printer"},
         "kalvix-cli: the tree \"LAB_TREE\" has no class or attribute named \"Printer\"\n"},
        {{"show", "--class", lab, "Surname"},
         "kalvix-cli: the tree \"LAB_TREE\" has no class named \"Surname\"\n"},
        {{"show", "--attribute", lab, "Person"},
         "kalvix-cli: the tree \"LAB_TREE\" has no attribute named \"Person\"\n"},
    };
    for (const Case& c : cases) {
        const CliResult r = RunCli(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.message);
    }
}

TEST(CliProgress, ATerminalGetsAProgressLineAPipeNone) {
    const std::string lab1 = CliData("lab_1.txt");
    const std::string lab2 = CliData("lab_2.txt");
    const CliResult r = RunCliWithTerminal({"compare", lab1, lab2});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, ReadBytes(CliData("lab_compare_expected.txt")));
    EXPECT_NE(r.err.find("\rComparing classes 1/6: Group"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\rComparing attributes 1/7: CN"), std::string::npos) << r.err;
    // The line is wiped at the end, so the prompt comes back on a clean line.
    EXPECT_EQ(r.err.substr(r.err.size() - 4), "\r\033[K");

    const CliResult quiet = RunCliWithTerminal({"compare", "--quiet", lab1, lab2});
    EXPECT_EQ(quiet.status, 1);
    EXPECT_EQ(quiet.out, r.out);
    EXPECT_EQ(quiet.err, "");
}

}  // namespace
