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
    const NameEntry* asClass = args.attributeOnly ? nullptr : FindName(slot.ClassNames, name);
    const NameEntry* asAttr = args.classOnly || asClass ? nullptr : FindName(slot.AttrNames, name);
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
