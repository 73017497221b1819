#include "sources/ClientConfig.h"

#include "sources/ClosestWord.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <set>

#include "core/RegularFile.h"
#include "core/directory/D_NW.h"
#include "sources/LdapClient.h"

namespace {

constexpr std::size_t kMaxFileSize = 64 * 1024 * 1024;
const char* const kNoPrimary = " (none is primary)";

// Thrown inside the parsers only; the public functions turn it into their error text.
struct ParseError {
    std::string what;
};

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
    throw ParseError{where.empty() ? what : where + ": " + what};
}

std::string Quoted(const QString& s) { return "\"" + s.toStdString() + "\""; }

std::string Shown(const QJsonValue& v) {
    switch (v.type()) {
        case QJsonValue::String:
            return Quoted(v.toString());
        case QJsonValue::Double:
            return QString::number(v.toDouble(), 'g', 17).toStdString();
        case QJsonValue::Bool:
            return v.toBool() ? "true" : "false";
        case QJsonValue::Null:
            return "null";
        case QJsonValue::Array:
            return "a list";
        case QJsonValue::Object:
            return "an object";
        default:
            return "nothing";
    }
}

std::string Key(const char* key) { return std::string("\"") + key + "\""; }

void CheckKeys(const QJsonObject& o, const std::string& where,
               std::initializer_list<const char*> known) {
    for (auto it = o.begin(); it != o.end(); ++it) {
        const QString k = it.key();
        if (k.startsWith('_')) continue;
        if (std::none_of(known.begin(), known.end(), [&](const char* n) { return k == n; }))
            Fail(where, UnknownKeyText(k.toStdString(), {known.begin(), known.end()}));
    }
}

// A whole number from a JSON number or a text in decimal or 0x hexadecimal.
long long WholeNumber(const QJsonValue& v, const std::string& where, long long min, long long max) {
    const std::string range =
        "expected a whole number from " + std::to_string(min) + " to " + std::to_string(max);
    long long n = 0;
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (!std::isfinite(d) || d != std::floor(d) || d < static_cast<double>(min) ||
            d > static_cast<double>(max))
            Fail(where, range + ", not " + Shown(v));
        n = static_cast<long long>(d);
    } else if (v.isString()) {
        std::string s = v.toString().trimmed().toStdString();
        bool negative = false;
        if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
            negative = s[0] == '-';
            s.erase(0, 1);
        }
        int base = 10;
        if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
            base = 16;
            s.erase(0, 2);
        }
        const bool digits =
            !s.empty() && s.size() <= 20 && std::all_of(s.begin(), s.end(), [&](char c) {
                return base == 16 ? std::isxdigit(static_cast<unsigned char>(c))
                                  : std::isdigit(static_cast<unsigned char>(c));
            });
        if (!digits) Fail(where, range + ", not " + Shown(v));
        unsigned long long u = 0;
        for (char c : s) {
            const unsigned digit = std::isdigit(static_cast<unsigned char>(c))
                                       ? static_cast<unsigned>(c - '0')
                                       : static_cast<unsigned>(std::tolower(c) - 'a' + 10);
            if (u > (0xFFFFFFFFFFull - digit) / static_cast<unsigned>(base))
                Fail(where, range + ", not " + Shown(v));
            u = u * static_cast<unsigned>(base) + digit;
        }
        n = negative ? -static_cast<long long>(u) : static_cast<long long>(u);
        if (n < min || n > max) Fail(where, range + ", not " + Shown(v));
    } else {
        Fail(where, range + ", not " + Shown(v));
    }
    return n;
}

// Any 32-bit value: unsigned from 0 to 0xFFFFFFFF or signed from -0x80000000.
std::uint32_t Word(const QJsonValue& v, const std::string& where) {
    return static_cast<std::uint32_t>(WholeNumber(v, where, INT32_MIN, UINT32_MAX));
}

std::uint32_t Count(const QJsonValue& v, const std::string& where) {
    return static_cast<std::uint32_t>(WholeNumber(v, where, 0, UINT32_MAX));
}

std::string Text(const QJsonValue& v, const std::string& where, bool mayBeEmpty = true) {
    if (!v.isString()) Fail(where, "expected a text, not " + Shown(v));
    const std::string s = v.toString().toStdString();
    if (s.find('\0') != std::string::npos) Fail(where, "contains a NUL character");
    if (!mayBeEmpty && s.empty()) Fail(where, "must not be empty");
    return s;
}

std::string At(const std::string& where, const char* key) {
    return where.empty() ? Key(key) : where + ": " + Key(key);
}

// The reads would hand a longer name over cut, and two names alike up to the cut as one.
void CheckLength(const std::string& name, std::size_t limit, const std::string& where) {
    if (name.size() > limit)
        Fail(where, "the name has " + std::to_string(name.size()) + " bytes, more than the " +
                        std::to_string(limit) + " the reads take");
}

std::vector<std::string> Names(const QJsonObject& o, const char* key, const std::string& where) {
    std::vector<std::string> names;
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull()) return names;
    if (!v.isArray()) Fail(At(where, key), "expected a list of names, not " + Shown(v));
    const QJsonArray a = v.toArray();
    for (qsizetype i = 0; i < a.size(); ++i) {
        const std::string at = At(where, key) + "[" + std::to_string(i) + "]";
        names.push_back(Text(a.at(i), at, false));
        CheckLength(names.back(), kDirNameBufferSize - 1, at);
    }
    return names;
}

QJsonArray List(const QJsonObject& o, const char* key, const std::string& where, bool required) {
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull()) {
        if (required) Fail(where, "the key " + Key(key) + " is missing");
        return {};
    }
    if (!v.isArray()) Fail(At(where, key), "expected a list, not " + Shown(v));
    return v.toArray();
}

QJsonObject Object(const QJsonValue& v, const std::string& where) {
    if (!v.isObject()) Fail(where, "expected an object, not " + Shown(v));
    return v.toObject();
}

QJsonObject Document(const QByteArray& data) {
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(data, &parse);
    if (parse.error != QJsonParseError::NoError) {
        const qsizetype end = std::clamp<qsizetype>(parse.offset, 0, data.size());
        const qsizetype line = std::count(data.begin(), data.begin() + end, '\n') + 1;
        const qsizetype lineStart = data.lastIndexOf('\n', end > 0 ? end - 1 : 0);
        const qsizetype column = end - (lineStart < 0 ? 0 : lineStart + 1) + 1;
        Fail("", "not valid JSON at line " + std::to_string(line) + ", column " +
                     std::to_string(column) + ": " + parse.errorString().toStdString());
    }
    if (!doc.isObject()) Fail("", "expected a JSON object at the top");
    return doc.object();
}

void Identifier(const QJsonObject& o, const std::string& where, Asn1Id& id) {
    const bool hasOid = o.contains("oid");
    const bool hasBytes = o.contains("oidBytes");
    if (hasOid && hasBytes) Fail(where, "give either \"oid\" or \"oidBytes\", not both");
    std::string error;
    if (hasOid && !EncodeOid(Text(o.value("oid"), At(where, "oid")), id, error))
        Fail(At(where, "oid"), error);
    if (hasBytes && !ParseOidBytes(Text(o.value("oidBytes"), At(where, "oidBytes")), id, error))
        Fail(At(where, "oidBytes"), error);
    if (o.contains("oidLength")) id.length = Count(o.value("oidLength"), At(where, "oidLength"));
}

const std::set<std::string>& Operations() {
    static const std::set<std::string> ops = {
        "dcStartup",         "dcPrimaryConnection", "dcNextConnection", "dcOpenConnection",
        "dcConnectionTree",  "dcNewContext",        "dcDropContext",    "dcReadContext",
        "dcWriteContext",    "dcHomeContext",       "dcNewBuffer",      "dcDropBuffer",
        "dcStartRequest",    "dcAddClassName",      "dcAddAttrName",    "dcFetchClasses",
        "dcClassCount",      "dcTakeClass",         "dcItemCount",      "dcTakeItem",
        "dcFetchAttributes", "dcAttrCount",         "dcTakeAttr",
    };
    return ops;
}

std::vector<SimFailure> Failures(const QJsonObject& top) {
    std::vector<SimFailure> failures;
    const QJsonArray list = List(top, "failures", "", false);
    for (qsizetype i = 0; i < list.size(); ++i) {
        const std::string where = "failures[" + std::to_string(i) + "]";
        const QJsonObject o = Object(list.at(i), where);
        CheckKeys(o, where, {"operation", "name", "code", "call"});
        SimFailure f;
        if (!o.contains("operation")) Fail(where, "the key \"operation\" is missing");
        f.operation = Text(o.value("operation"), At(where, "operation"));
        if (Operations().count(f.operation) == 0)
            Fail(At(where, "operation"), "no client operation is called \"" + f.operation + "\"");
        if (o.contains("name")) f.name = Text(o.value("name"), At(where, "name"));
        if (!o.contains("code")) Fail(where, "the key \"code\" is missing");
        f.code = static_cast<DirCode>(Word(o.value("code"), At(where, "code")));
        if (f.code == 0) Fail(At(where, "code"), "a failure needs a code other than 0");
        if (o.contains("call"))
            f.call = static_cast<std::uint32_t>(
                WholeNumber(o.value("call"), At(where, "call"), 1, UINT32_MAX));
        failures.push_back(std::move(f));
    }
    return failures;
}

std::string ClassWhere(qsizetype i, const QJsonObject& o) {
    std::string where = "classes[" + std::to_string(i) + "]";
    if (o.value("name").isString()) where += " " + Quoted(o.value("name").toString());
    return where;
}

SimTree TreeFrom(const QByteArray& data) {
    const QJsonObject top = Document(data);
    CheckKeys(top, "", {"defaultContext", "batchSize", "classes", "attributes", "failures"});
    SimTree tree;
    if (top.contains("defaultContext"))
        tree.defaultContext = Text(top.value("defaultContext"), Key("defaultContext"));
    if (top.contains("batchSize")) tree.batchSize = Count(top.value("batchSize"), Key("batchSize"));

    const QJsonArray classes = List(top, "classes", "", true);
    for (qsizetype i = 0; i < classes.size(); ++i) {
        const QJsonObject o = Object(classes.at(i), "classes[" + std::to_string(i) + "]");
        const std::string where = ClassWhere(i, o);
        CheckKeys(
            o, where,
            {"name", "flags", "oid", "oidBytes", "oidLength", "superClasses", "containmentClasses",
             "namingAttributes", "mandatoryAttributes", "optionalAttributes"});
        SimClass c;
        if (!o.contains("name")) Fail(where, "the key \"name\" is missing");
        c.name = Text(o.value("name"), At(where, "name"), false);
        CheckLength(c.name, kMaxClassNameBytes, At("classes[" + std::to_string(i) + "]", "name"));
        if (o.contains("flags")) c.flags = Word(o.value("flags"), At(where, "flags"));
        Identifier(o, where, c.id);
        const char* lists[] = {"superClasses", "containmentClasses", "namingAttributes",
                               "mandatoryAttributes", "optionalAttributes"};
        for (std::size_t k = 0; k < 5; ++k) c.items[k] = Names(o, lists[k], where);
        tree.classes.push_back(std::move(c));
    }

    const QJsonArray attributes = List(top, "attributes", "", true);
    for (qsizetype i = 0; i < attributes.size(); ++i) {
        const QJsonObject o = Object(attributes.at(i), "attributes[" + std::to_string(i) + "]");
        std::string where = "attributes[" + std::to_string(i) + "]";
        if (o.value("name").isString()) where += " " + Quoted(o.value("name").toString());
        CheckKeys(o, where,
                  {"name", "flags", "syntax", "lower", "upper", "oid", "oidBytes", "oidLength"});
        SimAttr a;
        if (!o.contains("name")) Fail(where, "the key \"name\" is missing");
        a.name = Text(o.value("name"), At(where, "name"), false);
        CheckLength(a.name, kMaxAttrNameBytes, At("attributes[" + std::to_string(i) + "]", "name"));
        if (o.contains("flags")) a.info.attrFlags = Word(o.value("flags"), At(where, "flags"));
        if (!o.contains("syntax")) Fail(where, "the key \"syntax\" is missing");
        a.info.attrSyntaxID = Word(o.value("syntax"), At(where, "syntax"));
        if (o.contains("lower"))
            a.info.attrLower =
                static_cast<std::int32_t>(Word(o.value("lower"), At(where, "lower")));
        if (o.contains("upper"))
            a.info.attrUpper =
                static_cast<std::int32_t>(Word(o.value("upper"), At(where, "upper")));
        Identifier(o, where, a.info.asn1ID);
        tree.attributes.push_back(std::move(a));
    }
    tree.failures = Failures(top);
    return tree;
}

// One connection entry; raises ParseError naming the key that is wrong.
ConnectionConfig ConnectionFrom(const QJsonValue& value, std::size_t index,
                                const std::string& baseDir) {
    std::string where;
    const QJsonObject o = Object(value, where);
    ConnectionConfig c;
    c.entry = o;
    c.index = index;
    c.kind = o.contains("kind") ? Text(o.value("kind"), Key("kind")) : "tree-file";
    // A tree read from a source (a server, schema files) may take its name from there.
    if (!o.contains("treeName") && !IsTreeSourceKind(c.kind))
        Fail(where, "the key \"treeName\" is missing");
    if (o.contains("treeName")) c.treeName = Text(o.value("treeName"), Key("treeName"));
    // The directory client takes tree names of at most 32 bytes (padding aside); a longer
    // one would reach it cut, and two names alike up to the cut would pass for one tree.
    if (const std::size_t bytes = TreeLookupKey(c.treeName).size(); bytes > kTreeNameBytes)
        Fail(Key("treeName"), "the name has " + std::to_string(bytes) + " bytes, more than the " +
                                  std::to_string(kTreeNameBytes) +
                                  " a tree name of the directory client may have");
    // Each kind of connection names its own settings.
    if (c.kind == "tree-file") {
        // Without "kind" a connection is a tree file: one whose keys are another kind's is
        // told which kind was taken.
        if (!o.contains("kind"))
            for (const auto& [key, kind] :
                 {std::pair{"uri", "ldap"}, std::pair{"files", "schema-files"},
                  std::pair{"file", "ldif"}})
                if (o.contains(key))
                    Fail(where,
                         "no \"kind\" is given, so the connection is taken as a "
                         "\"tree-file\"; its key \"" +
                             std::string(key) + "\" is one of \"" + kind + "\": add \"kind\": \"" +
                             kind + "\"");
        CheckKeys(o, where, {"treeName", "kind", "treeFile"});
        if (!o.contains("treeFile")) Fail(where, "the key \"treeFile\" is missing");
        const std::string file = Text(o.value("treeFile"), Key("treeFile"), false);
        c.treeFile = QDir::cleanPath(QDir(QString::fromStdString(baseDir))
                                         .absoluteFilePath(QString::fromStdString(file)))
                         .toStdString();
    } else if (IsTreeSourceKind(c.kind)) {
        std::string error;
        c.source = MakeTreeSource(c.kind, o, baseDir, error);
        if (!c.source) Fail(where, error);
    } else {
        Fail(Key("kind"), "unknown kind \"" + c.kind +
                              "\" (known: \"tree-file\", \"ldap\", \"schema-files\", "
                              "\"ldif\")");
    }
    return c;
}

ClientConfig ConfigFrom(const QByteArray& data, const std::string& baseDir) {
    const QJsonObject top = Document(data);
    CheckKeys(top, "", {"connections", "primary", "messages", "failures"});
    ClientConfig config;
    const QJsonArray connections = List(top, "connections", "", true);
    // One entry that cannot be used must not take the others' trees away.
    for (qsizetype i = 0; i < connections.size(); ++i) {
        try {
            config.connections.push_back(
                ConnectionFrom(connections.at(i), static_cast<std::size_t>(i), baseDir));
        } catch (const ParseError& e) {
            config.leftOut[static_cast<std::size_t>(i)] =
                (ConnectionPlace(static_cast<std::size_t>(i), connections.at(i).toObject()) + ": " +
                 e.what + kConnectionLeftOut);
        }
    }

    // A primary that cannot be used leaves the scan's first connection to serve.
    const QJsonValue primary = top.value("primary");
    if (primary.isString()) {
        const std::string name = primary.toString().toStdString();
        for (std::size_t i = 0; i < config.connections.size() && !config.primary; ++i)
            if (config.connections[i].treeName == name) config.primary = i;
        if (!config.primary)
            config.leftOut[kPrimaryLeftOut] =
                (Key("primary") + ": no usable connection has the tree name \"" + name + "\"" +
                 kNoPrimary);
    } else if (!primary.isUndefined() && !primary.isNull()) {
        try {
            if (connections.empty()) Fail(Key("primary"), "there are no connections");
            const auto index = static_cast<std::size_t>(
                WholeNumber(primary, Key("primary"), 0, connections.size() - 1));
            for (std::size_t i = 0; i < config.connections.size(); ++i)
                if (config.connections[i].index == index) config.primary = i;
            if (!config.primary)
                Fail(Key("primary"),
                     ConnectionPlace(index,
                                     connections.at(static_cast<qsizetype>(index)).toObject()) +
                         " is left out");
        } catch (const ParseError& e) {
            config.leftOut[kPrimaryLeftOut] = e.what + kNoPrimary;
        }
    }

    const QJsonValue messages = top.value("messages");
    if (!messages.isUndefined() && !messages.isNull()) {
        const QJsonObject table = Object(messages, Key("messages"));
        std::map<std::int32_t, std::string> texts;
        for (auto it = table.begin(); it != table.end(); ++it) {
            if (it.key().startsWith('_')) continue;
            const std::string where = Key("messages") + ": " + Quoted(it.key());
            const auto code = static_cast<std::int32_t>(Word(QJsonValue(it.key()), where));
            texts[code] = Text(it.value(), where);
        }
        config.messages = std::move(texts);
    }
    config.failures = Failures(top);
    return config;
}

}  // namespace

// "connection 3 (\"LAB\")": an entry as people count them, with its tree name when it has one.
std::string ConnectionPlace(std::size_t index, const QJsonObject& entry) {
    std::string place = "connection " + std::to_string(index + 1);
    const QJsonValue name = entry.value("treeName");
    if (name.isString() && !name.toString().isEmpty())
        place += " (" + Quoted(name.toString()) + ")";
    return place;
}

bool ParseClientConfig(const QByteArray& data, const std::string& baseDir, ClientConfig& config,
                       std::string& error) {
    try {
        config = ConfigFrom(data, baseDir);
        return true;
    } catch (const ParseError& e) {
        error = e.what;
        return false;
    }
}

bool ReadClientConfig(const std::string& path, ClientConfig& config, std::string& error) {
    QByteArray data;
    if (!ReadClientFile(path, data, error)) return false;
    const std::string dir = QFileInfo(QString::fromStdString(path)).absolutePath().toStdString();
    if (ParseClientConfig(data, dir, config, error)) return true;
    error = path + ": " + error;
    return false;
}

bool ParseTreeDescription(const QByteArray& data, SimTree& tree, std::string& error) {
    try {
        tree = TreeFrom(data);
        return true;
    } catch (const ParseError& e) {
        error = e.what;
        return false;
    }
}

bool ReadTreeDescription(const std::string& path, SimTree& tree, std::string& error) {
    QByteArray data;
    if (!ReadClientFile(path, data, error)) return false;
    if (ParseTreeDescription(data, tree, error)) return true;
    error = path + ": " + error;
    return false;
}

bool EncodeOid(const std::string& dotted, Asn1Id& id, std::string& error) {
    id = Asn1Id{};
    if (dotted.empty()) return true;  // no identifier
    std::vector<std::uint32_t> arcs;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = dotted.find('.', start);
        const std::string part =
            dotted.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (part.empty() || part.size() > 10 ||
            !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            error = "\"" + dotted + "\" is not a dotted identifier such as 2.5.6.6";
            return false;
        }
        const unsigned long long value = std::stoull(part);
        if (value > UINT32_MAX) {
            error = "\"" + dotted + "\": " + part + " is larger than 32 bits";
            return false;
        }
        arcs.push_back(static_cast<std::uint32_t>(value));
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    if (arcs.size() < 2 || arcs[0] > 2 || (arcs[0] < 2 && arcs[1] >= 40)) {
        error = "\"" + dotted + "\" must start with 0, 1 or 2 and, after 0 or 1, a number below 40";
        return false;
    }
    std::vector<std::uint8_t> content;
    auto put = [&](unsigned long long v) {
        std::uint8_t groups[10];
        int n = 0;
        do {
            groups[n++] = static_cast<std::uint8_t>(v & 0x7F);
            v >>= 7;
        } while (v != 0);
        while (n > 1) content.push_back(static_cast<std::uint8_t>(groups[--n] | 0x80));
        content.push_back(groups[0]);
    };
    put(40ull * arcs[0] + arcs[1]);
    for (std::size_t i = 2; i < arcs.size(); ++i) put(arcs[i]);
    if (content.size() > sizeof id.data - 2) {
        error = "\"" + dotted + "\" takes more than the 32 bytes of an identifier";
        return false;
    }
    id.data[0] = 6;
    id.data[1] = static_cast<std::uint8_t>(content.size());
    std::copy(content.begin(), content.end(), id.data + 2);
    id.length = static_cast<std::uint32_t>(content.size() + 2);
    return true;
}

bool ParseOidBytes(const std::string& hex, Asn1Id& id, std::string& error) {
    id = Asn1Id{};
    std::size_t n = 0;
    std::size_t i = 0;
    while (i < hex.size()) {
        if (hex[i] == ' ' || hex[i] == '\t' || hex[i] == ',') {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < hex.size() && hex[j] != ' ' && hex[j] != '\t' && hex[j] != ',') ++j;
        std::string byte = hex.substr(i, j - i);
        if (byte.size() > 2 && byte[0] == '0' && (byte[1] == 'x' || byte[1] == 'X'))
            byte.erase(0, 2);
        if (byte.empty() || byte.size() > 2 || !std::all_of(byte.begin(), byte.end(), [](char c) {
                return std::isxdigit(static_cast<unsigned char>(c));
            })) {
            error = "\"" + hex.substr(i, j - i) + "\" is not a hexadecimal byte";
            return false;
        }
        if (n == sizeof id.data) {
            error = "more than 32 bytes";
            return false;
        }
        id.data[n++] = static_cast<std::uint8_t>(std::stoul(byte, nullptr, 16));
        i = j;
    }
    id.length = static_cast<std::uint32_t>(n);
    return true;
}

bool ReadClientFile(const std::string& path, QByteArray& data, std::string& error,
                    int* systemError) {
    // Opened without blocking: a FIFO in place of the file must not stop the program.
    RegularFile file(path);
    if (!file.ok()) {
        if (systemError && file.error() > 0) *systemError = file.error();
        if (file.error() == ENOENT)
            error = path + ": no such file";
        else if (file.error() == EISDIR)
            error = path + ": is a folder, not a file";
        else if (file.error() == RegularFile::kNotRegular)
            error = path + ": not a regular file";
        else
            error = path + ": cannot be read (" + file.reason() + ")";
        return false;
    }
    std::string bytes;
    std::string why;
    if (!file.readAll(bytes, kMaxFileSize, why)) {
        error = path + (bytes.size() > kMaxFileSize ? std::string(": larger than 64 MiB")
                                                    : ": cannot be read (" + why + ")");
        return false;
    }
    data = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return true;
}
