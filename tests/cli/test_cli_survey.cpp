// survey: one line per tree in the order given, the exit status of the worst, the details
// as compare prints them; the JSON document holds compare's records; the HTML page's drift
// matrix; the CSV of survey and compare read back with Python's csv module, row by row
// against the JSON of the same run.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "HtmlDoc.h"
#include "TempDir.h"

namespace {

QJsonObject ParseObject(const std::string& text) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
    return doc.object();
}

std::string Str(const QJsonValue& v) { return v.toString().toStdString(); }

// Two LDIF dumps that differ in classes, attributes, other elements and fields, and a copy
// of the first, as live trees.
class Survey : public testing::Test {
  protected:
    void SetUp() override {
        const QJsonArray connections = {
            Ldif("PUB-1", CliData("published_1.ldif")),
            Ldif("PUB-2", CliData("published_2.ldif")),
            Ldif("PUB-1-AGAIN", CliData("published_1.ldif")),
        };
        env = {
            {"KALVIX_CLIENT",
             dir.write(
                 "client.json",
                 QJsonDocument(QJsonObject{{"connections", connections}}).toJson().toStdString())}};
    }
    static QJsonObject Ldif(const char* name, const std::string& file) {
        return {{"kind", "ldif"}, {"treeName", name}, {"file", QString::fromStdString(file)}};
    }
    CliResult files(const std::vector<std::string>& args) {
        std::vector<std::string> all = {"survey"};
        all.insert(all.end(), args.begin(), args.end());
        return RunCli(all, {}, KALVIX_CLI_DATA);
    }

    TempDir dir;
    EnvChanges env;
};

TEST_F(Survey, OneLineATreeInTheOrderGivenAndTheWorstStatus) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string err;
    };
    const std::string gone =
        "cannot read the schema file " + CliData("gone.txt") + ": No such file or directory";
    const std::vector<Case> cases = {
        {{"lab_1.txt", "lab_1.txt"}, 0, "lab_1.txt: identical\n", "No differences found\n"},
        {{"lab_1.txt", "lab_2.txt", "lab_1.txt"},
         1,
         "lab_2.txt: 5 classes, 6 attributes differ\nlab_1.txt: identical\n",
         ""},
        // The tree that cannot be read holds up nothing: the trees after it are compared.
        {{"--jobs", "1", "lab_1.txt", "gone.txt", "lab_2.txt", "lab_1.txt"},
         2,
         "gone.txt: cannot be read: " + gone +
             "\nlab_2.txt: 5 classes, 6 attributes differ\nlab_1.txt: identical\n",
         ""},
        {{"lab_1.txt", "lab_2.txt", "--jobs=3", "gone.txt", "lab_1.txt"},
         2,
         "lab_2.txt: 5 classes, 6 attributes differ\ngone.txt: cannot be read: " + gone +
             "\nlab_1.txt: identical\n",
         ""},
    };
    for (const Case& c : cases) {
        const CliResult r = files(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[1] << r.err;
        EXPECT_EQ(r.out, c.out) << c.args[1];
        EXPECT_EQ(r.err, c.err) << c.args[1];
    }

    // --details: each differing tree's lines exactly as compare prints them.
    const CliResult details = files({"--details", "lab_1.txt", "lab_1.txt", "lab_2.txt"});
    EXPECT_EQ(details.status, 1) << details.err;
    EXPECT_EQ(details.out,
              "lab_1.txt: identical\nlab_2.txt: 5 classes, 6 attributes differ\n\n"
              "--- lab_2.txt\n" +
                  ReadBytes(CliData("lab_compare_expected.txt")));

    // On a terminal, standard error counts the trees read; the lines stay as they are.
    const CliResult shown = RunCliWithTerminal(
        {"survey", CliData("lab_1.txt"), CliData("lab_2.txt"), CliData("lab_1.txt")});
    EXPECT_EQ(shown.status, 1) << shown.err;
    EXPECT_NE(shown.err.find(" of 2 read"), std::string::npos) << shown.err;
    EXPECT_EQ(shown.out, CliData("lab_2.txt") + ": 5 classes, 6 attributes differ\n" +
                             CliData("lab_1.txt") + ": identical\n");

    // Live trees, --all-trees adding each one the configuration lists but the baseline.
    const CliResult live = RunCli({"survey", "tree:PUB-1", "--all-trees", "--details"}, env);
    EXPECT_EQ(live.status, 1) << live.err;
    const CliResult compared = RunCli({"compare", "tree:PUB-1", "tree:PUB-2"}, env);
    EXPECT_EQ(live.out,
              "PUB-2: 1 class, 3 attributes, 3 other elements, 3 fields differ\n"
              "PUB-1-AGAIN: identical\n\n--- PUB-2\n" +
                  compared.out);
}

// A server that takes the connection and never answers: its tree gets its own line when
// its own timeout is over, and the trees around it are compared all the same.
TEST_F(Survey, AServerThatNeverAnswersGetsItsLineAfterItsOwnTimeout) {
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(listen(listener, 8), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
    const std::string uri = "ldap://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
    const QJsonArray connections = {
        Ldif("PUB-1", CliData("published_1.ldif")),
        QJsonObject{{"kind", "ldap"},
                    {"treeName", "SILENT"},
                    {"uri", QString::fromStdString(uri)},
                    {"timeout", 1}},
        Ldif("PUB-2", CliData("published_2.ldif")),
    };
    const EnvChanges silent = {
        {"KALVIX_CLIENT",
         dir.write(
             "silent.json",
             QJsonDocument(QJsonObject{{"connections", connections}}).toJson().toStdString())}};
    const CliResult r = RunCli({"survey", "tree:PUB-1", "tree:SILENT", "tree:PUB-2"}, silent);
    close(listener);
    EXPECT_EQ(r.status, 2) << r.err;
    const std::size_t end = r.out.find('\n');
    ASSERT_NE(end, std::string::npos) << r.out;
    const std::string line = r.out.substr(0, end);
    EXPECT_TRUE(line.starts_with("SILENT: cannot be read: ")) << line;
    EXPECT_NE(line.find(uri + ": no answer within 1 s"), std::string::npos) << line;
    EXPECT_EQ(r.out.substr(end + 1),
              "PUB-2: 1 class, 3 attributes, 3 other elements, 3 fields differ\n");
}

// The baseline is read once, before the workers start, and they all compare with that one
// reading: the file is opened once however many workers there are.
TEST_F(Survey, TheBaselineFileIsOpenedOnceForEveryWorker) {
    const std::string base = dir.write("base.txt", ReadBytes(CliData("lab_1.txt")));
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, base.c_str(), IN_OPEN), 0);
    const CliResult r =
        files({"--jobs", "8", base, "lab_2.txt", "lab_1.txt", "lab_2.txt", "lab_1.txt"});
    int opens = 0;
    alignas(inotify_event) char events[4096];
    for (ssize_t n; (n = read(watch, events, sizeof events)) > 0;)
        for (ssize_t at = 0; at < n; ++opens)
            at += static_cast<ssize_t>(sizeof(inotify_event) +
                                       reinterpret_cast<inotify_event*>(events + at)->len);
    close(watch);
    EXPECT_EQ(r.status, 1) << r.err;
    const std::string differs = "lab_2.txt: 5 classes, 6 attributes differ\n";
    EXPECT_EQ(r.out, differs + "lab_1.txt: identical\n" + differs + "lab_1.txt: identical\n");
    EXPECT_EQ(opens, 1);
}

// Output that cannot take a byte fails the run before anything is read (here, before the
// baseline that is missing is even looked for).
TEST_F(Survey, OutputThatCannotBeWrittenFailsBeforeTheWork) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {">/dev/full", "No space left on device"},
        {">&-", "Bad file descriptor"},
        {"1</dev/null", "Bad file descriptor"},
    };
    for (const auto& [redirect, why] : cases) {
        const CliResult r = RunProgram(
            "/bin/sh", {"-c", "exec \"$0\" survey gone.txt lab_1.txt " + redirect, KALVIX_CLI}, {},
            KALVIX_CLI_DATA);
        EXPECT_EQ(r.status, 2) << redirect;
        EXPECT_EQ(r.err, "kalvix-cli: cannot write the output: " + why + "; nothing was surveyed\n")
            << redirect;
    }
}

// Every finding of the survey's document is the record compare writes for the same pair.
TEST_F(Survey, TheDocumentHoldsCompareRecordsForEachTree) {
    const CliResult r = RunCli(
        {"survey", "--format", "json", "tree:PUB-1", "tree:PUB-2", "tree:GONE", "tree:PUB-1-AGAIN"},
        env);
    EXPECT_EQ(r.status, 2) << r.err;
    const QJsonObject doc = ParseObject(r.out);
    EXPECT_EQ(Str(doc["baseline"]["name"]), "PUB-1");
    EXPECT_EQ(doc["different"], QJsonValue(true));
    EXPECT_EQ(doc["unreadable"], QJsonValue(true));
    const QJsonArray trees = doc["surveyed"].toArray();
    ASSERT_EQ(trees.size(), 3);

    const QJsonObject compared =
        ParseObject(RunCli({"compare", "--format", "json", "tree:PUB-1", "tree:PUB-2"}, env).out);
    const QJsonObject pub2 = trees[0].toObject();
    EXPECT_EQ(Str(pub2["verdict"]), "differs");
    for (const char* part : {"classes", "attributes"}) {
        EXPECT_EQ(pub2[part]["differences"], compared[part]["differences"]) << part;
        EXPECT_EQ(pub2[part]["unique1"], compared[part]["unique1"]) << part;
        EXPECT_EQ(pub2[part]["unique2"], compared[part]["unique2"]) << part;
    }
    EXPECT_EQ(pub2["elements"], compared["elements"]);
    EXPECT_EQ(pub2["counts"].toObject(),
              (QJsonObject{{"classes", 1}, {"attributes", 3}, {"elements", 3}, {"fields", 3}}));

    const QJsonObject gone = trees[1].toObject();
    EXPECT_EQ(Str(gone["verdict"]), "unreadable");
    EXPECT_EQ(Str(gone["line"]), "GONE: cannot be read: " + Str(gone["problem"]));
    EXPECT_NE(Str(gone["problem"]).find("not reachable"), std::string::npos);

    const QJsonObject again = trees[2].toObject();
    EXPECT_EQ(Str(again["verdict"]), "identical");
    EXPECT_EQ(again["classes"]["differences"].toArray().size(), 0);
}

// The matrix: a row per definition that differs anywhere, a column per tree, and every row
// a link to its details, which name each tree's findings.
TEST_F(Survey, TheDriftMatrixShowsEachDefinitionInEachTree) {
    const CliResult r =
        files({"--format", "html", "lab_1.txt", "lab_1.txt", "lab_2.txt", "gone.txt"});
    EXPECT_EQ(r.status, 2) << r.err;
    const HtmlDoc html(r.out);
    ASSERT_EQ(html.error(), "");

    const int summary = html.find(html.root(), "table", "summary").at(0);
    std::vector<std::string> verdicts;
    for (int cell : html.find(summary, "td", "verdict")) verdicts.push_back(html.at(cell).text);
    EXPECT_EQ(verdicts[0], "identical");
    EXPECT_EQ(verdicts[1], "5 classes, 6 attributes differ");
    EXPECT_TRUE(verdicts[2].starts_with("cannot be read: ")) << verdicts[2];

    const int matrix = html.find(html.root(), "table", "matrix").at(0);
    std::map<std::string, std::vector<std::string>> rows;
    const std::vector<std::string> ids = html.ids();
    for (int row : html.find(matrix, "tr")) {
        const std::vector<int> cells = html.find(row, "td");
        if (cells.empty()) continue;  // the heading
        const std::vector<int> links = html.find(cells[1], "a");
        ASSERT_EQ(links.size(), 1u);
        const std::string target = html.at(links[0]).attrs.at("href").substr(1);
        EXPECT_NE(std::find(ids.begin(), ids.end(), target), ids.end()) << target;
        std::vector<std::string> shown;
        std::string states;  // as the row's class names them for the state filter
        for (std::size_t i = 2; i < cells.size(); ++i) {
            shown.push_back(html.at(cells[i]).text);
            const std::string cls = " s-" + html.at(cells[i]).attrs.at("class");
            if (states.find(cls) == std::string::npos) states += cls;
        }
        std::string rowStates = html.at(row).attrs.at("class");
        EXPECT_EQ(rowStates.size(), ("row" + states).size()) << rowStates;
        for (std::size_t at = 0; at < states.size();) {
            const std::size_t end = std::min(states.find(' ', at + 1), states.size());
            EXPECT_NE(rowStates.find(states.substr(at, end - at)), std::string::npos);
            at = end;
        }
        rows[html.at(cells[0]).text + " " + html.at(links[0]).text] = shown;
    }
    // A definition only a tree has is "absent" where the baseline lacks it too, not "same".
    using V = std::vector<std::string>;
    const std::map<std::string, V> expected = {
        {"Class Group", V{"same", "missing", "not read"}},
        {"Class Person",
         V{"same", "differsMandatory Attribute, Optional Attribute, ASN", "not read"}},
        {"Class Printer", V{"absent", "extra", "not read"}},
        {"Class Top", V{"same", "differsFlags", "not read"}},
        {"Class User", V{"same", "differsSuper Class, Optional Attribute, Attribute", "not read"}},
        {"Attribute Email Address", V{"absent", "extra", "not read"}},
        {"Attribute Full Name", V{"same", "differsDefinition", "not read"}},
        {"Attribute Login Disabled", V{"absent", "extra", "not read"}},
        {"Attribute Surname", V{"same", "differsDefinition", "not read"}},
        {"Attribute Telephone Number", V{"same", "missing", "not read"}},
        {"Attribute uniqueID", V{"same", "missing", "not read"}},
    };
    EXPECT_EQ(rows, expected);
    // A row's details: the lines compare prints for that definition, under the tree's name.
    const int person = html.byId("def-2");
    ASSERT_GE(person, 0);
    EXPECT_EQ(html.at(person).text, "Class Person");
    // The baseline is named as such, and the lines' trees by their names.
    EXPECT_NE(r.out.find("<h2 id=\"matrix\">Drift matrix against the baseline LAB_TREE</h2>"),
              std::string::npos);
    EXPECT_NE(r.out.find("<p>lab_2.txt against the baseline LAB_TREE: differs</p>"),
              std::string::npos);
    EXPECT_NE(r.out.find("<li>Baseline LAB_TREE - Class Definition for &quot;Person&quot;"),
              std::string::npos);
    for (const char* state : {"all", "differs", "missing", "extra", "absent", "same", "unread"})
        EXPECT_GE(html.byId(std::string("show-") + state), 0) << state;
}

// python3 on the PATH: its csv module is the reader the rows must satisfy.
std::string Python() {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (access((dir + "/python3").c_str(), X_OK) == 0) return dir + "/python3";
    ADD_FAILURE() << "python3 is not installed";
    return "python3";
}

// The rows of a CSV file as Python's csv module reads it back.
std::vector<std::vector<std::string>> ReadCsv(const TempDir& dir, const std::string& bytes) {
    const std::string file = dir.write("out.csv", bytes);
    const CliResult r =
        RunProgram(Python(), {"-c",
                              "import csv, json, sys\n"
                              "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                              "    print(json.dumps(list(csv.reader(f, strict=True))))\n",
                              file});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::vector<std::string>> rows;
    QJsonParseError error{};
    for (const QJsonValue& row :
         QJsonDocument::fromJson(QByteArray::fromStdString(r.out), &error).array()) {
        std::vector<std::string> fields;
        for (const QJsonValue& field : row.toArray()) fields.push_back(Str(field));
        rows.push_back(fields);
    }
    return rows;
}

using Row = std::vector<std::string>;

// The CSV rows compare's JSON document stands for: tree, kind, definition, field, Tree #1
// value, Tree #2 value.
std::multiset<Row> RowsOfDocument(const QJsonObject& doc) {
    std::multiset<Row> rows;
    for (const auto& [part, kind, unique] : {std::tuple{"classes", "Class", "class"},
                                             std::tuple{"attributes", "Attribute", "attribute"}}) {
        for (const char* list : {"unique1", "unique2"})
            for (const QJsonValue& name : doc[part][list].toArray())
                rows.insert({list[6] == '1' ? "1" : "2", kind, Str(name), "", "", ""});
        // Flags come as one object per tree; the CSV row holds both.
        std::map<std::string, Row> flags;
        for (const QJsonValue& v : doc[part]["differences"].toArray()) {
            const QJsonObject d = v.toObject();
            const std::string name = Str(d[unique]);
            const std::string k = Str(d["kind"]);
            const std::string tree = std::to_string(d["tree"].toInt());
            if (k == "Flags") {
                Row& row =
                    flags.try_emplace(name, Row{"", kind, name, "Flags", "", ""}).first->second;
                row[tree == "1" ? 4 : 5] = Str(d["item"]);
            } else if (k == "Field") {
                rows.insert({"", kind, name, Str(d["field"]), Str(d["value1"]), Str(d["value2"])});
            } else if (k == "SameOid") {
                Row row{tree, kind, name, "OID", "", ""};
                row[tree == "1" ? 4 : 5] = Str(d["oid"]);
                row[tree == "1" ? 5 : 4] = Str(d["other"]);
                rows.insert(row);
            } else if (d.contains("definition1")) {
                rows.insert(
                    {"", kind, name, "Definition", Str(d["definition1"]), Str(d["definition2"])});
            } else {
                Row row{tree, kind, name, k, "", ""};
                row[tree == "1" ? 4 : 5] = Str(d["item"]);
                rows.insert(row);
            }
        }
        for (const auto& [name, row] : flags) rows.insert(row);
    }
    for (const QJsonValue& v : doc["elements"].toArray()) {
        const QJsonObject e = v.toObject();
        if (Str(e["kind"]) == "Unique")
            rows.insert(
                {std::to_string(e["tree"].toInt()), Str(e["type"]), Str(e["name"]), "", "", ""});
        else
            rows.insert({"", Str(e["type"]), Str(e["name"]), Str(e["field"]), Str(e["value1"]),
                         Str(e["value2"])});
    }
    return rows;
}

// Names that hold a comma, a quote and a line break, in simulated trees.
TEST_F(Survey, CsvReadBackHoldsEveryFindingOfTheJson) {
    const std::string odd = "Odd, \"quoted\"\nname";
    auto tree = [&](const char* file, const std::string& extraClass, const char* flags) {
        const QJsonArray classes = {
            QJsonObject{{"name", QString::fromStdString(odd)},
                        {"flags", flags},
                        {"mandatoryAttributes", QJsonArray{"CN"}}},
            QJsonObject{{"name", QString::fromStdString(extraClass)}, {"flags", "0x01"}}};
        const QJsonArray attributes = {
            QJsonObject{{"name", "CN"}, {"flags", 2}, {"syntax", 3}},
            QJsonObject{{"name", QString::fromStdString("Attr, \"" + extraClass + "\"")},
                        {"flags", 2},
                        {"syntax", 3}}};
        return QString::fromStdString(dir.write(
            file, QJsonDocument(QJsonObject{{"classes", classes}, {"attributes", attributes}})
                      .toJson()
                      .toStdString()));
    };
    const QJsonArray connections = {
        QJsonObject{{"treeName", "BASE"}, {"treeFile", tree("base.json", "Base,Only", "0x07")}},
        QJsonObject{{"treeName", "ODD \"1\", x"},
                    {"treeFile", tree("odd.json", "Odd\nOnly", "0x03")}},
        QJsonObject{{"treeName", "PUB-1"},
                    {"kind", "ldif"},
                    {"file", QString::fromStdString(CliData("published_1.ldif"))}},
        QJsonObject{{"treeName", "PUB-2"},
                    {"kind", "ldif"},
                    {"file", QString::fromStdString(CliData("published_2.ldif"))}},
    };
    env["KALVIX_CLIENT"] =
        dir.write("odd-client.json",
                  QJsonDocument(QJsonObject{{"connections", connections}}).toJson().toStdString());

    // compare: the header, then a row per finding, every field quoted, CR LF after each.
    for (const auto& [a, b] :
         {std::pair{"tree:BASE", "tree:ODD \"1\", x"}, std::pair{"tree:PUB-1", "tree:PUB-2"}}) {
        const CliResult csv = RunCli({"compare", "--format", "csv", a, b}, env);
        const CliResult json = RunCli({"compare", "--format", "json", a, b}, env);
        ASSERT_EQ(csv.status, 1) << csv.err;
        EXPECT_TRUE(csv.out.starts_with(
            "\"Tree\",\"Kind\",\"Definition\",\"Field\",\"Tree #1 value\",\"Tree #2 value\"\r\n"));
        EXPECT_TRUE(csv.out.ends_with("\"\r\n"));
        std::vector<std::vector<std::string>> rows = ReadCsv(dir, csv.out);
        ASSERT_FALSE(rows.empty());
        rows.erase(rows.begin());
        const std::multiset<Row> read(rows.begin(), rows.end());
        EXPECT_EQ(read, RowsOfDocument(ParseObject(json.out))) << b;
        EXPECT_EQ(read.size(), rows.size());
    }

    // survey: the surveyed tree first; rows of each tree are its document's findings.
    const CliResult csv =
        RunCli({"survey", "--format", "csv", "tree:BASE", "tree:ODD \"1\", x", "tree:BASE"}, env);
    const CliResult json =
        RunCli({"survey", "--format", "json", "tree:BASE", "tree:ODD \"1\", x", "tree:BASE"}, env);
    ASSERT_EQ(csv.status, 1) << csv.err;
    std::vector<std::vector<std::string>> rows = ReadCsv(dir, csv.out);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0], (Row{"Surveyed tree", "Tree", "Kind", "Definition", "Field", "Tree #1 value",
                            "Tree #2 value"}));
    std::map<std::string, std::multiset<Row>> read;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 7u);
        read[rows[i][0]].insert(Row(rows[i].begin() + 1, rows[i].end()));
    }
    std::map<std::string, std::multiset<Row>> expected;
    for (const QJsonValue& t : ParseObject(json.out)["surveyed"].toArray()) {
        std::multiset<Row> tree = RowsOfDocument(t.toObject());
        if (!tree.empty()) expected[Str(t["label"])] = tree;
    }
    EXPECT_EQ(read, expected);
    ASSERT_EQ(read.count("ODD \"1\", x"), 1u);
    // The odd names arrived whole.
    std::set<std::string> names;
    for (const Row& row : read["ODD \"1\", x"]) names.insert(row[2]);
    EXPECT_EQ(names, (std::set<std::string>{odd, "Base,Only", "Odd\nOnly", "Attr, \"Base,Only\"",
                                            "Attr, \"Odd\nOnly\""}));
}

}  // namespace
