#include "core/TreeLoading.h"

#include <utility>

#include "core/D_Util.h"
#include "core/SchemaFile.h"
#include "core/directory/D_NW.h"
#include "core/directory/RecordView.h"

DirCode ChangeSlotTree(Workspace& ws, UiHooks& ui, int tree, const std::string& treeName) {
    TTreeInfo& slot = ws.tree(tree);
    // What the slot holds now, for a change that fails: the slot then goes on holding it.
    const std::string previousName = slot.TreeName;
    const std::uint8_t previousOnline = slot.Online;
    std::shared_ptr<const TreeSchema> previousSchema = slot.Schema;
    const std::string previousFailure = slot.NamesReadFailure;
    slot.Online = 1;
    slot.TreeName = treeName;
    slot.Schema.reset();
    // Until the names are read again, the lists held are another tree's: a save must not
    // write them under this name.
    slot.NamesReadFailure.clear();
    DirClient& client = ws.client();
    if (const std::shared_ptr<SchemaSource> source = client.treeSource(treeName)) {
        SchemaLoad load = source->load();
        ws.LastError = load.failure.code;
        if (ws.LastError != 0) ui.showSourceProblem(load.failure);
        if (ws.LastError == 0) {
            slot.Schema = std::move(load.schema);
            // A schema read with gaps is shown, compared, but not saved as the whole tree.
            for (const SourceProblem& notice : load.notices) {
                ui.showSourceProblem(notice);
                if (slot.NamesReadFailure.empty() && !notice.remark)
                    slot.NamesReadFailure = SourceProblemHeading(notice);
            }
        }
    } else {
        ws.LastError = DSChangeCurrentTree(client, slot.Context, slot.TreeName);
        ReportDirectoryError(client, ui, ws.LastError, "DSChangeCurrentTree");
    }
    ChangeContextFlags(client, slot.Context, '+', 4);
    if (ws.LastError != 0) {
        const DirCode failed = ws.LastError;
        slot.TreeName = previousName;
        slot.Online = previousOnline;
        slot.Schema = std::move(previousSchema);
        slot.NamesReadFailure = previousFailure;
        // A change that failed half way may have moved the context; a tree read through it
        // is read there again. Its own failure shows on the next read.
        if (previousOnline != 0 && !slot.Schema && !previousName.empty())
            DSChangeCurrentTree(client, slot.Context, previousName);
        ws.LastError = failed;
    }
    return ws.LastError;
}

DirCode ReadSlotNames(Workspace& ws, UiHooks& ui, int tree) {
    TTreeInfo& slot = ws.tree(tree);
    slot.ClassNames.clear();
    slot.AttrNames.clear();
    if (slot.Schema) {
        slot.ClassNames.reserve(slot.Schema->classes.size());
        for (const SchemaClass& cls : slot.Schema->classes) {
            const LdapElement* element = slot.Schema->elementOf(cls);
            slot.ClassNames.push_back(
                {cls.name, element != nullptr ? ClassFlags(*slot.Schema, *element) : 0});
        }
        slot.AttrNames.reserve(slot.Schema->attributes.size());
        for (const SchemaAttribute& attr : slot.Schema->attributes)
            slot.AttrNames.push_back({attr.name, 0});
        ws.LastError = 0;
        return 0;
    }
    DirClient& client = ws.client();
    slot.NamesReadFailure.clear();
    ws.LastError = U_DSReadAvailableClasses(client, slot.Context, slot.ClassNames);
    ReportDirectoryError(client, ui, ws.LastError, "U_DSReadAvailableClasses");
    NoteNamesRead(slot, ws.LastError, "U_DSReadAvailableClasses");
    ws.LastError = U_DSReadAvailableAttributes(client, slot.Context, "*", slot.AttrNames);
    ReportDirectoryError(client, ui, ws.LastError, "U_DSReadAvailableAttributes");
    NoteNamesRead(slot, ws.LastError, "U_DSReadAvailableAttributes");
    return ws.LastError;
}

namespace {

// A file or folder of LDAP definitions read whole into the slot, as a server's tree is, but
// held as a file: the slot changes only when it reads. A failure is shown and its code
// returned; definitions left out are shown and keep the tree from being saved as whole.
DirCode ReadFilesWhole(Workspace& ws, UiHooks& ui, int tree, const std::string& path) {
    const std::shared_ptr<SchemaSource> files = ws.OpenSchemaFiles(path);
    SchemaLoad load = files->load();
    if (load.failure.code != 0) {
        ui.showSourceProblem(load.failure);
        return load.failure.code;
    }
    TTreeInfo read;
    read.TreeName = files->treeName();
    read.FileName = path;
    read.Schema = std::move(load.schema);
    for (const SourceProblem& notice : load.notices) {
        ui.showSourceProblem(notice);
        if (read.NamesReadFailure.empty() && !notice.remark)
            read.NamesReadFailure = SourceProblemHeading(notice);
    }
    TTreeInfo& slot = ws.tree(tree);
    read.Context = slot.Context;
    slot = std::move(read);
    return ReadSlotNames(ws, ui, tree);
}

}  // namespace

TreeLoad LoadTree(Workspace& ws, UiHooks& ui, int tree, const TreeSource& source,
                  const StatusFn& status) {
    TreeLoad out;
    TTreeInfo& slot = ws.tree(tree);
    if (source.path.empty()) {
        out.code = ChangeSlotTree(ws, ui, tree, source.treeName);
        if (out.code != 0) return out;
        out.code = ReadSlotNames(ws, ui, tree);
    } else if (ws.OpenSchemaFiles && HoldsLdapDefinitions(source.path)) {
        out.code = ReadFilesWhole(ws, ui, tree, source.path);
        if (out.code != 0) return out;
    } else {
        SchemaFileRead read = ReadSchemaFileAside(source.path, status);
        out.problem = std::move(read.problem);
        out.noSchema = read.noSchema;
        if (!out.problem.empty() || out.noSchema) return out;
        const DirContext context = slot.Context;
        slot = std::move(read.slot);
        slot.Context = context;
    }
    SortNames(slot.ClassNames);
    SortNames(slot.AttrNames);
    out.loaded = true;
    return out;
}

SchemaFileRead ReadSchemaFileAside(const std::string& path, const StatusFn& status) {
    SchemaFileRead read;
    OpenSchemaFileIntoSlot(read.slot, path);
    ReadSchemaNames(read.slot, status);
    read.problem = read.slot.SchemaFile->ReadProblem();
    if (read.problem.empty())
        read.slot.Schema = ReadPublishedSchema(*read.slot.SchemaFile, read.slot, read.problem);
    read.noSchema =
        read.problem.empty() && read.slot.ClassNames.empty() && read.slot.AttrNames.empty();
    return read;
}
