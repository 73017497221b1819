// What the timing programs share: a clock, the peak memory of the process, and running
// one scenario in a fresh process of its own so that its peak memory and its caches are
// its own. A child reports its figures as lines "@ name value" on its standard output.
#pragma once

#include <sys/resource.h>
#include <time.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QLocale>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "SchemaGenerator.h"

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// CPU time of the calling thread: on a machine shared with other work it tells what an
// operation costs better than the wall clock does.
inline double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct Stopwatch {
    Clock::time_point wallStart = Clock::now();
    double cpuStart = ThreadCpuSeconds();
    double wall() const { return Since(wallStart); }
    double cpu() const { return ThreadCpuSeconds() - cpuStart; }
};

// The system's load average over the last minute (other work sharing the machine).
inline double LoadAverage() {
    double load = 0;
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1) load = 0;
        std::fclose(f);
    }
    return load;
}

// The largest resident set this process has had so far, in MiB.
inline double PeakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

inline void Report(const std::string& name, double value) {
    std::printf("@ %s %.9g\n", name.c_str(), value);
    std::fflush(stdout);
}

// name_s (wall clock) and name_cpu_s (CPU time of this thread).
inline void ReportTime(const std::string& name, double wall, double cpu) {
    Report(name + "_s", wall);
    Report(name + "_cpu_s", cpu);
}
inline void ReportTime(const std::string& name, const Stopwatch& watch) {
    ReportTime(name, watch.wall(), watch.cpu());
}

using Figures = std::map<std::string, double>;

// Runs program with args and collects its reported figures; a failing child throws with
// what it wrote to its error output.
inline Figures RunChild(const QString& program, const QStringList& args) {
    QProcess child;
    child.setProgram(program);
    child.setArguments(args);
    child.start();
    if (!child.waitForStarted(-1))
        throw std::runtime_error("cannot start " + program.toStdString());
    child.waitForFinished(-1);
    const QByteArray err = child.readAllStandardError();
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        throw std::runtime_error("scenario " + args.join(' ').toStdString() + " failed:\n" +
                                 err.toStdString());
    Figures figures;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        if (!line.startsWith("@ ")) continue;
        const QList<QByteArray> parts = line.mid(2).split(' ');
        if (parts.size() == 2) figures[parts[0].toStdString()] = parts[1].toDouble();
    }
    return figures;
}

inline double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// Runs a scenario reps times and keeps, per figure, the median of the runs ("_min" and
// "_max" beside it).
inline Figures RunRepeated(const QString& program, const QStringList& args, int reps) {
    std::map<std::string, std::vector<double>> all;
    for (int i = 0; i < reps; ++i)
        for (const auto& [name, value] : RunChild(program, args)) all[name].push_back(value);
    Figures figures;
    for (const auto& [name, values] : all) {
        figures[name] = Median(values);
        figures[name + "_min"] = *std::min_element(values.begin(), values.end());
        figures[name + "_max"] = *std::max_element(values.begin(), values.end());
    }
    return figures;
}

inline double Get(const Figures& figures, const std::string& name) {
    const auto it = figures.find(name);
    return it == figures.end() ? 0 : it->second;
}

// "median best cpu" in milliseconds for a time figure name_s of repeated runs ("-" for a
// figure without its CPU time).
inline std::string TimeText(const Figures& figures, const std::string& figure) {
    const std::string cpu = figure.substr(0, figure.size() - 2) + "_cpu_s";  // name_s -> name_cpu_s
    char text[64];
    std::snprintf(text, sizeof text, "%8.1f %8.1f ", Get(figures, figure) * 1000,
                  Get(figures, figure + "_min") * 1000);
    std::string out = text;
    if (figures.count(cpu)) {
        std::snprintf(text, sizeof text, "%8.1f", Get(figures, cpu) * 1000);
        out += text;
    } else {
        out += "       -";
    }
    return out;
}
inline const char* kTimeHeader = "  median     best      cpu (ms)";

// "--name value" pairs and bare "--flag"s.
class Options {
  public:
    Options(int argc, char** argv) {
        for (int i = 1; i < argc; ++i) {
            std::string arg = argv[i];
            if (arg.rfind("--", 0) != 0) throw std::invalid_argument("unexpected argument " + arg);
            arg.erase(0, 2);
            if (i + 1 < argc && std::string(argv[i + 1]).rfind("--", 0) != 0)
                values_[arg] = argv[++i];
            else
                values_[arg] = "";
        }
    }
    bool has(const std::string& name) const { return values_.count(name) != 0; }
    std::string text(const std::string& name, const std::string& fallback = {}) const {
        const auto it = values_.find(name);
        return it == values_.end() ? fallback : it->second;
    }
    double number(const std::string& name, double fallback) const {
        const auto it = values_.find(name);
        if (it == values_.end()) return fallback;
        std::size_t used = 0;
        const double value = std::stod(it->second, &used);
        if (used != it->second.size()) throw std::invalid_argument("--" + name + ": not a number");
        return value;
    }
    // The arguments as given, to hand on to a child.
    QStringList all() const {
        QStringList list;
        for (const auto& [name, value] : values_) {
            list << QString::fromStdString("--" + name);
            if (!value.empty()) list << QString::fromStdString(value);
        }
        return list;
    }

  private:
    std::map<std::string, std::string> values_;
};

// The generator's options for the chosen size (default 10,000 classes, 50,000 attributes)
// times scale.
inline SchemaGenOptions ScaledOptions(const Options& options, int scale) {
    SchemaGenOptions gen;
    gen.classes = static_cast<std::size_t>(options.number("classes", 10000)) * scale;
    gen.attributes = static_cast<std::size_t>(options.number("attributes", 50000)) * scale;
    gen.diff = options.number("diff", 0.05);
    gen.seed = static_cast<std::uint64_t>(options.number("seed", 1));
    return gen;
}

// The locale the name lists are collated by: "C", or a name such as en_US (Qt carries the
// data, so it need not be installed). A user's real locale collates through ICU, which
// costs more than the C locale's plain comparison.
inline void UseLocale(const std::string& name) {
    QLocale::setDefault(name == "C" ? QLocale::c() : QLocale(QString::fromStdString(name)));
}

// The shared main: a child process runs one scenario, the parent drives the runs.
template <typename Scenario, typename Driver>
int BenchMain(int argc, char** argv, const char* name, Scenario runScenario, Driver drive) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    try {
        const Options o(argc, argv);
        if (o.has("child")) return runScenario(o, argc, argv);
        QCoreApplication app(argc, argv);
        return drive(o, QCoreApplication::applicationFilePath());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", name, e.what());
        return 1;
    }
}

}  // namespace bench
