// A live server read through the client: an NDS-style server (native names, flags,
// containment and naming, native syntaxes, tree name and default name context in the root
// DSE) and a plain one, and the schema served from memory once read.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "LdapTestSupport.h"
#include "SlapdServer.h"
#include "sources/LdapSchema.h"

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

SlapdServer::Options NdsOptions() {
    SlapdServer::Options o;
    o.schemas = {"core", "cosine", "inetorgperson", "nis", LdapData("nds.schema")};
    o.rootDse = {{"directoryTreeName", "NDS_TEST_TREE"}, {"defaultNamingContext", "o=acme"}};
    return o;
}

struct ClassExpect {
    const char* name;
    const char* flags;
    std::vector<std::string> lists[5];
    const char* oid;
};

TEST(NdsStyleServer, NamesFlagsListsAndSyntaxesAsTheServerPublishesThem) {
    SlapdServer server(NdsOptions());
    TempDir dir;
    LiveSession s(WriteClientConfig(dir, {LdapConnection(server.uri())}));
    ASSERT_EQ(s.startCode, 0u);
    // No name configured: the root DSE names the tree.
    EXPECT_THAT(s.trees, ElementsAre("NDS_TEST_TREE"));
    ASSERT_EQ(s.change("nds_test_tree"), 0) << s.explain(s.change("NDS_TEST_TREE"));
    EXPECT_EQ(s.nameContext(), "o=acme");

    const std::vector<std::string> classes = s.classNames();
    const std::vector<std::string> attributes = s.attributeNames();
    for (const char* shown : {"User", "Container", "Login Aux", "ndsLoginProperties"})
        EXPECT_THAT(classes, Contains(shown));
    EXPECT_THAT(classes, Not(Contains("ndsUser")));
    for (const char* shown : {"Login Time", "Login Grace Limit", "Password Management", "ACL"})
        EXPECT_THAT(attributes, Contains(shown));
    EXPECT_THAT(attributes, Not(Contains("ndsLoginTime")));

    const ClassExpect expected[] = {
        {"User",
         "Effective\\Non-Removable",
         {{"inetOrgPerson", "ndsLoginProperties"},
          {"organization", "organizationalUnit", "Container"},
          {"cn", "uid"},
          {"cn"},
          {"Password Management", "ndsTypedName", "Login Time"}},
         "2.16.840.1.113719.1.1.6.1.52"},
        {"Container",
         "Effective\\Container",
         {{"top"}, {"organization"}, {"ou"}, {"ou"}, {"ACL"}},
         "2.16.840.1.113719.1.1.6.1.51"},
        {"Login Aux",
         "Auxiliary",
         {{"top"}, {}, {}, {}, {"Login Time"}},
         "2.16.840.1.113719.1.1.6.1.53"},
        {"ndsLoginProperties",
         "",
         {{"top"}, {}, {}, {}, {"Login Time", "Login Grace Limit"}},
         "2.16.840.1.113719.1.1.6.1.50"},
        // On an NDS-style server every class but an auxiliary one is a container unless
        // it says otherwise, the standard ones too.
        {"top", "Container", {{}, {}, {}, {"objectClass"}, {}}, "2.5.6.0"},
    };
    for (const ClassExpect& e : expected) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(s.classFlags(e.name), e.flags);
        for (int kind = 0; kind < 5; ++kind)
            EXPECT_EQ(s.items(e.name, kind), e.lists[kind]) << kind;
        EXPECT_THAT(s.items(e.name, 6), ElementsAre(e.oid));
    }
    EXPECT_EQ(s.classFlags("organization"), "Effective\\Container");

    const std::pair<const char*, const char*> texts[] = {
        {"Login Time", "TIME [SglVal\\NonRem\\PublRd\\SyncImdt]"},
        {"Login Grace Limit", "INTEGER [SglVal\\Sized (0--1)]"},
        {"Password Management",
         "OCTET_STRING [Hidden\\SrvrRd\\WrtMngd\\PerRep\\SyncImdt\\SyncNever]"},
        // A native syntax by its OID, and one the server tags in its ldapSyntaxes.
        {"ndsTypedName", "TYPED_NAME [SyncImdt]"},
        {"ACL", "OBJECT_ACL [NonRem\\SyncImdt]"},
        // A {len} alone does not make a type sized on such a server.
        {"cn", "CI_STRING [SyncImdt]"},
        {"directoryTreeName", "CI_STRING [SglVal\\SyncImdt]"},
        {"objectClass", "CLASS_NAME [SyncImdt]"},
    };
    for (const auto& [name, text] : texts) EXPECT_EQ(s.attribute(name), text) << name;
}

TEST(NdsStyleServer, TheSchemaIsReadAtTheTreeChangeAndServedFromMemory) {
    SlapdServer server(NdsOptions());
    TempDir dir;
    LiveSession s(WriteClientConfig(dir, {LdapConnection(server.uri(), "NDS")}));
    ASSERT_EQ(s.change("NDS"), 0);
    const std::vector<std::string> classes = s.classNames();
    server.stop();

    // Every read after the change comes from memory: names and every class's definition.
    DirCode code = -1;
    EXPECT_EQ(s.classNames(&code), classes);
    EXPECT_EQ(code, 0);
    for (const std::string& name : classes) {
        ASSERT_THAT(s.classFlags(name), Not(testing::StartsWith("error"))) << name;
        for (int kind : {0, 1, 2, 3, 4, 6})
            ASSERT_THAT(s.items(name, kind), Not(Contains(testing::StartsWith("error")))) << name;
    }
    EXPECT_EQ(s.attribute("Login Time"), "TIME [SglVal\\NonRem\\PublRd\\SyncImdt]");

    // A new change reads again, and finds the server gone.
    LiveSession other(WriteClientConfig(dir, {LdapConnection(server.uri(), "NDS")}, "other.json"));
    EXPECT_EQ(other.change("NDS"), ldapcode::kUnreachable);
    EXPECT_EQ(other.explain(ldapcode::kUnreachable),
              "0xFFFFFD8F (" + server.uri() + ": cannot connect: Can't contact LDAP server)");
}

TEST(PlainServer, NamedByItsAddressWithTheFirstNamingContext) {
    SlapdServer server;
    TempDir dir;
    LiveSession s(WriteClientConfig(dir, {LdapConnection(server.uri())}));
    EXPECT_THAT(s.trees, ElementsAre("127.0.0.1"));
    ASSERT_EQ(s.change("127.0.0.1"), 0);
    EXPECT_EQ(s.nameContext(), "dc=example,dc=com");
    // No X-NDS_ extension anywhere: no containers, no immediate sync, {len} is a size.
    EXPECT_EQ(s.classFlags("organization"), "Effective");
    EXPECT_EQ(s.classFlags("top"), "");
    EXPECT_EQ(s.classFlags("posixAccount"), "Auxiliary");
    EXPECT_EQ(s.attribute("cn"), "CI_STRING [Sized (0-32768)]");
    EXPECT_EQ(s.attribute("createTimestamp"), "TIME [SglVal\\RdOnly]");
    EXPECT_EQ(s.attribute("uidNumber"), "INTEGER [SglVal]");
    EXPECT_THAT(s.items("inetOrgPerson", 0), ElementsAre("organizationalPerson"));
    EXPECT_THAT(s.items("inetOrgPerson", 1), IsEmpty());
    EXPECT_THAT(s.ui.dialogs, IsEmpty());
}

}  // namespace
