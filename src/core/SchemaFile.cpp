#include "core/SchemaFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "core/ControlChars.h"
#include "core/D_Util.h"
#include "core/Names.h"
#include "core/RegularFile.h"
#include "core/directory/DefinitionAccess.h"
#include "core/ini/D_Ini.h"
#include "core/model/LdapMapping.h"

namespace {

// Strings, not pointers: a read per definition must not build its section's name anew.
const std::string kSettings = "Settings";
const std::string kTreeName = "Tree Name";
const std::string kAttributes = "Attributes";
const std::string kAttrDefinition = "Attribute Definition";
const std::string kClasses = "Classes";
const std::string kClassDefinition = "Class Definition";

std::string ItemSection(const std::string& className, int kind) {
    return className + ": " + std::string(ClassItemLabel(kind));
}

// The published definitions kept beside the records. No name here ends in ": " and an item
// label, so no class's item section can take one of them.
const char* const kPublishedSchema = "Published Schema";
const char* const kSource = "Source";
const char* const kServer = "Server";
const char* const kSubschemaDn = "Subschema DN";
const char* const kActiveDirectory = "Active Directory";
const char* const kOpenLdapConfig = "OpenLDAP Config";
const char* const kPublishes = "Publishes";
const char* const kTaken = "Taken";

std::string PublishedSection(ElementType type) {
    return "Published " + std::string(ElementAttribute(type));
}

// A value reads back cut at 2047 bytes: a longer one is kept in pieces, the first under its
// key, the others under key.1, key.2, ...
constexpr std::size_t kPiece = 2000;

bool IniBlank(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 0x09 && u <= 0x0D) || u == ' ' || u == 0x1A;
}

// A read takes off blanks at either end and one pair of quotes around a value; a piece that
// would lose either is written in double quotes, which the read takes off again.
std::string AsWritten(std::string_view piece) {
    const bool bare = !piece.empty() && !IniBlank(piece.front()) && !IniBlank(piece.back()) &&
                      !(piece.size() >= 2 && piece.front() == piece.back() &&
                        (piece.front() == '"' || piece.front() == '\''));
    return bare ? std::string(piece) : "\"" + std::string(piece) + "\"";
}

std::string PieceKey(const std::string& key, std::size_t piece) {
    return piece == 0 ? key : key + "." + std::to_string(piece);
}

// An empty value is not written: a missing key reads as one.
void WriteKept(IniFile& file, const std::string& section, const std::string& key,
               std::string_view value) {
    for (std::size_t piece = 0; !value.empty(); ++piece) {
        std::size_t cut = std::min(value.size(), kPiece);
        // Not inside a UTF-8 sequence, so that an editor shows each piece whole.
        while (cut < value.size() && cut > kPiece - 3 &&
               (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80)
            --cut;
        file.WriteString(section, PieceKey(key, piece), AsWritten(value.substr(0, cut)));
        value.remove_prefix(cut);
    }
}

std::string ReadKept(IniFile& file, const std::string& section, const std::string& key) {
    const std::string missing = "\n";  // no value reads back as a line break
    std::string value = file.ReadString(section, key, std::string());
    for (std::size_t piece = 1;; ++piece) {
        const std::string more = file.ReadString(section, PieceKey(key, piece), missing);
        if (more == missing) return value;
        value += more;
    }
}

// The texts of a list of pieces, in file order: an entry whose key holds a dot continues
// the text before it.
std::vector<std::string> ReadKeptList(IniFile& file, const std::string& section) {
    std::vector<std::string> texts;
    for (const std::string& line : file.ReadSectionValues(section)) {
        const std::size_t eq = line.find('=');  // a listed key holds none
        const std::string_view key(line.data(), eq);
        const std::string_view value = std::string_view(line).substr(eq + 1);
        if (key.find('.') != std::string_view::npos && !texts.empty())
            texts.back().append(value);
        else
            texts.emplace_back(value);
    }
    return texts;
}

std::string Named(const LdapElement& e) {
    return std::string(KindOfDefinition(e.type)) + " \"" +
           EscapeControlChars(e.names.empty() ? e.oid : e.names.front()) + "\"";
}

struct KeptTexts {
    SchemaOrigin origin;
    SchemaDefinitions definitions;
    bool tooLarge = false;  // more than kMaxPublishedBytes: the rest was not read
};

// As much as a server's answer may hold: a file is not a way round that bound.
constexpr std::size_t kMaxPublishedBytes = std::size_t{64} << 20;

// The classes and attribute types the published definitions name against the lists the
// records give: the first few that only one side has, and how many in all; empty when they
// agree.
std::string NamesDisagreement(const TreeSchema& schema, const TTreeInfo& slot) {
    constexpr std::size_t kShown = 5;
    std::vector<std::string> found;
    std::size_t count = 0;
    const auto compare = [&](const char* kind, std::vector<std::string> published,
                             const NameList& listed) {
        // Letter case aside, as the lists match names.
        std::vector<std::string> names;
        names.reserve(listed.size());
        for (const NameEntry& n : listed) names.push_back(n.name);
        const auto before = [](const std::string& a, const std::string& b) {
            return NameKey(a) < NameKey(b);
        };
        std::sort(published.begin(), published.end(), before);
        std::sort(names.begin(), names.end(), before);
        std::vector<std::string> onlyPublished, onlyListed;
        std::set_difference(published.begin(), published.end(), names.begin(), names.end(),
                            std::back_inserter(onlyPublished), before);
        std::set_difference(names.begin(), names.end(), published.begin(), published.end(),
                            std::back_inserter(onlyListed), before);
        for (const auto& [list, where] : {std::pair{&onlyPublished, "the published definitions"},
                                          std::pair{&onlyListed, "the lists"}})
            for (const std::string& name : *list)
                if (count++ < kShown)
                    found.push_back(std::string(kind) + " \"" + EscapeControlChars(name) +
                                    "\" only in " + where);
    };
    std::vector<std::string> classes, attributes;
    for (const SchemaClass& c : schema.classes) classes.push_back(c.name);
    for (const SchemaAttribute& a : schema.attributes) attributes.push_back(a.name);
    compare("the class", std::move(classes), slot.ClassNames);
    compare("the attribute", std::move(attributes), slot.AttrNames);
    if (count == 0) return {};
    std::string text = "its published definitions and its lists of names disagree: ";
    for (std::size_t i = 0; i < found.size(); ++i) text += (i > 0 ? ", " : "") + found[i];
    if (count > found.size()) text += " (" + std::to_string(count) + " in all)";
    return text;
}

KeptTexts ReadKeptTexts(IniFile& file) {
    KeptTexts kept;
    kept.origin.description = ReadKept(file, kPublishedSchema, kSource);
    kept.origin.server = file.ReadInteger(kPublishedSchema, kServer, 0) != 0;
    kept.origin.subschemaDn = ReadKept(file, kPublishedSchema, kSubschemaDn);
    kept.origin.activeDirectory = file.ReadInteger(kPublishedSchema, kActiveDirectory, 0) != 0;
    kept.origin.openLdapConfig = file.ReadInteger(kPublishedSchema, kOpenLdapConfig, 0) != 0;
    kept.origin.taken = ReadKept(file, kPublishedSchema, kTaken);
    const std::string publishes = file.ReadString(kPublishedSchema, kPublishes, std::string());
    for (std::size_t at = 0; at < publishes.size();) {
        const std::size_t end = std::min(publishes.find(' ', at), publishes.size());
        if (const auto type = ElementTypeOf(std::string_view(publishes).substr(at, end - at)))
            kept.definitions.given[static_cast<std::size_t>(*type)] = true;
        at = end + 1;
    }
    std::size_t bytes = 0;
    for (int t = 0; t < kElementTypes && !kept.tooLarge; ++t) {
        const auto type = static_cast<ElementType>(t);
        kept.definitions.texts(type) = ReadKeptList(file, PublishedSection(type));
        for (const std::string& text : kept.definitions.texts(type)) bytes += text.size();
        kept.tooLarge = bytes > kMaxPublishedBytes;
    }
    return kept;
}

// Writes the published definitions and where they come from; each is read back from the
// pending copy, so what the file cannot keep as it is stops the save, named.
void WritePublished(IniFile& file, const TreeSchema& schema) {
    const PublishedElements& published = schema.published;
    for (int t = 0; t < kElementTypes; ++t)
        for (const LdapElement& e : published.of(static_cast<ElementType>(t)))
            if (e.text.find_first_of("\r\n") != std::string::npos)
                throw IniWriteError(file.FileName(),
                                    "the published definition of the " + Named(e) +
                                        " holds a line break, which a schema file cannot keep");
    const SchemaOrigin& origin = schema.origin;
    WriteKept(file, kPublishedSchema, kSource, origin.description);
    file.WriteString(kPublishedSchema, kServer, origin.server ? "1" : "0");
    WriteKept(file, kPublishedSchema, kSubschemaDn, origin.subschemaDn);
    file.WriteString(kPublishedSchema, kActiveDirectory, origin.activeDirectory ? "1" : "0");
    file.WriteString(kPublishedSchema, kOpenLdapConfig, origin.openLdapConfig ? "1" : "0");
    WriteKept(file, kPublishedSchema, kTaken, origin.taken);
    std::string publishes;
    for (int t = 0; t < kElementTypes; ++t) {
        const auto type = static_cast<ElementType>(t);
        if (!published.publishes(type) && published.of(type).empty()) continue;
        if (!publishes.empty()) publishes += ' ';
        publishes += ElementAttribute(type);
    }
    file.WriteString(kPublishedSchema, kPublishes, publishes);
    for (int t = 0; t < kElementTypes; ++t) {
        const auto type = static_cast<ElementType>(t);
        const std::vector<LdapElement>& list = published.of(type);
        const std::string section = PublishedSection(type);
        for (std::size_t i = 0; i < list.size(); ++i)
            WriteKept(file, section, std::to_string(i), list[i].text);
    }

    const KeptTexts kept = ReadKeptTexts(file);
    const auto sameOrigin = [](const SchemaOrigin& a, const SchemaOrigin& b) {
        return a.description == b.description && a.server == b.server &&
               a.subschemaDn == b.subschemaDn && a.activeDirectory == b.activeDirectory &&
               a.openLdapConfig == b.openLdapConfig && a.taken == b.taken;
    };
    if (!sameOrigin(kept.origin, origin))
        throw IniWriteError(file.FileName(), "where the published definitions come from (" +
                                                 EscapeControlChars(origin.description) +
                                                 ") would not read back as it is");
    for (int t = 0; t < kElementTypes; ++t) {
        const auto type = static_cast<ElementType>(t);
        const std::vector<LdapElement>& list = published.of(type);
        const std::vector<std::string>& texts = kept.definitions.texts(type);
        for (std::size_t i = 0; i < list.size(); ++i)
            if (i >= texts.size() || texts[i] != list[i].text)
                throw IniWriteError(file.FileName(), "the published definition of the " +
                                                         Named(list[i]) +
                                                         " would not read back as it is");
    }
}

// Replaces every section of file by the schema; errors name errorName, the file saved to.
void WriteSchema(IniFile& file, const std::string& treeName, const NameList& attrNames,
                 const std::vector<std::string>& attrDefs, const NameList& classNames,
                 const std::vector<TClassInfo>& classDefs, const std::string& errorName) {
    try {
        // Not EraseAllSections, which would flush the emptied file at once; nor section by
        // section, which a file written by another save between the listing and the first
        // erase would leave that save's other sections in.
        file.StartOver();
        file.WriteString(kSettings, kTreeName, treeName);
        WriteListSection(file, kAttributes, attrNames);
        for (std::size_t i = 0; i < attrNames.size(); ++i)
            file.WriteString(kAttrDefinition, attrNames[i].name, attrDefs[i]);
        WriteListSection(file, kClasses, classNames);
        for (std::size_t i = 0; i < classNames.size(); ++i) {
            const TClassInfo& info = classDefs[i];
            file.WriteString(kClassDefinition, classNames[i].name, info.Flags);
            for (int kind = 0; kind < kClassItemKinds; ++kind)
                WriteListSection(file, ItemSection(classNames[i].name, kind),
                                 info.Items[static_cast<std::size_t>(kind)]);
        }
    } catch (const IniWriteError& error) {
        throw IniWriteError(errorName, error.detail());
    }
}

std::string KeptText(const std::string& fileName) {
    struct stat st;
    return ::lstat(fileName.c_str(), &st) == 0 ? fileName + " was kept as it was"
                                               : "nothing was written to " + fileName;
}

}  // namespace

SchemaReadError::SchemaReadError(const std::string& treeName, const std::string& failedRead,
                                 const std::string& fileName)
    : std::runtime_error("Reading the tree \"" + treeName + "\" failed (" + failedRead + "); " +
                         KeptText(fileName)),
      fileName_(fileName) {}

void SaveSchemaFile(Workspace& ws, UiHooks& ui, int tree, const std::string& path,
                    const StatusFn& status) {
    auto say = [&](const std::string& message) {
        if (status) status(message);
    };
    // Copies: the status messages let window events run, and nothing may change the lists
    // this loop walks.
    // A target that cannot be written fails now, not after every definition was read.
    if (const std::string why = TargetWriteProblem(path); !why.empty())
        throw IniWriteError(path, why);
    const TTreeInfo& slot = ws.tree(tree);
    const std::string treeName = slot.TreeName;
    const NameList attrNames = slot.AttrNames;
    const NameList classNames = slot.ClassNames;
    std::shared_ptr<const TreeSchema> schema = slot.Schema;
    if (schema && schema->published.empty()) schema.reset();
    if (!slot.NamesReadFailure.empty())
        throw SchemaReadError(treeName, slot.NamesReadFailure, path);

    // Every definition is fetched before the file is touched. The target may be the very
    // file an offline slot reads from (the INI layer shares one parsed copy per path), and
    // erasing it first would hand the reads an empty file.
    say("Saving attributes ...");
    std::vector<std::string> attrDefs;
    attrDefs.reserve(attrNames.size());
    // The first failed read ends the save: the rest could not make the file whole.
    for (const NameEntry& attr : attrNames) {
        say("Saving attribute \"" + attr.name + "\" ... ");
        std::string definition;
        if (!GetAttrDef(ws, ui, tree, attr.name, definition))
            throw SchemaReadError(treeName, "the attribute \"" + attr.name + "\"", path);
        attrDefs.push_back(std::move(definition));
    }
    say("Saving classes ...");
    std::vector<TClassInfo> classDefs(classNames.size());
    for (std::size_t i = 0; i < classNames.size(); ++i) {
        say("Saving class \"" + classNames[i].name + "\" ... ");
        if (!GetClassDef(ws, ui, tree, classNames[i].name, classDefs[i]))
            throw SchemaReadError(treeName, "the class \"" + classNames[i].name + "\"", path);
    }

    // All writes go to the parsed copy; the one flush at the end replaces the file whole.
    // On any refusal the pending writes are dropped, so neither the file nor another
    // object reading the same path ever sees half a save.
    IniFile file(path);
    // Two saves to one file at once leave one tree, the later one's, never a mix of both.
    file.SetWrittenWhole(true);
    try {
        WriteSchema(file, treeName, attrNames, attrDefs, classNames, classDefs, path);
        if (schema) WritePublished(file, *schema);
        file.UpdateFile();
    } catch (const IniWriteError&) {
        file.DiscardChanges();
        throw;
    }
}

bool HoldsLdapDefinitions(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return true;
    RegularFile file(path);
    if (!file.ok()) return false;
    // The first lines are enough; a long comment block still fits.
    constexpr std::size_t kLook = 64 * 1024;
    std::string head(kLook, '\0');
    std::size_t got = 0;
    while (got < kLook) {
        const ssize_t n = ::read(file.fd(), head.data() + got, kLook - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    head.resize(got);
    if (head.starts_with("\xEF\xBB\xBF")) head.erase(0, 3);
    static const char* const kStarts[] = {"dn:",          "version:",          "attributetype",
                                          "objectclass",  "objectidentifier",  "ldapsyntax",
                                          "matchingrule", "ditcontentrule",    "ditstructurerule",
                                          "nameform",     "olcattributetypes", "olcobjectclasses",
                                          "include"};
    for (std::size_t at = 0; at < head.size();) {
        std::size_t end = head.find('\n', at);
        if (end == std::string::npos) end = head.size();
        const std::string line = AsciiLower(TrimBlanks(head.substr(at, end - at)));
        at = end + 1;
        if (line.empty() || line.front() == '#') continue;
        for (const char* start : kStarts)
            if (line.starts_with(start)) return true;
        return false;
    }
    return false;
}

void OpenSchemaFileIntoSlot(TTreeInfo& slot, const std::string& path) {
    // Read before anything of the slot changes, so a file that cannot be read leaves the
    // slot as it was.
    // Names and definitions come from this one reading: a file changed or deleted later
    // changes nothing until it is loaded again.
    auto file = std::make_shared<IniFile>(path, IniFile::Mode::Snapshot);
    std::string treeName = file->ReadString(kSettings, kTreeName, "Unknown tree name");
    slot.SchemaFile = std::move(file);
    slot.TreeName = std::move(treeName);
    slot.Online = 0;
    slot.FileName = path;
}

void ReadSchemaNames(TTreeInfo& slot, const StatusFn& status) {
    auto say = [&](const std::string& message) {
        if (status) status(message);
    };
    NameList attrNames;
    NameList classNames;
    say("Loading attributes ...");
    if (slot.SchemaFile) ReadListSection(*slot.SchemaFile, kAttributes, attrNames);
    say("Loading classes ...");
    if (slot.SchemaFile) ReadListSection(*slot.SchemaFile, kClasses, classNames);
    auto append = [](NameList& to, NameList& from) {
        if (to.empty())
            to.swap(from);
        else
            to.insert(to.end(), std::make_move_iterator(from.begin()),
                      std::make_move_iterator(from.end()));
    };
    append(slot.AttrNames, attrNames);
    append(slot.ClassNames, classNames);
}

void ReadClassDefFromFile(IniFile& file, const std::string& className, TClassInfo& info) {
    const IniFile::Hold hold(file);  // one class, one version of the file
    // Reads into the record's own strings: a run over many classes reuses one record.
    file.ReadStringInto(kClassDefinition, className, info.Flags);
    std::string section;  // each kind's section name in one buffer, the longest label's room
    section.reserve(className.size() + 24);
    section.append(className).append(": ");
    const std::size_t stem = section.size();
    for (int kind = 0; kind < kClassItemKinds; ++kind) {
        section.resize(stem);
        section += ClassItemLabel(kind);
        file.ReadSectionValueTexts(section, info.Items[static_cast<std::size_t>(kind)]);
    }
}

void ReadAttrDefFromFile(IniFile& file, const std::string& attrName, std::string& definition) {
    file.ReadStringInto(kAttrDefinition, attrName, definition);
}

std::shared_ptr<const TreeSchema> ReadPublishedSchema(IniFile& file, const TTreeInfo& slot,
                                                      std::string& problem) {
    const IniFile::Hold hold(file);
    if (!file.SectionExists(kPublishedSchema)) return nullptr;
    KeptTexts kept = ReadKeptTexts(file);
    if (kept.tooLarge) {
        problem = "its published definitions hold more than " +
                  std::to_string(kMaxPublishedBytes >> 20) + " MiB, the most a server's answer may";
        return nullptr;
    }
    bool any = false;
    for (int t = 0; t < kElementTypes; ++t)
        any = any || !kept.definitions.texts(static_cast<ElementType>(t)).empty();
    if (!any) return nullptr;
    // One text a listed name: counts that differ need no mapping to be refused.
    struct Count {
        ElementType type;
        const NameList* listed;
        const char* published[2];  // one, many
        const char* names[2];
    };
    const auto counted = [](std::size_t n, const char* const(&words)[2]) {
        return std::to_string(n) + " " + words[n == 1 ? 0 : 1];
    };
    for (const Count& c : {Count{ElementType::ObjectClass,
                                 &slot.ClassNames,
                                 {"object class", "object classes"},
                                 {"class", "classes"}},
                           Count{ElementType::AttributeType,
                                 &slot.AttrNames,
                                 {"attribute type", "attribute types"},
                                 {"attribute", "attributes"}}})
        if (const std::size_t n = kept.definitions.texts(c.type).size(); n != c.listed->size()) {
            problem = "its published definitions and its lists of names disagree: " +
                      counted(n, c.published) + " published, " +
                      counted(c.listed->size(), c.names) + " listed";
            return nullptr;
        }
    // The texts were the live tree's published elements, so the mapping gives its names,
    // element links and skipped definitions again; a text that no longer reads was changed.
    auto schema = std::make_shared<TreeSchema>(MapLdapSchema(kept.definitions));
    if (!schema->skipped.empty()) {
        problem = SkippedDefinitionsText(schema->skipped, "its published definitions");
        return nullptr;
    }
    problem = NamesDisagreement(*schema, slot);
    if (!problem.empty()) return nullptr;
    schema->origin = std::move(kept.origin);
    return schema;
}
