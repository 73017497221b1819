#include "core/fit/FitSummary.h"

#include <algorithm>

namespace {

constexpr std::size_t kMaxNames = 10000;
const char* const kOthers = "(other names)";

std::vector<std::pair<std::string, std::uint64_t>> MostFirst(
    std::map<std::string, std::uint64_t>& counts) {
    std::vector<std::pair<std::string, std::uint64_t>> out(counts.begin(), counts.end());
    std::stable_sort(out.begin(), out.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    return out;
}

}  // namespace

bool FitKindAboutClass(FitKind kind) {
    return kind == FitKind::UnknownClass || kind == FitKind::Structural;
}

void FitTally::count(std::map<std::string, std::uint64_t>& to, const std::string& name) {
    if (name.empty()) return;
    auto it = to.find(name);
    if (it == to.end() && to.size() >= kMaxNames) it = to.emplace(kOthers, 0).first;
    if (it == to.end()) it = to.emplace(name, 0).first;
    ++it->second;
}

void FitTally::add(const FitVerdict& verdict) {
    ++summary_.records;
    if (verdict.reasons.empty()) {
        ++summary_.fitting;
        return;
    }
    if (verdict.reasons.front().kind == FitKind::Malformed)
        ++summary_.malformed;
    else
        ++summary_.refused;
    for (const FitReason& r : verdict.reasons) {
        ++summary_.byKind[static_cast<std::size_t>(r.kind)];
        count(FitKindAboutClass(r.kind) ? classes_ : attributes_, r.subject);
    }
}

FitSummary FitTally::finish() {
    summary_.byClass = MostFirst(classes_);
    summary_.byAttribute = MostFirst(attributes_);
    return std::move(summary_);
}
