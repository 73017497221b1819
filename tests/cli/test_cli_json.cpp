// --format json: one document whose shape the README describes, and the writer under it.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include "CliRunner.h"
#include "Json.h"

namespace {

QJsonObject Document(const CliResult& r) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    EXPECT_TRUE(doc.isObject());
    return doc.object();
}

QStringList Strings(const QJsonValue& value) {
    QStringList list;
    for (const QJsonValue& v : value.toArray()) list << v.toString();
    return list;
}

QJsonObject Object(std::initializer_list<std::pair<QString, QJsonValue>> fields) {
    QJsonObject o;
    for (const auto& [key, value] : fields) o.insert(key, value);
    return o;
}

TEST(CliJson, CompareGivesNamesAndEveryFindingAsAnObject) {
    const std::string lab1 = CliData("lab_1.txt");
    const CliResult r = RunCli({"compare", "--format", "json", lab1, CliData("lab_2.txt")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    const QJsonObject doc = Document(r);
    EXPECT_EQ(doc.keys(), (QStringList{"attributes", "classes", "different", "format", "trees"}));
    EXPECT_EQ(doc["format"], QJsonValue(1));

    const QJsonArray trees = doc["trees"].toArray();
    ASSERT_EQ(trees.size(), 2);
    EXPECT_EQ(trees[0].toObject(), Object({{"tree", 1},
                                           {"name", "LAB_TREE"},
                                           {"source", "file"},
                                           {"file", QString::fromStdString(lab1)}}));
    EXPECT_EQ(trees[1]["name"].toString(), "SALES");

    const QJsonObject classes = doc["classes"].toObject();
    EXPECT_EQ(Strings(classes["unique1"]), QStringList{"Group"});
    EXPECT_EQ(Strings(classes["common"]),
              (QStringList{"Organization", "Organizational Unit", "Person", "Top", "User"}));
    EXPECT_EQ(Strings(classes["unique2"]), QStringList{"Printer"});
    const QJsonArray found = classes["differences"].toArray();
    ASSERT_EQ(found.size(), 10);
    EXPECT_EQ(found[0].toObject(), Object({{"class", "Person"},
                                           {"kind", "Mandatory Attribute"},
                                           {"tree", 1},
                                           {"item", "Surname"}}));
    // Differing flags: one object per tree, kind "Flags", the flags text as the item.
    EXPECT_EQ(found[5].toObject(), Object({{"class", "Top"},
                                           {"kind", "Flags"},
                                           {"tree", 1},
                                           {"item", "Effective\\Non-Removable"}}));
    EXPECT_EQ(found[6].toObject(),
              Object({{"class", "Top"}, {"kind", "Flags"}, {"tree", 2}, {"item", "Effective"}}));
    EXPECT_EQ(found[7].toObject(),
              Object({{"class", "User"}, {"kind", "Super Class"}, {"tree", 2}, {"item", "Top"}}));
    // "Attribute" is a kind of its own, not the tail of "Optional Attribute".
    EXPECT_EQ(
        found[9].toObject(),
        Object(
            {{"class", "User"}, {"kind", "Attribute"}, {"tree", 1}, {"item", "Group Membership"}}));

    const QJsonObject attrs = doc["attributes"].toObject();
    EXPECT_EQ(Strings(attrs["unique1"]), (QStringList{"Telephone Number", "uniqueID"}));
    EXPECT_EQ(Strings(attrs["unique2"]), (QStringList{"Email Address", "Login Disabled"}));
    const QJsonArray defs = attrs["differences"].toArray();
    ASSERT_EQ(defs.size(), 2);
    EXPECT_EQ(defs[0].toObject(), Object({{"attribute", "Full Name"},
                                          {"definition1", "CI_STRING [Sized (1-127)]"},
                                          {"definition2", "Ci_String [Sized (1-127)]"}}));
    EXPECT_EQ(doc["different"], QJsonValue(true));
}

TEST(CliJson, EachCommandHasItsOwnParts) {
    const std::string lab1 = CliData("lab_1.txt");
    const std::string lab2 = CliData("lab_2.txt");
    const QJsonObject quick = Document(RunCli({"quick", "--format=json", lab1, lab2}));
    EXPECT_EQ(quick.keys(), (QStringList{"attributes", "classes", "different", "format", "trees"}));
    EXPECT_EQ(quick["classes"].toObject().keys(), (QStringList{"common", "unique1", "unique2"}));

    const QJsonObject classes = Document(RunCli({"compare-classes", "--format=json", lab1, lab2}));
    EXPECT_EQ(classes.keys(), (QStringList{"classes", "different", "format", "trees"}));
    const QJsonObject attrs = Document(RunCli({"compare-attributes", "--format=json", lab1, lab2}));
    EXPECT_EQ(attrs.keys(), (QStringList{"attributes", "different", "format", "trees"}));
    EXPECT_EQ(attrs["attributes"].toObject().keys(),
              (QStringList{"common", "differences", "unique1", "unique2"}));
}

TEST(CliJson, NothingFoundIsStillADocument) {
    const std::string lab = CliData("lab_2.txt");
    const CliResult r = RunCli({"compare", "--format", "json", lab, lab});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "No differences found\n");
    const QJsonObject doc = Document(r);
    EXPECT_EQ(doc["different"], QJsonValue(false));
    EXPECT_TRUE(doc["classes"]["differences"].toArray().isEmpty());
    EXPECT_TRUE(doc["attributes"]["unique1"].toArray().isEmpty());
}

TEST(CliJson, QuirksAreReadAsTheIniRulesSay) {
    const CliResult r =
        RunCli({"compare", "--format", "json", CliData("quirks_1.txt"), CliData("quirks_2.txt")});
    const QJsonObject doc = Document(r);
    // Quoted, after a preamble that holds the same key: the first section's value.
    EXPECT_EQ(doc["trees"][0]["name"].toString(), "QUIRK_TREE");
    EXPECT_EQ(Strings(doc["attributes"]["common"]),
              (QStringList{"CN", "Description", "Surname", "Title", "Title"}));
    const QJsonArray defs = doc["attributes"]["differences"].toArray();
    ASSERT_EQ(defs.size(), 2);
    EXPECT_EQ(defs[0]["definition1"].toString(), "\"CI_STRING [Sized (1-64)]");
}

TEST(CliJson, BytesThatAreNotUtf8ShowAsTheWindowShowsThem) {
    const CliResult r = RunCli(
        {"compare-attributes", "--format", "json", CliData("bytes_1.txt"), CliData("bytes_2.txt")});
    const QJsonObject doc = Document(r);
    EXPECT_EQ(doc["trees"][0]["name"].toString(), QString::fromUtf8("M\u00dcNCHEN"));
    EXPECT_EQ(Strings(doc["attributes"]["unique1"]), QStringList{QString::fromUtf8("Stra\u00dfe")});
    EXPECT_EQ(doc["attributes"]["differences"][0]["definition2"].toString(),
              QString::fromUtf8("CI_STRING [Sized (1-64)] \u00absized\u00bb"));
}

TEST(JsonWriter, EscapesWhatJsonCannotHoldAsItIs) {
    struct Case {
        std::string bytes;
        std::string json;
    };
    const std::vector<Case> cases = {
        {"plain", "\"plain\""},
        {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"back\\slash", "\"back\\\\slash\""},
        {std::string("tab\tnl\ncr\rnul\0x\x1f", 16), "\"tab\\tnl\\ncr\\rnul\\u0000x\\u001f\""},
        {"caf\xc3\xa9", "\"caf\xc3\xa9\""},  // valid UTF-8 passes as it is
        {"caf\xe9", "\"caf\xc3\xa9\""},      // else one byte a character
        {"", "\"\""},
    };
    for (const Case& c : cases) EXPECT_EQ(cli::JsonString(c.bytes), c.json) << c.json;
}

}  // namespace
