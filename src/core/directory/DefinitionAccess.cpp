#include "core/directory/DefinitionAccess.h"

#include <unordered_set>

#include "core/D_Util.h"
#include "core/Names.h"
#include "core/SchemaFile.h"
#include "core/directory/RecordView.h"

namespace {

// The item kinds a live tree delivers; kind 5 has no read of its own.
constexpr int kOnlineKinds[] = {ikSuperClass,         ikContainmentClass,  ikNamingAttribute,
                                ikMandatoryAttribute, ikOptionalAttribute, ikASN};

// As a read through the client gives them: each item once (in any letter case), in the
// order met.
void AppendDistinct(std::vector<std::string>& list, const std::vector<std::string>& items) {
    std::unordered_set<std::string> seen;
    for (const std::string& item : items)
        if (seen.insert(NameKey(item)).second) list.push_back(item);
}

bool ClassFromSchema(const TreeSchema& schema, const std::string& className, TClassInfo& info) {
    const SchemaClass* found = schema.findClass(className);
    if (found == nullptr) return false;
    const SimClass cls = ClassRecord(schema, *found);
    info.Flags = ClassFlagsText(cls.flags);
    for (std::size_t kind = 0; kind < cls.items.size(); ++kind)
        AppendDistinct(info.Items[kind], cls.items[kind]);
    if (const std::string oid = Asn1IdText(cls.id); !oid.empty()) info.Items[ikASN].push_back(oid);
    return true;
}

}  // namespace

bool GetClassDef(Workspace& ws, UiHooks& ui, int tree, const std::string& className,
                 TClassInfo& info) {
    TTreeInfo& slot = ws.tree(tree);
    // A schema file's own records stand, whatever published texts it also keeps. The read
    // fills the whole record.
    if (slot.Online == 0 && slot.SchemaFile) {
        info.Flags.clear();
        ReadClassDefFromFile(*slot.SchemaFile, className, info);
        return true;
    }
    ClassInfoInit(info);
    if (slot.Schema) return ClassFromSchema(*slot.Schema, className, info);
    if (slot.Online == 0) return true;

    DirClient& client = ws.client();
    DirClassInfo classInfo;
    ws.LastError = U_DSGetClassDef(client, slot.Context, className, classInfo);
    ReportDirectoryError(ws.client(), ui, ws.LastError, "U_DSGetClassDef: " + className);
    bool whole = ws.LastError == 0;
    if (whole) info.Flags = ClassFlagsText(classInfo.classFlags);

    // The item reads run even when the definition read failed; only the last one's result
    // is reported, as each read replaces the one before in LastError.
    for (int kind : kOnlineKinds) {
        ws.LastError = U_DSReadAttributes(client, ui, slot.Context, className, kind,
                                          info.Items[static_cast<std::size_t>(kind)]);
        whole = whole && ws.LastError == 0;
    }
    ReportDirectoryError(ws.client(), ui, ws.LastError, "U_DSReadAttributes: " + className);
    return whole;
}

bool GetAttrDef(Workspace& ws, UiHooks& ui, int tree, const std::string& attrName,
                std::string& definition) {
    TTreeInfo& slot = ws.tree(tree);
    if (slot.Online == 0 && slot.SchemaFile) {
        ReadAttrDefFromFile(*slot.SchemaFile, attrName, definition);
        return true;
    }
    definition.clear();  // a failed read yields an empty definition
    if (slot.Schema) {
        const SchemaAttribute* attr = slot.Schema->findAttribute(attrName);
        if (attr != nullptr) definition = AttrDefText(AttributeRecord(*slot.Schema, *attr).info);
        return attr != nullptr;
    }
    if (slot.Online == 0) return true;
    ws.LastError = U_DSGetAttributeInfo(ws.client(), slot.Context, attrName, definition);
    ReportDirectoryError(ws.client(), ui, ws.LastError, "U_DSGetAttributeInfo: " + attrName);
    return ws.LastError == 0;
}
