// --format html: the report read back as a document, its counts and lists checked against
// the JSON document of the same run, its text against the names' bytes.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <set>

#include "CliRunner.h"
#include "HtmlDoc.h"
#include "TempDir.h"
#include "core/Names.h"

namespace {

QJsonObject Json(const std::vector<std::string>& args) {
    const CliResult r = RunCli(args);
    return QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
}

std::vector<std::string> Strings(const QJsonValue& value) {
    std::vector<std::string> out;
    for (const QJsonValue& v : value.toArray()) out.push_back(v.toString().toStdString());
    return out;
}

// The texts of the list items of one section.
std::vector<std::string> ListedNames(const HtmlDoc& doc, const std::string& sectionId) {
    std::vector<std::string> names;
    const int section = doc.byId(sectionId);
    EXPECT_GE(section, 0) << sectionId;
    if (section < 0) return names;
    for (int li : doc.find(section, "li")) names.push_back(doc.at(li).text);
    return names;
}

std::string SummaryCount(const HtmlDoc& doc, const std::string& part, const std::string& cls) {
    const int row = doc.byId("summary-" + part);
    EXPECT_GE(row, 0) << part;
    if (row < 0) return {};
    const std::vector<int> cells = doc.find(row, "td", cls);
    EXPECT_EQ(cells.size(), 1u) << part << " " << cls;
    return cells.empty() ? std::string() : doc.at(cells[0]).text;
}

void ExpectSelfContained(const std::string& html) {
    for (const char* banned : {"<script", "http://", "https://", "src=", "@import", "url("})
        EXPECT_EQ(html.find(banned), std::string::npos) << banned;
}

void ExpectLinksResolve(const HtmlDoc& doc) {
    const std::vector<std::string> ids = doc.ids();
    const std::set<std::string> known(ids.begin(), ids.end());
    EXPECT_EQ(known.size(), ids.size()) << "an id used twice";
    for (int a : doc.find(doc.root(), "a")) {
        const std::string href = doc.at(a).attrs.at("href");
        ASSERT_TRUE(href.starts_with("#")) << href;
        EXPECT_TRUE(known.count(href.substr(1))) << href;
    }
}

// Every count and list of the report against the JSON document of the same comparison.
void ExpectReportMatchesJson(const std::string& a, const std::string& b) {
    const CliResult r = RunCli({"compare", "--quiet", "--format", "html", a, b});
    const QJsonObject json = Json({"compare", "--quiet", "--format", "json", a, b});
    EXPECT_EQ(r.status, json["different"].toBool() ? 1 : 0) << r.err;
    EXPECT_EQ(r.err, "");
    const HtmlDoc doc(r.out);
    ASSERT_EQ(doc.error(), "") << r.out;
    ExpectSelfContained(r.out);
    ExpectLinksResolve(doc);

    for (const char* part : {"classes", "attributes"}) {
        const QJsonObject lists = json[part].toObject();
        const std::string p = part;
        for (const char* list : {"unique1", "unique2"}) {
            const std::vector<std::string> expected = Strings(lists[list]);
            EXPECT_EQ(ListedNames(doc, p + "-" + list), expected) << p << " " << list;
            EXPECT_EQ(SummaryCount(doc, p, list), std::to_string(expected.size()));
        }
        const std::vector<std::string> common = Strings(lists["common"]);
        EXPECT_EQ(SummaryCount(doc, p, "common"), std::to_string(common.size()));
        EXPECT_EQ(ListedNames(doc, p + "-common").size(), common.size());

        // One table a class defined otherwise (its findings come together) and one a pair
        // of attribute definitions (a name listed twice is compared twice), in order.
        std::vector<std::string> names;
        for (const QJsonValue& f : lists["differences"].toArray()) {
            const std::string name =
                f[p == "classes" ? "class" : "attribute"].toString().toStdString();
            if (p == "attributes" || names.empty() || names.back() != name) names.push_back(name);
        }
        EXPECT_EQ(SummaryCount(doc, p, "different"), std::to_string(names.size()));
        const int section = doc.byId(p + "-different");
        ASSERT_GE(section, 0);
        std::vector<std::string> captions;
        for (int c : doc.find(section, "caption")) captions.push_back(doc.at(c).text);
        EXPECT_EQ(captions, names) << p;
    }

    // Each class finding is one item in its class's table, in the row of its kind and the
    // column of its tree; differing flags fill one row, one text a column.
    const int classes = doc.byId("classes-different");
    std::size_t items = 0;
    for (int table : doc.find(classes, "table"))
        for (int row : doc.find(table, "tr", "kind-row"))
            items += doc.find(row, "div", "item").size();
    EXPECT_EQ(items, static_cast<std::size_t>(json["classes"]["differences"].toArray().size()));
    // Attribute pairs: both definitions as they are.
    const int attrs = doc.byId("attributes-different");
    const QJsonArray pairs = json["attributes"]["differences"].toArray();
    const std::vector<int> defs = doc.find(attrs, "td", "def");
    ASSERT_EQ(defs.size(), static_cast<std::size_t>(pairs.size()) * 2);
    for (qsizetype i = 0; i < pairs.size(); ++i) {
        EXPECT_EQ(doc.at(defs[static_cast<std::size_t>(i * 2)]).text,
                  pairs[i]["definition1"].toString().toStdString());
        EXPECT_EQ(doc.at(defs[static_cast<std::size_t>(i * 2 + 1)]).text,
                  pairs[i]["definition2"].toString().toStdString());
    }
}

TEST(CliHtml, CountsAndListsAreTheFindings) {
    ExpectReportMatchesJson(CliData("lab_1.txt"), CliData("lab_2.txt"));
    ExpectReportMatchesJson(CliData("quirks_1.txt"), CliData("quirks_2.txt"));
    ExpectReportMatchesJson(CliData("bytes_1.txt"), CliData("bytes_2.txt"));
    ExpectReportMatchesJson(CliData("lab_2.txt"), CliData("lab_2.txt"));
}

TEST(CliHtml, FlagsAndChangedWordsStandOut) {
    const CliResult r = RunCli(
        {"compare", "--quiet", "--format", "html", CliData("lab_1.txt"), CliData("lab_2.txt")});
    const HtmlDoc doc(r.out);
    ASSERT_EQ(doc.error(), "");
    // Top differs in its flags alone: one row, Tree #1's text beside Tree #2's.
    const int classes = doc.byId("classes-different");
    bool seen = false;
    for (int table : doc.find(classes, "table")) {
        if (doc.at(doc.find(table, "caption")[0]).text != "Top") continue;
        seen = true;
        const std::vector<int> rows = doc.find(table, "tr", "kind-row");
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(doc.at(doc.find(rows[0], "th")[0]).text, "Flags");
        EXPECT_EQ(doc.at(doc.find(rows[0], "td", "t1")[0]).text, "Effective\\Non-Removable");
        EXPECT_EQ(doc.at(doc.find(rows[0], "td", "t2")[0]).text, "Effective");
    }
    EXPECT_TRUE(seen);
    // Full Name's syntax is written otherwise, Surname's bounds differ: only those words are
    // marked, on each side.
    std::vector<std::string> marked;
    for (int m : doc.find(doc.byId("attributes-different"), "mark"))
        marked.push_back(doc.at(m).text);
    EXPECT_EQ(marked, (std::vector<std::string>{"CI_STRING", "Ci_String", "Sized (1-64)",
                                                "Sized (1-128)"}));
}

TEST(CliHtml, QuickCheckReportHasNamesOnly) {
    const CliResult r = RunCli(
        {"quick", "--quiet", "--format", "html", CliData("lab_1.txt"), CliData("lab_2.txt")});
    EXPECT_EQ(r.status, 1);
    const HtmlDoc doc(r.out);
    ASSERT_EQ(doc.error(), "");
    EXPECT_EQ(doc.byId("classes-different"), -1);
    EXPECT_EQ(SummaryCount(doc, "classes", "different"), "not compared");
    EXPECT_EQ(ListedNames(doc, "classes-unique1"), std::vector<std::string>{"Group"});
    EXPECT_EQ(ListedNames(doc, "attributes-unique2"),
              (std::vector<std::string>{"Email Address", "Login Disabled"}));
    ExpectLinksResolve(doc);
}

std::string Crlf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

// Names are hostile: markup characters, quotes, control bytes, bytes that are not UTF-8.
TEST(CliHtml, AnyBytesAreEscapedAndNeverBreakThePage) {
    TempDir dir;
    const std::string evil = "A \"q\" <b>x</b> & 'y' \x01";
    const std::string latin = "M\xDCNCHEN \x85 <";
    const std::string one = dir.write(
        "one.txt", Crlf({"[Settings]", "Tree Name=</title><script>x</script>", "[Attributes]",
                         "0=" + evil, "1=CN", "[Attribute Definition]", evil + "=CI_STRING",
                         "CN=CI_STRING <&>", "[Classes]", "0=" + latin, "1=Top",
                         "[Class Definition]", "Top=Effective", latin + "=Effective"}));
    const std::string two =
        dir.write("two.txt", Crlf({"[Settings]", "Tree Name=T&amp;2", "[Attributes]", "0=CN",
                                   "[Attribute Definition]", "CN=CI_STRING <&amp;>", "[Classes]",
                                   "0=Top", "[Class Definition]", "Top=Effective"}));
    const CliResult r = RunCli({"compare", "--quiet", "--format", "html", one, two});
    EXPECT_EQ(r.status, 1) << r.err;
    const HtmlDoc doc(r.out);
    ASSERT_EQ(doc.error(), "") << r.out;
    ExpectSelfContained(r.out);
    EXPECT_EQ(doc.find(doc.root(), "b").size(), 0u);

    // Shown as the window decodes them; a control character by its number.
    const std::vector<std::string> attrs = ListedNames(doc, "attributes-unique1");
    ASSERT_EQ(attrs.size(), 1u);
    EXPECT_EQ(attrs[0], "A \"q\" <b>x</b> & 'y' U+0001");
    const std::vector<std::string> classes = ListedNames(doc, "classes-unique1");
    ASSERT_EQ(classes.size(), 1u);
    EXPECT_EQ(classes[0], "M\xC3\x9CNCHEN U+0085 <");
    EXPECT_EQ(DecodeName(latin).toStdString().substr(0, 8), "M\xC3\x9CNCHEN");
    const int tree1 = doc.byId("tree1");
    EXPECT_EQ(doc.at(doc.find(tree1, "td", "tree")[0]).text, "</title><script>x</script>");
    EXPECT_EQ(doc.at(doc.find(doc.byId("tree2"), "td", "tree")[0]).text, "T&amp;2");
    const std::vector<int> defs = doc.find(doc.byId("attributes-different"), "td", "def");
    ASSERT_EQ(defs.size(), 2u);
    EXPECT_EQ(doc.at(defs[0]).text, "CI_STRING <&>");
    EXPECT_EQ(doc.at(defs[1]).text, "CI_STRING <&amp;>");
    // The page is UTF-8 throughout, whatever the names held.
    EXPECT_TRUE(QString::fromUtf8(QByteArray::fromStdString(r.out)).toUtf8().toStdString() ==
                r.out);
}

TEST(CliHtml, HeaderSaysWhereEachTreeCameFrom) {
    const std::string file = CliData("lab_1.txt");
    const CliResult r =
        RunCli({"compare-classes", "--quiet", "--format", "html", file, "tree:GLOBEX"},
               {{"KALVIX_CLIENT", KALVIX_SOURCE_DIR "/data/demo/kalvix-client.json"}});
    EXPECT_EQ(r.status, 1) << r.err;
    const HtmlDoc doc(r.out);
    ASSERT_EQ(doc.error(), "");
    auto cell = [&](const char* row, const char* cls) {
        return doc.at(doc.find(doc.byId(row), "td", cls)[0]).text;
    };
    EXPECT_EQ(cell("tree1", "tree"), "LAB_TREE");
    EXPECT_EQ(cell("tree1", "source"), file);
    EXPECT_EQ(cell("tree2", "tree"), "GLOBEX");
    EXPECT_EQ(cell("tree2", "source"), "live, simulated tree file");
    EXPECT_NE(doc.at(doc.find(doc.root(), "td", "made")[0]).text.find(" UTC"), std::string::npos);
    // compare-classes: the class part only.
    EXPECT_GE(doc.byId("classes"), 0);
    EXPECT_EQ(doc.byId("attributes"), -1);
}

}  // namespace
