// Names and messages from files and servers reach the terminal: every control character in
// them shows as its number, so nothing they hold drives the terminal and one name, tree or
// finding stays one line; the rest of each line stays byte for byte.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "TempDir.h"
#include "core/ControlChars.h"

namespace {

using namespace std::string_literals;

// Sets the window title, then clears the screen; the line end forges a second line.
const std::string kEvil = "Evil\x1B]0;T\x07\x1B[2J\nForged";
const std::string kEvilShown = R"(Evil\x1B]0;T\x07\x1B[2J\x0AForged)";
const std::string kEvilTree = "EVIL\nFORGED";

std::string Json(const QJsonObject& object) { return QJsonDocument(object).toJson().toStdString(); }

QJsonObject Class(const std::string& name, const char* flags) {
    return {{"name", QString::fromStdString(name)}, {"flags", flags}};
}

struct Case {
    const char* what;
    std::vector<std::string> args;  // "@NAME" stands for the fixture file NAME
    int status;
    std::string out;
    std::string err;
};

class HostileNames : public testing::Test {
  protected:
    void SetUp() override {
        const QJsonArray attributes = {
            QJsonObject{{"name", "CN"}, {"flags", 2}, {"syntax", 3}},
        };
        const std::string evilTree = dir.write(
            "evil.json", Json({{"classes", QJsonArray{Class("Top", "0x07"), Class(kEvil, "0x01")}},
                               {"attributes", attributes}}));
        const std::string plainTree = dir.write(
            "plain.json",
            Json({{"classes", QJsonArray{Class("Top", "0x07")}}, {"attributes", attributes}}));
        // An LDIF dump whose class name holds the same bytes; its own name holds an ESC.
        const std::string dump =
            dir.write("dump\x1B[2J.ldif",
                      "dn: cn=schema\n"
                      "objectClasses: ( 1.2.3 NAME 'fine' )\n"
                      "objectClasses:: " +
                          QByteArray::fromStdString("( 1.2.4 NAME '" + kEvil + "' )")
                              .toBase64()
                              .toStdString() +
                          "\n");
        QJsonArray connections = {
            QJsonObject{{"treeName", QString::fromStdString(kEvilTree)},
                        {"treeFile", QString::fromStdString(evilTree)}},
            QJsonObject{{"treeName", "Plain"}, {"treeFile", QString::fromStdString(plainTree)}},
            QJsonObject{
                {"kind", "ldif"}, {"treeName", "DUMP"}, {"file", QString::fromStdString(dump)}},
        };
        env = {{"KALVIX_CLIENT", dir.write("client.json", Json({{"connections", connections}}))}};
        // Kalvix's own schema file: a NUL in the tree name, C1 as UTF-8 and as a bare byte
        // beside a Latin-1 letter, and a backslash that is no escape.
        dir.write("odd.txt",
                  "[Settings]\nTree Name=A\0B\n[Attributes]\n0=CN\n[Attribute Definition]\n"
                  "CN=CI_STRING\n[Classes]\n0=Top\n1=csi\xC2\x9B"
                  "1m\n2=raw\x9B M\xDCNCHEN\n[Class Definition]\nTop=Effective\\Container\n"
                  "csi\xC2\x9B"
                  "1m=Effective\nraw\x9B M\xDCNCHEN=Effective\n"s);
        // Names a spreadsheet would run as formulas.
        dir.write("formula.txt",
                  "[Settings]\nTree Name=F\n[Attributes]\n0=CN\n[Attribute Definition]\n"
                  "CN=CI_STRING\n[Classes]\n0=Top\n1==SUM(1)\n2=@x\n3=-1\n4=+1\n5=a=b\n"
                  "[Class Definition]\nTop=Effective\n");
        dir.write("top.txt",
                  "[Settings]\nTree Name=T\n[Attributes]\n0=CN\n[Attribute Definition]\n"
                  "CN=CI_STRING\n[Classes]\n0=Top\n[Class Definition]\nTop=Effective\n");
    }

    std::string file(const std::string& name) const { return dir.file(name); }

    TempDir dir;
    EnvChanges env;
};

TEST_F(HostileNames, ControlCharactersShowByNumberOneLineEach) {
    const std::string evilTree = "tree:" + kEvilTree;
    const std::string quickBlocks =
        "Classes - Unique on Tree #1\n\n"
        "Classes - Common Classes\nTop\n\n"
        "Classes - Unique on Tree #2\n" +
        kEvilShown +
        "\n\n"
        "Attributes - Unique on Tree #1\n\n"
        "Attributes - Common Attributes\nCN\n\n"
        "Attributes - Unique on Tree #2\n";
    const Case cases[] = {
        {"trees", {"trees"}, 0, "EVIL\\x0AFORGED\nPlain\nDUMP\n", ""},
        {"quick", {"quick", "-q", "tree:Plain", evilTree}, 1, quickBlocks, ""},
        {"compare",
         {"compare-classes", "-q", "tree:Plain", evilTree},
         1,
         "Tree #2 - Unique Class: \"" + kEvilShown + "\"\n",
         ""},
        {"show", {"show", evilTree, kEvil}, 0, kEvilShown + "\n\nFlags\n      Container\n", ""},
        {"skipped definitions",
         {"quick", "-q", "tree:DUMP", "tree:Plain"},
         2,
         "Classes - Unique on Tree #1\nfine\n\nClasses - Common Classes\n\n"
         "Classes - Unique on Tree #2\nTop\n\nAttributes - Unique on Tree #1\n\n"
         "Attributes - Common Attributes\n\nAttributes - Unique on Tree #2\nCN\n",
         "kalvix-cli: the LDIF dump " + file("dump\\x1B[2J.ldif") +
             " is read without the definitions that do not parse (mend the definitions "
             "named): 1 object class definition left out:\n- " +
             file("dump\\x1B[2J.ldif") +
             ":3: ( 1.2.4 NAME 'Evil\\x1B]0;T\\x07\\x1B[2J Forged' ): a name holds the control "
             "character U+001B\n"},
        {"C1 and Latin-1 in a schema file",
         {"quick", "-q", "@odd.txt", "@top.txt"},
         1,
         "Classes - Unique on Tree #1\ncsi\\u009B1m\nraw\\x9B M\xDCNCHEN\n\n"
         "Classes - Common Classes\nTop\n\nClasses - Unique on Tree #2\n\n"
         "Attributes - Unique on Tree #1\n\nAttributes - Common Attributes\nCN\n\n"
         "Attributes - Unique on Tree #2\n",
         ""},
        {"a backslash is no escape",
         {"show", "@odd.txt", "Top"},
         0,
         "Top\n\nFlags\n      Effective\\Container\n",
         ""},
        {"a NUL in a message",
         {"show", "@odd.txt", "Missing"},
         2,
         "",
         "kalvix-cli: the tree \"A\\x00B\" has no class or attribute named \"Missing\"\n"},
        {"a formula in CSV",
         {"compare-classes", "--format", "csv", "@formula.txt", "@top.txt"},
         1,
         "\"Tree\",\"Kind\",\"Definition\",\"Field\",\"Tree #1 value\",\"Tree #2 value\"\r\n"
         "\"1\",\"Class\",\"'-1\",\"\",\"\",\"\"\r\n"
         "\"1\",\"Class\",\"'@x\",\"\",\"\",\"\"\r\n"
         "\"1\",\"Class\",\"'+1\",\"\",\"\",\"\"\r\n"
         "\"1\",\"Class\",\"'=SUM(1)\",\"\",\"\",\"\"\r\n"
         "\"1\",\"Class\",\"a=b\",\"\",\"\",\"\"\r\n",
         ""},
        {"an operand in a message",
         {"show", "@top.txt", "X\x1B[2J\n"},
         2,
         "",
         "kalvix-cli: the tree \"T\" has no class or attribute named \"X\\x1B[2J\\x0A\"\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args;
        for (const std::string& arg : c.args)
            args.push_back(arg.starts_with("@") ? file(arg.substr(1)) : arg);
        const CliResult r = RunCli(args, env);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
        for (std::string stream : {r.out, r.err}) {
            std::erase(stream, '\r');
            std::erase(stream, '\n');
            EXPECT_FALSE(HoldsControlChar(stream)) << stream;
        }
    }
}

}  // namespace
