#include "core/Workspace.h"

#include "core/D_Util.h"

void NoteNamesRead(TTreeInfo& slot, std::int32_t code, const std::string& what) {
    if (code != 0 && slot.NamesReadFailure.empty())
        slot.NamesReadFailure = ErrorCodeText(code, what);
}

SlotKind KindOf(const TTreeInfo& slot) {
    // A snapshot keeps published definitions too; only a tree read from the files
    // themselves has neither a snapshot nor a server behind it.
    if (slot.Schema && !slot.SchemaFile && !slot.Schema->origin.server)
        return slot.Schema->origin.ldif ? SlotKind::LdifDump : SlotKind::SchemaFiles;
    if (slot.Online != 0) return SlotKind::Live;
    return slot.FileName.empty() ? SlotKind::Empty : SlotKind::SchemaFile;
}

const char* SlotKindWord(SlotKind kind) {
    switch (kind) {
        case SlotKind::Live:
            return "live";
        case SlotKind::SchemaFile:
            return "file";
        case SlotKind::LdifDump:
            return "ldif";
        case SlotKind::SchemaFiles:
            return "schema-files";
        case SlotKind::Empty:
            break;
    }
    return "";
}

const char* SlotStateWord(SlotKind kind) {
    switch (kind) {
        case SlotKind::Live:
            return "online";
        case SlotKind::LdifDump:
            return "LDIF dump";
        case SlotKind::SchemaFiles:
            return "schema files";
        case SlotKind::SchemaFile:
        case SlotKind::Empty:
            break;
    }
    return "offline";
}

std::string SlotSourceText(const TTreeInfo& slot, const std::string& liveHow) {
    switch (KindOf(slot)) {
        case SlotKind::Live:
            return liveHow.empty() ? "live" : "live, " + liveHow;
        case SlotKind::LdifDump:
            return "LDIF dump, " + slot.Schema->origin.description;
        case SlotKind::SchemaFiles:
            return "schema files, " + slot.Schema->origin.description;
        case SlotKind::SchemaFile:
        case SlotKind::Empty:
            break;
    }
    return slot.FileName;
}

Workspace::Workspace(std::unique_ptr<DirClient> client) : client_(std::move(client)) {}

Workspace::~Workspace() = default;
