// kalvix-cli reconcile over schema-file trees: the document on standard output, the exit
// statuses, the sources it refuses and why, and its options.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "CliRunner.h"
#include "LdifRecords.h"
#include "TempDir.h"

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

namespace {

const char* const kCore =
    "attributetype ( 2.5.4.41 NAME 'name' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )\n"
    "attributetype ( 2.5.4.0 NAME 'objectClass' SYNTAX 1.3.6.1.4.1.1466.115.121.1.38 )\n"
    "objectclass ( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass )\n";

const char* const kSite =
    "objectidentifier Site 1.3.6.1.4.1.99999\n"
    "attributetype ( Site:1 NAME 'siteCode' SUP name )\n"
    "objectclass ( Site:2 NAME 'siteThing' SUP top AUXILIARY MAY siteCode )\n"
    "attributetype ( Site:3 NAME 'lost' SUP missing )\n";

class Reconcile : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string core = dir.write("core.schema", kCore);
        const std::string site = dir.write("site.schema", kSite);
        QJsonArray connections;
        auto files = [](const char* name, std::initializer_list<std::string> paths) {
            QJsonArray list;
            for (const std::string& p : paths) list.append(QString::fromStdString(p));
            return QJsonObject{{"kind", "schema-files"}, {"treeName", name}, {"files", list}};
        };
        connections.append(files("FULL", {core, site}));
        connections.append(files("BARE", {core}));
        connections.append(files("GONE", {dir.file("missing.schema")}));
        connections.append(
            QJsonObject{{"treeName", "DESCRIBED"},
                        {"treeFile", QString::fromStdString(CliData("sim/alpha.json"))}});
        env = {
            {"KALVIX_CLIENT",
             dir.write(
                 "client.json",
                 QJsonDocument(QJsonObject{{"connections", connections}}).toJson().toStdString())}};
    }

    TempDir dir;
    EnvChanges env;
};

std::vector<LdifChange> Read(const std::string& text) {
    std::vector<LdifChange> changes;
    std::string error;
    EXPECT_TRUE(ReadLdifChanges(text, changes, error)) << error << "\n" << text;
    return changes;
}

TEST_F(Reconcile, WritesTheDocumentAndSaysDifferent) {
    const CliResult r = RunCli({"reconcile", "-q", "tree:FULL", "tree:BARE"}, env);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_THAT(r.out, StartsWith("# Schema fix-up: "));
    EXPECT_THAT(r.out, HasSubstr("\n# Tree #1: FULL ("));
    EXPECT_THAT(r.out, HasSubstr("\n# Tree #2: BARE ("));
    EXPECT_THAT(r.out, HasSubstr("\n# Written by kalvix-cli at 20"));
    EXPECT_THAT(r.out, HasSubstr("# Not added: attribute type 'lost': its super type 'missing' is "
                                 "on neither tree\n"));
    const auto changes = Read(r.out);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].dn, "cn=schema");
    ASSERT_EQ(changes[0].modifications.size(), 2u);
    EXPECT_THAT(changes[0].modifications[0].values,
                ElementsAre("( 1.3.6.1.4.1.99999.1 NAME 'siteCode' SUP name )"));
    EXPECT_THAT(changes[0].modifications[1].values,
                ElementsAre("( 1.3.6.1.4.1.99999.2 NAME 'siteThing' SUP top AUXILIARY MAY "
                            "siteCode )"));

    const CliResult openldap = RunCli(
        {"reconcile", "--dialect=openldap", "--schema-name", "site", "tree:FULL", "tree:BARE"},
        env);
    EXPECT_EQ(openldap.status, 1) << openldap.err;
    EXPECT_THAT(openldap.out,
                HasSubstr("\n# A server configured by slapd.conf keeps it only until "
                          "it restarts: for one, write the definitions as a .schema "
                          "file to include (kalvix-cli reconcile --format schema)\n"));
    const auto entry = Read(openldap.out);
    ASSERT_EQ(entry.size(), 1u);
    EXPECT_EQ(entry[0].op, "add");
    EXPECT_EQ(entry[0].dn, "cn=site,cn=schema,cn=config");
}

TEST_F(Reconcile, NothingToAddIsZero) {
    const CliResult r = RunCli({"reconcile", "tree:BARE", "tree:FULL"}, env);
    EXPECT_EQ(r.status, 0) << r.err;
    // What no file defines is named where it is written, and is no failure.
    EXPECT_THAT(r.err, HasSubstr("/site.schema:4: attribute type lost: SUP missing\n"));
    EXPECT_THAT(r.err, EndsWith("\nNothing to add\n"));
    EXPECT_THAT(r.out, HasSubstr("# Nothing to add"));
    EXPECT_THAT(Read(r.out), IsEmpty());
}

TEST_F(Reconcile, SourcesWithoutPublishedDefinitionsAreTroubleThatSaysWhichWork) {
    const std::string file = dir.write("window.sch", "[Classes]\nTop=\n");
    for (const auto& [args, says] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"reconcile", file, "tree:BARE"}, "schema file of Kalvix's own format"},
             {{"reconcile", "tree:BARE", file}, "schema file of Kalvix's own format"},
             {{"reconcile", "tree:DESCRIBED", "tree:BARE"}, "is a tree description"},
             {{"reconcile", "tree:FULL", "tree:DESCRIBED"}, "is a tree description"}}) {
        const CliResult r = RunCli(args, env);
        EXPECT_EQ(r.status, 2) << args[1] << " " << args[2];
        EXPECT_EQ(r.out, "");
        EXPECT_THAT(r.err, HasSubstr(says));
        EXPECT_THAT(r.err, HasSubstr("an LDAP server, .schema files or an LDIF dump"));
    }
    const CliResult gone = RunCli({"reconcile", "tree:GONE", "tree:BARE"}, env);
    EXPECT_EQ(gone.status, 2);
    EXPECT_EQ(gone.out, "");
    EXPECT_THAT(gone.err, HasSubstr("missing.schema"));
    EXPECT_EQ(RunCli({"reconcile", "tree:FULL", "tree:NOWHERE"}, env).status, 2);
}

// A snapshot of a tree keeps its definitions: it serves as either tree, with the same
// document but for the header, which names the file.
TEST_F(Reconcile, ASnapshotServesAsEitherTree) {
    const CliResult live = RunCli({"reconcile", "-q", "tree:FULL", "tree:BARE"}, env);
    ASSERT_EQ(live.status, 1) << live.err;
    const std::string full = dir.file("full.txt");
    const std::string bare = dir.file("bare.txt");
    ASSERT_EQ(RunCli({"save", "-q", "tree:FULL", full}, env).status, 0);
    ASSERT_EQ(RunCli({"save", "-q", "tree:BARE", bare}, env).status, 0);
    for (const auto& [one, two, named] : std::vector<std::array<std::string, 3>>{
             {full, "tree:BARE", "\n# Tree #1: FULL (the snapshot " + full + " of "},
             {"tree:FULL", bare, "\n# Tree #2: BARE (the snapshot " + bare + " of "},
             {full, bare, "\n# Tree #2: BARE (the snapshot " + bare + " of "}}) {
        const CliResult r = RunCli({"reconcile", "-q", one, two}, env);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_THAT(r.out, HasSubstr(named));
        const auto changes = Read(r.out);
        const auto expected = Read(live.out);
        ASSERT_EQ(changes.size(), expected.size());
        for (std::size_t i = 0; i < changes.size(); ++i) {
            EXPECT_EQ(changes[i].dn, expected[i].dn);
            ASSERT_EQ(changes[i].modifications.size(), expected[i].modifications.size());
            for (std::size_t m = 0; m < changes[i].modifications.size(); ++m)
                EXPECT_EQ(changes[i].modifications[m].values, expected[i].modifications[m].values);
        }
    }
    EnvChanges input = env;
    input["INPUT"] = bare;
    const CliResult piped = RunProgram(
        "/bin/sh",
        {"-c", "exec \"$0\" \"$@\" < \"$INPUT\"", KALVIX_CLI, "reconcile", "-q", "tree:FULL", "-"},
        input);
    EXPECT_EQ(piped.status, 1) << piped.err;
    EXPECT_THAT(piped.out, HasSubstr("\n# Tree #2: BARE (the snapshot on standard input of "));

    // A snapshot of a tree description keeps none.
    const std::string described = dir.file("described.txt");
    ASSERT_EQ(RunCli({"save", "-q", "tree:DESCRIBED", described}, env).status, 0);
    const CliResult refused = RunCli({"reconcile", "tree:FULL", described}, env);
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.out, "");
    EXPECT_THAT(refused.err, HasSubstr(described + " is a schema file of Kalvix's own format "
                                                   "without published definitions"));
}

TEST_F(Reconcile, OptionsAreChecked) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"reconcile", "--dialect", "ldifde", "tree:FULL", "tree:BARE"},
             {"reconcile", "--format", "schema", "--dialect", "ad", "--schema-dn", "CN=S",
              "tree:FULL", "tree:BARE"},
             {"reconcile", "--schema-dn=", "tree:FULL", "tree:BARE"},
             {"reconcile", "tree:FULL", "tree:BARE", "--dialect"},
             {"reconcile", "--schema-name=", "tree:FULL", "tree:BARE"},
             {"reconcile", "--format", "json", "tree:FULL", "tree:BARE"},
             {"reconcile", "tree:FULL"},
             {"quick", "--include-changed", "tree:FULL", "tree:BARE"}}) {
        const CliResult r = RunCli(args, env);
        EXPECT_EQ(r.status, 2) << args[1];
        EXPECT_EQ(r.out, "");
        EXPECT_THAT(r.err, HasSubstr("Usage: kalvix-cli " + args[0])) << r.err;
    }
    const CliResult help = RunCli({"reconcile", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("--include-changed"));
    EXPECT_THAT(help.out, HasSubstr("--dialect openldap"));
    EXPECT_THAT(help.out, HasSubstr("--dialect ad"));
}

// The ad dialect needs to know where the schema objects go; schema files do not say.
TEST_F(Reconcile, AdDialectNeedsTheSchemaDnOrThePlaceholder) {
    const CliResult unnamed = RunCli({"reconcile", "--dialect=ad", "tree:FULL", "tree:BARE"}, env);
    EXPECT_EQ(unnamed.status, 2);
    EXPECT_EQ(unnamed.out, "");
    EXPECT_THAT(unnamed.err, HasSubstr("\"BARE\" names no schema naming context: give "
                                       "--schema-dn DN or --forest-placeholder"));
    for (const auto& [option, dn] : std::vector<std::pair<std::string, std::string>>{
             {"--forest-placeholder", "CN=siteCode,CN=Schema,CN=Configuration,DC=X"},
             {"--schema-dn=CN=Schema,CN=Configuration,DC=lab",
              "CN=siteCode,CN=Schema,CN=Configuration,DC=lab"}}) {
        const CliResult r =
            RunCli({"reconcile", "-q", "--dialect", "ad", option, "tree:FULL", "tree:BARE"}, env);
        EXPECT_EQ(r.status, 1) << r.err;
        const auto changes = Read(r.out);
        ASSERT_EQ(changes.size(), 4u);  // a type, a reload, a class, a reload
        EXPECT_EQ(changes[0].dn, dn);
        EXPECT_EQ(changes[1].dn, "");
    }
}

// For a server configured by slapd.conf: the definitions as a file to include.
TEST_F(Reconcile, SchemaFormatWritesASchemaFileOfTheSameDefinitions) {
    const CliResult r =
        RunCli({"reconcile", "-q", "--format", "schema", "tree:FULL", "tree:BARE"}, env);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_THAT(r.out, StartsWith("# Schema fix-up: "));
    EXPECT_THAT(r.out,
                HasSubstr("\nattributetype ( 1.3.6.1.4.1.99999.1 NAME 'siteCode' SUP name )\n"
                          "objectclass ( 1.3.6.1.4.1.99999.2 NAME 'siteThing' SUP top AUXILIARY "
                          "MAY siteCode )\n"));
    EXPECT_THAT(r.out, HasSubstr("# Not added: attribute type 'lost'"));
    // As a tree of its own, it gives Tree #2 what it lacked.
    const std::string file = dir.write("fix.schema", r.out);
    const std::string bare = dir.file("core.schema");
    QJsonArray connections;
    connections.append(QJsonObject{
        {"kind", "schema-files"},
        {"treeName", "FIXED"},
        {"files", QJsonArray{QString::fromStdString(bare), QString::fromStdString(file)}}});
    connections.append(
        QJsonObject{{"kind", "schema-files"},
                    {"treeName", "FULL"},
                    {"files", QJsonArray{QString::fromStdString(bare),
                                         QString::fromStdString(dir.file("site.schema"))}}});
    const EnvChanges fixed = {
        {"KALVIX_CLIENT",
         dir.write(
             "fixed.json",
             QJsonDocument(QJsonObject{{"connections", connections}}).toJson().toStdString())}};
    const CliResult again = RunCli({"reconcile", "-q", "tree:FULL", "tree:FIXED"}, fixed);
    EXPECT_EQ(again.status, 1);
    EXPECT_THAT(Read(again.out), IsEmpty()) << again.out;
}

}  // namespace
