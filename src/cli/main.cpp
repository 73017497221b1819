// kalvix-cli: the window's comparisons as a command, for schedules and pipelines.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "Commands.h"

namespace cli {

namespace {

const char* const kVersion = "Kalvix v1.02";

const char* const kOperands =
    "A tree operand (A, B, TREE) is the path of a schema file, or tree:NAME for a live tree\n"
    "read through the directory client (the file named by KALVIX_CLIENT, else\n"
    "kalvix-client.json in $XDG_CONFIG_HOME or ~/.config); NAME as 'kalvix-cli trees'\n"
    "lists it. A file whose name begins with tree: is written as ./tree:...\n";

const char* const kStatus =
    "Exit status: 0 no differences, 1 differences, 2 trouble (bad usage, an unreadable\n"
    "file, a client that cannot start or reach the tree, a directory error).\n";

const std::vector<Command> kCommands = {
    {"trees", "[--quiet]", "list the reachable trees, one a line", "", kAcceptsQuiet, RunTrees},
    {"save", "[--quiet] TREE FILE", "write the live tree's schema file",
     "Writes the schema of the live tree TREE (tree:NAME) into FILE as the window's\n"
     "\"Save to File\" does; the file is replaced whole at the end. Prints nothing.\n",
     kAcceptsQuiet, RunSave},
    {"quick", "[--format text|json|html] [--quiet] A B", "the six quick-check lists",
     "Prints the names only one tree has and the names both have, classes then attributes,\n"
     "each list under its heading line, a blank line between lists.\n",
     kAcceptsQuiet | kAcceptsFormat, RunQuick},
    {"compare-classes", "[--format text|json|html] [--quiet] A B",
     "the full class comparison's lines",
     "Prints the lines the window's class \"Start ...\" writes into its results list.\n",
     kAcceptsQuiet | kAcceptsFormat, RunCompareClasses},
    {"compare-attributes", "[--format text|json|html] [--quiet] A B",
     "the full attribute comparison's lines",
     "Prints the lines the window's attribute \"Start ...\" writes into its results list.\n",
     kAcceptsQuiet | kAcceptsFormat, RunCompareAttributes},
    {"compare", "[--format text|json|html] [--quiet] A B",
     "the class lines, then the attribute lines",
     "Prints the class comparison's lines, then the attribute comparison's.\n",
     kAcceptsQuiet | kAcceptsFormat, RunCompare},
    {"show", "[--class|--attribute] [--quiet] A NAME", "a class's or an attribute's definition",
     "Prints the definition of NAME in A as the window's detail pane shows it: the class\n"
     "when A has a class of that name, else the attribute. --class or --attribute choose.\n",
     kAcceptsQuiet | kAcceptsShowKind, RunShow},
};

void PrintUsage(std::FILE* to) {
    std::fputs(
        "Usage: kalvix-cli COMMAND [OPTIONS] OPERANDS\n"
        "Compares the schemas of two directory trees as the Kalvix window does.\n\n"
        "Commands:\n",
        to);
    for (const Command& c : kCommands) {
        const std::string call = std::string(c.name) + " " + c.synopsis;
        std::fprintf(to, "  %s\n      %s\n", call.c_str(), c.summary);
    }
    std::fputs(
        "\nOptions:\n"
        "  --format text|json|html\n"
        "                      the output as lines (the default), one JSON document or one\n"
        "                      self-contained HTML report\n"
        "  --quiet, -q         nothing but the lines: no progress, no \"No differences "
        "found\"\n"
        "  --help, -h          this text; after a command, that command's\n"
        "  --version           the program's version\n\n",
        to);
    std::fputs(kOperands, to);
    std::fputs("\n", to);
    std::fputs(kStatus, to);
}

void PrintCommandUsage(std::FILE* to, const Command& c) {
    std::fprintf(to, "Usage: kalvix-cli %s %s\n", c.name, c.synopsis);
}

void PrintCommandHelp(const Command& c) {
    PrintCommandUsage(stdout, c);
    std::fprintf(stdout, "%s.\n", c.summary);
    if (*c.details) std::fprintf(stdout, "\n%s", c.details);
    if (c.accepts) std::fputs("\nOptions:\n", stdout);
    if (c.accepts & kAcceptsFormat)
        std::fputs(
            "  --format text|json|html\n"
            "                      lines (the default), one JSON document or one HTML report\n",
            stdout);
    if (c.accepts & kAcceptsQuiet)
        std::fputs(
            "  --quiet, -q         nothing but the lines: no progress, no \"No differences "
            "found\"\n",
            stdout);
    if (c.accepts & kAcceptsShowKind)
        std::fputs(
            "  --class             show the class of that name\n"
            "  --attribute         show the attribute of that name\n",
            stdout);
    std::fputs("\n", stdout);
    if (c.run != RunTrees) std::fputs(kOperands, stdout);
    if (c.run != RunTrees) std::fputs("\n", stdout);
    std::fputs(kStatus, stdout);
}

bool AsksForHelp(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--") return false;
        if (arg == "--help" || arg == "-h") return true;
    }
    return false;
}

int Main(const std::vector<std::string>& args) {
    if (args.empty()) {
        Complain("no command given");
        PrintUsage(stderr);
        return kExitTrouble;
    }
    const std::string& name = args[0];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(stdout);
        return kExitSame;
    }
    if (name == "--version") {
        std::printf("kalvix-cli (%s)\n", kVersion);
        return kExitSame;
    }
    const Command* command = FindCommand(name);
    if (!command) {
        Complain("unknown command '" + name + "'");
        PrintUsage(stderr);
        return kExitTrouble;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (AsksForHelp(rest)) {
        PrintCommandHelp(*command);
        return kExitSame;
    }
    Arguments parsed;
    parsed.command = command->name;
    try {
        ParseOptions(rest, command->accepts, parsed);
        return command->run(parsed);
    } catch (const UsageError& error) {
        std::fflush(stdout);
        Complain(error.what());
        PrintCommandUsage(stderr, *command);
        std::fputs("Try 'kalvix-cli ", stderr);
        std::fputs(command->name, stderr);
        std::fputs(" --help' for more.\n", stderr);
    } catch (const std::exception& error) {
        std::fflush(stdout);
        Complain(error.what());
    }
    return kExitTrouble;
}

}  // namespace

const std::vector<Command>& Commands() { return kCommands; }

const Command* FindCommand(const std::string& name) {
    for (const Command& c : kCommands)
        if (name == c.name) return &c;
    return nullptr;
}

}  // namespace cli

int main(int argc, char** argv) {
    return cli::Main(std::vector<std::string>(argv + 1, argv + argc));
}
