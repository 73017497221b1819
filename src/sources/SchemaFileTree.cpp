#include "sources/SchemaFileTree.h"

#include "sources/ClosestWord.h"

#include <dirent.h>
#include <fnmatch.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <string_view>

#include "core/D_Util.h"
#include "sources/ClientConfig.h"

namespace {

// The lines of a text without their line ends (LF or CR LF), numbered from 1: views into
// the text, as a file of millions of short lines must not cost a string for each.
class Lines {
  public:
    explicit Lines(std::string_view text) : text_(text) {}
    bool next(std::string_view& line) {
        if (start_ > text_.size()) return false;
        std::size_t end = text_.find('\n', start_);
        if (end == std::string_view::npos) end = text_.size();
        line = text_.substr(start_, end - start_);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        start_ = end + 1;
        ++number_;
        return true;
    }
    std::size_t number() const { return number_; }

  private:
    std::string_view text_;
    std::size_t start_ = 0;
    std::size_t number_ = 0;
};

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && IsLineBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsLineBlank(s.back())) s.remove_suffix(1);
    return s;
}

// "objectIdentifier NAME OID": the macro, or false.
bool MacroFrom(const std::string& text, std::pair<std::string, std::string>& macro) {
    const std::string t = TrimBlanks(text);
    const std::size_t gap = t.find_first_of(" \t");
    if (gap == std::string::npos) return false;
    macro = {t.substr(0, gap), TrimBlanks(t.substr(gap))};
    return !macro.second.empty() && macro.second.find_first_of(" \t") == std::string::npos;
}

// slapd.conf's directives, and the subschema attributes' own names, singular or plural.
std::optional<ElementType> DirectiveType(const std::string& keyword) {
    const std::string k = AsciiLower(keyword);
    if (k == "attributetype") return ElementType::AttributeType;
    if (k == "objectclass") return ElementType::ObjectClass;
    if (k == "ldapsyntax") return ElementType::LdapSyntax;
    if (k == "ditcontentrule") return ElementType::DitContentRule;
    return ElementTypeOf(k);
}

void AddDefinition(const std::string& keyword, std::string text, SchemaDefinitions::Place place,
                   SchemaDefinitions& definitions, std::vector<SkippedDefinition>& skipped) {
    if (const std::optional<ElementType> type = DirectiveType(keyword)) {
        definitions.add(*type, std::move(text), place);
    } else if (AsciiLower(keyword) == "objectidentifier") {
        std::pair<std::string, std::string> macro;
        if (MacroFrom(text, macro))
            definitions.oidMacros.push_back(std::move(macro));
        else
            skipped.push_back({"object identifier", keyword + " " + text,
                               "expected a name and an OID", definitions.placeText(place)});
    }
}

// cn=config values carry their position first: "{12}( 1.2.3 ...".
std::string WithoutOrdinal(const std::string& value) {
    if (value.empty() || value[0] != '{') return value;
    const std::size_t close = value.find('}');
    if (close == std::string::npos || close == 1) return value;
    for (std::size_t i = 1; i < close; ++i)
        if (value[i] < '0' || value[i] > '9') return value;
    return value.substr(close + 1);
}

std::string Stem(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).completeBaseName().toStdString();
}

std::string Shown(const QJsonValue& v) {
    if (v.isString()) return '"' + v.toString().toStdString().append(1, '"');
    if (v.isArray()) return "a list";
    if (v.isObject()) return "an object";
    if (v.isDouble()) return QString::number(v.toDouble()).toStdString();
    if (v.isBool()) return v.toBool() ? "true" : "false";
    return "null";
}

std::string Resolved(const std::string& baseDir, const std::string& path) {
    return QDir::cleanPath(
               QDir(QString::fromStdString(baseDir)).absoluteFilePath(QString::fromStdString(path)))
        .toStdString();
}

// Enough for any schema collection; a folder or a set of files past these is a mistake,
// said before it takes the memory.
constexpr std::size_t kMaxFolderEntries = 100000;
constexpr std::size_t kMaxSchemaFiles = 1000;
constexpr std::size_t kMaxSchemaBytes = std::size_t{512} * 1024 * 1024;

// A file name with *, ? or [ is a pattern (glob(7)) for the names in its folder.
bool IsPattern(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return path.find_first_of("*?[", slash == std::string::npos ? 0 : slash + 1) !=
           std::string::npos;
}

std::string Folder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Joined(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// The names in a folder in byte order, without . and ..; false with why. Never follows
// anything further down, so a link loop below costs nothing.
bool FolderNames(const std::string& folder, std::vector<std::string>& names, std::string& error) {
    DIR* dir = ::opendir(folder.c_str());  // O_DIRECTORY: a FIFO fails at once
    if (dir == nullptr) {
        error = folder + ": cannot be listed (" + std::strerror(errno) + ")";
        return false;
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, ::closedir);
    for (errno = 0; const dirent* entry = ::readdir(dir); errno = 0) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (names.size() == kMaxFolderEntries) {
            error = folder + ": more than " + std::to_string(kMaxFolderEntries) +
                    " entries; name the schema files, or a pattern";
            return false;
        }
        names.push_back(name);
    }
    if (errno != 0) {
        error = folder + ": cannot be listed (" + std::strerror(errno) + ")";
        return false;
    }
    std::sort(names.begin(), names.end());
    return true;
}

std::string Suffix(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : AsciiLower(name.substr(dot + 1));
}

// Each entry of "files" as the files it stands for, in order, each file once: a folder's
// .schema and .ldif files and a pattern's matches in name order. A folder holding X.schema
// and X.ldif (OpenLDAP ships each schema in both forms) gives X.schema only; names that
// begin with a dot are left out, by a folder as by a pattern. False with why
// when a folder cannot be listed, or a folder or pattern gives no file.
bool ExpandFiles(const std::vector<std::string>& entries, std::vector<std::string>& files,
                 std::string& error) {
    std::set<std::string> taken;
    auto take = [&](const std::string& path) {
        if (taken.insert(path).second) files.push_back(path);
    };
    for (const std::string& entry : entries) {
        std::vector<std::string> names;
        if (IsPattern(entry)) {
            const std::string folder = Folder(entry);
            if (!FolderNames(folder, names, error)) return false;
            const std::string pattern = entry.substr(entry.rfind('/') + 1);
            std::size_t matched = 0;
            for (const std::string& name : names)
                if (::fnmatch(pattern.c_str(), name.c_str(), FNM_PERIOD) == 0) {
                    take(Joined(folder, name));
                    ++matched;
                }
            if (matched == 0) {
                error = entry + ": no file matches";
                return false;
            }
        } else if (std::error_code ec; std::filesystem::is_directory(entry, ec)) {
            if (!FolderNames(entry, names, error)) return false;
            const std::set<std::string> all(names.begin(), names.end());
            std::size_t found = 0;
            for (const std::string& name : names) {
                const std::string suffix = Suffix(name);
                // Hidden files are left as a pattern leaves them.
                if (name[0] == '.' || (suffix != "schema" && suffix != "ldif")) continue;
                if (suffix == "ldif" && all.count(name.substr(0, name.size() - 4) + "schema") != 0)
                    continue;
                take(Joined(entry, name));
                ++found;
            }
            if (found == 0) {
                error = entry + ": no .schema or .ldif file in this folder";
                return false;
            }
        } else {
            take(entry);
        }
        if (files.size() > kMaxSchemaFiles) {
            error = "more than " + std::to_string(kMaxSchemaFiles) +
                    " schema files; name fewer, or narrower patterns";
            return false;
        }
    }
    return true;
}

// The files, for messages: all of them when few.
std::string FilesShown(const std::vector<std::string>& files) {
    if (files.empty()) return "no files";
    std::string shown = files.front();
    if (files.size() == 2) shown += " and " + files[1];
    if (files.size() > 2) shown += " and " + std::to_string(files.size() - 1) + " more files";
    return shown;
}

}  // namespace

void ParseSchemaFileText(std::string_view text, SchemaDefinitions& definitions,
                         std::vector<SkippedDefinition>& skipped, const std::string& file) {
    const std::uint32_t fileNumber = definitions.fileNumber(file);
    std::string keyword;
    std::string body;
    std::size_t first = 0;  // the line the definition begins on
    auto flush = [&] {
        if (!keyword.empty())
            AddDefinition(keyword, std::string(Trimmed(body)), {fileNumber, first}, definitions,
                          skipped);
        keyword.clear();
        body.clear();
    };
    Lines lines(text);
    for (std::string_view line; lines.next(line);) {
        if (!line.empty() && line[0] == '#') continue;
        if (Trimmed(line).empty()) {
            flush();
            continue;
        }
        if (IsLineBlank(line[0])) {  // a continuation line
            if (!keyword.empty()) body.append(1, ' ').append(Trimmed(line));
            continue;
        }
        flush();
        first = lines.number();
        const std::size_t gap = line.find_first_of(" \t");
        keyword.assign(line.substr(0, gap));
        body.assign(gap == std::string_view::npos ? std::string_view() : line.substr(gap));
    }
    flush();
}

namespace {

// One unfolded LDIF line: a subschema attribute's value becomes a definition or a macro.
void ReadLdifLine(const std::string& line, SchemaDefinitions::Place at,
                  SchemaDefinitions& definitions, std::vector<SkippedDefinition>& skipped) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) return;
    std::string type = AsciiLower(line.substr(0, colon));
    type = type.substr(0, type.find(';'));  // options such as ;binary
    // cn=config spells them olcObjectClasses, olcDitContentRules, ...
    std::optional<ElementType> element = ElementTypeOf(type);
    if (!element && type.starts_with("olc")) element = ElementTypeOf(type.substr(3));
    const bool macro = type == "objectidentifier" || type == "olcobjectidentifier";
    if (!element && !macro) return;
    if (element) definitions.given[static_cast<std::size_t>(*element)] = true;
    const std::string kind(element ? KindOfDefinition(*element) : "object identifier");

    std::string value;
    const bool base64 = colon + 1 < line.size() && line[colon + 1] == ':';
    const bool url = colon + 1 < line.size() && line[colon + 1] == '<';
    if (url) {
        skipped.push_back(
            {kind, line, "values read from a URL are not supported", definitions.placeText(at)});
        return;
    }
    value = line.substr(colon + (base64 ? 2 : 1));
    if (base64) {
        const auto decoded = QByteArray::fromBase64Encoding(
            QByteArray::fromStdString(TrimBlanks(value)), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded) {
            skipped.push_back(
                {kind, line, "its base64 value does not decode", definitions.placeText(at)});
            return;
        }
        value = decoded.decoded.toStdString();
    }
    value = TrimBlanks(WithoutOrdinal(TrimBlanks(value)));
    if (element) {
        definitions.add(*element, std::move(value), at);
    } else {
        std::pair<std::string, std::string> oidMacro;
        if (MacroFrom(value, oidMacro))
            definitions.oidMacros.push_back(std::move(oidMacro));
        else
            skipped.push_back(
                {kind, line, "expected a name and an OID", definitions.placeText(at)});
    }
}

}  // namespace

// Not libldap's ldif_read_record / ldap_parse_ldif_record: those fetch a ":<" file URL
// themselves (a planted dump would read any file the user can, or hang on a FIFO), and
// drop a whole record, with a complaint on standard error, for one value that does not
// decode.
void ParseLdifText(std::string_view text, SchemaDefinitions& definitions,
                   std::vector<SkippedDefinition>& skipped, const std::string& file) {
    const std::uint32_t fileNumber = definitions.fileNumber(file);
    // A line that begins with one blank continues the line before it; each line is read
    // once a line that does not continue it begins, so only one is held unfolded.
    std::string logical;
    std::size_t first = 0;  // the line it begins on; 0 before the first
    bool inComment = false;
    Lines lines(text);
    for (std::string_view line; lines.next(line);) {
        if (!line.empty() && line[0] == ' ') {
            if (!inComment && first != 0) logical.append(line.substr(1));
            continue;
        }
        inComment = !line.empty() && line[0] == '#';
        if (!inComment && !line.empty()) {
            if (first != 0) ReadLdifLine(logical, {fileNumber, first}, definitions, skipped);
            logical.assign(line);
            first = lines.number();
        }
    }
    if (first != 0) ReadLdifLine(logical, {fileNumber, first}, definitions, skipped);
}

SchemaFileFormat DetectSchemaFileFormat(const std::string& path, std::string_view text) {
    const std::string suffix =
        AsciiLower(QFileInfo(QString::fromStdString(path)).suffix().toStdString());
    if (suffix == "ldif") return SchemaFileFormat::Ldif;
    if (suffix == "schema") return SchemaFileFormat::Schema;
    // LDIF lines begin with an attribute name and a colon; directives with a keyword.
    Lines lines(text);
    for (std::string_view line; lines.next(line);) {
        if (line.empty() || line[0] == '#' || IsLineBlank(line[0])) continue;
        std::size_t i = 0;
        while (i < line.size() && (std::isalnum(static_cast<unsigned char>(line[i])) ||
                                   line[i] == '-' || line[i] == ';'))
            ++i;
        return i > 0 && i < line.size() && line[i] == ':' ? SchemaFileFormat::Ldif
                                                          : SchemaFileFormat::Schema;
    }
    return SchemaFileFormat::Schema;
}

bool ReadSchemaFile(const std::string& path, SchemaFileFormat format,
                    SchemaDefinitions& definitions, std::vector<SkippedDefinition>& skipped,
                    std::string& error) {
    QByteArray data;
    if (!ReadClientFile(path, data, error)) return false;
    const std::string_view text(data.constData(), static_cast<std::size_t>(data.size()));
    if (format == SchemaFileFormat::Detect) format = DetectSchemaFileFormat(path, text);
    if (format == SchemaFileFormat::Ldif)
        ParseLdifText(text, definitions, skipped, path);
    else
        ParseSchemaFileText(text, definitions, skipped, path);
    return true;
}

bool ParseSchemaFilesSettings(const QJsonObject& entry, const std::string& baseDir,
                              SchemaFileFormat format, SchemaFilesSettings& settings,
                              std::string& error) {
    settings = SchemaFilesSettings{};
    settings.format = format;
    for (auto it = entry.begin(); it != entry.end(); ++it) {
        const QString key = it.key();
        if (key.startsWith('_') || key == "treeName" || key == "kind" || key == "files" ||
            key == "file" || key == "defaultContext")
            continue;
        error = UnknownKeyText(key.toStdString(),
                               {"treeName", "kind", "files", "file", "defaultContext"});
        return false;
    }
    if (entry.contains("files") == entry.contains("file")) {
        error = "give the schema files as \"files\" (a list) or one as \"file\"";
        return false;
    }
    std::vector<QJsonValue> values;
    if (entry.contains("file")) {
        values.push_back(entry.value("file"));
    } else {
        const QJsonValue files = entry.value("files");
        if (!files.isArray() || files.toArray().isEmpty()) {
            error = "\"files\": expected a list of file names, not " + Shown(files);
            return false;
        }
        for (const QJsonValue& v : files.toArray()) values.push_back(v);
    }
    for (const QJsonValue& v : values) {
        if (!v.isString() || v.toString().isEmpty() || v.toString().contains(QChar(0))) {
            error = "expected a file name, not " + Shown(v);
            return false;
        }
        settings.files.push_back(Resolved(baseDir, v.toString().toStdString()));
    }
    if (entry.contains("defaultContext")) {
        const QJsonValue v = entry.value("defaultContext");
        if (!v.isString() || v.toString().contains(QChar(0))) {
            error = "\"defaultContext\": expected a text, not " + Shown(v);
            return false;
        }
        settings.defaultContext = v.toString().toStdString();
    }
    return true;
}

SchemaFilesSource::SchemaFilesSource(SchemaFilesSettings settings)
    : settings_(std::move(settings)) {}

std::string SchemaFilesSource::treeName() {
    if (settings_.files.empty()) return {};
    const std::string& first = settings_.files.front();
    // A folder or a pattern gives the folder's name.
    if (IsPattern(first))
        return QFileInfo(QString::fromStdString(Folder(first))).fileName().toStdString();
    if (std::error_code ec; std::filesystem::is_directory(first, ec))
        return QFileInfo(QString::fromStdString(first)).fileName().toStdString();
    return Stem(first);
}

SchemaLoad SchemaFilesSource::load() {
    SchemaLoad out;
    SchemaDefinitions definitions;
    std::vector<SkippedDefinition> skipped;
    const std::string shown = FilesShown(settings_.files);
    // What the files are, as far as their names and then their contents tell.
    const bool one = settings_.files.size() == 1;
    bool ldif = settings_.format == SchemaFileFormat::Ldif ||
                (settings_.format == SchemaFileFormat::Detect && one &&
                 AsciiLower(settings_.files.front()).ends_with(".ldif"));
    const auto problem = [&](DirCode code, const std::string& where, const std::string& reason,
                             int systemError = 0) {
        SourceProblem p;
        p.code = code;
        p.what = "cannot read";
        p.source = ldif ? (one ? "the LDIF dump" : "the LDIF dumps")
                        : (one ? "the schema file" : "the schema files");
        p.where = where;
        // The readers' messages begin with the path they are about.
        p.reason = ReasonAfter(reason, where);
        if (systemError != 0) p.reason.clear();
        p.systemError = systemError;
        p.toDo = settings_.given ? "check the file or folder given"
                                 : "check the files the directory client configuration names";
        return p;
    };
    // Folders and patterns are looked at afresh each time, so new files show.
    std::vector<std::string> files;
    std::string error;
    if (!ExpandFiles(settings_.files, files, error)) {
        out.failure = problem(ldapcode::kFileError, shown, error);
        return out;
    }
    std::size_t bytes = 0;
    bool allLdif = !files.empty();
    for (const std::string& path : files) {
        QByteArray data;
        int systemError = 0;
        if (!ReadClientFile(path, data, error, &systemError)) {
            out.failure =
                problem(ldapcode::kFileError, path, error, systemError == ENOENT ? systemError : 0);
            return out;
        }
        bytes += static_cast<std::size_t>(data.size());
        if (bytes > kMaxSchemaBytes) {
            out.failure =
                problem(ldapcode::kFileError, shown,
                        "they hold more than " + std::to_string(kMaxSchemaBytes >> 20) + " MiB");
            return out;
        }
        // Read in place; the bytes go as soon as this file is parsed.
        const std::string_view text(data.constData(), static_cast<std::size_t>(data.size()));
        SchemaFileFormat format = settings_.format;
        if (format == SchemaFileFormat::Detect) format = DetectSchemaFileFormat(path, text);
        if (one) ldif = format == SchemaFileFormat::Ldif;
        allLdif = allLdif && format == SchemaFileFormat::Ldif;
        if (format == SchemaFileFormat::Ldif)
            ParseLdifText(text, definitions, skipped, path);
        else
            ParseSchemaFileText(text, definitions, skipped, path);
    }
    auto schema = std::make_shared<TreeSchema>(MapLdapSchema(definitions));
    schema->skipped.insert(schema->skipped.begin(), std::make_move_iterator(skipped.begin()),
                           std::make_move_iterator(skipped.end()));
    if (schema->classes.empty() && schema->attributes.empty()) {
        if (schema->skipped.empty()) {
            out.failure = problem(ldapcode::kNoSubschema, shown,
                                  "no object class or attribute type definitions");
        } else {
            out.failure = problem(ldapcode::kBadSchema, shown,
                                  SkippedDefinitionsText(schema->skipped, "nothing readable"));
            out.failure.toDo = "mend the definitions named";
        }
        return out;
    }
    schema->defaultContext = settings_.defaultContext;
    schema->origin.description = shown;
    schema->origin.ldif = allLdif;
    schema->origin.taken = UtcTimestamp();
    if (!schema->skipped.empty()) {
        SourceProblem notice =
            problem(ldapcode::kBadSchema, shown, SkippedDefinitionsText(schema->skipped, shown));
        notice.what = "is read without the definitions that do not parse";
        notice.toDo = "mend the definitions named";
        out.notices.push_back(std::move(notice));
    }
    if (!schema->unresolved.empty()) {
        SourceProblem notice = problem(ldapcode::kBadSchema, shown,
                                       UnresolvedReferencesText(schema->unresolved, shown));
        notice.what = "is read with references it cannot resolve";
        notice.toDo = "add the files that define them";
        notice.remark = true;
        out.notices.push_back(std::move(notice));
    }
    out.schema = std::move(schema);
    return out;
}
