// The JSON documents: a comparison, a quick check and a survey. Members and parts that
// only published definitions give appear only when a tree has them, so the documents of
// other trees read as they always have.
#include "core/compare/Compare.h"
#include "core/model/Definitions.h"
#include "core/writers/Json.h"
#include "core/writers/Output.h"

namespace {

// Scripts tell the documents' versions apart by this number; it grows when a member
// changes meaning or goes away.
constexpr int kDocumentFormat = 1;

// A value a tree lacks is null; one it inherits says from which super type.
void WriteFieldMembers(JsonWriter& out, const Finding& f) {
    if (f.type == FindingType::FieldItem) {
        out.key("kind").value("Item");
        out.key("field").value(f.label);
        out.key("tree").value(f.tree);
        out.key("item").value(f.text1);
        return;
    }
    out.key("kind").value("Field");
    out.key("field").value(f.label);
    for (int tree = 1; tree <= 2; ++tree) {
        out.key(tree == 1 ? "value1" : "value2");
        if (tree == 1 ? f.none1 : f.none2)
            out.null();
        else
            out.value(tree == 1 ? f.text1 : f.text2);
        const std::string& from = tree == 1 ? f.from1 : f.from2;
        if (!from.empty()) out.key(tree == 1 ? "inherited1" : "inherited2").value(from);
    }
}

void WriteSameOidMembers(JsonWriter& out, const Finding& f) {
    out.key("kind").value("SameOid");
    out.key("tree").value(f.tree);
    out.key("other").value(f.text1);
    out.key("oid").value(f.text2);
}

bool IsPublishedFinding(const Finding& f) {
    return f.type == FindingType::Field || f.type == FindingType::FieldItem ||
           f.type == FindingType::SameOid;
}

// Field and SameOid findings: the same for classes and attributes but for the name's key.
void WritePublishedFinding(JsonWriter& out, const char* nameKey, const Finding& f) {
    out.beginObject();
    out.key(nameKey).value(f.name);
    if (f.type == FindingType::SameOid)
        WriteSameOidMembers(out, f);
    else
        WriteFieldMembers(out, f);
    out.endObject();
}

void WriteClassDifferences(JsonWriter& out, const Findings& found) {
    out.key("differences").beginArray();
    for (const Finding& f : found) {
        if (f.type == FindingType::ClassFlags) {
            // One object per tree, as the two lines say.
            for (int tree = 1; tree <= 2; ++tree) {
                out.beginObject();
                out.key("class").value(f.name);
                out.key("kind").value("Flags");
                out.key("tree").value(tree);
                out.key("item").value(tree == 1 ? f.text1 : f.text2);
                out.endObject();
            }
        } else if (f.type == FindingType::ClassItem) {
            out.beginObject();
            out.key("class").value(f.name);
            out.key("kind").value(ClassItemLabel(f.kind));
            out.key("tree").value(f.tree);
            out.key("item").value(f.text1);
            out.endObject();
        } else if (IsPublishedFinding(f)) {
            WritePublishedFinding(out, "class", f);
        }
    }
    out.endArray();
}

void WriteAttrDifferences(JsonWriter& out, const Findings& found) {
    out.key("differences").beginArray();
    for (const Finding& f : found) {
        if (f.type == FindingType::AttrDefinition) {
            out.beginObject();
            out.key("attribute").value(f.name);
            out.key("definition1").value(f.text1);
            out.key("definition2").value(f.text2);
            out.endObject();
        } else if (IsPublishedFinding(f)) {
            WritePublishedFinding(out, "attribute", f);
        }
    }
    out.endArray();
}

void WriteElementFindings(JsonWriter& out, const Findings& found) {
    out.key("elements").beginArray();
    for (const Finding& f : found) {
        if (f.type == FindingType::SameOid) continue;
        out.beginObject();
        out.key("type").value(ElementTypeLabel(f.kind));
        if (f.type == FindingType::Unpublished) {
            out.key("kind").value("Unpublished");
            out.key("tree").value(f.tree);
            out.key("published").value(std::stoi(f.text1));
            out.endObject();
            continue;
        }
        out.key("name").value(f.name);
        if (f.type == FindingType::Field || f.type == FindingType::FieldItem) {
            WriteFieldMembers(out, f);
        } else {
            out.key("kind").value("Unique");
            out.key("tree").value(f.tree);
        }
        out.endObject();
    }
    out.endArray();
}

// "format", then "trees": both slots' names and where they came from.
void WriteTreesJson(JsonWriter& json, Workspace& ws) {
    json.key("format").value(kDocumentFormat);
    json.key("trees").beginArray();
    for (int tree = 1; tree <= 2; ++tree) {
        const TTreeInfo& slot = ws.tree(tree);
        json.beginObject();
        json.key("tree").value(tree);
        json.key("name").value(slot.TreeName);
        const SlotKind kind = KindOf(slot);
        json.key("source").value(SlotKindWord(kind));
        if (kind == SlotKind::SchemaFile) json.key("file").value(slot.FileName);
        if (kind == SlotKind::LdifDump || kind == SlotKind::SchemaFiles)
            json.key("file").value(slot.Schema->origin.description);
        json.endObject();
    }
    json.endArray();
}

void WriteNameListsJson(JsonWriter& json, const QuickCheckLists& lists) {
    json.key("unique1").value(lists.unique1);
    json.key("common").value(lists.common);
    json.key("unique2").value(lists.unique2);
}

void WriteSourceMembers(JsonWriter& json, const SurveySource& source) {
    json.key("name").value(source.name);
    json.key("source").value(source.kind);
    if (!source.live) json.key("file").value(source.file);
}

// A surveyed tree's names only one side has, found by the run; the common names are
// left out, as they would repeat the baseline's for every tree.
void WriteUniqueNames(JsonWriter& json, const Findings& found, FindingType type) {
    for (int tree = 1; tree <= 2; ++tree) {
        json.key(tree == 1 ? "unique1" : "unique2").beginArray();
        for (const Finding& f : found)
            if (f.type == type && f.tree == tree) json.value(f.name);
        json.endArray();
    }
}

void WriteSurveyTree(JsonWriter& json, const SurveyTree& tree) {
    json.beginObject();
    json.key("operand").value(tree.operand);
    json.key("label").value(tree.label);
    if (!tree.read) {
        json.key("line").value(SurveyLine(tree));
        json.key("verdict").value("unreadable");
        json.key("problem").value(tree.problem);
        json.endObject();
        return;
    }
    WriteSourceMembers(json, tree.source);
    json.key("verdict").value(tree.different ? "differs" : "identical");
    json.key("line").value(SurveyLine(tree));
    json.key("counts").beginObject();
    json.key("classes").value(static_cast<int>(tree.counts.classes));
    json.key("attributes").value(static_cast<int>(tree.counts.attributes));
    json.key("elements").value(static_cast<int>(tree.counts.elements));
    json.key("fields").value(static_cast<int>(tree.counts.fields));
    json.endObject();
    if (!tree.notices.empty()) {
        json.key("notices").beginArray();
        for (const std::string& notice : tree.notices) json.value(notice);
        json.endArray();
    }
    const ComparisonFindings& found = tree.found;
    if (found.classes) {
        json.key("classes").beginObject();
        WriteUniqueNames(json, *found.classes, FindingType::UniqueClass);
        WriteClassDifferences(json, *found.classes);
        json.endObject();
    }
    if (found.attributes) {
        json.key("attributes").beginObject();
        WriteUniqueNames(json, *found.attributes, FindingType::UniqueAttribute);
        WriteAttrDifferences(json, *found.attributes);
        json.endObject();
    }
    if (found.elements) WriteElementFindings(json, *found.elements);
    json.endObject();
}

class JsonOutput : public OutputWriter {
  public:
    void comparison(const RunInfo& run, const ComparisonFindings& found,
                    const OutputFn& out) override {
        out(ComparisonJson(run.ws, found));
    }

    void quick(const RunInfo& run, const QuickCheckLists& classes, const QuickCheckLists& attrs,
               const OutputFn& out) override {
        JsonWriter json;
        json.beginObject();
        WriteTreesJson(json, run.ws);
        json.key("classes").beginObject();
        WriteNameListsJson(json, classes);
        json.endObject();
        json.key("attributes").beginObject();
        WriteNameListsJson(json, attrs);
        json.endObject();
        json.key("different")
            .value(!classes.unique1.empty() || !classes.unique2.empty() || !attrs.unique1.empty() ||
                   !attrs.unique2.empty());
        json.endObject();
        out(json.text());
    }

    // The document streams: entries go out as they come, so none is kept.
    void fitEntry(const FitRunInfo& run, const FitVerdict& verdict, const OutputFn& out) override {
        if (!fitStarted_) out(FitJsonStart(run));
        out(std::string(fitEntries_ > 0 ? "," : "") + FitJsonEntry(verdict));
        fitStarted_ = true;
        ++fitEntries_;
    }

    void fitEnd(const FitRunInfo& run, const FitSummary& summary, const OutputFn& out) override {
        if (!fitStarted_) out(FitJsonStart(run));
        fitStarted_ = true;
        out(FitJsonEnd(summary, fitEntries_ > 0));
    }

    void surveyEnd(const SurveyRun& run, const OutputFn& out) override {
        JsonWriter json;
        json.beginObject();
        json.key("format").value(kDocumentFormat);
        json.key("baseline").beginObject();
        json.key("operand").value(run.baselineOperand);
        WriteSourceMembers(json, run.baseline);
        json.endObject();
        if (run.fieldsLeftOut) {
            json.key("ignored").beginArray();
            for (const std::string& label : *run.fieldsLeftOut) json.value(label);
            json.endArray();
        }
        bool different = false;
        bool unreadable = false;
        json.key("surveyed").beginArray();
        for (const SurveyTree& tree : run.trees) {
            WriteSurveyTree(json, tree);
            different = different || tree.different;
            unreadable = unreadable || !tree.read;
        }
        json.endArray();
        json.key("different").value(different);
        json.key("unreadable").value(unreadable);
        json.endObject();
        out(json.text());
    }

  private:
    bool fitStarted_ = false;
    std::uint64_t fitEntries_ = 0;
};

}  // namespace

std::unique_ptr<OutputWriter> MakeJsonWriter() { return std::make_unique<JsonOutput>(); }

namespace {

// Of the unique names, those a server builds in (against the files it runs): present only
// for such a pair.
void WriteBuiltIn(JsonWriter& json, const Findings& found) {
    for (int tree = 1; tree <= 2; ++tree) {
        bool open = false;
        for (const Finding& f : found) {
            if (!f.builtIn || f.tree != tree) continue;
            if (!open) json.key(tree == 1 ? "builtIn1" : "builtIn2").beginArray();
            open = true;
            json.value(f.name);
        }
        if (open) json.endArray();
    }
}

}  // namespace

std::string ComparisonJson(Workspace& ws, const ComparisonFindings& found) {
    JsonWriter out;
    out.beginObject();
    WriteTreesJson(out, ws);
    if (HasPublishedDefinitions(ws)) {
        out.key("ignored").beginArray();
        for (const std::string& label : ws.Fields.described()) out.value(label);
        out.endArray();
    }
    if (found.classes) {
        out.key("classes").beginObject();
        WriteNameListsJson(out, SortedQuickCheck(ws.tree(1).ClassNames, ws.tree(2).ClassNames));
        WriteBuiltIn(out, *found.classes);
        WriteClassDifferences(out, *found.classes);
        out.endObject();
    }
    if (found.attributes) {
        out.key("attributes").beginObject();
        WriteNameListsJson(out, SortedQuickCheck(ws.tree(1).AttrNames, ws.tree(2).AttrNames));
        WriteBuiltIn(out, *found.attributes);
        WriteAttrDifferences(out, *found.attributes);
        out.endObject();
    }
    if (found.elements) WriteElementFindings(out, *found.elements);
    out.key("different").value(found.different());
    out.endObject();
    return out.text();
}
