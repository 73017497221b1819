// Arbitrary bytes as an LDIF file of entries checked against a small tree: every record is
// counted once as fitting, refused or unreadable, every verdict has a reason and comes in
// file order, and one thread and three give the same verdicts.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/fit/FitRun.h"
#include "core/model/LdapMapping.h"

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_fit_entries: broken invariant: %s\n", what);
        std::abort();
    }
}

const FitSchema& Tree() {
    static const TreeSchema tree = [] {
        SchemaDefinitions d;
        const char* s = "1.3.6.1.4.1.1466.115.121.1.";
        for (const std::string& t : std::vector<std::string>{
                 "( 2.5.4.41 NAME 'name' EQUALITY caseIgnoreMatch SYNTAX " + std::string(s) +
                     "15{32} )",
                 "( 2.5.4.3 NAME ( 'cn' 'commonName' ) SUP name )",
                 "( 2.5.4.4 NAME 'sn' SUP name SINGLE-VALUE )",
                 "( 0.9.2342.19200300.100.1.1 NAME 'uid' EQUALITY caseIgnoreMatch SYNTAX " +
                     std::string(s) + "15 )",
                 "( 1.2.3.1 NAME 'flag' EQUALITY booleanMatch SYNTAX " + std::string(s) + "7 )",
                 "( 1.2.3.2 NAME 'stamp' EQUALITY generalizedTimeMatch SYNTAX " + std::string(s) +
                     "24 )",
                 "( 1.2.3.3 NAME 'code' EQUALITY caseExactMatch SYNTAX " + std::string(s) +
                     "44{4} )",
                 "( 1.2.3.5 NAME 'owner' EQUALITY distinguishedNameMatch SYNTAX " + std::string(s) +
                     "12 )",
                 "( 2.5.4.20 NAME 'telephoneNumber' EQUALITY telephoneNumberMatch SYNTAX " +
                     std::string(s) + "50 )"})
            d.add(ElementType::AttributeType, t);
        for (const char* c :
             {"( 2.5.6.6 NAME 'person' SUP top STRUCTURAL MUST ( sn $ cn ) MAY ( telephoneNumber $ "
              "owner ) )",
              "( 1.2.4.2 NAME 'employee' SUP person STRUCTURAL MAY ( uid $ stamp ) )",
              "( 1.2.4.3 NAME 'badge' SUP top AUXILIARY MAY code )",
              "( 1.2.4.4 NAME 'loop' SUP loop STRUCTURAL MAY flag )"})
            d.add(ElementType::ObjectClass, c);
        return MapLdapSchema(d);
    }();
    static const FitSchema schema(tree);
    return schema;
}

std::vector<FitVerdict> Run(const std::uint8_t* data, std::size_t size, unsigned threads,
                            FitSummary& summary) {
    std::FILE* file = std::tmpfile();
    Check(file != nullptr, "a temporary file");
    std::fwrite(data, 1, size, file);
    std::rewind(file);
    std::vector<FitVerdict> verdicts;
    FitHooks hooks;
    hooks.refused = [&](const FitVerdict& v) { verdicts.push_back(v); };
    FitOptions options;
    options.parents = size % 2 == 1;
    summary = RunFit(fileno(file), Tree(), options, hooks, threads);
    std::fclose(file);
    return verdicts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FitSummary one;
    const std::vector<FitVerdict> a = Run(data, size, 1, one);
    Check(one.records == one.fitting + one.refused + one.malformed, "each record counted once");
    Check(a.size() == one.refused + one.malformed, "a verdict for each refused record");
    std::uint64_t reasons = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        Check(!a[i].reasons.empty(), "a verdict has a reason");
        Check(a[i].line >= 1, "lines count from 1");
        Check(i == 0 || a[i].line >= a[i - 1].line, "verdicts in file order");
        reasons += a[i].reasons.size();
    }
    std::uint64_t counted = 0;
    for (const std::uint64_t n : one.byKind) counted += n;
    Check(counted == reasons, "the counts add up to the reasons");
    FitSummary three;
    const std::vector<FitVerdict> b = Run(data, size, 3, three);
    Check(a.size() == b.size(), "as many verdicts on three threads");
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        Check(a[i].line == b[i].line && a[i].dn == b[i].dn, "the same verdicts in the same order");
        Check(a[i].reasons.size() == b[i].reasons.size(), "the same reasons");
    }
    return 0;
}
