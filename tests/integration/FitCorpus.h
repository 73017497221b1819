// The corpus the fit tests load into live servers: people under one organizational unit,
// one in seven with a fault planted of a kind servers check, the last hundred repeating a
// DN; and the two readings compared, what ldapadd -c could not add and what fit refuses,
// each as the lines where the entries' dn: stand.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "CliRunner.h"

namespace fitcorpus {

// Each fault, as the lines of an inetOrgPerson entry it adds or changes.
struct Fault {
    const char* extra;   // lines added
    bool dropSurname;    // sn left out
    bool otherRdnValue;  // uid in the DN, another in the entry
};

inline constexpr Fault kFaults[] = {
    {"", false, false},                            // none
    {"objectClass: nosuchClass\n", false, false},  // unknown class
    {"nosuchAttribute: x\n", false, false},        // unknown attribute
    {"uidNumber: 7\n", false, false},              // not allowed
    {"", true, false},                             // missing must
    {"objectClass: posixAccount\nuidNumber: seven\ngidNumber: 7\nhomeDirectory: /home/x\n", false,
     false},  // syntax
    {"objectClass: posixAccount\nuidNumber: 7\nuidNumber: 8\ngidNumber: 7\n"
     "homeDirectory: /home/x\n",
     false, false},                                                // single value
    {"objectClass: account\n", false, false},                      // two structural chains
    {"", false, true},                                             // RDN value absent
    {"createTimestamp: 20240101000000Z\n", false, false},          // set by the server
    {"mail: a@example.com\nmail: A@EXAMPLE.COM\n", false, false},  // a value twice
    {"objectClass: country\n", false, false},                      // chains, and c missing
};
inline constexpr std::size_t kFaultCount = sizeof kFaults / sizeof kFaults[0];

struct Corpus {
    std::string ldif;
    std::vector<std::uint64_t> lines;  // where each entry's dn: is, in order
};

// base: the unit's DN (ou=People,...), whose parent the server holds. The people are
// named by uid, or by cn where the server names a person by cn only (Active Directory).
inline Corpus Generate(int people, const std::string& base, bool namedByCn = false) {
    Corpus c;
    std::uint64_t line = 1;
    const auto add = [&](const std::string& entry) {
        c.lines.push_back(line);
        c.ldif += entry + "\n";
        line += static_cast<std::uint64_t>(std::count(entry.begin(), entry.end(), '\n')) + 1;
    };
    add("dn: " + base + "\nobjectClass: organizationalUnit\nou: People\n");
    for (int i = 0; i < people; ++i) {
        const Fault& f = kFaults[i % 7 == 0 ? 1 + (i / 7) % (kFaultCount - 1) : 0];
        const std::string n = std::to_string(i % (people - 100));
        const std::string other = f.otherRdnValue ? "q" : "p";
        std::string e = "dn: " + std::string(namedByCn ? "cn=p" : "uid=p") + n + "," + base +
                        "\nobjectClass: inetOrgPerson\n";
        e += namedByCn ? "cn: " + other + n + "\nuid: p" + n + "\n"
                       : "cn: Person " + n + "\nuid: " + other + n + "\n";
        if (!f.dropSurname) e += "sn: S" + n + "\n";
        add(e + f.extra);
    }
    return c;
}

// ldapadd -c with its standard output and error on one unbuffered pipe: an error stands
// right after the entry it is about.
inline std::set<std::uint64_t> RefusedByLoad(const std::string& bind, const std::string& file,
                                             const Corpus& corpus) {
    const CliResult r = RunProgram("/bin/sh", {"-c", "stdbuf -o0 -e0 /usr/bin/ldapadd -c -x " +
                                                         bind + " -f '" + file + "' 2>&1"});
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

inline std::set<std::uint64_t> RefusedByFit(const std::string& file, const std::string& tree,
                                            const std::string& skip, const EnvChanges& env) {
    std::vector<std::string> args = {"fit", "-q", file, tree};
    if (!skip.empty()) args.insert(args.begin() + 1, {"--skip", skip});
    const CliResult r = RunCli(args, env);
    EXPECT_EQ(r.status, 1) << r.err;
    std::set<std::uint64_t> refused;
    std::size_t at = 0;
    while (at < r.out.size()) {
        const std::size_t end = std::min(r.out.find('\n', at), r.out.size());
        const std::string line = r.out.substr(at, end - at);
        at = end + 1;
        if (line.starts_with(file + ":")) refused.insert(std::stoull(line.substr(file.size() + 1)));
    }
    return refused;
}

// The lines of a not in b, for a failure's message.
inline std::string Only(const std::set<std::uint64_t>& a, const std::set<std::uint64_t>& b) {
    std::string out;
    for (const std::uint64_t l : a)
        if (!b.count(l)) out += " " + std::to_string(l);
    return out;
}

}  // namespace fitcorpus
