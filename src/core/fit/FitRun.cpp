#include "core/fit/FitRun.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/fit/LdifChunks.h"

namespace {

constexpr unsigned kMaxThreads = 8;

// One piece and what checking it found.
struct Work {
    std::uint64_t sequence = 0;
    LdifChunk chunk;
    std::vector<FitEntry> entries;
    std::size_t count = 0;
};

void CheckPiece(FitChecker& checker, Work& work) {
    work.count = 0;
    const auto slot = [&]() -> FitEntry& {
        if (work.count == work.entries.size()) work.entries.emplace_back();
        return work.entries[work.count++];
    };
    if (work.chunk.oversized) {
        FitEntry& e = slot();
        e.text = {};
        e.dnValid = false;
        e.verdict.line = work.chunk.firstLine;
        e.verdict.dn.clear();
        e.verdict.reasons.assign(
            1, {FitKind::Malformed, {}, "cannot be read: a record longer than 16 MiB"});
        return;
    }
    LdifRecordReader reader(work.chunk.text, work.chunk.firstLine);
    LdifRecord record;
    while (reader.next(record)) checker.check(record, slot());
}

// The DN hashes of the entries taken so far: eight bytes each, open addressing, so a million
// entries take 16 MiB at most.
class HashSet {
  public:
    bool contains(std::uint64_t h) const {
        if (slots_.empty()) return false;
        h = h == 0 ? 1 : h;
        for (std::size_t i = h & mask_;; i = (i + 1) & mask_) {
            if (slots_[i] == h) return true;
            if (slots_[i] == 0) return false;
        }
    }
    // False when it was there.
    bool insert(std::uint64_t h) {
        h = h == 0 ? 1 : h;
        if ((size_ + 1) * 2 > slots_.size()) grow();
        for (std::size_t i = h & mask_;; i = (i + 1) & mask_) {
            if (slots_[i] == h) return false;
            if (slots_[i] == 0) {
                slots_[i] = h;
                ++size_;
                return true;
            }
        }
    }

  private:
    void grow() {
        std::vector<std::uint64_t> old;
        old.swap(slots_);
        slots_.assign(old.empty() ? 1024 : old.size() * 2, 0);
        mask_ = slots_.size() - 1;
        size_ = 0;
        for (const std::uint64_t h : old)
            if (h != 0) insert(h);
    }
    std::vector<std::uint64_t> slots_;
    std::size_t mask_ = 0;
    std::size_t size_ = 0;
};

class Pipeline {
  public:
    Pipeline(const FitSchema& schema, const FitOptions& options, const FitHooks& hooks)
        : schema_(schema), options_(options), hooks_(hooks) {
        if (!schema.namingContext().empty())
            if (const auto h = FitDnHash(schema, schema.namingContext())) namingContext_ = *h;
    }

    // In file order: what only the whole file so far can tell, then the hooks.
    void deliver(Work& work) {
        for (std::size_t i = 0; i < work.count; ++i) {
            FitEntry& e = work.entries[i];
            // Only an entry the tree takes holds its DN: after a refused one, the DN is free.
            if (e.dnValid) {
                const bool fresh = !dns_.contains(e.dnHash);
                if (!fresh)
                    e.verdict.reasons.push_back(
                        {FitKind::DuplicateDn, {}, "the DN was given before in the file"});
                if (options_.parents && fresh && !parentKnown(e))
                    e.verdict.reasons.push_back(
                        {FitKind::DuplicateDn,
                         {},
                         "the parent entry is neither given before it nor the naming context"});
                if (e.verdict.reasons.empty()) dns_.insert(e.dnHash);
                firstEntry_ = false;
            }
            tally_.add(e.verdict);
            const bool refused = !e.verdict.reasons.empty();
            if (refused && hooks_.refused) hooks_.refused(e.verdict);
            if (hooks_.record && !e.text.empty()) hooks_.record(e.text, refused);
        }
    }

    bool parentKnown(const FitEntry& e) const {
        if (!e.hasParent) return true;
        if (namingContext_)
            return e.dnHash == *namingContext_ || e.parentHash == *namingContext_ ||
                   dns_.contains(e.parentHash);
        // With no naming context known, the file's first entry is its top.
        return firstEntry_ || dns_.contains(e.parentHash);
    }

    FitTally& tally() { return tally_; }

  private:
    const FitSchema& schema_;
    FitOptions options_;
    const FitHooks& hooks_;
    HashSet dns_;
    std::optional<std::uint64_t> namingContext_;
    bool firstEntry_ = true;
    FitTally tally_;
};

void Merge(std::vector<std::uint64_t>& into, const std::vector<std::uint64_t>& from) {
    for (std::size_t i = 0; i < into.size() && i < from.size(); ++i) into[i] += from[i];
}

}  // namespace

FitSummary RunFit(int fd, const FitSchema& schema, const FitOptions& options, const FitHooks& hooks,
                  unsigned threads) {
    if (threads == 0) threads = std::thread::hardware_concurrency();
    threads = std::max(1U, std::min(threads, kMaxThreads));
    LdifChunkReader reader(fd);
    Pipeline pipeline(schema, options, hooks);
    std::vector<std::uint64_t> unchecked(schema.uncheckedSyntaxes().size(), 0);
    std::vector<std::uint64_t> mapped(schema.mappedNames().size(), 0);
    const auto progress = [&] {
        if (hooks.progress) hooks.progress(pipeline.tally().summary().records, reader.bytesRead());
    };

    if (threads == 1) {
        FitChecker checker(schema, options);
        Work work;
        while (reader.next(work.chunk)) {
            CheckPiece(checker, work);
            pipeline.deliver(work);
            progress();
        }
        Merge(unchecked, checker.uncheckedValues());
        Merge(mapped, checker.mappedUses());
    } else {
        std::mutex mutex;
        std::condition_variable workReady;
        std::condition_variable doneReady;
        std::deque<std::unique_ptr<Work>> queue;
        std::map<std::uint64_t, std::unique_ptr<Work>> done;
        std::vector<std::unique_ptr<Work>> spare;
        bool closing = false;
        std::vector<std::thread> workers;
        std::vector<std::unique_ptr<FitChecker>> checkers;
        for (unsigned t = 0; t < threads; ++t)
            checkers.push_back(std::make_unique<FitChecker>(schema, options));
        for (unsigned t = 0; t < threads; ++t)
            workers.emplace_back([&, checker = checkers[t].get()] {
                std::unique_lock lock(mutex);
                for (;;) {
                    workReady.wait(lock, [&] { return closing || !queue.empty(); });
                    if (queue.empty()) return;
                    std::unique_ptr<Work> work = std::move(queue.front());
                    queue.pop_front();
                    lock.unlock();
                    CheckPiece(*checker, *work);
                    lock.lock();
                    const std::uint64_t sequence = work->sequence;
                    done.emplace(sequence, std::move(work));
                    doneReady.notify_all();
                }
            });
        const std::size_t most = 2 * threads + 1;
        std::uint64_t next = 0;
        std::uint64_t out = 0;
        // Hands on every piece that is ready in order; with wait, at least one.
        const auto drain = [&](bool wait) {
            for (;;) {
                std::unique_ptr<Work> work;
                {
                    std::unique_lock lock(mutex);
                    if (wait) doneReady.wait(lock, [&] { return done.count(out) != 0; });
                    const auto it = done.find(out);
                    if (it == done.end()) return;
                    work = std::move(it->second);
                    done.erase(it);
                }
                pipeline.deliver(*work);
                progress();
                ++out;
                wait = false;
                spare.push_back(std::move(work));
            }
        };
        for (;;) {
            std::unique_ptr<Work> work;
            if (!spare.empty()) {
                work = std::move(spare.back());
                spare.pop_back();
            } else {
                work = std::make_unique<Work>();
            }
            if (!reader.next(work->chunk)) break;
            work->sequence = next++;
            {
                std::lock_guard lock(mutex);
                queue.push_back(std::move(work));
            }
            workReady.notify_one();
            drain(next - out >= most);
        }
        while (out < next) drain(true);
        {
            std::lock_guard lock(mutex);
            closing = true;
        }
        workReady.notify_all();
        for (std::thread& t : workers) t.join();
        for (const auto& checker : checkers) {
            Merge(unchecked, checker->uncheckedValues());
            Merge(mapped, checker->mappedUses());
        }
    }

    FitSummary summary = pipeline.tally().finish();
    summary.bytes = reader.bytesRead();
    summary.readError = reader.error();
    for (std::size_t i = 0; i < unchecked.size(); ++i)
        if (unchecked[i] > 0)
            summary.unchecked.emplace_back(schema.uncheckedSyntaxes()[i], unchecked[i]);
    for (std::size_t i = 0; i < mapped.size(); ++i)
        if (mapped[i] > 0)
            summary.mapped.emplace_back(schema.mappedNames()[i].from, schema.mappedNames()[i].to);
    return summary;
}
