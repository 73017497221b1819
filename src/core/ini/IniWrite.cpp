// Writing: edits of the parsed lines (in place when the new text fits, else in an arena)
// and the flush that writes the whole file beside the target and renames it into place.
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <utility>

#include "core/RegularFile.h"
#include "core/ini/IniDocument.h"
#include "core/ini/LockHolder.h"

namespace ini {

namespace {

bool WriteAll(int fd, const char* p, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

}  // namespace

void Document::AppendSection(std::string_view name, std::string_view key, std::string_view value) {
    if (Line* last = LastLine(); last != nullptr && last->term == kTermNone) last->term = kTermCRLF;
    Section& s = sections.emplace_back();
    char* header = arena.Store("[", name, "]");
    s.header = Line{header, static_cast<std::uint32_t>(name.size() + 2), kTermCRLF};
    s.nameOff = 1;
    s.nameLen = static_cast<std::uint32_t>(name.size());
    s.hash = FoldHash(name);
    s.detached = true;
    s.own().reserve(8);
    char* text = arena.Store(key, "=", value);
    s.own().push_back(
        Line{text, static_cast<std::uint32_t>(key.size() + 1 + value.size()), kTermCRLF});
    s.index().built = true;
    s.index().keys.reserve(8);
    KeyRef ref{0, 0, 0, static_cast<std::uint32_t>(key.size()), 0, 0, true};
    SetValue(ref, value);
    KeyQuery q{key};
    AddKey(s, s.index(), q, ref);
    s.index().lastEntry = 0;
    const auto id = static_cast<std::uint32_t>(sections.size() - 1);
    sectionTable.Insert(s.hash, id);
    MarkSection(s.hash);
    s.firstOfName = true;
    Remember(name, id, kByWalk);  // a save appends section after section
}

void Document::Write(const std::string& section, const std::string& key, const std::string& value) {
    if (encoding == Encoding::Utf16LE || encoding == Encoding::Utf16BE) {
        // Store what the file will hold, so reads before and after a flush agree.
        auto asStored = [](const std::string& s) {
            const std::vector<char> units = Utf8ToUtf16(s.data(), s.size(), false);
            const std::vector<char> text = Utf16ToUtf8(
                reinterpret_cast<const unsigned char*>(units.data()), units.size() / 2, false);
            return std::string(text.begin(), text.end());
        };
        const std::string sec = asStored(section), k = asStored(key), v = asStored(value);
        WriteStored(sec, k, v);
    } else {
        WriteStored(section, key, value);
    }
}

bool Document::WriteStored(const std::string& section, const std::string& key,
                           const std::string& value) {
    const std::string_view k = Trim(key);
    const std::uint32_t id = FindSection(section);
    if (id == kNone) {
        AppendSection(Trim(section), k, value);
        dirty = true;
        Record(static_cast<std::uint32_t>(sections.size() - 1), 0);
        return true;
    }
    Section& s = sections[id];
    KeyIndex& index = IndexOf(s);
    KeyQuery q{k};
    if (KeyRef* ref = FindKey(s, index, q)) {
        Line& line = Body(s)[ref->line];
        if (ref->hasValue && std::string_view(line.text + ref->valueOff, ref->valueLen) == value)
            return false;
        const std::size_t len = ref->keyLen + 1 + value.size();
        if (len <= line.len) {  // fits where the line is
            std::memmove(line.text, line.text + ref->keyOff, ref->keyLen);
            line.text[ref->keyLen] = '=';
            if (!value.empty())
                std::memcpy(line.text + ref->keyLen + 1, value.data(), value.size());
        } else {
            line.text =
                arena.Store(std::string_view(line.text + ref->keyOff, ref->keyLen), "=", value);
        }
        line.len = static_cast<std::uint32_t>(len);
        line.term = kTermCRLF;  // a hand-edited LF file must not end up with mixed line ends
        SetValue(*ref, value);
        dirty = true;
        Record(id, static_cast<std::uint32_t>(ref - index.keys.data()));
        return true;
    }
    Detach(s);
    const std::uint32_t at = index.lastEntry == kNone ? 0 : index.lastEntry + 1;
    Line& before = at == 0 ? s.header : s.own()[at - 1];
    if (before.term == kTermNone) before.term = kTermCRLF;
    char* text = arena.Store(k, "=", value);
    s.own().insert(s.own().begin() + at,
                   Line{text, static_cast<std::uint32_t>(k.size() + 1 + value.size()), kTermCRLF});
    KeyRef ref{at, 0, 0, static_cast<std::uint32_t>(k.size()), 0, 0, true};
    SetValue(ref, value);
    AddKey(s, index, q, ref);
    index.lastEntry = at;
    dirty = true;
    Record(id, static_cast<std::uint32_t>(index.keys.size() - 1));
    return true;
}

void Document::Erase(const std::string& section) {
    const std::uint32_t id = FindSection(section);
    if (id == kNone) return;
    Section& s = sections[id];
    if (s.nextSame != kNone) {
        sectionTable.Replace(s.hash, id, s.nextSame);
        sections[s.nextSame].firstOfName = true;
    } else
        sectionTable.Erase(s.hash, id);
    s.alive = false;
    s.firstOfName = false;
    s.more.reset();
    s.detached = false;  // an empty body, should anything still look
    s.end = s.begin;
    ++deadSections;
    ForgetSections();
    dirty = true;
    Record(id, kNone);
}

Bytes Document::Serialize() {
    std::size_t total = 0;
    ForEachLine([&](const Line& l) { total += l.len + TermLength(l.term); });
    Bytes out(total);
    char* o = out.data();
    ForEachLine([&](const Line& l) {
        if (l.len) std::memcpy(o, l.text, l.len);
        o = PutTerm(o + l.len, l.term);
    });
    return out;
}

// After a flush the written text becomes the parsed text: lines point into it, the
// arena and erased sections go.
void Document::Adopt(Bytes text) {
    char* o = text.data();
    ForEachLine([&](Line& l) {
        l.text = o;
        o += l.len + TermLength(l.term);
    });
    data = std::move(text);
    arena.Clear();
    // Erased sections go once they outnumber the live ones: a save that erases and
    // rewrites every section would otherwise pay for moving them all each time.
    if (deadSections > sections.size() - deadSections) {
        std::vector<Section> live;
        live.reserve(sections.size() - deadSections);
        for (Section& s : sections)
            if (s.alive) live.push_back(std::move(s));
        sections.swap(live);
        deadSections = 0;
        RebuildSectionTable();
    }
}

std::vector<Document::PendingText> Document::PendingTexts() {
    std::vector<PendingText> out;
    out.reserve(pending.size());
    for (const Change& c : pending) {
        Section& s = sections[c.section];
        if (c.key == kNone) {
            out.push_back({std::string(s.name()), {}, {}, true});
            continue;
        }
        if (!s.alive) continue;  // erased later on: that erase follows
        const KeyRef& r = s.index().keys[c.key];
        const Line& line = Body(s)[r.line];
        // A line this process wrote reads key=value exactly, the value untrimmed.
        out.push_back({std::string(s.name()), std::string(line.text, r.keyLen),
                       std::string(line.text + r.keyLen + 1, line.len - r.keyLen - 1), false});
    }
    return out;
}

void Document::Replay(const std::vector<PendingText>& changes) {
    replaying = true;
    for (const PendingText& c : changes) {
        if (c.erase)
            Erase(c.section);
        else
            Write(c.section, c.key, c.value);
    }
    replaying = false;
}

namespace {

// The folder's lock serializes the flushes of every process writing beside it: the file
// itself cannot carry the lock, as each flush replaces it by a new one. A holder that
// never lets go costs a bounded wait, then a refusal.
class FolderLock {
  public:
    explicit FolderLock(const std::string& folder)
        : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~FolderLock() {
        if (fd_ >= 0) ::close(fd_);  // releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // false only when another process holds the lock throughout; a folder that cannot be
    // opened is not locked (the write decides then).
    bool Acquire() {
        if (fd_ < 0) return true;
        for (int waited = 0; waited < kWaitMs; waited += 5) {
            if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
            if (errno != EWOULDBLOCK && errno != EINTR) return true;  // no locks here
            ::usleep(5000);
        }
        return ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
    }
    int fd() const { return fd_; }

  private:
    static constexpr int kWaitMs = 10000;
    int fd_;
};

std::atomic<bool> namedTempFilesOnly{false};  // UseNamedTempFilesOnly

// The temporary names of the saves in progress, for a signal that ends the process: its
// handler removes them, then lets the signal take its course. A handler may neither
// allocate nor lock, so the names live in fixed slots; the handlers are in place only
// while a name is, and only for signals that would otherwise end the process unhandled.
struct TempSlot {
    std::atomic<bool> live{false};
    char path[PATH_MAX];
};
TempSlot tempSlots[8];

constexpr int kEndingSignals[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGTERM, SIGPIPE,   SIGALRM,
                                  SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGABRT,
                                  SIGBUS,  SIGFPE,  SIGILL,  SIGSEGV, SIGSYS};

extern "C" void RemoveTempNamesAndEnd(int signal) {
    const int savedErrno = errno;
    for (TempSlot& slot : tempSlots)
        if (slot.live.load(std::memory_order_acquire)) ::unlink(slot.path);
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    ::sigaction(signal, &standard, nullptr);
    // Delivered with the default action once this handler returns (a fault simply recurs).
    ::raise(signal);
    errno = savedErrno;
}

class TempNames {
  public:
    // The slot now guarding path, or -1 when none is free (the name then goes unguarded).
    static int Add(const std::string& path) {
        if (path.size() >= PATH_MAX) return -1;
        std::lock_guard<std::mutex> lock(mutex_);
        for (int i = 0; i < static_cast<int>(std::size(tempSlots)); ++i) {
            TempSlot& slot = tempSlots[i];
            if (slot.live.load(std::memory_order_relaxed)) continue;
            std::memcpy(slot.path, path.c_str(), path.size() + 1);
            slot.live.store(true, std::memory_order_release);
            if (live_++ == 0) Install();
            return i;
        }
        return -1;
    }
    static void Remove(int index) {
        if (index < 0) return;
        std::lock_guard<std::mutex> lock(mutex_);
        tempSlots[index].live.store(false, std::memory_order_release);
        if (--live_ == 0) Uninstall();
    }

  private:
    static void Install() {
        struct sigaction ours {};
        ours.sa_handler = RemoveTempNamesAndEnd;
        sigemptyset(&ours.sa_mask);
        for (int signal : kEndingSignals) sigaddset(&ours.sa_mask, signal);
        for (int signal : kEndingSignals) {
            struct sigaction current {};
            installed_[signal] =
                ::sigaction(signal, nullptr, &current) == 0 && !(current.sa_flags & SA_SIGINFO) &&
                current.sa_handler == SIG_DFL && ::sigaction(signal, &ours, nullptr) == 0;
        }
    }
    static void Uninstall() {
        for (int signal : kEndingSignals) {
            struct sigaction current {};
            if (installed_[signal] && ::sigaction(signal, nullptr, &current) == 0 &&
                !(current.sa_flags & SA_SIGINFO) && current.sa_handler == RemoveTempNamesAndEnd) {
                struct sigaction standard {};
                standard.sa_handler = SIG_DFL;
                sigemptyset(&standard.sa_mask);
                ::sigaction(signal, &standard, nullptr);
            }
            installed_[signal] = false;
        }
    }
    static inline std::mutex mutex_;
    static inline int live_ = 0;
    static inline bool installed_[NSIG] = {};
};

// A new file in folder that has no name until Commit links it as target: a save killed
// half-way leaves nothing behind. Where the file system cannot do that, a hidden
// temporary name beside the target stands in, and a signal that ends the process
// removes it.
class NewFile {
  public:
    NewFile(const std::filesystem::path& folder, const std::filesystem::path& target)
        : folder_(folder), target_(target) {
        if (!namedTempFilesOnly.load())
            fd_ = ::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd_ < 0) OpenNamed();
    }
    ~NewFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!temp_.empty()) ::unlink(temp_.c_str());
        TempNames::Remove(slot_);
    }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    int fd() const { return fd_; }

    // Gives the complete file a temporary name (when it has none yet) and renames it over
    // the target; errno tells why not.
    bool Commit() {
        if (temp_.empty()) {
            const std::string self = "/proc/self/fd/" + std::to_string(fd_);
            for (int attempt = 0; attempt < 16 && temp_.empty(); ++attempt) {
                const std::string name = TempName();
                // Guarded before it exists, so no signal finds it unguarded.
                slot_ = TempNames::Add(name);
                if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) ==
                    0) {
                    temp_ = name;
                    break;
                }
                const int err = errno;
                TempNames::Remove(std::exchange(slot_, -1));
                errno = err;
                if (err != EEXIST) return false;
            }
            if (temp_.empty()) return false;
        }
        if (::rename(temp_.c_str(), target_.c_str()) != 0) return false;
        temp_.clear();
        TempNames::Remove(std::exchange(slot_, -1));
        return true;
    }

  private:
    std::string TempName() {
        static std::atomic<unsigned> counter{0};
        const std::string base = target_.filename().string().substr(0, 180);
        return (folder_ / ("." + base + "." + std::to_string(::getpid()) + "." +
                           std::to_string(counter++) + ".tmp"))
            .string();
    }
    void OpenNamed() {
        for (int attempt = 0; attempt < 16; ++attempt) {
            const std::string name = TempName();
            slot_ = TempNames::Add(name);
            fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ >= 0) {
                temp_ = name;
                return;
            }
            const int err = errno;
            TempNames::Remove(std::exchange(slot_, -1));
            errno = err;
            if (err != EEXIST) return;
        }
    }

    std::filesystem::path folder_, target_;
    int fd_ = -1;
    std::string temp_;  // the file's name while it has one
    int slot_ = -1;     // its guard against signals
};

}  // namespace

void UseNamedTempFilesOnly(bool on) { namedTempFilesOnly.store(on); }

bool Document::ChangedOnDisk(const std::string& target) const {
    struct stat st;
    if (::stat(target.c_str(), &st) != 0) return present;
    return !present || !(IdOf(st) == id);
}

void Document::Reload(const std::string& target) {
    Reset();
    known = true;
    unreadable = false;
    problem.clear();
    RegularFile file(target);
    if (!file.ok()) {
        present = file.error() != ENOENT;
        unreadable = present;
        problem = file.reason();
        id = FileId{};
        return;
    }
    struct stat st;
    if (::fstat(file.fd(), &st) != 0) {
        present = unreadable = true;
        problem = std::strerror(errno);
        return;
    }
    present = true;
    id = IdOf(st);
    Load(file.fd(), st);
}

void Document::Flush(const std::string& displayName, bool merge) {
    if (!dirty) return;
    if (unreadable || path.empty()) throw IniWriteError(displayName, problem);

    // A link keeps pointing where it did: the file it names is the one replaced. One that
    // leads nowhere, or to anything but a regular file, is not replaced at all.
    if (const std::string why = ReplaceableTargetProblem(path); !why.empty())
        throw IniWriteError(displayName, why);
    std::string target = path;
    struct stat lst;
    if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        std::error_code ec;
        const auto resolved = std::filesystem::weakly_canonical(path, ec);
        if (!ec) target = resolved.string();
    }
    const std::filesystem::path targetPath(target);
    const std::filesystem::path folder = targetPath.parent_path();

    FolderLock lock(folder.string());
    if (!lock.Acquire())
        throw IniWriteError(
            displayName, "another process keeps the folder locked" + [&] {
                const std::string who = LockHolderText(lock.fd());
                return who.empty() ? who : " (" + who + ")";
            }());
    // Another process may have written the file since we read it: its version is the base,
    // and only what we changed goes on top. A file written whole replaces it instead.
    if (merge && ChangedOnDisk(target)) {
        const std::vector<PendingText> changes = PendingTexts();
        Reload(target);
        if (unreadable) throw IniWriteError(displayName, problem);
        Replay(changes);
    }

    Bytes text = Serialize();
    std::vector<char> encoded;
    const char* bytes = text.data();
    std::size_t size = text.size();
    std::string_view prefix, suffix;
    if (encoding == Encoding::Utf8Bom) {
        prefix = "\xEF\xBB\xBF";
    } else if (encoding == Encoding::Utf16LE || encoding == Encoding::Utf16BE) {
        const bool big = encoding == Encoding::Utf16BE;
        prefix = big ? std::string_view("\xFE\xFF", 2) : std::string_view("\xFF\xFE", 2);
        encoded = Utf8ToUtf16(text.data(), text.size(), big);
        bytes = encoded.data();
        size = encoded.size();
        suffix = oddByte;
    }
    // What this layer could not read back is not written either.
    if (prefix.size() + size + suffix.size() >= kMaxFileSize)
        throw IniWriteError(displayName, "too large (4 GiB or more)");

    struct stat old;
    const bool existed = ::stat(target.c_str(), &old) == 0;
    NewFile out(folder, targetPath);
    auto fail = [&displayName](int err) { throw IniWriteError(displayName, WriteErrorText(err)); };
    if (out.fd() < 0) fail(errno);
    const int fd = out.fd();
    if (existed) {
        if (::fchmod(fd, old.st_mode & 07777) != 0) fail(errno);
        if (::geteuid() == 0 && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()))
            (void)!::fchown(fd, old.st_uid, old.st_gid);
    }
    if (!WriteAll(fd, prefix.data(), prefix.size()) || !WriteAll(fd, bytes, size) ||
        !WriteAll(fd, suffix.data(), suffix.size()) || ::fsync(fd) != 0)
        fail(errno);
    if (!out.Commit()) fail(errno);

    struct stat st;
    const bool haveId = ::fstat(fd, &st) == 0;
    if (lock.fd() >= 0) (void)::fsync(lock.fd());

    dirty = false;
    pending.clear();
    known = haveId;  // without an identity the next call simply parses again
    present = true;
    unreadable = false;
    problem.clear();
    if (haveId) id = IdOf(st);
    Adopt(std::move(text));
}

}  // namespace ini
