#include "cli/CliCommon.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/D_Util.h"
#include "core/RegularFile.h"
#include "core/SchemaFile.h"
#include "core/TreeLoading.h"
#include "core/directory/D_NW.h"
#include "sources/ClientConfig.h"
#include "sources/ClientFactory.h"
#include "sources/LdapSchema.h"

namespace cli {

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(40);
constexpr std::size_t kProgressWidth = 78;
// More than any real schema file; a stream without end must not fill the disk.
constexpr qint64 kMaxStandardInput = qint64{1} << 30;
const char* const kTreePrefix = "tree:";
// More connections at once than any directory would welcome from one client.
constexpr unsigned long kMaxJobs = 256;

// The value of an option given as "--name VALUE" or "--name=VALUE".
std::string OptionValue(const std::vector<std::string>& args, std::size_t& i,
                        const std::string& name, const char* expected) {
    const std::string& arg = args[i];
    if (arg != name) return arg.substr(name.size() + 1);
    if (i + 1 == args.size()) throw UsageError(name + " needs a value: " + expected);
    return args[++i];
}

// The words --ignore takes, for the message that names what it did not understand.
std::string IgnoreWords() {
    std::string words = "an extension's X- name, or any of these in any letter case:";
    const char* separator = " ";
    for (const std::string& label : FilterWords()) {
        words += separator;
        words += label;
        separator = ", ";
    }
    return words;
}

// Trees read at once: 1 to kMaxJobs.
unsigned ParseJobs(const std::string& value) {
    unsigned long jobs = 0;
    const bool digits = !value.empty() && value.size() <= 6 &&
                        value.find_first_not_of("0123456789") == std::string::npos;
    if (digits) jobs = std::stoul(value);
    if (!digits || jobs < 1 || jobs > kMaxJobs)
        throw UsageError("--jobs needs a number from 1 to " + std::to_string(kMaxJobs) + ", not '" +
                         value + "'");
    return static_cast<unsigned>(jobs);
}

}  // namespace

void ParseOptions(const std::vector<std::string>& args, unsigned accepts, Arguments& a) {
    bool optionsEnded = false;
    // Each --ignore adds its list to those before it.
    std::string ignored;
    bool ignoreGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            a.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            a.help = true;
        } else if ((accepts & kAcceptsQuiet) && (arg == "--quiet" || arg == "-q")) {
            a.quiet = true;
        } else if ((accepts & kAcceptsReconcile) &&
                   (arg == "--format" || arg.starts_with("--format="))) {
            const std::string value = OptionValue(args, i, "--format", "ldif or schema");
            if (value != "ldif" && value != "schema")
                throw UsageError("unknown format '" + value + "' (use ldif or schema)");
            a.schemaFileFormat = value == "schema";
        } else if ((accepts & kAcceptsFormat) &&
                   (arg == "--format" || arg.starts_with("--format="))) {
            const std::string value = OptionValue(args, i, "--format", OutputFormatNames().c_str());
            const OutputFormatEntry* format = FindOutputFormat(value);
            if (!format)
                throw UsageError("unknown format '" + value + "' (use " + OutputFormatNames() +
                                 ")");
            a.format = format->format;
            a.formatGiven = true;
        } else if ((accepts & kAcceptsSurvey) && arg == "--all-trees") {
            a.allTrees = true;
        } else if ((accepts & kAcceptsSurvey) && arg == "--details") {
            a.details = true;
        } else if ((accepts & (kAcceptsSurvey | kAcceptsFit)) &&
                   (arg == "--jobs" || arg.starts_with("--jobs="))) {
            a.jobs = ParseJobs(OptionValue(
                args, i, "--jobs",
                (accepts & kAcceptsSurvey) ? "a number of trees" : "a number of threads"));
            a.jobsGiven = true;
        } else if ((accepts & kAcceptsFit) &&
                   (arg == "--map-from" || arg.starts_with("--map-from="))) {
            a.mapFrom = OptionValue(args, i, "--map-from", "a tree operand");
            if (a.mapFrom.empty()) throw UsageError("--map-from needs a tree operand");
        } else if ((accepts & kAcceptsFit) &&
                   (arg == "--rejects" || arg.starts_with("--rejects="))) {
            a.rejects = OptionValue(args, i, "--rejects", "a file");
            if (a.rejects.empty()) throw UsageError("--rejects needs a file");
        } else if ((accepts & kAcceptsFit) &&
                   (arg == "--accepted" || arg.starts_with("--accepted="))) {
            a.accepted = OptionValue(args, i, "--accepted", "a file");
            if (a.accepted.empty()) throw UsageError("--accepted needs a file");
        } else if ((accepts & kAcceptsFit) && arg == "--offline-load") {
            a.offlineLoad = true;
        } else if ((accepts & kAcceptsFit) && arg == "--parents") {
            a.parents = true;
        } else if ((accepts & kAcceptsFit) && (arg == "--skip" || arg.starts_with("--skip="))) {
            const std::string list =
                OptionValue(args, i, "--skip", "bounds, syntaxes, rdn, chains, server-set");
            std::size_t start = 0;
            for (;;) {
                const std::size_t comma = list.find(',', start);
                const std::string word = list.substr(start, comma - start);
                if (word == "bounds")
                    a.skipBounds = true;
                else if (word == "syntaxes")
                    a.skipSyntaxes = true;
                else if (word == "rdn")
                    a.skipRdnValues = true;
                else if (word == "chains")
                    a.skipOneChain = true;
                else if (word == "server-set")
                    a.offlineLoad = true;
                else
                    throw UsageError(
                        "unknown check '" + word +
                        "' for --skip (use bounds, syntaxes, rdn, chains, server-set)");
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
        } else if ((accepts & kAcceptsShowKind) && arg == "--class") {
            a.classOnly = true;
        } else if ((accepts & kAcceptsShowKind) && arg == "--attribute") {
            a.attributeOnly = true;
        } else if ((accepts & kAcceptsReconcile) &&
                   (arg == "--dialect" || arg.starts_with("--dialect="))) {
            a.dialect = OptionValue(args, i, "--dialect", "rfc4512, openldap or ad");
            if (a.dialect != "rfc4512" && a.dialect != "openldap" && a.dialect != "ad")
                throw UsageError("unknown dialect '" + a.dialect +
                                 "' (use rfc4512, openldap or ad)");
        } else if ((accepts & kAcceptsReconcile) && arg == "--include-changed") {
            a.includeChanged = true;
        } else if ((accepts & kAcceptsReconcile) && arg == "--include-config-schema") {
            a.includeConfigSchema = true;
        } else if ((accepts & kAcceptsReconcile) &&
                   (arg == "--schema-name" || arg.starts_with("--schema-name="))) {
            a.schemaName = OptionValue(args, i, "--schema-name", "a name");
            if (a.schemaName.empty()) throw UsageError("--schema-name needs a name");
        } else if ((accepts & kAcceptsReconcile) &&
                   (arg == "--schema-dn" || arg.starts_with("--schema-dn="))) {
            a.schemaDn = OptionValue(args, i, "--schema-dn", "a DN");
            if (a.schemaDn.empty()) throw UsageError("--schema-dn needs a DN");
        } else if ((accepts & kAcceptsReconcile) && arg == "--forest-placeholder") {
            a.forestPlaceholder = true;
        } else if ((accepts & kAcceptsIgnore) &&
                   (arg == "--ignore" || arg.starts_with("--ignore="))) {
            const std::string list = OptionValue(args, i, "--ignore", "fields, or none");
            if (list.find_first_not_of(", ") == std::string::npos)
                throw UsageError("--ignore needs fields, or none");
            ignored += ignored.empty() ? list : "," + list;
            ignoreGiven = true;
        } else {
            throw UsageError("unknown option '" + arg + "' for " + a.command);
        }
    }
    if (a.classOnly && a.attributeOnly)
        throw UsageError("--class and --attribute exclude each other");
    if (ignoreGiven) {
        std::vector<std::string> unknown;
        a.fields = FieldFilter::Parse(ignored, unknown);
        if (!unknown.empty()) {
            std::string names;
            for (const std::string& name : unknown)
                names += (names.empty() ? "'" : ", '") + name + "'";
            throw UsageError("unknown field" + std::string(unknown.size() == 1 ? " " : "s ") +
                             names + " for --ignore (use " + IgnoreWords() + ")");
        }
    }
}

void RequireOperands(const Arguments& a, std::size_t count) {
    if (a.operands.size() < count)
        throw UsageError(a.command + " needs " + std::to_string(count) + " operand" +
                         (count == 1 ? "" : "s") + ", got " + std::to_string(a.operands.size()));
    if (a.operands.size() > count)
        throw UsageError("unexpected operand '" + a.operands[count] + "' for " + a.command);
}

Progress::Progress(bool enabled)
    : enabled_(enabled && isatty(STDERR_FILENO) == 1),
      outputOnTerminal_(isatty(STDOUT_FILENO) == 1) {}

Progress::~Progress() { clear(); }

void Progress::show(const std::string& text, bool forced) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (!forced && shown_ && now - last_ < kProgressInterval) return;
    last_ = now;
    // Control bytes of a name would move the cursor about.
    const std::string line = EscapeControlChars(text).substr(0, kProgressWidth);
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
    std::fflush(stderr);
    shown_ = true;
}

void Progress::clear() {
    if (!shown_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    shown_ = false;
}

void Progress::beforeOutput() {
    if (outputOnTerminal_) clear();
}

void CliUi::showMsgDlg(DlgType type, const std::string& msg) {
    progress_.clear();
    // The message's own line breaks stay; whatever else a name or a server put in it is
    // escaped.
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = msg.find('\n', start);
        const std::string line =
            EscapeControlChars(std::string_view(msg).substr(start, end - start));
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fputc('\n', stderr);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    std::fflush(stderr);
    if (type == DlgType::Error || type == DlgType::Warning) trouble_ = true;
}

namespace {

// What the user can do about a failure the client explains with code.
std::string WhatToDo(std::int64_t code) {
    const std::string config = ClientConfigPath();
    switch (code) {
        case ldapcode::kUnreachable:
            return "check that the server runs and that its address and TLS settings in " + config +
                   " are right";
        case ldapcode::kTimedOut:
            return "check that the server answers, or give it a longer \"timeout\" in " + config;
        case ldapcode::kBindRefused:
            return "check \"bindDn\" and \"passwordFile\" in " + config;
        case ldapcode::kNoAccess:
            return "bind as someone allowed to read the schema (\"bindDn\" in " + config + ")";
        case ldapcode::kNoSubschema:
            return "check that " + config + " names the right server or files";
        case ldapcode::kFileError:
            return "check the files " + config + " names";
        case ldapcode::kBadSchema:
            return "mend the definitions named";
        default:
            return {};
    }
}

}  // namespace

std::string DirectoryErrorText(std::int64_t code, const std::string& operation,
                               const std::string& explanation, const std::string& tree) {
    const std::size_t colon = operation.find(": ");
    const std::string step = operation.substr(0, colon);
    const std::string name =
        colon == std::string::npos ? std::string() : DoubleQuote(operation.substr(colon + 2));
    const std::string ofTree =
        tree.empty() ? std::string("the tree") : "the tree " + DoubleQuote(tree);
    std::string what;
    if (step == "DSChangeCurrentTree")
        what = "cannot read " + ofTree;
    else if (step == "U_DSReadAvailableClasses")
        what = "cannot read the class names of " + ofTree;
    else if (step == "U_DSReadAvailableAttributes" && code == ldapcode::kBadSchema)
        what = ofTree + " is read without the definitions that do not parse";
    else if (step == "U_DSReadAvailableAttributes")
        what = "cannot read the attribute names of " + ofTree;
    else if (step == "U_DSGetClassDef" && !name.empty())
        what = "cannot read the class " + name;
    else if (step == "U_DSReadAttributes" && !name.empty())
        what = "cannot read the item lists of the class " + name;
    else if (step == "U_DSGetAttributeInfo" && !name.empty())
        what = "cannot read the attribute " + name;
    else
        what = "the directory client failed in " + operation;
    const std::string hint = WhatToDo(code);
    const std::string codeText = ErrorCodeText(code, "");
    // "Error FFFFFD8F: " as the window has it, lower-cased and without the colon.
    const std::string last = "error " + codeText.substr(6, codeText.size() - 8);
    const std::string tail = " (" + (hint.empty() ? last : hint + "; " + last) + ")";
    if (explanation.empty()) return what + tail;
    if (explanation.find('\n') == std::string::npos) return what + ": " + explanation + tail;
    return what + tail + ":\n" + explanation;
}

void CliUi::showDirectoryError(std::int64_t code, const std::string& operation,
                               const std::string& explanation) {
    progress_.clear();
    const std::string text = DirectoryErrorText(code, operation, explanation, tree_);
    const std::size_t end = text.find('\n');
    Complain(text.substr(0, end));
    if (end != std::string::npos) showMsgDlg(DlgType::Error, text.substr(end + 1));
    trouble_ = true;
}

void CliUi::showSourceProblem(const SourceProblem& problem) {
    if (problem.remark && quiet_) return;
    progress_.clear();
    const std::string text = SourceProblemText(problem);
    const std::size_t end = text.find('\n');
    Complain(text.substr(0, end));
    const DlgType type = problem.remark ? DlgType::Information : DlgType::Error;
    if (end != std::string::npos) showMsgDlg(type, text.substr(end + 1));
    trouble_ = trouble_ || !problem.remark;
}

TreeOperand ParseTreeOperand(const std::string& text) {
    TreeOperand operand;
    operand.text = text;
    if (text.starts_with(kTreePrefix)) {
        operand.live = true;
        operand.name = text.substr(std::strlen(kTreePrefix));
        if (operand.name.empty()) throw UsageError("'tree:' needs a tree name");
        return operand;
    }
    if (text.empty()) throw UsageError("an empty operand is neither a file nor a tree");
    if (text == "-") {
        operand.standardInput = true;
        operand.path = text;
        return operand;
    }
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(text, ec);
    operand.path = ec ? text : absolute.string();
    return operand;
}

void CheckReadableFile(const std::string& path) {
    // Opened without blocking: a FIFO named as the schema file must not hang the command.
    const RegularFile file(path);
    if (file.ok()) return;
    const std::string why = file.error() == EISDIR ? std::string("it is a folder") : file.reason();
    throw Trouble("cannot read the schema file " + path + ": " + why);
}

Session::Session(bool needClient, bool quiet)
    : progress_(!quiet), ui_(progress_, quiet), needClient_(needClient) {
    // Without a live tree the configuration is not even looked at: a file comparison must
    // not depend on the workstation's client.
    ws_ = std::make_unique<Workspace>(needClient ? CreateConfiguredClient()
                                                 : CreateUnavailableClient(""));
    ws_->OpenSchemaFiles = SchemaFilesAt;
    for (int tree = 1; tree <= 2; ++tree) {
        TTreeInfo& slot = ws_->tree(tree);
        slot.ClassNames.clear();
        slot.AttrNames.clear();
        ws_->client().dcNewContext(slot.Context);
    }
    if (needClient) startClient();
}

void Session::startClient() {
    DirClient& client = ws_->client();
    if (NoClientConfig()) {
        const std::string demo = DemoClientConfigPath();
        throw Trouble("no directory client configuration (set KALVIX_CLIENT, or create " +
                      UserClientConfigShown() + " as kalvix-client.json(5) describes" +
                      (demo.empty() ? std::string() : "; the demo is " + demo) + ")");
    }
    // The window's start-up dialog names the client's own steps; here the run says what
    // is wrong in words of its own.
    SilentUi silent;
    const std::uint32_t code = InitNetWare(client, ws_->Session, silent);
    const std::string config = ClientConfigPath();
    if (code == 0xFFFF) {
        // The reason names the file; a file with no usable connection names each.
        const std::string reason = ClientMessageText(client, code);
        if (reason.find('\n') == std::string::npos)
            throw Trouble("cannot use the directory client configuration: " + reason +
                          " (mend it as kalvix-client.json(5) describes, or name another with "
                          "KALVIX_CLIENT)");
        // Each connection left out, then that none is left.
        progress_.clear();
        const std::size_t last = reason.rfind('\n');
        for (std::size_t start = 0; start < last;) {
            const std::size_t end = reason.find('\n', start);
            Complain(reason.substr(start, end - start));
            start = end + 1;
        }
        throw Trouble(reason.substr(last + 1) + " (mend them as kalvix-client.json(5) describes)");
    }
    if (code != 0) {
        const std::string why = ClientMessageText(client, code);
        throw Trouble("the directory client cannot start" + (why.empty() ? "" : ": " + why) +
                      " (check \"connections\" and \"primary\" in " + config + "; " + "error " +
                      ClientErrorText(client, code).substr(0, 6) + ")");
    }
    // Said once, and no trouble: the other connections serve as usual.
    const std::string notice = client.configurationNotice();
    for (std::size_t start = 0; !notice.empty() && start <= notice.size();) {
        std::size_t end = notice.find('\n', start);
        if (end == std::string::npos) end = notice.size();
        Complain(notice.substr(start, end - start));
        start = end + 1;
    }
    ListReachableTrees(client, ui_, reachable_);
}

Session::~Session() {
    progress_.clear();
    if (!ws_) return;
    for (int tree = 1; tree <= 2; ++tree) ws_->client().dcDropContext(ws_->tree(tree).Context);
}

std::string Session::matchTree(const std::string& name) const {
    if (const int index = FindReachableTree(reachable_, name); index >= 0)
        return reachable_[static_cast<std::size_t>(index)];
    throw Trouble(NoTreeNamedText(name, reachable_));
}

void Session::load(int tree, const TreeOperand& operand) {
    if (operand.live)
        loadOnline(tree, matchTree(operand.name));
    else
        loadOffline(tree, operand);
}

void Session::loadOnline(int tree, const std::string& treeName) {
    Workspace& ws = *ws_;
    TTreeInfo& slot = ws.tree(tree);
    ws.CurrentTree = tree;
    progress_.show("Tree #" + std::to_string(tree) + ": " + treeName);
    ui_.setTree(treeName);
    // A tree that cannot be read as a whole gets no comparison: with no names, every name
    // of the other tree would pass for unique.
    if (!LoadTree(ws, ui_, tree, TreeSource::Live(treeName)).loaded)
        throw Trouble("nothing was compared");
    ui_.setTree({});
    if (slot.ClassNames.empty() && slot.AttrNames.empty())
        throw Trouble("the tree \"" + treeName +
                      "\" shows no class or attribute names; nothing was compared");
}

Session::Descriptor::~Descriptor() {
    if (fd >= 0) ::close(fd);
}

namespace {

// An open file without a name in folder, or -1 and why.
int OpenUnnamedFile(const std::string& folder, std::string& why) {
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        why = folder + ": " + std::strerror(errno);
        return -1;
    }
    // A file system without O_TMPFILE: a named file, unlinked at once. The signals that
    // end a run wait until it has no name.
    std::string path = folder + "/kalvix-cli-XXXXXX";
    sigset_t ending;
    sigset_t before;
    sigemptyset(&ending);
    for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&ending, s);
    sigprocmask(SIG_BLOCK, &ending, &before);
    fd = ::mkostemp(path.data(), O_CLOEXEC);
    const int error = errno;
    if (fd >= 0) ::unlink(path.c_str());
    sigprocmask(SIG_SETMASK, &before, nullptr);
    if (fd < 0) why = folder + ": " + std::strerror(error);
    return fd;
}

}  // namespace

std::string Session::copyStandardInput() {
    if (standardInput_.fd >= 0) throw UsageError("standard input (-) can serve one operand only");
    const std::string keepFailed = "cannot keep standard input in a temporary file: ";
    std::string why;
    const char* tmpdir = std::getenv("TMPDIR");
    standardInput_.fd = OpenUnnamedFile(tmpdir && *tmpdir ? tmpdir : "/tmp", why);
    if (standardInput_.fd < 0) throw Trouble(keepFailed + why);
    char buffer[65536];
    qint64 total = 0;
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Trouble(std::string("cannot read the schema file from standard input: ") +
                          std::strerror(errno));
        }
        total += n;
        if (total > kMaxStandardInput)
            throw Trouble("the schema file on standard input is larger than 1 GiB");
        for (ssize_t written = 0; written < n;) {
            const ssize_t w =
                ::write(standardInput_.fd, buffer + written, static_cast<std::size_t>(n - written));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) throw Trouble(keepFailed + std::strerror(w < 0 ? errno : ENOSPC));
            written += w;
        }
    }
    const std::string path = "/proc/self/fd/" + std::to_string(standardInput_.fd);
    if (::access(path.c_str(), R_OK) != 0)
        throw Trouble(keepFailed + path +
                      " cannot be opened (is /proc mounted?); give the file's path instead");
    return path;
}

namespace {

// A bare word that names no file but a configured tree (as its configuration names it, no
// server asked): the tree meant, written as an operand; else empty.
std::string TreeMeant(const TreeOperand& operand) {
    if (operand.standardInput || operand.text.find('/') != std::string::npos) return {};
    std::error_code ec;
    if (std::filesystem::symlink_status(operand.path, ec).type() !=
        std::filesystem::file_type::not_found)
        return {};
    ClientConfig config;
    std::string error;
    if (!ReadClientConfig(ClientConfigPath(), config, error)) return {};
    for (const ConnectionConfig& c : config.connections)
        if (!c.treeName.empty() && AsciiUpper(c.treeName) == AsciiUpper(operand.text))
            return std::string(kTreePrefix) + c.treeName;
    return {};
}

}  // namespace

void Session::loadOffline(int tree, const TreeOperand& operand) {
    const std::string path = operand.standardInput ? copyStandardInput() : operand.path;
    if (const std::string meant = TreeMeant(operand); !meant.empty())
        throw Trouble("cannot read the schema file " + path +
                      ": No such file or directory (did you mean " + meant + "?)");
    // A folder of .schema files is read whole; any other operand is a file.
    if (std::error_code ec; !std::filesystem::is_directory(path, ec)) CheckReadableFile(path);
    Workspace& ws = *ws_;
    ws.CurrentTree = tree;
    const TreeLoad load = LoadTree(ws, ui_, tree, TreeSource::File(path),
                                   [this](const std::string& message) { progress_.show(message); });
    // A file of LDAP definitions that cannot be read has said why, as a server would.
    if (!load.loaded && load.code != 0) throw Trouble("nothing was compared");
    if (!load.problem.empty())
        throw Trouble("cannot read the schema file " + operand.path + ": " + load.problem);
    // A file without a single name is no schema file; comparing it would call every name
    // of the other tree unique.
    if (load.noSchema)
        throw Trouble(
            (operand.standardInput ? std::string("standard input") : "the file " + operand.path) +
            " holds no schema (no class or attribute names)");
    // Reports name the operand the user gave, not the copy.
    if (operand.standardInput) ws.tree(tree).FileName = "-";
}

void Session::leaveTreesToExit() {
#if !defined(__SANITIZE_ADDRESS__)  // the leak checker would count them
    if (!needClient_) (void)ws_.release();
#endif
}

int Session::finish(int status) {
    progress_.clear();
    return ui_.troubleShown() ? kExitTrouble : status;
}

void WriteLine(const std::string& line) {
    const std::string shown = EscapeControlChars(line);
    std::fwrite(shown.data(), 1, shown.size(), stdout);
    std::fputc('\n', stdout);
}

void FlushOutput() {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        if (errno == EPIPE) throw BrokenPipe();
        throw Trouble(std::string("cannot write the output: ") + std::strerror(errno));
    }
}

void Complain(const std::string& text) {
    const std::string shown = EscapeControlChars(text);
    std::fwrite("kalvix-cli: ", 1, 12, stderr);
    std::fwrite(shown.data(), 1, shown.size(), stderr);
    std::fputc('\n', stderr);
}

}  // namespace cli
