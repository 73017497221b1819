// kalvix-gen-schema: writes two synthetic trees for the simulated client (tree1.json,
// tree2.json), a client configuration naming both (kalvix-client.json) and, on request,
// both trees' schema files (tree1.txt, tree2.txt) as "Save to File" writes them.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cmath>
#include <cstdio>
#include <exception>
#include <string>

#include "BenchSupport.h"
#include "SchemaGenerator.h"
#include "core/ini/IniFile.h"

namespace {

const char* const kUsage =
    "usage: kalvix-gen-schema [--classes N] [--attributes M] [--diff SHARE] [--seed S]\n"
    "                         [--schema-files] --out DIR\n"
    "  --classes N       classes of Tree #1 (default 10000)\n"
    "  --attributes M    attributes of Tree #1 (default 50000)\n"
    "  --diff SHARE      share of classes and of attributes that differ, 0 to 1 (default 0.05)\n"
    "  --seed S          the same seed gives the same trees (default 1)\n"
    "  --schema-files    also write tree1.txt and tree2.txt through the simulated client\n"
    "  --out DIR         folder for tree1.json, tree2.json and kalvix-client.json\n";

std::size_t Count(const bench::Options& options, const char* name, double fallback) {
    const double value = options.number(name, fallback);
    if (!(value >= 1) || value > 10'000'000 || value != std::floor(value))
        throw std::invalid_argument(std::string("--") + name +
                                    ": a whole number from 1 to 10000000");
    return static_cast<std::size_t>(value);
}

void WriteFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size() ||
        !file.flush())
        throw std::runtime_error("cannot write " + path.toStdString() + ": " +
                                 file.errorString().toStdString());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SchemaGenOptions gen;
    std::string out;
    bool schemaFiles = false;
    try {
        const bench::Options options(argc, argv);
        if (options.has("help")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        gen.classes = Count(options, "classes", 10000);
        gen.attributes = Count(options, "attributes", 50000);
        gen.diff = options.number("diff", 0.05);
        if (!(gen.diff >= 0 && gen.diff <= 1))
            throw std::invalid_argument("--diff: a share from 0 to 1");
        const double seed = options.number("seed", 1);
        if (!(seed >= 0) || seed != std::floor(seed) || seed > 9e15)
            throw std::invalid_argument("--seed: a whole number from 0");
        gen.seed = static_cast<std::uint64_t>(seed);
        schemaFiles = options.has("schema-files");
        out = options.text("out");
        if (out.empty()) throw std::invalid_argument("--out DIR is needed");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kalvix-gen-schema: %s\n%s", e.what(), kUsage);
        return 2;
    }

    try {
        const QString dir = QString::fromStdString(out);
        if (!QDir().mkpath(dir)) throw std::runtime_error("cannot create the folder " + out);
        const SchemaPair pair = GenerateSchemaPair(gen);
        WriteFile(dir + "/tree1.json", TreeDescriptionJson(*pair.tree1));
        WriteFile(dir + "/tree2.json", TreeDescriptionJson(*pair.tree2));
        WriteFile(dir + "/kalvix-client.json", ClientConfigJson("tree1.json", "tree2.json"));
        if (schemaFiles) {
            const std::string base = QDir(dir).absolutePath().toStdString();
            for (const char* name : {"/tree1.txt", "/tree2.txt"})
                QFile::remove(QString::fromStdString(base + name));
            WriteSchemaFiles(pair, base + "/tree1.txt", base + "/tree2.txt");
        }
        std::fputs(SummaryText(pair.summary).c_str(), stdout);
        std::printf("Written to %s%s\n", out.c_str(),
                    schemaFiles ? " (with the schema files tree1.txt and tree2.txt)" : "");
    } catch (const IniWriteError& e) {
        std::fprintf(stderr, "kalvix-gen-schema: %s\n", e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kalvix-gen-schema: %s\n", e.what());
        return 1;
    }
    return 0;
}
