// A comparison's findings as the JSON document and the HTML report. Members and report
// parts that only published definitions give appear only when a tree has them, so the
// documents of other trees read as they always have.
#include "Commands.h"
#include "Compare.h"

namespace cli {

namespace {

void WriteFieldMembers(JsonWriter& out, const Finding& f) {
    out.key("kind").value("Field");
    out.key("field").value(f.label);
    out.key("value1").value(f.text1);
    out.key("value2").value(f.text2);
}

void WriteSameOidMembers(JsonWriter& out, const Finding& f) {
    out.key("kind").value("SameOid");
    out.key("tree").value(f.tree);
    out.key("other").value(f.text1);
    out.key("oid").value(f.text2);
}

bool IsPublishedFinding(const Finding& f) {
    return f.type == FindingType::Field || f.type == FindingType::SameOid;
}

// Field and SameOid findings: the same for classes and attributes but for the name's key.
void WritePublishedFinding(JsonWriter& out, const char* nameKey, const Finding& f) {
    out.beginObject();
    out.key(nameKey).value(f.name);
    if (f.type == FindingType::Field)
        WriteFieldMembers(out, f);
    else
        WriteSameOidMembers(out, f);
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
        if (f.type != FindingType::UniqueElement && f.type != FindingType::Field) continue;
        out.beginObject();
        out.key("type").value(ElementTypeLabel(f.kind));
        out.key("name").value(f.name);
        if (f.type == FindingType::Field) {
            WriteFieldMembers(out, f);
        } else {
            out.key("kind").value("Unique");
            out.key("tree").value(f.tree);
        }
        out.endObject();
    }
    out.endArray();
}

}  // namespace

bool ComparisonFindings::different() const {
    return (classes && !classes->empty()) || (attributes && !attributes->empty()) ||
           (elements && !elements->empty());
}

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
        WriteClassDifferences(out, *found.classes);
        out.endObject();
    }
    if (found.attributes) {
        out.key("attributes").beginObject();
        WriteNameListsJson(out, SortedQuickCheck(ws.tree(1).AttrNames, ws.tree(2).AttrNames));
        WriteAttrDifferences(out, *found.attributes);
        out.endObject();
    }
    if (found.elements) WriteElementFindings(out, *found.elements);
    out.key("different").value(found.different());
    out.endObject();
    return out.text();
}

ReportInput ComparisonReport(Workspace& ws, ComparisonFindings found) {
    ReportInput report =
        ReportBase(ws, true, found.classes.has_value(), found.attributes.has_value());
    if (found.classes) report.classes->findings = std::move(*found.classes);
    if (found.attributes) report.attributes->findings = std::move(*found.attributes);
    if (HasPublishedDefinitions(ws)) report.fieldsLeftOut = ws.Fields.described();
    if (found.elements) report.elements = ReportElementsOf(ws, std::move(*found.elements));
    return report;
}

}  // namespace cli
