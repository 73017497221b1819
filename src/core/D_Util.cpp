#include "core/D_Util.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "core/RegularFile.h"

std::string PickStr(bool flag, const std::string& ifTrue, const std::string& ifFalse) {
    return flag ? ifTrue : ifFalse;
}

std::string AsciiUpper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string AsciiLower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool IsLineBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string TrimBlanks(const std::string& s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && IsLineBlank(s[b])) ++b;
    while (e > b && IsLineBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

int FindInStrArray(const std::string& s, const std::vector<std::string>& items,
                   bool caseSensitive) {
    const std::string wanted = caseSensitive ? s : AsciiUpper(s);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const bool equal = caseSensitive ? items[i] == wanted : AsciiUpper(items[i]) == wanted;
        if (equal) return static_cast<int>(i);
    }
    return -1;
}

bool IsInStrArray(const std::string& s, const std::vector<std::string>& items, bool caseSensitive) {
    return FindInStrArray(s, items, caseSensitive) >= 0;
}

std::string TrimTrailingChars(const std::string& s, const std::string& charSet) {
    const std::size_t last = s.find_last_not_of(charSet);
    return last == std::string::npos ? std::string() : s.substr(0, last + 1);
}

char* NulTerminatedBuf(std::string& s) {
    if (s.size() < 255 && (s.empty() || s.back() != '\0')) s.push_back('\0');
    // std::string never shares its storage, so the pointer writes into s alone.
    return s.data();
}

const char* StrAsPChar(const std::string& s) { return s.c_str(); }

std::string WithPrefix(const std::string& s, const std::string& prefix) {
    if (prefix.empty() || s.starts_with(prefix)) return s;
    return prefix + s;
}

void SplitAtFirst(const std::string& s, const std::string& sep, std::string& before,
                  std::string& after) {
    // Work on copies: s may be the very string that before or after names.
    const std::size_t p = sep.empty() ? std::string::npos : s.find(sep);
    if (p == std::string::npos) {
        std::string whole = s;
        after.clear();
        before = std::move(whole);
        return;
    }
    std::string head = s.substr(0, p);
    std::string tail = s.substr(p + sep.size());
    before = std::move(head);
    after = std::move(tail);
}

namespace {

std::size_t PosExact(const std::string& sub, const std::string& s) {
    if (sub.empty()) return 0;
    const std::size_t p = s.find(sub);
    return p == std::string::npos ? 0 : p + 1;
}

}  // namespace

std::size_t PosIgnoreCase(const std::string& sub, const std::string& s) {
    return PosExact(AsciiUpper(sub), AsciiUpper(s));
}

std::size_t PosCaseOpt(const std::string& sub, const std::string& s, bool caseSensitive) {
    return caseSensitive ? PosExact(sub, s) : PosIgnoreCase(sub, s);
}

std::string SubstituteStr(const std::string& s, const std::string& oldText,
                          const std::string& newText, bool all, bool caseSensitive) {
    if (oldText == newText || oldText.empty()) return s;
    // Left to right over the rest after each occurrence; what newText brings in is never
    // searched again. Searching the rest of s from an offset is the same as searching the
    // remaining text on its own, and keeps long texts linear and off the stack.
    const std::string haystack = caseSensitive ? s : AsciiUpper(s);
    const std::string needle = caseSensitive ? oldText : AsciiUpper(oldText);
    std::string result;
    std::size_t from = 0;
    for (;;) {
        const std::size_t p = haystack.find(needle, from);
        if (p == std::string::npos) break;
        result.append(s, from, p - from);
        result += newText;
        from = p + needle.size();
        if (!all) break;
    }
    result.append(s, from, std::string::npos);
    return result;
}

std::string DoubleQuote(const std::string& s) { return "\"" + s + "\""; }

std::string JoinNonEmpty(const std::string& a, const std::string& b, const std::string& sep) {
    if (!a.empty() && !b.empty()) return a + sep + b;
    return a + b;
}

std::string ErrorCodeText(std::int64_t code, const std::string& text) {
    // Codes are 32-bit on the client side; a negative one shows as its two's complement.
    const std::uint64_t shown =
        code < 0 ? static_cast<std::uint32_t>(code) : static_cast<std::uint64_t>(code);
    char hex[32];
    std::snprintf(hex, sizeof hex, "%04" PRIX64, shown);
    return "Error " + std::string(hex) + ": " + text;
}

void ShowMsgDlg(UiHooks& ui, DlgType type, const std::string& msg) { ui.showMsgDlg(type, msg); }

void UiHooks::showDirectoryError(std::int64_t code, const std::string& operation,
                                 const std::string& explanation) {
    showErrorDlg(ErrorCodeText(code, operation), explanation);
}

void UiHooks::showSourceProblem(const SourceProblem& problem) {
    if (problem.remark)
        showMsgDlg(DlgType::Information,
                   SourceProblemHeading(problem) + "\n\n" + SourceProblemDetail(problem));
    else
        showErrorDlg(SourceProblemHeading(problem), SourceProblemDetail(problem));
}

void ShowErrorCode(UiHooks& ui, std::int64_t code, const std::string& text) {
    if (code == 0) return;
    ShowMsgDlg(ui, DlgType::Error, ErrorCodeText(code, text));
}

std::string ChangeExtension(const std::string& fileName, const std::string& ext) {
    const std::size_t slash = fileName.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = fileName.rfind('.');
    const std::string stem =
        dot != std::string::npos && dot >= nameStart ? fileName.substr(0, dot) : fileName;
    return stem + WithPrefix(ext, ".");
}

std::string ProgramFile() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

std::string ProgramFileWithExt(const std::string& ext) {
    return ChangeExtension(ProgramFile(), ext);
}

namespace {

// Line breaks as a text control takes them: CR LF, LF or a lone CR.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(line));
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line.push_back(c);
        }
    }
    if (!line.empty()) lines.push_back(std::move(line));
    return lines;
}

}  // namespace

std::vector<std::string> LoadInfoText(const std::string& fileName) {
    // Only a regular file, opened without blocking; anything else, or a file that cannot
    // be read, leaves the line that says so.
    constexpr std::size_t kMaxInfoText = 16 * 1024 * 1024;
    std::string text;
    std::string why;
    if (!ReadRegularFile(fileName, text, kMaxInfoText, why)) return {"Could not find " + fileName};
    return SplitLines(text);
}

std::vector<std::string> LoadInfoText() { return LoadInfoText(ProgramFileWithExt("txt")); }

std::string UtcTimestamp() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}
