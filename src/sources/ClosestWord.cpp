#include "sources/ClosestWord.h"

#include <algorithm>
#include <cstddef>

#include "core/D_Util.h"

namespace {

// Letters to change, add or drop to turn a into b, in any letter case.
std::size_t EditDistance(const std::string& a, const std::string& b) {
    const std::string x = AsciiUpper(a);
    const std::string y = AsciiUpper(b);
    std::vector<std::size_t> row(y.size() + 1);
    for (std::size_t j = 0; j <= y.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= x.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= y.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (x[i - 1] != y[j - 1])});
            diagonal = above;
        }
    }
    return row[y.size()];
}

}  // namespace

std::string ClosestWord(const std::string& name, const std::vector<std::string>& known) {
    std::string best;
    std::size_t bestDistance = std::max<std::size_t>(1, name.size() / 3) + 1;
    for (const std::string& candidate : known) {
        std::size_t distance = EditDistance(name, candidate);
        const std::string a = AsciiUpper(name);
        const std::string b = AsciiUpper(candidate);
        if (std::min(a.size(), b.size()) >= 3 && (b.starts_with(a) || a.starts_with(b)))
            distance = std::min<std::size_t>(distance, 1);
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

std::string UnknownKeyText(const std::string& key, const std::vector<std::string>& known) {
    std::string text = "unknown key \"" + key + "\"";
    if (const std::string meant = ClosestWord(key, known); !meant.empty())
        text += "; did you mean \"" + meant + "\"?";
    return text;
}
