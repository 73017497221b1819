// The checks every server family passes, through the client and through kalvix-cli; each
// family's tests call them on their own server.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "CliRunner.h"
#include "LiveDirectory.h"
#include "sources/LdapSchema.h"

namespace family {

// Names of 34 characters and more are the ones a 33-character name buffer would cut.
constexpr std::size_t kShortNameLimit = 33;

inline EnvChanges ClientEnv(const TempDir& dir, const QJsonArray& connections) {
    return {{"KALVIX_CLIENT", WriteClientConfig(dir, connections)}};
}

inline QJsonObject ParseJsonOutput(const CliResult& r) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << r.out << r.err;
    return doc.object();
}

inline std::vector<std::string> JsonTexts(const QJsonValue& list) {
    std::vector<std::string> out;
    for (const QJsonValue& v : list.toArray()) out.push_back(v.toString().toStdString());
    return out;
}

// The same schema over ldap://, over ldaps:// trusting the test CA through caFile, and with
// StartTLS; without caFile the server's certificate is not trusted and nothing is read.
inline void CheckEveryTransport(const LiveDirectory& d, const TempDir& dir) {
    using ::testing::ElementsAre;
    LiveSession s(WriteClientConfig(
        dir, {BoundConnection(d, "PLAIN"), BoundConnection(d, "LDAPS", Transport::Ldaps),
              BoundConnection(d, "STARTTLS", Transport::StartTls),
              BoundConnection(d, "UNTRUSTED", Transport::Ldaps, false),
              BoundConnection(d, "UNTRUSTED-STARTTLS", Transport::StartTls, false)}));
    ASSERT_EQ(s.startCode, 0u);
    ASSERT_EQ(s.change("PLAIN"), 0) << s.explain(s.change("PLAIN"));
    const std::vector<std::string> classes = s.classNames();
    const std::vector<std::string> attributes = s.attributeNames();
    ASSERT_GT(classes.size(), 100u);
    for (const char* tree : {"LDAPS", "STARTTLS"}) {
        SCOPED_TRACE(tree);
        ASSERT_EQ(s.change(tree), 0) << s.explain(s.change(tree));
        EXPECT_EQ(s.classNames(), classes);
        EXPECT_EQ(s.attributeNames(), attributes);
    }
    for (const char* tree : {"UNTRUSTED", "UNTRUSTED-STARTTLS"}) {
        SCOPED_TRACE(tree);
        const DirCode code = s.change(tree);
        EXPECT_EQ(code, ldapcode::kUnreachable) << s.explain(code);
    }
}

// The lists name every class and attribute of the subschema entry, as many as it has
// (counted by the test), each name whole however long.
inline void CheckListsMatchSubschema(const LiveDirectory& d, const TempDir& dir,
                                     std::size_t longAttributesAtLeast) {
    using ::testing::UnorderedElementsAreArray;
    const ServerSchema published = ReadPublishedSchema(d);
    const std::vector<std::string> classNames = ServerSchema::Names(published.classes);
    const std::vector<std::string> attributeNames = ServerSchema::Names(published.attributes);
    EXPECT_GE(LongerThan(attributeNames, kShortNameLimit).size(), longAttributesAtLeast);

    LiveSession s(WriteClientConfig(dir, {BoundConnection(d, "LIVE")}));
    ASSERT_EQ(s.startCode, 0u);
    ASSERT_EQ(s.change("LIVE"), 0) << s.explain(s.change("LIVE"));
    const std::vector<std::string> classes = s.classNames();
    const std::vector<std::string> attributes = s.attributeNames();
    EXPECT_EQ(classes.size(), published.classes.size());
    EXPECT_EQ(attributes.size(), published.attributes.size());
    EXPECT_THAT(classes, UnorderedElementsAreArray(classNames));
    EXPECT_THAT(attributes, UnorderedElementsAreArray(attributeNames));
    for (const std::string& name : LongerThan(attributeNames, kShortNameLimit)) {
        const std::string definition = s.attribute(name);
        EXPECT_EQ(definition.rfind("error", 0), std::string::npos) << name << ": " << definition;
    }
}

// Inside class definitions, the super classes and the mandatory and optional attributes
// that carry a long name are listed whole, in the order the server publishes them.
inline void CheckLongNamesInsideClasses(const LiveDirectory& d, const TempDir& dir) {
    const ServerSchema published = ReadPublishedSchema(d);
    LiveSession s(WriteClientConfig(dir, {BoundConnection(d, "LIVE")}));
    ASSERT_EQ(s.startCode, 0u);
    ASSERT_EQ(s.change("LIVE"), 0) << s.explain(s.change("LIVE"));
    constexpr int kSuper = 0, kMandatory = 3, kOptional = 4;
    std::size_t checked = 0;
    for (const ServerDefinition& c : published.classes) {
        const std::pair<int, const std::vector<std::string>*> lists[] = {
            {kSuper, &c.sup}, {kMandatory, &c.must}, {kOptional, &c.may}};
        for (const auto& [kind, list] : lists) {
            if (LongerThan(*list, kShortNameLimit).empty()) continue;
            ++checked;
            EXPECT_EQ(s.items(c.name, kind), *list) << c.name << " list " << kind;
        }
    }
    EXPECT_GT(checked, 0u) << "no class names a long attribute or super class";
}

// Saves the live tree with kalvix-cli into a file; its path.
inline std::string SaveTree(const EnvChanges& env, const TempDir& dir, const std::string& tree,
                            const std::string& name) {
    const std::string file = dir.file(name);
    const CliResult r = RunCli({"save", "tree:" + tree, file}, env);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return file;
}

// The tree and the schema file saved from it compare equal.
inline void CheckEqualsSavedFile(const LiveDirectory& d, const TempDir& dir) {
    const EnvChanges env = ClientEnv(dir, {BoundConnection(d, "LIVE")});
    const std::string file = SaveTree(env, dir, "LIVE", "saved.sch");
    const CliResult r = RunCli({"compare", "tree:LIVE", file}, env);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "No differences found\n");
}

// After change() alters the live schema, the full comparison against the file saved just
// before shows exactly the new class and the new attribute as the live tree's own.
template <class Change>
void CheckChangeShows(const LiveDirectory& d, const TempDir& dir, const std::string& newClass,
                      const std::string& newAttribute, Change change) {
    using ::testing::ElementsAre;
    using ::testing::IsEmpty;
    const EnvChanges env = ClientEnv(dir, {BoundConnection(d, "LIVE")});
    const std::string before = SaveTree(env, dir, "LIVE", "before.sch");
    ASSERT_EQ(RunCli({"compare", "-q", "tree:LIVE", before}, env).status, 0);
    const std::string failure = change();
    ASSERT_EQ(failure, "");

    const CliResult r = RunCli({"compare", "--format", "json", "-q", "tree:LIVE", before}, env);
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    const QJsonObject json = ParseJsonOutput(r);
    const QJsonObject classes = json.value("classes").toObject();
    const QJsonObject attributes = json.value("attributes").toObject();
    EXPECT_THAT(JsonTexts(classes.value("unique1")), ElementsAre(newClass));
    EXPECT_THAT(JsonTexts(classes.value("unique2")), IsEmpty());
    EXPECT_THAT(classes.value("differences").toArray(), IsEmpty());
    EXPECT_THAT(JsonTexts(attributes.value("unique1")), ElementsAre(newAttribute));
    EXPECT_THAT(JsonTexts(attributes.value("unique2")), IsEmpty());
    EXPECT_THAT(attributes.value("differences").toArray(), IsEmpty());

    // The new class names the new attribute whole.
    const CliResult shown = RunCli({"show", "--class", "tree:LIVE", newClass}, env);
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.out.find(newAttribute), std::string::npos) << shown.out;
}

}  // namespace family
