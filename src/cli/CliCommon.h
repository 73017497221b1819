// What every command of kalvix-cli shares: the argument reader, the dialog stand-in that
// writes to standard error, the progress line, loading a tree operand into a slot and the
// way lines reach standard output.
#pragma once

#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/ControlChars.h"
#include "core/UiHooks.h"
#include "core/Workspace.h"
#include "core/writers/Output.h"

namespace cli {

// diff(1)'s convention.
inline constexpr int kExitSame = 0;
inline constexpr int kExitDifferent = 1;
inline constexpr int kExitTrouble = 2;

// Something the user got wrong on the command line: one line, then the usage. Both kinds
// hold their text escaped: it may quote hostile names, and what() would end at a NUL.
class UsageError : public std::runtime_error {
  public:
    explicit UsageError(const std::string& text) : std::runtime_error(EscapeControlChars(text)) {}
};

// Anything else that stops a run (a file that cannot be read, a tree that is not there).
class Trouble : public std::runtime_error {
  public:
    explicit Trouble(const std::string& text) : std::runtime_error(EscapeControlChars(text)) {}
};

// Standard output's reader went away: the run ends without a word.
class BrokenPipe : public std::exception {};

// The options every command may be given, and its operands in order.
struct Arguments {
    std::string command;
    std::vector<std::string> operands;
    bool help = false;
    bool quiet = false;
    OutputFormat format = OutputFormat::Text;
    bool formatGiven = false;
    bool classOnly = false;
    bool attributeOnly = false;
    // The published fields the comparisons leave out (--ignore); the default without it.
    FieldFilter fields;
    // reconcile
    std::string dialect;  // empty: the one B's server takes
    bool includeChanged = false;
    bool includeConfigSchema = false;
    std::string schemaName;  // empty: the default
    std::string schemaDn;    // the ad dialect's; empty: B's schema naming context
    bool forestPlaceholder = false;
    bool schemaFileFormat = false;  // --format schema: an OpenLDAP .schema file
    // survey
    bool allTrees = false;
    unsigned jobs = 8;
    bool jobsGiven = false;
    bool details = false;
    // fit
    std::string mapFrom;  // empty: names as TREE has them
    std::string rejects;  // files for the refused and the other entries; empty: none
    std::string accepted;
    bool offlineLoad = false;
    bool parents = false;
    bool skipBounds = false;
    bool skipSyntaxes = false;
    bool skipRdnValues = false;
    bool skipOneChain = false;
};

// Option flags a command accepts; any other option is a usage error.
enum Accepts : unsigned {
    kAcceptsQuiet = 1,
    kAcceptsFormat = 2,
    kAcceptsShowKind = 4,
    kAcceptsReconcile = 8,
    kAcceptsIgnore = 16,
    kAcceptsSurvey = 32,
    kAcceptsFit = 64,
};

// Reads args (without the command) into a; options may stand anywhere, "--" ends them.
void ParseOptions(const std::vector<std::string>& args, unsigned accepts, Arguments& a);
void RequireOperands(const Arguments& a, std::size_t count);

// One line on standard error that rewrites itself; only when standard error is a terminal
// and the run is not quiet. Updates come at most every few dozen milliseconds.
class Progress {
  public:
    explicit Progress(bool enabled);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // forced: shown even right after another update (the first step of a phase).
    void show(const std::string& text, bool forced = false);
    // Whether anything is shown at all: spares building texts nobody sees.
    bool enabled() const { return enabled_; }
    void clear();
    // Standard output is about to get a line: when it shares the terminal, the progress
    // line makes way.
    void beforeOutput();

  private:
    bool enabled_;
    bool outputOnTerminal_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point last_{};
};

// The dialogs the core would show become lines on standard error; a run that showed one
// ends with the trouble status.
class CliUi : public UiHooks {
  public:
    CliUi(Progress& progress, bool quiet) : progress_(progress), quiet_(quiet) {}
    void showMsgDlg(DlgType type, const std::string& msg) override;
    void processEvents() override {}
    bool runsEvents() const override { return false; }
    // In words: what failed, the client's explanation, what to do, the code last.
    void showDirectoryError(std::int64_t code, const std::string& operation,
                            const std::string& explanation) override;
    void showSourceProblem(const SourceProblem& problem) override;

    bool troubleShown() const { return trouble_; }
    // The live tree being read, for the messages about it; empty when none.
    void setTree(const std::string& tree) { tree_ = tree; }

  private:
    Progress& progress_;
    bool quiet_;  // remarks about trees read whole are not said
    bool trouble_ = false;
    std::string tree_;
};

// A directory failure as kalvix-cli says it, without "kalvix-cli: ": what failed, the
// explanation, then what to do and the code in parentheses; a long explanation follows on
// lines of its own.
std::string DirectoryErrorText(std::int64_t code, const std::string& operation,
                               const std::string& explanation, const std::string& tree);

// A tree operand: a schema file's path, "-" for standard input, or tree:NAME for a live
// tree.
struct TreeOperand {
    bool live = false;
    bool standardInput = false;
    std::string text;  // as given
    std::string name;  // the tree name for a live tree
    std::string path;  // the absolute path for a file
};

TreeOperand ParseTreeOperand(const std::string& text);

// The workspace of one run, set up as the window's start-up does: contexts for both slots,
// and the session and tree list only when a live tree is wanted.
class Session {
  public:
    Session(bool needClient, bool quiet);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Workspace& ws() { return *ws_; }
    CliUi& ui() { return ui_; }
    Progress& progress() { return progress_; }
    const std::vector<std::string>& reachableTrees() const { return reachable_; }

    // Loads the operand into slot tree (1 or 2) as the window's online or offline load does:
    // names read and sorted. Raises Trouble for a file that cannot be read or a tree that is
    // not reachable.
    void load(int tree, const TreeOperand& operand);
    // The reachable tree name the given name stands for.
    std::string matchTree(const std::string& name) const;

    // The trouble status when any dialog was shown, else the given status.
    int finish(int status);
    // For a run that only read schema files and is about to end: the trees are left to go
    // with the process rather than freed piece by piece, which costs a large schema a
    // noticeable share of the whole run. A run with a client closes it as usual.
    void leaveTreesToExit();

  private:
    void startClient();
    void loadOnline(int tree, const std::string& treeName);
    void loadOffline(int tree, const TreeOperand& operand);
    // Standard input's bytes in a file of their own, kept for the run: a tree loaded from
    // a file reads its definitions from there on demand. The file has no name, so however
    // the run ends (a signal, kill -9) it leaves nothing behind; its path is the
    // descriptor's in /proc.
    std::string copyStandardInput();

    class Descriptor {
      public:
        Descriptor() = default;
        ~Descriptor();
        Descriptor(const Descriptor&) = delete;
        Descriptor& operator=(const Descriptor&) = delete;
        int fd = -1;
    };

    Progress progress_;
    CliUi ui_;
    bool needClient_;
    Descriptor standardInput_;  // before ws_: the loaded tree reads from it to the end
    std::unique_ptr<Workspace> ws_;
    std::vector<std::string> reachable_;
};

// Raises Trouble unless path names a readable regular file.
void CheckReadableFile(const std::string& path);

// Lines go out as bytes with LF after each, control characters escaped (one line stays
// one line, and nothing in it drives the terminal).
void WriteLine(const std::string& line);
// Standard output could not take everything (a full disk): trouble; a closed pipe raises
// BrokenPipe.
void FlushOutput();

// "kalvix-cli: " and the text, on standard error, as one line.
void Complain(const std::string& text);

}  // namespace cli
