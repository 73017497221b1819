#include "CliCommon.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "ClientFactory.h"
#include "D_NW.h"
#include "D_Util.h"
#include "SchemaFile.h"

namespace cli {

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(40);
constexpr std::size_t kProgressWidth = 78;
const char* const kTreePrefix = "tree:";

}  // namespace

void ParseOptions(const std::vector<std::string>& args, unsigned accepts, Arguments& a) {
    bool optionsEnded = false;
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
        } else if ((accepts & kAcceptsFormat) &&
                   (arg == "--format" || arg.starts_with("--format="))) {
            std::string value;
            if (arg == "--format") {
                if (i + 1 == args.size())
                    throw UsageError("--format needs a value: text, json or html");
                value = args[++i];
            } else {
                value = arg.substr(std::strlen("--format="));
            }
            if (value == "text")
                a.format = Format::Text;
            else if (value == "json")
                a.format = Format::Json;
            else if (value == "html")
                a.format = Format::Html;
            else
                throw UsageError("unknown format '" + value + "' (use text, json or html)");
            a.formatGiven = true;
        } else if ((accepts & kAcceptsShowKind) && arg == "--class") {
            a.classOnly = true;
        } else if ((accepts & kAcceptsShowKind) && arg == "--attribute") {
            a.attributeOnly = true;
        } else {
            throw UsageError("unknown option '" + arg + "' for " + a.command);
        }
    }
    if (a.classOnly && a.attributeOnly)
        throw UsageError("--class and --attribute exclude each other");
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
    std::string line = text.substr(0, kProgressWidth);
    // Control bytes of a name would move the cursor about.
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
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
    std::fwrite(msg.data(), 1, msg.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    if (type == DlgType::Error || type == DlgType::Warning) trouble_ = true;
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
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(text, ec);
    operand.path = ec ? text : absolute.string();
    return operand;
}

void CheckReadableFile(const std::string& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) {
        const int err = ec ? ec.value() : ENOENT;
        throw Trouble("cannot read the schema file " + path + ": " + std::strerror(err));
    }
    if (std::filesystem::is_directory(status))
        throw Trouble("cannot read the schema file " + path + ": it is a folder");
    if (!std::filesystem::is_regular_file(status))
        throw Trouble("cannot read the schema file " + path + ": not a regular file");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Trouble("cannot read the schema file " + path + ": " + std::strerror(errno));
}

Session::Session(bool needClient, bool quiet) : progress_(!quiet), ui_(progress_) {
    // Without a live tree the configuration is not even looked at: a file comparison must
    // not depend on the workstation's client.
    ws_ = std::make_unique<Workspace>(needClient ? CreateConfiguredClient()
                                                 : CreateUnavailableClient(""));
    for (int tree = 1; tree <= 2; ++tree) {
        TTreeInfo& slot = ws_->tree(tree);
        slot.ClassNames.clear();
        slot.AttrNames.clear();
        ws_->client().dcNewContext(slot.Context);
    }
    if (!needClient) return;
    // InitNetWare has already said why on standard error when it fails.
    if (InitNetWare(ws_->client(), ws_->Session, ui_) != 0)
        throw Trouble("the directory client cannot start");
    ListReachableTrees(ws_->client(), ui_, reachable_);
}

Session::~Session() {
    progress_.clear();
    for (int tree = 1; tree <= 2; ++tree) ws_->client().dcDropContext(ws_->tree(tree).Context);
}

std::string Session::matchTree(const std::string& name) const {
    for (const std::string& tree : reachable_)
        if (tree == name) return tree;
    // The selectors keep one spelling per tree, whatever the letter case.
    for (const std::string& tree : reachable_)
        if (AsciiUpper(tree) == AsciiUpper(name)) return tree;
    std::string known;
    for (const std::string& tree : reachable_) known = JoinNonEmpty(known, tree, ", ");
    throw Trouble("the tree \"" + name + "\" is not reachable" +
                  (known.empty() ? std::string(" (the client reaches no tree)")
                                 : " (reachable: " + known + ")"));
}

void Session::load(int tree, const TreeOperand& operand) {
    if (operand.live)
        loadOnline(tree, matchTree(operand.name));
    else
        loadOffline(tree, operand);
}

void Session::loadOnline(int tree, const std::string& treeName) {
    Workspace& ws = *ws_;
    DirClient& client = ws.client();
    TTreeInfo& slot = ws.tree(tree);
    ws.CurrentTree = tree;
    slot.Online = 1;
    slot.TreeName = treeName;
    progress_.show("Tree #" + std::to_string(tree) + ": " + treeName);
    ws.LastError = DSChangeCurrentTree(client, slot.Context, slot.TreeName);
    ReportDirectoryError(ws.client(), ui_, ws.LastError, "DSChangeCurrentTree");
    ChangeContextFlags(client, slot.Context, '+', 4);
    if (ws.LastError != 0) return;
    slot.ClassNames.clear();
    ws.LastError = U_DSReadAvailableClasses(client, slot.Context, slot.ClassNames);
    ReportDirectoryError(ws.client(), ui_, ws.LastError, "U_DSReadAvailableClasses");
    slot.AttrNames.clear();
    ws.LastError = U_DSReadAvailableAttributes(client, slot.Context, "*", slot.AttrNames);
    ReportDirectoryError(ws.client(), ui_, ws.LastError, "U_DSReadAvailableAttributes");
    SortNames(slot.ClassNames);
    SortNames(slot.AttrNames);
}

void Session::loadOffline(int tree, const TreeOperand& operand) {
    CheckReadableFile(operand.path);
    Workspace& ws = *ws_;
    TTreeInfo& slot = ws.tree(tree);
    ws.CurrentTree = tree;
    OpenSchemaFileIntoSlot(slot, operand.path);
    slot.ClassNames.clear();
    slot.AttrNames.clear();
    ReadSchemaNames(slot, [this](const std::string& message) { progress_.show(message); });
    // A file without a single name is no schema file; comparing it would call every name
    // of the other tree unique.
    if (slot.ClassNames.empty() && slot.AttrNames.empty())
        throw Trouble("the file " + operand.path +
                      " holds no schema (no class or attribute names)");
    SortNames(slot.ClassNames);
    SortNames(slot.AttrNames);
}

int Session::finish(int status) {
    progress_.clear();
    return ui_.troubleShown() ? kExitTrouble : status;
}

void WriteLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

void FlushOutput() {
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        throw Trouble(std::string("cannot write the output: ") + std::strerror(errno));
}

void Complain(const std::string& text) {
    std::fwrite("kalvix-cli: ", 1, 12, stderr);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
}

}  // namespace cli
