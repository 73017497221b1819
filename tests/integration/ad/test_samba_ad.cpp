// A live Samba AD domain controller read through the client and kalvix-cli: every
// transport, the whole subschema entry with its long names and AD's own syntaxes, a saved
// schema file, a schema change made live, and kalvix-cli between the three server families.
#include <set>

#include "DirsrvServer.h"
#include "FamilyChecks.h"
#include "SambaDcServer.h"
#include "SlapdServer.h"

using ::testing::StartsWith;

namespace {

using SambaAd = LiveServerTest<SambaDcServer>;

// The domain controller publishes 40 attribute names longer than 33 characters.
constexpr std::size_t kLongAttributeNames = 40;

TEST_F(SambaAd, ReadsOverLdapLdapsAndStartTls) { family::CheckEveryTransport(live, dir); }

TEST_F(SambaAd, ListsEveryClassAndAttributeOfTheSubschemaWhole) {
    family::CheckListsMatchSubschema(live, dir, kLongAttributeNames);
}

TEST_F(SambaAd, ClassDefinitionsNameLongItemsWhole) {
    family::CheckLongNamesInsideClasses(live, dir);
}

TEST_F(SambaAd, TheTreeEqualsTheSchemaFileSavedFromIt) { family::CheckEqualsSavedFile(live, dir); }

TEST_F(SambaAd, AdsOwnSyntaxesShowTheirMeaning) {
    const ServerSchema published = ReadPublishedSchema(live);
    LiveSession s(WriteClientConfig(dir, {BoundConnection(live, "LIVE")}));
    ASSERT_EQ(s.change("LIVE"), 0) << s.explain(s.change("LIVE"));
    EXPECT_THAT(s.attribute("pwdLastSet"), StartsWith("INTEGER"));
    EXPECT_THAT(s.attribute("nTSecurityDescriptor"), StartsWith("OCTET_STRING"));
    EXPECT_THAT(s.attribute("mSMQLabel"), StartsWith("CI_STRING"));
    EXPECT_THAT(s.attribute("wellKnownObjects"), StartsWith("UNKNOWN"));
    // Only the syntaxes that pair a name with other data have no name that means the same.
    const std::set<std::string> noCounterpart = {"1.2.840.113556.1.4.903", "1.2.840.113556.1.4.904",
                                                 "1.2.840.113556.1.4.1221"};
    std::size_t unknown = 0;
    for (const ServerDefinition& a : published.attributes) {
        const std::string text = s.attribute(a.name);
        const bool expectUnknown = noCounterpart.count(a.syntax) != 0;
        unknown += expectUnknown ? 1 : 0;
        EXPECT_EQ(text.rfind("UNKNOWN", 0) == 0, expectUnknown)
            << a.name << " " << a.syntax << ": " << text;
    }
    EXPECT_GT(unknown, 0u);
    EXPECT_LT(unknown, 20u);
}

TEST_F(SambaAd, ASchemaChangeMadeLiveIsAFindingAgainstTheFileSavedBefore) {
    const std::string attribute = "kalvixTestRetentionWindowLengthInSeconds";
    const std::string objectClass = "kalvixTestRetentionPolicy";
    const std::string container = server->schemaContainer();
    family::CheckChangeShows(live, dir, objectClass, attribute, [&] {
        // AD takes no RFC 4512 modify of the subschema: new schema objects, then a reload.
        return LdapModify(live, dir,
                          "dn: CN=kalvix-Test-Retention-Window," + container +
                              "\n"
                              "changetype: add\n"
                              "objectClass: top\n"
                              "objectClass: attributeSchema\n"
                              "attributeID: 1.3.6.1.4.1.55555.1.1.1\n"
                              "lDAPDisplayName: " +
                              attribute +
                              "\n"
                              "attributeSyntax: 2.5.5.9\n"
                              "oMSyntax: 2\n"
                              "isSingleValued: TRUE\n"
                              "\n"
                              "dn: CN=kalvix-Test-Retention-Policy," +
                              container +
                              "\n"
                              "changetype: add\n"
                              "objectClass: top\n"
                              "objectClass: classSchema\n"
                              "governsID: 1.3.6.1.4.1.55555.1.2.1\n"
                              "lDAPDisplayName: " +
                              objectClass +
                              "\n"
                              "objectClassCategory: 1\n"
                              "subClassOf: top\n"
                              "possSuperiors: container\n"
                              "mayContain: " +
                              attribute +
                              "\n"
                              "\n"
                              "dn:\n"
                              "changetype: modify\n"
                              "add: schemaUpdateNow\n"
                              "schemaUpdateNow: 1\n"
                              "-\n");
    });
}

// What kalvix-cli's comparison of two trees must count, from their subschema entries.
struct ExpectedCounts {
    std::size_t unique1, common, unique2;
};

ExpectedCounts Counts(const std::vector<std::string>& names1,
                      const std::vector<std::string>& names2) {
    const std::set<std::string> a = FoldedNames(names1);
    const std::set<std::string> b = FoldedNames(names2);
    std::size_t common = 0;
    for (const std::string& n : a) common += b.count(n);
    return {a.size() - common, common, b.size() - common};
}

TEST_F(SambaAd, KalvixCliComparesTheThreeServerFamilies) {
    SlapdServer slapd;
    DirsrvServer* dirsrv = SharedServer<DirsrvServer>::Get();
    ASSERT_NE(dirsrv, nullptr) << SharedServer<DirsrvServer>::Error();
    const std::map<std::string, LiveDirectory> families = {
        {"OPENLDAP", LiveDirectory{slapd.uri(), "", "", "", "", "cn=Subschema"}},
        {"389", Describe(*dirsrv)},
        {"AD", live},
    };
    QJsonArray connections;
    std::map<std::string, ServerSchema> published;
    for (const auto& [name, d] : families) {
        connections.append(BoundConnection(d, name));
        published[name] = ReadPublishedSchema(d);
    }
    const EnvChanges env = family::ClientEnv(dir, connections);
    const std::pair<const char*, const char*> pairs[] = {
        {"OPENLDAP", "389"}, {"389", "AD"}, {"AD", "OPENLDAP"}};
    for (const auto& [first, second] : pairs) {
        SCOPED_TRACE(std::string(first) + " against " + second);
        const CliResult r = RunCli({"compare", "--format", "json", "-q",
                                    std::string("tree:") + first, std::string("tree:") + second},
                                   env);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(r.err, "");
        const QJsonObject json = family::ParseJsonOutput(r);
        const ServerSchema& one = published[first];
        const ServerSchema& two = published[second];
        const std::pair<const char*, ExpectedCounts> expected[] = {
            {"classes", Counts(ServerSchema::Names(one.classes), ServerSchema::Names(two.classes))},
            {"attributes",
             Counts(ServerSchema::Names(one.attributes), ServerSchema::Names(two.attributes))},
        };
        for (const auto& [kind, counts] : expected) {
            const QJsonObject lists = json.value(kind).toObject();
            EXPECT_EQ(static_cast<std::size_t>(lists.value("unique1").toArray().size()),
                      counts.unique1)
                << kind;
            EXPECT_EQ(static_cast<std::size_t>(lists.value("common").toArray().size()),
                      counts.common)
                << kind;
            EXPECT_EQ(static_cast<std::size_t>(lists.value("unique2").toArray().size()),
                      counts.unique2)
                << kind;
            EXPECT_GT(counts.common, 0u) << kind;
        }
    }
}

}  // namespace
