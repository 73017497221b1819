#include "core/reconcile/Reconcile.h"

#include <cstddef>
#include <optional>
#include <unordered_map>
#include <utility>

#include "core/D_Util.h"
#include "core/model/LdapMapping.h"
#include "core/model/PublishedText.h"
#include "core/reconcile/ReconcileDetail.h"

namespace {

const char* KindText(DefinitionKind kind) {
    return kind == DefinitionKind::AttributeType ? "attribute type" : "object class";
}

std::string Quote(const std::string& name) { return "'" + name + "'"; }

// Lower-cased names, OIDs and shown names of one kind to the first definition carrying them.
struct KindIndex {
    explicit KindIndex(const std::vector<PublishedDefinition>& list) : defs(&list) {
        for (std::size_t i = 0; i < list.size(); ++i)
            byShown.try_emplace(AsciiLower(list[i].shown), i);
        for (std::size_t i = 0; i < list.size(); ++i) {
            for (const std::string& name : list[i].names) byName.try_emplace(AsciiLower(name), i);
            if (!list[i].oid.empty()) byName.try_emplace(AsciiLower(list[i].oid), i);
            byName.try_emplace(AsciiLower(list[i].shown), i);
        }
    }
    std::optional<std::size_t> shown(const std::string& name) const {
        const auto it = byShown.find(AsciiLower(name));
        return it == byShown.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<std::size_t> find(const std::string& token) const {
        const auto it = byName.find(AsciiLower(token));
        return it == byName.end() ? std::nullopt : std::optional(it->second);
    }
    const std::vector<PublishedDefinition>* defs;
    std::unordered_map<std::string, std::size_t> byShown;
    std::unordered_map<std::string, std::size_t> byName;
};

enum class Fate { Common, Candidate, Accepted, Refused };

using reconcile::Lookup;

// What a definition needs of Tree #2 beyond other definitions: the matching rules and the
// syntax it names (where Tree #2 lists them), and whatever the dialect's server refuses.
class Needs {
  public:
    Needs(const PublishedSchema& tree1, const PublishedSchema& tree2,
          const ReconcileOptions& options)
        : tree1_(tree1),
          tree2_(tree2),
          dialect_(options.dialect),
          includeConfigSchema_(options.includeConfigSchema),
          types1_(tree1.attributeTypes),
          types2_(tree2.attributeTypes),
          classes1_(tree1.objectClasses),
          classes2_(tree2.objectClasses) {}
    Needs(const Needs&) = delete;
    Needs& operator=(const Needs&) = delete;

    std::optional<std::string> unmet(DefinitionKind kind, const PublishedDefinition& def) const {
        if (std::optional<std::string> why = unwritable(kind, def)) return why;
        if (std::optional<std::string> why = reconcile::DialectRefusal(
                dialect_, kind, def, classes1_, classes2_, includeConfigSchema_, tree2_.ndsStyle))
            return why;
        if (kind == DefinitionKind::AttributeType) {
            const LdapElement& e = def.element;
            for (const auto& [label, rule] :
                 {std::pair<const char*, const std::string&>{"equality", e.equality},
                  {"ordering", e.ordering},
                  {"substring", e.substr}})
                if (!rule.empty() && !hasRule(rule))
                    return std::string("its ") + label + " matching rule '" + rule +
                           "' is not among Tree #2's matching rules";
            if (!e.syntax.empty() && !hasSyntax(e.syntax))
                return "its syntax " + e.syntax + " is not among Tree #2's syntaxes";
        }
        if (dialect_ == LdifDialect::Ad)
            return reconcile::AdRefusal(
                kind, def, types1_, chains_,
                kind == DefinitionKind::AttributeType ? classes2_ : types2_);
        return std::nullopt;
    }
    // The dialects that write the text itself, inside which a quoted string must read back.
    std::optional<std::string> unwritable(DefinitionKind kind,
                                          const PublishedDefinition& def) const {
        if (dialect_ == LdifDialect::Ad || reconcile::WrittenText(kind, def)) return std::nullopt;
        return std::string(
            "its quoted strings cannot be escaped so that it reads back the same (an apostrophe "
            "in one cannot be told from the string's end)");
    }
    const Lookup& types1() const { return types1_; }
    const Lookup& types2() const { return types2_; }
    const reconcile::SyntaxChains& chains1() const { return chains1_; }
    const reconcile::SyntaxChains& chains2() const { return chains2_; }

  private:
    bool hasRule(const std::string& rule) const {
        if (!tree2_.rules.publishes(ElementType::MatchingRule)) return true;
        return tree2_.rules.find(ElementType::MatchingRule, rule) != nullptr ||
               tree2_.rules.find(ElementType::MatchingRule, tree1_.rules.ruleKey(rule)) != nullptr;
    }
    bool hasSyntax(const std::string& syntax) const {
        if (!tree2_.rules.publishes(ElementType::LdapSyntax)) return true;
        return tree2_.rules.find(ElementType::LdapSyntax, syntax) != nullptr ||
               tree2_.rules.find(ElementType::LdapSyntax, tree1_.rules.syntaxKey(syntax)) !=
                   nullptr;
    }

    const PublishedSchema& tree1_;
    const PublishedSchema& tree2_;
    LdifDialect dialect_;
    bool includeConfigSchema_;
    Lookup types1_;
    Lookup types2_;
    Lookup classes1_;
    Lookup classes2_;
    reconcile::SyntaxChains chains_{types1_, types2_};
    reconcile::SyntaxChains chains1_{types1_, types1_};
    reconcile::SyntaxChains chains2_{types2_, types2_};
};

struct KindState {
    DefinitionKind kind;
    const KindIndex& tree1;
    const KindIndex& tree2;
    std::vector<Fate> fate;
    std::vector<std::string> reason;
    std::vector<std::size_t> order;  // accepted, each after its supers
    std::vector<bool> needed;        // by a class in scope (the class scope)
};

// Where a reference of Tree #1 leads: to something Tree #2 has, to a definition of Tree #1
// that Tree #2 lacks, or nowhere.
struct Target {
    enum { OnTree2, Tree1, Missing } where;
    std::size_t index = 0;
};

Target Resolve(const KindState& state, const std::string& token) {
    if (state.tree2.find(token)) return {Target::OnTree2};
    const std::optional<std::size_t> i = state.tree1.find(token);
    if (!i) return {Target::Missing};
    // Tree #2 has it under its shown name, whatever alias the reference uses.
    if (state.fate[*i] == Fate::Common) return {Target::OnTree2};
    return {Target::Tree1, *i};
}

// Why a reference cannot be met, or nothing when it can.
std::optional<std::string> Unmet(const KindState& state, const std::string& token,
                                 const std::string& role) {
    const Target t = Resolve(state, token);
    if (t.where == Target::Missing) return role + " " + Quote(token) + " is on neither tree";
    if (t.where == Target::Tree1 && state.fate[t.index] == Fate::Refused)
        return role + " " + Quote(token) + " cannot be added either";
    return std::nullopt;
}

// Names and OIDs that Tree #2 already gives to other definitions.
void RefuseClashes(KindState& state, const std::unordered_map<std::string, std::string>& oids2) {
    std::unordered_map<std::string, std::size_t> oids1;
    const auto& defs = *state.tree1.defs;
    for (std::size_t i = 0; i < defs.size(); ++i) {
        if (state.fate[i] != Fate::Candidate) continue;
        const PublishedDefinition& def = defs[i];
        if (def.operational) {
            state.fate[i] = Fate::Refused;
            state.reason[i] =
                "it is an operational attribute type, which the server that publishes it "
                "maintains itself";
            continue;
        }
        const std::string oid = AsciiLower(def.oid);
        if (!oid.empty()) {
            const auto used = oids2.find(oid);
            if (used != oids2.end()) {
                state.fate[i] = Fate::Refused;
                state.reason[i] =
                    "its OID " + def.oid + " is already used on Tree #2 by " + used->second;
                continue;
            }
            const auto [first, added] = oids1.try_emplace(oid, i);
            if (!added) {
                state.fate[i] = Fate::Refused;
                state.reason[i] = "its OID " + def.oid + " is also the OID of " +
                                  Quote(defs[first->second].shown) + " on Tree #1";
                continue;
            }
        }
        for (const std::string& name : def.names) {
            const std::optional<std::size_t> other = state.tree2.find(name);
            if (!other) continue;
            state.fate[i] = Fate::Refused;
            state.reason[i] = "the name " + Quote(name) + " is already used on Tree #2 by " +
                              Quote((*state.tree2.defs)[*other].shown);
            break;
        }
    }
}

void RefuseUnmet(KindState& state, const Needs& needs) {
    const auto& defs = *state.tree1.defs;
    for (std::size_t i = 0; i < defs.size(); ++i) {
        if (state.fate[i] != Fate::Candidate) continue;
        if (std::optional<std::string> why = needs.unmet(state.kind, defs[i])) {
            state.fate[i] = Fate::Refused;
            state.reason[i] = std::move(*why);
        }
    }
}

// Decides every candidate once all its supers are decided: a depth-first walk without
// recursion (chains may be thousands deep), in the order Tree #1 publishes them.
// adNaming: a class's X-NDS_NAMING becomes its rDNAttID, which AD must know too.
void DecideInOrder(KindState& state, const KindState* attributes, bool adNaming = false) {
    const auto& defs = *state.tree1.defs;
    const std::string superRole =
        state.kind == DefinitionKind::AttributeType ? "its super type" : "its super class";
    enum : unsigned char { kWhite, kGrey, kBlack };
    std::vector<unsigned char> colour(defs.size(), kWhite);
    struct Frame {
        std::size_t node;
        std::size_t nextSup;
    };
    std::vector<Frame> stack;
    auto finish = [&](std::size_t i) {
        colour[i] = kBlack;
        if (state.fate[i] != Fate::Candidate) return;
        const PublishedDefinition& def = defs[i];
        std::optional<std::string> why;
        for (const std::string& sup : def.sups)
            if ((why = Unmet(state, sup, superRole))) break;
        if (!why && attributes != nullptr) {
            for (const auto* list : {&def.must, &def.may}) {
                for (const std::string& attr : *list)
                    if ((why = Unmet(*attributes, attr, "the attribute type"))) break;
                if (why) break;
            }
        }
        if (!why && attributes != nullptr && adNaming)
            if (const std::string naming = ExtensionValue(def.element, "X-NDS_NAMING");
                !naming.empty())
                why = Unmet(*attributes, naming, "its naming attribute");
        if (why) {
            state.fate[i] = Fate::Refused;
            state.reason[i] = *why;
            return;
        }
        state.fate[i] = Fate::Accepted;
        state.order.push_back(i);
    };
    for (std::size_t root = 0; root < defs.size(); ++root) {
        if (colour[root] != kWhite || state.fate[root] == Fate::Common) continue;
        colour[root] = kGrey;
        stack.push_back({root, 0});
        while (!stack.empty()) {
            Frame& top = stack.back();
            const PublishedDefinition& def = defs[top.node];
            if (top.nextSup == def.sups.size()) {
                finish(top.node);
                stack.pop_back();
                continue;
            }
            const Target t = Resolve(state, def.sups[top.nextSup++]);
            if (t.where != Target::Tree1) continue;
            if (colour[t.index] == kWhite) {
                colour[t.index] = kGrey;
                stack.push_back({t.index, 0});
            } else if (colour[t.index] == kGrey) {
                // A loop: everything on it, from that definition up to here.
                std::size_t from = stack.size();
                while (from > 0 && stack[from - 1].node != t.index) --from;
                for (std::size_t k = from > 0 ? from - 1 : 0; k < stack.size(); ++k) {
                    const std::size_t n = stack[k].node;
                    if (state.fate[n] != Fate::Candidate) continue;
                    state.fate[n] = Fate::Refused;
                    state.reason[n] =
                        "its super chain loops back through " + Quote(defs[t.index].shown);
                }
            }
        }
    }
}

// In the class scope: the attribute types that the classes being added or changed use,
// and their super types.
void MarkNeeded(KindState& attributes, const std::vector<const PublishedDefinition*>& users) {
    std::vector<std::size_t> work;
    auto need = [&](const std::string& token) {
        const Target t = Resolve(attributes, token);
        if (t.where == Target::Tree1 && !attributes.needed[t.index]) {
            attributes.needed[t.index] = true;
            work.push_back(t.index);
        }
    };
    for (const PublishedDefinition* def : users) {
        for (const std::string& a : def->must) need(a);
        for (const std::string& a : def->may) need(a);
    }
    while (!work.empty()) {
        const std::size_t i = work.back();
        work.pop_back();
        for (const std::string& sup : (*attributes.tree1.defs)[i].sups) need(sup);
    }
}

KindState Classify(DefinitionKind kind, const KindIndex& tree1, const KindIndex& tree2) {
    KindState state{kind, tree1, tree2, {}, {}, {}, {}};
    const auto& defs = *tree1.defs;
    state.fate.assign(defs.size(), Fate::Candidate);
    state.reason.assign(defs.size(), {});
    state.needed.assign(defs.size(), false);
    for (std::size_t i = 0; i < defs.size(); ++i)
        if (tree2.shown(defs[i].shown)) state.fate[i] = Fate::Common;
    return state;
}

// Whether two definitions of one name say the same once what servers rewrite on their own
// is set aside: what is inherited spelled out or not (389 spells it out), and the {len}
// bound on a server that publishes none (389 drops them, AD has none).
bool SameAfterRewriting(const PublishedDefinition& def, const PublishedDefinition& old,
                        bool tree2DropsBounds) {
    if (def.canonical.empty() || def.canonical == old.canonical) return true;
    if (CanonicalForm(def.element) == CanonicalForm(old.element)) return true;
    return tree2DropsBounds &&
           reconcile::WithoutBound(def.canonical) == reconcile::WithoutBound(old.canonical);
}

bool DropsBounds(const PublishedSchema& tree2) {
    if (!tree2.server) return false;
    for (const PublishedDefinition& def : tree2.attributeTypes)
        if (!def.element.syntaxLength.empty()) return false;
    return true;
}

struct ChangeContext {
    const PublishedSchema& tree1;
    const PublishedSchema& tree2;
    const Needs& needs;
    LdifDialect dialect;
    bool tree2DropsBounds;
};

// Common definitions that differ: replaced when what the new one needs is there.
void PlanChanges(const KindState& state, const KindState* attributes,
                 const std::unordered_map<std::string, std::string>& oids2,
                 const ChangeContext& context, ReconcilePlan& plan,
                 std::vector<const PublishedDefinition*>& classUsers) {
    const auto& defs = *state.tree1.defs;
    const std::string superRole =
        state.kind == DefinitionKind::AttributeType ? "its super type" : "its super class";
    for (std::size_t i = 0; i < defs.size(); ++i) {
        if (state.fate[i] != Fate::Common) continue;
        const PublishedDefinition& def = defs[i];
        const PublishedDefinition& old = (*state.tree2.defs)[*state.tree2.shown(def.shown)];
        if (SameAfterRewriting(def, old, context.tree2DropsBounds)) continue;
        std::optional<std::string> why;
        reconcile::AdChange ad;
        if (context.dialect == LdifDialect::Ad) {
            ad = reconcile::CompareForAd(state.kind, def, old, context.tree1, context.tree2,
                                         context.needs.types1(), context.needs.types2(),
                                         context.needs.chains1(), context.needs.chains2());
            if (!ad.refusal && !ad.any()) continue;
            why = ad.refusal;
        } else if (state.kind == DefinitionKind::AttributeType) {
            why = context.needs.unmet(state.kind, def);
        } else {
            why = context.needs.unwritable(state.kind, def);
        }
        const std::string oid = AsciiLower(def.oid);
        if (!oid.empty() && oid != AsciiLower(old.oid)) {
            const auto used = oids2.find(oid);
            if (used != oids2.end())
                why = "its OID " + def.oid + " is already used on Tree #2 by " + used->second;
        }
        for (const std::string& sup : def.sups)
            if (!why) why = Unmet(state, sup, superRole);
        if (attributes != nullptr)
            for (const auto* list : {&def.must, &def.may})
                for (const std::string& attr : *list)
                    if (!why) why = Unmet(*attributes, attr, "the attribute type");
        if (why) {
            plan.refused.push_back({state.kind, &def, *why, true});
            continue;
        }
        plan.changes.push_back({state.kind, &def, &old, ad.mayAdded, ad.descriptionChanged});
        if (attributes != nullptr) classUsers.push_back(&def);
    }
}

}  // namespace

std::shared_ptr<const PublishedSchema> SlotPublishedSchema(const TTreeInfo& slot) {
    if (!slot.Schema) return nullptr;
    auto view = std::make_shared<PublishedSchema>(PublishedView(*slot.Schema));
    // A schema file of Kalvix's own is a snapshot of its origin; files read whole name
    // themselves.
    if (slot.Online == 0 && slot.SchemaFile) {
        // kalvix-cli names standard input "-".
        std::string snapshot =
            "the snapshot " +
            (slot.FileName == "-" ? std::string("on standard input") : slot.FileName);
        if (!view->origin.empty()) snapshot += " of " + view->origin;
        if (!slot.Schema->origin.taken.empty()) snapshot += " taken " + slot.Schema->origin.taken;
        view->origin = std::move(snapshot);
    }
    return view;
}

ReconcilePlan PlanReconcile(const PublishedSchema& tree1, const PublishedSchema& tree2,
                            const ReconcileOptions& options) {
    ReconcilePlan plan;
    const KindIndex attrs1(tree1.attributeTypes), attrs2(tree2.attributeTypes);
    const KindIndex classes1(tree1.objectClasses), classes2(tree2.objectClasses);
    // OIDs name one definition across both kinds.
    std::unordered_map<std::string, std::string> oids2;
    for (const auto& [list, kind] :
         {std::pair{&tree2.attributeTypes, DefinitionKind::AttributeType},
          std::pair{&tree2.objectClasses, DefinitionKind::ObjectClass}})
        for (const PublishedDefinition& def : *list)
            if (!def.oid.empty())
                oids2.try_emplace(AsciiLower(def.oid),
                                  std::string(KindText(kind)) + " " + Quote(def.shown));

    const Needs needs(tree1, tree2, options);
    const ChangeContext context{tree1, tree2, needs, options.dialect, DropsBounds(tree2)};
    KindState attributes = Classify(DefinitionKind::AttributeType, attrs1, attrs2);
    RefuseClashes(attributes, oids2);
    RefuseUnmet(attributes, needs);
    DecideInOrder(attributes, nullptr);

    const bool wantAttributes = options.scope != ReconcileScope::ObjectClasses;
    const bool wantClasses = options.scope != ReconcileScope::AttributeTypes;
    std::vector<const PublishedDefinition*> classUsers;
    std::vector<PlannedChange> classChanges;
    std::vector<RefusedDefinition> classRefusals;
    std::vector<PlannedAddition> classAdditions;
    if (wantClasses) {
        KindState classes = Classify(DefinitionKind::ObjectClass, classes1, classes2);
        RefuseClashes(classes, oids2);
        RefuseUnmet(classes, needs);
        DecideInOrder(classes, &attributes, options.dialect == LdifDialect::Ad);
        for (std::size_t i : classes.order) {
            classAdditions.push_back({DefinitionKind::ObjectClass, &tree1.objectClasses[i]});
            classUsers.push_back(&tree1.objectClasses[i]);
        }
        for (std::size_t i = 0; i < classes.fate.size(); ++i)
            if (classes.fate[i] == Fate::Refused)
                classRefusals.push_back({DefinitionKind::ObjectClass, &tree1.objectClasses[i],
                                         classes.reason[i], false});
        if (options.includeChanged) {
            ReconcilePlan changes;
            PlanChanges(classes, &attributes, oids2, context, changes, classUsers);
            classChanges = std::move(changes.changes);
            classRefusals.insert(classRefusals.end(), changes.refused.begin(),
                                 changes.refused.end());
        }
    }

    if (!wantAttributes) {
        MarkNeeded(attributes, classUsers);
        // Refused types a class wanted explain that class's refusal.
        for (const RefusedDefinition& r : classRefusals)
            for (const auto* list : {&r.definition->must, &r.definition->may})
                for (const std::string& a : *list) {
                    const Target t = Resolve(attributes, a);
                    if (t.where == Target::Tree1) attributes.needed[t.index] = true;
                }
    }
    const auto inScope = [&](std::size_t i) { return wantAttributes || attributes.needed[i]; };
    for (std::size_t i : attributes.order)
        if (inScope(i))
            plan.additions.push_back({DefinitionKind::AttributeType, &tree1.attributeTypes[i]});
    for (std::size_t i = 0; i < attributes.fate.size(); ++i)
        if (attributes.fate[i] == Fate::Refused && inScope(i))
            plan.refused.push_back({DefinitionKind::AttributeType, &tree1.attributeTypes[i],
                                    attributes.reason[i], false});
    if (options.includeChanged && wantAttributes) {
        std::vector<const PublishedDefinition*> unused;
        PlanChanges(attributes, nullptr, oids2, context, plan, unused);
    }
    plan.additions.insert(plan.additions.end(), classAdditions.begin(), classAdditions.end());
    plan.changes.insert(plan.changes.end(), classChanges.begin(), classChanges.end());
    plan.refused.insert(plan.refused.end(), classRefusals.begin(), classRefusals.end());
    return plan;
}
