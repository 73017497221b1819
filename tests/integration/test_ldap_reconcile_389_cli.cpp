// kalvix-cli reconcile against a live 389 Directory Server: Tree #1 is an LDIF dump of its
// schema plus definitions the test adds (super-type chains, classes that use them, a class
// defined otherwise); the default dialect's document applied with ldapmodify leaves nothing
// unique, and --include-changed makes the class defined otherwise compare equal. A snapshot
// of the server shows a matching rule changed since as its two lines, and gives it back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "CliRunner.h"
#include "DirsrvServer.h"
#include "LdifRecords.h"
#include "LiveDirectory.h"

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

using LdapReconcile389 = LiveServerTest<DirsrvServer>;

// ldapsearch or ldapmodify bound as the server's administrator.
CliResult Ldap(const char* program, const LiveDirectory& d, std::vector<std::string> args) {
    std::vector<std::string> all = {"-x", "-H", d.uri, "-D", d.bindDn, "-y", d.passwordFile};
    all.insert(all.end(), args.begin(), args.end());
    return RunProgram(std::string("/usr/bin/") + program, all);
}

std::vector<std::string> Texts(const QJsonValue& list) {
    std::vector<std::string> out;
    for (const QJsonValue& v : list.toArray()) out.push_back(v.toString().toStdString());
    return out;
}

const char* const kOldClass =
    "( 1.3.6.1.4.1.99999.17.2.9 NAME 'kxOld' SUP top AUXILIARY MAY description )";
const char* const kNewClass =
    "( 1.3.6.1.4.1.99999.17.2.9 NAME 'kxOld' SUP top AUXILIARY MAY ( description $ kxA ) )";

TEST_F(LdapReconcile389, DumpPlusAdditionsAppliedThenChangedClassReplaced) {
    // A user-defined class on the server, which Tree #1 will define otherwise.
    const std::string add =
        dir.write("old.ldif", std::string("dn: cn=schema\nchangetype: modify\n"
                                          "add: objectClasses\nobjectClasses: ") +
                                  kOldClass + "\n");
    const CliResult added = Ldap("ldapmodify", live, {"-f", add});
    ASSERT_EQ(added.status, 0) << added.err;
    const CliResult dump =
        Ldap("ldapsearch", live,
             {"-LLL", "-o", "ldif-wrap=no", "-b", "cn=schema", "-s", "base", "(objectClass=*)",
              "objectClasses", "attributeTypes", "ldapSyntaxes"});
    ASSERT_EQ(dump.status, 0) << dump.err;
    std::string tree1 = dump.out;
    const std::size_t old = tree1.find("NAME 'kxOld'");
    ASSERT_NE(old, std::string::npos);
    const std::size_t start = tree1.rfind('\n', old) + 1;
    tree1.replace(start, tree1.find('\n', old) - start, std::string("objectClasses: ") + kNewClass);
    // Derived definitions before what they derive from: the document must reorder them.
    tree1 +=
        "attributeTypes: ( 1.3.6.1.4.1.99999.17.1.3 NAME 'kxC' SUP kxB )\n"
        "attributeTypes: ( 1.3.6.1.4.1.99999.17.1.2 NAME 'kxB' DESC 'Zwischenstufe \xC3\xBC' "
        "SUP kxA )\n"
        "attributeTypes: ( 1.3.6.1.4.1.99999.17.1.1 NAME 'kxA' SUP name )\n"
        "objectClasses: ( 1.3.6.1.4.1.99999.17.2.2 NAME 'kxSub' SUP kxThing AUXILIARY MUST kxA )\n"
        "objectClasses: ( 1.3.6.1.4.1.99999.17.2.1 NAME 'kxThing' SUP top AUXILIARY MAY ( kxB $ "
        "kxC ) )\n";
    const std::string dumpFile = dir.write("dump.ldif", tree1);
    const EnvChanges env = {
        {"KALVIX_CLIENT",
         WriteClientConfig(dir, {QJsonObject{{"kind", "ldif"},
                                             {"treeName", "DUMP"},
                                             {"file", QString::fromStdString(dumpFile)}},
                                 LdapConnection(live.uri, "DS")})}};

    const CliResult r = RunCli({"reconcile", "-q", "tree:DUMP", "tree:DS"}, env);
    ASSERT_EQ(r.status, 1) << r.err;
    EXPECT_THAT(r.out, Not(HasSubstr("# Not ")));
    std::vector<LdifChange> changes;
    std::string error;
    ASSERT_TRUE(ReadLdifChanges(r.out, changes, error)) << error;
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].dn, "cn=schema");
    EXPECT_EQ(changes[0].modifications.size(), 5u);
    const CliResult applied = Ldap("ldapmodify", live, {"-f", dir.write("fix.ldif", r.out)});
    ASSERT_EQ(applied.status, 0) << applied.err << applied.out;

    const CliResult quick =
        RunCli({"quick", "--format", "json", "-q", "tree:DUMP", "tree:DS"}, env);
    const QJsonObject lists =
        QJsonDocument::fromJson(QByteArray::fromStdString(quick.out)).object();
    EXPECT_THAT(Texts(lists["classes"].toObject()["unique1"]), IsEmpty()) << quick.err;
    EXPECT_THAT(Texts(lists["attributes"].toObject()["unique1"]), IsEmpty());
    // 389 rewrites X-ORIGIN in what it stores: that is no difference.
    EXPECT_EQ(RunCli({"reconcile", "-q", "tree:DUMP", "tree:DS"}, env).status, 0);

    // The class defined otherwise differs in its item lists until it is replaced.
    EXPECT_EQ(RunCli({"compare-classes", "-q", "tree:DUMP", "tree:DS"}, env).status, 1);
    const CliResult changed =
        RunCli({"reconcile", "--include-changed", "-q", "tree:DUMP", "tree:DS"}, env);
    ASSERT_EQ(changed.status, 1) << changed.err;
    EXPECT_THAT(changed.out, HasSubstr("delete: objectClasses\n"));
    const CliResult replaced =
        Ldap("ldapmodify", live, {"-f", dir.write("changed.ldif", changed.out)});
    ASSERT_EQ(replaced.status, 0) << replaced.err << replaced.out;
    const CliResult compared = RunCli({"compare-classes", "-q", "tree:DUMP", "tree:DS"}, env);
    EXPECT_EQ(compared.status, 0) << compared.out;
    EXPECT_EQ(RunCli({"reconcile", "--include-changed", "-q", "tree:DUMP", "tree:DS"}, env).status,
              0);
}

TEST_F(LdapReconcile389, SnapshotShowsAChangedMatchingRuleAndGivesItBack) {
    const std::string before =
        "( 1.3.6.1.4.1.99999.18.1 NAME 'kxSnap' EQUALITY caseIgnoreMatch SYNTAX "
        "1.3.6.1.4.1.1466.115.121.1.15 )";
    const std::string after =
        "( 1.3.6.1.4.1.99999.18.1 NAME 'kxSnap' EQUALITY caseExactMatch SYNTAX "
        "1.3.6.1.4.1.1466.115.121.1.15 )";
    const CliResult added =
        Ldap("ldapmodify", live,
             {"-f", dir.write("add.ldif",
                              "dn: cn=schema\nchangetype: modify\nadd: attributeTypes\n"
                              "attributeTypes: " +
                                  before + "\n")});
    ASSERT_EQ(added.status, 0) << added.err;
    const EnvChanges env = {
        {"KALVIX_CLIENT", WriteClientConfig(dir, {LdapConnection(live.uri, "DS")})}};
    const std::string snapshot = dir.file("ds.txt");
    const CliResult saved = RunCli({"save", "-q", "tree:DS", snapshot}, env);
    ASSERT_EQ(saved.status, 0) << saved.err;
    const CliResult same = RunCli({"compare", "-q", snapshot, "tree:DS"}, env);
    EXPECT_EQ(same.status, 0) << same.out << same.err;

    const CliResult changed =
        Ldap("ldapmodify", live,
             {"-f",
              dir.write("change.ldif",
                        "dn: cn=schema\nchangetype: modify\n"
                        "delete: attributeTypes\nattributeTypes: " +
                            before + "\n-\nadd: attributeTypes\nattributeTypes: " + after + "\n")});
    ASSERT_EQ(changed.status, 0) << changed.err;
    const CliResult compared = RunCli({"compare", "-q", snapshot, "tree:DS"}, env);
    EXPECT_EQ(compared.status, 1) << compared.err;
    EXPECT_EQ(compared.out,
              "Tree #1 - Attribute Definition for \"kxSnap\" has Equality: \"caseIgnoreMatch\"\n"
              "Tree #2 - Attribute Definition for \"kxSnap\" has Equality: \"caseExactMatch\"\n");

    // The snapshot as Tree #1 writes the server's old definition back.
    const CliResult back =
        RunCli({"reconcile", "--include-changed", "-q", snapshot, "tree:DS"}, env);
    ASSERT_EQ(back.status, 1) << back.err;
    EXPECT_THAT(back.out,
                HasSubstr("\n# Tree #1: DS (the snapshot " + snapshot + " of " + live.uri));
    const CliResult restored = Ldap("ldapmodify", live, {"-f", dir.write("back.ldif", back.out)});
    ASSERT_EQ(restored.status, 0) << restored.err << restored.out;
    const CliResult again = RunCli({"compare", "-q", snapshot, "tree:DS"}, env);
    EXPECT_EQ(again.status, 0) << again.out << again.err;
}

// Tree #2 lacks a matching rule one type needs: that type and what depends on it are left
// out with the reason, and the rest applies.
TEST_F(LdapReconcile389, DefinitionsNeedingAMatchingRuleTheServerLacksAreLeftOut) {
    const EnvChanges env = {
        {"KALVIX_CLIENT",
         WriteClientConfig(dir, {QJsonObject{{"kind", "ldif"},
                                             {"treeName", "DUMP"},
                                             {"file", QString::fromStdString(dir.write(
                                                          "dump.ldif", kUnknownRuleDump))}},
                                 LdapConnection(live.uri, "DS")})}};
    const CliResult r = RunCli({"reconcile", "-q", "tree:DUMP", "tree:DS"}, env);
    ASSERT_EQ(r.status, 1) << r.err;
    EXPECT_THAT(r.out, HasSubstr("\n# Dialect rfc4512: "));
    EXPECT_THAT(r.out, HasSubstr("# Not added: object class 'kxFuzzyThing': the attribute type "
                                 "'kxFuzzier' cannot be added either\n"));
    const CliResult applied = Ldap("ldapmodify", live, {"-f", dir.write("fix.ldif", r.out)});
    ASSERT_EQ(applied.status, 0) << applied.err << applied.out;
    const CliResult quick =
        RunCli({"quick", "--format", "json", "-q", "tree:DUMP", "tree:DS"}, env);
    const QJsonObject lists =
        QJsonDocument::fromJson(QByteArray::fromStdString(quick.out)).object();
    EXPECT_THAT(Texts(lists["attributes"].toObject()["unique1"]),
                testing::UnorderedElementsAre("kxFuzzy", "kxFuzzier"));
    EXPECT_THAT(Texts(lists["classes"].toObject()["unique1"]),
                testing::UnorderedElementsAre("kxFuzzyThing"));
}

}  // namespace
