// kalvix-cli fit against a live slapd: 2,000 generated people (FitCorpus.h) loaded with
// ldapadd -c; the entries slapd refuses are the entries fit refuses against that server's
// schema. slapd does not hold values to their {len} bound, and adds an RDN's value the
// entry lacks rather than refuse it, so fit follows it with --skip bounds,rdn.
#include <gtest/gtest.h>

#include "FitCorpus.h"
#include "LdapTestSupport.h"
#include "SlapdServer.h"

namespace {

TEST(FitSlapd, RefusesWhatSlapdRefuses) {
    SlapdServer server;
    TempDir dir;
    const std::string file = dir.write("suffix.ldif",
                                       "dn: dc=example,dc=com\nobjectClass: dcObject\n"
                                       "objectClass: organization\ndc: example\no: Example\n");
    const std::string bind = "-H '" + server.uri() + "' -D cn=admin,dc=example,dc=com -w secret";
    ASSERT_EQ(
        RunProgram("/bin/sh", {"-c", "/usr/bin/ldapadd -x " + bind + " -f '" + file + "'"}).status,
        0);
    const fitcorpus::Corpus corpus = fitcorpus::Generate(2000, "ou=People,dc=example,dc=com");
    const std::string ldif = dir.write("corpus.ldif", corpus.ldif);
    const EnvChanges env = {
        {"KALVIX_CLIENT", WriteClientConfig(dir, {LdapConnection(server.uri(), "SLAPD")})}};
    // Read before the load: adding entries changes no schema.
    const std::set<std::uint64_t> byFit =
        fitcorpus::RefusedByFit(ldif, "tree:SLAPD", "bounds,rdn", env);
    const std::set<std::uint64_t> bySlapd = fitcorpus::RefusedByLoad(bind, ldif, corpus);
    EXPECT_GT(bySlapd.size(), 300U);
    EXPECT_EQ(fitcorpus::Only(byFit, bySlapd), "") << "refused by fit alone, lines";
    EXPECT_EQ(fitcorpus::Only(bySlapd, byFit), "") << "refused by slapd alone, lines";
}

}  // namespace
