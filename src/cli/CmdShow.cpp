// show: a definition as the window's detail panes render it, with its published text when
// the tree has one.
#include "cli/Commands.h"
#include "core/compare/Compare.h"
#include "core/directory/DefinitionAccess.h"

namespace cli {

namespace {

// The tree's own spelling of name, as a click in its list would hand it over.
const NameEntry* FindName(const NameList& names, const std::string& name) {
    const std::string key = NameKey(name);
    for (const NameEntry& entry : names)
        if (NameKey(entry.name) == key) return &entry;
    return nullptr;
}

}  // namespace

int RunShow(const Arguments& args) {
    RequireOperands(args, 2);
    const TreeOperand a = ParseTreeOperand(args.operands[0]);
    const std::string& name = args.operands[1];
    Session session(a.live, args.quiet);
    session.load(1, a);
    session.progress().clear();

    Workspace& ws = session.ws();
    const TTreeInfo& slot = ws.tree(1);
    // Another NAME or the OID of a published definition finds it under the name its tree's
    // list gives it, which heads what is shown.
    std::string listed = name;
    if (slot.Schema && !FindName(slot.ClassNames, name) && !FindName(slot.AttrNames, name)) {
        for (ElementType type : {ElementType::ObjectClass, ElementType::AttributeType}) {
            if (type == ElementType::ObjectClass ? args.attributeOnly : args.classOnly) continue;
            if (const LdapElement* e = slot.Schema->published.find(type, name)) {
                listed = slot.Schema->shownName(type, *e);
                break;
            }
        }
    }
    const NameEntry* asClass = args.attributeOnly ? nullptr : FindName(slot.ClassNames, listed);
    const NameEntry* asAttr =
        args.classOnly || asClass ? nullptr : FindName(slot.AttrNames, listed);
    if (!asClass && !asAttr) {
        const char* what = args.classOnly       ? "class"
                           : args.attributeOnly ? "attribute"
                                                : "class or attribute";
        throw Trouble("the tree \"" + slot.TreeName + "\" has no " + what + " named \"" + name +
                      "\"");
    }

    const std::vector<std::string> lines =
        asClass
            ? DefinitionLines(ws, session.ui(), 1, ElementType::ObjectClass, asClass->name, false)
            : DefinitionLines(ws, session.ui(), 1, ElementType::AttributeType, asAttr->name, false);
    for (const std::string& line : lines) WriteLine(line);
    FlushOutput();
    return session.finish(kExitSame);
}

}  // namespace cli
