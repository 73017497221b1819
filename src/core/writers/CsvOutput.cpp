// CSV for spreadsheets (RFC 4180): a header row, then one row per finding; every field
// quoted, lines ending in CR LF. Names are written as the JSON documents write them:
// UTF-8 where valid, else one byte a character. A line break inside a name stays inside
// its quoted field. A field a spreadsheet would take for a formula (one beginning with =, +,
// -, @, a tab or a CR) starts with an apostrophe, so that a name from a server never runs.
#include "core/Names.h"
#include "core/writers/Output.h"

std::string CsvField(std::string_view bytes) {
    const QByteArray utf8 = DecodeName(bytes).toUtf8();
    std::string out = "\"";
    if (!utf8.isEmpty() &&
        std::string_view("=+-@\t\r").find(utf8.front()) != std::string_view::npos)
        out += '\'';
    for (const char c : utf8) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

namespace {

const char* const kColumns[] = {"Tree",  "Kind",          "Definition",
                                "Field", "Tree #1 value", "Tree #2 value"};

void Row(std::string& out, const std::vector<std::string>& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out += ',';
        out += CsvField(fields[i]);
    }
    out += "\r\n";
}

std::vector<std::string> Header(bool survey) {
    std::vector<std::string> header;
    if (survey) header.push_back("Surveyed tree");
    header.insert(header.end(), std::begin(kColumns), std::end(kColumns));
    return header;
}

// tree, kind, definition, field, Tree #1's value, Tree #2's value. A finding of one tree
// (a unique definition, a class item, a name that shares its OID) names that tree; its
// value stands in that tree's column.
std::vector<std::string> FindingFields(const Finding& f) {
    std::vector<std::string> row(6);
    row[1] = ElementTypeLabel(FindingElementType(f));
    row[2] = f.name;
    row[3] = FindingAspect(f);
    switch (f.type) {
        case FindingType::UniqueClass:
        case FindingType::UniqueAttribute:
        case FindingType::UniqueElement:
            row[0] = std::to_string(f.tree);
            break;
        case FindingType::ClassItem:
        case FindingType::FieldItem:
            row[0] = std::to_string(f.tree);
            row[f.tree == 1 ? 4 : 5] = f.text1;
            break;
        case FindingType::Unpublished:
            // The count in the column of the tree that publishes them.
            row[0] = std::to_string(f.tree);
            row[3] = "Published";
            row[f.tree == 1 ? 5 : 4] = f.text1;
            break;
        case FindingType::SameOid:
            // The OID in this tree's column, the other tree's name for it in the other's.
            row[0] = std::to_string(f.tree);
            row[f.tree == 1 ? 4 : 5] = f.text2;
            row[f.tree == 1 ? 5 : 4] = f.text1;
            break;
        case FindingType::ClassFlags:
        case FindingType::AttrDefinition:
            row[4] = f.text1;
            row[5] = f.text2;
            break;
        case FindingType::Field:
            row[4] = FieldValueText(f, 1);
            row[5] = FieldValueText(f, 2);
            break;
    }
    return row;
}

void FindingRows(std::string& out, const ComparisonFindings& found, const std::string* surveyed) {
    for (const std::optional<Findings>* part :
         {&found.classes, &found.attributes, &found.elements}) {
        if (!*part) continue;
        for (const Finding& f : **part) {
            std::vector<std::string> row = FindingFields(f);
            if (surveyed) row.insert(row.begin(), *surveyed);
            Row(out, row);
        }
    }
}

void UniqueNameRows(std::string& out, const NameList& names, int tree, const char* kind) {
    for (const NameEntry& entry : names)
        Row(out, {std::to_string(tree), kind, entry.name, "", "", ""});
}

class CsvOutput : public OutputWriter {
  public:
    void comparison(const RunInfo&, const ComparisonFindings& found, const OutputFn& out) override {
        std::string text;
        Row(text, Header(false));
        FindingRows(text, found, nullptr);
        out(text);
    }

    // The quick check finds names only one tree has: a row each.
    void quick(const RunInfo&, const QuickCheckLists& classes, const QuickCheckLists& attrs,
               const OutputFn& out) override {
        std::string text;
        Row(text, Header(false));
        UniqueNameRows(text, classes.unique1, 1, "Class");
        UniqueNameRows(text, classes.unique2, 2, "Class");
        UniqueNameRows(text, attrs.unique1, 1, "Attribute");
        UniqueNameRows(text, attrs.unique2, 2, "Attribute");
        out(text);
    }

    // Rows go out tree by tree, so the findings need not be kept. A tree that cannot be
    // read gets one row that says why, in its value column.
    void surveyTree(const SurveyRun& run, std::size_t index, const OutputFn& out) override {
        std::string text;
        if (index == 0) Row(text, Header(true));
        const SurveyTree& tree = run.trees[index];
        if (tree.read)
            FindingRows(text, tree.found, &tree.label);
        else
            Row(text, {tree.label, "", "Tree", "", "Cannot be read", "", tree.problem});
        out(text);
    }

    void surveyEnd(const SurveyRun& run, const OutputFn& out) override {
        if (run.trees.empty()) {
            std::string text;
            Row(text, Header(true));
            out(text);
        }
    }

    bool keepsSurveyFindings(const SurveyRun&) const override { return false; }

    void fitEntry(const FitRunInfo& run, const FitVerdict& verdict, const OutputFn& out) override {
        if (!fitHeader_) out(FitCsvHeader());
        fitHeader_ = true;
        out(FitCsvRows(run, verdict));
    }

    // A row per reason: the counts are the rows'.
    void fitEnd(const FitRunInfo&, const FitSummary&, const OutputFn& out) override {
        if (!fitHeader_) out(FitCsvHeader());
        fitHeader_ = true;
    }

  private:
    bool fitHeader_ = false;
};

}  // namespace

std::unique_ptr<OutputWriter> MakeCsvWriter() { return std::make_unique<CsvOutput>(); }
