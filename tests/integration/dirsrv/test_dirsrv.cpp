// A live 389 Directory Server read through the client and kalvix-cli: every transport,
// the whole subschema entry with its long names, a saved schema file, and a schema change
// made live.
#include "DirsrvServer.h"
#include "FamilyChecks.h"

namespace {

using Dirsrv = LiveServerTest<DirsrvServer>;

// 389 publishes 47 attribute names longer than 33 characters.
constexpr std::size_t kLongAttributeNames = 47;

TEST_F(Dirsrv, ReadsOverLdapLdapsAndStartTls) { family::CheckEveryTransport(live, dir); }

TEST_F(Dirsrv, ListsEveryClassAndAttributeOfTheSubschemaWhole) {
    family::CheckListsMatchSubschema(live, dir, kLongAttributeNames);
}

TEST_F(Dirsrv, ClassDefinitionsNameLongItemsWhole) {
    family::CheckLongNamesInsideClasses(live, dir);
}

TEST_F(Dirsrv, TheTreeEqualsTheSchemaFileSavedFromIt) { family::CheckEqualsSavedFile(live, dir); }

TEST_F(Dirsrv, ASchemaChangeMadeLiveIsAFindingAgainstTheFileSavedBefore) {
    const std::string attribute = "kalvixTestRetentionWindowLengthInSeconds";
    const std::string objectClass = "kalvixTestRetentionPolicy";
    family::CheckChangeShows(live, dir, objectClass, attribute, [&] {
        return LdapModify(live, dir,
                          "dn: cn=schema\n"
                          "changetype: modify\n"
                          "add: attributeTypes\n"
                          "attributeTypes: ( 1.3.6.1.4.1.55555.1.1.1 NAME '" +
                              attribute +
                              "' SYNTAX 1.3.6.1.4.1.1466.115.121.1.27 SINGLE-VALUE "
                              "X-ORIGIN 'Kalvix tests' )\n"
                              "-\n"
                              "add: objectClasses\n"
                              "objectClasses: ( 1.3.6.1.4.1.55555.1.2.1 NAME '" +
                              objectClass + "' SUP top STRUCTURAL MUST cn MAY " + attribute +
                              " X-ORIGIN 'Kalvix tests' )\n"
                              "-\n");
    });
}

}  // namespace
