// kalvix-cli against live servers: two servers with different schema sets, and a server
// against the schema files it runs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdlib>
#include <set>
#include <sstream>

#include "CliRunner.h"
#include "LdapTestSupport.h"
#include "SlapdServer.h"

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAreArray;

namespace {

std::vector<std::string> Texts(const QJsonValue& list) {
    std::vector<std::string> out;
    for (const QJsonValue& v : list.toArray()) out.push_back(v.toString().toStdString());
    return out;
}

std::vector<std::string> Without(std::vector<std::string> names,
                                 const std::set<std::string>& drop) {
    names.erase(std::remove_if(names.begin(), names.end(),
                               [&](const std::string& n) { return drop.count(n) != 0; }),
                names.end());
    return names;
}

QJsonObject ParseJson(const CliResult& r) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << r.out << r.err;
    return doc.object();
}

TEST(LdapCli, TwoServersWithDifferentSchemaSets) {
    SlapdServer alpha;  // core, cosine, inetorgperson, nis
    SlapdServer::Options betaOptions;
    betaOptions.schemas = {"core", "cosine", "inetorgperson", LdapData("custom.schema")};
    SlapdServer beta(betaOptions);
    TempDir dir;
    const EnvChanges env = {
        {"KALVIX_CLIENT", WriteClientConfig(dir, {LdapConnection(alpha.uri(), "ALPHA"),
                                                  LdapConnection(beta.uri(), "BETA")})}};

    const CliResult trees = RunCli({"trees"}, env);
    EXPECT_EQ(trees.status, 0) << trees.err;
    EXPECT_EQ(trees.out, "ALPHA\nBETA\n");

    const CliResult r =
        RunCli({"compare", "--format", "json", "-q", "tree:ALPHA", "tree:BETA"}, env);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err, "");
    const QJsonObject json = ParseJson(r);
    const QJsonObject classes = json.value("classes").toObject();
    const QJsonObject attributes = json.value("attributes").toObject();

    // Unique: what nis.schema declares and custom.schema does not redefine, and the reverse.
    const std::string nis = "/etc/ldap/schema/nis.schema";
    const std::string custom = LdapData("custom.schema");
    EXPECT_THAT(
        Texts(classes.value("unique1")),
        UnorderedElementsAreArray(Without(DeclaredNames(nis, "objectclass"), {"posixAccount"})));
    EXPECT_THAT(Texts(classes.value("unique2")), ElementsAre("kalvixWidget"));
    EXPECT_THAT(Texts(classes.value("common")), Contains("posixAccount"));
    EXPECT_THAT(
        Texts(attributes.value("unique1")),
        UnorderedElementsAreArray(Without(DeclaredNames(nis, "attributetype"), {"homeDirectory"})));
    EXPECT_THAT(Texts(attributes.value("unique2")), ElementsAre("kalvixColour"));
    EXPECT_EQ(DeclaredNames(custom, "objectclass").size(), 2u);

    // The redefinitions, item by item and text by text.
    std::vector<std::string> found;
    for (const QJsonValue& v : classes.value("differences").toArray()) {
        const QJsonObject d = v.toObject();
        const bool field = d.value("kind").toString() == "Field";
        // A list item by its field's label, a value pair as a Field.
        found.push_back(d.value("class").toString().toStdString() + "|" +
                        (field ? "Field|" + d.value("field").toString().toStdString()
                               : d.value("field").toString().toStdString() + "|" +
                                     std::to_string(d.value("tree").toInt()) + "|" +
                                     d.value("item").toString().toStdString()));
    }
    EXPECT_THAT(found, UnorderedElementsAreArray(std::vector<std::string>{
                           "posixAccount|Mandatory Attribute|1|gidNumber",
                           "posixAccount|Optional Attribute|1|userPassword",
                           "posixAccount|Optional Attribute|1|loginShell",
                           "posixAccount|Optional Attribute|1|gecos",
                           "posixAccount|Optional Attribute|2|kalvixColour",
                           "posixAccount|Field|Description",
                       }));
    // homeDirectory field by field, in LDAP's words.
    std::vector<std::string> attrFound;
    for (const QJsonValue& v : attributes.value("differences").toArray()) {
        const QJsonObject d = v.toObject();
        attrFound.push_back(d.value("attribute").toString().toStdString() + "|" +
                            d.value("field").toString().toStdString() + "|" +
                            d.value("value1").toString().toStdString() + "|" +
                            d.value("value2").toString().toStdString());
    }
    EXPECT_THAT(attrFound,
                ElementsAre("homeDirectory|Description|The absolute path to the home directory|"
                            "The home directory, as a site once defined it",
                            "homeDirectory|Equality|caseExactIA5Match|caseIgnoreMatch",
                            "homeDirectory|Syntax|1.3.6.1.4.1.1466.115.121.1.26 (IA5 String)|"
                            "1.3.6.1.4.1.1466.115.121.1.15{256} (Directory String)",
                            "homeDirectory|Single Value|TRUE|FALSE"));
    EXPECT_TRUE(json.value("different").toBool());

    // A server compared with itself finds nothing.
    const CliResult same = RunCli({"compare", "tree:BETA", "tree:beta"}, env);
    EXPECT_EQ(same.status, 0) << same.err;
    EXPECT_EQ(same.out, "");
}

TEST(LdapCli, AServerAgainstTheSchemaFilesItRuns) {
    SlapdServer server;
    TempDir dir;
    const EnvChanges env = {
        {"KALVIX_CLIENT",
         WriteClientConfig(
             dir, {LdapConnection(server.uri(), "LIVE"),
                   FilesConnection("FILES",
                                   DebianSchemas({"core", "cosine", "inetorgperson", "nis"}))})}};
    const CliResult r =
        RunCli({"compare-classes", "--format", "json", "-q", "tree:LIVE", "tree:FILES"}, env);
    EXPECT_EQ(r.status, 1) << r.err;
    const QJsonObject classes = ParseJson(r).value("classes").toObject();
    // Every class of the files runs on the server, defined the same way; the server's
    // own built-in classes are the only ones the files lack.
    EXPECT_THAT(Texts(classes.value("unique2")), IsEmpty());
    EXPECT_THAT(classes.value("differences").toArray(), IsEmpty());
    const std::vector<std::string> builtIn = Texts(classes.value("unique1"));
    for (const char* name : {"top", "subschema", "alias", "referral", "extensibleObject"})
        EXPECT_THAT(builtIn, Contains(name));
    std::size_t declared = 0;
    for (const char* file : {"core", "cosine", "inetorgperson", "nis"})
        declared +=
            DeclaredNames(std::string("/etc/ldap/schema/") + file + ".schema", "objectclass")
                .size();
    EXPECT_EQ(static_cast<std::size_t>(classes.value("common").toArray().size()), declared);

    // The whole comparison: the server's own definitions in one block, each said to be
    // built in; what the files build on resolves as the server resolves it (cn SUP name).
    const CliResult all = RunCli({"compare", "-q", "tree:LIVE", "tree:FILES"}, env);
    EXPECT_EQ(all.err, "");
    std::vector<std::string> lines;
    std::istringstream in(all.out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    const auto isBuiltIn = [](const std::string& line) {
        return line.starts_with("Tree #1 - Built into the server, not in the files: ");
    };
    const auto first = std::find_if(lines.begin(), lines.end(), isBuiltIn);
    const auto count = std::count_if(lines.begin(), lines.end(), isBuiltIn);
    ASSERT_GT(count, 100) << all.out;
    EXPECT_TRUE(std::all_of(first, first + count, isBuiltIn)) << "not one block:\n" << all.out;
    for (const std::string& line : lines) {
        EXPECT_FALSE(line.starts_with("Tree #1 - Unique")) << line;
        EXPECT_EQ(line.find("UNKNOWN"), std::string::npos) << line;
        EXPECT_FALSE(line.find("Syntax") != std::string::npos &&
                     line.find("(none)") != std::string::npos)
            << line;
    }
    EXPECT_THAT(lines, Contains("Tree #1 - Built into the server, not in the files: Attribute "
                                "\"createTimestamp\""));
    EXPECT_THAT(lines, Contains("Tree #1 - Built into the server, not in the files: Class "
                                "\"olcGlobal\""));
}

TEST(LdapCli, AServersTreeNameIsOneLineWhateverItHolds) {
    SlapdServer::Options options;
    options.schemas = {"core", "cosine", "inetorgperson", "nis", LdapData("nds.schema")};
    // "directoryTreeName:: ..." in the root DSE file: the value base64, line end and all.
    options.rootDse = {
        {"directoryTreeName:", QByteArray("EVIL\nFORGED\x1B[2J").toBase64().toStdString()}};
    SlapdServer evil(options);
    SlapdServer plain;
    TempDir dir;
    const EnvChanges env = {
        {"KALVIX_CLIENT", WriteClientConfig(dir, {LdapConnection(evil.uri()),
                                                  LdapConnection(plain.uri(), "PLAIN")})}};
    const CliResult r = RunCli({"trees"}, env);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "EVIL\\x0AFORGED\\x1B[2J\nPLAIN\n");
}

TEST(LdapCli, AServerAgainstAnLdifDumpOfItselfFindsNoDifference) {
    SlapdServer server;
    TempDir dir;
    // As an administrator would save it: folded lines, base64 where ldapsearch chooses.
    const std::string dump = dir.file("subschema.ldif");
    const std::string command = "ldapsearch -x -LLL -H " + server.uri() +
                                " -s base -b cn=Subschema '(objectClass=subschema)' objectClasses "
                                "attributeTypes ldapSyntaxes matchingRules matchingRuleUse > " +
                                dump;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    ASSERT_NE(TempDir::read(dump).find("\n "), std::string::npos) << "no folded line to read";
    const EnvChanges env = {
        {"KALVIX_CLIENT",
         WriteClientConfig(dir, {LdapConnection(server.uri(), "LIVE"),
                                 QJsonObject{{"kind", "ldif"},
                                             {"treeName", "DUMP"},
                                             {"file", QString::fromStdString(dump)}}})}};
    const CliResult r = RunCli({"compare", "tree:LIVE", "tree:DUMP"}, env);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "No differences found\n");
    const CliResult quick = RunCli({"quick", "--format", "json", "tree:LIVE", "tree:DUMP"}, env);
    const QJsonObject lists = ParseJson(quick);
    EXPECT_GT(lists.value("classes").toObject().value("common").toArray().size(), 60);
    EXPECT_GT(lists.value("attributes").toObject().value("common").toArray().size(), 200);
}

// A matching rule changed live through cn=config shows as its two lines against the
// snapshot taken before; the snapshot against the tree it was taken from is no difference.
TEST(LdapCli, AMatchingRuleChangedLiveShowsAgainstTheSnapshotBefore) {
    SlapdServer::Options options;
    options.configPassword = "config-secret";
    SlapdServer server(options);
    TempDir dir;
    auto configModify = [&](const std::string& name, const std::string& ldif) {
        const CliResult r =
            RunProgram("/usr/bin/ldapmodify", {"-x", "-H", server.uri(), "-D", "cn=config", "-w",
                                               "config-secret", "-f", dir.write(name, ldif)});
        ASSERT_EQ(r.status, 0) << r.err << r.out;
    };
    const std::string type =
        "( 1.3.6.1.4.1.55555.8.1 NAME 'kxMatched' EQUALITY %s SYNTAX "
        "1.3.6.1.4.1.1466.115.121.1.15 )";
    auto withRule = [&](const std::string& rule) {
        std::string text = type;
        return text.replace(text.find("%s"), 2, rule);
    };
    configModify("add.ldif",
                 "dn: cn=kx,cn=schema,cn=config\nchangetype: add\n"
                 "objectClass: olcSchemaConfig\ncn: kx\nolcAttributeTypes: " +
                     withRule("caseIgnoreMatch") + "\n");
    const EnvChanges env = {
        {"KALVIX_CLIENT", WriteClientConfig(dir, {LdapConnection(server.uri(), "LIVE")})}};
    const std::string snapshot = dir.file("live.txt");
    const CliResult saved = RunCli({"save", "-q", "tree:LIVE", snapshot}, env);
    ASSERT_EQ(saved.status, 0) << saved.err;
    const CliResult same = RunCli({"compare", "-q", snapshot, "tree:LIVE"}, env);
    EXPECT_EQ(same.status, 0) << same.out << same.err;

    // slapd numbers the schema entries; ask for the one it gave ours.
    const CliResult found = RunProgram(
        "/usr/bin/ldapsearch", {"-x", "-LLL", "-H", server.uri(), "-D", "cn=config", "-w",
                                "config-secret", "-b", "cn=schema,cn=config", "(cn=*kx)", "dn"});
    ASSERT_EQ(found.status, 0) << found.err;
    const std::size_t at = found.out.find("dn: ");
    ASSERT_NE(at, std::string::npos) << found.out;
    const std::string dn = found.out.substr(at + 4, found.out.find('\n', at) - at - 4);
    configModify("change.ldif", "dn: " + dn +
                                    "\nchangetype: modify\n"
                                    "replace: olcAttributeTypes\nolcAttributeTypes: " +
                                    withRule("caseExactMatch") + "\n");
    const CliResult compared = RunCli({"compare", "-q", snapshot, "tree:LIVE"}, env);
    EXPECT_EQ(compared.status, 1) << compared.err;
    EXPECT_EQ(
        compared.out,
        "Tree #1 - Attribute Definition for \"kxMatched\" has Equality: \"caseIgnoreMatch\"\n"
        "Tree #2 - Attribute Definition for \"kxMatched\" has Equality: \"caseExactMatch\"\n");
}

}  // namespace
