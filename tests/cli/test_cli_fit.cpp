// kalvix-cli fit on the demo's Initech people: the lines and summary byte for byte against
// the tree that refuses some, the exit statuses, the refused and accepted entries written
// apart (each part checked again), the other formats, and input that is not an LDIF file.
#include <gtest/gtest.h>

#include <algorithm>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "CliRunner.h"
#include "TempDir.h"

namespace {

const std::string kPeople = "data/demo/initech-people.ldif";
const std::string kOpenLdap = "data/demo/initech-openldap.ldif";
const std::string k389 = "data/demo/initech-389.ldif";

CliResult Fit(std::vector<std::string> args) {
    args.insert(args.begin(), "fit");
    return RunCli(args, {}, KALVIX_SOURCE_DIR);
}

TEST(CliFit, LinesAndSummary) {
    const CliResult r = Fit({kPeople, k389});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, ReadBytes(CliData("fit_initech-389_expected.txt")));
    EXPECT_EQ(Fit({kPeople, kOpenLdap}).status, 0);
}

TEST(CliFit, MappedNamesAreNamed) {
    const CliResult r = Fit({"--map-from", kOpenLdap, kPeople, k389});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out.find("'userid'"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  userid -> uid\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  initechBadge -> initechBadgeNumber\n"), std::string::npos);
}

TEST(CliFit, RejectsAndAcceptedCheckAgain) {
    const TempDir dir;
    const std::string rejects = dir.file("rejects.ldif");
    const std::string accepted = dir.file("accepted.ldif");
    ASSERT_EQ(Fit({"--rejects", rejects, "--accepted", accepted, kPeople, k389}).status, 1);
    const CliResult good = Fit({"-q", accepted, k389});
    EXPECT_EQ(good.status, 0) << good.out;
    EXPECT_NE(good.out.find("3 records against"), std::string::npos) << good.out;
    const CliResult bad = Fit({"-q", rejects, k389});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.out.find(": 0 fit, 4 refused"), std::string::npos) << bad.out;
    // Every refused entry fits the tree it came from.
    EXPECT_EQ(Fit({rejects, kOpenLdap}).status, 0);
}

TEST(CliFit, Formats) {
    const CliResult json = Fit({"--format", "json", kPeople, k389});
    EXPECT_EQ(json.status, 1);
    const QJsonObject doc = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object();
    EXPECT_EQ(doc.value("refused").toArray().size(), 4) << json.out;
    EXPECT_EQ(doc.value("summary").toObject().value("fit").toInt(), 3);
    const CliResult csv = Fit({"--format", "csv", kPeople, k389});
    EXPECT_EQ(csv.out.substr(0, csv.out.find('\n') + 1),
              "\"Entries\",\"Line\",\"DN\",\"Kind\",\"Subject\",\"Reason\"\r\n");
    EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 9);
    const CliResult html = Fit({"--format", "html", kPeople, k389});
    EXPECT_NE(html.out.find("<h2 id=\"structural\">"), std::string::npos);
}

TEST(CliFit, InputThatCannotBeChecked) {
    const TempDir dir;
    EXPECT_EQ(Fit({dir.path().string(), k389}).status, 2);
    EXPECT_EQ(Fit({dir.file("missing.ldif"), k389}).status, 2);
    EXPECT_EQ(Fit({"-", "-"}).status, 2);
    const CliResult noDefinitions = Fit({kPeople, CliData("lab_1.txt")});
    EXPECT_EQ(noDefinitions.status, 2);
    EXPECT_NE(noDefinitions.err.find("holds no published LDAP definitions"), std::string::npos);
}

}  // namespace
