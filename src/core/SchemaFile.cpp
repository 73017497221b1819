#include "SchemaFile.h"

#include <sys/stat.h>

#include <utility>
#include <vector>

#include "D_Ini.h"
#include "DefinitionAccess.h"
#include "RegularFile.h"

namespace {

const char* const kSettings = "Settings";
const char* const kTreeName = "Tree Name";
const char* const kAttributes = "Attributes";
const char* const kAttrDefinition = "Attribute Definition";
const char* const kClasses = "Classes";
const char* const kClassDefinition = "Class Definition";

std::string ItemSection(const std::string& className, int kind) {
    return className + ": " + ClassItemLabel(kind);
}

// Replaces every section of file by the schema; errors name errorName, the file saved to.
void WriteSchema(IniFile& file, const std::string& treeName, const NameList& attrNames,
                 const std::vector<std::string>& attrDefs, const NameList& classNames,
                 const std::vector<TClassInfo>& classDefs, const std::string& errorName) {
    try {
        // Section by section rather than EraseAllSections, which would flush the emptied
        // file at once.
        for (const std::string& section : file.ReadSections()) file.EraseSection(section);
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
    if (slot.Online != 0 && !slot.NamesReadFailure.empty())
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
        file.UpdateFile();
    } catch (const IniWriteError&) {
        file.DiscardChanges();
        throw;
    }
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
    slot.AttrNames.insert(slot.AttrNames.end(), std::make_move_iterator(attrNames.begin()),
                          std::make_move_iterator(attrNames.end()));
    slot.ClassNames.insert(slot.ClassNames.end(), std::make_move_iterator(classNames.begin()),
                           std::make_move_iterator(classNames.end()));
}

void ReadClassDefFromFile(IniFile& file, const std::string& className, TClassInfo& info) {
    const IniFile::Hold hold(file);  // one class, one version of the file
    info.Flags = file.ReadString(kClassDefinition, className, info.Flags);
    for (int kind = 0; kind < kClassItemKinds; ++kind) {
        std::vector<std::string>& items = info.Items[static_cast<std::size_t>(kind)];
        items.clear();
        ReadListSection(file, ItemSection(className, kind), items);
    }
}

void ReadAttrDefFromFile(IniFile& file, const std::string& attrName, std::string& definition) {
    definition = file.ReadString(kAttrDefinition, attrName, definition);
}
