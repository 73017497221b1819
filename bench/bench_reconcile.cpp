// The fix-up LDIF on a schema of 2,000 classes and 10,000 attribute types (chains of super
// types, classes with a superclass and ten attributes), Tree #2 holding every other one:
// the mapping that now also keeps each definition's published text, the canonical forms
// alone, and planning plus writing the document. Also an LDIF dump of a subschema entry
// with 12,000 definitions as a server publishes them, read and mapped; and two such dumps,
// one changed in a field of every tenth definition, read, mapped and compared field by
// field. And the ad dialect on a single chain of 10,000 attribute types.
//
// Targets: mapping under 1 s, planning and writing under 0.5 s (the deep chain in the ad
// dialect too); the pair of dumps mapped and compared under 0.3 s.
#include <benchmark/benchmark.h>

#include <string>

#include "GeneratedLdif.h"
#include "core/TreeLoading.h"
#include "core/compare/Compare.h"
#include "core/compare/ElementFields.h"
#include "core/model/PublishedText.h"
#include "core/reconcile/Reconcile.h"
#include "sources/ClientFactory.h"
#include "sources/LdapSchema.h"
#include "sources/SchemaFileTree.h"

namespace {

SchemaDefinitions Generated(bool everyOther) {
    std::string text =
        "objectidentifier Bench 1.3.6.1.4.1.99999.42\n"
        "attributetype ( 2.5.4.41 NAME 'name' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{32768} )\n"
        "objectclass ( 2.5.6.0 NAME 'top' ABSTRACT )\n";
    for (int i = 0; i < 10000; ++i) {
        if (everyOther && i % 2 == 1) continue;
        const std::string sup = i % 10 == 0 ? "name" : "benchAttr" + std::to_string(i - 1);
        text += "attributetype ( Bench:1." + std::to_string(i) + " NAME 'benchAttr" +
                std::to_string(i) + "' DESC 'generated attribute " + std::to_string(i) + "' SUP " +
                sup + " X-ORIGIN 'bench' )\n";
    }
    for (int i = 0; i < 2000; ++i) {
        if (everyOther && i % 2 == 1) continue;
        const std::string sup = i % 20 == 0 ? "top" : "benchClass" + std::to_string(i - 1);
        text += "objectclass ( Bench:2." + std::to_string(i) + " NAME 'benchClass" +
                std::to_string(i) + "' SUP " + sup + " AUXILIARY MUST ( benchAttr" +
                std::to_string(i * 5 % 10000) + " $ benchAttr" + std::to_string(i * 3 % 10000) +
                " ) MAY ( ";
        for (int k = 0; k < 8; ++k)
            text += (k ? " $ benchAttr" : "benchAttr") + std::to_string((i * 7 + k * 13) % 10000);
        text += " ) )\n";
    }
    SchemaDefinitions definitions;
    std::vector<SkippedDefinition> skipped;
    ParseSchemaFileText(text, definitions, skipped);
    return definitions;
}

// As slapd hands out its subschema entry: every type with its rules and syntax, names in
// lists, X-ORIGIN; one type in ten inherits from the one before.
std::string GeneratedLdif(bool changed = false) {
    std::string text =
        "dn: cn=Subschema\n"
        "objectClasses: ( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass )\n"
        "attributeTypes: ( 2.5.4.0 NAME 'objectClass' EQUALITY objectIdentifierMatch SYNTAX "
        "1.3.6.1.4.1.1466.115.121.1.38 )\n";
    for (int i = 0; i < 9999; ++i) {
        const auto& rule = bench::kLdifRules[i % 6];
        // Tree #2's every tenth type matches another way (or, inheriting, says so).
        text += bench::LdifAttributeLine(
            i, "generated", changed && i % 10 == 0 && i % 6 == 0 ? "caseExactMatch" : rule[0],
            rule[1]);
    }
    for (int i = 0; i < 1999; ++i)
        text += bench::LdifClassLine(i, changed && i % 10 == 0 ? "changed" : "generated");
    return text;
}

void ReadAndMapLdif(benchmark::State& state) {
    const std::string text = GeneratedLdif();
    for (auto _ : state) {
        SchemaDefinitions definitions;
        std::vector<SkippedDefinition> skipped;
        ParseLdifText(text, definitions, skipped);
        benchmark::DoNotOptimize(MapLdapSchema(definitions));
    }
}

TreeSchema MappedLdif(const std::string& text) {
    SchemaDefinitions definitions;
    std::vector<SkippedDefinition> skipped;
    ParseLdifText(text, definitions, skipped);
    return MapLdapSchema(definitions);
}

// Read, map and compare both trees as kalvix-cli compare does.
void MapAndCompareLdifTrees(benchmark::State& state) {
    const std::string texts[] = {GeneratedLdif(false), GeneratedLdif(true)};
    std::vector<std::string> unknown;
    SilentUi ui;
    std::size_t findings = 0;
    for (auto _ : state) {
        Workspace ws(CreateUnavailableClient(""));
        ws.Fields = FieldFilter::Parse("none", unknown);
        for (int t = 1; t <= 2; ++t) {
            ws.tree(t).Online = 1;
            ws.tree(t).Schema = std::make_shared<const TreeSchema>(MappedLdif(texts[t - 1]));
            ReadSlotNames(ws, ui, t);
        }
        findings = 0;
        const FindingFn count = [&](const Finding&) { ++findings; };
        CompareAllClasses(ws, ui, {}, count);
        CompareAllAttributes(ws, ui, {}, count);
        CompareOtherElements(ws, count);
        benchmark::DoNotOptimize(findings);
    }
    state.counters["findings"] = static_cast<double>(findings);
}

void MapWithPublished(benchmark::State& state) {
    const SchemaDefinitions definitions = Generated(false);
    for (auto _ : state) benchmark::DoNotOptimize(PublishedView(MapLdapSchema(definitions)));
}

void CanonicalAttributeTypes(benchmark::State& state) {
    std::vector<PublishedDefinition> types =
        PublishedView(MapLdapSchema(Generated(false))).attributeTypes;
    for (auto _ : state) {
        CompleteAttributeTypes(types);
        benchmark::DoNotOptimize(types.front().canonical);
    }
}

void PlanAndWrite(benchmark::State& state) {
    const PublishedSchema tree1 = PublishedView(MapLdapSchema(Generated(false)));
    const PublishedSchema tree2 = PublishedView(MapLdapSchema(Generated(true)));
    ReconcileOptions options;
    options.includeChanged = true;
    const LdifHeader header{"ONE", "TWO", "bench", "now", "kalvix-ONE"};
    std::size_t bytes = 0;
    for (auto _ : state) {
        const ReconcilePlan plan = PlanReconcile(tree1, tree2, options);
        bytes = WriteReconcileLdif(plan, tree1, tree2, options, header).size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}

// The ad dialect on one chain of 10,000 attribute types, each with its syntax only from the
// root, Tree #2 an Active Directory holding none of them: every type's syntax found once.
void PlanAndWriteAdDeepChain(benchmark::State& state) {
    std::string text =
        "attributetype ( 2.5.4.41 NAME 'name' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{32768} )\n";
    for (int i = 0; i < 10000; ++i)
        text += "attributetype ( 1.3.6.1.4.1.99999.43." + std::to_string(i) + " NAME 'benchDeep" +
                std::to_string(i) + "' SUP " +
                (i == 0 ? std::string("name") : "benchDeep" + std::to_string(i - 1)) + " )\n";
    SchemaDefinitions definitions;
    std::vector<SkippedDefinition> skipped;
    ParseSchemaFileText(text, definitions, skipped);
    const PublishedSchema tree1 = PublishedView(MapLdapSchema(definitions));
    PublishedSchema tree2;
    tree2.activeDirectory = true;
    ReconcileOptions options;
    options.dialect = LdifDialect::Ad;
    options.forestPlaceholder = true;
    const LdifHeader header{"ONE", "TWO", "bench", "now", "kalvix-ONE"};
    std::size_t added = 0;
    for (auto _ : state) {
        const ReconcilePlan plan = PlanReconcile(tree1, tree2, options);
        added = plan.additions.size();
        benchmark::DoNotOptimize(WriteReconcileLdif(plan, tree1, tree2, options, header).size());
    }
    state.counters["added"] = static_cast<double>(added);
}

}  // namespace

BENCHMARK(ReadAndMapLdif)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(MapAndCompareLdifTrees)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(MapWithPublished)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CanonicalAttributeTypes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PlanAndWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PlanAndWriteAdDeepChain)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
