// save: a live tree's schema file, written as the window's "Save to File" writes it.
#include "cli/Commands.h"
#include "core/SchemaFile.h"
#include "core/ini/IniFile.h"

namespace cli {

int RunSave(const Arguments& args) {
    RequireOperands(args, 2);
    const TreeOperand source = ParseTreeOperand(args.operands[0]);
    if (!source.live)
        throw UsageError("save reads a live tree: write the tree as tree:NAME, not a file");
    const TreeOperand target = ParseTreeOperand(args.operands[1]);
    if (target.live) throw UsageError("save writes a file, not a tree: " + target.text);
    // The schema file is replaced whole at the end, which a pipe cannot be.
    if (target.standardInput)
        throw UsageError("save writes a file, not standard output: write ./- for a file named -");

    Session session(true, args.quiet);
    session.load(1, source);
    const TTreeInfo& slot = session.ws().tree(1);
    // The window offers "Save to File" only for a tree with classes; an empty file would
    // overwrite a good snapshot with nothing. A failed read says so itself (below).
    if (slot.ClassNames.empty() && slot.NamesReadFailure.empty())
        throw Trouble("the tree \"" + slot.TreeName + "\" delivered no classes; nothing saved");
    try {
        SaveSchemaFile(
            session.ws(), session.ui(), 1, target.path,
            [&session](const std::string& message) { session.progress().show(message); });
    } catch (const IniWriteError& error) {
        throw Trouble(error.detail().empty() ? std::string(error.what())
                                             : error.what() + std::string(": ") + error.detail());
    } catch (const SchemaReadError& error) {
        throw Trouble(error.what());
    }
    return session.finish(kExitSame);
}

}  // namespace cli
