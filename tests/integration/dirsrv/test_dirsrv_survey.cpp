// survey against live servers: a snapshot of one slapd as the baseline, that slapd, a
// second one whose schema a test changes, and this 389 Directory Server; then the first
// slapd stopped.
#include <QJsonArray>
#include <QJsonObject>
#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "DirsrvServer.h"
#include "FamilyChecks.h"

namespace {

using DirsrvSurvey = LiveServerTest<DirsrvServer>;

std::string Text(const QJsonValue& v) { return v.toString().toStdString(); }

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Counted(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The verdict the survey owes a tree, worked out from compare's document of the same pair:
// each definition counted once, every differing field counted.
std::string VerdictOf(const QJsonObject& doc) {
    std::size_t counts[3] = {};
    std::size_t fields = 0;
    const char* parts[] = {"classes", "attributes"};
    const char* keys[] = {"class", "attribute"};
    for (int p = 0; p < 2; ++p) {
        std::set<std::string> names;
        const QJsonObject part = doc[parts[p]].toObject();
        for (const char* list : {"unique1", "unique2"})
            for (const QJsonValue& v : part[list].toArray()) names.insert(Lower(Text(v)));
        for (const QJsonValue& v : part["differences"].toArray()) {
            names.insert(Lower(Text(v[keys[p]])));
            if (v["kind"].toString() == "Field" || v["kind"].toString() == "Item") ++fields;
        }
        counts[p] = names.size();
    }
    std::set<std::string> elements;
    for (const QJsonValue& v : doc["elements"].toArray()) {
        elements.insert(Text(v["type"]) + " " + Lower(Text(v["name"])));
        if (v["kind"].toString() == "Field" || v["kind"].toString() == "Item") ++fields;
    }
    counts[2] = elements.size();
    std::vector<std::string> said;
    if (counts[0]) said.push_back(Counted(counts[0], "class", "classes"));
    if (counts[1]) said.push_back(Counted(counts[1], "attribute", "attributes"));
    if (counts[2]) said.push_back(Counted(counts[2], "other element", "other elements"));
    if (fields) said.push_back(Counted(fields, "field", "fields"));
    std::string text;
    for (const std::string& s : said) text += (text.empty() ? "" : ", ") + s;
    const bool one = said.size() == 1 && counts[0] + counts[1] + counts[2] + fields == 1;
    return text.empty() ? "identical" : text + (one ? " differs" : " differ");
}

TEST_F(DirsrvSurvey, EachServerGetsItsLineAndAStoppedOneTroubleOnly) {
    SlapdServer::Options options;
    options.configPassword = "config-secret";
    SlapdServer alpha(options);
    SlapdServer beta(options);
    const EnvChanges env = family::ClientEnv(
        dir, {LdapConnection(alpha.uri(), "SLAPD-A"), LdapConnection(beta.uri(), "SLAPD-B"),
              BoundConnection(live, "DS-389")});
    const std::string baseline = family::SaveTree(env, dir, "SLAPD-A", "baseline.sch");

    const CliResult changed = RunProgram(
        "/usr/bin/ldapmodify",
        {"-x", "-a", "-H", beta.uri(), "-D", "cn=config", "-w", "config-secret", "-f",
         dir.write("change.ldif",
                   "dn: cn=kalvix-survey,cn=schema,cn=config\n"
                   "objectClass: olcSchemaConfig\n"
                   "cn: kalvix-survey\n"
                   "olcAttributeTypes: ( 1.3.6.1.4.1.55555.9.1 NAME 'kalvixSurveyMark' SYNTAX "
                   "1.3.6.1.4.1.1466.115.121.1.15 )\n"
                   "olcObjectClasses: ( 1.3.6.1.4.1.55555.9.2 NAME 'kalvixSurveyed' SUP top "
                   "AUXILIARY MAY kalvixSurveyMark )\n")});
    ASSERT_EQ(changed.status, 0) << changed.err << changed.out;

    const CliResult compared =
        RunCli({"compare", "--format", "json", "-q", baseline, "tree:DS-389"}, env);
    ASSERT_EQ(compared.status, 1) << compared.err;
    const std::string ds389 = "DS-389: " + VerdictOf(family::ParseJsonOutput(compared));

    CliResult r = RunCli({"survey", baseline, "--all-trees"}, env);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "SLAPD-A: identical\nSLAPD-B: 1 class, 1 attribute differ\n" + ds389 + "\n");

    alpha.stop();
    r = RunCli({"survey", "--jobs", "2", baseline, "tree:SLAPD-A", "tree:SLAPD-B", "tree:DS-389"},
               env);
    EXPECT_EQ(r.status, 2) << r.err;
    const std::string down = "SLAPD-A: cannot be read: ";
    ASSERT_TRUE(r.out.starts_with(down)) << r.out;
    const std::size_t end = r.out.find('\n');
    EXPECT_NE(r.out.find(alpha.uri().substr(0, alpha.uri().size() - 1)), std::string::npos)
        << "the reason names the server: " << r.out;
    EXPECT_EQ(r.out.substr(end + 1), "SLAPD-B: 1 class, 1 attribute differ\n" + ds389 + "\n");
}

}  // namespace
