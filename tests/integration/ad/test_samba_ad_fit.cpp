// kalvix-cli fit against a live Samba AD domain controller: the generated people
// (FitCorpus.h, named by cn as the domain controller wants) loaded with ldapadd -c as
// Administrator; the entries it refuses are the entries fit refuses against its schema,
// read live. The domain controller takes values over their {len} (--skip bounds); fit
// reads AD's content rules as the domain controller applies them: those of the super
// classes too, and the attributes of their auxiliary classes allowed without the class
// listed.
#include "FamilyChecks.h"
#include "FitCorpus.h"
#include "SambaDcServer.h"

namespace {

using SambaAdFit = LiveServerTest<SambaDcServer>;

TEST_F(SambaAdFit, RefusesWhatTheDomainControllerRefuses) {
    const std::string base = "OU=FitPeople,DC=kalvix,DC=test";
    fitcorpus::Corpus corpus = fitcorpus::Generate(2000, base, true);
    // The unit is named as its RDN says.
    const std::string unit = "ou: People\n";
    corpus.ldif.replace(corpus.ldif.find(unit), unit.size(), "ou: FitPeople\n");
    const std::string ldif = dir.write("corpus.ldif", corpus.ldif);
    const EnvChanges env = family::ClientEnv(dir, {BoundConnection(live, "DS")});
    const std::set<std::uint64_t> byFit = fitcorpus::RefusedByFit(ldif, "tree:DS", "bounds", env);
    const std::string bind =
        "-H '" + live.uri + "' -D '" + live.bindDn + "' -y '" + live.passwordFile + "'";
    const std::set<std::uint64_t> byAd = fitcorpus::RefusedByLoad(bind, ldif, corpus);
    EXPECT_GT(byAd.size(), 200U);
    EXPECT_EQ(fitcorpus::Only(byFit, byAd), "") << "refused by fit alone, lines";
    EXPECT_EQ(fitcorpus::Only(byAd, byFit), "") << "refused by the domain controller alone, lines";
}

}  // namespace
