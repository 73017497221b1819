// Peak memory of the .schema and LDIF readers on 64 MiB files of short lines: comments,
// blank lines, lines of other attributes, values folded every few bytes, tiny definitions
// and short directives that do not parse. Each file is read in a process of its own, so
// its peak RSS (getrusage's ru_maxrss, less that of a process that reads nothing) is its
// own: "read" is the reader alone (ReadSchemaFile into definitions), "load" the whole
// tree as kalvix-cli loads it (the definitions mapped into elements as well).
//
// Target: lines that are not definitions (comments, blanks, other attributes, folded
// values) at most 4x the file's size, read and loaded. Definitions cost what their mapped
// elements take: the figures for them are recorded, not a target.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "sources/SchemaFileTree.h"

namespace {

constexpr std::size_t kFileBytes = std::size_t{64} << 20;  // the largest file read

// Writes lines from make (given a running number) until the next would pass kFileBytes.
std::string WriteFile(const std::string& name, const std::string& head,
                      const std::function<std::string(std::size_t)>& make) {
    const std::string path =
        std::string(P_tmpdir) + "/kalvix-bench-" + std::to_string(::getpid()) + "-" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::string chunk = head;
    std::size_t size = head.size();
    for (std::size_t n = 0;; ++n) {
        const std::string line = make(n);
        if (size + line.size() > kFileBytes) break;
        size += line.size();
        chunk += line;
        if (chunk.size() > (1u << 20)) {
            out << chunk;
            chunk.clear();
        }
    }
    out << chunk;
    return path;
}

// The peak RSS of a child that runs work, in bytes, and whether work said yes.
std::size_t ChildPeak(const std::function<bool()>& work, bool& ok) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(work() ? 0 : 1);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return static_cast<std::size_t>(usage.ru_maxrss) * 1024;
}

void Measure(benchmark::State& state, const std::string& path, bool load) {
    bool ok = false;
    const std::size_t file = static_cast<std::size_t>(std::ifstream(path, std::ios::ate).tellg());
    std::size_t peak = 0;
    std::size_t base = 0;
    for (auto _ : state) {
        bool idle = false;
        base = ChildPeak([] { return true; }, idle);
        peak = ChildPeak(
            [&] {
                if (load) {
                    SchemaFilesSettings settings;
                    settings.files = {path};
                    return SchemaFilesSource(settings).load().schema != nullptr;
                }
                SchemaDefinitions definitions;
                std::vector<SkippedDefinition> skipped;
                std::string error;
                return ReadSchemaFile(path, SchemaFileFormat::Detect, definitions, skipped, error);
            },
            ok);
    }
    const double used = peak > base ? static_cast<double>(peak - base) : 0.0;
    state.counters["peak_MiB"] = used / (1 << 20);
    state.counters["x_file"] = used / static_cast<double>(file);
    state.counters["read"] = ok ? 1 : 0;
}

// Every file begins with one definition, so that the tree it gives is not empty.
const std::string kSchemaHead = "attributetype ( 1.1.0 NAME 'head' )\n";
const std::string kLdifHead = "dn: cn=Subschema\nattributeTypes: ( 1.1.0 NAME 'head' )\n";

struct Case {
    const char* name;
    const char* suffix;
    const std::string* head;
    std::function<std::string(std::size_t)> line;
};

const Case kCases[] = {
    {"SchemaComments", "schema", &kSchemaHead, [](std::size_t) { return std::string("#\n"); }},
    {"SchemaBlankLines", "schema", &kSchemaHead, [](std::size_t) { return std::string("\n"); }},
    {"SchemaTinyDefinitions", "schema", &kSchemaHead,
     [](std::size_t n) {
         const std::string i = std::to_string(n + 1);
         return "attributetype ( 1.1." + i + " NAME 'a" + i + "' )\n";
     }},
    {"SchemaBrokenDirectives", "schema", &kSchemaHead,
     [](std::size_t) { return std::string("objectclass x\n"); }},
    {"LdifComments", "ldif", &kLdifHead, [](std::size_t) { return std::string("#\n"); }},
    {"LdifOtherAttributes", "ldif", &kLdifHead, [](std::size_t) { return std::string("o: x\n"); }},
    {"LdifFoldedValues", "ldif", &kLdifHead,
     [](std::size_t n) {
         // A tiny definition folded every few bytes.
         const std::string i = std::to_string(n / 4 + 1);
         switch (n % 4) {
             case 0:
                 return "attributeTypes: ( 1.1." + i + "\n";
             case 1:
                 return std::string("  NAME\n");
             case 2:
                 return "  'a" + i + "'\n";
         }
         return std::string("  )\n");
     }},
    {"LdifTinyDefinitions", "ldif", &kLdifHead,
     [](std::size_t n) {
         const std::string i = std::to_string(n + 1);
         return "attributeTypes: ( 1.1." + i + " NAME 'a" + i + "' )\n";
     }},
};

void Register() {
    for (const Case& c : kCases) {
        for (const bool load : {false, true}) {
            const std::string name = std::string(c.name) + (load ? "/load" : "/read");
            benchmark::RegisterBenchmark(name.c_str(),
                                         [c, load](benchmark::State& state) {
                                             const std::string path =
                                                 WriteFile(std::string(c.name) + "." + c.suffix,
                                                           *c.head, c.line);
                                             Measure(state, path, load);
                                             std::remove(path.c_str());
                                         })
                ->Iterations(1)
                ->Unit(benchmark::kSecond);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Register();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
