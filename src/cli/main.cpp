// kalvix-cli: the window's comparisons as a command, for schedules and pipelines.
#include <signal.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/Commands.h"

namespace cli {

namespace {

const char* const kVersionText =
    "kalvix-cli (Kalvix) " KALVIX_VERSION
    "\n"
    "Copyright (C) 2026 The Kalvix developers.\n"
    "License MIT: <https://opensource.org/license/mit>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

const char* const kShortUsage = "Usage: kalvix-cli COMMAND [OPTION]... OPERAND...\n";
const char* const kTryHelp = "Try 'kalvix-cli --help' for more information.\n";

const char* const kOperands =
    "A tree operand (A, B, TREE) is the path of a schema file, of an LDIF dump of a\n"
    "subschema entry, of an OpenLDAP .schema file or of a folder of them (known by what\n"
    "they hold), or tree:NAME for a live tree\n"
    "read through the directory client (the file named by KALVIX_CLIENT, else\n"
    "kalvix-client.json in $XDG_CONFIG_HOME/kalvix, ~/.config/kalvix or /etc/xdg/kalvix);\n"
    "NAME as 'kalvix-cli trees' lists it. A file whose name begins with tree: is written\n"
    "as ./tree:...; - reads a schema file from standard input (one operand at most).\n";

const char* const kStatus =
    "Exit status: 0 no differences, 1 differences, 2 trouble (bad usage, an unreadable\n"
    "file, a client that cannot start or reach the tree, a directory error).\n";

const std::vector<Command> kCommands = {
    {"trees", "[--quiet]", "list the reachable trees, one a line", "", kAcceptsQuiet, RunTrees},
    {"save", "[--quiet] TREE FILE", "write the live tree's schema file",
     "Writes the schema of the live tree TREE (tree:NAME) into FILE as the window's\n"
     "\"Save to File\" does; the file is replaced whole at the end. Prints nothing.\n"
     "A tree that publishes its definitions (an LDAP server, .schema files, an LDIF\n"
     "dump) also keeps their texts, so the file compares field by field later.\n",
     kAcceptsQuiet, RunSave},
    {"quick", "[--format text|json|html|csv] [--quiet] A B", "the six quick-check lists",
     "Prints the names only one tree has and the names both have, classes then attributes,\n"
     "each list under its heading line, a blank line between lists.\n",
     kAcceptsQuiet | kAcceptsFormat, RunQuick},
    {"compare-classes", "[--format text|json|html|csv] [--ignore LIST] [--quiet] A B",
     "the full class comparison's lines",
     "Prints the lines the window's class \"Start ...\" writes into its results list.\n",
     kAcceptsQuiet | kAcceptsFormat | kAcceptsIgnore, RunCompareClasses},
    {"compare-attributes", "[--format text|json|html|csv] [--ignore LIST] [--quiet] A B",
     "the full attribute comparison's lines",
     "Prints the lines the window's attribute \"Start ...\" writes into its results list.\n",
     kAcceptsQuiet | kAcceptsFormat | kAcceptsIgnore, RunCompareAttributes},
    {"compare", "[--format text|json|html|csv] [--ignore LIST] [--quiet] A B",
     "the class lines, then the attribute lines",
     "Prints the class comparison's lines, then the attribute comparison's; when both trees\n"
     "publish their definitions and either publishes other schema elements (matching\n"
     "rules, syntaxes, ...), their lines follow.\n",
     kAcceptsQuiet | kAcceptsFormat | kAcceptsIgnore, RunCompare},
    {"show", "[--class|--attribute] [--quiet] A NAME", "a class's or an attribute's definition",
     "Prints the definition of NAME in A as the window's detail pane shows it: the class\n"
     "when A has a class of that name, else the attribute. --class or --attribute choose.\n"
     "A definition the tree publishes as text (an LDAP server, .schema files, an LDIF dump)\n"
     "is followed by a blank line, \"Published definition:\" and that text.\n",
     kAcceptsQuiet | kAcceptsShowKind, RunShow},
    {"reconcile",
     "[--dialect rfc4512|openldap|ad] [--format ldif|schema] [--include-changed] "
     "[--include-config-schema] "
     "[--schema-name NAME] [--schema-dn DN] [--forest-placeholder] [--quiet] A B",
     "the LDIF that gives B the schema definitions A has and B lacks",
     "Prints an LDIF document that, applied to B's server with ldapmodify, adds every\n"
     "attribute type and object class that A has and B lacks, written as A publishes them\n"
     "(OID macros expanded): attribute types first, each definition after everything it\n"
     "needs. What cannot be added safely (an OID B uses for another name, a dependency on\n"
     "something neither tree has, a matching rule or syntax B does not list, what Active\n"
     "Directory cannot take) is written as a comment that says why. Both trees must be\n"
     "tree:NAME of an LDAP server, .schema files or an LDIF dump, or a schema file saved\n"
     "from one (it keeps the published definitions).\n",
     kAcceptsQuiet | kAcceptsReconcile, RunReconcile},
    {"survey",
     "[--all-trees] [--jobs N] [--details] [--format text|json|html|csv] [--ignore LIST]\n"
     "         [--quiet] BASELINE TREE...",
     "each tree's drift from the baseline, a line a tree",
     "Compares every TREE with BASELINE as compare does and prints one line per tree, in the\n"
     "order given: \"NAME: identical\", \"NAME: 2 classes, 5 attributes, 3 fields differ\" or\n"
     "\"NAME: cannot be read: REASON\". Trees are read at the same time, each with its own\n"
     "connection and timeout; a tree that cannot be read does not stop the others. With\n"
     "--details, each differing tree's lines follow, as compare prints them, under a line\n"
     "\"--- NAME\". --format json writes one document with every tree's verdict and\n"
     "findings, html one page with a summary table and a drift matrix, csv a row per finding\n"
     "with the surveyed tree first. Exit status 2 when a tree cannot be read.\n",
     kAcceptsQuiet | kAcceptsFormat | kAcceptsIgnore | kAcceptsSurvey, RunSurvey},
    {"fit",
     "[--map-from TREE1] [--rejects FILE] [--accepted FILE]\n"
     "         [--offline-load] [--parents] [--skip LIST] [--jobs N]\n"
     "         [--format text|json|html|csv] [--quiet] ENTRIES TREE",
     "which entries of an LDIF file TREE's schema would refuse, and why",
     "Checks every entry of the LDIF file ENTRIES (- for standard input) against TREE's\n"
     "schema and prints a line for each reason TREE would refuse one:\n"
     "\"ENTRIES:LINE: DN: reason\", LINE where the entry's dn: is; then a summary of the\n"
     "counts by reason, class and attribute. Reasons: an object class or attribute type\n"
     "TREE does not define, an attribute no class of the entry allows, a mandatory\n"
     "attribute missing, several values of a single-valued attribute, a value its syntax\n"
     "refuses, no structural class or several not on one chain, the RDN's value absent, an\n"
     "attribute the server sets itself, a value over its {len} bound, a value given twice,\n"
     "a DN given twice. Names may be any NAME or the OID TREE knows. A record that cannot\n"
     "be read is named with its line and passed over. The file is read in pieces and\n"
     "checked on every core; memory does not grow with it. Exit status 0 when every\n"
     "entry fits, 1 when some do not, 2 when the check could not run.\n",
     kAcceptsQuiet | kAcceptsFormat | kAcceptsFit, RunFit},
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
        "  --format text|json|html|csv\n"
        "                      the output as lines (the default), one JSON document, one\n"
        "                      self-contained HTML report or CSV, a row per finding\n"
        "  --ignore LIST       published fields to leave out of the comparisons besides\n"
        "                      X-ORIGIN,X-SCHEMA-FILE, comma-separated (none: compare all)\n"
        "  --quiet, -q         nothing but the lines: no progress, no \"No differences "
        "found\"\n"
        "  --help, -h          this text; after a command, that command's\n"
        "  --version           the program's version and licence\n\n",
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
            "  --format text|json|html|csv\n"
            "                      lines (the default), one JSON document, one HTML report or\n"
            "                      CSV (RFC 4180: a header row, then a row per finding)\n",
            stdout);
    if (c.accepts & kAcceptsIgnore)
        std::fputs(
            "  --ignore LIST       leave these fields of published definitions out besides\n"
            "                      X-ORIGIN and X-SCHEMA-FILE, comma-separated: field labels\n"
            "                      or RFC 4512 keywords in any letter case (Description, DESC,\n"
            "                      \"Super Type\", SYNTAX, MAY, ...), an extension such as\n"
            "                      X-NDS_ACL_TEMPLATES, or extensions for every X- field;\n"
            "                      none in the list compares X-ORIGIN and X-SCHEMA-FILE too\n",
            stdout);
    if (c.accepts & kAcceptsQuiet)
        std::fputs(
            "  --quiet, -q         nothing but the lines: no progress, no \"No differences "
            "found\"\n",
            stdout);
    if (c.accepts & kAcceptsReconcile)
        std::fputs(
            "  --dialect rfc4512   a modify of B's subschema entry (389 DS and NetWare-\n"
            "                      descended directories)\n"
            "  --dialect openldap  a new entry cn=NAME,cn=schema,cn=config\n"
            "  --dialect ad        attributeSchema and classSchema objects (Active Directory)\n"
            "                      Default: the one B's server takes (openldap when B publishes\n"
            "                      olcSchemaConfig, ad when B is Active Directory, else rfc4512)\n"
            "  --format schema     the same definitions as an OpenLDAP .schema file to include\n"
            "                      (for a server configured by slapd.conf); ldif is the default\n"
            "  --include-changed   also replace B's definitions that differ from A's\n"
            "  --include-config-schema\n"
            "                      also write a server's own configuration schema (olc...,\n"
            "                      nsslapd-...), which is refused by default\n"
            "  --schema-name NAME  the cn=config entry's name (default kalvix-<A's tree name>)\n"
            "  --schema-dn DN      the ad dialect's schema container (default: B's\n"
            "                      schemaNamingContext)\n"
            "  --forest-placeholder\n"
            "                      the ad dialect's DNs end in DC=X, for\n"
            "                      ldifde -i -f FILE -c DC=X <forest DN>\n",
            stdout);
    if (c.accepts & kAcceptsSurvey)
        std::fputs(
            "  --all-trees         also every tree the client configuration lists\n"
            "  --jobs N            read at most N trees at once (default 8)\n"
            "  --details           after the lines, each differing tree's findings\n",
            stdout);
    if (c.accepts & kAcceptsFit)
        std::fputs(
            "  --map-from TREE1    names TREE does not know are matched through TREE1's OIDs\n"
            "                      (an OpenLDAP userid fits 389's uid); the summary says which\n"
            "  --rejects FILE      write the refused entries there, as LDIF\n"
            "  --accepted FILE     write the other entries there, as LDIF\n"
            "  --offline-load      attributes the server sets itself are kept, as slapadd keeps\n"
            "                      them\n"
            "  --parents           an entry's parent must come before it in the file or be\n"
            "                      TREE's naming context (none known: the first entry's parent)\n"
            "  --skip LIST         leave checks out as a server that does not make them:\n"
            "                      bounds ({len}), syntaxes, rdn (the RDN's values in the\n"
            "                      entry: slapd adds them), chains (structural classes on\n"
            "                      one chain: 389 lets several be), server-set (as\n"
            "                      --offline-load: 389 takes them from its manager);\n"
            "                      comma-separated\n"
            "  --jobs N            check on N threads (default: one a core)\n",
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

enum class Asks { Nothing, Help, Version };

// --help or --version before "--" wins over whatever else the line holds; the first given.
Asks AsksFor(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--") break;
        if (arg == "--help" || arg == "-h") return Asks::Help;
        if (arg == "--version") return Asks::Version;
    }
    return Asks::Nothing;
}

// As GNU tools do, help or version that cannot be written (a full disk) is trouble.
int Answered() {
    try {
        FlushOutput();
        return kExitSame;
    } catch (const BrokenPipe&) {
    } catch (const Trouble& error) {
        Complain(error.what());
    }
    return kExitTrouble;
}

int PrintVersion() {
    std::fputs(kVersionText, stdout);
    return Answered();
}

int Main(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::fputs(kShortUsage, stderr);
        std::fputs(kTryHelp, stderr);
        return kExitTrouble;
    }
    const std::string& name = args[0];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(stdout);
        return Answered();
    }
    if (name == "--version") return PrintVersion();
    const Command* command = FindCommand(name);
    if (!command) {
        Complain("unknown command '" + name + "'");
        std::fputs(kShortUsage, stderr);
        std::fputs(kTryHelp, stderr);
        return kExitTrouble;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    switch (AsksFor(rest)) {
        case Asks::Help:
            PrintCommandHelp(*command);
            return Answered();
        case Asks::Version:
            return PrintVersion();
        case Asks::Nothing:
            break;
    }
    Arguments parsed;
    parsed.command = command->name;
    try {
        ParseOptions(rest, command->accepts, parsed);
        return command->run(parsed);
    } catch (const BrokenPipe&) {
        // The reader has all it wanted: nothing to say.
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
    // A reader that stops early (| head) ends the run quietly, as it ends other tools,
    // even when the caller ignored or blocked the signal.
    ::signal(SIGPIPE, SIG_DFL);
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    sigprocmask(SIG_UNBLOCK, &pipe, nullptr);
    return cli::Main(std::vector<std::string>(argv + 1, argv + argc));
}
