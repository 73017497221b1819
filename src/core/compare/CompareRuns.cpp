// The comparisons that fetch their definitions: one name, or a whole run over both trees.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>

#include "core/D_Util.h"
#include "core/compare/BuiltIn.h"
#include "core/compare/Compare.h"
#include "core/compare/ElementSets.h"
#include "core/compare/QuickCheck.h"
#include "core/compare/Render.h"
#include "core/directory/DefinitionAccess.h"

namespace {

// When both trees publish the definition, the two compare in LDAP's terms alone: its
// fields that differ, and nothing from the records. False when one tree has none.
bool CompareFields(Workspace& ws, ElementType type, const std::string& name1,
                   const std::string& name2, Findings& out) {
    const LdapElement* a = PublishedElementOf(ws.tree(1), type, name1);
    const LdapElement* b = PublishedElementOf(ws.tree(2), type, name2);
    if (a == nullptr || b == nullptr) return false;
    CompareElements(name1, *a, ws.tree(1).Schema->published, *b, ws.tree(2).Schema->published,
                    ws.Fields, out);
    return true;
}

// Below a record's rendering, the text its source published, when it did.
void AppendPublishedText(const TTreeInfo& slot, ElementType type, const std::string& name,
                         Lines& out) {
    const LdapElement* element = PublishedElementOf(slot, type, name);
    if (element == nullptr || element->text.empty()) return;
    out.emplace_back();
    out.emplace_back("Published definition:");
    out.push_back(element->text);
}

Lines LinesOf(const Findings& findings) {
    Lines lines;
    for (const Finding& f : findings) AppendFindingLines(f, lines);
    return lines;
}

// Each tree's definition is fetched under that tree's own spelling of the name; the
// findings name it as Tree #1 writes it.
// Each tree's reads report through its own hooks. Both return the trees whose read
// failed: bit 1 for Tree #1, bit 2 for Tree #2.
unsigned FetchClasses(Workspace& ws, UiHooks& ui1, UiHooks& ui2, const std::string& className,
                      const std::string& name2, TClassInfo& a, TClassInfo& b) {
    const bool whole1 = GetClassDef(ws, ui1, 1, className, a);
    const bool whole2 = GetClassDef(ws, ui2, 2, name2, b);
    return (whole1 ? 0U : 1U) | (whole2 ? 0U : 2U);
}

unsigned FetchAttrs(Workspace& ws, UiHooks& ui1, UiHooks& ui2, const std::string& attrName,
                    const std::string& name2, std::string& def1, std::string& def2) {
    const bool whole1 = GetAttrDef(ws, ui1, 1, attrName, def1);
    const bool whole2 = GetAttrDef(ws, ui2, 2, name2, def2);
    return (whole1 ? 0U : 1U) | (whole2 ? 0U : 2U);
}

// The records a run fetches into, one pair for the whole run: the reads reuse their room
// rather than allocate for every definition.
struct RunRecords {
    TClassInfo class1, class2;
    std::string attr1, attr2;
};

unsigned CompareClass(Workspace& ws, UiHooks& ui1, UiHooks& ui2, const std::string& className,
                      const std::string& name2, RunRecords& records, Findings& out) {
    if (CompareFields(ws, ElementType::ObjectClass, className, name2, out)) return 0;
    const unsigned failed =
        FetchClasses(ws, ui1, ui2, className, name2, records.class1, records.class2);
    CompareClassInfos(className, records.class1, records.class2, out);
    return failed;
}

unsigned CompareAttr(Workspace& ws, UiHooks& ui1, UiHooks& ui2, const std::string& attrName,
                     const std::string& name2, RunRecords& records, Findings& out) {
    if (CompareFields(ws, ElementType::AttributeType, attrName, name2, out)) return 0;
    // A schema file's missing entry leaves what is passed: the last attribute's must go.
    records.attr1.clear();
    records.attr2.clear();
    const unsigned failed = FetchAttrs(ws, ui1, ui2, attrName, name2, records.attr1, records.attr2);
    CompareAttrDefs(attrName, records.attr1, records.attr2, out);
    return failed;
}

using Comparer = unsigned (*)(Workspace&, UiHooks&, UiHooks&, const std::string&,
                              const std::string&, RunRecords&, Findings&);

// The messages of a run's reads, kept in their order until the run knows whether to show
// them; each remembers the tree it is about.
class HeldMessages {
  public:
    explicit HeldMessages(UiHooks& ui) : ui_(ui) {}
    void hold(int tree, bool error, DlgType type, const std::string& msg,
              const std::string& detail) {
        held_.push_back({tree, error, type, msg, detail, false, 0, {}});
    }
    // A failed directory operation, shown later as the front end says those.
    void holdDirectoryError(int tree, std::int64_t code, const std::string& operation,
                            const std::string& explanation) {
        held_.push_back({tree, true, DlgType::Error, ErrorCodeText(code, operation), explanation,
                         true, code, operation});
    }
    UiHooks& ui() { return ui_; }
    void show() {
        for (const Held& h : held_) {
            if (h.directory)
                ui_.showDirectoryError(h.code, h.operation, h.detail);
            else if (h.error)
                ui_.showErrorDlg(h.msg, h.detail);
            else
                ui_.showMsgDlg(h.type, h.msg);
        }
        held_.clear();
    }
    // Instead of them all: that the tree gave no definition, with its first error.
    void showStopped(int tree, const std::string& treeName) {
        const auto first = std::find_if(held_.begin(), held_.end(), [tree](const Held& h) {
            return h.error && h.tree == tree;
        });
        const std::string code = first != held_.end() ? " (" + first->msg + ")" : std::string();
        ui_.showErrorDlg("Reading the definitions of Tree #" + std::to_string(tree) + " \"" +
                             treeName + "\" failed" + code + "; the comparison stopped",
                         first != held_.end() ? first->detail : std::string());
        held_.clear();
    }

  private:
    struct Held {
        int tree;
        bool error;
        DlgType type;
        std::string msg;
        std::string detail;
        bool directory;
        std::int64_t code;
        std::string operation;
    };
    UiHooks& ui_;
    std::vector<Held> held_;
};

// One tree's reads, reporting into the run's held messages.
class HeldUi : public UiHooks {
  public:
    HeldUi(HeldMessages& messages, int tree) : messages_(messages), tree_(tree) {}
    void showMsgDlg(DlgType type, const std::string& msg) override {
        messages_.hold(tree_, false, type, msg, {});
    }
    void showErrorDlg(const std::string& msg, const std::string& detail) override {
        messages_.hold(tree_, true, DlgType::Error, msg, detail);
    }
    void showDirectoryError(std::int64_t code, const std::string& operation,
                            const std::string& explanation) override {
        messages_.holdDirectoryError(tree_, code, operation, explanation);
    }
    void processEvents() override { messages_.ui().processEvents(); }
    bool runsEvents() const override { return messages_.ui().runsEvents(); }

  private:
    HeldMessages& messages_;
    int tree_;
};

// The run shared by classes and attributes. Where events run in between (the window), the
// name lists are copied first: a reload must not pull them away from under the loop. (The
// finding sink is not called emit: QtCore defines that word away.)
bool CompareAll(Workspace& ws, UiHooks& ui, NameList TTreeInfo::*names, FindingType uniqueType,
                ElementType type, Comparer compare, const LineFn& progress, const FindingFn& sink) {
    NameList copy1;
    NameList copy2;
    if (ui.runsEvents()) {
        copy1 = ws.tree(1).*names;
        copy2 = ws.tree(2).*names;
    }
    const NameList& names1 = ui.runsEvents() ? copy1 : ws.tree(1).*names;
    const NameList& names2 = ui.runsEvents() ? copy2 : ws.tree(2).*names;
    // Each offline slot's file is checked against the disk once for the whole run.
    std::vector<std::unique_ptr<IniFile::Hold>> holds;
    for (int t : {1, 2})
        if (ws.tree(t).Online == 0 && ws.tree(t).SchemaFile)
            holds.push_back(std::make_unique<IniFile::Hold>(*ws.tree(t).SchemaFile));

    const NameMatches matches = MatchNamesBothWays(names1, names2);
    const std::vector<std::size_t>& in2 = matches.in2;

    // Against the files it runs, a server's own definitions come after the other unique
    // names, in one block.
    const int server = ServerAgainstFiles(ws);
    std::vector<Finding> builtIn;
    auto unique = [&](int tree, const std::string& name) {
        if (!sink) return;
        Finding f;
        f.type = uniqueType;
        f.tree = tree;
        f.name = name;
        if (tree == server) {
            const TreeSchema& schema = *ws.tree(tree).Schema;
            const LdapElement* e = nullptr;
            if (type == ElementType::ObjectClass) {
                if (const SchemaClass* c = schema.findClass(name)) e = schema.elementOf(*c);
            } else if (const SchemaAttribute* a = schema.findAttribute(name)) {
                e = schema.elementOf(*a);
            }
            // Files that define it under another name do have it: that is a difference.
            const TreeSchema& files = *ws.tree(3 - tree).Schema;
            if (e != nullptr && BuiltIntoServer(*e) && !files.published.find(type, e->oid)) {
                f.builtIn = true;
                builtIn.push_back(std::move(f));
                return;
            }
        }
        sink(f);
    };
    for (std::size_t i = 0; i < names1.size(); ++i)
        if (in2[i] == kNoMatch) unique(1, names1[i].name);
    for (std::size_t i = 0; i < names2.size(); ++i)
        if (!matches.common2[i]) unique(2, names2[i].name);
    for (const Finding& f : builtIn) sink(f);
    // A renamed definition, or two that clash: the OID tells.
    if (sink && ws.tree(1).Schema && ws.tree(2).Schema) {
        std::vector<std::string> unique1;
        std::vector<std::string> unique2;
        for (std::size_t i = 0; i < names1.size(); ++i)
            if (in2[i] == kNoMatch) unique1.push_back(names1[i].name);
        for (std::size_t i = 0; i < names2.size(); ++i)
            if (!matches.common2[i]) unique2.push_back(names2[i].name);
        Findings same;
        FindSameOids(type, unique1, unique2, *ws.tree(1).Schema, *ws.tree(2).Schema, same);
        for (const Finding& f : same) sink(f);
    }

    // A tree that fails the first two names it is asked for, having given none before,
    // gives none at all (a server gone, a context on no tree): the run stops with one
    // message rather than one per definition. The first failure's messages wait for the
    // second name to tell which it is, and so do its findings.
    HeldMessages held(ui);
    HeldUi ui1(held, 1);
    HeldUi ui2(held, 2);
    unsigned readFrom = 0;     // trees that have given a definition in this run
    unsigned failedFirst = 0;  // trees whose first name failed, its messages held
    Findings pending;          // the findings that wait with them
    Findings found;
    RunRecords records;
    for (std::size_t i = 0; i < names1.size(); ++i) {
        if (progress) progress(names1[i].name);
        if (in2[i] == kNoMatch) continue;
        found.clear();
        const unsigned failed =
            compare(ws, ui1, ui2, names1[i].name, names2[in2[i]].name, records, found);
        if (const unsigned failedAgain = failed & failedFirst; failedAgain != 0) {
            const int tree = (failedAgain & 1U) != 0 ? 1 : 2;
            held.showStopped(tree, ws.tree(tree).TreeName);
            return false;
        }
        readFrom |= 3U & ~failed;
        failedFirst = failed & ~readFrom;
        std::move(found.begin(), found.end(), std::back_inserter(pending));
        if (failedFirst != 0) continue;
        held.show();
        if (sink)
            for (const Finding& f : pending) sink(f);
        pending.clear();
        // After the findings are out, so the growing list is painted during a long run.
        ui.processEvents();
    }
    held.show();
    if (sink)
        for (const Finding& f : pending) sink(f);
    return true;
}

}  // namespace

OneComparison CompareOneClassFindings(Workspace& ws, UiHooks& ui, const std::string& className) {
    const std::string name2 = SpellingIn(ws.tree(2).ClassNames, className);
    OneComparison result;
    Lines shown;
    if (CompareFields(ws, ElementType::ObjectClass, className, name2, result.findings)) {
        if (result.findings.empty())
            shown = DefinitionLines(ws, ui, 1, ElementType::ObjectClass, className, true);
    } else {
        TClassInfo a;
        TClassInfo b;
        FetchClasses(ws, ui, ui, className, name2, a, b);
        // The comparison consumes the lists; an identical class is shown as Tree #1 has it.
        TClassInfo copy = a;
        if (CompareClassInfos(className, a, b, result.findings)) {
            shown = DisplayClass(className, copy);
            AppendPublishedText(ws.tree(1), ElementType::ObjectClass, className, shown);
        }
    }
    if (result.findings.empty()) {
        result.identical = {"Class identical: ", ""};
        result.identical.insert(result.identical.end(), shown.begin(), shown.end());
    }
    ui.processEvents();
    return result;
}

OneComparison CompareOneAttrFindings(Workspace& ws, UiHooks& ui, const std::string& attrName) {
    const std::string name2 = SpellingIn(ws.tree(2).AttrNames, attrName);
    OneComparison result;
    Lines shown;
    if (CompareFields(ws, ElementType::AttributeType, attrName, name2, result.findings)) {
        if (result.findings.empty())
            shown = DefinitionLines(ws, ui, 1, ElementType::AttributeType, attrName, true);
    } else {
        std::string def1;
        std::string def2;
        FetchAttrs(ws, ui, ui, attrName, name2, def1, def2);
        if (CompareAttrDefs(attrName, def1, def2, result.findings)) {
            shown = DisplayAttribute(attrName, TAttrInfo{def1});
            AppendPublishedText(ws.tree(1), ElementType::AttributeType, attrName, shown);
        }
    }
    if (result.findings.empty()) {
        result.identical = {"Attribute identical: ", ""};
        result.identical.insert(result.identical.end(), shown.begin(), shown.end());
    }
    ui.processEvents();
    return result;
}

Lines CompareOneClass(Workspace& ws, UiHooks& ui, const std::string& className,
                      bool reportIdentical) {
    OneComparison one = CompareOneClassFindings(ws, ui, className);
    if (one.findings.empty()) return reportIdentical ? std::move(one.identical) : Lines();
    return LinesOf(one.findings);
}

Lines CompareOneAttr(Workspace& ws, UiHooks& ui, const std::string& attrName,
                     bool reportIdentical) {
    OneComparison one = CompareOneAttrFindings(ws, ui, attrName);
    if (one.findings.empty()) return reportIdentical ? std::move(one.identical) : Lines();
    return LinesOf(one.findings);
}

const LdapElement* PublishedElementOf(const TTreeInfo& slot, ElementType type,
                                      const std::string& name) {
    if (!slot.Schema) return nullptr;
    if (type == ElementType::ObjectClass) {
        const SchemaClass* cls = slot.Schema->findClass(name);
        return cls ? slot.Schema->elementOf(*cls) : nullptr;
    }
    const SchemaAttribute* attr = slot.Schema->findAttribute(name);
    return attr ? slot.Schema->elementOf(*attr) : nullptr;
}

Lines DefinitionLines(Workspace& ws, UiHooks& ui, int tree, ElementType type,
                      const std::string& name, bool wrap) {
    const TTreeInfo& slot = ws.tree(tree);
    if (const LdapElement* element = PublishedElementOf(slot, type, name))
        return DisplayElement(name, *element, slot.Schema->published, wrap);
    if (type == ElementType::ObjectClass) {
        TClassInfo info;
        GetClassDef(ws, ui, tree, name, info);
        return DisplayClass(name, info);
    }
    TAttrInfo info;
    GetAttrDef(ws, ui, tree, name, info.Definition);
    return DisplayAttribute(name, info);
}

bool CompareAllClasses(Workspace& ws, UiHooks& ui, const LineFn& progress, const FindingFn& sink) {
    return CompareAll(ws, ui, &TTreeInfo::ClassNames, FindingType::UniqueClass,
                      ElementType::ObjectClass, CompareClass, progress, sink);
}

bool CompareAllAttributes(Workspace& ws, UiHooks& ui, const LineFn& progress,
                          const FindingFn& sink) {
    return CompareAll(ws, ui, &TTreeInfo::AttrNames, FindingType::UniqueAttribute,
                      ElementType::AttributeType, CompareAttr, progress, sink);
}

bool PublishesOtherElements(Workspace& ws) {
    const TTreeInfo& one = ws.tree(1);
    const TTreeInfo& two = ws.tree(2);
    if (!one.Schema || !two.Schema) return false;
    // One tree publishing a type the other does not is a finding too.
    for (ElementType type : kOtherElementTypes)
        if (one.Schema->published.publishes(type) || two.Schema->published.publishes(type))
            return true;
    return false;
}

void CompareOtherElements(Workspace& ws, const FindingFn& sink) {
    const TTreeInfo& one = ws.tree(1);
    const TTreeInfo& two = ws.tree(2);
    if (!one.Schema || !two.Schema || !sink) return;
    Findings found;
    for (ElementType type : kOtherElementTypes)
        CompareElementSets(type, one.Schema->published, two.Schema->published, ws.Fields, found);
    for (const Finding& f : found) sink(f);
}
