// kalvix-cli survey of many LDIF trees against one baseline, against the same work done
// one compare at a time. Each tree is an LDIF dump of a subschema entry with 12,000
// definitions (10,000 attribute types, 2,000 classes) as slapd hands it out; each drifts a
// little from the baseline in its own way, and one in four not at all.
//
//   bench_survey [--trees 200] [--reps 3] [--dir DIR] [--jobs 2,8] [--page 1000] [--big 0]
//
// Figures, each program run in a process of its own:
//   compare: wall time and peak memory (ru_maxrss) of `compare -q BASE Tn`, the median of
//            --reps runs over different trees;
//   survey:  wall time and peak memory of `survey -q BASE --all-trees --jobs N`, once per N.
//   page:    wall time and peak memory of `survey --format html` over --page small trees
//            that each drift in their own way (as many matrix rows as trees);
//   big:     peak memory of `survey --jobs 1` and `--jobs 16` over --big trees near the
//            64 MiB a server's answer may take.
// Targets: survey wall time within 1.2x of (trees x one compare) / cores, and peak memory
// at most 3x that of one compare; the page linear in the trees (1,000 within a few seconds
// and 100 MiB); big trees with --jobs 16 at most 2x the peak of --jobs 1.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "GeneratedLdif.h"
#include "SpawnRun.h"

namespace {

constexpr int kAttributes = 10000;
constexpr int kClasses = 2000;

// The baseline for variant 0; variant v > 0 drifts unless v is a multiple of 4: a
// description and a matching rule changed, an attribute type and a class dropped, one of
// each added; which ones depends on v.
std::string TreeLdif(int variant) {
    const bool drifts = variant % 4 != 0;
    const int changed = (variant * 37) % kAttributes;
    const int dropped = (variant * 53 + 11) % kAttributes;
    const int droppedClass = (variant * 17 + 3) % kClasses;
    std::string text = "dn: cn=Subschema\nobjectClass: top\nobjectClass: subentry\n";
    text += "objectClasses: ( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass )\n";
    text +=
        "attributeTypes: ( 2.5.4.0 NAME 'objectClass' EQUALITY objectIdentifierMatch SYNTAX "
        "1.3.6.1.4.1.1466.115.121.1.38 )\n";
    for (int i = 0; i < kAttributes - 1; ++i) {
        if (drifts && i == dropped) continue;
        const auto& rule = bench::kLdifRules[(i + (drifts && i == changed ? 1 : 0)) % 6];
        text += bench::LdifAttributeLine(i, drifts && i == changed + 1 ? "changed" : "generated",
                                         rule[0], rule[1]);
    }
    if (drifts)
        text += "attributeTypes: ( 1.3.6.1.4.1.99999.3." + std::to_string(variant) +
                " NAME 'siteAttr" + std::to_string(variant) +
                "' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )\n";
    for (int i = 0; i < kClasses - 1; ++i)
        if (!drifts || i != droppedClass) text += bench::LdifClassLine(i, "generated");
    if (drifts)
        text += "objectClasses: ( 1.3.6.1.4.1.99999.4." + std::to_string(variant) +
                " NAME 'siteClass" + std::to_string(variant) + "' SUP top AUXILIARY MAY siteAttr" +
                std::to_string(variant) + " )\n";
    return text;
}

std::string TreeName(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "T%03d", i);
    return name;
}

void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

// The trees and a client configuration naming them (BASE first); written once per count.
std::string Prepare(const std::filesystem::path& dir, int trees) {
    std::filesystem::create_directories(dir);
    const std::filesystem::path config = dir / ("client-" + std::to_string(trees) + ".json");
    std::string json = "{\"connections\": [\n";
    for (int i = 0; i <= trees; ++i) {
        const std::string name = i == 0 ? "BASE" : TreeName(i);
        const std::filesystem::path file = dir / (name + ".ldif");
        if (!std::filesystem::exists(file)) WriteFile(file, TreeLdif(i));
        json += std::string(i ? ",\n" : "") + "  {\"kind\": \"ldif\", \"treeName\": \"" + name +
                "\", \"file\": \"" + file.string() + "\"}";
    }
    WriteFile(config, json + "\n]}\n");
    return config.string();
}

// A small tree for the page: 40 attribute types, two of its own and one of the baseline's
// changed, so each tree adds rows of its own.
std::string SmallLdif(int variant) {
    std::string text = "dn: cn=Subschema\nobjectClass: top\nobjectClass: subentry\n";
    for (int i = 0; i < 40; ++i)
        text += bench::LdifAttributeLine(i, variant && i == variant % 40 ? "changed" : "generated",
                                         bench::kLdifRules[i % 6][0], bench::kLdifRules[i % 6][1]);
    for (int own = 0; variant && own < 2; ++own)
        text += "attributeTypes: ( 1.3.6.1.4.1.99999.5." + std::to_string(variant * 2 + own) +
                " NAME 'own" + std::to_string(variant) + "x" + std::to_string(own) +
                "' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )\n";
    return text;
}

// A tree near the answer bound: the big tree's definitions with long descriptions.
std::string BigLdif(int variant) {
    std::string text = "dn: cn=Subschema\nobjectClass: top\nobjectClass: subentry\n";
    const std::string filler(5000, 'x');
    for (int i = 0; text.size() < (std::size_t{60} << 20); ++i)
        text += bench::LdifAttributeLine(i, (i == variant ? "changed " : "") + filler,
                                         bench::kLdifRules[i % 6][0], bench::kLdifRules[i % 6][1]);
    return text;
}

// count trees made by make, BASE the variant 0, and a configuration naming them.
template <class Make>
std::string PrepareSet(const std::filesystem::path& dir, const std::string& set, int count,
                       Make make) {
    std::filesystem::create_directories(dir);
    std::string json = "{\"connections\": [\n";
    for (int i = 0; i <= count; ++i) {
        const std::string name = i == 0 ? "BASE" : TreeName(i);
        const std::filesystem::path file = dir / (set + "-" + name + ".ldif");
        if (!std::filesystem::exists(file)) WriteFile(file, make(i));
        json += std::string(i ? ",\n" : "") + "  {\"kind\": \"ldif\", \"treeName\": \"" + name +
                "\", \"file\": \"" + file.string() + "\"}";
    }
    const std::filesystem::path config = dir / (set + "-" + std::to_string(count) + ".json");
    WriteFile(config, json + "\n]}\n");
    return config.string();
}

// One kalvix-cli run with that client configuration.
Run RunCli(const std::vector<std::string>& args, const std::string& config) {
    std::vector<std::string> argv = {KALVIX_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    setenv("KALVIX_CLIENT", config.c_str(), 1);
    return Spawn(std::move(argv));
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::string Arg(int argc, char** argv, const std::string& name, const std::string& fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (argv[i] == "--" + name) return argv[i + 1];
    return fallback;
}

double LoadAverage() {
    double load = 0;
    std::ifstream in("/proc/loadavg");
    in >> load;
    return load;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const int trees = std::stoi(Arg(argc, argv, "trees", "200"));
        const int reps = std::stoi(Arg(argc, argv, "reps", "3"));
        const std::filesystem::path dir = Arg(argc, argv, "dir", "bench-data/survey");
        std::vector<unsigned> jobs;
        std::stringstream list(Arg(argc, argv, "jobs", "2,8"));
        for (std::string j; std::getline(list, j, ',');) jobs.push_back(std::stoul(j));
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());

        std::printf("Writing %d LDIF trees and a baseline of %d definitions each in %s ...\n",
                    trees, kAttributes + kClasses, dir.c_str());
        std::fflush(stdout);
        const std::string config = Prepare(dir, trees);

        std::vector<double> walls;
        std::vector<double> cpus;
        std::vector<double> peaks;
        for (int r = 0; r < reps; ++r) {
            const Run one =
                RunCli({"compare", "-q", "tree:BASE", "tree:" + TreeName(1 + r)}, config);
            if (one.status > 1) throw std::runtime_error("compare failed");
            walls.push_back(one.wall);
            cpus.push_back(one.cpu);
            peaks.push_back(one.peakMiB);
        }
        const double compare = Median(walls);
        const double compareCpu = Median(cpus);
        const double comparePeak = *std::max_element(peaks.begin(), peaks.end());
        const double ideal = trees * compare / cores;
        std::printf(
            "one compare: %.3f s (median of %d), CPU %.3f s, peak %.1f MiB; cores %u, load %.2f\n",
            compare, reps, compareCpu, comparePeak, cores, LoadAverage());
        std::printf("(%d x one compare) / cores = %.1f s\n", trees, ideal);
        for (const unsigned n : jobs) {
            const Run survey = RunCli(
                {"survey", "-q", "--jobs", std::to_string(n), "tree:BASE", "--all-trees"}, config);
            if (survey.status > 1) throw std::runtime_error("survey failed");
            // CPU time tells the work apart from a machine shared with other work.
            std::printf(
                "survey --jobs %u: %.1f s = %.2fx the ideal (target 1.2x); CPU %.1f s = %.2fx "
                "%d compares; peak %.1f MiB = %.2fx one compare (target 3x); load %.2f\n",
                n, survey.wall, survey.wall / ideal, survey.cpu, survey.cpu / (trees * compareCpu),
                trees, survey.peakMiB, survey.peakMiB / comparePeak, LoadAverage());
            std::fflush(stdout);
        }
        const int page = std::stoi(Arg(argc, argv, "page", "1000"));
        if (page > 0) {
            const std::string pageConfig = PrepareSet(dir, "small", page, SmallLdif);
            const Run html = RunCli(
                {"survey", "-q", "--format", "html", "tree:BASE", "--all-trees"}, pageConfig);
            if (html.status > 1) throw std::runtime_error("survey --format html failed");
            std::printf("page of %d trees: %.1f s, peak %.1f MiB\n", page, html.wall, html.peakMiB);
        }
        const int big = std::stoi(Arg(argc, argv, "big", "0"));
        if (big > 0) {
            const std::string bigConfig = PrepareSet(dir, "big", big, BigLdif);
            double one = 0;
            for (const char* n : {"1", "16"}) {
                const Run r =
                    RunCli({"survey", "-q", "--jobs", n, "tree:BASE", "--all-trees"}, bigConfig);
                if (r.status > 1) throw std::runtime_error("survey of big trees failed");
                if (one == 0) one = r.peakMiB;
                std::printf(
                    "%d big trees, --jobs %s: %.1f s, peak %.1f MiB = %.2fx --jobs 1 "
                    "(target 2x)\n",
                    big, n, r.wall, r.peakMiB, r.peakMiB / one);
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_survey: %s\n", e.what());
        return 1;
    }
    return 0;
}
