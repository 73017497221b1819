// The full class and attribute comparisons of two trees of 10,000 classes and 50,000
// attributes: from schema files, through the simulated client, and what the window's
// per-name progress text and event processing add. Each scenario runs in a fresh process
// of its own, a few times; the figures are medians.
//
//   bench_compare [--reps 3] [--scales 1] [--classes 10000] [--attributes 50000]
//                 [--diff 0.05] [--seed 1] [--locale en_US] [--dir DIR] [--only a,b]
//
// Targets: from files, each comparison <= 3 times one parse of both files; through the
// simulated client <= 2 s; progress text and event processing < a fifth of the run.
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <exception>
#include <functional>
#include <memory>
#include <set>

#include "BenchSupport.h"
#include "SchemaGenerator.h"
#include "core/compare/Compare.h"
#include "core/ini/IniFile.h"
#ifdef KALVIX_BENCH_GUI
#include "BenchWindow.h"
#include "gui/TMainForm.h"
#endif

using bench::Clock;
using bench::Report;
using bench::Since;

namespace {

std::string Path(const std::string& folder, const char* name) { return folder + "/" + name; }

std::unique_ptr<DirClient> NoClient() { return std::make_unique<SimulatedClient>(SimDirectory{}); }

// Counts the result lines and folds them into a check value, so runs over files and over
// the client can be seen to agree.
struct LineTally {
    std::size_t lines = 0;
    std::uint32_t hash = 2166136261u;
    void add(const std::string& line) {
        ++lines;
        for (const char c : line) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
        hash = (hash ^ 0x0A) * 16777619u;
    }
};

using Run = bool (*)(Workspace&, UiHooks&, const LineFn&, const FindingFn&);
const std::pair<const char*, Run> kRuns[] = {{"classes", CompareAllClasses},
                                             {"attrs", CompareAllAttributes}};

// ---- Scenarios, each in its own process

// The lower bound: both files parsed once (the first read parses the whole file).
void ScenarioParse(const std::string& folder) {
    std::vector<double> walls, cpus;
    for (int i = 0; i < 5; ++i) {
        const bench::Stopwatch watch;
        IniFile file1(Path(folder, "tree1.txt"));
        IniFile file2(Path(folder, "tree2.txt"));
        file1.ReadString("Settings", "Tree Name", "");
        file2.ReadString("Settings", "Tree Name", "");
        walls.push_back(watch.wall());
        cpus.push_back(watch.cpu());
    }
    bench::ReportTime("parse", bench::Median(walls), bench::Median(cpus));
    Report("peak_mib", bench::PeakRssMiB());
}

void RunQuiet(Workspace& ws, const std::string& what, Run run, int reps) {
    SilentUi ui;
    std::vector<double> walls, cpus;
    LineTally tally;
    for (int i = 0; i < reps; ++i) {
        tally = {};
        const bench::Stopwatch watch;
        run(ws, ui, {}, FindingLinesTo([&](const std::string& line) { tally.add(line); }));
        walls.push_back(watch.wall());
        cpus.push_back(watch.cpu());
    }
    bench::ReportTime(what, bench::Median(walls), bench::Median(cpus));
    Report(what + "_lines", static_cast<double>(tally.lines));
    Report(what + "_check", tally.hash);
}

// Both trees from their schema files, no progress and no event processing.
void ScenarioFiles(const std::string& folder) {
    Workspace ws(NoClient());
    const bench::Stopwatch watch;
    LoadSlotFromFile(ws, 1, Path(folder, "tree1.txt"));
    LoadSlotFromFile(ws, 2, Path(folder, "tree2.txt"));
    bench::ReportTime("files_load", watch);
    for (const auto& [name, run] : kRuns) RunQuiet(ws, std::string(name) + "_files", run, 3);
    Report("peak_mib", bench::PeakRssMiB());
}

// Both trees read through the simulated client.
void ScenarioOnline(const bench::Options& o, int scale) {
    const SchemaPair pair = GenerateSchemaPair(bench::ScaledOptions(o, scale));
    Workspace ws(std::make_unique<SimulatedClient>(MakeBenchDirectory(pair)));
    SilentUi ui;
    if (LoadSlotOnline(ws, ui, 1, kBenchTree1) != 0 || LoadSlotOnline(ws, ui, 2, kBenchTree2) != 0)
        throw std::runtime_error("online load failed");
    for (const auto& [name, run] : kRuns) RunQuiet(ws, std::string(name) + "_online", run, 1);
    Report("peak_mib", bench::PeakRssMiB());
}

#ifdef KALVIX_BENCH_GUI
// Lets events run at most every interval, however often it is asked.
class ThrottledUi : public UiHooks {
  public:
    explicit ThrottledUi(double interval) : interval_(interval) {}
    void showMsgDlg(DlgType, const std::string&) override {}
    bool due() const { return watch_.wall() >= next_; }
    void processEvents() override {
        if (!due()) return;
        QCoreApplication::processEvents();
        next_ = watch_.wall() + interval_;
        ++rounds;
    }
    int rounds = 0;

  private:
    bench::Stopwatch watch_;
    double interval_;
    double next_ = 0;
};

// Adds up the time spent in another hook's event processing.
class TimedUi : public UiHooks {
  public:
    explicit TimedUi(UiHooks& inner, double& spent) : inner_(inner), spent_(spent) {}
    void showMsgDlg(DlgType type, const std::string& msg) override { inner_.showMsgDlg(type, msg); }
    void processEvents() override {
        const auto start = Clock::now();
        inner_.processEvents();
        spent_ += Since(start);
    }

  private:
    UiHooks& inner_;
    double& spent_;
};

// One variant of the run, each in a process of its own: quiet; with the window's progress
// (a status text per name, pending events run per name and per compared name); or with both
// at most every 20 ms. Into a shown window, the results into a list box each time. The
// time spent in the progress calls and the event processing is added up as it happens,
// so its share of the run does not depend on comparing runs on a busy machine.
void ScenarioProgress(const bench::Options& o, int scale, const std::string& folder, bool online) {
    const std::string variant = o.text("variant", "quiet");
    std::unique_ptr<Workspace> ws;
    SchemaPair pair;
    if (online) {
        pair = GenerateSchemaPair(bench::ScaledOptions(o, scale));
        ws = std::make_unique<Workspace>(
            std::make_unique<SimulatedClient>(MakeBenchDirectory(pair)));
        SilentUi ui;
        if (LoadSlotOnline(*ws, ui, 1, kBenchTree1) != 0 ||
            LoadSlotOnline(*ws, ui, 2, kBenchTree2) != 0)
            throw std::runtime_error("online load failed");
    } else {
        ws = std::make_unique<Workspace>(NoClient());
        LoadSlotFromFile(*ws, 1, Path(folder, "tree1.txt"));
        LoadSlotFromFile(*ws, 2, Path(folder, "tree2.txt"));
    }
    bench::StatusWindow window;
    ListBox* results = window.addListBox("ListBoxCompareResults", false);
    window.show();
    const std::string mode = online ? "_online" : "_files";
    const int reps = online || variant == "progress" ? 1 : 3;
    const FindingFn sink = [&](const Finding& f) { results->addFinding(f); };
    for (const auto& [name, run] : kRuns) {
        std::vector<double> walls, cpus, shares;
        double rounds = 0;
        for (int i = 0; i < reps; ++i) {
            SilentUi silent;
            bench::EventUi events;
            ThrottledUi throttled(0.02);
            UiHooks& inner = variant == "quiet"       ? static_cast<UiHooks&>(silent)
                             : variant == "throttled" ? static_cast<UiHooks&>(throttled)
                                                      : static_cast<UiHooks&>(events);
            double spent = 0;
            TimedUi ui(inner, spent);
            LineFn progress;
            if (variant == "progress") {
                progress = [&](const std::string& n) {
                    const auto start = Clock::now();
                    window.status(n);
                    spent += Since(start);
                };
            } else if (variant == "throttled") {
                // Nothing is painted between two rounds of events: the text is set when one
                // is due.
                progress = [&](const std::string& n) {
                    const auto start = Clock::now();
                    if (throttled.due()) window.setStatusText(n);
                    throttled.processEvents();
                    spent += Since(start);
                };
            }
            results->clear();
            const bench::Stopwatch watch;
            run(*ws, variant == "quiet" ? static_cast<UiHooks&>(silent) : ui, progress, sink);
            walls.push_back(watch.wall());
            cpus.push_back(watch.cpu());
            shares.push_back(spent / walls.back());
            rounds += throttled.rounds;
        }
        const std::string base = std::string(name) + mode + "_" + variant;
        bench::ReportTime(base, bench::Median(walls), bench::Median(cpus));
        if (variant != "quiet") Report(base + "_share", bench::Median(shares));
        if (variant == "throttled") Report(base + "_rounds", rounds / reps);
    }
    Report("peak_mib", bench::PeakRssMiB());
}

// The window's own "Start ..." buttons, on both trees loaded from files and then online.
void ScenarioWindow(const bench::Options& o, int scale, const std::string& folder) {
    const SchemaPair pair = GenerateSchemaPair(bench::ScaledOptions(o, scale));
    std::deque<QString> answers;
    TMainForm form(std::make_unique<SimulatedClient>(MakeBenchDirectory(pair)),
                   std::make_unique<bench::QueuedDialogs>(answers));
    form.show();
    QCoreApplication::processEvents();
    answers.push_back(QString::fromStdString(Path(folder, "tree1.txt")));
    form.BitBtnLoadTreeOfflineClick(form.BitBtnLoadTreeOffline1);
    answers.push_back(QString::fromStdString(Path(folder, "tree2.txt")));
    form.BitBtnLoadTreeOfflineClick(form.BitBtnLoadTreeOffline2);

    auto both = [&](const std::string& mode) {
        bench::Stopwatch watch;
        form.BitBtnCompareClassesClick(form.BitBtnCompareClasses);
        QCoreApplication::processEvents();
        bench::ReportTime("window_classes_" + mode, watch);
        Report("window_classes_" + mode + "_lines", form.ListBoxCompareClassesResults->count());
        watch = {};
        form.BitBtnCompareAttrClick(form.BitBtnCompareAttr);
        QCoreApplication::processEvents();
        bench::ReportTime("window_attrs_" + mode, watch);
        Report("window_attrs_" + mode + "_lines", form.ListBoxCompareAttrResults->count());
    };
    both("files");

    form.ComboBoxTree1->setCurrentIndex(0);
    form.ChangeTreeOnline(form.ComboBoxTree1);
    form.ComboBoxTree2->setCurrentIndex(1);
    form.ChangeTreeOnline(form.ComboBoxTree2);
    both("online");
    Report("peak_mib", bench::PeakRssMiB());
}
#endif

int RunScenario(const bench::Options& o, int argc, char** argv) {
    const std::string scenario = o.text("child");
    const int scale = static_cast<int>(o.number("scale", 1));
    const std::string folder = o.text("folder");
    std::unique_ptr<QCoreApplication> app;
#ifdef KALVIX_BENCH_GUI
    if (scenario.rfind("progress", 0) == 0 || scenario == "window")
        app = std::make_unique<QApplication>(argc, argv);
#endif
    if (!app) app = std::make_unique<QCoreApplication>(argc, argv);
    bench::UseLocale(o.text("locale", "en_US"));
    if (scenario == "prepare") {
        EnsureSchemaFiles(bench::ScaledOptions(o, scale), o.text("dir"));
    } else if (scenario == "parse") {
        ScenarioParse(folder);
    } else if (scenario == "files") {
        ScenarioFiles(folder);
    } else if (scenario == "online") {
        ScenarioOnline(o, scale);
#ifdef KALVIX_BENCH_GUI
    } else if (scenario == "progress-files") {
        ScenarioProgress(o, scale, folder, false);
    } else if (scenario == "progress-online") {
        ScenarioProgress(o, scale, folder, true);
    } else if (scenario == "window") {
        ScenarioWindow(o, scale, folder);
#endif
    } else {
        throw std::invalid_argument("no scenario " + scenario);
    }
    return 0;
}

// ---- The driver

const char* const kScenarios[] = {"parse",          "files",           "online",
                                  "progress-files", "progress-online", "window"};

int Drive(const bench::Options& o, const QString& program) {
    const int reps = static_cast<int>(o.number("reps", 3));
    std::vector<int> scales;
    for (const QString& s : QString::fromStdString(o.text("scales", "1")).split(','))
        scales.push_back(s.toInt());
    std::set<std::string> only;
    for (const QString& s : QString::fromStdString(o.text("only")).split(',', Qt::SkipEmptyParts))
        only.insert(s.toStdString());
    const std::string dir =
        o.text("dir", (QCoreApplication::applicationDirPath() + "/bench-data").toStdString());
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());

    for (int scale : scales) {
        const SchemaGenOptions gen = bench::ScaledOptions(o, scale);
        std::printf("== %zu classes, %zu attributes (diff %g, seed %llu, locale %s), load %.1f\n",
                    gen.classes, gen.attributes, gen.diff,
                    static_cast<unsigned long long>(gen.seed), o.text("locale", "en_US").c_str(),
                    bench::LoadAverage());
        std::fflush(stdout);
        // Written by a child of its own: a child's peak memory starts from what its parent
        // had when it was forked, so the driver stays small.
        bench::RunChild(program, QStringList(o.all()) << "--child"
                                                      << "prepare"
                                                      << "--scale" << QString::number(scale)
                                                      << "--dir" << QString::fromStdString(dir));
        const std::string folder = SchemaFilesFolder(gen, dir);
        bench::Figures r;
        std::map<std::string, double> peaks;
        for (const char* scenario : kScenarios) {
#ifndef KALVIX_BENCH_GUI
            if (std::string(scenario).rfind("progress", 0) == 0 ||
                std::string(scenario) == "window")
                continue;
#endif
            if (!only.empty() && !only.count(scenario)) continue;
            QStringList args = o.all();
            args << "--child" << scenario << "--scale" << QString::number(scale) << "--folder"
                 << QString::fromStdString(folder);
            // The slow online runs once; the rest as often as asked.
            const bool heavy = std::string(scenario).find("online") != std::string::npos ||
                               std::string(scenario) == "window";
            const bool variants = std::string(scenario).rfind("progress", 0) == 0;
            for (const char* variant : {"quiet", "throttled", "progress"}) {
                QStringList withVariant = args;
                if (variants) withVariant << "--variant" << variant;
                const bench::Figures f = bench::RunRepeated(program, withVariant, heavy ? 1 : reps);
                for (const auto& [name, value] : f) r[name] = value;
                if (f.count("peak_mib_max"))
                    peaks[scenario] = std::max(peaks[scenario], f.at("peak_mib_max"));
                if (!variants) break;
            }
        }

        using bench::Get;
        using bench::TimeText;
        auto best = [&](const std::string& figure) { return Get(r, figure + "_min"); };
        const double parse = best("parse_s");
        std::printf(
            "median of the runs, the best run, the median's CPU time; targets judged on the "
            "best run\n  %-44s %s\n",
            "", bench::kTimeHeader);
        if (r.count("parse_s"))
            std::printf("  %-44s %s\n", "parse of both files (the lower bound)",
                        TimeText(r, "parse_s").c_str());
        for (const char* what : {"classes", "attrs"}) {
            const std::string k = std::string(what) + "_files_s";
            if (!r.count(k)) continue;
            std::printf("  %-44s %s", (std::string(what) + " from files").c_str(),
                        TimeText(r, k).c_str());
            if (parse > 0)
                std::printf("  %.2f x parse, target <= 3: %s", best(k) / parse,
                            best(k) <= 3 * parse ? "ok" : "MISSED");
            std::printf("  [%.0f lines, check %08x]\n", Get(r, std::string(what) + "_files_lines"),
                        static_cast<unsigned>(Get(r, std::string(what) + "_files_check")));
        }
        for (const char* what : {"classes", "attrs"}) {
            const std::string k = std::string(what) + "_online_s";
            if (!r.count(k)) continue;
            std::printf("  %-44s %s  target <= 2000 ms: %s  [%.0f lines, check %08x]\n",
                        (std::string(what) + " through the simulated client").c_str(),
                        TimeText(r, k).c_str(), best(k) <= 2.0 ? "ok" : "MISSED",
                        Get(r, std::string(what) + "_online_lines"),
                        static_cast<unsigned>(Get(r, std::string(what) + "_online_check")));
        }
        for (const char* mode : {"files", "online"})
            for (const char* what : {"classes", "attrs"}) {
                const std::string base = std::string(what) + "_" + mode;
                if (!r.count(base + "_quiet_s") && !r.count(base + "_progress_s")) continue;
                for (const char* variant : {"progress", "throttled"}) {
                    const std::string k = base + "_" + variant + "_s";
                    if (!r.count(k)) continue;
                    const double share = Get(r, base + "_" + variant + "_share");
                    const bool throttled = std::string(variant) == "throttled";
                    std::printf(
                        "  %-44s %s  progress and events %5.1f%% of the run, target < 20%%: %s",
                        (base + (throttled ? ", every 20 ms" : ", per name")).c_str(),
                        TimeText(r, k).c_str(), share * 100, share < 0.2 ? "ok" : "MISSED");
                    if (throttled)
                        std::printf("  [%.0f rounds of events]",
                                    Get(r, base + "_throttled_rounds"));
                    std::printf("\n");
                }
                std::printf("  %-44s %s\n", (base + ", quiet").c_str(),
                            TimeText(r, base + "_quiet_s").c_str());
            }
        for (const char* mode : {"files", "online"})
            for (const char* what : {"classes", "attrs"}) {
                const std::string k = std::string("window_") + what + "_" + mode + "_s";
                if (!r.count(k)) continue;
                std::printf("  %-44s %s  [%.0f lines]",
                            ("window \"Start ...\", " + std::string(what) + ", " + mode).c_str(),
                            TimeText(r, k).c_str(),
                            Get(r, std::string("window_") + what + "_" + mode + "_lines"));
                const std::string quiet = std::string(what) + "_" + mode + "_quiet_s";
                if (r.count(quiet))
                    std::printf("  over the quiet run: %.1f%%",
                                (best(k) - best(quiet)) / best(k) * 100);
                std::printf("\n");
            }
        for (const auto& [scenario, peak] : peaks)
            std::printf("  peak memory %-16s %6.0f MiB\n", scenario.c_str(), peak);
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return bench::BenchMain(argc, argv, "bench_compare", RunScenario, Drive);
}
