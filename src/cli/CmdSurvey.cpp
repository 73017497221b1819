// survey: many trees, each compared with one baseline, read a few at a time. Every tree is
// read and compared by a worker of its own workspace (its own client, connections and
// timeouts), so a slow or dead server holds up nothing but its own worker; the lines go
// out in the order the trees were given. A tree's schema is let go as soon as it has been
// compared: what stays is its findings. The baseline is read once, before any worker
// starts, and the workers share it.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <semaphore>
#include <set>
#include <thread>

#include "cli/Commands.h"
#include "core/RegularFile.h"
#include "core/SchemaFile.h"
#include "core/TreeLoading.h"
#include "core/compare/Compare.h"
#include "core/directory/D_NW.h"
#include "sources/ClientConfig.h"
#include "sources/ClientFactory.h"
#include "sources/ConnectionKind.h"

namespace cli {

namespace {

constexpr auto kProgressTick = std::chrono::milliseconds(100);

// What the core would show a user while one tree is read and compared, kept for its line.
class CollectingUi : public UiHooks {
  public:
    void showMsgDlg(DlgType type, const std::string& msg) override {
        if (type != DlgType::Error && type != DlgType::Warning) return;
        std::string text = msg;
        std::replace(text.begin(), text.end(), '\n', ' ');
        messages.push_back(std::move(text));
    }
    void showSourceProblem(const SourceProblem& problem) override {
        // A tree read whole is compared whole; what the files leave open is not its verdict.
        if (problem.remark) return;
        showMsgDlg(DlgType::Error, SourceProblemText(problem));
    }
    void processEvents() override {}
    bool runsEvents() const override { return false; }

    // The messages as one reason; fallback when there were none.
    std::string reason(const std::string& fallback) const {
        std::string text;
        for (const std::string& m : messages) text += (text.empty() ? "" : "; ") + m;
        return text.empty() ? fallback : text;
    }

    std::vector<std::string> messages;
};

class TreeFailed : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

SurveySource SourceOf(const TTreeInfo& slot) {
    const ReportTree tree = ReportTreeOf(slot, slot.Online ? LiveTreeHow(slot.TreeName) : "");
    const SlotKind kind = KindOf(slot);
    const bool live = kind == SlotKind::Live;
    std::string file = slot.FileName;
    if (kind == SlotKind::LdifDump || kind == SlotKind::SchemaFiles)
        file = slot.Schema->origin.description;
    return {tree.name, tree.source, live, live ? "" : file, SlotKindWord(kind)};
}

// What the trees being read and compared at once may hold, counted in the bytes of their
// source: a schema file's size, the definitions a server published. A worker waits for its
// tree's share before reading it, so the run's memory follows the budget, not --jobs. A
// server's tree is not known in size until it has been read: it is charged the largest
// tree read so far, and the most one answer may take before any has been read; once read,
// its charge becomes what it holds. A tree larger than the whole budget goes alone.
class TreeBudget {
  public:
    static constexpr std::uint64_t kBytes = std::uint64_t{128} << 20;
    static constexpr std::uint64_t kAnswerBound = std::uint64_t{64} << 20;

    // Waits for room and takes it; the charge taken.
    std::uint64_t take(std::optional<std::uint64_t> size) {
        std::unique_lock lock(mutex_);
        const std::uint64_t charge = std::min(size       ? *size
                                              : largest_ ? largest_
                                                         : kAnswerBound,
                                              kBytes);
        freed_.wait(lock, [&] { return used_ == 0 || used_ + charge <= kBytes; });
        used_ += charge;
        return charge;
    }
    // A tree of unknown size has been read: its charge becomes its size.
    void settle(std::uint64_t& charge, std::uint64_t size) {
        std::lock_guard lock(mutex_);
        largest_ = std::max(largest_, size);
        used_ = used_ - charge + size;
        charge = size;
        freed_.notify_all();
    }
    void give(std::uint64_t charge) {
        std::lock_guard lock(mutex_);
        used_ -= charge;
        freed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable freed_;
    std::uint64_t used_ = 0;
    std::uint64_t largest_ = 0;
};

// What a tree read whole holds, in its source's bytes.
std::uint64_t HeldBytes(const TTreeInfo& slot) {
    std::uint64_t bytes = 0;
    if (slot.Schema)
        for (int type = 0; type < kElementTypes; ++type)
            for (const LdapElement& e : slot.Schema->published.of(static_cast<ElementType>(type)))
                bytes += e.text.size();
    for (const NameList* names : {&slot.ClassNames, &slot.AttrNames})
        for (const auto& name : *names) bytes += name.name.size() + sizeof name;
    return bytes;
}

// The baseline file's bytes as they stood when the survey began, kept in memory of the run's
// own, sealed: a file replaced, changed or removed during the run changes nothing, and the
// workers read the baseline's records from here, each when it needs them (those reads are
// one reader's).
class PinnedBaseline {
  public:
    PinnedBaseline() = default;
    ~PinnedBaseline() {
        if (fd_ >= 0) ::close(fd_);
    }
    PinnedBaseline(const PinnedBaseline&) = delete;
    PinnedBaseline& operator=(const PinnedBaseline&) = delete;

    void pin(const std::string& path) {
        // Opened once, as CheckReadableFile would: a FIFO must not hang the run.
        RegularFile file(path);
        if (!file.ok())
            throw Trouble("cannot read the schema file " + path + ": " +
                          (file.error() == EISDIR ? std::string("it is a folder") : file.reason()));
        fd_ = ::memfd_create("kalvix-baseline", MFD_CLOEXEC | MFD_ALLOW_SEALING);
        if (fd_ < 0)
            throw Trouble("cannot keep the baseline " + path +
                          " in memory: " + std::strerror(errno));
        constexpr std::uint64_t kMost = std::uint64_t{4} << 30;  // as a schema file may be
        std::vector<char> buffer(std::size_t{1} << 20);
        std::uint64_t total = 0;
        for (;;) {
            const ssize_t n = ::read(file.fd(), buffer.data(), buffer.size());
            if (n == 0) break;
            if (n < 0 && errno == EINTR) continue;
            if (n < 0)
                throw Trouble("cannot read the schema file " + path + ": " + std::strerror(errno));
            total += static_cast<std::uint64_t>(n);
            if (total >= kMost)
                throw Trouble("cannot read the schema file " + path +
                              ": too large (4 GiB or more)");
            for (ssize_t written = 0; written < n;) {
                const ssize_t w =
                    ::write(fd_, buffer.data() + written, static_cast<std::size_t>(n - written));
                if (w < 0 && errno == EINTR) continue;
                if (w <= 0)
                    throw Trouble("cannot keep the baseline " + path +
                                  " in memory: " + std::strerror(w < 0 ? errno : ENOSPC));
                written += w;
            }
        }
        ::fcntl(fd_, F_ADD_SEALS, F_SEAL_WRITE | F_SEAL_GROW | F_SEAL_SHRINK | F_SEAL_SEAL);
        if (::access(this->path().c_str(), R_OK) != 0)
            throw Trouble("cannot keep the baseline " + path + " in memory: " + this->path() +
                          " cannot be opened (is /proc mounted?)");
    }
    std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

  private:
    int fd_ = -1;
};

// The baseline read from its pinned bytes into slot 1, as Session::load reads a file; the
// messages name the file as given.
void LoadPinnedBaseline(Session& session, const TreeOperand& operand, const std::string& pinned) {
    Workspace& ws = session.ws();
    ws.CurrentTree = 1;
    const TreeLoad load =
        LoadTree(ws, session.ui(), 1, TreeSource::File(pinned),
                 [&session](const std::string& message) { session.progress().show(message); });
    if (!load.problem.empty())
        throw Trouble("cannot read the schema file " + operand.path + ": " + load.problem);
    if (load.noSchema)
        throw Trouble("the file " + operand.path +
                      " holds no schema (no class or attribute names)");
    ws.tree(1).FileName = operand.path;
}

// A survey takes long; output that cannot take a byte (a full disk, a descriptor not open
// for writing) is found before it starts. Nothing is written: a write of no bytes meets a
// device's refusal, and a regular file's file system is asked for its first block beyond
// the end, without the file growing.
void CheckOutputWritable() {
    auto fail = [](int err) {
        throw Trouble("cannot write the output: " + WriteErrorText(err) + "; nothing was surveyed");
    };
    struct stat st {};
    if (::fstat(STDOUT_FILENO, &st) != 0) fail(errno);
    const int flags = ::fcntl(STDOUT_FILENO, F_GETFL);
    if (flags < 0) fail(errno);
    if ((flags & O_ACCMODE) == O_RDONLY) fail(EBADF);
    if (::write(STDOUT_FILENO, "", 0) < 0 && errno != EAGAIN && errno != EINTR) fail(errno);
    if (!S_ISREG(st.st_mode)) return;
    const off_t at = (flags & O_APPEND) != 0 ? st.st_size : ::lseek(STDOUT_FILENO, 0, SEEK_CUR);
    const off_t block = st.st_blksize > 0 ? st.st_blksize : 4096;
    if (at >= 0 && ::fallocate(STDOUT_FILENO, FALLOC_FL_KEEP_SIZE, at, block) != 0 &&
        (errno == ENOSPC || errno == EDQUOT || errno == EFBIG || errno == EIO))
        fail(errno);
}

// What the workers share: the trees to survey and where their results go.
struct Plan {
    Plan(const Arguments& a, bool client, const TTreeInfo& base, std::vector<TreeOperand> trees,
         std::ptrdiff_t cores)
        : args(a),
          needClient(client),
          baseline(base),
          operands(std::move(trees)),
          localGate(cores) {}

    const Arguments& args;
    bool needClient = false;
    const TTreeInfo& baseline;  // read by the main thread; never changed while workers run
    // A file baseline's pinned bytes, which a worker reads the records from.
    std::string baselineRecords;
    TreeBudget budget;
    std::vector<TreeOperand> operands;
    std::vector<std::string> liveNames;  // the reachable name a live operand stands for
    // Trees whose reading is this machine's own work (a schema file, an LDIF dump, schema
    // files, a simulated tree) are read and compared a core's worth at a time: more at once
    // would hold more schemas without finishing sooner. A server's tree may wait on the
    // network, so up to --jobs of those are read at once.
    std::vector<bool> local;
    std::counting_semaphore<256> localGate;

    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::condition_variable settled;
    std::vector<std::optional<SurveyTree>> results;
    std::size_t done = 0;
};

// What a tree's line begins with: a live tree's name as the client reaches it (as given
// when it does not), else the operand.
std::string LabelOf(const Plan& plan, std::size_t index) {
    const TreeOperand& operand = plan.operands[index];
    if (!operand.live) return operand.text;
    return plan.liveNames[index].empty() ? operand.name : plan.liveNames[index];
}

// One worker: a workspace of its own, the baseline in slot 1 for all its trees, each tree
// in slot 2 in turn.
class Worker {
  public:
    explicit Worker(Plan& plan)
        : plan_(plan),
          ws_(plan.needClient ? CreateConfiguredClient() : CreateUnavailableClient("")) {
        ws_.Fields = plan.args.fields;
        ws_.OpenSchemaFiles = SchemaFilesAt;
        for (int tree = 1; tree <= 2; ++tree) ws_.client().dcNewContext(ws_.tree(tree).Context);
        if (plan.needClient) {
            CollectingUi ui;
            started_ = InitNetWare(ws_.client(), ws_.Session, ui) == 0;
            startFailure_ = ui.reason("the directory client cannot start");
        }
    }
    ~Worker() {
        for (int tree = 1; tree <= 2; ++tree) ws_.client().dcDropContext(ws_.tree(tree).Context);
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    void run() {
        for (;;) {
            const std::size_t index = plan_.next.fetch_add(1);
            if (index >= plan_.operands.size()) return;
            SurveyTree tree;
            try {
                tree = survey(index);
            } catch (const std::exception& e) {
                tree = SurveyTree();
                tree.operand = plan_.operands[index].text;
                tree.label = LabelOf(plan_, index);
                tree.problem = dynamic_cast<const std::bad_alloc*>(&e) ? "out of memory" : e.what();
            }
            std::lock_guard lock(plan_.mutex);
            plan_.results[index] = std::move(tree);
            ++plan_.done;
            plan_.settled.notify_all();
        }
    }

  private:
    // Holds one of the local gate's places for as long as it lives.
    class LocalPlace {
      public:
        explicit LocalPlace(std::counting_semaphore<256>& gate) : gate_(gate) { gate_.acquire(); }
        ~LocalPlace() { gate_.release(); }
        LocalPlace(const LocalPlace&) = delete;
        LocalPlace& operator=(const LocalPlace&) = delete;

      private:
        std::counting_semaphore<256>& gate_;
    };

    // Holds a tree's share of the budget for as long as it lives.
    class BudgetShare {
      public:
        BudgetShare(TreeBudget& budget, std::optional<std::uint64_t> size)
            : budget_(budget), charge_(budget.take(size)), known_(size.has_value()) {}
        ~BudgetShare() { budget_.give(charge_); }
        BudgetShare(const BudgetShare&) = delete;
        BudgetShare& operator=(const BudgetShare&) = delete;
        void read(const TTreeInfo& slot) {
            if (!known_) budget_.settle(charge_, HeldBytes(slot));
        }

      private:
        TreeBudget& budget_;
        std::uint64_t charge_;
        bool known_;
    };

    SurveyTree survey(std::size_t index) {
        std::optional<LocalPlace> place;
        if (plan_.local[index]) place.emplace(plan_.localGate);
        const TreeOperand& operand = plan_.operands[index];
        SurveyTree tree;
        tree.operand = operand.text;
        tree.label = LabelOf(plan_, index);
        std::optional<BudgetShare> share;
        try {
            if (operand.live && plan_.liveNames[index].empty())
                throw TreeFailed("the tree \"" + operand.name + "\" is not reachable");
            if (plan_.needClient && !started_) throw TreeFailed(startFailure_);
            loadBaseline();
            share.emplace(plan_.budget, SizeOf(operand));
            CollectingUi ui;
            load(ui, operand, tree.label);
            share->read(ws_.tree(2));
            tree.read = true;
            tree.source = SourceOf(ws_.tree(2));
            compare(ui, tree.found);
            tree.notices = std::move(ui.messages);
        } catch (const std::bad_alloc&) {
            tree.read = false;
            tree.found = ComparisonFindings();
            tree.notices.clear();
            tree.problem = "out of memory";
        } catch (const std::exception& e) {
            tree.read = false;
            tree.problem = e.what();
        }
        // The schema goes before its share of the budget does.
        release();
        share.reset();
        if (tree.read) {
            tree.counts = CountDifferences(tree.found);
            tree.different = tree.found.different();
        }
        return tree;
    }

    // A schema file's size; nothing for a live tree, whose size shows once it is read.
    static std::optional<std::uint64_t> SizeOf(const TreeOperand& operand) {
        struct stat st {};
        if (operand.live || ::stat(operand.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            return std::nullopt;
        return static_cast<std::uint64_t>(st.st_size);
    }

    // The baseline's schema and names are the main thread's reading, shared (a schema is
    // never changed once read). A file's records are read through a file object of the
    // worker's own on the pinned bytes, parsed only when a comparison asks for a record. A
    // tree the client serves through its contexts is read again here: a client's contexts
    // are one reader's.
    void loadBaseline() {
        if (baselineLoaded_) return;
        const TTreeInfo& from = plan_.baseline;
        TTreeInfo& slot = ws_.tree(1);
        CollectingUi ui;
        if (!from.Online || from.Schema) {
            const DirContext context = slot.Context;
            slot = from;
            slot.Context = context;
            if (from.SchemaFile)
                slot.SchemaFile =
                    std::make_shared<IniFile>(plan_.baselineRecords, IniFile::Mode::Snapshot);
        } else {
            const TreeLoad load = LoadTree(ws_, ui, 1, TreeSource::Live(from.TreeName));
            if (!load.loaded || load.code != 0)
                throw TreeFailed("the baseline cannot be read again: " +
                                 ui.reason("no reason given"));
        }
        baselineLoaded_ = true;
    }

    // As the compare command loads its second tree.
    void load(CollectingUi& ui, const TreeOperand& operand, const std::string& treeName) {
        TTreeInfo& slot = ws_.tree(2);
        if (operand.live) {
            ws_.CurrentTree = 2;
            if (!LoadTree(ws_, ui, 2, TreeSource::Live(treeName)).loaded)
                throw TreeFailed(ui.reason("the directory gave no reason"));
            if (slot.ClassNames.empty() && slot.AttrNames.empty())
                throw TreeFailed(ui.reason("it shows no class or attribute names"));
        } else {
            CheckReadableFile(operand.path);
            const TreeLoad load = LoadTree(ws_, ui, 2, TreeSource::File(operand.path));
            if (!load.problem.empty())
                throw TreeFailed("cannot read the schema file " + operand.path + ": " +
                                 load.problem);
            if (load.noSchema)
                throw TreeFailed("the file " + operand.path +
                                 " holds no schema (no class or attribute names)");
        }
    }

    // What compare compares: classes, attributes, and the other element types when both
    // trees publish them.
    void compare(CollectingUi& ui, ComparisonFindings& found) {
        found.classes.emplace();
        CompareAllClasses(ws_, ui, {}, [&](const Finding& f) { found.classes->push_back(f); });
        found.attributes.emplace();
        CompareAllAttributes(ws_, ui, {},
                             [&](const Finding& f) { found.attributes->push_back(f); });
        if (PublishesOtherElements(ws_)) {
            found.elements.emplace();
            CompareOtherElements(ws_, [&](const Finding& f) { found.elements->push_back(f); });
        }
    }

    // The surveyed tree's schema, names and file go; the slot keeps its context.
    void release() {
        TTreeInfo& slot = ws_.tree(2);
        const DirContext context = slot.Context;
        slot = TTreeInfo();
        slot.Context = context;
    }

    Plan& plan_;
    Workspace ws_;
    bool started_ = true;
    std::string startFailure_;
    bool baselineLoaded_ = false;
};

void RunWorker(Plan& plan) {
    try {
        Worker worker(plan);
        worker.run();
    } catch (const std::exception& e) {
        // A worker that cannot even start leaves its trees to the others; should every
        // worker fail, the trees left get the reason.
        std::lock_guard lock(plan.mutex);
        for (std::size_t i = plan.next.fetch_add(plan.operands.size()); i < plan.operands.size();
             ++i) {
            SurveyTree tree;
            tree.operand = plan.operands[i].text;
            tree.label = LabelOf(plan, i);
            tree.problem = e.what();
            plan.results[i] = std::move(tree);
            ++plan.done;
        }
        plan.settled.notify_all();
    }
}

// The names of the configured trees that are read on this machine: every kind but "ldap".
std::set<std::string> LocalTreeKeys() {
    ClientConfig config;
    std::string error;
    std::set<std::string> keys;
    if (!ReadClientConfig(ClientConfigPath(), config, error)) return keys;
    for (const ConnectionConfig& c : config.connections)
        if (c.kind != "ldap" && !c.treeName.empty()) keys.insert(NameKey(c.treeName));
    return keys;
}

// "12 of 40 read".
std::string ReadText(Plan& plan, std::size_t count) {
    std::lock_guard lock(plan.mutex);
    return std::to_string(plan.done) + " of " + std::to_string(count) + " read";
}

int Survey(const Arguments& args) {
    if (args.operands.empty())
        throw UsageError("survey needs a baseline and the trees to compare with it");
    const TreeOperand baseline = ParseTreeOperand(args.operands[0]);
    std::vector<TreeOperand> operands;
    for (std::size_t i = 1; i < args.operands.size(); ++i) {
        operands.push_back(ParseTreeOperand(args.operands[i]));
        if (operands.back().standardInput)
            throw UsageError("standard input (-) can serve as the survey's baseline only");
    }
    if (operands.empty() && !args.allTrees)
        throw UsageError("survey needs trees to compare with the baseline (or --all-trees)");
    bool needClient = baseline.live || args.allTrees;
    for (const TreeOperand& operand : operands) needClient = needClient || operand.live;

    CheckOutputWritable();

    PinnedBaseline pinned;  // before the session: its slot reads from it to the end
    Session session(needClient, args.quiet);
    session.ws().Fields = args.fields;
    // A file of LDAP definitions is read whole once; only a schema file of Kalvix's own is
    // read record by record later, from bytes pinned for the run.
    if (baseline.live || baseline.standardInput || HoldsLdapDefinitions(baseline.path)) {
        // Standard input is kept in a file of the run's own already.
        session.load(1, baseline);
    } else {
        pinned.pin(baseline.path);
        LoadPinnedBaseline(session, baseline, pinned.path());
    }
    const TTreeInfo& base = session.ws().tree(1);

    // The reachable name each live operand stands for; empty when none.
    auto matched = [&session](const TreeOperand& operand) {
        try {
            return session.matchTree(operand.name);
        } catch (const Trouble&) {
            return std::string();
        }
    };
    if (args.allTrees) {
        std::set<std::string> given;
        if (base.Online) given.insert(base.TreeName);
        for (const TreeOperand& operand : operands)
            if (operand.live) given.insert(matched(operand));
        for (const std::string& name : session.reachableTrees())
            if (given.insert(name).second) operands.push_back(ParseTreeOperand("tree:" + name));
    }
    if (operands.empty()) throw Trouble("the client reaches no tree but the baseline");

    const std::size_t cores =
        std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), args.jobs);
    Plan plan(args, needClient, base, std::move(operands), static_cast<std::ptrdiff_t>(cores));
    const std::size_t count = plan.operands.size();
    if (!base.Online && base.SchemaFile) plan.baselineRecords = base.SchemaFile->FileName();
    plan.results.resize(count);
    plan.liveNames.resize(count);
    plan.local.resize(count, true);
    const std::set<std::string> localTrees = needClient ? LocalTreeKeys() : std::set<std::string>();
    for (std::size_t i = 0; i < count; ++i) {
        if (!plan.operands[i].live) continue;
        // A tree that is not reachable gets a line that says so; the others are still
        // surveyed.
        plan.liveNames[i] = matched(plan.operands[i]);
        plan.local[i] =
            plan.liveNames[i].empty() || localTrees.contains(NameKey(plan.liveNames[i]));
    }
    const bool allLocal =
        std::find(plan.local.begin(), plan.local.end(), false) == plan.local.end();

    SurveyRun run;
    run.baselineOperand = baseline.text;
    run.baseline = SourceOf(base);
    run.details = args.details;
    run.madeAt = ReportTimestamp();
    run.program = RunInfoOf(session.ws()).program;
    if (HasPublishedDefinitions(session.ws())) run.fieldsLeftOut = session.ws().Fields.described();
    run.trees.resize(count);

    const std::unique_ptr<OutputWriter> writer = MakeOutputWriter(args.format);
    const bool keep = writer->keepsSurveyFindings(run);
    const OutputFn out = StandardOutput(session.progress());
    Progress& progress = session.progress();

    // The session's client is made before any worker's: libldap starts there, and its start
    // touches the environment, which must not happen beside another thread's getenv.
    // jthread: should this thread throw, the workers are still joined on the way out.
    std::vector<std::jthread> workers;
    // Should this thread stop early (output that fails), the workers take no more trees.
    struct StopWorkers {
        Plan& plan;
        ~StopWorkers() { plan.next.store(plan.operands.size()); }
    } stop{plan};
    const std::size_t jobs = std::min<std::size_t>(allLocal ? cores : args.jobs, count);
    for (std::size_t i = 0; i < jobs; ++i) workers.emplace_back(RunWorker, std::ref(plan));

    // The first count replaces the baseline's loading text at once.
    bool firstProgress = true;
    bool unreadable = false;
    bool different = false;
    bool notices = false;
    for (std::size_t i = 0; i < count; ++i) {
        {
            std::unique_lock lock(plan.mutex);
            while (!plan.results[i]) {
                lock.unlock();
                progress.show(ReadText(plan, count), firstProgress);
                firstProgress = false;
                lock.lock();
                plan.settled.wait_for(lock, kProgressTick);
            }
            run.trees[i] = std::move(*plan.results[i]);
            plan.results[i].reset();
        }
        SurveyTree& tree = run.trees[i];
        for (const std::string& notice : tree.notices) {
            progress.clear();
            Complain(tree.label + ": " + notice);
        }
        writer->surveyTree(run, i, out);
        if (std::ferror(stdout)) FlushOutput();
        if (progress.enabled()) progress.show(ReadText(plan, count), firstProgress);
        firstProgress = false;
        unreadable = unreadable || !tree.read;
        different = different || tree.different;
        notices = notices || !tree.notices.empty();
        if (!keep) tree.found = ComparisonFindings();
    }
    for (std::jthread& worker : workers) worker.join();
    progress.clear();
    writer->surveyEnd(run, out);
    FlushOutput();
    if (!different && !unreadable && !args.quiet) std::fputs("No differences found\n", stderr);
    return session.finish(unreadable || notices ? kExitTrouble
                          : different           ? kExitDifferent
                                                : kExitSame);
}

}  // namespace

int RunSurvey(const Arguments& args) {
    try {
        return Survey(args);
    } catch (const std::bad_alloc&) {
        // A tree that ran out has its line already; this is the run's own memory.
        throw Trouble("out of memory; the survey stopped");
    }
}

}  // namespace cli
