// Synthetic schemas for the benchmarks: two trees of a chosen size whose names and
// definitions differ in a chosen share, with item lists shaped like a real directory's
// (a small base schema used everywhere, then vendor extensions of a few dozen classes that
// bring their own attributes). The same options and seed always give the same trees.
#pragma once

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/UiHooks.h"
#include "core/Workspace.h"
#include "core/directory/SimulatedClient.h"

struct SchemaGenOptions {
    std::size_t classes = 10000;     // in Tree #1
    std::size_t attributes = 50000;  // in Tree #1
    // Share of the classes, and of the attributes, that differ: a quarter only in Tree #1, a
    // quarter only in Tree #2, the rest common with another definition in Tree #2.
    double diff = 0.05;
    std::uint64_t seed = 1;
};

// What actually differs, counted after generation (a class counts as changed when any of
// its item lists or its identifier differs; flags alone do not make a comparison line).
struct SchemaGenSummary {
    std::size_t classes1 = 0, classes2 = 0;
    std::size_t attributes1 = 0, attributes2 = 0;
    std::size_t classesOnly1 = 0, classesOnly2 = 0, classesChanged = 0;
    std::size_t attributesOnly1 = 0, attributesOnly2 = 0, attributesChanged = 0;
    std::size_t items1 = 0;  // item entries over all classes of Tree #1
};

struct SchemaPair {
    std::shared_ptr<SimTree> tree1;
    std::shared_ptr<SimTree> tree2;
    SchemaGenSummary summary;
};

// Throws std::invalid_argument for options no schema can meet (no classes, a share
// outside 0..1).
SchemaPair GenerateSchemaPair(const SchemaGenOptions& options);
std::string SummaryText(const SchemaGenSummary& summary);

// The names the simulated client reports for the two trees.
inline constexpr const char* kBenchTree1 = "BENCH_TREE_1";
inline constexpr const char* kBenchTree2 = "BENCH_TREE_2";

// A tree description and a client configuration in the simulated client's JSON format.
QByteArray TreeDescriptionJson(const SimTree& tree);
QByteArray ClientConfigJson(const std::string& treeFile1, const std::string& treeFile2);

// A simulated directory reaching Tree #1 (the primary connection) and Tree #2.
SimDirectory MakeBenchDirectory(const SchemaPair& pair);

// Fills a slot as the window's online load does (tree change, both name lists read,
// sorted); returns the first failing directory code, or 0.
DirCode LoadSlotOnline(Workspace& ws, UiHooks& ui, int tree, const std::string& treeName);
// Fills a slot as "Load from File" does (file opened, both name lists read, sorted).
void LoadSlotFromFile(Workspace& ws, int tree, const std::string& path);
// Writes both trees' schema files through the simulated client (SaveSchemaFile).
void WriteSchemaFiles(const SchemaPair& pair, const std::string& path1, const std::string& path2);

// A folder under dir named after the options, for tree1.txt and tree2.txt.
std::string SchemaFilesFolder(const SchemaGenOptions& options, const std::string& dir);
// Writes both schema files into that folder on the first call; later calls reuse them
// while a marker says they are complete. Returns the folder.
std::string EnsureSchemaFiles(const SchemaGenOptions& options, const std::string& dir);
