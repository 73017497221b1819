// A live LDAP server with a generated schema of 2,000 classes and 10,000 attributes: the
// time to load its tree online, and to run both full comparisons against a schema file
// saved from it (which must find nothing). Medians of a few runs, each from a fresh client.
//
//   bench_ldap [--reps 3] [--classes 2000] [--attributes 10000]
//
// Target: online load + file load + both comparisons under 3 s in all.
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/SchemaFile.h"
#include "core/TreeLoading.h"
#include "core/Workspace.h"
#include "core/compare/Compare.h"
#include "core/directory/D_NW.h"
#include "sources/ClientFactory.h"
// The test servers' harness: needs only libldap and POSIX.
#include "../tests/integration/ServerSupport.cpp"
#include "../tests/integration/SlapdServer.cpp"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

struct Options {
    int reps = 3;
    int classes = 2000;
    int attributes = 10000;
};

// A schema shaped like a directory's: attributes of the common syntaxes, some single-valued
// or sized, some deriving from others; classes of every kind with a superclass, two
// mandatory and eight optional attributes, and on a quarter native names and containment.
std::string GeneratedSchema(const Options& o) {
    static const char* const syntaxes[] = {"15", "27", "12", "7",      "40",
                                           "24", "26", "36", "15{64}", "50"};
    std::string text;
    char line[512];
    auto attrName = [](int n) {
        char name[32];
        std::snprintf(name, sizeof name, "benchAttr%05d", n);
        return std::string(name);
    };
    auto className = [](int n) {
        char name[32];
        std::snprintf(name, sizeof name, "benchClass%04d", n);
        return std::string(name);
    };
    for (int n = 1; n <= o.attributes; ++n) {
        std::string type =
            n % 10 == 0 && n > 1
                ? " SUP " + attrName(n - 1)
                : std::string(" SYNTAX 1.3.6.1.4.1.1466.115.121.1.") + syntaxes[n % 10];
        if (n % 10 == 0 && (n - 1) % 10 == 0) type = " SYNTAX 1.3.6.1.4.1.1466.115.121.1.15";
        std::snprintf(
            line, sizeof line,
            "attributetype ( 1.3.6.1.4.1.99999.10.1.%d NAME '%s' DESC 'generated'%s%s%s )\n", n,
            attrName(n).c_str(), type.c_str(), n % 3 == 0 ? " SINGLE-VALUE" : "",
            n % 4 == 0 ? (" X-NDS_NAME 'Bench Attribute " + std::to_string(n) + "'").c_str() : "");
        text += line;
    }
    for (int n = 1; n <= o.classes; ++n) {
        const char* kind = n % 10 == 0 ? "AUXILIARY" : n % 10 == 1 ? "ABSTRACT" : "STRUCTURAL";
        const std::string sup = n % 10 >= 3 && n % 5 == 0 ? className(n - 1) : std::string("top");
        std::string must = attrName((n * 7) % o.attributes + 1) + " $ " +
                           attrName((n * 11 + 3) % o.attributes + 1);
        std::string may;
        for (int k = 0; k < 8; ++k)
            may += (k ? " $ " : "") + attrName((n * 13 + k * 977) % o.attributes + 1);
        std::string native;
        if (n % 4 == 0 && std::string(kind) == "STRUCTURAL")
            native = " X-NDS_NAME 'Bench Class " + std::to_string(n) +
                     "' X-NDS_CONTAINMENT ( 'organization' '" + className(n - 2) +
                     "' ) X-NDS_NAMING 'cn'";
        text += "objectclass ( 1.3.6.1.4.1.99999.10.2." + std::to_string(n) + " NAME '" +
                className(n) + "' SUP " + sup + " " + kind + " MUST ( " + must + " ) MAY ( " + may +
                " )" + native + " )\n";
    }
    return text;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + path);
}

struct Counter {
    std::size_t lines = 0;
    void operator()(const std::string&) { ++lines; }
};

void Report(const char* name, double value, const char* unit) {
    std::printf("%-24s %10.3f %s\n", name, value, unit);
    std::printf("@ %s %.9g\n", name, value);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const int value = std::atoi(argv[i + 1]);
        if (key == "--reps")
            o.reps = std::max(1, value);
        else if (key == "--classes")
            o.classes = std::max(2, value);
        else if (key == "--attributes")
            o.attributes = std::max(10, value);
        else {
            std::fprintf(stderr, "usage: bench_ldap [--reps N] [--classes N] [--attributes N]\n");
            return 2;
        }
    }
    try {
        setenv("LDAPNOINIT", "1", 1);
        const std::string folder = MakeFolder("kalvix-bench-XXXXXX");
        struct Cleanup {
            std::string folder;
            ~Cleanup() { RemoveFolder(folder); }
        } cleanup{folder};
        const std::string schema = folder + "/bench.schema";
        WriteText(schema, GeneratedSchema(o));

        SlapdServer::Options options;
        options.schemas = {"core", "cosine", "inetorgperson", schema};
        auto start = Clock::now();
        SlapdServer server(options);
        const double serverStart = Since(start);

        const std::string config = folder + "/client.json";
        const QJsonObject connection{
            {"kind", "ldap"}, {"uri", QString::fromStdString(server.uri())}, {"treeName", "BENCH"}};
        WriteText(config, QJsonDocument(QJsonObject{{"connections", QJsonArray{connection}}})
                              .toJson()
                              .toStdString());
        const std::string file = folder + "/bench.txt";

        std::vector<double> online, save, fileLoad, classes, attrs, total;
        std::size_t classNames = 0, attrNames = 0, lines = 0;
        for (int rep = 0; rep < o.reps; ++rep) {
            Workspace ws(CreateClientFromConfig(config));
            SilentUi ui;
            DirClient& client = ws.client();
            for (int t = 1; t <= 2; ++t) client.dcNewContext(ws.tree(t).Context);
            if (InitNetWare(client, ws.Session, ui) != 0) throw std::runtime_error("no session");

            // Online, as the window loads a tree chosen in its selector.
            start = Clock::now();
            TTreeInfo& live = ws.tree(1);
            const DirCode code = LoadTree(ws, ui, 1, TreeSource::Live("BENCH")).code;
            if (code != 0)
                throw std::runtime_error("online load failed: " + ClientErrorText(client, code));
            online.push_back(Since(start));

            start = Clock::now();
            SaveSchemaFile(ws, ui, 1, file, {});
            save.push_back(Since(start));

            start = Clock::now();
            LoadTree(ws, ui, 2, TreeSource::File(file));
            fileLoad.push_back(Since(start));

            Counter counter;
            start = Clock::now();
            CompareAllClasses(ws, ui, {}, FindingLinesTo(std::ref(counter)));
            classes.push_back(Since(start));
            start = Clock::now();
            CompareAllAttributes(ws, ui, {}, FindingLinesTo(std::ref(counter)));
            attrs.push_back(Since(start));
            total.push_back(online.back() + fileLoad.back() + classes.back() + attrs.back());
            classNames = live.ClassNames.size();
            attrNames = live.AttrNames.size();
            lines += counter.lines;
        }
        if (lines != 0) throw std::runtime_error("the comparisons found differences");
        std::printf("generated %d classes, %d attributes; the server publishes %zu and %zu\n",
                    o.classes, o.attributes, classNames, attrNames);
        Report("server_start_s", serverStart, "s");
        Report("online_load_s", Median(online), "s");
        Report("save_file_s", Median(save), "s");
        Report("file_load_s", Median(fileLoad), "s");
        Report("compare_classes_s", Median(classes), "s");
        Report("compare_attributes_s", Median(attrs), "s");
        Report("total_s", Median(total), "s (target < 3)");
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_ldap: %s\n", e.what());
        return 1;
    }
}
