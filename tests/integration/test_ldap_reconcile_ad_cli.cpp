// kalvix-cli reconcile from a live OpenLDAP server with two schema files of an application
// into a Samba AD domain controller: the ad dialect chosen by itself, applied with
// ldapmodify, leaves none of the added names unique to Tree #1, and AD publishes each added
// attribute with Tree #1's syntax and single-value flag. What AD cannot take says why.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <map>
#include <set>

#include "CliRunner.h"
#include "LdifRecords.h"
#include "LiveDirectory.h"
#include "SambaDcServer.h"
#include "SlapdServer.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

// Every syntax of the table that slapd knows, a super-type chain, bounds, and classes of
// each kind; a second file with what AD has no counterpart for.
const char* const kApplication =
    "objectidentifier KxApp 1.3.6.1.4.1.99999.22\n"
    "attributetype ( KxApp:1.1 NAME 'kxAppLabel' DESC 'What the application calls it'\n"
    "  EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch\n"
    "  SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{64} SINGLE-VALUE )\n"
    "attributetype ( KxApp:1.2 NAME 'kxAppMail' EQUALITY caseIgnoreIA5Match\n"
    "  SYNTAX 1.3.6.1.4.1.1466.115.121.1.26{256} )\n"
    "attributetype ( KxApp:1.3 NAME 'kxAppCount' EQUALITY integerMatch\n"
    "  SYNTAX 1.3.6.1.4.1.1466.115.121.1.27 SINGLE-VALUE )\n"
    "attributetype ( KxApp:1.4 NAME 'kxAppEnabled' EQUALITY booleanMatch\n"
    "  SYNTAX 1.3.6.1.4.1.1466.115.121.1.7 SINGLE-VALUE )\n"
    "attributetype ( KxApp:1.5 NAME 'kxAppOwner' EQUALITY distinguishedNameMatch\n"
    "  SYNTAX 1.3.6.1.4.1.1466.115.121.1.12 )\n"
    "attributetype ( KxApp:1.6 NAME 'kxAppBlob' EQUALITY octetStringMatch\n"
    "  SYNTAX 1.3.6.1.4.1.1466.115.121.1.40 )\n"
    "attributetype ( KxApp:1.7 NAME 'kxAppSince' EQUALITY generalizedTimeMatch\n"
    "  ORDERING generalizedTimeOrderingMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.24 SINGLE-VALUE )\n"
    "attributetype ( KxApp:1.8 NAME 'kxAppPolicy' EQUALITY objectIdentifierMatch\n"
    "  SYNTAX 1.3.6.1.4.1.1466.115.121.1.38 )\n"
    "attributetype ( KxApp:1.9 NAME 'kxAppRegion'\n"
    "  SYNTAX 1.3.6.1.4.1.1466.115.121.1.44 SINGLE-VALUE )\n"
    "attributetype ( KxApp:1.10 NAME 'kxAppNumber' EQUALITY numericStringMatch\n"
    "  SYNTAX 1.3.6.1.4.1.1466.115.121.1.36 )\n"
    "attributetype ( KxApp:1.11 NAME 'kxAppAlias' SUP kxAppLabel )\n"
    "objectclass ( KxApp:2.1 NAME 'kxAppBase' SUP top ABSTRACT MAY kxAppLabel )\n"
    "objectclass ( KxApp:2.2 NAME 'kxApplication' SUP kxAppBase STRUCTURAL\n"
    "  MUST ( cn $ kxAppLabel ) MAY ( kxAppMail $ kxAppCount $ kxAppEnabled $ kxAppOwner $\n"
    "  kxAppSince $ kxAppPolicy $ kxAppRegion $ kxAppNumber $ description ) )\n"
    "objectclass ( KxApp:2.3 NAME 'kxAppExtras' SUP top AUXILIARY MAY ( kxAppBlob $ "
    "kxAppAlias ) )\n";

const char* const kContacts =
    "attributetype ( 1.3.6.1.4.1.99999.23.1.1 NAME 'kxContactPhone'\n"
    "  EQUALITY telephoneNumberMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.50{32} )\n"
    "attributetype ( 1.3.6.1.4.1.99999.23.1.2 NAME 'kxContactRoom' SUP kxAppLabel )\n"
    "objectclass ( 1.3.6.1.4.1.99999.23.2.1 NAME 'kxContact' SUP top AUXILIARY\n"
    "  MAY ( kxContactPhone $ kxContactRoom ) )\n"
    "objectclass ( 1.3.6.1.4.1.99999.23.2.2 NAME 'kxRoom' SUP top AUXILIARY MAY kxContactRoom "
    ")\n";

std::vector<std::string> Texts(const QJsonValue& list) {
    std::vector<std::string> out;
    for (const QJsonValue& v : list.toArray()) out.push_back(v.toString().toStdString());
    return out;
}

// An attribute's syntax through its super types, as the test reads the subschema.
std::string Syntax(const std::map<std::string, ServerDefinition>& byName, std::string name) {
    for (int depth = 0; depth < 50; ++depth) {
        const auto it = byName.find(name);
        if (it == byName.end()) return {};
        if (!it->second.syntax.empty() || it->second.sup.empty()) return it->second.syntax;
        name = it->second.sup.front();
    }
    return {};
}

std::map<std::string, ServerDefinition> ByName(const std::vector<ServerDefinition>& list) {
    std::map<std::string, ServerDefinition> out;
    for (const ServerDefinition& d : list) out.emplace(d.name, d);
    return out;
}

TEST(LdapReconcileAdCli, SlapdSchemaFilesAppliedToActiveDirectory) {
    SambaDcServer dc;
    TempDir dir;
    SlapdServer::Options options;
    options.schemas = {"core", dir.write("kalvix-app.schema", kApplication),
                       dir.write("kalvix-contacts.schema", kContacts)};
    SlapdServer slapd(options);
    const LiveDirectory ad = Describe(dc);
    const LiveDirectory openldap{slapd.uri(), "", "", "", "", "cn=Subschema"};
    const EnvChanges env = {
        {"KALVIX_CLIENT", WriteClientConfig(dir, {LdapConnection(slapd.uri(), "SLAPD"),
                                                  BoundConnection(ad, "AD")})}};

    const CliResult r = RunCli({"reconcile", "-q", "tree:SLAPD", "tree:AD"}, env);
    ASSERT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_THAT(r.out, HasSubstr("\n# Dialect ad: attributeSchema and classSchema objects under " +
                                 dc.schemaContainer() + ";"));
    EXPECT_THAT(r.out, HasSubstr("# Not added: attribute type 'kxContactPhone': its syntax "
                                 "1.3.6.1.4.1.1466.115.121.1.50 has no counterpart among AD's "
                                 "syntaxes\n"));
    EXPECT_THAT(r.out, HasSubstr("# Not added: object class 'kxContact': the attribute type "
                                 "'kxContactPhone' cannot be added either\n"));
    std::vector<LdifChange> changes;
    std::string error;
    ASSERT_TRUE(ReadLdifChanges(r.out, changes, error)) << error;
    std::set<std::string> addedAttributes;
    for (const LdifChange& c : changes) {
        bool attributeSchema = false;
        std::string name;
        for (const LdifModification& m : c.modifications) {
            for (const std::string& v : m.values) attributeSchema |= v == "attributeSchema";
            if (m.type == "lDAPDisplayName" && !m.values.empty()) name = m.values.front();
        }
        if (attributeSchema) addedAttributes.insert(name);
    }
    ASSERT_TRUE(addedAttributes.count("kxAppAlias")) << r.out;

    const std::string applied = LdapModify(ad, dir, r.out);
    ASSERT_EQ(applied, "") << r.out;

    const CliResult quick =
        RunCli({"quick", "--format", "json", "-q", "tree:SLAPD", "tree:AD"}, env);
    ASSERT_NE(quick.status, 2) << quick.err;
    const QJsonObject lists =
        QJsonDocument::fromJson(QByteArray::fromStdString(quick.out)).object();
    std::set<std::string> unique;
    for (const char* kind : {"classes", "attributes"})
        for (const std::string& n : Texts(lists[kind].toObject()["unique1"])) unique.insert(n);
    for (const std::string& name : addedAttributes) EXPECT_FALSE(unique.count(name)) << name;
    EXPECT_TRUE(unique.count("kxContactPhone"));
    EXPECT_TRUE(unique.count("kxContact"));

    const ServerSchema before = ReadPublishedSchema(openldap);
    const ServerSchema after = ReadPublishedSchema(ad);
    const auto one = ByName(before.attributes);
    const auto two = ByName(after.attributes);
    for (const char* name : {"kxAppLabel", "kxAppMail", "kxAppCount", "kxAppEnabled", "kxAppOwner",
                             "kxAppBlob", "kxAppSince", "kxAppPolicy", "kxAppRegion", "kxAppNumber",
                             "kxAppAlias", "kxContactRoom"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(two.count(name));
        EXPECT_EQ(Syntax(two, name), Syntax(one, name));
        EXPECT_EQ(two.at(name).singleValue, one.at(name).singleValue);
    }
    // Applied again, nothing of the application is left to add.
    const CliResult again = RunCli({"reconcile", "-q", "tree:SLAPD", "tree:AD"}, env);
    EXPECT_THAT(again.out, Not(HasSubstr("kxApp")));
}

}  // namespace
