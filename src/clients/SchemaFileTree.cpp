#include "SchemaFileTree.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <algorithm>
#include <cctype>
#include <optional>

#include "ClientConfig.h"
#include "D_Util.h"

namespace {

// Lines without their line ends (LF or CR LF).
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        if (end == text.size()) break;
        start = end + 1;
    }
    return lines;
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

void AddDefinition(const std::string& keyword, const std::string& text,
                   SchemaDefinitions& definitions, std::vector<SkippedDefinition>& skipped) {
    if (const std::optional<ElementType> type = DirectiveType(keyword)) {
        definitions.texts(*type).push_back(text);
    } else if (AsciiLower(keyword) == "objectidentifier") {
        std::pair<std::string, std::string> macro;
        if (MacroFrom(text, macro))
            definitions.oidMacros.push_back(std::move(macro));
        else
            skipped.push_back(
                {"object identifier", keyword + " " + text, "expected a name and an OID"});
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

// The files, for messages: all of them when few.
std::string FilesShown(const std::vector<std::string>& files) {
    if (files.empty()) return "no files";
    std::string shown = files.front();
    if (files.size() == 2) shown += " and " + files[1];
    if (files.size() > 2) shown += " and " + std::to_string(files.size() - 1) + " more files";
    return shown;
}

}  // namespace

void ParseSchemaFileText(const std::string& text, SchemaDefinitions& definitions,
                         std::vector<SkippedDefinition>& skipped) {
    std::string keyword;
    std::string body;
    auto flush = [&] {
        if (!keyword.empty()) AddDefinition(keyword, TrimBlanks(body), definitions, skipped);
        keyword.clear();
        body.clear();
    };
    for (const std::string& line : Lines(text)) {
        if (!line.empty() && line[0] == '#') continue;
        if (TrimBlanks(line).empty()) {
            flush();
            continue;
        }
        if (IsLineBlank(line[0])) {  // a continuation line
            if (!keyword.empty()) body.append(1, ' ').append(TrimBlanks(line));
            continue;
        }
        flush();
        const std::size_t gap = line.find_first_of(" \t");
        keyword = line.substr(0, gap);
        body = gap == std::string::npos ? std::string() : line.substr(gap);
    }
    flush();
}

// Not libldap's ldif_read_record / ldap_parse_ldif_record: those fetch a ":<" file URL
// themselves (a planted dump would read any file the user can, or hang on a FIFO), and
// drop a whole record, with a complaint on standard error, for one value that does not
// decode.
void ParseLdifText(const std::string& text, SchemaDefinitions& definitions,
                   std::vector<SkippedDefinition>& skipped) {
    // Unfolds first: a line that begins with one blank continues the line before it.
    std::vector<std::string> logical;
    bool inComment = false;
    for (const std::string& line : Lines(text)) {
        if (!line.empty() && line[0] == ' ') {
            if (!inComment && !logical.empty()) logical.back() += line.substr(1);
            continue;
        }
        inComment = !line.empty() && line[0] == '#';
        if (!inComment && !line.empty()) logical.push_back(line);
    }
    for (const std::string& line : logical) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string type = AsciiLower(line.substr(0, colon));
        type = type.substr(0, type.find(';'));  // options such as ;binary
        // cn=config spells them olcObjectClasses, olcDitContentRules, ...
        std::optional<ElementType> element = ElementTypeOf(type);
        if (!element && type.starts_with("olc")) element = ElementTypeOf(type.substr(3));
        const bool macro = type == "objectidentifier" || type == "olcobjectidentifier";
        if (!element && !macro) continue;
        if (element) definitions.given[static_cast<std::size_t>(*element)] = true;
        const std::string kind(element ? KindOfDefinition(*element) : "object identifier");

        std::string value;
        const bool base64 = colon + 1 < line.size() && line[colon + 1] == ':';
        const bool url = colon + 1 < line.size() && line[colon + 1] == '<';
        if (url) {
            skipped.push_back({kind, line, "values read from a URL are not supported"});
            continue;
        }
        value = line.substr(colon + (base64 ? 2 : 1));
        if (base64) {
            const auto decoded =
                QByteArray::fromBase64Encoding(QByteArray::fromStdString(TrimBlanks(value)),
                                               QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded) {
                skipped.push_back({kind, line, "its base64 value does not decode"});
                continue;
            }
            value = decoded.decoded.toStdString();
        }
        value = TrimBlanks(WithoutOrdinal(TrimBlanks(value)));
        if (element) {
            definitions.texts(*element).push_back(std::move(value));
        } else {
            std::pair<std::string, std::string> oidMacro;
            if (MacroFrom(value, oidMacro))
                definitions.oidMacros.push_back(std::move(oidMacro));
            else
                skipped.push_back({kind, line, "expected a name and an OID"});
        }
    }
}

SchemaFileFormat DetectSchemaFileFormat(const std::string& path, const std::string& text) {
    const std::string suffix =
        AsciiLower(QFileInfo(QString::fromStdString(path)).suffix().toStdString());
    if (suffix == "ldif") return SchemaFileFormat::Ldif;
    if (suffix == "schema") return SchemaFileFormat::Schema;
    // LDIF lines begin with an attribute name and a colon; directives with a keyword.
    for (const std::string& line : Lines(text)) {
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
    const std::string text = data.toStdString();
    if (format == SchemaFileFormat::Detect) format = DetectSchemaFileFormat(path, text);
    if (format == SchemaFileFormat::Ldif)
        ParseLdifText(text, definitions, skipped);
    else
        ParseSchemaFileText(text, definitions, skipped);
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
        error = "unknown key \"" + key.toStdString() + "\"";
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
    return settings_.files.empty() ? std::string() : Stem(settings_.files.front());
}

SchemaLoad SchemaFilesSource::load() {
    SchemaLoad out;
    SchemaDefinitions definitions;
    std::vector<SkippedDefinition> skipped;
    for (const std::string& path : settings_.files) {
        std::string error;
        if (!ReadSchemaFile(path, settings_.format, definitions, skipped, error)) {
            out.failure = {ldapcode::kFileError, "DSChangeCurrentTree", error};
            return out;
        }
    }
    auto schema = std::make_shared<TreeSchema>(MapLdapSchema(definitions));
    schema->skipped.insert(schema->skipped.begin(), skipped.begin(), skipped.end());
    const std::string source = FilesShown(settings_.files);
    if (schema->classes.empty() && schema->attributes.empty()) {
        if (schema->skipped.empty())
            out.failure = {ldapcode::kNoSubschema, "DSChangeCurrentTree",
                           source + ": no object class or attribute type definitions"};
        else
            out.failure = {ldapcode::kBadSchema, "DSChangeCurrentTree",
                           SkippedDefinitionsText(schema->skipped, source + " (nothing readable)")};
        return out;
    }
    schema->defaultContext = settings_.defaultContext;
    schema->origin.description = source;
    if (!schema->skipped.empty())
        out.notices.push_back({ldapcode::kBadSchema, "U_DSReadAvailableAttributes",
                               SkippedDefinitionsText(schema->skipped, source)});
    out.schema = std::move(schema);
    return out;
}
