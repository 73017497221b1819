// reconcile: the LDIF that gives Tree #2 what Tree #1 publishes and Tree #2 lacks.
#include <chrono>
#include <ctime>
#include <memory>

#include "cli/Commands.h"
#include "core/D_Util.h"
#include "core/reconcile/Reconcile.h"

namespace cli {

namespace {

const char* const kWorkingSources =
    "reconcile works with trees whose source publishes its definitions: an LDAP server, "
    ".schema files or an LDIF dump (connection kinds ldap, schema-files and ldif), named as "
    "tree:NAME, or a schema file saved from one";

std::shared_ptr<const PublishedSchema> Published(Session& session, int tree,
                                                 const TreeOperand& operand) {
    const TTreeInfo& slot = session.ws().tree(tree);
    std::shared_ptr<const PublishedSchema> schema = SlotPublishedSchema(slot);
    if (schema) return schema;
    if (slot.Online == 0)
        throw Trouble(operand.text +
                      " is a schema file of Kalvix's own format without published definitions "
                      "(saved from a tree description, or before Kalvix kept them): it holds the "
                      "window's rendering, not the definitions; " +
                      kWorkingSources);
    throw Trouble("the tree \"" + slot.TreeName +
                  "\" is a tree description, which holds no published definitions; " +
                  kWorkingSources);
}

}  // namespace

int RunReconcile(const Arguments& args) {
    RequireOperands(args, 2);
    if (args.schemaFileFormat && args.dialect == "ad")
        throw UsageError(
            "--format schema writes an OpenLDAP .schema file, which the ad dialect "
            "does not make");
    const TreeOperand a = ParseTreeOperand(args.operands[0]);
    const TreeOperand b = ParseTreeOperand(args.operands[1]);
    Session session(true, args.quiet);
    session.load(1, a);
    if (session.ui().troubleShown()) return session.finish(kExitTrouble);
    session.load(2, b);
    if (session.ui().troubleShown()) return session.finish(kExitTrouble);
    const std::shared_ptr<const PublishedSchema> tree1 = Published(session, 1, a);
    const std::shared_ptr<const PublishedSchema> tree2 = Published(session, 2, b);

    ReconcileOptions options;
    // As the window does: the dialect B's server takes, unless told otherwise.
    options.dialect = args.dialect == "openldap"  ? LdifDialect::OpenLdap
                      : args.dialect == "ad"      ? LdifDialect::Ad
                      : args.dialect == "rfc4512" ? LdifDialect::Rfc4512
                                                  : PreferredDialect(*tree2);
    // Whatever B's server is, a .schema file holds RFC 4512 descriptions.
    if (args.schemaFileFormat && args.dialect.empty()) options.dialect = LdifDialect::OpenLdap;
    options.includeChanged = args.includeChanged;
    options.includeConfigSchema = args.includeConfigSchema;
    options.schemaDn = args.schemaDn;
    options.forestPlaceholder = args.forestPlaceholder;
    if (options.dialect == LdifDialect::Ad && AdSchemaDn(options, *tree2).empty())
        throw Trouble("the ad dialect needs the DN of Tree #2's schema, and \"" +
                      session.ws().tree(2).TreeName +
                      "\" names no schema naming context: give --schema-dn DN or "
                      "--forest-placeholder");
    const ReconcilePlan plan = PlanReconcile(*tree1, *tree2, options);

    Workspace& ws = session.ws();
    LdifHeader header;
    header.tree1Name = ws.tree(1).TreeName;
    header.tree2Name = ws.tree(2).TreeName;
    header.program = "kalvix-cli";
    header.time = UtcTimestamp();
    header.schemaName =
        args.schemaName.empty() ? DefaultSchemaName(header.tree1Name) : args.schemaName;
    const std::string text = args.schemaFileFormat
                                 ? WriteReconcileSchemaFile(plan, *tree1, *tree2, options, header)
                                 : WriteReconcileLdif(plan, *tree1, *tree2, options, header);
    session.progress().clear();
    std::fwrite(text.data(), 1, text.size(), stdout);
    FlushOutput();
    if (plan.nothingToDo() && !args.quiet) std::fputs("Nothing to add\n", stderr);
    return session.finish(plan.nothingToDo() ? kExitSame : kExitDifferent);
}

}  // namespace cli
