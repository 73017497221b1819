// kalvix-cli reconcile against live OpenLDAP servers configured through cn=config: the
// openldap dialect's document, applied with ldapmodify, leaves nothing unique to Tree #1.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "CliRunner.h"
#include "LdapTestSupport.h"
#include "LdifRecords.h"
#include "SlapdServer.h"

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::SizeIs;
using ::testing::UnorderedElementsAre;

namespace {

std::vector<std::string> Texts(const QJsonValue& list) {
    std::vector<std::string> out;
    for (const QJsonValue& v : list.toArray()) out.push_back(v.toString().toStdString());
    return out;
}

QJsonObject Quick(const EnvChanges& env) {
    const CliResult r = RunCli({"quick", "--format", "json", "-q", "tree:ALPHA", "tree:BETA"}, env);
    EXPECT_NE(r.status, 2) << r.err;
    return QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
}

SlapdServer::Options ConfigServer(std::vector<std::string> schemas) {
    SlapdServer::Options options;
    options.schemas = std::move(schemas);
    options.configPassword = "config-secret";
    return options;
}

TEST(LdapReconcileCli, OpenLdapDialectAppliedThroughCnConfigLeavesNothingUnique) {
    SlapdServer alpha(ConfigServer({"core", "cosine", "inetorgperson", "nis"}));
    SlapdServer beta(ConfigServer({"core", "cosine"}));
    TempDir dir;
    const EnvChanges env = {
        {"KALVIX_CLIENT", WriteClientConfig(dir, {LdapConnection(alpha.uri(), "ALPHA"),
                                                  LdapConnection(beta.uri(), "BETA")})}};
    const QJsonObject before = Quick(env);
    ASSERT_THAT(Texts(before["classes"].toObject()["unique1"]), Not(IsEmpty()));
    ASSERT_THAT(Texts(before["attributes"].toObject()["unique1"]), Not(IsEmpty()));

    const CliResult r =
        RunCli({"reconcile", "--dialect", "openldap", "-q", "tree:ALPHA", "tree:BETA"}, env);
    ASSERT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_THAT(r.out, Not(HasSubstr("# Not added")));
    std::vector<LdifChange> changes;
    std::string error;
    ASSERT_TRUE(ReadLdifChanges(r.out, changes, error)) << error;
    ASSERT_THAT(changes, SizeIs(1));
    EXPECT_EQ(changes[0].dn, "cn=kalvix-ALPHA,cn=schema,cn=config");

    const CliResult applied =
        RunProgram("/usr/bin/ldapmodify", {"-x", "-H", beta.uri(), "-D", "cn=config", "-w",
                                           "config-secret", "-f", dir.write("fix.ldif", r.out)});
    ASSERT_EQ(applied.status, 0) << applied.err << applied.out;

    const QJsonObject after = Quick(env);
    EXPECT_THAT(Texts(after["classes"].toObject()["unique1"]), IsEmpty());
    EXPECT_THAT(Texts(after["attributes"].toObject()["unique1"]), IsEmpty());
    const CliResult again = RunCli({"reconcile", "-q", "tree:ALPHA", "tree:BETA"}, env);
    EXPECT_EQ(again.status, 0) << again.out << again.err;

    // The schema stays across a restart: it is in the server's configuration now.
    beta.restart();
    EXPECT_THAT(Texts(Quick(env)["attributes"].toObject()["unique1"]), IsEmpty());
}

// Tree #2 already gives nisMapName's OID to a type of its own: that type, and the classes
// that need it, are refused with the reason; everything else arrives.
TEST(LdapReconcileCli, RefusedDefinitionsStayUniqueAndSayWhy) {
    TempDir dir;
    const std::string clash =
        dir.write("clash.schema", "attributetype ( 1.3.6.1.1.1.1.26 NAME 'kalvixMap' SUP name )\n");
    SlapdServer alpha(ConfigServer({"core", "cosine", "nis"}));
    SlapdServer beta(ConfigServer({"core", "cosine", clash}));
    const EnvChanges env = {
        {"KALVIX_CLIENT", WriteClientConfig(dir, {LdapConnection(alpha.uri(), "ALPHA"),
                                                  LdapConnection(beta.uri(), "BETA")})}};
    const CliResult r = RunCli({"reconcile", "--dialect=openldap", "--schema-name", "nis-part",
                                "-q", "tree:ALPHA", "tree:BETA"},
                               env);
    ASSERT_EQ(r.status, 1) << r.err;
    EXPECT_THAT(r.out, HasSubstr("# Not added: attribute type 'nisMapName': its OID "
                                 "1.3.6.1.1.1.1.26 is already used on Tree #2 by attribute type "
                                 "'kalvixMap'\n"));
    EXPECT_THAT(r.out, HasSubstr("# Not added: object class 'nisMap': the attribute type "
                                 "'nisMapName' cannot be added either\n"));
    const CliResult applied =
        RunProgram("/usr/bin/ldapmodify", {"-x", "-H", beta.uri(), "-D", "cn=config", "-w",
                                           "config-secret", "-f", dir.write("fix.ldif", r.out)});
    ASSERT_EQ(applied.status, 0) << applied.err << applied.out;
    const QJsonObject after = Quick(env);
    EXPECT_THAT(Texts(after["attributes"].toObject()["unique1"]),
                UnorderedElementsAre("nisMapName"));
    EXPECT_THAT(Texts(after["classes"].toObject()["unique1"]),
                UnorderedElementsAre("nisMap", "nisObject"));
    EXPECT_EQ(RunCli({"reconcile", "-q", "tree:ALPHA", "tree:BETA"}, env).status, 1);
}

// Tree #2 lacks a matching rule one type needs: that type and what depends on it are left
// out with the reason, and the rest applies (the dialect is the one the server takes).
TEST(LdapReconcileCli, DefinitionsNeedingAMatchingRuleTheServerLacksAreLeftOut) {
    TempDir dir;
    SlapdServer beta(ConfigServer({"core", "cosine"}));
    const EnvChanges env = {
        {"KALVIX_CLIENT",
         WriteClientConfig(dir, {QJsonObject{{"kind", "ldif"},
                                             {"treeName", "ALPHA"},
                                             {"file", QString::fromStdString(dir.write(
                                                          "dump.ldif", kUnknownRuleDump))}},
                                 LdapConnection(beta.uri(), "BETA")})}};
    const CliResult r = RunCli({"reconcile", "-q", "tree:ALPHA", "tree:BETA"}, env);
    ASSERT_EQ(r.status, 1) << r.err;
    EXPECT_THAT(r.out, HasSubstr("\n# Dialect openldap: "));
    EXPECT_THAT(r.out, HasSubstr("# Not added: attribute type 'kxFuzzy': its equality matching "
                                 "rule 'kalvixFuzzyMatch' is not among Tree #2's matching "
                                 "rules\n"));
    const CliResult applied =
        RunProgram("/usr/bin/ldapmodify", {"-x", "-H", beta.uri(), "-D", "cn=config", "-w",
                                           "config-secret", "-f", dir.write("fix.ldif", r.out)});
    ASSERT_EQ(applied.status, 0) << applied.err << applied.out;
    const QJsonObject after = Quick(env);
    EXPECT_THAT(Texts(after["attributes"].toObject()["unique1"]),
                UnorderedElementsAre("kxFuzzy", "kxFuzzier"));
    EXPECT_THAT(Texts(after["classes"].toObject()["unique1"]),
                UnorderedElementsAre("kxFuzzyThing"));
}

}  // namespace
