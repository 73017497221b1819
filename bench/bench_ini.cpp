// The INI layer against inih and a plain read, on one generated 8 MB file of 30,000
// sections and 250,000 keys (one of them a 50,000-entry list section), and on a file of
// 1,000,000 sections of one name. After the runs it prints the ratios that matter:
//   our parse <= 1.2 x inih, <= 6 x a plain read; 250,000 writes + one flush <= 2 x a parse;
//   the repeated sections' parse per byte against the first file's.
// The file goes to $KALVIX_BENCH_DIR, else the temporary folder (the flush syncs to disk,
// so the file system counts).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <ini.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/ini/D_Ini.h"
#include "core/ini/IniFile.h"

namespace {

constexpr int kSections = 30000;
constexpr int kKeys = 250000;
constexpr int kListEntries = 50000;
constexpr std::size_t kTargetBytes = 8u << 20;
const std::string kListSection = "Attributes";

struct Entry {
    int section;
    std::string key;
    std::string value;
};

struct Corpus {
    std::vector<std::string> sections;
    std::vector<Entry> entries;  // in file order
    std::vector<std::string> altValues;
    std::string path;
    std::string scratch;  // a copy the write benchmarks may change
    std::filesystem::path folder;
    ~Corpus() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

// Schema-file-like content: a big list section, then definition sections with named
// keys and item sections with numbered keys; values padded so the file is 8 MB.
std::unique_ptr<Corpus> Generate() {
    auto c = std::make_unique<Corpus>();
    c->sections.push_back(kListSection);
    for (int i = 0; i < kListEntries; ++i) c->entries.push_back({0, std::to_string(i), ""});
    const int rest = kKeys - kListEntries;
    for (int s = 1; s < kSections; ++s) {
        const bool named = s % 3 == 0;
        char name[64];
        std::snprintf(name, sizeof name,
                      named ? "Definitions %05d" : "Class %05d: Mandatory Attribute", s);
        c->sections.push_back(name);
        const int first =
            static_cast<int>((static_cast<long long>(s - 1) * rest) / (kSections - 1));
        const int last = static_cast<int>((static_cast<long long>(s) * rest) / (kSections - 1));
        for (int k = 0; k < last - first; ++k)
            c->entries.push_back(
                {s, named ? "Attribute Name " + std::to_string(first + k) : std::to_string(k), ""});
    }
    std::size_t fixed = 0;
    for (const std::string& s : c->sections) fixed += s.size() + 4;
    for (const Entry& e : c->entries) fixed += e.key.size() + 3;
    const std::size_t perValue = (kTargetBytes - fixed) / c->entries.size();
    for (std::size_t i = 0; i < c->entries.size(); ++i) {
        std::string v = "CI_STRING [Sized (1-" + std::to_string(i % 1000) + ")] ";
        while (v.size() < perValue) v += static_cast<char>('a' + (v.size() + i) % 26);
        v.resize(perValue);
        c->entries[i].value = v;
        v.back() = v.back() == 'X' ? 'Y' : 'X';
        c->altValues.push_back(std::move(v));
    }

    const char* dir = std::getenv("KALVIX_BENCH_DIR");
    std::string pattern =
        (dir && *dir ? std::string(dir) : std::filesystem::temp_directory_path().string()) +
        "/kalvix-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("kalvix-bench: temporary folder");
        std::exit(1);
    }
    c->folder = pattern;
    c->path = pattern + "/schema.ini";
    c->scratch = pattern + "/scratch.ini";
    std::string text;
    text.reserve(kTargetBytes + (1 << 20));
    int current = -1;
    for (const Entry& e : c->entries) {
        if (e.section != current) {
            current = e.section;
            text += "[" + c->sections[static_cast<std::size_t>(current)] + "]\r\n";
        }
        text += e.key + "=" + e.value + "\r\n";
    }
    std::ofstream(c->path, std::ios::binary)
        .write(text.data(), static_cast<std::streamsize>(text.size()));
    std::fprintf(stderr, "kalvix-bench: %s: %zu bytes, %zu sections, %zu keys\n", c->path.c_str(),
                 text.size(), c->sections.size(), c->entries.size());
    return c;
}

Corpus& Data() {
    static std::unique_ptr<Corpus> corpus = Generate();
    return *corpus;
}

void PlainRead(benchmark::State& state) {
    const Corpus& c = Data();
    for (auto _ : state) {
        const int fd = ::open(c.path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st;
        ::fstat(fd, &st);
        std::vector<char> bytes(static_cast<std::size_t>(st.st_size));
        std::size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t r = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (r <= 0) break;
            got += static_cast<std::size_t>(r);
        }
        ::close(fd);
        benchmark::DoNotOptimize(bytes.data());
    }
}

int CountEntry(void* user, const char*, const char*, const char*) {
    ++*static_cast<long*>(user);
    return 1;
}

void ParseInih(benchmark::State& state) {
    const Corpus& c = Data();
    for (auto _ : state) {
        long count = 0;
        if (ini_parse(c.path.c_str(), CountEntry, &count) != 0 || count != kKeys)
            state.SkipWithError("inih did not read the file");
        benchmark::DoNotOptimize(count);
    }
}

// inih keeping what it reads, so values can be looked up afterwards as ours can.
int StoreEntry(void* user, const char* section, const char* name, const char* value) {
    auto& map = *static_cast<std::unordered_map<std::string, std::string>*>(user);
    map.emplace(std::string(section) + '\n' + name, value);
    return 1;
}

void ParseInihIntoMap(benchmark::State& state) {
    const Corpus& c = Data();
    for (auto _ : state) {
        std::unordered_map<std::string, std::string> map;
        ini_parse(c.path.c_str(), StoreEntry, &map);
        if (map.size() != kKeys) state.SkipWithError("inih did not read the file");
    }
}

void ParseOurs(benchmark::State& state) {
    const Corpus& c = Data();
    for (auto _ : state) {
        IniFile ini(c.path);
        if (!ini.SectionExists(kListSection)) state.SkipWithError("layer did not read the file");
    }
}

// 250,000 values changed in place, one call each, and one flush; the parse before is
// not timed.
void WritesAndFlush(benchmark::State& state) {
    const Corpus& c = Data();
    std::filesystem::copy_file(c.path, c.scratch,
                               std::filesystem::copy_options::overwrite_existing);
    bool alt = true;
    for (auto _ : state) {
        state.PauseTiming();
        auto ini = std::make_unique<IniFile>(c.scratch);
        ini->SectionExists(kListSection);
        state.ResumeTiming();
        for (std::size_t i = 0; i < c.entries.size(); ++i) {
            const Entry& e = c.entries[i];
            ini->WriteString(c.sections[static_cast<std::size_t>(e.section)], e.key,
                             alt ? c.altValues[i] : e.value);
        }
        ini->UpdateFile();
        state.PauseTiming();
        ini.reset();
        alt = !alt;
        state.ResumeTiming();
    }
}

// A schema save: an existing file emptied, then every list written through the list
// operations (each write preceded by a read), then one flush.
void SchemaSave(benchmark::State& state) {
    const Corpus& c = Data();
    std::vector<std::vector<std::string>> lists(c.sections.size());
    for (const Entry& e : c.entries) lists[static_cast<std::size_t>(e.section)].push_back(e.value);
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::copy_file(c.path, c.scratch,
                                   std::filesystem::copy_options::overwrite_existing);
        auto ini = std::make_unique<IniFile>(c.scratch);
        ini->SectionExists(kListSection);
        state.ResumeTiming();
        for (const std::string& s : ini->ReadSections()) ini->EraseSection(s);
        for (std::size_t s = 0; s < lists.size(); ++s)
            WriteListSection(*ini, c.sections[s], lists[s]);
        ini->UpdateFile();
        state.PauseTiming();
        ini.reset();
        state.ResumeTiming();
    }
}

// A file of 1,000,000 sections of one name (about 70 MB): each parse must cost what the
// bytes cost, not what the repeats do; the first section of the name is the one read.
constexpr int kRepeatedSections = 1000000;

struct RepeatedCorpus {
    std::filesystem::path folder;
    std::string path;
    std::size_t bytes = 0;
    ~RepeatedCorpus() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

const RepeatedCorpus& RepeatedData() {
    static const std::unique_ptr<RepeatedCorpus> corpus = [] {
        auto c = std::make_unique<RepeatedCorpus>();
        c->folder = Data().folder / "repeated";
        std::filesystem::create_directory(c->folder);
        c->path = (c->folder / "repeated.ini").string();
        std::string text;
        text.reserve(static_cast<std::size_t>(kRepeatedSections) * 72);
        for (int i = 0; i < kRepeatedSections; ++i) {
            text += "[Class Definition]\r\n";
            text += "Organizational Unit " + std::to_string(i) + "=Effective\\Container\r\n";
        }
        std::ofstream(c->path, std::ios::binary)
            .write(text.data(), static_cast<std::streamsize>(text.size()));
        c->bytes = text.size();
        std::fprintf(stderr, "kalvix-bench: %s: %zu bytes, %d sections of one name\n",
                     c->path.c_str(), text.size(), kRepeatedSections);
        return c;
    }();
    return *corpus;
}

void ParseRepeatedSections(benchmark::State& state) {
    const RepeatedCorpus& c = RepeatedData();
    for (auto _ : state) {
        IniFile ini(c.path);
        if (ini.ReadString("Class Definition", "Organizational Unit 0", "") !=
            "Effective\\Container")
            state.SkipWithError("layer did not read the first section");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.bytes));
}

void ReadBigListSection(benchmark::State& state) {
    const Corpus& c = Data();
    for (auto _ : state) {
        state.PauseTiming();
        auto ini = std::make_unique<IniFile>(c.path);
        ini->SectionExists(kListSection);
        state.ResumeTiming();
        std::vector<std::string> list;
        ReadListSection(*ini, kListSection, list);
        if (list.size() != kListEntries) state.SkipWithError("list came back short");
        state.PauseTiming();
        ini.reset();
        state.ResumeTiming();
    }
}

BENCHMARK(PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ParseInih)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ParseInihIntoMap)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ParseOurs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(WritesAndFlush)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SchemaSave)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ReadBigListSection)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ParseRepeatedSections)->Unit(benchmark::kMillisecond)->UseRealTime();

// Keeps each benchmark's time per iteration for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (!r.error_occurred && r.run_type == Run::RT_Iteration && r.iterations > 0)
                seconds[r.run_name.function_name] =
                    r.real_accumulated_time / static_cast<double>(r.iterations);
    }
    std::map<std::string, double> seconds;
};

void PrintRatio(const RatioReporter& r, const char* what, const char* a, const char* b,
                double limit) {
    const auto ia = r.seconds.find(a), ib = r.seconds.find(b);
    if (ia == r.seconds.end() || ib == r.seconds.end()) return;
    const double ratio = ia->second / ib->second;
    std::printf("  %-40s %6.2f  (target <= %.1f: %s)\n", what, ratio, limit,
                ratio <= limit ? "met" : "NOT met");
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Data();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nRatios:\n");
    PrintRatio(reporter, "parse / inih parse", "ParseOurs", "ParseInih", 1.2);
    PrintRatio(reporter, "parse / plain read", "ParseOurs", "PlainRead", 6.0);
    PrintRatio(reporter, "250,000 writes + flush / parse", "WritesAndFlush", "ParseOurs", 2.0);
    PrintRatio(reporter, "schema save (250,000 values) / parse", "SchemaSave", "ParseOurs", 2.0);
    std::printf("  %-40s %6.2f  (for reference)\n", "parse / inih parse into a map",
                reporter.seconds.count("ParseInihIntoMap")
                    ? reporter.seconds["ParseOurs"] / reporter.seconds["ParseInihIntoMap"]
                    : 0.0);
    if (const auto it = reporter.seconds.find("ParseRepeatedSections");
        it != reporter.seconds.end()) {
        std::printf("  %-40s %6.0f ms\n", "parse of 1,000,000 sections of one name",
                    it->second * 1000);
        // Per byte against the schema-like file: a linear parse keeps this near 1.
        if (reporter.seconds.count("ParseOurs")) {
            const double repeated = it->second / static_cast<double>(RepeatedData().bytes);
            const double schema = reporter.seconds["ParseOurs"] /
                                  static_cast<double>(std::filesystem::file_size(Data().path));
            std::printf("  %-40s %6.2f  (for reference)\n", "repeated sections / parse, per byte",
                        repeated / schema);
        }
    }
    benchmark::Shutdown();
    return 0;
}
