// --format json: one document whose shape the README describes, and the writer under it.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <algorithm>

#include "CliRunner.h"
#include "cli/Commands.h"
#include "core/compare/Compare.h"
#include "core/writers/Json.h"
#include "sources/ClientFactory.h"

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

std::shared_ptr<const TreeSchema> Published(
    const std::vector<std::pair<ElementType, std::string>>& texts) {
    auto schema = std::make_shared<TreeSchema>();
    for (const auto& [type, text] : texts) {
        ElementParse parsed = ParseLdapElement(type, text);
        EXPECT_TRUE(parsed.element) << text << ": " << parsed.error;
        if (parsed.element) schema->published.of(type).push_back(*parsed.element);
        schema->published.setPublished(type);
    }
    schema->index();
    return schema;
}

Finding Make(FindingType type, int kind, const std::string& name, int tree, std::string text1,
             std::string text2 = {}, std::string label = {}) {
    Finding f;
    f.type = type;
    f.kind = kind;
    f.name = name;
    f.tree = tree;
    f.text1 = std::move(text1);
    f.text2 = std::move(text2);
    f.label = std::move(label);
    return f;
}

TEST(ComparisonJson, PublishedFindingsAreObjectsOfTheirOwnKinds) {
    constexpr int kClass = static_cast<int>(ElementType::ObjectClass);
    constexpr int kAttr = static_cast<int>(ElementType::AttributeType);
    constexpr auto kRule = ElementType::MatchingRule;
    constexpr auto kSyntax = ElementType::LdapSyntax;
    Workspace ws(CreateUnavailableClient(""));
    for (int t = 1; t <= 2; ++t) {
        ws.tree(t).TreeName = t == 1 ? "ONE" : "TWO";
        ws.tree(t).FileName = "/srv/tree" + std::to_string(t) + ".txt";
        ws.tree(t).ClassNames = {{"account", 0}};
        ws.tree(t).AttrNames = {{"mail", 0}};
    }
    const std::string ia5 = "1.3.6.1.4.1.1466.115.121.1.26";
    ws.tree(1).Schema = Published({
        {kSyntax, "( " + ia5 + " DESC 'IA5 String' )"},
        {kRule, "( 2.5.13.5 NAME 'caseExactMatch' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )"},
        {kRule, "( 1.3.6.1.4.1.55555.4.1 NAME 'badgeMatch' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )"},
    });
    ws.tree(2).Schema = Published({
        {kSyntax, "( " + ia5 + " DESC 'IA5 String' )"},
        {kSyntax, "( 1.3.6.1.4.1.55555.3.1 DESC 'Badge' )"},
        {kRule, "( 1.3.6.1.4.1.55555.4.1 NAME 'BADGEMATCH' SYNTAX " + ia5 + " )"},
    });
    ASSERT_TRUE(PublishesOtherElements(ws));
    ComparisonFindings found;
    found.classes = Findings{
        Make(FindingType::SameOid, kClass, "oldAccount", 1, "newAccount", "1.3.6.1.4.1.55555.2.9"),
        Make(FindingType::ClassItem, ikMandatoryAttribute, "account", 2, "uid"),
        Make(FindingType::Field, kClass, "account", 0, "A login", "", "Description"),
    };
    found.attributes = Findings{
        Make(FindingType::SameOid, kAttr, "userid", 2, "uid", "0.9.2342.19200300.100.1.1"),
        Make(FindingType::Field, kAttr, "mail", 0, "caseIgnoreIA5Match", "caseExactIA5Match",
             "Equality"),
    };
    found.elements.emplace();
    CompareOtherElements(ws, [&](const Finding& f) { found.elements->push_back(f); });

    const std::string text = ComparisonJson(ws, found);
    const QJsonObject doc = Document(CliResult{0, text, ""});
    // The new members stand in their places, the old ones keep theirs.
    std::vector<std::size_t> at;
    for (const char* key : {"\"trees\"", "\"ignored\"", "\"classes\"", "\"attributes\"",
                            "\"elements\"", "\"different\""})
        at.push_back(text.find(key));
    EXPECT_EQ(std::count(at.begin(), at.end(), std::string::npos), 0) << text;
    EXPECT_TRUE(std::is_sorted(at.begin(), at.end())) << text;
    EXPECT_EQ(Strings(doc["ignored"]), (QStringList{"X-ORIGIN", "X-SCHEMA-FILE"}));
    EXPECT_EQ(doc["classes"]["differences"].toArray(),
              (QJsonArray{Object({{"class", "oldAccount"},
                                  {"kind", "SameOid"},
                                  {"tree", 1},
                                  {"other", "newAccount"},
                                  {"oid", "1.3.6.1.4.1.55555.2.9"}}),
                          Object({{"class", "account"},
                                  {"kind", "Mandatory Attribute"},
                                  {"tree", 2},
                                  {"item", "uid"}}),
                          Object({{"class", "account"},
                                  {"kind", "Field"},
                                  {"field", "Description"},
                                  {"value1", "A login"},
                                  {"value2", ""}})}));
    EXPECT_EQ(doc["attributes"]["differences"].toArray(),
              (QJsonArray{Object({{"attribute", "userid"},
                                  {"kind", "SameOid"},
                                  {"tree", 2},
                                  {"other", "uid"},
                                  {"oid", "0.9.2342.19200300.100.1.1"}}),
                          Object({{"attribute", "mail"},
                                  {"kind", "Field"},
                                  {"field", "Equality"},
                                  {"value1", "caseIgnoreIA5Match"},
                                  {"value2", "caseExactIA5Match"}})}));
    // Type by type as the comparison gives them: unique ones, then differing fields.
    EXPECT_EQ(doc["elements"].toArray(),
              (QJsonArray{Object({{"type", "Syntax"},
                                  {"name", "1.3.6.1.4.1.55555.3.1"},
                                  {"kind", "Unique"},
                                  {"tree", 2}}),
                          Object({{"type", "Matching Rule"},
                                  {"name", "caseExactMatch"},
                                  {"kind", "Unique"},
                                  {"tree", 1}}),
                          Object({{"type", "Matching Rule"},
                                  {"name", "badgeMatch"},
                                  {"kind", "Field"},
                                  {"field", "Syntax"},
                                  {"value1", "1.3.6.1.4.1.1466.115.121.1.15 (Directory String)"},
                                  {"value2", QString::fromStdString(ia5 + " (IA5 String)")}})}));
    EXPECT_EQ(doc["different"], QJsonValue(true));

    // The report of the same run: what was left out, and the elements both trees publish.
    const ReportInput report = ComparisonReport(RunInfo{ws, {}, "kalvix-cli"}, found);
    EXPECT_EQ(report.fieldsLeftOut, (std::vector<std::string>{"X-ORIGIN", "X-SCHEMA-FILE"}));
    ASSERT_TRUE(report.elements);
    std::vector<std::string> common;
    for (const ReportElement& e : report.elements->common)
        common.push_back(ElementTypeLabel(e.kind) + " " + e.name);
    EXPECT_EQ(common, (std::vector<std::string>{"Syntax " + ia5, "Matching Rule badgeMatch"}));

    // What --ignore says, as it says it; none leaves nothing out.
    struct Ignore {
        const char* list;
        QStringList described;
    };
    for (const Ignore& c : {Ignore{"none", {}}, Ignore{"description, Super Type,extensions",
                                                       {"Description", "Super Type", "Super Class",
                                                        "Super Rule", "extensions"}}}) {
        std::vector<std::string> unknown;
        ws.Fields = FieldFilter::Parse(c.list, unknown);
        EXPECT_TRUE(unknown.empty()) << c.list;
        EXPECT_EQ(Strings(Document(CliResult{0, ComparisonJson(ws, found), ""})["ignored"]),
                  c.described)
            << c.list;
    }
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
    for (const Case& c : cases) EXPECT_EQ(JsonString(c.bytes), c.json) << c.json;
}

}  // namespace
