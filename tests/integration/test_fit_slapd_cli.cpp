// kalvix-cli fit against a live slapd: a corpus of 2,000 generated people, one in seven
// with a fault planted of a kind slapd checks, loaded with ldapadd -c; the entries slapd
// refuses are the entries fit refuses against that server's schema. slapd does not hold
// values to their {len} bound, and adds an RDN's value the entry lacks rather than refuse
// it, so fit follows it with --skip bounds,rdn.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "CliRunner.h"
#include "LdapTestSupport.h"
#include "SlapdServer.h"

namespace {

// Each fault, as the lines of an inetOrgPerson entry it adds or replaces.
struct Fault {
    const char* kind;
    const char* extra;   // lines added
    bool dropSurname;    // sn left out
    bool otherRdnValue;  // uid in the DN, another in the entry
};

const Fault kFaults[] = {
    {"none", "", false, false},
    {"unknown class", "objectClass: nosuchClass\n", false, false},
    {"unknown attribute", "nosuchAttribute: x\n", false, false},
    {"not allowed", "uidNumber: 7\n", false, false},
    {"missing must", "", true, false},
    {"syntax",
     "objectClass: posixAccount\nuidNumber: seven\ngidNumber: 7\n"
     "homeDirectory: /home/x\n",
     false, false},
    {"single value",
     "objectClass: posixAccount\nuidNumber: 7\nuidNumber: 8\ngidNumber: 7\n"
     "homeDirectory: /home/x\n",
     false, false},
    {"structural", "objectClass: account\n", false, false},
    {"rdn absent", "", false, true},
    {"server set", "createTimestamp: 20240101000000Z\n", false, false},
    {"duplicate value", "mail: a@example.com\nmail: A@EXAMPLE.COM\n", false, false},
    {"country", "objectClass: country\n", false, false},
};
constexpr std::size_t kFaultCount = sizeof kFaults / sizeof kFaults[0];

struct Corpus {
    std::string ldif;
    std::vector<std::uint64_t> lines;  // where each entry's dn: is, in order
};

Corpus Generate(int people) {
    Corpus c;
    std::uint64_t line = 1;
    const auto add = [&](const std::string& entry) {
        c.lines.push_back(line);
        c.ldif += entry + "\n";
        for (const char ch : entry) line += ch == '\n';
        ++line;
    };
    add("dn: dc=example,dc=com\nobjectClass: dcObject\nobjectClass: organization\ndc: example\n"
        "o: Example\n");
    add("dn: ou=People,dc=example,dc=com\nobjectClass: organizationalUnit\nou: People\n");
    for (int i = 0; i < people; ++i) {
        const Fault& f = kFaults[i % 7 == 0 ? 1 + (i / 7) % (kFaultCount - 1) : 0];
        const std::string n = std::to_string(i % 1900);  // the last hundred repeat a DN
        std::string e = "dn: uid=p" + n +
                        ",ou=People,dc=example,dc=com\n"
                        "objectClass: inetOrgPerson\ncn: Person " +
                        n + "\n";
        if (!f.dropSurname) e += "sn: S" + n + "\n";
        e += "uid: " + std::string(f.otherRdnValue ? "q" : "p") + n + "\n";
        e += std::string(f.extra);
        add(e);
    }
    return c;
}

// The lines (as the corpus numbers them) of the entries ldapadd -c could not add: its
// standard output and error on one unbuffered pipe, an error right after its entry.
std::set<std::uint64_t> RefusedBySlapd(const SlapdServer& server, const std::string& file,
                                       const Corpus& corpus) {
    const CliResult r = RunProgram(
        "/bin/sh", {"-c", "stdbuf -o0 -e0 /usr/bin/ldapadd -c -x -H '" + server.uri() +
                              "' -D cn=admin,dc=example,dc=com -w secret -f '" + file + "' 2>&1"});
    std::set<std::uint64_t> refused;
    std::size_t entry = 0;
    std::size_t at = 0;
    while (at < r.out.size()) {
        const std::size_t end = std::min(r.out.find('\n', at), r.out.size());
        const std::string line = r.out.substr(at, end - at);
        at = end + 1;
        if (line.starts_with("adding new entry"))
            ++entry;
        else if (line.starts_with("ldap_add:") && entry > 0)
            refused.insert(corpus.lines[entry - 1]);
    }
    EXPECT_EQ(entry, corpus.lines.size()) << r.out.substr(0, 2000);
    return refused;
}

std::set<std::uint64_t> RefusedByFit(const std::string& file, const std::string& config) {
    const CliResult r = RunCli({"fit", "-q", "--skip", "bounds,rdn", file, "tree:SLAPD"},
                               {{"KALVIX_CLIENT", config}});
    EXPECT_EQ(r.status, 1) << r.err;
    std::set<std::uint64_t> refused;
    std::size_t at = 0;
    while (at < r.out.size()) {
        const std::size_t end = std::min(r.out.find('\n', at), r.out.size());
        const std::string line = r.out.substr(at, end - at);
        at = end + 1;
        if (!line.starts_with(file + ":")) continue;
        refused.insert(std::stoull(line.substr(file.size() + 1)));
    }
    return refused;
}

TEST(FitSlapd, RefusesWhatSlapdRefuses) {
    SlapdServer server;
    TempDir dir;
    const Corpus corpus = Generate(2000);
    const std::string file = dir.write("corpus.ldif", corpus.ldif);
    const std::string config = WriteClientConfig(dir, {LdapConnection(server.uri(), "SLAPD")});
    // Against the empty server's schema first: loading changes the schema not at all.
    const std::set<std::uint64_t> byFit = RefusedByFit(file, config);
    const std::set<std::uint64_t> bySlapd = RefusedBySlapd(server, file, corpus);
    EXPECT_GT(bySlapd.size(), 300U);
    std::string onlyFit;
    std::string onlySlapd;
    for (const std::uint64_t l : byFit)
        if (!bySlapd.count(l)) onlyFit += " " + std::to_string(l);
    for (const std::uint64_t l : bySlapd)
        if (!byFit.count(l)) onlySlapd += " " + std::to_string(l);
    EXPECT_EQ(onlyFit, "") << "refused by fit alone, lines";
    EXPECT_EQ(onlySlapd, "") << "refused by slapd alone, lines";
}

}  // namespace
