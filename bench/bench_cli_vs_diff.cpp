// kalvix-cli compare against GNU diff on the same two schema files of 10,000 classes and
// 50,000 attributes: whole processes, output to a file, CPU time (user + system) of each
// child taken from wait4. The runs alternate, so both see the same machine.
//
//   bench_cli_vs_diff [--reps 7] [--classes 10000] [--attributes 50000] [--diff 0.05]
//                     [--seed 1] [--dir DIR] [--cli PATH] [--chromium]
//
// Targets: compare at most diff's CPU time; the HTML report (--format html, the whole
// process) written in under a second. With --chromium the report is also opened in
// headless Chromium, which must take its screenshot without trouble.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "SchemaGenerator.h"

extern char** environ;

namespace {

struct Timing {
    double wall = 0;
    double cpu = 0;
    int status = -1;
};

double Seconds(const timeval& tv) {
    return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) * 1e-6;
}

// Runs argv with standard output to outPath (standard error to /dev/null) and waits.
Timing RunTimed(const std::vector<std::string>& argv, const std::string& outPath) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const bench::Stopwatch watch;
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot start " + argv[0]);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) throw std::runtime_error("wait4 failed");
    Timing t;
    t.wall = watch.wall();
    t.cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    t.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return t;
}

struct Series {
    std::vector<double> wall, cpu;
    void add(const Timing& t) {
        wall.push_back(t.wall);
        cpu.push_back(t.cpu);
    }
    double bestCpu() const { return *std::min_element(cpu.begin(), cpu.end()); }
    void print(const char* name) const {
        std::printf("  %-22s %8.1f %8.1f %8.1f\n", name, bench::Median(wall) * 1000,
                    bench::Median(cpu) * 1000, bestCpu() * 1000);
        bench::Report(std::string(name) + "_cpu_s", bench::Median(cpu));
        bench::Report(std::string(name) + "_best_cpu_s", bestCpu());
        bench::Report(std::string(name) + "_s", bench::Median(wall));
    }
};

void Expect(const Timing& t, int status, const std::string& what) {
    if (t.status != status)
        throw std::runtime_error(what + " exited with " + std::to_string(t.status) + ", expected " +
                                 std::to_string(status));
}

int Drive(const bench::Options& o, const QString&) {
    const int reps = static_cast<int>(o.number("reps", 7));
    const std::string dir =
        o.text("dir", (QCoreApplication::applicationDirPath() + "/bench-data").toStdString());
    const std::string cli = o.text("cli", KALVIX_CLI_PATH);
    const SchemaGenOptions gen = bench::ScaledOptions(o, 1);
    const std::string folder = EnsureSchemaFiles(gen, dir);
    const std::string tree1 = folder + "/tree1.txt";
    const std::string tree2 = folder + "/tree2.txt";
    QTemporaryDir out;
    const std::string outDir = out.path().toStdString();

    std::printf("== %zu classes, %zu attributes (diff %g, seed %llu), %s, load %.1f\n", gen.classes,
                gen.attributes, gen.diff, static_cast<unsigned long long>(gen.seed), cli.c_str(),
                bench::LoadAverage());
    Series compare, diff, html;
    for (int i = 0; i < reps; ++i) {
        const Timing c = RunTimed({cli, "compare", "--quiet", tree1, tree2}, outDir + "/cli.txt");
        Expect(c, 1, "kalvix-cli compare");
        compare.add(c);
        const Timing d = RunTimed({"diff", tree1, tree2}, outDir + "/diff.txt");
        Expect(d, 1, "diff");
        diff.add(d);
        const Timing h = RunTimed({cli, "compare", "--quiet", "--format", "html", tree1, tree2},
                                  outDir + "/report.html");
        Expect(h, 1, "kalvix-cli compare --format html");
        html.add(h);
    }
    std::printf("  %-22s %8s %8s %8s\n", "", "wall", "cpu", "best cpu (ms, medians)");
    compare.print("compare");
    diff.print("diff");
    html.print("compare_html");
    const double ratio = bench::Median(compare.cpu) / bench::Median(diff.cpu);
    const double bestRatio = compare.bestCpu() / diff.bestCpu();
    std::printf("  CPU ratio compare/diff: %.2f (medians), %.2f (best runs); target <= 1\n", ratio,
                bestRatio);
    std::printf(
        "  HTML report, whole process: %.0f ms wall, %.0f ms CPU (the report itself: "
        "%.0f ms CPU over the text run); target < 1000 ms\n",
        bench::Median(html.wall) * 1000, bench::Median(html.cpu) * 1000,
        (bench::Median(html.cpu) - bench::Median(compare.cpu)) * 1000);
    bench::Report("cpu_ratio", ratio);
    bench::Report("cpu_ratio_best", bestRatio);
    std::printf(
        "  output: %lld bytes of lines, %lld bytes of HTML\n",
        static_cast<long long>(QFileInfo(QString::fromStdString(outDir + "/cli.txt")).size()),
        static_cast<long long>(QFileInfo(QString::fromStdString(outDir + "/report.html")).size()));

    if (o.has("chromium")) {
        const QString chromium = QStandardPaths::findExecutable("chromium");
        if (chromium.isEmpty()) throw std::runtime_error("--chromium: no chromium on the PATH");
        QTemporaryDir profile;
        const std::string shot = outDir + "/report.png";
        const Timing c =
            RunTimed({chromium.toStdString(), "--headless", "--no-sandbox", "--disable-gpu",
                      "--disable-quic", "--no-first-run", "--disable-background-networking",
                      "--disable-component-update", "--disable-sync",
                      "--user-data-dir=" + profile.path().toStdString(), "--screenshot=" + shot,
                      "--window-size=1280,1600", "file://" + outDir + "/report.html"},
                     outDir + "/chromium.txt");
        Expect(c, 0, "chromium");
        if (!QFileInfo::exists(QString::fromStdString(shot)))
            throw std::runtime_error("chromium took no screenshot");
        std::printf("  chromium opened the report and took its screenshot: %.0f ms wall\n",
                    c.wall * 1000);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return bench::BenchMain(
        argc, argv, "bench_cli_vs_diff",
        [](const bench::Options&, int, char**) -> int {
            throw std::invalid_argument("no child scenarios");
        },
        Drive);
}
