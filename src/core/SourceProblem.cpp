#include "core/SourceProblem.h"

#include <cstring>

#include "core/ControlChars.h"

namespace {

// "cannot read the LDIF dump X" or "the LDIF dump X is read without ...".
std::string Subject(const SourceProblem& p) {
    const std::string named = p.source + (p.where.empty() ? "" : " " + p.where);
    if (p.what.rfind("cannot", 0) == 0) return p.what + " " + named;
    return named + " " + p.what;
}

std::string Capitalized(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 32);
    return text;
}

}  // namespace

std::string SourceProblem::why() const {
    if (!reason.empty() || systemError == 0) return reason;
    return std::strerror(systemError);
}

std::string SourceProblem::explanation() const {
    const std::string because = why();
    return where.empty() ? because : where + ": " + because;
}

std::string ReasonAfter(const std::string& message, const std::string& where) {
    for (const std::string& prefix : {where + ": ", EscapeControlChars(where) + ": "})
        if (message.starts_with(prefix)) return message.substr(prefix.size());
    return message;
}

std::string SourceProblemText(const SourceProblem& p) {
    const std::string because = p.why();
    const std::size_t end = because.find('\n');
    std::string text = Subject(p);
    const std::string toDo = p.toDo.empty() ? std::string() : " (" + p.toDo + ")";
    // A reason of many lines follows what to do, so the first line says all of it.
    if (end != std::string::npos) return text + toDo + ": " + because;
    if (!because.empty()) text += ": " + because;
    return text + toDo;
}

std::string SourceProblemHeading(const SourceProblem& p) { return Capitalized(Subject(p)); }

std::string SourceProblemDetail(const SourceProblem& p) {
    std::string detail = Capitalized(p.why());
    if (!p.toDo.empty()) {
        if (!detail.empty()) detail += detail.back() == '.' || detail.back() == '\n' ? "\n" : ".\n";
        detail += Capitalized(p.toDo) + ".";
    }
    return detail;
}
