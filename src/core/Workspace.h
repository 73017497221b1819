// The two tree slots and everything they share: the directory client, the session, the
// current tree number and the latest directory result. The window and the command-line
// tool each own one.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/Names.h"
#include "core/compare/ElementFields.h"
#include "core/directory/D_NW.h"
#include "core/directory/DirClient.h"
#include "core/ini/IniFile.h"
#include "core/model/TreeSchema.h"

struct TTreeInfo {
    std::string TreeName;
    std::string FileName;
    std::uint8_t Online = 0;
    DirContext Context = 0;
    std::shared_ptr<IniFile> SchemaFile;  // the latest offline load; none at start
    // A tree read whole (a live LDAP server, schema files), or the published definitions a
    // schema file keeps beside its records.
    std::shared_ptr<const TreeSchema> Schema;
    NameList AttrNames;
    NameList ClassNames;
    // The first failed read of the latest online load ("Error FFFFFD77:
    // U_DSReadAvailableClasses"): its lists are not the whole tree. Empty when they are.
    std::string NamesReadFailure;
};

// Keeps the first failure of an online load's reads in the slot; code 0 changes nothing.
void NoteNamesRead(TTreeInfo& slot, std::int32_t code, const std::string& what);

// What a slot's tree was read from. An LDIF dump or .schema files are named as such
// wherever a source is shown, whether configured or given as a file, never "live".
enum class SlotKind : std::uint8_t { Empty, Live, SchemaFile, LdifDump, SchemaFiles };
SlotKind KindOf(const TTreeInfo& slot);
// The outputs' word for it: "live", "file", "ldif", "schema-files" ("" when empty).
const char* SlotKindWord(SlotKind kind);
// The window heading's word: "online", "offline", "LDIF dump", "schema files".
const char* SlotStateWord(SlotKind kind);
// The source as reports show it: "live, LDAP ldap://h", a snapshot's path,
// "LDIF dump, /srv/a.ldif", "schema files, core.schema, cosine.schema".
std::string SlotSourceText(const TTreeInfo& slot, const std::string& liveHow);

class Workspace {
  public:
    explicit Workspace(std::unique_ptr<DirClient> client);
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    DirClient& client() { return *client_; }
    TTreeInfo& tree(int number) { return Trees.at(static_cast<std::size_t>(number)); }

    NwSession Session;
    std::array<TTreeInfo, 3> Trees;  // slots 1 and 2; 0 is unused
    int CurrentTree = 0;
    std::int32_t LastError = 0;
    // The published fields the comparisons leave out.
    FieldFilter Fields;
    // The reader of a file or folder of LDAP definitions (an LDIF dump, .schema files),
    // which the front ends know; without one such a file reads as a schema file.
    std::function<std::shared_ptr<SchemaSource>(const std::string& path)> OpenSchemaFiles;

  private:
    std::unique_ptr<DirClient> client_;
};
