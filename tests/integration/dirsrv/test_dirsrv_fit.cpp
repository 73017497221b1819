// kalvix-cli fit against the live 389 Directory Server: the generated people (FitCorpus.h)
// loaded with ldapadd -c as Directory Manager; the entries 389 refuses are the entries fit
// refuses against its schema, read live. 389 is more lenient than its schema: it takes
// values over their {len}, adds an RDN's value the entry lacks, lets an entry have
// structural classes that are not one chain, and takes from its manager attributes it
// sets itself; fit follows it with --skip bounds,rdn,chains,server-set.
#include "DirsrvServer.h"
#include "FamilyChecks.h"
#include "FitCorpus.h"

namespace {

using DirsrvFit = LiveServerTest<DirsrvServer>;

TEST_F(DirsrvFit, RefusesWhat389Refuses) {
    const std::string base = "ou=FitPeople," + server->suffix();
    fitcorpus::Corpus corpus = fitcorpus::Generate(2000, base);
    // The unit is named as its RDN says.
    const std::string unit = "ou: People\n";
    corpus.ldif.replace(corpus.ldif.find(unit), unit.size(), "ou: FitPeople\n");
    const std::string ldif = dir.write("corpus.ldif", corpus.ldif);
    const EnvChanges env = family::ClientEnv(dir, {BoundConnection(live, "DS")});
    const std::set<std::uint64_t> byFit =
        fitcorpus::RefusedByFit(ldif, "tree:DS", "bounds,rdn,chains,server-set", env);
    const std::string bind =
        "-H '" + live.uri + "' -D '" + live.bindDn + "' -y '" + live.passwordFile + "'";
    const std::set<std::uint64_t> by389 = fitcorpus::RefusedByLoad(bind, ldif, corpus);
    EXPECT_GT(by389.size(), 250U);
    EXPECT_EQ(fitcorpus::Only(byFit, by389), "") << "refused by fit alone, lines";
    EXPECT_EQ(fitcorpus::Only(by389, byFit), "") << "refused by 389 alone, lines";
}

}  // namespace
