// fit: which entries of an LDIF file a tree's schema would refuse, and why; a line per
// reason as the file is read, then the counts. The core checks; this file opens the files,
// loads the trees and shows progress.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/Commands.h"
#include "core/Version.h"
#include "core/fit/FitRun.h"

namespace cli {

namespace {

const char* const kWorkingSources =
    "fit needs a tree whose source publishes its definitions: an LDAP server, .schema files or "
    "an LDIF dump (connection kinds ldap, schema-files and ldif), named as tree:NAME, or a "
    "schema file saved from one";

std::shared_ptr<const TreeSchema> SchemaOf(Session& session, int tree, const TreeOperand& operand) {
    const TTreeInfo& slot = session.ws().tree(tree);
    if (slot.Schema) return slot.Schema;
    throw Trouble(operand.text + " holds no published LDAP definitions; " + kWorkingSources);
}

// The entries' file, open for reading: a regular file, a pipe or a terminal; not a folder.
class EntriesInput {
  public:
    explicit EntriesInput(const std::string& path) {
        if (path == "-") {
            fd_ = STDIN_FILENO;
            return;
        }
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) throw Trouble(path + ": " + std::strerror(errno));
        owned_ = true;
        struct stat st {};
        if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode))
            throw Trouble(path + ": is a folder, not an LDIF file");
    }
    ~EntriesInput() {
        if (owned_) ::close(fd_);
    }
    EntriesInput(const EntriesInput&) = delete;
    EntriesInput& operator=(const EntriesInput&) = delete;
    int fd() const { return fd_; }

  private:
    int fd_ = -1;
    bool owned_ = false;
};

// An LDIF file written beside its final place and put there whole at the end, so a run
// that stops leaves the old file, never half a new one.
class LdifOutput {
  public:
    explicit LdifOutput(std::string path) : path_(std::move(path)) {
        if (path_.empty()) return;
        temp_ = path_ + ".kalvix-" + std::to_string(::getpid());
        file_ = std::fopen(temp_.c_str(), "wbx");
        if (!file_) throw Trouble(path_ + ": cannot be written: " + std::strerror(errno));
    }
    ~LdifOutput() {
        if (!file_) return;
        std::fclose(file_);
        std::remove(temp_.c_str());
    }
    LdifOutput(const LdifOutput&) = delete;
    LdifOutput& operator=(const LdifOutput&) = delete;

    bool open() const { return file_ != nullptr; }
    void record(std::string_view text) {
        std::fwrite(text.data(), 1, text.size(), file_);
        if (!text.empty() && text.back() != '\n') std::fputc('\n', file_);
        std::fputc('\n', file_);
    }
    void finish() {
        if (!file_) return;
        const bool written = std::ferror(file_) == 0;
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        if (!written || !closed || std::rename(temp_.c_str(), path_.c_str()) != 0) {
            const std::string why = std::strerror(errno);
            std::remove(temp_.c_str());
            throw Trouble(path_ + ": cannot be written: " + why);
        }
    }

  private:
    std::string path_;
    std::string temp_;
    std::FILE* file_ = nullptr;
};

std::string ProgressText(std::uint64_t records, std::uint64_t bytes,
                         std::chrono::steady_clock::time_point start) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char text[128];
    std::snprintf(text, sizeof text, "Checking entries: %llu, %.1f MB, %.0f entries/s",
                  static_cast<unsigned long long>(records), static_cast<double>(bytes) / 1e6,
                  seconds > 0 ? static_cast<double>(records) / seconds : 0.0);
    return text;
}

}  // namespace

int RunFit(const Arguments& args) {
    RequireOperands(args, 2);
    const std::string& entries = args.operands[0];
    const TreeOperand tree = ParseTreeOperand(args.operands[1]);
    if (entries == "-" && tree.standardInput)
        throw UsageError("ENTRIES and TREE cannot both be standard input");
    std::optional<TreeOperand> mapFrom;
    if (!args.mapFrom.empty()) {
        mapFrom = ParseTreeOperand(args.mapFrom);
        if (mapFrom->standardInput && (entries == "-" || tree.standardInput))
            throw UsageError("standard input can be read once: give --map-from a file");
    }
    if (!args.rejects.empty() && args.rejects == args.accepted)
        throw UsageError("--rejects and --accepted name the same file");

    Session session(tree.live || (mapFrom && mapFrom->live), args.quiet);
    session.load(1, tree);
    if (session.ui().troubleShown()) return session.finish(kExitTrouble);
    const std::shared_ptr<const TreeSchema> schema = SchemaOf(session, 1, tree);
    std::shared_ptr<const TreeSchema> other;
    if (mapFrom) {
        session.load(2, *mapFrom);
        if (session.ui().troubleShown()) return session.finish(kExitTrouble);
        other = SchemaOf(session, 2, *mapFrom);
    }
    EntriesInput input(entries);
    LdifOutput rejects(args.rejects);
    LdifOutput accepted(args.accepted);

    const FitSchema fitSchema(*schema, other.get());
    FitOptions options;
    options.offlineLoad = args.offlineLoad;
    options.parents = args.parents;
    options.lengths = !args.skipBounds;
    options.syntaxes = !args.skipSyntaxes;
    options.rdnValues = !args.skipRdnValues;
    options.oneChain = !args.skipOneChain;
    const FitRunInfo run{entries, args.operands[1], args.mapFrom,
                         std::string("kalvix-cli (Kalvix ") + ProgramVersion() + ")"};
    const std::unique_ptr<OutputWriter> writer = MakeOutputWriter(args.format);
    const OutputFn out = StandardOutput(session.progress());
    Progress& progress = session.progress();
    const auto start = std::chrono::steady_clock::now();

    FitHooks hooks;
    hooks.refused = [&](const FitVerdict& verdict) { writer->fitEntry(run, verdict, out); };
    if (rejects.open() || accepted.open())
        hooks.record = [&](std::string_view text, bool refused) {
            LdifOutput& to = refused ? rejects : accepted;
            if (to.open()) to.record(text);
        };
    if (progress.enabled())
        hooks.progress = [&](std::uint64_t records, std::uint64_t bytes) {
            progress.show(ProgressText(records, bytes, start));
        };
    const FitSummary summary =
        RunFit(input.fd(), fitSchema, options, hooks, args.jobsGiven ? args.jobs : 0);
    progress.clear();
    writer->fitEnd(run, summary, out);
    FlushOutput();
    rejects.finish();
    accepted.finish();
    if (!summary.readError.empty()) {
        Complain(entries + ": cannot be read to its end: " + summary.readError);
        return kExitTrouble;
    }
    session.leaveTreesToExit();
    const bool allFit = summary.refused == 0 && summary.malformed == 0;
    return session.finish(allFit ? kExitSame : kExitDifferent);
}

}  // namespace cli
