// Trees with published LDAP definitions (LDIF dumps of a subschema entry, read through the
// client's ldif connections): every field of a definition in the verdict, the noise left
// out, and the same findings in the text, the JSON document, the report and show.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cctype>
#include <sstream>

#include "CliRunner.h"
#include "HtmlDoc.h"
#include "TempDir.h"

namespace {

const std::string kBase = "published_1.ldif";

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// Two ldif connections, ONE and TWO, in a client configuration of their own.
class PublishedTrees {
  public:
    PublishedTrees(const std::string& one, const std::string& two) {
        config_ = dir_.write("kalvix-client.json",
                             "{\"connections\": [\n"
                             " {\"kind\": \"ldif\", \"treeName\": \"ONE\", \"file\": \"" +
                                 one + "\"},\n {\"kind\": \"ldif\", \"treeName\": \"TWO\", " +
                                 "\"file\": \"" + two + "\"}\n]}\n");
    }
    // Tree #2 is the base dump with one text replaced; it must stand there once.
    static PublishedTrees Changed(TempDir& dir, const std::string& from, const std::string& to) {
        std::string text = ReadBytes(CliData(kBase));
        const std::size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        EXPECT_EQ(text.find(from, at + 1), std::string::npos) << from << " stands twice";
        if (at != std::string::npos) text.replace(at, from.size(), to);
        return PublishedTrees(CliData(kBase), dir.write("changed.ldif", text));
    }

    // show for Tree ONE.
    CliResult show(const std::string& name) const {
        return RunCli({"show", "--quiet", "tree:ONE", name}, {{"KALVIX_CLIENT", config_}});
    }

    CliResult run(std::vector<std::string> args) const {
        args.insert(args.begin() + 1, "--quiet");
        args.push_back("tree:ONE");
        args.push_back("tree:TWO");
        return RunCli(args, {{"KALVIX_CLIENT", config_}});
    }

  private:
    TempDir dir_;
    std::string config_;
};

struct Change {
    const char* what;
    std::string from;
    std::string to;
    std::vector<std::string> lines;         // what compare prints; none: exit 0
    std::vector<std::string> options = {};  // before the operands
};

const std::string kAttr = "Attribute Definition for ";
const std::string kClass = "Class Definition for ";

// A value of "(none)" stands unquoted, as a field a definition lacks does.
std::vector<std::string> Pair(const std::string& what, const std::string& label,
                              const std::string& value1, const std::string& value2) {
    const auto shown = [](const std::string& v) { return v == "(none)" ? v : "\"" + v + "\""; };
    return {"Tree #1 - " + what + " has " + label + ": " + shown(value1),
            "Tree #2 - " + what + " has " + label + ": " + shown(value2)};
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::string kDirectoryString = "1.3.6.1.4.1.1466.115.121.1.15 (Directory String)";

const Change kChanges[] = {
    // A change an administrator tried, each alone: the fields the records cannot hold.
    {"an equality rule", "NAME ( 'mail' 'rfc822mailbox' ) EQUALITY caseIgnoreIA5Match",
     "NAME ( 'mail' 'rfc822mailbox' ) EQUALITY caseExactIA5Match",
     Pair(kAttr + "\"mail\"", "Equality", "caseIgnoreIA5Match", "caseExactIA5Match")},
    {"an OID", "( 0.9.2342.19200300.100.1.1 NAME", "( 1.3.6.1.4.1.55555.1.9 NAME",
     Pair(kAttr + "\"uid\"", "OID", "0.9.2342.19200300.100.1.1", "1.3.6.1.4.1.55555.1.9")},
    {"a substring rule removed", " SUBSTR telephoneNumberSubstringsMatch", "",
     Pair(kAttr + "\"telephoneNumber\"", "Substring", "telephoneNumberSubstringsMatch", "(none)")},
    {"a syntax the records map to the same syntax id",
     "NAME 'description' EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch SYNTAX "
     "1.3.6.1.4.1.1466.115.121.1.15 ",
     "NAME 'description' EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch SYNTAX "
     "1.3.6.1.4.1.1466.115.121.1.11 ",
     Pair(kAttr + "\"description\"", "Syntax", kDirectoryString,
          "1.3.6.1.4.1.1466.115.121.1.11 (Country String)")},
    {"an alias removed",
     "NAME ( 'uid' 'userid' )",
     "NAME 'uid'",
     {"Tree #1 - " + kAttr + "\"uid\" has Names: \"userid\""}},
    // One change for each other label.
    {"a description", "DESC 'Badge number'", "DESC 'Badge id'",
     Pair(kAttr + "\"vandelayBadge\"", "Description", "Badge number", "Badge id")},
    {"obsolete no more", "'Former import code' OBSOLETE", "'Former import code'",
     Pair(kAttr + "\"vandelayImportCode\"", "Obsolete", "TRUE", "FALSE")},
    {"a super type of the same syntax", "NAME ( 'cn' 'commonName' ) SUP name",
     "NAME ( 'cn' 'commonName' ) SUP l", Pair(kAttr + "\"cn\"", "Super Type", "name", "l")},
    {"an ordering rule removed", " ORDERING integerOrderingMatch", "",
     Pair(kAttr + "\"uidNumber\"", "Ordering", "integerOrderingMatch", "(none)")},
    {"collective no more", "SUP l COLLECTIVE", "SUP l",
     Pair(kAttr + "\"c-l\"", "Collective", "TRUE", "FALSE")},
    {"a usage", "USAGE directoryOperation", "USAGE dSAOperation",
     Pair(kAttr + "\"createTimestamp\"", "Usage", "directoryOperation", "dSAOperation")},
    {"an extension of the server's own", "X-VANDELAY-OWNER 'facilities'",
     "X-VANDELAY-OWNER 'security'",
     Pair(kAttr + "\"vandelayBadge\"", "X-VANDELAY-OWNER", "facilities", "security")},
    {"a class's description", "DESC 'A Vandelay employee'", "DESC 'A Vandelay worker'",
     Pair(kClass + "\"vandelayEmployee\"", "Description", "A Vandelay employee",
          "A Vandelay worker")},
    // The other element types: compare only.
    {"a matching rule's description", "DESC 'Vandelay badge numbers'", "DESC 'Badge numbers'",
     Pair("Matching Rule Definition for \"badgeMatch\"", "Description", "Vandelay badge numbers",
          "Badge numbers")},
    {"a syntax fewer",
     "ldapSyntaxes: ( 1.3.6.1.4.1.1466.115.121.1.44 DESC 'Printable String' X-ORIGIN 'RFC 4517' "
     ")\n",
     "",
     {"Tree #1 - Unique Syntax: \"1.3.6.1.4.1.1466.115.121.1.44\""}},
    // Fields the records hold too: one field line each, in LDAP's words.
    {"a class's OID", "( 1.3.6.1.4.1.55555.2.2 NAME", "( 1.3.6.1.4.1.55555.2.7 NAME",
     Pair(kClass + "\"vandelayImporter\"", "OID", "1.3.6.1.4.1.55555.2.2",
          "1.3.6.1.4.1.55555.2.7")},
    {"a syntax of another syntax id",
     "NAME 'description' EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch SYNTAX "
     "1.3.6.1.4.1.1466.115.121.1.15 ",
     "NAME 'description' EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch SYNTAX "
     "1.3.6.1.4.1.1466.115.121.1.44 ",
     Pair(kAttr + "\"description\"", "Syntax", kDirectoryString,
          "1.3.6.1.4.1.1466.115.121.1.44 (Printable String)")},
    {"--ignore syntax leaves every syntax line out",
     "NAME 'description' EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch SYNTAX "
     "1.3.6.1.4.1.1466.115.121.1.15 ",
     "NAME 'description' EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch SYNTAX "
     "1.3.6.1.4.1.1466.115.121.1.44 ",
     {},
     {"--ignore", "syntax"}},
    {"single-valued no more",
     "SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 SINGLE-VALUE X-ORIGIN 'Vandelay' X-VANDELAY-OWNER",
     "SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 X-ORIGIN 'Vandelay' X-VANDELAY-OWNER",
     Pair(kAttr + "\"vandelayBadge\"", "Single Value", "TRUE", "FALSE")},
    {"user-modifiable", "SINGLE-VALUE NO-USER-MODIFICATION USAGE", "SINGLE-VALUE USAGE",
     Pair(kAttr + "\"createTimestamp\"", "No User Modification", "TRUE", "FALSE")},
    {"--ignore by the schema's own keyword",
     "SINGLE-VALUE NO-USER-MODIFICATION USAGE",
     "SINGLE-VALUE USAGE",
     {},
     {"--ignore", "NO-USER-MODIFICATION"}},
    {"a class's kind", "SUP top AUXILIARY", "SUP top STRUCTURAL",
     Pair(kClass + "\"vandelayImporter\"", "Kind", "AUXILIARY", "STRUCTURAL")},
    {"an optional attribute: one line",
     "MAY ( mail $ uidNumber $ vandelayBadge $ l )",
     "MAY ( mail $ uidNumber $ vandelayBadge )",
     {"Tree #1 - " + kClass + "\"vandelayEmployee\" has Optional Attribute: \"l\""}},
    {"an attribute named by another of its names",
     "MAY ( mail $ uidNumber $ vandelayBadge $ l )",
     "MAY ( mail $ uidNumber $ vandelayBadge $ locality )",
     {}},
    // Where a definition came from is not what it is.
    {"X-ORIGIN alone", "X-ORIGIN 'RFC 4524'", "X-ORIGIN 'RFC 1274'", {}},
    {"X-ORIGIN with --ignore none",
     "X-ORIGIN 'RFC 4524'",
     "X-ORIGIN 'RFC 1274'",
     Pair(kAttr + "\"mail\"", "X-ORIGIN", "RFC 4524", "RFC 1274"),
     {"--ignore", "none"}},
    {"--ignore description",
     "DESC 'Badge number'",
     "DESC 'Badge id'",
     {},
     {"--ignore=Description"}},
    {"--ignore extensions",
     "X-VANDELAY-OWNER 'facilities'",
     "X-VANDELAY-OWNER 'security'",
     {},
     {"--ignore", "extensions"}},
    {"--ignore names, equality",
     "NAME ( 'mail' 'rfc822mailbox' ) EQUALITY caseIgnoreIA5Match",
     "NAME 'mail' EQUALITY caseExactIA5Match",
     {},
     {"--ignore", "names", "--ignore", "equality"}},
    // Spelled otherwise, meaning the same.
    {"names and rules in other letter cases",
     "NAME ( 'mail' 'rfc822mailbox' ) EQUALITY caseIgnoreIA5Match SUBSTR "
     "caseIgnoreIA5SubstringsMatch",
     "NAME ( 'MAIL' 'RFC822Mailbox' ) EQUALITY CASEIGNOREIA5MATCH SUBSTR "
     "caseignoreia5substringsmatch",
     {}},
    {"a rule by its OID", "EQUALITY telephoneNumberMatch", "EQUALITY 2.5.13.20", {}},
    {"a rule one server inherits and the other spells out",
     "NAME ( 'sn' 'surname' ) SUP name",
     "NAME ( 'sn' 'surname' ) SUP name EQUALITY caseIgnoreMatch SUBSTR "
     "caseIgnoreSubstringsMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{32768}",
     {}},
    {"a super type by its OID",
     "NAME ( 'sn' 'surname' ) SUP name",
     "NAME ( 'sn' 'surname' ) SUP 2.5.4.41",
     {}},
    {"a list in another order",
     "MAY ( telephoneNumber $ description )",
     "MAY ( description $ TelephoneNumber )",
     {}},
};

void PrintTo(const Change& c, std::ostream* out) { *out << c.what; }

class PublishedChange : public testing::TestWithParam<Change> {};

TEST_P(PublishedChange, GivesExactlyItsLines) {
    const Change& c = GetParam();
    TempDir dir;
    const PublishedTrees trees = PublishedTrees::Changed(dir, c.from, c.to);
    std::vector<std::string> args = {"compare"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const CliResult r = trees.run(args);
    EXPECT_EQ(r.out, Lines(c.lines));
    EXPECT_EQ(r.status, c.lines.empty() ? 0 : 1) << r.err;
    EXPECT_EQ(r.err, "");
}

INSTANTIATE_TEST_SUITE_P(OneFieldAtATime, PublishedChange, testing::ValuesIn(kChanges),
                         [](const testing::TestParamInfo<Change>& info) {
                             std::string name;
                             for (const char c : std::string(info.param.what))
                                 if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                             return name;
                         });

// Two servers of one company a year apart: published_2.ldif differs from published_1.ldif in
// a renamed attribute, a rule, a syntax and a few fields.
PublishedTrees Vandelay() {
    return PublishedTrees(CliData("published_1.ldif"), CliData("published_2.ldif"));
}

// MUST uid against MUST userid: one attribute type under two names, no finding.
const std::vector<std::string> kClassLines = {
    "Tree #1 - Class Definition for \"vandelayEmployee\" has Description: \"A Vandelay employee\"",
    "Tree #2 - Class Definition for \"vandelayEmployee\" has Description: \"An employee of "
    "Vandelay Industries\"",
};
const std::vector<std::string> kAttrLines = {
    "Tree #1 - Unique Attribute: \"uid\"",
    "Tree #2 - Unique Attribute: \"userid\"",
    "Tree #1 - Attribute \"uid\" has the OID of Tree #2's \"userid\": "
    "\"0.9.2342.19200300.100.1.1\"",
    "Tree #1 - Attribute Definition for \"mail\" has Equality: \"caseIgnoreIA5Match\"",
    "Tree #2 - Attribute Definition for \"mail\" has Equality: \"caseExactIA5Match\"",
};
const std::vector<std::string> kElementLines = {
    "Tree #1 - Unique Syntax: \"1.3.6.1.4.1.1466.115.121.1.58\"",
    "Tree #2 - Unique Matching Rule: \"caseExactMatch\"",
    "Tree #1 - Matching Rule Definition for \"badgeMatch\" has Syntax: \"" + kDirectoryString +
        "\"",
    "Tree #2 - Matching Rule Definition for \"badgeMatch\" has Syntax: "
    "\"1.3.6.1.4.1.1466.115.121.1.26 (IA5 String)\"",
};

TEST(CliPublished, CompareAddsTheOtherElementsAfterTheAttributes) {
    const PublishedTrees trees = Vandelay();
    struct Case {
        const char* command;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"compare", kClassLines + kAttrLines + kElementLines},
        {"compare-classes", kClassLines},
        {"compare-attributes", kAttrLines},
    };
    for (const Case& c : cases) {
        const CliResult r = trees.run({c.command});
        EXPECT_EQ(r.status, 1) << c.command << r.err;
        EXPECT_EQ(r.out, Lines(c.lines)) << c.command;
    }
    // The same dumps given as files, the second turned into a .schema file: the same lines.
    TempDir dir;
    std::string schema;
    std::istringstream dump(ReadBytes(CliData("published_2.ldif")));
    for (std::string line; std::getline(dump, line);)
        if (const std::size_t colon = line.find(": ("); colon != std::string::npos)
            schema += line.substr(0, colon) + " " + line.substr(colon + 2) + "\n";
    const std::vector<std::string> operands = {CliData("published_1.ldif"),
                                               dir.write("vandelay.schema.txt", schema)};
    const CliResult files = RunCli({"compare", "--quiet", operands[0], operands[1]});
    EXPECT_EQ(files.out, Lines(kClassLines + kAttrLines + kElementLines)) << files.err;
    // Named as what they are, never "live".
    const CliResult json = RunCli({"compare", "--format", "json", operands[0], operands[1]});
    for (int t = 0; t < 2; ++t) {
        const QJsonObject tree = QJsonDocument::fromJson(QByteArray::fromStdString(json.out))
                                     .object()["trees"][t]
                                     .toObject();
        EXPECT_EQ(tree["source"].toString(), t == 0 ? "ldif" : "schema-files");
        EXPECT_EQ(tree["file"].toString().toStdString(), operands[static_cast<size_t>(t)]);
    }
    // A tree against itself: nothing, published fields and elements included.
    const PublishedTrees same(CliData("published_2.ldif"), CliData("published_2.ldif"));
    const CliResult r = same.run({"compare", "--ignore", "none"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
}

QJsonObject Json(const CliResult& r) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << r.out;
    return doc.object();
}

// The kinds of a differences array in order, with the field where there is one.
QStringList Kinds(const QJsonValue& differences) {
    QStringList kinds;
    for (const QJsonValue& d : differences.toArray()) {
        QString kind = d["kind"].toString();
        if (d["type"].isString()) kind = d["type"].toString() + " " + kind;
        if (d["field"].isString()) kind += " " + d["field"].toString();
        kinds << kind;
    }
    return kinds;
}

TEST(CliPublished, JsonHasEveryFindingAndWhatWasLeftOut) {
    const PublishedTrees trees = Vandelay();
    const CliResult r = trees.run({"compare", "--format", "json"});
    EXPECT_EQ(r.status, 1) << r.err;
    const QJsonObject doc = Json(r);
    EXPECT_EQ(doc.keys(), (QStringList{"attributes", "classes", "different", "elements", "format",
                                       "ignored", "trees"}));
    EXPECT_EQ(doc["ignored"].toArray(), (QJsonArray{"X-ORIGIN", "X-SCHEMA-FILE"}));
    EXPECT_EQ(doc["trees"][1]["source"].toString(), "ldif");
    EXPECT_EQ(Kinds(doc["classes"]["differences"]), (QStringList{"Field Description"}));
    EXPECT_EQ(Kinds(doc["attributes"]["differences"]), (QStringList{"SameOid", "Field Equality"}));
    EXPECT_EQ(doc["attributes"]["differences"][0]["other"].toString(), "userid");
    EXPECT_EQ(Kinds(doc["elements"]),
              (QStringList{"Syntax Unique", "Matching Rule Unique", "Matching Rule Field Syntax"}));

    // compare-classes has no elements; --ignore adds to the defaults.
    const QJsonObject classes =
        Json(trees.run({"compare-classes", "--format", "json", "--ignore", "DESC,x-acme"}));
    EXPECT_EQ(classes.keys(), (QStringList{"classes", "different", "format", "ignored", "trees"}));
    EXPECT_EQ(classes["ignored"].toArray(),
              (QJsonArray{"Description", "X-ACME", "X-ORIGIN", "X-SCHEMA-FILE"}));
    EXPECT_EQ(Kinds(classes["classes"]["differences"]), QStringList{});
}

TEST(CliPublished, ReportShowsFieldRowsSameOidsAndElements) {
    const PublishedTrees trees = Vandelay();
    const CliResult r = trees.run({"compare", "--format", "html"});
    EXPECT_EQ(r.status, 1) << r.err;
    const HtmlDoc doc(r.out);
    ASSERT_EQ(doc.error(), "") << r.out;
    auto texts = [&](int root, const std::string& tag, const std::string& cls = {}) {
        std::vector<std::string> out;
        if (root >= 0)
            for (int e : doc.find(root, tag, cls)) out.push_back(doc.at(e).text);
        return out;
    };
    auto rowCells = [&](const std::string& section) {
        std::vector<std::string> out;
        for (int row : doc.find(doc.byId(section), "tr", "field-row"))
            for (int cell : doc.at(row).children) out.push_back(doc.at(cell).text);
        return out;
    };
    EXPECT_EQ(rowCells("classes-different"),
              (std::vector<std::string>{"Description", "A Vandelay employee",
                                        "An employee of Vandelay Industries"}));
    EXPECT_EQ(rowCells("attributes-different"),
              (std::vector<std::string>{"Equality", "caseIgnoreIA5Match", "caseExactIA5Match"}));
    EXPECT_EQ(rowCells("elements-different"),
              (std::vector<std::string>{"Syntax", kDirectoryString,
                                        "1.3.6.1.4.1.1466.115.121.1.26 (IA5 String)"}));
    EXPECT_EQ(texts(doc.byId("attributes-same-oid"), "li"),
              std::vector<std::string>{kAttrLines[2]});
    EXPECT_EQ(texts(doc.byId("elements-unique2"), "li"),
              std::vector<std::string>{"Matching Rule caseExactMatch"});
    EXPECT_EQ(texts(doc.byId("summary-elements"), "td"),
              (std::vector<std::string>{"1", "23", "1", "1"}));
    // mail differs in a field alone and still counts as defined otherwise.
    EXPECT_EQ(texts(doc.byId("summary-attributes"), "td", "different"),
              std::vector<std::string>{"1"});
    EXPECT_EQ(doc.at(doc.byId("left-out")).text,
              "Fields of the published definitions left out of the comparison: X-ORIGIN, "
              "X-SCHEMA-FILE.");
}

TEST(CliPublished, ShowLaysOutThePublishedFieldsAboveTheText) {
    const PublishedTrees trees = Vandelay();
    const CliResult attr = trees.show("MAIL");
    EXPECT_EQ(attr.status, 0) << attr.err;
    EXPECT_EQ(attr.out, Lines({"mail",
                               "",
                               "OID",
                               "      0.9.2342.19200300.100.1.3",
                               "",
                               "Names",
                               "      mail",
                               "      rfc822mailbox",
                               "",
                               "Equality",
                               "      caseIgnoreIA5Match",
                               "",
                               "Substring",
                               "      caseIgnoreIA5SubstringsMatch",
                               "",
                               "Syntax",
                               "      1.3.6.1.4.1.1466.115.121.1.26{256} (IA5 String)",
                               "",
                               "X-ORIGIN",
                               "      RFC 4524",
                               "",
                               "Published definition:",
                               "( 0.9.2342.19200300.100.1.3 NAME ( 'mail' 'rfc822mailbox' ) "
                               "EQUALITY caseIgnoreIA5Match SUBSTR caseIgnoreIA5SubstringsMatch "
                               "SYNTAX 1.3.6.1.4.1.1466.115.121.1.26{256} X-ORIGIN 'RFC 4524' )"}));
    // Another of its names, or its OID: the same, headed by the name its tree lists.
    for (const char* other : {"RFC822MAILBOX", "0.9.2342.19200300.100.1.3"})
        EXPECT_EQ(trees.show(other).out, attr.out) << other;
    const CliResult cls = trees.show("vandelayImporter");
    EXPECT_EQ(cls.status, 0) << cls.err;
    const std::string tail =
        "\n\nPublished definition:\n( 1.3.6.1.4.1.55555.2.2 NAME 'vandelayImporter' DESC 'Imports "
        "latex' SUP top AUXILIARY MAY vandelayImportCode X-ORIGIN 'Vandelay' )\n";
    EXPECT_TRUE(cls.out.starts_with("vandelayImporter\n")) << cls.out;
    EXPECT_TRUE(cls.out.ends_with(tail)) << cls.out;
}

}  // namespace
